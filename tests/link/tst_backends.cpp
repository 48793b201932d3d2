// The device backends and the configuration that picks one.

#include "link/linkconfig.h"
#include "link/libusbbackend.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/socketbackend.h"
#include "link/usblink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace rpu;

namespace {

using Ids = std::vector<UsbId>;

QString WriteIni(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = dir.filePath(QStringLiteral("rpu.ini"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write(body);
    return path;
}

// A listening UNIX socket owned by the test.
struct Listener {
    int fd = -1;
    int peer = -1;
    explicit Listener(const QString &path)
    {
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        std::memcpy(addr.sun_path, p.constData(), static_cast<std::size_t>(p.size()));
        if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 2) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    bool Accept()
    {
        peer = ::accept(fd, nullptr, nullptr);
        return peer >= 0;
    }
    void Send(std::initializer_list<std::uint8_t> bytes)
    {
        const std::vector<std::uint8_t> v(bytes);
        [[maybe_unused]] ssize_t n = ::send(peer, v.data(), v.size(), MSG_NOSIGNAL);
    }
    QByteArray received;
    // Everything received so far.
    QByteArray Receive()
    {
        char buf[256];
        const ssize_t n = ::recv(peer, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0)
            received.append(buf, n);
        return received;
    }
    void ClosePeer()
    {
        if (peer >= 0)
            ::close(peer);
        peer = -1;
    }
    ~Listener()
    {
        ClosePeer();
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

Q_DECLARE_METATYPE(rpu::LinkFault)

class TestBackends : public QObject {
    Q_OBJECT

private slots:
    void usbIdList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Ids>("ids");
        QTest::addColumn<int>("warnings");
        QTest::newRow("one") << "04b4:8613" << Ids{{0x04b4, 0x8613}} << 0;
        QTest::newRow("blanks and case") << " 04B4:8613 , 1d50:60A1 " << Ids{{0x04b4, 0x8613}, {0x1d50, 0x60a1}} << 0;
        QTest::newRow("short hex") << "1:2" << Ids{{1, 2}} << 0;
        QTest::newRow("duplicate kept once") << "0403:6001,0403:6001" << Ids{{0x0403, 0x6001}} << 0;
        QTest::newRow("malformed skipped")
            << "04b4:8613,xyz,12345:0001,04b4:,:1,04b4-8613,1:2:3,0x04:1,ffff:ffff"
            << Ids{{0x04b4, 0x8613}, {0xffff, 0xffff}} << 7;
        QTest::newRow("empty") << "" << Ids{} << 0;
        QTest::newRow("only commas") << " , ," << Ids{} << 0;
    }
    void usbIdList()
    {
        QFETCH(QString, text);
        QFETCH(Ids, ids);
        QFETCH(int, warnings);
        QStringList w;
        QCOMPARE(ParseUsbIdList(text, &w), ids);
        QCOMPARE(w.size(), warnings);
    }

    void settingsDefaults()
    {
        QTemporaryDir dir;
        const LinkConfig s = ReadLinkConfig(dir.filePath(QStringLiteral("missing.ini")));
        QCOMPARE(s.kind, LinkConfig::Kind::Usb);
        QCOMPARE(s.usbIds, (Ids{{0x04b4, 0x8613}, {0x04b4, 0x1004}}));
        QCOMPARE(s.readTimeoutMs, 2000);
        QCOMPARE(s.simDevices, 1);
        QCOMPARE(s.simVersion, 46);
        QVERIFY(s.warnings.isEmpty());
    }

    void settingsValues()
    {
        QTemporaryDir dir;
        const QString ini = WriteIni(dir, "[Language]\nDefault=RU\n[Device]\nTransport=socket:/tmp/rpu sim.sock\n"
                                          "UsbIds=\"0403:6001, 1d50:60a1\"\nReadTimeoutMs=150\nSimDevices=2\nSimVersion=104\n");
        const LinkConfig s = ReadLinkConfig(ini);
        QCOMPARE(s.kind, LinkConfig::Kind::Socket);
        QCOMPARE(s.socketPath, QStringLiteral("/tmp/rpu sim.sock"));
        QCOMPARE(s.usbIds, (Ids{{0x0403, 0x6001}, {0x1d50, 0x60a1}}));
        QCOMPARE(s.readTimeoutMs, 150);
        QCOMPARE(s.simDevices, 2);
        QCOMPARE(s.simVersion, 104);
        QVERIFY(s.warnings.isEmpty());

        // The same list unquoted, as a hand-edited file would have it.
        const LinkConfig u = ReadLinkConfig(WriteIni(dir, "[Device]\nTransport=Simulator\nUsbIds=0403:6001,1d50:60a1\n"));
        QCOMPARE(u.kind, LinkConfig::Kind::Simulator);
        QCOMPARE(u.usbIds, (Ids{{0x0403, 0x6001}, {0x1d50, 0x60a1}}));

        // A bench folder of simulators, from the file and over it for one run.
        LinkConfig d = ReadLinkConfig(WriteIni(dir, "[Device]\nTransport=Socket-Dir:/tmp/bench\n"));
        QCOMPARE(d.kind, LinkConfig::Kind::SocketDir);
        QCOMPARE(d.socketDir, QStringLiteral("/tmp/bench"));
        ApplyTransportOverride(d, QStringLiteral("socket-dir:/run/other"));
        QCOMPARE(d.socketDir, QStringLiteral("/run/other"));
    }

    void settingsBadValuesFallBack_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("warnings");
        QTest::newRow("zero timeout") << QByteArray("ReadTimeoutMs=0\n") << 1;
        QTest::newRow("negative timeout") << QByteArray("ReadTimeoutMs=-5\n") << 1;
        QTest::newRow("text timeout") << QByteArray("ReadTimeoutMs=soon\n") << 1;
        QTest::newRow("three devices") << QByteArray("SimDevices=3\n") << 1;
        QTest::newRow("version too big") << QByteArray("SimVersion=256\n") << 1;
        QTest::newRow("unknown transport") << QByteArray("Transport=serial\n") << 1;
        QTest::newRow("socket without path") << QByteArray("Transport=socket:\n") << 1;
        QTest::newRow("blank before the socket path") << QByteArray("Transport=socket: /tmp/a.sock\n") << 1;
        QTest::newRow("ids all bad") << QByteArray("UsbIds=nonsense\n") << 2;
    }
    void settingsBadValuesFallBack()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, warnings);
        QTemporaryDir dir;
        const LinkConfig s = ReadLinkConfig(WriteIni(dir, "[Device]\n" + body));
        QCOMPARE(s.kind, LinkConfig::Kind::Usb);
        QCOMPARE(s.readTimeoutMs, 2000);
        QCOMPARE(s.simDevices, 1);
        QCOMPARE(s.simVersion, 46);
        QCOMPARE(s.usbIds.size(), std::size_t(2));
        QCOMPARE(s.warnings.size(), warnings);
    }

    void readTimeoutIsClamped_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<int>("warnings");
        QTest::newRow("24.8 days") << QByteArray("2147483647") << kMaxReadTimeoutMs << 1;
        QTest::newRow("just above") << QByteArray::number(kMaxReadTimeoutMs + 1) << kMaxReadTimeoutMs << 1;
        QTest::newRow("the longest") << QByteArray::number(kMaxReadTimeoutMs) << kMaxReadTimeoutMs << 0;
        QTest::newRow("the shortest") << QByteArray::number(kMinReadTimeoutMs) << kMinReadTimeoutMs << 0;
        QTest::newRow("1 ms") << QByteArray("1") << kMinReadTimeoutMs << 1;
        QTest::newRow("beyond int") << QByteArray("99999999999") << 2000 << 1;
    }
    void readTimeoutIsClamped()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, timeout);
        QFETCH(int, warnings);
        QTemporaryDir dir;
        const LinkConfig s = ReadLinkConfig(WriteIni(dir, "[Device]\nReadTimeoutMs=" + value + "\n"));
        QCOMPARE(s.readTimeoutMs, timeout);
        QCOMPARE(s.warnings.size(), warnings);
        if (warnings)
            QVERIFY2(s.warnings.front().startsWith(QLatin1String("ReadTimeoutMs")), qPrintable(s.warnings.front()));
    }

    // Values QSettings would split at a comma or cut at a ';' are taken whole;
    // a value that cannot be used is named on the way out.
    void valuesAreTakenWhole_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("socketPath"); // empty: usb
        QTest::addColumn<QString>("warning");    // empty: none; else a part of the one warning
        const QByteArray longPath = "/tmp/" + QByteArray(120, 'x') + ".sock";
        QTest::newRow("comma in path") << QByteArray("Transport=socket:/tmp/a,b.sock\n") << "/tmp/a,b.sock" << "";
        QTest::newRow("semicolon in path") << QByteArray("Transport=socket:/tmp/x;y.sock\n") << "/tmp/x;y.sock" << "";
        QTest::newRow("quoted path") << QByteArray("Transport=\"socket:/tmp/q r.sock\"\n") << "/tmp/q r.sock" << "";
        QTest::newRow("comment lines")
            << QByteArray("; Transport=simulator\n# x\r\nTransport = socket:/s.sock \r\n") << "/s.sock" << "";
        QTest::newRow("path over the limit") << "Transport=socket:" + longPath + "\n" << "" << QString::fromLatin1(longPath);
        QTest::newRow("list-like version") << QByteArray("SimVersion=4,6\n") << "" << "\"4,6\"";
        QTest::newRow("list-like timeout") << QByteArray("ReadTimeoutMs=1;5\n") << "" << "\"1;5\"";
        QTest::newRow("other section") << QByteArray("[Other]\nTransport=socket:/o.sock\n") << "" << "";
    }
    void valuesAreTakenWhole()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, socketPath);
        QFETCH(QString, warning);
        QTemporaryDir dir;
        const LinkConfig s = ReadLinkConfig(WriteIni(dir, "[Device]\n" + body));
        QCOMPARE(s.kind, socketPath.isEmpty() ? LinkConfig::Kind::Usb : LinkConfig::Kind::Socket);
        QCOMPARE(s.socketPath, socketPath);
        QCOMPARE(s.warnings.size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty())
            QVERIFY2(s.warnings[0].contains(warning), qPrintable(s.warnings[0]));
    }

    void longIdListInLinearTime()
    {
        QStringList entries;
        for (int i = 0; i < 300000; ++i)
            entries << QStringLiteral("%1:%2").arg(i / 65536 + 1, 4, 16, QLatin1Char('0')).arg(i % 65536, 4, 16, QLatin1Char('0'));
        entries << entries.mid(0, 1000);
        QElapsedTimer t;
        t.start();
        const std::vector<UsbId> ids = ParseUsbIdList(entries.join(QLatin1Char(',')), nullptr);
        // Linear takes a second or two even sanitized on a busy machine; a
        // scan per entry takes minutes.
        QVERIFY2(t.elapsed() < 30000, qPrintable(QStringLiteral("%1 ms").arg(t.elapsed())));
        QCOMPARE(ids.size(), std::size_t(300000));
        QCOMPARE(ids.back(), (UsbId{5, 300000 % 65536 - 1}));
    }

    void factoryPicksTheBackend()
    {
        SimDevice device;
        LinkConfig s;
        s.kind = LinkConfig::Kind::Simulator;
        s.simDevices = 2;
        s.simVersion = 104;
        auto sim = MakeDeviceBackend(s, &device);
        auto *simBackend = dynamic_cast<SimBackend *>(sim.get());
        QVERIFY(simBackend);
        QCOMPARE(simBackend->DeviceCount(), 2);
        QCOMPARE(device.VersionByte(), std::uint8_t(104));

        s.kind = LinkConfig::Kind::Socket;
        s.socketPath = QStringLiteral("/nonexistent/rpu.sock");
        s.readTimeoutMs = 300;
        auto sock = MakeDeviceBackend(s, &device);
        auto *socketBackend = dynamic_cast<SocketBackend *>(sock.get());
        QVERIFY(socketBackend);
        QCOMPARE(socketBackend->Path(), s.socketPath);
        QCOMPARE(socketBackend->ReadTimeoutMs(), 300);

        s.kind = LinkConfig::Kind::Usb;
        QVERIFY(dynamic_cast<LibusbBackend *>(MakeDeviceBackend(s, &device).get()));
        // Asked for the simulator with no device to simulate: the bus.
        s.kind = LinkConfig::Kind::Simulator;
        QVERIFY(dynamic_cast<LibusbBackend *>(MakeDeviceBackend(s, nullptr).get()));
    }

    void simBackendPipes()
    {
        SimDevice device;
        SimBackend backend(device, 2);
        QCOMPARE(int(backend.Enumerate().size()), 2);
        backend.SetDeviceCount(0);
        QVERIFY(backend.Enumerate().empty());
        backend.SetDeviceCount(1);

        UsbLink link(std::make_unique<SimBackend>(device, 1));
        QVERIFY(link.OpenUsbDevice());
        // Handshake straight into the device, answer back byte by byte.
        for (std::uint8_t b : {0x55, 0x55, 0xA0, 0xAA, 0x00, 0x00, 0x02, 0x29})
            QVERIFY(link.WriteByte(b));
        std::uint8_t b = 0;
        QVERIFY(link.ReadByte(b));
        QCOMPARE(b, std::uint8_t(0x55));
        QVERIFY(device.Pending() > 0);
        link.FlushPipe(PipeKind::Read);
        QCOMPARE(device.Pending(), 0);
        // A silent device: both reads fail at once.
        QElapsedTimer t;
        t.start();
        QVERIFY(!link.ReadByte(b));
        std::array<std::uint8_t, kPacketSize> packet{};
        QVERIFY(!link.ReadPacket(packet));
        QVERIFY(t.elapsed() < 500);

        device.Faults().dropAfterBytes = 1;
        QVERIFY(!link.WriteByte(0x55));
        QVERIFY(!link.WriteByte(0x55));
        QVERIFY(!link.ReadPacket(packet));
    }

    void simBackendRefusedPipes()
    {
        SimDevice device;
        auto backend = std::make_unique<SimBackend>(device, 1);
        backend->SetPipeOpenError(QStringLiteral("Access is denied."));
        QStringList texts;
        UsbLink link(std::move(backend), [&](const QString &, const QString &t) { texts << t; });
        QVERIFY(link.OpenUsbDevice());
        QCOMPARE(texts, QStringList{QStringLiteral("Access is denied.")});
        QVERIFY(!link.WriteByte(0x55));
    }

    // No device, and the link knows why: nobody listens there (the window
    // says so instead of "disconnected from the USB line").
    void socketWithNobodyListeningIsNoDevice()
    {
        QTemporaryDir dir;
        const QString absent = dir.filePath(QStringLiteral("absent.sock"));
        // A socket file left behind by a process that is gone.
        const QString stale = dir.filePath(QStringLiteral("stale.sock"));
        {
            Listener l(stale);
            QVERIFY(l.fd >= 0);
        }
        QVERIFY(QFile::exists(stale));
        for (const QString &path : {absent, stale}) {
            UsbLink link(std::make_unique<SocketBackend>(path));
            QVERIFY(!link.OpenUsbDevice());
            QCOMPARE(link.UsbDeviceCount(), 0);
            QCOMPARE(link.LastProblem().fault, LinkFault::NoListener);
            QCOMPARE(link.LastProblem().detail, path);
        }
        QVERIFY(SocketBackend(QString(200, QLatin1Char('x'))).Enumerate().empty());

        Listener listening(absent);
        UsbLink link(std::make_unique<SocketBackend>(absent));
        QVERIFY(link.OpenUsbDevice());
        QCOMPARE(link.LastProblem().fault, LinkFault::None);
    }

    // libusb's error codes (LIBUSB_ERROR_*), fixed by its interface.
    void libusbErrorsByKind_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<LinkFault>("fault");
        QTest::newRow("access") << -3 << LinkFault::NoAccess;
        QTest::newRow("busy") << -6 << LinkFault::Busy;
        QTest::newRow("no device") << -4 << LinkFault::Gone;
        QTest::newRow("not found") << -5 << LinkFault::Gone;
        QTest::newRow("timeout") << -7 << LinkFault::TimedOut;
        QTest::newRow("pipe") << -9 << LinkFault::Other;
        QTest::newRow("io") << -1 << LinkFault::Other;
        QTest::newRow("success") << 0 << LinkFault::None;
    }
    void libusbErrorsByKind()
    {
        QFETCH(int, code);
        QFETCH(LinkFault, fault);
        QCOMPARE(LibusbFaultKind(code), fault);
    }

    // A listener that takes no call (stopped, or its queue full) is no
    // device after the read timeout, not a window frozen for good.
    void socketListenerThatTakesNoCallIsNoDevice()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("full.sock"));
        Listener device(path);
        QVERIFY(device.fd >= 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, QFile::encodeName(path).constData());
        std::vector<int> waiting;
        bool full = false;
        while (!full && waiting.size() < 64) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            full = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 && errno == EAGAIN;
            waiting.push_back(fd);
        }
        QVERIFY(full);

        SocketBackend backend(path, 300);
        auto found = std::async(std::launch::async, [&backend] {
            QElapsedTimer t;
            t.start();
            const std::size_t n = backend.Enumerate().size();
            return std::make_pair(n, t.elapsed());
        });
        if (found.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ::close(device.fd); // wakes the blocked connect
            device.fd = -1;
            found.wait();
            QFAIL("connect blocked on a listener that takes no call");
        }
        const auto [count, ms] = found.get();
        QCOMPARE(count, std::size_t(0));
        QVERIFY2(ms >= 250 && ms < 2000, qPrintable(QStringLiteral("%1 ms").arg(ms)));

        // Once a call is taken there is room again: one device.
        QVERIFY(device.Accept());
        QCOMPARE(backend.Enumerate().size(), std::size_t(1));
        for (int fd : waiting)
            ::close(fd);
    }

    void socketTransfers()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dev.sock"));
        Listener device(path);
        QVERIFY(device.fd >= 0);
        UsbLink link(std::make_unique<SocketBackend>(path, 200));
        QVERIFY(link.OpenUsbDevice());
        QVERIFY(device.Accept());

        QVERIFY(link.WriteByte(0x55));
        std::array<std::uint8_t, kPacketSize> packet;
        for (int i = 0; i < kPacketSize; ++i)
            packet[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        QVERIFY(link.WritePacket(packet));
        QTRY_COMPARE(device.Receive().size(), 65);
        QCOMPARE(device.received.at(0), char(0x55));
        QCOMPARE(device.received.at(64), char(63));

        // A short packet comes back after the wait, as a short USB read.
        device.Send({1, 2, 3});
        packet.fill(0xEE);
        QElapsedTimer t;
        t.start();
        QVERIFY(link.ReadPacket(packet));
        QVERIFY(t.elapsed() >= 150);
        QCOMPARE(packet[2], std::uint8_t(3));
        QCOMPARE(packet[3], std::uint8_t(0xEE));

        // That read ran out of time: until the next write, reads take what
        // is there without waiting again.
        device.Send({0x42});
        std::uint8_t b = 0;
        QVERIFY(link.ReadByte(b));
        QCOMPARE(b, std::uint8_t(0x42));
        t.restart();
        QVERIFY(!link.ReadByte(b));
        QVERIFY(!link.ReadPacket(packet));
        QVERIFY(t.elapsed() < 100);

        // After a write a read waits again; nothing by then is a failed read.
        QVERIFY(link.WriteByte(0x55));
        t.restart();
        QVERIFY(!link.ReadByte(b));
        QVERIFY(t.elapsed() >= 150 && t.elapsed() < 2000);

        // Flushing the read pipe drops what is waiting.
        device.Send({9, 9, 9});
        QTest::qWait(50);
        link.FlushPipe(PipeKind::Read);
        device.Send({7});
        QVERIFY(link.ReadByte(b));
        QCOMPARE(b, std::uint8_t(7));

        // The other end goes away: transfers fail, and writing does not kill us.
        device.ClosePeer();
        QVERIFY(!link.ReadByte(b));
        QVERIFY(!link.ReadPacket(packet));
        QVERIFY(!link.WriteByte(0x55));
        QVERIFY(!link.WritePacket(packet));
    }
};

QTEST_GUILESS_MAIN(TestBackends)
#include "tst_backends.moc"
