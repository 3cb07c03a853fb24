#include "engine/runtime/Previewer.h"

#include <mutex>
#include <utility>

#include "engine/runtime/FFUtils.h"
#include "platform/Synchronize.h"

namespace vidorant {
namespace {

// The factory is process-wide and set by the application while tasks may already run.
std::mutex gFactoryLock;
TPreviewWindowFactory gFactory;

std::unique_ptr<TPreviewWindow> MakePreviewWindow() {
  TPreviewWindowFactory factory;
  {
    std::lock_guard<std::mutex> lock(gFactoryLock);
    factory = gFactory;
  }
  // Called outside the lock: the application's factory builds a window and may take its time.
  return factory ? factory() : nullptr;
}

}  // namespace

void SetPreviewWindowFactory(TPreviewWindowFactory factory) {
  std::lock_guard<std::mutex> lock(gFactoryLock);
  gFactory = std::move(factory);
}

TPreviewer::~TPreviewer() {
  if (FWindow) Synchronize([this] { FWindow.reset(); });
}

bool TPreviewer::UpdatePreview(const TBitmap& picture, int64_t timestamp) {
  if (FClosed) return false;
  FPicture = picture;
  FTimestamp = timestamp;
  Synchronize([this] { ShowPreview(); });
  return !FClosed;
}

void TPreviewer::ShowPreview() {
  if (!FWindow) FWindow = MakePreviewWindow();
  // No window to show in, or the user closed it since the last picture: preview no more.
  if (!FWindow || FWindow->Closed()) {
    FClosed = true;
    return;
  }
  FWindow->Show(FPicture, TimeToText(FTimestamp));
}

}  // namespace vidorant
