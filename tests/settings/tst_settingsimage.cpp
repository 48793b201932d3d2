#include "i18n/messagecatalogue.h"
#include "settings/outputpresets.h"
#include "settings/settingsimage.h"
#include "settings/timelists.h"

#include <QtTest>

#include <set>

using namespace rpu;

using Cells = QList<QPair<int, quint32>>;

class TstSettingsImage : public QObject {
    Q_OBJECT

    MessageCatalogue catalogue;

private slots:
    void initTestCase() { catalogue.Fill(BuiltinStringSource()); }

    void everyFieldRoundTripsItsLegalValues();
    void composeTouchesOnlyOwnedCells();
    void rangeCheckFindsFirstCellInShowingOrder_data();
    void rangeCheckFindsFirstCellInShowingOrder();
    void sourcePairCell();
    void factoryImage();
    void presetRows();
    void actuatorOnRelay2Composes();
    void timeCellsOfListsWithoutSelection();
    void timeListTexts();
    void badByteText();
};

void TstSettingsImage::everyFieldRoundTripsItsLegalValues()
{
    for (SettingsSection section : {SettingsSection::Relay, SettingsSection::Rpu}) {
        for (const SettingsField &field : SettingsFields(section)) {
            if (field.kind == FieldKind::Marker)
                continue;
            for (quint32 value = 0; value <= field.maximum; ++value) {
                SettingsImage in{};
                in[field.offset] = value;
                QVERIFY(!FindBadCell(in, section));
                SettingsImage out{};
                if (section == SettingsSection::Relay)
                    WriteRelaySection(ReadRelaySection(in), out);
                else
                    WriteRpuSection(ReadRpuSection(in), out);
                // Bits 3 and 7 of a source pair are no binding.
                const quint32 expected = field.kind == FieldKind::SourcePair ? value & 0x77 : value;
                QVERIFY2(out[field.offset] == expected,
                         qPrintable(QStringLiteral("offset %1 value %2 gave %3")
                                        .arg(field.offset)
                                        .arg(value)
                                        .arg(out[field.offset])));
                out[field.offset] = 0;
                if (section == SettingsSection::Rpu)
                    out[kRpuMarkerOffset] = 0;
                QCOMPARE(out, SettingsImage{});
            }
        }
    }
}

void TstSettingsImage::composeTouchesOnlyOwnedCells()
{
    std::set<int> owned;
    for (SettingsSection section : {SettingsSection::Relay, SettingsSection::Rpu})
        for (const SettingsField &field : SettingsFields(section))
            QVERIFY2(owned.insert(field.offset).second, "a cell belongs to two fields");
    const std::set<int> reserved = {20, 22, 24, 25, 29, 30, 31, 45, 46, 47, 48};
    for (int offset = 0; offset < 96; ++offset)
        QVERIFY2(owned.count(offset) != reserved.count(offset), qPrintable(QString::number(offset)));
    QCOMPARE(*owned.rbegin(), 95);

    SettingsImage image;
    image.fill(0xAB);
    WriteRelaySection(RelaySection{}, image);
    WriteRpuSection(RpuSection{}, image);
    for (int offset = 0; offset < kSettingsImageCells; ++offset) {
        const quint32 expected =
            !owned.count(offset) ? 0xAB : offset == kRpuMarkerOffset ? kRpuSectionMarker : 0;
        QVERIFY2(image[offset] == expected, qPrintable(QString::number(offset)));
    }
}

void TstSettingsImage::rangeCheckFindsFirstCellInShowingOrder_data()
{
    QTest::addColumn<Cells>("cells");
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("badOffset"); // -1: none

    const int relay = int(SettingsSection::Relay);
    const int rpu = int(SettingsSection::Rpu);
    QTest::newRow("own tamper 7") << Cells{{16, 7}} << relay << -1;
    QTest::newRow("own tamper 8") << Cells{{16, 8}} << relay << 16;
    QTest::newRow("time 255") << Cells{{34, 255}} << relay << -1;
    QTest::newRow("time 256") << Cells{{34, 256}} << relay << 34;
    QTest::newRow("negative from a file") << Cells{{35, 0xFFFFFFFFu}} << relay << 35;
    QTest::newRow("modes before notifications") << Cells{{16, 8}, {43, 8}} << relay << 43;
    QTest::newRow("partitions before modes") << Cells{{43, 8}, {15, 9}} << relay << 15;
    QTest::newRow("reserved cells") << Cells{{20, 999}, {29, 999}, {45, 999}, {49, 999}, {96, 999}, {255, 999}}
                                    << relay << -1;
    QTest::newRow("reserved cells, rpu") << Cells{{20, 999}, {49, 999}, {96, 999}} << rpu << -1;
    QTest::newRow("rpu sees no relay cell") << Cells{{16, 8}} << rpu << -1;
    QTest::newRow("source pair 0x78") << Cells{{50, 0x78}} << rpu << 50;
    QTest::newRow("sources before rpu modes") << Cells{{95, 8}, {73, 0x80}} << rpu << 73;
    QTest::newRow("rpu inverse before times") << Cells{{92, 300}, {83, 8}} << rpu << 83;
}

