#include "files/textlines.h"

#include "i18n/messageids.h"

#include "i18n/messagecatalogue.h"


#include <algorithm>
#include <cstring>
#include <limits>

namespace rpu {

namespace {

constexpr qsizetype kShownTextLength = 40;

// A bad line is shown in a message box: keep it short and printable.
QString ShownText(const QString &text)
{
    QString shown = text.left(kShownTextLength);
    for (QChar &c : shown) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    if (text.size() > kShownTextLength)
        shown += QChar(0x2026);
    return shown;
}

FileError LineError(FileErrorKind kind, int line, const QString &text)
{
    FileError e;
    e.kind = kind;
    e.line = line;
    e.text = ShownText(text);
    return e;
}

FileError SystemError(FileErrorKind kind, const QString &message)
{
    FileError e;
    e.kind = kind;
    e.systemMessage = message;
    return e;
}

} // namespace

// The catalogue formats each argument once: a "%s" in a file name stays as it is.
QString DescribeFileError(const FileError &error, const QString &fileName, const MessageCatalogue &catalogue)
{
    const auto line = FormatArg(qint64(error.line));
    switch (error.kind) {
    case FileErrorKind::None:
        return {};
    case FileErrorKind::CannotOpen:
        return catalogue.Format(msg::kFileCannotOpen, {fileName, error.systemMessage});
    case FileErrorKind::IsFolder:
        return catalogue.Format(msg::kFileIsFolder, fileName);
    case FileErrorKind::NotRegular:
        return catalogue.Format(error.writing ? msg::kFileNotRegularWrite : msg::kFileNotRegularRead, fileName);
    case FileErrorKind::CannotRead:
        return catalogue.Format(msg::kFileCannotRead, {fileName, error.systemMessage});
    case FileErrorKind::TooLarge:
        return catalogue.Format(msg::kFileTooLarge, fileName);
    case FileErrorKind::TooShort:
        if (error.line == 1)
            return catalogue.Format(msg::kFileEmpty, fileName);
        return catalogue.Format(msg::kFileTooShort, {fileName, line, FormatArg(qint64(error.expectedLines))});
    case FileErrorKind::NotANumber:
        return catalogue.Format(msg::kFileNotANumber, {fileName, line, error.text});
    case FileErrorKind::OutOfRange:
        return catalogue.Format(msg::kFileValueNotAllowed, {fileName, line, error.text});
    case FileErrorKind::CannotWrite:
        return catalogue.Format(msg::kFileCannotWrite, {fileName, error.systemMessage});
    }
    return {};
}

QString DescribeIniProblem(const IniRead &read, const QString &path, const MessageCatalogue &catalogue)
{
    const QString shown = DisplayPath(path);
    if (read.text == IniTextFault::NotText)
        return catalogue.Format(msg::kIniNotText, shown);
    if (!read.HasProblem())
        return {};
    return catalogue.Format(msg::kIniNotRead, DescribeFileError(FileErrorFrom(read.file, false), shown, catalogue));
}

QString DescribeRemoveError(const QString &fileName, const QString &systemMessage,
                            const MessageCatalogue &catalogue)
{
    return catalogue.Format(msg::kFileCannotDelete, {fileName, systemMessage});
}

FileError FileErrorFrom(const FileOutcome &outcome, bool writing)
{
    FileErrorKind kind = FileErrorKind::None;
    switch (outcome.fault) {
    case FileFault::None: return {};
    case FileFault::Missing:
    case FileFault::CannotOpen: kind = FileErrorKind::CannotOpen; break;
    case FileFault::IsFolder: kind = FileErrorKind::IsFolder; break;
    case FileFault::NotRegular: kind = FileErrorKind::NotRegular; break;
    case FileFault::CannotRead: kind = FileErrorKind::CannotRead; break;
    case FileFault::TooLarge: kind = FileErrorKind::TooLarge; break;
    case FileFault::CannotWrite: kind = FileErrorKind::CannotWrite; break;
    }
    FileError e = SystemError(kind, outcome.systemMessage);
    e.writing = writing;
    return e;
}

FileError TooShortError(qsizetype found, int expected)
{
    FileError e;
    e.kind = FileErrorKind::TooShort;
    e.line = int(found) + 1;
    e.expectedLines = expected;
    return e;
}

namespace {

// The next '\r' or '\n' from p on, or end. Most lines are a few bytes: a
// short look by hand first, then memchr for a long line.
const char *NextLineEnd(const char *p, const char *end)
{
    constexpr qsizetype kByHand = 24;
    for (const char *stop = end - p > kByHand ? p + kByHand : end; p < stop; ++p) {
        if (*p == '\n' || *p == '\r')
            return p;
    }
    if (p == end)
        return end;
    const char *lf = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
    const char *limit = lf ? lf : end;
    const char *cr = static_cast<const char *>(std::memchr(p, '\r', std::size_t(limit - p)));
    return cr ? cr : limit;
}

} // namespace

bool TextLineCursor::Next(QByteArrayView &line)
{
    const qsizetype n = text_.size();
    if (pos_ >= n)
        return false;
    const char *begin = text_.data();
    const char *end = NextLineEnd(begin + pos_, begin + n);
    line = text_.sliced(pos_, end - (begin + pos_));
    qsizetype next = end - begin + 1;
    if (end < begin + n && *end == '\r' && next < n && begin[next] == '\n')
        ++next;
    pos_ = next;
    ++read_;
    return true;
}

int CountTextLines(QByteArrayView text)
{
    // A line ends at each LF and at each CR not followed by LF; a last line
    // without an end counts too. Branch-free, so the compiler can vectorise it.
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const qsizetype n = text.size();
    if (n == 0)
        return 0;
    qsizetype lines = 0;
    for (qsizetype i = 0; i + 1 < n; ++i)
        lines += (p[i] == '\n') | ((p[i] == '\r') & (p[i + 1] != '\n'));
    lines += 1;  // the last byte: a line end, or the end of an unended line
    return int(std::min<qsizetype>(lines, std::numeric_limits<int>::max()));
}

QStringList SplitTextLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

FileResult<QByteArray> ReadTextFile(const QString &path)
{
    FileBytes file = ReadRegularFile(path, kMaxNumberFileSize);
    if (!file.ok())
        return {std::nullopt, FileErrorFrom(file, false)};
    if (file.bytes.startsWith("\xEF\xBB\xBF"))
        file.bytes.remove(0, 3);
    return {std::move(file.bytes), {}};
}

FileResult<QStringList> ReadTextLines(const QString &path)
{
    const auto text = ReadTextFile(path);
    if (!text.ok())
        return {std::nullopt, text.error};
    QStringList lines;
    TextLineCursor cursor(*text.value);
    for (QByteArrayView line; cursor.Next(line);)
        lines << QString::fromUtf8(line);
    return {lines, {}};
}

FileError WriteTextLines(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return FileErrorFrom(WriteFileAtomically(path, bytes), true);
}

DecimalFault ReadDecimal(QByteArrayView text, qint64 min, qint64 max, qint64 &value)
{
    const char *p = text.data();
    const char *end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p == end)
        return DecimalFault::NotANumber;
    // Saturates far beyond any range asked for, so long digit runs cannot overflow.
    constexpr qint64 kCeiling = qint64(1) << 40;
    qint64 magnitude = 0;
    for (; p < end; ++p) {
        const unsigned digit = unsigned(*p) - '0';
        if (digit > 9)
            return DecimalFault::NotANumber;
        magnitude = std::min(kCeiling, magnitude * 10 + digit);
    }
    value = negative ? -magnitude : magnitude;
    return value < min || value > max ? DecimalFault::OutOfRange : DecimalFault::None;
}

FileResult<qint64> ParseDecimalLine(QByteArrayView text, int line, qint64 min, qint64 max)
{
    qint64 value = 0;
    const DecimalFault fault = ReadDecimal(text, min, max, value);
    if (fault == DecimalFault::None)
        return {value, {}};
    const FileErrorKind kind = fault == DecimalFault::NotANumber ? FileErrorKind::NotANumber : FileErrorKind::OutOfRange;
    return {std::nullopt, LineError(kind, line, QString::fromUtf8(text))};
}

FileResult<qint64> ParseDecimalLine(const QString &text, int line, qint64 min, qint64 max)
{
    auto result = ParseDecimalLine(QByteArrayView(text.toUtf8()), line, min, max);
    if (!result.ok())
        result.error.text = ShownText(text);
    return result;
}

} // namespace rpu
