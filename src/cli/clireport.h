#pragma once
// What dorel-rpu-cli prints about a verdict: a line for a person and an
// exit code, and the table that ends every command's --all.

#include "cli/clicommands.h"
#include "ops/firmwareops.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QTextStream>
#include <vector>

namespace rpu {
class MessageCatalogue;
}

namespace rpu::cli {

// What one command or one device's job came to.
struct JobResult {
    JobResult() = default;
    JobResult(int code, QString said, QJsonObject fields = {})
        : exitCode(code), text(std::move(said)), record(std::move(fields)) {}
    int exitCode = kExitOk;
    QString text;
    QJsonObject record; // what --json says of it, the device's fields aside
    QStringList notes;  // said beside the result, a failure or not (a section left out)
};

struct DeviceSlot;
// A receiver's fields in every JSON record: number, identity, transport, path, simulated.
QJsonObject DeviceRecord(const DeviceSlot &slot);
// "ok", "failed", "refused", "nothing-to-do", "signalled": a script's word for an exit code.
QString VerdictName(int exitCode);

// A write with its read-back: the failure, or the done text and the read-back's.
JobResult WriteReport(const ops::BlockWriteVerdict &verdict, int doneMessage, const MessageCatalogue &catalogue);
JobResult UpdateReport(const ops::FirmwareUpdateVerdict &verdict, const MessageCatalogue &catalogue);

struct TableRow {
    QString device;    // id and identity, marked when simulated
    JobResult result;
    qint64 ms = 0;
};
// device, action, result, time: one row per device, in list order; the
// action is the record's.
void PrintJobTable(QTextStream &out, const std::vector<TableRow> &rows);
// The same rows as JSON records, with the time in seconds.
QJsonArray JobTableJson(const std::vector<TableRow> &rows);
int WorstExitCode(const std::vector<TableRow> &rows);

// Rewrites the terminal line `up` lines above the cursor (live progress rows),
// in an ANSI colour when one is given, and puts the cursor back.
void RewriteLiveLine(QTextStream &err, int up, const QString &text, const char *colour = nullptr);

} // namespace rpu::cli
