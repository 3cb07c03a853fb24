#include "engine/core/InputSelection.h"

namespace vidorant {
namespace {

// Larger than any time a stream reaches, so the first candidate always becomes the minimum.
constexpr double NoMinimum = 1e100;

}  // namespace

std::optional<int> SelectInputFile(const std::vector<TSelectableOutput>& outputs,
                                   const std::vector<TSelectableInput>& inputs, bool inputSync,
                                   std::optional<int> joiningInput) {
  double smallestInput = NoMinimum;
  double smallestOutput = NoMinimum;
  std::optional<int> selected;
  for (const TSelectableOutput& out : outputs) {
    if (joiningInput && out.InputFile != *joiningInput) continue;
    if (out.InputFile < 0 || out.InputFile >= static_cast<int>(inputs.size())) continue;
    const TSelectableInput& in = inputs[out.InputFile];
    if (out.PastRecordingTime || in.NoPacketNow) continue;
    if (!in.AtEnd) {
      if (out.InputTimestamp < smallestInput) {
        smallestInput = out.InputTimestamp;
        if (inputSync) selected = out.InputFile;
      }
      if (out.PresentationTime < smallestOutput) {
        smallestOutput = out.PresentationTime;
        if (!inputSync) selected = out.InputFile;
      }
    }
    // One stream at its limit ends the reading of every input.
    if (out.FrameNumber >= out.MaxFrames) return std::nullopt;
  }
  return selected;
}

}  // namespace vidorant
