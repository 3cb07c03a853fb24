// The decoder component of FFDecode.h: opening through the engine's input opening (into the
// decoder's own pre-allocated context, so the non-blocking flag set before opening stays in
// effect), the counts from the streams' codec parameters, and the file's properties from the
// context and its metadata.
#include "engine/runtime/FFDecode.h"

#include <climits>
#include <cstdlib>

#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLoad.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFTypes.h"
#include "engine/runtime/FFUtils.h"
#include "engine/runtime/UnicodeProtocol.h"
#include "platform/Environment.h"
#include "platform/Exception.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

int64_t TimeOrUnknown(int64_t time) { return time == AV_NOPTS_VALUE ? -1 : time; }

// The leading decimal number of a metadata text ("2009-05-01" gives 2009, "3/12" gives 3); 0
// when absent, as the container fields these replace were.
int32_t MetadataNumber(const AVDictionary* metadata, const char* key) {
  const std::string text = MetadataValue(metadata, key, "");
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<int32_t>(value);
}

// The "creation_time" tag in seconds since 1970 (UTC); 0 when absent or not a date.
int64_t CreationTime(const AVDictionary* metadata) {
  const std::string text = MetadataValue(metadata, "creation_time", "");
  int64_t microseconds = 0;
  if (text.empty() || ff::av_parse_time(&microseconds, text.c_str(), 0) < 0) return 0;
  return microseconds / TimeBase;
}

}  // namespace

TCustomDecoder::TCustomDecoder() { TCustomDecoder::ReadInfo(); }

TCustomDecoder::~TCustomDecoder() { TCustomDecoder::CloseFile(); }

void TCustomDecoder::CheckLibraries() {
  static const struct {
    TLibrary Library;
    const char* Text;
  } required[] = {{libAVCodec, "LibAVCodec not loaded."},
                  {libAVFormat, "LibAVFormat not loaded."},
                  {libAVUtil, "LibAVUtil not loaded."},
                  {libSwScale, "LibSwScale not loaded."}};
  for (const auto& r : required)
    if (!FFLoader || !FFLoader->LibLoaded(r.Library)) throw Exception(r.Text);
}

bool TCustomDecoder::LoadFile(const std::string& fileName, const std::string& formatName) {
  CheckLibraries();
  CloseFile();

  const AVInputFormat* format = nullptr;
  if (!formatName.empty()) {
    format = ff::av_find_input_format(formatName.c_str());
    if (!format) {
      FLastErrMsg = Format("Unknown input format: %s", formatName.c_str());
      return false;
    }
  }

  // Opening and probing wait on the file; a pipe nobody writes to would keep them waiting for
  // ever, so each step gets the timeout.
  TIOTimeoutScope guard(FIOTimeout);
  FIOTimeout.Stamp();
  TOpenedInput input;
  std::string error;
  if (OpenInput(AllocInputContext(), fileName, format, nullptr, input, error) < 0) {
    LogError(AV_LOG_ERROR, error);
    return false;
  }
  FInput = std::move(input);
  FFormatContext = FInput.Context.get();

  FIOTimeout.Stamp();
  if (ff::avformat_find_stream_info(FFormatContext, nullptr) < 0) {
    FLastErrMsg = Format("%s: could not find codec parameters", fileName.c_str());
    CloseFile();
    return false;
  }
  ReadInfo();
  FFormatName = formatName;
  return true;
}

void TCustomDecoder::CloseContext() {
  FFormatContext = nullptr;
  FInput = TOpenedInput{};
}

void TCustomDecoder::CloseFile() {
  FFormatName.clear();
  CloseContext();
  ReadInfo();
}

