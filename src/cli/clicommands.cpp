#include "cli/clicommands.h"

#include "cli/benchdevices.h"
#include "cli/clioptions.h"
#include "cli/clireport.h"
#include "cli/diffcommand.h"
#include "cli/receiverjobs.h"
#include "cli/station.h"
#include "cli/writeguard.h"
#include "files/backupname.h"
#include "files/programfolders.h"
#include "files/registrationfile.h"
#include "firmware/firmwarefile.h"
#include "i18n/languagechoice.h"
#include "io/safefile.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "link/devicelink.h"
#include "ops/backupops.h"
#include "ops/firmwareops.h"
#include "ops/settingsops.h"
#include "link/precisepause.h"
#include "session/devicesession.h"
#include "session/outcomemessages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace rpu::cli {

namespace {

// The window's configuration file, language modules and firmware folders
// are shared: both programs live in the same folder.
const QString kWindowProgramName = QStringLiteral("dorel-rpu-sela");

class SleepingPacer final : public Pacer {
public:
    void Pause(int milliseconds) override { PausePrecisely(milliseconds); }
    // No window to keep alive; jobs of --all run on their own threads.
    void ProcessEvents() override {}
};

// A device reached for one command: its pipes and a session over them.
struct Connection {
    DeviceSlot slot;
    std::unique_ptr<Transport> transport;
    std::unique_ptr<DeviceSession> session;
};

// One receiver reached again over new pipes whenever the job asks.
class SlotReceiver final : public ops::ReceiverAccess {
public:
    using Linker = std::function<std::optional<Connection>(QString *error)>;
    SlotReceiver(std::optional<Connection> first, Linker link) : c_(std::move(first)), link_(std::move(link)) {}
    DeviceSession *Session() override { return c_ ? c_->session.get() : nullptr; }
    bool Relink(QString *error) override
    {
        c_ = link_(error);
        return c_.has_value();
    }
    void Drop() override { c_.reset(); }

private:
    std::optional<Connection> c_;
    Linker link_;
};

// What update-firmware does on each device.
struct FirmwareJob {
    ops::FirmwareUpdateRequest request; // backupStem is set per device
    bool progress = false;
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
        Problem(text);
        return exitCode;
    }
    // A failure's text: on the terminal, and kept for the JSON record.
    void Problem(const QString &text)
    {
        s_.err << text << Qt::endl;
        problems_ << text;
    }
    // Results for a person; with --json kept for the record instead.
    QTextStream &Out() { return json_ ? kept_ : s_.out; }
    void PrintJson(const QJsonValue &value);
    // The identity as shown: a simulated receiver is marked wherever it appears.
    QString Shown(const DeviceSlot &slot) const
    {
        return slot.simulated ? catalogue_.Format(msg::kSimulatedDevice, slot.identity) : slot.identity;
    }
    // A simulated receiver's results start with its marked identity, so no
    // one takes them for a receiver's.
    void NameIfSimulated(const DeviceSlot &slot)
    {
        if (slot.simulated)
            Out() << Shown(slot) << Qt::endl;
    }
    // The command's one JSON object when it printed none itself.
    int Finish(const QString &command, int exitCode);
    int RunCommand(const QStringList &arguments);
    int FileFail(const FileError &error, const QString &path)
    {
        return Fail(kExitUsage, DescribeFileError(error, DisplayPath(path), catalogue_));
    }

