#include "cli/clireport.h"

#include "cli/benchdevices.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"

#include <algorithm>

namespace rpu::cli {

JobResult WriteReport(const ops::BlockWriteVerdict &verdict, int doneMessage, const MessageCatalogue &catalogue)
{
    QStringList lines;
    if (verdict.written)
        lines << catalogue.Text(doneMessage);
    if (verdict.message != 0) {
        lines << catalogue.Text(verdict.message);
        return {kExitDevice, lines.join(QLatin1Char('\n'))};
    }
    if (verdict.readBack.done)
        lines << ops::DescribeReadBack(verdict.readBack, catalogue);
    return {verdict.ok() ? kExitOk : kExitDevice, lines.join(QLatin1Char('\n'))};
}

QJsonObject DeviceRecord(const DeviceSlot &slot)
{
    return {{QStringLiteral("id"), slot.id},
            {QStringLiteral("identity"), slot.identity},
            {QStringLiteral("transport"), slot.transport},
            {QStringLiteral("path"), slot.path},
            {QStringLiteral("simulated"), slot.simulated}};
}

QString VerdictName(int exitCode)
{
    switch (exitCode) {
    case kExitOk: return QStringLiteral("ok");
    case kExitDevice: return QStringLiteral("failed");
    case kExitUsage: return QStringLiteral("refused");
    case kExitNothingToDo: return QStringLiteral("nothing-to-do");
    case kExitSignalled: return QStringLiteral("signalled");
    }
    return QStringLiteral("failed");
}

namespace {

QJsonValue VersionValue(int versionByte)
{
    return versionByte < 0 ? QJsonValue() : QJsonValue(FormatDeviceVersion(versionByte));
}

// The verdict's service record: firmware, versions before and after, files, verdict.
JobResult WithRecord(JobResult result, const ops::FirmwareUpdateVerdict &v)
{
    result.record = {{QStringLiteral("action"), QStringLiteral("update-firmware")},
                     {QStringLiteral("firmware"), v.firmwareName},
                     {QStringLiteral("versionBefore"), VersionValue(v.versionBefore)},
                     {QStringLiteral("versionAfter"), VersionValue(v.versionAfter)},
                     {QStringLiteral("files"), QJsonArray::fromStringList(v.backupFiles)},
                     {QStringLiteral("verdict"), VerdictName(result.exitCode)},
                     {QStringLiteral("exitCode"), result.exitCode},
                     {QStringLiteral("message"), result.text}};
    return result;
}

JobResult UpdateText(const ops::FirmwareUpdateVerdict &v, const MessageCatalogue &catalogue);

} // namespace

JobResult UpdateReport(const ops::FirmwareUpdateVerdict &v, const MessageCatalogue &catalogue)
{
    return WithRecord(UpdateText(v, catalogue), v);
}

namespace {

JobResult UpdateText(const ops::FirmwareUpdateVerdict &v, const MessageCatalogue &catalogue)
{
    using ops::UpdateStep;
    const auto msg = [&catalogue](int n) { return catalogue.Text(n); };
    const auto orDetail = [&](const QString &text) { return v.detail.isEmpty() ? text : v.detail; };
    QStringList notes;
    if (v.restoreSkipped)
        notes << msg(msg::kRestoreNotRun);
    for (const ops::SectionFault &fault : v.settingsFaults)
        notes << ops::DescribeSectionFault(fault, catalogue);
    if (!v.backupFiles.isEmpty())
        notes << catalogue.Format(msg::kResultCopy, v.backupFiles.join(QStringLiteral(", ")));
    const auto withNotes = [&notes](int code, QString text) {
        for (const QString &note : notes)
            text += QStringLiteral("; ") + note;
        return JobResult{code, text};
    };
    const QString written = QStringLiteral("%1: %2 → %3").arg(msg(msg::kFirmwareWritten),
                                                              FormatDeviceVersion(v.versionBefore),
                                                              FormatDeviceVersion(v.versionAfter));
    switch (v.step) {
    case UpdateStep::Done:
        return withNotes(kExitOk, v.restored ? written + QStringLiteral("; ") + msg(msg::kReadBackIdentical)
                                             : written);
    case UpdateStep::NothingNewer: return {kExitNothingToDo, msg(v.message)};
    case UpdateStep::NotNewer: return {kExitNothingToDo, v.detail};
    case UpdateStep::Declined: return {kExitOk, msg(msg::kResultNotUpdated)};
    case UpdateStep::NoAnswer: return {kExitUsage, msg(msg::kResultNoAnswer)};
    case UpdateStep::FirmwareFile: return {kExitUsage, orDetail(msg(v.message))};
    case UpdateStep::Link: return withNotes(kExitDevice, orDetail(msg(v.message)));
    case UpdateStep::Relink:
        // The image went in: say so, or the engineer may think nothing changed.
        return withNotes(kExitDevice, v.written ? catalogue.Format(msg::kFirmwareAcceptedThenSilent,
                                                                   orDetail(msg(v.message)))
                                                : orDetail(msg(v.message)));
    case UpdateStep::ClassChange:
        return {kExitUsage, v.detail + QStringLiteral(" (--allow-class-change)")};
    case UpdateStep::DeviceClass:
    case UpdateStep::Write: return withNotes(kExitDevice, msg(v.message));
    case UpdateStep::Backup:
        return withNotes(v.detail.isEmpty() ? kExitDevice : kExitUsage,
                         catalogue.Format(msg::kResultBackup, orDetail(msg(v.message))));
    case UpdateStep::Version:
        return withNotes(kExitDevice, catalogue.Format(msg::kResultVersionExpected,
                                                       {msg(v.message), FormatDeviceVersion(v.versionBefore),
                                                        FormatDeviceVersion(v.versionAfter),
                                                        FormatDeviceVersion(v.versionExpected)}));
    case UpdateStep::Restore: {
        const QString why = v.restore.message ? msg(v.restore.message)
                                              : ops::DescribeReadBack(v.restore.readBack, catalogue);
        return withNotes(kExitDevice, written + QStringLiteral("; ") + catalogue.Format(msg::kResultRestore, why));
    }
    }
    return {kExitDevice, QString()};
}

// A result's lines as one table cell: "a.; b" reads badly, so a line's own
// full stop gives way to the separator.
QString OneLine(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].endsWith(QLatin1Char('.')) && !lines[i].endsWith(QStringLiteral("...")))
            lines[i].chop(1);
    }
    return lines.join(QStringLiteral("; "));
}

} // namespace

