#include "i18n/layoutstream.h"

#include <QtEndian>
#include <bit>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace rpu {

// ---------------------------------------------------------------- floats

QByteArray DoubleToExtended(double value)
{
    return LongDoubleToExtended(value);
}

double ExtendedToDouble(const QByteArray &tenBytes)
{
    return double(ExtendedToLongDouble(tenBytes));
}

// Written through frexpl/ldexpl so the layout does not depend on how the
// compiler stores long double; with the x87 format every value is exact.
QByteArray LongDoubleToExtended(long double value)
{
    const bool negative = std::signbit(value);
    const long double magnitude = std::fabs(value);
    quint64 mantissa = 0;
    int exponent = 0;
    if (std::isnan(value)) {
        exponent = 0x7FFF;
        mantissa = quint64(3) << 62;
    } else if (std::isinf(value)) {
        exponent = 0x7FFF;
        mantissa = quint64(1) << 63;
    } else if (magnitude != 0) {
        int e = 0;
        const long double fraction = std::frexp(magnitude, &e); // magnitude = fraction * 2^e, fraction in [0.5, 1)
        exponent = e - 1 + 16383;
        long double scaled = 0;
        if (exponent >= 1) {
            scaled = std::nearbyint(std::ldexp(fraction, 64));
        } else { // below the smallest normal: no integer bit
            scaled = std::nearbyint(std::ldexp(magnitude, 16382 + 63));
            exponent = 0;
        }
        if (scaled >= std::ldexp(1.0L, 64)) { // rounded up to the next power of two
            scaled = std::ldexp(1.0L, 63);
            ++exponent;
        }
        mantissa = quint64(scaled);
        if (exponent >= 0x7FFF) {
            exponent = 0x7FFF;
            mantissa = quint64(1) << 63;
        } else if (exponent == 0 && (mantissa >> 63)) {
            exponent = 1; // a subnormal that rounded up to the smallest normal
        }
    }
    QByteArray out(10, '\0');
    qToLittleEndian(mantissa, out.data());
    qToLittleEndian(quint16(exponent | (negative ? 0x8000 : 0)), out.data() + 8);
    return out;
}

long double ExtendedToLongDouble(const QByteArray &tenBytes)
{
    if (tenBytes.size() < 10)
        return 0;
    const auto mantissa = qFromLittleEndian<quint64>(tenBytes.constData());
    const auto signExp = qFromLittleEndian<quint16>(tenBytes.constData() + 8);
    const bool negative = signExp & 0x8000;
    const int exponent = signExp & 0x7FFF;
    long double value = 0;
    if (exponent == 0x7FFF) {
        value = (mantissa << 1) ? std::numeric_limits<long double>::quiet_NaN()
                                : std::numeric_limits<long double>::infinity();
    } else if (mantissa != 0) {
        value = std::ldexp(static_cast<long double>(mantissa), (exponent == 0 ? 1 : exponent) - 16383 - 63);
    }
    return negative ? -value : value;
}

// ---------------------------------------------------------------- reader

namespace {
[[noreturn]] void ReadError() { throw LayoutError(QStringLiteral("Stream read error")); }
} // namespace

bool LayoutReader::ReadSignature()
{
    if (data_.size() < 4 || std::memcmp(data_.constData(), kLayoutSignature, 4) != 0)
        return false;
    pos_ = 4;
    return true;
}

quint8 LayoutReader::PeekByte() const
{
    if (AtEnd())
        ReadError();
    return quint8(data_[pos_]);
}

quint8 LayoutReader::ReadByte()
{
    const quint8 b = PeekByte();
    ++pos_;
    return b;
}

QByteArray LayoutReader::ReadBytes(qint64 count)
{
    if (count < 0 || count > data_.size() - pos_)
        ReadError();
    QByteArray out = data_.mid(pos_, count);
    pos_ += count;
    return out;
}

template <typename T> T LayoutReader::ReadLittle()
{
    const QByteArray bytes = ReadBytes(sizeof(T));
    return qFromLittleEndian<T>(bytes.constData());
}

QString LayoutReader::ReadShortString()
{
    return QString::fromUtf8(ReadBytes(ReadByte()));
}

bool LayoutReader::EndOfList()
{
    if (PeekByte() != 0)
        return false;
    ++pos_;
    return true;
}

ValueTag LayoutReader::PeekTag() const
{
    const quint8 tag = PeekByte();
    if (tag > kLastValueTag)
        throw LayoutError(QStringLiteral("Unknown value type"));
    return ValueTag(tag);
}

ValueTag LayoutReader::ReadTag()
{
    const ValueTag tag = PeekTag();
    ++pos_;
    return tag;
}

void LayoutReader::ReadPrefix(int &flags, int &childPos)
{
    flags = 0;
    childPos = -1;
    if ((PeekByte() & 0xF0) != 0xF0)
        return;
    flags = ReadByte() & 0x0F;
    if (flags & kChildPos)
        childPos = int(ReadInteger());
}

