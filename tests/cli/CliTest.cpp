// vidorant-cli run as a user runs it, on generated videos, in a home folder of the test's own
// (so no real settings are read or touched); its GIFs checked by FFmpeg's decoder and against
// the window's road through convert/.
#include "convert/FileProbe.h"
#include "convert/FileTask.h"
#include "convert/GIFOutput.h"
#include "convert/RowTexts.h"
#include "platform/Environment.h"
#include "platform/MemoryStream.h"
#include "platform/Synchronize.h"
#include "tests/fixtures/FFmpegGIFDecoder.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestVideo.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/wait.h>

namespace vidorant::testing {
namespace {

using ::testing::HasSubstr;

struct TCliResult {
  int Status = -1;
  std::string Out, Err;
};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string ReadText(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  TMemoryStream file;
  file.LoadFromFile(path);
  return file.Bytes();
}

class CliTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    TFFEncoder loader;
    ASSERT_TRUE(loader.LibrariesLoaded() || loader.LoadLibraries("")) << loader.LastErrMsg();
    RegisterFrameOutputFormats();
  }

  // Runs the program with the arguments (each quoted for the shell) in the test's home.
  TCliResult Run(const std::vector<std::string>& arguments) {
    std::string command = "HOME=" + Quoted(Home.Path()) + " XDG_CONFIG_HOME=" + Quoted(Home.File("config")) + " " +
                          Quoted(VIDORANT_CLI);
    for (const std::string& a : arguments) command += " " + Quoted(a);
    command += " >" + Quoted(Home.File("out.txt")) + " 2>" + Quoted(Home.File("err.txt"));
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(Home.File("out.txt")), ReadText(Home.File("err.txt"))};
  }

  // A GIF of the converter: GIF87a, every frame of the size, decodable by FFmpeg. Its frames.
  static size_t FramesOf(const std::string& path, int width, int height) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a") << path;
    const std::vector<TDecodedPicture> pictures = DecodeGIFWithFFmpeg(bytes);
    for (const TDecodedPicture& p : pictures) EXPECT_TRUE(p.Width == width && p.Height == height) << path;
    return pictures.size();
  }

  // The window's road: the task set up by convert/, delivered to its GIF output.
  std::vector<uint8_t> ConvertDirectly(const std::string& video, const TClipRange& clip) {
    TGIFOutput output;
    TFFEncoder encoder;
    TTerminateInfo end;
    TEvent runEnded;
    encoder.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
      if (info.TaskIndex == 0) end = info;
      if (info.TaskIndex < 0) runEnded.SetEvent();
    };
    const TFileTaskSetup task = SetupFileTask(encoder, output.Adapter(), video, "320", "240", clip);
    EXPECT_TRUE(task.Succeeded()) << task.ErrorText;
    output.SetOutputFile(Direct.Path(), "direct.gif");
    encoder.StartTask(0);
    WaitServingSynchronize(runEnded);
    EXPECT_TRUE(end.Completed && !end.HadError) << end.ErrorText;
    encoder.ClearTasks();
    return ReadBytes(output.OutputPath());
  }

  TTempFolder Home, Videos, Direct;
  // 2 s at 25 pictures per second: 21 frames at 10 per second by the constant-rate rule.
  std::string Mp4 = MakeTestVideo(Videos.Path(), "first", [] { auto r = Mp4Recipe(); r.FrameCount = 50; return r; }());
  std::string Mkv = MakeTestVideo(Videos.Path(), "second", [] { auto r = MatroskaRecipe(); r.FrameCount = 50; return r; }());
};

TEST_F(CliTest, BadFilesGetAMessageEachAndAFailingStatusWhileTheGoodOnesConvert) {
  const std::string text = Videos.File("notes.mp4");
  std::ofstream(text) << "not a video\n";
  const std::string missing = Videos.File("missing.mp4");
  const std::string out = Home.File("gifs");
  TCliResult run = Run({"-o", out, Mp4, text, Mkv, missing});
  EXPECT_EQ(run.Status, 1);
  EXPECT_THAT(run.Err, HasSubstr("Convertion of file \"" + text + "\" is not supported."));
  EXPECT_THAT(run.Err, HasSubstr(missing + ": no such file"));
  EXPECT_THAT(run.Out, HasSubstr("2 of 4 files converted"));
  EXPECT_EQ(FramesOf(out + "/first.gif", 320, 240), 21u);
  EXPECT_EQ(FramesOf(out + "/second.gif", 320, 240), 21u);
  EXPECT_FALSE(std::filesystem::exists(out + "/notes.gif"));

  // A second run keeps the first GIF and numbers the new one.
  run = Run({"-o", out, Mp4});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(ReadBytes(out + "/first(1).gif"), ReadBytes(out + "/first.gif"));
}

