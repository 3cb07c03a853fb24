// The program's start: one copy per user at a time, the settings file must exist (the installer
// makes it), then the main window runs until it closes. Messages before the window exists use
// the system's message box captioned "Vidorant".
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "app/ConversionEngine.h"

namespace vidorant {

struct TStartupPlaces {
  QString InstanceLock;  // the single-instance guard's lock file
  QString SettingsFile;  // the INI file the window reads and writes
};

// The standard places of AppPaths.h.
TStartupPlaces DefaultStartupPlaces();

// Runs the program in the application object that exists; returns the process's exit status:
// 0 after the window closed or when another copy runs (it is left alone), 1 when the settings
// file is missing or the media libraries cannot be loaded.
int RunVidorant(const TStartupPlaces& places, const std::function<std::unique_ptr<TConversionEngine>()>& makeEngine);

}  // namespace vidorant
