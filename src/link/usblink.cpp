#include "link/usblink.h"

#include "link/wiretrace.h"

#include <QDir>

#include <algorithm>

namespace rpu {

UsbLink::UsbLink(std::unique_ptr<DeviceBackend> backend, PipeErrorReporter reportPipeError)
    : backend_(std::move(backend)), reportPipeError_(std::move(reportPipeError))
{
}

UsbLink::UsbLink(std::unique_ptr<DeviceBackend> backend, ProblemReporter reportProblem)
    : backend_(std::move(backend)), reportProblem_(std::move(reportProblem))
{
}

UsbLink::~UsbLink()
{
    CloseUsbDevice();
}

bool UsbLink::OpenUsbDevice()
{
    std::vector<std::unique_ptr<DeviceInterface>> interfaces;
    if (backend_)
        interfaces = backend_->Enumerate();

    // The earlier device's handle must let go of its interface before the
    // new one claims it (usbfs refuses a second claim with busy). With
    // nothing found the old pipes stay as they were.
    const bool anyFound = std::any_of(interfaces.begin(), interfaces.end(),
                                      [](const auto &device) { return device != nullptr; });
    if (anyFound)
        CloseUsbDevice();

    lastProblem_ = {};
    int count = 0;
    for (auto &device : interfaces) {
        if (!device)
            continue;
        ++count;
        QString writeError;
        QString readError;
        auto writePipe = device->OpenPipe(PipeKind::Write, &writeError);
        auto readPipe = device->OpenPipe(PipeKind::Read, &readError);
        if (!writePipe || !readPipe) {
            // One box per device, with the text of the last failure.
            const QString text = !readPipe && !readError.isEmpty() ? readError : writeError;
            lastProblem_ = {device->LastOpenFault(), text};
            if (reportProblem_ && !text.isEmpty())
                reportProblem_(lastProblem_);
            else if (reportPipeError_ && !text.isEmpty())
                reportPipeError_(QStringLiteral("Error"), text);
        }
        // The later device's pipes replace the earlier ones, failed ones included.
        writePipe_ = std::move(writePipe);
        readPipe_ = std::move(readPipe);
    }

    deviceCount_ = count;
    if (count == 0 && backend_)
        lastProblem_ = backend_->EnumerateProblem();
    if (count >= 2) {
        writePipe_.reset();
        readPipe_.reset();
        return false;
    }
    if (count == 1 && !traceFolder_.isEmpty())
        StartTrace();
    FlushPipe(PipeKind::Write);
    FlushPipe(PipeKind::Read);
    return count == 1;
}

void UsbLink::SetTraceFolder(const QString &folder, TraceErrorReporter reportTraceError)
{
    traceFolder_ = folder;
    reportTraceError_ = std::move(reportTraceError);
}

void UsbLink::StartTrace()
{
    QString why;
    QDir().mkpath(traceFolder_); // when it cannot be made, creating the file says why
    const QString path = NewTraceFileName(traceFolder_);
    const std::shared_ptr<WireTrace> trace = WireTrace::Create(path, &why);
    if (trace)
        TracePipes(writePipe_, readPipe_, trace);
    else if (reportTraceError_)
        reportTraceError_(QDir::toNativeSeparators(path), why);
}

void UsbLink::CloseUsbDevice()
{
    writePipe_.reset();
    readPipe_.reset();
}

bool UsbLink::WriteByte(std::uint8_t byte)
{
    if (!writePipe_)
        return false;
    const std::uint8_t one[1] = {byte};
    return writePipe_->Write(std::span<const std::uint8_t>(one, 1));
}

bool UsbLink::WritePacket(std::span<const std::uint8_t, kPacketSize> packet)
{
    if (!writePipe_)
        return false;
    return writePipe_->Write(std::span<const std::uint8_t>(packet.data(), packet.size()));
}

bool UsbLink::ReadByte(std::uint8_t &byte)
{
    if (!readPipe_)
        return false;
    std::uint8_t one[1] = {byte};
    if (readPipe_->Read(std::span<std::uint8_t>(one, 1)) != 1)
        return false;
    byte = one[0];
    return true;
}

bool UsbLink::ReadPacket(std::span<std::uint8_t, kPacketSize> packet)
{
    if (!readPipe_)
        return false;
    // A short read still counts (the data checks above us decide); one that
    // delivered nothing is a device that did not answer.
    return readPipe_->Read(std::span<std::uint8_t>(packet.data(), packet.size())) > 0;
}

void UsbLink::FlushPipe(PipeKind pipe)
{
    Pipe *p = pipe == PipeKind::Write ? writePipe_.get() : readPipe_.get();
    if (p)
        p->Flush();
}

} // namespace rpu
