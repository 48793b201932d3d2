#include "ops/settingsdiff.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "settings/timelists.h"

#include <QJsonObject>

#include <array>
#include <optional>

namespace rpu::ops {

namespace {

constexpr int kOpenCollector = 3;

constexpr std::array<const char *, kNotificationCells> kRelayNotificationIds = {
    "SelfDamage", "RadioChanBlck", "DamageCD", "PowerCD", "AlarmEvent",
    "ErrorFire", "OnOffLine", "OnOffAllLine", "NoLine"};
constexpr std::array<const char *, kNotificationCells> kRpuNotificationIds = {
    "RadioChanBlckRPU", "BoxDamageRPU", "ErrorPowerRPU", "AlarmEventRPU", "DamageIIRPU",
    "ErrorFireRPU", "AhtungFireIIRPU", "NoLinkRPU", "PowerCDRPU"};

// A catalogue text that lists the items of a group, "|" between them. A
// module's text with another count (cut short, or mistranslated) gives way
// to the built-in one, so no name is ever shifted onto another field.
QStringList ItemList(const MessageCatalogue &catalogue, int number, int count)
{
    const QStringList items = catalogue.Text(number).split(QLatin1Char('|'));
    if (items.size() == count)
        return items;
    return BuiltinRussianText(number).split(QLatin1Char('|'));
}

// The texts a diff needs, read from the catalogue once.
class Words {
public:
    Words(const MessageCatalogue &catalogue, const QLocale &locale) : c_(catalogue)
    {
        modes_ = ItemList(catalogue, msg::kDiffWorkModes, kWorkModeCount);
        notifications_[0] = ItemList(catalogue, msg::kDiffRelayNotifications, kNotificationCells);
        notifications_[1] = ItemList(catalogue, msg::kDiffRpuNotifications, kNotificationCells);
        for (int n = 1; n <= kReleOutputCount; ++n) {
            FillOpenTimeList(n, open_[n - 1], catalogue, locale);
            FillCloseTimeList(n, close_[n - 1], catalogue, locale);
        }
        FillDurationList(duration_, catalogue);
        FillSounderDurationList(sounder_, catalogue);
    }

    const MessageCatalogue &Catalogue() const { return c_; }
    QString Text(int number) const { return c_.Text(number); }

    QString Output(int n) const
    {
        return n == kOpenCollector ? c_.Format(msg::kDiffOpenCollectorOutput, 1)
                                   : c_.Format(msg::kDiffRelayOutput, n);
    }
    QString Mode(OutputMode mode) const
    {
        const int value = static_cast<int>(mode);
        return value >= 1 && value <= kWorkModeCount ? modes_.at(value - 1) : Text(msg::kDiffNoMode);
    }
    QString Notification(SettingsSection section, int index) const
    {
        return notifications_[section == SettingsSection::Relay ? 0 : 1].at(index);
    }
    QString YesNo(bool on) const { return Text(on ? msg::kDiffYes : msg::kDiffNo); }
    QString CloseFor(int n, quint32 cell) const { return Item(close_[n - 1], int(cell)); }
    QString OpenFor(int n, quint32 cell) const { return Item(open_[n - 1], int(cell)); }
    QString Duration(SettingsSection section, OutputMode mode, quint32 cell) const
    {
        const TimeEncoding encoding = DurationEncoding(section, mode);
        const QStringList &list = encoding == TimeEncoding::Minutes ? sounder_ : duration_;
        return Item(list, TimeItemFromCell(cell, encoding));
    }

private:
    // Cells are range-checked before they get here; the number is a last resort.
    static QString Item(const QStringList &list, int item)
    {
        return item >= 0 && item < list.size() ? list.at(item) : QString::number(item);
    }

    const MessageCatalogue &c_;
    QStringList modes_;
    std::array<QStringList, 2> notifications_;
    std::array<QStringList, kReleOutputCount> open_, close_;
    QStringList duration_, sounder_;
};

QString SectionId(SettingsSection section)
{
    return section == SettingsSection::Relay ? QStringLiteral("relay") : QStringLiteral("rpu");
}

// Collects the changes of one output.
class OutputDiff {
public:
    OutputDiff(const Words &words, SettingsSection section, int n, std::vector<SettingsChange> &changes)
        : w_(words), section_(section), n_(n), output_(words.Output(n)), changes_(changes)
    {
    }

    // A field with a value: mode, inversion, times.
    void Value(const QString &id, int fieldMessage, const QString &before, const QString &after)
    {
        if (before == after)
            return;
        const QString field = w_.Text(fieldMessage);
        Add(id, field, before, after,
            w_.Catalogue().Format(msg::kDiffValueChange, {output_, field, before, after}));
    }

    // A box of the output: a binding or a notification.
    void Switch(const QString &id, const QString &field, bool before, bool after, int onMessage, int offMessage)
    {
        if (before == after)
            return;
        Add(id, field, w_.YesNo(before), w_.YesNo(after),
            w_.Catalogue().Format(msg::kDiffSwitchChange,
                                  {output_, field, w_.Text(after ? onMessage : offMessage)}));
    }

