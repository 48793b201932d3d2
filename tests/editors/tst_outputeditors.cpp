#include "app/editors/settingspages.h"
#include "i18n/messagecatalogue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QtTest>

#include <set>

using namespace rpu;

namespace {

QStringList Names(const char *prefix, const QStringList &stems, int n)
{
    QStringList names;
    for (const QString &stem : stems)
        names << stem + QLatin1String(prefix) + QString::number(n);
    return names;
}

template <typename T = QWidget>
T *Child(const QWidget &root, const QString &name)
{
    T *widget = root.findChild<T *>(name);
    if (!widget)
        qFatal("no control %s", qPrintable(name));
    return widget;
}

QComboBox *List(const QWidget &root, const char *stem, const char *suffix, int n)
{
    return Child<QComboBox>(root, QLatin1String(stem) + QLatin1String(suffix) + QString::number(n));
}

QRadioButton *RelayModeButton(const QWidget &page, int n, int mode)
{
    return Child<QGroupBox>(page, QStringLiteral("ReleWorkMode%1").arg(n))
        ->findChildren<QRadioButton *>()
        .at(mode - 1);
}

QRadioButton *RpuModeButton(const QWidget &page, int n, int mode)
{
    return Child<QRadioButton>(page, QStringLiteral("RadioButton%1%2").arg(n).arg(mode));
}

// Names of the checked notification boxes (every check box but the bindings).
QStringList CheckedNotifications(const QWidget &editor)
{
    QStringList names;
    for (QCheckBox *box : editor.findChildren<QCheckBox *>())
        if (box->isChecked() && !box->objectName().startsWith(QLatin1String("privrel")))
            names << box->objectName();
    names.sort();
    return names;
}

// Counts what changes on the controls below a widget: checks, enabled
// states and list selections, each a repaint on the shown window.
struct ControlChanges : QObject {
    explicit ControlChanges(const QWidget &root)
    {
        for (QWidget *w : root.findChildren<QWidget *>()) {
            w->installEventFilter(this);
            if (auto *button = qobject_cast<QAbstractButton *>(w))
                connect(button, &QAbstractButton::toggled, this, [this] { ++count; });
            if (auto *list = qobject_cast<QComboBox *>(w))
                connect(list, &QComboBox::currentIndexChanged, this, [this] { ++count; });
        }
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::EnabledChange;
        return false;
    }
    int count = 0;
};

const QStringList kRelayStems = {"AlarmEvent", "BoxDamage", "OnOffLine", "OnOffAllLine", "ErrorFire",
                                 "NoConnect", "RadioChanBlck", "DamageCD", "PowerCD", "SelfDamage",
                                 "NoLine"};

} // namespace

class TstOutputEditors : public QObject {
    Q_OBJECT

    MessageCatalogue catalogue;
    const QLocale russian{QLocale::Russian, QLocale::Russia};

private slots:
    void initTestCase() { catalogue.Fill(BuiltinStringSource()); }

    void relayPresetsThroughClicks_data();
    void relayPresetsThroughClicks();
    void rpuPresetsThroughClicks_data();
    void rpuPresetsThroughClicks();
    void actuatorOnRelay2();
    void sounderOnOutput3();
    void listsWithoutSelectionStoreTheirFirstItem();
    void factorySettings();
    void imagesRoundTrip();
    void rpuModesTheUserCannotChoose();
    void outOfRangeImageShowsNothing();
    void listsFollowTheCatalogue();
    void pagesFitTheirSize();
};

