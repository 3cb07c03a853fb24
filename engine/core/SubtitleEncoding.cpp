#include "engine/core/SubtitleEncoding.h"

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFPtr.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vidorant {
namespace {

// Room for one encoded subtitle, as large as any the encoders make.
constexpr size_t EncodedSubtitleSize = 1024 * 1024;
constexpr AVRational Milliseconds{1, 1000};

}  // namespace

TSubtitleEncoding::TSubtitleEncoding(TWrite write, TRunCounters* counters)
    : FWrite(std::move(write)), FCounters(counters) {}

void TSubtitleEncoding::Output(TOutputStream& output, const AVSubtitle& subtitle, int64_t startTime) {
  if (subtitle.pts == AV_NOPTS_VALUE) throw FFmpegException("Subtitle packets must have a pts");
  AVCodecContext* enc = output.Encoder.get();
  // DVB subtitles need one packet to show them and one to clear them.
  const int packets = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE ? 2 : 1;
  AVSubtitle copy = subtitle;
  copy.pts += ff::av_rescale_q(subtitle.start_display_time, Milliseconds, AV_TIME_BASE_Q) - startTime;
  copy.end_display_time -= copy.start_display_time;
  copy.start_display_time = 0;
  const int64_t pts = copy.pts;
  // Made at the first subtitle: most tasks have none, and zeroing a megabyte delays every start.
  if (FBuffer.empty()) FBuffer.resize(EncodedSubtitleSize);
  for (int i = 0; i < packets; ++i) {
    if (i == 1) copy.num_rects = 0;  // the clearing packet
    const int size = ff::avcodec_encode_subtitle(enc, FBuffer.data(), static_cast<int>(FBuffer.size()), &copy);
    if (size < 0) throw FFmpegException("Subtitle encoding failed");
    TPacketPtr packet(ff::av_packet_alloc());
    if (!packet || ff::av_new_packet(packet.get(), size) < 0) throw FFmpegException("Subtitle encoding failed");
    if (size > 0) std::memcpy(packet->data, FBuffer.data(), static_cast<size_t>(size));
    const AVRational timeBase = output.Stream->time_base;
    packet->pts = packet->dts = ff::av_rescale_q(pts, AV_TIME_BASE_Q, timeBase);
    packet->duration = ff::av_rescale_q(copy.end_display_time, Milliseconds, timeBase);
    if (packets == 2) {
      // The clearing packet goes out at the end of the display time.
      const uint32_t at = i == 0 ? copy.start_display_time : copy.end_display_time;
      packet->pts += ff::av_rescale_q(at, Milliseconds, timeBase);
      packet->dts = packet->pts;
    }
    packet->stream_index = output.Stream->index;
    packet->flags |= AV_PKT_FLAG_KEY;
    output.FrameNumber++;
    if (FCounters) FCounters->SubtitleBytes += size;
    if (FWrite) FWrite(output, *packet);
  }
}

void CopySubtitleHeader(AVCodecContext& encoder, const AVCodecContext& decoder) {
  if (!decoder.subtitle_header || decoder.subtitle_header_size <= 0) return;
  ff::av_freep(&encoder.subtitle_header);
  encoder.subtitle_header = static_cast<uint8_t*>(ff::av_mallocz(static_cast<size_t>(decoder.subtitle_header_size) + 1));
  if (!encoder.subtitle_header) throw FFmpegException("Out of memory for the subtitle header");
  std::memcpy(encoder.subtitle_header, decoder.subtitle_header, static_cast<size_t>(decoder.subtitle_header_size));
  encoder.subtitle_header_size = decoder.subtitle_header_size;
}

}  // namespace vidorant
