#pragma once
// dorel-rpu-cli diff A B, and write-settings --dry-run: what differs between
// two settings, in the editors' words. Exit codes: 0 the same, 1 different,
// 2 a bad operand or file; a device that fails gives what the other commands give.

#include "ops/settingsdiff.h"
#include "ops/settingsops.h"

#include <QCommandLineOption>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

namespace rpu {
class MessageCatalogue;
}

namespace rpu::cli {

extern const QCommandLineOption kDryRunOption;

// What the diff needs of the command line around it.
struct DiffHost {
    const MessageCatalogue &catalogue;
    bool json;
    QTextStream &out;
    std::function<void(const QString &)> problem;
    std::function<void(const QJsonObject &)> printJson;
    // The chosen receiver's settings block; nullopt once the failure is said.
    std::function<std::optional<SettingsImage>(int *exitCode)> readDevice;
    // The receiver's fields for the JSON record, empty when none was reached.
    std::function<QJsonObject()> deviceRecord;
};

// operands: A and B, each a .cfg file, "device", "factory:relay" or "factory:rpu".
int RunDiff(const QStringList &operands, const DiffHost &host);

// The device's block against what write-settings would send for the file;
// nothing is written.
int RunDryRun(const QString &path, const ops::SettingsFileVerdict &file, const DiffHost &host);

} // namespace rpu::cli
