// The opening of an input (InputSet.h): the pending format, the demuxer parameters from the
// option state, the forced decoders, the opening itself under the task's I/O timeout, program
// selection, probing and the clip start.
#include "engine/core/InputSet.h"

#include "engine/core/CodecLookup.h"
#include "engine/core/FFmpegException.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/IOTimeout.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

// The format parameters of an opening: what raw and device demuxers cannot find in the data.
TDictionary FormatParameters(const TOptionState& opt) {
  TDictionary params;
  ff::av_dict_set_int(params.Address(), "sample_rate", opt.AudioSampleRate, 0);
  ff::av_dict_set_int(params.Address(), "channels", opt.AudioChannels, 0);
  if (opt.FrameRateNum > 0 && opt.FrameRateDen > 0)
    ff::av_dict_set(params.Address(), "framerate", Format("%d/%d", opt.FrameRateNum, opt.FrameRateDen).c_str(), 0);
  if (opt.FrameWidth > 0 && opt.FrameHeight > 0)
    ff::av_dict_set(params.Address(), "video_size", Format("%dx%d", opt.FrameWidth, opt.FrameHeight).c_str(), 0);
  if (opt.FramePixFmt != AV_PIX_FMT_NONE) {
    if (const char* name = ff::av_get_pix_fmt_name(opt.FramePixFmt))
      ff::av_dict_set(params.Address(), "pixel_format", name, 0);
  }
  if (opt.VideoChannel) ff::av_dict_set_int(params.Address(), "channel", opt.VideoChannel, 0);
  if (opt.VideoStandard) ff::av_dict_set(params.Address(), "standard", opt.VideoStandard->c_str(), 0);
  return params;
}

// What every way out of an opening consumes: the options that belong to one input.
class TConsumeInputOptions {
public:
  explicit TConsumeInputOptions(TOptionState& opt) : FOpt(opt) {}
  ~TConsumeInputOptions() {
    for (TStreamKind kind : CodedStreamKinds) FOpt.CodecNames[kind].reset();
    FOpt.VideoChannel = 0;
  }
  TConsumeInputOptions(const TConsumeInputOptions&) = delete;
  TConsumeInputOptions& operator=(const TConsumeInputOptions&) = delete;

private:
  TOptionState& FOpt;
};

// An input that starts over at its end: only demuxers with a "loop" option of their own (the
// image sequence) can; the others play once, and the user is told so.
void LoopFromTheStart(AVFormatContext* ic, const std::string& fileName, const TTaskOptions& options) {
  // Private data carries options only when the demuxer declares a class for it.
  const bool hasOptions = ic->iformat && ic->iformat->priv_class && ic->priv_data;
  if (!hasOptions || ff::av_opt_set_int(ic->priv_data, "loop", 1, 0) < 0)
    options.Log(llWarning, Format("%s: this input format cannot loop; it is read once", fileName.c_str()));
}

}  // namespace

TInputSet::TInputSet(TObject* sender, int capacity, TIOTimeout& timeout)
    : FSender(sender), FCapacity(capacity), FTimeout(timeout) {}

void TInputSet::Clear() {
  FStreamCodecs.clear();
  FFiles.clear();
}

bool TInputSet::Add(const std::string& fileName, TTaskOptions& options, std::string& error) {
  TOptionState& opt = options.State();
  TConsumeInputOptions consume(opt);
  const AVInputFormat* format = nullptr;
  if (!opt.FormatName.empty()) {
    // Consumed even when unknown: the refusal is for this input only.
    const std::string name = std::move(opt.FormatName);
    opt.FormatName.clear();
    format = ff::av_find_input_format(name.c_str());
    if (!format) throw FFmpegException(Format("Unknown input format: \"%s\"", name.c_str()));
  }
  if (Count() >= FCapacity) {
    error = Format("max input files %d reached", FCapacity);
    return false;
  }
  return Open(fileName, format, options, error);
}

