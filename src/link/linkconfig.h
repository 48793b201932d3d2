#pragma once
// Which device the program talks to, from the configuration file's section
// "Device".

#include "link/transport.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace rpu {

class SimDevice;

// The answer time-out of "ReadTimeoutMs"; a value outside is clamped with a warning.
inline constexpr int kMinReadTimeoutMs = 50;
inline constexpr int kMaxReadTimeoutMs = 60000;

struct LinkConfig {
    enum class Kind { Usb, Simulator, Socket, SocketDir };
    Kind kind = Kind::Usb;
    QString socketPath;                                            // Kind::Socket
    QString socketDir;                                             // Kind::SocketDir: every socket in it
    std::vector<std::pair<std::uint16_t, std::uint16_t>> usbIds;   // vendor, product
    int readTimeoutMs = 2000;
    int simDevices = 1;          // in-process simulator: 0, 1 or 2 devices
    int simVersion = 46;         // in-process simulator: firmware version byte
    QString traceFolder;         // set: the window records each connect's traffic there
    QStringList warnings;        // entries that could not be understood
};

LinkConfig ReadLinkConfig(const QString &iniPath);

// "usb", "simulator", "socket:PATH" or "socket-dir:DIR" (the kind in any case), as in the
// configuration file and on the command line; the rest (USB ids, timeouts)
// comes from base. Nothing, with *why saying what is wrong, for anything else.
std::optional<LinkConfig> ParseTransport(const QString &text, const LinkConfig &base, QString *why);
// Every kind but Usb talks to a simulated receiver.
inline bool IsSimulated(const LinkConfig &config) { return config.kind != LinkConfig::Kind::Usb; }

// The environment variable that names the transport for one run, over the
// configuration file's: "RPU_TRANSPORT=simulator" tries the program without
// making the simulator the configured device.
inline constexpr char kTransportVariable[] = "RPU_TRANSPORT";
// Takes transport (a "Transport" value) over the configured one; an empty
// text leaves it, an unusable one leaves it with a warning.
void ApplyTransportOverride(LinkConfig &config, const QString &transport);

// The backend the settings ask for. inProcessDevice serves Kind::Simulator.
std::unique_ptr<DeviceBackend> MakeDeviceBackend(const LinkConfig &settings,
                                                 SimDevice *inProcessDevice);

} // namespace rpu
