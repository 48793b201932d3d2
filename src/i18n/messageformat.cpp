// Checked printf-style formatting: module texts are not trusted, so no text
// ever reaches a C formatter with arguments it does not describe.
#include "i18n/messagecatalogue.h"

#include <QLocale>
#include <cmath>

namespace rpu {

namespace {

constexpr int kMaxField = 254;

struct Placeholder {
    qsizetype start = 0;
    qsizetype end = 0; // one past the conversion letter
    QString flags;
    int width = -1;
    int precision = -1;
    QChar conversion; // original letter
    QChar kind;       // 'd', 'f', 's'; null for "%%"
};

// Parses the placeholder at text[pos] == '%'; false when it is not one the
// program uses.
bool ParsePlaceholder(const QString &text, qsizetype pos, Placeholder &out)
{
    out = Placeholder{};
    out.start = pos;
    qsizetype p = pos + 1;
    if (p < text.size() && text[p] == QLatin1Char('%')) {
        out.end = p + 1;
        return true;
    }
    while (p < text.size() && QStringLiteral("-+ #0").contains(text[p]))
        out.flags += text[p++];
    const auto number = [&](int &value) {
        const qsizetype start = p;
        while (p < text.size() && text[p].isDigit() && text[p].unicode() < 0x80)
            ++p;
        if (p == start)
            return p - start;
        value = p - start > 3 ? kMaxField + 1 : text.mid(start, p - start).toInt();
        return p - start;
    };
    number(out.width);
    if (p < text.size() && text[p] == QLatin1Char('.')) {
        ++p;
        out.precision = 0;
        number(out.precision);
    }
    if (out.width > kMaxField || out.precision > kMaxField)
        return false;
    while (p < text.size() && QStringLiteral("hlLqjzt").contains(text[p]))
        ++p;
    if (p >= text.size())
        return false;
    out.conversion = text[p];
    out.end = p + 1;
    if (QStringLiteral("diuxXoc").contains(out.conversion))
        out.kind = QLatin1Char('d');
    else if (QStringLiteral("fFeEgG").contains(out.conversion))
        out.kind = QLatin1Char('f');
    else if (out.conversion == QLatin1Char('s'))
        out.kind = QLatin1Char('s');
    else
        return false;
    return true;
}

QString Pad(const QString &body, const Placeholder &ph)
{
    if (ph.width <= body.size())
        return body;
    const QString fill(ph.width - body.size(), QLatin1Char(' '));
    return ph.flags.contains(QLatin1Char('-')) ? body + fill : fill + body;
}

QString CSpec(const Placeholder &ph, const char *length)
{
    QString text = QLatin1Char('%') + ph.flags;
    if (ph.width >= 0)
        text += QString::number(ph.width);
    if (ph.precision >= 0)
        text += QLatin1Char('.') + QString::number(ph.precision);
    return text + QLatin1String(length) + ph.conversion;
}

qint64 AsInteger(const FormatArg &arg)
{
    if (const auto *i = std::get_if<qint64>(&arg))
        return *i;
    if (const auto *d = std::get_if<double>(&arg))
        return std::isfinite(*d) ? qint64(std::llround(*d)) : 0;
    return std::get<QString>(arg).toLongLong();
}

double AsDouble(const FormatArg &arg)
{
    if (const auto *i = std::get_if<qint64>(&arg))
        return double(*i);
    if (const auto *d = std::get_if<double>(&arg))
        return *d;
    return std::get<QString>(arg).toDouble();
}

QString AsText(const FormatArg &arg)
{
    if (const auto *i = std::get_if<qint64>(&arg))
        return QString::number(*i);
    if (const auto *d = std::get_if<double>(&arg))
        return QString::number(*d);
    return std::get<QString>(arg);
}

QString Fill(const Placeholder &ph, const FormatArg &arg)
{
    if (ph.kind == QLatin1Char('d')) {
        if (ph.conversion == QLatin1Char('c'))
            return Pad(QString(QChar(char16_t(AsInteger(arg)))), ph);
        const QByteArray conversion = CSpec(ph, "ll").toLatin1();
        return QString::asprintf(conversion.constData(), static_cast<long long>(AsInteger(arg)));
    }
    if (ph.kind == QLatin1Char('f')) {
        const QByteArray conversion = CSpec(ph, "").toLatin1();
        QString text = QString::asprintf(conversion.constData(), AsDouble(arg));
        return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    }
    QString text = AsText(arg);
    if (ph.precision >= 0)
        text.truncate(ph.precision);
    return Pad(text, ph);
}

} // namespace

std::optional<QString> PlaceholderKinds(const QString &text)
{
    QString kinds;
    for (qsizetype i = text.indexOf(QLatin1Char('%')); i >= 0; ) {
        Placeholder ph;
        if (!ParsePlaceholder(text, i, ph))
            return std::nullopt;
        if (!ph.kind.isNull())
            kinds += ph.kind;
        i = text.indexOf(QLatin1Char('%'), ph.end);
    }
    return kinds;
}

bool PlaceholdersMatch(const QString &text, const QString &reference)
{
    const auto kinds = PlaceholderKinds(text);
    return kinds && kinds == PlaceholderKinds(reference);
}

QString FormatMessage(const QString &text, const std::vector<FormatArg> &args)
{
    QString out;
    size_t next = 0;
    qsizetype copied = 0;
    for (qsizetype i = text.indexOf(QLatin1Char('%')); i >= 0; ) {
        Placeholder ph;
        if (!ParsePlaceholder(text, i, ph)) {
            // Left as written: the text is shown, nothing is read for it.
            i = text.indexOf(QLatin1Char('%'), i + 1);
            continue;
        }
        out += text.mid(copied, ph.start - copied);
        if (ph.kind.isNull())
            out += QLatin1Char('%');
        else if (next < args.size())
            out += Fill(ph, args[next++]);
        else
            out += Fill(ph, ph.kind == QLatin1Char('s') ? FormatArg(QString()) : FormatArg(qint64(0)));
        copied = ph.end;
        i = text.indexOf(QLatin1Char('%'), ph.end);
    }
    return out + text.mid(copied);
}

} // namespace rpu
