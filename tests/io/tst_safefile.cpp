// Files that are not regular files, names that are not UTF-8, and the
// configuration file edited in place.

#include "io/inifile.h"
#include "io/safefile.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace rpu;

Q_DECLARE_METATYPE(rpu::FileFault)

namespace {

bool WriteRaw(const QByteArray &nativePath, const QByteArray &bytes)
{
    FILE *f = std::fopen(nativePath.constData(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f) == size_t(bytes.size());
    return std::fclose(f) == 0 && ok;
}

QByteArray ReadRaw(const QByteArray &nativePath)
{
    QByteArray bytes;
    if (FILE *f = std::fopen(nativePath.constData(), "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, qsizetype(n));
        std::fclose(f);
    }
    return bytes;
}

bool IsFifo(const QByteArray &nativePath)
{
    struct stat st{};
    return ::lstat(nativePath.constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

class SafeFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray Native(const char *name) const { return QFile::encodeName(dir_.path()) + '/' + name; }
    QString Path(const char *name) const { return PathFromNative(Native(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(WriteRaw(Native("plain.cfg"), "1\r\n2\r\n"));
        QVERIFY(::mkfifo(Native("pipe.cfg").constData(), 0600) == 0);
        QVERIFY(::mkdir(Native("folder.cfg").constData(), 0700) == 0);
        QVERIFY(::symlink("pipe.cfg", Native("to-pipe.cfg").constData()) == 0);
        QVERIFY(::symlink("/dev/null", Native("to-null.cfg").constData()) == 0);
        QVERIFY(::symlink("plain.cfg", Native("to-plain.cfg").constData()) == 0);
        QVERIFY(::symlink("nowhere/x.cfg", Native("dangling.cfg").constData()) == 0);
    }

    // Qt does not see a name that is not UTF-8, so QTemporaryDir cannot remove it.
    void cleanupTestCase() { ::unlink(Native("set\xFF.cfg").constData()); }

    // Read: refused before it is opened (a FIFO would block the read).
    // Written: only the check runs here, never a write to the device node: as
    // root a write there would replace it.
    void onlyRegularFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<FileFault>("read");
        QTest::addColumn<FileFault>("write");
        QTest::newRow("regular file") << Path("plain.cfg") << FileFault::None << FileFault::None;
        QTest::newRow("link to a regular file") << Path("to-plain.cfg") << FileFault::None << FileFault::None;
        QTest::newRow("FIFO") << Path("pipe.cfg") << FileFault::NotRegular << FileFault::NotRegular;
        QTest::newRow("link to a FIFO") << Path("to-pipe.cfg") << FileFault::NotRegular << FileFault::NotRegular;
        QTest::newRow("device node") << QStringLiteral("/dev/null") << FileFault::NotRegular << FileFault::NotRegular;
        QTest::newRow("link to a device node") << Path("to-null.cfg") << FileFault::NotRegular << FileFault::NotRegular;
        QTest::newRow("folder") << Path("folder.cfg") << FileFault::IsFolder << FileFault::IsFolder;
        QTest::newRow("missing") << Path("missing.cfg") << FileFault::Missing << FileFault::None;
        QTest::newRow("dangling link") << Path("dangling.cfg") << FileFault::Missing << FileFault::NotRegular;
    }
    void onlyRegularFiles()
    {
        QFETCH(QString, path);
        QFETCH(FileFault, read);
        QFETCH(FileFault, write);
        const FileBytes bytes = ReadRegularFile(path, 1024);
        QCOMPARE(bytes.fault, read);
        QCOMPARE(bytes.bytes, read == FileFault::None ? QByteArray("1\r\n2\r\n") : QByteArray());
        QCOMPARE(CheckOutputTarget(path).fault, write);
    }

    void readIsBounded_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<FileFault>("fault");
        QTest::newRow("limit above the size") << 7 << FileFault::None;
        QTest::newRow("limit at the size") << 6 << FileFault::None;
        QTest::newRow("limit below the size") << 5 << FileFault::TooLarge;
    }
    void readIsBounded()
    {
        QFETCH(int, limit);
        QFETCH(FileFault, fault);
        QCOMPARE(ReadRegularFile(Path("plain.cfg"), limit).fault, fault);
    }

    void refusedWriteLeavesTheTargetAlone_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("FIFO") << QByteArray("pipe.cfg");
        QTest::newRow("link to a FIFO") << QByteArray("to-pipe.cfg");
    }
    void refusedWriteLeavesTheTargetAlone()
    {
        QFETCH(QByteArray, name);
        const FileOutcome written = WriteFileAtomically(Path(name.constData()), "new");
        QCOMPARE(written.fault, FileFault::NotRegular);
        QVERIFY(IsFifo(Native("pipe.cfg")));
        QCOMPARE(QFileInfo(Path("to-pipe.cfg")).symLinkTarget(), Path("pipe.cfg"));
    }

    void writeThroughALinkKeepsTheLink()
    {
        QVERIFY(WriteRaw(Native("target.cfg"), "old"));
        QVERIFY(::symlink("target.cfg", Native("link.cfg").constData()) == 0);
        QVERIFY(WriteFileAtomically(Path("link.cfg"), "new").ok());
        QVERIFY(QFileInfo(Path("link.cfg")).isSymLink());
        QCOMPARE(ReadRaw(Native("target.cfg")), QByteArray("new"));
    }

    // Names as the system holds them go back unchanged; valid UTF-8 reads
    // as Qt reads it.
    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("native");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ASCII") << QByteArray("set.cfg") << true;
        QTest::newRow("Cyrillic") << QByteArray("настройки.cfg") << true;
        QTest::newRow("outside the BMP") << QByteArray("a\xF0\x9F\x98\x80.cfg") << true;
        QTest::newRow("Latin-1 byte") << QByteArray("set\xFF.cfg") << false;
        QTest::newRow("cut sequence") << QByteArray("set\xD0.cfg") << false;
        QTest::newRow("overlong slash") << QByteArray("a\xC0\xAF" "b") << false;
        QTest::newRow("encoded surrogate") << QByteArray("a\xED\xA0\x80") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("lone continuation bytes") << QByteArray("\x80\xBF") << false;
    }
    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, native);
        QFETCH(bool, utf8);
        const QString name = PathFromNative(native);
        QCOMPARE(PathToNative(name), native);
        if (utf8)
            QCOMPARE(name, QString::fromUtf8(native));
        else
            QVERIFY(!name.contains(QChar::ReplacementCharacter));
    }

