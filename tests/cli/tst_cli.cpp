// dorel-rpu-cli as a bench uses it: the built program against rpu-sim
// processes, judged by its exit codes, its output and the files it leaves.

#include "cli/benchdevices.h"
#include "cli/writeguard.h"
#include "link/linkconfig.h"
#include "link/simdevice.h"
#include "files/registrationfile.h"
#include "files/settingsfile.h"
#include "files/textlines.h"
#include "firmware/firmwarefile.h"
#include "settings/settingsimage.h"
#include "support/clirun.h"
#include "support/simprocess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#include <csignal>
#include <sys/stat.h>

using namespace rpu;
using rpu::test::CliRun;
using rpu::test::RunCli;
using rpu::test::SimProcess;

namespace {

// An image long enough to be mid-write when the signal comes.
constexpr int kSignalTestPackets = 800;
constexpr int kSignalAfterMs = 400;

QStringList NumberLines(const QString &path)
{
    auto lines = ReadTextLines(path);
    return lines.ok() ? *lines.value : QStringList{QStringLiteral("unreadable")};
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;

    QString Path(const QString &name) const { return dir.filePath(name); }

    // One simulator on "<name>.sock"; its memory kept in "<name>.state".
    QString StartSim(const QString &name, QStringList extra = {})
    {
        const QString socket = Path(name + QStringLiteral(".sock"));
        extra << QStringLiteral("--state") << Path(name + QStringLiteral(".state"));
        sims.push_back(std::make_unique<SimProcess>(socket, extra));
        if (!sims.back()->WaitReady())
            return {};
        return QStringLiteral("--transport=socket:") + socket;
    }

    CliRun Cli(const QStringList &args, const QByteArray &input = {})
    {
        return RunCli(args, Path(QStringLiteral("none.INI")), input);
    }

    QString WriteImage(const QString &name, int version, int packets)
    {
        QFile image(Path(name));
        if (!image.open(QIODevice::WriteOnly))
            return {};
        image.write(MakeFirmwareImage(kSelaFirmwareTypeCode, std::uint8_t(version), packets));
        return image.fileName();
    }

    QJsonArray ListJson(const QStringList &transports)
    {
        const CliRun run = Cli(QStringList{QStringLiteral("list"), QStringLiteral("--json")} + transports);
        return QJsonDocument::fromJson(run.out.toUtf8()).array();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QFile::exists(qEnvironmentVariable("RPU_BIN_DIR") + "/dorel-rpu-cli"));
    }

    void cleanup() { sims.clear(); }

    void listAndInfoWithTwoReceivers()
    {
        const QString a = StartSim(QStringLiteral("la"), {QStringLiteral("--version"), QStringLiteral("46")});
        const QString b = StartSim(QStringLiteral("lb"), {QStringLiteral("--version"), QStringLiteral("104")});
        QVERIFY(!a.isEmpty() && !b.isEmpty());

        const CliRun text = Cli({QStringLiteral("list"), a, b});
        QCOMPARE(text.exitCode, 0);
        const QStringList lines = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(QStringLiteral("\t2\tРПУ-SELA\t4_6")), qPrintable(lines[0]));
        QVERIFY2(lines[1].endsWith(QStringLiteral("\t0\tРадиоприемное устройство (РПУ/РТР)\t10_4")), qPrintable(lines[1]));

