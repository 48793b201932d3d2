// Which device the program talks to is always known: the transport chosen
// for one run, the backends that are simulated, and demo images refused on
// the way to a real receiver.

#include "i18n/messagecatalogue.h"
#include "link/demofirmware.h"
#include "link/devicelink.h"
#include "link/libusbbackend.h"
#include "link/linkconfig.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/socketbackend.h"
#include "link/usblink.h"
#include "session/devicesession.h"
#include "session/outcomemessages.h"
#include "support/buslike.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace rpu;
using rpu::test::BusLikeBackend;

namespace {

class NoPauses final : public Pacer {
public:
    void Pause(int) override {}
    void ProcessEvents() override {}
};

// A well-formed image of 16 packets, type 0x12, version 50, marked or not.
std::vector<std::uint8_t> Image(bool demoTag, bool demoText)
{
    std::vector<std::uint8_t> image{0x55, 0x55, 0x12, 50, 16, 0, 0, 0};
    for (int i = 0; i < 16 * kPacketSize + 2; ++i)
        image.push_back(std::uint8_t(i * 7));
    if (demoTag)
        std::copy(kDemoFirmwareTag.begin(), kDemoFirmwareTag.end(), image.begin() + kDemoFirmwareTagOffset);
    if (demoText)
        std::copy(kDemoFirmwareText.begin(), kDemoFirmwareText.end(), image.begin() + kDemoFirmwareTextOffset);
    return image;
}

} // namespace

Q_DECLARE_METATYPE(LinkConfig::Kind)

