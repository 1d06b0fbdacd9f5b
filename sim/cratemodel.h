#pragma once
// The simulated crate: main switch and mains, power supply, fan tray, sensors,
// the crate-wide groups switches, and the modules in slots 0 to 9.

#include "simmodule.h"

#include <QString>
#include <array>
#include <memory>

class CrateModel
{
public:
    static constexpr int SlotCount = 10;
    static constexpr int SensorCount = 12;
    static constexpr int FanCount = 6;
    static constexpr int AuxCount = 8;

    struct Config {
        int serialNumber = 0;
        QString firmware = QStringLiteral("2.1.3.4"); // "MPOD <a>.<b>.<c>.<d>"
        QString psSerialNumber = QStringLiteral("PS-0001");
        QString fanSerialNumber = QStringLiteral("FAN-0001");
        quint32 ipStaticAddress = 0; // first octet in the lowest byte
        int fanNominalSpeed = 1200;
        double airTemperature = 24.0;
        double bootMs = 1500.0;
        bool mainSwitch = true;
        double noise = 1.0e-4; // measurement noise relative to nominal values
    };

    explicit CrateModel(const Config &config);

    const Config &config() const { return m_config; }
    void addModule(const SimModule::Config &config);
    SimModule *module(int slot) const;
    int moduleCount() const;

    QString systemDescription() const;

    // Main switch and mains (the crate's AC input).
    bool mainSwitch() const { return m_mainSwitch; }
    void setMainSwitch(bool on);
    bool mains() const { return m_mains; }
    void setMains(bool on);
    bool isPowered() const { return m_mainSwitch && m_mains; }
    quint32 statusBits() const; // named bit n of sysStatus = bit n here

    // Applies a groups switch value to every high-voltage (or low-voltage)
    // channel of the crate. Returns false for an unknown value.
    bool applyGroupsSwitch(bool highVoltage, int value);
    int groupsSwitch(bool highVoltage) const { return highVoltage ? m_hvGroupsSwitch : m_lvGroupsSwitch; }
    int groupsNumber() const;

    quint32 ipStaticAddress = 0;
    int fanNominalSpeed = 1200;
    int fanSwitchOffDelay = 120;
    double airTemperature = 24.0;
    double bootMs = 1500.0;
    double noise = 1.0e-4;
    std::array<int, SensorCount> sensorWarning{};
    std::array<int, SensorCount> sensorFailure{};

    int fanSpeed(int fan) const;
    int sensorTemperature(int sensor) const;
    double auxVoltage(int index) const;
    double auxCurrent(int index) const;
    qint64 operatingSeconds() const { return m_operatingSeconds + qint64(m_simulatedMs / 1000.0); }
    double simulatedMs() const { return m_simulatedMs; }
    void setNoise(double relative);

    void tick(double dt);

private:
    Config m_config;
    std::array<std::unique_ptr<SimModule>, SlotCount> m_modules;
    bool m_mainSwitch = true;
    bool m_mains = true;
    int m_hvGroupsSwitch = -1;
    int m_lvGroupsSwitch = -1;
    double m_fanSpeed = 0.0;
    double m_simulatedMs = 0.0;
    qint64 m_operatingSeconds = 3600 * 24 * 412;
};
