// The filter graph of one output video stream: decoded pictures go in at a "buffer" source in
// the input's size and pixel format, pass the user's filter text (the "vf" option), and leave
// a "buffersink" in the encoder's pixel format, scaled to the encoder's size when that differs.
//
// Invariants: an opened graph is configured, so Width/Height are the size the sink negotiated
// and every picture it yields has that size and the encoder's pixel format. Timestamps are
// microseconds on both sides. The end of input is the same Push with no picture, after which
// the graph has given out every picture it held. One graph is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

#include "engine/runtime/FFPtr.h"
#include "engine/runtime/ScalerFlags.h"

namespace vidorant {

struct TVideoFilterSetup {
  int InputWidth = 0;
  int InputHeight = 0;
  AVPixelFormat InputPixFmt = AV_PIX_FMT_NONE;
  int EncoderWidth = 0;
  int EncoderHeight = 0;
  AVPixelFormat EncoderPixFmt = AV_PIX_FMT_NONE;
  TScalerFlags ScalerFlags = TScalerFlags::Bicubic;
  std::string FilterText;  // empty: no filters of the user's
};

// Why a graph could not be opened: the library's (negative) code and its text.
struct TFilterGraphFailure {
  int Code = 0;
  std::string Message;
};

// The text a task raises when its filter graph cannot be opened: "Error opening filters: "
// followed by the failure's message, or "Error opening filters!" when there is none.
std::string FilterOpeningError(const std::string& message);

// One picture the sink gave out. Frame belongs to the graph and stays valid only during the
// delivery; a receiver that keeps it takes its own reference (av_frame_ref).
struct TFilteredPicture {
  AVFrame* Frame = nullptr;
  int64_t Pts = 0;                // µs, NoValue when the picture has none
  AVRational SampleAspectRatio{0, 1};
};

using TFilteredPictureReceiver = std::function<void(const TFilteredPicture&)>;

class TVideoFilterGraph {
public:
  // Builds and configures the graph. On failure returns null with failure filled; whatever was
  // built is freed, nothing is kept.
  static std::unique_ptr<TVideoFilterGraph> Open(const TVideoFilterSetup& setup, TFilterGraphFailure& failure);

  TVideoFilterGraph(const TVideoFilterGraph&) = delete;
  TVideoFilterGraph& operator=(const TVideoFilterGraph&) = delete;

  // The size the sink negotiated: what the encoder must be opened with.
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

  // Feeds one decoded picture (not taken over; ptsMicroseconds becomes its timestamp) or, with
  // a null picture, the end of input, and hands every picture the sink yields now to receive,
  // in order. Returns 0, or the library's negative code: nothing more can come out then.
  // An exception from receive leaves the graph usable and passes through.
  int Push(const AVFrame* picture, int64_t ptsMicroseconds, const TFilteredPictureReceiver& receive);

private:
  TVideoFilterGraph() = default;
  int Build(const TVideoFilterSetup& setup, std::string& step);
  int Pull(const TFilteredPictureReceiver& receive);

  TFilterGraphPtr FGraph;
  AVFilterContext* FSource = nullptr;  // owned by FGraph
  AVFilterContext* FSink = nullptr;    // owned by FGraph
  TFramePtr FIncoming;                 // the reference handed to the source
  TFramePtr FFiltered;                 // the picture being delivered
  int FWidth = 0;
  int FHeight = 0;
};

}  // namespace vidorant
