#include "cli/diffcommand.h"

#include "cli/clicommands.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"

#include <QJsonArray>

namespace rpu::cli {

const QCommandLineOption kDryRunOption(QStringLiteral("dry-run"),
    QStringLiteral("write-settings: print what would change on the device and write nothing"));

namespace {

const QString kDeviceOperand = QStringLiteral("device");
const QString kFactoryPrefix = QStringLiteral("factory:");

// One side of the diff before it is read: a file or factory settings at once,
// the device only once every operand is known to be good.
struct Operand {
    bool device = false;
    ops::SettingsSide side;
};

// The factory settings as the page of one section shows and saves them.
std::optional<ops::SettingsSide> FactorySide(const QString &which)
{
    ops::SettingsSide side;
    if (which == QLatin1String("relay")) {
        WriteRelaySection(ReadRelaySection(FactorySettingsImage()), side.image);
        side.sections = ops::SectionSet::Only(SettingsSection::Relay);
    } else if (which == QLatin1String("rpu")) {
        WriteRpuSection(ReadRpuSection(FactorySettingsImage()), side.image);
        side.sections = ops::SectionSet::Only(SettingsSection::Rpu);
    } else {
        return std::nullopt;
    }
    return side;
}

// nullopt after the reason is said.
std::optional<Operand> ParseOperand(const QString &text, const DiffHost &host)
{
    if (text == kDeviceOperand)
        return Operand{true, {}};
    if (text.startsWith(kFactoryPrefix)) {
        if (const auto side = FactorySide(text.mid(kFactoryPrefix.size())))
            return Operand{false, *side};
        host.problem(host.catalogue.Format(msg::kDiffUnknownFactory, text));
        return std::nullopt;
    }
    // Out-of-range sections are the diff's to name, not a reason to refuse the file.
    const ops::SettingsFileVerdict file = ops::AcceptSettingsFile(text, ops::SectionSet{});
    if (!file.ok()) {
        host.problem(ops::DescribeSettingsFile(file, text, host.catalogue));
        return std::nullopt;
    }
    return Operand{false, {file.image, file.carried}};
}

// The changes as lines or as one JSON document; 0 the same, 1 different.
int Print(const std::vector<ops::SettingsChange> &changes, QJsonObject record, const DiffHost &host,
          const QStringList &notes = {})
{
    const int exitCode = changes.empty() ? kExitOk : kExitDevice;
    QStringList lines = changes.empty() ? QStringList{host.catalogue.Text(msg::kDiffSame)}
                                        : ops::SettingsChangesText(changes);
    lines += notes;
    if (!host.json) {
        for (const QString &line : lines)
            host.out << line << Qt::endl;
        return exitCode;
    }
    const QJsonObject device = host.deviceRecord();
    for (auto it = device.begin(); it != device.end(); ++it)
        record.insert(it.key(), it.value());
    record.insert(QStringLiteral("verdict"), changes.empty() ? QStringLiteral("same") : QStringLiteral("different"));
    record.insert(QStringLiteral("exitCode"), exitCode);
    record.insert(QStringLiteral("changes"), ops::SettingsChangesJson(changes));
    record.insert(QStringLiteral("message"), lines.join(QLatin1Char('\n')));
    host.printJson(record);
    return exitCode;
}

} // namespace

int RunDiff(const QStringList &operands, const DiffHost &host)
{
    if (operands.size() != 2) {
        host.problem(host.catalogue.Text(msg::kDiffUsage));
        return kExitUsage;
    }
    std::vector<Operand> sides;
    for (const QString &text : operands) {
        const auto operand = ParseOperand(text, host);
        if (!operand)
            return kExitUsage;
        sides.push_back(*operand);
    }
    // "device device" reads the receiver once.
    std::optional<SettingsImage> device;
    for (Operand &operand : sides) {
        if (!operand.device)
            continue;
        int exitCode = kExitOk;
        if (!device && !(device = host.readDevice(&exitCode)))
            return exitCode;
        operand.side = {*device, ops::SectionSet::Both()};
    }
    const auto changes = ops::DiffSettings(sides[0].side, sides[1].side, host.catalogue);
    return Print(changes,
                 {{QStringLiteral("action"), QStringLiteral("diff")},
                  {QStringLiteral("before"), operands[0]},
                  {QStringLiteral("after"), operands[1]}},
                 host);
}

int RunDryRun(const QString &path, const ops::SettingsFileVerdict &file, const DiffHost &host)
{
    int exitCode = kExitOk;
    const auto device = host.readDevice(&exitCode);
    if (!device)
        return exitCode;
    // The same block write-settings would send: the sections the file does
    // not carry stay as the device holds them.
    const SettingsImage sent = ops::ComposeWriteImage(file.image, file.carried, *device);
    QStringList notes;
    for (SettingsSection section : ops::kSections) {
        if (!file.carried.Has(section))
            notes << host.catalogue.Format(msg::kSectionKeptFromDevice,
                                           host.catalogue.Text(ops::SectionNameMessage(section)));
    }
    notes << host.catalogue.Text(msg::kDiffDryRun);
    return Print(ops::DiffSettings(*device, sent, host.catalogue),
                 {{QStringLiteral("action"), QStringLiteral("write-settings")},
                  {QStringLiteral("dryRun"), true},
                  {QStringLiteral("files"), QJsonArray()},
                  {QStringLiteral("settings"), path}},
                 host, notes);
}

} // namespace rpu::cli
