#pragma once

#include <QString>

namespace kalvendo {

// Where the program's files live. `exeDir` is the executable's folder;
// `overrideDir` (from --appdir) wins over main.ini when not empty.
// The result is absolute and always ends in '/'.
QString getApplicationPath(const QString& exeDir, const QString& overrideDir = {});

// The per-machine shared folder of installation type 1.
QString sharedApplicationFolder();

// The defaults an installation ships (daten/, vorlagen/, help/), looked up
// beside the executable's share folder, else the executable's own folder.
QString installedDefaultsFolder(const QString& exeDir);

// Copies the installed defaults into `appPath` for every top-level folder that
// is missing there. Never overwrites anything that exists. Returns whether
// something was copied.
bool seedApplicationFolder(const QString& appPath, const QString& defaultsDir);

} // namespace kalvendo
