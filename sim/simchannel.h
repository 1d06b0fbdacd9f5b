#pragma once
// One output channel of a simulated module: what the operator sets, what the
// load draws and what the regulation makes of it. Library-form status bits
// (see statusWord()) are what the agent publishes as outputStatus.

#include <QtGlobal>

class SimModule;

class SimChannel
{
public:
    // Library bit numbers of the channel status.
    enum StatusBit {
        TripBit = 2,
        VoltageLimitBit = 3,
        MinSenseBit = 4,
        MaxSenseBit = 5,
        InhibitBit = 6,
        OnBit = 7,
        EmergencyBit = 9,
        RampUpBit = 11,
        RampDownBit = 12,
        ConstantCurrentBit = 13,
        CurrentLimitBit = 20,
        CurrentBoundsBit = 21,
        LowCurrentRangeBit = 22,
        ConstantVoltageBit = 23,
    };

    SimChannel(double nominalVoltage, double nominalCurrent, bool bipolar);

    // Where the regulation faults drive the output: beyond the supervision
    // limits (102 % and 105 % of the nominal values by default).
    static constexpr double RunawayFactor = 1.1;

    double nominalVoltage() const { return m_nominalVoltage; }
    double nominalCurrent() const { return m_nominalCurrent; }
    bool bipolar() const { return m_bipolar; }
    double minimumVoltage() const { return m_bipolar ? -m_nominalVoltage : 0.0; }

    // Operator settings (checked by the agent before they are stored).
    double voltageSet = 0.0;
    double currentSet = 0.0;
    double riseRate = 0.0;        // V/s
    double fallRate = 0.0;        // V/s
    double currentRiseRate = 0.0; // A/s
    double currentFallRate = 0.0; // A/s
    int behaviour = 0;
    double minSenseVoltage = 0.0;
    double maxSenseVoltage = 0.0;
    double maxTerminalVoltage = 0.0;
    double maxCurrent = 0.0;
    int tripTimeMs = 0;
    int group = 0;
    int userConfig = 0;
    int measurementSwitch = 20; // measurement-type modules: 20 to 23

    // Simulator inputs.
    double loadOhm = 1.0e9;
    bool inhibitInput = false;
    bool overload = false;
    // Regulation faults: the output runs away above every limit (over-voltage)
    // or draws more than the current limit allows (over-current).
    bool overVoltage = false;
    bool overCurrent = false;
    double measuredInput = 0.0; // measurement-type modules: voltage at the input

    // The switch value a GET of outputSwitch returns.
    int switchValue(bool measurementType) const;
    // Applies a switch value (0 1 2 3 10, measurement 20-23). Returns false for
    // a value the channel cannot take in its present state.
    bool applySwitch(int value, bool powered, bool measurementType);

    void emergencyOff();
    void clearEvents();
    // Forced trip (from the simulator's control objects or the delayed trip).
    void trip(SimModule &module);
    void switchOffNow();

    // Advances the channel by dt simulated seconds.
    void tick(double dt, SimModule &module);

    bool isOn() const { return m_on; }
    bool isEmergency() const { return m_emergency; }
    bool isTripped() const { return m_tripped; }
    bool isRamping() const { return m_rampDirection != 0; }
    bool hasError() const { return m_tripped || m_emergency || inhibitActive(); }
    bool inhibitActive() const { return inhibitInput || m_inhibitLatched; }
    // Simulated ms the current was at the limit before the last delayed trip;
    // -1 before the first one. Lets a test see that the trip waited its time.
    double lastTripDelayMs() const { return m_lastTripDelayMs; }

    double outputVoltage() const { return m_voltage; }
    double outputCurrent() const { return m_current; }
    // Measured values with the module's noise.
    double measuredVoltage(const SimModule &module) const;
    double measuredCurrent(const SimModule &module) const;

    quint32 statusWord(bool measurementType) const;

private:
    double m_nominalVoltage;
    double m_nominalCurrent;
    bool m_bipolar;

    bool m_on = false;
    bool m_emergency = false;
    bool m_tripped = false;
    bool m_inhibitLatched = false;
    bool m_inhibitSeen = false;
    double m_voltage = 0.0; // true output voltage
    double m_current = 0.0;
    int m_rampDirection = 0; // +1 up, -1 down (in magnitude)
    bool m_constantCurrent = false;
    bool m_currentLimit = false;
    bool m_voltageLimit = false;
    double m_overCurrentMs = 0.0;
    double m_lastTripDelayMs = -1.0;
};
