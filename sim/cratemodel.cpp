#include "cratemodel.h"

#include <QSet>
#include <cmath>

namespace {
// Nominal values of the auxiliary supplies; index 4 is the 24 V supply.
constexpr double auxNominal[CrateModel::AuxCount] = {5.0, 12.0, -12.0, 3.3, 24.0, 5.0, 3.3, 48.0};
constexpr double auxLoad[CrateModel::AuxCount] = {2.1, 0.8, 0.3, 1.2, 3.4, 0.2, 0.1, 0.6};
} // namespace

CrateModel::CrateModel(const Config &config) : m_config(config)
{
    ipStaticAddress = config.ipStaticAddress;
    fanNominalSpeed = config.fanNominalSpeed;
    airTemperature = config.airTemperature;
    bootMs = config.bootMs;
    m_mainSwitch = config.mainSwitch;
    noise = config.noise;
    sensorWarning.fill(50);
    sensorFailure.fill(65);
    m_fanSpeed = isPowered() ? fanNominalSpeed : 0.0;
}

void CrateModel::addModule(const SimModule::Config &config)
{
    if (config.slot < 0 || config.slot >= SlotCount)
        return;
    m_modules[size_t(config.slot)] = std::make_unique<SimModule>(config);
    SimModule *m = m_modules[size_t(config.slot)].get();
    m->noise = noise;
    m->setPowered(isPowered(), 0.0);
}

SimModule *CrateModel::module(int slot) const
{
    if (slot < 0 || slot >= SlotCount)
        return nullptr;
    return m_modules[size_t(slot)].get();
}

int CrateModel::moduleCount() const
{
    int n = 0;
    for (const auto &m : m_modules)
        n += m ? 1 : 0;
    return n;
}

QString CrateModel::systemDescription() const
{
    return QStringLiteral("MPOD crate (%1, MPOD %2, MPODslave 1.09, MPOD-BL 1.50)")
        .arg(m_config.serialNumber)
        .arg(m_config.firmware);
}

void CrateModel::setMainSwitch(bool on)
{
    m_mainSwitch = on;
    for (auto &m : m_modules)
        if (m)
            m->setPowered(isPowered(), bootMs);
}

void CrateModel::setMains(bool on)
{
    if (!on && m_mains) {
        for (auto &m : m_modules)
            if (m && m->isBooted())
                m->latchEvent(SimModule::EventPowerFail);
    }
    m_mains = on;
    for (auto &m : m_modules)
        if (m) {
            const quint32 events = m->eventWord();
            m->setPowered(isPowered(), bootMs);
            if (events & (1u << SimModule::EventPowerFail))
                m->latchEvent(SimModule::EventPowerFail);
        }
}

quint32 CrateModel::statusBits() const
{
    quint32 bits = 0;
    auto set = [&bits](int n, bool on) {
        if (on)
            bits |= (1u << n);
    };
    bool outputFailure = false;
    for (const auto &m : m_modules)
        if (m && m->isBooted() && (m->supplyFault || m->temperature >= SimModule::TemperatureLimit))
            outputFailure = true;
    set(0, isPowered());  // mainOn
    set(3, !m_mains);     // inputFailure
    set(4, outputFailure); // outputFailure
    set(5, isPowered() && fanNominalSpeed == 0); // fantrayFailure: fans stopped while on
    return bits;
}

bool CrateModel::applyGroupsSwitch(bool highVoltage, int value)
{
    switch (value) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 10:
        break;
    default:
        return false;
    }
    for (auto &m : m_modules) {
        if (!m || m->isHighVoltage() != highVoltage)
            continue;
        switch (value) {
        case 4:
        case 5:
            m->killEnable = value == 5;
            break;
        case 6:
        case 7:
            m->fineAdjustment = value == 7;
            break;
        default:
            for (int n = 0; n < m->channelCount(); ++n)
                m->channel(n).applySwitch(value, m->isBooted(), false);
            break;
        }
    }
    (highVoltage ? m_hvGroupsSwitch : m_lvGroupsSwitch) = value;
    return true;
}

int CrateModel::groupsNumber() const
{
    QSet<int> groups;
    for (const auto &m : m_modules)
        if (m)
            for (int n = 0; n < m->channelCount(); ++n)
                groups.insert(m->channel(n).group);
    return int(groups.size());
}

int CrateModel::fanSpeed(int fan) const
{
    if (m_fanSpeed < 1.0)
        return 0;
    // Fans differ a little from one another.
    return int(std::lround(m_fanSpeed * (1.0 + 0.004 * (fan - 3))));
}

int CrateModel::sensorTemperature(int sensor) const
{
    double t = airTemperature + (isPowered() ? 4.0 + 0.7 * sensor : 0.0);
    return int(std::lround(t));
}

double CrateModel::auxVoltage(int index) const
{
    if (index < 0 || index >= AuxCount)
        return 0.0;
    if (!isPowered())
        return 0.0;
    return auxNominal[index] * (1.0 + 0.002) + (m_modules[0] ? m_modules[0]->jitter(noise * std::fabs(auxNominal[index])) : 0.0);
}

double CrateModel::auxCurrent(int index) const
{
    if (index < 0 || index >= AuxCount || !isPowered())
        return 0.0;
    return auxLoad[index] * (1.0 + 0.1 * moduleCount());
}

void CrateModel::setNoise(double relative)
{
    noise = relative;
    for (auto &m : m_modules)
        if (m)
            m->noise = relative;
}

void CrateModel::tick(double dt)
{
    m_simulatedMs += dt * 1000.0;
    // The fans follow their nominal speed with a few seconds' lag.
    const double target = isPowered() ? double(fanNominalSpeed) : 0.0;
    const double k = std::min(1.0, dt / 2.0);
    m_fanSpeed += (target - m_fanSpeed) * k;
    for (auto &m : m_modules)
        if (m)
            m->tick(dt);
}
