// The settings diff names every changed field once, in the editors' words, and
// nothing else: no hidden bit, no time that reads the same, no erased section's fields.

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "ops/settingsdiff.h"

#include <QDir>
#include <QtTest>

using namespace rpu;
using namespace rpu::ops;

namespace {

using Edit = std::function<void(SettingsSide &before, SettingsSide &after)>;

// Factory relay section; RPU: output 1 an inverted sounder held open on sources 1, 2 with alarm; 3 special.
SettingsSide Base()
{
    SettingsSide side{FactorySettingsImage()};
    for (auto [offset, value] : {std::pair{49, 0x55}, {50, 0x11}, {77, 1}, {83, 1}, {85, 255}, {93, 4}, {95, 7}})
        side.image[offset] = value;
    return side;
}

Edit Cells(std::vector<std::pair<int, quint32>> cells)
{
    return [=](SettingsSide &, SettingsSide &after) {
        for (auto [offset, value] : cells)
            after.image[offset] = value;
    };
}

} // namespace

class TestSettingsDiff : public QObject {
    Q_OBJECT

private slots:
    void namesChangedFields_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QStringList>("fields"); // section/output/fieldId
        QTest::addColumn<QString>("firstText");
        const auto row = [](const char *name, Edit edit, QStringList fields, QString text) {
            QTest::newRow(name) << edit << fields << text;
        };
        row("same", Cells({}), {}, {});
        row("relay mode", Cells({{43, 5}}), {"relay/2/mode"}, "Реле №2: режим «Специальный» → «Тревога»");
        row("partition added, notification off", Cells({{4, 7}, {21, 5}}),
            {"relay/2/partition:5", "relay/2/notification:AlarmEvent"}, "Реле №2: раздел 5: добавлен");
        row("every relay notification", Cells({{16, 1}, {17, 1}, {18, 1}, {19, 1}, {26, 1}, {27, 7}, {28, 7}, {23, 7}}),
            QString("1:SelfDamage 1:RadioChanBlck 1:DamageCD 1:PowerCD 1:OnOffLine 3:ErrorFire 3:OnOffAllLine 3:NoLine")
                .replace(QRegularExpression("(\\d):(\\w+)"), "relay/\\1/notification:\\2").split(' '),
            "Реле №1: Собственное вскрытие: включено");
        row("relay inversion and times", Cells({{32, 5}, {33, 20}, {37, 1}, {41, 30}}),
            {"relay/1/inverse", "relay/1/closeFor", "relay/2/openFor", "relay/3/duration"}, "Реле №1: инверсный режим «Нет» → «Да»");
        row("open collector ends", Cells({{39, 255}, {40, 0}}), {"relay/3/closeFor", "relay/3/openFor"},
            "Выход ОК №1: замыкание на время «---/ 1 c.» → «пост.»");
        // Sounder minutes 0..9 all read 10 minutes.
        row("sounder duration that reads the same", Cells({{41, 3}}), {}, {});
        row("mode changes the duration's words", Cells({{42, 4}}), {"relay/1/mode", "relay/1/duration"}, "Реле №1: режим «Специальный» → «Звуковой»");
        row("sources, bit 3 ignored", Cells({{50, 0x18}, {73, 0x40}}), {"rpu/1/source:1", "rpu/3/source:48"}, "Реле №1: ИИ 1: снят");
        row("every rpu notification", Cells({{74, 1}, {75, 1}, {76, 1}, {77, 0}, {78, 1}, {79, 1}, {80, 1}, {81, 1}, {82, 1}}),
            QString("RadioChanBlck BoxDamage ErrorPower AlarmEvent DamageII ErrorFire AhtungFireII NoLink PowerCD")
                .replace(QRegularExpression("(\\w+)"), "rpu/1/notification:\\1RPU").split(' '),
            "Реле №1: Блокирование РК: включено");
        row("rpu mode, inversion, times", Cells({{94, 7}, {83, 0}, {86, 24}, {90, 255}}),
            {"rpu/1/inverse", "rpu/1/duration", "rpu/2/mode", "rpu/3/closeFor"}, "Реле №1: инверсный режим «Да» → «Нет»");
        row("rpu section erased", [](SettingsSide &, SettingsSide &a) { std::fill(&a.image[49], &a.image[96], 255u); },
            {"rpu/0/section"}, "«Режимы реле и выхода ОК (РПУ в автономном режиме)»: задан → байт №50=255 вне диапазона");
        row("relay section not given", [](SettingsSide &, SettingsSide &a) { a.sections.relay = false; },
            {"relay/0/section"}, "«Режимы реле и выхода ОК»: задан → не задан");
        // A file saved from the relay page against a device with an empty RPU section.
        row("section not given against one all 0", [](SettingsSide &b, SettingsSide &a) {
            std::fill(&a.image[49], &a.image[96], 0u);
            b.image = a.image;
            b.sections.rpu = false;
        }, {}, {});
    }

    void namesChangedFields()
    {
        QFETCH(Edit, edit);
        QFETCH(QStringList, fields);
        QFETCH(QString, firstText);
        MessageCatalogue catalogue;
        catalogue.Fill(BuiltinStringSource());
        SettingsSide before = Base(), after = Base();
        edit(before, after);
        const auto changes = DiffSettings(before, after, catalogue, QLocale::c());
        QStringList named;
        for (const QJsonValue &change : SettingsChangesJson(changes))
            named << QStringLiteral("%1/%2/%3").arg(change["section"].toString()).arg(change["output"].toInt())
                         .arg(change["fieldId"].toString());
        QCOMPARE(named, fields);
        QCOMPARE(changes.empty() ? QString() : changes.front().text, firstText);
        // Back the other way: the same fields, before and after swapped.
        const auto back = DiffSettings(after, before, catalogue, QLocale::c());
        QCOMPARE(back.size(), changes.size());
        for (std::size_t i = 0; i < back.size(); ++i)
            QCOMPARE(back[i].before, changes[i].after);
    }

    // A module's list with an item more or less would name another field.
    void everyModuleListsEachField()
    {
        const QDir lang(qEnvironmentVariable("RPU_SOURCE_DIR") + QStringLiteral("/lang"));
        QVERIFY(lang.exists(QStringLiteral("dorel-rpu-sela.EN")));
        for (const QString &module : lang.entryList({QStringLiteral("dorel-rpu-sela.*")}, QDir::Files)) {
            MessageCatalogue c;
            c.Fill(*OpenLanguageModule(lang.filePath(module)));
            const auto count = [&](int number) { return c.Text(number).split(QLatin1Char('|')).size(); };
            QCOMPARE((QList<qsizetype>{count(msg::kDiffWorkModes), count(msg::kDiffRelayNotifications),
                                       count(msg::kDiffRpuNotifications)}), (QList<qsizetype>{7, 9, 9}));
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsDiff)
#include "tst_settingsdiff.moc"
