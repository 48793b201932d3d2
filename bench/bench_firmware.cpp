// Firmware update of a 128 KiB-class image on the in-process simulated
// device, through the main window: the pick (read, check, value buffer) and
// the write with the renewed link. The pacer sleeps for real; the floor is the
// sum of the pauses the protocol asks for, so wall/floor shows what the
// program adds on top of them.
//   bench_firmware [packets]   (default 2047: 131018 bytes)

#include "benchkit.h"

#include "app/appservices.h"
#include "app/dialogs.h"
#include "app/mainform.h"
#include "app/pages/mainpage.h"
#include "session/valuebuffer.h"
#include "app/qtpacer.h"
#include "firmware/firmwarefile.h"
#include "i18n/messagecatalogue.h"
#include "link/simbackend.h"
#include "link/simdevice.h"
#include "link/usblink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <cstdio>

using namespace rpu;
using namespace rpu::bench;

namespace {

class CountingPacer final : public Pacer {
public:
    void Pause(int milliseconds) override
    {
        pausedMs += milliseconds;
        ++pauses;
        real.Pause(milliseconds);
    }
    void ProcessEvents() override
    {
        ++eventRounds;
        real.ProcessEvents();
    }
    void Reset() { pausedMs = pauses = eventRounds = 0; }
    long pausedMs = 0;
    long pauses = 0;
    long eventRounds = 0;

private:
    QtPacer real;
};

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    PrepareWindowBench(folder.path());
    QApplication app(argc, argv);
    const int packets = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2047;

    const QString programPath = folder.path() + QStringLiteral("/dorel-rpu-sela");
    // A device already past the file's version: nothing is offered on connect.
    SimDevice device(60);
    UsbLink link(std::make_unique<SimBackend>(device, 1));
    CountingPacer pacer;
    QuietDialogs dialogs(Dialogs::Answer::Yes);
    MessageCatalogue catalogue;
    LoadMessageCatalogue(catalogue, QStringLiteral("RU"), programPath);
    TMainForm form(MakeAppServices(programPath, dialogs, pacer, link, catalogue));

    const QByteArray image = MakeFirmwareImage(kSelaFirmwareTypeCode, 50, packets);
    {
        QFile f(folder.path() + QStringLiteral("/base/rpu_sela_5_0.bin"));
        if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size()) {
            std::fprintf(stderr, "cannot write the image\n");
            return 1;
        }
    }

    auto *list = form.findChild<QListWidget *>(QStringLiteral("SoftUpdatesListBox"));
    form.ConnectButtonClick();
    if (list->count() != 1 || !dialogs.texts.isEmpty()) {
        std::fprintf(stderr, "unexpected state after connect\n");
        return 1;
    }

    pacer.Reset();
    QElapsedTimer timer;
    timer.start();
    list->setCurrentRow(0);
    form.Main().SoftUpdatesListBoxClick(); // as a click on the row
    const double parseMs = timer.nsecsElapsed() / 1e6;
    const long parseRounds = pacer.eventRounds;
    if (form.Buffer().Count() != image.size()) {
        std::fprintf(stderr, "file not accepted\n");
        return 1;
    }

    pacer.Reset();
    timer.restart();
    form.Main().WriteSWButtonClick();
    const double writeMs = timer.nsecsElapsed() / 1e6;
    const long floorMs = pacer.pausedMs;
    if (device.AcceptedFirmwareLengths().empty() || device.VersionByte() != 50
        || !dialogs.texts.isEmpty()) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(dialogs.texts.join(QStringLiteral("; "))));
        return 1;
    }

    const double totalMs = parseMs + writeMs;
    std::printf("image: %lld bytes (%d packets)\n", static_cast<long long>(image.size()), packets);
    std::printf("pick (read, check, %lld values): %.1f ms, %ld event rounds\n",
                static_cast<long long>(image.size()), parseMs, parseRounds);
    std::printf("write + renewed link: wall %.1f ms, floor %ld ms in %ld pauses, wall/floor %.3f\n",
                writeMs, floorMs, pacer.pauses, writeMs / floorMs);
    std::printf("pick + write: wall %.1f ms, floor %ld ms, wall/floor %.3f (target <= 1.05)\n",
                totalMs, floorMs, totalMs / floorMs);
    return 0;
}
