#include "cli/clicommands.h"

#include "cli/benchdevices.h"
#include "files/backupname.h"
#include "files/programfolders.h"
#include "files/registrationfile.h"
#include "files/settingsfile.h"
#include "firmware/firmwarefile.h"
#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "session/devicesession.h"
#include "session/outcomemessages.h"
#include "settings/settingsimage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QThread>

#include <algorithm>
#include <initializer_list>
#include <thread>
#include <vector>

namespace rpu::cli {

namespace {

// The window's configuration file, language modules and firmware folders
// are shared: both programs live in the same folder.
const QString kWindowProgramName = QStringLiteral("dorel-rpu-sela");
// A receiver restarts after a firmware write; give it this long to answer.
constexpr int kRenewAfterFirmwareMs = 5000;
// Longest difference report after a read-back.
constexpr int kMaxReportedDifferences = 20;

class SleepingPacer final : public Pacer {
public:
    void Pause(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }
    // No window to keep alive; jobs of --all run on their own threads.
    void ProcessEvents() override {}
};


// Cells that came back other than they were written, low 8 bits compared.
QStringList CellDifferences(std::span<const int> written, std::span<const int> read)
{
    QStringList lines;
    int count = 0;
    for (std::size_t i = 0; i < written.size() && i < read.size(); ++i) {
        if ((written[i] & 0xFF) == (read[i] & 0xFF))
            continue;
        if (++count <= kMaxReportedDifferences)
            lines << QStringLiteral("  byte %1: written %2, read back %3")
                         .arg(i).arg(written[i] & 0xFF).arg(read[i] & 0xFF);
    }
    if (count > kMaxReportedDifferences)
        lines << QStringLiteral("  ... %1 differing bytes in all").arg(count);
    return lines;
}

// A device reached for one command: its pipes and a session over them.
struct Connection {
    DeviceSlot slot;
    std::unique_ptr<Transport> transport;
    std::unique_ptr<DeviceSession> session;
};

// What one device's job came to: an exit code and the text for a person.
struct JobResult {
    int exitCode = kExitOk;
    QString text;
};

// What update-firmware does on each device.
struct FirmwareJob {
    std::optional<FirmwareFile> file;  // nothing: the newest of baseDirs
    QStringList baseDirs;              // a name in more than one: the first folder's
    QString backupDir;                 // set: save memory and settings there first
    bool restoreAfter = false;
    bool ask = false;                  // ask before writing the newest firmware
    bool progress = false;
};

// The memory read before a firmware write, for writing it back afterwards.
struct SavedMemory {
    std::vector<int> registration;
    std::vector<int> settings;
};

class Cli {
public:
    Cli(const QString &programDir, CliStreams streams)
        : windowProgram_(QDir(programDir).filePath(kWindowProgramName)),
          folders_(ProgramFoldersOf(windowProgram_)), s_(streams)
    {
    }

    int Run(const QStringList &arguments);

private:
    QString Msg(int n) const { return catalogue_.Text(n); }
    int Fail(int exitCode, const QString &text)
    {
        s_.err << text << Qt::endl;
        return exitCode;
    }
    int FileFail(const FileError &error, const QString &path)
    {
        return Fail(kExitUsage, DescribeFileError(error, path, catalogue_));
    }

    bool Setup();
    std::optional<Connection> Connect(const DeviceSlot &slot, QString *error);
    // Break, then the handshake of code; the catalogue text of a failure, or empty.
    QString Enter(Connection &c, std::uint8_t code);
    // The one device the command is for, linked with code; nullopt after a message.
    std::optional<Connection> OneDevice(std::uint8_t code, int *exitCode);
    // The device --device names, or the only one; nullopt after a message.
    std::optional<DeviceSlot> ChosenSlot(int *exitCode);
    // Pipes and the handshake of code, printing nothing (safe on a worker thread).
    std::optional<Connection> Link(const DeviceSlot &slot, std::uint8_t code, QString *error);
    // Each entered with its own break and handshake; the failure text, or empty.
    QString ReadOn(Connection &c, int blockCount, int firstBlock, std::span<int> cells);
    QString WriteOn(Connection &c, int blockCount, int firstBlock, std::span<const int> cells);
    int Report(const JobResult &result);
    JobResult CheckFirmware(const FirmwareFile &file, const QString &path) const;
    JobResult SaveMemory(Connection &c, const QString &stem, const FirmwareJob &job, SavedMemory &saved);
    JobResult RestoreMemory(Connection &c, const SavedMemory &saved);
    JobResult UpdateDevice(const DeviceSlot &slot, const FirmwareJob &job);
    int UpdateAll(const FirmwareJob &job);
    void AttachProgress(DeviceSession &session);
    void EndProgress();
    JobResult ReadBack(Connection &c, int blockCount, int firstBlock, std::span<const int> written);
    // One block exchange on the chosen device, entered with its own handshake.
    int ReadImage(int blockCount, int firstBlock, std::span<int> cells);
    int WriteAndReadBack(int blockCount, int firstBlock, std::span<const int> cells, int doneText);

