#include "engine/core/PreviewStep.h"

#include <mutex>

namespace vidorant {
namespace {

std::mutex& PreviewLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

void TPreviewStep::Offer(int64_t now, int32_t frameNumber, int64_t timestamp, const TConvert& convert) {
  std::lock_guard<std::mutex> lock(PreviewLock());
  const bool toEvent = EventMode && OnPreviewBitmap;
  if (!toEvent && !PreviewerMode) return;
  if (FShownOnce && now - FLastShown < FInterval) return;
  FShownOnce = true;
  FLastShown = now;
  const TBitmap* bitmap = convert();
  if (toEvent) {
    if (bitmap)
      OnPreviewBitmap(*bitmap, frameNumber, timestamp);
    else
      EventMode = false;
    return;
  }
  if (!FPreviewer) FPreviewer = std::make_unique<TPreviewer>();
  if (!bitmap || !FPreviewer->UpdatePreview(*bitmap, timestamp)) PreviewerMode = false;
}

}  // namespace vidorant
