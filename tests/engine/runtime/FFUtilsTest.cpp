#include "engine/runtime/FFUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vidorant {
namespace {

constexpr int64_t NoTs = INT64_MIN;

TEST(TimeToText, FormatsHoursMinutesSecondsMilliseconds) {
  const struct {
    int64_t Time;
    const char* Text;
  } cases[] = {
      {3723004000LL, "01:02:03.004"},
      {0, "00:00:00.000"},
      {999, "00:00:00.000"},            // below one millisecond is cut, not rounded
      {59999999, "00:00:59.999"},
      {360000000000LL, "100:00:00.000"},  // hours do not wrap at 24 or 99
      {NoTs, "N/A"},
      {-1500000, "-00:00:01.500"},
      {INT64_MAX, "2562047788:00:54.775"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeToText(c.Time), c.Text) << c.Time;
}

TEST(MediaTypeName, NamesTheFiveTypesAndNothingElse) {
  const char* names[] = {"Video", "Audio", "Data", "Subtitle", "Attachment"};
  for (int t = 0; t < 5; ++t) EXPECT_EQ(MediaTypeName(t), names[t]);
  for (int t : {-1, 5, 100}) EXPECT_EQ(MediaTypeName(t), "Unknown");
}

// Feeds (pts, dts) pairs and collects the guesses.
std::vector<int64_t> Guesses(const std::vector<std::pair<int64_t, int64_t>>& stamps) {
  TPtsCorrection c;
  InitPtsCorrection(c);
  std::vector<int64_t> out;
  for (auto [pts, dts] : stamps) out.push_back(GuessCorrectPts(c, pts, dts));
  return out;
}

TEST(GuessCorrectPts, TrustsDecodingStampsWhenPresentationStampsJumpBack) {
  // dts rise steadily; pts jump backwards twice (B-frame reordering the decoder reports badly).
  EXPECT_EQ(Guesses({{0, 0}, {300, 100}, {100, 200}, {400, 300}, {200, 400}, {500, 500}}),
            (std::vector<int64_t>{0, 300, 200, 300, 400, 500}));
}

TEST(GuessCorrectPts, TrustsPresentationStampsWhileDecodingStampsAreNoBetter) {
  // Both clean: presentation stamps win ties.
  EXPECT_EQ(Guesses({{10, 0}, {20, 10}, {30, 20}}), (std::vector<int64_t>{10, 20, 30}));
  // Decoding stamps repeat (faulty): presentation stamps stay trusted.
  EXPECT_EQ(Guesses({{10, 5}, {20, 5}, {30, 5}}), (std::vector<int64_t>{10, 20, 30}));
}

TEST(GuessCorrectPts, FallsBackToWhateverStampExists) {
  EXPECT_EQ(Guesses({{NoTs, 7}, {NoTs, 8}}), (std::vector<int64_t>{7, 8}));
  EXPECT_EQ(Guesses({{NoTs, NoTs}}), (std::vector<int64_t>{NoTs}));
  // dts trusted but absent for this frame: the pts is used.
  EXPECT_EQ(Guesses({{5, 0}, {3, 1}, {9, NoTs}}), (std::vector<int64_t>{5, 1, 9}));
}

TEST(GuessCorrectPts, InitResetsCountsAndLastStamps) {
  TPtsCorrection c{4, 9, 100, 200};
  InitPtsCorrection(c);
  EXPECT_EQ(c.NumFaultyPts, 0);
  EXPECT_EQ(c.NumFaultyDts, 0);
  EXPECT_EQ(c.LastPts, NoTs);
  EXPECT_EQ(c.LastDts, NoTs);
}

}  // namespace
}  // namespace vidorant