void TstOutputEditors::relayPresetsThroughClicks_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("items"); // open, close, duration, inverse
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QStringList>("checked");

    using I = QList<int>;
    QTest::newRow("ПЦН тревога") << 1 << 1 << I{255, 0, 0, 0} << false
                                 << QStringList{"AlarmEvent1", "OnOffAllLine1"};
    QTest::newRow("Контрольная лампа") << 2 << 2 << I{1, 1, 255, 0} << false
                                       << QStringList{"AlarmEvent2", "OnOffAllLine2"};
    QTest::newRow("Взят/снят") << 3 << 3 << I{0, 255, 0, 0} << false << QStringList{"OnOffAllLine3"};
    QTest::newRow("Звуковой") << 1 << 4 << I{255, 0, 0, 1} << false << QStringList{"AlarmEvent1"};
    QTest::newRow("Тревога") << 2 << 5 << I{255, 0, 0, 0} << false << QStringList{"AlarmEvent2"};
    QTest::newRow("Исполнительный") << 3 << 6 << I{0, 20, 0, 0} << false << QStringList{"OnOffLine3"};
    QTest::newRow("Специальный") << 3 << 7 << I{0, 0, 0, 0} << true << QStringList{};
}

void TstOutputEditors::relayPresetsThroughClicks()
{
    QFETCH(int, n);
    QFETCH(int, mode);
    QFETCH(QList<int>, items);
    QFETCH(bool, editable);
    QFETCH(QStringList, checked);

    RelaySettingsPage page(catalogue, russian);
    // Every box checked and a foreign mode first, so the click must reset them.
    RelaySection all;
    for (RelayOutput &output : all.outputs) {
        output.mode = mode == 7 ? OutputMode::Alarm : OutputMode::Special;
        output.notifications.set();
        output.bindings.set(4);
        output.openFor = output.closeFor = output.duration = 7;
    }
    page.ShowSection(all);
    RelayModeButton(page, n, mode)->click();

    const char *lists[] = {"TimeRzmk", "TimeZmk", "TimePeriod", "InvRele"};
    for (int i = 0; i < 4; ++i) {
        QComboBox *list = List(page, lists[i], "", n);
        QCOMPARE(list->currentIndex(), items[i]);
        const bool sounderDuration = mode == 4 && i == 2;
        QCOMPARE(list->isEnabled(), editable || sounderDuration);
        QCOMPARE(list->count(), i == 3 ? 2 : sounderDuration ? kSounderListItems : kTimeListItems);
    }
    checked.sort();
    QCOMPARE(CheckedNotifications(*page.OutputEditorOf(n)), checked);
    for (const QString &name : Names("", kRelayStems, n)) {
        const bool neverInSpecial = name.startsWith("BoxDamage") || name.startsWith("NoConnect");
        QCOMPARE(Child(page, name)->isEnabled(), editable && !neverInSpecial);
    }
    QVERIFY(!Child(page, QStringLiteral("ErrorPower%1").arg(n))->isEnabled());
    QVERIFY(Child<QCheckBox>(page, QStringLiteral("privrele%1%2").arg(n).arg(5))->isChecked());
    QCOMPARE(int(page.OutputEditorOf(n)->Value().mode), mode);
}

void TstOutputEditors::rpuPresetsThroughClicks_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("items"); // open, close, duration, inverse
    QTest::addColumn<QList<bool>>("enabled");

    using I = QList<int>;
    using E = QList<bool>;
    QTest::newRow("Звуковой, relay 1") << 1 << 4 << I{255, 0, 0, 1} << E{false, false, true, false};
    QTest::newRow("Звуковой, ОК") << 3 << 4 << I{255, 0, 24, 1} << E{false, false, true, false};
    QTest::newRow("Тревога") << 2 << 5 << I{255, 0, 0, 0} << E{false, false, false, false};
    QTest::newRow("Специальный") << 3 << 7 << I{0, 0, 0, 0} << E{true, true, true, true};
}

