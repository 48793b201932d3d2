// Language module files: the message table, layout sections, and the
// catalogue filled from a module file with its fallbacks; checked formatting
// of untrusted texts.

#include "i18n/languagemodule.h"
#include "i18n/layoutstream.h"

#include <QTemporaryDir>
#include <QtTest>

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
        QTest::newRow("texts beyond the program's") << Messages(10001, kLastProgramMessage + 23)
                                                    << kLastProgramMessage + 23 << false;
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
        for (int n = 10001; n <= kLastProgramMessage + 24; ++n) {
            const QString fromModule = QStringLiteral("M%1").arg(n);
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
                 // The layout's line follows the messages.
                 QStringList({QStringLiteral("line %1: property name or \"end\" expected").arg(100 + kLastProgramMessage - 10097),
                              QStringLiteral("message 10022: placeholders differ from the Russian text "
                                             "\"Запись ПО в прибор...%d %%\""),
                              QStringLiteral("message 10028: placeholders differ from the Russian text "
                                             "\"Вы уверены, что хотите удалить файл регистрации %s ?\""),
                              QStringLiteral("message 10040 is missing or empty: the messages from there on are not read")}));
        QString complete = QStringLiteral("@messages\n");
        for (int n = 10001; n <= kLastProgramMessage; ++n)
            complete += QStringLiteral("%1 = '%2'\n").arg(n).arg(BuiltinRussianText(n));
        QVERIFY(CheckLanguageModule(*LanguageModule::Parse(complete)).isEmpty());
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

private:
    QTemporaryDir dir_;
    QString program_;
};

QTEST_GUILESS_MAIN(ModulesTest)
#include "tst_modules.moc"
