// The device exchanges: first what the link code costs on its own (no
// pauses, no window), then each transfer as the user starts it, on the shown
// window against the in-process simulated device with pauses that really
// sleep. The floor of a transfer is the sum of the pauses the protocol asks
// for; wall/floor shows what the program adds on top.
//   bench_link [repeats]   (default 5)

#include "windowbench.h"

#include "app/pageflow.h"
#include "link/devicelink.h"
#include "settings/outputpresets.h"
#include "settings/settingsimage.h"

#include <algorithm>
#include <numeric>
#include <cstdio>
#include <functional>

using namespace rpu;
using namespace rpu::bench;

namespace {

// The two pipes straight onto the device, with no recording.
class SimTransport final : public Transport {
public:
    explicit SimTransport(SimDevice &d) : device(d) {}
    bool WriteByte(std::uint8_t byte) override
    {
        device.Receive(std::span<const std::uint8_t>(&byte, 1));
        return !device.LinkDropped();
    }
    bool WritePacket(std::span<const std::uint8_t, kPacketSize> packet) override
    {
        device.Receive(packet);
        return !device.LinkDropped();
    }
    bool ReadByte(std::uint8_t &byte) override
    {
        if (device.Pending() == 0)
            device.Idle();
        return device.Take(std::span<std::uint8_t>(&byte, 1)) == 1;
    }
    bool ReadPacket(std::span<std::uint8_t, kPacketSize> packet) override
    {
        if (device.LinkDropped())
            return false;
        if (device.Pending() == 0)
            device.Idle();
        device.Take(packet);
        return true;
    }
    void FlushPipe(PipeKind pipe) override
    {
        if (pipe == PipeKind::Read)
            device.DiscardOutput();
    }
    SimDevice &device;
};

// The device sees the quiet spell a pause would give it; nothing sleeps.
class NoPauses final : public Pacer {
public:
    explicit NoPauses(SimDevice &d) : device(d) {}
    void Pause(int) override { device.Idle(); }
    void ProcessEvents() override {}
    SimDevice &device;
};

// Formats the texts as the window would, and shows nothing.
class QuietProgress final : public ProgressSink {
public:
    void SetProgress(int percent) override { last = percent; }
    void ShowStatus(const QString &text) override { chars += text.size(); }
    int last = 0;
    long chars = 0;
};

struct Case {
    const char *name;
    std::function<int(LinkContext &)> run;
};

// How long the program's pause of ms really takes here.
void MeasureSleep(int ms, int times)
{
    std::vector<double> took;
    QtPacer pacer;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer t;
        t.start();
        pacer.Pause(ms);
        took.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    const double mean = std::accumulate(took.begin(), took.end(), 0.0) / double(took.size());
    std::printf("pause(%d): mean %.3f ms, median %.3f ms, max %.3f ms (overshoot %.3f ms)\n", ms, mean,
                MedianOf(took), *std::max_element(took.begin(), took.end()), mean - ms);
}

struct WindowCase {
    const char *name;
    PageId page;
    bool write;
    bool newValues; // a read finds other values than the window shows
};

// Two settings blocks that differ on the first output's tab, the one in
// view: each read shows values other than those on the page.
std::array<SettingsImage, 2> AlternateSettings()
{
    std::array<SettingsImage, 2> images{FactorySettingsImage(), FactorySettingsImage()};
    RelaySection changed = ReadRelaySection(images[1]);
    RelayOutput &first = changed.outputs[0];
    if (const std::optional<OutputPreset> preset = RelayModePreset(OutputMode::Alarm, true))
        ApplyPreset(*preset, OutputMode::Alarm, first);
    first.bindings.flip();
    WriteRelaySection(changed, images[1]);
    return images;
}

// The status shows another text than the transfer leaves. With newValues,
// what a read finds differs from what the window shows too: the settings
// block and the registration memory alternate.
void ChangeWhatAReadFinds(ShownWindow &w, int run, bool newValues)
{
    static const std::array<SettingsImage, 2> settings = AlternateSettings();
    if (newValues) {
        auto &memory = w.device.Memory();
        const SettingsImage &image = settings[run % 2];
        for (std::size_t i = 0; i < image.size(); ++i)
            memory[kSettingsFirstBlock * 256 + i] = std::uint8_t(image[i]);
        for (int i = 0; i < kSettingsFirstBlock * 256; ++i)
            memory[i] = std::uint8_t(i * 7 + run);
    }
    w.form->ShowStatus(QStringLiteral("run %1").arg(run));
    ShownWindow::Drawn();
}

// The least a transfer leaves to draw: a new status text, on its own.
double StatusTextDrawnMs(ShownWindow &w, int repeats)
{
    std::vector<double> times;
    for (int r = 0; r < repeats; ++r) {
        ShownWindow::Drawn();
        times.push_back(w.Timed([&] { w.form->ShowStatus(QStringLiteral("text %1").arg(r)); }));
    }
    return MedianOf(times);
}

// One transfer as the user starts it: the button's handler on the page in
// view of the shown window, until the window has drawn what it left.
void RunWindowCases(int repeats, QStringList &summary, bool &allOk)
{
    ShownWindow w(46);
    if (!w.Show()) {
        std::printf("the window was never shown\n");
        allOk = false;
        return;
    }
    w.form->ConnectButtonClick();
    ShownWindow::Drawn();
    // Read before write: the registration write sends what was read. A read
    // on entering a page finds new values; "Считать" then mostly finds
    // those the page shows.
    const WindowCase cases[] = {
        {"settings-read", PageId::RelaySettings, false, false},
        {"settings-read-new-values", PageId::RelaySettings, false, true},
        {"settings-write", PageId::RelaySettings, true, false},
        {"registration-read", PageId::Backup, false, false},
        {"registration-read-new-values", PageId::Backup, false, true},
        {"registration-write", PageId::Backup, true, false},
    };
    summary << QStringLiteral("a new status text drawn: median %1 ms (%2 runs)")
                   .arg(StatusTextDrawnMs(w, 4 * repeats), 0, 'f', 3)
                   .arg(4 * repeats);
    for (const WindowCase &c : cases) {
        w.form->Flow().SetPageTabVisible(c.page, true);
        w.form->Flow().SetActivePage(c.page);
        ShownWindow::Drawn();
        std::vector<double> walls, cpus, exact, outside, rounds, after, handlers;
        qint64 floorMs = 0;
        QString paints;
        for (int r = 0; r < repeats; ++r) {
            ChangeWhatAReadFinds(w, r, c.newValues);
            const int errorsBefore = w.dialogs.errors;
            const double cpuBefore = ProcessCpuMs();
            double handlerMs = 0;
            walls.push_back(w.Timed([&] {
                QElapsedTimer handler;
                handler.start();
                if (c.write)
                    w.form->WriteButtonClick();
                else
                    w.form->ReadButtonClick();
                handlerMs = double(handler.nsecsElapsed()) / 1e6;
            }));
            handlers.push_back(handlerMs);
            // Where the wall beyond the pauses went: in the handler outside
            // the pauses (event rounds apart), and drawing after it.
            rounds.push_back(double(w.pacer.eventsNs) / 1e6);
            outside.push_back(handlerMs - double(w.pacer.pausedNs) / 1e6 - rounds.back());
            after.push_back(walls.back() - handlerMs);
            cpus.push_back(ProcessCpuMs() - cpuBefore);
            floorMs = w.pacer.floorMs;
            exact.push_back(walls.back() - double(w.pacer.pausedNs) / 1e6 + double(floorMs));
            paints = w.paints.Summary();
            if (w.dialogs.errors != errorsBefore) {
                std::printf("%s: %s\n", c.name, qPrintable(w.dialogs.texts.value(w.dialogs.texts.size() - 1)));
                allOk = false;
            }
        }
        const double wall = MedianOf(walls);
        summary << QStringLiteral("%1: wall %2 ms, floor %3 ms, ratio %4 (cpu %5 ms, best %6 ms, %7 runs; "
                                  "paints: %8; ratio had the pauses slept exactly %9; beyond the pauses: "
                                  "%10 ms handler, %11 ms event rounds, %12 ms drawing after; "
                                  "to the end of the handler %13)")
                       .arg(QLatin1String(c.name))
                       .arg(wall, 0, 'f', 2)
                       .arg(floorMs)
                       .arg(wall / double(floorMs), 0, 'f', 3)
                       .arg(MedianOf(cpus), 0, 'f', 2)
                       .arg(*std::min_element(walls.begin(), walls.end()), 0, 'f', 2)
                       .arg(repeats)
                       .arg(paints)
                       .arg(MedianOf(exact) / double(floorMs), 0, 'f', 3)
                       .arg(MedianOf(outside), 0, 'f', 2)
                       .arg(MedianOf(rounds), 0, 'f', 2)
                       .arg(MedianOf(after), 0, 'f', 2)
                       .arg(MedianOf(handlers) / double(floorMs), 0, 'f', 3);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    PrepareWindowBench(folder.path());
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    std::printf("%s\n", qPrintable(PlatformLine()));

    MessageCatalogue catalogue;
    LoadMessageCatalogue(catalogue, QStringLiteral("RU"), QCoreApplication::applicationFilePath());

    std::vector<int> settings(256), registration(1792);
    for (std::size_t i = 0; i < settings.size(); ++i)
        settings[i] = int(i * 3 % 256);
    for (std::size_t i = 0; i < registration.size(); ++i)
        registration[i] = int(i * 7 % 256);
    // 10 + 64 * 2048 = 131082 bytes.
    std::vector<std::uint8_t> firmware(10 + 64 * 2048, 0x5A);
    firmware[0] = firmware[1] = 0x55;
    firmware[2] = SimDevice::kSelaTypeCode;
    firmware[3] = 47;

    const std::vector<Case> cases{
        {"settings-write", [&](LinkContext &l) { return WriteDeviceBlocks(l, 1, 7, settings); }},
        {"settings-read",
         [&](LinkContext &l) {
             std::vector<int> cells(256);
             return ReadDeviceBlocks(l, 1, 7, cells);
         }},
        {"registration-write", [&](LinkContext &l) { return WriteDeviceBlocks(l, 7, 0, registration); }},
        {"registration-read",
         [&](LinkContext &l) {
             std::vector<int> cells(1792);
             return ReadDeviceBlocks(l, 7, 0, cells);
         }},
        {"firmware-write-131082", [&](LinkContext &l) { return WriteFirmware(l, firmware); }},
    };

    MeasureSleep(10, 50);
    MeasureSleep(25, 20);

    // What the link code itself costs, without the pauses and without a window.
    for (const Case &c : cases) {
        SimDevice device;
        SimTransport transport(device);
        NoPauses pacer(device);
        QuietProgress progress;
        LinkContext link{transport, pacer, progress, catalogue};
        QElapsedTimer timer;
        timer.start();
        const int result = c.run(link);
        std::printf("%s without pauses: %.2f ms (result %d)\n", c.name, double(timer.nsecsElapsed()) / 1e6, result);
    }

    QStringList summary;
    bool allOk = true;
    RunWindowCases(repeats, summary, allOk);
    for (const QString &line : summary)
        std::printf("%s\n", qPrintable(line));
    return allOk ? 0 : 1;
}
