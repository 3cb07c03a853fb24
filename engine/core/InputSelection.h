// Which input file the transcode loop reads next. Every output stream pulls on the input stream
// that feeds it; the input of the output stream furthest behind (by its presentation time, or by
// its input's timestamp with `isync`) is read, so the outputs advance together and a long input
// is not read far ahead of a short one.
// Invariant: never a file at its end, a file that had no packet for now, or a stream past the
// recording time is selected; nothing is once an output stream still in play (not past the
// recording time, its input not waiting for a packet) has reached its frame limit.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace vidorant {

// One output stream as the selection sees it.
struct TSelectableOutput {
  int InputFile = 0;               // the file of the input stream that feeds it
  double InputTimestamp = 0;       // that input stream's current timestamp, µs
  double PresentationTime = 0;     // the output stream's current presentation time, seconds
  bool PastRecordingTime = false;  // its input stream has passed the clip end
  int64_t FrameNumber = 0;         // frames it has put out
  int64_t MaxFrames = INT64_MAX;   // the frame limit of its media kind
};

struct TSelectableInput {
  bool AtEnd = false;      // end of file reached
  bool NoPacketNow = false;  // the last read said "try again"
};

// The input file to read next, or none. joiningInput: when inputs are joined, the one being
// played; outputs fed by other inputs are not looked at.
std::optional<int> SelectInputFile(const std::vector<TSelectableOutput>& outputs,
                                   const std::vector<TSelectableInput>& inputs, bool inputSync,
                                   std::optional<int> joiningInput = std::nullopt);

}  // namespace vidorant