    void nonUtf8NameIsWrittenAndReadUnderItsOwnName()
    {
        const QByteArray native = Native("set\xFF.cfg");
        const QString path = PathFromNative(native);
        QVERIFY(!PathExists(path));
        QVERIFY(WriteFileAtomically(path, "96\r\n").ok());
        QCOMPARE(ReadRaw(native), QByteArray("96\r\n"));
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("set\uFFFD.cfg"))));
        QVERIFY(PathExists(path));
        QCOMPARE(ReadRegularFile(path, 100).bytes, QByteArray("96\r\n"));
        QVERIFY(WriteFileAtomically(path, "97\r\n").ok());
        QCOMPARE(ReadRaw(native), QByteArray("97\r\n"));
        QCOMPARE(DisplayPath(PathFromNative("set\xFF.cfg")), QStringLiteral("set\\xFF.cfg"));
    }

    // One value set; every other byte stays.
    void iniEditChangesOneLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray bench = "; bench 3\r\n[Device]\r\nTransport=socket:/run/rpu;bench3.sock\r\n"
                                 "UsbIds=04b4:8613,04b4:1004\r\n\r\n[Language]\r\n";
        QTest::newRow("value replaced, the rest kept")
            << bench + "Default = EN  \r\n; after\r\n[Help]\r\nRU=a, b.html\r\n"
            << bench + "Default = TR  \r\n; after\r\n[Help]\r\nRU=a, b.html\r\n";
        QTest::newRow("quoted value") << QByteArray("[Language]\nDefault=\"EN\"\n") << QByteArray("[Language]\nDefault=TR\n");
        QTest::newRow("key added to its section")
            << QByteArray("[Language]\nOther=1\n\n[Help]\nRU=x\n")
            << QByteArray("[Language]\nOther=1\nDefault=TR\n\n[Help]\nRU=x\n");
        QTest::newRow("section added, no line end at the end")
            << QByteArray("[Help]\r\nRU=x") << QByteArray("[Help]\r\nRU=x\r\n[Language]\r\nDefault=TR\r\n");
        QTest::newRow("empty file") << QByteArray() << QByteArray("[Language]\nDefault=TR\n");
        QTest::newRow("the later of two keys")
            << QByteArray("[Language]\nDefault=EN\nDefault=RU\n") << QByteArray("[Language]\nDefault=EN\nDefault=TR\n");
        QTest::newRow("byte-order mark kept")
            << QByteArray("\xEF\xBB\xBF[Language]\nDefault=EN\n") << QByteArray("\xEF\xBB\xBF[Language]\nDefault=TR\n");
        QTest::newRow("commented key is not the key")
            << QByteArray("[Language]\n;Default=EN\n") << QByteArray("[Language]\n;Default=EN\nDefault=TR\n");
        QTest::newRow("same key in another section")
            << QByteArray("[Other]\nDefault=EN\n") << QByteArray("[Other]\nDefault=EN\n[Language]\nDefault=TR\n");
    }
    void iniEditChangesOneLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const IniDocument ini(before);
        const QByteArray edited = ini.WithValue(QStringLiteral("Language"), QStringLiteral("Default"), QStringLiteral("TR"));
        QCOMPARE(edited, after);
        QCOMPARE(IniDocument(edited).Value(QStringLiteral("Language"), QStringLiteral("Default")), QStringLiteral("TR"));
    }

    void iniValuesAreReadWhole_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("semicolon") << QByteArray("[Device]\nTransport=socket:/run/rpu;bench3.sock\n")
                                   << "Device" << "Transport" << "socket:/run/rpu;bench3.sock";
        QTest::newRow("comma and blank") << QByteArray("[Help]\r\nRU = manual, ru.pdf \r\n") << "Help" << "RU"
                                         << "manual, ru.pdf";
        QTest::newRow("quotes keep blanks") << QByteArray("[Help]\nEN=\" a \\\"b\\\" \"\n") << "Help" << "EN"
                                            << " a \"b\" ";
        QTest::newRow("blanks around the header") << QByteArray("  [ Help ]  \nTR=t.html\n") << "Help" << "TR"
                                                  << "t.html";
    }
    void iniValuesAreReadWhole()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(IniDocument(text).Value(section, key), value);
        // A written value reads back the same.
        const QByteArray rewritten = IniDocument(text).WithValue(section, key, value);
        QCOMPARE(rewritten, text);
    }

    void iniThatIsNoTextIsReportedAndKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("notText");
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE[\0L\0]\0", 8) << true;
        QTest::newRow("UTF-16 without mark") << QByteArray("[\0L\0]\0", 6) << true;
        QTest::newRow("Latin-1") << QByteArray("[Help]\nRU=m\xE9mo\n") << true;
        QTest::newRow("UTF-8") << QByteArray("[Help]\nRU=mémo\n") << false;
    }
    void iniThatIsNoTextIsReportedAndKept()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, notText);
        const QByteArray native = Native("text.INI");
        QVERIFY(WriteRaw(native, bytes));
        const IniRead read = ReadIniFile(PathFromNative(native));
        QCOMPARE(read.HasProblem(), notText);
        QCOMPARE(read.text == IniTextFault::NotText, notText);
        const FileOutcome written = WriteIniValue(PathFromNative(native), QStringLiteral("Language"),
                                                  QStringLiteral("Default"), QStringLiteral("EN"));
        QCOMPARE(written.ok(), !notText);
        if (notText)
            QCOMPARE(ReadRaw(native), bytes);
    }

    void iniThatIsAFifoIsNeitherReadNorReplaced()
    {
        const QString fifo = Path("pipe.cfg");
        const IniRead read = ReadIniFile(fifo);
        QVERIFY(read.HasProblem());
        QCOMPARE(read.file.fault, FileFault::NotRegular);
        QCOMPARE(WriteIniValue(fifo, QStringLiteral("Language"), QStringLiteral("Default"), QStringLiteral("EN")).fault,
                 FileFault::NotRegular);
        QVERIFY(IsFifo(Native("pipe.cfg")));
        QVERIFY(!ReadIniFile(Path("missing.INI")).HasProblem());
    }
};

QTEST_GUILESS_MAIN(SafeFileTest)
#include "tst_safefile.moc"
