#include "channelcontrol.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[6] = {
    {"setExternalMeas", 1, QT_TRANSLATE_NOOP("ChannelControl", "External Measurement"), nullptr},
    {"setRipple", 2, QT_TRANSLATE_NOOP("ChannelControl", "Ripple Measurement"), nullptr},
    {"setON", 3, QT_TRANSLATE_NOOP("ChannelControl", "On"), nullptr},
    {"setEMCY", 5, QT_TRANSLATE_NOOP("ChannelControl", "Emergency Off"), nullptr},
    {"setAVBND", 11, QT_TRANSLATE_NOOP("ChannelControl", "Asymmetric Voltage Bounds"), nullptr},
    {"setACBND", 10, QT_TRANSLATE_NOOP("ChannelControl", "Asymmetric Current Bounds"), nullptr},
};

void registerType()
{
    qRegisterMetaType<ChannelControl>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ChannelControl::flagTable()
{
    return flagTable_;
}

void ChannelControl::updateFromSwitch(int switchValue)
{
    switch (switchValue) {
    case SwitchBothMeasurements:
        setSetExternalMeas(true);
        setSetRipple(true);
        break;
    case SwitchExternalMeasurement:
        setSetExternalMeas(true);
        setSetRipple(false);
        break;
    case SwitchRippleMeasurement:
        setSetExternalMeas(false);
        setSetRipple(true);
        break;
    case SwitchMeasurementsOff:
        setSetExternalMeas(false);
        setSetRipple(false);
        break;
    default:
        break;
    }
    setSetON(switchValue == SwitchOn);
    setSetEMCY(switchValue == SwitchEmergency);
}

ChannelControl ChannelControl::fromSwitch(int switchValue, const ChannelControl &cached)
{
    ChannelControl c = cached;
    c.updateFromSwitch(switchValue);
    return c;
}

int ChannelControl::switchValue() const
{
    if (setEMCY())
        return SwitchEmergency;
    return setON() ? SwitchOn : SwitchOff;
}

int ChannelControl::measurementSwitchValue() const
{
    return SwitchMeasurementsOff + (setExternalMeas() ? 1 : 0) + (setRipple() ? 2 : 0);
}
