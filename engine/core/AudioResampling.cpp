#include "engine/core/AudioResampling.h"

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/SwResampleStubs.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace vidorant {
namespace {

// The layout of a channel count: the libraries' default order for that count.
AVChannelLayout LayoutOf(int channels) {
  AVChannelLayout layout{};
  ff::av_channel_layout_default(&layout, channels);
  return layout;
}

}  // namespace

int BytesPerSample(AVSampleFormat format) { return ff::av_get_bytes_per_sample(format); }

std::unique_ptr<TAudioResampler> TAudioResampler::Create(const TAudioFormat& in, const TAudioFormat& out,
                                                         bool resampleFilter) {
  if (in.Channels <= 0 || out.Channels <= 0 || in.Rate <= 0 || out.Rate <= 0) return nullptr;
  AVChannelLayout inLayout = LayoutOf(in.Channels), outLayout = LayoutOf(out.Channels);
  SwrContext* made = nullptr;
  const int rc = ff::swr_alloc_set_opts2(&made, &outLayout, out.Format, out.Rate, &inLayout, in.Format, in.Rate, 0,
                                         nullptr);
  ff::av_channel_layout_uninit(&inLayout);
  ff::av_channel_layout_uninit(&outLayout);
  TSwrContextPtr swr(made);
  if (rc < 0 || !swr) return nullptr;
  if (resampleFilter &&
      (ff::av_opt_set_int(swr.get(), "filter_size", 16, 0) < 0 || ff::av_opt_set_int(swr.get(), "phase_shift", 10, 0) < 0 ||
       ff::av_opt_set_int(swr.get(), "linear_interp", 0, 0) < 0 || ff::av_opt_set_double(swr.get(), "cutoff", 0.8, 0) < 0))
    return nullptr;
  // A mono source plays at its own level on every output channel, as if copied to each; the
  // library's default mix would lower it by 3 dB.
  if (in.Channels == 1 && out.Channels > 1) {
    const std::vector<double> copyToEach(out.Channels, 1.0);
    if (ff::swr_set_matrix(swr.get(), copyToEach.data(), 1) < 0) return nullptr;
  }
  if (ff::swr_init(swr.get()) < 0) return nullptr;
  return std::unique_ptr<TAudioResampler>(new TAudioResampler(std::move(swr), in, out));
}

TAudioResampler::TAudioResampler(TSwrContextPtr swr, const TAudioFormat& in, const TAudioFormat& out)
    : FSwr(std::move(swr)), FIn(in), FOut(out) {
  const int planes = ff::av_sample_fmt_is_planar(out.Format) ? out.Channels : 1;
  FPlanes.resize(planes);
  FPlanePointers.resize(planes, nullptr);
}

void TAudioResampler::Reserve(int samples) {
  if (samples <= FCapacity) return;
  const bool planar = ff::av_sample_fmt_is_planar(FOut.Format);
  const size_t bytes = static_cast<size_t>(samples) * BytesPerSample(FOut.Format) * (planar ? 1 : FOut.Channels);
  for (size_t p = 0; p < FPlanes.size(); ++p) {
    FPlanes[p].resize(bytes);
    FPlanePointers[p] = FPlanes[p].data();
  }
  FCapacity = samples;
}

int TAudioResampler::Convert(const uint8_t* const* in, int inSamples) {
  const int room = ff::swr_get_out_samples(FSwr.get(), inSamples);
  if (room < 0) return room;
  // Compensation may stretch a run a little beyond the estimate.
  Reserve(room + 256);
  return ff::swr_convert(FSwr.get(), FPlanePointers.data(), FCapacity, const_cast<const uint8_t**>(in), inSamples);
}

bool TAudioResampler::Compensate(int delta, int distance) {
  return ff::swr_set_compensation(FSwr.get(), delta, distance) >= 0;
}

}  // namespace vidorant
