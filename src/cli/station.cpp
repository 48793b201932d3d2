#include "cli/station.h"

#include "cli/clioptions.h"
#include "cli/clireport.h"
#include "cli/writeguard.h"
#include "files/backupname.h"
#include "files/programfolders.h"
#include "firmware/firmwarefile.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "link/arrivals.h"
#include "link/devicelink.h"
#include "link/linkconfig.h"
#include "link/precisepause.h"
#include "ops/firmwareops.h"
#include "ops/receivermemory.h"
#include "ops/settingsdiff.h"
#include "ops/settingsops.h"
#include "session/devicesession.h"
#include "session/outcomemessages.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace rpu::cli {

namespace {

const QCommandLineOption kFirmwareOption(QStringLiteral("firmware"),
    QStringLiteral("station: write this firmware when the rule allows (see --allow-*)"), QStringLiteral("FILE"));
const QCommandLineOption kSettingsOption(QStringLiteral("settings"),
    QStringLiteral("station: write this settings file into each receiver and read it back"), QStringLiteral("FILE"));
const QCommandLineOption kBackupDirOption(QStringLiteral("backup-dir"),
    QStringLiteral("station: each receiver's memory and settings are saved to DIR first"), QStringLiteral("DIR"));
const QCommandLineOption kRecordOption(QStringLiteral("record"),
    QStringLiteral("station: one JSON line per receiver is appended to FILE"), QStringLiteral("FILE"));
const QCommandLineOption kCountOption(QStringLiteral("count"),
    QStringLiteral("station: stop after N receivers (default: at Ctrl-C)"), QStringLiteral("N"));

class SleepingPacer final : public Pacer {
public:
    void Pause(int milliseconds) override { PausePrecisely(milliseconds); }
    void ProcessEvents() override {}
};

enum class Step { Identify, Backup, Firmware, Restore, Settings };
struct StepName {
    const char *key; // the record's word
    int message;     // the live line's
};
StepName NameOf(Step step)
{
    switch (step) {
    case Step::Identify: return {"identify", msg::kStepIdentify};
    case Step::Backup: return {"backup", msg::kStepBackup};
    case Step::Firmware: return {"firmware", msg::kStepFirmware};
    case Step::Restore: return {"restore", msg::kStepRestore};
    case Step::Settings: return {"settings", msg::kStepSettings};
    }
    return {"", 0};
}

// The record file: each record one write() with O_APPEND, under a lock, so
// records of receivers finishing together never interleave, and each is on
// the disk before the next receiver is told it is done.
class RecordFile {
public:
    ~RecordFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    const QString &Path() const { return path_; }
    // The text of a failure, or empty.
    QString Open(const QString &path, const MessageCatalogue &catalogue)
    {
        path_ = path;
        struct stat st{};
        const QByteArray native = QFile::encodeName(path);
        if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode))
            return catalogue.Format(msg::kFileNotRegularWrite, path);
        // O_NONBLOCK: a FIFO put there meanwhile must not hold the station up.
        fd_ = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
        if (fd_ < 0 || ::fstat(fd_, &st) != 0)
            return catalogue.Format(msg::kRecordNotWritten, {path, QString::fromLocal8Bit(std::strerror(errno))});
        if (!S_ISREG(st.st_mode))
            return catalogue.Format(msg::kFileNotRegularWrite, path);
        ::fcntl(fd_, F_SETFL, O_APPEND);
        return {};
    }
    bool Append(const QJsonObject &record, QString *error)
    {
        const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
        const std::lock_guard lock(mutex_);
        const ssize_t n = ::write(fd_, line.constData(), std::size_t(line.size()));
        if (n != ssize_t(line.size()) || ::fdatasync(fd_) != 0) {
            *error = n < 0 || n == ssize_t(line.size()) ? QString::fromLocal8Bit(std::strerror(errno))
                                                        : QStringLiteral("only %1 of %2 bytes written").arg(n).arg(line.size());
            return false;
        }
        return true;
    }

private:
    QString path_;
    int fd_ = -1;
    std::mutex mutex_;
};