TEST_F(CliTest, GIFsAreByteForByteTheWindowsWholeAndClipped) {
  const std::string out = Home.File("gifs");
  ASSERT_EQ(Run({"-o", out, Mp4}).Status, 0);
  EXPECT_EQ(ReadBytes(out + "/first.gif"), ConvertDirectly(Mp4, {}));

  // The row the window would hold for the clip: the probed duration, then the clip rule.
  const TProbedFile probe = ProbeFile(*std::make_unique<TFFEncoder>(), Mp4);
  ASSERT_EQ(DurationText(probe.Duration), "00:00:02");
  const TCliResult clipped = Run({"-o", out, "--start", "00:00:01", "--end", "00:00:02", Mkv});
  ASSERT_EQ(clipped.Status, 0) << clipped.Err;
  EXPECT_EQ(FramesOf(out + "/second.gif", 320, 240), 11u);
  EXPECT_EQ(ReadBytes(out + "/second.gif"), ConvertDirectly(Mkv, ClipOfRow("00:00:02", "00:00:01", "00:00:02")));
}

TEST_F(CliTest, SettingsFileGivesTheDefaultsAndTheCommandLineOverridesThem) {
  // Without a settings file: 320x240 into the documents folder.
  ASSERT_EQ(Run({Mp4}).Status, 0);
  EXPECT_EQ(FramesOf(Home.File("Documents/Vidorant/first.gif"), 320, 240), 21u);

  std::filesystem::create_directories(Home.File("config/Vidorant"));
  std::ofstream(Home.File("config/Vidorant/Options.ini"))
      << "[OutputType]\nWidth=160\nHeight=120\nOutputFolder=" << Home.File("stored") << "\n";
  ASSERT_EQ(Run({Mp4}).Status, 0);
  FramesOf(Home.File("stored/first.gif"), 160, 120);
  ASSERT_EQ(Run({"-s", "64x48", Mp4}).Status, 0);
  FramesOf(Home.File("stored/first(1).gif"), 64, 48);
}

// Pictures reduced on several threads and files converted at once write the same bytes as one
// thread converting one file after another, and each file's lines still say how it ended.
TEST_F(CliTest, ThreadsAndJobsChangeNoByteOfTheGIFs) {
  const std::string third = MakeTestVideo(Videos.Path(), "third", [] { auto r = Mp4Recipe(); r.FrameCount = 30; return r; }());
  const std::vector<std::string> videos = {Mp4, Mkv, third};
  const std::string baseline = Home.File("one");
  ASSERT_EQ(Run({"-o", baseline, "--threads", "1", "--jobs", "1", Mp4, Mkv, third}).Status, 0);
  const std::set<std::string> names = {"first.gif", "second.gif", "third.gif"};
  int runs = 0;
  for (const std::vector<std::string>& flags : std::vector<std::vector<std::string>>{
           {"--threads", "2"}, {"--threads", "8"}, {"--jobs", "3", "--threads", "1"}, {"--jobs", "3"}}) {
    const std::string out = Home.File("run" + std::to_string(++runs));
    std::vector<std::string> arguments = {"-o", out};
    arguments.insert(arguments.end(), flags.begin(), flags.end());
    arguments.insert(arguments.end(), videos.begin(), videos.end());
    const TCliResult run = Run(arguments);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("3 of 3 files converted"));
    for (int number = 1; number <= 3; ++number) {
      EXPECT_THAT(run.Out, HasSubstr("[" + std::to_string(number) + "/3] " + std::filesystem::path(videos[number - 1]).filename().string() + " -> "));
      EXPECT_THAT(run.Out, HasSubstr("[" + std::to_string(number) + "/3] done, " + (number == 3 ? "13" : "21") + " frames"));
    }
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(out)) written.insert(entry.path().filename().string());
    EXPECT_EQ(written, names) << out;
    for (const std::string& name : names) EXPECT_EQ(ReadBytes(out + "/" + name), ReadBytes(baseline + "/" + name)) << out << name;
  }
}

TEST_F(CliTest, UnusableCommandLinesAndFoldersStopBeforeAnyConversion) {
  const std::string file = Home.File("plain-file");
  std::ofstream(file) << "x";
  struct TCase {
    std::vector<std::string> Arguments;
    int Status;
    std::string Says;
  } cases[] = {
      {{"--help"}, 0, "Usage: vidorant-cli"},
      {{"-o", file + "/gifs", Mp4}, 2, "cannot write into the output folder \"" + file + "/gifs\""},
      {{"-o", file, Mp4}, 2, "cannot write into the output folder"},
      {{"-s", "320", Mp4}, 2, "is not WIDTHxHEIGHT"},
      {{"-s", "65536x240", Mp4}, 2, "the frame size \"65536x240\" is larger than a GIF can be"},
      {{"--start", "0:01:00", Mp4}, 2, "is not hh:mm:ss"},
      {{"--start", "00:00:02", "--end", "00:00:01", Mp4}, 2, "before the start time"},
      {{}, 2, "no video file given"},
      {{"--jobs", "0", Mp4}, 2, "the --jobs count \"0\" is not a whole number from 1 to 256"},
      {{"--threads", "x", Mp4}, 2, "the --threads count \"x\" is not a whole number from 1 to 256"},
  };
  for (const TCase& c : cases) {
    const TCliResult run = Run(c.Arguments);
    EXPECT_EQ(run.Status, c.Status) << c.Says;
    EXPECT_THAT(run.Out + run.Err, HasSubstr(c.Says));
  }
  EXPECT_FALSE(std::filesystem::exists(Home.File("Documents")));
}

}  // namespace
}  // namespace vidorant::testing
