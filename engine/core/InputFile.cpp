// AddInputFile: opens one input with the options pending now, reads its stream information,
// applies the clip start, and copies the input's properties back into the option state, where
// they become the defaults of the output streams made later.
// Invariant: the input and its stream codecs enter the task's lists together, only after every
// step succeeded; on any way out the timeout check is unregistered and the per-input options
// (codec names, video channel) are consumed.
#include "engine/core/FFmpeg.h"

#include "engine/core/CodecLookup.h"
#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFTypes.h"
#include "engine/runtime/InterruptCB.h"
#include "platform/Format.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

// The format parameters of an opening: what raw and device demuxers cannot find in the data.
TDictionary FormatParameters(const TOptionState& opt) {
  TDictionary params;
  ff::av_dict_set_int(params.Address(), "sample_rate", opt.AudioSampleRate, 0);
  ff::av_dict_set_int(params.Address(), "channels", opt.AudioChannels, 0);
  if (opt.FrameRateNum > 0 && opt.FrameRateDen > 0)
    ff::av_dict_set(params.Address(), "framerate",
                    Format("%d/%d", opt.FrameRateNum, opt.FrameRateDen).c_str(), 0);
  if (opt.FrameWidth > 0 && opt.FrameHeight > 0)
    ff::av_dict_set(params.Address(), "video_size",
                    Format("%dx%d", opt.FrameWidth, opt.FrameHeight).c_str(), 0);
  if (opt.FramePixFmt >= 0) {
    const char* name = ff::av_get_pix_fmt_name(static_cast<AVPixelFormat>(opt.FramePixFmt));
    if (name) ff::av_dict_set(params.Address(), "pixel_format", name, 0);
  }
  if (opt.VideoChannel) ff::av_dict_set_int(params.Address(), "channel", opt.VideoChannel, 0);
  if (opt.VideoStandard) ff::av_dict_set(params.Address(), "standard", opt.VideoStandard->c_str(), 0);
  return params;
}

}  // namespace

// Registers the task's timeout check for the calling thread for as long as it lives.
class TTimeoutRegistration {
public:
  explicit TTimeoutRegistration(TCustomFFmpeg& task)
      : FTask(task), FThread(CurrentThreadID()),
        FCheck(MethodInterruptCheck<&TCustomFFmpeg::IOCheck>(&task)) {
    FFInterruptCB().AddInterrupt(FThread, &task, FCheck);
  }
  ~TTimeoutRegistration() {
    FTask.FIOStartTime = TCustomFFmpeg::IONoTime;
    FFInterruptCB().RemoveInterrupt(FThread, &FTask, FCheck);
  }
  TTimeoutRegistration(const TTimeoutRegistration&) = delete;
  TTimeoutRegistration& operator=(const TTimeoutRegistration&) = delete;

private:
  TCustomFFmpeg& FTask;
  uint32_t FThread;
  TInterruptCheck FCheck;
};

bool TCustomFFmpeg::IOCheck(void*) { return IOTimedOut(); }

bool TCustomFFmpeg::IOTimedOut() {
  // A cancel interrupts even without a timeout, else a stop could not end an opening.
  if (FIOCancelled) {
    Log(llInfo, "connecting/reading/writing canceled");
    return true;
  }
  const int64_t start = FIOStartTime;
  if (start == IONoTime || IOTimeout <= 0 || ff::av_gettime() - start <= int64_t{IOTimeout} * 1000)
    return false;
  Log(llInfo, "connecting/reading/writing timeout");
  return true;
}

void TCustomFFmpeg::StampIOStart() { FIOStartTime = ff::av_gettime(); }

bool TCustomFFmpeg::AddInputFile(const std::string& fileName) {
  // Step 1: the pending format.
  const AVInputFormat* format = nullptr;
  if (!FOpt.FormatName.empty()) {
    // Consumed even when unknown: the refusal is for this input only.
    const std::string name = std::move(FOpt.FormatName);
    FOpt.FormatName.clear();
    format = ff::av_find_input_format(name.c_str());
    if (!format) throw FFmpegException(Format("Unknown input format: \"%s\"", name.c_str()));
  }
  if (static_cast<int>(FInputFiles.size()) >= FFileCapacity) {
    LastErrorMessage = Format("max input files %d reached", FFileCapacity);
    FinishInput();
    return false;
  }
  bool added = false;
  try {
    added = OpenAndProbeInput(fileName, format);
  } catch (...) {
    FinishInput();
    throw;
  }
  FinishInput();
  return added;
}

