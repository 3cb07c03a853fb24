// The defaults of a command-line batch: the frame size and output folder the window keeps in its
// settings file, read the way the window reads them. The command line never writes the file.
#pragma once

#include <string>

namespace vidorant {

struct TOutputSettings {
  std::string FrameWidth = "320";
  std::string FrameHeight = "240";
  std::string OutputFolder;  // never empty
};

// The window's settings file: the user's configuration folder + "/Vidorant/Options.ini".
std::string SettingsFilePath();

// The section "OutputType" of the settings file when the file exists: "Width" and "Height" as
// stored, "OutputFolder" when not empty; otherwise 320x240 and the documents folder +
// "/Vidorant/".
TOutputSettings ReadOutputSettings();

}  // namespace vidorant
