#pragma once

#include <QString>

namespace brackenly {

// The folder that holds the session folder, the settings file, the proxy list and the default
// image folder: the program folder when it can hold the session folder (a portable copy),
// otherwise userDataFolder (an installed program, whose folder its user cannot write).
QString ChooseDataFolder(const QString& programFolder, const QString& userDataFolder);

// The choice for this process: the executable's folder or the per-user application data
// folder, which is created when chosen. Needs the application object and its names set.
QString ProgramDataFolder();

} // namespace brackenly
