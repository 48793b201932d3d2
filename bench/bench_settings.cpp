// The settings pages on the shown window: compose and show of each page on
// its own; the round trip of "Считать" and "Записать" against the in-process
// simulated device with pauses that really sleep (the floor is the sum of the
// pauses the protocol asks for); and the page change as the user clicks a
// tab, timed until the page is drawn.
//   bench_settings [repeats]   (default 10)

#include "windowbench.h"

#include "app/pageflow.h"
#include "app/pages/settingspage.h"

#include <QComboBox>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace rpu;
using namespace rpu::bench;

namespace {

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

bool RoundTrip(int repeats)
{
    ShownWindow w(104);
    if (!w.Show())
        return false;
    TMainForm &form = *w.form;
    form.ConnectButtonClick();
    form.Flow().SetPageTabVisible(PageId::RelaySettings, true);
    form.Flow().SetActivePage(PageId::RelaySettings);
    form.MainPageCChange();
    ShownWindow::Drawn();

    auto *relay = form.findChild<SettingsPage *>(QStringLiteral("ReleSettingsTabSh"));
    auto *rpu = form.findChild<SettingsPage *>(QStringLiteral("ReleSettingsTabRPU"));
    SettingsImage busy = FactorySettingsImage();
    busy[42] = 7, busy[43] = 6, busy[44] = 4, busy[26] = 2, busy[21] = 7;
    for (int j = 0; j < 24; ++j)
        busy[50 + j] = quint32(j * 17) & 0x77;
    busy[77] = 7, busy[93] = 7, busy[94] = 5, busy[95] = 4;
    ComposeAndShow(*relay, busy, 200);
    ComposeAndShow(*rpu, busy, 200);

    std::vector<double> walls, cpus;
    qint64 floorMs = 0;
    for (int r = 0; r < repeats; ++r) {
        const double cpuBefore = ProcessCpuMs();
        walls.push_back(w.Timed([&] {
            form.ReadButtonClick();
            form.WriteButtonClick();
        }));
        cpus.push_back(ProcessCpuMs() - cpuBefore);
        floorMs = w.pacer.floorMs;
    }
    const double wall = MedianOf(walls);
    std::printf("read, show, compose, write: wall %.1f ms, floor %lld ms, ratio %.3f (cpu %.1f ms, best %.1f ms, "
                "%d runs; paints: %s)\n",
                wall, static_cast<long long>(floorMs), wall / double(floorMs), MedianOf(cpus),
                *std::min_element(walls.begin(), walls.end()), repeats, qPrintable(w.paints.Summary()));
    if (w.dialogs.errors) {
        std::printf("%d error boxes\n", w.dialogs.errors);
        return false;
    }
    return true;
}

// Demo mode, every page offered: a click on each tab in turn, timed until
// the window has drawn the new page. The first visit of each page is
// reported apart.
bool PageChanges(int rounds)
{
    ShownWindow w(46);
    if (!w.Show())
        return false;
    TMainForm &form = *w.form;
    auto *tabs = form.findChild<QTabWidget *>(QStringLiteral("MainPageC"));
    form.Flow().SetActivePage(PageId::Main);
    // Demo, as the work-mode combo box chooses it.
    form.Flow().RunGuarded([&] {
        if (auto *mode = form.findChild<QComboBox *>(QStringLiteral("OperModeCmB"))) {
            mode->setCurrentIndex(0);
            form.OperModeCmBChange();
        }
    });
    for (PageId page : {PageId::Backup, PageId::RelaySettings, PageId::RpuSettings})
        form.Flow().SetPageTabVisible(page, true);
    ShownWindow::Drawn();
    std::vector<double> first, later, cpus, handlers;
    for (int r = 0; r <= rounds; ++r) {
        for (int index : {1, 2, 3, 0}) {
            const double cpuBefore = ProcessCpuMs();
            QElapsedTimer handler;
            const double ms = w.Timed([&] {
                handler.start();
                tabs->tabBar()->setCurrentIndex(index);
                if (r > 0)
                    handlers.push_back(double(handler.nsecsElapsed()) / 1e6);
            });
            (r == 0 ? first : later).push_back(ms);
            if (r > 0)
                cpus.push_back(ProcessCpuMs() - cpuBefore);
        }
    }
    std::printf("page change with paint: median %.2f ms (cpu %.2f ms, the change alone %.2f ms, %zu changes), "
                "first visits %.2f ms (slowest %.2f ms)\n",
                MedianOf(later), MedianOf(cpus), MedianOf(handlers), later.size(), MedianOf(first),
                *std::max_element(first.begin(), first.end()));
    return w.dialogs.errors == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    PrepareWindowBench(folder.path());
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    std::printf("%s\n", qPrintable(PlatformLine()));
    const bool trip = RoundTrip(repeats);
    const bool pages = PageChanges(20);
    return trip && pages ? 0 : 1;
}
