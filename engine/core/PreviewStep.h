// The preview step of a task's video path: at most once per preview interval (of the library's
// clock) an output picture is shown, either to the application's preview event or in the
// previewer's window. The picture is converted to a bitmap only when it will be shown. A mode
// that fails (the conversion for the event, the window for the previewer, which the user may
// close) is switched off for the rest of the run.
// Invariant: all tasks' preview steps run under one process-wide lock, so previews of tasks on
// several threads never interleave.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/runtime/Previewer.h"
#include "platform/Bitmap.h"

namespace vidorant {

class TPreviewStep {
public:
  // The picture as a bitmap, or null when it cannot be converted (the caller logs why).
  using TConvert = std::function<const TBitmap*()>;
  // The application's preview event: the bitmap, the output frame number and its time (µs).
  using TPreviewEvent = std::function<void(const TBitmap& bitmap, int32_t frameNumber, int64_t timestamp)>;

  static constexpr int64_t DefaultInterval = 100000;  // µs

  explicit TPreviewStep(int64_t intervalUs = DefaultInterval) : FInterval(intervalUs) {}

  // Offers one output picture at library clock `now` (µs).
  void Offer(int64_t now, int32_t frameNumber, int64_t timestamp, const TConvert& convert);

  bool EventMode = false;      // the preview event is wanted (and assigned)
  bool PreviewerMode = false;  // the previewer's window is wanted
  TPreviewEvent OnPreviewBitmap;

private:
  int64_t FInterval;
  bool FShownOnce = false;
  int64_t FLastShown = 0;                // library clock, µs
  std::unique_ptr<TPreviewer> FPreviewer;  // made on first use
};

}  // namespace vidorant
