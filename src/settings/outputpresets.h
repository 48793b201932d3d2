#pragma once
// The presets a work mode gives an output: which boxes are checked, which
// list items are selected and what the user may still change.

#include "settings/settingsimage.h"
#include "settings/timelists.h"

#include <optional>

namespace rpu {

inline constexpr int kNoSelection = -1;

struct OutputPreset {
    int openItem = 0;
    int closeItem = 0;
    int durationItem = 0; // kNoSelection: the list is left without one
    bool inverted = false;
    Notifications checked;
    bool eventsEditable = false; // the notification boxes that have a cell
    bool timesEditable = false;  // open, close and inverse lists
    bool durationEditable = false;
    TimeEncoding durationEncoding = TimeEncoding::FiveSecond;

    friend bool operator==(const OutputPreset &, const OutputPreset &) = default;
};

// The sounder's duration is only offered where the device counts it in
// minutes: in demo, on a receiver in repeater mode, or on a relay module.
bool SounderDurationAllowed(bool demo, int deviceClass, bool rtrChecked);

// Relay page: every mode 1..7 has a preset.
std::optional<OutputPreset> RelayModePreset(OutputMode mode, bool sounderDurationAllowed);
// RPU page: only "Звуковой", "Тревога" and "Специальный" have one; n is 1..3.
std::optional<OutputPreset> RpuModePreset(OutputMode mode, int n);

// The output as the preset leaves it; bindings are kept.
template <int B>
void ApplyPreset(const OutputPreset &preset, OutputMode mode, OutputSettings<B> &output)
{
    output.mode = mode;
    output.notifications = preset.checked;
    output.inverted = preset.inverted;
    output.openFor = TimeCellFromItem(preset.openItem, TimeEncoding::HalfSecond);
    output.closeFor = TimeCellFromItem(preset.closeItem, TimeEncoding::HalfSecond);
    output.duration = TimeCellFromItem(preset.durationItem, preset.durationEncoding);
}

} // namespace rpu