// One arrived receiver, reached again over new pipes whenever the plan asks
// (after its firmware write it restarts).
class ArrivedReceiver final : public ops::ReceiverAccess {
public:
    ArrivedReceiver(ArrivalWatch &watch, Arrival arrival, const MessageCatalogue &catalogue,
                    std::function<void(DeviceSession &)> onSession)
        : watch_(watch), arrival_(std::move(arrival)), catalogue_(catalogue), onSession_(std::move(onSession))
    {
    }
    DeviceSession *Session() override { return session_.get(); }
    bool Relink(QString *error) override
    {
        Drop();
        transport_ = watch_.Open(arrival_, error);
        if (!transport_)
            return false;
        session_ = std::make_unique<DeviceSession>(nullptr, *transport_, pacer_, catalogue_);
        const int failed = !session_->Break() ? msg::kBreakNotSent : OutcomeMessage(session_->Init(kInitMainPage));
        if (failed != 0) {
            *error = catalogue_.Text(msg::kLinkFailed) + QLatin1Char(' ') + catalogue_.Text(failed);
            Drop();
            return false;
        }
        onSession_(*session_);
        return true;
    }
    void Drop() override
    {
        session_.reset();
        transport_.reset();
    }

private:
    ArrivalWatch &watch_;
    Arrival arrival_;
    const MessageCatalogue &catalogue_;
    std::function<void(DeviceSession &)> onSession_;
    SleepingPacer pacer_;
    std::unique_ptr<Transport> transport_;
    std::unique_ptr<DeviceSession> session_;
};

struct Plan {
    std::optional<FirmwareFile> firmware; // with newest: none, the base folders decide
    bool newest = false;
    QStringList baseDirs;
    bool allowClassChange = false;
    bool allowOlder = false;
    bool allowReinstall = false;
    std::optional<ops::SettingsFileVerdict> settings;
    QString backupDir;
};

class Station {
public:
    Station(const MessageCatalogue &catalogue, CliStreams streams, bool json)
        : catalogue_(catalogue), s_(streams), json_(json), live_(streams.progressOnTerminal && !json)
    {
    }
    int Run(ArrivalWatch &watch, const Plan &plan, RecordFile &record, int count, const QString &transportText);

private:
    QString Msg(int n) const { return catalogue_.Text(n); }
    QString Label(const Arrival &a) const
    {
        return a.transport == QLatin1String("socket") ? catalogue_.Format(msg::kSimulatedDevice, a.identity) : a.identity;
    }
    // The receiver's plan; its record, ok set when every step was.
    QJsonObject Process(ArrivalWatch &watch, const Arrival &arrival, const Plan &plan, int row, bool *ok);
    int AddLine(const QString &text);
    // A line of the station's own, below the receivers' lines (which stay in place).
    void Say(const QString &text);
    void Line(int row, const QString &text, const char *colour = nullptr);

    const MessageCatalogue &catalogue_;
    CliStreams s_;
    bool json_;
    bool live_;
    std::mutex outMutex_;
    int rows_ = 0;
};

int Station::AddLine(const QString &text)
{
    const std::lock_guard lock(outMutex_);
    if (live_)
        s_.err << text << Qt::endl;
    return rows_++;
}

void Station::Say(const QString &text)
{
    const std::lock_guard lock(outMutex_);
    s_.err << text << Qt::endl;
    if (live_)
        ++rows_;
}

void Station::Line(int row, const QString &text, const char *colour)
{
    const std::lock_guard lock(outMutex_);
    if (!live_) {
        // Only the last word on a receiver is worth a line when no one watches.
        if (colour && !json_)
            s_.out << text << Qt::endl;
        return;
    }
    RewriteLiveLine(s_.err, rows_ - row, text, colour);
}