void TstOutputEditors::rpuPresetsThroughClicks()
{
    QFETCH(int, n);
    QFETCH(int, mode);
    QFETCH(QList<int>, items);
    QFETCH(QList<bool>, enabled);

    RpuSettingsPage page(catalogue, russian);
    page.ShowFactorySettings();
    QVERIFY(!Child(page, QStringLiteral("privrelrpu%1%2").arg(n).arg(48))->isEnabled());
    Child<QCheckBox>(page, QStringLiteral("NoLinkRPU%1").arg(n))->setChecked(true);
    RpuModeButton(page, n, mode)->click();

    const char *lists[] = {"TimeRzmk", "TimeZmk", "TimePeriod", "InvRele"};
    for (int i = 0; i < 4; ++i) {
        QComboBox *list = List(page, lists[i], "RPU", n);
        QCOMPARE(list->currentIndex(), items[i]);
        QCOMPARE(list->isEnabled(), enabled[i]);
    }
    QCOMPARE(CheckedNotifications(*page.OutputEditorOf(n)), QStringList{QStringLiteral("AlarmEventRPU%1").arg(n)});
    const bool special = mode == 7;
    for (const char *stem : {"AlarmEventRPU", "DamageIIRPU", "ErrorPowerRPU", "PowerCDRPU"})
        QCOMPARE(Child(page, QLatin1String(stem) + QString::number(n))->isEnabled(), special);
    for (const char *stem : {"OnOfLineRPU", "OnAllLineRPU"})
        QVERIFY(!Child(page, QLatin1String(stem) + QString::number(n))->isEnabled());
    QVERIFY(Child(page, QStringLiteral("privrelrpu%1%2").arg(n).arg(48))->isEnabled());
    QVERIFY(Child(page, QStringLiteral("SelfDamageRPU%1").arg(n))->isHidden());
}

void TstOutputEditors::actuatorOnRelay2()
{
    RelaySettingsPage page(catalogue, russian);
    page.ShowFactorySettings();
    RelayModeButton(page, 2, 6)->click();
    QCOMPARE(CheckedNotifications(*page.OutputEditorOf(2)), QStringList{"OnOffLine2"});
    QCOMPARE(List(page, "TimeZmk", "", 2)->currentText(), QStringLiteral("10,0 с."));

    SettingsImage image{};
    page.ComposeInto(image);
    QCOMPARE(image[36], 20u);
    QCOMPARE(image[37], 0u);
    QCOMPARE(image[38], 0u);
    QCOMPARE(image[43], 6u);
    QCOMPARE(image[26] & 2u, 2u);
}

void TstOutputEditors::sounderOnOutput3()
{
    {
        RelaySettingsPage page(catalogue, russian);
        page.ShowFactorySettings();
        RelayModeButton(page, 3, 7)->click();
        RelayModeButton(page, 3, 4)->click();
        QComboBox *duration = List(page, "TimePeriod", "", 3);
        QCOMPARE(duration->currentText(), QStringLiteral("10 мин."));
        QVERIFY(duration->isEnabled());
        SettingsImage image{};
        page.ComposeInto(image);
        QCOMPARE(image[41], 10u);
        QCOMPARE(image[44], 4u);
        QCOMPARE(image[21] & 4u, 4u);
        QCOMPARE(image[32] & 4u, 4u);

        // On a device that does not count minutes the duration is not offered.
        page.SetSounderDurationCondition([] { return false; });
        RelayModeButton(page, 3, 5)->click();
        RelayModeButton(page, 3, 4)->click();
        QCOMPARE(duration->currentIndex(), -1);
        QVERIFY(!duration->isEnabled());
        page.ComposeInto(image);
        QCOMPARE(image[41], 10u);

        // Short and constant durations of a shown image.
        image[41] = 3;
        QVERIFY(!page.ShowImage(image));
        QCOMPARE(duration->currentText(), QStringLiteral("10 мин."));
        image[41] = 255;
        QVERIFY(!page.ShowImage(image));
        QCOMPARE(duration->currentText(), QStringLiteral("пост."));
    }
    RpuSettingsPage page(catalogue, russian);
    page.ShowFactorySettings();
    RpuModeButton(page, 3, 4)->click();
    QCOMPARE(List(page, "TimeRzmk", "RPU", 3)->currentText(), QStringLiteral("пост./ 1 c."));
    QCOMPARE(List(page, "TimeZmk", "RPU", 3)->currentText(), QStringLiteral("---/ 1 c."));
    QCOMPARE(List(page, "InvRele", "RPU", 3)->currentIndex(), 1);
    SettingsImage image{};
    page.ComposeInto(image);
    QCOMPARE(image[95], 4u);
    QCOMPARE(image[92], 24u);
    QCOMPARE(image[91], 255u);
    QCOMPARE(image[90], 0u);
    QCOMPARE(image[77], 4u);
    QCOMPARE(image[83], 4u);
}

