#include "cli/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace vidorant {

namespace {

constexpr int MaxGIFSide = 65535;  // the 16-bit sides of a GIF's screen and frames

bool IsDecimal(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;  // beyond any side a GIF can have
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool Digits(const std::string& text, size_t at, const char* highest) {
  return std::isdigit(static_cast<unsigned char>(text[at])) && std::isdigit(static_cast<unsigned char>(text[at + 1])) &&
         text.compare(at, 2, highest) <= 0;
}

// The clip times the window accepts: "hh:mm:ss", minutes and seconds below 60.
bool IsTimeText(const std::string& text) {
  return text.size() == 8 && text[2] == ':' && text[5] == ':' && Digits(text, 0, "99") && Digits(text, 3, "59") &&
         Digits(text, 6, "59");
}

void ParseFrameSize(const std::string& text, TCommandLine& line) {
  const size_t x = text.find('x');
  if (x != std::string::npos) {
    line.FrameWidth = text.substr(0, x);
    line.FrameHeight = text.substr(x + 1);
  }
  if (x == std::string::npos || !IsDecimal(line.FrameWidth) || !IsDecimal(line.FrameHeight) ||
      std::stoi(line.FrameWidth) == 0 || std::stoi(line.FrameHeight) == 0)
    throw ECommandLineError("the frame size \"" + text + "\" is not WIDTHxHEIGHT in pixels (for example 320x240)");
  if (std::max(std::stoi(line.FrameWidth), std::stoi(line.FrameHeight)) > MaxGIFSide)
    throw ECommandLineError("the frame size \"" + text + "\" is larger than a GIF can be (" +
                            std::to_string(MaxGIFSide) + " pixels a side)");
}

std::string TimeArgument(const std::string& option, const std::string& text) {
  if (!IsTimeText(text))
    throw ECommandLineError("the " + option + " time \"" + text + "\" is not hh:mm:ss (for example 00:01:30)");
  return text;
}

// A count of threads or files: a whole number from 1 to MaxCount.
int CountArgument(const std::string& option, const std::string& text) {
  constexpr int MaxCount = 256;
  if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }) ||
      std::stoi(text) < 1 || std::stoi(text) > MaxCount)
    throw ECommandLineError("the " + option + " count \"" + text + "\" is not a whole number from 1 to " +
                            std::to_string(MaxCount));
  return std::stoi(text);
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine line;
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
      line.Files.push_back(argument);
      continue;
    }
    auto value = [&]() -> const std::string& {
      if (i + 1 >= arguments.size()) throw ECommandLineError("the option " + argument + " needs a value");
      return arguments[++i];
    };
    if (argument == "--")
      optionsEnded = true;
    else if (argument == "-h" || argument == "--help")
      line.Help = true;
    else if (argument == "--version")
      line.Version = true;
    else if (argument == "-s")
      ParseFrameSize(value(), line);
    else if (argument == "-o") {
      line.OutputFolder = value();
      if (line.OutputFolder.empty()) throw ECommandLineError("the output folder of -o is empty");
    } else if (argument == "--start")
      line.StartTime = TimeArgument("start", value());
    else if (argument == "--end")
      line.EndTime = TimeArgument("end", value());
    else if (argument == "--threads")
      line.Threads = CountArgument("--threads", value());
    else if (argument == "--jobs")
      line.Jobs = CountArgument("--jobs", value());
    else
      throw ECommandLineError("unknown option " + argument);
  }
  if (line.Help || line.Version) return line;
  if (line.Files.empty()) throw ECommandLineError("no video file given");
  // The window's check when a batch starts: the texts compare as strings, character by character.
  if (!line.StartTime.empty() && !line.EndTime.empty() && line.EndTime < line.StartTime)
    throw ECommandLineError("the end time " + line.EndTime + " is before the start time " + line.StartTime);
  return line;
}

std::string UsageText() {
  return "Usage: vidorant-cli [-s WxH] [-o DIR] [--start hh:mm:ss] [--end hh:mm:ss] [--threads N]\n"
         "                    [--jobs N] FILE...\n"
         "Converts each video FILE into an animated GIF of 10 pictures per second, the way the\n"
         "Vidorant window does, one file after another.\n"
         "\n"
         "  -s WxH            frame size in pixels (default: the window's setting, else 320x240)\n"
         "  -o DIR            output folder, created when missing (default: the window's setting,\n"
         "                    else Documents/Vidorant/)\n"
         "  --start hh:mm:ss  convert from this time of each video (default: its start)\n"
         "  --end hh:mm:ss    convert up to this time of each video (default: its end)\n"
         "  --threads N       decode each file on N threads and reduce and compress N of its\n"
         "                    pictures at once (default: one per processor core); the GIF is the\n"
         "                    same with any N\n"
         "  --jobs N          convert N files at once (default 1), for batches of short files\n"
         "  --help            show this text\n"
         "  --version         show the version of the conversion engine\n"
         "\n"
         "Each GIF takes its video's name with \".gif\"; a name already taken in the output folder\n"
         "becomes name(1).gif, name(2).gif, ... The defaults come from the settings file the window\n"
         "keeps (Vidorant/Options.ini in the user's configuration folder).\n"
         "Exit status: 0 when every file converted, 1 when a file failed, 2 when nothing could be\n"
         "converted (a wrong command line, an output folder that cannot be written, the media\n"
         "libraries missing), 130 when stopped with Ctrl+C (the GIFs of the files in progress keep\n"
         "the frames converted so far).\n";
}

}  // namespace vidorant
