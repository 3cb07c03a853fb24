// Parsing of option values that needs no media library. The forms follow the command-line
// transcoder whose options a task takes: where it read numbers with the C library (strtol with
// base detection, atoi) the same functions are used, so odd inputs give the same results.
#include "engine/core/OptionValues.h"

#include "engine/core/FFmpegException.h"
#include "platform/Format.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace vidorant {
namespace {

// The whole text (after leading blanks) must be a number, else EConvertError with `what`.
template <typename T, typename Convert>
T ConvertWhole(const std::string& value, const char* what, Convert convert) {
  const char* begin = value.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  char* end = nullptr;
  errno = 0;
  const T result = convert(begin, &end);
  if (end == begin || *end != '\0' || errno == ERANGE)
    throw EConvertError(Format("'%s' is not a valid %s value", value.c_str(), what));
  return result;
}

long StrTolAt(const char*& p) {
  char* end = nullptr;
  const long v = std::strtol(p, &end, 0);
  p = end;
  return v;
}

// Skips one separator character, when there is one.
void SkipSeparator(const char*& p) {
  if (*p) ++p;
}

// The part of a metadata map after a file number: ",g", ",s:1", ",c:2", ",p:3" or nothing.
void ParseMetaType(const char*& p, TMetaDataSide& recipe) {
  if (*p != ',') {
    recipe.Type = 'g';
    return;
  }
  ++p;
  recipe.Type = *p;
  switch (*p) {
    case 'g':
      ++p;
      return;
    case 's':
    case 'c':
    case 'p':
      ++p;
      SkipSeparator(p);
      recipe.Index = static_cast<int32_t>(StrTolAt(p));
      return;
    default:
      throw FFmpegException(Format("Invalid metadata type %s.", std::string(1, *p).c_str()));
  }
}

bool IsDecimalInteger(const std::string& text) {
  size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

}  // namespace

bool OptionBool(const std::string& value) { return value != "0"; }

int32_t StrToInt(const std::string& value) {
  const long long v = ConvertWhole<long long>(value, "integer", [](const char* s, char** e) {
    return std::strtoll(s, e, 10);
  });
  if (v < INT32_MIN || v > INT32_MAX)
    throw EConvertError(Format("'%s' is not a valid integer value", value.c_str()));
  return static_cast<int32_t>(v);
}

int64_t StrToInt64(const std::string& value) {
  return ConvertWhole<long long>(value, "integer", [](const char* s, char** e) {
    return std::strtoll(s, e, 10);
  });
}

double StrToFloat(const std::string& value) {
  // strtod also takes "inf", "nan" and hexadecimal forms, which no option means.
  for (char c : value)
    if (!(c == ' ' || c == '\t' || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E' ||
          (c >= '0' && c <= '9')))
      throw EConvertError(Format("'%s' is not a valid floating point value", value.c_str()));
  return ConvertWhole<double>(value, "floating point", [](const char* s, char** e) {
    return std::strtod(s, e);
  });
}

TStreamMap ParseStreamMap(const std::string& value) {
  TStreamMap map;
  const char* p = value.c_str();
  map.FileIndex = static_cast<int32_t>(StrTolAt(p));
  SkipSeparator(p);
  map.StreamIndex = static_cast<int32_t>(StrTolAt(p));
  if (*p) {
    ++p;
    map.SyncFileIndex = static_cast<int32_t>(StrTolAt(p));
    SkipSeparator(p);
    map.SyncStreamIndex = static_cast<int32_t>(StrTolAt(p));
  } else {
    map.SyncFileIndex = map.FileIndex;
    map.SyncStreamIndex = map.StreamIndex;
  }
  return map;
}

TMetaDataMap ParseMetaDataMap(const std::string& value) {
  TMetaDataMap map;
  const char* p = value.c_str();
  map.Out.File = static_cast<int32_t>(StrTolAt(p));
  ParseMetaType(p, map.Out);
  SkipSeparator(p);
  map.In.File = static_cast<int32_t>(StrTolAt(p));
  ParseMetaType(p, map.In);
  return map;
}

TChapterMap ParseChapterMap(const std::string& value) {
  TChapterMap map;
  const char* p = value.c_str();
  map.OutFile = static_cast<int32_t>(StrTolAt(p));
  SkipSeparator(p);
  map.InFile = static_cast<int32_t>(StrTolAt(p));
  return map;
}

uint32_t ParseCodecTag(const std::string& value) {
  if (IsDecimalInteger(value)) return static_cast<uint32_t>(StrToInt64(value));
  if (value.size() != 4) AssertionFailed("tag parameter must be 4 chars or int value", "FFmpeg");
  const auto byte = [&](int i) { return static_cast<uint32_t>(static_cast<uint8_t>(value[i])); };
  return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

TStreamId ParseStreamId(const std::string& optionName, const std::string& value) {
  // An index beyond any stream count a muxer takes would only grow the map without bound.
  constexpr int32_t maxIndex = 65535;
  const size_t colon = value.find(':');
  const std::string index = colon == std::string::npos ? std::string() : value.substr(0, colon);
  const std::string id = colon == std::string::npos ? std::string() : value.substr(colon + 1);
  if (IsDecimalInteger(index) && IsDecimalInteger(id) && index.size() < 10 && id.size() < 11) {
    const int64_t i = StrToInt64(index), v = StrToInt64(id);
    if (i >= 0 && i <= maxIndex && v >= INT32_MIN && v <= INT32_MAX)
      return TStreamId{static_cast<int32_t>(i), static_cast<int32_t>(v)};
  }
  throw FFmpegException(
      Format("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
             value.c_str(), optionName.c_str()));
}

TQuantMatrix ParseMatrix(const std::string& value) {
  TQuantMatrix matrix{};
  const char* p = value.c_str();
  for (int i = 0;; ++i) {
    matrix[i] = static_cast<uint16_t>(std::atoi(p));
    if (i == 63) break;
    p = std::strchr(p, ',');
    if (!p) throw FFmpegException(Format("Syntax error in matrix \"%s\" at coeff %d", value.c_str(), i));
    ++p;
  }
  return matrix;
}

float ParseAspectRatio(const std::string& value) {
  double ratio = 0;
  const size_t colon = value.find(':');
  if (colon != std::string::npos) {
    const int32_t x = StrToInt(value.substr(0, colon));
    const int32_t y = StrToInt(value.substr(colon + 1));
    ratio = y > 0 ? static_cast<double>(x) / y : 0;
  } else {
    ratio = StrToFloat(value);
  }
  if (ratio == 0) throw FFmpegException("Incorrect aspect ratio specification.");
  return static_cast<float>(ratio);
}

TTargetName SplitTarget(const std::string& value) {
  static const struct {
    const char* Prefix;
    TTargetNorm Norm;
  } norms[] = {{"pal-", TTargetNorm::Pal}, {"ntsc-", TTargetNorm::Ntsc}, {"film-", TTargetNorm::Film}};
  const std::string target = Trim(value);
  for (const auto& n : norms) {
    const std::string prefix = n.Prefix;
    if (target.compare(0, prefix.size(), prefix) == 0) return TTargetName{n.Norm, target.substr(prefix.size())};
  }
  return TTargetName{TTargetNorm::Auto, target};
}

std::string BitstreamFilterName(const std::string& value) {
  const size_t eq = value.find('=');
  return eq != std::string::npos && eq >= 1 ? value.substr(0, eq) : value;
}

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace vidorant