    int List();
    int Info();
    int ReadSettings(const QString &path);
    int WriteSettings(const QString &path);
    int Backup(const QString &path);
    int Restore(const QString &path);
    int UpdateFirmware(const QStringList &args);

    QString windowProgram_;
    ProgramFolders folders_;  // the window's: same configuration file, modules and "base"
    CliStreams s_;
    QCommandLineParser parser_;
    MessageCatalogue catalogue_;
    SleepingPacer pacer_;
    std::unique_ptr<DeviceRegistry> registry_;
    bool progressShown_ = false;
};

const QCommandLineOption kTransportOption(QStringLiteral("transport"),
    QStringLiteral("usb, simulator or socket:PATH; repeat for several (default: the configuration file)"),
    QStringLiteral("T"));
const QCommandLineOption kDeviceOption(QStringLiteral("device"),
    QStringLiteral("the device to work on: its number in the list, or its path"), QStringLiteral("ID"));
const QCommandLineOption kJsonOption(QStringLiteral("json"), QStringLiteral("list as JSON"));
const QCommandLineOption kYesOption(QStringLiteral("yes"), QStringLiteral("write newer firmware without asking"));
const QCommandLineOption kNewestOption(QStringLiteral("newest"),
    QStringLiteral("the newest firmware of the base folder, when newer than the device's"));
const QCommandLineOption kBaseOption(QStringLiteral("base"),
    QStringLiteral("firmware folder (default: the window's \"base\" folders)"), QStringLiteral("DIR"));
const QCommandLineOption kConfigOption(QStringLiteral("config"),
    QStringLiteral("configuration file (default: the window's)"), QStringLiteral("FILE"));
const QCommandLineOption kAllOption(QStringLiteral("all"),
    QStringLiteral("update-firmware: every device at once, each on its own thread; ends with a table"));
const QCommandLineOption kBackupFirstOption(QStringLiteral("backup-first"),
    QStringLiteral("update-firmware: save registration memory (.rrg) and settings (.cfg) to DIR first"),
    QStringLiteral("DIR"));
const QCommandLineOption kRestoreAfterOption(QStringLiteral("restore-after"),
    QStringLiteral("update-firmware: write the saved memory and settings back and read them back"));
const QCommandLineOption kVersionOption(QStringLiteral("version"), QStringLiteral("show the version and stop"));
const QCommandLineOption kLangOption(QStringLiteral("lang"),
    QStringLiteral("language code of the messages (default: the configuration file's)"), QStringLiteral("CODE"));

int Cli::Run(const QStringList &arguments)
{
    parser_.setApplicationDescription(QStringLiteral(
        "Service-bench commands for РПУ-SELA receivers.\n\n"
        "Commands:\n"
        "  list                      every receiver found\n"
        "  info                      handshake and show one receiver\n"
        "  read-settings OUT.cfg     save the settings block to a file\n"
        "  write-settings IN.cfg     write a settings file and read it back\n"
        "  backup OUT.rrg            save the registration memory to a file\n"
        "  restore IN.rrg            write a backup and read it back\n"
        "  update-firmware FILE | --newest [--device ID | --all] [--yes]\n"
        "        [--backup-first DIR [--restore-after]]\n"
        "                            write firmware, then check the new version"));
    parser_.addHelpOption();
    parser_.addOption(kVersionOption);
    parser_.addOptions({kTransportOption, kDeviceOption, kJsonOption, kYesOption, kNewestOption,
                        kBaseOption, kConfigOption, kLangOption, kAllOption, kBackupFirstOption,
                        kRestoreAfterOption});
    parser_.addPositionalArgument(QStringLiteral("command"), QStringLiteral("what to do"));
    if (!parser_.parse(arguments))
        return Fail(kExitUsage, parser_.errorText());
    if (parser_.isSet(QStringLiteral("help"))) {
        s_.out << parser_.helpText();
        return kExitOk;
    }
    if (parser_.isSet(kVersionOption)) {
        s_.out << "dorel-rpu-cli " RPU_VERSION << Qt::endl;
        return kExitOk;
    }
    const QStringList args = parser_.positionalArguments();
    if (args.isEmpty())
        return Fail(kExitUsage, parser_.helpText());
    if (!Setup())
        return kExitUsage;

    const QString command = args.front();
    const QStringList rest = args.mid(1);
    using Handler = int (Cli::*)(const QString &);
    const std::pair<const char *, Handler> fileCommands[] = {
        {"read-settings", &Cli::ReadSettings}, {"write-settings", &Cli::WriteSettings},
        {"backup", &Cli::Backup}, {"restore", &Cli::Restore}};
    for (const auto &[name, handler] : fileCommands) {
        if (command != QLatin1String(name))
            continue;
        if (rest.size() != 1)
            return Fail(kExitUsage, QStringLiteral("%1 takes one file name").arg(command));
        return (this->*handler)(rest.front());
    }
    if (command == QLatin1String("list") || command == QLatin1String("info")) {
        if (!rest.isEmpty())
            return Fail(kExitUsage, QStringLiteral("%1 takes no file name").arg(command));
        return command == QLatin1String("list") ? List() : Info();
    }
    if (command == QLatin1String("update-firmware"))
        return UpdateFirmware(rest);
    return Fail(kExitUsage, QStringLiteral("unknown command \"%1\"; see --help").arg(command));
}

bool Cli::Setup()
{
    const QString ini = parser_.isSet(kConfigOption) ? parser_.value(kConfigOption) : folders_.configFile;
    QString lang = parser_.value(kLangOption);
    if (lang.isEmpty())
        lang = QSettings(ini, QSettings::IniFormat).value(QStringLiteral("Language/Default")).toString();
    LoadMessageCatalogue(catalogue_, lang, windowProgram_, [this](const QString &besidePath) {
        const QString found =
            FindLanguageModuleFile(folders_.lookup, windowProgram_, QFileInfo(besidePath).suffix());
        return found.isEmpty() ? nullptr : OpenLanguageModule(found);
    });

    const LinkConfig base = ReadLinkConfig(ini);
    for (const QString &warning : base.warnings)
        s_.err << ini << ": " << warning << Qt::endl;
    std::vector<LinkConfig> transports;
    for (const QString &text : parser_.values(kTransportOption)) {
        const auto config = ParseTransport(text, base);
        if (!config) {
            s_.err << "--transport \"" << text << "\": expected usb, simulator or socket:PATH" << Qt::endl;
            return false;
        }
        transports.push_back(*config);
    }
    if (transports.empty())
        transports.push_back(base);
    // The simulator's demo images are offered only when no real receiver
    // can be among the devices.
    folders_.demoFirmware = std::all_of(transports.begin(), transports.end(),
                                        [](const LinkConfig &config) { return IsSimulated(config); });
    registry_ = std::make_unique<DeviceRegistry>(transports);
    return true;
}

std::optional<Connection> Cli::Connect(const DeviceSlot &slot, QString *error)
{
    Connection c;
    c.slot = slot;
    c.transport = registry_->Open(slot, error);
    if (!c.transport)
        return std::nullopt;
    c.session = std::make_unique<DeviceSession>(nullptr, *c.transport, pacer_, catalogue_);
    return c;
}

QString Cli::Enter(Connection &c, std::uint8_t code)
{
    if (!c.session->Break())
        return Msg(10007);
    const InitOutcome outcome = c.session->Init(code);
    return outcome == InitOutcome::Ok ? QString() : Msg(OutcomeMessage(outcome));
}

std::optional<DeviceSlot> Cli::ChosenSlot(int *exitCode)
{
    const std::vector<DeviceSlot> devices = registry_->Enumerate();
    const QString name = parser_.value(kDeviceOption);
    if (const auto slot = ChooseDevice(devices, name))
        return slot;
    *exitCode = kExitUsage;
    if (!name.isEmpty()) {
        s_.err << "no device \"" << name << "\"; see the list command" << Qt::endl;
    } else if (devices.empty()) {
        *exitCode = kExitDevice;
        s_.err << Msg(10008) << Qt::endl;
    } else {
        s_.err << devices.size() << " devices found; choose one with --device" << Qt::endl;
    }
    return std::nullopt;
}

std::optional<Connection> Cli::Link(const DeviceSlot &slot, std::uint8_t code, QString *error)
{
    auto c = Connect(slot, error);
    if (!c)
        return std::nullopt;
    *error = Enter(*c, code);
    if (!error->isEmpty()) {
        *error = Msg(10065) + QLatin1Char(' ') + *error;
        return std::nullopt;
    }
    return c;
}

std::optional<Connection> Cli::OneDevice(std::uint8_t code, int *exitCode)
{
    const auto slot = ChosenSlot(exitCode);
    if (!slot)
        return std::nullopt;
    QString error;
    auto c = Link(*slot, code, &error);
    if (!c) {
        *exitCode = kExitDevice;
        s_.err << error << Qt::endl;
        return std::nullopt;
    }
    AttachProgress(*c->session);
    return c;
}

void Cli::AttachProgress(DeviceSession &session)
{
    if (!s_.progressOnTerminal)
        return;
    QObject::connect(&session, &DeviceSession::progressChanged, &session, [this](int percent) {
        constexpr int kWidth = 30;
        const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
        s_.err << "\r[" << QString(filled, QLatin1Char('#')) << QString(kWidth - filled, QLatin1Char('.'))
               << "] " << qSetFieldWidth(3) << percent << qSetFieldWidth(0) << '%' << Qt::flush;
        progressShown_ = true;
    });
}

void Cli::EndProgress()
{
    if (progressShown_)
        s_.err << Qt::endl;
    progressShown_ = false;
}

QString Cli::ReadOn(Connection &c, int blockCount, int firstBlock, std::span<int> cells)
{
    const QString error = Enter(c, kInitOtherPages);
    if (!error.isEmpty())
        return error;
    const BlockReadOutcome outcome = c.session->ReadBlocks(blockCount, firstBlock, cells);
    EndProgress();
    return outcome == BlockReadOutcome::Ok ? QString() : Msg(OutcomeMessage(outcome));
}

QString Cli::WriteOn(Connection &c, int blockCount, int firstBlock, std::span<const int> cells)
{
    const QString error = Enter(c, kInitOtherPages);
    if (!error.isEmpty())
        return error;
    const BlockWriteOutcome outcome = c.session->WriteBlocks(blockCount, firstBlock, cells);
    EndProgress();
    return outcome == BlockWriteOutcome::Ok ? QString() : Msg(OutcomeMessage(outcome));
}

JobResult Cli::ReadBack(Connection &c, int blockCount, int firstBlock, std::span<const int> written)
{
    std::vector<int> read(written.size());
    if (const QString error = ReadOn(c, blockCount, firstBlock, read); !error.isEmpty())
        return {kExitDevice, QStringLiteral("read-back: ") + error};
    const QStringList differences = CellDifferences(written, read);
    if (!differences.isEmpty())
        return {kExitDevice, QStringLiteral("read-back differs from what was written:\n")
                                 + differences.join(QLatin1Char('\n'))};
    return {kExitOk, QStringLiteral("read-back: identical")};
}

int Cli::Report(const JobResult &result)
{
    (result.exitCode == kExitOk ? s_.out : s_.err) << result.text << Qt::endl;
    return result.exitCode;
}

int Cli::ReadImage(int blockCount, int firstBlock, std::span<int> cells)
{
    int exitCode = kExitOk;
    auto c = OneDevice(kInitOtherPages, &exitCode);
    if (!c)
        return exitCode;
    const BlockReadOutcome outcome = c->session->ReadBlocks(blockCount, firstBlock, cells);
    EndProgress();
    return outcome == BlockReadOutcome::Ok ? kExitOk : Fail(kExitDevice, Msg(OutcomeMessage(outcome)));
}

int Cli::WriteAndReadBack(int blockCount, int firstBlock, std::span<const int> cells, int doneText)
{
    int exitCode = kExitOk;
    auto c = OneDevice(kInitOtherPages, &exitCode);
    if (!c)
        return exitCode;
    const BlockWriteOutcome outcome = c->session->WriteBlocks(blockCount, firstBlock, cells);
    EndProgress();
    if (outcome != BlockWriteOutcome::Ok)
        return Fail(kExitDevice, Msg(OutcomeMessage(outcome)));
    s_.out << Msg(doneText) << Qt::endl;
    return Report(ReadBack(*c, blockCount, firstBlock, cells));
}

int Cli::List()
{
    const std::vector<DeviceSlot> devices = registry_->Enumerate();
    if (devices.empty())
        return Fail(kExitDevice, Msg(10008));
    int exitCode = kExitOk;
    QJsonArray rows;
    for (const DeviceSlot &slot : devices) {
        QString error;
        auto c = Connect(slot, &error);
        if (c)
            error = Enter(*c, kInitMainPage);
        QJsonObject row{{QStringLiteral("id"), slot.id},
                        {QStringLiteral("transport"), slot.transport},
                        {QStringLiteral("path"), slot.path}};
        QStringList columns{slot.id, slot.transport, slot.path};
        if (error.isEmpty()) {
            const DeviceInfo &info = c->session->Info();
            const QString type = Msg(DeviceTypeMessage(info.deviceClass));
            const QString version = FormatDeviceVersion(info.versionByte);
            row.insert(QStringLiteral("class"), info.deviceClass);
            row.insert(QStringLiteral("type"), type);
            row.insert(QStringLiteral("version"), version);
            row.insert(QStringLiteral("versionByte"), info.versionByte);
            columns << QString::number(info.deviceClass) << type << version;
        } else {
            exitCode = kExitDevice;
            row.insert(QStringLiteral("error"), error);
            columns << QStringLiteral("-") << error;
        }
        rows.append(row);
        if (!parser_.isSet(kJsonOption))
            s_.out << columns.join(QLatin1Char('\t')) << Qt::endl;
    }
    if (parser_.isSet(kJsonOption))
        s_.out << QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented));
    return exitCode;
}