EntryHeader LayoutReader::ReadEntryHeader()
{
    EntryHeader header;
    ReadPrefix(header.flags, header.childPos);
    header.className = ReadShortString();
    header.name = ReadShortString();
    return header;
}

qint64 LayoutReader::ReadInteger()
{
    const ValueTag tag = ReadTag();
    switch (tag) {
    case ValueTag::Int8:
        return ReadLittle<qint8>();
    case ValueTag::Int16:
        return ReadLittle<qint16>();
    case ValueTag::Int32:
        return ReadLittle<qint32>();
    case ValueTag::Int64:
        return ReadLittle<qint64>();
    default:
        throw LayoutError(QStringLiteral("Invalid data"));
    }
}

QVariant LayoutReader::ReadScalar(ValueTag tag)
{
    switch (tag) {
    case ValueTag::Int8:
        return qint64(ReadLittle<qint8>());
    case ValueTag::Int16:
        return qint64(ReadLittle<qint16>());
    case ValueTag::Int32:
        return qint64(ReadLittle<qint32>());
    case ValueTag::Int64:
        return ReadLittle<qint64>();
    case ValueTag::Extended:
        return ExtendedToDouble(ReadBytes(10));
    case ValueTag::Single:
        return double(std::bit_cast<float>(ReadLittle<quint32>()));
    case ValueTag::Double:
    case ValueTag::Date:
        return std::bit_cast<double>(ReadLittle<quint64>());
    case ValueTag::Currency:
        return QVariant::fromValue(CurrencyValue{ReadLittle<qint64>()});
    case ValueTag::String:
        return QString::fromLatin1(ReadBytes(ReadByte()));
    case ValueTag::Ident:
        return ReadShortString();
    case ValueTag::LString:
        return QString::fromLatin1(ReadBytes(ReadLittle<qint32>()));
    case ValueTag::Utf8String:
        return QString::fromUtf8(ReadBytes(ReadLittle<qint32>()));
    case ValueTag::WString: {
        const qint32 chars = ReadLittle<qint32>();
        if (chars < 0)
            ReadError();
        const QByteArray raw = ReadBytes(qint64(chars) * 2);
        QString text(chars, Qt::Uninitialized);
        for (qint32 i = 0; i < chars; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(raw.constData() + 2 * i));
        return text;
    }
    case ValueTag::Binary:
        return ReadBytes(ReadLittle<qint32>());
    case ValueTag::False:
        return false;
    case ValueTag::True:
        return true;
    default:
        return {};
    }
}

bool LayoutReader::NextCollectionItem(qint64 *index)
{
    if (EndOfList())
        return false;
    const qint64 read = PeekByte() != quint8(ValueTag::List) ? ReadInteger() : -1;
    if (index)
        *index = read;
    if (ReadTag() != ValueTag::List)
        throw LayoutError(QStringLiteral("Invalid data"));
    return true;
}

void LayoutReader::SkipValue()
{
    const DepthGuard guard(depth_, QStringLiteral("Invalid data"));
    const ValueTag tag = ReadTag();
    switch (tag) {
    case ValueTag::List:
        while (!EndOfList())
            SkipValue();
        break;
    case ValueTag::Set:
        while (!ReadShortString().isEmpty()) {
        }
        break;
    case ValueTag::Collection:
        while (NextCollectionItem()) {
            while (!EndOfList()) {
                ReadShortString();
                SkipValue();
            }
        }
        break;
    default:
        ReadScalar(tag);
    }
}

QString LayoutRootClass(const QByteArray &binary)
{
    try {
        LayoutReader reader(binary);
        if (!reader.ReadSignature())
            return {};
        return reader.ReadEntryHeader().className;
    } catch (const LayoutError &) {
        return {};
    }
}

// ---------------------------------------------------------------- text -> binary

namespace {

class BinaryWriter {
public:
    QByteArray out;

    void Byte(quint8 b) { out.append(char(b)); }
    void Tag(ValueTag t) { Byte(quint8(t)); }
    template <typename T> void Little(T v)
    {
        char buf[sizeof(T)];
        qToLittleEndian(v, buf);
        out.append(buf, sizeof(T));
    }
    void ShortString(const QString &s, int line)
    {
        const QByteArray utf8 = s.toUtf8();
        if (utf8.size() > 255)
            throw LayoutError(QStringLiteral("line %1: name longer than 255 bytes").arg(line));
        Byte(quint8(utf8.size()));
        out.append(utf8);
    }
    void Integer(qint64 v)
    {
        if (v >= -128 && v <= 127) {
            Tag(ValueTag::Int8);
            Little(qint8(v));
        } else if (v >= -32768 && v <= 32767) {
            Tag(ValueTag::Int16);
            Little(qint16(v));
        } else if (v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max()) {
            Tag(ValueTag::Int32);
            Little(qint32(v));
        } else {
            Tag(ValueTag::Int64);
            Little(v);
        }
    }
    // Plain ASCII keeps the 8-bit string forms; anything else goes as UTF-16.
    void Text(const QString &s)
    {
        bool ascii = true;
        for (QChar c : s)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii && s.size() <= 255) {
            Tag(ValueTag::String);
            Byte(quint8(s.size()));
            out.append(s.toLatin1());
        } else if (ascii) {
            Tag(ValueTag::LString);
            Little(qint32(s.size()));
            out.append(s.toLatin1());
        } else {
            Tag(ValueTag::WString);
            Little(qint32(s.size()));
            for (QChar c : s)
                Little(quint16(c.unicode()));
        }
    }
};

