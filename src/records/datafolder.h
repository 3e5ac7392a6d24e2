#pragma once

#include <QString>

namespace brackenly {

// The folder that holds the session folder, the settings file, the proxy list and the default
// image folder: the program folder when it belongs to the user, nobody else may write it and
// it can hold the session folder (a portable copy) or already holds the user's files (a
// read-only portable copy: read from there, saving fails with a message); otherwise
// userDataFolder (an installed program, or a folder others could change or read).
QString ChooseDataFolder(const QString& programFolder, const QString& userDataFolder);

// Makes the session folder the owner's alone (0700). An existing folder keeps its mode,
// unless it is the user's and open to group or others: then it is narrowed to the owner.
// False when no folder is there.
bool MakePrivateFolder(const QString& path);

// The choice for this process: the executable's folder or the per-user application data
// folder, which is created when chosen. Needs the application object and its names set.
QString ProgramDataFolder();

} // namespace brackenly
