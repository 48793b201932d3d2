// Receiver identities: the forms the backends give, what --device may say,
// and two spellings of one socket being one receiver.

#include "link/deviceidentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

using namespace rpu;

Q_DECLARE_METATYPE(rpu::DeviceName::Kind)

class TestDeviceIdentity : public QObject {
    Q_OBJECT
private slots:
    void backendForms()
    {
        const std::vector<std::uint8_t> hubPort{1, 4};
        const std::vector<std::uint8_t> deep{2, 1, 3, 7, 255};
        QCOMPARE(UsbPortIdentity(1, hubPort, 9), QStringLiteral("usb:1-1.4"));
        QCOMPARE(UsbPortIdentity(3, std::vector<std::uint8_t>{2}, 9), QStringLiteral("usb:3-2"));
        QCOMPARE(UsbPortIdentity(12, deep, 9), QStringLiteral("usb:12-2.1.3.7.255"));
        QCOMPARE(UsbPortIdentity(1, {}, 9), QStringLiteral("usb:1@9"));
        QCOMPARE(SimulatorIdentity(2), QStringLiteral("simulator:#2"));
        // Every form a backend gives is taken back by --device as itself.
        for (const QString &identity : {UsbPortIdentity(1, hubPort, 9), UsbPortIdentity(12, deep, 9),
                                        UsbPortIdentity(1, {}, 9), SimulatorIdentity(2),
                                        SocketIdentity(QStringLiteral("/run/rpu/bench 3.sock"))}) {
            const DeviceName name = ParseDeviceName(identity);
            QVERIFY2(name.kind == DeviceName::Kind::Identity, qPrintable(identity));
            QCOMPARE(name.identity, identity);
        }
    }

    void deviceNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<DeviceName::Kind>("kind");
        QTest::addColumn<QString>("value"); // the number, or the identity
        using K = DeviceName::Kind;
        QTest::newRow("list number") << "3" << K::ListNumber << "3";
        QTest::newRow("zero") << "0" << K::Invalid << "";
        QTest::newRow("negative") << "-2" << K::Invalid << "";
        QTest::newRow("plus sign") << "+2" << K::Invalid << "";
        QTest::newRow("usb port") << "usb:1-1.4" << K::Identity << "usb:1-1.4";
        QTest::newRow("usb in capitals") << "USB:2-3" << K::Identity << "usb:2-3";
        QTest::newRow("bare port") << "1-1.4" << K::Identity << "usb:1-1.4";
        QTest::newRow("bus address") << "usb:1@7" << K::Identity << "usb:1@7";
        QTest::newRow("port 0") << "usb:1-0" << K::Invalid << "";
        QTest::newRow("port over 255") << "usb:1-256" << K::Invalid << "";
        QTest::newRow("eight tiers") << "usb:1-1.1.1.1.1.1.1.1" << K::Invalid << "";
        QTest::newRow("trailing dot") << "usb:1-1." << K::Invalid << "";
        QTest::newRow("no port") << "usb:1" << K::Invalid << "";
        QTest::newRow("simulator") << "simulator:#2" << K::Identity << "simulator:#2";
        QTest::newRow("simulator 0") << "simulator:#0" << K::Invalid << "";
        QTest::newRow("simulator text") << "simulator:#x" << K::Invalid << "";
        QTest::newRow("socket") << "socket:/run/a.sock" << K::Identity << "socket:/run/a.sock";
        QTest::newRow("socket cleaned") << "socket:/run/x/../a.sock" << K::Identity << "socket:/run/a.sock";
        QTest::newRow("bare absolute path") << "/run//a.sock" << K::Identity << "socket:/run/a.sock";
        QTest::newRow("bare word") << "a.sock" << K::Invalid << "";
        QTest::newRow("socket without path") << "socket:" << K::Invalid << "";
        QTest::newRow("empty") << "" << K::Invalid << "";
    }
    void deviceNames()
    {
        QFETCH(QString, text);
        QFETCH(DeviceName::Kind, kind);
        QFETCH(QString, value);
        const DeviceName name = ParseDeviceName(text);
        QCOMPARE(name.kind, kind);
        if (kind == DeviceName::Kind::ListNumber)
            QCOMPARE(QString::number(name.number), value);
        else
            QCOMPARE(name.identity, value);
    }

    // A relative path, a link to the socket and the socket itself are one
    // receiver; the relative one is taken from the current folder.
    void socketSpellingsMeetInOneIdentity()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString real = QDir(dir.path()).canonicalPath() + QStringLiteral("/rpu.sock");
        QFile socket(real);
        QVERIFY(socket.open(QIODevice::WriteOnly)); // a file stands in: only the name matters here
        socket.close();
        QVERIFY(QFile::link(real, dir.filePath(QStringLiteral("link.sock"))));
        const QString expected = QStringLiteral("socket:") + real;
        QCOMPARE(SocketIdentity(real), expected);
        QCOMPARE(SocketIdentity(dir.filePath(QStringLiteral("link.sock"))), expected);
        QCOMPARE(SocketIdentity(dir.path() + QStringLiteral("/./sub/../rpu.sock")), expected);
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QString relative = SocketIdentity(QStringLiteral("rpu.sock"));
        const DeviceName dotted = ParseDeviceName(QStringLiteral("./link.sock"));
        QDir::setCurrent(before);
        QCOMPARE(relative, expected);
        QCOMPARE(dotted.identity, expected);
    }
};

QTEST_GUILESS_MAIN(TestDeviceIdentity)
#include "tst_deviceidentity.moc"
