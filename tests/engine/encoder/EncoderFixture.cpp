// The encoder tests' shared fixture (EncoderFixture.h).
#include "tests/engine/encoder/EncoderFixture.h"

#include "platform/Synchronize.h"
#include "platform/ThreadID.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestPattern.h"
#include "tools/testvideo/TestVideo.h"

extern "C" {
#include <libavcodec/packet.h>
}

#include <chrono>
#include <thread>

namespace vidorant::testing {
namespace {

std::unique_ptr<TTempFolder> VideoFolder;

}  // namespace

void TRecordingEncoder::RelayTerminate(TFFmpeg& task) {
  {
    std::lock_guard<std::mutex> lock(Lock);
    for (int i = 0; i < TaskCount(); i++)
      if (&Task(i) == &task) EndedTasks.push_back(i);
    EndingThreads.push_back(CurrentThreadID());
  }
  TFFEncoder::RelayTerminate(task);
  if (TailMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(TailMs));
}

void EncoderTest::SetUpTestSuite() {
  TFFEncoder loader;
  ASSERT_TRUE(loader.LibrariesLoaded() || loader.LoadLibraries("")) << loader.LastErrMsg();
  RegisterFrameOutputFormats();
  if (VideoFolder) return;
  VideoFolder = std::make_unique<TTempFolder>();
  for (int k = 0; k < VideoCount; k++) {
    TVideoRecipe recipe = MatroskaRecipe();
    recipe.FrameRate = {10, 1};
    recipe.FrameCount = FrameCount(k);
    MakeTestVideo(VideoFolder->Path(), "in" + std::to_string(k), recipe);
  }
}

std::string EncoderTest::Video(int k) { return VideoFolder->File("in" + std::to_string(k) + ".mkv"); }

EncoderTest::EncoderTest() : Encoder(std::make_unique<TRecordingEncoder>()) {
  Encoder->OnTerminate = [this](TObject* sender, const TTerminateInfo& info) {
    EXPECT_EQ(sender, Encoder.get());
    std::lock_guard<std::mutex> lock(Lock);
    Ends.push_back(info);
    if (info.TaskIndex == -1) RunEnded.SetEvent();
  };
  for (int k = 0; k < 8; k++) {
    Adapters[k].OnWriteFrame = [this, k](TObject*, POutputFrameInfo frame) {
      const int index = FrameIndexFromBGR24(frame->Packet->data, frame->Width * 3, frame->Width, frame->Height);
      std::lock_guard<std::mutex> lock(Lock);
      Received[k].push_back(index);
    };
  }
}

EncoderTest::~EncoderTest() {
  // Before the adapters and the records its handlers fill.
  Encoder.reset();
}

TOutputOptions EncoderTest::AdapterOptions() const {
  TOutputOptions options;
  options.FileFormat = "rawrgb";
  options.VideoCodec = "rawvideo";
  options.FrameRate = "10";
  options.ExtOptions = "pix_fmt=bgr24";
  return options;
}

void EncoderTest::AddTasks(int count, bool withOutput) {
  for (int k = 0; k < count; k++) {
    const int task = Encoder->AddTask(Video(k % VideoCount));
    ASSERT_EQ(task, Encoder->TaskCount() - 1) << Encoder->LastErrMsg();
    const TOutputOptions options = AdapterOptions();
    if (withOutput) {
      ASSERT_TRUE(Encoder->SetOutputFile(task, AdapterOutputName(Adapters[task]), &options)) << Encoder->LastErrMsg();
    }
  }
}

void EncoderTest::WaitForRunEnd() {
  // Bounded only so that a run that never ends fails here instead of hanging the test program.
  ASSERT_EQ(WaitServingSynchronize(RunEnded, 120000), TWaitResult::wrSignaled) << "the run never ended";
  RunEnded.ResetEvent();
}

std::vector<int> EncoderTest::EndOrder() {
  std::lock_guard<std::mutex> lock(Lock);
  std::vector<int> order;
  for (const TTerminateInfo& info : Ends) order.push_back(info.TaskIndex);
  return order;
}

std::vector<int> EncoderTest::Pictures(int adapter) {
  std::lock_guard<std::mutex> lock(Lock);
  return Received[adapter];
}

}  // namespace vidorant::testing
