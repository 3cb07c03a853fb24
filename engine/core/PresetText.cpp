// Reading the lines of a preset text.
#include "engine/core/FFmpegException.h"
#include "engine/core/OptionValues.h"
#include "engine/core/Presets.h"
#include "platform/Format.h"

#include <sstream>

namespace vidorant {

TPresetLines ParsePresetText(const std::string& presetName, const std::string& text) {
  std::string normalised;
  const std::string trimmed = Trim(text);
  normalised.reserve(trimmed.size());
  for (size_t i = 0; i < trimmed.size(); ++i) {
    if (trimmed[i] == '\r') {
      normalised += '\n';
      if (i + 1 < trimmed.size() && trimmed[i + 1] == '\n') ++i;
    } else {
      normalised += trimmed[i];
    }
  }
  TPresetLines lines;
  std::istringstream in(normalised);
  for (std::string line; std::getline(in, line);) {
    const std::string content = Trim(line);
    if (content.empty() || content[0] == '#') continue;
    const size_t eq = content.find('=');
    const std::string key = eq == std::string::npos ? std::string() : Trim(content.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : Trim(content.substr(eq + 1));
    if (key.empty() || value.empty())
      throw FFmpegException(
          Format("%s: Invalid syntax: \"%s\"", presetName.c_str(), content.c_str()));
    lines.push_back(TPresetLine{content, key, value});
  }
  return lines;
}

}  // namespace vidorant
