// The frame output adapter: a component whose events receive a task's encoded packets instead of
// a file, through five raw output formats of the engine's registry ("rawh263", "rawh264",
// "rawmjpeg", "rawyuv", "rawrgb"). A task names the adapter in its output name ("a=<reference>";
// AdapterOutputName builds it) and calls the format's header, packet and trailer operations with
// its AVFormatContext, whose private data is one TOutputFrameInfo (AttachOutputFormatData).
// Invariant: an output name is honoured only while the adapter it names is alive; every live
// adapter is in a process-wide, locked set that its constructor enters and its destructor leaves,
// and the destructor returns only when no operation is inside the adapter any more.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>

#include "engine/runtime/FFBaseComponent.h"
#include "engine/runtime/OutputFormats.h"
#include "platform/TObject.h"

struct AVFormatContext;
struct AVPacket;

namespace vidorant {

class TFrameOutputAdapter;

// The private data of an output served by the adapter: a zero-filled block that the context's
// own free releases, so it holds plain values only. Filled by the header operation.
struct TOutputFrameInfo {
  AVFormatContext* FormatContext;  // the output this record belongs to (not owned)
  int32_t PixFmt;                  // AVPixelFormat of the output's first stream, at header time
  int32_t Width;                   // of the first stream, in pixels, at header time
  int32_t Height;
  // Packets delivered so far; raised before each OnWriteFrame, so the first frame carries 1.
  int32_t FrameNumber;
  // The packet being written (data and size are the picture bytes); valid only during
  // OnWriteFrame: a handler that needs the bytes later copies them.
  AVPacket* Packet;
  TFrameOutputAdapter* Adapter;  // named by the output name (not owned)
};
using POutputFrameInfo = TOutputFrameInfo*;
static_assert(std::is_trivial_v<TOutputFrameInfo> && std::is_standard_layout_v<TOutputFrameInfo>,
              "the record lives in a zero-filled block the library frees");

using TWriteFrameEvent = std::function<void(TObject* Sender, POutputFrameInfo AFrameInfo)>;

// The events run on the thread that calls the format's operations (the task's worker thread);
// the adapter does no marshalling and serves one output at a time. An exception raised by a
// handler passes to the caller of the operation (the task, which ends with its message).
// The adapter may be destroyed on any thread while an operation runs: the destruction waits for
// the operations in flight (on the main thread serving queued synchronised calls meanwhile) and
// refuses later ones. A handler must not destroy its own adapter: it would wait for itself.
class TFrameOutputAdapter : public TFFBaseComponent {
public:
  TFrameOutputAdapter();
  ~TFrameOutputAdapter() override;
  // The address is the adapter's identity in output names.
  TFrameOutputAdapter(const TFrameOutputAdapter&) = delete;
  TFrameOutputAdapter& operator=(const TFrameOutputAdapter&) = delete;

  // The record of the output served last (set by the header operation); nullptr before. It
  // belongs to that output's context and dies with it.
  POutputFrameInfo FrameInfo() const { return FFrameInfo; }

  // The value an output name carries for this adapter: its address as a signed 64-bit number.
  int64_t Reference() const;

  // Stops serving: later operations are refused as for an unknown adapter, and the call returns
  // once the operations in flight have returned. The destructor retires the adapter; an owner
  // whose handlers use its own members retires it before those members go. Idempotent.
  void Retire();

  TNotifyEvent OnWriteHeader;
  TWriteFrameEvent OnWriteFrame;
  TNotifyEvent OnWriteClose;

private:
  friend int FrameOutputWriteHeader(AVFormatContext* context);
  POutputFrameInfo FFrameInfo = nullptr;
};

// "a=<reference>", the output name that delivers a task's packets to the adapter.
std::string AdapterOutputName(const TFrameOutputAdapter& adapter);

// Adds the five raw formats to the engine's registry in their fixed order, each only once; a
// second call adds nothing. Asserts (FFUtils) that the format library is bound.
void RegisterFrameOutputFormats();

// The formats' operations, as the registered records hold them. Results 0 or a negative library
// error; they never raise themselves.
// Header: finds the adapter in the context's name (items "key=value" separated by ";"; key "a" or
// "adapter" in any letter case; the last one counts). A missing, empty, non-numeric or unknown
// reference logs "Invalid FrameOutputAdapter\n" at error level with the context and gives -22.
int FrameOutputWriteHeader(AVFormatContext* context);
int FrameOutputWritePacket(AVFormatContext* context, AVPacket* packet);
int FrameOutputWriteTrailer(AVFormatContext* context);

}  // namespace vidorant
