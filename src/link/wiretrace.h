#pragma once
// Wire traces: every transfer on a device's two pipes written to a capture
// file in the format Linux usbmon captures have (pcapng, link type 220), so
// Wireshark reads it and umockdev can replay it into the libusb backend.
//
// Each pipe call is one URB, whatever the transport: a write is a bulk OUT of
// its bytes (submit, then complete), a read a bulk IN of one packet, the
// buffer the libusb backend asks for, completed with what the call delivered,
// or discarded (-ENOENT) when nothing came. A capture recorded against the
// simulator therefore replays through libusb URB for URB. Flushes are not
// recorded: the libusb backend's drain is an IN with a 5 ms wait that
// normally finds nothing, and a replay that had to match it would depend on
// how busy the machine is; unmatched, it simply times out.

#include "link/transport.h"

#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace rpu {

// The addresses written into every record. umockdev replays only records
// whose bus and device numbers match its device file; these are the ones of
// tests/captures/rpu.umockdev, and the endpoints are the FX2 defaults.
struct WireTraceAddress {
    std::uint16_t bus = 1;
    std::uint8_t device = 2;
    std::uint8_t outEndpoint = 0x02;
    std::uint8_t inEndpoint = 0x86;
};

// One capture file, shared by the two pipes of one device. Every record is
// flushed as it is written, so a crash keeps what was captured.
class WireTrace {
public:
    // Null with *error set to the system's reason when the file cannot be created.
    static std::shared_ptr<WireTrace> Create(const QString &path, QString *error,
                                             WireTraceAddress address = {});

    // Microseconds since the epoch.
    static std::int64_t Now();

    // status: 0, or the negative errno the kernel would report.
    void Out(std::span<const std::uint8_t> bytes, int status, std::int64_t submitted, std::int64_t completed);
    void In(int requested, std::span<const std::uint8_t> bytes, int status, std::int64_t submitted,
            std::int64_t completed);

    QString Path() const { return file_.fileName(); }
    // False once a record could not be written (disk full): the trace is
    // then incomplete.
    bool Intact() const { return intact_; }

private:
    WireTrace(WireTraceAddress address) : address_(address) {}
    void Record(std::uint8_t event, std::uint8_t endpoint, std::uint64_t id, int status, int urbLength,
                std::span<const std::uint8_t> data, std::int64_t micros);
    void WriteBlock(const QByteArray &block);

    std::mutex mutex_;
    QFile file_;
    WireTraceAddress address_;
    std::uint64_t nextId_ = 1;
    bool intact_ = true;
};

// A pipe that writes every transfer to a trace before handing back its result.
std::unique_ptr<Pipe> TracePipe(std::unique_ptr<Pipe> inner, std::shared_ptr<WireTrace> trace);

// Both pipes of one device through the trace; null pipes stay null.
void TracePipes(std::unique_ptr<Pipe> &writePipe, std::unique_ptr<Pipe> &readPipe,
                const std::shared_ptr<WireTrace> &trace);

// One usbmon record of a capture.
struct WireRecord {
    std::uint64_t id = 0;      // the URB: its submit and completion share it
    std::int64_t micros = 0;   // since the epoch
    char event = 0;            // 'S' submit, 'C' complete, 'E' error
    std::uint8_t type = 0;     // 3 bulk
    std::uint8_t endpoint = 0; // 0x80 bit: IN
    std::uint8_t device = 0;
    std::uint16_t bus = 0;
    std::int32_t status = 0;
    std::uint32_t urbLength = 0; // buffer asked for (submit), bytes moved (completion)
    QByteArray data;
};

// The usbmon records of a pcap or pcapng file (link type 220; records of
// other link types are left out). Nothing, with *error set, when the file
// cannot be read or is neither.
std::optional<std::vector<WireRecord>> ReadWireTrace(const QString &path, QString *error);

// "rpu-YYYYMMDD-HHMMSS.pcapng" in folder for the local time now; "-2", "-3", ...
// before the suffix when that name is taken.
QString NewTraceFileName(const QString &folder);

// The trace file of device number index (from 1) when several devices are
// traced at once: "t.pcapng" becomes "t-2.pcapng".
QString NumberedTraceFileName(const QString &path, int index);

} // namespace rpu
