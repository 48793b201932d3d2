#include "i18n/messagecatalogue.h"

#include "i18n/languagemodule.h"

#include <QFileInfo>

namespace rpu {

QString MessageCatalogue::Text(int number) const
{
    const int slot = number - kFirstMessageNumber;
    if (slot < 0 || slot >= kCatalogueSlots)
        return {};
    return slots_[slot];
}

void MessageCatalogue::Fill(const StringSource &source)
{
    for (int slot = 0; slot < kCatalogueSlots; ++slot) {
        const QString text = source.String(kFirstMessageNumber + slot);
        if (text.isEmpty() && IsReservedMessageNumber(kFirstMessageNumber + slot))
            continue;
        if (text.isEmpty())
            break;
        slots_[slot] = CutMessageText(text);
    }
}

QString CutMessageText(const QString &text)
{
    if (text.size() <= kMaxMessageLength)
        return text;
    const bool splitsPair = text.at(kMaxMessageLength - 1).isHighSurrogate() && text.at(kMaxMessageLength).isLowSurrogate();
    return text.left(splitsPair ? kMaxMessageLength - 1 : kMaxMessageLength);
}

bool IsReservedMessageNumber(int number)
{
    constexpr int kLastTableMessage = 10087;
    return number > kLastTableMessage && number <= kLastProgramMessage && BuiltinRussianText(number).isEmpty();
}

QString MessageCatalogue::Format(int number, const std::vector<FormatArg> &args) const
{
    const QString text = Text(number);
    const QString builtin = BuiltinRussianText(number);
    return FormatMessage(PlaceholdersMatch(text, builtin) ? text : builtin, args);
}

std::vector<int> MessageCatalogue::MismatchedPlaceholders() const
{
    std::vector<int> numbers;
    for (int slot = 0; slot < kCatalogueSlots; ++slot) {
        const int number = kFirstMessageNumber + slot;
        if (!slots_[slot].isEmpty() && !PlaceholdersMatch(slots_[slot], BuiltinRussianText(number)))
            numbers.push_back(number);
    }
    return numbers;
}

std::unique_ptr<StringSource> OpenLanguageModule(const QString &modulePath)
{
    return LanguageModule::Load(modulePath);
}

QString LanguageModulePath(const QString &programFilePath, const QString &code)
{
    const QFileInfo info(programFilePath);
    const QString base = info.completeSuffix().isEmpty()
                             ? info.fileName()
                             : info.fileName().left(info.fileName().size() - info.suffix().size() - 1);
    return info.absolutePath() + QLatin1Char('/') + base + QLatin1Char('.') + code;
}

QString FindLanguageModuleFile(const QStringList &folders, const QString &programFilePath, const QString &code)
{
    const QString fileName = QFileInfo(programFilePath).fileName();
    for (const QString &folder : folders) {
        const QString path = LanguageModulePath(folder + QLatin1Char('/') + fileName, code);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

void LoadMessageCatalogue(MessageCatalogue &catalogue, const QString &localeCode,
                          const QString &programFilePath, const ModuleOpener &openModule)
{
    if (!localeCode.isEmpty() && localeCode != QLatin1String("RU") && openModule) {
        if (std::unique_ptr<StringSource> module =
                openModule(LanguageModulePath(programFilePath, localeCode))) {
            catalogue.Fill(*module);
            return;
        }
    }
    catalogue.Fill(BuiltinStringSource());
}

} // namespace rpu
