#include "simchannel.h"

#include "simmodule.h"

#include <cmath>

SimChannel::SimChannel(double nominalVoltage, double nominalCurrent, bool bipolar)
    : m_nominalVoltage(nominalVoltage), m_nominalCurrent(nominalCurrent), m_bipolar(bipolar)
{
    currentSet = nominalCurrent;
    minSenseVoltage = 0.0;
    maxSenseVoltage = nominalVoltage * 1.05;
    maxTerminalVoltage = nominalVoltage * 1.02;
    maxCurrent = nominalCurrent * 1.02;
    currentRiseRate = nominalCurrent;
    currentFallRate = nominalCurrent;
}

int SimChannel::switchValue(bool measurementType) const
{
    if (measurementType)
        return measurementSwitch;
    if (m_emergency)
        return 3;
    return m_on ? 1 : 0;
}

bool SimChannel::applySwitch(int value, bool powered, bool measurementType)
{
    switch (value) {
    case 0:
        m_on = false;
        // On a measurement-type module "off" is how a measurement is switched
        // off; without this the measurement would go on reading as enabled.
        if (measurementType) {
            measurementSwitch = 20;
            userConfig &= ~3;
        }
        return true;
    case 1:
        // A module without power cannot switch a channel on; an emergency off
        // has to be reset first.
        if (!powered || m_emergency)
            return false;
        m_on = true;
        return true;
    case 2:
        m_emergency = false;
        return true;
    case 3:
        emergencyOff();
        return true;
    case 10:
        clearEvents();
        return true;
    case 20:
    case 21:
    case 22:
    case 23:
        if (!measurementType)
            return false;
        measurementSwitch = value;
        userConfig = (userConfig & ~3) | (value - 20);
        return true;
    default:
        return false;
    }
}

void SimChannel::emergencyOff()
{
    // As on real crates: the output drops at once and the set voltage is reset.
    m_emergency = true;
    m_on = false;
    voltageSet = 0.0;
    switchOffNow();
}

void SimChannel::clearEvents()
{
    m_tripped = false;
    m_inhibitLatched = false;
    m_overCurrentMs = 0.0;
}

void SimChannel::switchOffNow()
{
    m_voltage = 0.0;
    m_current = 0.0;
    m_rampDirection = 0;
    m_constantCurrent = false;
}

void SimChannel::trip(SimModule &module)
{
    int action = (behaviour >> 6) & 3;
    if (action == 0)
        action = 2; // a trip forced from outside always switches off
    if (action == 1 && module.killEnable)
        action = 2; // kill enable: no ramp, switch off at once
    m_tripped = true;
    m_on = false;
    m_overCurrentMs = 0.0;
    if (action == 2)
        switchOffNow();
    else if (action == 3)
        module.switchAllOff();
}

double SimChannel::measuredVoltage(const SimModule &module) const
{
    if (!module.isBooted())
        return 0.0;
    if (module.isMeasurementType()) {
        if (measurementSwitch == 21 || measurementSwitch == 23)
            return measuredInput + module.jitter(module.noise * std::max(1.0, std::fabs(measuredInput)));
        return module.jitter(module.noise);
    }
    return m_voltage + module.jitter(module.noise * m_nominalVoltage);
}

double SimChannel::measuredCurrent(const SimModule &module) const
{
    if (!module.isBooted())
        return 0.0;
    return m_current + module.jitter(module.noise * m_nominalCurrent);
}

