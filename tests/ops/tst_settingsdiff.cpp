// The settings diff names every changed field once, in the editors' words,
// and nothing else: not the cells the editors do not show, not a time that
// reads the same, and not the fields of a section that is erased or missing.

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "ops/settingsdiff.h"

#include <QDir>
#include <QtTest>

#include <functional>

using namespace rpu;
using namespace rpu::ops;

namespace {

using Edit = std::function<void(SettingsSide &)>;

// Factory relay section; an RPU section with a sounder, nothing and a special output.
SettingsSide Base()
{
    SettingsSide side{FactorySettingsImage()};
    SettingsImage &c = side.image;
    c[49] = 0x55;
    c[50] = 0x11; // sources 1 and 2 on output 1
    c[77] = 1;
    c[83] = 1;
    c[85] = 255;
    c[93] = 4;
    c[95] = 7;
    return side;
}

Edit Cell(int offset, quint32 value)
{
    return [=](SettingsSide &side) { side.image[offset] = value; };
}

Edit Cells(std::initializer_list<std::pair<int, quint32>> cells)
{
    const std::vector<std::pair<int, quint32>> list(cells);
    return [=](SettingsSide &side) {
        for (auto [offset, value] : list)
            side.image[offset] = value;
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
        QTest::addColumn<Edit>("editBefore");

        const auto row = [](const char *name, Edit edit, QStringList fields, QString text,
                            Edit editBefore = [](SettingsSide &) {}) {
            QTest::newRow(name) << edit << fields << text << editBefore;
        };
        row("same", [](SettingsSide &) {}, {}, {});
        row("relay mode", Cell(43, 5), {"relay/2/mode"}, "Реле №2: режим «Специальный» → «Тревога»");
        row("partition added", Cell(4, 7), {"relay/2/partition:5"}, "Реле №2: раздел 5: добавлен");
        row("notification off", Cell(21, 5), {"relay/2/notification:AlarmEvent"},
            "Реле №2: Тревога/пожар (разделы): выключено");
        row("every relay notification", Cells({{16, 1}, {17, 1}, {18, 1}, {19, 1}, {26, 1}, {27, 7}, {28, 7}, {23, 7}}),
            {"relay/1/notification:SelfDamage", "relay/1/notification:RadioChanBlck", "relay/1/notification:DamageCD",
             "relay/1/notification:PowerCD", "relay/1/notification:OnOffLine", "relay/3/notification:ErrorFire",
             "relay/3/notification:OnOffAllLine", "relay/3/notification:NoLine"},
            "Реле №1: Собственное вскрытие: включено");
        row("inversion", Cell(32, 5), {"relay/1/inverse"}, "Реле №1: инверсный режим «Нет» → «Да»");
        row("relay times", Cells({{33, 20}, {37, 1}, {41, 30}}),
            {"relay/1/closeFor", "relay/2/openFor", "relay/3/duration"}, "Реле №1: замыкание на время «---» → «10.0 с.»");
        row("open collector ends", Cells({{39, 255}, {40, 0}}), {"relay/3/closeFor", "relay/3/openFor"},
            "Выход ОК №1: замыкание на время «---/ 1 c.» → «пост.»");
        // Sounder minutes 0..9 all read 10 minutes.
        row("sounder duration that reads the same", Cell(41, 3), {}, {});
        row("mode changes the duration's words", Cell(42, 4),
            {"relay/1/mode", "relay/1/duration"}, "Реле №1: режим «Специальный» → «Звуковой»");
        row("source added", Cell(73, 0x40), {"rpu/3/source:48"}, "Выход ОК №1: ИИ 48: добавлен");
        row("source removed, bit 3 ignored", Cell(50, 0x18), {"rpu/1/source:1"}, "Реле №1: ИИ 1: снят");
        row("every rpu notification", Cells({{74, 1}, {75, 1}, {76, 1}, {77, 0}, {78, 1}, {79, 1}, {80, 1}, {81, 1}, {82, 1}}),
            {"rpu/1/notification:RadioChanBlckRPU", "rpu/1/notification:BoxDamageRPU", "rpu/1/notification:ErrorPowerRPU",
             "rpu/1/notification:AlarmEventRPU", "rpu/1/notification:DamageIIRPU", "rpu/1/notification:ErrorFireRPU",
             "rpu/1/notification:AhtungFireIIRPU", "rpu/1/notification:NoLinkRPU", "rpu/1/notification:PowerCDRPU"},
            "Реле №1: Блокирование РК: включено");
        row("rpu mode, inversion, times", Cells({{94, 7}, {83, 0}, {86, 24}, {90, 255}}),
            {"rpu/1/inverse", "rpu/1/duration", "rpu/2/mode", "rpu/3/closeFor"},
            "Реле №1: инверсный режим «Да» → «Нет»");
        row("rpu section erased", [](SettingsSide &side) { std::fill(side.image.begin() + 49, side.image.begin() + 96, 255u); },
            {"rpu/0/section"}, "«Режимы реле и выхода ОК (РПУ в автономном режиме)»: задан → байт №50=255 вне диапазона");
        row("relay section not given", [](SettingsSide &side) { side.sections.relay = false; },
            {"relay/0/section"}, "«Режимы реле и выхода ОК»: задан → не задан");
        // A file saved from the relay page against a device with an empty RPU section.
        const Edit noRpu = [](SettingsSide &side) { std::fill(side.image.begin() + 49, side.image.begin() + 96, 0u); };
        row("section not given against one all 0", noRpu, {}, {}, [noRpu](SettingsSide &side) {
            noRpu(side);
            side.sections.rpu = false;
        });
    }

    void namesChangedFields()
    {
        QFETCH(Edit, edit);
        QFETCH(QStringList, fields);
        QFETCH(QString, firstText);
        QFETCH(Edit, editBefore);
        MessageCatalogue catalogue;
        catalogue.Fill(BuiltinStringSource());
        SettingsSide before = Base();
        editBefore(before);
        SettingsSide after = Base();
        edit(after);
        const auto changes = DiffSettings(before, after, catalogue, QLocale::c());
        QStringList named;
        for (const SettingsChange &change : changes)
            named << QStringLiteral("%1/%2/%3").arg(change.section == SettingsSection::Relay ? "relay" : "rpu")
                         .arg(change.output).arg(change.fieldId);
        QCOMPARE(named, fields);
        if (!changes.empty())
            QCOMPARE(changes.front().text, firstText);
        // Back the other way: the same fields, before and after swapped.
        const auto back = DiffSettings(after, before, catalogue, QLocale::c());
        QCOMPARE(back.size(), changes.size());
        for (std::size_t i = 0; i < back.size(); ++i)
            QCOMPARE(back[i].before, changes[i].after);
    }

    // A translator's list with an item more or less would name the wrong
    // field: every module gives each list its exact count.
    void everyModuleListsEachField()
    {
        const QDir lang(qEnvironmentVariable("RPU_SOURCE_DIR") + QStringLiteral("/lang"));
        const QStringList modules = lang.entryList({QStringLiteral("dorel-rpu-sela.*")}, QDir::Files);
        QVERIFY(!modules.isEmpty());
        for (const QString &module : modules) {
            MessageCatalogue catalogue;
            catalogue.Fill(*OpenLanguageModule(lang.filePath(module)));
            QCOMPARE(catalogue.Text(msg::kDiffWorkModes).split(QLatin1Char('|')).size(), kWorkModeCount);
            QCOMPARE(catalogue.Text(msg::kDiffRelayNotifications).split(QLatin1Char('|')).size(), kNotificationCells);
            QCOMPARE(catalogue.Text(msg::kDiffRpuNotifications).split(QLatin1Char('|')).size(), kNotificationCells);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsDiff)
#include "tst_settingsdiff.moc"
