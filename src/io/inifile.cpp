#include "io/inifile.h"

#include <QStringDecoder>

#include <vector>

namespace rpu {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// One line of the file as byte offsets.
struct IniLine {
    enum class Kind { Blank, Comment, Section, Key } kind = Kind::Blank;
    qsizetype start = 0;       // first byte
    qsizetype contentEnd = 0;  // before the line end
    qsizetype next = 0;        // after the line end (or the end of the file)
    QString section;           // the section it lies in (its own name for a header)
    QString key;
    qsizetype valueStart = 0;  // Key: the value, blanks around it excluded
    qsizetype valueEnd = 0;
};

std::vector<IniLine> ParseLines(const QByteArray &bytes)
{
    std::vector<IniLine> lines;
    QString section;
    const qsizetype n = bytes.size();
    for (qsizetype start = 0; start < n;) {
        IniLine line;
        line.start = start;
        const qsizetype newline = bytes.indexOf('\n', start);
        line.next = newline < 0 ? n : newline + 1;
        line.contentEnd = newline < 0 ? n : newline;
        start = line.next;

        qsizetype b = line.start;
        qsizetype e = line.contentEnd;
        if (b == 0 && bytes.startsWith("\xEF\xBB\xBF"))
            b = 3;
        while (b < e && IsBlank(bytes.at(b)))
            ++b;
        while (e > b && IsBlank(bytes.at(e - 1)))
            --e;
        if (b < e && bytes.at(b) == '[' && bytes.at(e - 1) == ']') {
            section = QString::fromUtf8(bytes.mid(b + 1, e - b - 2)).trimmed();
            line.kind = IniLine::Kind::Section;
        } else if (b < e) {
            line.kind = IniLine::Kind::Comment;  // also a line that is no key
            const qsizetype eq = bytes.at(b) == ';' || bytes.at(b) == '#' ? -1 : bytes.indexOf('=', b);
            if (eq > b && eq < e) {
                qsizetype keyEnd = eq;
                while (keyEnd > b && IsBlank(bytes.at(keyEnd - 1)))
                    --keyEnd;
                qsizetype valueStart = eq + 1;
                while (valueStart < e && IsBlank(bytes.at(valueStart)))
                    ++valueStart;
                line.kind = IniLine::Kind::Key;
                line.key = QString::fromUtf8(bytes.mid(b, keyEnd - b));
                line.valueStart = valueStart;
                line.valueEnd = e;
            }
        }
        line.section = section;
        lines.push_back(std::move(line));
    }
    return lines;
}

QString Unquoted(QString value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
        value = value.mid(1, value.size() - 2);
        value.replace(QLatin1String("\\\""), QLatin1String("\"")).replace(QLatin1String("\\\\"), QLatin1String("\\"));
    }
    return value;
}

QByteArray Quoted(const QString &value)
{
    const QByteArray raw = value.toUtf8();
    const bool needsQuotes = !raw.isEmpty() && (IsBlank(raw.front()) || IsBlank(raw.back()) || raw.front() == '"');
    if (!needsQuotes)
        return raw;
    QByteArray quoted = raw;
    quoted.replace("\\", "\\\\").replace("\"", "\\\"");
    return '"' + quoted + '"';
}

QString ValueOf(const QByteArray &bytes, const IniLine &line)
{
    return Unquoted(QString::fromUtf8(bytes.mid(line.valueStart, line.valueEnd - line.valueStart)));
}

QByteArray LineEnd(const QByteArray &bytes)
{
    if (bytes.contains("\r\n"))
        return "\r\n";
    return "\n";
}

bool IsUtf8Text(const QByteArray &bytes)
{
    // NUL bytes mark UTF-16 (and binary files) even where they decode.
    if (bytes.contains('\0') || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return false;
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(bytes);
    Q_UNUSED(text);
    return !decode.hasError();
}

} // namespace

std::optional<QString> IniDocument::Value(const QString &section, const QString &key) const
{
    std::optional<QString> found;
    for (const IniLine &line : ParseLines(bytes_)) {
        if (line.kind == IniLine::Kind::Key && line.section == section && line.key == key)
            found = ValueOf(bytes_, line);
    }
    return found;
}

QHash<QString, QString> IniDocument::Section(const QString &section) const
{
    QHash<QString, QString> values;
    for (const IniLine &line : ParseLines(bytes_)) {
        if (line.kind == IniLine::Kind::Key && line.section == section)
            values.insert(line.key, ValueOf(bytes_, line));
    }
    return values;
}

QByteArray IniDocument::WithValue(const QString &section, const QString &key, const QString &value) const
{
    const std::vector<IniLine> lines = ParseLines(bytes_);
    const IniLine *keyLine = nullptr;
    const IniLine *lastOfSection = nullptr;
    for (const IniLine &line : lines) {
        if (line.section != section || line.kind == IniLine::Kind::Blank)
            continue;
        if (line.kind == IniLine::Kind::Key && line.key == key)
            keyLine = &line;
        lastOfSection = &line;
    }
    QByteArray out = bytes_;
    if (keyLine)
        return out.replace(keyLine->valueStart, keyLine->valueEnd - keyLine->valueStart, Quoted(value));

    const QByteArray eol = LineEnd(bytes_);
    const QByteArray newLine = key.toUtf8() + '=' + Quoted(value) + eol;
    if (lastOfSection) {
        const bool ended = lastOfSection->next > lastOfSection->contentEnd;
        return out.insert(lastOfSection->next, ended ? newLine : eol + newLine);
    }
    if (!out.isEmpty() && !out.endsWith('\n'))
        out += eol;
    return out + '[' + section.toUtf8() + ']' + eol + newLine;
}

IniRead ReadIniFile(const QString &path)
{
    IniRead read;
    FileBytes file = ReadRegularFile(path, kMaxIniFileSize);
    read.file = file;
    if (!file.ok())
        return read;
    if (!IsUtf8Text(file.bytes)) {
        read.text = IniTextFault::NotText;
        return read;
    }
    read.document = IniDocument(std::move(file.bytes));
    return read;
}

FileOutcome WriteIniValue(const QString &path, const QString &section, const QString &key, const QString &value)
{
    const IniRead read = ReadIniFile(path);
    if (read.text != IniTextFault::None)
        return {FileFault::CannotRead, QStringLiteral("not UTF-8 text")};
    if (!read.file.ok() && read.file.fault != FileFault::Missing)
        return read.file;
    return WriteFileAtomically(path, read.document.WithValue(section, key, value));
}

} // namespace rpu
