#pragma once
// The entry sequence: configuration file, start-up language, catalogue, the
// device link and the main window.

#include "files/programfolders.h"

#include <QString>

namespace rpu {

// Section "Language", key "Default"; "RU" when the file or the key is missing.
QString ReadStartupLanguage(const QString &iniPath);

// Runs the program until the main window closes. Returns the exit code.
int RunProgram(int argc, char **argv);

} // namespace rpu