int Cli::Info()
{
    int exitCode = kExitOk;
    auto c = OneDevice(kInitMainPage, &exitCode);
    if (!c)
        return exitCode;
    const DeviceInfo &info = c->session->Info();
    s_.out << "device: " << c->slot.id << '\n'
           << "transport: " << c->slot.transport << '\n'
           << "path: " << c->slot.path << '\n'
           << "class: " << info.deviceClass << '\n'
           << "type: " << Msg(DeviceTypeMessage(info.deviceClass)) << '\n'
           << "version: " << FormatDeviceVersion(info.versionByte) << Qt::endl;
    return kExitOk;
}

// The first section cell out of its range, in either section.
std::optional<BadImageCell> FindBadSettingsCell(const SettingsImage &image)
{
    if (auto bad = FindBadCell(image, SettingsSection::Relay))
        return bad;
    return FindBadCell(image, SettingsSection::Rpu);
}

int Cli::ReadSettings(const QString &path)
{
    std::vector<int> cells(kSettingsImageCells);
    if (const int exitCode = ReadImage(kSettingsBlockCount, kSettingsFirstBlock, cells))
        return exitCode;
    SettingsImage image{};
    std::copy(cells.begin(), cells.end(), image.begin());
    // The window stops on such a byte; here nothing is saved and the bench goes on.
    if (const auto bad = FindBadSettingsCell(image))
        return Fail(kExitDevice, BadImageByteText(catalogue_, *bad));
    const FileError error = WriteSettingsFile(
        path, std::span<const quint32, kSettingsFileCells>(image.data(), kSettingsFileCells));
    if (!error.ok())
        return FileFail(error, path);
    s_.out << Msg(10038) << Qt::endl << Msg(10045) << ": " << path << Qt::endl;
    return kExitOk;
}

