#include "i18n/messagecatalogue.h"

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
        if (text.isEmpty())
            break;
        slots_[slot] = text.left(kMaxMessageLength);
    }
}

QString MessageCatalogue::Format(int number, int value) const
{
    return QString::asprintf(Text(number).toUtf8().constData(), value);
}

QString MessageCatalogue::Format(int number, const QString &value) const
{
    // %s takes UTF-8 bytes in asprintf.
    const QByteArray utf8 = value.toUtf8();
    return QString::asprintf(Text(number).toUtf8().constData(), utf8.constData());
}

std::unique_ptr<StringSource> OpenLanguageModule(const QString &modulePath)
{
    // No module format is read yet: every other language falls back to the
    // built-in texts.
    Q_UNUSED(modulePath);
    return nullptr;
}

QString LanguageModulePath(const QString &programFilePath, const QString &code)
{
    const QFileInfo info(programFilePath);
    const QString base = info.completeSuffix().isEmpty()
                             ? info.fileName()
                             : info.fileName().left(info.fileName().size() - info.suffix().size() - 1);
    return info.absolutePath() + QLatin1Char('/') + base + QLatin1Char('.') + code;
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
