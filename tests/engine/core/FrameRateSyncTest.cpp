#include "engine/core/FrameRateSync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vidorant {
namespace {

// Feeds pictures at the input rate (first at `firstTime` seconds) to an output at the output
// rate. Frames: for each output frame, the index of the picture it came from. Ahead: how far
// (in frames) the output timeline ran before a picture it emitted; Behind: how far it trailed a
// picture once that picture's frames were out.
struct TSchedule {
  std::vector<int> Frames;
  double Ahead = 0;
  double Behind = 0;
};

TSchedule Schedule(int pictures, double inputRate, double outputRate, TVideoSyncMethod method,
                   double firstTime = 0) {
  TFrameRateSync sync;
  TSchedule result;
  for (int i = 0; i < pictures; i++) {
    const double time = (firstTime + i / inputRate) * outputRate;
    const double before = static_cast<double>(sync.SyncTimestamp());
    const int count = sync.FramesForPicture(time, method, false);
    for (int k = 0; k < count; k++) {
      result.Frames.push_back(i);
      sync.FrameEmitted();
    }
    if (count == 0) continue;
    result.Ahead = std::max(result.Ahead, before - time);
    result.Behind = std::max(result.Behind, time - static_cast<double>(sync.SyncTimestamp()));
  }
  return result;
}

TEST(FrameRateSync, HalfWayValuesRoundToEvenAndDamagedTimesSaturate) {
  const struct {
    double Value;
    int64_t Rounded;
  } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}, {-2.6, -3}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfToEven(c.Value), c.Rounded) << c.Value;
  EXPECT_EQ(RoundHalfToEven(NAN), 0);
  EXPECT_GT(RoundHalfToEven(1e300), int64_t{1} << 62);
  EXPECT_LT(RoundHalfToEven(-1e300), -(int64_t{1} << 62));
}

TEST(FrameRateSync, ConstantRateDownFrom25To10KeepsTwoOfEveryFive) {
  const TSchedule schedule = Schedule(100, 25, 10, TVideoSyncMethod::ConstantRate);
  const std::vector<int>& frames = schedule.Frames;
  ASSERT_EQ(frames.size(), 41u);
  EXPECT_EQ(frames[0], 0);
  EXPECT_EQ(frames[1], 1);
  for (int group = 1; group < 20; group++) {
    int kept = 0;
    for (int picture : frames) kept += picture / 5 == group;
    EXPECT_EQ(kept, 2) << "pictures " << group * 5 << " to " << group * 5 + 4;
  }
  EXPECT_LE(schedule.Ahead, 1.1);
  EXPECT_LE(schedule.Behind, 1.1);
}

TEST(FrameRateSync, ConstantRateUpFrom10To25DuplicatesAndRoundsHalfWayDown) {
  TFrameRateSync sync;
  std::vector<int> counts;
  for (int i = 0; i < 40; i++) {
    counts.push_back(sync.FramesForPicture(i * 2.5, TVideoSyncMethod::ConstantRate, false));
    for (int k = 0; k < counts.back(); k++) sync.FrameEmitted();
  }
  EXPECT_EQ(counts[0], 1);
  // Picture 3 falls at 7.5 with frames 0 to 4 out: 2.5 frames behind rounds to 2.
  EXPECT_EQ(counts[3], 2);
  for (size_t i = 1; i < counts.size(); i++) EXPECT_TRUE(counts[i] == 2 || counts[i] == 3) << i;
  EXPECT_EQ(sync.Duplicated(), sync.SyncTimestamp() - 40);
  EXPECT_EQ(sync.Dropped(), 0);
  const TSchedule schedule = Schedule(40, 10, 25, TVideoSyncMethod::ConstantRate);
  EXPECT_LE(schedule.Ahead, 1.1);
  EXPECT_LE(schedule.Behind, 1.1);
}

TEST(FrameRateSync, PicturesBeforeTheClipStartAreDroppedUnlessWithinDrift) {
  // Decoded from the key frame 0.2 s before the clip start, at 25 pictures/s into 10 frames/s:
  // times -2.0, -1.6, -1.2 are more than 1.1 frames early, -0.8 becomes frame 0.
  const std::vector<int> frames = Schedule(10, 25, 10, TVideoSyncMethod::ConstantRate, -0.2).Frames;
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0], 3);  // frames follow the pictures in order, so none of 0 to 2 is shown
}

TEST(FrameRateSync, PassthroughGivesOnePerPictureAtItsOwnTime) {
  TFrameRateSync sync;
  for (double time : {0.0, 2.5, 3.5, 3.6, 10.0}) {
    EXPECT_EQ(sync.FramesForPicture(time, TVideoSyncMethod::Passthrough, false), 1);
    EXPECT_EQ(sync.SyncTimestamp(), RoundHalfToEven(time));
  }
  EXPECT_EQ(Schedule(30, 25, 10, TVideoSyncMethod::Passthrough).Frames.size(), 30u);
  EXPECT_FALSE(sync.TakeChanged());
}

TEST(FrameRateSync, VariableRateDropsButNeverDuplicates) {
  // Explicit, and automatic for a format that declares a variable rate; automatic for a
  // constant-rate format, or any other number, is constant-rate.
  for (TVideoSyncMethod method : {TVideoSyncMethod::VariableRate, TVideoSyncMethod::Auto}) {
    TFrameRateSync sync;
    sync.FramesForPicture(0, method, true);
    sync.FrameEmitted();
    EXPECT_EQ(sync.FramesForPicture(0.3, method, true), 0);  // 0.7 behind
    EXPECT_EQ(sync.FramesForPicture(5.0, method, true), 1);  // far ahead: the timeline jumps
    EXPECT_EQ(sync.SyncTimestamp(), 5);
    EXPECT_EQ(sync.Dropped(), 1);
    EXPECT_EQ(sync.Duplicated(), 0);
    EXPECT_TRUE(sync.TakeChanged());
    EXPECT_FALSE(sync.TakeChanged());
  }
  for (auto method : {TVideoSyncMethod::Auto, static_cast<TVideoSyncMethod>(7)}) {
    TFrameRateSync sync;
    EXPECT_EQ(sync.FramesForPicture(5.0, method, method != TVideoSyncMethod::Auto), 5);
  }
}

}  // namespace
}  // namespace vidorant
