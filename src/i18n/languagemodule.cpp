#include "i18n/languagemodule.h"

#include "i18n/layoutstream.h"
#include "io/safefile.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <optional>

namespace rpu {

std::optional<QByteArray> ReadModuleBytes(const QString &path, qint64 limit, QString *error)
{
    // Regular files only, and bounded: a FIFO beside the program must not block the start.
    FileBytes file = ReadRegularFile(path, limit);
    if (file.ok())
        return std::move(file.bytes);
    if (error) {
        QString reason;
        switch (file.fault) {
        case FileFault::Missing: reason = QString::fromLocal8Bit(std::strerror(ENOENT)); break;
        case FileFault::IsFolder:
        case FileFault::NotRegular: reason = QStringLiteral("not a regular file"); break;
        case FileFault::TooLarge:
            reason = QStringLiteral("%1 bytes, more than a module may have (%2 bytes)")
                         .arg(QFileInfo(path).size())
                         .arg(limit);
            break;
        default: reason = file.systemMessage; break;
        }
        *error = QStringLiteral("%1: %2").arg(DisplayPath(path), reason);
    }
    return std::nullopt;
}

bool LayoutSet::AddBinary(const QByteArray &binary)
{
    const QString root = LayoutRootClass(binary);
    if (root.isEmpty())
        return false;
    layouts_.insert(root, binary);
    return true;
}

void LayoutSet::AddText(const QString &text)
{
    AddBinary(LayoutTextToBinary(text));
}

void LanguageModule::ParseMessageLine(const QString &line, int lineNo)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')))
        return;
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    bool ok = false;
    const int number = eq > 0 ? trimmed.left(eq).trimmed().toInt(&ok) : 0;
    if (!ok) {
        problems_ << QStringLiteral("line %1: \"number = text\" expected").arg(lineNo);
        return;
    }
    QString text = trimmed.mid(eq + 1).trimmed();
    if (text.startsWith(QLatin1Char('\'')) || text.startsWith(QLatin1Char('#'))) {
        QString literal;
        if (!ParseStringLiteral(text, literal)) {
            problems_ << QStringLiteral("line %1: bad quoted text").arg(lineNo);
            return;
        }
        text = literal;
    }
    if (messages_.contains(number))
        problems_ << QStringLiteral("line %1: message %2 given twice; the later text counts").arg(lineNo).arg(number);
    messages_.insert(number, text);
}

void LanguageModule::AddLayoutSection(const QString &body, bool base64, int lineNo)
{
    try {
        QByteArray binary;
        LayoutLineMap lines;
        if (!base64) {
            // Leading newlines keep the parser's line numbers those of the file.
            binary = LayoutTextToBinary(QString(lineNo, QLatin1Char('\n')) + body, &lines);
        } else {
            const auto decoded =
                QByteArray::fromBase64Encoding(body.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) {
                problems_ << QStringLiteral("line %1: bad base64 layout").arg(lineNo);
                return;
            }
            binary = *decoded;
        }
        // The whole layout is read now, not when a window is translated: a
        // module that could not be applied is known before it is chosen.
        if (const auto fault = CheckLayout(binary)) {
            const int line = base64 ? 0 : LineOfOffset(lines, fault->offset);
            const QString where = line > 0 ? QStringLiteral("line %1: ").arg(line)
                                           : QStringLiteral("line %1: binary layout, offset %2: ").arg(lineNo).arg(fault->offset);
            if (!fault->outOfRange) {
                problems_ << where + fault->text;
                return;
            }
            const QString refusal = where + fault->text + QStringLiteral("; the module is not used");
            problems_ << refusal;
            if (refusal_.isEmpty())
                refusal_ = refusal;
            return;
        }
        if (!AddBinary(binary))
            problems_ << QStringLiteral("line %1: binary layout without a root entry").arg(lineNo);
    } catch (const LayoutError &e) {
        problems_ << e.message();
    }
}

std::unique_ptr<LanguageModule> LanguageModule::Parse(const QString &text)
{
    auto module = std::unique_ptr<LanguageModule>(new LanguageModule);
    enum class Section { None, Messages, Layout, Binary } section = Section::None;
    QString body;
    int sectionLine = 0;
    const auto flush = [&] {
        if (section == Section::Layout || section == Section::Binary)
            module->AddLayoutSection(body, section == Section::Binary, sectionLine);
        body.clear();
    };
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast(); // the newline that ends the last line
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const int lineNo = i + 1;
        if (line.startsWith(QLatin1Char('@'))) {
            flush();
            const QStringList words = line.mid(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            sectionLine = lineNo;
            if (words == QStringList{QStringLiteral("messages")})
                section = Section::Messages;
            else if (words == QStringList{QStringLiteral("layout")})
                section = Section::Layout;
            else if (words == QStringList{QStringLiteral("layout"), QStringLiteral("base64")})
                section = Section::Binary;
            else {
                section = Section::None;
                module->problems_ << QStringLiteral("line %1: unknown section \"%2\"").arg(lineNo).arg(line);
            }
            continue;
        }
        switch (section) {
        case Section::Messages:
            module->ParseMessageLine(line, lineNo);
            break;
        case Section::Layout:
            body += line + QLatin1Char('\n');
            break;
        case Section::Binary:
            body += line.trimmed();
            break;
        case Section::None:
            if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QLatin1Char(';')))
                module->problems_ << QStringLiteral("line %1: text outside a section").arg(lineNo);
        }
    }
    flush();
    return module;
}

QStringList CheckLanguageModule(const LanguageModule &module)
{
    QStringList findings = module.Problems();
    int number = kFirstMessageNumber;
    for (; number < kFirstMessageNumber + kCatalogueSlots
           && (!module.String(number).isEmpty() || IsReservedMessageNumber(number));
         ++number) {
        if (!PlaceholdersMatch(module.String(number), BuiltinRussianText(number)))
            findings << QStringLiteral("message %1: placeholders differ from the Russian text \"%2\"")
                            .arg(number)
                            .arg(BuiltinRussianText(number));
    }
    if (!BuiltinRussianText(number).isEmpty())
        findings << QStringLiteral("message %1 is missing or empty: the messages from there on are not read").arg(number);
    return findings;
}

std::unique_ptr<LanguageModule> LanguageModule::Read(const QString &path, QString *error)
{
    const std::optional<QByteArray> bytes = ReadModuleBytes(path, kMaxModuleBytes, error);
    if (!bytes)
        return nullptr;
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(*bytes);
    if (decode.hasError()) {
        if (error)
            *error = QStringLiteral("%1: not UTF-8 text").arg(path);
        return nullptr;
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return Parse(text);
}

std::unique_ptr<LanguageModule> LanguageModule::Load(const QString &path, QString *error)
{
    auto module = Read(path, error);
    if (module && !module->Refusal().isEmpty()) {
        if (error)
            *error = QStringLiteral("%1, %2").arg(path, module->Refusal());
        return nullptr;
    }
    return module;
}

} // namespace rpu