void TstSettingsImage::rangeCheckFindsFirstCellInShowingOrder()
{
    QFETCH(Cells, cells);
    QFETCH(int, section);
    QFETCH(int, badOffset);
    SettingsImage image{};
    for (const auto &[offset, value] : cells)
        image[offset] = value;
    const std::optional<BadImageCell> bad = FindBadCell(image, SettingsSection(section));
    if (badOffset < 0) {
        QVERIFY(!bad);
        return;
    }
    QVERIFY(bad);
    QCOMPARE(bad->offset, badOffset);
    QCOMPARE(bad->value, image[badOffset]);
}

void TstSettingsImage::sourcePairCell()
{
    SettingsImage image{};
    image[50] = 0x77;
    RpuSection section = ReadRpuSection(image);
    for (const RpuOutput &output : section.outputs) {
        QCOMPARE(output.bindings.count(), size_t(2));
        QVERIFY(output.bindings[0] && output.bindings[1]);
    }

    image[50] = 0x08;
    QVERIFY(!FindBadCell(image, SettingsSection::Rpu));
    section = ReadRpuSection(image);
    for (const RpuOutput &output : section.outputs)
        QVERIFY(output.bindings.none());

    // Source 48 on the open collector is the high nibble of the last cell.
    RpuSection bound;
    bound.outputs[2].bindings.set(47);
    SettingsImage composed{};
    WriteRpuSection(bound, composed);
    QCOMPARE(composed[73], 0x40u);
}

void TstSettingsImage::factoryImage()
{
    const SettingsImage &factory = FactorySettingsImage();
    const QList<quint32> expected = {5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 0, 0, 0, 0, 0, 7, 0,
                                     3, 0, 0, 0, 3, 3, 0, 0, 0, 4, 0, 255, 0, 0, 255, 0, 0, 255, 0, 7, 7, 4};
    for (int offset = 0; offset < kSettingsImageCells; ++offset)
        QCOMPARE(factory[offset], offset < expected.size() ? expected[offset] : 0u);

    SettingsImage composed{};
    WriteRelaySection(ReadRelaySection(factory), composed);
    WriteRpuSection(ReadRpuSection(factory), composed);
    SettingsImage expectedImage = factory;
    expectedImage[kRpuMarkerOffset] = kRpuSectionMarker;
    QCOMPARE(composed, expectedImage);
}

void TstSettingsImage::presetRows()
{
    struct Row {
        SettingsSection section;
        OutputMode mode;
        int n;
        bool sounderAllowed;
        int open, close, durationItem;
        quint32 durationCell;
        bool inverted;
        std::vector<int> checked;
        bool events, times, duration; // editable
    };
    constexpr auto R = SettingsSection::Relay;
    constexpr auto P = SettingsSection::Rpu;
    const Row rows[] = {
        {R, OutputMode::PcnAlarm, 1, true, 255, 0, 0, 0, false, {RelayAlarmEvent, RelayOnOffAllLine}, false, false, false},
        {R, OutputMode::ControlLamp, 1, true, 1, 1, 255, 255, false, {RelayAlarmEvent, RelayOnOffAllLine}, false, false, false},
        {R, OutputMode::ArmedState, 1, true, 0, 255, 0, 0, false, {RelayOnOffAllLine}, false, false, false},
        {R, OutputMode::Sounder, 3, true, 255, 0, 0, 10, true, {RelayAlarmEvent}, false, false, true},
        {R, OutputMode::Sounder, 3, false, 255, 0, kNoSelection, 10, true, {RelayAlarmEvent}, false, false, false},
        {R, OutputMode::Alarm, 2, true, 255, 0, 0, 0, false, {RelayAlarmEvent}, false, false, false},
        {R, OutputMode::Actuator, 2, true, 0, 20, 0, 0, false, {RelayOnOffLine}, false, false, false},
        {R, OutputMode::Special, 2, true, 0, 0, 0, 0, false, {}, true, true, true},
        {P, OutputMode::Sounder, 1, true, 255, 0, 0, 0, true, {RpuAlarmEvent}, false, false, true},
        {P, OutputMode::Sounder, 3, true, 255, 0, 24, 24, true, {RpuAlarmEvent}, false, false, true},
        {P, OutputMode::Alarm, 2, true, 255, 0, 0, 0, false, {RpuAlarmEvent}, false, false, false},
        {P, OutputMode::Special, 3, true, 0, 0, 0, 0, false, {RpuAlarmEvent}, true, true, true},
    };
    for (const Row &row : rows) {
        const std::optional<OutputPreset> preset = row.section == R
                                                       ? RelayModePreset(row.mode, row.sounderAllowed)
                                                       : RpuModePreset(row.mode, row.n);
        QVERIFY(preset);
        QCOMPARE(preset->durationItem, row.durationItem);
        QCOMPARE((QList<bool>{preset->eventsEditable, preset->timesEditable, preset->durationEditable}),
                 (QList<bool>{row.events, row.times, row.duration}));

        // The preset replaces all but the bindings.
        RpuOutput output;
        output.bindings.set(40);
        output.notifications.set(RelayNoLine);
        output.closeFor = 77;
        ApplyPreset(*preset, row.mode, output);
        RpuOutput expected;
        expected.mode = row.mode;
        expected.bindings.set(40);
        for (int bit : row.checked)
            expected.notifications.set(bit);
        expected.inverted = row.inverted;
        expected.openFor = quint32(row.open);
        expected.closeFor = quint32(row.close);
        expected.duration = row.durationCell;
        QCOMPARE(output, expected);
    }
    QVERIFY(!RelayModePreset(OutputMode::None, true));
    for (OutputMode mode : {OutputMode::None, OutputMode::PcnAlarm, OutputMode::ControlLamp,
                            OutputMode::ArmedState, OutputMode::Actuator})
        QVERIFY(!RpuModePreset(mode, 1));
}