    bool Setup();
    // The code of the catalogue the window would load for a language code:
    // "RU" for the built-in texts, else a module's code; empty when neither.
    QString LanguageCode(const QString &asked) const;
    std::optional<Connection> Connect(const DeviceSlot &slot, QString *error);
    // Break, then the handshake of code; the catalogue text of a failure, or empty.
    QString Enter(Connection &c, std::uint8_t code);
    // The one device the command is for, linked with code; nullopt after a message.
    std::optional<Connection> OneDevice(std::uint8_t code, int *exitCode);
    // The device --device names, or the only one; nullopt after a message.
    std::optional<DeviceSlot> ChosenSlot(int *exitCode);
    // Pipes and the handshake of code, printing nothing (safe on a worker thread).
    std::optional<Connection> Link(const DeviceSlot &slot, std::uint8_t code, QString *error);
    int Report(const JobResult &result);
    // A job's result for one receiver: notes and failures on standard error, kept for the record.
    int Deliver(const JobResult &result);
    QString Label(const DeviceSlot &slot) const { return slot.id + QLatin1Char(' ') + Shown(slot); }
    // The newest firmware's question on the terminal.
    std::optional<bool> AskToUpdate(const QString &fileName);
    // liveRow: the receiver's line of --all on a terminal, -1 for none.
    JobResult UpdateDevice(const DeviceSlot &slot, const FirmwareJob &job, int liveRow = -1);
    // Redraws one receiver's line of --all in place, the others left as they are.
    void DrawLiveLine(int row, const QString &text);
    void WatchLive(DeviceSession &session, int row, const QString &label);
    // Every device found; nullopt after a message when one is reached twice.
    std::optional<std::vector<DeviceSlot>> Devices(int *exitCode);

    // What a command does with one linked receiver. Under --all it runs on
    // the receiver's own thread: it prints nothing and shares nothing.
    using ReceiverJob = std::function<JobResult(Connection &)>;
    // A receiver's whole job under --all, link included; liveRow as for UpdateDevice.
    using SlotJob = std::function<JobResult(const DeviceSlot &, int liveRow)>;
    using FileJob = JobResult (*)(DeviceSession &, const QString &, const MessageCatalogue &);
    // The job on the receiver --device names (or the only one), said as a single command says it.
    int OnOne(std::uint8_t code, const ReceiverJob &job);
    // The job on every receiver at once, each on its own thread and link; ends with the table.
    int RunAll(const QString &action, const SlotJob &job);
    int RunAll(const QString &action, std::uint8_t code, const ReceiverJob &job);
    // OnOne, or RunAll with --all.
    int OnReceivers(const QString &action, const ReceiverJob &job);
    // --all of a command that saves a file: one new file per receiver in folder.
    int IntoFolder(const QString &action, const QString &folder, const QString &suffix, FileJob job);
    // Creates the folder when needed; false after a message.
    bool MakeFolder(const QString &folder);
    void AttachProgress(DeviceSession &session);
    // Says, on the first progress after a signal held during a write, how long the write still runs.
    void WatchWrite(DeviceSession &session);
    void EndProgress();

    int List();
    int Info();
    int ReadSettings(const QString &path);
    int WriteSettings(const QString &path);
    int Backup(const QString &path);
    int Restore(const QString &path);
    int UpdateFirmware(const QStringList &args);
    // The diff's view of this command line: its streams, catalogue and device.
    DiffHost Diffs();
    std::optional<SettingsImage> DeviceSettings(int *exitCode);

    QString windowProgram_;
    ProgramFolders folders_;  // the window's: same configuration file, modules and "base"
    CliStreams s_;
    QCommandLineParser parser_;
    MessageCatalogue catalogue_;
    QLocale locale_;             // the catalogue's language, for numbers in its texts
    SleepingPacer pacer_;
    std::unique_ptr<DeviceRegistry> registry_;
    bool json_ = false;
    bool jsonPrinted_ = false;
    QStringList problems_;
    QString keptText_;
    QTextStream kept_{&keptText_};
    std::optional<DeviceSlot> device_; // the receiver the command went to
    QStringList files_;                // the files it wrote
    QJsonObject extra_;                // the job's own fields for the record
    // Cleared by every job's end, --all's worker threads included.
    std::atomic<bool> progressShown_ = false;
    std::mutex liveMutex_;
    int liveLines_ = 0;
};

