// Firmware files, the base folder listing and the newer-firmware rule.

#include "firmware/firmwarefile.h"
#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace rpu;

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// A header followed by zero bytes up to length.
QByteArray Image(std::initializer_list<int> header, qint64 length)
{
    QByteArray b = Bytes(header);
    b.append(QByteArray(length - b.size(), '\0'));
    return b;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

} // namespace

class TestFirmwareFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir tmp_;
    QString Path(const QString &name) const { return tmp_.filePath(name); }

private slots:
    void acceptedImage()
    {
        const QByteArray img = Image({0x55, 0x55, 0x12, 0x2F, 1, 2, 3, 4}, 10 + 64 * 3);
        const QString path = Path("rpu_sela_4_7.bin");
        QVERIFY(WriteFile(path, img));
        const QDateTime stamp(QDate(2025, 3, 14), QTime(9, 26, 0));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        f.close();

        const FirmwareFile fw = ReadFirmwareFile(path);
        QCOMPARE(fw.verdict, FirmwareVerdict::Accepted);
        QCOMPARE(fw.fileName, QStringLiteral("rpu_sela_4_7.bin"));
        QCOMPARE(fw.size, qint64(202));
        QCOMPARE(fw.modified, stamp);
        QCOMPARE(fw.typeCode, 0x12);
        QCOMPARE(fw.versionByte, 0x2F);
        QCOMPARE(fw.bytes, img);
        QCOMPARE(FormatFirmwareVersion(fw.versionByte), QStringLiteral("4_7"));
    }

    void rejectedHeadersAndTypes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<bool>("dataKnown");
        const int bad = int(FirmwareVerdict::BadFormat);
        const int wrong = int(FirmwareVerdict::WrongType);
        QTest::newRow("type 0x13") << Image({0x55, 0x55, 0x13, 0x2F}, 74) << wrong << true;
        // Another device's image is reported by type whatever its length.
        QTest::newRow("type 0x13, odd length") << Image({0x55, 0x55, 0x13, 0x2F}, 77) << wrong << true;
        QTest::newRow("55 54") << Image({0x55, 0x54, 0x12, 0x2F}, 74) << bad << false;
        QTest::newRow("54 55") << Image({0x54, 0x55, 0x12, 0x2F}, 74) << bad << false;
        QTest::newRow("empty") << QByteArray() << bad << false;
        QTest::newRow("1 byte") << Bytes({0x55}) << bad << false;
        QTest::newRow("3 bytes") << Bytes({0x55, 0x55, 0x12}) << bad << false;
        QTest::newRow("header only") << Bytes({0x55, 0x55, 0x12, 0x2F}) << bad << false;
        QTest::newRow("9 bytes") << Image({0x55, 0x55, 0x12, 0x2F}, 9) << bad << false;
        QTest::newRow("partial packet") << Image({0x55, 0x55, 0x12, 0x2F}, 10 + 64 + 1) << bad << false;
        QTest::newRow("one short") << Image({0x55, 0x55, 0x12, 0x2F}, 10 + 64 * 2 - 1) << bad << false;
    }
    void rejectedHeadersAndTypes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, verdict);
        QFETCH(bool, dataKnown);
        const QString path = Path("case.bin");
        QVERIFY(WriteFile(path, bytes));
        const FirmwareFile fw = ReadFirmwareFile(path);
        QCOMPARE(int(fw.verdict), verdict);
        QCOMPARE(fw.fileDataKnown(), dataKnown);
        QVERIFY(fw.bytes.isEmpty()); // nothing to write from a rejected file
        // Name, size and date are known whenever the file could be looked at.
        QCOMPARE(fw.fileName, QStringLiteral("case.bin"));
        QCOMPARE(fw.size, qint64(bytes.size()));
        QVERIFY(fw.modified.isValid());
    }

    // Every refusal is a catalogue text, so a language module translates it.
    void refusalTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // empty: no file made
        QTest::addColumn<int>("message");
        QTest::newRow("missing") << "gone_sela.bin" << QByteArray() << msg::kFileMissing;
        QTest::newRow("a folder") << "dir_sela" << QByteArray("dir") << msg::kFileIsFolder;
        QTest::newRow("bad header") << "hdr_sela.bin" << Image({0x55, 0x54, 0x12, 47}, 74) << msg::kFirmwareBadFormat;
        QTest::newRow("other type") << "type_sela.bin" << Image({0x55, 0x55, 0x11, 47}, 74) << msg::kFirmwareWrongType;
        QTest::newRow("accepted") << "ok_sela.bin" << Image({0x55, 0x55, 0x12, 47}, 74) << 0;
    }
    void refusalTexts()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, message);
        if (bytes == "dir")
            QVERIFY(QDir(tmp_.path()).mkpath(name));
        else if (!bytes.isEmpty())
            QVERIFY(WriteFile(Path(name), bytes));
        MessageCatalogue catalogue;
        catalogue.Fill(BuiltinStringSource());
        const QString text = DescribeFirmwareFile(ReadFirmwareFile(Path(name)), name, catalogue);
        if (message == 0) {
            QVERIFY(text.isEmpty());
            return;
        }
        const QString expected = message >= msg::kFileCannotOpen ? catalogue.Format(message, name)
                                                                 : catalogue.Text(message);
        QCOMPARE(text, expected);
        QVERIFY2(!text.contains(QLatin1String("no such file")), qPrintable(text));
    }

    void smallestImageIsAccepted()
    {
        // Frame and tail, no packet: the transfer sends it whole.
        QVERIFY(WriteFile(Path("min.bin"), Image({0x55, 0x55, 0x12, 40}, 10)));
        QCOMPARE(ReadFirmwareFile(Path("min.bin")).verdict, FirmwareVerdict::Accepted);
    }

    void unreadableAndOversized()
    {
        const FirmwareFile missing = ReadFirmwareFile(Path("no_such_sela.bin"));
        QCOMPARE(missing.verdict, FirmwareVerdict::Unreadable);
        QCOMPARE(missing.readError, FirmwareReadError::Missing);
        QVERIFY(!missing.fileDataKnown());

        QVERIFY(QDir(tmp_.path()).mkpath("folder_sela"));
        const FirmwareFile folder = ReadFirmwareFile(Path("folder_sela"));
        QCOMPARE(folder.verdict, FirmwareVerdict::Unreadable);
        QCOMPARE(folder.readError, FirmwareReadError::IsFolder);

        // Larger than any device image, though its length would fit the packets.
        const qint64 huge = 10 + 64 * ((kMaxFirmwareFileSize / 64) + 1);
        QVERIFY(FirmwareLengthFitsPackets(huge));
        QVERIFY(WriteFile(Path("huge.bin"), Image({0x55, 0x55, 0x12, 47}, huge)));
        const FirmwareFile big = ReadFirmwareFile(Path("huge.bin"));
        QCOMPARE(big.verdict, FirmwareVerdict::BadFormat);
        QVERIFY(big.bytes.isEmpty());
    }

    void versionTexts_data()
    {
        QTest::addColumn<int>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("47") << 47 << "4_7";
        QTest::newRow("5") << 5 << "0_5";
        QTest::newRow("0") << 0 << "0_0";
        QTest::newRow("99") << 99 << "9_9";
        QTest::newRow("100") << 100 << "1_0";
        QTest::newRow("123 drops the tens") << 123 << "1_3";
        QTest::newRow("255") << 255 << "2_5";
    }
    void versionTexts()
    {
        QFETCH(int, v);
        QFETCH(QString, text);
        QCOMPARE(FormatFirmwareVersion(v), text);
    }

    void madeImagesAreAccepted()
    {
        const QByteArray img = MakeFirmwareImage(0x12, 50, 16);
        QCOMPARE(img.size(), 10 + 64 * 16);
        QCOMPARE(Bytes({0x55, 0x55, 0x12, 50}), img.left(4));
        QVERIFY(WriteFile(Path("made_sela_5_0.bin"), img));
        const FirmwareFile fw = ReadFirmwareFile(Path("made_sela_5_0.bin"));
        QCOMPARE(fw.verdict, FirmwareVerdict::Accepted);
        QCOMPARE(fw.versionByte, 50);
        // Deterministic: the same arguments give the same bytes.
        QCOMPARE(MakeFirmwareImage(0x12, 50, 16), img);
        QVERIFY(MakeFirmwareImage(0x12, 51, 16) != img);
    }

    void makeFirmwareTool()
    {
        const QString bin = qEnvironmentVariable("RPU_BIN_DIR") + "/make-firmware";
        if (!QFile::exists(bin))
            QSKIP("make-firmware not built");
        const QString out = Path("tool_sela_4_9.bin");
        QProcess p;
        p.start(bin, {"--out", out, "--version", "49", "--packets", "3"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const FirmwareFile fw = ReadFirmwareFile(out);
        QCOMPARE(fw.verdict, FirmwareVerdict::Accepted);
        QCOMPARE(fw.size, qint64(202));
        QCOMPARE(fw.versionByte, 49);

        p.start(bin, {"--out", Path("tool_type.bin"), "--version", "99", "--type", "0x13"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(ReadFirmwareFile(Path("tool_type.bin")).verdict, FirmwareVerdict::WrongType);

        // A version that does not fit a byte is refused, and nothing is written.
        p.start(bin, {"--out", Path("tool_bad.bin"), "--version", "300"});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(!QFile::exists(Path("tool_bad.bin")));
    }

    void committedExamplesOfferTheUpdate()
    {
        const QString base = qEnvironmentVariable("RPU_SOURCE_DIR") + "/testdata/base";
        if (!QDir(base).exists())
            QSKIP("no testdata/base");
        const NewerFirmwareCheck at46 = FindNewerFirmwareIn(base, 2, 46);
        QVERIFY(at46.newer);
        const FirmwareFile fw = ReadFirmwareFile(base + "/" + at46.name);
        QCOMPARE(fw.verdict, FirmwareVerdict::Accepted);
        QVERIFY(fw.versionByte > 46);
        // Once the device runs that version, nothing newer is offered.
        QVERIFY(!FindNewerFirmwareIn(base, 2, fw.versionByte).newer);
        // The examples show each verdict; their names say which.
        for (const QString &name : at46.listed) {
            const FirmwareVerdict v = ReadFirmwareFile(base + "/" + name).verdict;
            const FirmwareVerdict expected = name.startsWith("broken") ? FirmwareVerdict::BadFormat
                : name.startsWith("other_type") ? FirmwareVerdict::WrongType
                                                : FirmwareVerdict::Accepted;
            QVERIFY2(v == expected, qPrintable(name));
        }
    }
};

class TestBaseFolder : public QObject {
    Q_OBJECT
private:
    QStringList Make(QTemporaryDir &dir, const QStringList &files)
    {
        for (const QString &name : files)
            WriteFile(dir.filePath(name), MakeFirmwareImage(0x12, 40, 1));
        return files;
    }

private slots:
    void listsSelaFilesInNameOrder()
    {
        QTemporaryDir dir;
        Make(dir, {"b_sela_4_7", "a_sela_4_5", "README.txt", "SELA_upper.bin", "x_Sela_y",
                   ".hidden_sela"});
        QVERIFY(QDir(dir.path()).mkpath("folder_sela_9_9"));
        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling_sela_9_9")));
        const QStringList listed = ListFirmwareFolder(dir.path());
        // Upper-cased comparison: '.' < 'A' < 'B' < 'S' < 'X'.
        QCOMPARE(listed, QStringList({".hidden_sela", "a_sela_4_5", "b_sela_4_7",
                                      "SELA_upper.bin", "x_Sela_y"}));
    }

    void nameOrder()
    {
        // Case does not decide the order; the exact code points break ties.
        QVERIFY(FirmwareNameLess("a_sela", "B_sela"));
        QVERIFY(FirmwareNameLess("SELA", "sela"));
        // '_' sorts after the letters, as on NTFS: this decides the example names.
        QVERIFY(FirmwareNameLess("rpu_sela_4_7", "rpu_sela_other"));
    }

    void missingFolderListsNothing()
    {
        QTemporaryDir dir;
        QVERIFY(ListFirmwareFolder(dir.filePath("absent")).isEmpty());
        const NewerFirmwareCheck c = FindNewerFirmwareIn(dir.filePath("absent"), 2, 0);
        QVERIFY(!c.newer);
        QVERIFY(c.listed.isEmpty());
    }

    void newerRule()
    {
        QTemporaryDir dir;
        Make(dir, {"a_sela_4_5", "b_sela_4_7"});
        NewerFirmwareCheck c = FindNewerFirmwareIn(dir.path(), 2, 46);
        QVERIFY(c.newer);
        QCOMPARE(c.name, QStringLiteral("b_sela_4_7"));
        QCOMPARE(c.listed, QStringList({"a_sela_4_5", "b_sela_4_7"}));
        c = FindNewerFirmwareIn(dir.path(), 2, 47);
        QVERIFY(!c.newer);
        QVERIFY(c.name.isEmpty());
        QCOMPARE(c.listed.size(), 2); // the list is filled all the same
        // Other classes and no device are never offered firmware.
        for (int cls : {-1, 0, 1})
            QVERIFY(!FindNewerFirmwareIn(dir.path(), cls, 0).newer);
    }

    // The user's folder and the shipped one: one list; a name in both is the
    // user's file; an entry the list leaves out does not hide the other file.
    void twoFolders_data()
    {
        QTest::addColumn<QStringList>("user");    // "name/" is a folder
        QTest::addColumn<QStringList>("shipped");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("newer");      // offered to a device at 4_6
        QTest::addColumn<QString>("newerFrom");  // "user" or "shipped"
        QTest::newRow("shipped only") << QStringList{} << QStringList{"rpu_sela_4_7", "rpu_sela_5_0"}
                                      << QStringList{"rpu_sela_4_7", "rpu_sela_5_0"} << "rpu_sela_5_0" << "shipped";
        QTest::newRow("user's newer") << QStringList{"rpu_sela_5_1"} << QStringList{"rpu_sela_4_7", "rpu_sela_5_0"}
                                      << QStringList{"rpu_sela_4_7", "rpu_sela_5_0", "rpu_sela_5_1"} << "rpu_sela_5_1"
                                      << "user";
        QTest::newRow("same name: the user's") << QStringList{"rpu_sela_5_0", "a_sela_4_5"}
                                               << QStringList{"rpu_sela_4_7", "rpu_sela_5_0"}
                                               << QStringList{"a_sela_4_5", "rpu_sela_4_7", "rpu_sela_5_0"}
                                               << "rpu_sela_5_0" << "user";
        QTest::newRow("user's folder of that name") << QStringList{"rpu_sela_5_0/"} << QStringList{"rpu_sela_5_0"}
                                                    << QStringList{"rpu_sela_5_0"} << "rpu_sela_5_0" << "shipped";
    }
    void twoFolders()
    {
        QFETCH(QStringList, user);
        QFETCH(QStringList, shipped);
        QFETCH(QStringList, listed);
        QFETCH(QString, newer);
        QFETCH(QString, newerFrom);
        QTemporaryDir dir;
        const QStringList folders{dir.filePath("user"), dir.filePath("shipped")};
        for (int i = 0; i < 2; ++i) {
            QVERIFY(QDir().mkpath(folders[i]));
            for (const QString &name : i == 0 ? user : shipped)
                QVERIFY(name.endsWith('/') ? QDir(folders[i]).mkpath(name)
                                           : WriteFile(folders[i] + "/" + name, MakeFirmwareImage(0x12, 40, 1)));
        }
        QCOMPARE(ListFirmwareFolders(folders), listed);
        const NewerFirmwareCheck c = FindNewerFirmwareIn(folders, 2, 46);
        QCOMPARE(c.listed, listed);
        QCOMPARE(c.name, newer);
        QCOMPARE(FirmwareFilePath(folders, c.name), dir.filePath(newerFrom) + "/" + newer);
        // A name gone since the listing is looked for in the first folder.
        QCOMPARE(FirmwareFilePath(folders, "gone_sela"), folders[0] + "/gone_sela");
    }

    void onlyTheLastNameDecides()
    {
        // A higher number earlier in the list does not count.
        QVERIFY(!CheckNewerFirmware({"a_sela_9_9", "b_sela_4_5"}, 2, 46).newer);
        QVERIFY(CheckNewerFirmware({"a_sela_4_5", "b_sela_9_9"}, 2, 46).newer);
    }

    void digitsOfNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("number"); // -1: none
        QTest::newRow("plain") << "b_sela_4_7" << 47;
        QTest::newRow("extension digits count") << "sela_4_7.b1n" << 471;
        QTest::newRow("leading zeros") << "sela_0_0_4_7" << 47;
        QTest::newRow("no digits") << "rpu_sela.bin" << -1;
        QTest::newRow("int max") << "sela2147483647" << 2147483647;
        QTest::newRow("just over") << "sela2147483648" << -1;
        QTest::newRow("far over") << "sela_99999999999999999999" << -1;
        QTest::newRow("non-ASCII digits ignored") << QString("sela_\u0664_7") << 7;
    }
    void digitsOfNames()
    {
        QFETCH(QString, name);
        QFETCH(int, number);
        const std::optional<int> got = FirmwareNameVersion(name);
        QCOMPARE(got.value_or(-1), number);
    }

    void unusableNumbersAreNeverNewer()
    {
        QVERIFY(!CheckNewerFirmware({"a_sela_4_5", "z_sela.bin"}, 2, 0).newer);
        QVERIFY(!CheckNewerFirmware({"sela_99999999999999999999"}, 2, 0).newer);
        QVERIFY(CheckNewerFirmware({"sela2147483647"}, 2, 255).newer);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        TestFirmwareFile t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestBaseFolder t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_firmwarefile.moc"
