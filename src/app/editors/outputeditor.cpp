#include "app/editors/outputeditor.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace rpu {

namespace {

// Catalogue texts the time lists are built from.
constexpr int kFirstTimeText = msg::kMinutes;
constexpr int kLastTimeText = msg::kOff;

void SelectItem(QComboBox *list, int item)
{
    // An item the list does not have leaves it without a selection.
    list->setCurrentIndex(item >= 0 && item < list->count() ? item : -1);
}

void SetItems(QComboBox *list, const QStringList &items)
{
    list->clear();
    list->addItems(items);
}

// Groups hold many rows; the style's default margins would not leave room.
template <typename Layout>
Layout *Compact(Layout *layout, int spacing)
{
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(spacing);
    return layout;
}

QString Named(const char *prefix, int n, const char *suffix = "")
{
    return QLatin1String(prefix) + QLatin1String(suffix) + QString::number(n);
}

} // namespace

OutputEditor::OutputEditor(int n, const OutputEditorLayout &layout, const MessageCatalogue &catalogue,
                           const QLocale &locale, QWidget *parent)
    : QWidget(parent), n_(n), layout_(layout), catalogue_(catalogue), locale_(locale)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    auto *bindings = new QGroupBox(this);
    auto *modes = new QGroupBox(this);
    modes->setObjectName(Named(layout.modeGroupName, n));
    auto *notifications = new QGroupBox(this);
    auto *lists = new QGroupBox(this);
    parts_ = {bindings, notifications, lists};
    grid->addWidget(bindings, 0, 0);
    grid->addWidget(modes, 0, 1);
    grid->addWidget(notifications, 1, 0);
    grid->addWidget(lists, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    connect(this, &QObject::objectNameChanged, this, &OutputEditor::NameParts);
    BuildBindings(bindings);
    BuildModes(modes);
    BuildNotifications(notifications);
    BuildLists(lists);
}

void OutputEditor::NameParts()
{
    for (size_t i = 0; i < parts_.size(); ++i)
        parts_[i]->setObjectName(objectName() + QStringLiteral("_QGroupBox%1").arg(i + 1));
    for (qsizetype i = 0; i < listCaptions_.size(); ++i)
        listCaptions_[i]->setObjectName(parts_.back()->objectName() + QStringLiteral("_QLabel%1").arg(i + 1));
}

void OutputEditor::BuildBindings(QGroupBox *group)
{
    auto *grid = Compact(new QGridLayout(group), 0);
    for (int p = 1; p <= layout_.bindingCount; ++p) {
        auto *box = new QCheckBox(QString::number(p), group);
        box->setObjectName(QLatin1String(layout_.bindingPrefix) + QString::number(n_) + QString::number(p));
        grid->addWidget(box, (p - 1) % layout_.bindingRows, (p - 1) / layout_.bindingRows);
        bindings_.append(box);
    }
}

void OutputEditor::BuildModes(QGroupBox *group)
{
    auto *column = Compact(new QVBoxLayout(group), 0);
    modes_ = new QButtonGroup(group);
    for (int mode = 1; mode <= kWorkModeCount; ++mode) {
        auto *button = new QRadioButton(group);
        if (*layout_.modeButtonPrefix)
            button->setObjectName(Named(layout_.modeButtonPrefix, n_) + QString::number(mode));
        if (std::find(layout_.lockedModes.begin(), layout_.lockedModes.end(), mode)
            != layout_.lockedModes.end())
            button->setEnabled(false);
        modes_->addButton(button, mode);
        column->addWidget(button);
    }
    column->addStretch(1);
    // Programmatic checks run under a signal blocker, so this is the user's choice.
    connect(modes_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            OnModeChosen();
    });
}

void OutputEditor::BuildNotifications(QGroupBox *group)
{
    auto *column = Compact(new QVBoxLayout(group), 0);
    for (const NotificationBoxSpec &design : layout_.boxes) {
        auto *box = new QCheckBox(group);
        box->setObjectName(Named(design.prefix, n_));
        box->setEnabled(design.enabledAtStart);
        box->setVisible(!design.hidden);
        column->addWidget(box);
        boxes_.append(box);
    }
    column->addStretch(1);
}