// Step 14 and the end of step 13: what every way out of AddInputFile consumes.
void TCustomFFmpeg::FinishInput() {
  FIOStartTime = IONoTime;
  FOpt.VideoCodecName.reset();
  FOpt.AudioCodecName.reset();
  FOpt.SubtitleCodecName.reset();
  FOpt.VideoChannel = 0;
}

bool TCustomFFmpeg::OpenAndProbeInput(const std::string& fileName, const AVInputFormat* format) {
  // Step 2.
  TUnopenedInputPtr unopened = AllocInputContext();
  if (!unopened) throw FFmpegException("avformat_alloc_context failed");
  // Step 3.
  TDictionary params = FormatParameters(FOpt);
  // Step 4.
  ApplyOptions(FOptionContext, unopened.get(), FOptionContext.FormatOptions.get(),
               AV_OPT_FLAG_DECODING_PARAM, nullptr);
  // Step 5.
  const AVCodec* forced[3] = {};
  const std::optional<std::string>* names[3] = {&FOpt.VideoCodecName, &FOpt.AudioCodecName,
                                               &FOpt.SubtitleCodecName};
  const AVMediaType kinds[3] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE};
  for (int i = 0; i < 3; ++i) {
    if (!*names[i]) continue;
    const int strictness = FOptionContext.CodecOptions[kinds[i]]->strict_std_compliance;
    forced[i] = FindCodecByName(**names[i], kinds[i], false, strictness, LastErrorMessage);
    if (!forced[i]) return false;
  }
  AVFormatContext* ic = unopened.get();
  if (forced[0]) {
    ic->video_codec_id = forced[0]->id;
    ic->video_codec = forced[0];
  }
  if (forced[1]) {
    ic->audio_codec_id = forced[1]->id;
    ic->audio_codec = forced[1];
  }
  if (forced[2]) {
    ic->subtitle_codec_id = forced[2]->id;
    ic->subtitle_codec = forced[2];
  }

  // Step 6.
  TTimeoutRegistration timeout(*this);
  StampIOStart();

  // Step 7.
  TInputFile input;
  if (OpenInput(std::move(unopened), fileName, format, params.Address(), input, LastErrorMessage) < 0)
    return false;
  ic = input.Context.get();

  // Step 8.
  if (!SelectProgram(ic)) return false;
  // Step 9: the loop flag stays in the option state, where the transcode loop reads it.
  if (OnBeforeFindStreamInfo) OnBeforeFindStreamInfo(this, ic);
  // Step 10.
  StampIOStart();
  if (ff::avformat_find_stream_info(ic, nullptr) < 0 && FOpt.Verbose >= 0) {
    LastErrorMessage = Format("%s: could not find codec parameters", fileName.c_str());
    Log(llVerbose, LastErrorMessage);
    return false;
  }
  // Step 11.
  int64_t timestamp = FOpt.StartTime;
  if (ic->start_time != AV_NOPTS_VALUE) timestamp += ic->start_time;
  if (FOpt.StartTime != 0) {
    StampIOStart();
    if (ff::av_seek_frame(ic, -1, timestamp, AVSEEK_FLAG_BACKWARD) < 0 && FOpt.Verbose > 0)
      Log(llVerbose, Format("%s: could not seek to position %0.3f", fileName.c_str(),
                            static_cast<double>(timestamp) / AV_TIME_BASE));
    FOpt.StartTime = 0;
  }
  FIOStartTime = IONoTime;
  // Step 12.
  std::vector<TInputStreamCodec> codecs = SetUpInputStreams(ic, forced);
  // Step 13.
  if (ic->duration != AV_NOPTS_VALUE && ic->duration > ExpectedDuration) ExpectedDuration = ic->duration;
  const size_t index = FInputFiles.size();
  input.TsOffset = FOpt.CopyTs ? FOpt.InputTsOffset : FOpt.InputTsOffset - timestamp;
  if (index < FOpt.TsScales.size()) input.TsScales = FOpt.TsScales[index];
  if (FOpt.Verbose >= 0) ff::av_dump_format(ic, static_cast<int>(index), input.LibName.c_str(), 0);
  FInputFiles.push_back(std::move(input));
  for (TInputStreamCodec& codec : codecs) FInputStreamCodecs.push_back(std::move(codec));
  return true;
}

bool TCustomFFmpeg::SelectProgram(AVFormatContext* ic) {
  if (FOpt.ProgramId == 0) return true;
  const int id = FOpt.ProgramId;
  FOpt.ProgramId = 0;
  for (unsigned i = 0; i < ic->nb_streams; ++i) ic->streams[i]->discard = AVDISCARD_ALL;
  bool found = false;
  for (unsigned p = 0; p < ic->nb_programs; ++p) {
    AVProgram* program = ic->programs[p];
    if (program->id == id) {
      found = true;
      for (unsigned s = 0; s < program->nb_stream_indexes; ++s)
        ic->streams[program->stream_index[s]]->discard = AVDISCARD_DEFAULT;
    } else {
      program->discard = AVDISCARD_ALL;
    }
  }
  if (!found) LastErrorMessage = "Specified program id not found";
  return found;
}

