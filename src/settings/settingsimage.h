#pragma once
// The device's settings block (block 7) as 256 cells, and the typed values of
// its two sections. Editors work on the section values; only this unit knows
// offsets, ranges and masks.

#include <QString>
#include <QtGlobal>

#include <array>
#include <bitset>
#include <optional>
#include <span>

namespace rpu {

class MessageCatalogue;

inline constexpr int kSettingsImageCells = 256;
inline constexpr int kReleOutputCount = 3;
inline constexpr int kRelayPartitions = 16;
inline constexpr int kRpuSources = 48;
inline constexpr int kNotificationCells = 9; // both sections have nine notification cells
inline constexpr quint32 kRpuSectionMarker = 0x55;
inline constexpr int kRpuMarkerOffset = 49;

// One cell per block byte; a cell loaded from a settings file may hold any
// 32-bit value, which the range check catches.
using SettingsImage = std::array<quint32, kSettingsImageCells>;

enum class SettingsSection { Relay, Rpu };

// Work-mode values of both sections.
enum class OutputMode : quint8 {
    None = 0,
    PcnAlarm = 1,    // "ПЦН тревога"
    ControlLamp = 2, // "Контрольная лампа"
    ArmedState = 3,  // "Взят/снят"
    Sounder = 4,     // "Звуковой"
    Alarm = 5,       // "Тревога"
    Actuator = 6,    // "Исполнительный"
    Special = 7,     // "Специальный"
};
inline constexpr int kWorkModeCount = 7;

// Notification bits of the relay section, in cell order (cells 16..28).
enum RelayNotification : int {
    RelaySelfDamage,    // 16
    RelayRadioChanBlck, // 17
    RelayDamageCD,      // 18
    RelayPowerCD,       // 19
    RelayAlarmEvent,    // 21
    RelayErrorFire,     // 23
    RelayOnOffLine,     // 26
    RelayOnOffAllLine,  // 27
    RelayNoLine,        // 28
};

// Notification bits of the RPU section, in cell order (cells 74..82).
enum RpuNotification : int {
    RpuRadioChanBlck, // 74
    RpuBoxDamage,     // 75
    RpuErrorPower,    // 76
    RpuAlarmEvent,    // 77
    RpuDamageII,      // 78
    RpuErrorFire,     // 79
    RpuAhtungFireII,  // 80
    RpuNoLink,        // 81
    RpuPowerCD,       // 82
};

using Notifications = std::bitset<kNotificationCells>;

// One output of a section. Times hold cell values: the list item in the
// half-second and five-second encodings, minutes (10..254, 255 constant)
// for the relay sounder duration.
template <int BindingCount>
struct OutputSettings {
    OutputMode mode = OutputMode::None;
    std::bitset<BindingCount> bindings; // partition or source p at index p-1
    Notifications notifications;
    bool inverted = false;
    quint32 closeFor = 0;
    quint32 openFor = 0;
    quint32 duration = 0;

    friend bool operator==(const OutputSettings &, const OutputSettings &) = default;
};

template <int BindingCount>
struct SectionSettings {
    std::array<OutputSettings<BindingCount>, kReleOutputCount> outputs;

    friend bool operator==(const SectionSettings &, const SectionSettings &) = default;
};

using RelayOutput = OutputSettings<kRelayPartitions>;
using RpuOutput = OutputSettings<kRpuSources>;
using RelaySection = SectionSettings<kRelayPartitions>;
using RpuSection = SectionSettings<kRpuSources>;

// What a field of the table stores.
enum class FieldKind {
    Bindings,     // partition cell: bit n-1 = output n
    SourcePair,   // bits 0..2 odd source, bits 4..6 even source
    Notification, // bit n-1 = output n
    Inverse,      // bit n-1 = output n inverted
    WorkMode,     // one output's work-mode value
    CloseFor,     // one output's time cells
    OpenFor,
    Duration,
    Marker,       // RPU section marker; written, never read
};

struct SettingsField {
    SettingsSection section;
    int offset;
    FieldKind kind;
    int index;       // binding cell / notification bit / output 0..2 for per-output cells
    quint32 maximum; // legal range 0..maximum
};

// The fields of a section in the order the device image is shown in: the
// bindings, then the work modes (their presets come before the remaining
// cells), the notifications, the inverse cell and the times.
std::span<const SettingsField> SettingsFields(SettingsSection section);

struct BadImageCell {
    int offset;
    quint32 value;
    friend bool operator==(const BadImageCell &, const BadImageCell &) = default;
};

// First cell of the section, in showing order, that is outside its range.
std::optional<BadImageCell> FindBadCell(const SettingsImage &image, SettingsSection section);

// The fatal data error's text (message 10082) for a cell out of range.
QString BadImageByteText(const MessageCatalogue &catalogue, const BadImageCell &cell);

// Reading assumes a range-checked image; cells outside the section are ignored.
RelaySection ReadRelaySection(const SettingsImage &image);
RpuSection ReadRpuSection(const SettingsImage &image);

// Store the section into the cells it owns (the RPU step also stores the
// marker); no other cell is touched.
void WriteRelaySection(const RelaySection &section, SettingsImage &image);
void WriteRpuSection(const RpuSection &section, SettingsImage &image);

// The built-in factory settings: offsets 0..95, the rest 0.
const SettingsImage &FactorySettingsImage();

} // namespace rpu
