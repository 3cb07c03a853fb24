#include "app/MainThreadHooks.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/PreviewWindow.h"
#include "engine/runtime/Previewer.h"
#include "platform/Synchronize.h"

namespace vidorant {

TMainThreadHooks::TMainThreadHooks() {
  // Called on the worker that queued a call; the posted call runs on the application's thread.
  SetWakeMainThread([] {
    if (QCoreApplication* app = QCoreApplication::instance()) {
      QMetaObject::invokeMethod(app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
    }
  });
  SetProcessMessages([] { QCoreApplication::processEvents(); });
  SetPreviewWindowFactory([]() -> std::unique_ptr<TPreviewWindow> { return std::make_unique<TQtPreviewWindow>(); });
}

TMainThreadHooks::~TMainThreadHooks() {
  SetPreviewWindowFactory(nullptr);
  SetProcessMessages(nullptr);
  SetWakeMainThread(nullptr);
}

}  // namespace vidorant
