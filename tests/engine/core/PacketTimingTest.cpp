#include "engine/core/PacketTiming.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/engine/core/TestEngine.h"

namespace vidorant {
namespace {

constexpr int64_t None = AV_NOPTS_VALUE;
constexpr AVRational Ts90k{1, 90000};

class PacketTiming : public ::testing::Test {
protected:
  static void SetUpTestSuite() { testing::BindLibrariesForTests(); }
};

TEST_F(PacketTiming, OffsetAndScaleMoveOnlyTheTimesThePacketHas) {
  const struct {
    const char* Case;
    TPacketTimes In;
    int64_t OffsetUs;
    double Scale;
    TPacketTimes Expected;
  } cases[] = {
      {"offset in the stream's base", {9000, 6000}, 500000, 0, {54000, 51000}},
      {"absent times stay absent", {None, 6000}, 500000, 0, {None, 51000}},
      {"scale after the offset, rounded", {3, None}, 0, 2.5, {8, None}},
      {"negative offset", {90000, 90000}, -1000000, 0, {0, 0}},
  };
  for (const auto& c : cases) {
    TPacketTimes times = c.In;
    int64_t offset = c.OffsetUs;
    TPacketTimingState state{Ts90k, &offset};
    state.Scale = c.Scale;
    EXPECT_EQ(AdjustPacketTimes(times, state), 0) << c.Case;
    EXPECT_EQ(times.Pts, c.Expected.Pts) << c.Case;
    EXPECT_EQ(times.Dts, c.Expected.Dts) << c.Case;
    EXPECT_EQ(offset, c.OffsetUs) << c.Case;
  }
}

TEST_F(PacketTiming, ADiscontinuityIsTakenOutOfThePacketAndTheFileOffset) {
  // The stream expects 10 s; the packet says 100 s (a transport stream's clock jumped).
  const auto run = [](int64_t dts, bool mayJump, bool copyTs, int64_t current, TPacketTimes* out) {
    TPacketTimes times{dts + 3000, dts};
    int64_t offset = 0;
    TPacketTimingState state{Ts90k, &offset};
    state.MayJump = mayJump;
    state.CopyTs = copyTs;
    state.NextExpected = 10000000;
    state.Current = current;
    const int64_t delta = AdjustPacketTimes(times, state);
    EXPECT_EQ(offset, -delta);
    if (out) *out = times;
    return delta;
  };
  TPacketTimes mended;
  EXPECT_EQ(run(9000000, true, false, 9900000, &mended), 90000000);
  EXPECT_EQ(mended.Dts, 900000);  // back to 10 s
  EXPECT_EQ(mended.Pts, 903000);
  EXPECT_EQ(run(9000000, false, false, 9900000, nullptr), 0) << "formats without jumps are trusted";
  EXPECT_EQ(run(9000000, true, true, 9900000, nullptr), 0) << "copyts keeps the times";
  EXPECT_EQ(run(945000, true, false, 9900000, nullptr), 0) << "10.5 s is within the threshold";
  // Going back behind the stream's current time is a jump even when small.
  EXPECT_EQ(run(855000, true, false, 9900000, nullptr), -500000);
}

TEST_F(PacketTiming, TheClipEndIsJudgedInTheStreamsOwnBase) {
  const int64_t unlimited = std::numeric_limits<int64_t>::max();
  // Start 1 s, length 2 s: the clip ends at 3 s = 270000 in 1/90000.
  EXPECT_FALSE(PastClipEnd({269999, None}, Ts90k, 1000000, 2000000));
  EXPECT_TRUE(PastClipEnd({270000, None}, Ts90k, 1000000, 2000000));
  EXPECT_TRUE(PastClipEnd({None, 270000}, Ts90k, 1000000, 2000000)) << "the decoding time stands in";
  EXPECT_FALSE(PastClipEnd({None, None}, Ts90k, 1000000, 2000000));
  EXPECT_FALSE(PastClipEnd({1LL << 40, None}, Ts90k, 0, unlimited));
}

}  // namespace
}  // namespace vidorant
