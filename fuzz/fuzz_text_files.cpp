// Settings files and registration backups as the pages load them: any bytes
// split into lines and parsed by both formats.

#include "files/registrationfile.h"
#include "files/settingsfile.h"
#include "files/textlines.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = rpu::SplitTextLines(text);
    (void)rpu::ParseSettingsLines(lines);
    (void)rpu::ParseRegistrationLines(lines);
    return 0;
}
