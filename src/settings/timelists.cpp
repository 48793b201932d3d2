#include "settings/timelists.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"

namespace rpu {

namespace {

constexpr int kMinutesText = msg::kMinutes;
constexpr int kConstantText = msg::kConstant;
constexpr int kSecondsText = msg::kSeconds;
constexpr int kMinutesSecondsText = msg::kMinutesSeconds;
constexpr int kHalfSecondsText = msg::kTenthSeconds;
constexpr int kOutputConstantText = msg::kConstantOneSecond;
constexpr int kOutputOffText = msg::kOffOneSecond;
constexpr int kOffText = msg::kOff;

constexpr int kOpenCollectorOutput = 3;
constexpr int kLastStep = 254;

} // namespace

TimeEncoding DurationEncoding(SettingsSection section, OutputMode mode)
{
    if (section == SettingsSection::Relay && mode == OutputMode::Sounder)
        return TimeEncoding::Minutes;
    return TimeEncoding::FiveSecond;
}

quint32 TimeCellFromItem(int item, TimeEncoding encoding)
{
    const quint32 index = item < 0 ? 0u : static_cast<quint32>(item);
    return encoding == TimeEncoding::Minutes ? index + kSounderFirstMinutes : index;
}

int TimeItemFromCell(quint32 cell, TimeEncoding encoding)
{
    if (encoding != TimeEncoding::Minutes)
        return static_cast<int>(cell);
    return cell < kSounderFirstMinutes ? 0 : static_cast<int>(cell - kSounderFirstMinutes);
}

QString FillPlaceholders(const QString &pattern, const QStringList &values)
{
    QString result;
    result.reserve(pattern.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != QLatin1Char('%') || i + 1 >= pattern.size()) {
            result += c;
            continue;
        }
        if (pattern.at(i + 1) == QLatin1Char('%')) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        // Skip flags, width and precision up to the conversion letter.
        qsizetype end = i + 1;
        while (end < pattern.size() && !pattern.at(end).isLetter())
            ++end;
        if (end >= pattern.size()) {
            result += pattern.mid(i);
            break;
        }
        if (next < values.size())
            result += values.at(next);
        ++next;
        i = end;
    }
    return result;
}

void AppendHalfSecondSteps(QStringList &list, const MessageCatalogue &catalogue, const QLocale &locale)
{
    const QString pattern = catalogue.Text(kHalfSecondsText);
    const QString point = locale.decimalPoint();
    for (int step = 1; step <= kLastStep; ++step) {
        QString value = QString::number(step * 0.5, 'f', 1);
        value.replace(QLatin1Char('.'), point);
        list.append(FillPlaceholders(pattern, {value}));
    }
}

void FillOpenTimeList(int n, QStringList &list, const MessageCatalogue &catalogue, const QLocale &locale)
{
    list.clear();
    list.append(catalogue.Text(kOffText));
    AppendHalfSecondSteps(list, catalogue, locale);
    list.append(catalogue.Text(n == kOpenCollectorOutput ? kOutputConstantText : kConstantText));
}

void FillCloseTimeList(int n, QStringList &list, const MessageCatalogue &catalogue, const QLocale &locale)
{
    list.clear();
    list.append(catalogue.Text(n == kOpenCollectorOutput ? kOutputOffText : kOffText));
    AppendHalfSecondSteps(list, catalogue, locale);
    list.append(catalogue.Text(kConstantText));
}

void FillDurationList(QStringList &list, const MessageCatalogue &catalogue)
{
    list.clear();
    list.append(catalogue.Text(kOffText));
    for (int step = 1; step <= kLastStep; ++step) {
        const int seconds = step * 5;
        const int minutes = seconds / 60;
        const int rest = seconds % 60;
        if (minutes == 0)
            list.append(FillPlaceholders(catalogue.Text(kSecondsText), {QString::number(seconds)}));
        else if (rest == 0)
            list.append(FillPlaceholders(catalogue.Text(kMinutesText), {QString::number(minutes)}));
        else
            list.append(FillPlaceholders(catalogue.Text(kMinutesSecondsText),
                                         {QString::number(minutes), QString::number(rest)}));
    }
    list.append(catalogue.Text(kConstantText));
}

void FillSounderDurationList(QStringList &list, const MessageCatalogue &catalogue)
{
    list.clear();
    const QString pattern = catalogue.Text(kMinutesText);
    for (int minutes = kSounderFirstMinutes; minutes <= kLastStep; ++minutes)
        list.append(FillPlaceholders(pattern, {QString::number(minutes)}));
    list.append(catalogue.Text(kConstantText));
}

} // namespace rpu
