#include "tests/engine/core/DecodedOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace vidorant::testing {
namespace {

struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

// Appends the frame's first channel as float samples.
void AppendLeft(const AVFrame& frame, std::vector<float>& into) {
  SwrContext* raw = nullptr;
  AVChannelLayout mono{};
  av_channel_layout_default(&mono, 1);
  AVChannelLayout in{};
  av_channel_layout_copy(&in, &frame.ch_layout);
  // Only the first channel is wanted: a matrix that takes it alone.
  const bool made = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, frame.sample_rate, &in,
                                        static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr) >= 0;
  av_channel_layout_uninit(&in);
  SwrPtr swr(raw);
  ASSERT_TRUE(made);
  std::vector<double> matrix(frame.ch_layout.nb_channels, 0.0);
  matrix[0] = 1.0;
  ASSERT_GE(swr_set_matrix(swr.get(), matrix.data(), frame.ch_layout.nb_channels), 0);
  ASSERT_GE(swr_init(swr.get()), 0);
  const size_t at = into.size();
  into.resize(at + frame.nb_samples);
  uint8_t* out = reinterpret_cast<uint8_t*>(into.data() + at);
  const int done = swr_convert(swr.get(), &out, frame.nb_samples, const_cast<const uint8_t**>(frame.extended_data),
                               frame.nb_samples);
  ASSERT_EQ(done, frame.nb_samples);
}

}  // namespace

InputPtr OpenMediaFile(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    ADD_FAILURE() << "cannot open " << path;
    return nullptr;
  }
  InputPtr in(raw);
  EXPECT_GE(avformat_find_stream_info(in.get(), nullptr), 0) << path;
  return in;
}

TStreamDecoder OpenStreamDecoder(const std::string& path, AVMediaType type) {
  TStreamDecoder opened;
  opened.Input = OpenMediaFile(path);
  if (!opened.Input) return opened;
  const int index = av_find_best_stream(opened.Input.get(), type, -1, -1, nullptr, 0);
  if (index < 0) {
    ADD_FAILURE() << "no " << av_get_media_type_string(type) << " stream in " << path;
    return opened;
  }
  opened.Stream = opened.Input->streams[index];
  const AVCodec* codec = avcodec_find_decoder(opened.Stream->codecpar->codec_id);
  CodecContextPtr dec(avcodec_alloc_context3(codec));
  if (!codec || !dec || avcodec_parameters_to_context(dec.get(), opened.Stream->codecpar) < 0) {
    ADD_FAILURE() << "no decoder for the stream of " << path;
    return opened;
  }
  dec->pkt_timebase = opened.Stream->time_base;
  if (avcodec_open2(dec.get(), codec, nullptr) < 0) {
    ADD_FAILURE() << "cannot open the decoder for " << path;
    return opened;
  }
  opened.Decoder = std::move(dec);
  return opened;
}

TDecodedAudio ReadAudio(const std::string& path) {
  TDecodedAudio audio;
  TStreamDecoder opened = OpenStreamDecoder(path, AVMEDIA_TYPE_AUDIO);
  if (!opened.Decoder) return audio;
  AVFormatContext* in = opened.Input.get();
  const AVStream* st = opened.Stream;
  AVCodecContext* dec = opened.Decoder.get();
  const int index = st->index;
  audio.Codec = avcodec_get_name(st->codecpar->codec_id);
  audio.Channels = st->codecpar->ch_layout.nb_channels;
  audio.Rate = st->codecpar->sample_rate;
  audio.FrameSize = st->codecpar->frame_size;
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  bool first = true;
  auto receive = [&] {
    while (avcodec_receive_frame(dec, frame.get()) >= 0) {
      if (first && frame->best_effort_timestamp != AV_NOPTS_VALUE)
        audio.FirstPts = av_rescale_q(frame->best_effort_timestamp, st->time_base, AVRational{1, 1000000});
      first = false;
      AppendLeft(*frame, audio.Left);
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(in, packet.get()) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(dec, packet.get()) >= 0) receive();
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(dec, nullptr);
  receive();
  return audio;
}

double TonePower(const std::vector<float>& samples, size_t from, size_t to, double hz, int rate) {
  const double coefficient = 2 * std::cos(2 * M_PI * hz / rate);
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < to && i < samples.size(); ++i) {
    const double s = samples[i] + coefficient * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

double LargestStep(const std::vector<float>& samples, size_t from, size_t to) {
  double largest = 0;
  for (size_t i = from; i + 1 < to && i + 1 < samples.size(); ++i)
    largest = std::max(largest, static_cast<double>(std::fabs(samples[i + 1] - samples[i])));
  return largest;
}

double QuietestWindow(const std::vector<float>& samples, size_t from, size_t to, size_t window) {
  double quietest = 1e9;
  for (size_t start = from; start + window <= to && start + window <= samples.size(); start += window) {
    double sum = 0;
    for (size_t i = start; i < start + window; ++i) sum += samples[i] * samples[i];
    quietest = std::min(quietest, std::sqrt(sum / window));
  }
  return quietest;
}

}  // namespace vidorant::testing
