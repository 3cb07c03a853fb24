// Adding an output file (OutputSet.h): its format, the streams the inputs can feed, its file and
// the muxer settings of the options; and the set's bookkeeping: the list, the size of the first
// file, and the closing of every file with the deletion of the ones left empty.
#include "engine/core/OutputSet.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/InputSet.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/IOTimeout.h"
#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/UnicodeProtocol.h"
#include "platform/Environment.h"
#include "platform/Format.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <utility>

namespace vidorant {
namespace {

// The libraries' "number expected" error: a format that writes numbered files got a name
// without a number in it.
constexpr int NumberExpected = AVERROR(EDOM);
static_assert(NumberExpected == -33, "the error code of a name without a frame number");

// The format an output is written with: one of the engine's own, or a library muxer.
struct TChosenFormat {
  const TOutputFormat* Engine = nullptr;
  const AVOutputFormat* Library = nullptr;
};

// The engine format whose extension list holds the file name's extension (case ignored).
const TOutputFormat* EngineFormatForExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  const size_t slash = fileName.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
  const std::string extension = fileName.substr(dot + 1);
  if (extension.empty()) return nullptr;
  for (const TOutputFormat* format = NextOutputFormat(nullptr); format; format = NextOutputFormat(format)) {
    if (!format->Extensions) continue;
    const std::string list = format->Extensions;
    for (size_t start = 0; start <= list.size();) {
      const size_t comma = std::min(list.find(',', start), list.size());
      if (strcasecmp(list.substr(start, comma - start).c_str(), extension.c_str()) == 0) return format;
      start = comma + 1;
    }
  }
  return nullptr;
}

// The format of a new output: by the pending name (the engine's formats first, then the
// library's muxers), else guessed from the file name (the library's guess first, as the
// libraries' own formats were registered before the engine's).
bool ChooseFormat(const std::string& name, const std::string& fileName, const std::string& libName,
                  TChosenFormat& chosen, std::string& error) {
  if (!name.empty()) {
    // The feed server this format talked to is gone from the libraries, and with it the format.
    if (name == "ffm")
      throw FFmpegException("Output format 'ffm' (feed server) is not available in this version");
    chosen.Engine = FindOutputFormat(name);
    if (!chosen.Engine) chosen.Library = ff::av_guess_format(name.c_str(), nullptr, nullptr);
    if (!chosen.Engine && !chosen.Library) {
      error = Format("Requested output format '%s' is not a suitable output format", name.c_str());
      return false;
    }
  } else {
    chosen.Library = ff::av_guess_format(nullptr, libName.c_str(), nullptr);
    if (!chosen.Library) chosen.Engine = EngineFormatForExtension(fileName);
    if (!chosen.Engine && !chosen.Library) {
      error = Format("Unable to find a suitable output format for '%s'", fileName.c_str());
      return false;
    }
  }
  return true;
}

// The context of a new output. A library muxer's context comes with the muxer's private data
// (so that its options can be set now); an engine format's gets the format's record instead and
// no muxer at all. The name, in the libraries' form, is where the adapter's header finds it.
TOutputFormatContextPtr AllocContext(const TChosenFormat& chosen, const std::string& libName) {
  TOutputFormatContextPtr context;
  if (chosen.Library) {
    AVFormatContext* made = nullptr;
    if (ff::avformat_alloc_output_context2(&made, chosen.Library, nullptr, libName.c_str()) >= 0)
      context.reset(made);
  } else {
    context.reset(ff::avformat_alloc_context());
    if (context && (!AttachOutputFormatData(context.get(), *chosen.Engine) ||
                    !(context->url = ff::av_strdup(libName.c_str()))))
      context.reset();
  }
  if (!context) throw FFmpegException("avformat_alloc_context failed");
  context->interrupt_callback = AVIOInterruptCB{EngineInterruptCallback, nullptr};
  return context;
}

// Which kinds of stream the output gets: those the format (wanted, on entry) or the options ask
// for, and, when there are inputs, only those some input can feed; the disabling options have
// the last word.
// inspected: the inputs looked at (a joined output is made for its first input).
bool WantedStreams(const TOptionState& opt, const TInputSet& inputs, int inspected, TPerKind<bool>& wanted,
                   std::string& error) {
  for (TStreamKind kind : CodedStreamKinds)
    wanted[kind] = wanted[kind] || opt.StreamCopy[kind] || opt.CodecNames[kind].has_value();
  if (inspected > 0) {
    TPerKind<bool> fed{false};
    for (int i = 0; i < inspected; ++i) {
      const AVFormatContext* ic = inputs.File(i).Context.get();
      for (unsigned s = 0; s < ic->nb_streams; ++s) {
        const AVMediaType type = ic->streams[s]->codecpar->codec_type;
        if (type < AVMEDIA_TYPE_UNKNOWN || type >= AVMEDIA_TYPE_NB) {
          error = "check_audio_video_sub_inputs fail: invalid codec_type of input file";
          return false;
        }
        if (const std::optional<TStreamKind> kind = StreamKindOf(type)) fed[*kind] = true;
      }
    }
    for (TStreamKind kind : CodedStreamKinds) wanted[kind] = wanted[kind] && fed[kind];
  }
  for (TStreamKind kind : CodedStreamKinds) wanted[kind] = wanted[kind] && !opt.Disabled[kind];
  return true;
}

// The recording timestamp, as the creation time the muxers write (seconds since 1970, UTC).
void SetCreationTime(AVFormatContext* oc, int64_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc{};
  if (!gmtime_r(&time, &utc)) return;
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc) == 0) return;
  ff::av_dict_set(&oc->metadata, "creation_time", text, 0);
}

