#pragma once
// Test doubles: a transport and pacer that record every call in one log, a
// progress sink, and dialogs with scripted answers.

#include "app/dialogs.h"
#include "link/simdevice.h"
#include "link/transport.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace rpu::test {

struct WireEvent {
    enum Kind { WriteByte, WritePacket, ReadByte, ReadPacket, Flush, Pause, Events };
    Kind kind;
    std::vector<std::uint8_t> bytes; // written, or delivered by a read
    int value = 0;                   // pause ms; flushed pipe (0 write, 1 read)
    bool ok = true;
};

// Records the wire and the pauses. Answers reads from, in this order of
// preference: a simulated device, an inner transport, or scripted bytes.
class RecordingTransport final : public Transport, public Pacer {
public:
    RecordingTransport() = default;
    explicit RecordingTransport(SimDevice *device) : device_(device) {}
    explicit RecordingTransport(Transport *inner) : inner_(inner) {}

    bool WriteByte(std::uint8_t byte) override;
    bool WritePacket(std::span<const std::uint8_t, kPacketSize> packet) override;
    bool ReadByte(std::uint8_t &byte) override;
    bool ReadPacket(std::span<std::uint8_t, kPacketSize> packet) override;
    void FlushPipe(PipeKind pipe) override;
    void Pause(int milliseconds) override;
    void ProcessEvents() override;

    // Scripted answer bytes (used when there is neither device nor inner transport).
    void Reply(std::initializer_list<std::uint8_t> bytes);
    void Reply(std::span<const std::uint8_t> bytes);
    // Fail the write call number n (0-based, bytes and packets counted
    // together) and every later one; -1 never.
    int failWritesFrom = -1;
    // Fail the read call number n and every later one; -1 never.
    int failReadsFrom = -1;
    // Runs on every ProcessEvents, as a user acting while a transfer runs.
    std::function<void()> onProcessEvents;

    const std::vector<WireEvent> &Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    // One line per event, e.g. "W 55", "WP 64", "R 55", "RP 64", "F w", "P 10", "E".
    QStringList Trace() const;
    // Only the writes and reads ("W .."/"WP .."/"R .."/"RP .."), without flushes, pauses, events.
    QStringList WireTrace() const;
    std::vector<std::uint8_t> WrittenBytes() const;
    int TotalPauseMs() const;
    int WriteCalls() const { return writeCalls_; }
    int ReadCalls() const { return readCalls_; }

private:
    bool NextWriteFails();
    bool NextReadFails();
    SimDevice *device_ = nullptr;
    Transport *inner_ = nullptr;
    std::deque<std::uint8_t> replies_;
    std::vector<WireEvent> log_;
    int writeCalls_ = 0;
    int readCalls_ = 0;
};

class RecordingProgress final : public ProgressSink {
public:
    void SetProgress(int percent) override { progress.push_back(percent); }
    void ShowStatus(const QString &text) override { statuses.push_back(text); }
    std::vector<int> progress;
    QStringList statuses;
};

class ScriptedDialogs final : public Dialogs {
public:
    struct Shown {
        QString title;
        QString text;
        Icon icon;
        Buttons buttons;
    };
    Answer MessageBox(QWidget *owner, const QString &title, const QString &text, Icon icon,
                      Buttons buttons) override;
    QString OpenFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &filter, const QString &startName) override;
    QString SaveFileName(QWidget *owner, const QString &title, const QString &folder,
                         const QString &suggestedName, const QString &filter,
                         const QString &defaultSuffix) override;

    // Answers to the next question boxes; when empty, Yes (or Ok).
    std::deque<Answer> answers;
    // Paths the next file dialogs return; when empty, "" (cancelled).
    std::deque<QString> paths;
    std::vector<Shown> boxes;
    QStringList fileDialogTitles;
    // The names the file dialogs started with, in order.
    QStringList fileDialogNames;
    // The folders they started in, in order.
    QStringList fileDialogFolders;
    QStringList BoxTexts() const;
};

} // namespace rpu::test
