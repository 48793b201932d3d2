// A device that stops answering part way through an answer, behind the
// socket transport: every exchange must end with its failure code after about
// one read timeout, however many packets were still to come.

#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "link/simdevice.h"
#include "link/socketbackend.h"
#include "link/usblink.h"
#include "support/recording.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace rpu;

namespace {

constexpr int kTimeoutMs = 400;

// Serves one connection from a SimDevice, like rpu-sim, but sends no more
// than `budget` answer bytes (-1: all) and then keeps the line open, silent.
class MutingDevice {
public:
    MutingDevice(const QString &path, long budget) : budget_(budget)
    {
        listenFd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        std::memcpy(addr.sun_path, p.constData(), std::size_t(p.size()));
        if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 && ::listen(listenFd_, 1) == 0)
            thread_ = std::thread([this] { Serve(); });
    }
    ~MutingDevice()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(listenFd_);
    }
    bool Listening() const { return thread_.joinable(); }

private:
    void Serve()
    {
        int peer = -1;
        bool quietPending = false;
        while (!stop_) {
            pollfd p{peer >= 0 ? peer : listenFd_, POLLIN, 0};
            const int rc = ::poll(&p, 1, 5);
            if (peer < 0) {
                if (rc > 0)
                    peer = ::accept(listenFd_, nullptr, nullptr);
                continue;
            }
            if (rc > 0) {
                std::uint8_t buf[512];
                const ssize_t n = ::recv(peer, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                device_.Receive(std::span<const std::uint8_t>(buf, std::size_t(n)));
                quietPending = true;
            } else if (quietPending) {
                quietPending = false;
                device_.Idle(); // the end of a firmware image
            }
            std::uint8_t out[512];
            while (device_.Pending() > 0 && (budget_ < 0 || sent_ < budget_)) {
                const long room = budget_ < 0 ? long(sizeof out) : std::min<long>(sizeof out, budget_ - sent_);
                const int n = device_.Take(std::span<std::uint8_t>(out, std::size_t(room)));
                if (n <= 0 || ::send(peer, out, std::size_t(n), MSG_NOSIGNAL) != n)
                    break;
                sent_ += n;
            }
        }
        if (peer >= 0)
            ::close(peer);
    }

    SimDevice device_;
    long budget_;
    long sent_ = 0;
    int listenFd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::vector<std::uint8_t> Firmware()
{
    std::vector<std::uint8_t> image(10 + 3 * kPacketSize, 0x3C);
    image[0] = image[1] = 0x55;
    image[2] = SimDevice::kSelaTypeCode;
    image[3] = 47;
    return image;
}

} // namespace

class TestSilentDevice : public QObject {
    Q_OBJECT
private slots:
    void endsWithinOneTimeout_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<int>("answerBytes"); // sent before the device goes silent; -1 all
        QTest::addColumn<int>("result");
        QTest::newRow("init, whole answer") << "init" << -1 << 0;
        QTest::newRow("init, no answer") << "init" << 0 << 2;
        QTest::newRow("init, 5 bytes") << "init" << 5 << 2;
        QTest::newRow("registration read, whole") << "read" << -1 << 0;
        QTest::newRow("registration read, nothing") << "read" << 0 << 2;
        QTest::newRow("registration read, header and one packet") << "read" << 2 + 64 << 2;
        QTest::newRow("registration read, mid packet") << "read" << 2 + 64 + 20 << 2;
        QTest::newRow("registration read, all but the CRC") << "read" << 2 + 1792 << 2;
        QTest::newRow("registration read, one CRC byte") << "read" << 2 + 1792 + 1 << 2;
        QTest::newRow("settings write, no acknowledgement") << "write" << 0 << 2;
        QTest::newRow("settings write, 3 bytes of it") << "write" << 3 << 2;
        QTest::newRow("firmware, no verdict") << "firmware" << 0 << 3;
    }
    void endsWithinOneTimeout()
    {
        QFETCH(QString, exchange);
        QFETCH(int, answerBytes);
        QFETCH(int, result);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dev.sock"));
        MutingDevice device(path, answerBytes);
        QVERIFY(device.Listening());
        UsbLink link(std::make_unique<SocketBackend>(path, kTimeoutMs));
        QVERIFY(link.OpenUsbDevice());
        test::RecordingTransport wire(&link); // no real pauses: only the waits are timed
        test::RecordingProgress progress;
        MessageCatalogue catalogue;
        catalogue.Fill(BuiltinStringSource());
        LinkContext ctx{wire, wire, progress, catalogue};

        QElapsedTimer t;
        t.start();
        int got = -1;
        if (exchange == QLatin1String("init")) {
            DeviceInfo info;
            got = InitLink(ctx, kInitMainPage, info);
        } else if (exchange == QLatin1String("read")) {
            std::vector<int> cells(kRegistrationBlockCount * kBlockSize, 0);
            got = ReadDeviceBlocks(ctx, kRegistrationBlockCount, kRegistrationFirstBlock, cells);
        } else if (exchange == QLatin1String("write")) {
            const std::vector<int> cells(kBlockSize, 1);
            got = WriteDeviceBlocks(ctx, kSettingsBlockCount, kSettingsFirstBlock, cells);
        } else {
            got = WriteFirmware(ctx, Firmware());
        }
        const qint64 elapsed = t.elapsed();
        QCOMPARE(got, result);
        // One wait for the silence, plus room for a slow machine; never one
        // wait per packet still to come.
        QVERIFY2(elapsed < kTimeoutMs + 300, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
        if (result != 0)
            QVERIFY2(elapsed >= kTimeoutMs - 50, qPrintable(QStringLiteral("gave up after %1 ms").arg(elapsed)));
    }
};

QTEST_GUILESS_MAIN(TestSilentDevice)
#include "tst_silentdevice.moc"
