// One owning wrapper per free function of the FFmpeg libraries, each freeing through the bound
// entry points (ff::). Every library object the engine owns lives in one of these, so it is
// freed exactly once on every path; release() hands ownership back to a library call that takes
// it. The libraries must still be loaded when a wrapper frees its object.
#pragma once

#include <memory>

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFilterStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/SwResampleStubs.h"
#include "engine/runtime/SwScaleStubs.h"

namespace vidorant {

// A deleter that calls one free function of the libraries.
template <class T, void (*Free)(T*)>
struct TFFDeleter {
  void operator()(T* object) const noexcept {
    if (object) Free(object);
  }
};

namespace ffptr_detail {
inline void FreeFrame(AVFrame* p) { ff::av_frame_free(&p); }
inline void FreePacket(AVPacket* p) { ff::av_packet_free(&p); }
inline void FreeCodecContext(AVCodecContext* p) { ff::avcodec_free_context(&p); }
inline void FreeCodecParameters(AVCodecParameters* p) { ff::avcodec_parameters_free(&p); }
inline void CloseInput(AVFormatContext* p) { ff::avformat_close_input(&p); }
// An output context closes the file it opened itself (avio_open2), never a caller's custom I/O.
inline void FreeOutput(AVFormatContext* p) {
  if (p->pb && p->oformat && !(p->oformat->flags & AVFMT_NOFILE) && !(p->flags & AVFMT_FLAG_CUSTOM_IO))
    ff::avio_closep(&p->pb);
  ff::avformat_free_context(p);
}
inline void FreeSws(SwsContext* p) { ff::sws_freeContext(p); }
inline void FreeSwr(SwrContext* p) { ff::swr_free(&p); }
// A custom I/O context: its buffer may have been replaced by the library, so free the current one.
inline void FreeCustomIO(AVIOContext* p) {
  ff::av_freep(&p->buffer);
  ff::avio_context_free(&p);
}
inline void CloseOpenedIO(AVIOContext* p) { ff::avio_closep(&p); }
inline void FreeMemory(void* p) { ff::av_free(p); }
inline void FreeFilterGraph(AVFilterGraph* p) { ff::avfilter_graph_free(&p); }
inline void FreeFilterInOut(AVFilterInOut* p) { ff::avfilter_inout_free(&p); }
inline void FreeBSF(AVBSFContext* p) { ff::av_bsf_free(&p); }
inline void FreeAudioFifo(AVAudioFifo* p) { ff::av_audio_fifo_free(p); }
inline void FreeFifo(AVFifo* p) { ff::av_fifo_freep2(&p); }
inline void FreeParser(AVCodecParserContext* p) { ff::av_parser_close(p); }
inline void FreeBuffer(AVBufferRef* p) { ff::av_buffer_unref(&p); }
}  // namespace ffptr_detail

using TFramePtr = std::unique_ptr<AVFrame, TFFDeleter<AVFrame, ffptr_detail::FreeFrame>>;
using TPacketPtr = std::unique_ptr<AVPacket, TFFDeleter<AVPacket, ffptr_detail::FreePacket>>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TFFDeleter<AVCodecContext, ffptr_detail::FreeCodecContext>>;
using TCodecParametersPtr =
    std::unique_ptr<AVCodecParameters, TFFDeleter<AVCodecParameters, ffptr_detail::FreeCodecParameters>>;
// An input opened with avformat_open_input.
using TInputFormatContextPtr = std::unique_ptr<AVFormatContext, TFFDeleter<AVFormatContext, ffptr_detail::CloseInput>>;
// An output from avformat_alloc_output_context2 (with the file it opened, if any).
using TOutputFormatContextPtr = std::unique_ptr<AVFormatContext, TFFDeleter<AVFormatContext, ffptr_detail::FreeOutput>>;
// A context from avformat_alloc_context that opens nothing itself (an option table).
using TFormatContextPtr = TOutputFormatContextPtr;
using TSwsContextPtr = std::unique_ptr<SwsContext, TFFDeleter<SwsContext, ffptr_detail::FreeSws>>;
using TSwrContextPtr = std::unique_ptr<SwrContext, TFFDeleter<SwrContext, ffptr_detail::FreeSwr>>;
// An I/O context from avio_alloc_context, with its buffer.
using TCustomIOContextPtr = std::unique_ptr<AVIOContext, TFFDeleter<AVIOContext, ffptr_detail::FreeCustomIO>>;
// An I/O context opened with avio_open2.
using TOpenedIOContextPtr = std::unique_ptr<AVIOContext, TFFDeleter<AVIOContext, ffptr_detail::CloseOpenedIO>>;
// Memory from av_malloc and the functions that return av_malloc'd text or buffers.
template <class T>
using TAVMemoryPtr = std::unique_ptr<T, TFFDeleter<void, ffptr_detail::FreeMemory>>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFFDeleter<AVFilterGraph, ffptr_detail::FreeFilterGraph>>;
using TFilterInOutPtr = std::unique_ptr<AVFilterInOut, TFFDeleter<AVFilterInOut, ffptr_detail::FreeFilterInOut>>;
using TBSFContextPtr = std::unique_ptr<AVBSFContext, TFFDeleter<AVBSFContext, ffptr_detail::FreeBSF>>;
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, TFFDeleter<AVAudioFifo, ffptr_detail::FreeAudioFifo>>;
using TFifoPtr = std::unique_ptr<AVFifo, TFFDeleter<AVFifo, ffptr_detail::FreeFifo>>;
using TParserContextPtr =
    std::unique_ptr<AVCodecParserContext, TFFDeleter<AVCodecParserContext, ffptr_detail::FreeParser>>;
using TBufferRefPtr = std::unique_ptr<AVBufferRef, TFFDeleter<AVBufferRef, ffptr_detail::FreeBuffer>>;

// A decoded subtitle: a value the decoder fills in place, whose rectangles and texts are freed
// with avsubtitle_free (which is harmless on one the decoder left empty).
class TDecodedSubtitle {
public:
  TDecodedSubtitle() = default;
  ~TDecodedSubtitle() { ff::avsubtitle_free(&FValue); }
  TDecodedSubtitle(const TDecodedSubtitle&) = delete;
  TDecodedSubtitle& operator=(const TDecodedSubtitle&) = delete;
  AVSubtitle* Get() { return &FValue; }

private:
  AVSubtitle FValue{};
};

// A dictionary: the libraries take and replace it through AVDictionary**, so it is held as a
// plain pointer whose address can be handed out, and freed with av_dict_free.
class TDictionary {
public:
  TDictionary() = default;
  ~TDictionary() { Reset(); }
  TDictionary(const TDictionary&) = delete;
  TDictionary& operator=(const TDictionary&) = delete;
  TDictionary(TDictionary&& other) noexcept : FDict(other.FDict) { other.FDict = nullptr; }
  TDictionary& operator=(TDictionary&& other) noexcept {
    if (this != &other) {
      Reset();
      FDict = other.FDict;
      other.FDict = nullptr;
    }
    return *this;
  }

  AVDictionary* Get() const { return FDict; }
  AVDictionary** Address() { return &FDict; }
  void Reset() {
    if (FDict) ff::av_dict_free(&FDict);
  }

private:
  AVDictionary* FDict = nullptr;
};

}  // namespace vidorant