class SimulatedLinkTest : public QObject {
    Q_OBJECT
private slots:
    void transportForOneRun_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<LinkConfig::Kind>("kind");
        QTest::addColumn<QString>("socketPath");
        QTest::addColumn<bool>("warned");
        using K = LinkConfig::Kind;
        QTest::newRow("unset keeps usb") << QByteArray() << "" << K::Usb << "" << false;
        QTest::newRow("unset keeps the file's socket")
            << QByteArray("Transport=socket:/tmp/a.sock\n") << "  " << K::Socket << "/tmp/a.sock" << false;
        QTest::newRow("simulator over usb") << QByteArray() << "simulator" << K::Simulator << "" << false;
        QTest::newRow("usb over the file's simulator")
            << QByteArray("Transport=simulator\n") << "USB" << K::Usb << "" << false;
        QTest::newRow("socket over simulator")
            << QByteArray("Transport=simulator\n") << "socket:/run/x,y.sock" << K::Socket << "/run/x,y.sock" << false;
        QTest::newRow("unknown keeps the file's")
            << QByteArray("Transport=simulator\n") << "serial" << K::Simulator << "" << true;
        QTest::newRow("socket without path keeps the file's")
            << QByteArray("Transport=socket:/tmp/a.sock\n") << "socket:" << K::Socket << "/tmp/a.sock" << true;
    }
    void transportForOneRun()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, variable);
        QFETCH(LinkConfig::Kind, kind);
        QFETCH(QString, socketPath);
        QFETCH(bool, warned);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rpu.INI"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Device]\n" + ini);
        file.close();
        LinkConfig config = ReadLinkConfig(path);
        QVERIFY(config.warnings.isEmpty());
        ApplyTransportOverride(config, variable);
        QCOMPARE(config.kind, kind);
        QCOMPARE(config.socketPath, socketPath);
        QCOMPARE(IsSimulated(config), kind != LinkConfig::Kind::Usb);
        QCOMPARE(config.warnings.size(), warned ? 1 : 0);
        if (warned) {
            QVERIFY2(config.warnings[0].startsWith(QLatin1String("RPU_TRANSPORT: ")), qPrintable(config.warnings[0]));
            QVERIFY2(!config.warnings[0].contains(QLatin1String("using usb")), qPrintable(config.warnings[0]));
        }
        // The file is only read.
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "[Device]\n" + ini);
    }

    void backendsSayWhetherTheyAreSimulated()
    {
        SimDevice device(46);
        using Make = std::function<std::unique_ptr<DeviceBackend>()>;
        const struct {
            const char *what;
            Make make;
            bool simulated;
        } cases[] = {
            {"in-process", [&] { return std::make_unique<SimBackend>(device, 1); }, true},
            {"rpu-sim socket", [] { return std::make_unique<SocketBackend>(QStringLiteral("/nonexistent.sock"), 10); }, true},
            {"libusb", [] { return std::make_unique<LibusbBackend>(std::vector<UsbId>{{0x04b4, 0x8613}}, 10); }, false},
            {"another bus", [&] { return std::make_unique<BusLikeBackend>(device); }, false},
            {"none", [] { return std::unique_ptr<DeviceBackend>(); }, false},
        };
        for (const auto &c : cases) {
            std::unique_ptr<DeviceBackend> backend = c.make();
            QVERIFY2((backend && backend->Simulated()) == c.simulated, c.what);
            const UsbLink link(std::move(backend));
            QVERIFY2(link.Simulated() == c.simulated, c.what);
        }
    }

    void demoMark_data()
    {
        QTest::addColumn<std::vector<std::uint8_t>>("image");
        QTest::addColumn<bool>("demo");
        QTest::newRow("tag and text") << Image(true, true) << true;
        QTest::newRow("tag only") << Image(true, false) << false;
        QTest::newRow("text only") << Image(false, true) << false;
        QTest::newRow("plain image") << Image(false, false) << false;
        std::vector<std::uint8_t> cut = Image(true, true);
        cut.resize(kDemoFirmwareTextOffset + kDemoFirmwareText.size() - 1);
        QTest::newRow("cut inside the text") << cut << false;
        QTest::newRow("empty") << std::vector<std::uint8_t>() << false;
    }
    void demoMark()
    {
        QFETCH(std::vector<std::uint8_t>, image);
        QFETCH(bool, demo);
        QCOMPARE(IsDemoFirmwareImage(image), demo);
    }

    // The mark can never be a real image's frame: its CRC would have to be
    // "MO" over 55 55 12 v "DE", and is not for any version byte.
    void demoTagIsNeverAFrameWithItsCrc()
    {
        for (int version = 0; version <= 255; ++version) {
            const std::uint8_t frame[6] = {0x55, 0x55, kSelaFirmwareTypeCode, std::uint8_t(version), 'D', 'E'};
            const std::uint16_t crc = Crc16(frame);
            QVERIFY2(crc != ('M' | ('O' << 8)), qPrintable(QString::number(version)));
        }
    }

    void demoImageReachesOnlyTheSimulator_data()
    {
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<FirmwareOutcome>("outcome");
        QTest::newRow("demo image, simulator") << true << true << FirmwareOutcome::Ok;
        QTest::newRow("demo image, receiver") << false << true << FirmwareOutcome::DemoImage;
        QTest::newRow("real image, receiver") << false << false << FirmwareOutcome::Ok;
    }
    void demoImageReachesOnlyTheSimulator()
    {
        QFETCH(bool, simulated);
        QFETCH(bool, demo);
        QFETCH(FirmwareOutcome, outcome);
        SimDevice device(46);
        std::unique_ptr<DeviceBackend> backend;
        if (simulated)
            backend = std::make_unique<SimBackend>(device, 1);
        else
            backend = std::make_unique<BusLikeBackend>(device);
        UsbLink link(std::move(backend));
        NoPauses pacer;
        MessageCatalogue catalogue;
        DeviceSession session(&link, link, pacer, catalogue);
        QCOMPARE(session.Simulated(), simulated);
        QCOMPARE(session.Open(), OpenOutcome::Opened);
        int progressSignals = 0;
        connect(&session, &DeviceSession::progressChanged, this, [&] { ++progressSignals; });

        QCOMPARE(session.WriteFirmware(Image(demo, demo)), outcome);
        const bool written = outcome == FirmwareOutcome::Ok;
        QCOMPARE(device.AcceptedFirmwareLengths().size(), std::size_t(written ? 1 : 0));
        // Refused before the first byte: no progress, nothing on the wire.
        QCOMPARE(progressSignals > 0, written);
        QCOMPARE(OutcomeMessage(FirmwareOutcome::DemoImage), 10151);
    }
};

QTEST_GUILESS_MAIN(SimulatedLinkTest)
#include "tst_simulatedlink.moc"
