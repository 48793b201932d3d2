// The device exchanges against the in-process simulated device, with pauses
// that really sleep. The floor of each exchange is the sum of the pauses the
// protocol asks for; wall/floor shows what the link code adds on top.
//   bench_link [repeats]   (default 5; the firmware case runs 2 times)

#include "benchkit.h"

#include "app/qtpacer.h"
#include "i18n/messagecatalogue.h"
#include "link/devicelink.h"
#include "link/simdevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

class SleepingPacer final : public Pacer {
public:
    explicit SleepingPacer(SimDevice &d) : device(d) {}
    void Pause(int milliseconds) override
    {
        device.Idle();
        floorMs += milliseconds;
        if (sleeps)
            real.Pause(milliseconds);
    }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    SimDevice &device;
    long floorMs = 0;
    bool sleeps = true;
    QtPacer real; // the program's own pause
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
    int repeats;
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

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
        {"settings-write", repeats, [&](LinkContext &l) { return WriteDeviceBlocks(l, 1, 7, settings); }},
        {"settings-read", repeats,
         [&](LinkContext &l) {
             std::vector<int> cells(256);
             return ReadDeviceBlocks(l, 1, 7, cells);
         }},
        {"registration-write", repeats, [&](LinkContext &l) { return WriteDeviceBlocks(l, 7, 0, registration); }},
        {"registration-read", repeats,
         [&](LinkContext &l) {
             std::vector<int> cells(1792);
             return ReadDeviceBlocks(l, 7, 0, cells);
         }},
        {"firmware-write-131082", 2, [&](LinkContext &l) { return WriteFirmware(l, firmware); }},
    };

    MeasureSleep(10, 50);
    MeasureSleep(25, 20);

    // What the link code itself costs, without the pauses.
    for (const Case &c : cases) {
        SimDevice device;
        SimTransport transport(device);
        SleepingPacer pacer(device);
        pacer.sleeps = false;
        QuietProgress progress;
        LinkContext link{transport, pacer, progress, catalogue};
        QElapsedTimer timer;
        timer.start();
        const int result = c.run(link);
        std::printf("%s without pauses: %.2f ms (result %d)\n", c.name, double(timer.nsecsElapsed()) / 1e6, result);
    }

    QStringList summary;
    bool allOk = true;
    for (const Case &c : cases) {
        std::vector<double> walls;
        long floorMs = 0;
        for (int r = 0; r < c.repeats; ++r) {
            SimDevice device;
            SimTransport transport(device);
            SleepingPacer pacer(device);
            QuietProgress progress;
            LinkContext link{transport, pacer, progress, catalogue};
            QElapsedTimer timer;
            timer.start();
            const int result = c.run(link);
            walls.push_back(double(timer.nsecsElapsed()) / 1e6);
            floorMs = pacer.floorMs;
            if (result != 0) {
                std::printf("%s: result %d\n", c.name, result);
                allOk = false;
            }
        }
        const double wall = MedianOf(walls);
        const double best = *std::min_element(walls.begin(), walls.end());
        summary << QStringLiteral("%1: wall %2 ms, floor %3 ms, ratio %4 (best %5 ms, %6 runs)")
                       .arg(QLatin1String(c.name))
                       .arg(wall, 0, 'f', 1)
                       .arg(floorMs)
                       .arg(wall / double(floorMs), 0, 'f', 3)
                       .arg(best, 0, 'f', 1)
                       .arg(c.repeats);
    }
    for (const QString &line : summary)
        std::printf("%s\n", qPrintable(line));
    return allOk ? 0 : 1;
}
