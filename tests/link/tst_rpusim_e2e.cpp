// The whole link against the simulator program: UsbLink over the socket
// backend to a running rpu-sim, with the real protocol pauses.

#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "link/simdevice.h"
#include "link/socketbackend.h"
#include "link/usblink.h"
#include "support/recording.h"
#include "support/simprocess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace rpu;
using rpu::test::SimProcess;

namespace {

class SleepingPacer final : public Pacer {
public:
    void Pause(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
};

std::vector<std::uint8_t> FirmwareImage(std::uint8_t version, int packets)
{
    std::vector<std::uint8_t> image{0x55, 0x55, SimDevice::kSelaTypeCode, version, 1, 2, 3, 4};
    for (int i = 0; i < packets * kPacketSize + 2; ++i)
        image.push_back(static_cast<std::uint8_t>(i * 31 + 7));
    return image;
}

} // namespace

class TestRpuSimEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    MessageCatalogue catalogue;
    SleepingPacer pacer;
    test::RecordingProgress progress;

    QString Socket() const { return dir.filePath(QStringLiteral("sim.sock")); }
    QString State() const { return dir.filePath(QStringLiteral("sim.state")); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        catalogue.Fill(BuiltinStringSource());
        QVERIFY(QFile::exists(qEnvironmentVariable("RPU_BIN_DIR") + "/rpu-sim"));
    }

    void init()
    {
        QFile::remove(State());
        QFile::remove(Socket());
    }

    void settingsWriteReadAndKeptAcrossRestart()
    {
        std::vector<int> written(kBlockSize);
        for (int i = 0; i < kBlockSize; ++i)
            written[std::size_t(i)] = (i * 37 + 11) & 0xFF;

        UsbLink link(std::make_unique<SocketBackend>(Socket(), 2000));
        LinkContext ctx{link, pacer, progress, catalogue};
        {
            SimProcess sim(Socket(), {"--state", State()});
            QVERIFY(sim.WaitReady());
            QVERIFY(link.OpenUsbDevice());
            QCOMPARE(link.UsbDeviceCount(), 1);

            DeviceInfo info;
            QVERIFY(BreakLink(ctx));
            QCOMPARE(InitLink(ctx, kInitOtherPages, info), 0);
            QCOMPARE(info.versionByte, std::uint8_t(46));
            QCOMPARE(info.deviceClass, 2);

            // A fresh device's registration memory, 28 packets through the socket.
            std::vector<int> registration(kRegistrationBlockCount * kBlockSize, -1);
            QCOMPARE(ReadDeviceBlocks(ctx, kRegistrationBlockCount, kRegistrationFirstBlock, registration), 0);
            const auto fresh = SimDevice::DefaultMemory();
            QVERIFY(std::equal(registration.begin(), registration.end(), fresh.begin()));

            QElapsedTimer t;
            t.start();
            QCOMPARE(WriteDeviceBlocks(ctx, kSettingsBlockCount, kSettingsFirstBlock, written), 0);
            QVERIFY2(t.elapsed() >= 80, "the protocol's pauses were not kept");
            std::vector<int> back(kBlockSize, -1);
            QCOMPARE(ReadDeviceBlocks(ctx, kSettingsBlockCount, kSettingsFirstBlock, back), 0);
            QCOMPARE(back, written);
            QCOMPARE(sim.Stop(), 0);
            QVERIFY(!QFile::exists(Socket()));
        }
        QVERIFY(QFile::exists(State()));

        // The same link finds the restarted simulator, which remembers the block.
        std::vector<int> again(kBlockSize, -1);
        std::uint8_t b = 0;
        QVERIFY(!link.ReadByte(b)); // the old connection is gone
        SimProcess sim(Socket(), {"--state", State()});
        QVERIFY(sim.WaitReady());
        QVERIFY(link.OpenUsbDevice());
        DeviceInfo info;
        QVERIFY(BreakLink(ctx));
        QCOMPARE(InitLink(ctx, kInitOtherPages, info), 0);
        QCOMPARE(ReadDeviceBlocks(ctx, kSettingsBlockCount, kSettingsFirstBlock, again), 0);
        QCOMPARE(again, written);
    }

    void firmwareUpdateSeenByTheNextHandshake()
    {
        UsbLink link(std::make_unique<SocketBackend>(Socket(), 2000));
        LinkContext ctx{link, pacer, progress, catalogue};
        {
            SimProcess sim(Socket(), {"--state", State()});
            QVERIFY(sim.WaitReady());
            QVERIFY(link.OpenUsbDevice());
            DeviceInfo info;
            QVERIFY(BreakLink(ctx));
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
            QCOMPARE(info.versionByte, std::uint8_t(46));

            // The device sees the end of the image only from the quiet spell before the verdict.
            QCOMPARE(WriteFirmware(ctx, FirmwareImage(47, 3)), 0);
            QVERIFY(BreakLink(ctx));
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
            QCOMPARE(info.versionByte, std::uint8_t(47));

            // Eight packets: pauses after the 4th and the 8th must not end the image early.
            QCOMPARE(WriteFirmware(ctx, FirmwareImage(52, 8)), 0);
            QVERIFY(BreakLink(ctx));
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
            QCOMPARE(info.versionByte, std::uint8_t(52));
        }
        SimProcess sim(Socket(), {"--state", State()});
        QVERIFY(sim.WaitReady());
        QVERIFY(link.OpenUsbDevice());
        DeviceInfo info;
        QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        QCOMPARE(info.versionByte, std::uint8_t(52));
    }

