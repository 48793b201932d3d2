// Settings files: the exact bytes written, tolerant reading, typed errors,
// atomic saves and the default names.

#include "files/settingsfile.h"
#include "i18n/messagecatalogue.h"
#include "files/filetestutil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace rpu;

Q_DECLARE_METATYPE(rpu::DeviceModeChoice)

namespace {

// Lines "1".."count" joined by end, with or without an end after the last.
QByteArray NumberedLines(int count, const QByteArray &end, bool finalEnd = true)
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i) {
        bytes += QByteArray::number(i);
        if (i < count || finalEnd)
            bytes += end;
    }
    return bytes;
}

SettingsFileCells SampleCells()
{
    SettingsFileCells cells{};
    for (int i = 0; i < kSettingsFileCells; ++i)
        cells[i] = quint32(i * 37 % 256);
    cells[34] = 4294967295u; // a time list left without selection
    return cells;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir tmp_;
    MessageCatalogue catalogue_;
    QString Path(const QString &name) const { return tmp_.filePath(name); }

private slots:
    void initTestCase() { catalogue_.Fill(BuiltinStringSource()); }
    void savedFileIsExactly96CrLfLines()
    {
        const QString path = Path("saved.cfg");
        const SettingsFileCells cells = SampleCells();
        QVERIFY(WriteSettingsFile(path, cells).ok());

        QByteArray expected;
        for (quint32 cell : cells)
            expected += QByteArray::number(cell) + "\r\n";
        QCOMPARE(ReadBytes(path), expected);

        const auto back = ReadSettingsFile(path);
        QVERIFY(back.ok());
        QCOMPARE(back.value->cells, cells);
        QCOMPARE(back.value->cells[34], 4294967295u);
    }

    void tolerantReads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("lineCount");
        QTest::newRow("CR LF") << NumberedLines(96, "\r\n") << 96;
        QTest::newRow("LF only") << NumberedLines(96, "\n") << 96;
        QTest::newRow("CR only") << NumberedLines(96, "\r") << 96;
        QTest::newRow("no final line end") << NumberedLines(96, "\r\n", false) << 96;
        QTest::newRow("100 lines") << NumberedLines(100, "\r\n") << 100;
        QTest::newRow("junk after line 96") << NumberedLines(96, "\r\n") + "abc\r\n\r\n" << 98;
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + NumberedLines(96, "\r\n") << 96;
        QByteArray padded; // long lines: their ends are found past the first bytes looked at
        for (int i = 1; i <= 96; ++i)
            padded += QByteArray(40 + i, ' ') + QByteArray::number(i) + (i % 2 ? "\r" : "\r\n");
        QTest::newRow("blank-padded lines, CR and CR LF") << padded << 96;
    }
    void tolerantReads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, lineCount);
        const QString path = Path("tolerant.cfg");
        QVERIFY(WriteBytes(path, bytes));
        const auto read = ReadSettingsFile(path);
        QVERIFY2(read.ok(), qPrintable(DescribeFileError(read.error, path, catalogue_)));
        for (int i = 0; i < kSettingsFileCells; ++i)
            QCOMPARE(read.value->cells[i], quint32(i + 1));
        QCOMPARE(read.value->lineCount, lineCount);
    }

    void numberForms_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<quint32>("value");
        QTest::newRow("leading blanks and sign") << "  +17" << true << 17u;
        QTest::newRow("largest unsigned") << "4294967295" << true << 4294967295u;
        QTest::newRow("negative wraps") << "-1" << true << 4294967295u;
        QTest::newRow("smallest signed") << "-2147483648" << true << 2147483648u;
        QTest::newRow("beyond unsigned") << "4294967296" << false << 0u;
        QTest::newRow("beyond signed") << "-2147483649" << false << 0u;
        QTest::newRow("huge digit run") << QString(60, QLatin1Char('9')) << false << 0u;
        QTest::newRow("empty") << "" << false << 0u;
        QTest::newRow("trailing blank") << "12 " << false << 0u;
        QTest::newRow("arabic-indic digit") << QString(QChar(0x0663)) << false << 0u;
    }
    void numberForms()
    {
        QFETCH(QString, line);
        QFETCH(bool, ok);
        QFETCH(quint32, value);
        QStringList lines(kSettingsFileCells, QStringLiteral("1"));
        lines[40] = line;
        const auto parsed = ParseSettingsLines(lines);
        QCOMPARE(parsed.ok(), ok);
        if (ok) {
            QCOMPARE((*parsed.value)[40], value);
        } else {
            QCOMPARE(parsed.error.line, 41);
            QVERIFY(parsed.error.kind == FileErrorKind::NotANumber
                    || parsed.error.kind == FileErrorKind::OutOfRange);
        }
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<FileErrorKind>("kind");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QByteArray bad17 = NumberedLines(96, "\r\n");
        bad17.replace("\r\n17\r\n", "\r\nabc\r\n");
        QByteArray blank5 = NumberedLines(96, "\n");
        blank5.replace("\n5\n", "\n\n");
        QTest::newRow("empty file") << QByteArray() << FileErrorKind::TooShort << 1 << QString();
        QTest::newRow("95 lines") << NumberedLines(95, "\r\n") << FileErrorKind::TooShort << 96 << QString();
        QTest::newRow("text on line 17") << bad17 << FileErrorKind::NotANumber << 17 << "abc";
        QTest::newRow("blank line 5") << blank5 << FileErrorKind::NotANumber << 5 << "";
        QTest::newRow("firmware bytes") << QByteArray("\x55\x55\x12\x2f\0\1", 6) << FileErrorKind::TooShort
                                        << 2 << QString();
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(FileErrorKind, kind);
        QFETCH(int, line);
        QFETCH(QString, text);
        const QString path = Path("refused.cfg");
        QVERIFY(WriteBytes(path, bytes));
        const auto read = ReadSettingsFile(path);
        QVERIFY(!read.ok());
        QCOMPARE(read.error.kind, kind);
        QCOMPARE(read.error.line, line);
        QCOMPARE(read.error.text, text);
        // A file name is shown as it is, placeholders and all.
        const QString message = DescribeFileError(read.error, "refused %s %2.cfg", catalogue_);
        QVERIFY2(message.contains("refused %s %2.cfg"), qPrintable(message));
        const bool emptyFile = kind == FileErrorKind::TooShort && line == 1;
        QVERIFY(emptyFile || message.contains(QString::number(line)));
    }

    void unreadableFiles()
    {
        QCOMPARE(ReadSettingsFile(Path("missing.cfg")).error.kind, FileErrorKind::CannotOpen);
        QVERIFY(QDir(tmp_.path()).mkdir("folder.cfg"));
        QCOMPARE(ReadSettingsFile(Path("folder.cfg")).error.kind, FileErrorKind::IsFolder);
        const QString big = Path("big.cfg");
        QVERIFY(WriteBytes(big, NumberedLines(96, "\r\n") + QByteArray(kMaxNumberFileSize, '\n')));
        QCOMPARE(ReadSettingsFile(big).error.kind, FileErrorKind::TooLarge);
    }

    void failedSaveLeavesOldFile()
    {
        const QString path = Path("kept.cfg");
        const QByteArray old = NumberedLines(96, "\r\n");
        QVERIFY(WriteBytes(path, old));
        SettingsFileCells cells{};
        cells.fill(123456789u); // about a kilobyte: more than the limit below

        // The disk "fills up" part way through the new file.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 200;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const FileError error = WriteSettingsFile(path, cells);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(error.kind, FileErrorKind::CannotWrite);
        QCOMPARE(ReadBytes(path), old);
        QCOMPARE(QDir(tmp_.path()).entryList({"kept*"}, QDir::Files), QStringList{"kept.cfg"});

        const FileError noFolder = WriteSettingsFile(Path("no/such/folder/x.cfg"), cells);
        QCOMPARE(noFolder.kind, FileErrorKind::CannotWrite);
        QVERIFY(!noFolder.systemMessage.isEmpty());
    }

    void defaultNames_data()
    {
        QTest::addColumn<bool>("demo");
        QTest::addColumn<DeviceModeChoice>("mode");
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<QString>("name"); // empty: the dialog keeps its previous name
        using M = DeviceModeChoice;
        QTest::newRow("demo RPU") << true << M::Rpu << -1 << "ksy_rpu_auto";
        QTest::newRow("demo RTR") << true << M::Rtr << 2 << "ksy_rtr";
        QTest::newRow("demo MRO") << true << M::Mro << 0 << "ksy_mro";
        QTest::newRow("demo none") << true << M::None << 1 << "";
        QTest::newRow("class 0 RPU") << false << M::Rpu << 0 << "ksy_rpu_auto";
        QTest::newRow("class 0 RTR") << false << M::Rtr << 0 << "ksy_rtr";
        QTest::newRow("class 0 MRO") << false << M::Mro << 0 << "";
        QTest::newRow("class 1 any") << false << M::Rpu << 1 << "ksy_mro";
        QTest::newRow("class 2 RPU") << false << M::Rpu << 2 << "";
    }
    void defaultNames()
    {
        QFETCH(bool, demo);
        QFETCH(DeviceModeChoice, mode);
        QFETCH(int, deviceClass);
        QFETCH(QString, name);
        QCOMPARE(DefaultSettingsFileName(demo, mode, deviceClass).value_or(QString()), name);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
