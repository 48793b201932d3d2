#include "app/startup.h"

#include "app/appservices.h"
#include "app/dialogs.h"
#include "app/languageswitch.h"
#include "app/mainform.h"
#include "app/qtpacer.h"
#include "files/textlines.h"
#include "i18n/languagechoice.h"
#include "i18n/messagecatalogue.h"
#include "i18n/resourcelocale.h"
#include "link/linkconfig.h"
#include "link/simdevice.h"
#include "link/usblink.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>

#include <exception>

namespace rpu {

QString ReadStartupLanguage(const QString &iniPath)
{
    return StartupLanguageOf(ReadIniFile(iniPath).document);
}

namespace {

int RunEntrySequence(QApplication &app, Dialogs &dialogs)
{
    // The folder of the user's files is the current directory from the
    // start: beside a portable program, never beside an installed one.
    const QString programPath = QCoreApplication::applicationFilePath();
    // Its "reg", "base" and "conf" are made with the window.
    const ProgramFolders folders = ProgramFoldersOf(programPath);
    QDir().mkpath(folders.dataFolder);
    QDir::setCurrent(folders.dataFolder);

    // The start-up language, its module and the catalogue, before any window.
    const QString iniPath = folders.configFile;
    const std::unique_ptr<ResourceLocale> runtime = MakeResourceLocale(programPath);
    MessageCatalogue catalogue;
    StartLanguage(*runtime, catalogue);
    SetProgramRuntime(runtime.get());

    LinkConfig linkConfig = ReadLinkConfig(iniPath);
    // One run on another transport (scripts/start without a receiver) leaves
    // the configuration file as it is.
    ApplyTransportOverride(linkConfig, qEnvironmentVariable(kTransportVariable));
    for (const QString &warning : linkConfig.warnings)
        qWarning("%s: %s", qPrintable(iniPath), qPrintable(warning));
    SimDevice simDevice(static_cast<std::uint8_t>(linkConfig.simVersion));
    QtPacer pacer;
    const std::unique_ptr<UsbLink> link = MakeUsbLink(MakeDeviceBackend(linkConfig, &simDevice), dialogs, catalogue);
    if (!linkConfig.traceFolder.isEmpty())
        link->SetTraceFolder(linkConfig.traceFolder, [&](const QString &path, const QString &why) {
            dialogs.MessageBox(nullptr, catalogue.Text(10009), catalogue.Format(10095, {path, why}),
                               Dialogs::Icon::Warning, Dialogs::Buttons::Ok);
        });

    // The window registers itself with the runtime for re-translation.
    TMainForm form(MakeAppServices(programPath, dialogs, pacer, *link, catalogue));
    form.show();
    // A configuration file that could not be used must not pass for "no device".
    if (const QString problem = DescribeIniProblem(ReadIniFile(iniPath), iniPath, catalogue); !problem.isEmpty())
        form.ShowStatus(problem);
    // RPU_QUIT_WHEN_SHOWN times the start (bench/bench_start): draw once, leave.
    if (qEnvironmentVariableIsSet("RPU_QUIT_WHEN_SHOWN"))
        QCoreApplication::processEvents();
    else
        app.exec();
    SetProgramRuntime(nullptr);
    return 0;
}

} // namespace

int RunProgram(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(kApplicationTitle);
    // Ties the window to its menu entry (Wayland's app id; X11 uses the
    // application name, named in the entry as StartupWMClass).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.DorelRpuSela"));

    QtDialogs dialogs;
    try {
        return RunEntrySequence(app, dialogs);
    } catch (const std::exception &e) {
        dialogs.MessageBox(nullptr, kApplicationTitle, QString::fromLocal8Bit(e.what()),
                           Dialogs::Icon::Error, Dialogs::Buttons::Ok);
    } catch (...) {
        dialogs.MessageBox(nullptr, kApplicationTitle, QStringLiteral("Unknown error"),
                           Dialogs::Icon::Error, Dialogs::Buttons::Ok);
    }
    return 0;
}

} // namespace rpu
