#include "files/textlines.h"

#include "i18n/messagecatalogue.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

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
        return catalogue.Format(10088, {fileName, error.systemMessage});
    case FileErrorKind::IsFolder:
        return catalogue.Format(10097, fileName);
    case FileErrorKind::CannotRead:
        return catalogue.Format(10089, {fileName, error.systemMessage});
    case FileErrorKind::TooLarge:
        return catalogue.Format(10090, fileName);
    case FileErrorKind::TooShort:
        if (error.line == 1)
            return catalogue.Format(10091, fileName);
        return catalogue.Format(10092, {fileName, line, FormatArg(qint64(error.expectedLines))});
    case FileErrorKind::NotANumber:
        return catalogue.Format(10093, {fileName, line, error.text});
    case FileErrorKind::OutOfRange:
        return catalogue.Format(10094, {fileName, line, error.text});
    case FileErrorKind::CannotWrite:
        return catalogue.Format(10095, {fileName, error.systemMessage});
    }
    return {};
}

QString DescribeRemoveError(const QString &fileName, const QString &systemMessage,
                            const MessageCatalogue &catalogue)
{
    return catalogue.Format(10096, {fileName, systemMessage});
}

FileError TooShortError(qsizetype found, int expected)
{
    FileError e;
    e.kind = FileErrorKind::TooShort;
    e.line = int(found) + 1;
    e.expectedLines = expected;
    return e;
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

FileResult<QStringList> ReadTextLines(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return {std::nullopt, SystemError(FileErrorKind::IsFolder, QString())};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, SystemError(FileErrorKind::CannotOpen, file.errorString())};
    if (file.size() > kMaxNumberFileSize)
        return {std::nullopt, SystemError(FileErrorKind::TooLarge, {})};
    // One byte more than allowed tells a file that grew (or a pipe) apart.
    const QByteArray bytes = file.read(kMaxNumberFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, SystemError(FileErrorKind::CannotRead, file.errorString())};
    if (bytes.size() > kMaxNumberFileSize)
        return {std::nullopt, SystemError(FileErrorKind::TooLarge, {})};
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    return {SplitTextLines(QString::fromUtf8(view)), {}};
}

FileError WriteTextLines(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    // Unbuffered, and written until done: a buffered QSaveFile loses a short
    // write (disk full, size limit) in commit() and reports success over a
    // truncated file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return SystemError(FileErrorKind::CannotWrite, file.errorString());
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return SystemError(FileErrorKind::CannotWrite, reason);
        }
        done += n;
    }
    if (!file.commit())
        return SystemError(FileErrorKind::CannotWrite, file.errorString());
    return {};
}

FileResult<qint64> ParseDecimalLine(const QString &text, int line, qint64 min, qint64 max)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == n)
        return {std::nullopt, LineError(FileErrorKind::NotANumber, line, text)};
    // Saturates far beyond any range asked for, so long digit runs cannot overflow.
    constexpr qint64 kCeiling = qint64(1) << 40;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return {std::nullopt, LineError(FileErrorKind::NotANumber, line, text)};
        magnitude = std::min(kCeiling, magnitude * 10 + (c - u'0'));
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < min || value > max)
        return {std::nullopt, LineError(FileErrorKind::OutOfRange, line, text)};
    return {value, {}};
}

} // namespace rpu
