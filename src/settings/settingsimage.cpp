#include "settings/settingsimage.h"

#include "i18n/messagecatalogue.h"
#include "i18n/messageids.h"
#include "settings/timelists.h"

#include <limits>
#include <vector>

namespace rpu {

namespace {

constexpr quint32 kOutputBitsMax = 7;
constexpr quint32 kSourcePairMax = 0x77;
constexpr quint32 kTimeMax = 255;
constexpr quint32 kNoRange = std::numeric_limits<quint32>::max();

constexpr std::array<int, kNotificationCells> kRelayNotificationOffsets = {16, 17, 18, 19, 21,
                                                                           23, 26, 27, 28};
constexpr int kRelayInverseOffset = 32;
constexpr int kRelayFirstTimeOffset = 33;
constexpr int kRelayFirstModeOffset = 42;

constexpr int kRpuFirstSourceOffset = 50;
constexpr int kRpuFirstNotificationOffset = 74;
constexpr int kRpuInverseOffset = 83;
constexpr int kRpuFirstTimeOffset = 84;
constexpr int kRpuFirstModeOffset = 93;

void AppendOutputFields(std::vector<SettingsField> &fields, SettingsSection section,
                        int firstModeOffset, const std::array<int, kNotificationCells> &notifications,
                        int inverseOffset, int firstTimeOffset)
{
    for (int n = 0; n < kReleOutputCount; ++n)
        fields.push_back({section, firstModeOffset + n, FieldKind::WorkMode, n, kOutputBitsMax});
    for (int i = 0; i < kNotificationCells; ++i)
        fields.push_back({section, notifications[i], FieldKind::Notification, i, kOutputBitsMax});
    fields.push_back({section, inverseOffset, FieldKind::Inverse, 0, kOutputBitsMax});
    for (int n = 0; n < kReleOutputCount; ++n) {
        const int first = firstTimeOffset + 3 * n;
        fields.push_back({section, first, FieldKind::CloseFor, n, kTimeMax});
        fields.push_back({section, first + 1, FieldKind::OpenFor, n, kTimeMax});
        fields.push_back({section, first + 2, FieldKind::Duration, n, kTimeMax});
    }
}

std::vector<SettingsField> BuildRelayFields()
{
    std::vector<SettingsField> fields;
    for (int k = 0; k < kRelayPartitions; ++k)
        fields.push_back({SettingsSection::Relay, k, FieldKind::Bindings, k, kOutputBitsMax});
    AppendOutputFields(fields, SettingsSection::Relay, kRelayFirstModeOffset,
                       kRelayNotificationOffsets, kRelayInverseOffset, kRelayFirstTimeOffset);
    return fields;
}

std::vector<SettingsField> BuildRpuFields()
{
    std::vector<SettingsField> fields;
    fields.push_back({SettingsSection::Rpu, kRpuMarkerOffset, FieldKind::Marker, 0, kNoRange});
    for (int j = 0; j < kRpuSources / 2; ++j)
        fields.push_back(
            {SettingsSection::Rpu, kRpuFirstSourceOffset + j, FieldKind::SourcePair, j, kSourcePairMax});
    std::array<int, kNotificationCells> notifications{};
    for (int i = 0; i < kNotificationCells; ++i)
        notifications[i] = kRpuFirstNotificationOffset + i;
    AppendOutputFields(fields, SettingsSection::Rpu, kRpuFirstModeOffset, notifications,
                       kRpuInverseOffset, kRpuFirstTimeOffset);
    return fields;
}

const std::vector<SettingsField> &FieldTable(SettingsSection section)
{
    static const std::vector<SettingsField> relay = BuildRelayFields();
    static const std::vector<SettingsField> rpu = BuildRpuFields();
    return section == SettingsSection::Relay ? relay : rpu;
}

quint32 OutputBit(int output) { return 1u << output; }

template <int B>
quint32 ComposeCell(const SettingsField &field, const SectionSettings<B> &section)
{
    quint32 cell = 0;
    switch (field.kind) {
    case FieldKind::Marker:
        return kRpuSectionMarker;
    case FieldKind::WorkMode:
        return static_cast<quint32>(section.outputs[field.index].mode);
    case FieldKind::CloseFor:
        return section.outputs[field.index].closeFor;
    case FieldKind::OpenFor:
        return section.outputs[field.index].openFor;
    case FieldKind::Duration:
        return section.outputs[field.index].duration;
    case FieldKind::Bindings:
    case FieldKind::SourcePair:
    case FieldKind::Notification:
    case FieldKind::Inverse:
        break;
    }
    for (int n = 0; n < kReleOutputCount; ++n) {
        const OutputSettings<B> &output = section.outputs[n];
        switch (field.kind) {
        case FieldKind::Bindings:
            if (output.bindings[field.index])
                cell |= OutputBit(n);
            break;
        case FieldKind::SourcePair:
            if (output.bindings[2 * field.index])
                cell |= OutputBit(n);
            if (output.bindings[2 * field.index + 1])
                cell |= OutputBit(n + 4);
            break;
        case FieldKind::Notification:
            if (output.notifications[field.index])
                cell |= OutputBit(n);
            break;
        case FieldKind::Inverse:
            if (output.inverted)
                cell |= OutputBit(n);
            break;
        default:
            break;
        }
    }
    return cell;
}

template <int B>
void ShowCell(const SettingsField &field, quint32 cell, SectionSettings<B> &section)
{
    switch (field.kind) {
    case FieldKind::Marker:
        return;
    case FieldKind::WorkMode:
        section.outputs[field.index].mode = static_cast<OutputMode>(cell);
        return;
    case FieldKind::CloseFor:
        section.outputs[field.index].closeFor = cell;
        return;
    case FieldKind::OpenFor:
        section.outputs[field.index].openFor = cell;
        return;
    case FieldKind::Duration:
        section.outputs[field.index].duration = cell;
        return;
    default:
        break;
    }
    for (int n = 0; n < kReleOutputCount; ++n) {
        OutputSettings<B> &output = section.outputs[n];
        const bool low = cell & OutputBit(n);
        switch (field.kind) {
        case FieldKind::Bindings:
            output.bindings[field.index] = low;
            break;
        case FieldKind::SourcePair:
            // Bits 3 and 7 are not a binding and are dropped.
            output.bindings[2 * field.index] = low;
            output.bindings[2 * field.index + 1] = cell & OutputBit(n + 4);
            break;
        case FieldKind::Notification:
            output.notifications[field.index] = low;
            break;
        case FieldKind::Inverse:
            output.inverted = low;
            break;
        default:
            break;
        }
    }
}

template <int B>
SectionSettings<B> ReadSection(const SettingsImage &image, SettingsSection which)
{
    SectionSettings<B> section;
    for (const SettingsField &field : FieldTable(which))
        ShowCell(field, image[field.offset], section);
    return section;
}

template <int B>
void WriteSection(const SectionSettings<B> &section, SettingsImage &image, SettingsSection which)
{
    for (const SettingsField &field : FieldTable(which))
        image[field.offset] = ComposeCell(field, section);
}

} // namespace

std::span<const SettingsField> SettingsFields(SettingsSection section)
{
    return FieldTable(section);
}

std::optional<BadImageCell> FindBadCell(const SettingsImage &image, SettingsSection section)
{
    for (const SettingsField &field : FieldTable(section)) {
        if (image[field.offset] > field.maximum)
            return BadImageCell{field.offset, image[field.offset]};
    }
    return std::nullopt;
}

QString BadImageByteText(const MessageCatalogue &catalogue, const BadImageCell &cell)
{
    return FillPlaceholders(catalogue.Text(msg::kBadImageByte),
                            {QString::number(cell.offset), QString::number(cell.value)});
}

RelaySection ReadRelaySection(const SettingsImage &image)
{
    return ReadSection<kRelayPartitions>(image, SettingsSection::Relay);
}

RpuSection ReadRpuSection(const SettingsImage &image)
{
    return ReadSection<kRpuSources>(image, SettingsSection::Rpu);
}

void WriteRelaySection(const RelaySection &section, SettingsImage &image)
{
    WriteSection(section, image, SettingsSection::Relay);
}

void WriteRpuSection(const RpuSection &section, SettingsImage &image)
{
    WriteSection(section, image, SettingsSection::Rpu);
}

const SettingsImage &FactorySettingsImage()
{
    static const SettingsImage image = [] {
        SettingsImage cells{};
        // Partitions 1..8 on relay 1 and the open collector, 9..16 on relay 2 and it.
        for (int k = 0; k < 8; ++k)
            cells[k] = 5;
        for (int k = 8; k < 16; ++k)
            cells[k] = 6;
        cells[21] = 7;
        cells[23] = 3;
        cells[27] = 3;
        cells[28] = 3;
        cells[32] = 4;
        for (int first : {33, 36, 39}) {
            cells[first] = 0;
            cells[first + 1] = 255;
            cells[first + 2] = 0;
        }
        cells[42] = 7;
        cells[43] = 7;
        cells[44] = 4;
        return cells;
    }();
    return image;
}

} // namespace rpu
