// The files an encoding run writes about itself: the two-pass statistics log (written by the first
// pass, read by the second; libx264's own file under the task's name) and the video statistics
// file with one line per packet. Outputs are read back with the libraries directly.
#include "engine/core/VideoStats.h"
#include "platform/Environment.h"
#include "platform/Thread.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>

extern "C" {
#include <libavutil/avutil.h>
}

namespace vidorant::testing {
namespace {

namespace fs = std::filesystem;

constexpr int SourceFrames = 25;

std::vector<std::string> LinesOf(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class EncoderStatistics : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }

  std::string Source() {
    if (FSource.empty()) FSource = MakeTestVideo(Tmp.Path(), "source", Shaped(MatroskaRecipe(), 64, 48, {25, 1}, SourceFrames));
    return FSource;
  }
  // Runs one task from the source into output; the task's error message, empty when it finished.
  std::string Run(const TOptionList& outputOptions, const std::string& output, const TOptionList& inputOptions = {}) {
    TTestTask task;
    if (!SetUpTask(task, inputOptions, Source(), outputOptions, output)) return "set-up refused";
    task.Start(false);
    return task.Finished() ? "" : task.ErrorMessage();
  }

  TTempFolder Tmp;

private:
  std::string FSource;
};

// The libraries' own two-pass encoders: their statistics, one "in:" record per encoded picture,
// go into the log named for the stream, and the second pass can only open with them.
TEST_F(EncoderStatistics, FirstPassWritesTheNamedLogWhichTheSecondPassReads) {
  for (const char* codec : {"mpeg4", "mpeg2video"}) {
    SCOPED_TRACE(codec);
    const std::string prefix = Tmp.File(std::string(codec) + "-stats");
    const TOptionList common = {{"vcodec", codec}, {"b", "200k"}, {"passlogfile", prefix}};
    TOptionList first = common, second = common;
    first.emplace_back("pass", "1");
    second.emplace_back("pass", "2");

    ASSERT_EQ(Run(first, Tmp.File("first.mkv")), "");
    const std::vector<std::string> log = LinesOf(prefix + "-0.log");
    const auto records = std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("in:", 0) == 0; });
    EXPECT_EQ(records, SourceFrames);

    ASSERT_EQ(Run(second, Tmp.File("second.mkv")), "");
    EXPECT_EQ(ReadMediaFile(Tmp.File("second.mkv")).Pictures.size(), static_cast<size_t>(SourceFrames));
  }
}

// libvpx gives no packet in its first pass and all of its statistics only when it is drained.
TEST_F(EncoderStatistics, StatisticsGivenOnlyAtTheDrainReachTheLog) {
  const std::string prefix = Tmp.File("vp8-stats");
  const TOptionList common = {{"vcodec", "libvpx"}, {"b", "200k"}, {"passlogfile", prefix}};
  TOptionList first = common, second = common;
  first.emplace_back("pass", "1");
  second.emplace_back("pass", "2");
  ASSERT_EQ(Run(first, Tmp.File("first.webm")), "");
  EXPECT_GT(fs::file_size(prefix + "-0.log"), 0u);
  ASSERT_EQ(Run(second, Tmp.File("second.webm")), "");
  EXPECT_EQ(ReadMediaFile(Tmp.File("second.webm")).Pictures.size(), static_cast<size_t>(SourceFrames));
}

TEST_F(EncoderStatistics, AStatisticsFileThatCannotBeUsedEndsTheRunNamingIt) {
  const std::string missing = Tmp.File("missing");
  const std::string folderless = Tmp.File("no/such/folder/stats");
  const struct {
    TOptionList Options;
    std::string Message;
  } cases[] = {
      {{{"pass", "2"}, {"passlogfile", missing}},
       "Cannot read file: Error reading log file \"" + missing + "-0.log\" for pass-2 encoding"},
      {{{"pass", "1"}, {"passlogfile", folderless}},
       "Cannot write log file " + folderless + "-0.log for pass-1 encoding"},
      {{{"pass", "2"}, {"vcodec", "libx264"}, {"passlogfile", missing}},
       "Cannot read file: Error reading log file \"" + missing + "-0.log\" for pass-2 encoding"},
      {{{"vstats_file", folderless}}, "fopen fail: " + folderless},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    TOptionList options = {{"vcodec", "mpeg4"}, {"b", "200k"}};
    options.insert(options.end(), c.Options.begin(), c.Options.end());
    EXPECT_EQ(Run(options, Tmp.File("refused.mkv")), c.Message);
  }
}

// libx264 writes its statistics itself, by default into x264_2pass.log of the working folder:
// two tasks at once would share that file. Each task names its own log instead.
TEST_F(EncoderStatistics, X264KeepsEachTaskStatisticsInTheTaskLog) {
  const std::string folder = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(Tmp.Path()));
  const TOptionList common = {{"vcodec", "libx264"}, {"b", "200k"}, {"pass", "1"}};
  TTestTask first, second;
  TOptionList firstOptions = common, secondOptions = common;
  firstOptions.emplace_back("passlogfile", Tmp.File("first"));
  secondOptions.emplace_back("passlogfile", Tmp.File("second"));
  ASSERT_TRUE(SetUpTask(first, {}, Source(), firstOptions, Tmp.File("first.mkv")));
  ASSERT_TRUE(SetUpTask(second, {}, Source(), secondOptions, Tmp.File("second.mkv")));
  RunOnWorker(first, [&](TThread& firstWorker) {
    RunOnWorker(second, [&](TThread& secondWorker) {
      firstWorker.Resume();
      secondWorker.Resume();
    });
  });
  SetCurrentDir(folder);
  EXPECT_TRUE(first.Finished()) << first.ErrorMessage();
  EXPECT_TRUE(second.Finished()) << second.ErrorMessage();
  for (const char* name : {"first-0.log", "second-0.log"}) {
    const std::vector<std::string> log = LinesOf(Tmp.File(name));
    ASSERT_FALSE(log.empty()) << name;
    EXPECT_EQ(log.front().rfind("#options:", 0), 0u) << name << ": " << log.front();
  }
  EXPECT_FALSE(fs::exists(Tmp.File("x264_2pass.log")));

  ASSERT_EQ(Run({{"vcodec", "libx264"}, {"b", "200k"}, {"pass", "2"}, {"passlogfile", Tmp.File("first")}},
                Tmp.File("final.mkv")),
            "");
  EXPECT_EQ(ReadMediaFile(Tmp.File("final.mkv")).Pictures.size(), static_cast<size_t>(SourceFrames));
}