// A setting that only some muxers have ("preload" of the MPEG program stream, "loop" of GIF):
// set where the muxer declares it, silently skipped elsewhere.
void SetMuxerOption(AVFormatContext* oc, const char* name, int64_t value) {
  if (!oc->oformat || !oc->oformat->priv_class || !oc->priv_data) return;
  if (ff::av_opt_find(oc->priv_data, name, nullptr, 0, 0)) ff::av_opt_set_int(oc->priv_data, name, value, 0);
}

const char* StreamFailurePrefix(TStreamKind kind) {
  switch (kind) {
    case TStreamKind::Video:
      return "new_video_stream";
    case TStreamKind::Audio:
      return "new_audio_stream";
    default:
      return "new_subtitle_stream";
  }
}

// Closes what the file holds; a file left empty is deleted, since it would only mislead.
void CloseOutputFile(TOutputFile& file) {
  if (file.IO) file.IO->Close();
  if (file.Context) file.Context->pb = nullptr;
  file.IO.reset();
  file.Streams.clear();
  file.Context.reset();
  if (file.WritesFile && FileSizeOf(file.FileName) == 0) RemoveFile(file.FileName);
}

}  // namespace

TOutputSet::TOutputSet(TObject* sender, int capacity, TIOTimeout& timeout)
    : FSender(sender), FCapacity(capacity), FTimeout(timeout) {}

TOutputSet::~TOutputSet() { Clear(); }

int TOutputSet::FormatFlags(const TOutputFile& file) {
  if (file.EngineFormat) return file.EngineFormat->Flags;
  return file.Context && file.Context->oformat ? file.Context->oformat->flags : 0;
}

AVCodecID TOutputSet::DefaultCodec(const TOutputFile& file, TStreamKind kind) {
  if (file.EngineFormat) {
    switch (kind) {
      case TStreamKind::Video:
        return file.EngineFormat->VideoCodec;
      case TStreamKind::Audio:
        return file.EngineFormat->AudioCodec;
      case TStreamKind::Subtitle:
        return file.EngineFormat->SubtitleCodec;
      default:
        return AV_CODEC_ID_NONE;
    }
  }
  const AVOutputFormat* format = file.Context ? file.Context->oformat : nullptr;
  if (!format) return AV_CODEC_ID_NONE;
  switch (kind) {
    case TStreamKind::Video:
      return format->video_codec;
    case TStreamKind::Audio:
      return format->audio_codec;
    case TStreamKind::Subtitle:
      return format->subtitle_codec;
    default:
      return AV_CODEC_ID_NONE;
  }
}

