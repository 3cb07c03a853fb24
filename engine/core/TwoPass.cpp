// Two-pass statistics files (TwoPass.h).
#include "engine/core/TwoPass.h"

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFPtr.h"
#include "platform/Format.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <cstring>
#include <limits>

namespace vidorant {
namespace {

// The longest name the log file may have, as the libraries' path buffers hold it.
constexpr size_t MaxLogNameLength = 1023;

std::string WriteFailure(const std::string& name) {
  return Format("Cannot write log file %s for pass-1 encoding", name.c_str());
}

std::string ReadFailure(const char* reason, const std::string& name) {
  return Format("%s: Error reading log file \"%s\" for pass-2 encoding", reason, name.c_str());
}

// True when the encoder writes and reads its statistics file itself, named by its "stats"
// option.
bool KeepsOwnStatsFile(const AVCodec* codec) {
  if (!codec || !codec->priv_class) return false;
  const AVClass* privClass = codec->priv_class;
  return ff::av_opt_find(&privClass, "stats", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

std::unique_ptr<TFileStream> OpenLogForReading(const std::string& name) {
  try {
    return std::make_unique<TFileStream>(name, fmOpenRead);
  } catch (const Exception&) {
    throw FFmpegException(ReadFailure("Cannot read file", name));
  }
}

// The whole log, NUL-terminated, in memory the encoder's context can own.
char* ReadWholeLog(const std::string& name) {
  const std::unique_ptr<TFileStream> file = OpenLogForReading(name);
  try {
    const int64_t size = file->GetSize();
    if (size < 0 || static_cast<uint64_t>(size) >= std::numeric_limits<size_t>::max() / 2)
      throw FFmpegException(ReadFailure("Could not allocate file buffer", name));
    TAVMemoryPtr<char> buffer(static_cast<char*>(ff::av_malloc(static_cast<size_t>(size) + 1)));
    if (!buffer) throw FFmpegException(ReadFailure("Could not allocate file buffer", name));
    file->ReadBuffer(buffer.get(), size);
    buffer.get()[size] = '\0';
    return buffer.release();
  } catch (const FFmpegException&) {
    throw;
  } catch (const Exception&) {
    throw FFmpegException(ReadFailure("Cannot read file", name));
  }
}

}  // namespace

std::string TwoPassLogName(const std::string& prefix, int streamPosition) {
  std::string name = Format("%s-%d.log", prefix.empty() ? "ffmpeg2pass" : prefix.c_str(), streamPosition);
  if (name.size() > MaxLogNameLength) name.resize(MaxLogNameLength);
  return name;
}

TTwoPassLog::TTwoPassLog(const std::string& fileName) : FFileName(fileName) {
  try {
    FFile = std::make_unique<TFileStream>(fileName, fmCreate);
  } catch (const Exception&) {
    throw FFmpegException(WriteFailure(fileName));
  }
}

void TTwoPassLog::Append(const char* text) {
  if (!text) return;
  try {
    FFile->WriteBuffer(text, static_cast<int64_t>(std::strlen(text)));
  } catch (const Exception&) {
    throw FFmpegException(WriteFailure(FFileName));
  }
  FLastAppended = text;
}

void TTwoPassLog::AppendDrained(const char* text) {
  if (text && FLastAppended != text) Append(text);
}

std::unique_ptr<TTwoPassLog> PrepareTwoPass(AVCodecContext* encoder, const AVCodec* codec, const std::string& logName,
                                            AVDictionary** privateOptions) {
  const bool firstPass = encoder->flags & AV_CODEC_FLAG_PASS1;
  if (!firstPass && !(encoder->flags & AV_CODEC_FLAG_PASS2)) return nullptr;
  if (KeepsOwnStatsFile(codec)) {
    ff::av_dict_set(privateOptions, "stats", logName.c_str(), AV_DICT_DONT_OVERWRITE);
    const AVDictionaryEntry* given = ff::av_dict_get(*privateOptions, "stats", nullptr, 0);
    const std::string name = given && given->value ? given->value : logName;
    // Proved here, so that a missing or unwritable file is named, not left to a bare refusal
    // of the encoder's opening.
    if (firstPass)
      TTwoPassLog{name};
    else
      OpenLogForReading(name);
    return nullptr;
  }
  if (firstPass) return std::make_unique<TTwoPassLog>(logName);
  ff::av_freep(&encoder->stats_in);
  encoder->stats_in = ReadWholeLog(logName);
  return nullptr;
}

}  // namespace vidorant
