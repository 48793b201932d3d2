// Firmware update through the shown main window on the in-process simulated
// device: the pick (read, check, value buffer) and the write with the renewed
// link, as the user starts them. The pacer sleeps for real; the floor is the
// sum of the pauses the protocol asks for, so wall/floor shows what the
// program adds on top of them. By default an image of 2048 packets and the
// largest image a firmware file may hold (2 MiB: 32767 packets).
//   bench_firmware [packets ...]

#include "windowbench.h"

#include "app/pages/mainpage.h"
#include "firmware/firmwarefile.h"
#include "session/valuebuffer.h"

#include <QFile>
#include <QListWidget>
#include <cstdio>

using namespace rpu;
using namespace rpu::bench;

namespace {

bool RunOnce(int packets)
{
    // A device already past the file's version: nothing is offered on connect.
    ShownWindow w(60, Dialogs::Answer::Yes);
    const QByteArray image = MakeFirmwareImage(kSelaFirmwareTypeCode, 50, packets);
    QFile f(w.Folder() + QStringLiteral("/base/rpu_sela_5_0.bin"));
    if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size()) {
        std::fprintf(stderr, "cannot write the image\n");
        return false;
    }
    f.close();
    if (!w.Show()) {
        std::fprintf(stderr, "the window was never shown\n");
        return false;
    }
    auto *list = w.form->findChild<QListWidget *>(QStringLiteral("SoftUpdatesListBox"));
    w.form->ConnectButtonClick();
    ShownWindow::Drawn();
    if (!list || list->count() != 1 || !w.dialogs.texts.isEmpty()) {
        std::fprintf(stderr, "unexpected state after connect\n");
        return false;
    }

    const double pickMs = w.Timed([&] {
        list->setCurrentRow(0);
        w.form->Main().SoftUpdatesListBoxClick(); // as a click on the row
    });
    if (w.form->Buffer().Count() != image.size()) {
        std::fprintf(stderr, "file not accepted\n");
        return false;
    }
    const double cpuBefore = ProcessCpuMs();
    const double writeMs = w.Timed([&] { w.form->Main().WriteSWButtonClick(); });
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    if (w.device.AcceptedFirmwareLengths().empty() || w.device.VersionByte() != 50 || !w.dialogs.texts.isEmpty()) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(w.dialogs.texts.join(QStringLiteral("; "))));
        return false;
    }
    std::printf("firmware %d packets (%lld bytes): pick %.1f ms; write + renewed link: wall %.1f ms, "
                "floor %lld ms in %lld pauses, ratio %.4f (cpu %.1f ms; pauses took %.1f ms, "
                "%lld event calls (%lld rounds run) took %.1f ms; paints: %s; "
                "ratio had the pauses slept exactly %.4f)\n",
                packets, static_cast<long long>(image.size()), pickMs, writeMs,
                static_cast<long long>(w.pacer.floorMs), static_cast<long long>(w.pacer.pauses),
                writeMs / double(w.pacer.floorMs), cpuMs, double(w.pacer.pausedNs) / 1e6,
                static_cast<long long>(w.pacer.eventCalls), static_cast<long long>(w.pacer.Rounds()),
                double(w.pacer.eventsNs) / 1e6, qPrintable(w.paints.Summary()),
                (writeMs - double(w.pacer.pausedNs) / 1e6 + double(w.pacer.floorMs)) / double(w.pacer.floorMs));
    return true;
}

// The value buffer filled with a firmware-sized list while it is shown (F5):
// the slow case of the hidden list.
bool FillShownBuffer(int count)
{
    ShownWindow w(60);
    if (!w.Show())
        return false;
    w.form->Main().ToggleAuxiliary();
    ShownWindow::Drawn();
    std::vector<std::uint32_t> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        values[std::size_t(i)] = std::uint32_t(i % 256);
    const double ms = w.Timed([&] { w.form->Buffer().SetValues(values); });
    const double clearMs = w.Timed([&] { w.form->Buffer().Clear(); });
    std::printf("value buffer shown (F5): %d values in %.1f ms, cleared in %.1f ms\n", count, ms, clearMs);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    PrepareWindowBench(folder.path());
    QApplication app(argc, argv);
    std::printf("%s\n", qPrintable(PlatformLine()));
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.empty())
        sizes = {2048, int((kMaxFirmwareFileSize - 10) / 64)};
    bool ok = FillShownBuffer(131072);
    for (int packets : sizes)
        ok = RunOnce(packets) && ok;
    return ok ? 0 : 1;
}
