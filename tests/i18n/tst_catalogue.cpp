// The message catalogue: numbering, the length cut, where the texts come from,
// and the texts that are easy to get wrong.

#include "i18n/messagecatalogue.h"

#include <QtTest>
#include <map>

using namespace rpu;

namespace {

// A language module made of a table; records which numbers were asked for.
class TableSource final : public StringSource {
public:
    QString String(int number) const override
    {
        asked.push_back(number);
        const auto it = texts.find(number);
        return it == texts.end() ? QString() : it->second;
    }
    std::map<int, QString> texts;
    mutable std::vector<int> asked;
};

// Texts "M<n>" for first..last.
std::unique_ptr<TableSource> Module(int first, int last)
{
    auto module = std::make_unique<TableSource>();
    for (int n = first; n <= last; ++n)
        module->texts[n] = QStringLiteral("M%1").arg(n);
    return module;
}

struct OpenerLog {
    QStringList paths;
};

// An opener that hands out a copy of the given table, or null.
ModuleOpener OpenerFor(const TableSource *table, OpenerLog &log)
{
    return [table, &log](const QString &path) -> std::unique_ptr<StringSource> {
        log.paths << path;
        if (!table)
            return nullptr;
        auto copy = std::make_unique<TableSource>();
        copy->texts = table->texts;
        return copy;
    };
}

const QString kProgram = QStringLiteral("/opt/dorel/dorel-rpu-sela");

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void slotsRunFrom10001To11000()
    {
        auto module = Module(10001, 12000);
        MessageCatalogue catalogue;
        catalogue.Fill(*module);
        QCOMPARE(catalogue.Text(10001), QStringLiteral("M10001"));
        QCOMPARE(catalogue.Text(10500), QStringLiteral("M10500"));
        QCOMPARE(catalogue.Text(11000), QStringLiteral("M11000"));
        QCOMPARE(catalogue[11000], QStringLiteral("M11000"));
        QVERIFY(catalogue.Text(10000).isEmpty());
        QVERIFY(catalogue.Text(11001).isEmpty());
        QVERIFY(catalogue.Text(0).isEmpty());
        QVERIFY(catalogue.Text(-5).isEmpty());
        // Numbers beyond the last slot are never read from a module.
        QCOMPARE(module->asked.size(), size_t(kCatalogueSlots));
        QCOMPARE(*std::max_element(module->asked.begin(), module->asked.end()), 11000);
    }

    void longTextsAreCutTo254()
    {
        auto module = Module(10001, 10003);
        module->texts[10002] = QString(300, QChar(u'ж'));
        module->texts[10003] = QString(254, QLatin1Char('x'));
        MessageCatalogue catalogue;
        catalogue.Fill(*module);
        QCOMPARE(catalogue.Text(10002), QString(254, QChar(u'ж')));
        QCOMPARE(catalogue.Text(10003), QString(254, QLatin1Char('x')));
    }

