#pragma once
// A simulated module in one slot: identity, module-wide settings and faults,
// its channels, and the module status and event words in library form.

#include "simchannel.h"

#include <QJsonObject>
#include <QString>
#include <random>
#include <vector>

class SimModule
{
public:
    enum class Kind { HighVoltage, Measurement, LowVoltage };

    // Library bit numbers of the module status and event status.
    enum StatusBit {
        InputErrorBit = 1,
        HardwareLimitGoodBit = 2,
        ServiceBit = 3,
        HighVoltageOnBit = 4,
        LiveInsertionBit = 5,
        FineAdjustmentBit = 7,
        KillEnableBit = 8,
        TemperatureGoodBit = 9,
        SupplyGoodBit = 10,
        ModuleGoodBit = 11,
        EventActiveBit = 12,
        SafetyLoopGoodBit = 13,
        NoRampBit = 14,
        NoSumErrorBit = 15,
    };
    enum EventBit {
        EventInputError = 1,
        EventStop = 5,
        EventService = 3,
        EventPowerFail = 7,
        EventTemperature = 9,
        EventSupply = 10,
        EventSafetyLoop = 13,
    };
    static constexpr double TemperatureLimit = 55.0;

    struct Config {
        int slot = 0;
        QString vendor;
        QString typeCode;
        int serialNumber = 0;
        QString firmwareRelease;
        int channels = 0;
        Kind kind = Kind::HighVoltage;
        bool bipolar = false;
        bool currentRegulation = true;
        double nominalVoltage = 0.0;
        double nominalCurrent = 0.0;
        double rampSpeedVoltage = 5.0; // percent of nominal per second
        double rampSpeedCurrent = 50.0;
        double hardwareLimitVoltage = 100.0; // percent of nominal
        double hardwareLimitCurrent = 100.0;
        double temperature = 32.0;
        std::vector<double> loads;          // ohm per channel (last value repeats)
        std::vector<double> measuredInputs; // measurement-type modules, V per channel
        bool bootLoader = false;
        QJsonObject json;
    };

    explicit SimModule(const Config &config);

    const Config &config() const { return m_config; }
    int slot() const { return m_config.slot; }
    bool isMeasurementType() const { return m_config.kind == Kind::Measurement; }
    bool isHighVoltage() const { return m_config.kind != Kind::LowVoltage; }
    bool hasCurrentRegulation() const { return m_config.currentRegulation; }
    int channelCount() const { return int(m_channels.size()); }
    SimChannel &channel(int n) { return m_channels[size_t(n)]; }
    const SimChannel &channel(int n) const { return m_channels[size_t(n)]; }

    // "<vendor>, <type code>, <channels>, <serial>, <release>"
    QString description(const QString &release) const;

    // Power: the crate powers the module; it answers after bootMs.
    void setPowered(bool on, double bootMs);
    bool isPowered() const { return m_powered; }
    bool isBooted() const { return m_powered && m_bootRemainingMs <= 0.0; }
    void setResponding(bool on) { m_responding = on; }
    bool isResponding() const { return m_responding; }

    // Module-wide settings.
    double rampSpeedVoltage() const { return m_rampSpeedVoltage; }
    double rampSpeedCurrent() const { return m_rampSpeedCurrent; }
    void setRampSpeedVoltage(double percent);
    void setRampSpeedCurrent(double percent);
    bool fineAdjustment = true;
    bool killEnable = false;

    // Faults and surroundings.
    double temperature = 32.0;
    bool safetyLoopOpen = false;
    bool supplyFault = false;
    bool inputError = false;
    bool needService = false;
    // Mode STOP (live insertion): every channel off and held there.
    bool stopped = false;
    double noise = 1.0e-4; // relative to the nominal values

    double supply24() const;
    double supply5() const;
    double auxTemperature(int index) const;
    double hardwareLimitVoltage() const { return m_config.hardwareLimitVoltage; }
    double hardwareLimitCurrent() const { return m_config.hardwareLimitCurrent; }

    quint32 statusWord() const;
    quint32 eventWord() const { return m_events; }
    void latchEvent(int bit) { m_events |= (1u << bit); }
    void doClear();
    void switchAllOff();

    void tick(double dt);

    // Uniform noise in [-1, 1] times amplitude.
    double jitter(double amplitude) const;

private:
    Config m_config;
    std::vector<SimChannel> m_channels;
    bool m_powered = false;
    bool m_responding = true;
    double m_bootRemainingMs = 0.0;
    double m_rampSpeedVoltage;
    double m_rampSpeedCurrent;
    quint32 m_events = 0;
    mutable std::mt19937 m_random;
};
