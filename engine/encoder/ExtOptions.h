// The further options of an input or output record: a text of "name=value" lines, read into
// lines, filtered by what the record applies itself, and, for outputs, the per-stream defaults
// that the record's fields and its lines give to the output's first streams and to the streams
// that "newaudio", "newvideo" and "newsubtitle" lines add.
#pragma once

#include <string>
#include <vector>

namespace vidorant {

struct TOutputOptions;

struct TOptionLine {
  std::string Name;  // lower case
  std::string Value;
};

// The text trimmed, its line breaks (CR LF, CR, LF and the literal "<CRLF>") as line ends; each
// non-blank line is a name, "=" and a value. A line without "=" is a name with an empty value.
std::vector<TOptionLine> ParseExtOptions(const std::string& text);

enum class TExtOptionsUse { Input, Output };
// False for the lines the record applies at its own place: the stream lines and presets and
// filters everywhere, and, for an output, its codecs and frame size as well.
bool ExtOptionApplies(const std::string& name, TExtOptionsUse use);

// Where a line adds an output stream, the per-stream options applied before it, in order; none
// for other lines.
const std::vector<std::string>& StreamLineOptions(const std::string& name);

// The per-stream values of one output: its defaults ("acodec", "vcodec", "scodec", "apre",
// "vpre", "spre", "s", "vf") from the record's fields, else from its first line of that name,
// and every such line in order for the streams the output adds.
class TStreamDefaults {
public:
  TStreamDefaults(const TOutputOptions& options, const std::vector<TOptionLine>& lines);

  // The default of the name; empty when neither a field nor a line gives one.
  const std::string& Default(const std::string& name) const;
  // The first line of that name not taken yet (now taken), else the default.
  std::string Take(const std::string& name);

private:
  std::vector<TOptionLine> FDefaults;
  std::vector<TOptionLine> FLines;
};

}  // namespace vidorant