void TstOutputEditors::listsWithoutSelectionStoreTheirFirstItem()
{
    // A new page has never filled its lists; an image without work modes keeps them empty.
    RelaySettingsPage relay(catalogue, russian);
    SettingsImage shown{};
    shown[35] = 200;
    QVERIFY(!relay.ShowImage(shown));
    QCOMPARE(List(relay, "TimePeriod", "", 1)->currentIndex(), -1);
    SettingsImage image;
    image.fill(0xEE);
    relay.ComposeInto(image);
    for (int offset = 33; offset <= 44; ++offset)
        QCOMPARE(image[offset], 0u);

    RpuSettingsPage rpu(catalogue, russian);
    QVERIFY(!rpu.ShowImage(shown));
    rpu.ComposeInto(image);
    for (int offset = 84; offset <= 95; ++offset)
        QCOMPARE(image[offset], 0u);
    QCOMPARE(image[49], 0x55u);
}

void TstOutputEditors::factorySettings()
{
    RelaySettingsPage relay(catalogue, russian);
    for (int twice = 0; twice < 2; ++twice)
        relay.ShowFactorySettings();
    SettingsImage image{};
    relay.ComposeInto(image);
    SettingsImage expected = FactorySettingsImage();
    expected[41] = 10;
    QCOMPARE(image, expected);
    QCOMPARE(CheckedNotifications(*relay.OutputEditorOf(1)),
             (QStringList{"AlarmEvent1", "ErrorFire1", "NoLine1", "OnOffAllLine1"}));
    QCOMPARE(List(relay, "TimeRzmk", "", 3)->currentText(), QStringLiteral("пост./ 1 c."));
    QCOMPARE(List(relay, "TimeZmk", "", 1)->currentText(), QStringLiteral("---"));
    QCOMPARE(List(relay, "InvRele", "", 3)->currentIndex(), 1);
    QVERIFY(List(relay, "TimeZmk", "", 1)->isEnabled());
    QVERIFY(!List(relay, "TimeZmk", "", 3)->isEnabled());
    QVERIFY(!Child(relay, "BoxDamage1")->isEnabled());

    RpuSettingsPage rpu(catalogue, russian);
    rpu.ShowFactorySettings();
    image.fill(0);
    rpu.ComposeInto(image);
    expected.fill(0);
    expected[49] = 0x55;
    QCOMPARE(image, expected);
    for (int n = 1; n <= 3; ++n) {
        for (int m = 1; m <= 7; ++m)
            QVERIFY(!RpuModeButton(rpu, n, m)->isChecked());
        QVERIFY(!Child(rpu, QStringLiteral("privrelrpu%1%2").arg(n).arg(1))->isEnabled());
        QVERIFY(!Child(rpu, QStringLiteral("AlarmEventRPU%1").arg(n))->isEnabled());
        QCOMPARE(List(rpu, "InvRele", "RPU", n)->currentIndex(), 0);
    }
}