void SimChannel::tick(double dt, SimModule &module)
{
    if (!module.isBooted()) {
        m_on = false;
        switchOffNow();
        return;
    }
    if (module.isMeasurementType()) {
        m_voltage = 0.0;
        m_current = 0.0;
        return;
    }

    // External inhibit: latched on the rising edge, acts once.
    const int inhibitAction = (behaviour >> 12) & 3;
    if (inhibitInput && !m_inhibitSeen) {
        m_inhibitLatched = true;
        switch (inhibitAction) {
        case 1:
            m_on = false;
            break;
        case 2:
            m_on = false;
            switchOffNow();
            break;
        case 3:
            module.switchAllOff();
            break;
        default:
            break;
        }
    }
    m_inhibitSeen = inhibitInput;

    // After a trip or an emergency off the channel stays at 0 until its events
    // are cleared, even when it is switched on again.
    const bool blocked = m_emergency || m_tripped || (m_inhibitLatched && inhibitAction != 0)
                         || module.safetyLoopOpen || module.stopped;
    if ((module.safetyLoopOpen || module.stopped) && m_on) {
        m_on = false;
        switchOffNow();
    }

    double target = (m_on && !blocked) ? voltageSet : 0.0;
    const double hardwareLimit = m_nominalVoltage * module.hardwareLimitVoltage() / 100.0;
    const double limit = std::min(maxTerminalVoltage, hardwareLimit);
    m_voltageLimit = false;
    if (std::fabs(target) > limit) {
        target = std::copysign(limit, target);
        m_voltageLimit = true;
    }
    if (overVoltage && m_on && !blocked) {
        // A runaway regulator: the output passes the limit and the bounds.
        target = std::copysign(m_nominalVoltage * RunawayFactor, voltageSet < 0.0 ? -1.0 : 1.0);
        m_voltageLimit = true;
    }

    // Ramp toward the target at the rise rate (away from 0) or fall rate.
    const double diff = target - m_voltage;
    const bool rising = std::fabs(target) > std::fabs(m_voltage) && (target * m_voltage >= 0.0);
    const double rate = std::max(rising ? riseRate : fallRate, 1e-9);
    const double step = rate * dt;
    if (std::fabs(diff) <= step) {
        m_voltage = target;
        m_rampDirection = 0;
    } else {
        m_voltage += std::copysign(step, diff);
        m_rampDirection = rising ? 1 : -1;
    }

    // Load and regulation.
    const double ohm = overload ? std::max(loadOhm / 1.0e4, 1e-3) : std::max(loadOhm, 1e-3);
    double demand = m_voltage / ohm;
    const double hardwareCurrent = m_nominalCurrent * module.hardwareLimitCurrent() / 100.0;
    const double currentLimit = std::min(currentSet, hardwareCurrent);
    m_constantCurrent = false;
    m_currentLimit = false;
    if (module.hasCurrentRegulation() && std::fabs(demand) > currentLimit && m_voltage != 0.0) {
        // Constant-current regulation: the voltage collapses to what the load allows.
        demand = std::copysign(currentLimit, m_voltage);
        m_voltage = demand * ohm;
        m_constantCurrent = true;
        m_currentLimit = currentSet >= hardwareCurrent;
        m_rampDirection = 0;
    }
    if (overCurrent && m_voltage != 0.0) {
        // The current regulation has failed: the output draws more than any limit.
        demand = std::copysign(m_nominalCurrent * RunawayFactor, m_voltage);
        m_constantCurrent = false;
        m_currentLimit = false;
    }
    m_current = demand;

    // Delayed trip: current at the limit or above the supervision maximum for
    // longer than the trip time.
    const int tripAction = (behaviour >> 6) & 3;
    if (tripAction != 0 && (m_constantCurrent || std::fabs(m_current) > maxCurrent)) {
        m_overCurrentMs += dt * 1000.0;
        if (m_overCurrentMs >= tripTimeMs) {
            m_lastTripDelayMs = m_overCurrentMs;
            trip(module);
        }
    } else {
        m_overCurrentMs = 0.0;
    }
}

quint32 SimChannel::statusWord(bool measurementType) const
{
    quint32 word = 0;
    auto set = [&word](int bit, bool on) {
        if (on)
            word |= (1u << bit);
    };
    if (measurementType) {
        set(OnBit, measurementSwitch != 20);
        return word;
    }
    set(OnBit, m_on);
    set(EmergencyBit, m_emergency);
    set(TripBit, m_tripped);
    set(InhibitBit, inhibitActive());
    set(RampUpBit, m_rampDirection > 0);
    set(RampDownBit, m_rampDirection < 0);
    set(ConstantCurrentBit, m_constantCurrent);
    set(CurrentLimitBit, m_currentLimit);
    set(VoltageLimitBit, m_voltageLimit && m_on);
    const bool settled = m_on && m_rampDirection == 0;
    set(ConstantVoltageBit, settled && !m_constantCurrent && m_voltage != 0.0);
    const double tolerance = m_nominalVoltage * 1e-3;
    set(MinSenseBit, settled && std::fabs(m_voltage) < minSenseVoltage - tolerance);
    set(MaxSenseBit, settled && std::fabs(m_voltage) > maxSenseVoltage + tolerance);
    set(CurrentBoundsBit, std::fabs(m_current) > maxCurrent);
    return word;
}
