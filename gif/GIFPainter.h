// The animation painter: shows a document's frames one after another on a canvas with their
// delays, honours the disposal methods with off-screen buffers, loops as the looping block says
// and reports through five painting events. It runs on its own thread (PaintAsync), where every
// step that touches the document, the canvas or an event handler runs on the main thread
// through Synchronize, or synchronously on the calling thread.
// Ownership: the painter refers to its document and canvas (not owned; both outlive it) and owns
// its buffers, which it frees when its run ends. While it runs it is in the document's painter
// list. Invariant: the painter thread itself touches nothing of the document but its
// thread-safe painter list, so the main thread may change frames between two frames of an
// animation.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Bitmap.h"
#include "platform/Color.h"
#include "platform/Event.h"
#include "platform/Geometry.h"
#include "platform/Thread.h"

namespace vidorant {

class TCanvas;
class TGIFImage;
class TGIFPainter;

// Paint option bits (TGIFImage::DrawOptions). 0x200 and 0x400 are kept in the default but have
// no meaning to the painter.
enum TGIFPaintOption : uint16_t {
  PaintAsync = 0x01,           // run on a thread of its own
  PaintTransparent = 0x02,     // transparent areas show what the canvas held before
  PaintAnimate = 0x04,         // show every frame, not just one
  PaintLoop = 0x08,            // repeat the animation
  PaintLoopForever = 0x10,     // repeat without end, whatever the looping block says
  PaintValidateCanvas = 0x20,  // stop when the target can no longer be drawn on
  PaintDirect = 0x40,          // draw on the target canvas, not into the document's bitmap
  PaintClearOnLoop = 0x80,     // clear the picture before the first frame of each pass
};

// A painter's wait before its next frame. Returns true when the wait was cut short by a wake-up
// (Stop, Restart, Wake). The default waits on the painter's event (asynchronous) or sleeps in
// slices serving the main thread's queued calls (synchronous); tests replace it.
using TGIFPainterWait = std::function<bool(TGIFPainter& painter, uint32_t milliseconds)>;
// A monotonic clock in milliseconds.
using TGIFPainterClock = std::function<int64_t()>;

// Process-wide timing of painters; a painter copies it when it is made. Delays are in the
// file's unit, 1/100 s.
struct TGIFPainterTiming {
  int DelayMultiplier = 12;  // milliseconds per delay unit
  int DefaultDelay = 10;     // for a frame that gives no delay
  int MinimumDelay = 3;      // a frame's own delay is raised to this
  int MaximumDelay = 1000;   // and, for a synchronous painter, lowered to this
  TGIFPainterWait Wait;      // empty: the painter's own wait
  TGIFPainterClock Clock;    // empty: the steady clock
};

extern TGIFPainterTiming GIFPainterTiming;

class TGIFPainter : public TThread {
public:
  // Paints image into rect of canvas; nothing happens until Start.
  TGIFPainter(TGIFImage& image, TCanvas& canvas, const TRect& rect, uint16_t options);
  // Stops a running painter and waits for its end.
  ~TGIFPainter() override;

  // A synchronous painter runs its whole animation here; an asynchronous one is resumed.
  void Start();
  // Ends the animation at its next step: wakes the painter, returns its priority to normal.
  // Returns at once; WaitFor waits for the end.
  void Stop();
  // Starts the animation over from its first frame (after a change of speed or frames).
  void Restart();
  // Cuts the current wait short (being woken starts the timing afresh).
  void Wake() { FEvent.SetEvent(); }

  TGIFImage& Image() const { return *FImage; }
  TCanvas& Canvas() const { return *FCanvas; }
  const TRect& PaintRect() const { return FRect; }
  uint16_t Options() const { return FOptions; }
  bool Asynchronous() const { return (FOptions & PaintAsync) != 0; }
  // The frame being painted, -1 when idle. The after-paint handler may set it to choose the
  // next frame.
  int ActiveImage() const { return FActiveImage; }
  void SetActiveImage(int index) { FActiveImage = index; }
  // A frame has been painted.
  bool PaintStarted() const { return FStarted; }
  // Passes still to run (-1: endless), as the looping block set them.
  int PassesLeft() const { return FPasses; }
  // Whether the off-screen buffers exist (they go when the run ends).
  bool HasBuffers() const { return FBackup != nullptr; }
  // Set when the first frame has been painted or the run ended without one.
  TEvent& FirstPaintDone() { return FFirstPaint; }
  // The colour areas are cleared to (disposal 2, clear on loop) when no background was saved.
  TColor BackgroundColor() const { return FBackgroundColor; }

  // When set, the painter clears this slot (if it still holds the painter) as its run ends.
  std::atomic<TGIFPainter*>* Reference = nullptr;
  // Copied from the document when made; the painter passes itself as Sender.
  TNotifyEvent OnStartPaint;
  TNotifyEvent OnPaint;
  TNotifyEvent OnAfterPaint;
  TNotifyEvent OnLoop;
  TNotifyEvent OnEndPaint;
  // Animation speed in percent, copied from the document; below 1 pauses the animation.
  std::atomic<int> AnimationSpeed;
  TGIFPainterTiming Timing;

protected:
  void Execute() override;

private:
  // The run: passes over the frames until done, stopped or restarted.
  void Animate();
  // Paints one frame at FActiveImage and works out its delay; the looping block it carries
  // sets the passes. Runs on the main thread for an asynchronous painter. Returns whether
  // another frame follows in this pass.
  bool PaintStep(int& restartFrame, bool& loopSeen);
  // Runs fn on the main thread for an asynchronous painter, here for a synchronous one.
  void Call(const std::function<void()>& fn);
  void Fire(const TNotifyEvent& event);
  // Waits for the previous frame's delay before the next frame.
  void WaitForNextFrame(bool firstFrame);
  bool DefaultWait(uint32_t milliseconds);
  int64_t Now() const;
  bool ShouldStop() const { return Terminated() || FRestart; }
  // The end of a run, also after an error: buffers go, the painter leaves the list and slot.
  void Finish();

  // Off-screen buffers (GIFPainterBuffers.cpp).
  void CreateBuffers();
  void FreeBuffers();
  void ClearToBackground(const TRect& area);
  void PaintFrame(int index, int disposal);

  TGIFImage* FImage;   // not owned
  TCanvas* FCanvas;    // not owned
  TRect FRect;
  uint16_t FOptions;
  std::atomic<int> FActiveImage{-1};
  std::atomic<bool> FStarted{false};
  std::atomic<bool> FRestart{false};
  std::atomic<int> FPasses{0};
  int FDisposal = 0;          // of the frame being painted
  int FPreviousDisposal = 0;  // of the frame painted before it
  int FDelay = 1;             // of the frame painted last, in delay units
  int64_t FLastTick = 0;      // when the last wait began, in milliseconds
  int64_t FLastWait = 0;      // how long it was meant to last
  TColor FBackgroundColor = 0;
  std::unique_ptr<TBitmap> FBackup;      // the picture as the next frame starts from it
  std::unique_ptr<TBitmap> FFrameBuffer; // where a frame to be undone is laid over the backup
  std::unique_ptr<TBitmap> FBackground;  // the target area as it was before painting
  TEvent FEvent;       // wakes a waiting painter
  TEvent FFirstPaint;
};

}  // namespace vidorant
