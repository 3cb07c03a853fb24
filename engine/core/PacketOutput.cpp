// The packet output step of a run (Transcode.h): one packet of an input stream, or none at the end
// of the input, is decoded when an output needs its pictures, samples or subtitles and copied
// into the outputs that take its packets as they are; at the end the decoder and the encoders it
// feeds are drained.
#include "engine/core/Transcode.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/OutputSet.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"

#include <chrono>
#include <functional>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vidorant {
namespace {

constexpr AVRational Microseconds{1, 1000000};

int64_t ToMicroseconds(int64_t value, AVRational timeBase) { return ff::av_rescale_q(value, timeBase, Microseconds); }

// How long a decoded picture lasts (µs): one frame of the stream's rate, longer by half a frame
// for every field the picture asks to repeat; 0 when the stream tells no rate.
int64_t PictureDuration(const TInputStreamState& input, const AVFrame& picture) {
  AVRational rate = input.Decoder ? input.Decoder->framerate : AVRational{0, 1};
  if (rate.num <= 0 || rate.den <= 0) rate = input.Stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = input.Stream->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0;
  return 1000000LL * rate.den * (2 + picture.repeat_pict) / (2LL * rate.num);
}

}  // namespace

std::vector<TOutputStream*> TTranscode::OutputsOf(int streamIndex) const {
  std::vector<TOutputStream*> outputs;
  for (TOutputStream* out : FOutputStreams)
    if (out->Source == streamIndex) outputs.push_back(out);
  return outputs;
}

bool TTranscode::OutputPacket(int streamIndex, const AVPacket* packet) {
  TInputStreamState& input = FStreams[streamIndex];
  if (input.NextPts == NoValue) input.NextPts = input.Pts;
  if (packet && packet->dts != AV_NOPTS_VALUE)
    input.NextPts = input.Pts = ToMicroseconds(packet->dts, input.Stream->time_base);

  if (input.DecodingNeeded) {
    bool decoded = true;
    switch (input.Stream->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        decoded = DecodeVideo(streamIndex, packet);
        break;
      case AVMEDIA_TYPE_AUDIO:
        decoded = DecodeAudio(streamIndex, packet);
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        decoded = DecodeSubtitle(streamIndex, packet);
        break;
      default:
        break;
    }
    if (!decoded) return false;
  } else if (packet) {
    input.Pts = input.NextPts;
    if (packet->duration > 0) input.NextPts += ToMicroseconds(packet->duration, input.Stream->time_base);
    EmulateRate(input);
  }

  if (packet) {
    const int64_t start = FEnv.Options->State().StartTime;
    if (start == 0 || input.Pts >= start)
      for (TOutputStream* out : OutputsOf(streamIndex))
        if (out->StreamCopy) CopyPacket(*out, input, *packet);
  } else {
    FlushEncoders(streamIndex);
    input.Flushed = true;
  }
  return true;
}

bool TTranscode::DecodeFrames(int streamIndex, const AVPacket* packet,
                              const std::function<void(TInputStreamState& input, AVFrame& frame)>& each) {
  TInputStreamState& input = FStreams[streamIndex];
  // A null packet puts the decoder into draining: it gives out every frame it still holds.
  int ret = ff::avcodec_send_packet(input.Decoder, packet);
  if (ret < 0 && ret != AVERROR_EOF) return false;
  AVFrame* frame = FDecoded.get();
  for (;;) {
    ret = ff::avcodec_receive_frame(input.Decoder, frame);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return true;
    if (ret < 0) return false;
    // The decoder's best guess: presentation times where the container gave them, decoding
    // times where it did not, so pictures of streams with B-frames come out in their order.
    const int64_t time = frame->best_effort_timestamp;
    input.Pts = time != AV_NOPTS_VALUE ? ToMicroseconds(time, input.Stream->time_base) : input.NextPts;
    each(input, *frame);
    ff::av_frame_unref(frame);
  }
}

bool TTranscode::DecodeVideo(int streamIndex, const AVPacket* packet) {
  return DecodeFrames(streamIndex, packet, [this, streamIndex](TInputStreamState& input, AVFrame& picture) {
    input.NextPts = input.Pts + PictureDuration(input, picture);
    PictureToOutputs(streamIndex, picture);
  });
}

bool TTranscode::DecodeAudio(int streamIndex, const AVPacket* packet) {
  return DecodeFrames(streamIndex, packet, [this, streamIndex](TInputStreamState& input, AVFrame& samples) {
    if (samples.sample_rate > 0) input.NextPts = input.Pts + 1000000LL * samples.nb_samples / samples.sample_rate;
    SamplesToOutputs(streamIndex, samples);
  });
}

