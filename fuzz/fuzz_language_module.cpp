// Language modules (message table and layouts in text or base64 form), and a
// binary layout stream read back to text.

#include "i18n/languagemodule.h"
#include "i18n/layoutstream.h"

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto module = rpu::LanguageModule::Parse(QString::fromUtf8(bytes));
    (void)rpu::CheckLanguageModule(*module);
    try {
        (void)rpu::LayoutBinaryToText(bytes);
    } catch (const rpu::LayoutError &) {
        // A damaged stream is refused; that is the expected outcome.
    }
    try {
        (void)rpu::FlattenLayout(bytes);
    } catch (const rpu::LayoutError &) {
    }
    return 0;
}
