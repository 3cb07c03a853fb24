// Reading the further options of a record (ExtOptions.h).
#include "engine/encoder/ExtOptions.h"

#include "engine/core/OptionValues.h"
#include "engine/encoder/EncoderRecords.h"

#include <algorithm>
#include <cctype>

namespace vidorant {
namespace {

bool OneOf(const std::string& name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// "vfilters" is the long name of "vf".
std::string StreamOptionName(const std::string& name) { return name == "vfilters" ? "vf" : name; }

}  // namespace

std::vector<TOptionLine> ParseExtOptions(const std::string& text) {
  std::string normalised = Trim(text);
  for (size_t at; (at = normalised.find("<CRLF>")) != std::string::npos;) normalised.replace(at, 6, "\n");
  std::vector<TOptionLine> lines;
  size_t begin = 0;
  while (begin <= normalised.size()) {
    size_t end = normalised.find_first_of("\r\n", begin);
    if (end == std::string::npos) end = normalised.size();
    const std::string line = normalised.substr(begin, end - begin);
    // CR LF is one line end.
    begin = end + (normalised.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (Trim(line).empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
      lines.push_back({LowerCase(Trim(line)), ""});
    else
      lines.push_back({LowerCase(Trim(line.substr(0, eq))), line.substr(eq + 1)});
  }
  return lines;
}

bool ExtOptionApplies(const std::string& name, TExtOptionsUse use) {
  if (OneOf(name, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf"})) return false;
  return use == TExtOptionsUse::Input || !OneOf(name, {"acodec", "vcodec", "scodec", "s"});
}

const std::vector<std::string>& StreamLineOptions(const std::string& name) {
  static const std::vector<std::string> audio{"acodec", "apre"};
  static const std::vector<std::string> video{"vcodec", "vpre", "s", "vf"};
  static const std::vector<std::string> subtitle{"scodec", "spre"};
  static const std::vector<std::string> none;
  return name == "newaudio" ? audio : name == "newvideo" ? video : name == "newsubtitle" ? subtitle : none;
}

TStreamDefaults::TStreamDefaults(const TOutputOptions& options, const std::vector<TOptionLine>& lines)
    : FDefaults{{"acodec", options.AudioCodec},   {"vcodec", options.VideoCodec},   {"scodec", options.SubtitleCodec},
                {"apre", options.AudioPreset},    {"vpre", options.VideoPreset},    {"spre", options.SubtitlePreset},
                {"s", options.FrameSize},         {"vf", options.VideoFilters}} {
  for (const TOptionLine& line : lines) {
    const std::string name = StreamOptionName(line.Name);
    auto known = std::find_if(FDefaults.begin(), FDefaults.end(), [&](const TOptionLine& d) { return d.Name == name; });
    if (known == FDefaults.end() || line.Value.empty()) continue;
    if (known->Value.empty()) known->Value = line.Value;
    FLines.push_back({name, line.Value});
  }
}

const std::string& TStreamDefaults::Default(const std::string& name) const {
  static const std::string none;
  for (const TOptionLine& d : FDefaults)
    if (d.Name == name) return d.Value;
  return none;
}

std::string TStreamDefaults::Take(const std::string& name) {
  auto line = std::find_if(FLines.begin(), FLines.end(), [&](const TOptionLine& l) { return l.Name == name; });
  if (line == FLines.end()) return Default(name);
  std::string value = line->Value;
  FLines.erase(line);
  return value;
}

}  // namespace vidorant
