#include "settings/outputpresets.h"

namespace rpu {

namespace {

constexpr int kDeviceClassReceiver = 0;
constexpr int kDeviceClassRelayModule = 1;
constexpr int kActuatorCloseItem = 20;  // 10.0 s
constexpr int kRpuSounderOkDuration = 24; // 2 minutes

Notifications Checked(std::initializer_list<int> bits)
{
    Notifications set;
    for (int bit : bits)
        set.set(bit);
    return set;
}

OutputPreset Fixed(int open, int close, int duration, bool inverted, Notifications checked)
{
    OutputPreset preset;
    preset.openItem = open;
    preset.closeItem = close;
    preset.durationItem = duration;
    preset.inverted = inverted;
    preset.checked = checked;
    return preset;
}

OutputPreset Editable(Notifications checked)
{
    OutputPreset preset = Fixed(kTimeOffItem, kTimeOffItem, kTimeOffItem, false, checked);
    preset.eventsEditable = true;
    preset.timesEditable = true;
    preset.durationEditable = true;
    return preset;
}

} // namespace

bool SounderDurationAllowed(bool demo, int deviceClass, bool rtrChecked)
{
    return demo || (deviceClass == kDeviceClassReceiver && rtrChecked)
           || deviceClass == kDeviceClassRelayModule;
}

std::optional<OutputPreset> RelayModePreset(OutputMode mode, bool sounderDurationAllowed)
{
    constexpr int kConst = kTimeConstantItem;
    constexpr int kOff = kTimeOffItem;
    switch (mode) {
    case OutputMode::PcnAlarm:
        return Fixed(kConst, kOff, kOff, false, Checked({RelayAlarmEvent, RelayOnOffAllLine}));
    case OutputMode::ControlLamp:
        return Fixed(1, 1, kConst, false, Checked({RelayAlarmEvent, RelayOnOffAllLine}));
    case OutputMode::ArmedState:
        return Fixed(kOff, kConst, kOff, false, Checked({RelayOnOffAllLine}));
    case OutputMode::Sounder: {
        OutputPreset preset = Fixed(kConst, kOff, sounderDurationAllowed ? 0 : kNoSelection, true,
                                    Checked({RelayAlarmEvent}));
        preset.durationEncoding = TimeEncoding::Minutes;
        preset.durationEditable = sounderDurationAllowed;
        return preset;
    }
    case OutputMode::Alarm:
        return Fixed(kConst, kOff, kOff, false, Checked({RelayAlarmEvent}));
    case OutputMode::Actuator:
        return Fixed(kOff, kActuatorCloseItem, kOff, false, Checked({RelayOnOffLine}));
    case OutputMode::Special:
        return Editable({});
    case OutputMode::None:
        break;
    }
    return std::nullopt;
}

std::optional<OutputPreset> RpuModePreset(OutputMode mode, int n)
{
    constexpr int kConst = kTimeConstantItem;
    constexpr int kOff = kTimeOffItem;
    switch (mode) {
    case OutputMode::Sounder: {
        OutputPreset preset = Fixed(kConst, kOff, n == kReleOutputCount ? kRpuSounderOkDuration : kOff,
                                    true, Checked({RpuAlarmEvent}));
        preset.durationEditable = true;
        return preset;
    }
    case OutputMode::Alarm:
        return Fixed(kConst, kOff, kOff, false, Checked({RpuAlarmEvent}));
    case OutputMode::Special:
        return Editable(Checked({RpuAlarmEvent}));
    default:
        break;
    }
    return std::nullopt;
}

} // namespace rpu
