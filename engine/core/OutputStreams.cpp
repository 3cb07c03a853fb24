// The streams of an output file (OutputSet.h): each made from the option state as it stands when
// the stream is added, which after an input's opening carries that input's size, rate, pixel
// format and audio parameters. Every step that can refuse runs before the library stream is
// added, so a refused stream leaves neither a stream nor a consumed option behind.
#include "engine/core/OutputSet.h"

#include "engine/core/CodecLookup.h"
#include "engine/core/FFmpegException.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Format.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vidorant {
namespace {

// Pixel formats a JPEG encoder takes from a caller who allows unofficial extensions (strictness
// below 0), looked up by name: the numbers of the former library generation mean other formats now.
constexpr const char* MjpegUnofficialFormats[] = {"yuvj420p", "yuvj422p", "yuv420p", "yuv422p"};
constexpr const char* LosslessJpegUnofficialFormats[] = {"yuvj420p", "yuvj422p", "yuvj444p", "yuv420p",
                                                         "yuv422p",  "yuv444p",  "bgra"};

// The JPEG encoders list these limited-range formats too, but open with them only at an unofficial
// strictness; at the normal one a picture in them must become the encoder's full-range format.
constexpr const char* JpegLimitedRangeFormats[] = {"yuv420p", "yuv422p", "yuv444p"};

template <size_t N>
bool NamedIn(AVPixelFormat format, const char* const (&names)[N]) {
  return std::any_of(std::begin(names), std::end(names),
                     [format](const char* name) { return ff::av_get_pix_fmt(name) == format; });
}

bool ListedIn(AVPixelFormat format, const AVPixelFormat* list) {
  for (; *list != AV_PIX_FMT_NONE; ++list)
    if (*list == format) return true;
  return false;
}

// The requested pixel format, or the encoder's first one when the encoder cannot take it.
AVPixelFormat ChoosePixelFormat(const AVCodec* codec, int strictness, AVPixelFormat requested) {
  if (!codec || !codec->pix_fmts) return requested;
  bool accepted;
  if (codec->id == AV_CODEC_ID_MJPEG && strictness < 0)
    accepted = NamedIn(requested, MjpegUnofficialFormats);
  else if (codec->id == AV_CODEC_ID_LJPEG && strictness < 0)
    accepted = NamedIn(requested, LosslessJpegUnofficialFormats);
  else
    accepted = ListedIn(requested, codec->pix_fmts) &&
               !((codec->id == AV_CODEC_ID_MJPEG || codec->id == AV_CODEC_ID_LJPEG) &&
                 NamedIn(requested, JpegLimitedRangeFormats));
  return accepted ? requested : codec->pix_fmts[0];
}

// The pixel shape that gives the requested display aspect at the frame size (a 4:3 frame when
// the size is not known), as a fraction of small terms.
AVRational SampleAspect(const TOptionState& opt) {
  const double aspect = opt.FrameWidth * opt.FrameHeight != 0
                            ? static_cast<double>(opt.FrameAspectRatio) * opt.FrameHeight / opt.FrameWidth
                            : static_cast<double>(opt.FrameAspectRatio) * 3 / 4;
  return ff::av_d2q(aspect, 255);
}

// A matrix the encoder frees with its context.
uint16_t* EncoderMatrix(const TQuantMatrix& matrix) {
  auto* copy = static_cast<uint16_t*>(ff::av_malloc(sizeof matrix));
  if (!copy) throw FFmpegException("Could not alloc output stream");
  std::memcpy(copy, matrix.data(), sizeof matrix);
  return copy;
}

// "start,end,q" entries separated by "/": q > 0 is a fixed quality scale for those frames,
// q <= 0 a quality factor of -q/100.
void SetRateControlOverride(AVCodecContext* enc, const std::string& text) {
  std::vector<RcOverride> entries;
  for (size_t start = 0; start <= text.size();) {
    const size_t slash = std::min(text.find('/', start), text.size());
    const std::string entry = text.substr(start, slash - start);
    int first = 0, last = 0, q = 0;
    if (std::sscanf(entry.c_str(), "%d,%d,%d", &first, &last, &q) != 3)
      throw FFmpegException("error parsing rc_override");
    RcOverride& o = entries.emplace_back();
    o.start_frame = first;
    o.end_frame = last;
    o.qscale = q > 0 ? q : 0;
    o.quality_factor = q > 0 ? 1.0f : -q / 100.0f;
    start = slash + 1;
  }
  enc->rc_override = static_cast<RcOverride*>(ff::av_malloc(entries.size() * sizeof(RcOverride)));
  if (!enc->rc_override) throw FFmpegException("Could not alloc output stream");
  std::memcpy(enc->rc_override, entries.data(), entries.size() * sizeof(RcOverride));
  enc->rc_override_count = static_cast<int>(entries.size());
}

// The forced key frame times, comma-separated durations, in the encoder's time base, ascending.
std::vector<int64_t> ForcedKeyFrameTimes(const std::string& text, AVRational timeBase) {
  std::vector<int64_t> times;
  if (text.empty()) return times;
  for (size_t start = 0; start <= text.size();) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const int64_t us = TTaskOptions::ParseTime("force_key_frames", item, false);
    times.push_back(ff::av_rescale_q(us, AVRational{1, AV_TIME_BASE}, timeBase));
    start = comma + 1;
  }
  std::sort(times.begin(), times.end());
  return times;
}

