// The preview of a running task: the task's worker hands each picture to be previewed to a
// TPreviewer, which shows it, captioned with its time, in a small always-on-top window until the
// user closes that window. The engine never touches a window itself: the window is the
// application's, reached through TPreviewWindow and made by the factory the application registers
// at start-up. With no factory registered (the command line, most tests) nothing is shown and
// UpdatePreview answers false at once, so the task stops previewing.
// Invariants: every call on a window, its creation and its destruction happen on the main thread
// (the worker waits meanwhile); once the user has closed the window it stays closed for the
// previewer's life.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Bitmap.h"
#include "platform/TObject.h"

namespace vidorant {

// The application's preview window. Called on the main thread only.
class TPreviewWindow {
public:
  virtual ~TPreviewWindow() = default;
  // Shows the picture at the window's top-left corner with the caption. The first call shows the
  // window: always on top, a tool window centred on the screen, its client area the picture's size.
  virtual void Show(const TBitmap& picture, const std::string& caption) = 0;
  // True once the user has closed the window.
  virtual bool Closed() const = 0;
};

// Makes a window for a previewer; may return nullptr when none can be made.
using TPreviewWindowFactory = std::function<std::unique_ptr<TPreviewWindow>()>;

// Registers the factory of preview windows (an empty one removes it). Any thread.
void SetPreviewWindowFactory(TPreviewWindowFactory factory);

class TPreviewer : public TObject {
public:
  TPreviewer() = default;
  // Frees the window on the main thread (waiting for it when called on another thread).
  ~TPreviewer() override;
  TPreviewer(const TPreviewer&) = delete;
  TPreviewer& operator=(const TPreviewer&) = delete;

  // Shows a copy of the picture captioned with the time (µs) and waits until it is shown. False,
  // without showing anything, once the window was closed or when no window can be made.
  bool UpdatePreview(const TBitmap& picture, int64_t timestamp);
  bool Closed() const { return FClosed; }

private:
  // Runs on the main thread.
  void ShowPreview();

  std::unique_ptr<TPreviewWindow> FWindow;  // made on first use; main thread only
  std::atomic<bool> FClosed{false};
  TBitmap FPicture;        // the picture being shown; written by the worker before ShowPreview
  int64_t FTimestamp = 0;  // µs
};

}  // namespace vidorant
