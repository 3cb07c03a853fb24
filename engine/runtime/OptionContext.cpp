// The option store of OptionContext.h. A name is tried, in this order: the codec options of each
// media type whose kind mask it has (video, audio, data, subtitle, attachment; a negative result
// stops the walk), the format options, the scaler options, then without its first letter on the
// audio ("a"), video ("v") or subtitle ("s") codec options. A name none of them knows is still
// accepted when some codec's or muxer's private options have it.
#include "engine/runtime/OptionContext.h"

#include <cstring>

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFUtils.h"
#include "engine/runtime/SwScaleStubs.h"
#include "platform/Exception.h"
#include "platform/Format.h"

namespace vidorant {

namespace {

// The option-kind flags of each media type; data and attachment have none, so every option
// matches them.
constexpr int KindMask[OptionMediaTypes] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                            AV_OPT_FLAG_SUBTITLE_PARAM, 0};

struct TSetResult {
  const AVOption* Found = nullptr;
  int Result = 0;
};

// Finds the option (any kind) on the object and sets it there.
void TrySet(TSetResult& r, void* object, const char* name, const char* value) {
  if (!object) return;
  const AVOption* o = ff::av_opt_find(object, name, nullptr, 0, 0);
  if (!o) return;
  r.Found = o;
  r.Result = ff::av_opt_set(object, name, value, 0);
}

bool ClassHasOption(const AVClass* const* cls, const char* name) {
  return *cls &&
         ff::av_opt_find(const_cast<const AVClass**>(cls), name, nullptr, 0,
                         AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

bool SomePrivateClassHas(const char* name) {
  void* it = nullptr;
  while (const AVCodec* codec = ff::av_codec_iterate(&it))
    if (ClassHasOption(&codec->priv_class, name)) return true;
  it = nullptr;
  while (const AVOutputFormat* format = ff::av_muxer_iterate(&it))
    if (ClassHasOption(&format->priv_class, name)) return true;
  return false;
}

bool IsBlank(const char* text) {
  for (; *text; ++text)
    if (static_cast<unsigned char>(*text) > ' ') return false;
  return true;
}

// The target's private options: the codec's when the target is a codec context of a codec with
// private options, the muxer's when it is a format context of a muxer with them.
void* PrivateContextOf(void* target, const AVCodec* codec) {
  const AVClass* cls = *static_cast<const AVClass**>(target);
  if (!cls || !cls->class_name) return nullptr;
  if (std::strcmp(cls->class_name, "AVCodecContext") == 0)
    return codec && codec->priv_class ? static_cast<AVCodecContext*>(target)->priv_data : nullptr;
  if (std::strcmp(cls->class_name, "AVFormatContext") == 0) {
    auto* format = static_cast<AVFormatContext*>(target);
    return format->oformat && format->oformat->priv_class ? format->priv_data : nullptr;
  }
  return nullptr;
}

}  // namespace

void InitOptions(OptionContext& options, TScalerFlags scalerFlags) {
  FreeOptions(options);
  for (int type = 0; type < OptionMediaTypes; ++type) {
    options.CodecOptions[type].reset(ff::avcodec_alloc_context3(nullptr));
    if (!options.CodecOptions[type]) throw Exception("Cannot allocate codec option context");
    options.CodecOptions[type]->codec_type = static_cast<AVMediaType>(type);
  }
  options.FormatOptions.reset(ff::avformat_alloc_context());
  // The scaler's option table lives in a real scaler: the smallest sensible picture, 16x16, in
  // the libraries' first pixel format (code 0) to the same; it is never used to scale.
  constexpr AVPixelFormat kOptionScalerFormat = AV_PIX_FMT_YUV420P;
  options.ScalerOptions.reset(ff::sws_getContext(16, 16, kOptionScalerFormat, 16, 16, kOptionScalerFormat,
                                                 ScalerFlagsValue(scalerFlags), nullptr, nullptr, nullptr));
  if (!options.FormatOptions || !options.ScalerOptions)
    throw Exception("Cannot allocate format or scaler option context");
}

void FreeOptions(OptionContext& options) {
  for (auto& codecOptions : options.CodecOptions) codecOptions.reset();
  options.FormatOptions.reset();
  options.ScalerOptions.reset();
  options.Options.clear();
}

bool SetOption(OptionContext& options, const char* name, const char* value) {
  if (!name || IsBlank(name)) return false;
  AVCodecContext* video = options.CodecOptions[AVMEDIA_TYPE_VIDEO].get();
  TSetResult r;
  for (int type = 0; type < OptionMediaTypes && video; ++type) {
    const AVOption* o = ff::av_opt_find(video, name, nullptr, KindMask[type], 0);
    if (!o) continue;
    r.Found = o;
    r.Result = ff::av_opt_set(options.CodecOptions[type].get(), name, value, 0);
    if (r.Result < 0) break;
  }
  if (!r.Found) TrySet(r, options.FormatOptions.get(), name, value);
  if (!r.Found) TrySet(r, options.ScalerOptions.get(), name, value);
  if (!r.Found) {
    AVMediaType byLetter = AVMEDIA_TYPE_UNKNOWN;
    if (name[0] == 'a') byLetter = AVMEDIA_TYPE_AUDIO;
    if (name[0] == 'v') byLetter = AVMEDIA_TYPE_VIDEO;
    if (name[0] == 's') byLetter = AVMEDIA_TYPE_SUBTITLE;
    if (byLetter != AVMEDIA_TYPE_UNKNOWN)
      TrySet(r, options.CodecOptions[byLetter].get(), name + 1, value);
  }

  if (r.Found && r.Result < 0) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n",
               value ? value : "", name);
    SetLastUtilsError(Format("Invalid value \"%s\" for option \"%s\"", value ? value : "", name));
    return false;
  }
  if (!r.Found && !SomePrivateClassHas(name)) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Unrecognized option \"%s\"\n", name);
    SetLastUtilsError(Format("Unrecognized option \"%s\"", name));
    return false;
  }

  if (r.Found)
    options.Options.push_back({r.Found->name, std::nullopt});
  else
    options.Options.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
  // A debug option asks for the libraries' debug output: let it through the logger.
  if ((video && video->debug) || (options.FormatOptions && options.FormatOptions->debug))
    FFLogger()->SetLogLevel(llDebug);
  return true;
}

void ApplyOptions(const OptionContext& options, void* target, void* source, int flagMask,
                  const AVCodec* codec) {
  if (!target || !source) return;
  void* priv = PrivateContextOf(target, codec);
  for (const TStoredOption& option : options.Options) {
    const char* name = option.Name.c_str();
    const AVOption* o = ff::av_opt_find(source, name, nullptr, 0, 0);
    uint8_t* text = nullptr;
    if (o && ff::av_opt_get(source, name, 0, &text) >= 0) {
      if ((o->flags & flagMask) == flagMask)
        ff::av_opt_set(target, name, reinterpret_cast<const char*>(text), 0);
      ff::av_free(text);
    } else if (priv && option.Value && ff::av_opt_find(priv, name, nullptr, 0, 0)) {
      ff::av_opt_set(priv, name, option.Value->c_str(), 0);
    }
  }
}

}  // namespace vidorant