void PrintJobTable(QTextStream &out, const std::vector<TableRow> &rows)
{
    out << "device\taction\tresult\ttime" << Qt::endl;
    for (const TableRow &row : rows) {
        out << row.device << '\t' << row.result.record.value(QStringLiteral("action")).toString() << '\t' << (row.result.exitCode == kExitOk || row.result.exitCode == kExitNothingToDo ? "ok: " : "FAILED: ")
            << OneLine(row.result.text) << '\t'
            << QString::number(double(row.ms) / 1000.0, 'f', 1) << " s" << Qt::endl;
    }
}

QJsonArray JobTableJson(const std::vector<TableRow> &rows)
{
    QJsonArray records;
    for (const TableRow &row : rows) {
        QJsonObject record = row.result.record;
        record.insert(QStringLiteral("seconds"), double(row.ms) / 1000.0);
        records.append(record);
    }
    return records;
}

int WorstExitCode(const std::vector<TableRow> &rows)
{
    // A failure outweighs the rest; "nothing to do" only when no receiver had anything done.
    int failed = kExitOk;
    bool allIdle = !rows.empty();
    for (const TableRow &row : rows) {
        const int code = row.result.exitCode;
        if (code == kExitDevice || code == kExitUsage)
            failed = std::max(failed, code);
        allIdle = allIdle && code == kExitNothingToDo;
    }
    if (failed != kExitOk)
        return failed;
    return allIdle ? kExitNothingToDo : kExitOk;
}

void RewriteLiveLine(QTextStream &err, int up, const QString &text, const char *colour)
{
    err << "\x1b[" << up << "A\r";
    if (colour)
        err << colour << text << "\x1b[0m";
    else
        err << text;
    err << "\x1b[K\x1b[" << up << "B\r" << Qt::flush;
}

} // namespace rpu::cli