    void faultySimulatorsGiveTheirResultCodes()
    {
        UsbLink link(std::make_unique<SocketBackend>(Socket(), 300));
        LinkContext ctx{link, pacer, progress, catalogue};
        DeviceInfo info;
        {
            SimProcess sim(Socket(), {"--refuse-firmware"});
            QVERIFY(sim.WaitReady());
            QVERIFY(link.OpenUsbDevice());
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
            QCOMPARE(WriteFirmware(ctx, FirmwareImage(47, 3)), 2);
        }
        {
            // A silent device is a failed read after the wait, never a hang.
            SimProcess sim(Socket(), {"--no-answer"});
            QVERIFY(sim.WaitReady());
            QVERIFY(link.OpenUsbDevice());
            QElapsedTimer t;
            t.start();
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 2);
            QVERIFY(t.elapsed() < 2000);
        }
        {
            SimProcess sim(Socket(), {"--drop-after", "20"});
            QVERIFY(sim.WaitReady());
            QVERIFY(link.OpenUsbDevice());
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
            std::vector<int> cells(kBlockSize, 0);
            QVERIFY(ReadDeviceBlocks(ctx, kSettingsBlockCount, kSettingsFirstBlock, cells) != 0);
            // The next connection gets a live link again.
            QVERIFY(link.OpenUsbDevice());
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        }
    }

    void socketPathIsGuarded()
    {
        const QString bin = qEnvironmentVariable("RPU_BIN_DIR") + "/rpu-sim";
        UsbLink link(std::make_unique<SocketBackend>(Socket(), 1000));
        LinkContext ctx{link, pacer, progress, catalogue};
        DeviceInfo info;
        {
            SimProcess sim(Socket(), {});
            QVERIFY(sim.WaitReady());
            // A second simulator must not take the path of a live one.
            QProcess second;
            second.start(bin, {"--socket", Socket()});
            QVERIFY(second.waitForFinished(5000));
            QCOMPARE(second.exitCode(), 1);
            QVERIFY(link.OpenUsbDevice());
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        }
        link.CloseUsbDevice();

        // A socket left by a killed run is replaced.
        {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            const QByteArray p = QFile::encodeName(Socket());
            std::memcpy(addr.sun_path, p.constData(), std::size_t(p.size()));
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
            ::close(fd);
        }
        {
            SimProcess sim(Socket(), {});
            QTRY_VERIFY_WITH_TIMEOUT(link.OpenUsbDevice(), 5000);
            QCOMPARE(InitLink(ctx, kInitMainPage, info), 0);
        }

        // Anything else at the path is not touched.
        QFile other(Socket());
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("keep");
        other.close();
        QProcess refused;
        refused.start(bin, {"--socket", Socket()});
        QVERIFY(refused.waitForFinished(5000));
        QCOMPARE(refused.exitCode(), 1);
        QCOMPARE(QFileInfo(Socket()).size(), 4);
    }

    // A client that sends and never reads, and a state path that is a FIFO:
    // SIGTERM (or the start itself) must end the simulator promptly.
    void stopsPromptlyWhenStuck()
    {
        {
            SimProcess sim(Socket(), {});
            QVERIFY(sim.WaitReady());
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::strcpy(addr.sun_path, QFile::encodeName(Socket()).constData());
            QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
            // Registration reads until neither side has room: the simulator is
            // then inside a send that cannot finish.
            const std::uint8_t read[8] = {0x55, 0x55, 0x93, 0x07, 0x00, 0x00, 0x9C, 0x8C};
            QDeadlineTimer deadline(10000);
            int blocked = 0;
            while (blocked < 50 && !deadline.hasExpired()) {
                if (::send(fd, read, sizeof read, MSG_NOSIGNAL) < 0) {
                    QVERIFY(errno == EAGAIN);
                    ++blocked;
                    QThread::msleep(10);
                }
            }
            QCOMPARE(blocked, 50);
            QElapsedTimer t;
            t.start();
            QCOMPARE(sim.Stop(), 0);
            QVERIFY2(t.elapsed() < 2000, qPrintable(QStringLiteral("%1 ms").arg(t.elapsed())));
            ::close(fd);
        }
        QVERIFY(::mkfifo(QFile::encodeName(State()).constData(), 0600) == 0);
        QProcess fifo;
        fifo.start(qEnvironmentVariable("RPU_BIN_DIR") + "/rpu-sim", {"--socket", Socket(), "--state", State()});
        const bool ended = fifo.waitForFinished(3000);
        if (!ended) {
            fifo.kill();
            fifo.waitForFinished(2000);
        }
        QVERIFY2(ended, "blocked opening a FIFO as its state file");
        QCOMPARE(fifo.exitCode(), 1);
        QVERIFY(fifo.readAllStandardError().contains("not a regular file"));
    }

    void badArgumentsGiveUsage()
    {
        QProcess p;
        p.start(qEnvironmentVariable("RPU_BIN_DIR") + "/rpu-sim", {"--socket", Socket(), "--version", "300"});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("usage: rpu-sim"));
        p.start(qEnvironmentVariable("RPU_BIN_DIR") + "/rpu-sim", QStringList{});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestRpuSimEndToEnd)
#include "tst_rpusim_e2e.moc"
