// The operations layer over an in-process simulated receiver: which cells a
// write keeps from the device, what a read says about each section, and the
// read-back that tells a written image from a lost one.

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"
#include "ops/backupops.h"
#include "ops/firmwareops.h"
#include "ops/settingsops.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;
using namespace rpu::ops;

namespace {

constexpr int kBlock7 = 7 * 256;

struct NoPauses final : Pacer {
    void Pause(int) override {}
    void ProcessEvents() override {}
};

// A session linked to the simulated receiver and entered for the settings pages.
struct Bench {
    SimDevice device{104};
    UsbLink link{std::make_unique<SimBackend>(device)};
    NoPauses pacer;
    MessageCatalogue catalogue;
    DeviceSession session{&link, link, pacer, catalogue};

    Bench()
    {
        link.OpenUsbDevice();
        catalogue.Fill(BuiltinStringSource());
    }
    SettingsImage Block() const
    {
        SettingsImage image{};
        for (int i = 0; i < kSettingsImageCells; ++i)
            image[i] = device.Memory()[kBlock7 + i];
        return image;
    }
    void SetBlock(const SettingsImage &image)
    {
        for (int i = 0; i < kSettingsImageCells; ++i)
            device.Memory()[kBlock7 + i] = std::uint8_t(image[i]);
    }
    void Fill(int from, int to, std::uint8_t value)
    {
        for (int i = from; i <= to; ++i)
            device.Memory()[kBlock7 + i] = value;
    }
};

// Factory relay settings, and RPU settings as the RPU page saves them (its
// marker set); the factory block's RPU section is all 0.
SettingsImage BothSections()
{
    SettingsImage image = FactorySettingsImage();
    image[kRpuMarkerOffset] = kRpuSectionMarker;
    image[93] = 5;
    return image;
}

SettingsImage SectionOnly(SettingsSection section)
{
    return KeepSections(BothSections(), SectionSet::Only(section));
}

bool SectionEquals(const SettingsImage &a, const SettingsImage &b, SettingsSection section)
{
    for (const SettingsField &field : SettingsFields(section)) {
        if (a[field.offset] != b[field.offset])
            return false;
    }
    return true;
}

} // namespace

class OperationsTest : public QObject {
    Q_OBJECT
private slots:
    void carriedSections_data()
    {
        QTest::addColumn<SettingsImage>("image");
        QTest::addColumn<bool>("relay");
        QTest::addColumn<bool>("rpu");
        QTest::newRow("both sections") << BothSections() << true << true;
        QTest::newRow("factory block: its RPU section is all 0") << FactorySettingsImage() << true << false;
        QTest::newRow("relay page's file") << SectionOnly(SettingsSection::Relay) << true << false;
        QTest::newRow("RPU page's file") << SectionOnly(SettingsSection::Rpu) << false << true;
        QTest::newRow("all 0: both, it clears") << SettingsImage{} << true << true;
        SettingsImage outside{};
        outside[46] = 9; // in neither section
        outside[120] = 9;
        QTest::newRow("only cells outside the sections") << outside << true << true;
    }
    void carriedSections()
    {
        QFETCH(SettingsImage, image);
        QFETCH(bool, relay);
        QFETCH(bool, rpu);
        QCOMPARE(CarriedSections(image), (SectionSet{relay, rpu}));
    }

