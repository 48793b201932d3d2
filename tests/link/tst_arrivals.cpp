// Receivers arriving in a folder of simulator sockets: what counts as a
// receiver, and when the same path counts again.

#include "link/arrivals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace rpu;

namespace {

// A socket bound at path; listening, or left behind as by a killed simulator.
int BindSocket(const QString &path, bool listening)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(addr.sun_path, name.constData(), std::size_t(name.size()));
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0 || (listening && ::listen(fd, 4) != 0)) {
        ::close(fd);
        return -1;
    }
    if (!listening) {
        ::close(fd);
        return 0;
    }
    return fd;
}

QStringList Arrived(ArrivalWatch &watch, int forMs)
{
    QStringList paths;
    while (const auto arrival = watch.Next(forMs))
        paths << QFileInfo(arrival->path).fileName();
    return paths;
}

} // namespace

class TestArrivals : public QObject {
    Q_OBJECT

private slots:
    void socketsInAFolder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString live = dir.filePath(QStringLiteral("live.sock"));
        int liveFd = BindSocket(live, true);
        QVERIFY(liveFd >= 0);
        QCOMPARE(BindSocket(dir.filePath(QStringLiteral("stale.sock")), false), 0);
        QFile state(dir.filePath(QStringLiteral("live.state")));
        QVERIFY(state.open(QIODevice::WriteOnly));
        state.close();

        LinkConfig config;
        config.kind = LinkConfig::Kind::SocketDir;
        config.socketDir = dir.path();
        QString error;
        const auto watch = WatchArrivals(config, &error);
        QVERIFY2(watch, qPrintable(error));
        // There at the start and answering: one arrival, once; a stale socket and a file are none.
        QCOMPARE(Arrived(*watch, 4 * kArrivalScanMs), QStringList{"live.sock"});
        QString why;
        QVERIFY2(watch->Open({QStringLiteral("socket:") + live, QStringLiteral("socket"), live, 0}, &why), qPrintable(why));

        // Its simulator restarted at the same path: a new arrival; a second one beside it too.
        ::close(liveFd);
        QVERIFY(QFile::remove(live));
        liveFd = BindSocket(live, true);
        const int otherFd = BindSocket(dir.filePath(QStringLiteral("other.sock")), true);
        QVERIFY(liveFd >= 0 && otherFd >= 0);
        QStringList again = Arrived(*watch, 4 * kArrivalScanMs);
        again.sort();
        QCOMPARE(again, (QStringList{"live.sock", "other.sock"}));
        ::close(liveFd);
        ::close(otherFd);
    }
};

QTEST_GUILESS_MAIN(TestArrivals)
#include "tst_arrivals.moc"
