// Language module files: the message table, layout sections, and the
// catalogue filled from a module file with its fallbacks; checked formatting
// of untrusted texts.

#include "i18n/languagemodule.h"
#include "i18n/layoutstream.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace rpu;

namespace {

const QString kLayoutText = QStringLiteral("object MainForm: TMainForm\n"
                                           "  Caption = 'Dorel'\n"
                                           "  object Help: QPushButton\n"
                                           "    Hint = 'Call help'\n"
                                           "  end\n"
                                           "end\n");

// "@messages" with "n = M<n>" for first..last, minus the skipped numbers.
QByteArray Messages(int first, int last, QList<int> skip = {})
{
    QByteArray text("@messages\n");
    for (int n = first; n <= last; ++n) {
        if (!skip.contains(n))
            text += QByteArray::number(n) + " = M" + QByteArray::number(n) + "\n";
    }
    return text;
}

// The numbers the program keeps free.
QList<int> ReservedNumbers()
{
    QList<int> reserved;
    for (int n = 10001; n <= kLastProgramMessage; ++n) {
        if (IsReservedMessageNumber(n))
            reserved << n;
    }
    return reserved;
}

// The Russian texts with one number replaced.
class RussianWithOne final : public StringSource {
public:
    RussianWithOne(int number, QString text) : number_(number), text_(std::move(text)) {}
    QString String(int n) const override { return n == number_ ? text_ : BuiltinRussianText(n); }

private:
    int number_;
    QString text_;
};

} // namespace

class ModulesTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        program_ = dir_.filePath(QStringLiteral("dorel-rpu-sela"));
        QFile::remove(LanguageModulePath(program_, QStringLiteral("EN")));
    }

    void messageLines()
    {
        const auto module = LanguageModule::Parse(QStringLiteral(
            "; translator's note\n"
            "@messages\n"
            "10001 =   Error!  \r\n"
            "10002 = 'Keep  '#13#10' two lines'\n"
            "\n"
            "10003 = a = b\n"
            "10003 = c\n"
            "not a number = x\n"
            "10004 = 'open quote\n"));
        QCOMPARE(module->String(10001), QStringLiteral("Error!"));
        QCOMPARE(module->String(10002), QStringLiteral("Keep  \r\n two lines"));
        QCOMPARE(module->String(10003), QStringLiteral("c"));
        QVERIFY(module->String(10004).isEmpty());
        QCOMPARE(module->Problems(),
                 QStringList({QStringLiteral("line 7: message 10003 given twice; the later text counts"),
                              QStringLiteral("line 8: \"number = text\" expected"),
                              QStringLiteral("line 9: bad quoted text")}));
    }

    // A layout given as text or as base64 binary is the same layout; a broken
    // layout is left out without losing the messages.
    void layoutSections()
    {
        const QByteArray binary = LayoutTextToBinary(kLayoutText);
        const auto asText = LanguageModule::Parse(QStringLiteral("@layout\n") + kLayoutText);
        const auto asBinary = LanguageModule::Parse(QStringLiteral("@layout base64\n")
                                                    + QString::fromLatin1(binary.toBase64()).insert(20, u"\n  ")
                                                    + QStringLiteral("\n@messages\n10001 = x\n"));
        QCOMPARE(asText->Layout(QStringLiteral("TMainForm")), binary);
        QCOMPARE(asBinary->Layout(QStringLiteral("TMainForm")), binary);
        QVERIFY(asText->Problems().isEmpty() && asBinary->Problems().isEmpty());
        QVERIFY(asText->Layout(QStringLiteral("TOther")).isEmpty());

        const auto broken = LanguageModule::Parse(QStringLiteral("@messages\n10001 = x\n@layout\n"
                                                                 "object A: TA\n  X = \nend\n@bogus\n"));
        QCOMPARE(broken->String(10001), QStringLiteral("x"));
        QVERIFY(broken->Layout(QStringLiteral("TA")).isEmpty());
        QCOMPARE(broken->Problems(), QStringList({QStringLiteral("line 6: value expected"),
                                                  QStringLiteral("line 7: unknown section \"@bogus\"")}));
    }

    // The catalogue from a module file beside the program, after a fresh
    // start and after the Russian texts were loaded.
    void catalogueFromModuleFile_data()
    {
        QTest::addColumn<QByteArray>("module");
        QTest::addColumn<int>("lastFromModule");
        QTest::addColumn<bool>("russianAfter");
        QTest::newRow("all texts") << Messages(10001, kLastProgramMessage) << kLastProgramMessage << false;
        QTest::newRow("texts beyond the program's") << Messages(10001, kLastProgramMessage + 20)
                                                   << kLastProgramMessage + 20 << false;
        QTest::newRow("reserved numbers left out") << Messages(10001, kLastProgramMessage, ReservedNumbers())
                                                   << kLastProgramMessage << false;
        QTest::newRow("stops after 10050") << Messages(10001, 10050) << 10050 << true;
        QTest::newRow("gap at 10030") << Messages(10001, kLastProgramMessage, {10030}) << 10029 << true;
        QTest::newRow("empty at 10030") << Messages(10001, kLastProgramMessage).replace("10030 = M10030", "10030 =") << 10029
                                        << true;
        QTest::newRow("no module file") << QByteArray() << 10000 << true;
        QTest::newRow("not UTF-8") << Messages(10001, kLastProgramMessage) + "10098 = \xff\n" << 10000 << true;
        QTest::newRow("BOM and CRLF") << "\xEF\xBB\xBF" + Messages(10001, kLastProgramMessage).replace("\n", "\r\n") << kLastProgramMessage
                                      << false;
    }
    void catalogueFromModuleFile()
    {
        QFETCH(QByteArray, module);
        QFETCH(int, lastFromModule);
        QFETCH(bool, russianAfter);
        if (!module.isEmpty()) {
            QFile file(LanguageModulePath(program_, QStringLiteral("EN")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(module);
        }
        MessageCatalogue fresh;
        MessageCatalogue switched;
        LoadMessageCatalogue(fresh, QStringLiteral("EN"), program_);
        LoadMessageCatalogue(switched, QStringLiteral("RU"), program_);
        LoadMessageCatalogue(switched, QStringLiteral("EN"), program_);
        const bool fallback = lastFromModule < 10001;
        for (int n = 10001; n <= kLastProgramMessage + 21; ++n) {
            const QString fromModule = IsReservedMessageNumber(n) && !module.contains("\n" + QByteArray::number(n) + " =")
                                           ? QString()
                                           : QStringLiteral("M%1").arg(n);
            const QString russian = BuiltinRussianText(n);
            if (n <= lastFromModule) {
                QCOMPARE(fresh.Text(n), fromModule);
                QCOMPARE(switched.Text(n), fromModule);
            } else if (fallback) {
                QCOMPARE(fresh.Text(n), russian);
            } else {
                QVERIFY2(fresh.Text(n).isEmpty(), qPrintable(QString::number(n)));
                QCOMPARE(switched.Text(n), russianAfter ? russian : QString());
            }
        }
    }

    void checkForTranslators()
    {
        QByteArray text = Messages(10001, kLastProgramMessage, {10040});
        text.replace("10022 = M10022", "10022 = Writing %s").replace("10051 = M10051", "10051 = %d %%");
        const auto module = LanguageModule::Parse(QString::fromUtf8(text + "@layout\nobject A: TA\n"));
        QCOMPARE(CheckLanguageModule(*module),
                 QStringList({QStringLiteral("line %1: property name or \"end\" expected").arg(text.count('\n') + 3),
                              QStringLiteral("message 10022: placeholders differ from the Russian text "
                                             "\"Запись ПО в прибор...%d %%\""),
                              QStringLiteral("message 10028: placeholders differ from the Russian text "
                                             "\"Вы уверены, что хотите удалить файл регистрации %s ?\""),
                              QStringLiteral("message 10040 is missing or empty: the messages from there on are not read")}));
        QString complete = QStringLiteral("@messages\n");
        for (int n = 10001; n <= kLastProgramMessage; ++n) {
            if (!IsReservedMessageNumber(n))
                complete += QStringLiteral("%1 = '%2'\n").arg(n).arg(BuiltinRussianText(n));
        }
        QVERIFY(CheckLanguageModule(*LanguageModule::Parse(complete)).isEmpty());
    }

    // 254 UTF-16 units, never half a surrogate pair.
    void cutKeepsWholeCharacters_data()
    {
        const QString pair = QStringLiteral("\U0001F600");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cut");
        QTest::newRow("short") << QString(10, u'a') << QString(10, u'a');
        QTest::newRow("exactly 254") << QString(254, u'a') << QString(254, u'a');
        QTest::newRow("300 letters") << QString(300, u'ş') << QString(254, u'ş');
        QTest::newRow("pair across the cut") << QString(253, u'a') + pair + u'b' << QString(253, u'a');
        QTest::newRow("pair ending at the cut") << QString(252, u'a') + pair + u'b' << QString(252, u'a') + pair;
        QTest::newRow("pairs only") << pair.repeated(200) << pair.repeated(127);
    }
    void cutKeepsWholeCharacters()
    {
        QFETCH(QString, text);
        QFETCH(QString, cut);
        QCOMPARE(CutMessageText(text), cut);
        const auto module = LanguageModule::Parse(QStringLiteral("@messages\n10001 = ") + text);
        MessageCatalogue catalogue;
        catalogue.Fill(*module);
        QCOMPARE(catalogue.Text(10001), cut);
    }

    void longModuleTextIsCut()
    {
        const auto module = LanguageModule::Parse(QStringLiteral("@messages\n10001 = ") + QString(300, u'ş'));
        MessageCatalogue catalogue;
        catalogue.Fill(*module);
        QCOMPARE(catalogue.Text(10001), QString(254, u'ş'));
    }

    void placeholderKinds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kinds"); // "!" for a text that is refused
        QTest::newRow("none") << "Ошибка!" << "";
        QTest::newRow("percent") << "%d %%" << "d";
        QTest::newRow("two") << "%d мин. %d с." << "dd";
        QTest::newRow("float") << "%.1f с." << "f";
        QTest::newRow("string") << "файл %s ?" << "s";
        QTest::newRow("flags width") << "%-05ld|%+8.3e|%10s" << "dfs";
        QTest::newRow("pointer") << "%p" << "!";
        QTest::newRow("write count") << "%n" << "!";
        QTest::newRow("star width") << "%*d" << "!";
        QTest::newRow("huge width") << "%99999d" << "!";
        QTest::newRow("lone percent at end") << "100%" << "!";
    }
    void placeholderKinds()
    {
        QFETCH(QString, text);
        QFETCH(QString, kinds);
        const auto found = PlaceholderKinds(text);
        QCOMPARE(found.value_or(QStringLiteral("!")), kinds);
    }

    // A module text is used only when its placeholders are the Russian text's.
    void formatChecksModuleTexts_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("moduleText");
        QTest::addColumn<QString>("formatted");
        QTest::addColumn<bool>("used");
        const QString russian = QStringLiteral("Запись ПО в прибор...42 %");
        QTest::newRow("matching") << 10022 << "Writing firmware...%d %%" << "Writing firmware...42 %" << true;
        QTest::newRow("padded") << 10022 << "[%5d%%]" << "[   42%]" << true;
        QTest::newRow("string for number") << 10022 << "Writing %s" << russian << false;
        QTest::newRow("extra placeholder") << 10022 << "%d of %d" << russian << false;
        QTest::newRow("missing placeholder") << 10022 << "Writing" << russian << false;
        QTest::newRow("pointer") << 10022 << "%p %d" << russian << false;
        QTest::newRow("number for string") << 10028 << "Delete %d?" << "Вы уверены, что хотите удалить файл регистрации 42 ?"
                                           << false;
    }
    void formatChecksModuleTexts()
    {
        QFETCH(int, number);
        QFETCH(QString, moduleText);
        QFETCH(QString, formatted);
        QFETCH(bool, used);
        RussianWithOne module(number, moduleText);
        MessageCatalogue catalogue;
        catalogue.Fill(module);
        QCOMPARE(catalogue.Text(number), moduleText);
        QCOMPARE(catalogue.Format(number, 42), formatted);
        QCOMPARE(catalogue.MismatchedPlaceholders(), used ? std::vector<int>{} : std::vector<int>{number});
    }

    void formatFillsEveryKind()
    {
        MessageCatalogue c;
        c.Fill(BuiltinStringSource());
        QCOMPARE(c.Format(10077, 2, 5), QStringLiteral("2 мин. 5 с."));
        QCOMPARE(c.Format(10082, {FormatArg(qint64(7))}), QStringLiteral("Ошибка в данных, считанных с прибора (Байт №7=0). "
                                                                          "Программа завершает свою работу."));
        QCOMPARE(c.Format(10067, QString()), QStringLiteral("Ошибка открытия файла помощи "));
        QCOMPARE(c.Format(10078, 1.5), QStringLiteral("1.5 с."));
        // The decimal separator follows the language in use.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        QCOMPARE(c.Format(10078, 1.5), QStringLiteral("1,5 с."));
        QLocale::setDefault(before);
    }

    // What the program and "layout-convert --check" read alike: anything but
    // a regular UTF-8 file within the size limit is refused before its bytes
    // are taken, with the reason; the catalogue stays Russian.
    void unreadableModuleFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("FIFO") << "fifo" << "not a regular file";
        QTest::newRow("folder") << "folder" << "not a regular file";
        QTest::newRow("too large") << "large" << "16777217 bytes, more than a module may have (16777216 bytes)";
        QTest::newRow("not UTF-8") << "latin1" << "not UTF-8 text";
        QTest::newRow("missing") << "missing" << "No such file or directory";
    }
    void unreadableModuleFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = LanguageModulePath(program_, QStringLiteral("EN"));
        QFile file(path);
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind != QLatin1String("missing")) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kind == QLatin1String("large") ? Messages(10001, 10003) : QByteArray("@messages\n10001 = \xE9t\xE9\n"));
            if (kind == QLatin1String("large"))
                QVERIFY(file.resize(kMaxModuleBytes + 1));
            file.close();
        }
        QString error;
        QVERIFY(!LanguageModule::Read(path, &error));
        QCOMPARE(error, path + QStringLiteral(": ") + reason);
        QVERIFY(!LanguageModule::Load(path));
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QStringLiteral("EN"), program_);
        QCOMPARE(catalogue.Text(10001), BuiltinRussianText(10001));
        QDir(path).removeRecursively();
    }

    // A layout that cannot be read is left out; one that gives a position or
    // size out of range refuses the whole module, named by file and line.
    void layoutFaultsInModules_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<bool>("refused");
        const auto base64 = [](const QString &text) {
            return QStringLiteral("@layout base64\n") + QString::fromLatin1(LayoutTextToBinary(text).toBase64()) + u'\n';
        };
        const QString form = QStringLiteral("object MainForm: TMainForm\n  Caption = 'x'\n%1end\n");
        QTest::newRow("sizes at the limits") << "@layout\n" + form.arg("  Width = 32767\n  Left = -32768\n") << QString()
                                             << false;
        QTest::newRow("text: width") << "@layout\n" + form.arg("  Width = 2147483647\n")
                                     << "line 6: Width = 2147483647 is out of range (0..32767); the module is not used"
                                     << true;
        QTest::newRow("text: left of a child")
            << "@layout\n" + form.arg("  object B: QPushButton\n    Left = -2147483648\n  end\n")
            << "line 7: Left = -2147483648 is out of range (-32768..32767); the module is not used" << true;
        QTest::newRow("base64: height") << base64(form.arg("  Height = 2147483000\n"))
                                        << "line 3: binary layout, offset 41: Height = 2147483000 is out of range "
                                           "(0..32767); the module is not used"
                                        << true;
        QByteArray unknownTag = LayoutTextToBinary(form.arg(QString()));
        unknownTag[unknownTag.indexOf("Caption") + 7] = char(22);
        QTest::newRow("base64: unknown tag") << "@layout base64\n" + QString::fromLatin1(unknownTag.toBase64()) + "\n"
                                             << "line 3: binary layout, offset 31: Unknown value type" << false;
    }
    void layoutFaultsInModules()
    {
        QFETCH(QString, layout);
        QFETCH(QString, problem);
        QFETCH(bool, refused);
        const QString path = LanguageModulePath(program_, QStringLiteral("EN"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("@messages\n10001 = x\n" + layout.toUtf8());
        file.close();

        const auto read = LanguageModule::Read(path);
        QVERIFY(read);
        QCOMPARE(read->Problems(), problem.isEmpty() ? QStringList() : QStringList{problem});
        QCOMPARE(CheckLanguageModule(*read).contains(problem), !problem.isEmpty());
        QCOMPARE(read->Layout(QStringLiteral("TMainForm")).isEmpty(), !problem.isEmpty());
        QString error;
        const auto loaded = LanguageModule::Load(path, &error);
        QCOMPARE(!loaded, refused);
        QCOMPARE(error, refused ? path + QStringLiteral(", ") + problem : QString());
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QStringLiteral("EN"), program_);
        QCOMPARE(catalogue.Text(10001), refused ? BuiltinRussianText(10001) : QStringLiteral("x"));
    }

    // The converter's check names the reason the program would have.
    void converterCheckNamesTheReason_data()
    {
        QTest::addColumn<QByteArray>("module");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("output");
        QByteArray unknownTag = LayoutTextToBinary(QStringLiteral("object F: TF\n  Caption = 'x'\nend\n"));
        unknownTag[unknownTag.indexOf("Caption") + 7] = char(30);
        QByteArray complete("@messages\n");
        for (int n = 10001; n <= kLastProgramMessage; ++n)
            complete += QStringLiteral("%1 = '%2'\n").arg(n).arg(BuiltinRussianText(n)).toUtf8();
        QTest::newRow("size limit") << complete << kMaxModuleBytes + 100
                                    << "layout-convert: %1: 16777316 bytes, more than a module may have (16777216 bytes)";
        QTest::newRow("unknown tag") << complete + "@layout base64\n" + unknownTag.toBase64()
                                     << qint64(0)
                                     << "%1: line " + QString::number(kLastProgramMessage - 10001 + 3)
                                            + ": binary layout, offset 17: Unknown value type";
        QTest::newRow("geometry") << complete + "@layout\nobject F: TF\n  Top = 99999\nend\n"
                                  << qint64(0)
                                  << "%1: line " + QString::number(kLastProgramMessage - 10001 + 5)
                                         + ": Top = 99999 is out of range (-32768..32767); the module is not used";
        QTest::newRow("clean") << complete << qint64(0) << QString();
    }
    // Conversion too takes only regular files, and never replaces a device.
    void converterRefusesWhatIsNoFile()
    {
        const QString tool = qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/layout-convert");
        if (!QFileInfo(tool).isExecutable())
            QSKIP("layout-convert is not built");
        const QString fifo = dir_.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString text = dir_.filePath(QStringLiteral("form.txt"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("object F: TF\nend\n");
        file.close();
        const auto run = [&](const QStringList &args) {
            QProcess convert;
            convert.start(tool, args);
            return convert.waitForFinished(10000) ? QString::fromUtf8(convert.readAllStandardError()).trimmed()
                                                  : QStringLiteral("hung");
        };
        QCOMPARE(run({fifo, dir_.filePath(QStringLiteral("out.bin"))}),
                 QStringLiteral("layout-convert: cannot read %1: not a regular file").arg(fifo));
        QCOMPARE(run({text, fifo}), QStringLiteral("layout-convert: cannot write %1: it is not a regular file").arg(fifo));
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
        QCOMPARE(run({text, dir_.filePath(QStringLiteral("out.bin"))}), QString());
        QVERIFY(QFileInfo(dir_.filePath(QStringLiteral("out.bin"))).isFile());
        QFile::remove(fifo);
    }

    void converterCheckNamesTheReason()
    {
        QFETCH(QByteArray, module);
        QFETCH(qint64, size);
        QFETCH(QString, output);
        const QString tool = qEnvironmentVariable("RPU_BIN_DIR") + QStringLiteral("/layout-convert");
        if (!QFileInfo(tool).isExecutable())
            QSKIP("layout-convert is not built");
        const QString path = LanguageModulePath(program_, QStringLiteral("EN"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(module);
        if (size > 0)
            QVERIFY(file.resize(size));
        file.close();
        QProcess check;
        check.start(tool, {QStringLiteral("--check"), path});
        QVERIFY(check.waitForFinished(30000));
        const QString said = QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError()).trimmed();
        QCOMPARE(said, output.isEmpty() ? QString() : output.arg(path));
        QCOMPARE(check.exitCode(), output.isEmpty() ? 0 : 1);
    }

private:
    QTemporaryDir dir_;
    QString program_;
};

QTEST_GUILESS_MAIN(ModulesTest)
#include "tst_modules.moc"
