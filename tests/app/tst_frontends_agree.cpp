// One table of inputs through both front ends: the window's pages and
// dorel-rpu-cli against rpu-sim. The same input must come to the same verdict
// and the same message (the window names the file, the command line its path).

#include "formharness.h"

#include "app/pages/backuppage.h"
#include "app/pages/settingspage.h"
#include "files/registrationfile.h"
#include "files/settingsfile.h"
#include "i18n/messageids.h"
#include "ops/settingsops.h"
#include "support/clirun.h"
#include "support/simprocess.h"

#include <QComboBox>
#include <QLabel>
#include <QtTest>

using namespace rpu;
using namespace rpu::test;

namespace {

constexpr int kBlock7 = 7 * 256;
const char *const kRelayPage = "ReleSettingsTabSh";
const char *const kRpuPage = "ReleSettingsTabRPU";

SettingsImage Erased(int from, int to)
{
    SettingsImage block = FactorySettingsImage();
    for (int i = from; i <= to; ++i)
        block[i] = 0xFF;
    return block;
}

QByteArray Lines(const std::vector<quint32> &cells, const QByteArray &after = {})
{
    QByteArray bytes;
    for (quint32 c : cells)
        bytes += QByteArray::number(c) + "\r\n";
    return bytes + after;
}

std::vector<quint32> FileCells(const SettingsImage &image)
{
    return {image.begin(), image.begin() + kSettingsFileCells};
}

bool SameSection(const SettingsImage &a, const SettingsImage &b, SettingsSection section)
{
    for (const SettingsField &field : SettingsFields(section)) {
        if (a[field.offset] != b[field.offset])
            return false;
    }
    return true;
}

SettingsSection SectionOf(const char *page)
{
    return QByteArray(page) == kRelayPage ? SettingsSection::Relay : SettingsSection::Rpu;
}

} // namespace

class FrontEndsAgreeTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    QString transport;

    QString Path(const QString &name) const { return dir.filePath(name); }

    // rpu-sim with this settings block and a fixed registration memory.
    bool StartSim(const SettingsImage &block)
    {
        sim.reset();
        SimDevice device(104);
        for (int i = 0; i < kSettingsImageCells; ++i)
            device.Memory()[kBlock7 + i] = std::uint8_t(block[i]);
        const QString state = Path(QStringLiteral("sim.state"));
        const QString socket = Path(QStringLiteral("sim.sock"));
        QFile::remove(socket);
        if (!device.SaveState(state))
            return false;
        sim = std::make_unique<SimProcess>(socket, QStringList{QStringLiteral("--state"), state});
        transport = QStringLiteral("--transport=socket:") + socket;
        return sim->WaitReady();
    }

    CliRun Cli(const QStringList &args)
    {
        return RunCli(args + QStringList{transport}, Path(QStringLiteral("none.INI")));
    }

    // The device's block as the command line reads it into a file.
    std::optional<SettingsImage> CliBlock()
    {
        const QString out = Path(QStringLiteral("check.cfg"));
        QFile::remove(out);
        if (Cli({QStringLiteral("read-settings"), out}).exitCode != 0)
            return std::nullopt;
        const auto file = ReadSettingsFile(out);
        if (!file.ok())
            return std::nullopt;
        SettingsImage image{};
        std::copy(file.value->cells.begin(), file.value->cells.end(), image.begin());
        return image;
    }

    QString WriteFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(Path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return file.fileName();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void cleanup() { sim.reset(); }

    // A device's block: each page range-checks only its own section; the
    // command line saves every section in range and names the others.
    void deviceBlockRead_data()
    {
        QTest::addColumn<SettingsImage>("block");
        QTest::addColumn<bool>("relayValid");
        QTest::addColumn<bool>("rpuValid");
        QTest::newRow("factory") << FactorySettingsImage() << true << true;
        QTest::newRow("relay-mode device: RPU section erased") << Erased(45, 95) << true << false;
        QTest::newRow("relay section erased") << Erased(0, 44) << false << true;
        QTest::newRow("both erased") << Erased(0, 95) << false << false;
    }
    void deviceBlockRead()
    {
        QFETCH(SettingsImage, block);
        QFETCH(bool, relayValid);
        QFETCH(bool, rpuValid);

        // The window, on each page.
        for (const char *page : {kRelayPage, kRpuPage}) {
            const bool valid = SectionOf(page) == SettingsSection::Relay ? relayValid : rpuValid;
            FormHarness h(1, 104);
            for (int i = 0; i < kSettingsImageCells; ++i)
                h.device.Memory()[kBlock7 + i] = std::uint8_t(block[i]);
            auto *settings = Find<SettingsPage>(*h.form, page);
            QList<int> ends;
            settings->SetProgramEnd([&](int code) { ends << code; });
            h.form->ConnectButtonClick();
            SetPageTabVisible(*h.form, settings, true);
            SetActivePage(*h.form, settings);
            h.form->MainPageCChange();
            // A page whose section is out of range ends the program; the
            // other page shows its own section without a word.
            QCOMPARE(ends.isEmpty(), valid);
            QCOMPARE(h.dialogs.boxes.empty(), valid);
        }

        // The command line.
        QVERIFY(StartSim(block));
        const QString out = Path(QStringLiteral("read.cfg"));
        QFile::remove(out);
        const CliRun run = Cli({QStringLiteral("read-settings"), out});
        QCOMPARE(run.exitCode, relayValid || rpuValid ? 0 : 1);
        MessageCatalogue catalogue;
        catalogue.Fill(BuiltinStringSource());
        for (SettingsSection section : ops::kSections) {
            const QString name = catalogue.Text(ops::SectionNameMessage(section));
            const bool valid = section == SettingsSection::Relay ? relayValid : rpuValid;
            QCOMPARE(run.err.contains(QStringLiteral("«%1»").arg(name)), !valid);
        }
        QCOMPARE(QFile::exists(out), relayValid || rpuValid);
        if (!QFile::exists(out))
            return;
        const auto file = ReadSettingsFile(out);
        QVERIFY(file.ok());
        SettingsImage saved{};
        std::copy(file.value->cells.begin(), file.value->cells.end(), saved.begin());
        QCOMPARE(saved, ops::KeepSections(block, {relayValid, rpuValid}));
    }

    // A settings file: loaded on a page, and written by the command line.
    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("windowLoads");
        QTest::addColumn<int>("cliExit");

        const std::vector<quint32> factory = FileCells(FactorySettingsImage());
        auto with = [&](int offset, quint32 v) {
            std::vector<quint32> c = factory;
            c[offset] = v;
            return c;
        };
        const std::vector<quint32> relayOnly =
            FileCells(ops::KeepSections(FactorySettingsImage(), ops::SectionSet::Only(SettingsSection::Relay)));
        const std::vector<quint32> unselected = with(35, 4294967295u);

        std::vector<quint32> both = with(kRpuMarkerOffset, kRpuSectionMarker);
        both[94] = 2;
        QTest::newRow("factory: relay section only") << Lines(factory) << kRelayPage << true << 0;
        QTest::newRow("both sections") << Lines(both) << kRpuPage << true << 0;
        QTest::newRow("relay page's file") << Lines(relayOnly) << kRelayPage << true << 0;
        QTest::newRow("4294967295 in a relay time") << Lines(unselected) << kRelayPage << true << 0;
        QTest::newRow("bad RPU cell, relay page") << Lines(with(60, 256)) << kRelayPage << true << 2;
        QTest::newRow("bad RPU cell, RPU page") << Lines(with(60, 256)) << kRpuPage << false << 2;
        QTest::newRow("bad relay mode, relay page") << Lines(with(42, 4294967295u)) << kRelayPage << false << 2;
        QTest::newRow("blank lines after the data") << Lines(factory, "\r\n\r\n") << kRpuPage << true << 0;
        QTest::newRow("95 lines") << Lines({factory.begin(), factory.end() - 1}) << kRelayPage << false << 2;
        QTest::newRow("a letter for a 0") << Lines(factory).replace("\r\n0\r\n", "\r\nx\r\n") << kRpuPage
                                            << false << 2;
    }
    void settingsFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, page);
        QFETCH(bool, windowLoads);
        QFETCH(int, cliExit);
        const QString path = WriteFile(QStringLiteral("in.cfg"), bytes);
        QVERIFY(!path.isEmpty());

        FormHarness h(1, 104);
        auto *settings = Find<SettingsPage>(*h.form, qPrintable(page));
        h.dialogs.paths.push_back(path);
        settings->LoadSettingsFile();
        QCOMPARE(h.dialogs.boxes.empty(), windowLoads);
        const QString windowText = windowLoads ? QString() : h.dialogs.boxes.front().text;

        // The device holds its own settings: a relay mode and an RPU mode of its own.
        SettingsImage device = FactorySettingsImage();
        device[40] = 3;
        device[93] = 5;
        QVERIFY(StartSim(device));
        const CliRun run = Cli({QStringLiteral("write-settings"), path});
        QCOMPARE(run.exitCode, cliExit);
        const ops::SettingsFileVerdict file = ops::AcceptSettingsFile(path, ops::SectionSet::Both());
        if (cliExit != 0) {
            // Refused before anything reached the device, with the window's words.
            const QString cliText = run.err.trimmed().replace(path, QStringLiteral("in.cfg"));
            QCOMPARE(cliText, ops::DescribeSettingsFile(file, QStringLiteral("in.cfg"), h.catalogue));
            if (!windowLoads)
                QCOMPARE(cliText, windowText);
            QCOMPARE(CliBlock(), std::optional(device));
            return;
        }
        const std::optional<SettingsImage> after = CliBlock();
        QVERIFY(after);
        for (SettingsSection section : ops::kSections) {
            // A section the file carries is written; the other stays the device's.
            const SettingsImage &expected = file.carried.Has(section) ? file.image : device;
            QVERIFY2(SameSection(*after, expected, section), qPrintable(page));
        }
    }

    // A backup file: loaded on the backup page, and restored by the command line.
    void backupFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        std::vector<quint32> image(kRegistrationImageSize);
        for (int i = 0; i < kRegistrationImageSize; ++i)
            image[std::size_t(i)] = quint32(i % 251);
        QTest::newRow("1792 lines") << Lines(image) << true;
        QTest::newRow("one blank line after the data") << Lines(image, "\r\n") << true;
        QTest::newRow("blank and white lines after the data") << Lines(image, "\n  \n\t\r\n") << true;
        QTest::newRow("1791 lines") << Lines({image.begin(), image.end() - 1}) << false;
        QTest::newRow("1791 lines and a blank one") << Lines({image.begin(), image.end() - 1}, "\r\n") << false;
        std::vector<quint32> bad = image;
        bad[700] = 256;
        QTest::newRow("256 on line 701") << Lines(bad) << false;
    }
    void backupFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        const QString path = WriteFile(QStringLiteral("in.rrg"), bytes);
        QVERIFY(!path.isEmpty());

        FormHarness h(1, 104);
        h.dialogs.paths.push_back(path);
        Find<BackupPage>(*h.form, "RegistBackupTabSh")->LoadRegistrationFile();
        QCOMPARE(h.dialogs.boxes.empty(), accepted);

        QVERIFY(StartSim(FactorySettingsImage()));
        const CliRun run = Cli({QStringLiteral("restore"), path});
        QCOMPARE(run.exitCode, accepted ? 0 : 2);
        if (!accepted) {
            QCOMPARE(run.err.trimmed().replace(path, QStringLiteral("in.rrg")), h.dialogs.boxes.front().text);
            return;
        }
        QCOMPARE(Find<QLabel>(*h.form, "ConfCodeLabel2")->text(), QString::number(1791 % 251));
        QVERIFY2(run.out.contains(h.Msg(msg::kReadBackIdentical)), qPrintable(run.out + run.err));
    }
};

QTEST_MAIN(FrontEndsAgreeTest)
#include "tst_frontends_agree.moc"