enum class Tok { End, Ident, Integer, Float, String, Symbol };

struct Token {
    Tok kind = Tok::End;
    QString text;   // identifier, string value, symbol
    qint64 integer = 0;
    QChar suffix;   // S, C or D after a float (its digits in text); null otherwise
    int line = 1;
};

class TextParser {
public:
    explicit TextParser(const QString &text, LayoutLineMap *lines = nullptr) : s_(text), lines_(lines) { Next(); }

    QByteArray Parse()
    {
        w_.out.append(kLayoutSignature, 4);
        Object();
        if (tok_.kind != Tok::End)
            Fail(QStringLiteral("text after the last \"end\""));
        return w_.out;
    }

    // A text that is one string literal and nothing else.
    bool LoneString(QString &out) const
    {
        if (tok_.kind != Tok::String)
            return false;
        out = tok_.text;
        TextParser rest = *this;
        rest.Next();
        return rest.tok_.kind == Tok::End;
    }

private:
    [[noreturn]] void Fail(const QString &what) const
    {
        throw LayoutError(QStringLiteral("line %1: %2").arg(tok_.line).arg(what));
    }
    bool IsSymbol(char c) const { return tok_.kind == Tok::Symbol && tok_.text == QLatin1Char(c); }
    bool IsWord(const char *w) const
    {
        return tok_.kind == Tok::Ident && tok_.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    void Expect(char c)
    {
        if (!IsSymbol(c))
            Fail(QStringLiteral("\"%1\" expected").arg(QLatin1Char(c)));
        Next();
    }
    QString ExpectIdent(const char *what)
    {
        if (tok_.kind != Tok::Ident)
            Fail(QStringLiteral("%1 expected").arg(QLatin1String(what)));
        QString name = tok_.text;
        Next();
        return name;
    }
    qint64 BracketedInteger()
    {
        Expect('[');
        if (tok_.kind != Tok::Integer)
            Fail(QStringLiteral("whole number expected"));
        const qint64 v = tok_.integer;
        Next();
        Expect(']');
        return v;
    }

    void Object()
    {
        const DepthGuard guard(depth_, QStringLiteral("line %1: nested too deeply").arg(tok_.line));
        int flags = 0;
        if (IsWord("inherited"))
            flags = kInherited;
        else if (IsWord("inline"))
            flags = kInline;
        else if (!IsWord("object"))
            Fail(QStringLiteral("\"object\" expected"));
        const int line = tok_.line;
        Next();
        QString name;
        QString className;
        if (IsSymbol(':')) {
            Next();
            className = ExpectIdent("class name");
        } else {
            className = ExpectIdent("name or class name");
            if (IsSymbol(':')) {
                Next();
                name = className;
                className = ExpectIdent("class name");
            }
        }
        qint64 childPos = -1;
        if (IsSymbol('[')) {
            childPos = BracketedInteger();
            flags |= kChildPos;
        }
        if (flags != 0)
            w_.Byte(quint8(0xF0 | flags));
        if (flags & kChildPos)
            w_.Integer(childPos);
        w_.ShortString(className, line);
        w_.ShortString(name, line);

        while (!IsWord("object") && !IsWord("inherited") && !IsWord("inline") && !IsWord("end")) {
            const int propLine = tok_.line;
            const QString path = ExpectIdent("property name or \"end\"");
            Expect('=');
            MarkLine(propLine);
            w_.ShortString(path, propLine);
            Value();
        }
        w_.Byte(0);
        while (!IsWord("end"))
            Object();
        Next();
        w_.Byte(0);
    }

    void Value()
    {
        const DepthGuard guard(depth_, QStringLiteral("line %1: nested too deeply").arg(tok_.line));
        switch (tok_.kind) {
        case Tok::Integer:
            w_.Integer(tok_.integer);
            Next();
            return;
        case Tok::Float:
            FloatValue();
            Next();
            return;
        case Tok::String:
            w_.Text(tok_.text);
            Next();
            return;
        case Tok::Ident:
            if (IsWord("end"))
                Fail(QStringLiteral("value expected"));
            IdentValue();
            Next();
            return;
        case Tok::Symbol:
            break;
        case Tok::End:
            Fail(QStringLiteral("value expected"));
        }
        if (IsSymbol('(')) {
            Next();
            w_.Tag(ValueTag::List);
            while (!IsSymbol(')'))
                Value();
            Next();
            w_.Byte(0);
        } else if (IsSymbol('[')) {
            Next();
            w_.Tag(ValueTag::Set);
            while (!IsSymbol(']')) {
                w_.ShortString(ExpectIdent("set element"), tok_.line);
                if (IsSymbol(','))
                    Next();
                else if (!IsSymbol(']'))
                    Fail(QStringLiteral("\",\" or \"]\" expected"));
            }
            Next();
            w_.Byte(0);
        } else if (IsSymbol('<')) {
            Next();
            w_.Tag(ValueTag::Collection);
            while (!IsSymbol('>')) {
                if (!IsWord("item"))
                    Fail(QStringLiteral("\"item\" expected"));
                Next();
                if (IsSymbol('['))
                    w_.Integer(BracketedInteger());
                w_.Tag(ValueTag::List);
                while (!IsWord("end")) {
                    const int propLine = tok_.line;
                    MarkLine(propLine);
                    w_.ShortString(ExpectIdent("property name or \"end\""), propLine);
                    Expect('=');
                    Value();
                }
                Next();
                w_.Byte(0);
            }
            Next();
            w_.Byte(0);
        } else if (IsSymbol('{')) {
            w_.Tag(ValueTag::Binary);
            const QByteArray bytes = HexBlock();
            w_.Little(qint32(bytes.size()));
            w_.out.append(bytes);
            Next();
        } else {
            Fail(QStringLiteral("value expected"));
        }
    }

    void FloatValue()
    {
        const QByteArray digits = tok_.text.toLatin1();
        switch (tok_.suffix.toUpper().unicode()) {
        case 'S': {
            const float v = ParseFloat<float>(digits, "a single float");
            w_.Tag(ValueTag::Single);
            w_.Little(std::bit_cast<quint32>(v));
            break;
        }
        case 'C': {
            // Kept as value x 10000 in 64 bits.
            const long double scaled = std::round(ParseFloat<long double>(digits, "a currency value") * 10000.0L);
            if (!(scaled >= -std::ldexp(1.0L, 63) && scaled < std::ldexp(1.0L, 63)))
                FailRange(digits, "a currency value");
            w_.Tag(ValueTag::Currency);
            w_.Little(qint64(scaled));
            break;
        }
        case 'D':
            w_.Tag(ValueTag::Date);
            w_.Little(std::bit_cast<quint64>(ParseFloat<double>(digits, "a date")));
            break;
        default:
            w_.Tag(ValueTag::Extended);
            w_.out.append(LongDoubleToExtended(ParseFloat<long double>(digits, "an extended float")));
        }
    }

    [[noreturn]] void FailRange(const QByteArray &digits, const char *kind) const
    {
        Fail(QStringLiteral("%1 is beyond the range of %2").arg(QString::fromLatin1(digits), QLatin1String(kind)));
    }

    // The digits (already checked to be a decimal number) in the type itself,
    // not through a narrower one, and whatever the program's C locale says
    // about the decimal point. Values too small for the type become zero or
    // subnormal as usual; values too large are refused.
    template <typename F> F ParseFloat(const QByteArray &digits, const char *kind) const
    {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        F value = 0;
        if constexpr (std::is_same_v<F, float>)
            value = strtof_l(digits.constData(), nullptr, cLocale);
        else if constexpr (std::is_same_v<F, double>)
            value = strtod_l(digits.constData(), nullptr, cLocale);
        else
            value = strtold_l(digits.constData(), nullptr, cLocale);
        if (!std::isfinite(value))
            FailRange(digits, kind);
        return value;
    }

    void IdentValue()
    {
        if (IsWord("true"))
            w_.Tag(ValueTag::True);
        else if (IsWord("false"))
            w_.Tag(ValueTag::False);
        else if (IsWord("nil"))
            w_.Tag(ValueTag::Nil);
        else if (IsWord("null"))
            w_.Tag(ValueTag::Null);
        else {
            w_.Tag(ValueTag::Ident);
            w_.ShortString(tok_.text, tok_.line);
        }
    }

    // The raw hex digits after "{" up to "}"; the tokenizer resumes after it.
    QByteArray HexBlock()
    {
        QByteArray hex;
        while (p_ < s_.size() && s_[p_] != QLatin1Char('}')) {
            const QChar c = s_[p_++];
            if (c == QLatin1Char('\n'))
                ++line_;
            else if (c.unicode() < 0x80 && isxdigit(c.unicode()))
                hex.append(char(c.unicode()));
            else if (!c.isSpace())
                Fail(QStringLiteral("hex digit expected in binary data"));
        }
        if (p_ >= s_.size())
            Fail(QStringLiteral("\"}\" expected"));
        ++p_;
        if (hex.size() % 2)
            Fail(QStringLiteral("odd number of hex digits"));
        return QByteArray::fromHex(hex);
    }

    void SkipSpace()
    {
        while (p_ < s_.size()) {
            const QChar c = s_[p_];
            if (c == QLatin1Char('\n')) {
                ++line_;
                ++p_;
            } else if (c.isSpace()) {
                ++p_;
            } else if (c == QLatin1Char('/') && p_ + 1 < s_.size() && s_[p_ + 1] == QLatin1Char('/')) {
                while (p_ < s_.size() && s_[p_] != QLatin1Char('\n'))
                    ++p_;
            } else {
                break;
            }
        }
    }

    static bool IdentChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.'); }

    void Next()
    {
        SkipSpace();
        tok_ = Token{};
        tok_.line = line_;
        if (p_ >= s_.size())
            return;
        const QChar c = s_[p_];
        if (c == QLatin1Char('\'') || c == QLatin1Char('#')) {
            tok_.kind = Tok::String;
            tok_.text = StringLiteral();
            return;
        }
        if (c.isDigit() || (c == QLatin1Char('-') && p_ + 1 < s_.size() && s_[p_ + 1].isDigit())) {
            Number();
            return;
        }
        if (c == QLatin1Char('$')) {
            HexNumber();
            return;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype start = p_;
            while (p_ < s_.size() && IdentChar(s_[p_]))
                ++p_;
            tok_.kind = Tok::Ident;
            tok_.text = s_.mid(start, p_ - start);
            return;
        }
        tok_.kind = Tok::Symbol;
        tok_.text = QString(c);
        ++p_;
    }

    // Quoted parts and #nnn codes, joined directly or across lines by "+".
    QString StringLiteral()
    {
        QString out;
        for (;;) {
            if (p_ < s_.size() && s_[p_] == QLatin1Char('\'')) {
                ++p_;
                for (;;) {
                    if (p_ >= s_.size() || s_[p_] == QLatin1Char('\n'))
                        Fail(QStringLiteral("unterminated string"));
                    if (s_[p_] == QLatin1Char('\'')) {
                        if (p_ + 1 < s_.size() && s_[p_ + 1] == QLatin1Char('\'')) {
                            out += QLatin1Char('\'');
                            p_ += 2;
                            continue;
                        }
                        ++p_;
                        break;
                    }
                    out += s_[p_++];
                }
            } else if (p_ < s_.size() && s_[p_] == QLatin1Char('#')) {
                ++p_;
                const bool hex = p_ < s_.size() && s_[p_] == QLatin1Char('$');
                if (hex)
                    ++p_;
                const qsizetype start = p_;
                while (p_ < s_.size() && (hex ? s_[p_].unicode() < 0x80 && isxdigit(s_[p_].unicode())
                                               : s_[p_].isDigit()))
                    ++p_;
                bool ok = false;
                const uint code = s_.mid(start, p_ - start).toUInt(&ok, hex ? 16 : 10);
                if (!ok || code > 0xFFFF)
                    Fail(QStringLiteral("bad character code"));
                out += QChar(char16_t(code));
            } else {
                // "+" joins the next literal, possibly on a later line.
                const qsizetype save = p_;
                const int saveLine = line_;
                SkipSpace();
                if (p_ < s_.size() && s_[p_] == QLatin1Char('+')) {
                    ++p_;
                    SkipSpace();
                    if (p_ < s_.size() && (s_[p_] == QLatin1Char('\'') || s_[p_] == QLatin1Char('#')))
                        continue;
                    Fail(QStringLiteral("string expected after \"+\""));
                }
                p_ = save;
                line_ = saveLine;
                return out;
            }
        }
    }

    void Number()
    {
        const qsizetype start = p_;
        if (s_[p_] == QLatin1Char('-'))
            ++p_;
        bool isFloat = false;
        while (p_ < s_.size() && s_[p_].isDigit())
            ++p_;
        if (p_ + 1 < s_.size() && s_[p_] == QLatin1Char('.') && s_[p_ + 1].isDigit()) {
            isFloat = true;
            ++p_;
            while (p_ < s_.size() && s_[p_].isDigit())
                ++p_;
        }
        if (p_ < s_.size() && (s_[p_] == QLatin1Char('e') || s_[p_] == QLatin1Char('E'))) {
            qsizetype q = p_ + 1;
            if (q < s_.size() && (s_[q] == QLatin1Char('+') || s_[q] == QLatin1Char('-')))
                ++q;
            if (q < s_.size() && s_[q].isDigit()) {
                isFloat = true;
                p_ = q;
                while (p_ < s_.size() && s_[p_].isDigit())
                    ++p_;
            }
        }
        const QString digits = s_.mid(start, p_ - start);
        if (p_ < s_.size() && QStringLiteral("SCDscd").contains(s_[p_])
            && (p_ + 1 >= s_.size() || !IdentChar(s_[p_ + 1]))) {
            tok_.suffix = s_[p_++];
            isFloat = true;
        }
        bool ok = false;
        if (isFloat) {
            tok_.kind = Tok::Float;
            tok_.text = digits;
            ok = true; // range checked against the float's own type
        } else {
            tok_.kind = Tok::Integer;
            tok_.integer = digits.toLongLong(&ok);
        }
        if (!ok)
            Fail(QStringLiteral("bad number \"%1\"").arg(digits));
    }

    void MarkLine(int line)
    {
        if (lines_)
            lines_->append({w_.out.size(), line});
    }

    // "$" and up to 16 hex digits: a 64-bit pattern, so $FFFFFFFFFFFFFFFF is -1.
    void HexNumber()
    {
        const qsizetype start = ++p_;
        while (p_ < s_.size() && s_[p_].unicode() < 0x80 && isxdigit(s_[p_].unicode()))
            ++p_;
        const QString digits = s_.mid(start, p_ - start);
        bool ok = false;
        const quint64 value = digits.toULongLong(&ok, 16);
        const bool glued = p_ < s_.size() && IdentChar(s_[p_]);
        if (!ok || glued)
            Fail(QStringLiteral("bad number \"$%1\"").arg(s_.mid(start, p_ - start + (glued ? 1 : 0))));
        tok_.kind = Tok::Integer;
        tok_.integer = qint64(value);
    }

    QString s_;
    LayoutLineMap *lines_ = nullptr;
    qsizetype p_ = 0;
    int line_ = 1;
    Token tok_;
    BinaryWriter w_;
    int depth_ = 0;
};

// ---------------------------------------------------------------- binary -> text

QString Quoted(const QString &s)
{
    if (s.isEmpty())
        return QStringLiteral("''");
    QString out;
    bool open = false;
    for (QChar c : s) {
        // Only printable ASCII inside quotes: any reader takes the codes alike.
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F) {
            if (open)
                out += QLatin1Char('\'');
            open = false;
            out += QLatin1Char('#') + QString::number(c.unicode());
        } else {
            if (!open)
                out += QLatin1Char('\'');
            open = true;
            out += c == QLatin1Char('\'') ? QStringLiteral("''") : QString(c);
        }
    }
    if (open)
        out += QLatin1Char('\'');
    return out;
}