void ApplyEncodingOptions(const OptionContext& generic, AVCodecContext* enc, TStreamKind kind, int kindFlag,
                          const AVCodec* codec) {
  ApplyOptions(generic, enc, generic.CodecOptions[MediaTypeOf(kind)].get(), kindFlag | AV_OPT_FLAG_ENCODING_PARAM,
               codec);
}

void ConfigureVideoEncoder(TOutputStream& os, const TTaskOptions& options) {
  const TOptionState& opt = options.State();
  AVCodecContext* enc = os.Encoder.get();
  enc->width = opt.FrameWidth;
  enc->height = opt.FrameHeight;
  enc->sample_aspect_ratio = SampleAspect(opt);
  if (os.StreamCopy) return;

  // A rate of x/0 is no rate: the encoder would get a time base of 0.
  AVRational rate = opt.FrameRateNum > 0 && opt.FrameRateDen > 0 ? AVRational{opt.FrameRateNum, opt.FrameRateDen}
                                                                  : AVRational{25, 1};
  ApplyEncodingOptions(options.Generic(), enc, TStreamKind::Video, AV_OPT_FLAG_VIDEO_PARAM, os.Codec);
  if (os.Codec && os.Codec->supported_framerates && !opt.ForceFps)
    rate = os.Codec->supported_framerates[ff::av_find_nearest_q_idx(rate, os.Codec->supported_framerates)];
  enc->framerate = rate;
  enc->time_base = AVRational{rate.den, rate.num};
  enc->pix_fmt = ChoosePixelFormat(os.Codec, enc->strict_std_compliance, opt.FramePixFmt);
  if (opt.IntraOnly) enc->gop_size = 0;
  if (opt.VideoQScale != 0 || opt.SameQuality) {
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = static_cast<int>(FF_QP2LAMBDA * opt.VideoQScale);
  }
  if (opt.IntraMatrix) enc->intra_matrix = EncoderMatrix(*opt.IntraMatrix);
  if (opt.InterMatrix) enc->inter_matrix = EncoderMatrix(*opt.InterMatrix);
  if (opt.RcOverride) SetRateControlOverride(enc, *opt.RcOverride);
  if (enc->rc_initial_buffer_occupancy == 0) enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
  enc->intra_dc_precision = opt.IntraDcPrecision - 8;
  if (opt.DoPSNR) enc->flags |= AV_CODEC_FLAG_PSNR;
  if (opt.DoPass == 1) enc->flags |= AV_CODEC_FLAG_PASS1;
  if (opt.DoPass == 2) enc->flags |= AV_CODEC_FLAG_PASS2;
  os.ForcedKeyFrames = ForcedKeyFrameTimes(opt.ForcedKeyFrames, enc->time_base);
}

// The channel count with the input's layout when that layout has as many channels; without one,
// the channels are counted only (the layout is left unspecified).
void SetChannels(AVCodecContext* enc, const TOptionState& opt) {
  ff::av_channel_layout_uninit(&enc->ch_layout);
  const auto mask = static_cast<uint64_t>(opt.AudioChannelLayout);
  if (mask && std::popcount(mask) == opt.AudioChannels && ff::av_channel_layout_from_mask(&enc->ch_layout, mask) == 0)
    return;
  enc->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
  enc->ch_layout.nb_channels = opt.AudioChannels;
}

// The encoder's rate nearest to the requested one (the first of equals); the user is told when
// it is not the requested one.
int ChooseSampleRate(const AVCodec* codec, int requested, const TTaskOptions& options) {
  if (!codec || !codec->supported_samplerates) return requested;
  int best = codec->supported_samplerates[0];
  for (const int* rate = codec->supported_samplerates; *rate; ++rate)
    if (std::abs(*rate - requested) < std::abs(best - requested)) best = *rate;
  if (best != requested)
    options.Log(llWarning, Format("Requested sampling rate unsupported using closest supported (%d)", best));
  return best;
}

