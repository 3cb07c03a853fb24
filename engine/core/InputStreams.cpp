// The streams of an opened input (InputSet.h): one decoder context per stream, the options of
// decoding applied to it, and the input's video and audio properties copied into the option
// state as the defaults of the output streams made later.
#include "engine/core/InputSet.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

// The stored options of decoding for the stream's kind, onto its decoder context.
void ApplyDecodingOptions(const OptionContext& generic, AVCodecContext* dec, AVMediaType type, int kindFlag,
                          const AVCodec* codec) {
  ApplyOptions(generic, dec, generic.CodecOptions[type].get(), kindFlag | AV_OPT_FLAG_DECODING_PARAM, codec);
}

}  // namespace

std::vector<TInputStreamCodec> TInputSet::SetUpStreams(AVFormatContext* ic, TTaskOptions& options,
                                                       const TPerKind<const AVCodec*>& forced) const {
  TOptionState& opt = options.State();
  std::vector<TInputStreamCodec> codecs;
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    AVStream* st = ic->streams[i];
    const AVMediaType type = st->codecpar->codec_type;
    const std::optional<TStreamKind> kind = StreamKindOf(type);
    if (!kind && type != AVMEDIA_TYPE_ATTACHMENT) throw FFmpegException("invalid codec_type");
    TInputStreamCodec codec;
    if (kind) codec.Decoder = forced[*kind];
    // Made for the decoder it will be opened with (the named one, else the one of its codec id),
    // so that the decoder's private options have their place in it from the start.
    const AVCodec* decoder = codec.Decoder ? codec.Decoder : ff::avcodec_find_decoder(st->codecpar->codec_id);
    codec.Context.reset(ff::avcodec_alloc_context3(decoder));
    if (!codec.Context || ff::avcodec_parameters_to_context(codec.Context.get(), st->codecpar) < 0)
      throw FFmpegException("avcodec_alloc_context3 failed");
    AVCodecContext* dec = codec.Context.get();
    dec->thread_count = opt.ThreadCount;
    dec->pkt_timebase = st->time_base;
    switch (type) {
      case AVMEDIA_TYPE_VIDEO:
        SetUpVideoStream(st, dec, decoder, options);
        break;
      case AVMEDIA_TYPE_AUDIO:
        SetUpAudioStream(st, dec, decoder, options);
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        if (opt.Disabled[TStreamKind::Subtitle]) st->discard = AVDISCARD_ALL;
        break;
      default:  // data and attachments: nothing to set up
        break;
    }
    codecs.push_back(std::move(codec));
  }
  return codecs;
}

void TInputSet::SetUpVideoStream(AVStream* st, AVCodecContext* dec, const AVCodec* codec,
                                 TTaskOptions& options) const {
  TOptionState& opt = options.State();
  ApplyDecodingOptions(options.Generic(), dec, AVMEDIA_TYPE_VIDEO, AV_OPT_FLAG_VIDEO_PARAM, codec);
  opt.FrameHeight = dec->height;
  opt.FrameWidth = dec->width;
  const AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : dec->sample_aspect_ratio;
  double aspect = sar.den ? static_cast<double>(sar.num) / sar.den : 0;
  if (dec->width * dec->height != 0)
    aspect = aspect != 0 ? aspect * dec->width / dec->height : static_cast<double>(dec->width) / dec->height;
  else if (aspect == 0)
    aspect = 4.0 / 3.0;
  opt.FrameAspectRatio = static_cast<float>(aspect);
  // An unknown format becomes the first one the library has, as the streams' readers expect.
  if (dec->pix_fmt == AV_PIX_FMT_NONE) dec->pix_fmt = static_cast<AVPixelFormat>(0);
  opt.FramePixFmt = dec->pix_fmt;
  if (dec->lowres) {
    dec->height >>= dec->lowres;
    dec->width >>= dec->lowres;
    opt.FrameHeight = dec->height;
    opt.FrameWidth = dec->width;
  }
  // Motion vectors are exported as side data now, not drawn by a debug flag.
  if (opt.MeThreshold) dec->export_side_data |= AV_CODEC_EXPORT_DATA_MVS;
  const AVRational real = st->r_frame_rate;
  const AVRational codecRate = st->avg_frame_rate;
  if (codecRate.num && codecRate.den && av_cmp_q(codecRate, real) != 0 && opt.Verbose >= 0)
    options.Log(llInfo,
                Format("Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> %2.2f (%d/%d)",
                       st->index, av_q2d(codecRate), codecRate.num, codecRate.den, av_q2d(real), real.num,
                       real.den));
  opt.FrameRateNum = real.num;
  opt.FrameRateDen = real.den;
  if (opt.Disabled[TStreamKind::Video])
    st->discard = AVDISCARD_ALL;
  else if (opt.VideoDiscard != AVDISCARD_DEFAULT)
    st->discard = opt.VideoDiscard;
}

void TInputSet::SetUpAudioStream(AVStream* st, AVCodecContext* dec, const AVCodec* codec,
                                 TTaskOptions& options) const {
  TOptionState& opt = options.State();
  ApplyDecodingOptions(options.Generic(), dec, AVMEDIA_TYPE_AUDIO, AV_OPT_FLAG_AUDIO_PARAM, codec);
  opt.AudioChannelLayout =
      dec->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? static_cast<int64_t>(dec->ch_layout.u.mask) : 0;
  opt.AudioChannels = dec->ch_layout.nb_channels;
  opt.AudioSampleRate = dec->sample_rate;
  opt.AudioSampleFmt = dec->sample_fmt;
  if (opt.Disabled[TStreamKind::Audio]) st->discard = AVDISCARD_ALL;
  if (dec->lowres) opt.AudioSampleRate >>= dec->lowres;
}

}  // namespace vidorant