int TOutputSet::Add(const std::string& fileName, bool join, TTaskOptions& options, const TInputSet& inputs,
                    std::string& error) {
  TOptionState& opt = options.State();
  if (FJoining) {
    error = "Cannot join more than one output file.";
    return -1;
  }
  const bool joining = join && inputs.Count() >= 2;
  // The inputs play into this output only: an output before it would get no trailer.
  if (joining && Count() > 0) {
    error = "Cannot join inputs into an output file that follows another one.";
    return -1;
  }
  // Consumed even when the output fails: it was given for this output only.
  const std::string formatName = std::exchange(opt.FormatName, std::string());
  if (Count() >= FCapacity) {
    error = Format("max output files %d reached", FCapacity);
    return -1;
  }
  std::string libName;
  try {
    libName = FileNameToLib(fileName);
  } catch (const EFileNameTooLong& e) {
    error = e.Message;
    return -1;
  }
  TChosenFormat chosen;
  if (!ChooseFormat(formatName, fileName, libName, chosen, error)) return -1;

  auto file = std::make_unique<TOutputFile>();
  file->FileName = fileName;
  file->EngineFormat = chosen.Engine;
  file->Context = AllocContext(chosen, libName);
  AVFormatContext* oc = file->Context.get();
  const int fileIndex = Count();

  TPerKind<bool> wanted{false};
  for (TStreamKind kind : CodedStreamKinds) wanted[kind] = DefaultCodec(*file, kind) != AV_CODEC_ID_NONE;
  if (!WantedStreams(opt, inputs, joining ? 1 : inputs.Count(), wanted, error)) return -1;
  for (TStreamKind kind : CodedStreamKinds) {
    if (!wanted[kind]) continue;
    try {
      MakeStream(*file, fileIndex, kind, options);
    } catch (const FFmpegException& e) {
      error = Format("%s fail: %s", StreamFailurePrefix(kind), e.Message.c_str());
      return -1;
    }
  }

  if (opt.RecordingTimestamp != 0) SetCreationTime(oc, opt.RecordingTimestamp);
  for (const auto& [key, value] : opt.PendingMetadata) ff::av_dict_set(&oc->metadata, key.c_str(), value.c_str(), 0);
  opt.PendingMetadata.clear();

  const int flags = FormatFlags(*file);
  if ((flags & AVFMT_NEEDNUMBER) && !ff::av_filename_number_test(libName.c_str())) {
    error = FormatAVError(fileName, NumberExpected);
    return -1;
  }
  if (!(flags & AVFMT_NOFILE)) {
    // Opened last: no later step can fail and leave a file behind.
    TIOTimeoutScope guard(FTimeout);
    FTimeout.Stamp();
    if (const int rc = OpenEngineIO(libName, AVIO_FLAG_WRITE, nullptr, file->IO); rc < 0) {
      error = FormatAVError(fileName, rc);
      return -1;
    }
    oc->pb = file->IO->Context();
    oc->flags |= AVFMT_FLAG_CUSTOM_IO;
    file->WritesFile = true;
  }

  oc->max_delay = static_cast<int>(opt.MuxMaxDelay * AV_TIME_BASE);
  SetMuxerOption(oc, "preload", static_cast<int64_t>(opt.MuxPreload * AV_TIME_BASE));
  SetMuxerOption(oc, "loop", opt.LoopOutput);
  oc->flags |= AVFMT_FLAG_NONBLOCK;
  ApplyOptions(options.Generic(), oc, options.Generic().FormatOptions.get(), AV_OPT_FLAG_ENCODING_PARAM, nullptr);
  opt.StreamIdMap.clear();
  opt.ForcedKeyFrames.clear();
  FFiles.push_back(std::move(file));
  FJoining = joining;
  return Count();
}

void TOutputSet::NewStream(TStreamKind kind, int fileIndex, TTaskOptions& options) {
  if (fileIndex < 0 || fileIndex >= Count())
    throw FFmpegException(Format("Invalid output file index %d", fileIndex));
  if (kind == TStreamKind::Data) throw FFmpegException("Data streams cannot be added to an output");
  MakeStream(*FFiles[fileIndex], fileIndex, kind, options);
}

std::vector<TOutputStream*> TOutputSet::Streams() const {
  std::vector<TOutputStream*> streams;
  for (const auto& file : FFiles)
    for (const auto& stream : file->Streams) streams.push_back(stream.get());
  return streams;
}

int64_t TOutputSet::FirstOutputSize() const {
  if (FFiles.empty()) return 0;
  const TOutputFile& file = *FFiles.front();
  if (!file.IO || !file.IO->Context()) return file.WritesFile ? std::max<int64_t>(0, FileSizeOf(file.FileName)) : 0;
  AVIOContext* pb = file.IO->Context();
  const int64_t size = ff::avio_size(pb);
  return size >= 0 ? size : std::max<int64_t>(0, ff::avio_seek(pb, 0, SEEK_CUR));
}

void TOutputSet::MakeJoinedSets(int inputCount) {
  if (!FJoining || FFiles.empty() || FJoined.Made(*FFiles.front(), inputCount)) return;
  FJoined.MakeSets(*FFiles.front(), inputCount);
}

std::vector<TOutputStream*> TOutputSet::JoinedSet(int input) const {
  return FFiles.empty() ? std::vector<TOutputStream*>{} : FJoined.Set(*FFiles.front(), input);
}

void TOutputSet::Clear() {
  // The later sets' records point at the files' streams.
  FJoined.Clear();
  for (auto& file : FFiles) CloseOutputFile(*file);
  FFiles.clear();
  FJoining = false;
}

}  // namespace vidorant