template <typename F> QString ShortestFloat(F v)
{
    if (!std::isfinite(v))
        throw LayoutError(QStringLiteral("a floating number that is not finite has no text form"));
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    QString text = QString::fromLatin1(buf, res.ptr - buf);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

QString CurrencyText(qint64 scaled)
{
    const bool negative = scaled < 0;
    const quint64 mag = negative ? quint64(0) - quint64(scaled) : quint64(scaled);
    QString frac = QStringLiteral("%1").arg(mag % 10000, 4, 10, QLatin1Char('0'));
    while (frac.size() > 1 && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    return (negative ? QStringLiteral("-") : QString()) + QString::number(mag / 10000) + QLatin1Char('.') + frac
           + QLatin1Char('C');
}

class TextWriter {
public:
    explicit TextWriter(const QByteArray &binary) : r_(binary) {}

    QString Write()
    {
        if (!r_.ReadSignature())
            throw LayoutError(QStringLiteral("Invalid stream format"));
        Object(0);
        return out_;
    }

private:
    static QString Pad(int indent) { return QString(indent * 2, QLatin1Char(' ')); }

    void Object(int indent)
    {
        const DepthGuard guard(r_.Depth(), QStringLiteral("Invalid data"));
        const EntryHeader h = r_.ReadEntryHeader();
        out_ += Pad(indent)
                + (h.flags & kInherited ? QStringLiteral("inherited ")
                                        : h.flags & kInline ? QStringLiteral("inline ") : QStringLiteral("object "));
        out_ += h.name.isEmpty() ? h.className : h.name + QStringLiteral(": ") + h.className;
        if (h.flags & kChildPos)
            out_ += QStringLiteral(" [%1]").arg(h.childPos);
        out_ += QLatin1Char('\n');
        while (!r_.EndOfList()) {
            out_ += Pad(indent + 1) + r_.ReadShortString() + QStringLiteral(" = ");
            Value(indent + 1);
            out_ += QLatin1Char('\n');
        }
        while (!r_.EndOfList())
            Object(indent + 1);
        out_ += Pad(indent) + QStringLiteral("end\n");
    }

    void Value(int indent)
    {
        const DepthGuard guard(r_.Depth(), QStringLiteral("Invalid data"));
        const ValueTag tag = r_.ReadTag();
        switch (tag) {
        case ValueTag::Null:
            out_ += QStringLiteral("Null");
            return;
        case ValueTag::Nil:
            out_ += QStringLiteral("nil");
            return;
        case ValueTag::True:
            out_ += QStringLiteral("True");
            return;
        case ValueTag::False:
            out_ += QStringLiteral("False");
            return;
        case ValueTag::Int8:
        case ValueTag::Int16:
        case ValueTag::Int32:
        case ValueTag::Int64:
            out_ += QString::number(r_.ReadScalar(tag).toLongLong());
            return;
        case ValueTag::Extended:
            out_ += ShortestFloat(ExtendedToLongDouble(r_.ReadBytes(10)));
            return;
        case ValueTag::Double:
            out_ += ShortestFloat(r_.ReadScalar(tag).toDouble());
            return;
        case ValueTag::Single:
            out_ += ShortestFloat(float(r_.ReadScalar(tag).toDouble())) + QLatin1Char('S');
            return;
        case ValueTag::Date:
            out_ += ShortestFloat(r_.ReadScalar(tag).toDouble()) + QLatin1Char('D');
            return;
        case ValueTag::Currency:
            out_ += CurrencyText(r_.ReadScalar(tag).value<CurrencyValue>().scaled);
            return;
        case ValueTag::Ident:
            out_ += r_.ReadShortString();
            return;
        case ValueTag::String:
        case ValueTag::LString:
        case ValueTag::WString:
        case ValueTag::Utf8String:
            String(r_.ReadScalar(tag).toString(), indent);
            return;
        case ValueTag::Binary:
            Binary(r_.ReadScalar(tag).toByteArray(), indent);
            return;
        case ValueTag::Set: {
            QStringList names;
            for (QString n = r_.ReadShortString(); !n.isEmpty(); n = r_.ReadShortString())
                names << n;
            out_ += QLatin1Char('[') + names.join(QStringLiteral(", ")) + QLatin1Char(']');
            return;
        }
        case ValueTag::List:
            out_ += QLatin1Char('(');
            while (!r_.EndOfList()) {
                out_ += QLatin1Char('\n') + Pad(indent + 1);
                Value(indent + 1);
            }
            out_ += QLatin1Char(')');
            return;
        case ValueTag::Collection:
            Collection(indent);
            return;
        }
    }

    // Long texts go out in pieces joined by "+", one piece a line.
    void String(const QString &s, int indent)
    {
        constexpr int kPiece = 64;
        for (qsizetype i = 0; i < s.size() || i == 0; i += kPiece) {
            if (i > 0)
                out_ += QStringLiteral(" +\n") + Pad(indent + 1);
            out_ += Quoted(s.mid(i, kPiece));
            if (s.isEmpty())
                break;
        }
    }

    void Binary(const QByteArray &bytes, int indent)
    {
        constexpr int kRow = 32;
        out_ += QLatin1Char('{');
        const QString hex = QString::fromLatin1(bytes.toHex().toUpper());
        if (bytes.size() <= kRow) {
            out_ += hex;
        } else {
            for (qsizetype i = 0; i < hex.size(); i += 2 * kRow)
                out_ += QLatin1Char('\n') + Pad(indent + 1) + hex.mid(i, 2 * kRow);
        }
        out_ += QLatin1Char('}');
    }

    void Collection(int indent)
    {
        out_ += QLatin1Char('<');
        qint64 index = -1;
        while (r_.NextCollectionItem(&index)) {
            out_ += QLatin1Char('\n') + Pad(indent + 1) + QStringLiteral("item");
            if (index >= 0)
                out_ += QStringLiteral(" [%1]").arg(index);
            out_ += QLatin1Char('\n');
            while (!r_.EndOfList()) {
                out_ += Pad(indent + 2) + r_.ReadShortString() + QStringLiteral(" = ");
                Value(indent + 2);
                out_ += QLatin1Char('\n');
            }
            out_ += Pad(indent + 1) + QStringLiteral("end");
        }
        out_ += QLatin1Char('>');
    }

    LayoutReader r_;
    QString out_;
};

class Flattener {
public:
    explicit Flattener(const QByteArray &binary) : r_(binary) {}

    QList<LayoutValue> Run()
    {
        if (!r_.ReadSignature())
            throw LayoutError(QStringLiteral("Invalid stream format"));
        Object(QString());
        return out_;
    }

private:
    void Object(const QString &parentPath)
    {
        const DepthGuard guard(r_.Depth(), QStringLiteral("Invalid data"));
        const EntryHeader h = r_.ReadEntryHeader();
        const QString &className = h.className;
        const QString own = h.name.isEmpty() ? QLatin1Char('<') + className + QLatin1Char('>') : h.name;
        const QString path = parentPath.isEmpty() ? own : parentPath + QLatin1Char('.') + own;
        const qsizetype before = out_.size();
        while (!r_.EndOfList()) {
            const QString property = r_.ReadShortString();
            Value(path, className, property);
        }
        if (out_.size() == before)
            out_.append({path, className, QString(), ValueTag::Null, {}});
        while (!r_.EndOfList())
            Object(path);
    }

    void Value(const QString &path, const QString &className, const QString &property)
    {
        const DepthGuard guard(r_.Depth(), QStringLiteral("Invalid data"));
        const ValueTag tag = r_.ReadTag();
        switch (tag) {
        case ValueTag::List:
            for (int i = 0; !r_.EndOfList(); ++i)
                Value(path, className, property + QStringLiteral("[%1]").arg(i));
            return;
        case ValueTag::Set:
            for (QString n = r_.ReadShortString(); !n.isEmpty(); n = r_.ReadShortString())
                out_.append({path, className, property, ValueTag::Ident, n});
            return;
        case ValueTag::Collection:
            for (int i = 0; r_.NextCollectionItem(); ++i) {
                while (!r_.EndOfList()) {
                    const QString itemProperty = r_.ReadShortString();
                    Value(path, className, property + QStringLiteral("[%1].").arg(i) + itemProperty);
                }
            }
            return;
        default:
            out_.append({path, className, property, tag, r_.ReadScalar(tag)});
        }
    }

    LayoutReader r_;
    QList<LayoutValue> out_;
};

} // namespace

GeometryKind GeometryKindOf(const QString &name)
{
    if (name.isEmpty())
        return GeometryKind::None;
    QString upper = name;
    upper[0] = upper[0].toUpper();
    static const QStringList kPositions = {QStringLiteral("Left"), QStringLiteral("Top")};
    // A minimum size grows the control (and the window) as a size does.
    static const QStringList kSizes = {QStringLiteral("Width"), QStringLiteral("Height"), QStringLiteral("MinimumWidth"),
                                       QStringLiteral("MinimumHeight")};
    if (kPositions.contains(upper))
        return GeometryKind::Position;
    return kSizes.contains(upper) ? GeometryKind::Size : GeometryKind::None;
}

namespace {

// Walks a stream as a translation would read it, checking geometry.
class Checker {
public:
    explicit Checker(const QByteArray &binary) : r_(binary) {}

    // A value out of range ends the walk at once: the stream after it is
    // not read in step any more.
    struct RangeFault {
        LayoutFault fault;
    };

    // Throws LayoutError or RangeFault.
    void Run()
    {
        if (!r_.ReadSignature())
            throw LayoutError(QStringLiteral("Invalid stream format"));
        Object();
    }
    qint64 Pos() const { return r_.Pos(); }

private:
    void Object()
    {
        const DepthGuard guard(r_.Depth(), QStringLiteral("Invalid data"));
        r_.ReadEntryHeader();
        Properties();
        while (!r_.EndOfList())
            Object();
    }

    void Properties()
    {
        while (!r_.EndOfList()) {
            const QString path = r_.ReadShortString();
            Value(path.section(QLatin1Char('.'), -1));
        }
    }

    void Value(const QString &name)
    {
        const DepthGuard guard(r_.Depth(), QStringLiteral("Invalid data"));
        const qint64 at = r_.Pos();
        const ValueTag tag = r_.ReadTag();
        switch (tag) {
        case ValueTag::List:
            while (!r_.EndOfList())
                Value(name);
            return;
        case ValueTag::Set:
            while (!r_.ReadShortString().isEmpty()) {
            }
            return;
        case ValueTag::Collection:
            while (r_.NextCollectionItem())
                Properties();
            return;
        case ValueTag::Int8:
        case ValueTag::Int16:
        case ValueTag::Int32:
        case ValueTag::Int64:
            CheckGeometry(name, r_.ReadScalar(tag).toLongLong(), at);
            return;
        default:
            r_.ReadScalar(tag);
        }
    }

    void CheckGeometry(const QString &name, qint64 value, qint64 at)
    {
        const GeometryKind kind = GeometryKindOf(name);
        const bool position = kind == GeometryKind::Position;
        const bool size = kind == GeometryKind::Size;
        if (!position && !size)
            return;
        const qint64 low = position ? kMinLayoutPosition : 0;
        const qint64 high = position ? kMaxLayoutPosition : kMaxLayoutSize;
        if (value < low || value > high)
            throw RangeFault{LayoutFault{
                at, QStringLiteral("%1 = %2 is out of range (%3..%4)").arg(name).arg(value).arg(low).arg(high), true}};
    }

    LayoutReader r_;
};

} // namespace

QList<LayoutValue> FlattenLayout(const QByteArray &binary)
{
    return Flattener(binary).Run();
}

std::optional<LayoutFault> CheckLayout(const QByteArray &binary)
{
    Checker checker(binary);
    try {
        checker.Run();
    } catch (const LayoutError &e) {
        return LayoutFault{checker.Pos(), e.message(), false};
    } catch (const Checker::RangeFault &e) {
        return e.fault;
    }
    return std::nullopt;
}

QByteArray LayoutTextToBinary(const QString &text, LayoutLineMap *lines)
{
    if (lines)
        lines->clear();
    return TextParser(text, lines).Parse();
}

int LineOfOffset(const LayoutLineMap &lines, qint64 offset)
{
    int line = 0;
    for (const auto &[start, atLine] : lines) {
        if (start > offset)
            break;
        line = atLine;
    }
    return line;
}

bool ParseStringLiteral(const QString &text, QString &out)
{
    try {
        return TextParser(text).LoneString(out);
    } catch (const LayoutError &) {
        return false;
    }
}

QString LayoutBinaryToText(const QByteArray &binary)
{
    return TextWriter(binary).Write();
}

} // namespace rpu