        const QJsonArray rows = ListJson({a, b});
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][QStringLiteral("path")].toString(), Path(QStringLiteral("la.sock")));
        QCOMPARE(rows[1][QStringLiteral("identity")].toString(), QStringLiteral("socket:") + Path(QStringLiteral("lb.sock")));
        // A simulator process is never taken for a receiver.
        QVERIFY2(lines[1].startsWith(QStringLiteral("2\tsocket:") + Path(QStringLiteral("lb.sock"))
                                     + QStringLiteral(" (СИМУЛЯТОР)\t")),
                 qPrintable(lines[1]));
        QCOMPARE(rows[1][QStringLiteral("simulated")].toBool(), true);
        QCOMPARE(rows[1][QStringLiteral("versionByte")].toInt(), 104);
        QCOMPARE(rows[1][QStringLiteral("class")].toInt(), 0);

        // The window's language modules speak for the command line too.
        const CliRun english = Cli({QStringLiteral("list"), QStringLiteral("--lang"), QStringLiteral("EN"), a});
        QVERIFY2(english.out.endsWith(QStringLiteral("\tRPU-SELA\t4_6\n")), qPrintable(english.out));

        // Two receivers and no choice is a usage error, not a guess.
        QCOMPARE(Cli({QStringLiteral("info"), a, b}).exitCode, 2);
        const CliRun chosen = Cli({QStringLiteral("info"), QStringLiteral("--device"), Path(QStringLiteral("lb.sock")), a, b});
        QCOMPARE(chosen.exitCode, 0);
        QVERIFY2(chosen.out.contains(QStringLiteral("version: 10_4")), qPrintable(chosen.out));
    }

    void silentReceiverFailsItsRowOnly()
    {
        const QString good = StartSim(QStringLiteral("sg"));
        const QString mute = StartSim(QStringLiteral("sm"), {QStringLiteral("--no-answer")});
        QVERIFY(!good.isEmpty() && !mute.isEmpty());
        const CliRun run = Cli({QStringLiteral("list"), good, mute});
        QCOMPARE(run.exitCode, 1);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith(QStringLiteral("4_6")));
        QVERIFY2(lines[1].endsWith(QStringLiteral("Не удалось получить данные из прибора!")), qPrintable(lines[1]));
    }

    void backupRestoreRoundTripWithReadBack()
    {
        const QString sim = StartSim(QStringLiteral("br"));
        QVERIFY(!sim.isEmpty());
        QCOMPARE(Cli({QStringLiteral("backup"), sim, Path(QStringLiteral("first.rrg"))}).exitCode, 0);
        const QStringList first = NumberLines(Path(QStringLiteral("first.rrg")));
        QCOMPARE(first.size(), 1792);

        QStringList changed;
        for (int i = 0; i < 1792; ++i)
            changed << QString::number((i * 13 + 5) & 0xFF);
        QVERIFY(changed != first);
        QVERIFY(WriteTextLines(Path(QStringLiteral("changed.rrg")), changed).ok());
        const CliRun restore = Cli({QStringLiteral("restore"), sim, Path(QStringLiteral("changed.rrg"))});
        QCOMPARE(restore.exitCode, 0);
        QVERIFY2(restore.out.contains(QStringLiteral("Контрольное чтение: данные совпадают с записанными")), qPrintable(restore.out + restore.err));
        // rpu-sim is no receiver: the result says so.
        QVERIFY2(restore.out.startsWith(QStringLiteral("socket:")) && restore.out.section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral("(СИМУЛЯТОР)")),
                 qPrintable(restore.out));

        QCOMPARE(Cli({QStringLiteral("backup"), sim, Path(QStringLiteral("again.rrg"))}).exitCode, 0);
        QCOMPARE(NumberLines(Path(QStringLiteral("again.rrg"))), changed);

        // A damaged backup never reaches the device.
        QStringList damaged = changed;
        damaged[700] = QStringLiteral("256");
        QVERIFY(WriteTextLines(Path(QStringLiteral("damaged.rrg")), damaged).ok());
        const CliRun refused = Cli({QStringLiteral("restore"), sim, Path(QStringLiteral("damaged.rrg"))});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("строка 701: недопустимое значение 256")), qPrintable(refused.err));
        // The file errors speak the chosen language too.
        const CliRun english = Cli({QStringLiteral("restore"), QStringLiteral("--lang"), QStringLiteral("EN"), sim,
                                    Path(QStringLiteral("damaged.rrg"))});
        QVERIFY2(english.err.contains(QStringLiteral("line 701: value 256 is not allowed")), qPrintable(english.err));
        QCOMPARE(Cli({QStringLiteral("backup"), sim, Path(QStringLiteral("after.rrg"))}).exitCode, 0);
        QCOMPARE(NumberLines(Path(QStringLiteral("after.rrg"))), changed);
    }

    void writeSettingsReadsBackAndRefusesBadFiles()
    {
        const QString sim = StartSim(QStringLiteral("ws"));
        QVERIFY(!sim.isEmpty());
        const SettingsImage &factory = FactorySettingsImage();
        const auto head = std::span<const quint32, kSettingsFileCells>(factory.data(), kSettingsFileCells);
        QVERIFY(WriteSettingsFile(Path(QStringLiteral("factory.cfg")), head).ok());

        const CliRun write = Cli({QStringLiteral("write-settings"), sim, Path(QStringLiteral("factory.cfg"))});
        QCOMPARE(write.exitCode, 0);
        QVERIFY2(write.out.contains(QStringLiteral("Настройки реле успешно записаны")), qPrintable(write.out));
        QVERIFY(write.out.contains(QStringLiteral("Контрольное чтение: данные совпадают с записанными")));
        // The factory file's RPU section is all 0: it does not carry one, so the
        // receiver's own (here all 0 too, without the marker) is kept.
        QVERIFY2(write.out.contains(QStringLiteral("оставлен как был")), qPrintable(write.out));
        QCOMPARE(Cli({QStringLiteral("read-settings"), sim, Path(QStringLiteral("read.cfg"))}).exitCode, 0);
        QCOMPARE(NumberLines(Path(QStringLiteral("read.cfg"))), SettingsFileLines(head));

        // A work mode beyond the table, and a short file: refused before any exchange.
        QStringList outOfRange = SettingsFileLines(head);
        const SettingsField &mode = *std::find_if(
            SettingsFields(SettingsSection::Relay).begin(), SettingsFields(SettingsSection::Relay).end(),
            [](const SettingsField &f) { return f.kind == FieldKind::WorkMode; });
        outOfRange[mode.offset] = QString::number(mode.maximum + 1);
        QVERIFY(WriteTextLines(Path(QStringLiteral("range.cfg")), outOfRange).ok());
        QVERIFY(WriteTextLines(Path(QStringLiteral("short.cfg")), outOfRange.mid(0, 95)).ok());
        for (const char *name : {"range.cfg", "short.cfg", "missing.cfg"}) {
            const CliRun bad = Cli({QStringLiteral("write-settings"), sim, Path(QLatin1String(name))});
            QVERIFY2(bad.exitCode == 2, name);
            QVERIFY2(!bad.err.isEmpty(), name);
        }
    }

    void updateFirmwareOfOneReceiver()
    {
        const QString a = StartSim(QStringLiteral("fa"));
        const QString b = StartSim(QStringLiteral("fb"));
        QVERIFY(!a.isEmpty() && !b.isEmpty());
        QFile image(Path(QStringLiteral("sela_4_9.bin")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(MakeFirmwareImage(kSelaFirmwareTypeCode, 49, 40));
        image.close();

        const CliRun run = Cli({QStringLiteral("update-firmware"), image.fileName(), QStringLiteral("--device=2"), a, b});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("ПО успешно записано в прибор: 4_6 → 4_9")), qPrintable(run.out + run.err));
        const QJsonArray rows = ListJson({a, b});
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][QStringLiteral("version")].toString(), QStringLiteral("4_6"));
        QCOMPARE(rows[1][QStringLiteral("version")].toString(), QStringLiteral("4_9"));
    }

    // An image of another class would lock every later update out: refused
    // unless asked for, and then written.
    void firmwareOfAnotherClassNeedsItsOption()
    {
        const QString sim = StartSim(QStringLiteral("cc"));
        QVERIFY(!sim.isEmpty());
        QFile image(Path(QStringLiteral("sela_3_0.bin")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(MakeFirmwareImage(kSelaFirmwareTypeCode, 30, 2));
        image.close();
        const CliRun refused = Cli({QStringLiteral("update-firmware"), image.fileName(), sim});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("сменила бы класс")), qPrintable(refused.err));
        QCOMPARE(ListJson({sim})[0][QStringLiteral("version")].toString(), QStringLiteral("4_6"));
        const CliRun allowed =
            Cli({QStringLiteral("update-firmware"), image.fileName(), QStringLiteral("--allow-class-change"), sim});
        QVERIFY2(allowed.exitCode == 0, qPrintable(allowed.err));
        QCOMPARE(ListJson({sim})[0][QStringLiteral("version")].toString(), QStringLiteral("3_0"));
    }

    void updateFirmwareNewestAsksFirst()
    {
        const QString sim = StartSim(QStringLiteral("nw"));
        QVERIFY(!sim.isEmpty());
        QVERIFY(QDir(Path(QString())).mkpath(QStringLiteral("base")));
        QFile image(Path(QStringLiteral("base/sela_4_7.bin")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(MakeFirmwareImage(kSelaFirmwareTypeCode, 47, 4));
        image.close();
        const QStringList args{QStringLiteral("update-firmware"), QStringLiteral("--newest"),
                               QStringLiteral("--base"), Path(QStringLiteral("base")), sim};

        QCOMPARE(Cli(args, "n\n").exitCode, 0);
        QCOMPARE(ListJson({sim})[0][QStringLiteral("version")].toString(), QStringLiteral("4_6"));
        QCOMPARE(Cli(args).exitCode, 2); // nobody to answer, and no --yes
        QCOMPARE(Cli(args, "y\n").exitCode, 0);
        QCOMPARE(ListJson({sim})[0][QStringLiteral("version")].toString(), QStringLiteral("4_7"));
        const CliRun again = Cli(args + QStringList{QStringLiteral("--yes")});
        QCOMPARE(again.exitCode, 3); // nothing to do has its own code
        QVERIFY(again.out.contains(QStringLiteral("Новых версий ПО не найдено")));
    }

    // Installed beside a share folder, the command line takes the window's
    // configuration file from the user's folder, the modules from the share
    // and the firmware from the user's and the shipped "base".
    // Installed, it reads the user's INI, the module from the share and the
    // firmware of the user's and the shipped "base" together.
    void installedUsesTheUserAndShareFolders()
    {
        const QString root = Path(QStringLiteral("installed"));
        const QString bin = root + "/usr/bin";
        const QString share = root + "/usr/share/dorel-rpu-sela";
        for (const QString &folder : {bin, share + "/base", root + "/data/dorel-rpu-sela/base"})
            QVERIFY(QDir().mkpath(folder));
        const QString built = qEnvironmentVariable("RPU_BIN_DIR") + "/dorel-rpu-cli";
        QVERIFY(QFile::copy(built, bin + "/dorel-rpu-cli"));
        QVERIFY(QFile::setPermissions(bin + "/dorel-rpu-cli", QFile::permissions(built)));
        QVERIFY(QFile::copy(qEnvironmentVariable("RPU_BIN_DIR") + "/dorel-rpu-sela.EN", share + "/dorel-rpu-sela.EN"));
        for (const auto &[file, version] : {std::pair{"usr/share/dorel-rpu-sela/base/rpu_sela_5_0", 50},
                                           std::pair{"data/dorel-rpu-sela/base/rpu_sela_5_1", 51}})
            QVERIFY(!WriteImage(QStringLiteral("installed/") + file, version, 1).isEmpty());
        QVERIFY(QDir().mkpath(root + "/config/dorel-rpu-sela"));
        QVERIFY(WriteTextLines(root + "/config/dorel-rpu-sela/dorel-rpu-sela.INI",
                               {"[Language]", "Default=EN", "[Device]", "Transport=simulator", "SimVersion=46"})
                    .ok());

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + "/data");
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + "/config");
        p.setProcessEnvironment(env);
        p.start(bin + "/dorel-rpu-cli", {QStringLiteral("update-firmware"), QStringLiteral("--newest")});
        p.write("n\n");
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(err.contains(QStringLiteral("Update the device firmware? (rpu_sela_5_1)")), qPrintable(err));
        QCOMPARE(QDir(bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"dorel-rpu-cli"});
    }

    void allUpdatesInParallelAndACutReceiverFailsAlone()
    {
        QStringList transports;
        for (int n = 1; n <= 4; ++n) {
            QStringList faults;
            if (n == 3)  // cut a few kilobytes into the firmware
                faults << QStringLiteral("--drop-after") << QStringLiteral("3000");
            transports << StartSim(QStringLiteral("all%1").arg(n), faults);
            QVERIFY(!transports.back().isEmpty());
        }
        const QString image = WriteImage(QStringLiteral("all.bin"), 49, 200);
        const CliRun run = Cli(QStringList{QStringLiteral("update-firmware"), image, QStringLiteral("--all"),
                                           QStringLiteral("--backup-first"), Path(QStringLiteral("saved")),
                                           QStringLiteral("--restore-after")} + transports);
        QCOMPARE(run.exitCode, 1);
        const QStringList table = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(table.size(), 5);
        for (int n = 1; n <= 4; ++n) {
            const bool cut = n == 3;
            QVERIFY2(table[n].contains(cut ? QStringLiteral("FAILED: Ошибка записи данных в прибор!")
                                           : QStringLiteral("ok: ПО успешно записано в прибор: 4_6 → 4_9; "
                                                            "Контрольное чтение: данные совпадают с записанными")),
                     qPrintable(table[n]));
            // Each row names the files that hold its receiver's copy, the cut one's too.
            QVERIFY2(table[n].contains(QStringLiteral("копия: ") + Path(QStringLiteral("saved/all%1.sock_v4_6.rrg").arg(n))),
                     qPrintable(table[n]));
        }
        const QJsonArray rows = ListJson(transports);
        QCOMPARE(rows.size(), 4);
        for (int n = 0; n < 4; ++n)
            QCOMPARE(rows[n][QStringLiteral("version")].toString(), QLatin1String(n == 2 ? "4_6" : "4_9"));
        // Every receiver was backed up before its firmware went out, the cut one too.
        QCOMPARE(QDir(Path(QStringLiteral("saved"))).entryList(QDir::Files).size(), 8);
    }

    // Receivers plugged in one after another while the station waits: each
    // goes through the whole plan, a receiver cut mid-plan fails alone at its step.
    void stationTakesReceiversAsTheyArrive_data()
    {
        QTest::addColumn<QStringList>("secondFaults");
        QTest::addColumn<QString>("secondFailedStep");
        QTest::newRow("both complete") << QStringList{} << QString();
        QTest::newRow("second cut during its firmware")
            << QStringList{QStringLiteral("--drop-after"), QStringLiteral("3000")} << QStringLiteral("firmware");
    }
    void stationTakesReceiversAsTheyArrive()
    {
        QFETCH(QStringList, secondFaults);
        QFETCH(QString, secondFailedStep);
        const QString bench = Path(QStringLiteral("bench-") + QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        QVERIFY(QDir().mkpath(bench));
        // Factory settings with one work mode changed, so that writing them shows.
        SettingsImage batch = FactorySettingsImage();
        const SettingsField &mode = *std::find_if(
            SettingsFields(SettingsSection::Relay).begin(), SettingsFields(SettingsSection::Relay).end(),
            [](const SettingsField &f) { return f.kind == FieldKind::WorkMode; });
        batch[mode.offset] = batch[mode.offset] == 1 ? 2 : 1;
        const auto head = std::span<const quint32, kSettingsFileCells>(batch.data(), kSettingsFileCells);
        QVERIFY(WriteSettingsFile(bench + QStringLiteral("/batch.cfg"), head).ok());
        const QString image = WriteImage(QStringLiteral("station.bin"), 49, 200);

        QProcess station;
        station.setProgram(qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/dorel-rpu-cli"));
        station.setArguments({QStringLiteral("station"), QStringLiteral("--transport"), QStringLiteral("socket-dir:") + bench + QStringLiteral("/D"),
                              QStringLiteral("--count"), QStringLiteral("2"), QStringLiteral("--firmware"), image,
                              QStringLiteral("--settings"), bench + QStringLiteral("/batch.cfg"),
                              QStringLiteral("--backup-dir"), bench + QStringLiteral("/B"),
                              QStringLiteral("--record"), bench + QStringLiteral("/R.jsonl"),
                              QStringLiteral("--config"), Path(QStringLiteral("none.INI"))});
        QVERIFY(QDir().mkpath(bench + QStringLiteral("/D")));
        const QStringList names{QStringLiteral("first"), QStringLiteral("second")};
        for (const QString &name : names) {
            if (station.state() == QProcess::NotRunning) {
                station.start();
                QVERIFY(station.waitForStarted());
            }
            QTest::qWait(600); // one after the other, the station already waiting
            QStringList extra{QStringLiteral("--state"), bench + QLatin1Char('/') + name + QStringLiteral(".state")};
            if (name == names[1])
                extra += secondFaults;
            sims.push_back(std::make_unique<SimProcess>(bench + QStringLiteral("/D/") + name + QStringLiteral(".sock"), extra));
            QVERIFY(sims.back()->WaitReady());
        }
        QVERIFY2(station.waitForFinished(60000), "the station did not end after --count receivers");
        const QString err = QString::fromUtf8(station.readAllStandardError());
        QCOMPARE(station.exitCode(), secondFailedStep.isEmpty() ? 0 : 1);

        QFile recordFile(bench + QStringLiteral("/R.jsonl"));
        QVERIFY(recordFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = recordFile.readAll().split('\n');
        QCOMPARE(lines.size(), 3); // two records and the end of the last line
        for (const QByteArray &line : lines.mid(0, 2)) {
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            const QString name = QFileInfo(record[QStringLiteral("path")].toString()).completeBaseName();
            const bool cut = name == names[1] && !secondFailedStep.isEmpty();
            QVERIFY2(names.contains(name), line.constData());
            QCOMPARE(record[QStringLiteral("verdict")].toString(), QLatin1String(cut ? "failed" : "ok"));
            QCOMPARE(record[QStringLiteral("versionBefore")].toString(), QStringLiteral("4_6"));
            QCOMPARE(record[QStringLiteral("versionAfter")].toString(), QLatin1String(cut ? "4_6" : "4_9"));
            QStringList verdicts;
            for (const QJsonValue &step : record[QStringLiteral("steps")].toArray())
                verdicts << step[QStringLiteral("step")].toString() + QLatin1Char('=') + step[QStringLiteral("verdict")].toString();
            const QStringList expected = cut ? QStringList{"identify=ok", "backup=ok", "firmware=failed", "restore=not-run", "settings=not-run"}
                                             : QStringList{"identify=ok", "backup=ok", "firmware=ok", "restore=ok", "settings=ok"};
            QCOMPARE(verdicts, expected);
            if (cut) {
                QCOMPARE(record[QStringLiteral("failedStep")].toString(), secondFailedStep);
                continue;
            }
            // The receiver holds the batch settings, and the record says what they changed.
            const QJsonArray diff = record[QStringLiteral("settingsDiff")].toArray();
            QVERIFY2(std::any_of(diff.begin(), diff.end(), [](const QJsonValue &change) {
                         return change[QStringLiteral("section")] == QLatin1String("relay")
                                && change[QStringLiteral("fieldId")] == QLatin1String("mode");
                     }),
                     line.constData());
            const QString readBack = bench + QLatin1Char('/') + name + QStringLiteral("-read.cfg");
            QCOMPARE(Cli({QStringLiteral("read-settings"), QStringLiteral("--transport=socket:") + bench + QStringLiteral("/D/") + name + QStringLiteral(".sock"), readBack}).exitCode, 0);
            QCOMPARE(NumberLines(readBack), SettingsFileLines(head));
        }
        // Each receiver backed up before anything was written, the cut one too.
        QCOMPARE(QDir(bench + QStringLiteral("/B")).entryList({QStringLiteral("*.rrg")}, QDir::Files).size(), 2);
        QVERIFY2(err.contains(QStringLiteral("Обработано приемников: 2")), qPrintable(err));
    }

    // Refused before it waits for anything: nothing written, no receiver touched.
    void stationRefusesBadCommandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        const QStringList needed{QStringLiteral("--backup-dir"), Path(QStringLiteral("refused-b")),
                                 QStringLiteral("--transport"), QStringLiteral("socket-dir:") + Path(QStringLiteral("refused"))};
        QTest::newRow("no record") << needed << "--record";
        QTest::newRow("record is a FIFO") << needed + QStringList{"--record", Path(QStringLiteral("fifo"))} << "не обычный файл";
        QTest::newRow("two firmware choices")
            << needed + QStringList{"--record", Path("r.jsonl"), "--newest", "--firmware", Path("x.bin")} << "--newest";
        QTest::newRow("count 0") << needed + QStringList{"--record", Path("r.jsonl"), "--count", "0"} << "--count";
        QTest::newRow("settings file missing")
            << needed + QStringList{"--record", Path("r.jsonl"), "--settings", Path("missing.cfg")} << "missing.cfg";
    }
    void stationRefusesBadCommandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        QVERIFY(QFile::exists(Path(QStringLiteral("fifo"))) || ::mkfifo(qPrintable(Path(QStringLiteral("fifo"))), 0600) == 0);
        const CliRun run = Cli(QStringList{QStringLiteral("station")} + args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QVERIFY(!QFile::exists(Path(QStringLiteral("r.jsonl"))));
    }

    void backupFirstAndRestoreAfterKeepTheMemory()
    {
        const QString sim = StartSim(QStringLiteral("keep"));
        QVERIFY(!sim.isEmpty());
        QStringList memory;
        for (int i = 0; i < 1792; ++i)
            memory << QString::number((i * 29 + 3) & 0xFF);
        QVERIFY(WriteTextLines(Path(QStringLiteral("keep.rrg")), memory).ok());
        QCOMPARE(Cli({QStringLiteral("restore"), sim, Path(QStringLiteral("keep.rrg"))}).exitCode, 0);

        const CliRun run = Cli({QStringLiteral("update-firmware"), WriteImage(QStringLiteral("keep.bin"), 47, 4),
                                QStringLiteral("--backup-first"), Path(QStringLiteral("kept")),
                                QStringLiteral("--restore-after"), sim});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("Контрольное чтение: данные совпадают с записанными")), qPrintable(run.out + run.err));
        const QStringList saved = QDir(Path(QStringLiteral("kept"))).entryList({QStringLiteral("*.rrg")});
        QCOMPARE(saved.size(), 1);
        QCOMPARE(NumberLines(Path(QStringLiteral("kept/")) + saved.front()), memory);
        QCOMPARE(QDir(Path(QStringLiteral("kept"))).entryList({QStringLiteral("*.cfg")}).size(), 1);
    }

    void transportsAndDeviceChoice()
    {
        const LinkConfig base;
        const struct {
            const char *text;
            bool accepted;
            LinkConfig::Kind kind;
            const char *path;
        } transports[] = {
            {"usb", true, LinkConfig::Kind::Usb, ""},
            {"Simulator", true, LinkConfig::Kind::Simulator, ""},
            {"socket:/run/a;b,c.sock", true, LinkConfig::Kind::Socket, "/run/a;b,c.sock"},
            {"socket:", false, {}, ""},
            {"socket: /run/a.sock", false, {}, ""},
            {"serial:1", false, {}, ""},
            {"", false, {}, ""},
        };
        for (const auto &t : transports) {
            QString why;
            const auto config = ParseTransport(QLatin1String(t.text), base, &why);
            QVERIFY2(config.has_value() == t.accepted, t.text);
            QCOMPARE(why.isEmpty(), t.accepted);
            if (config) {
                QVERIFY2(config->kind == t.kind, t.text);
                QCOMPARE(config->socketPath, QLatin1String(t.path));
            }
        }

        // Three receivers as listed: --device takes the number, the identity,
        // or the port or socket path alone; never a place the list no longer has.
        const auto slot = [](int id, const char *transport, const char *path, const char *identity) {
            return cli::DeviceSlot{id - 1, 0, QString::number(id), QLatin1String(transport), QLatin1String(path),
                                   QLatin1String(identity)};
        };
        const std::vector<cli::DeviceSlot> three{slot(1, "socket", "/tmp/a.sock", "socket:/tmp/a.sock"),
                                                 slot(2, "socket", "rel/b.sock", "socket:/work/rel/b.sock"),
                                                 slot(3, "usb", "1-1.4", "usb:1-1.4")};
        const struct {
            const char *name;
            const char *chosen;  // id, or empty for none
        } choices[] = {{"2", "2"},
                       {"/tmp/a.sock", "1"},
                       {"socket:/tmp/a.sock", "1"},
                       {"socket:/tmp/./x/../a.sock", "1"},
                       {"rel/b.sock", "2"},
                       {"usb:1-1.4", "3"},
                       {"USB:1-1.4", "3"},
                       {"1-1.4", "3"},
                       {"usb:1-1", ""},
                       {"usb:1-1.4.2", ""},
                       {"4", ""},
                       {"0", ""},
                       {"-1", ""},
                       {"a.sock", ""},
                       {"", ""}};
        for (const auto &c : choices) {
            const auto chosen = cli::ChooseDevice(three, QLatin1String(c.name));
            QVERIFY2((chosen ? chosen->id : QString()) == QLatin1String(c.chosen), c.name);
        }
        QCOMPARE(cli::ChooseDevice({three[1]}, QString())->id, QStringLiteral("2"));

        QCOMPARE(cli::RepeatedIdentity(three), QString());
        auto twice = three;
        twice.push_back(slot(4, "socket", "/tmp/../tmp/a.sock", "socket:/tmp/a.sock"));
        QCOMPARE(cli::RepeatedIdentity(twice), QStringLiteral("socket:/tmp/a.sock"));
    }

    // Every --all command over receivers with memories of their own: each row,
    // record and file is that receiver's, a second run never replaces the
    // first one's files, and an input file reaches every receiver.
    void allCommandsKeepReceiversApart_data()
    {
        QTest::addColumn<QStringList>("args");  // "DIR": the output folder
        QTest::addColumn<QString>("suffix");    // of the files that show each memory; none for info
        QTest::addColumn<bool>("writes");       // the input goes in; a backup or read-settings shows it
        QTest::newRow("info") << QStringList{"info"} << QString() << false;
        QTest::newRow("read-settings") << QStringList{"read-settings", "DIR"} << "cfg" << false;
        QTest::newRow("backup") << QStringList{"backup", "DIR"} << "rrg" << false;
        QTest::newRow("write-settings") << QStringList{"write-settings", "IN.cfg"} << "cfg" << true;
        QTest::newRow("restore") << QStringList{"restore", "IN.rrg"} << "rrg" << true;
    }
    void allCommandsKeepReceiversApart()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, suffix);
        QFETCH(bool, writes);
        const auto &fields = SettingsFields(SettingsSection::Relay);
        const int mode = std::find_if(fields.begin(), fields.end(), [](const SettingsField &f) {
                             return f.kind == FieldKind::WorkMode;
                         })->offset;
        // Receiver n: version 4_(5+n), its own registration memory, work mode n.
        const auto memory = [](int n) {
            QStringList lines;
            for (int i = 0; i < kRegistrationImageSize; ++i)
                lines << QString::number((i * n + 17 * n) & 0xFF);
            return lines;
        };
        QStringList transports;
        for (int n = 1; n <= 3; ++n) {
            SimDevice device(std::uint8_t(45 + n));
            for (int i = 0; i < kRegistrationImageSize; ++i)
                device.Memory()[std::size_t(i)] = std::uint8_t(memory(n)[i].toInt());
            device.Memory()[std::size_t(kRegistrationImageSize + mode)] = std::uint8_t(n);
            QVERIFY(device.SaveState(Path(QStringLiteral("ka%1.state").arg(n))));
            transports << StartSim(QStringLiteral("ka%1").arg(n));
            QVERIFY(!transports.back().isEmpty());
        }
        SettingsImage input = FactorySettingsImage();
        input[std::size_t(mode)] = 7;
        QVERIFY(WriteSettingsFile(Path(QStringLiteral("IN.cfg")),
                                  std::span<const quint32, kSettingsFileCells>(input.data(), kSettingsFileCells)).ok());
        QVERIFY(WriteTextLines(Path(QStringLiteral("IN.rrg")), memory(5)).ok());
        const QString dir = Path(QStringLiteral("out-") + QTest::currentDataTag());
        for (QString &arg : args)
            arg = arg == QStringLiteral("DIR") ? dir : arg.startsWith(QStringLiteral("IN.")) ? Path(arg) : arg;
        args << QStringLiteral("--all") << transports;

        const CliRun text = Cli(args);
        QVERIFY2(text.exitCode == 0, qPrintable(text.out + text.err));
        const QStringList table = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(table.size(), 4);
        const CliRun json = Cli(QStringList(args) << QStringLiteral("--json"));
        const QJsonArray records = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(records.size(), 3);
        for (int n = 1; n <= 3; ++n) {
            const QString sock = QStringLiteral("ka%1.sock").arg(n);
            const QString version = QStringLiteral("4_%1").arg(5 + n);
            QVERIFY2(table[n].contains(sock) && table[n].contains(QLatin1Char('\t') + args[0] + QStringLiteral("\tok: ")),
                     qPrintable(table[n]));
            const QJsonObject record = records[n - 1].toObject();
            QVERIFY2(record[QStringLiteral("identity")].toString().endsWith(sock), qPrintable(json.out));
            QCOMPARE(record[QStringLiteral("action")].toString(), args[0]);
            QCOMPARE(record[QStringLiteral("verdict")].toString(), QStringLiteral("ok"));
            if (args[0] == QLatin1String("info")) {
                QVERIFY2(table[n].contains(version), qPrintable(table[n]));
                QCOMPARE(record[QStringLiteral("version")].toString(), version);
            }
            if (suffix.isEmpty())
                continue;
            // What the receiver holds now, in files named by its identity and version.
            QString first = QStringLiteral("%1/%2_v%3.%4").arg(dir, sock, version, suffix);
            QString second = QString(first).replace(QLatin1Char('.') + suffix, QStringLiteral("-2.") + suffix);
            if (writes) {
                const QString shown = dir + QStringLiteral("-after");
                const CliRun after = Cli(QStringList{suffix == QLatin1String("rrg") ? "backup" : "read-settings", shown,
                                                     "--all"} + transports);
                QCOMPARE(after.exitCode, 0);
                first = second = QStringLiteral("%1/%2_v%3.%4").arg(shown, sock, version, suffix);
            } else {
                QCOMPARE(record[QStringLiteral("files")].toArray(), QJsonArray{second});
            }
            for (const QString &file : {first, second}) {
                const QStringList lines = NumberLines(file);
                if (suffix == QLatin1String("rrg"))
                    QVERIFY2(lines == memory(writes ? 5 : n), qPrintable(file));
                else
                    QCOMPARE(lines.value(mode).toInt(), writes ? 7 : n);
            }
        }
    }

    // One receiver named twice is refused before a byte goes to it: two
    // jobs would write into one memory and both report success.
    void sameReceiverTwiceIsRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("list") << QStringList{"list"};
        QTest::newRow("restore") << QStringList{"restore", "twice.rrg", "--device", "1"};
        QTest::newRow("firmware to all") << QStringList{"update-firmware", "twice.bin", "--all"};
        QTest::newRow("restore to all") << QStringList{"restore", "twice.rrg", "--all"};
    }
    void sameReceiverTwiceIsRefused()
    {
        QFETCH(QStringList, args);
        const QString sim = StartSim(QStringLiteral("twice"));
        QVERIFY(!sim.isEmpty());
        const QString other = QStringLiteral("--transport=socket:") + dir.path() + QStringLiteral("/./twice.sock");
        WriteImage(QStringLiteral("twice.bin"), 49, 4);
        QVERIFY(WriteTextLines(Path(QStringLiteral("twice.rrg")), QStringList(1792, QStringLiteral("9"))).ok());
        for (QString &arg : args)
            if (arg.startsWith(QStringLiteral("twice.")))
                arg = Path(arg);
        const CliRun run = Cli(args << sim << other);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("is reached twice")), qPrintable(run.err));
        const QJsonArray rows = ListJson({sim});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][QStringLiteral("version")].toString(), QStringLiteral("4_6"));
        QCOMPARE(rows[0][QStringLiteral("identity")].toString(), QStringLiteral("socket:") + Path(QStringLiteral("twice.sock")));
        CliRun backup = Cli({QStringLiteral("backup"), Path(QStringLiteral("twice-after.rrg")), sim});
        QCOMPARE(backup.exitCode, 0);
        QVERIFY(NumberLines(Path(QStringLiteral("twice-after.rrg"))) != QStringList(1792, QStringLiteral("9")));
    }

    // A second batch into the same folder keeps the first batch's copies
    // byte for byte and says where the new ones went.
    void backupFirstNeverOverwrites()
    {
        const QString sim = StartSim(QStringLiteral("again"));
        QVERIFY(!sim.isEmpty());
        const QString saved = Path(QStringLiteral("again-saved"));
        const QStringList args{QStringLiteral("update-firmware"), WriteImage(QStringLiteral("again.bin"), 46, 4),
                               QStringLiteral("--backup-first"), saved, QStringLiteral("--allow-reinstall"), sim};
        const CliRun first = Cli(args);
        QCOMPARE(first.exitCode, 0);
        const QString rrg = saved + QStringLiteral("/again.sock_v4_6.rrg");
        QVERIFY2(first.out.contains(QStringLiteral("копия: ") + rrg + QLatin1Char(',')), qPrintable(first.out));
        QFile firstCopy(rrg);
        QVERIFY(firstCopy.open(QIODevice::ReadOnly));
        const QByteArray firstBytes = firstCopy.readAll();
        firstCopy.close();

        QStringList memory;
        for (int i = 0; i < 1792; ++i)
            memory << QString::number((i * 11 + 5) & 0xFF);
        QVERIFY(WriteTextLines(Path(QStringLiteral("again.rrg")), memory).ok());
        QCOMPARE(Cli({QStringLiteral("restore"), Path(QStringLiteral("again.rrg")), sim}).exitCode, 0);

        const CliRun second = Cli(QStringList(args) << QStringLiteral("--all"));
        QCOMPARE(second.exitCode, 0);
        const QString rrg2 = saved + QStringLiteral("/again.sock_v4_6-2.rrg");
        QVERIFY2(second.out.split(QLatin1Char('\n')).value(1).contains(
                     QStringLiteral("копия: ") + rrg2 + QStringLiteral(", ") + saved + QStringLiteral("/again.sock_v4_6-2.cfg")),
                 qPrintable(second.out));
        QVERIFY(firstCopy.open(QIODevice::ReadOnly));
        QCOMPARE(firstCopy.readAll(), firstBytes);
        QCOMPARE(NumberLines(rrg2), memory);
        QCOMPARE(QDir(saved).entryList(QDir::Files).size(), 4);
    }

    // The codes the window takes, in any case; anything else is refused before any exchange.
    void languageCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("type"); // the type column, or a piece of the refusal
        const QString ru = QStringLiteral("РПУ-SELA");
        const QString en = QStringLiteral("RPU-SELA");
        QTest::newRow("ru") << "ru" << 0 << ru;
        QTest::newRow("RUR") << "RUR" << 0 << ru;
        QTest::newRow("en") << "en" << 0 << en;
        QTest::newRow("ENU") << "ENU" << 0 << en;
        QTest::newRow("enu") << "enu" << 0 << en;
        QTest::newRow("Tr") << "Tr" << 0 << en;
        QTest::newRow("TRT") << "TRT" << 0 << en;
        QTest::newRow("a language without a module") << "de" << 2 << "de";
        QTest::newRow("no language at all") << "xx" << 2 << "xx";
        QTest::newRow("a territory no locale has") << "ENQ" << 2 << "ENQ";
        QTest::newRow("empty") << "" << 2 << QString();
    }
    void languageCodes()
    {
        QFETCH(QString, code);
        QFETCH(int, exitCode);
        QFETCH(QString, type);
        const CliRun run = Cli({QStringLiteral("list"), QStringLiteral("--transport=simulator"),
                                QStringLiteral("--lang=") + code});
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        if (exitCode == 0) {
            QVERIFY2(run.out.contains(QLatin1Char('\t') + type + QLatin1Char('\t')), qPrintable(run.out));
        } else {
            QVERIFY(run.out.isEmpty());
            QVERIFY2(run.err.contains(QStringLiteral("Неизвестный код языка: ") + type), qPrintable(run.err));
        }
    }

    // An image given by name must be newer than the receiver's 4_6, unless asked.
    void firmwareChoicesAreExplicit_data()
    {
        QTest::addColumn<int>("image");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("after");
        QTest::newRow("newer") << 49 << QStringList{} << 0 << "4_9";
        QTest::newRow("older") << 45 << QStringList{} << 3 << "4_6";
        QTest::newRow("older allowed") << 45 << QStringList{"--allow-older"} << 0 << "4_5";
        QTest::newRow("older, reinstall is not enough") << 45 << QStringList{"--allow-reinstall"} << 3 << "4_6";
        QTest::newRow("same") << 46 << QStringList{} << 3 << "4_6";
        QTest::newRow("same allowed") << 46 << QStringList{"--allow-reinstall"} << 0 << "4_6";
        QTest::newRow("same, older is not enough") << 46 << QStringList{"--allow-older"} << 3 << "4_6";
        QTest::newRow("--newest takes no such option") << 45 << QStringList{"--newest", "--allow-older"} << 2 << "4_6";
    }
    void firmwareChoicesAreExplicit()
    {
        QFETCH(int, image);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, after);
        QFile::remove(Path(QStringLiteral("fc.state"))); // every row starts at 4_6
        const QString sim = StartSim(QStringLiteral("fc"));
        QVERIFY(!sim.isEmpty());
        const QString file = WriteImage(QStringLiteral("sela_%1.bin").arg(image), image, 4);
        QStringList args{QStringLiteral("update-firmware"), sim};
        if (!options.contains(QStringLiteral("--newest")))
            args << file;
        const CliRun run = Cli(args + options);
        QVERIFY2(run.exitCode == exitCode, qPrintable(QStringLiteral("exit %1: %2%3").arg(run.exitCode).arg(run.out, run.err)));
        if (exitCode == 3)
            QVERIFY2(run.out.contains(QStringLiteral("--allow-")), qPrintable(run.out));
        QCOMPARE(ListJson({sim})[0][QStringLiteral("version")].toString(), after);
    }

    // A bar redrawn for every percent at the byte rate floods the terminal:
    // steps: (percent, ms) pairs fed in order; drawn: the percents shown.
    void progressRedrawsAreRationed_data()
    {
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<QList<int>>("drawn");
        QTest::newRow("first always") << QList<int>{0, 0} << QList<int>{0};
        QTest::newRow("fast steps dropped") << QList<int>{0, 0, 1, 10, 2, 50, 3, 99} << QList<int>{0};
        QTest::newRow("after the gap") << QList<int>{0, 0, 1, 50, 2, 100, 3, 150} << QList<int>{0, 2};
        QTest::newRow("100 always") << QList<int>{0, 0, 99, 20, 100, 30} << QList<int>{0, 100};
        QTest::newRow("same percent once") << QList<int>{5, 0, 5, 500, 5, 900} << QList<int>{5};
        QTest::newRow("a new transfer starts over") << QList<int>{100, 0, 0, 10} << QList<int>{100, 0};
    }
    void progressRedrawsAreRationed()
    {
        QFETCH(QList<int>, steps);
        QFETCH(QList<int>, drawn);
        cli::ProgressPace pace;
        QList<int> shown;
        for (qsizetype i = 0; i + 1 < steps.size(); i += 2)
            if (pace.Due(steps[i], steps[i + 1]))
                shown << steps[i];
        QCOMPARE(shown, drawn);
    }

    void secondsLeftOfATransfer_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<int>("seconds");
        QTest::newRow("nothing done yet") << 0 << qint64(5000) << -1;
        QTest::newRow("half in 3 s") << 50 << qint64(3000) << 3;
        QTest::newRow("a tenth in 1 s") << 10 << qint64(1000) << 9;
        QTest::newRow("rounded up") << 90 << qint64(1000) << 1;
        QTest::newRow("done") << 100 << qint64(8000) << 0;
    }
    void secondsLeftOfATransfer()
    {
        QFETCH(int, percent);
        QFETCH(qint64, elapsedMs);
        QFETCH(int, seconds);
        QCOMPARE(cli::SecondsLeft(percent, elapsedMs), seconds);
    }

    // A signal in the middle of a firmware write is held: the image goes in
    // whole, the command says why it goes on and ends with its own code.
    void signalDuringAWriteIsHeld_data()
    {
        QTest::addColumn<int>("signo");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalDuringAWriteIsHeld()
    {
        QFETCH(int, signo);
        QFile::remove(Path(QStringLiteral("sg.state")));
        const QString sim = StartSim(QStringLiteral("sg"));
        QVERIFY(!sim.isEmpty());
        const QString image = WriteImage(QStringLiteral("big_4_9.bin"), 49, kSignalTestPackets);
        QProcess p;
        p.setProgram(qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/dorel-rpu-cli"));
        p.setArguments({QStringLiteral("update-firmware"), image, sim, QStringLiteral("--config"),
                        Path(QStringLiteral("none.INI"))});
        p.start();
        QVERIFY(p.waitForStarted());
        QTest::qWait(kSignalAfterMs);
        QCOMPARE(p.state(), QProcess::Running); // still writing
        ::kill(pid_t(p.processId()), signo);
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == 4, qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("Идет запись в прибор")), qPrintable(err));
        QCOMPARE(ListJson({sim})[0][QStringLiteral("version")].toString(), QStringLiteral("4_9"));
    }

    // Outside a write a signal ends the command as always: here at the question.
    void signalOutsideAWriteActsAsAlways()
    {
        const QString sim = StartSim(QStringLiteral("so"));
        QVERIFY(!sim.isEmpty());
        QVERIFY(QDir(Path(QString())).mkpath(QStringLiteral("sobase")));
        QVERIFY(!WriteImage(QStringLiteral("sobase/sela_4_7.bin"), 47, 4).isEmpty());
        QProcess p;
        p.setProgram(qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/dorel-rpu-cli"));
        p.setArguments({QStringLiteral("update-firmware"), QStringLiteral("--newest"), QStringLiteral("--base"),
                        Path(QStringLiteral("sobase")), sim, QStringLiteral("--config"), Path(QStringLiteral("none.INI"))});
        p.start();
        QVERIFY(p.waitForStarted());
        // Asked, and waiting for the answer that never comes.
        QByteArray asked;
        QTRY_VERIFY_WITH_TIMEOUT((asked += p.readAllStandardError()).contains("[y/N]"), 10000);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QCOMPARE(ListJson({sim})[0][QStringLiteral("version")].toString(), QStringLiteral("4_6"));
    }

    // Every command answers a script in JSON on standard output, failures
    // too: the verdict, the exit code, and the simulated receiver marked.
    void jsonOnEveryCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QStringList>("fields"); // that the record must carry
        const QStringList device{"id", "identity", "transport", "path", "simulated"};
        QTest::newRow("info") << QStringList{"info"} << 0 << "ok" << device + QStringList{"version", "class"};
        QTest::newRow("backup") << QStringList{"backup", "js.rrg"} << 0 << "ok" << device + QStringList{"files", "message"};
        QTest::newRow("read-settings") << QStringList{"read-settings", "js.cfg"} << 0 << "ok" << device + QStringList{"files"};
        QTest::newRow("restore") << QStringList{"restore", "js.rrg"} << 0 << "ok" << device;
        QTest::newRow("update-firmware") << QStringList{"update-firmware", "js_4_9.bin"} << 0 << "ok"
                                         << device + QStringList{"versionBefore", "versionAfter", "files", "firmware"};
        QTest::newRow("update-firmware, not newer") << QStringList{"update-firmware", "js_4_5.bin"} << 3 << "nothing-to-do"
                                                    << device + QStringList{"versionBefore", "message"};
        QTest::newRow("update-firmware --all") << QStringList{"update-firmware", "js_4_9.bin", "--all"} << 0 << "ok"
                                               << device + QStringList{"versionAfter", "seconds"};
        QTest::newRow("no such device") << QStringList{"info", "--device=7"} << 2 << "refused" << QStringList{"message"};
        QTest::newRow("unknown command") << QStringList{"flash"} << 2 << "refused" << QStringList{"message"};
        QTest::newRow("unknown option") << QStringList{"list", "--flash"} << 2 << "refused" << QStringList{"message"};
        QTest::newRow("missing file") << QStringList{"restore", "none.rrg"} << 2 << "refused" << QStringList{"message"};
    }
    void jsonOnEveryCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, verdict);
        QFETCH(QStringList, fields);
        QFile::remove(Path(QStringLiteral("js.state")));
        const QString sim = StartSim(QStringLiteral("js"));
        QVERIFY(!sim.isEmpty());
        QVERIFY(!WriteImage(QStringLiteral("js_4_9.bin"), 49, 4).isEmpty());
        QVERIFY(!WriteImage(QStringLiteral("js_4_5.bin"), 45, 4).isEmpty());
        QVERIFY(WriteTextLines(Path(QStringLiteral("js.rrg")), QStringList(1792, QStringLiteral("1"))).ok());
        for (QString &arg : args)
            if (arg.startsWith(QStringLiteral("js")) || arg == QStringLiteral("none.rrg"))
                arg = Path(arg);
        const CliRun run = Cli(args << sim << QStringLiteral("--json"));
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(run.out));
        // --all gives one record per receiver, the rest one object.
        const QJsonObject record = doc.isArray() ? doc.array().at(0).toObject() : doc.object();
        QCOMPARE(doc.isArray(), args.contains(QStringLiteral("--all")));
        QCOMPARE(record[QStringLiteral("verdict")].toString(), verdict);
        QCOMPARE(record[QStringLiteral("exitCode")].toInt(), exitCode);
        for (const QString &field : fields)
            QVERIFY2(record.contains(field), qPrintable(field + QStringLiteral(" in ") + run.out));
        if (fields.contains(QStringLiteral("simulated")))
            QCOMPARE(record[QStringLiteral("simulated")].toBool(), true);
    }

    void listJsonWithNoDeviceIsAnEmptyArray()
    {
        const CliRun run = Cli({QStringLiteral("list"), QStringLiteral("--json"),
                                QStringLiteral("--transport=socket:") + Path(QStringLiteral("nobody.sock"))});
        QCOMPARE(run.exitCode, 1);
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8());
        QVERIFY2(doc.isArray() && doc.array().isEmpty(), qPrintable(run.out));
    }

    void failuresGiveTheirExitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("simFaults");
        QTest::addColumn<QString>("firmware"); // written as fw.bin when set: type, version
        QTest::addColumn<int>("exitCode");
        const QStringList none;
        QTest::newRow("unknown command") << QStringList{"flash"} << none << QString() << 2;
        QTest::newRow("file missing") << QStringList{"backup"} << none << QString() << 2;
        QTest::newRow("bad transport") << QStringList{"list", "--transport=serial:1"} << none << QString() << 2;
        QTest::newRow("file and --newest") << QStringList{"update-firmware", "fw.bin", "--newest"} << none << "18,48" << 2;
        QTest::newRow("firmware of another type") << QStringList{"update-firmware", "fw.bin"} << none << "17,48" << 2;
        QTest::newRow("no such device") << QStringList{"info", "--device=7"} << none << QString() << 2;
        QTest::newRow("firmware refused") << QStringList{"update-firmware", "fw.bin"} << QStringList{"--refuse-firmware"} << "18,48" << 1;
        QTest::newRow("write refused") << QStringList{"restore", "fw.rrg"} << QStringList{"--refuse-write"} << QString() << 1;
        QTest::newRow("bad CRC on read") << QStringList{"backup", "out.rrg"} << QStringList{"--bad-crc"} << QString() << 1;
        QTest::newRow("--all backup into a file") << QStringList{"backup", "out.rrg", "--all"} << none << QString() << 2;
        QTest::newRow("--all with --device") << QStringList{"info", "--all", "--device=1"} << none << QString() << 2;
        QTest::newRow("receiver of another class") << QStringList{"update-firmware", "fw.bin"} << QStringList{"--version", "104"} << "18,48" << 1;
    }

    void failuresGiveTheirExitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, simFaults);
        QFETCH(QString, firmware);
        QFETCH(int, exitCode);
        const QString sim = StartSim(QStringLiteral("fx"), simFaults);
        QVERIFY(!sim.isEmpty());
        QFile::remove(Path(QStringLiteral("fx.state")));
        if (!firmware.isEmpty()) {
            QFile image(Path(QStringLiteral("fw.bin")));
            QVERIFY(image.open(QIODevice::WriteOnly));
            image.write(MakeFirmwareImage(std::uint8_t(firmware.section(QLatin1Char(','), 0, 0).toInt()),
                                          std::uint8_t(firmware.section(QLatin1Char(','), 1).toInt()), 2));
        }
        QVERIFY(WriteTextLines(Path(QStringLiteral("fw.rrg")), QStringList(1792, QStringLiteral("1"))).ok());
        for (QString &arg : args)
            if (arg.startsWith(QStringLiteral("fw.")) || arg == QStringLiteral("out.rrg"))
                arg = Path(arg);
        const CliRun run = Cli(args << sim);
        QVERIFY2(run.exitCode == exitCode, qPrintable(QStringLiteral("exit %1: %2").arg(run.exitCode).arg(run.err)));
        QVERIFY(!run.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
