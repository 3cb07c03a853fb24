// Parsers of the option values of a task that need no media library: numbers, switches and the
// compound forms (stream, metadata and chapter maps, codec tags, stream ids, matrices, aspect
// ratios, targets, bitstream filter names). Each parser either returns the whole parsed value or
// raises; none changes any state, so a refused option leaves the task as it was.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vidorant {

// "0" is false, every other text (the empty one included) is true.
bool OptionBool(const std::string& value);

// Decimal numbers as the runtime converts them; anything else raises EConvertError
// ("'x' is not a valid integer value", "'x' is not a valid floating point value").
int32_t StrToInt(const std::string& value);
int64_t StrToInt64(const std::string& value);
double StrToFloat(const std::string& value);

// File and stream of a stream map with its sync pair (equal to the pair itself when not given).
struct TStreamMap {
  int32_t FileIndex = 0;
  int32_t StreamIndex = 0;
  int32_t SyncFileIndex = 0;
  int32_t SyncStreamIndex = 0;
};
// "file:stream[:syncfile:syncstream]"; integers in any base the C library detects, each followed
// by one separator character of any kind.
TStreamMap ParseStreamMap(const std::string& value);

// One side of a metadata map: a file and what of it ('g' global, 's' stream, 'c' chapter,
// 'p' program; Index for the last three).
struct TMetaDataSide {
  int32_t File = 0;
  char Type = 'g';
  int32_t Index = 0;
};
struct TMetaDataMap {
  TMetaDataSide Out;
  TMetaDataSide In;
};
// "out[,type[:index]]:in[,type[:index]]"; an unknown type raises FFmpegException.
TMetaDataMap ParseMetaDataMap(const std::string& value);

struct TChapterMap {
  int32_t OutFile = 0;
  int32_t InFile = 0;
};
// "out:in".
TChapterMap ParseChapterMap(const std::string& value);

// A codec tag: a decimal integer, or exactly four characters read as a little-endian 32-bit
// code (first character in the low byte). Any other form is a programming error of the caller.
uint32_t ParseCodecTag(const std::string& value);

// "index:value" of the stream id option; a missing or non-numeric part raises FFmpegException.
struct TStreamId {
  int32_t Index = 0;
  int32_t Value = 0;
};
TStreamId ParseStreamId(const std::string& optionName, const std::string& value);

// 64 comma-separated coefficients; fewer raise FFmpegException naming the coefficient reached.
using TQuantMatrix = std::array<uint16_t, 64>;
TQuantMatrix ParseMatrix(const std::string& value);

// "w:h" or a decimal number; a result of 0 raises FFmpegException.
float ParseAspectRatio(const std::string& value);

// The television norm of a delivery target; Auto: derived from the frame rate or the inputs.
enum class TTargetNorm { Auto, Pal, Ntsc, Film };

// A delivery target split into its norm (from a "pal-", "ntsc-" or "film-" prefix) and its type.
struct TTargetName {
  TTargetNorm Norm = TTargetNorm::Auto;
  std::string Type;
};
TTargetName SplitTarget(const std::string& value);

// The filter name of a bitstream filter option: the text before its first "=" when that "=" is
// at position 2 or later (1-based), else the whole value.
std::string BitstreamFilterName(const std::string& value);

// Blanks and control characters trimmed from both ends.
std::string Trim(const std::string& text);

}  // namespace vidorant
