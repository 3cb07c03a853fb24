// What the encoder component's tests share: the libraries loaded through the component, four
// short generated videos (10 pictures per second, 8, 10, 12 and 14 pictures, each picture
// carrying its index), one frame output adapter per task that records the picture indices it
// receives, and a record of every termination event in the order it arrived.
#pragma once

#include "engine/encoder/FFEncode.h"
#include "engine/runtime/FrameOutput.h"
#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vidorant::testing {

// The component with a record of the threads its tasks end on. TailMs keeps an ending worker a
// little longer after it handed its termination over, where a task freed too early would be
// touched by it.
class TRecordingEncoder : public TFFEncoder {
public:
  void RelayTerminate(TFFmpeg& task) override;

  std::mutex Lock;
  std::vector<int> EndedTasks;           // task indices in the order their ends were relayed
  std::vector<uint32_t> EndingThreads;   // the thread of each of those ends
  std::atomic<int> TailMs{0};
};

class EncoderTest : public ::testing::Test {
protected:
  static constexpr int VideoCount = 4;
  static void SetUpTestSuite();
  // Pictures in video k.
  static int FrameCount(int video) { return 8 + 2 * video; }

  EncoderTest();
  ~EncoderTest() override;

  // The converter's output: the adapter of the task, raw BGR pictures at 10 per second.
  TOutputOptions AdapterOptions() const;
  // Adds count tasks, task k reading video k % VideoCount into adapter k (without output when
  // withOutput is false). Asserts that each set-up succeeded.
  void AddTasks(int count, bool withOutput = true);
  // Serves synchronised calls until the event with TaskIndex -1 arrived.
  void WaitForRunEnd();
  // The task indices of the termination events, in the order they arrived.
  std::vector<int> EndOrder();
  // The picture indices adapter k received, in order.
  std::vector<int> Pictures(int adapter);

  static std::string Video(int k);

  TFrameOutputAdapter Adapters[8];
  std::mutex Lock;
  std::vector<TTerminateInfo> Ends;
  std::vector<std::vector<int>> Received{8};
  TEvent RunEnded;
  std::unique_ptr<TRecordingEncoder> Encoder;
};

}  // namespace vidorant::testing