void TstOutputEditors::imagesRoundTrip()
{
    // Images the editors can hold: the boxes of each mode's preset are set.
    QRandomGenerator random(20261209);
    auto cell = [&](quint32 max) { return random.bounded(max + 1); };
    RelaySettingsPage relay(catalogue, russian);
    RpuSettingsPage rpu(catalogue, russian);
    relay.ShowFactorySettings();
    for (int n = 1; n <= 3; ++n)
        RpuModeButton(rpu, n, 7)->click(); // so that every list has its items

    const int relayNotificationCells[] = {16, 17, 18, 19, 21, 23, 26, 27, 28};
    for (int round = 0; round < 40; ++round) {
        SettingsImage image;
        for (quint32 &c : image)
            c = random.generate();
        for (int k = 0; k <= 44; ++k)
            image[k] = cell(7);
        for (int k = 50; k <= 95; ++k)
            image[k] = cell(0x77) & 0x77;
        for (int k : {33, 34, 35, 36, 37, 38, 39, 40, 41, 84, 85, 86, 87, 88, 89, 90, 91, 92})
            image[k] = cell(255);
        for (int k = 74; k <= 83; ++k)
            image[k] = cell(7);
        for (int n = 0; n < 3; ++n) {
            image[42 + n] = cell(7);
            image[93 + n] = cell(7);
            if (const auto preset = RelayModePreset(OutputMode(image[42 + n]), true))
                for (int bit = 0; bit < kNotificationCells; ++bit)
                    if (preset->checked[bit])
                        image[relayNotificationCells[bit]] |= 1u << n;
            if (image[42 + n] == 4)
                image[35 + 3 * n] = 10 + cell(245);
            // Without a mode the lists keep their last items, perhaps the
            // 246 of the sounder list.
            if (image[42 + n] == 0)
                image[35 + 3 * n] = cell(245);
            if (RpuModePreset(OutputMode(image[93 + n]), n + 1))
                image[77] |= 1u << n;
        }

        QVERIFY(!relay.ShowImage(image));
        QVERIFY(!rpu.ShowImage(image));
        {
            // Shown again, the same image changes no control, not even for a moment.
            ControlChanges relayChanges(relay), rpuChanges(rpu);
            QVERIFY(!relay.ShowImage(image));
            QVERIFY(!rpu.ShowImage(image));
            QCOMPARE(relayChanges.count, 0);
            QCOMPARE(rpuChanges.count, 0);
        }
        SettingsImage composed = image;
        relay.ComposeInto(composed);
        rpu.ComposeInto(composed);
        SettingsImage expected = image;
        expected[kRpuMarkerOffset] = kRpuSectionMarker;
        for (int k = 0; k < kSettingsImageCells; ++k)
            QVERIFY2(composed[k] == expected[k], qPrintable(QStringLiteral("round %1 offset %2: %3 -> %4")
                                                                .arg(round)
                                                                .arg(k)
                                                                .arg(image[k])
                                                                .arg(composed[k])));
    }
}

void TstOutputEditors::rpuModesTheUserCannotChoose()
{
    RpuSettingsPage page(catalogue, russian);
    page.ShowFactorySettings();
    for (int m : {1, 2, 3, 6}) {
        RpuModeButton(page, 1, m)->click();
        QVERIFY(!RpuModeButton(page, 1, m)->isChecked());
    }
    SettingsImage image{};
    image[93] = 6;
    image[94] = 0;
    image[74] = 3;
    QVERIFY(!page.ShowImage(image));
    QVERIFY(RpuModeButton(page, 1, 6)->isChecked());
    QVERIFY(!RpuModeButton(page, 1, 6)->isEnabled());
    QVERIFY(!Child(page, "RadioChanBlckRPU1")->isEnabled());
    QVERIFY(Child<QCheckBox>(page, "RadioChanBlckRPU2")->isChecked());
    QVERIFY(!Child(page, "privrelrpu21")->isEnabled());
    SettingsImage composed{};
    page.ComposeInto(composed);
    QCOMPARE(composed[93], 6u);
    QCOMPARE(composed[94], 0u);
    QCOMPARE(composed[74], 3u);
}