void ConfigureAudioEncoder(TOutputStream& os, const TTaskOptions& options) {
  const TOptionState& opt = options.State();
  AVCodecContext* enc = os.Encoder.get();
  SetChannels(enc, opt);
  enc->sample_rate = opt.AudioSampleRate;
  if (!os.StreamCopy) {
    ApplyEncodingOptions(options.Generic(), enc, TStreamKind::Audio, AV_OPT_FLAG_AUDIO_PARAM, os.Codec);
    if (opt.AudioQScale > TOptionState::NoAudioQuality) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = static_cast<int>(FF_QP2LAMBDA * opt.AudioQScale);
    }
    SetChannels(enc, opt);
    enc->sample_fmt = opt.AudioSampleFmt;
    if (os.Codec && os.Codec->sample_fmts) {
      const AVSampleFormat* f = os.Codec->sample_fmts;
      while (*f != AV_SAMPLE_FMT_NONE && *f != enc->sample_fmt) ++f;
      if (*f == AV_SAMPLE_FMT_NONE) enc->sample_fmt = os.Codec->sample_fmts[0];
    }
    enc->sample_rate = ChooseSampleRate(os.Codec, opt.AudioSampleRate, options);
  }
  if (enc->sample_rate > 0) enc->time_base = AVRational{1, enc->sample_rate};
}

// The encoder an option named for the kind, or the one the format would choose for the name.
const AVCodec* ResolveEncoder(TStreamKind kind, AVCodecID guessed, const TTaskOptions& options) {
  const std::optional<std::string>& name = options.State().CodecNames[kind];
  if (!name) return guessed == AV_CODEC_ID_NONE ? nullptr : ff::avcodec_find_encoder(guessed);
  const AVMediaType type = MediaTypeOf(kind);
  std::string error;
  const AVCodec* codec = FindCodecByName(*name, type, true,
                                         options.Generic().CodecOptions[type]->strict_std_compliance, error);
  if (!codec) throw FFmpegException(error);
  return codec;
}

// The per-stream options of the kind, consumed by the stream just made.
void ConsumeStreamOptions(TOptionState& opt, TStreamKind kind) {
  opt.Disabled[kind] = false;
  opt.CodecNames[kind].reset();
  opt.StreamCopy[kind] = false;
  opt.Languages[kind].clear();
  opt.BitstreamFilters[kind].clear();
  switch (kind) {
    case TStreamKind::Video:
      opt.ForcedKeyFrames.clear();
      opt.FramePixFmt = AV_PIX_FMT_NONE;
      break;
    case TStreamKind::Subtitle:
      opt.CodecTags[kind] = 0;
      break;
    default:
      break;
  }
}

}  // namespace

TOutputStream& TOutputSet::MakeStream(TOutputFile& file, int fileIndex, TStreamKind kind, TTaskOptions& options) {
  TOptionState& opt = options.State();
  AVFormatContext* oc = file.Context.get();
  const AVMediaType type = MediaTypeOf(kind);

  auto os = std::make_unique<TOutputStream>();
  os->File = fileIndex;
  os->Kind = kind;
  os->StreamCopy = opt.StreamCopy[kind];
  AVCodecID codecId = AV_CODEC_ID_NONE;
  if (!os->StreamCopy) {
    codecId = file.EngineFormat ? DefaultCodec(file, kind) : ff::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, type);
    os->Codec = ResolveEncoder(kind, codecId, options);
  }
  os->Encoder.reset(ff::avcodec_alloc_context3(os->Codec));
  if (!os->Encoder) throw FFmpegException("Could not alloc output stream");
  AVCodecContext* enc = os->Encoder.get();
  enc->codec_type = type;
  if (!os->Codec) enc->codec_id = codecId;
  enc->thread_count = opt.ThreadCount;
  if (opt.CodecTags[kind]) enc->codec_tag = opt.CodecTags[kind];
  if (kind == TStreamKind::Video) ConfigureVideoEncoder(*os, options);
  if (kind == TStreamKind::Audio) ConfigureAudioEncoder(*os, options);
  if (kind == TStreamKind::Subtitle && !os->StreamCopy)
    ApplyEncodingOptions(options.Generic(), enc, kind, AV_OPT_FLAG_SUBTITLE_PARAM, os->Codec);

  // After the stored options, which may set "flags" and would clear the header bits.
  const bool formatWantsGlobalHeader = FormatFlags(file) & AVFMT_GLOBALHEADER;
  if (kind == TStreamKind::Video) {
    if ((opt.VideoGlobalHeader & 1) || (opt.VideoGlobalHeader == 0 && formatWantsGlobalHeader))
      enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (opt.VideoGlobalHeader & 2) enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
  } else if (formatWantsGlobalHeader) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }

  AVStream* st = ff::avformat_new_stream(oc, nullptr);
  if (!st) throw FFmpegException("Could not alloc stream");
  if (st->index < static_cast<int>(opt.StreamIdMap.size())) st->id = opt.StreamIdMap[st->index];
  os->Stream = st;
  os->Index = st->index;
  st->codecpar->codec_type = type;
  if (kind == TStreamKind::Video) st->sample_aspect_ratio = enc->sample_aspect_ratio;
  if (enc->time_base.num > 0) st->time_base = enc->time_base;
  if (!opt.Languages[kind].empty()) ff::av_dict_set(&st->metadata, "language", opt.Languages[kind].c_str(), 0);
  os->BitstreamFilterEntries = opt.BitstreamFilters[kind];
  ConsumeStreamOptions(opt, kind);
  file.Streams.push_back(std::move(os));
  return *file.Streams.back();
}

}  // namespace vidorant