QJsonObject Station::Process(ArrivalWatch &watch, const Arrival &arrival, const Plan &plan, int row, bool *ok)
{
    const QDateTime start = QDateTime::currentDateTimeUtc();
    const QString label = Label(arrival);
    QJsonObject record{{QStringLiteral("identity"), arrival.identity},
                       {QStringLiteral("transport"), arrival.transport},
                       {QStringLiteral("path"), arrival.path},
                       {QStringLiteral("simulated"), watch.Simulated()},
                       {QStringLiteral("start"), start.toString(Qt::ISODateWithMs)}};
    QJsonArray steps;
    QStringList files;
    Step current = Step::Identify;
    const auto show = [&](Step step, int percent = -1) {
        QString text = label + QStringLiteral(": ") + Msg(NameOf(step).message);
        if (percent >= 0)
            text += QStringLiteral(" %1%").arg(percent);
        Line(row, text);
    };
    const auto begin = [&](Step step) {
        current = step;
        show(step);
    };
    const auto note = [&](Step step, const char *verdict, const QString &message = {}) {
        const QJsonObject entry{{QStringLiteral("step"), QLatin1String(NameOf(step).key)},
                                {QStringLiteral("verdict"), QLatin1String(verdict)},
                                {QStringLiteral("message"), message}};
        // The closing read fails the step that ran last: its entry is replaced, not repeated.
        if (!steps.isEmpty() && steps.last()[QStringLiteral("step")] == entry[QStringLiteral("step")])
            steps.last() = entry;
        else
            steps.append(entry);
    };
    auto pace = std::make_shared<ProgressPace>();
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    ArrivedReceiver receiver(watch, arrival, catalogue_, [&, pace, clock](DeviceSession &session) {
        QObject::connect(&session, &DeviceSession::progressChanged, &session, [&, pace, clock](int percent) {
            if (pace->Due(percent, clock->elapsed()))
                show(current, percent);
        });
    });
    std::optional<Step> failedAt;
    const auto finish = [&](const QString &failure) {
        *ok = !failedAt;
        // Every step is named, those a failure kept from running too.
        for (int later = int(current) + 1; later <= int(Step::Settings); ++later)
            note(Step(later), "not-run");
        record.insert(QStringLiteral("end"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
        record.insert(QStringLiteral("files"), QJsonArray::fromStringList(files));
        record.insert(QStringLiteral("steps"), steps);
        record.insert(QStringLiteral("verdict"), *ok ? QStringLiteral("ok") : QStringLiteral("failed"));
        if (failedAt) {
            record.insert(QStringLiteral("failedStep"), QLatin1String(NameOf(*failedAt).key));
            record.insert(QStringLiteral("message"), failure);
        }
        Line(row, label + QStringLiteral(": ")
                      + (*ok ? Msg(msg::kStationDone)
                             : catalogue_.Format(msg::kStepFailed, {Msg(NameOf(*failedAt).message), failure})),
             *ok ? "\x1b[32m" : "\x1b[31m");
        return record;
    };
    const auto fail = [&](const QString &why) {
        note(current, "failed", why);
        failedAt = current;
        return finish(why);
    };
    const auto setVersion = [&](const char *key, int versionByte) {
        record.insert(QLatin1String(key), FormatDeviceVersion(versionByte));
        record.insert(QLatin1String(key) + QStringLiteral("Byte"), versionByte);
    };

    begin(Step::Identify);
    QString error;
    if (!receiver.Relink(&error))
        return fail(error);
    const DeviceInfo before = receiver.Session()->Info();
    record.insert(QStringLiteral("class"), before.deviceClass);
    record.insert(QStringLiteral("type"), Msg(DeviceTypeMessage(before.deviceClass)));
    setVersion("versionBefore", before.versionByte);
    setVersion("versionAfter", before.versionByte);
    note(Step::Identify, "ok");

    begin(Step::Backup);
    // Named by where it is plugged in and when: a re-plugged receiver gets a copy of its own.
    const QString where = arrival.transport + QLatin1Char('-') + QFileInfo(arrival.path).fileName();
    const QString stem = FileNameSafePiece(where) + QLatin1Char('_') + start.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"))
                         + QStringLiteral("_v") + FormatDeviceVersion(before.versionByte);
    const ops::MemoryCopyVerdict copy = ops::CopyReceiverMemory(*receiver.Session(), plan.backupDir, stem, catalogue_);
    files << copy.files;
    if (!copy.ok())
        return fail(copy.message != 0 ? Msg(copy.message) : copy.detail);
    QStringList faults;
    for (const ops::SectionFault &fault : copy.settingsFaults)
        faults << ops::DescribeSectionFault(fault, catalogue_);
    note(Step::Backup, "ok", faults.join(QLatin1Char(' ')));

    bool written = false;
    if (plan.firmware || plan.newest) {
        begin(Step::Firmware);
        // The firmware goes to a receiver entered for the main page, as in the window.
        if (!receiver.Relink(&error))
            return fail(error);
        ops::FirmwareUpdateRequest request;
        request.file = plan.firmware;
        request.baseDirs = plan.baseDirs;
        request.allowClassChange = plan.allowClassChange;
        request.allowOlder = plan.allowOlder;
        request.allowReinstall = plan.allowReinstall;
        const ops::FirmwareUpdateVerdict update = [&] {
            const WriteGuard writing;
            return ops::UpdateFirmware(receiver, request, catalogue_);
        }();
        written = update.written;
        if (update.versionAfter >= 0)
            setVersion("versionAfter", update.versionAfter);
        const JobResult said = UpdateReport(update, catalogue_);
        const bool nothing = update.step == ops::UpdateStep::NothingNewer || update.step == ops::UpdateStep::NotNewer;
        // Only the receiver that took the image: after a relink to another one the copy is not its own.
        if (!update.ok() && update.step != ops::UpdateStep::Version)
            return fail(said.text);
        if (!update.ok()) {
            // Written, then the version check failed: a new image may start
            // with its memory cleared, so the copy goes back all the same.
            note(Step::Firmware, "failed", said.text);
            failedAt = Step::Firmware;
            begin(Step::Restore);
            const ops::BlockWriteVerdict restore = [&] {
                const WriteGuard writing;
                return ops::WriteBackMemory(*receiver.Session(), copy.memory);
            }();
            note(Step::Restore, restore.ok() ? "ok" : "failed", WriteReport(restore, msg::kBackupWritten, catalogue_).text);
            return finish(said.text);
        }
        note(Step::Firmware, nothing ? "nothing-to-do" : "ok", said.text);
    } else {
        note(Step::Firmware, "skipped");
    }

    if (written) {
        begin(Step::Restore);
        const ops::BlockWriteVerdict restore = [&] {
            const WriteGuard writing;
            return ops::WriteBackMemory(*receiver.Session(), copy.memory);
        }();
        const JobResult said = WriteReport(restore, msg::kBackupWritten, catalogue_);
        if (!restore.ok())
            return fail(said.text);
        note(Step::Restore, "ok", said.text);
    } else {
        note(Step::Restore, "skipped");
    }

    if (plan.settings) {
        begin(Step::Settings);
        const ops::SettingsWriteVerdict write = [&] {
            const WriteGuard writing;
            return ops::WriteSettings(*receiver.Session(), plan.settings->image, plan.settings->carried,
                                      ops::Entry::Renew, ops::ReadBack::Yes);
        }();
        if (write.message != 0)
            return fail(Msg(write.message));
        const JobResult said = WriteReport(write.write, msg::kSettingsWritten, catalogue_);
        if (!write.ok())
            return fail(said.text);
        note(Step::Settings, "ok", said.text);
    } else {
        note(Step::Settings, "skipped");
    }
    // What the receiver's settings came to, in the editors' words; a receiver
    // that no longer answers here fails its settings check.
    current = Step::Settings;
    const ops::SettingsReadVerdict after = ops::ReadSettings(*receiver.Session(), ops::SectionSet::Both(), ops::Entry::Renew);
    if (!after.ok())
        return fail(Msg(after.message));
    record.insert(QStringLiteral("settingsDiff"),
                  ops::SettingsChangesJson(ops::DiffSettings(copy.memory.settings, after.image, catalogue_)));
    return finish({});
}

int Station::Run(ArrivalWatch &watch, const Plan &plan, RecordFile &record, int count, const QString &transportText)
{
    // Ctrl-C is held for the whole run: it ends the station once the
    // receivers in progress are done, never one of them half-way.
    const WriteGuard holding;
    Say(catalogue_.Format(msg::kStationWaiting, transportText));

    std::mutex stateMutex;
    std::map<QString, qint64> busyUntil; // identity: its plan's end, or the far future while it runs
    // A long session sees hundreds of receivers: each thread is joined once it is done.
    std::map<int, std::thread> threads;
    std::vector<int> finished;
    const auto joinFinished = [&] {
        std::vector<int> done;
        {
            const std::lock_guard lock(stateMutex);
            done.swap(finished);
        }
        for (const int id : done) {
            threads[id].join();
            threads.erase(id);
        }
    };
    int started = 0;
    int succeeded = 0;
    int failed = 0;
    int inProgress = 0;
    bool recordFailed = false;
    while (count == 0 || started < count) {
        if (HeldSignal() != 0) {
            const std::lock_guard lock(stateMutex);
            Say(catalogue_.Format(msg::kStationStopping, inProgress));
            break;
        }
        joinFinished();
        const std::optional<Arrival> arrival = watch.Next(kArrivalScanMs);
        if (!arrival)
            continue;
        {
            const std::lock_guard lock(stateMutex);
            // A receiver restarting after its firmware, or seen again while its
            // plan ran, is the same round: only a later plug-in is a new one.
            const auto busy = busyUntil.find(arrival->identity);
            if (busy != busyUntil.end() && arrival->seenMs <= busy->second)
                continue;
            busyUntil[arrival->identity] = std::numeric_limits<qint64>::max();
            ++inProgress;
        }
        const int id = started++;
        const int row = AddLine(Label(*arrival) + QStringLiteral(": …"));
        threads[id] = std::thread([&, arrival = *arrival, row, id] {
            bool ok = false;
            QJsonObject line = Process(watch, arrival, plan, row, &ok);
            QString why;
            const bool kept = record.Append(line, &why);
            const std::lock_guard lock(stateMutex);
            if (!kept) {
                recordFailed = true;
                Say(catalogue_.Format(msg::kRecordNotWritten, {record.Path(), why}));
            }
            busyUntil[arrival.identity] = QDeadlineTimer::current().deadline();
            --inProgress;
            (ok ? succeeded : failed)++;
            finished.push_back(id);
        });
    }
    for (auto &[id, thread] : threads)
        thread.join();
    Say(catalogue_.Format(msg::kStationSummary, std::vector<FormatArg>{qint64(started), qint64(succeeded)}));
    if (recordFailed)
        return kExitDevice;
    return failed > 0 ? kExitDevice : kExitOk;
}

} // namespace

void AddStationOptions(QCommandLineParser &parser)
{
    parser.addOptions({kFirmwareOption, kSettingsOption, kBackupDirOption, kRecordOption, kCountOption});
}

int RunStation(const QCommandLineParser &parser, const MessageCatalogue &catalogue, CliStreams streams,
               const ProgramFolders &folders, const QStringList &arguments)
{
    const auto usage = [&](const QString &text) {
        streams.err << text << Qt::endl;
        return kExitUsage;
    };
    if (!arguments.isEmpty())
        return usage(QStringLiteral("station takes no file name; see --help"));
    if (parser.isSet(kDeviceOption) || parser.isSet(kAllOption))
        return usage(QStringLiteral("station takes every receiver that arrives: --device and --all do not apply"));
    if (!parser.isSet(kBackupDirOption) || !parser.isSet(kRecordOption))
        return usage(QStringLiteral("station needs --backup-dir DIR and --record FILE"));
    Plan plan;
    plan.newest = parser.isSet(kNewestOption);
    plan.allowClassChange = parser.isSet(kAllowClassChangeOption);
    plan.allowOlder = parser.isSet(kAllowOlderOption);
    plan.allowReinstall = parser.isSet(kAllowReinstallOption);
    if (plan.newest && parser.isSet(kFirmwareOption))
        return usage(QStringLiteral("--firmware and --newest exclude each other"));
    if (plan.newest && (plan.allowOlder || plan.allowReinstall))
        return usage(QStringLiteral("--newest writes only newer firmware: --allow-older and --allow-reinstall go "
                                    "with --firmware"));
    plan.baseDirs = parser.isSet(kBaseOption) ? QStringList{parser.value(kBaseOption)} : folders.FirmwareFolders();
    if (parser.isSet(kFirmwareOption)) {
        const QString path = parser.value(kFirmwareOption);
        plan.firmware = ReadFirmwareFile(path);
        if (!plan.firmware->accepted())
            return usage(ops::RefusedFirmwareText(*plan.firmware, path, catalogue));
    }
    if (parser.isSet(kSettingsOption)) {
        const QString path = parser.value(kSettingsOption);
        plan.settings = ops::AcceptSettingsFile(path, ops::SectionSet::Both());
        if (!plan.settings->ok())
            return usage(ops::DescribeSettingsFile(*plan.settings, path, catalogue));
    }
    int count = 0;
    if (parser.isSet(kCountOption)) {
        bool ok = false;
        count = parser.value(kCountOption).toInt(&ok);
        if (!ok || count < 1)
            return usage(QStringLiteral("--count takes a number of receivers from 1"));
    }
    // Absolute: the record names each copy wherever it is read.
    plan.backupDir = QDir(parser.value(kBackupDirOption)).absolutePath();
    if (!QDir().mkpath(plan.backupDir))
        return usage(QStringLiteral("cannot create the folder %1").arg(plan.backupDir));
    RecordFile record;
    if (const QString refused = record.Open(parser.value(kRecordOption), catalogue); !refused.isEmpty())
        return usage(refused);
    QString why;

    const QStringList transports = parser.values(kTransportOption);
    if (transports.size() > 1)
        return usage(QStringLiteral("station watches one transport"));
    const QString ini = parser.isSet(kConfigOption) ? parser.value(kConfigOption) : folders.configFile;
    LinkConfig config = ReadLinkConfig(ini);
    if (!transports.isEmpty()) {
        const auto parsed = ParseTransport(transports.front(), config, &why);
        if (!parsed)
            return usage(QStringLiteral("--transport: ") + why);
        config = *parsed;
    }
    const std::unique_ptr<ArrivalWatch> watch = WatchArrivals(config, &why);
    if (!watch)
        return usage(QStringLiteral("--transport: ") + why);
    const QString transportText = config.kind == LinkConfig::Kind::SocketDir ? QStringLiteral("socket-dir:") + config.socketDir
                                  : config.kind == LinkConfig::Kind::Socket  ? QStringLiteral("socket:") + config.socketPath
                                                                             : QStringLiteral("usb");
    Station station(catalogue, streams, parser.isSet(kJsonOption));
    return station.Run(*watch, plan, record, count, transportText);
}

} // namespace rpu::cli
