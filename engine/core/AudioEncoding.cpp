#include "engine/core/AudioEncoding.h"

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
}

namespace vidorant {
namespace {

[[noreturn]] void EncodingFailed() { throw FFmpegException("Audio encoding failed"); }

}  // namespace

TAudioEncoding::TAudioEncoding(TOutputStream& output, TWrite write, TRunCounters* counters)
    : FOutput(output), FWrite(std::move(write)), FCounters(counters), FPacket(ff::av_packet_alloc()) {
  const AVCodecContext* enc = output.Encoder.get();
  FFifo.reset(ff::av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, std::max(enc->frame_size, 1024)));
  if (!FFifo || !FPacket) throw FFmpegException("av_fifo_realloc2() failed");
}

bool TAudioEncoding::TakesAnyLength() const { return FOutput.Encoder->frame_size <= 1; }

int64_t TAudioEncoding::FifoSamples() const { return ff::av_audio_fifo_size(FFifo.get()); }

void TAudioEncoding::Push(const uint8_t* const* data, int samples) {
  if (samples <= 0) return;
  if (TakesAnyLength()) {
    EncodeFrame(data, samples, samples);
    return;
  }
  if (ff::av_audio_fifo_write(FFifo.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(data)),
                              samples) < samples)
    throw FFmpegException("av_fifo_realloc2() failed");
  const int frameSize = FOutput.Encoder->frame_size;
  while (ff::av_audio_fifo_size(FFifo.get()) >= frameSize) EncodeFrame(nullptr, frameSize, frameSize);
}

void TAudioEncoding::Flush() {
  if (FFlushed) return;
  FFlushed = true;
  const AVCodecContext* enc = FOutput.Encoder.get();
  if (const int left = ff::av_audio_fifo_size(FFifo.get()); left > 0) {
    const bool shortLast = enc->codec && (enc->codec->capabilities &
                                          (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
    EncodeFrame(nullptr, left, shortLast ? left : enc->frame_size);
  }
  Encode(nullptr);
}

void TAudioEncoding::EncodeFrame(const uint8_t* const* data, int samples, int frameSamples) {
  AVCodecContext* enc = FOutput.Encoder.get();
  // A frame of its own each time: the encoder may keep a reference to the one it was given.
  TFramePtr frame(ff::av_frame_alloc());
  if (!frame) EncodingFailed();
  frame->nb_samples = frameSamples;
  frame->format = enc->sample_fmt;
  frame->sample_rate = enc->sample_rate;
  if (ff::av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 || ff::av_frame_get_buffer(frame.get(), 0) < 0)
    EncodingFailed();
  const int channels = enc->ch_layout.nb_channels;
  if (data) {
    if (ff::av_samples_copy(frame->extended_data, const_cast<uint8_t* const*>(data), 0, 0, samples, channels,
                            enc->sample_fmt) < 0)
      EncodingFailed();
  } else if (ff::av_audio_fifo_read(FFifo.get(), reinterpret_cast<void**>(frame->extended_data), samples) < samples) {
    EncodingFailed();
  }
  if (frameSamples > samples)
    ff::av_samples_set_silence(frame->extended_data, samples, frameSamples - samples, channels, enc->sample_fmt);
  frame->pts = FSyncTimestamp;
  // A padded last frame still stands for the samples that came in only.
  FSyncTimestamp += samples;
  FOutput.FrameNumber++;
  Encode(frame.get());
}

void TAudioEncoding::Encode(const AVFrame* frame) {
  AVCodecContext* enc = FOutput.Encoder.get();
  int code = ff::avcodec_send_frame(enc, frame);
  if (code < 0 && code != AVERROR_EOF) EncodingFailed();
  for (;;) {
    code = ff::avcodec_receive_packet(enc, FPacket.get());
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return;
    if (code < 0) EncodingFailed();
    AVPacket& packet = *FPacket;
    struct TUnref {
      AVPacket* Packet;
      ~TUnref() { ff::av_packet_unref(Packet); }
    } unref{&packet};
    ff::av_packet_rescale_ts(&packet, enc->time_base, FOutput.Stream->time_base);
    packet.stream_index = FOutput.Stream->index;
    packet.flags |= AV_PKT_FLAG_KEY;
    if (FCounters) FCounters->AudioBytes += packet.size;
    if (FWrite) FWrite(FOutput, packet);
  }
}

}  // namespace vidorant
