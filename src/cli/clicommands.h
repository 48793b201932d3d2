#pragma once
// The subcommands of dorel-rpu-cli. Exit codes: 0 done, 1 a device or an
// exchange failed, 2 the command line or a file was wrong, 3 nothing to do
// (no newer firmware), 4 a signal came during a write, which was finished.

#include <QStringList>
#include <QTextStream>

namespace rpu::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitDevice = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNothingToDo = 3;
inline constexpr int kExitSignalled = 4;

struct CliStreams {
    QTextStream &out;
    QTextStream &err;
    QTextStream &in;            // answers to the firmware question
    bool progressOnTerminal;    // draw a progress bar on err
};

// arguments: the whole command line, program name first. programDir: the
// folder of both programs; the window's rule for its folders finds the
// configuration file, the language modules and the "base" folders.
int RunCli(const QStringList &arguments, const QString &programDir, CliStreams streams);

} // namespace rpu::cli
