#include "engine/core/VideoEncoding.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVPicture.h"
#include "engine/runtime/AVUtilStubs.h"

namespace vidorant {
namespace {

constexpr int InterlacedFlags = AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;

[[noreturn]] void EncodingFailed() { throw FFmpegException("Video encoding failed"); }

}  // namespace

void LogVideoPathLine(const TVideoPathEnv& env, TLogLevel level, const std::string& text) {
  if (env.Log)
    env.Log(level, text);
  else
    FFLogger()->Log(env.Sender, level, text);
}

TVideoEncoding::TVideoEncoding(const TVideoPathEnv& env)
    : FEnv(env), FFrame(ff::av_frame_alloc()), FPacket(ff::av_packet_alloc()) {
  if (!FFrame || !FPacket) throw FFmpegException("Video encoding failed");
  if (env.Options && env.Options->VStatsFileName) FStats = std::make_unique<TVideoStats>(*env.Options->VStatsFileName);
}

void TVideoEncoding::Emit(TOutputStream& output, const AVFrame& picture, const AVFrame& source, int count) {
  for (int i = 0; i < count; ++i) {
    if (FEnv.StopRequested && FEnv.StopRequested->load()) return;
    EmitOne(output, picture, source);
  }
}

void TVideoEncoding::EmitOne(TOutputStream& output, const AVFrame& picture, const AVFrame& source) {
  AVCodecContext* encoder = output.Encoder.get();
  const TOptionState* options = FEnv.Options;
  // A reference of our own: its properties are the output frame's, and a hook that draws on it
  // gets buffers of its own (RunPictureEvent makes it writable), so a duplicate of the same
  // picture starts again from the picture as it came.
  ff::av_frame_unref(FFrame.get());
  if (ff::av_frame_ref(FFrame.get(), &picture) < 0) EncodingFailed();
  AVFrame& frame = *FFrame;
  frame.pts = output.RateSync.SyncTimestamp();
  if (encoder->flags & InterlacedFlags) {
    const int32_t top = options ? options->TopFieldFirst : TOptionState::TopFieldAsInput;
    frame.interlaced_frame = source.interlaced_frame;
    frame.top_field_first = top == TOptionState::TopFieldAsInput ? source.top_field_first : top;
  }
  // Encoders with a fixed quantiser read it from the frame.
  frame.quality = options && options->SameQuality ? source.quality : encoder->global_quality;
  // Motion estimation thresholds reuse the input's decisions; otherwise the encoder decides.
  frame.pict_type = options && options->MeThreshold ? source.pict_type : AV_PICTURE_TYPE_NONE;
  if (output.NextForcedKeyFrame < output.ForcedKeyFrames.size() &&
      frame.pts >= output.ForcedKeyFrames[output.NextForcedKeyFrame]) {
    frame.pict_type = AV_PICTURE_TYPE_I;
    output.NextForcedKeyFrame++;
  }

  const int32_t frameNumber = output.FrameNumber + 1;
  const int64_t timestamp = ff::av_rescale_q(frame.pts, encoder->time_base, AVRational{1, 1000000});
  bool hookConverted = false;
  if (FEnv.OnVideoOutputHook && *FEnv.OnVideoOutputHook && FEnv.Converter)
    hookConverted = RunPictureEvent(*FEnv.OnVideoOutputHook, FEnv.Sender, *FEnv.Converter, frame, frameNumber,
                                    timestamp, [this](TLogLevel level, const std::string& text) {
                                      LogVideoPathLine(FEnv, level, text);
                                    });
  if (FEnv.Preview) Offer(frame, frameNumber, timestamp, hookConverted);

  Encode(output, &frame);
  ff::av_frame_unref(FFrame.get());
  output.RateSync.FrameEmitted();
  output.FrameNumber++;
}

void TVideoEncoding::Offer(const AVFrame& frame, int32_t frameNumber, int64_t timestamp, bool hookConverted) {
  // Converted only when the step shows it; the hook's bitmap already shows exactly this picture
  // when the hook wrote it back.
  const auto convert = [&]() -> const TBitmap* {
    if (hookConverted) return &FEnv.Converter->Bitmap();
    if (!FEnv.PreviewConverter) return nullptr;
    TAVPicture view = PictureOf(frame);
    if (!FEnv.PreviewConverter->ToRGB(&view, static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
                                      true)) {
      LogVideoPathLine(FEnv, llError, FEnv.PreviewConverter->LastErrMsg());
      return nullptr;
    }
    return &FEnv.PreviewConverter->Bitmap();
  };
  FEnv.Preview->Offer(ff::av_gettime_relative(), frameNumber, timestamp, convert);
}

void TVideoEncoding::Drain(TOutputStream& output) {
  if (!output.Encoder || !ff::avcodec_is_open(output.Encoder.get())) return;
  Encode(output, nullptr);
}

void TVideoEncoding::Encode(TOutputStream& output, const AVFrame* frame) {
  AVCodecContext* encoder = output.Encoder.get();
  // The output's frame number counts a frame once it went through, after this call.
  const int32_t framesSent = output.FrameNumber + (frame ? 1 : 0);
  int code = ff::avcodec_send_frame(encoder, frame);
  // Every send is followed by receiving all that is ready, so the encoder has room again; an
  // encoder that already ended (a second drain) has nothing more to give.
  if (code < 0 && code != AVERROR(EAGAIN) && code != AVERROR_EOF) EncodingFailed();
  for (;;) {
    code = ff::avcodec_receive_packet(encoder, FPacket.get());
    if (code == AVERROR_EOF && !frame && output.PassLog) output.PassLog->AppendDrained(encoder->stats_out);
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return;
    if (code < 0) EncodingFailed();
    WritePacket(output, framesSent);
  }
}

void TVideoEncoding::WritePacket(TOutputStream& output, int32_t framesSent) {
  AVPacket& packet = *FPacket;
  size_t statsSize = 0;
  // The quality (lambda units) comes first in the encoder's statistics.
  if (const uint8_t* stats = ff::av_packet_get_side_data(&packet, AV_PKT_DATA_QUALITY_STATS, &statsSize);
      stats && statsSize >= 4)
    output.LastQuality = static_cast<float>(static_cast<int32_t>(AV_RL32(stats)));
  ff::av_packet_rescale_ts(&packet, output.Encoder->time_base, output.Stream->time_base);
  packet.stream_index = output.Stream->index;
  if (FEnv.Counters) FEnv.Counters->VideoBytes += packet.size;
  // Read before the writer takes the packet's data.
  if (FStats) AppendVideoStats(output, packet, framesSent);
  if (packet.pts != AV_NOPTS_VALUE)
    output.LastPts = std::max(output.LastPts, packet.pts + std::max<int64_t>(packet.duration, 0));
  // The packet is ours again after the write, whatever the writer did with its data.
  struct TUnref {
    AVPacket* Packet;
    ~TUnref() { ff::av_packet_unref(Packet); }
  } unref{&packet};
  if (FEnv.Write) FEnv.Write(output, packet);
  // The statistics of the encode that gave this packet, for the second pass.
  if (output.PassLog) output.PassLog->Append(output.Encoder->stats_out);
}

void TVideoEncoding::AppendVideoStats(const TOutputStream& output, const AVPacket& packet, int32_t framesSent) {
  const AVCodecContext* encoder = output.Encoder.get();
  TVideoStatsEntry entry;
  entry.FrameNumber = framesSent;
  entry.Quality = output.LastQuality;
  entry.Width = encoder->width;
  entry.Height = encoder->height;
  entry.FrameSize = packet.size;
  entry.VideoBytes = FEnv.Counters ? FEnv.Counters->VideoBytes : packet.size;
  entry.TimeBase = encoder->time_base;
  entry.PictureType = (packet.flags & AV_PKT_FLAG_KEY) ? 'I' : '?';
  // The encoder's statistics: quality (le32), picture type, error count, two reserved bytes,
  // then one le64 sum of squared errors per plane.
  size_t size = 0;
  if (const uint8_t* stats = ff::av_packet_get_side_data(&packet, AV_PKT_DATA_QUALITY_STATS, &size); stats && size >= 5) {
    entry.PictureType = ff::av_get_picture_type_char(static_cast<AVPictureType>(stats[4]));
    entry.Psnr = (encoder->flags & AV_CODEC_FLAG_PSNR) && size >= 16 && stats[5] > 0;
    if (entry.Psnr) entry.Error = static_cast<double>(AV_RL64(stats + 8));
  }
  FStats->Append(entry);
}

}  // namespace vidorant
