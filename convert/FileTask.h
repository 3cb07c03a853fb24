// The task that converts one video into the GIF output, set up the same way by the window and by
// the command line: the video (from the clip's start when a clip applies) read into the frame
// output adapter as raw 24-bit BGR pictures, 10 per second, at the frame size as typed (the
// engine refuses a size it cannot use), for the clip's length when a clip applies.
// Invariant: a set-up either leaves one new task with its one output in the encoder's list, or
// leaves the list as it was.
#pragma once

#include <string>

#include "convert/ClipRange.h"
#include "engine/encoder/FFEncode.h"
#include "engine/runtime/FrameOutput.h"

namespace vidorant {

struct TFileTaskSetup {
  int TaskIndex = -1;     // the new task; -1 when the file cannot be converted
  std::string ErrorText;  // the engine's reason when TaskIndex is -1
  bool Succeeded() const { return TaskIndex >= 0; }
};

// Adds the task to the encoder (which must not be working). frameWidth and frameHeight are the
// texts of the frame size, passed as "W" + "x" + "H". decoderThreads (at least 1) is the number
// of threads the video's decoder may use: the pictures it gives are the same with any number,
// and on large sources decoding is most of a conversion's work.
TFileTaskSetup SetupFileTask(TFFEncoder& encoder, const TFrameOutputAdapter& adapter, const std::string& videoPath,
                             const std::string& frameWidth, const std::string& frameHeight, const TClipRange& clip,
                             int decoderThreads = 1);

// What the user is told about a video whose task cannot be set up.
std::string UnsupportedFileText(const std::string& videoPath);

}  // namespace vidorant