int Cli::WriteSettings(const QString &path)
{
    const FileResult<SettingsFileContent> file = ReadSettingsFile(path);
    if (!file.ok()) {
        if (file.error.kind == FileErrorKind::TooShort)
            return Fail(kExitUsage, path + QStringLiteral(": ") + Msg(10037));
        return FileFail(file.error, path);
    }
    SettingsImage loaded{};
    std::copy(file.value->cells.begin(), file.value->cells.end(), loaded.begin());
    if (const auto bad = FindBadSettingsCell(loaded))
        return Fail(kExitUsage, path + QStringLiteral(": ") + BadImageByteText(catalogue_, *bad));
    // The window writes what its two pages hold: both sections, nothing else.
    SettingsImage image{};
    WriteRelaySection(ReadRelaySection(loaded), image);
    WriteRpuSection(ReadRpuSection(loaded), image);
    const std::vector<int> cells(image.begin(), image.end());

    return WriteAndReadBack(kSettingsBlockCount, kSettingsFirstBlock, cells, 10048);
}

int Cli::Backup(const QString &path)
{
    std::vector<int> cells(kRegistrationImageSize);
    if (const int exitCode = ReadImage(kRegistrationBlockCount, kRegistrationFirstBlock, cells))
        return exitCode;
    const RegistrationBackup backup = RegistrationBackup::FromCells(cells);
    const FileError error = WriteRegistrationBackup(path, backup);
    if (!error.ok())
        return FileFail(error, path);
    s_.out << Msg(10049) << Qt::endl
           << Msg(10043) << ": " << path << " (conf " << backup.ConfigurationCode() << ')' << Qt::endl;
    return kExitOk;
}

