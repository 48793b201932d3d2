#include "support/recording.h"

namespace rpu::test {

namespace {
QString Hex(std::uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }
} // namespace

bool RecordingTransport::NextWriteFails()
{
    const bool fails = failWritesFrom >= 0 && writeCalls_ >= failWritesFrom;
    ++writeCalls_;
    return fails;
}

bool RecordingTransport::NextReadFails()
{
    const bool fails = failReadsFrom >= 0 && readCalls_ >= failReadsFrom;
    ++readCalls_;
    return fails;
}

bool RecordingTransport::WriteByte(std::uint8_t byte)
{
    bool ok = !NextWriteFails();
    if (ok) {
        if (device_)
            device_->Receive(std::span<const std::uint8_t>(&byte, 1)), ok = !device_->LinkDropped();
        else if (inner_)
            ok = inner_->WriteByte(byte);
    }
    log_.push_back({WireEvent::WriteByte, {byte}, 0, ok});
    return ok;
}

bool RecordingTransport::WritePacket(std::span<const std::uint8_t, kPacketSize> packet)
{
    bool ok = !NextWriteFails();
    if (ok) {
        if (device_)
            device_->Receive(packet), ok = !device_->LinkDropped();
        else if (inner_)
            ok = inner_->WritePacket(packet);
    }
    log_.push_back({WireEvent::WritePacket, {packet.begin(), packet.end()}, 0, ok});
    return ok;
}

bool RecordingTransport::ReadByte(std::uint8_t &byte)
{
    std::uint8_t got = 0;
    int count = 0;
    bool ok = !NextReadFails();
    if (ok) {
        if (device_) {
            if (device_->Pending() == 0)
                device_->Idle();
            count = device_->Take(std::span<std::uint8_t>(&got, 1));
            ok = count == 1;
        } else if (inner_) {
            ok = inner_->ReadByte(got);
            count = ok ? 1 : 0;
        } else if (!replies_.empty()) {
            got = replies_.front();
            replies_.pop_front();
            count = 1;
        } else {
            ok = false;
        }
    }
    if (ok)
        byte = got;
    log_.push_back({WireEvent::ReadByte, count ? std::vector<std::uint8_t>{got} : std::vector<std::uint8_t>{}, 0, ok});
    return ok;
}

bool RecordingTransport::ReadPacket(std::span<std::uint8_t, kPacketSize> packet)
{
    std::vector<std::uint8_t> got;
    bool ok = !NextReadFails();
    if (ok) {
        if (device_) {
            if (device_->LinkDropped()) {
                ok = false;
            } else {
                if (device_->Pending() == 0)
                    device_->Idle();
                got.resize(kPacketSize);
                got.resize(device_->Take(got));
            }
        } else if (inner_) {
            std::array<std::uint8_t, kPacketSize> buffer{};
            std::copy(packet.begin(), packet.end(), buffer.begin());
            ok = inner_->ReadPacket(buffer);
            if (ok)
                got.assign(buffer.begin(), buffer.end());
        } else {
            while (!replies_.empty() && got.size() < kPacketSize) {
                got.push_back(replies_.front());
                replies_.pop_front();
            }
        }
    }
    if (ok)
        std::copy(got.begin(), got.end(), packet.begin());
    log_.push_back({WireEvent::ReadPacket, got, 0, ok});
    return ok;
}

void RecordingTransport::FlushPipe(PipeKind pipe)
{
    if (inner_)
        inner_->FlushPipe(pipe);
    else if (device_ && pipe == PipeKind::Read)
        device_->DiscardOutput();
    log_.push_back({WireEvent::Flush, {}, pipe == PipeKind::Write ? 0 : 1, true});
}

void RecordingTransport::Pause(int milliseconds)
{
    if (device_)
        device_->Idle();
    log_.push_back({WireEvent::Pause, {}, milliseconds, true});
}

void RecordingTransport::ProcessEvents()
{
    log_.push_back({WireEvent::Events, {}, 0, true});
    if (onProcessEvents)
        onProcessEvents();
}

void RecordingTransport::Reply(std::initializer_list<std::uint8_t> bytes)
{
    replies_.insert(replies_.end(), bytes.begin(), bytes.end());
}

void RecordingTransport::Reply(std::span<const std::uint8_t> bytes)
{
    replies_.insert(replies_.end(), bytes.begin(), bytes.end());
}

QStringList RecordingTransport::Trace() const
{
    QStringList lines;
    for (const WireEvent &e : log_) {
        QString line;
        switch (e.kind) {
        case WireEvent::WriteByte: line = QStringLiteral("W ") + Hex(e.bytes.at(0)); break;
        case WireEvent::WritePacket: line = QStringLiteral("WP %1").arg(e.bytes.size()); break;
        case WireEvent::ReadByte: line = e.bytes.empty() ? QStringLiteral("R -") : QStringLiteral("R ") + Hex(e.bytes.at(0)); break;
        case WireEvent::ReadPacket: line = QStringLiteral("RP %1").arg(e.bytes.size()); break;
        case WireEvent::Flush: line = e.value == 0 ? QStringLiteral("F w") : QStringLiteral("F r"); break;
        case WireEvent::Pause: line = QStringLiteral("P %1").arg(e.value); break;
        case WireEvent::Events: line = QStringLiteral("E"); break;
        }
        if (!e.ok)
            line += QStringLiteral(" !");
        lines << line;
    }
    return lines;
}

QStringList RecordingTransport::WireTrace() const
{
    QStringList lines;
    for (const QString &line : Trace()) {
        if (line.startsWith(QLatin1Char('W')) || line.startsWith(QLatin1Char('R')))
            lines << line;
    }
    return lines;
}

std::vector<std::uint8_t> RecordingTransport::WrittenBytes() const
{
    std::vector<std::uint8_t> bytes;
    for (const WireEvent &e : log_) {
        if ((e.kind == WireEvent::WriteByte || e.kind == WireEvent::WritePacket) && e.ok)
            bytes.insert(bytes.end(), e.bytes.begin(), e.bytes.end());
    }
    return bytes;
}

int RecordingTransport::TotalPauseMs() const
{
    int total = 0;
    for (const WireEvent &e : log_) {
        if (e.kind == WireEvent::Pause)
            total += e.value;
    }
    return total;
}

Dialogs::Answer ScriptedDialogs::MessageBox(QWidget *, const QString &title, const QString &text,
                                            Icon icon, Buttons buttons)
{
    boxes.push_back({title, text, icon, buttons});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty())
        return Answer::Yes;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedDialogs::OpenFileName(QWidget *, const QString &title, const QString &folder, const QString &,
                                      const QString &startName)
{
    fileDialogTitles << title;
    fileDialogNames << startName;
    fileDialogFolders << folder;
    if (paths.empty())
        return {};
    const QString p = paths.front();
    paths.pop_front();
    return p;
}

QString ScriptedDialogs::SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                                      const QString &suggestedName, const QString &filter,
                                      const QString &)
{
    return OpenFileName(owner, title, folder, filter, suggestedName);
}

QStringList ScriptedDialogs::BoxTexts() const
{
    QStringList texts;
    for (const Shown &s : boxes)
        texts << s.text;
    return texts;
}

} // namespace rpu::test
