#pragma once
// The options of dorel-rpu-cli and its help text.

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace rpu::cli {

extern const QCommandLineOption kTransportOption;
extern const QCommandLineOption kDeviceOption;
extern const QCommandLineOption kJsonOption;
extern const QCommandLineOption kYesOption;
extern const QCommandLineOption kNewestOption;
extern const QCommandLineOption kBaseOption;
extern const QCommandLineOption kConfigOption;
extern const QCommandLineOption kAllOption;
extern const QCommandLineOption kBackupFirstOption;
extern const QCommandLineOption kRestoreAfterOption;
extern const QCommandLineOption kTraceOption;
extern const QCommandLineOption kAllowClassChangeOption;
extern const QCommandLineOption kAllowOlderOption;
extern const QCommandLineOption kAllowReinstallOption;
extern const QCommandLineOption kVersionOption;
extern const QCommandLineOption kLangOption;

// Every option, the help option and the description with the commands.
void SetUpParser(QCommandLineParser &parser);

} // namespace rpu::cli