void TstSettingsImage::actuatorOnRelay2Composes()
{
    RelaySection section;
    ApplyPreset(*RelayModePreset(OutputMode::Actuator, true), OutputMode::Actuator, section.outputs[1]);
    SettingsImage image{};
    WriteRelaySection(section, image);
    QCOMPARE(image[36], 20u);
    QCOMPARE(image[37], 0u);
    QCOMPARE(image[38], 0u);
    QCOMPARE(image[43], 6u);
    QCOMPARE(image[26], 2u);
}

void TstSettingsImage::timeCellsOfListsWithoutSelection()
{
    QCOMPARE(TimeCellFromItem(kNoSelection, TimeEncoding::HalfSecond), 0u);
    QCOMPARE(TimeCellFromItem(kNoSelection, TimeEncoding::FiveSecond), 0u);
    QCOMPARE(TimeCellFromItem(kNoSelection, TimeEncoding::Minutes), 10u);
    QCOMPARE(TimeCellFromItem(245, TimeEncoding::Minutes), 255u);
    QCOMPARE(TimeItemFromCell(3, TimeEncoding::Minutes), 0);
    QCOMPARE(TimeItemFromCell(255, TimeEncoding::Minutes), kSounderListItems - 1);
    QCOMPARE(TimeItemFromCell(255, TimeEncoding::FiveSecond), 255);
}

void TstSettingsImage::timeListTexts()
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QStringList open, close, duration, sounder;
    FillOpenTimeList(1, open, catalogue, russian);
    FillCloseTimeList(3, close, catalogue, QLocale::c());
    FillDurationList(duration, catalogue);
    FillSounderDurationList(sounder, catalogue);
    QCOMPARE(open.size(), kTimeListItems);
    QCOMPARE(close.size(), kTimeListItems);
    QCOMPARE(duration.size(), kTimeListItems);
    QCOMPARE(sounder.size(), kSounderListItems);

    QCOMPARE(open[0], QStringLiteral("---"));
    QCOMPARE(open[20], QStringLiteral("10,0 с."));
    QCOMPARE(open[254], QStringLiteral("127,0 с."));
    QCOMPARE(open[255], QStringLiteral("пост."));
    QCOMPARE(close[0], QStringLiteral("---/ 1 c."));
    QCOMPARE(close[1], QStringLiteral("0.5 с."));
    FillOpenTimeList(3, open, catalogue, russian);
    QCOMPARE(open.size(), kTimeListItems);
    QCOMPARE(open[255], QStringLiteral("пост./ 1 c."));
    FillCloseTimeList(1, close, catalogue, russian);
    QCOMPARE(close[0], QStringLiteral("---"));

    QCOMPARE(duration[1], QStringLiteral("5 с."));
    QCOMPARE(duration[11], QStringLiteral("55 с."));
    QCOMPARE(duration[12], QStringLiteral("1 мин."));
    QCOMPARE(duration[13], QStringLiteral("1 мин. 5 с."));
    QCOMPARE(duration[254], QStringLiteral("21 мин. 10 с."));
    QCOMPARE(duration[255], QStringLiteral("пост."));
    QCOMPARE(sounder[0], QStringLiteral("10 мин."));
    QCOMPARE(sounder[244], QStringLiteral("254 мин."));
    QCOMPARE(sounder[245], QStringLiteral("пост."));
}

void TstSettingsImage::badByteText()
{
    QCOMPARE(BadImageByteText(catalogue, {16, 8}),
             QStringLiteral("Ошибка в данных, считанных с прибора (Байт №16=8). Программа завершает "
                            "свою работу."));
    QVERIFY(BadImageByteText(catalogue, {35, 0xFFFFFFFFu}).contains(QStringLiteral("№35=4294967295)")));
    // A module text with more placeholders than values stays harmless.
    QCOMPARE(FillPlaceholders(QStringLiteral("%d%% %s %.1f"), {QStringLiteral("5")}),
             QStringLiteral("5%  "));
}

QTEST_GUILESS_MAIN(TstSettingsImage)
#include "tst_settingsimage.moc"
