#pragma once
// What names one receiver for as long as it stays where it is plugged in: its
// USB port path, the socket it listens on, or its place in the built-in
// simulator. A position in the bus list is not one: it shifts whenever a
// receiver before it leaves.

#include <QString>
#include <cstdint>
#include <span>

namespace rpu {

// "usb:B-P1.P2..." as the kernel names the port (bus 1, hub port 1, port 4:
// "usb:1-1.4"). Without port numbers (a root hub) the bus address is all
// there is: "usb:B@A", which a re-plug changes.
QString UsbPortIdentity(int bus, std::span<const std::uint8_t> ports, int address);
// "socket:" and the path with "." and ".." resolved and made absolute, and
// through any symbolic link once the socket exists: two spellings of one
// socket are one receiver.
QString SocketIdentity(const QString &path);
// "simulator:#N", N from 1.
QString SimulatorIdentity(int index);

// What --device names: a number of the list, or a receiver by identity.
struct DeviceName {
    enum class Kind { Invalid, ListNumber, Identity };
    Kind kind = Kind::Invalid;
    int number = 0;   // Kind::ListNumber, from 1
    QString identity; // Kind::Identity, in the form the functions above give
};

// "3" is the third of the list; "usb:1-1.4" or a bare "1-1.4" a USB port;
// "socket:PATH" or a bare absolute or "./" path a socket; "simulator:#2".
// Anything else is Invalid.
DeviceName ParseDeviceName(const QString &text);

} // namespace rpu