std::vector<TInputStreamCodec> TCustomFFmpeg::SetUpInputStreams(AVFormatContext* ic,
                                                                const AVCodec* const forced[3]) {
  std::vector<TInputStreamCodec> codecs;
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    AVStream* st = ic->streams[i];
    TInputStreamCodec codec;
    codec.Context.reset(ff::avcodec_alloc_context3(nullptr));
    if (!codec.Context || ff::avcodec_parameters_to_context(codec.Context.get(), st->codecpar) < 0)
      throw FFmpegException("avcodec_alloc_context3 failed");
    AVCodecContext* dec = codec.Context.get();
    dec->thread_count = FOpt.ThreadCount;
    dec->pkt_timebase = st->time_base;
    switch (st->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        codec.Decoder = forced[0];
        SetUpVideoStream(st, dec, codec.Decoder);
        break;
      case AVMEDIA_TYPE_AUDIO:
        codec.Decoder = forced[1];
        ApplyOptions(FOptionContext, dec, FOptionContext.CodecOptions[AVMEDIA_TYPE_AUDIO].get(),
                     AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM, codec.Decoder);
        FOpt.AudioChannelLayout = dec->ch_layout.order == AV_CHANNEL_ORDER_NATIVE
                                      ? static_cast<int64_t>(dec->ch_layout.u.mask)
                                      : 0;
        FOpt.AudioChannels = dec->ch_layout.nb_channels;
        FOpt.AudioSampleRate = dec->sample_rate;
        FOpt.AudioSampleFmt = dec->sample_fmt;
        if (FOpt.AudioDisable) st->discard = AVDISCARD_ALL;
        if (dec->lowres) FOpt.AudioSampleRate >>= dec->lowres;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        codec.Decoder = forced[2];
        if (FOpt.SubtitleDisable) st->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_DATA:
      case AVMEDIA_TYPE_ATTACHMENT:
        break;
      default:
        throw FFmpegException("invalid codec_type");
    }
    codecs.push_back(std::move(codec));
  }
  return codecs;
}

void TCustomFFmpeg::SetUpVideoStream(AVStream* st, AVCodecContext* dec, const AVCodec* decoder) {
  ApplyOptions(FOptionContext, dec, FOptionContext.CodecOptions[AVMEDIA_TYPE_VIDEO].get(),
               AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM, decoder);
  FOpt.FrameHeight = dec->height;
  FOpt.FrameWidth = dec->width;
  const AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : dec->sample_aspect_ratio;
  double aspect = sar.den ? static_cast<double>(sar.num) / sar.den : 0;
  if (dec->width * dec->height != 0)
    aspect = aspect != 0 ? aspect * dec->width / dec->height : static_cast<double>(dec->width) / dec->height;
  else if (aspect == 0)
    aspect = 4.0 / 3.0;
  FOpt.FrameAspectRatio = static_cast<float>(aspect);
  if (dec->pix_fmt == AV_PIX_FMT_NONE) dec->pix_fmt = static_cast<AVPixelFormat>(0);
  FOpt.FramePixFmt = dec->pix_fmt;
  if (dec->lowres) {
    dec->height >>= dec->lowres;
    dec->width >>= dec->lowres;
    FOpt.FrameHeight = dec->height;
    FOpt.FrameWidth = dec->width;
  }
  // Motion vectors are exported as side data now, not drawn by a debug flag.
  if (FOpt.MeThreshold) dec->export_side_data |= AV_CODEC_EXPORT_DATA_MVS;
  const AVRational real = st->r_frame_rate;
  const AVRational codecRate = st->avg_frame_rate;
  if (codecRate.num && codecRate.den && av_cmp_q(codecRate, real) != 0 && FOpt.Verbose >= 0)
    Log(llInfo,
        Format("Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> %2.2f (%d/%d)",
               st->index, av_q2d(codecRate), codecRate.num, codecRate.den, av_q2d(real), real.num,
               real.den));
  FOpt.FrameRateNum = real.num;
  FOpt.FrameRateDen = real.den;
  if (FOpt.VideoDisable)
    st->discard = AVDISCARD_ALL;
  else if (FOpt.VideoDiscard)
    st->discard = static_cast<AVDiscard>(FOpt.VideoDiscard);
}

}  // namespace vidorant
