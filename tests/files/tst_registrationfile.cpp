// Registration backups: round trip, longer files, refused files, removal.

#include "files/registrationfile.h"
#include "files/filetestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;

namespace {

QByteArray SampleImage(int code)
{
    QByteArray image(kRegistrationImageSize, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7 % 256);
    image[image.size() - 1] = char(code);
    return image;
}

QByteArray AsLines(const QStringList &lines, const QByteArray &end = "\r\n")
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLatin1() + end;
    return bytes;
}

} // namespace

class TestRegistrationFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir tmp_;
    QString Path(const QString &name) const { return tmp_.filePath(name); }

private slots:
    void roundTrip()
    {
        const QString path = Path("ksy_rpu_3_081226_object_1234_conf_3.rrg");
        const QByteArray image = SampleImage(3);
        QVERIFY(WriteRegistrationBackup(path, RegistrationBackup::FromImage(image)).ok());

        const QByteArray bytes = ReadBytes(path);
        QCOMPARE(bytes.count("\r\n"), kRegistrationImageSize);
        QCOMPARE(bytes.count('\n'), kRegistrationImageSize);
        QVERIFY(bytes.endsWith("\n3\r\n"));

        const auto back = ReadRegistrationBackup(path);
        QVERIFY(back.ok());
        QCOMPARE(back.value->Image(), image);
        QCOMPARE(back.value->ConfigurationCode(), 3);
        // Cells from the device and back: what a read, save, load and restore carry.
        const std::vector<int> cells = back.value->ImageCells();
        QCOMPARE(cells.size(), std::size_t(kRegistrationImageSize));
        QCOMPARE(RegistrationBackup::FromCells(cells).values, image);
    }

    // The last line is the code; a restore sends lines 1..1792; a re-save
    // writes the file as it was, so its name and last line still agree.
    void longerFile()
    {
        QStringList lines = RegistrationBackup::FromImage(SampleImage(3)).Lines();
        lines << "0" << "42";
        const QString path = Path("long.rrg");
        QVERIFY(WriteBytes(path, AsLines(lines, "\n")));

        const auto read = ReadRegistrationBackup(path);
        QVERIFY(read.ok());
        QCOMPARE(read.value->ConfigurationCode(), 42);
        QCOMPARE(read.value->Image(), SampleImage(3));

        const QString resaved = Path("resaved.rrg");
        QVERIFY(WriteRegistrationBackup(resaved, *read.value).ok());
        QCOMPARE(ReadBytes(resaved), AsLines(lines));
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<FileErrorKind>("kind");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        const QStringList good = RegistrationBackup::FromImage(SampleImage(3)).Lines();
        auto with = [&](int line, const QString &text, int extra = 0) {
            QStringList lines = good;
            for (int i = 0; i < extra; ++i)
                lines << "1";
            lines[line - 1] = text;
            return AsLines(lines);
        };
        QTest::newRow("empty") << QByteArray() << FileErrorKind::TooShort << 1 << QString();
        QTest::newRow("1791 lines") << AsLines(good.mid(1)) << FileErrorKind::TooShort << 1792 << QString();
        QTest::newRow("256") << with(100, "256") << FileErrorKind::OutOfRange << 100 << "256";
        QTest::newRow("negative") << with(1, "-1") << FileErrorKind::OutOfRange << 1 << "-1";
        QTest::newRow("text") << with(1792, "x") << FileErrorKind::NotANumber << 1792 << "x";
        // Blank lines after the last value are dropped; one before a value is not.
        QTest::newRow("blank line between extra values") << with(1794, "", 3) << FileErrorKind::NotANumber
                                                          << 1794 << "";
        QTest::newRow("settings file") << QByteArray(96 * 3, '1').replace("111", "1\r\n")
                                       << FileErrorKind::TooShort << 97 << QString();
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(FileErrorKind, kind);
        QFETCH(int, line);
        QFETCH(QString, text);
        const QString path = Path("refused.rrg");
        QVERIFY(WriteBytes(path, bytes));
        const auto read = ReadRegistrationBackup(path);
        QVERIFY(!read.ok());
        QCOMPARE(read.error.kind, kind);
        QCOMPARE(read.error.line, line);
        QCOMPARE(read.error.text, text);
    }

    void shortBackupIsNotWritten()
    {
        const QString path = Path("short.rrg");
        RegistrationBackup backup{SampleImage(3).left(100)};
        QCOMPARE(WriteRegistrationBackup(path, backup).kind, FileErrorKind::TooShort);
        QVERIFY(!QFile::exists(path));
    }

    void removal()
    {
        const QString path = Path("gone.rrg");
        QVERIFY(WriteBytes(path, "1\r\n"));
        QCOMPARE(RemoveRegistrationBackup(path).outcome, RemoveOutcome::Removed);
        QVERIFY(!QFile::exists(path));

        const RemoveResult vanished = RemoveRegistrationBackup(path);
        QCOMPARE(vanished.outcome, RemoveOutcome::AlreadyGone);
        QVERIFY(vanished.succeeded());

        // Something that exists and cannot be removed as a file.
        const QString stuck = Path("stuck.rrg");
        QVERIFY(QDir().mkpath(stuck + "/inner"));
        const RemoveResult failed = RemoveRegistrationBackup(stuck);
        QCOMPARE(failed.outcome, RemoveOutcome::Failed);
        QVERIFY(!failed.succeeded());
        QVERIFY(QFileInfo::exists(stuck));
    }
};

QTEST_GUILESS_MAIN(TestRegistrationFile)
#include "tst_registrationfile.moc"
