// The settings pages: compose and show of each page on its own, and the
// full round trip of "Считать" and "Записать" in the window against the
// in-process simulated device with pauses that really sleep. The floor of the
// round trip is the sum of the pauses the protocol asks for; wall/floor shows
// what the window and the link add on top (goal: at most 1.05).
//   bench_settings [repeats]   (default 10)

#include "benchkit.h"

#include "app/appservices.h"
#include "app/dialogs.h"
#include "app/mainform.h"
#include "app/pageflow.h"
#include "app/pages/settingspage.h"
#include "app/qtpacer.h"
#include "i18n/messagecatalogue.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace rpu;
using namespace rpu::bench;

namespace {

class CountingPacer final : public Pacer {
public:
    void Pause(int milliseconds) override
    {
        floorMs += milliseconds;
        QElapsedTimer t;
        t.start();
        real.Pause(milliseconds);
        pauseNs += t.nsecsElapsed();
    }
    void ProcessEvents() override
    {
        QElapsedTimer t;
        t.start();
        real.ProcessEvents();
        eventsNs += t.nsecsElapsed();
    }
    void Reset() { floorMs = pauseNs = eventsNs = 0; }
    long floorMs = 0;
    qint64 pauseNs = 0;  // what the pauses really took
    qint64 eventsNs = 0; // window events let run during the write
    QtPacer real;
};

// Microseconds per compose + show of one page, over many runs.
void ComposeAndShow(SettingsPage &page, const SettingsImage &source, int runs)
{
    std::vector<double> compose, show;
    SettingsImage image = source;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        if (page.ShowImage(image)) {
            std::printf("%s: image refused\n", qPrintable(page.objectName()));
            return;
        }
        show.push_back(double(t.nsecsElapsed()) / 1e3);
        t.restart();
        image = {};
        page.ComposeOwnSection(image);
        compose.push_back(double(t.nsecsElapsed()) / 1e3);
    }
    std::printf("%s: show %.1f us, compose %.1f us (medians of %d)\n", qPrintable(page.objectName()),
                MedianOf(show), MedianOf(compose), runs);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    PrepareWindowBench(folder.path());
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    const QString programPath = folder.path() + QStringLiteral("/dorel-rpu-sela");
    SimDevice device(104);
    QuietDialogs dialogs;
    UsbLink link(std::make_unique<SimBackend>(device), [&](const QString &, const QString &) { ++dialogs.errors; });
    CountingPacer pacer;
    MessageCatalogue catalogue;
    LoadMessageCatalogue(catalogue, QStringLiteral("RU"), programPath);

    const AppServices services = MakeAppServices(programPath, dialogs, pacer, link, catalogue);
    TMainForm form(services);

    form.ConnectButtonClick();
    form.Flow().SetPageTabVisible(PageId::RelaySettings, true);
    form.Flow().SetActivePage(PageId::RelaySettings);
    form.MainPageCChange();

    auto *relay = form.findChild<SettingsPage *>(QStringLiteral("ReleSettingsTabSh"));
    auto *rpu = form.findChild<SettingsPage *>(QStringLiteral("ReleSettingsTabRPU"));
    SettingsImage busy = FactorySettingsImage();
    busy[42] = 7, busy[43] = 6, busy[44] = 4, busy[26] = 2, busy[21] = 7;
    for (int j = 0; j < 24; ++j)
        busy[50 + j] = quint32(j * 17) & 0x77;
    busy[77] = 7, busy[93] = 7, busy[94] = 5, busy[95] = 4;
    ComposeAndShow(*relay, busy, 200);
    ComposeAndShow(*rpu, busy, 200);

    std::vector<double> walls, reads, pauses, events;
    long floorMs = 0;
    for (int r = 0; r < repeats; ++r) {
        pacer.Reset();
        QElapsedTimer timer;
        timer.start();
        form.ReadButtonClick();
        reads.push_back(double(timer.nsecsElapsed()) / 1e6);
        form.WriteButtonClick();
        walls.push_back(double(timer.nsecsElapsed()) / 1e6);
        pauses.push_back(double(pacer.pauseNs) / 1e6);
        events.push_back(double(pacer.eventsNs) / 1e6);
        floorMs = pacer.floorMs;
    }
    const double wall = MedianOf(walls);
    std::printf("read, show, compose, write: wall %.1f ms, floor %ld ms, ratio %.3f (best %.1f ms, %d runs)\n"
                "  of it: read and show %.1f ms, pauses %.1f ms, window events %.1f ms (medians)\n"
                "  ratio had the pauses slept exactly: %.3f (the rest is the machine's sleep overshoot)\n",
                wall, floorMs, wall / double(floorMs), *std::min_element(walls.begin(), walls.end()), repeats,
                MedianOf(reads), MedianOf(pauses), MedianOf(events),
                (wall - MedianOf(pauses) + double(floorMs)) / double(floorMs));
    if (dialogs.errors) {
        std::printf("%d error boxes\n", dialogs.errors);
        return 1;
    }
    return 0;
}
