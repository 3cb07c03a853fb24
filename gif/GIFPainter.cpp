// TGIFPainter: the run over the frames, the painting events and the waits between frames.
#include "gif/GIFPainter.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "gif/GIFAppExtension.h"
#include "gif/GIFImage.h"
#include "platform/Canvas.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {

TGIFPainterTiming GIFPainterTiming;

namespace {
// A paused synchronous painter still returns to its caller now and then, so that a drawing
// call cannot block its thread for good.
constexpr uint32_t PausedSynchronousWait = 12000;
// A synchronous painter sleeps in slices of this length, serving the main thread in between.
constexpr uint32_t SynchronousSlice = 100;
}  // namespace

TGIFPainter::TGIFPainter(TGIFImage& image, TCanvas& canvas, const TRect& rect, uint16_t options)
    : TThread(std::string("GIF painter")),
      OnStartPaint(image.OnStartPaint),
      OnPaint(image.OnPaint),
      OnAfterPaint(image.OnAfterPaint),
      OnLoop(image.OnLoop),
      OnEndPaint(image.OnEndPaint),
      AnimationSpeed(image.AnimationSpeed),
      Timing(GIFPainterTiming),
      FImage(&image),
      FCanvas(&canvas),
      FRect(rect),
      FOptions(options) {}

TGIFPainter::~TGIFPainter() {
  // The thread uses this object's members to its end, so it must be gone before they are.
  if (Started()) {
    Stop();
    WaitFor();
  }
}

void TGIFPainter::Start() {
  FImage->Painters().Add(this);
  if (Asynchronous()) {
    Resume();
    return;
  }
  Execute();
}

void TGIFPainter::Stop() {
  Terminate();
  FEvent.SetEvent();
  if (!Asynchronous()) return;
  SetPriority(TThreadPriority::tpNormal);
  Resume();
}

void TGIFPainter::Restart() {
  FRestart = true;
  FEvent.SetEvent();
}

void TGIFPainter::Execute() {
  try {
    Call([this] { CreateBuffers(); });
    do {
      FRestart = false;
      Animate();
    } while (FRestart && !Terminated());
  } catch (...) {
    Finish();
    throw;
  }
  Finish();
}

void TGIFPainter::Finish() {
  FreeBuffers();
  FActiveImage = -1;
  FImage->Painters().Remove(this);
  if (Reference) {
    TGIFPainter* self = this;
    Reference->compare_exchange_strong(self, nullptr);
  }
  FFirstPaint.SetEvent();
}

void TGIFPainter::Call(const std::function<void()>& fn) {
  if (Asynchronous())
    Synchronize(fn);
  else
    fn();
}

void TGIFPainter::Fire(const TNotifyEvent& event) {
  if (event) event(this);
}

void TGIFPainter::Animate() {
  const bool animate = (FOptions & PaintAnimate) != 0;
  const bool loop = (FOptions & PaintLoop) != 0;
  const bool forever = (FOptions & PaintLoopForever) != 0;
  Call([this] { Fire(OnStartPaint); });
  FPasses = 1;
  int restartFrame = 0;
  bool loopSeen = false;
  while ((FPasses != 0 || forever) && !ShouldStop()) {
    bool more = true;
    Call([&] {
      if (FStarted) Fire(OnLoop);
      FActiveImage = restartFrame;
      more = FActiveImage < FImage->Images().Count();
      // Each pass starts from a clean picture, so a frame that does not cover the screen
      // does not show what the end of the previous pass left.
      if (more && (FOptions & PaintClearOnLoop) && FBackup) ClearToBackground(Rect(0, 0, FBackup->Width(), FBackup->Height()));
    });
    while (more && !ShouldStop()) {
      WaitForNextFrame(!FStarted);
      if (ShouldStop()) break;
      Call([&] { more = PaintStep(restartFrame, loopSeen); });
      if (!animate) break;
    }
    if (FPasses > 0) --FPasses;
    if (!(animate && loop)) break;
  }
  Call([this] {
    Fire(OnEndPaint);
    FActiveImage = -1;
  });
}

