// A task writing ordinary media files: what FFmpeg reads back from them, the removal of an output
// left empty, the refusal of an output without streams, and inputs that are not what their name
// says. The written files are read by the libraries directly, not by the engine.
#include "platform/Thread.h"
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace vidorant::testing {
namespace {

namespace fs = std::filesystem;

class TranscodeFile : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }
  TTempFolder Tmp;
  TTestTask Task;
};

struct TReencodeCase {
  const char* Name;
  TVideoRecipe (*Source)();
  const char* OutputFile;
  const char* Codec;     // encoder asked for
  const char* Decoder;   // what FFmpeg finds in the output
  friend void PrintTo(const TReencodeCase& c, std::ostream* os) { *os << c.Name; }
};

class TranscodeReencode : public TranscodeFile, public ::testing::WithParamInterface<TReencodeCase> {};

// Same rate in and out: every source picture, in order, in a stream of the asked codec and size.
TEST_P(TranscodeReencode, OutputReadsBackWithEverySourcePicture) {
  const TReencodeCase& c = GetParam();
  const std::string source = MakeTestVideo(Tmp.Path(), "source", Shaped(c.Source(), 160, 120, {25, 1}, 30));
  const std::string output = Tmp.File(c.OutputFile);
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"vcodec", c.Codec}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();

  const TMediaFile written = ReadMediaFile(output);
  EXPECT_EQ(written.VideoStreams, 1);
  EXPECT_EQ(written.VideoCodec, c.Decoder);
  EXPECT_EQ(written.Width, 160);
  EXPECT_EQ(written.Height, 120);
  std::vector<int> indices;
  for (const TSourcePicture& p : written.Pictures) indices.push_back(p.Index);
  EXPECT_EQ(indices, ConstantRateSchedule(ReadMediaFile(source), {{25, 1}}));
}

INSTANTIATE_TEST_SUITE_P(All, TranscodeReencode,
                         ::testing::Values(TReencodeCase{"MkvFfv1ToAviMpeg4", MatroskaRecipe, "out.avi", "mpeg4", "mpeg4"},
                                           TReencodeCase{"Mp4Mpeg4ToMkvMjpeg", Mp4Recipe, "out.mkv", "mjpeg", "mjpeg"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(TranscodeFile, StreamCopyKeepsEveryVideoPacket) {
  const std::string source = MakeTestVideo(Tmp.Path(), "source", Shaped(Mp4Recipe(), 160, 120, {25, 1}, 40));
  const std::string output = Tmp.File("copy.mkv");
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"vcodec", "copy"}}, output));
  Task.Start(false);
  ASSERT_TRUE(Task.Finished()) << Task.ErrorMessage();
  const TMediaFile written = ReadMediaFile(output);
  EXPECT_EQ(written.VideoCodec, "mpeg4");
  EXPECT_EQ(written.PacketSizes, ReadMediaFile(source).PacketSizes);
}

// A raw video file gets no byte before its first packet: a run that puts out no frame leaves it
// empty, and an empty output is removed rather than left behind as a broken file.
struct TEmptyCase {
  const char* Name;
  TOptionList InputOptions;
  bool StopFirst;  // stop the worker before it reads anything
  friend void PrintTo(const TEmptyCase& c, std::ostream* os) { *os << c.Name; }
};

class TranscodeEmptyOutput : public TranscodeFile, public ::testing::WithParamInterface<TEmptyCase> {};

TEST_P(TranscodeEmptyOutput, IsDeleted) {
  const std::string source = MakeTestVideo(Tmp.Path(), "source", Shaped(Mp4Recipe(), 64, 48, {25, 1}, 50));
  const std::string output = Tmp.File("out.yuv");
  ASSERT_TRUE(SetUpTask(Task, GetParam().InputOptions, source, {{"f", "rawvideo"}, {"vcodec", "rawvideo"}}, output));
  RunOnWorker(Task, [this](TThread& worker) {
    if (GetParam().StopFirst)
      Task.Stop(false);  // resumes the worker with the stop already requested
    else
      worker.Resume();
  });
  EXPECT_FALSE(Task.Error()) << Task.ErrorMessage();
  EXPECT_NE(Task.Finished(), GetParam().StopFirst);
  EXPECT_FALSE(fs::exists(output));
}

INSTANTIATE_TEST_SUITE_P(All, TranscodeEmptyOutput,
                         ::testing::Values(TEmptyCase{"ClipBeyondTheEnd", {{"ss", "10"}}, false},
                                           TEmptyCase{"StopBeforeTheFirstPacket", {}, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(TranscodeFile, AnOutputWithoutStreamsEndsTheTaskWithAnError) {
  const std::string source = MakeTestVideo(Tmp.Path(), "source", Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 10, true));
  const std::string output = Tmp.File("nothing.mkv");
  ASSERT_TRUE(SetUpTask(Task, {}, source, {{"vn", ""}, {"an", ""}}, output));
  int terminations = 0;
  Task.OnTerminate = [&terminations](TObject*) { ++terminations; };
  Task.Start(false);
  EXPECT_TRUE(Task.Error());
  EXPECT_EQ(Task.ErrorMessage(), "Output file #0 does not contain any stream");
  EXPECT_FALSE(Task.Finished());
  EXPECT_EQ(terminations, 1);
  EXPECT_FALSE(fs::exists(output)) << "nothing was written into it";
}

// Inputs cut short or not media at all end with a message naming the file, under the sanitizers.
struct THostileCase {
  const char* Name;
  void (*Spoil)(const std::string& path);  // rewrites the generated mp4
  friend void PrintTo(const THostileCase& c, std::ostream* os) { *os << c.Name; }
};

class TranscodeHostileInput : public TranscodeFile, public ::testing::WithParamInterface<THostileCase> {};

TEST_P(TranscodeHostileInput, EndsWithAMessageNamingTheFile) {
  const std::string path = MakeTestVideo(Tmp.Path(), "hostile", Shaped(Mp4Recipe(), 64, 48, {25, 1}, 50));
  GetParam().Spoil(path);
  if (!Task.AddInputFile(path)) {
    EXPECT_NE(Task.LastErrorMessage().find(path), std::string::npos) << Task.LastErrorMessage();
    return;
  }
  TFrameOutputAdapter adapter;
  TOptionList output = AdapterOutputOptions();
  for (const auto& [name, value] : output) Task.ParseOption(name, value);
  if (Task.AddOutputFile(AdapterOutputName(adapter)) < 0) {
    EXPECT_FALSE(Task.LastErrorMessage().empty());
    return;
  }
  Task.Start(false);
  EXPECT_TRUE(Task.Error());
  EXPECT_FALSE(Task.ErrorMessage().empty());
}

void KeepFirstHalf(const std::string& path) { fs::resize_file(path, fs::file_size(path) / 2); }
void FillWithNoise(const std::string& path) {
  std::mt19937 random(20240611);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int i = 0; i < 64 * 1024; ++i) out.put(static_cast<char>(random()));
}
void MakeEmpty(const std::string& path) { fs::resize_file(path, 0); }

INSTANTIATE_TEST_SUITE_P(All, TranscodeHostileInput,
                         ::testing::Values(THostileCase{"TruncatedMp4", KeepFirstHalf},
                                           THostileCase{"RandomBytesNamedMp4", FillWithNoise},
                                           THostileCase{"ZeroLength", MakeEmpty}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vidorant::testing