    void readNamesEachSectionOutOfRange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("relayValid");
        QTest::addColumn<bool>("rpuValid");
        QTest::newRow("factory block") << 0 << -1 << true << true;
        QTest::newRow("RPU section erased (relay-mode device)") << 45 << 95 << true << false;
        QTest::newRow("relay section erased") << 0 << 44 << false << true;
        QTest::newRow("both erased") << 0 << 95 << false << false;
        QTest::newRow("erased beyond both sections only") << 96 << 255 << true << true;
    }
    void readNamesEachSectionOutOfRange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, relayValid);
        QFETCH(bool, rpuValid);
        Bench b;
        b.SetBlock(FactorySettingsImage());
        b.Fill(from, to, 0xFF);
        const SettingsReadVerdict read = ReadSettings(b.session, SectionSet::Both(), Entry::Renew);
        QVERIFY(read.ok());
        QCOMPARE(read.valid, (SectionSet{relayValid, rpuValid}));
        QCOMPARE(int(read.faults.size()), int(!relayValid) + int(!rpuValid));
        for (const SectionFault &fault : read.faults) {
            QCOMPARE(fault.cell.value, 255u);
            const QString text = DescribeSectionFault(fault, b.catalogue);
            QVERIFY2(text.contains(b.catalogue.Text(SectionNameMessage(fault.section))), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("№%1=255").arg(fault.cell.offset)), qPrintable(text));
        }
        // Checking one section never looks at the other.
        const SettingsReadVerdict relayOnly = ReadSettings(b.session, SectionSet::Only(SettingsSection::Relay),
                                                           Entry::Renew);
        QCOMPARE(relayOnly.faults.empty(), relayValid);

        // The file keeps what is in range, the rest 0; nothing in range, no file.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.cfg"));
        const SettingsSaveVerdict saved = SaveDeviceSettings(path, read);
        QCOMPARE(saved.written(), relayValid || rpuValid);
        QCOMPARE(QFile::exists(path), relayValid || rpuValid);
        if (!saved.written())
            return;
        const auto file = ReadSettingsFile(path);
        QVERIFY(file.ok());
        SettingsImage loaded{};
        std::copy(file.value->cells.begin(), file.value->cells.end(), loaded.begin());
        QCOMPARE(loaded, KeepSections(read.image, read.valid));
    }

    void writeKeepsTheSectionTheFileLacks_data()
    {
        QTest::addColumn<int>("carried"); // 1 relay, 2 RPU, 3 both
        QTest::addColumn<bool>("eraseRpuFirst");
        QTest::newRow("relay file, RPU kept") << 1 << false;
        QTest::newRow("RPU file, relay kept") << 2 << false;
        QTest::newRow("both carried") << 3 << false;
        QTest::newRow("relay file on an erased RPU section: kept erased") << 1 << true;
    }
    void writeKeepsTheSectionTheFileLacks()
    {
        QFETCH(int, carried);
        QFETCH(bool, eraseRpuFirst);
        Bench b;
        // The device holds its own settings; the file holds others.
        SettingsImage device = BothSections();
        device[42] = 3; // a relay work mode
        device[94] = 5; // an RPU work mode
        b.SetBlock(device);
        if (eraseRpuFirst)
            b.Fill(50, 95, 0xFF);
        const SettingsImage before = b.Block();
        SettingsImage file = BothSections();
        file[42] = 6;
        file[94] = 2;
        const SectionSet set{(carried & 1) != 0, (carried & 2) != 0};
        const SettingsWriteVerdict verdict =
            WriteSettings(b.session, KeepSections(file, set), set, Entry::Renew, ReadBack::Yes);
        QVERIFY(verdict.ok());
        QVERIFY(verdict.write.readBack.identical());
        QCOMPARE(verdict.keptFromDevice, (SectionSet{!set.relay, !set.rpu}));
        const SettingsImage after = b.Block();
        for (SettingsSection section : kSections)
            QVERIFY(SectionEquals(after, set.Has(section) ? file : before, section));
    }

    void writeRefusesACarriedSectionOutOfRange()
    {
        Bench b;
        b.SetBlock(FactorySettingsImage());
        SettingsImage file = FactorySettingsImage();
        file[42] = 8; // a work mode beyond the table
        const SettingsWriteVerdict verdict =
            WriteSettings(b.session, file, SectionSet::Both(), Entry::Renew, ReadBack::Yes);
        QVERIFY(!verdict.ok());
        QVERIFY(verdict.refused);
        QCOMPARE(verdict.refused->cell, (BadImageCell{42, 8}));
        QCOMPARE(b.Block(), FactorySettingsImage()); // nothing sent
    }

    void readBackTellsWhatDiffers_data()
    {
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<QList<int>>("read");
        QTest::addColumn<int>("differences");
        QTest::addColumn<int>("first");
        QTest::newRow("same") << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << 0 << -1;
        QTest::newRow("only the low 8 bits count") << QList<int>{257, 2} << QList<int>{1, 2} << 0 << -1;
        QTest::newRow("two differ") << QList<int>{1, 2, 3, 4} << QList<int>{1, 9, 3, 8} << 2 << 1;
        QTest::newRow("short read differs") << QList<int>{1, 2, 3} << QList<int>{1, 2} << 1 << 2;
    }
    void readBackTellsWhatDiffers()
    {
        QFETCH(QList<int>, written);
        QFETCH(QList<int>, read);
        QFETCH(int, differences);
        QFETCH(int, first);
        const ReadBackCheck check = CompareCells(std::vector<int>(written.begin(), written.end()),
                                                 std::vector<int>(read.begin(), read.end()));
        QCOMPARE(check.differences, differences);
        QCOMPARE(check.firstOffset, first);
        QCOMPARE(check.identical(), differences == 0);
    }

    void restoreReadsBackAndFailuresCarryTheirMessage()
    {
        Bench b;
        RegistrationBackup backup;
        for (int i = 0; i < kRegistrationImageSize; ++i)
            backup.values.append(char(i * 7));
        BlockWriteVerdict verdict = RestoreBackup(b.session, backup, Entry::Renew, ReadBack::Yes);
        QVERIFY(verdict.ok());
        QVERIFY(verdict.written);
        QVERIFY(verdict.readBack.identical());
        QCOMPARE(ReadBackup(b.session, Entry::Renew).backup.values, backup.values);

        b.device.Faults().refuseWrite = true;
        verdict = RestoreBackup(b.session, backup, Entry::Renew, ReadBack::Yes);
        QVERIFY(!verdict.ok());
        QVERIFY(!verdict.written);
        QCOMPARE(verdict.message, msg::kDataNotWritten);
    }

    void bufferAsBackupOrFirmware_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<quint32>("poison"); // put at the last place; 0: none
        QTest::addColumn<bool>("backup");
        QTest::newRow("a backup") << 1792 << 0u << true;
        QTest::newRow("a backup with lines after") << 1800 << 0u << true;
        QTest::newRow("one line short") << 1791 << 0u << false;
        QTest::newRow("settings values") << 96 << 0u << false;
        QTest::newRow("a value over a byte") << 1792 << 256u << false;
    }
    void bufferAsBackupOrFirmware()
    {
        QFETCH(int, size);
        QFETCH(quint32, poison);
        QFETCH(bool, backup);
        std::vector<std::uint32_t> values(std::size_t(size), 7);
        if (poison)
            values.back() = poison;
        QCOMPARE(BackupFromValues(values).has_value(), backup);
        // A firmware image must be the accepted length, whole packets, bytes only.
        ValueBuffer buffer;
        buffer.SetValues(values);
        QCOMPARE(AcceptedFirmwareImage(buffer, size).has_value(), !poison && FirmwareLengthFitsPackets(size));
        QVERIFY(!AcceptedFirmwareImage(buffer, size + 64));
    }
};

QTEST_GUILESS_MAIN(OperationsTest)
#include "tst_operations.moc"
