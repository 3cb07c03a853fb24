// The command line of vidorant-cli: vidorant-cli [-s WxH] [-o DIR] [--start hh:mm:ss]
// [--end hh:mm:ss] [--threads N] [--jobs N] FILE... Only its form is checked here; whether the files exist and convert is
// the batch's business.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace vidorant {

struct TCommandLine {
  bool Help = false;
  bool Version = false;
  std::string FrameWidth;    // decimal texts; both empty when -s was not given
  std::string FrameHeight;
  std::string OutputFolder;  // empty when -o was not given
  std::string StartTime;     // "hh:mm:ss"; empty when not given
  std::string EndTime;       // "hh:mm:ss"; empty when not given
  int Threads = 0;           // 0 when --threads was not given
  int Jobs = 1;
  std::vector<std::string> Files;
};

// A command line that cannot be used; the message says why.
class ECommandLineError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string UsageText();

}  // namespace vidorant
