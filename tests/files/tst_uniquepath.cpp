// New backup names: an existing file, a dangling link or a name taken by
// another job at the same moment is never reused.

#include "files/uniquepath.h"
#include "filetestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>
#include <vector>

using namespace rpu;

class TestUniquePath : public QObject {
    Q_OBJECT
private slots:
    void picksAFreeName_data()
    {
        QTest::addColumn<QStringList>("present"); // names in the folder first; "@x" a link to nowhere
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QString>("got");
        QTest::newRow("free") << QStringList{} << "a_v4_6.rrg" << "a_v4_6.rrg";
        QTest::newRow("taken") << QStringList{"a_v4_6.rrg"} << "a_v4_6.rrg" << "a_v4_6-2.rrg";
        QTest::newRow("counter goes on") << QStringList{"a.rrg", "a-2.rrg", "a-3.rrg"} << "a.rrg" << "a-4.rrg";
        QTest::newRow("gap is used") << QStringList{"a.rrg", "a-3.rrg"} << "a.rrg" << "a-2.rrg";
        QTest::newRow("dots in the stem") << QStringList{"rpu3.sock_v4_6.cfg"} << "rpu3.sock_v4_6.cfg"
                                          << "rpu3.sock_v4_6-2.cfg";
        QTest::newRow("no extension") << QStringList{"copy"} << "copy" << "copy-2";
        QTest::newRow("other extension does not count") << QStringList{"a.cfg"} << "a.rrg" << "a.rrg";
        QTest::newRow("dangling link") << QStringList{"@a.rrg"} << "a.rrg" << "a-2.rrg";
        QTest::newRow("folder of that name") << QStringList{"/a.rrg"} << "a.rrg" << "a-2.rrg";
    }
    void picksAFreeName()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, wanted);
        QFETCH(QString, got);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const QString &name : present) {
            if (name.startsWith(QLatin1Char('@')))
                QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(name.mid(1))));
            else if (name.startsWith(QLatin1Char('/')))
                QVERIFY(QDir(dir.path()).mkdir(name.mid(1)));
            else
                QVERIFY(WriteBytes(dir.filePath(name), "earlier copy"));
        }
        QString error;
        const QString path = UniqueBackupPath(dir.filePath(wanted), &error);
        QCOMPARE(path, dir.filePath(got));
        QVERIFY(error.isEmpty());
        // Taken at once, empty; what was there is as it was.
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(QFileInfo(path).size(), 0);
        for (const QString &name : present)
            if (!name.startsWith(QLatin1Char('@')) && !name.startsWith(QLatin1Char('/')))
                QCOMPARE(ReadBytes(dir.filePath(name)), QByteArray("earlier copy"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));
    }

    // A folder that cannot take the file fails at once with the reason, not
    // after trying every counter.
    void refusesWhatCannotBeCreated()
    {
        QString error;
        QCOMPARE(UniqueBackupPath(QStringLiteral("/nonexistent-folder-of-rpu/a.rrg"), &error), QString());
        QVERIFY(!error.isEmpty());
    }

    // Jobs of a batch saving under one name at the same moment each get a
    // name of their own.
    void parallelJobsGetDistinctNames()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        constexpr int kJobs = 8;
        std::vector<QString> names(kJobs);
        std::vector<std::thread> jobs;
        for (int i = 0; i < kJobs; ++i)
            jobs.emplace_back([&, i] { names[std::size_t(i)] = UniqueBackupPath(dir.filePath(QStringLiteral("x.rrg"))); });
        for (auto &job : jobs)
            job.join();
        QSet<QString> distinct(names.begin(), names.end());
        QCOMPARE(distinct.size(), kJobs);
        QVERIFY(!distinct.contains(QString()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), kJobs);
    }
};

QTEST_GUILESS_MAIN(TestUniquePath)
#include "tst_uniquepath.moc"
