// The configuration file as the program reads it at start: the device
// section through the link settings, the start-up language and the help
// document names, the id list on its own, and the one-line edit of a
// language change.

#include "app/helplinks.h"
#include "app/startup.h"
#include "io/inifile.h"
#include "i18n/messagecatalogue.h"
#include "i18n/resourcelocale.h"
#include "link/libusbbackend.h"
#include "link/linkconfig.h"

#include "fuzzcheck.h"

#include <QDateTime>
#include <QFile>
#include <sys/un.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzz::Bytes(data, size);
    const QString ini = fuzz::ScratchFile(QStringLiteral("dorel-rpu-sela.INI"), bytes);
    // QSettings keeps a file it has read and reads it again only when its
    // size or time changed; a new name per input instead would grow its
    // cache, which libFuzzer takes for a leak on every run.
    static qint64 serial = 0;
    QFile file(ini);
    fuzz::Require(file.open(QIODevice::ReadWrite)
                      && file.setFileTime(QDateTime::fromSecsSinceEpoch(++serial), QFileDevice::FileModificationTime),
                  "the scratch file's time can be set");
    file.close();

    const rpu::LinkConfig link = rpu::ReadLinkConfig(ini);
    fuzz::Require(!link.usbIds.empty(), "there is always an id to look for");
    fuzz::Require(link.readTimeoutMs >= 1, "the read timeout is positive");
    fuzz::Require(link.simDevices >= 0 && link.simDevices <= 2, "the simulator shows 0, 1 or 2 devices");
    fuzz::Require(link.simVersion >= 0 && link.simVersion <= 255, "the simulator's version is a byte");
    if (link.kind == rpu::LinkConfig::Kind::Socket)
        fuzz::Require(!link.socketPath.isEmpty()
                          && QFile::encodeName(link.socketPath).size() < qsizetype(sizeof(sockaddr_un::sun_path)),
                      "a socket path fits the socket address");
    QStringList warnings;
    (void)rpu::ParseUsbIdList(QString::fromUtf8(bytes), &warnings);

    const QString code = rpu::ReadStartupLanguage(ini);
    (void)rpu::LocaleToExtension(rpu::ExtensionToLocale(code));
    (void)rpu::LanguageModulePath(QStringLiteral("/opt/rpu/dorel-rpu-sela"), code);
    for (const QString &key : {code, QStringLiteral("RU"), QStringLiteral("EN"), QStringLiteral("TR")})
        (void)rpu::HelpPath({QStringLiteral("/opt/rpu")}, rpu::ReadHelpFileName(ini, key));

    // A language change edits one line: the new value reads back, and a
    // second edit with the same value changes nothing.
    const rpu::IniDocument document(bytes);
    const QByteArray edited = document.WithValue(QStringLiteral("Language"), QStringLiteral("Default"), QStringLiteral("EN"));
    fuzz::Require(rpu::IniDocument(edited).Value(QStringLiteral("Language"), QStringLiteral("Default")) == QStringLiteral("EN"),
                  "the written language reads back");
    fuzz::Require(rpu::IniDocument(edited).WithValue(QStringLiteral("Language"), QStringLiteral("Default"),
                                                     QStringLiteral("EN")) == edited,
                  "writing the same language again changes no byte");
    return 0;
}