bool TGIFPainter::PaintStep(int& restartFrame, bool& loopSeen) {
  if ((FOptions & PaintValidateCanvas) && FCanvas->Bitmap().Empty()) {
    // The target can no longer be drawn on.
    Terminate();
    return false;
  }
  Fire(OnPaint);
  // The handler may have stopped the painter or changed the frames.
  const int index = FActiveImage;
  if (ShouldStop() || index < 0 || index >= FImage->Images().Count()) return false;
  TGIFSubImage* frame = FImage->Images()[index];
  const TGIFGraphicControlExtension* control = frame->GraphicControlExtension();
  FDisposal = control ? control->Disposal() : dmKeep;
  PaintFrame(index, FDisposal);
  FPreviousDisposal = FDisposal;

  FDelay = Timing.DefaultDelay;
  if (control && control->Delay() != 0) {
    FDelay = std::max<int>(control->Delay(), Timing.MinimumDelay);
    // A synchronous painter holds up its caller for the whole delay.
    if (!Asynchronous()) FDelay = std::min(FDelay, Timing.MaximumDelay);
  }

  if (!loopSeen) {
    for (int i = 0; i < frame->Extensions().Count(); ++i) {
      const auto* block = dynamic_cast<const TGIFAppExtNSLoop*>(frame->Extensions()[i]);
      if (!block) continue;
      loopSeen = true;
      restartFrame = index;
      // Only a painter on its own thread may run without end.
      const bool endless = Asynchronous() && (block->Loops == 0 || (FOptions & PaintLoopForever));
      FPasses = endless ? -1 : block->Loops;
      break;
    }
  }

  FStarted = true;
  FFirstPaint.SetEvent();
  Fire(OnAfterPaint);
  if (FActiveImage == index) FActiveImage = index + 1;
  return FActiveImage >= 0 && FActiveImage < FImage->Images().Count();
}

int64_t TGIFPainter::Now() const {
  if (Timing.Clock) return Timing.Clock();
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TGIFPainter::WaitForNextFrame(bool firstFrame) {
  const bool async = Asynchronous();
  if (firstFrame) {
    FLastTick = Now();
    FLastWait = 0;
    // A painter of its own shows its first frame at once; a synchronous one lets its caller's
    // thread breathe for one delay unit first.
    if (async) return;
    FDelay = 1;
  }
  uint32_t milliseconds;
  const int speed = AnimationSpeed;
  if (speed < 1) {
    milliseconds = async ? INFINITE : PausedSynchronousWait;
  } else {
    // Half of the time the last frame took beyond its wait is taken off this one, so that
    // slow painting does not drag the animation but one slow frame does not skip the next.
    const int64_t now = Now();
    const int64_t overrun = firstFrame ? 0 : (now - FLastTick) - FLastWait;
    int64_t wait = (static_cast<int64_t>(FDelay) * Timing.DelayMultiplier - overrun / 2) * 100 / speed;
    wait = std::clamp<int64_t>(wait, async ? 0 : 1, INFINITE - 1);
    milliseconds = static_cast<uint32_t>(wait);
  }
  FLastTick = Now();
  FLastWait = milliseconds == INFINITE ? 0 : milliseconds;
  const bool woken = Timing.Wait ? Timing.Wait(*this, milliseconds) : DefaultWait(milliseconds);
  if (woken) {
    FLastTick = Now();
    FLastWait = 0;
  }
}

bool TGIFPainter::DefaultWait(uint32_t milliseconds) {
  auto wake = [this](uint32_t ms) {
    if (FEvent.WaitFor(ms) != TWaitResult::wrSignaled) return false;
    FEvent.ResetEvent();
    return true;
  };
  if (Asynchronous()) return wake(milliseconds);
  // A synchronous painter runs inside a drawing call: the thread's queued calls and messages
  // must go on while it waits.
  for (uint32_t left = milliseconds; left > 0 && !ShouldStop();) {
    const uint32_t slice = std::min(left, SynchronousSlice);
    if (wake(slice)) return true;
    left -= slice;
    if (InMainThread()) {
      CheckSynchronize();
      ProcessMessages();
    }
  }
  return false;
}

}  // namespace vidorant
