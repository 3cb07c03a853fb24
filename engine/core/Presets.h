// Presets: named sets of "key=value" encoder options, built in or read from a file.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace vidorant {

struct TBuiltInPreset {
  const char* Name;
  const char* Text;  // "key=value\n" lines
};

extern const std::array<TBuiltInPreset, 36> BuiltInPresets;

// The text of the built-in preset of that name, compared without regard to case; nullptr when
// there is none.
const char* FindBuiltInPreset(const std::string& name);

// The key/value lines of a preset text, in order. The text is trimmed and its line breaks
// normalised; empty lines and lines starting with "#" are skipped; any other line without a
// non-empty key and a non-empty value around its first "=" raises FFmpegException
// "<presetName>: Invalid syntax: "<line>"".
struct TPresetLine {
  std::string Line;  // as written, trimmed
  std::string Key;
  std::string Value;
};
using TPresetLines = std::vector<TPresetLine>;
TPresetLines ParsePresetText(const std::string& presetName, const std::string& text);

}  // namespace vidorant