bool TInputSet::Open(const std::string& fileName, const AVInputFormat* format, TTaskOptions& options,
                     std::string& error) {
  TOptionState& opt = options.State();
  TUnopenedInputPtr unopened = AllocInputContext();
  if (!unopened) throw FFmpegException("avformat_alloc_context failed");
  TDictionary params = FormatParameters(opt);
  ApplyOptions(options.Generic(), unopened.get(), options.Generic().FormatOptions.get(),
               AV_OPT_FLAG_DECODING_PARAM, nullptr);

  // Decoders forced by name, checked before anything is opened.
  TPerKind<const AVCodec*> forced{nullptr};
  for (TStreamKind kind : CodedStreamKinds) {
    const std::optional<std::string>& name = opt.CodecNames[kind];
    if (!name) continue;
    const int strictness = options.Generic().CodecOptions[MediaTypeOf(kind)]->strict_std_compliance;
    forced[kind] = FindCodecByName(*name, MediaTypeOf(kind), false, strictness, error);
    if (!forced[kind]) return false;
  }
  if (const AVCodec* video = forced[TStreamKind::Video]) {
    unopened->video_codec_id = video->id;
    unopened->video_codec = video;
  }
  if (const AVCodec* audio = forced[TStreamKind::Audio]) {
    unopened->audio_codec_id = audio->id;
    unopened->audio_codec = audio;
  }
  if (const AVCodec* subtitle = forced[TStreamKind::Subtitle]) {
    unopened->subtitle_codec_id = subtitle->id;
    unopened->subtitle_codec = subtitle;
  }

  TIOTimeoutScope guard(FTimeout);
  FTimeout.Stamp();
  TInputFile input;
  if (OpenInput(std::move(unopened), fileName, format, params.Address(), input, error) < 0) return false;
  AVFormatContext* ic = input.Context.get();

  const int32_t programId = opt.ProgramId;
  opt.ProgramId = 0;
  if (programId != 0 && !SelectProgram(ic, programId, error)) return false;
  if (opt.LoopInput) LoopFromTheStart(ic, fileName, options);
  if (OnBeforeFindStreamInfo) OnBeforeFindStreamInfo(FSender, ic);
  FTimeout.Stamp();
  if (ff::avformat_find_stream_info(ic, nullptr) < 0 && opt.Verbose >= 0) {
    error = Format("%s: could not find codec parameters", fileName.c_str());
    options.Log(llVerbose, error);
    return false;
  }

  // The clip start: the whole file is sought backward to it; a failed seek starts at the top.
  int64_t timestamp = opt.StartTime;
  if (ic->start_time != AV_NOPTS_VALUE) timestamp += ic->start_time;
  if (opt.StartTime != 0) {
    FTimeout.Stamp();
    if (ff::av_seek_frame(ic, -1, timestamp, AVSEEK_FLAG_BACKWARD) < 0 && opt.Verbose > 0)
      options.Log(llVerbose, Format("%s: could not seek to position %0.3f", fileName.c_str(),
                                    static_cast<double>(timestamp) / AV_TIME_BASE));
    opt.StartTime = 0;
  }
  FTimeout.Clear();

  std::vector<TInputStreamCodec> codecs = SetUpStreams(ic, options, forced);
  if (ic->duration != AV_NOPTS_VALUE && ic->duration > opt.ExpectedDuration) opt.ExpectedDuration = ic->duration;
  const size_t index = FFiles.size();
  input.TsOffset = opt.CopyTs ? opt.InputTsOffset : opt.InputTsOffset - timestamp;
  if (index < opt.TsScales.size()) input.TsScales = opt.TsScales[index];
  if (opt.Verbose >= 0) ff::av_dump_format(ic, static_cast<int>(index), input.LibName.c_str(), 0);
  FFiles.push_back(std::move(input));
  for (TInputStreamCodec& codec : codecs) FStreamCodecs.push_back(std::move(codec));
  return true;
}

bool TInputSet::SelectProgram(AVFormatContext* ic, int32_t programId, std::string& error) {
  for (unsigned i = 0; i < ic->nb_streams; ++i) ic->streams[i]->discard = AVDISCARD_ALL;
  bool found = false;
  for (unsigned p = 0; p < ic->nb_programs; ++p) {
    AVProgram* program = ic->programs[p];
    if (program->id == programId) {
      found = true;
      for (unsigned s = 0; s < program->nb_stream_indexes; ++s)
        ic->streams[program->stream_index[s]]->discard = AVDISCARD_DEFAULT;
    } else {
      program->discard = AVDISCARD_ALL;
    }
  }
  if (!found) error = "Specified program id not found";
  return found;
}

}  // namespace vidorant