int Cli::Restore(const QString &path)
{
    const FileResult<RegistrationBackup> file = ReadRegistrationBackup(path);
    if (!file.ok())
        return FileFail(file.error, path);
    const std::vector<int> cells = file.value->ImageCells();

    return WriteAndReadBack(kRegistrationBlockCount, kRegistrationFirstBlock, cells, 10046);
}

JobResult Cli::CheckFirmware(const FirmwareFile &file, const QString &path) const
{
    switch (file.verdict) {
    case FirmwareVerdict::Accepted: return {};
    case FirmwareVerdict::BadFormat: return {kExitUsage, path + QStringLiteral(": ") + Msg(10017)};
    case FirmwareVerdict::WrongType: return {kExitUsage, path + QStringLiteral(": ") + Msg(10018)};
    case FirmwareVerdict::Unreadable: break;
    }
    return {kExitUsage, path + QStringLiteral(": ") + file.errorText};
}

JobResult Cli::SaveMemory(Connection &c, const QString &stem, const FirmwareJob &job, SavedMemory &saved)
{
    const QString base = QDir(job.backupDir).filePath(stem);
    saved.registration.assign(kRegistrationImageSize, 0);
    saved.settings.assign(kSettingsImageCells, 0);
    QString error = ReadOn(c, kRegistrationBlockCount, kRegistrationFirstBlock, saved.registration);
    if (error.isEmpty())
        error = ReadOn(c, kSettingsBlockCount, kSettingsFirstBlock, saved.settings);
    if (!error.isEmpty())
        return {kExitDevice, QStringLiteral("backup: ") + error};

    const QString rrg = base + QStringLiteral(".rrg");
    FileError fileError = WriteRegistrationBackup(rrg, RegistrationBackup::FromCells(saved.registration));
    if (!fileError.ok())
        return {kExitUsage, DescribeFileError(fileError, rrg, catalogue_)};
    SettingsImage image{};
    std::copy(saved.settings.begin(), saved.settings.end(), image.begin());
    // A block the window would refuse to show is still kept whole in the
    // memory copy; only the settings file needs it in range.
    if (const auto bad = FindBadSettingsCell(image))
        return {kExitDevice, QStringLiteral("backup: ") + BadImageByteText(catalogue_, *bad)};
    const QString cfg = base + QStringLiteral(".cfg");
    fileError = WriteSettingsFile(cfg, std::span<const quint32, kSettingsFileCells>(image.data(), kSettingsFileCells));
    if (!fileError.ok())
        return {kExitUsage, DescribeFileError(fileError, cfg, catalogue_)};
    return {};
}