void TstOutputEditors::outOfRangeImageShowsNothing()
{
    RelaySettingsPage relay(catalogue, russian);
    relay.ShowFactorySettings();
    SettingsImage image{};
    image[16] = 8;
    const std::optional<BadImageCell> bad = relay.ShowImage(image);
    QVERIFY(bad);
    QCOMPARE(*bad, (BadImageCell{16, 8}));
    QVERIFY(Child<QCheckBox>(relay, "privrele11")->isChecked());

    RpuSettingsPage rpu(catalogue, russian);
    image[16] = 0;
    image[50] = 0x78;
    QCOMPARE(*rpu.ShowImage(image), (BadImageCell{50, 0x78}));
    image[50] = 0x08;
    QVERIFY(!rpu.ShowImage(image));
    QVERIFY(!Child<QCheckBox>(rpu, "privrelrpu14")->isChecked());
}

void TstOutputEditors::listsFollowTheCatalogue()
{
    struct English final : StringSource {
        QString String(int number) const override
        {
            return number == 10074 ? QStringLiteral("%d min.") : BuiltinRussianText(number);
        }
    };
    MessageCatalogue changing;
    changing.Fill(BuiltinStringSource());
    RelaySettingsPage page(changing, russian);
    page.ShowFactorySettings();
    QComboBox *duration = List(page, "TimePeriod", "", 3);
    QCOMPARE(duration->currentText(), QStringLiteral("10 мин."));

    changing.Fill(English());
    RelayModeButton(page, 3, 5)->click();
    RelayModeButton(page, 3, 4)->click();
    QCOMPARE(duration->currentText(), QStringLiteral("10 min."));
    RelayModeButton(page, 3, 7)->click();
    QCOMPARE(duration->itemText(12), QStringLiteral("1 min."));
}

void TstOutputEditors::pagesFitTheirSize()
{
    // The window's page control gives a settings page about this much room.
    const QSize pageSize(660, 515);
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSize(8);
    RelaySettingsPage relay(catalogue, russian);
    RpuSettingsPage rpu(catalogue, russian);
    relay.ShowFactorySettings();
    for (int n = 1; n <= 3; ++n)
        RpuModeButton(rpu, n, 7)->click();
    const QString shots = qEnvironmentVariable("RPU_SCREENSHOT_DIR");
    for (QWidget *page : {static_cast<QWidget *>(&relay), static_cast<QWidget *>(&rpu)}) {
        page->setFont(font);
        page->resize(pageSize);
        page->show();
        // A page that needs more room would have been kept at its minimum.
        QCOMPARE(page->size(), pageSize);
        QTabWidget *tabs = page->findChild<QTabWidget *>();
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QWidget *editor = tabs->widget(tab);
            QCoreApplication::processEvents();
            if (!shots.isEmpty())
                page->grab().save(shots + QLatin1Char('/') + editor->objectName() + QStringLiteral(".png"));
            for (QWidget *w : editor->findChildren<QWidget *>()) {
                if (!w->isVisibleTo(editor) || qobject_cast<QGroupBox *>(w) || !w->parentWidget())
                    continue;
                const QRect inEditor(w->mapTo(editor, QPoint(0, 0)), w->size());
                QVERIFY2(editor->rect().contains(inEditor), qPrintable(w->objectName() + " leaves the tab"));
                if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLabel *>(w))
                    QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->minimumSizeHint().height(),
                             qPrintable(w->objectName() + " " + w->property("text").toString() + " is clipped"));
                for (QWidget *other : w->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                    if (other != w && other->isVisibleTo(editor) && other->geometry().intersects(w->geometry()))
                        QFAIL(qPrintable(w->objectName() + " overlaps " + other->objectName()));
            }
        }
        page->hide();
    }
}

QTEST_MAIN(TstOutputEditors)
#include "tst_outputeditors.moc"
