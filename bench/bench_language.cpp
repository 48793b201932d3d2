// "Сменить язык" on the whole window: Russian to English and back through the
// button's own handler, with the shipped modules beside the program and the
// window shown (offscreen). The device was identified and let go, then demo
// mode with a settings page in view: the status, device and page texts follow
// too. A switch is timed up to the window drawn anew.
//   bench_language [switches] [module folder]   (default 20 each way, lang/)

#include "benchkit.h"

#include "app/appservices.h"
#include "app/languagedialog.h"
#include "app/languageswitch.h"
#include "app/mainform.h"
#include "app/pageflow.h"
#include "app/qtpacer.h"
#include "files/programfolders.h"
#include "i18n/messagecatalogue.h"
#include "i18n/resourcelocale.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

using namespace rpu;
using namespace rpu::bench;

namespace {

// The language dialog, answered with the next code.
struct NextCode final : LanguageAsker {
    QString code;
    bool Ask(QWidget *, const LanguageList &, QString &chosen) override
    {
        chosen = code;
        return true;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    PrepareWindowBench(folder.path());
    QApplication app(argc, argv);
    const int switches = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QString modules = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(RPU_LANG_DIR);

    const QString programPath = folder.filePath(QStringLiteral("dorel-rpu-sela"));
    QFile(programPath).open(QIODevice::WriteOnly); // modules are looked up beside it
    for (const char *code : {"EN", "TR"}) {
        const QString from = modules + QStringLiteral("/dorel-rpu-sela.") + QLatin1String(code);
        if (!QFile::copy(from, LanguageModulePath(programPath, QLatin1String(code)))) {
            std::fprintf(stderr, "no language module %s\n", qPrintable(from));
            return 1;
        }
    }

    SimDevice device(46);
    QuietDialogs dialogs;
    const std::unique_ptr<UsbLink> link = MakeUsbLink(std::make_unique<SimBackend>(device, 1), dialogs);
    QtPacer pacer;
    MessageCatalogue catalogue;
    LoadMessageCatalogue(catalogue, QStringLiteral("RU"), programPath);
    TMainForm form(MakeAppServices(programPath, dialogs, pacer, *link, catalogue));
    NextCode asker;
    LanguageSwitchOf(form)->SetAsker(&asker);
    form.show();
    form.ConnectButtonClick();
    form.DisconnectButtonClick(); // the language is offered with the link down
    form.findChild<QComboBox *>(QStringLiteral("OperModeCmB"))->setCurrentIndex(0);
    form.OperModeCmBChange();
    form.Flow().SetActivePage(PageId::RelaySettings);
    QCoreApplication::processEvents();

    auto *button = form.findChild<QPushButton *>(QStringLiteral("btn_ChangeLang"));
    const QString russian = button->text();
    const QString configFile = ProgramFoldersOf(programPath).configFile;
    std::vector<double> toEnglish, toRussian, cpu, handler, records;
    for (int i = 0; i < 2 * switches; ++i) {
        const bool english = i % 2 == 0;
        asker.code = english ? QStringLiteral("EN") : QString::fromLatin1(kBuiltinLocaleCode);
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = ProcessCpuMs();
        button->click();
        handler.push_back(double(timer.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents(); // layout and paint of the new texts
        (english ? toEnglish : toRussian).push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(ProcessCpuMs() - cpuBefore);
        // The records follow the redraw, in the next event round.
        QElapsedTimer recordTimer;
        recordTimer.start();
        QCoreApplication::processEvents();
        records.push_back(double(recordTimer.nsecsElapsed()) / 1e6);
        const QString recorded = QSettings(configFile, QSettings::IniFormat).value(QStringLiteral("Language/Default")).toString();
        if (recorded != asker.code) {
            std::fprintf(stderr, "switch %d to %s not recorded: \"%s\"\n", i, qPrintable(asker.code), qPrintable(recorded));
            return 1;
        }
        // A switch that did not happen would time nothing.
        if ((button->text() == russian) == english || dialogs.errors) {
            std::fprintf(stderr, "switch %d to %s failed: \"%s\" %s\n", i, qPrintable(asker.code),
                         qPrintable(button->text()), qPrintable(dialogs.texts.join(QLatin1Char(';'))));
            return 1;
        }
    }
    const auto line = [](const char *name, const std::vector<double> &ms) {
        std::printf("%s: median %.2f ms, best %.2f ms, worst %.2f ms (%zu switches)\n", name, MedianOf(ms),
                    *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), ms.size());
    };
    line("switch RU->EN", toEnglish);
    line("switch EN->RU", toRussian);
    std::printf("switch cpu: median %.2f ms; the button's handler alone: median %.2f ms; the records written "
                "after the redraw: median %.2f ms\n",
                MedianOf(cpu), MedianOf(handler), MedianOf(records));
    return 0;
}
