// The options whose values are more than one field: codecs, bit rates, times, bitstream filters,
// presets, frame hooks and the generic options handed to the OptionContext.
#include "engine/core/TaskOptions.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/OptionValues.h"
#include "engine/core/Presets.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFUtils.h"
#include "platform/Format.h"
#include "platform/ProgramFolder.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <strings.h>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
}

namespace vidorant {
namespace {

TStreamKind KindOfLetter(char letter) {
  return letter == 'v' ? TStreamKind::Video : letter == 'a' ? TStreamKind::Audio : TStreamKind::Subtitle;
}

// A hook module gets its name and at most this many arguments.
constexpr size_t MaxHookArguments = 254;

// Splits a frame-hook value into its arguments: at "|" when it has one, else at blanks; empty
// pieces are dropped and at most MaxHookArguments are kept.
std::vector<std::string> SplitHookArguments(const std::string& value) {
  const char separator = value.find('|') != std::string::npos ? '|' : ' ';
  std::vector<std::string> args;
  std::istringstream in(value);
  for (std::string piece; args.size() < MaxHookArguments && std::getline(in, piece, separator);)
    if (!piece.empty()) args.push_back(piece);
  return args;
}

std::optional<std::string> ReadTextFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string TTaskOptions::DefaultVStatsFileName() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char clock[16];
  std::strftime(clock, sizeof clock, "%H%M%S", &local);
  return Format("%svstats_%s.log", ProgramFolder().c_str(), clock);
}

void TTaskOptions::SetCodecName(TStreamKind kind, const std::string& value) {
  if (value.empty()) return;
  std::optional<std::string>& name = FState.CodecNames[kind];
  name.reset();
  if (value == "copy")
    FState.StreamCopy[kind] = true;
  else
    name = value;
}

bool TTaskOptions::SetOptionText(const std::string& name, const std::string& value) {
  return SetOption(FGeneric, name.c_str(), value.c_str());
}

void TTaskOptions::SetGenericOrRaise(const std::string& name, const std::string& value) {
  if (!SetOptionText(name, value) && FRaiseErrors)
    throw FFmpegException(LastUtilsError());
}

void TTaskOptions::SetBitRate(const std::string& name, const std::string& value) {
  if (!SetOptionText(name, value)) {
    if (FRaiseErrors) throw FFmpegException(LastUtilsError());
    return;
  }
  const TStreamKind kind = name[0] == 'a' ? TStreamKind::Audio : TStreamKind::Video;
  int64_t bitRate = 0;
  if (ff::av_opt_get_int(FGeneric.CodecOptions[MediaTypeOf(kind)].get(), "b", 0, &bitRate) >= 0 && bitRate < 1000)
    Log(llWarning,
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
}

bool TTaskOptions::SetGenericOption(const std::string& name, int64_t value) {
  return SetOptionText(name, std::to_string(value));
}

int64_t TTaskOptions::ParseTime(const std::string& name, const std::string& value, bool isDate) {
  int64_t us = 0;
  if (ff::av_parse_time(&us, value.c_str(), isDate ? 0 : 1) < 0)
    throw FFmpegException(Format("Invalid %s specification for %s: %s", isDate ? "date" : "duration",
                                 name.c_str(), value.c_str()));
  return us;
}

void TTaskOptions::SetTimestampScale(const std::string& value) {
  constexpr long maxStreams = 20;  // streams of one input a scale can name
  const char* p = value.c_str();
  char* end = nullptr;
  const long stream = std::strtol(p, &end, 0);
  if (stream >= maxStreams || stream < 0)
    throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", static_cast<int>(maxStreams)));
  const double scale = std::strtod(*end ? end + 1 : end, nullptr);
  // The scale belongs to the input opened next.
  const size_t input = static_cast<size_t>(FFiles.InputCount());
  if (FState.TsScales.size() <= input) FState.TsScales.resize(input + 1);
  std::vector<double>& scales = FState.TsScales[input];
  if (scales.size() <= static_cast<size_t>(stream)) scales.resize(stream + 1, 0.0);
  scales[stream] = scale;
}

void TTaskOptions::AddBitstreamFilter(const std::string& name, const std::string& value) {
  if (value.empty() || value[0] == '=') return;
  const std::string filter = BitstreamFilterName(value);
  if (!ff::av_bsf_get_by_name(filter.c_str()))
    throw FFmpegException(Format("Unknown bitstream filter %s", Trim(value).c_str()));
  FState.BitstreamFilters[KindOfLetter(name[0])].push_back(TBitstreamFilterEntry{filter, value});
}

void TTaskOptions::ApplyPreset(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  std::optional<std::string> text;
  if (name != "fpre") {
    const TStreamKind kind = KindOfLetter(name[0]);
    const char* builtIn = FindBuiltInPreset(value);
    const std::optional<std::string>& codec = FState.CodecNames[kind];
    // Preset names put the codec first ("libx264-slow"), so "slow" with codec libx264 finds it.
    if (!builtIn && codec) builtIn = FindBuiltInPreset(*codec + "-" + value);
    if (builtIn) text = builtIn;
  }
  if (!text) {
    text = ReadTextFile(value);
    if (!text) throw FFmpegException(Format("Preset \"%s\" not found", value.c_str()));
  }
  for (const TPresetLine& line : ParsePresetText(value, *text)) {
    if (strcasecmp(line.Key.c_str(), "acodec") == 0 || strcasecmp(line.Key.c_str(), "vcodec") == 0 ||
        strcasecmp(line.Key.c_str(), "scodec") == 0) {
      SetCodecName(KindOfLetter(static_cast<char>(tolower(line.Key[0]))), line.Value);
    } else if (!SetOptionText(line.Key, line.Value) && FRaiseErrors) {
      throw FFmpegException(
          Format("%s\r\n%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                 LastUtilsError().c_str(), value.c_str(), line.Line.c_str(), line.Key.c_str(),
                 line.Value.c_str()));
    }
  }
}

void TTaskOptions::AddFrameHookOption(const std::string& value) {
  std::vector<std::string> args = SplitHookArguments(value);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (AddFrameHook(FFrameHooks, static_cast<int>(args.size()), argv.data()) != 0)
    throw FFmpegException("Failed to add video hook function: " + value);
  FFrameHooksActive = true;
}

}  // namespace vidorant
