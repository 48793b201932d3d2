// A firmware entry that is not a regular file is refused at once: opening a
// FIFO for reading would otherwise wait for a writer for good.

#include "firmware/firmwarefile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace rpu;

class TestFirmwareOpen : public QObject {
    Q_OBJECT
private slots:
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("link to a fifo") << "link to fifo";
        QTest::newRow("character device") << "link to /dev/zero";
    }
    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QString path = dir.filePath(QStringLiteral("rpu_sela_5_0.bin"));
        if (kind == QLatin1String("fifo"))
            path = fifo;
        else
            QVERIFY(QFile::link(kind.endsWith(QLatin1String("fifo")) ? fifo : QStringLiteral("/dev/zero"), path));

        auto read = std::async(std::launch::async, [path] { return ReadFirmwareFile(path); });
        if (read.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            // Let the blocked open go, so the test ends.
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd); // the reader then sees the end of the file
            read.wait();
            QFAIL("the open blocked");
        }
        const FirmwareFile fw = read.get();
        QVERIFY(fw.verdict != FirmwareVerdict::Accepted);
        QVERIFY(fw.bytes.isEmpty());
        QCOMPARE(fw.readError, FirmwareReadError::NotRegular);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareOpen)
#include "tst_firmwareopen.moc"