JobResult Cli::RestoreMemory(Connection &c, const SavedMemory &saved)
{
    const struct {
        int count, first;
        const std::vector<int> &cells;
    } parts[] = {{kRegistrationBlockCount, kRegistrationFirstBlock, saved.registration},
                 {kSettingsBlockCount, kSettingsFirstBlock, saved.settings}};
    for (const auto &part : parts) {
        if (const QString error = WriteOn(c, part.count, part.first, part.cells); !error.isEmpty())
            return {kExitDevice, QStringLiteral("restore: ") + error};
        if (JobResult check = ReadBack(c, part.count, part.first, part.cells); check.exitCode != kExitOk)
            return check;
    }
    return {};
}

JobResult Cli::UpdateDevice(const DeviceSlot &slot, const FirmwareJob &job)
{
    QString error;
    auto c = Link(slot, kInitMainPage, &error);
    if (!c)
        return {kExitDevice, error};
    if (job.progress)
        AttachProgress(*c->session);
    const DeviceInfo before = c->session->Info();
    if (before.deviceClass != kSelaDeviceClass)
        return {kExitDevice, Msg(10018)};

    FirmwareFile firmware;
    if (job.file) {
        firmware = *job.file;
    } else {
        const NewerFirmwareCheck check = FindNewerFirmwareIn(job.baseDirs, before.deviceClass, before.versionByte);
        if (check.listed.isEmpty() || !check.newer)
            return {kExitOk, Msg(check.listed.isEmpty() ? 10066 : 10063)};
        const QString path = FirmwareFilePath(job.baseDirs, check.name);
        firmware = ReadFirmwareFile(path);
        if (JobResult bad = CheckFirmware(firmware, path); bad.exitCode != kExitOk)
            return bad;
        if (job.ask) {
            s_.err << Msg(10062) << " (" << check.name << ") [y/N] " << Qt::flush;
            const QString answer = s_.in.readLine().trimmed();
            if (answer.isNull())
                return {kExitUsage, QStringLiteral("no answer; use --yes to update without asking")};
            if (!answer.startsWith(QLatin1Char('y'), Qt::CaseInsensitive)
                && !answer.startsWith(QChar(0x0434), Qt::CaseInsensitive))  // "д"
                return {kExitOk, QStringLiteral("not updated")};
        }
    }

    SavedMemory saved;
    if (!job.backupDir.isEmpty()) {
        const QString stem = QStringLiteral("device%1_%2_v%3")
                                 .arg(slot.id, FileNameSafePiece(QFileInfo(slot.path).fileName()),
                                      FormatDeviceVersion(before.versionByte));
        if (JobResult backup = SaveMemory(*c, stem, job, saved); backup.exitCode != kExitOk)
            return backup;
        // The firmware goes to a device entered for the main page, as in the window.
        if (error = Enter(*c, kInitMainPage); !error.isEmpty())
            return {kExitDevice, error};
    }

    const std::span<const std::uint8_t> image(reinterpret_cast<const std::uint8_t *>(firmware.bytes.constData()),
                                              std::size_t(firmware.bytes.size()));
    const FirmwareOutcome outcome = c->session->WriteFirmware(image);
    EndProgress();
    if (outcome != FirmwareOutcome::Ok)
        return {kExitDevice, Msg(OutcomeMessage(outcome))};

    // The link is renewed as after the window's update: new pipes, break and
    // handshake, and the version the device now reports.
    c.reset();
    QDeadlineTimer deadline(kRenewAfterFirmwareMs);
    while (!(c = Link(slot, kInitMainPage, &error))) {
        if (deadline.hasExpired())
            return {kExitDevice, error};
        QThread::msleep(100);
    }
    const int version = c->session->Info().versionByte;
    if (version != firmware.versionByte)
        return {kExitDevice, QStringLiteral("%1 %2 → %3, expected %4")
                                 .arg(Msg(10024), FormatDeviceVersion(before.versionByte),
                                      FormatDeviceVersion(version), FormatDeviceVersion(firmware.versionByte))};
    JobResult done{kExitOk, QStringLiteral("%1: %2 → %3").arg(Msg(10023), FormatDeviceVersion(before.versionByte),
                                                              FormatDeviceVersion(version))};
    if (job.restoreAfter) {
        if (JobResult restored = RestoreMemory(*c, saved); restored.exitCode != kExitOk)
            return {restored.exitCode, done.text + QStringLiteral("; ") + restored.text};
        done.text += QStringLiteral("; memory and settings restored, read-back identical");
    }
    return done;
}

