// What the end-to-end tests of a transcoding task share: a reading of a media file made with the
// libraries directly (not through the engine), the constant-rate schedule worked out on its own
// from the source pictures' times, a recorder of the frame output adapter's events and of the
// task's progress, and the set-up and running of a task from option lists.
// Invariant: the schedule is computed from the decoded source alone, never by the engine's own
// frame-rate code, so a fault shared by both cannot hide.
#pragma once

#include "engine/runtime/FrameOutput.h"
#include "tests/engine/core/TestEngine.h"
#include "tools/testvideo/TestVideo.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

namespace vidorant {
class TThread;
}

namespace vidorant::testing {

// One decoded picture of a file's video stream.
struct TSourcePicture {
  int64_t Time = 0;  // µs on the stream's clock (the container's start offset included)
  int Index = -1;    // the pattern's frame index; -1 when the picture shows none
  bool Key = false;  // decoded from a key packet: a backward seek can land here
};

// A file as the libraries themselves read it.
struct TMediaFile {
  int VideoStreams = 0, AudioStreams = 0;
  std::string VideoCodec;  // decoder name of the first video stream
  int Width = 0, Height = 0;
  int64_t StartTime = 0;             // µs: the container's start offset, 0 when it reports none
  int64_t Duration = -1;             // µs: the container's duration, -1 when it reports none
  std::vector<TSourcePicture> Pictures;  // the first video stream's, in presentation order
  std::vector<int> PacketSizes;          // the first video stream's packets in file order
};

// A container's recipe brought to a size, rate and length, with or without a 440 Hz tone.
TVideoRecipe Shaped(TVideoRecipe recipe, int width, int height, AVRational rate, int frames, bool tone = false);

// Opens and decodes the whole file; a file that cannot be opened fails the calling test.
TMediaFile ReadMediaFile(const std::string& path);

// What the task was asked for, as the schedule needs it.
struct TRateRule {
  AVRational Rate{10, 1};           // output frames per second
  int64_t ClipStart = 0;            // µs ("ss"): the reading starts at the key picture before it
  int64_t ClipLength = -1;          // µs ("t"); -1: to the end
  bool OneFramePerPicture = false;  // "vsync" 0
  int MaxFrames = INT_MAX;          // "vframes"
};

// The source index each output frame shows under the constant-rate rule: a picture at output
// time x (in frames since the clip start) facing n frames already made becomes 0 frames when
// x - n < -1.1, round-half-even(x - n) frames when x - n > 1.1, else 1.
std::vector<int> ConstantRateSchedule(const TMediaFile& source, const TRateRule& rule);

// Records what the adapter's events delivered. Attach before the task starts; read after it ended.
struct TAdapterRecord {
  int Headers = 0, Closes = 0;
  int Width = 0, Height = 0, PixFmt = -1;  // the record as the header saw it
  std::vector<int> FrameNumbers;
  std::vector<int> PacketSizes;
  std::vector<int> Indices;  // pattern index of each packet read as BGR rows; -1: no pattern

  // Optional extra steps run inside the handlers (on the task's thread).
  std::function<void()> AfterHeader;
  std::function<void(int frameNumber)> AfterFrame;

  void Attach(TFrameOutputAdapter& adapter);
};

// One progress report as the task raised it.
struct TProgressRecord {
  int32_t FileIndex, FrameNumber, FPS;
  float Quality, Bitrate;
  int64_t TotalSize, CurrentTime, ExpectedDuration;
};
void RecordProgress(TTestTask& task, std::vector<TProgressRecord>& into);

using TOptionList = std::vector<std::pair<std::string, std::string>>;

// The converter's output options for the adapter: rawrgb, rawvideo, 10 frames/s, 320x240, bgr24.
TOptionList AdapterOutputOptions();

// Gives the input options, opens the input, gives the output options and adds the output.
// False, with the task's message as a test failure, when a step is refused.
bool SetUpTask(TTestTask& task, const TOptionList& inputOptions, const std::string& input,
               const TOptionList& outputOptions, const std::string& output);

// Binds the libraries and registers the adapter's formats; safe to call again.
void PrepareTranscodeTests();

// Runs the task on a worker thread and serves its synchronised calls on this thread until the
// worker is done. begin gets the suspended worker and must let it run (Resume, or a Stop, which
// resumes it); without begin the worker is simply resumed.
void RunOnWorker(TTestTask& task, const std::function<void(TThread& worker)>& begin = {});

}  // namespace vidorant::testing