int Cli::Run(const QStringList &arguments)
{
    // Known before the options are parsed: a bad option is refused in JSON too.
    json_ = arguments.mid(1).contains(QStringLiteral("--json"));
    const int code = RunCommand(arguments);
    return Finish(parser_.positionalArguments().value(0), code);
}

void Cli::PrintJson(const QJsonValue &value)
{
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    s_.out << QString::fromUtf8(doc.toJson(QJsonDocument::Indented)) << Qt::flush;
    jsonPrinted_ = true;
}

int Cli::Finish(const QString &command, int exitCode)
{
    if (!json_ || jsonPrinted_)
        return exitCode;
    QJsonObject record = device_ ? DeviceRecord(*device_) : QJsonObject();
    for (auto it = extra_.begin(); it != extra_.end(); ++it)
        record.insert(it.key(), it.value());
    if (!command.isEmpty())
        record.insert(QStringLiteral("action"), command);
    record.insert(QStringLiteral("verdict"), VerdictName(exitCode));
    record.insert(QStringLiteral("exitCode"), exitCode);
    record.insert(QStringLiteral("files"), QJsonArray::fromStringList(files_));
    QStringList lines = problems_;
    lines += keptText_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    record.insert(QStringLiteral("message"), lines.join(QLatin1Char('\n')));
    PrintJson(record);
    return exitCode;
}

int Cli::RunCommand(const QStringList &arguments)
{
    SetUpParser(parser_);
    if (!parser_.parse(arguments))
        return Fail(kExitUsage, parser_.errorText());
    json_ = parser_.isSet(kJsonOption);
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
    if (command == QLatin1String("diff"))
        return RunDiff(rest, Diffs());
    if (command == QLatin1String("station"))
        return RunStation(parser_, catalogue_, s_, folders_, rest);
    return Fail(kExitUsage, QStringLiteral("unknown command \"%1\"; see --help").arg(command));
}