void TCustomDecoder::ReadInfo() {
  FFileSize = -1;
  FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
  const AVFormatContext* ic = FFormatContext;
  if (!ic) return;

  // The byte stream knows the size when it can seek; a stream that cannot (a pipe, some network
  // protocols) reports an error code, which is no size.
  int64_t size = ic->pb ? ff::avio_size(ic->pb) : -1;
  if (size <= 0 && ic->url) {
    const std::string name = LibToFileName(ic->url);
    if (FileExists(name)) size = FileSizeOf(name);
  }
  FFileSize = size < 0 ? -1 : size;

  FStreamCount = static_cast<int>(ic->nb_streams);
  FProgramCount = static_cast<int>(ic->nb_programs);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    const int index = static_cast<int>(i);
    switch (ic->streams[i]->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO:
        ++FVideoStreamCount;
        if (FFirstVideoStreamIndex < 0) FFirstVideoStreamIndex = index;
        break;
      case AVMEDIA_TYPE_AUDIO:
        ++FAudioStreamCount;
        if (FFirstAudioStreamIndex < 0) FFirstAudioStreamIndex = index;
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        ++FSubtitleStreamCount;
        if (FFirstSubtitleStreamIndex < 0) FFirstSubtitleStreamIndex = index;
        break;
      default:
        break;
    }
  }
}

void TCustomDecoder::AttachContext(AVFormatContext* context) {
  if (context == FFormatContext) return;
  CheckLibraries();
  CloseFile();
  FFormatContext = context;
  ReadInfo();
}

void TCustomDecoder::LogError(int libraryLevel, const std::string& text) {
  FFLogger()->Log(this, LogLevelFromLibrary(libraryLevel), text);
  FLastErrMsg = text;
}

void TCustomDecoder::GetFileInfo(TFileStreamInfo& info) {
  info = TFileStreamInfo{};
  const AVFormatContext* ic = FFormatContext;
  if (!ic) {
    LogError(AV_LOG_WARNING, "file not loaded.");
    return;
  }
  info.StartTime = TimeOrUnknown(ic->start_time);
  info.Duration = TimeOrUnknown(ic->duration);
  // A 32-bit field: a rate beyond it reads as the largest one rather than wrapping negative.
  info.BitRate = static_cast<int32_t>(ic->bit_rate > INT32_MAX ? INT32_MAX : ic->bit_rate);
  const AVDictionary* metadata = ic->metadata;
  info.Timestamp = CreationTime(metadata);
  info.Year = MetadataNumber(metadata, "date");
  if (info.Year == 0) info.Year = MetadataNumber(metadata, "year");
  info.Track = MetadataNumber(metadata, "track");
  info.Title = MetadataValue(metadata, "title", "");
  info.Author = MetadataValue(metadata, "author", "");
  info.Copyright = MetadataValue(metadata, "copyright", "");
  info.Comment = MetadataValue(metadata, "comment", "");
  info.Album = MetadataValue(metadata, "album", "");
  info.Genre = MetadataValue(metadata, "genre", "");
}

TFFDecoder::TFFDecoder() : FConverter(std::make_unique<TFormatConverter>()) { TFFDecoder::ReadInfo(); }

void TFFDecoder::ResetState() { FState = TDecodeState{FStreamStartTime, FStreamStartTime, 0, 0}; }

void TFFDecoder::CloseFile() {
  FDecodedStreamIndex = -1;
  FStreamStartTime = 0;
  ResetState();
  TCustomDecoder::CloseFile();
}

void TFFDecoder::ReadInfo() {
  TCustomDecoder::ReadInfo();
  FDecodedStreamIndex = FirstVideoStreamIndex() >= 0 ? FirstVideoStreamIndex() : FirstAudioStreamIndex();
  FStreamStartTime = 0;
  if (const AVFormatContext* ic = FormatContext(); ic && FDecodedStreamIndex >= 0) {
    const AVStream* stream = ic->streams[FDecodedStreamIndex];
    if (stream->start_time != AV_NOPTS_VALUE)
      FStreamStartTime = ff::av_rescale_q(stream->start_time, stream->time_base, AVRational{1, AV_TIME_BASE});
    else if (ic->start_time != AV_NOPTS_VALUE)
      FStreamStartTime = ic->start_time;
  }
  ResetState();
}

}  // namespace vidorant