void TTranscode::PictureToOutputs(int streamIndex, const AVFrame& decoded) {
  TInputStreamState& input = FStreams[streamIndex];
  const AVFrame* picture = FVideo->PreProcess(input, decoded);
  EmulateRate(input);
  const int64_t start = FEnv.Options->State().StartTime;
  if (start != 0 && input.Pts < start) return;
  for (TOutputStream* out : OutputsOf(streamIndex)) {
    if (!out->EncodingNeeded || out->Kind != TStreamKind::Video) continue;
    FVideo->Output(*out, input, *picture);
  }
}

void TTranscode::SamplesToOutputs(int streamIndex, const AVFrame& decoded) {
  TInputStreamState& input = FStreams[streamIndex];
  const TAudioBuffer& buffer = FAudio->PreProcess(input, decoded);
  EmulateRate(input);
  const int64_t start = FEnv.Options->State().StartTime;
  if (start != 0 && input.Pts < start) return;
  for (TOutputStream* out : OutputsOf(streamIndex))
    if (out->EncodingNeeded && out->Kind == TStreamKind::Audio) FAudio->Output(*out, input, buffer);
}

bool TTranscode::DecodeSubtitle(int streamIndex, const AVPacket* packet) {
  // Subtitle decoders hold nothing back: the end of the input has nothing to drain.
  if (!packet) return true;
  TInputStreamState& input = FStreams[streamIndex];
  TDecodedSubtitle subtitle;
  int got = 0;
  if (ff::avcodec_decode_subtitle2(input.Decoder, subtitle.Get(), &got, const_cast<AVPacket*>(packet)) < 0) return false;
  const int64_t start = FEnv.Options->State().StartTime;
  if (!got || (start != 0 && input.Pts < start)) return true;
  for (TOutputStream* out : OutputsOf(streamIndex))
    if (out->EncodingNeeded && out->Kind == TStreamKind::Subtitle) FSubtitles->Output(*out, *subtitle.Get(), start);
  return true;
}

void TTranscode::CopyPacket(TOutputStream& output, TInputStreamState& input, const AVPacket& packet) {
  const TOptionState& opt = FEnv.Options->State();
  // A copy that began on a picture predicting from one it lacks would show garbage until the next
  // key picture.
  if (!output.KeyFrameCopied && !(packet.flags & AV_PKT_FLAG_KEY) && !opt.CopyInitialNonKeyFrames) return;
  output.KeyFrameCopied = true;

  TPacketPtr copy(ff::av_packet_alloc());
  if (!copy || ff::av_packet_ref(copy.get(), &packet) < 0) throw FFmpegException("av_mallocz fail");
  const AVRational from = input.Stream->time_base;
  const AVRational to = output.Stream->time_base;
  const int64_t startOffset = ff::av_rescale_q(opt.StartTime, Microseconds, to);
  copy->pts = packet.pts != AV_NOPTS_VALUE ? ff::av_rescale_q(packet.pts, from, to) - startOffset : AV_NOPTS_VALUE;
  copy->dts = (packet.dts == AV_NOPTS_VALUE ? ff::av_rescale_q(input.Pts, Microseconds, to)
                                            : ff::av_rescale_q(packet.dts, from, to)) -
              startOffset;
  copy->duration = ff::av_rescale_q(packet.duration, from, to);
  copy->stream_index = output.Stream->index;

  output.FrameNumber++;
  switch (output.Kind) {
    case TStreamKind::Video:
      FCounters.VideoBytes += packet.size;
      break;
    case TStreamKind::Audio:
      FCounters.AudioBytes += packet.size;
      break;
    default:
      FCounters.SubtitleBytes += packet.size;
      break;
  }
  FEnv.Outputs->WritePacket(output, *copy, opt.ExitOnError);
}

void TTranscode::FlushEncoders(int streamIndex) {
  for (TOutputStream* out : OutputsOf(streamIndex)) {
    if (!out->EncodingNeeded) continue;
    if (out->Kind == TStreamKind::Video) FVideo->Flush(*out, FStreams[streamIndex]);
    if (out->Kind == TStreamKind::Audio) FAudio->Flush(*out);
  }
}

void TTranscode::EmulateRate(const TInputStreamState& input) const {
  if (!FEnv.Options->State().RateEmu) return;
  const int64_t elapsed = ff::av_gettime_relative() - input.WallClockStart;
  // Reading as fast as the input plays: wait until the wall clock reaches the stream's time.
  if (input.Pts > elapsed + 1000)
    std::this_thread::sleep_for(std::chrono::milliseconds((input.Pts - elapsed) / 1000));
}

}  // namespace vidorant