void OutputEditor::BuildLists(QGroupBox *group)
{
    auto *grid = Compact(new QGridLayout(group), 4);
    int row = 0;
    auto addList = [&](const char *prefix) {
        auto *caption = new QLabel(group);
        listCaptions_.append(caption);
        auto *list = new QComboBox(group);
        list->setObjectName(Named(prefix, n_, layout_.nameSuffix));
        list->setEditable(false);
        list->setMinimumContentsLength(12);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMaxVisibleItems(16);
        caption->setBuddy(list);
        grid->addWidget(caption, row, 0);
        grid->addWidget(list, row, 1);
        ++row;
        return std::pair{caption, list};
    };
    openFor_ = addList("TimeRzmk").second;
    closeFor_ = addList("TimeZmk").second;
    duration_ = addList("TimePeriod").second;
    inverse_ = addList("InvRele").second;
    inverse_->addItems(QStringList(2)); // no, yes
    // Kept for the layout's language modules; nothing reads or sets it.
    const auto [controlLabel, control] = addList("ReleControl");
    control->addItems(QStringList(2)); // by command, by event
    control->setEnabled(false);
    control->hide();
    controlLabel->hide();
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

int OutputEditor::CheckedMode() const
{
    const int id = modes_->checkedId();
    return id > 0 ? id : 0;
}

OutputEditor::Controls OutputEditor::Current() const
{
    Controls c;
    for (const QCheckBox *box : bindings_) {
        c.bindingChecked << box->isChecked();
        c.bindingEnabled << box->isEnabledTo(this);
    }
    for (const QCheckBox *box : boxes_) {
        c.boxChecked << box->isChecked();
        c.boxEnabled << box->isEnabledTo(this);
    }
    c.mode = CheckedMode();
    const auto list = [this](const QComboBox *l) { return ListState{NoList, l->currentIndex(), l->isEnabledTo(this)}; };
    c.openFor = list(openFor_);
    c.closeFor = list(closeFor_);
    c.duration = list(duration_);
    c.inverse = list(inverse_);
    return c;
}

// Qt's setters leave a control that already shows the value untouched.
void OutputEditor::Apply(const Controls &c)
{
    for (qsizetype i = 0; i < bindings_.size(); ++i) {
        bindings_[i]->setChecked(c.bindingChecked[i]);
        bindings_[i]->setEnabled(c.bindingEnabled[i]);
    }
    for (qsizetype i = 0; i < boxes_.size(); ++i) {
        boxes_[i]->setChecked(c.boxChecked[i]);
        boxes_[i]->setEnabled(c.boxEnabled[i]);
    }
    if (c.mode != CheckedMode())
        SelectMode(c.mode);
    ShowList(openFor_, c.openFor, openShown_);
    ShowList(closeFor_, c.closeFor, closeShown_);
    ShowList(duration_, c.duration, durationShown_);
    TimeListKind inverseItems = NoList; // fixed items
    ShowList(inverse_, c.inverse, inverseItems);
}

void OutputEditor::ShowList(QComboBox *list, const ListState &state, TimeListKind &shown)
{
    if (state.items != NoList)
        ShowItems(list, state.items, shown);
    // An item the list does not have leaves it without a selection.
    SelectItem(list, state.item);
    list->setEnabled(state.enabled);
}

void OutputEditor::SetOutputEnabled(Controls &c, bool on) const
{
    for (qsizetype i = 0; i < boxes_.size(); ++i)
        if (layout_.boxes[i].followsOutput)
            c.boxEnabled[i] = on;
    for (ListState *list : {&c.openFor, &c.closeFor, &c.duration, &c.inverse})
        list->enabled = on;
}

void OutputEditor::SetEventsChecked(Controls &c, bool on) const
{
    for (qsizetype i = 0; i < boxes_.size(); ++i)
        if (layout_.boxes[i].followsOutput)
            c.boxChecked[i] = on;
}

void OutputEditor::SelectMode(int mode)
{
    const QSignalBlocker blocker(modes_);
    if (QAbstractButton *button = modes_->button(mode)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; lift that to clear it.
    modes_->setExclusive(false);
    for (QAbstractButton *button : modes_->buttons())
        button->setChecked(false);
    modes_->setExclusive(true);
}

QString OutputEditor::TimeTextsKey() const
{
    QString key = locale_.decimalPoint();
    for (int number = kFirstTimeText; number <= kLastTimeText; ++number)
        key += QChar(0) + catalogue_.Text(number);
    return key;
}

void OutputEditor::ShowItems(QComboBox *list, TimeListKind kind, TimeListKind &shown)
{
    if (shown == kind)
        return;
    QStringList &items = items_[kind];
    if (items.isEmpty()) {
        switch (kind) {
        case OpenList:
            FillOpenTimeList(n_, items, catalogue_, locale_);
            break;
        case CloseList:
            FillCloseTimeList(n_, items, catalogue_, locale_);
            break;
        case DurationList:
            FillDurationList(items, catalogue_);
            break;
        case SounderList:
            FillSounderDurationList(items, catalogue_);
            break;
        case NoList:
            break;
        }
    }
    SetItems(list, items);
    shown = kind;
}

void OutputEditor::RefreshTimeTexts()
{
    // The texts change only with the catalogue or the locale; a list that
    // already holds the wanted items is left as it is.
    const QString key = TimeTextsKey();
    if (key != itemsKey_) {
        itemsKey_ = key;
        for (QStringList &items : items_)
            items.clear();
        openShown_ = closeShown_ = durationShown_ = NoList;
    }
}

void OutputEditor::RunPreset(const std::optional<OutputPreset> &preset)
{
    if (!preset)
        return;
    Controls c = Current();
    PresetInto(c, *preset);
    Apply(c);
}

void OutputEditor::PresetInto(Controls &c, const OutputPreset &preset)
{
    SetOutputEnabled(c, preset.eventsEditable);
    SetEventsChecked(c, false);
    if (layout_.section == SettingsSection::Rpu)
        c.bindingEnabled.fill(true);

    RefreshTimeTexts();
    c.openFor = {OpenList, preset.openItem, preset.timesEditable};
    c.closeFor = {CloseList, preset.closeItem, preset.timesEditable};
    c.duration = {preset.durationEncoding == TimeEncoding::Minutes ? SounderList : DurationList,
                  preset.durationItem, preset.durationEditable};
    c.inverse = {NoList, preset.inverted ? 1 : 0, preset.timesEditable};

    for (qsizetype i = 0; i < boxes_.size(); ++i) {
        const NotificationBoxSpec &design = layout_.boxes[i];
        if (design.bit >= 0 && preset.checked[design.bit])
            c.boxChecked[i] = true;
        if (preset.eventsEditable && design.offInSpecial)
            c.boxEnabled[i] = false;
    }
}

TimeEncoding OutputEditor::DurationEncodingOf(int mode) const
{
    return DurationEncoding(layout_.section, static_cast<OutputMode>(mode));
}

template <int B>
void OutputEditor::ShowValues(const OutputSettings<B> &output)
{
    Controls c = Current();
    SetEventsChecked(c, false);
    SetOutputEnabled(c, false);
    for (int p = 0; p < B; ++p)
        c.bindingChecked[p] = output.bindings[p];

    const int mode = static_cast<int>(output.mode);
    c.mode = mode;
    if (mode != 0) {
        if (const std::optional<OutputPreset> preset = PresetFor(mode))
            PresetInto(c, *preset);
    } else if (layout_.section == SettingsSection::Rpu) {
        c.bindingEnabled.fill(false);
    }

    // The image adds to what the preset checked; it clears nothing.
    for (qsizetype i = 0; i < boxes_.size(); ++i) {
        const int bit = layout_.boxes[i].bit;
        if (bit >= 0 && output.notifications[bit])
            c.boxChecked[i] = true;
    }
    c.inverse.item = output.inverted ? 1 : 0;
    c.closeFor.item = TimeItemFromCell(output.closeFor, TimeEncoding::HalfSecond);
    c.openFor.item = TimeItemFromCell(output.openFor, TimeEncoding::HalfSecond);
    c.duration.item = TimeItemFromCell(output.duration, DurationEncodingOf(mode));
    Apply(c);
}

template <int B>
OutputSettings<B> OutputEditor::Collect() const
{
    OutputSettings<B> output;
    output.mode = static_cast<OutputMode>(CheckedMode());
    for (int p = 0; p < B; ++p)
        output.bindings[p] = bindings_[p]->isChecked();
    // Checked counts, enabled or not.
    for (qsizetype i = 0; i < boxes_.size(); ++i) {
        const int bit = layout_.boxes[i].bit;
        if (bit >= 0)
            output.notifications[bit] = boxes_[i]->isChecked();
    }
    output.inverted = inverse_->currentIndex() == 1;
    output.closeFor = TimeCellFromItem(closeFor_->currentIndex(), TimeEncoding::HalfSecond);
    output.openFor = TimeCellFromItem(openFor_->currentIndex(), TimeEncoding::HalfSecond);
    output.duration = TimeCellFromItem(duration_->currentIndex(), DurationEncodingOf(CheckedMode()));
    return output;
}

// ---- relay page ------------------------------------------------------------

namespace {

constexpr NotificationBoxSpec kRelayBoxes[] = {
    {"AlarmEvent", RelayAlarmEvent, true, true, false, false},
    {"BoxDamage", -1, false, true, true, false},
    {"OnOffLine", RelayOnOffLine, true, true, false, false},
    {"OnOffAllLine", RelayOnOffAllLine, true, true, false, false},
    {"ErrorFire", RelayErrorFire, true, true, false, false},
    {"NoConnect", -1, false, true, true, false},
    {"ErrorPower", -1, false, false, false, false},
    {"RadioChanBlck", RelayRadioChanBlck, true, true, false, false},
    {"DamageCD", RelayDamageCD, true, true, false, false},
    {"PowerCD", RelayPowerCD, true, true, false, false},
    {"SelfDamage", RelaySelfDamage, true, true, false, false},
    {"NoLine", RelayNoLine, true, true, false, false},
};

const OutputEditorLayout kRelayLayout = {
    SettingsSection::Relay, "", "privrele", kRelayPartitions, 4, kRelayBoxes, "ReleWorkMode", "", {},
};

constexpr NotificationBoxSpec kRpuBoxes[] = {
    {"AlarmEventRPU", RpuAlarmEvent, true, true, false, false},
    {"OnAllLineRPU", -1, true, true, true, false},
    {"AhtungFireIIRPU", RpuAhtungFireII, true, true, false, false},
    {"OnOfLineRPU", -1, true, true, true, false},
    {"DamageIIRPU", RpuDamageII, false, true, false, false},
    {"NoLinkRPU", RpuNoLink, true, true, false, false},
    {"RadioChanBlckRPU", RpuRadioChanBlck, true, true, false, false},
    {"SelfDamageRPU", -1, false, true, false, true},
    {"PowerCDRPU", RpuPowerCD, false, true, false, false},
    {"ErrorFireRPU", RpuErrorFire, false, true, false, false},
    {"ErrorPowerRPU", RpuErrorPower, true, true, false, false},
    {"BoxDamageRPU", RpuBoxDamage, true, true, false, false},
};

// Only "Звуковой", "Тревога" and "Специальный" can be chosen on this page.
constexpr int kRpuLockedModes[] = {1, 2, 3, 6};

const OutputEditorLayout kRpuLayout = {
    SettingsSection::Rpu, "RPU", "privrelrpu", kRpuSources, 8, kRpuBoxes, "GrB_ReleWorkModeRPU",
    "RadioButton", kRpuLockedModes,
};

} // namespace

RelayOutputEditor::RelayOutputEditor(int n, const MessageCatalogue &catalogue, const QLocale &locale,
                                     QWidget *parent)
    : OutputEditor(n, kRelayLayout, catalogue, locale, parent), sounderAllowed_([] { return true; })
{
    // The first item shows from the start; its preset waits for the first fill.
    SelectMode(static_cast<int>(OutputMode::PcnAlarm));
}

void RelayOutputEditor::SetSounderDurationCondition(std::function<bool()> allowed)
{
    sounderAllowed_ = std::move(allowed);
}

void RelayOutputEditor::ReleWorkMode1Click()
{
    OnModeChosen();
}

std::optional<OutputPreset> RelayOutputEditor::PresetFor(int mode) const
{
    if (mode == 0)
        return std::nullopt;
    const bool sounder = static_cast<OutputMode>(mode) == OutputMode::Sounder;
    return RelayModePreset(static_cast<OutputMode>(mode), sounder && sounderAllowed_());
}

void RelayOutputEditor::Show(const RelayOutput &output)
{
    ShowValues(output);
}

RelayOutput RelayOutputEditor::Value() const
{
    return Collect<kRelayPartitions>();
}

RpuOutputEditor::RpuOutputEditor(int n, const MessageCatalogue &catalogue, const QLocale &locale,
                                 QWidget *parent)
    : OutputEditor(n, kRpuLayout, catalogue, locale, parent)
{
}

void RpuOutputEditor::RadioButton_ReleWorkModeRPUClick()
{
    OnModeChosen();
}

std::optional<OutputPreset> RpuOutputEditor::PresetFor(int mode) const
{
    return RpuModePreset(static_cast<OutputMode>(mode), Output());
}

void RpuOutputEditor::Show(const RpuOutput &output)
{
    ShowValues(output);
}

RpuOutput RpuOutputEditor::Value() const
{
    return Collect<kRpuSources>();
}

} // namespace rpu
