// Building the video filter graph (source, optional scaler, the user's filters, sink) and moving
// pictures through it.
#include "engine/core/VideoFilterGraph.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/opt.h>
}

#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/AVFilterStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFTypes.h"
#include "platform/Format.h"

namespace vidorant {

namespace {

// The source's timestamps are microseconds, the engine's own unit, so nothing is rescaled
// on the way in.
constexpr AVRational kMicroseconds{1, 1000000};

// Creates and initialises a filter of the graph. Null with the code when it fails; the graph
// owns whatever it made.
AVFilterContext* CreateFilter(AVFilterGraph* graph, const char* filterName, const char* instanceName,
                              const std::string& args, int& code) {
  const AVFilter* filter = ff::avfilter_get_by_name(filterName);
  if (!filter) {
    code = AVERROR_FILTER_NOT_FOUND;
    return nullptr;
  }
  AVFilterContext* context = nullptr;
  code = ff::avfilter_graph_create_filter(&context, filter, instanceName, args.empty() ? nullptr : args.c_str(),
                                          nullptr, graph);
  return code < 0 ? nullptr : context;
}

// The sink may only negotiate the encoder's pixel format; its option is a binary list of ints
// and must be set between allocation and initialisation.
AVFilterContext* CreateSink(AVFilterGraph* graph, AVPixelFormat pixFmt, int& code) {
  const AVFilter* filter = ff::avfilter_get_by_name("buffersink");
  if (!filter) {
    code = AVERROR_FILTER_NOT_FOUND;
    return nullptr;
  }
  AVFilterContext* sink = ff::avfilter_graph_alloc_filter(graph, filter, "out");
  if (!sink) {
    code = AVERROR(ENOMEM);
    return nullptr;
  }
  const int formats[] = {pixFmt};
  code = ff::av_opt_set_bin(sink, "pix_fmts", reinterpret_cast<const uint8_t*>(formats), sizeof(formats),
                            AV_OPT_SEARCH_CHILDREN);
  if (code < 0) return nullptr;
  code = ff::avfilter_init_str(sink, nullptr);
  return code < 0 ? nullptr : sink;
}

// Links the user's filter text between the last filter so far ("in") and the sink ("out").
int ParseFilterText(AVFilterGraph* graph, const std::string& text, AVFilterContext* last, AVFilterContext* sink) {
  TFilterInOutPtr outputs(ff::avfilter_inout_alloc());
  TFilterInOutPtr inputs(ff::avfilter_inout_alloc());
  if (!outputs || !inputs) return AVERROR(ENOMEM);
  outputs->name = ff::av_strdup("in");
  outputs->filter_ctx = last;
  outputs->pad_idx = 0;
  inputs->name = ff::av_strdup("out");
  inputs->filter_ctx = sink;
  inputs->pad_idx = 0;
  if (!outputs->name || !inputs->name) return AVERROR(ENOMEM);
  // The parser replaces both lists with what it left unlinked (or frees them), so they are
  // handed over and whatever comes back is owned again.
  AVFilterInOut* openInputs = inputs.release();
  AVFilterInOut* openOutputs = outputs.release();
  const int code = ff::avfilter_graph_parse_ptr(graph, text.c_str(), &openInputs, &openOutputs, nullptr);
  inputs.reset(openInputs);
  outputs.reset(openOutputs);
  return code;
}

}  // namespace

std::string FilterOpeningError(const std::string& message) {
  return message.empty() ? std::string("Error opening filters!") : "Error opening filters: " + message;
}

std::unique_ptr<TVideoFilterGraph> TVideoFilterGraph::Open(const TVideoFilterSetup& setup,
                                                           TFilterGraphFailure& failure) {
  std::unique_ptr<TVideoFilterGraph> graph(new TVideoFilterGraph());
  std::string step;
  const int code = graph->Build(setup, step);
  if (code < 0) {
    failure.Code = code;
    failure.Message = FormatAVError(step, code);
    return nullptr;
  }
  failure = TFilterGraphFailure{};
  return graph;
}

int TVideoFilterGraph::Build(const TVideoFilterSetup& setup, std::string& step) {
  step = "Invalid picture size or format";
  const char* inputFormatName = ff::av_get_pix_fmt_name(setup.InputPixFmt);
  // Sizes of 0 would ask the scaler to keep or derive a size, which no encoder can be told.
  if (!inputFormatName || !ff::av_get_pix_fmt_name(setup.EncoderPixFmt) || setup.InputWidth <= 0 ||
      setup.InputHeight <= 0 || setup.EncoderWidth <= 0 || setup.EncoderHeight <= 0)
    return AVERROR(EINVAL);

  step = "Cannot allocate the filter graph";
  FGraph.reset(ff::avfilter_graph_alloc());
  FIncoming.reset(ff::av_frame_alloc());
  FFiltered.reset(ff::av_frame_alloc());
  if (!FGraph || !FIncoming || !FFiltered) return AVERROR(ENOMEM);

  const int flags = ScalerFlagsValue(setup.ScalerFlags);
  // Scalers the graph inserts by itself (pixel format conversions) use the task's flags too.
  step = "Cannot set the graph's scaler options";
  int code = ff::av_opt_set(FGraph.get(), "scale_sws_opts", Format("flags=0x%X", flags).c_str(), 0);
  if (code < 0) return code;

  step = "Cannot create the buffer source";
  FSource = CreateFilter(FGraph.get(), "buffer", "src",
                         Format("video_size=%dx%d:pix_fmt=%s:time_base=%d/%d:pixel_aspect=1/1", setup.InputWidth,
                                setup.InputHeight, inputFormatName, kMicroseconds.num, kMicroseconds.den),
                         code);
  if (!FSource) return code;

  step = "Cannot create the buffer sink";
  FSink = CreateSink(FGraph.get(), setup.EncoderPixFmt, code);
  if (!FSink) return code;

  AVFilterContext* last = FSource;
  if (setup.EncoderWidth != setup.InputWidth || setup.EncoderHeight != setup.InputHeight) {
    step = "Cannot create the scale filter";
    AVFilterContext* scale =
        CreateFilter(FGraph.get(), "scale", nullptr,
                     Format("%d:%d:flags=0x%X", setup.EncoderWidth, setup.EncoderHeight, flags), code);
    if (!scale) return code;
    step = "Cannot link the scale filter";
    code = ff::avfilter_link(last, 0, scale, 0);
    if (code < 0) return code;
    last = scale;
  }

  if (!setup.FilterText.empty()) {
    step = Format("Cannot parse the filters \"%s\"", setup.FilterText.c_str());
    code = ParseFilterText(FGraph.get(), setup.FilterText, last, FSink);
  } else {
    step = "Cannot link the buffer sink";
    code = ff::avfilter_link(last, 0, FSink, 0);
  }
  // A failed parse may have freed every filter of the graph, the source and sink included.
  if (code < 0) return code;

  step = "Cannot configure the filter graph";
  code = ff::avfilter_graph_config(FGraph.get(), nullptr);
  if (code < 0) return code;
  FWidth = ff::av_buffersink_get_w(FSink);
  FHeight = ff::av_buffersink_get_h(FSink);
  return 0;
}

int TVideoFilterGraph::Push(const AVFrame* picture, int64_t ptsMicroseconds,
                            const TFilteredPictureReceiver& receive) {
  ff::av_frame_unref(FIncoming.get());
  if (picture) {
    // A reference of our own carries the timestamp, so the caller's picture stays as it was.
    const int code = ff::av_frame_ref(FIncoming.get(), picture);
    if (code < 0) return code;
    FIncoming->pts = ptsMicroseconds;
  }
  // Without a picture this marks the end of input, and the sink gives out what it held back.
  const int code = ff::av_buffersrc_add_frame_flags(FSource, picture ? FIncoming.get() : nullptr, 0);
  ff::av_frame_unref(FIncoming.get());
  if (code < 0) return code;
  return Pull(receive);
}

int TVideoFilterGraph::Pull(const TFilteredPictureReceiver& receive) {
  const AVRational sinkTimeBase = ff::av_buffersink_get_time_base(FSink);
  for (;;) {
    ff::av_frame_unref(FFiltered.get());
    const int code = ff::av_buffersink_get_frame(FSink, FFiltered.get());
    // Nothing more until the next picture, or nothing more at all after the end of input.
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return 0;
    if (code < 0) return code;
    TFilteredPicture filtered;
    filtered.Frame = FFiltered.get();
    filtered.Pts =
        FFiltered->pts == AV_NOPTS_VALUE ? NoValue : ff::av_rescale_q(FFiltered->pts, sinkTimeBase, kMicroseconds);
    filtered.SampleAspectRatio = FFiltered->sample_aspect_ratio;
    receive(filtered);
  }
}

}  // namespace vidorant
