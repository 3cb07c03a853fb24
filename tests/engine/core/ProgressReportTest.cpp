#include "engine/core/ProgressReport.h"

#include <gtest/gtest.h>

namespace vidorant {
namespace {

TProgressCounts Video(int32_t frames, int64_t elapsedUs) {
  TProgressCounts counts;
  counts.HasVideoOutput = true;
  counts.FrameNumber = frames;
  counts.ElapsedUs = elapsedUs;
  return counts;
}

TEST(ProgressReport, NoReportBeforeTheVideoOutputsFirstFrameNotEvenTheFinalOne) {
  EXPECT_FALSE(MakeProgressReport(Video(0, 5000000), false));
  EXPECT_FALSE(MakeProgressReport(Video(0, 5000000), true));
}

TEST(ProgressReport, FiguresAndTextOfAFinalReportWithDuplicatesAndDrops) {
  TProgressCounts counts = Video(250, 10200000);
  counts.LastQuality = 236;
  counts.TotalSize = 1048576;
  counts.SmallestTime = 10.0;
  counts.Duplicated = 3;
  counts.Dropped = 7;
  const auto report = MakeProgressReport(counts, true);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->Text,
            "frame=  250 fps= 25 q=2.0 Lsize=    1024kB time=10.00 bitrate= 838.9kbits/s dup=3 drop=7");
  EXPECT_EQ(report->FPS, 25);  // 24.51 rounded half up
  EXPECT_FLOAT_EQ(report->Quality, 2.0f);
  EXPECT_EQ(report->CurrentTime, 10000000);
  EXPECT_NEAR(report->Bitrate, 838.8608f, 0.001f);
}

TEST(ProgressReport, EarlyCopiedAndVideolessReportsUseTheirMarkers) {
  // Within the first second the rate is not yet known; a copied stream has no quality.
  TProgressCounts copied = Video(12, 900000);
  copied.VideoCopied = true;
  const auto early = MakeProgressReport(copied, false);
  ASSERT_TRUE(early);
  EXPECT_EQ(early->FPS, 0);
  EXPECT_FLOAT_EQ(early->Quality, -1.0f);
  // Without a video output the report is made with -1 markers and the smallest time of 0.01 s.
  const auto videoless = MakeProgressReport(TProgressCounts{}, false);
  ASSERT_TRUE(videoless);
  EXPECT_EQ(videoless->Text, "frame=   -1 fps= -1 q=-1.0 size=       0kB time=0.01 bitrate=   0.0kbits/s");
  EXPECT_EQ(videoless->FrameNumber, -1);
  EXPECT_EQ(videoless->CurrentTime, 10000);
}

TEST(ProgressReport, MuxingOverheadComparesTheFileWithWhatWasEncoded) {
  EXPECT_EQ(MuxingOverheadText(102400, 2048, 0, 110000),
            "video:100kB audio:2kB global headers:0kB muxing overhead 5.315564%\r\n");
  EXPECT_EQ(MuxingOverheadText(0, 0, 0, 0), "video:0kB audio:0kB global headers:0kB muxing overhead 0.000000%\r\n");
}

}  // namespace
}  // namespace vidorant