TEST_F(EncoderStatistics, VideoStatisticsLineHasTheStatedLayout) {
  TVideoStatsEntry plain;
  plain.FrameNumber = 10;
  plain.Quality = 2 * FF_QP2LAMBDA;
  plain.FrameSize = 1000;
  plain.VideoBytes = 20480;
  plain.TimeBase = {1, 25};
  plain.PictureType = 'P';
  TVideoStatsEntry psnr;  // the first frame: the time is held at 10 ms
  psnr.FrameNumber = 0;
  psnr.Psnr = true;
  psnr.Width = psnr.Height = 16;
  psnr.Error = 16 * 16 * 255.0 * 255.0 / 100;  // a hundredth of the peak: 20 dB
  psnr.FrameSize = 50;
  psnr.VideoBytes = 50;
  psnr.TimeBase = {1, 10};
  psnr.PictureType = 'I';
  EXPECT_EQ(VideoStatsLine(plain),
            "frame=    10 q= 2.0 f_size=   1000 s_size=       20kB time= 0.400 br=   200.0kbits/s "
            "avg_br=   409.6kbits/s type= P\n");
  EXPECT_EQ(VideoStatsLine(psnr),
            "frame=     0 q= 0.0 PSNR=  20.00 f_size=     50 s_size=        0kB time= 0.010 br=     4.0kbits/s "
            "avg_br=    40.0kbits/s type= I\n");
}

// One line per packet the encoder gave, in order: its size, the frames given to the encoder so
// far, the running total and the picture type. With B-frames the encoder gives its first packet
// only after a further picture, and the lines follow the packets, not the pictures.
TEST_F(EncoderStatistics, VideoStatisticsFileHasOneLinePerPacket) {
  const struct {
    const char* Name;
    TOptionList Options;
    bool Psnr;
  } cases[] = {
      {"mpeg4", {}, false},
      {"mpeg4 with B-frames", {{"bf", "2"}}, false},
      // Coarse steps, so that the pictures differ from the source and the ratio is finite.
      {"mpeg4 with PSNR", {{"psnr", ""}, {"qscale", "31"}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string stats = Tmp.File("vstats.log"), output = Tmp.File("stats.mkv");
    TOptionList options = {{"vcodec", "mpeg4"}, {"vstats_file", stats}};
    options.insert(options.end(), c.Options.begin(), c.Options.end());
    ASSERT_EQ(Run(options, output), "");
    const std::vector<int> packets = ReadMediaFile(output).PacketSizes;
    const std::vector<std::string> lines = LinesOf(stats);
    ASSERT_EQ(lines.size(), packets.size());
    int previousFrame = 0;
    long long total = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      SCOPED_TRACE(lines[i]);
      int frame = 0, size = 0;
      float q = 0, psnr = 0, kilobytes = 0, time = 0, rate = 0, average = 0;
      char type = 0;
      const int fields =
          c.Psnr ? std::sscanf(lines[i].c_str(),
                               "frame= %d q= %f PSNR= %f f_size= %d s_size= %fkB time= %f br= %fkbits/s avg_br= %fkbits/s type= %c",
                               &frame, &q, &psnr, &size, &kilobytes, &time, &rate, &average, &type)
                 : std::sscanf(lines[i].c_str(),
                               "frame= %d q= %f f_size= %d s_size= %fkB time= %f br= %fkbits/s avg_br= %fkbits/s type= %c",
                               &frame, &q, &size, &kilobytes, &time, &rate, &average, &type);
      ASSERT_EQ(fields, c.Psnr ? 9 : 8);
      total += size;
      EXPECT_EQ(size, packets[i]);
      EXPECT_GE(frame, previousFrame);
      EXPECT_NEAR(time, std::max(frame / 25.0, 0.01), 0.0005);
      EXPECT_NEAR(kilobytes, total / 1024.0, 0.5);
      EXPECT_NE(std::string("IPB").find(type), std::string::npos);
      EXPECT_GT(q, 0);
      if (c.Psnr) {
        EXPECT_TRUE(std::isfinite(psnr) && psnr > 10) << psnr;
      }
      previousFrame = frame;
    }
    EXPECT_EQ(lines.front().back(), 'I');
    EXPECT_EQ(previousFrame, SourceFrames);
  }
}

TEST_F(EncoderStatistics, ARunThatEncodesNothingLeavesNoStatisticsFile) {
  const std::string stats = Tmp.File("empty-vstats.log");
  ASSERT_EQ(Run({{"vcodec", "mpeg4"}, {"vstats_file", stats}}, Tmp.File("none.mkv"), {{"ss", "10"}}), "");
  EXPECT_FALSE(fs::exists(stats));
}

}  // namespace
}  // namespace vidorant::testing
