#include "simmodule.h"

#include <algorithm>
#include <cmath>

SimModule::SimModule(const Config &config)
    : m_config(config),
      m_rampSpeedVoltage(config.rampSpeedVoltage),
      m_rampSpeedCurrent(config.rampSpeedCurrent),
      m_random(std::mt19937::result_type(config.serialNumber + config.slot))
{
    temperature = config.temperature;
    m_channels.reserve(size_t(std::max(0, config.channels)));
    for (int n = 0; n < config.channels; ++n) {
        SimChannel ch(config.nominalVoltage, config.nominalCurrent, config.bipolar);
        if (!config.loads.empty())
            ch.loadOhm = config.loads[std::min(size_t(n), config.loads.size() - 1)];
        if (!config.measuredInputs.empty())
            ch.measuredInput = config.measuredInputs[std::min(size_t(n), config.measuredInputs.size() - 1)];
        m_channels.push_back(ch);
    }
    setRampSpeedVoltage(m_rampSpeedVoltage);
    setRampSpeedCurrent(m_rampSpeedCurrent);
}

QString SimModule::description(const QString &release) const
{
    return QStringLiteral("%1, %2, %3, %4, %5")
        .arg(m_config.vendor, m_config.typeCode)
        .arg(m_config.channels)
        .arg(m_config.serialNumber)
        .arg(release.isEmpty() ? m_config.firmwareRelease : release);
}

void SimModule::setPowered(bool on, double bootMs)
{
    if (on == m_powered)
        return;
    m_powered = on;
    m_bootRemainingMs = on ? bootMs : 0.0;
    if (!on) {
        for (SimChannel &ch : m_channels) {
            // A restart forgets the output state and the latched events.
            ch.applySwitch(0, false, false);
            ch.applySwitch(2, false, false);
            ch.clearEvents();
            ch.switchOffNow();
        }
    }
}

void SimModule::setRampSpeedVoltage(double percent)
{
    // The module ramp speed is common to its channels: writing it sets every
    // channel's rise and fall rate.
    m_rampSpeedVoltage = percent;
    for (SimChannel &ch : m_channels) {
        ch.riseRate = ch.nominalVoltage() * percent / 100.0;
        ch.fallRate = ch.riseRate;
    }
}

void SimModule::setRampSpeedCurrent(double percent)
{
    m_rampSpeedCurrent = percent;
    for (SimChannel &ch : m_channels) {
        ch.currentRiseRate = ch.nominalCurrent() * percent / 100.0;
        ch.currentFallRate = ch.currentRiseRate;
    }
}

double SimModule::jitter(double amplitude) const
{
    if (amplitude <= 0.0)
        return 0.0;
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    return dist(m_random) * amplitude;
}

double SimModule::supply24() const
{
    if (!isBooted())
        return 0.0;
    return (supplyFault ? 19.2 : 24.05) + jitter(noise * 24.0);
}

double SimModule::supply5() const
{
    if (!isBooted())
        return 0.0;
    return (supplyFault ? 4.1 : 5.02) + jitter(noise * 5.0);
}

double SimModule::auxTemperature(int index) const
{
    if (!isBooted())
        return 0.0;
    // Sensor 0 sits on the high-voltage side, the others near the controller.
    return temperature + (index == 0 ? 0.0 : -1.5 * index) + jitter(noise * 10.0);
}

quint32 SimModule::statusWord() const
{
    if (!isBooted())
        return 0;
    quint32 word = 0;
    auto set = [&word](int bit, bool on) {
        if (on)
            word |= (1u << bit);
    };
    bool anyOn = false, anyRamp = false, anyError = false;
    for (const SimChannel &ch : m_channels) {
        anyOn = anyOn || ch.outputVoltage() != 0.0 || (isMeasurementType() && ch.measurementSwitch != 20);
        anyRamp = anyRamp || ch.isRamping();
        anyError = anyError || ch.hasError();
    }
    const bool temperatureGood = temperature < TemperatureLimit;
    set(InputErrorBit, inputError);
    set(HardwareLimitGoodBit, true);
    set(ServiceBit, needService);
    set(LiveInsertionBit, stopped);
    set(HighVoltageOnBit, anyOn);
    set(FineAdjustmentBit, fineAdjustment);
    set(KillEnableBit, killEnable);
    set(TemperatureGoodBit, temperatureGood);
    set(SupplyGoodBit, !supplyFault);
    set(ModuleGoodBit, temperatureGood && !supplyFault && !safetyLoopOpen && !inputError);
    set(EventActiveBit, m_events != 0 || anyError);
    set(SafetyLoopGoodBit, !safetyLoopOpen);
    set(NoRampBit, !anyRamp);
    set(NoSumErrorBit, !anyError);
    return word;
}

void SimModule::doClear()
{
    m_events = 0;
    for (SimChannel &ch : m_channels)
        ch.clearEvents();
}

void SimModule::switchAllOff()
{
    for (SimChannel &ch : m_channels) {
        ch.applySwitch(0, true, false);
        ch.switchOffNow();
    }
}

void SimModule::tick(double dt)
{
    if (m_powered && m_bootRemainingMs > 0.0)
        m_bootRemainingMs -= dt * 1000.0;
    if (isBooted()) {
        if (temperature >= TemperatureLimit)
            latchEvent(EventTemperature);
        if (supplyFault)
            latchEvent(EventSupply);
        if (safetyLoopOpen)
            latchEvent(EventSafetyLoop);
        if (inputError)
            latchEvent(EventInputError);
        if (needService)
            latchEvent(EventService);
        if (stopped)
            latchEvent(EventStop);
    }
    for (SimChannel &ch : m_channels)
        ch.tick(dt, *this);
}
