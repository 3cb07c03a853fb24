// Generated videos converted by a transcoding task into the GIF handlers, read back by FFmpeg.
#include "convert/ClipRange.h"
#include "convert/FileTask.h"
#include "convert/GIFOutput.h"
#include "engine/core/FFmpeg.h"
#include "engine/core/TranscodeStreams.h"
#include "engine/encoder/FFEncode.h"
#include "engine/runtime/FFLoad.h"
#include "gif/GIFImage.h"
#include "platform/Environment.h"
#include "platform/MemoryStream.h"
#include "tests/fixtures/FFmpegGIFDecoder.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestPattern.h"
#include "tools/testvideo/TestVideo.h"

#include <gtest/gtest.h>

namespace vidorant::testing {
namespace {

class GIFOutputRun : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(FFLoader->LibsLoaded(RequiredLibraries) || FFLoader->LoadLibs(RequiredLibraries)) << FFLoader->LastErrMsg();
    RegisterFrameOutputFormats();
  }

  // The 4 s, 25 frames/s, 640x480 video at 10 pictures/s and 320x240 into gif; the task's error.
  std::string Convert(const std::string& gif, const TClipRange& clip) { return Convert(Output, gif, clip); }
  std::string Convert(TGIFOutput& output, const std::string& gif, const TClipRange& clip) {
    TCustomFFmpeg task(20);
    task.SetStartTime(clip.StartTime);
    EXPECT_TRUE(task.AddInputFile(Video)) << task.LastErrorMessage();
    for (auto [name, value] :
         {std::pair{"f", "rawrgb"}, {"vcodec", "rawvideo"}, {"r", "10"}, {"s", "320x240"}, {"pix_fmt", "bgr24"}})
      task.ParseOption(name, value);
    task.SetRecordingTime(clip.RecordingTime);
    EXPECT_EQ(task.AddOutputFile(AdapterOutputName(output.Adapter())), 1) << task.LastErrorMessage();
    output.SetOutputFile(Tmp.Path(), gif);
    task.Start(false);
    return task.ErrorMessage();
  }

  // The source picture each frame of the file shows (-2: a frame of another size).
  std::vector<int> Shown(const std::string& name) {
    TMemoryStream file;
    file.LoadFromFile(Tmp.File(name));
    EXPECT_EQ(std::string(file.Bytes().begin(), file.Bytes().begin() + 6), "GIF87a");
    std::vector<int> shown;
    for (const TDecodedPicture& p : DecodeGIFWithFFmpeg(file.Bytes())) {
      std::vector<uint8_t> bgr;
      for (uint32_t c : p.Colors) bgr.insert(bgr.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
      shown.push_back(p.Width == 320 && p.Height == 240 ? FrameIndexFromBGR24(bgr.data(), 960, 320, 240) : -2);
    }
    return shown;
  }

  TTempFolder Tmp;
  std::string Video =
      MakeTestVideo(Tmp.Path(), "in", [] { TVideoRecipe r; r.Width = 640, r.Height = 480, r.FrameCount = 100; return r; }());
  TGIFOutput Output;
};

TEST_F(GIFOutputRun, EachTenthOfASecondBecomesAFullColourTableFrameShowingItsSourcePicture) {
  ASSERT_EQ(Convert("whole.gif", ClipOfRow("00:00:04", "00:00:00", "00:00:04")), "");
  // Output frame k shows the first picture after the previous one no more than 1.1 frames behind it.
  std::vector<int> expected;
  for (int k = 0, i = 0; i < 100; i++)
    if (i * 0.4 >= k - 1.1) expected.push_back(i), k++;
  ASSERT_EQ(expected.size(), 41u);
  EXPECT_EQ(Shown("whole.gif"), expected);
  TGIFImage read;
  read.LoadFromFile(Tmp.File("whole.gif"));
  for (int i = 0; i < read.Images().Count(); i++) EXPECT_EQ(read.Images()[i]->ColorMap().Count(), 256);
  // The next file starts from an empty document.
  ASSERT_EQ(Convert("clip.gif", ClipOfRow("00:00:04", "00:00:01", "00:00:03")), "");
  EXPECT_EQ(Shown("clip.gif").size(), 21u);
}

TEST_F(GIFOutputRun, AnyNumberOfThreadsWritesTheBytesOfOne) {
  const TClipRange clip = ClipOfRow("00:00:04", "00:00:00", "00:00:02");
  TGIFOutput one(1);
  ASSERT_EQ(Convert(one, "one.gif", clip), "");
  TMemoryStream expected;
  expected.LoadFromFile(Tmp.File("one.gif"));
  ASSERT_EQ(Shown("one.gif").size(), 21u);
  for (int threads : {2, 8}) {
    TGIFOutput several(threads);
    const std::string name = std::to_string(threads) + ".gif";
    ASSERT_EQ(Convert(several, name, clip), "");
    TMemoryStream written;
    written.LoadFromFile(Tmp.File(name));
    EXPECT_EQ(written.Bytes(), expected.Bytes()) << threads << " threads";
  }
}

// The threads asked for decode; the raw encoder, which only copies each picture into a packet,
// keeps to one thread whatever the decoder was given.
TEST_F(GIFOutputRun, AFileTaskDecodesOnTheThreadsAskedForAndEncodesOnOne) {
  TFFEncoder encoder;
  const TFileTaskSetup setup = SetupFileTask(encoder, Output.Adapter(), Video, "320", "240", TClipRange{}, 3);
  ASSERT_TRUE(setup.Succeeded()) << setup.ErrorText;
  const TFFmpeg& task = encoder.Task(setup.TaskIndex);
  ASSERT_EQ(task.InputStreamCodecs().size(), 1u);
  EXPECT_EQ(task.InputStreamCodecs()[0].Context->thread_count, 3);
  ASSERT_EQ(task.Outputs().Streams().size(), 1u);
  EXPECT_EQ(task.Outputs().Streams()[0]->Encoder->thread_count, 1);
  encoder.ClearTasks();
}

TEST_F(GIFOutputRun, AFileWithoutFramesFailsLeavingNoFile) {
  EXPECT_EQ(Convert("none.gif", ClipOfRow("00:00:04", "00:00:05", "00:00:06")), "Unsupported GIF version");
  EXPECT_FALSE(FileExists(Tmp.File("none.gif")));
}

}  // namespace
}  // namespace vidorant::testing