    void russianNeedsNoModule_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("empty") << QString();
        QTest::newRow("RU") << QStringLiteral("RU");
    }
    void russianNeedsNoModule()
    {
        QFETCH(QString, code);
        auto module = Module(10001, 10087);
        OpenerLog log;
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, code, kProgram, OpenerFor(module.get(), log));
        QVERIFY(log.paths.isEmpty());
        QCOMPARE(catalogue.Text(10001), QStringLiteral("Ошибка!"));
        QCOMPARE(catalogue.Text(10087), QStringLiteral("Dorel-RPU-SELA"));
    }

    void missingModuleFallsBackToRussian_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("EN") << QStringLiteral("EN");
        QTest::newRow("lower-case ru is not RU") << QStringLiteral("ru");
        QTest::newRow("unknown") << QStringLiteral("XX");
    }
    void missingModuleFallsBackToRussian()
    {
        QFETCH(QString, code);
        OpenerLog log;
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, code, kProgram, OpenerFor(nullptr, log));
        QCOMPARE(log.paths, QStringList{QStringLiteral("/opt/dorel/dorel-rpu-sela.") + code});
        QCOMPARE(catalogue.Text(10012), QStringLiteral("Вы действительно хотите выйти?"));

        // The program's own reader finds no module either.
        MessageCatalogue real;
        LoadMessageCatalogue(real, code, kProgram);
        QCOMPARE(real.Text(10013), QStringLiteral("Системное сообщение"));
    }

    void modulePathReplacesTheExtension()
    {
        QCOMPARE(LanguageModulePath(kProgram, QStringLiteral("EN")),
                 QStringLiteral("/opt/dorel/dorel-rpu-sela.EN"));
        QCOMPARE(LanguageModulePath(QStringLiteral("/opt/dorel/prog.exe"), QStringLiteral("TR")),
                 QStringLiteral("/opt/dorel/prog.TR"));
    }

    void moduleTextsUpTo10120AreAllStored()
    {
        auto module = Module(10001, 10120);
        OpenerLog log;
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QStringLiteral("EN"), kProgram, OpenerFor(module.get(), log));
        QCOMPARE(catalogue.Text(10001), QStringLiteral("M10001"));
        QCOMPARE(catalogue.Text(10088), QStringLiteral("M10088"));
        QCOMPARE(catalogue.Text(10120), QStringLiteral("M10120"));
        QVERIFY(catalogue.Text(10121).isEmpty());
    }

    void aGapEndsTheLoad()
    {
        auto module = Module(10001, 10120);
        module->texts.erase(10030);
        OpenerLog log;

        // Fresh catalogue: everything from the gap on stays empty.
        MessageCatalogue fresh;
        LoadMessageCatalogue(fresh, QStringLiteral("EN"), kProgram, OpenerFor(module.get(), log));
        QCOMPARE(fresh.Text(10029), QStringLiteral("M10029"));
        QVERIFY(fresh.Text(10030).isEmpty());
        QVERIFY(fresh.Text(10031).isEmpty());
        QVERIFY(fresh.Text(10100).isEmpty());

        // After Russian: the slots from the gap on keep the Russian texts.
        module->texts[10030] = QString(); // an empty text counts as missing too
        MessageCatalogue switched;
        LoadMessageCatalogue(switched, QStringLiteral("RU"), kProgram);
        LoadMessageCatalogue(switched, QStringLiteral("EN"), kProgram, OpenerFor(module.get(), log));
        QCOMPARE(switched.Text(10029), QStringLiteral("M10029"));
        QCOMPARE(switched.Text(10030), QStringLiteral("Введено недопустимое значение номера модуля!"));
        QCOMPARE(switched.Text(10087), QStringLiteral("Dorel-RPU-SELA"));
        QVERIFY(switched.Text(kLastProgramMessage + 3).isEmpty());
    }

    void loadingTwiceGivesTheSame()
    {
        auto module = Module(10001, 10050);
        OpenerLog log;
        MessageCatalogue once;
        MessageCatalogue twice;
        LoadMessageCatalogue(once, QStringLiteral("EN"), kProgram, OpenerFor(module.get(), log));
        LoadMessageCatalogue(twice, QStringLiteral("EN"), kProgram, OpenerFor(module.get(), log));
        LoadMessageCatalogue(twice, QStringLiteral("EN"), kProgram, OpenerFor(module.get(), log));
        for (int n = 10000; n <= 11001; ++n)
            QCOMPARE(twice.Text(n), once.Text(n));
    }

    void russianTableIsComplete()
    {
        MessageCatalogue catalogue;
        LoadMessageCatalogue(catalogue, QString(), kProgram);
        for (int n = 10001; n <= kLastProgramMessage; ++n)
            QVERIFY2(!catalogue.Text(n).isEmpty(), qPrintable(QString::number(n)));
        QVERIFY(catalogue.Text(kLastProgramMessage + 1).isEmpty());
        for (int n = 10001; n <= kLastProgramMessage; ++n)
            QVERIFY2(catalogue.Text(n).size() <= kMaxMessageLength, qPrintable(QString::number(n)));
    }

    void textsEasyToGetWrong()
    {
        MessageCatalogue c;
        LoadMessageCatalogue(c, QStringLiteral("RU"), kProgram);

        const QChar latinC(0x0063);
        const QChar cyrillicEs(0x0441);
        QCOMPARE(c.Text(10079), QStringLiteral("пост./ 1 ") + latinC + QLatin1Char('.'));
        QCOMPARE(c.Text(10080), QStringLiteral("---/ 1 ") + latinC + QLatin1Char('.'));
        // "пост." itself is Cyrillic; only the unit letter is Latin.
        QCOMPARE(c.Text(10079).count(latinC), 1);
        QVERIFY(!c.Text(10080).contains(cyrillicEs));
        QCOMPARE(c.Text(10076), QStringLiteral("%d ") + cyrillicEs + QLatin1Char('.'));
        QCOMPARE(c.Text(10077), QStringLiteral("%d мин. %d ") + cyrillicEs + QLatin1Char('.'));
        QCOMPARE(c.Text(10078), QStringLiteral("%.1f ") + cyrillicEs + QLatin1Char('.'));
        QVERIFY(!c.Text(10076).contains(latinC) && !c.Text(10078).contains(latinC));

        QCOMPARE(c.Format(10022, 42), QStringLiteral("Запись ПО в прибор...42 %"));
        QCOMPARE(c.Format(10051, 42), QStringLiteral("Запись параметров в прибор...42 %"));
        QCOMPARE(c.Format(10055, 42), QStringLiteral("Чтение параметров из прибора...42 %"));
        QCOMPARE(c.Format(10028, QStringLiteral("ksy_rpu_3.rrg")),
                 QStringLiteral("Вы уверены, что хотите удалить файл регистрации ksy_rpu_3.rrg ?"));

        QCOMPARE(c.Text(10001), QStringLiteral("Ошибка!"));
        QCOMPARE(c.Text(10009), QStringLiteral("Внимание!"));
        QCOMPARE(c.Text(10013), QStringLiteral("Системное сообщение"));
        QCOMPARE(c.Text(10027), QStringLiteral("Файлы регистрации (*.rrg)|*.rrg"));
        QCOMPARE(c.Text(10036), QStringLiteral("Файлы конфигурации (*.cfg)|*.cfg"));
        QCOMPARE(c.Text(10081), QStringLiteral("---"));
        QCOMPARE(c.Text(10086), QStringLiteral("Dorel-RPU-KSY"));
        QCOMPARE(c.Text(10010), QStringLiteral("Подключено более 1 прибора марки Вельмар! Оставьте "
                                               "только 1 прибор на линии USB!"));
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
