#pragma once
// Control word of one channel.

#include "flagword.h"

#include <QMetaType>

class ChannelControl : public FlagWord<ChannelControl, 6>
{
public:
    static constexpr char TypeName[] = "ChannelControl";

    // Declaration indices of the flags.
    enum Flag : int {
        F_setExternalMeas = 0,
        F_setRipple = 1,
        F_setON = 2,
        F_setEMCY = 3,
        F_setAVBND = 4,
        F_setACBND = 5,
    };

    ChannelControl() = default;
    // From the word form: the low 16 bits are read, the upper bits ignored.
    explicit ChannelControl(quint32 word) { setWord(word); }

    bool setExternalMeas() const { return flag(F_setExternalMeas); }
    void setSetExternalMeas(bool on) { setFlag(F_setExternalMeas, on); }
    bool setRipple() const { return flag(F_setRipple); }
    void setSetRipple(bool on) { setFlag(F_setRipple, on); }
    bool setON() const { return flag(F_setON); }
    void setSetON(bool on) { setFlag(F_setON, on); }
    bool setEMCY() const { return flag(F_setEMCY); }
    void setSetEMCY(bool on) { setFlag(F_setEMCY, on); }
    bool setAVBND() const { return flag(F_setAVBND); }
    void setSetAVBND(bool on) { setFlag(F_setAVBND, on); }
    bool setACBND() const { return flag(F_setACBND); }
    void setSetACBND(bool on) { setFlag(F_setACBND, on); }

    // Reads a library switch value into this cached control: measurement
    // switches (20 to 23) set the two measurement flags, every value sets
    // setON (value 1) and setEMCY (value 3); the bounds flags stay.
    void updateFromSwitch(int switchValue);
    static ChannelControl fromSwitch(int switchValue, const ChannelControl &cached = ChannelControl());
    // Switch value that writes the on/emergency state: 3 for emergency off, else 1 or 0.
    int switchValue() const;
    // Switch value that writes the measurement flags (modules of device class 90): 20 to 23.
    int measurementSwitchValue() const;

    // Library switch values the program uses.
    enum Switch : int {
        SwitchOff = 0,
        SwitchOn = 1,
        SwitchClearEmergency = 2,
        SwitchEmergency = 3,
        SwitchClearEvents = 10,
        SwitchMeasurementsOff = 20,
        SwitchExternalMeasurement = 21,
        SwitchRippleMeasurement = 22,
        SwitchBothMeasurements = 23,
    };

    static const FlagInfo *flagTable();
};

Q_DECLARE_METATYPE(ChannelControl)