int Cli::UpdateAll(const FirmwareJob &job)
{
    const std::vector<DeviceSlot> devices = registry_->Enumerate();
    if (devices.empty())
        return Fail(kExitDevice, Msg(10008));
    // The in-process simulator's devices are one object: it cannot serve two threads.
    if (devices.size() > 1 && std::any_of(devices.begin(), devices.end(), [](const DeviceSlot &d) {
            return d.transport == QLatin1String("simulator");
        }))
        return Fail(kExitUsage, QStringLiteral("--all needs devices of their own: use usb or socket: transports"));

    struct Row {
        JobResult result;
        qint64 ms = 0;
    };
    std::vector<Row> rows(devices.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        threads.emplace_back([this, &job, &devices, &rows, i] {
            QElapsedTimer timer;
            timer.start();
            rows[i].result = UpdateDevice(devices[i], job);
            rows[i].ms = timer.elapsed();
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    int exitCode = kExitOk;
    s_.out << "device\taction\tresult\ttime" << Qt::endl;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const Row &row = rows[i];
        exitCode = std::max(exitCode, row.result.exitCode);
        s_.out << devices[i].id << ' ' << devices[i].transport << ':' << devices[i].path << '\t'
               << "update-firmware\t" << (row.result.exitCode == kExitOk ? "ok: " : "FAILED: ")
               << QString(row.result.text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\t'
               << QString::number(double(row.ms) / 1000.0, 'f', 1) << " s" << Qt::endl;
    }
    return exitCode;
}

int Cli::UpdateFirmware(const QStringList &args)
{
    FirmwareJob job;
    const bool newest = parser_.isSet(kNewestOption);
    const bool all = parser_.isSet(kAllOption);
    if (newest == (args.size() == 1) || args.size() > 1)
        return Fail(kExitUsage, QStringLiteral("update-firmware takes one firmware file or --newest"));
    if (all && parser_.isSet(kDeviceOption))
        return Fail(kExitUsage, QStringLiteral("--all and --device exclude each other"));
    if (all && newest && !parser_.isSet(kYesOption))
        return Fail(kExitUsage, QStringLiteral("--all --newest asks no questions: add --yes"));
    job.restoreAfter = parser_.isSet(kRestoreAfterOption);
    job.backupDir = parser_.value(kBackupFirstOption);
    if (job.restoreAfter && job.backupDir.isEmpty())
        return Fail(kExitUsage, QStringLiteral("--restore-after needs --backup-first DIR"));
    if (!job.backupDir.isEmpty() && !QDir().mkpath(job.backupDir))
        return Fail(kExitUsage, QStringLiteral("cannot create the folder %1").arg(job.backupDir));
    job.baseDirs = parser_.isSet(kBaseOption) ? QStringList{parser_.value(kBaseOption)}
                                              : folders_.FirmwareFolders();
    job.ask = !parser_.isSet(kYesOption);
    job.progress = !all && s_.progressOnTerminal;
    if (!newest) {
        job.file = ReadFirmwareFile(args.front());
        if (JobResult bad = CheckFirmware(*job.file, args.front()); bad.exitCode != kExitOk)
            return Report(bad);
    }
    if (all)
        return UpdateAll(job);
    int exitCode = kExitOk;
    const auto slot = ChosenSlot(&exitCode);
    return slot ? Report(UpdateDevice(*slot, job)) : exitCode;
}
} // namespace

int RunCli(const QStringList &arguments, const QString &programDir, CliStreams streams)
{
    Cli cli(programDir, streams);
    return cli.Run(arguments);
}

} // namespace rpu::cli