    template <int B>
    void Compare(const OutputSettings<B> &a, const OutputSettings<B> &b)
    {
        Value(QStringLiteral("mode"), msg::kDiffFieldMode, w_.Mode(a.mode), w_.Mode(b.mode));
        const bool relay = section_ == SettingsSection::Relay;
        for (int p = 1; p <= B; ++p) {
            const QString id = (relay ? QStringLiteral("partition:") : QStringLiteral("source:")) + QString::number(p);
            const QString field = w_.Catalogue().Format(relay ? msg::kDiffPartition : msg::kDiffSource, p);
            Switch(id, field, a.bindings[p - 1], b.bindings[p - 1], msg::kDiffBindingAdded, msg::kDiffBindingRemoved);
        }
        const auto &ids = relay ? kRelayNotificationIds : kRpuNotificationIds;
        for (int i = 0; i < kNotificationCells; ++i) {
            Switch(QStringLiteral("notification:") + QLatin1String(ids[i]), w_.Notification(section_, i),
                   a.notifications[i], b.notifications[i], msg::kDiffNotificationOn, msg::kDiffNotificationOff);
        }
        Value(QStringLiteral("inverse"), msg::kDiffFieldInverse, w_.YesNo(a.inverted), w_.YesNo(b.inverted));
        Value(QStringLiteral("closeFor"), msg::kDiffFieldCloseFor, w_.CloseFor(n_, a.closeFor), w_.CloseFor(n_, b.closeFor));
        Value(QStringLiteral("openFor"), msg::kDiffFieldOpenFor, w_.OpenFor(n_, a.openFor), w_.OpenFor(n_, b.openFor));
        // The relay sounder counts minutes: each side reads its duration in its own mode's words.
        Value(QStringLiteral("duration"), msg::kDiffFieldDuration, w_.Duration(section_, a.mode, a.duration),
              w_.Duration(section_, b.mode, b.duration));
    }

private:
    void Add(const QString &id, const QString &field, const QString &before, const QString &after,
             const QString &text)
    {
        changes_.push_back({section_, n_, id, field, before, after, text});
    }

    const Words &w_;
    SettingsSection section_;
    int n_;
    QString output_;
    std::vector<SettingsChange> &changes_;
};

// How a side holds a section, in words: given, not given, or out of range.
struct SectionState {
    bool usable = false;
    QString words;
};

SectionState StateOf(const SettingsSide &side, SettingsSection section, const Words &words)
{
    if (!side.sections.Has(section))
        return {false, words.Text(msg::kDiffSectionNotGiven)};
    if (const auto bad = FindBadCell(side.image, section)) {
        return {false, words.Catalogue().Format(msg::kDiffSectionOutOfRange,
                                                {FormatArg(qint64(bad->offset)), FormatArg(qint64(bad->value))})};
    }
    return {true, words.Text(msg::kDiffSectionGiven)};
}

bool Empty(const SettingsImage &image, SettingsSection section)
{
    return KeepSections(image, SectionSet::Only(section)) == SettingsImage{};
}

template <int B>
void CompareSection(const SectionSettings<B> &a, const SectionSettings<B> &b, SettingsSection section,
                    const Words &words, std::vector<SettingsChange> &changes)
{
    for (int n = 1; n <= kReleOutputCount; ++n)
        OutputDiff(words, section, n, changes).Compare(a.outputs[n - 1], b.outputs[n - 1]);
}

} // namespace

std::vector<SettingsChange> DiffSettings(const SettingsSide &before, const SettingsSide &after,
                                         const MessageCatalogue &catalogue, const QLocale &locale)
{
    const Words words(catalogue, locale);
    std::vector<SettingsChange> changes;
    for (SettingsSection section : kSections) {
        const SectionState a = StateOf(before, section, words);
        const SectionState b = StateOf(after, section, words);
        if (a.usable && b.usable) {
            if (section == SettingsSection::Relay)
                CompareSection(ReadRelaySection(before.image), ReadRelaySection(after.image), section, words, changes);
            else
                CompareSection(ReadRpuSection(before.image), ReadRpuSection(after.image), section, words, changes);
            continue;
        }
        // An erased or missing section is one change, not a hundred fields.
        // A file saved from one page holds the other as all 0: that is no
        // change against a section that is all 0.
        if (a.words == b.words || (!before.sections.Has(section) && Empty(after.image, section))
            || (!after.sections.Has(section) && Empty(before.image, section)))
            continue;
        const QString name = catalogue.Text(SectionNameMessage(section));
        changes.push_back({section, 0, QStringLiteral("section"), QString(), a.words, b.words,
                           catalogue.Format(msg::kDiffSectionChange, {name, a.words, b.words})});
    }
    return changes;
}

std::vector<SettingsChange> DiffSettings(const SettingsImage &before, const SettingsImage &after,
                                         const MessageCatalogue &catalogue, const QLocale &locale)
{
    return DiffSettings(SettingsSide{before}, SettingsSide{after}, catalogue, locale);
}

QJsonArray SettingsChangesJson(const std::vector<SettingsChange> &changes)
{
    QJsonArray array;
    for (const SettingsChange &change : changes) {
        array.append(QJsonObject{
            {QStringLiteral("section"), SectionId(change.section)},
            {QStringLiteral("output"), change.output > 0 ? QJsonValue(change.output) : QJsonValue()},
            {QStringLiteral("field"), change.field},
            {QStringLiteral("fieldId"), change.fieldId},
            {QStringLiteral("before"), change.before},
            {QStringLiteral("after"), change.after},
            {QStringLiteral("text"), change.text},
        });
    }
    return array;
}

QStringList SettingsChangesText(const std::vector<SettingsChange> &changes)
{
    QStringList lines;
    for (const SettingsChange &change : changes)
        lines << change.text;
    return lines;
}

} // namespace rpu::ops