bool Cli::Setup()
{
    if (parser_.isSet(kAllOption) && parser_.isSet(kDeviceOption)) {
        Problem(QStringLiteral("--all and --device exclude each other"));
        return false;
    }
    const QString ini = parser_.isSet(kConfigOption) ? parser_.value(kConfigOption) : folders_.configFile;
    const IniRead iniRead = ReadIniFile(ini);
    const auto load = [this](const QString &code) {
        locale_ = LocaleOf(ExtensionToLocale(code.isEmpty() ? QString::fromLatin1(kBuiltinLocaleCode) : code));
        LoadMessageCatalogue(catalogue_, code, windowProgram_, [this](const QString &besidePath) {
            const QString found =
                FindLanguageModuleFile(folders_.lookup, windowProgram_, QFileInfo(besidePath).suffix());
            return found.isEmpty() ? nullptr : OpenLanguageModule(found);
        });
    };
    // The file's language as the window takes it: an unknown one gives the built-in texts.
    load(LanguageCode(StartupLanguageOf(iniRead.document)));
    if (parser_.isSet(kLangOption)) {
        const QString code = LanguageCode(parser_.value(kLangOption));
        if (code.isEmpty()) {
            Problem(catalogue_.Format(msg::kUnknownLanguageCode, parser_.value(kLangOption)));
            return false;
        }
        load(code);
    }

    if (const QString problem = DescribeIniProblem(iniRead, ini, catalogue_); !problem.isEmpty())
        s_.err << problem << Qt::endl;
    const LinkConfig base = ReadLinkConfig(ini);
    for (const QString &warning : base.warnings)
        s_.err << ini << ": " << warning << Qt::endl;
    std::vector<LinkConfig> transports;
    for (const QString &text : parser_.values(kTransportOption)) {
        QString why;
        const auto config = ParseTransport(text, base, &why);
        if (!config) {
            Problem(QStringLiteral("--transport: ") + why);
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
    if (parser_.isSet(kTraceOption))
        registry_->SetTraceFile(parser_.value(kTraceOption), parser_.isSet(kAllOption));
    return true;
}

QString Cli::LanguageCode(const QString &asked) const
{
    const QString code = asked.trimmed().toUpper();
    if (code.isEmpty() || ExtensionToLocale(code) == 0)
        return {};
    const QString builtin = QString::fromLatin1(kBuiltinLocaleCode);
    if (code.left(2) == builtin)
        return builtin;
    // "ENU" falls back to the language's "EN" module, as in the window.
    QStringList tries{code};
    if (code.size() == 3)
        tries << code.left(2);
    for (const QString &attempt : tries) {
        if (!FindLanguageModuleFile(folders_.lookup, windowProgram_, attempt).isEmpty())
            return attempt;
    }
    return {};
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
        return Msg(msg::kBreakNotSent);
    const InitOutcome outcome = c.session->Init(code);
    return outcome == InitOutcome::Ok ? QString() : Msg(OutcomeMessage(outcome));
}

std::optional<std::vector<DeviceSlot>> Cli::Devices(int *exitCode)
{
    std::vector<DeviceSlot> devices = registry_->Enumerate();
    if (const QString twice = RepeatedIdentity(devices); !twice.isEmpty()) {
        *exitCode = kExitUsage;
        Problem(QStringLiteral("receiver %1 is reached twice by the transports given; name each receiver once")
                    .arg(twice));
        return std::nullopt;
    }
    return devices;
}

std::optional<DeviceSlot> Cli::ChosenSlot(int *exitCode)
{
    const auto found = Devices(exitCode);
    if (!found)
        return std::nullopt;
    const std::vector<DeviceSlot> &devices = *found;
    const QString name = parser_.value(kDeviceOption);
    if (const auto slot = ChooseDevice(devices, name))
        return slot;
    *exitCode = kExitUsage;
    if (!name.isEmpty()) {
        Problem(QStringLiteral("no device \"%1\"; see the list command").arg(name));
    } else if (devices.empty()) {
        *exitCode = kExitDevice;
        Problem(Msg(msg::kNoDevice));
    } else {
        Problem(QStringLiteral("%1 devices found; choose one with --device").arg(devices.size()));
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
        *error = Msg(msg::kLinkFailed) + QLatin1Char(' ') + *error;
        return std::nullopt;
    }
    return c;
}

std::optional<Connection> Cli::OneDevice(std::uint8_t code, int *exitCode)
{
    const auto slot = ChosenSlot(exitCode);
    if (!slot)
        return std::nullopt;
    device_ = slot;
    QString error;
    auto c = Link(*slot, code, &error);
    if (!c) {
        *exitCode = kExitDevice;
        Problem(error);
        return std::nullopt;
    }
    AttachProgress(*c->session);
    return c;
}

void Cli::AttachProgress(DeviceSession &session)
{
    if (!s_.progressOnTerminal)
        return;
    auto pace = std::make_shared<ProgressPace>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(&session, &DeviceSession::progressChanged, &session, [this, pace, clock](int percent) {
        if (!pace->Due(percent, clock->elapsed()))
            return;
        constexpr int kWidth = 30;
        const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
        s_.err << "\r[" << QString(filled, QLatin1Char('#')) << QString(kWidth - filled, QLatin1Char('.'))
               << "] " << qSetFieldWidth(3) << percent << qSetFieldWidth(0) << '%' << Qt::flush;
        progressShown_ = true;
    });
}

void Cli::WatchWrite(DeviceSession &session)
{
    auto transfer = std::make_shared<QElapsedTimer>();
    auto last = std::make_shared<int>(-1);
    QObject::connect(&session, &DeviceSession::progressChanged, &session, [this, transfer, last](int percent) {
        // A lower percent starts the next transfer.
        if (percent < *last || !transfer->isValid())
            transfer->start();
        *last = percent;
        if (!TakeSignalNotice())
            return;
        if (progressShown_.exchange(false))
            s_.err << Qt::endl;
        s_.err << catalogue_.Format(msg::kWriteRunningOnSignal, std::max(SecondsLeft(percent, transfer->elapsed()), 1))
               << Qt::endl;
    });
}

void Cli::EndProgress()
{
    if (progressShown_.exchange(false))
        s_.err << Qt::endl;
}

int Cli::Report(const JobResult &result)
{
    const bool fine = result.exitCode == kExitOk || result.exitCode == kExitNothingToDo;
    if (result.text.isEmpty())
        return result.exitCode;
    if (fine)
        Out() << result.text << Qt::endl;
    else
        Problem(result.text);
    return result.exitCode;
}

int Cli::Deliver(const JobResult &result)
{
    for (const QString &note : result.notes)
        Problem(note);
    for (const QJsonValue &file : result.record.value(QStringLiteral("files")).toArray())
        files_ << file.toString();
    extra_ = result.record;
    return Report(result);
}

int Cli::OnOne(std::uint8_t code, const ReceiverJob &job)
{
    int exitCode = kExitOk;
    auto c = OneDevice(code, &exitCode);
    if (!c)
        return exitCode;
    NameIfSimulated(c->slot);
    WatchWrite(*c->session);
    const JobResult result = job(*c);
    EndProgress();
    return Deliver(result);
}

int Cli::OnReceivers(const QString &action, const ReceiverJob &job)
{
    return parser_.isSet(kAllOption) ? RunAll(action, kInitOtherPages, job) : OnOne(kInitOtherPages, job);
}

int Cli::RunAll(const QString &action, std::uint8_t code, const ReceiverJob &job)
{
    return RunAll(action, [this, code, &job](const DeviceSlot &slot, int liveRow) {
        QString error;
        auto c = Link(slot, code, &error);
        if (!c)
            return JobResult{kExitDevice, error};
        WatchWrite(*c->session);
        if (liveRow >= 0)
            WatchLive(*c->session, liveRow, Label(slot));
        return job(*c);
    });
}

bool Cli::MakeFolder(const QString &folder)
{
    if (QDir().mkpath(folder))
        return true;
    Problem(QStringLiteral("cannot create the folder %1").arg(folder));
    return false;
}

int Cli::IntoFolder(const QString &action, const QString &folder, const QString &suffix, FileJob job)
{
    // "out.rrg" typed from habit would otherwise become a folder of that name.
    const QFileInfo info(folder);
    if ((info.exists() && !info.isDir()) || (!info.exists() && info.suffix().compare(suffix, Qt::CaseInsensitive) == 0))
        return Fail(kExitUsage, catalogue_.Format(msg::kAllTakesFolder, DisplayPath(folder)));
    if (!MakeFolder(folder))
        return kExitUsage;
    return RunAll(action, kInitOtherPages, [this, folder, suffix, job](Connection &c) {
        // The names --backup-first gives its copies: where it is plugged in, and its firmware.
        const QString wanted = QDir(folder).filePath(ReceiverFileStem(c.slot) + QStringLiteral("_v")
                                                     + FormatDeviceVersion(c.session->Info().versionByte)
                                                     + QLatin1Char('.') + suffix);
        return IntoNewFile(wanted, [&](const QString &path) { return job(*c.session, path, catalogue_); });
    });
}

int Cli::List()
{
    int exitCode = kExitOk;
    const auto found = Devices(&exitCode);
    if (!found)
        return exitCode;
    const std::vector<DeviceSlot> &devices = *found;
    if (devices.empty()) {
        // An empty list is still a list to a script.
        if (json_)
            PrintJson(QJsonArray());
        return Fail(kExitDevice, Msg(msg::kNoDevice));
    }
    QJsonArray rows;
    for (const DeviceSlot &slot : devices) {
        QString error;
        auto c = Connect(slot, &error);
        if (c)
            error = Enter(*c, kInitMainPage);
        QJsonObject row = DeviceRecord(slot);
        QStringList columns{slot.id, Shown(slot)};
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
        if (!json_)
            s_.out << columns.join(QLatin1Char('\t')) << Qt::endl;
    }
    if (json_)
        PrintJson(rows);
    return exitCode;
}

int Cli::Info()
{
    const auto job = [this](Connection &c) { return InfoJob(*c.session, catalogue_); };
    if (parser_.isSet(kAllOption))
        return RunAll(QStringLiteral("info"), kInitMainPage, job);
    int exitCode = kExitOk;
    auto c = OneDevice(kInitMainPage, &exitCode);
    if (!c)
        return exitCode;
    extra_ = job(*c).record;
    if (json_)
        return kExitOk;
    const DeviceInfo &info = c->session->Info();
    s_.out << "device: " << c->slot.id << '\n'
           << "identity: " << Shown(c->slot) << '\n'
           << "transport: " << c->slot.transport << '\n'
           << "path: " << c->slot.path << '\n'
           << "class: " << info.deviceClass << '\n'
           << "type: " << Msg(DeviceTypeMessage(info.deviceClass)) << '\n'
           << "version: " << FormatDeviceVersion(info.versionByte) << Qt::endl;
    return kExitOk;
}

int Cli::ReadSettings(const QString &path)
{
    if (parser_.isSet(kAllOption))
        return IntoFolder(QStringLiteral("read-settings"), path, QStringLiteral("cfg"), &ReadSettingsJob);
    return OnOne(kInitOtherPages, [&](Connection &c) { return ReadSettingsJob(*c.session, path, catalogue_); });
}

int Cli::WriteSettings(const QString &path)
{
    // Every section is checked: one the file does not carry is all 0, which
    // every field allows.
    const ops::SettingsFileVerdict file = ops::AcceptSettingsFile(path, ops::SectionSet::Both());
    if (!file.ok())
        return Fail(kExitUsage, ops::DescribeSettingsFile(file, path, catalogue_));
    if (parser_.isSet(kDryRunOption)) {
        if (parser_.isSet(kAllOption))
            return Fail(kExitUsage, QStringLiteral("--dry-run shows one receiver's changes: choose it with --device"));
        return RunDryRun(path, file, Diffs());
    }
    return OnReceivers(QStringLiteral("write-settings"),
                       [&](Connection &c) { return WriteSettingsJob(*c.session, file, catalogue_); });
}

DiffHost Cli::Diffs()
{
    return {catalogue_, locale_, json_, Out(), [this](const QString &text) { Problem(text); },
            [this](const QJsonObject &record) { PrintJson(record); },
            [this](int *exitCode) { return DeviceSettings(exitCode); },
            [this] { return device_ ? DeviceRecord(*device_) : QJsonObject(); }};
}

std::optional<SettingsImage> Cli::DeviceSettings(int *exitCode)
{
    auto c = OneDevice(kInitOtherPages, exitCode);
    if (!c)
        return std::nullopt;
    NameIfSimulated(c->slot);
    const ops::SettingsReadVerdict read = ops::ReadSettings(*c->session, ops::SectionSet::Both(),
                                                            ops::Entry::AsEntered);
    EndProgress();
    if (!read.ok()) {
        *exitCode = Fail(kExitDevice, Msg(read.message));
        return std::nullopt;
    }
    return read.image;
}

int Cli::Backup(const QString &path)
{
    if (parser_.isSet(kAllOption))
        return IntoFolder(QStringLiteral("backup"), path, QStringLiteral("rrg"), &BackupJob);
    return OnOne(kInitOtherPages, [&](Connection &c) { return BackupJob(*c.session, path, catalogue_); });
}

int Cli::Restore(const QString &path)
{
    const FileResult<RegistrationBackup> file = ReadRegistrationBackup(path);
    if (!file.ok())
        return FileFail(file.error, path);
    return OnReceivers(QStringLiteral("restore"),
                       [&](Connection &c) { return RestoreJob(*c.session, *file.value, catalogue_); });
}

std::optional<bool> Cli::AskToUpdate(const QString &fileName)
{
    // Nothing is written yet: Ctrl-C at the question ends the command as always.
    const WriteGuardPause asking;
    s_.err << Msg(msg::kNewerFirmwareFound) << " (" << fileName << ") [y/N] " << Qt::flush;
    const QString answer = s_.in.readLine().trimmed();
    if (answer.isNull())
        return std::nullopt;
    return answer.startsWith(QLatin1Char('y'), Qt::CaseInsensitive)
        || answer.startsWith(QChar(0x0434), Qt::CaseInsensitive);  // "д"
}

void Cli::DrawLiveLine(int row, const QString &text)
{
    const std::lock_guard lock(liveMutex_);
    RewriteLiveLine(s_.err, liveLines_ - row, text);
}

void Cli::WatchLive(DeviceSession &session, int row, const QString &label)
{
    auto pace = std::make_shared<ProgressPace>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(&session, &DeviceSession::progressChanged, &session, [=, this](int percent) {
        if (pace->Due(percent, clock->elapsed()))
            DrawLiveLine(row, QStringLiteral("%1: %2%").arg(label).arg(percent));
    });
}

JobResult Cli::UpdateDevice(const DeviceSlot &slot, const FirmwareJob &job, int liveRow)
{
    const QString label = Label(slot);
    QString error;
    auto first = Link(slot, kInitMainPage, &error);
    if (!first)
        return {kExitDevice, error};
    if (job.progress)
        AttachProgress(*first->session);
    WatchWrite(*first->session);
    if (liveRow >= 0)
        WatchLive(*first->session, liveRow, label);
    // The renewed link's session is watched too: the restore after the image is a write.
    SlotReceiver receiver(std::move(first), [this, slot, liveRow, label](QString *e) {
        auto c = Link(slot, kInitMainPage, e);
        if (c) {
            WatchWrite(*c->session);
            if (liveRow >= 0)
                WatchLive(*c->session, liveRow, label);
        }
        return c;
    });
    ops::FirmwareUpdateRequest request = job.request;
    request.backupStem = ReceiverFileStem(slot);
    // From the first exchange to the read-back of the restore: one write the receiver must not be cut in.
    const WriteGuard writing;
    if (auto stopped = StoppedBeforeWrite(catalogue_))
        return *stopped;
    const ops::FirmwareUpdateVerdict verdict = ops::UpdateFirmware(receiver, request, catalogue_);
    // Jobs of --all share this object and draw no bar: nothing to end there.
    if (job.progress)
        EndProgress();
    return UpdateReport(verdict, catalogue_);
}

int Cli::RunAll(const QString &action, const SlotJob &job)
{
    int refused = kExitOk;
    const auto found = Devices(&refused);
    if (!found)
        return refused;
    const std::vector<DeviceSlot> &devices = *found;
    if (devices.empty())
        return Fail(kExitDevice, Msg(msg::kNoDevice));
    // The in-process simulator's devices are one object: it cannot serve two threads.
    if (devices.size() > 1 && std::any_of(devices.begin(), devices.end(), [](const DeviceSlot &d) {
            return d.transport == QLatin1String("simulator");
        }))
        return Fail(kExitUsage, QStringLiteral("--all needs devices of their own: use usb or socket: transports"));

    std::vector<TableRow> rows(devices.size());
    // On a terminal one live line per receiver, so a long batch is never silent.
    const bool live = s_.progressOnTerminal;
    if (live) {
        liveLines_ = int(devices.size());
        for (const DeviceSlot &slot : devices)
            s_.err << slot.id << ' ' << Shown(slot) << ": …" << Qt::endl;
    }
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        rows[i].device = Label(devices[i]);
        threads.emplace_back([this, &action, &job, &devices, &rows, i, live] {
            QElapsedTimer timer;
            timer.start();
            // Every row names its receiver, and a simulated one says so.
            rows[i].result = Named(devices[i], action, job(devices[i], live ? int(i) : -1));
            rows[i].ms = timer.elapsed();
            if (live)
                DrawLiveLine(int(i), rows[i].device + QStringLiteral(": ")
                                         + (rows[i].result.exitCode == kExitOk ? QStringLiteral("ok") : VerdictName(rows[i].result.exitCode)));
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    if (json_)
        PrintJson(JobTableJson(rows));
    else
        PrintJobTable(s_.out, rows);
    return WorstExitCode(rows);
}

int Cli::UpdateFirmware(const QStringList &args)
{
    FirmwareJob job;
    ops::FirmwareUpdateRequest &request = job.request;
    const bool newest = parser_.isSet(kNewestOption);
    const bool all = parser_.isSet(kAllOption);
    if (newest == (args.size() == 1) || args.size() > 1)
        return Fail(kExitUsage, QStringLiteral("update-firmware takes one firmware file or --newest"));
    if (all && newest && !parser_.isSet(kYesOption))
        return Fail(kExitUsage, QStringLiteral("--all --newest asks no questions: add --yes"));
    request.restoreAfter = parser_.isSet(kRestoreAfterOption);
    request.backupDir = parser_.value(kBackupFirstOption);
    request.allowClassChange = parser_.isSet(kAllowClassChangeOption);
    request.allowOlder = parser_.isSet(kAllowOlderOption);
    request.allowReinstall = parser_.isSet(kAllowReinstallOption);
    if (newest && (request.allowOlder || request.allowReinstall))
        return Fail(kExitUsage, QStringLiteral("--newest writes only newer firmware: --allow-older and "
                                               "--allow-reinstall go with a file"));
    if (request.restoreAfter && request.backupDir.isEmpty())
        return Fail(kExitUsage, QStringLiteral("--restore-after needs --backup-first DIR"));
    if (!request.backupDir.isEmpty() && !MakeFolder(request.backupDir))
        return kExitUsage;
    request.baseDirs = parser_.isSet(kBaseOption) ? QStringList{parser_.value(kBaseOption)}
                                                  : folders_.FirmwareFolders();
    if (!parser_.isSet(kYesOption))
        request.confirm = [this](const QString &name) { return AskToUpdate(name); };
    job.progress = !all && s_.progressOnTerminal;
    if (!newest) {
        request.file = ReadFirmwareFile(args.front());
        if (!request.file->accepted())
            return Fail(kExitUsage, ops::RefusedFirmwareText(*request.file, args.front(), catalogue_));
    }
    if (all)
        return RunAll(QStringLiteral("update-firmware"),
                      [this, &job](const DeviceSlot &slot, int liveRow) { return UpdateDevice(slot, job, liveRow); });
    int exitCode = kExitOk;
    const auto slot = ChosenSlot(&exitCode);
    if (!slot)
        return exitCode;
    device_ = slot;
    const JobResult result = Named(*slot, QStringLiteral("update-firmware"), UpdateDevice(*slot, job));
    if (json_) {
        if (result.exitCode != kExitOk && result.exitCode != kExitNothingToDo)
            s_.err << result.text << Qt::endl;
        PrintJson(result.record);
        return result.exitCode;
    }
    return Report({result.exitCode, Shown(*slot) + QStringLiteral(": ") + result.text, {}});
}
} // namespace

int RunCli(const QStringList &arguments, const QString &programDir, CliStreams streams)
{
    Cli cli(programDir, streams);
    const int code = cli.Run(arguments);
    // A failure says more than the signal; otherwise the caller learns the signal came.
    if (HeldSignal() != 0 && (code == kExitOk || code == kExitNothingToDo))
        return kExitSignalled;
    return code;
}

} // namespace rpu::cli
