#include "FFmpegGIFDecoder.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
}

namespace vidorant::testing {

namespace {

struct TMemorySource {
  const std::vector<uint8_t>* Data;
  size_t Position = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* source = static_cast<TMemorySource*>(opaque);
  size_t left = source->Data->size() - source->Position;
  if (left == 0) return AVERROR_EOF;
  size_t n = std::min(left, static_cast<size_t>(size));
  std::memcpy(buffer, source->Data->data() + source->Position, n);
  source->Position += n;
  return static_cast<int>(n);
}

// The GIF demuxer seeks back over the header, so the memory source is seekable.
int64_t SeekTo(void* opaque, int64_t offset, int whence) {
  auto* source = static_cast<TMemorySource*>(opaque);
  int64_t size = static_cast<int64_t>(source->Data->size());
  if (whence & AVSEEK_SIZE) return size;
  int64_t base = (whence & 3) == SEEK_CUR ? static_cast<int64_t>(source->Position) : (whence & 3) == SEEK_END ? size : 0;
  int64_t target = base + offset;
  if (target < 0 || target > size) return AVERROR(EINVAL);
  source->Position = static_cast<size_t>(target);
  return target;
}

void Check(int result, const char* what) {
  if (result >= 0) return;
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(result, text, sizeof text);
  throw std::runtime_error(std::string(what) + ": " + text);
}

struct IOContextFree {
  void operator()(AVIOContext* io) const {
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
  }
};
struct FormatFree {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};

TDecodedPicture ToPicture(const AVFrame* frame) {
  TDecodedPicture picture;
  picture.Width = frame->width;
  picture.Height = frame->height;
  picture.Colors.resize(static_cast<size_t>(frame->width) * static_cast<size_t>(frame->height));
  for (int y = 0; y < frame->height; ++y) {
    const uint8_t* row = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
    for (int x = 0; x < frame->width; ++x) {
      uint32_t argb;
      if (frame->format == AV_PIX_FMT_PAL8)
        std::memcpy(&argb, frame->data[1] + 4 * row[x], 4);
      else if (frame->format == AV_PIX_FMT_BGRA)
        std::memcpy(&argb, row + 4 * x, 4);  // native 0xAARRGGBB on a little-endian machine
      else
        throw std::runtime_error(std::string("unexpected pixel format ") + av_get_pix_fmt_name(AVPixelFormat(frame->format)));
      uint32_t red = (argb >> 16) & 0xFF, green = (argb >> 8) & 0xFF, blue = argb & 0xFF;
      picture.Colors[static_cast<size_t>(y) * frame->width + x] = red | (green << 8) | (blue << 16);
    }
  }
  return picture;
}

void Drain(AVCodecContext* codec, AVFrame* frame, std::vector<TDecodedPicture>& out) {
  for (;;) {
    int result = avcodec_receive_frame(codec, frame);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
    Check(result, "avcodec_receive_frame");
    out.push_back(ToPicture(frame));
    av_frame_unref(frame);
  }
}

}  // namespace

std::vector<TDecodedPicture> DecodeGIFWithFFmpeg(const std::vector<uint8_t>& gif) {
  TMemorySource source{&gif};
  const int bufferSize = 4096;
  auto* buffer = static_cast<uint8_t*>(av_malloc(bufferSize));
  std::unique_ptr<AVIOContext, IOContextFree> io(
      avio_alloc_context(buffer, bufferSize, 0, &source, &ReadPacket, nullptr, &SeekTo));
  if (!io) throw std::runtime_error("avio_alloc_context failed");

  AVFormatContext* raw = avformat_alloc_context();
  raw->pb = io.get();
  Check(avformat_open_input(&raw, nullptr, av_find_input_format("gif"), nullptr), "avformat_open_input");
  std::unique_ptr<AVFormatContext, FormatFree> format(raw);
  Check(avformat_find_stream_info(format.get(), nullptr), "avformat_find_stream_info");

  const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_GIF);
  std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(decoder));
  Check(avcodec_parameters_to_context(codec.get(), format->streams[0]->codecpar), "avcodec_parameters_to_context");
  Check(avcodec_open2(codec.get(), decoder, nullptr), "avcodec_open2");

  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  std::vector<TDecodedPicture> out;
  for (;;) {
    int result = av_read_frame(format.get(), packet.get());
    if (result == AVERROR_EOF) break;
    Check(result, "av_read_frame");
    result = avcodec_send_packet(codec.get(), packet.get());
    av_packet_unref(packet.get());
    Check(result, "avcodec_send_packet");
    Drain(codec.get(), frame.get(), out);
  }
  Check(avcodec_send_packet(codec.get(), nullptr), "avcodec_send_packet (flush)");
  Drain(codec.get(), frame.get(), out);
  return out;
}

}  // namespace vidorant::testing
