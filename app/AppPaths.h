// Where the program keeps its settings, where GIFs go on first start, and the name of the lock
// that lets one copy of the program run at a time. All come from the user's standard folders.
#pragma once

#include <QString>

namespace vidorant {

// The settings file, "Options.ini" in a "Vidorant" folder of the user's configuration folder;
// empty when the system names no configuration folder (the file then counts as missing).
QString SettingsFilePath();

// The documents folder + "Vidorant" with a trailing separator; empty when the system names no
// documents folder.
QString DefaultOutputFolder();

// The lock file of the single-instance guard "VUR_Vidorant", in the user's runtime folder, so
// that each user may run one copy.
QString InstanceLockPath();

// folder + "/" + name, without doubling a separator the folder already ends in.
QString JoinPath(const QString& folder, const QString& name);

}  // namespace vidorant
