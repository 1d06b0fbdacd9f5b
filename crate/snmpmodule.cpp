#include "snmpmodule.h"

#include "cratelog.h"
#include "resolution.h"
#include "snmpcontroller.h"

#include <QMutexLocker>

#include <algorithm>

namespace {

// Mask value that addresses every channel with one multiple-channel write.
constexpr quint64 allChannels = ~quint64(0);

} // namespace

SnmpModule::SnmpModule(SnmpController *controller, int slot, QObject *parent)
    : BaseModule(parent), m_controller(controller), m_firstChannel(slot * 100), m_slot(slot)
{
    // "vendor, type code, channels[, serial number[, firmware release]]"
    const QString description = m_controller ? m_controller->getModuleDescription(slot) : QString();
    const QStringList parts = description.split(QStringLiteral(", "), Qt::KeepEmptyParts);
    QString typeCode;
    if (parts.size() >= 3) {
        m_vendor = parts.at(0);
        typeCode = parts.at(1);
        // A slot addresses at most 100 channels (slot * 100 + channel): a larger
        // count would reach into the next slot's channels.
        m_channelCount = std::clamp(parts.at(2).toInt(), 0, WIENER_SNMP_MAX_VALUES);
    }
    if (parts.size() >= 4)
        m_serialNumber = parts.at(3).toInt();
    m_firmwareRelease = parts.size() >= 5 ? parts.at(4) : QStringLiteral("n/a");
    setTypeCode(typeCode);
    setDeviceClass(typeCode);

    m_status.resize(m_channelCount);
    m_events.resize(m_channelCount);
    m_control.resize(m_channelCount);
    m_tripTime.fill(0, m_channelCount);
    m_behaviour.fill(0, m_channelCount);
    m_voltageSet.fill(0.0f, m_channelCount);
    m_voltageMeasure.fill(0.0f, m_channelCount);
    m_voltageNominal.fill(0.0f, m_channelCount);
    m_currentSet.fill(0.0f, m_channelCount);
    m_currentMeasure.fill(0.0f, m_channelCount);
    m_currentNominal.fill(0.0f, m_channelCount);

    // Display units of this module; the stored "useControllerUnits" is not used.
    Resolution resolution;
    resolution.setSerialNumber(m_serialNumber);
    resolution.setFirmwareName(typeCode);
    resolution.load();
    setVoltageUnit(resolution.voltageUnit());
    setVoltagePrecision(resolution.voltagePrecision());
    setCurrentUnit(resolution.currentUnit());
    setCurrentPrecision(resolution.currentPrecision());
    setLowCurrentUnit(resolution.lowCurrentUnit());
    setLowCurrentPrecision(resolution.lowCurrentPrecision());

    qCDebug(lcCrate).noquote() << "slot" << slot << "module" << description << "class" << BaseModule::deviceClass();
}

SnmpModule::~SnmpModule() = default;

bool SnmpModule::isMeasurementModule() { return deviceClass() == 90; }

int SnmpModule::deviceClass() { return BaseModule::deviceClass(); }

void SnmpModule::setSwitch(int channel, int value)
{
    // A channel number past the module would address the next slot's channels.
    if (!validChannel(channel))
        return;
    m_controller->call(&WienerSnmpFunctions::setChannelSwitch, libraryChannel(channel), value);
}

void SnmpModule::readDoubleCache(QVector<float> &cache,
                                 SnmpDoubleRecord *(*WienerSnmpFunctions::*member)(HSNMP, int, int))
{
    if (m_channelCount <= 0)
        return;
    const QVector<double> values = m_controller->readDoubleRecord(member, m_firstChannel, m_channelCount);
    QMutexLocker locker(&m_cacheMutex);
    const int count = std::min<int>(values.size(), m_channelCount);
    for (int i = 0; i < count; ++i)
        cache[i] = float(values.at(i));
}

float SnmpModule::cachedFloat(const QVector<float> &cache, int channel) const
{
    QMutexLocker locker(&m_cacheMutex);
    return validChannel(channel) ? cache.at(channel) : 0.0f;
}

void SnmpModule::readBehaviours()
{
    QMutexLocker behaviours(&m_behaviourMutex);
    readBehavioursLocked();
}

void SnmpModule::readBehavioursLocked()
{
    if (m_channelCount <= 0)
        return;
    const QVector<int> values = m_controller->readIntRecord(
        &WienerSnmpFunctions::getMultipleOutputSupervisionBehaviors, m_firstChannel, m_channelCount);
    QMutexLocker locker(&m_cacheMutex);
    const int count = std::min<int>(values.size(), m_channelCount);
    for (int i = 0; i < count; ++i)
        m_behaviour[i] = values.at(i);
    m_behavioursKnown = std::max(m_behavioursKnown, count);
}

QVector<int> SnmpModule::replaceBehaviourField(int channel, int shift, int action)
{
    const int needed = channel < 0 ? m_channelCount : channel + 1;
    bool known = false;
    {
        QMutexLocker locker(&m_cacheMutex);
        known = m_behavioursKnown >= needed;
    }
    if (!known)
        readBehavioursLocked();
    QMutexLocker locker(&m_cacheMutex);
    QVector<int> out;
    if (channel >= 0) {
        if (channel < m_behavioursKnown) {
            m_behaviour[channel] = SupervisionBehavior::withField(m_behaviour.at(channel), shift, action);
            out.append(m_behaviour.at(channel));
        }
        return out;
    }
    // A record starts at channel 0, so the known channels are a leading run.
    for (int i = 0; i < m_behavioursKnown; ++i) {
        m_behaviour[i] = SupervisionBehavior::withField(m_behaviour.at(i), shift, action);
        out.append(m_behaviour.at(i));
    }
    return out;
}

int SnmpModule::cachedBehaviour(int channel) const
{
    QMutexLocker locker(&m_cacheMutex);
    return validChannel(channel) ? m_behaviour.at(channel) : 0;
}

// ----- module values -----

bool SnmpModule::connected() { return m_channelCount > 0; }

QString SnmpModule::alarmMessage() { return QString(); }

bool SnmpModule::isVexaHighVoltage() { return m_vendor == QLatin1String("vexa"); }

int SnmpModule::serialNumber() { return m_serialNumber; }

QString SnmpModule::firmwareRelease() { return m_firmwareRelease; }

quint32 SnmpModule::decoderRelease() { return 0; }

void SnmpModule::doClear()
{
    m_controller->call(&WienerSnmpFunctions::setModuleDoClear, m_slot);
    QMutexLocker locker(&m_cacheMutex);
    std::fill(m_events.begin(), m_events.end(), ChannelEventStatus());
}

QString SnmpModule::address() { return tr("Slot %1").arg(m_slot); }

float SnmpModule::temperature(int index)
{
    return float(m_controller->call(&WienerSnmpFunctions::getModuleAuxTemperature, m_slot, index));
}

float SnmpModule::supplyP5() { return float(m_controller->call(&WienerSnmpFunctions::getModuleSupply5, m_slot)); }

float SnmpModule::supplyP12()
{
    return float(m_controller->call(&WienerSnmpFunctions::getModuleSupply24, m_slot));
}

float SnmpModule::supplyN12() { return 0.0f; }

quint32 SnmpModule::adcSamplesPerSecond() { return 500; }

void SnmpModule::setAdcSamplesPerSecond(quint32 sps) { Q_UNUSED(sps) }

quint32 SnmpModule::digitalFilter() { return 16; }

void SnmpModule::setDigitalFilter(quint32 filter) { Q_UNUSED(filter) }

float SnmpModule::voltageLimit()
{
    return float(m_controller->call(&WienerSnmpFunctions::getModuleHardwareLimitVoltage, m_slot));
}

float SnmpModule::currentLimit()
{
    return float(m_controller->call(&WienerSnmpFunctions::getModuleHardwareLimitCurrent, m_slot));
}

// ----- module status, events and control -----

ModuleStatus SnmpModule::status()
{
    return ModuleStatus::fromLibrary(quint32(m_controller->call(&WienerSnmpFunctions::getModuleStatus, m_slot)));
}

ModuleEventStatus SnmpModule::eventStatus()
{
    return ModuleEventStatus::fromLibrary(
        quint32(m_controller->call(&WienerSnmpFunctions::getModuleEventStatus, m_slot)));
}

void SnmpModule::setEventStatus(quint32 status) { Q_UNUSED(status) }

void SnmpModule::clearEventStatus() { doClear(); }

quint32 SnmpModule::eventChannelStatus() { return 0; }

void SnmpModule::clearEventChannelStatus() {}

quint32 SnmpModule::eventChannelMask() { return 0; }

void SnmpModule::setEventChannelMask(quint32 mask) { Q_UNUSED(mask) }

quint32 SnmpModule::eventGroupStatus() { return 0; }

quint32 SnmpModule::eventGroupMask() { return 0; }

void SnmpModule::setEventGroupMask(quint32 mask) { Q_UNUSED(mask) }

void SnmpModule::clearEventGroupStatus() {}

ModuleEventMask SnmpModule::eventMask() { return ModuleEventMask(); }

void SnmpModule::setEventMask(ModuleEventMask eventMask) { Q_UNUSED(eventMask) }

ModuleControl SnmpModule::control() { return ModuleControl(); }

void SnmpModule::setControl(ModuleControl control)
{
    // Only set flags act; the library has no way to take them back one by one.
    if (control.doCLEAR())
        doClear();
    if (control.setADJ())
        setFineAdjustment(true);
    if (control.setKILena())
        setKillEnable(true);
}

float SnmpModule::voltageRampSpeed()
{
    return float(m_controller->call(&WienerSnmpFunctions::getModuleRampSpeedVoltage, m_slot));
}

void SnmpModule::setVoltageRampSpeed(float vramp)
{
    if (isMeasurementModule())
        return;
    m_controller->call(&WienerSnmpFunctions::setModuleRampSpeedVoltage, m_slot, double(vramp));
}

float SnmpModule::currentRampSpeed()
{
    return float(m_controller->call(&WienerSnmpFunctions::getModuleRampSpeedCurrent, m_slot));
}

void SnmpModule::setCurrentRampSpeed(float iramp)
{
    if (isMeasurementModule())
        return;
    m_controller->call(&WienerSnmpFunctions::setModuleRampSpeedCurrent, m_slot, double(iramp));
}

bool SnmpModule::killEnable() { return false; }

void SnmpModule::setKillEnable(bool enable)
{
    // Acts on every module of the crate: the library has no per-module kill enable.
    m_controller->call(&WienerSnmpFunctions::setHighVoltageGroupsSwitch, enable ? 5 : 4);
}

bool SnmpModule::fineAdjustment() { return true; }

void SnmpModule::setFineAdjustment(bool on)
{
    // Crate-wide as well.
    m_controller->call(&WienerSnmpFunctions::setHighVoltageGroupsSwitch, on ? 7 : 6);
}

int SnmpModule::channelNumber() { return m_channelCount; }

quint32 SnmpModule::restartTime() { return 0; }

void SnmpModule::setRestartTime(quint32 restartTime) { Q_UNUSED(restartTime) }

// ----- groups -----

void SnmpModule::setSelectedChannels(quint64 mask, int switchValue)
{
    if (m_channelCount <= 0)
        return;
    if (mask == allChannels) {
        m_controller->writeIntRecord(&WienerSnmpFunctions::setMultipleOutputSwitches, m_firstChannel,
                                     QVector<int>(m_channelCount, switchValue));
        return;
    }
    const int last = std::min(m_channelCount, 64);
    for (int n = 0; n < last; ++n)
        if (mask & (quint64(1) << n))
            setSwitch(n, switchValue);
}

void SnmpModule::setSelectedChannelsOn(quint64 mask) { setSelectedChannels(mask, ChannelControl::SwitchOn); }

void SnmpModule::setSelectedChannelsOff(quint64 mask) { setSelectedChannels(mask, ChannelControl::SwitchOff); }

void SnmpModule::setSelectedChannelsEmergencyOff(quint64 mask)
{
    setSelectedChannels(mask, ChannelControl::SwitchEmergency);
}

void SnmpModule::clearSelectedChannelsEmergencyOff(quint64 mask)
{
    setSelectedChannels(mask, ChannelControl::SwitchClearEmergency);
}

void SnmpModule::setSelectedChannelsOn(QList<int> channels) { BaseModule::setSelectedChannelsOn(channels); }

void SnmpModule::setSelectedChannelsOff(QList<int> channels) { BaseModule::setSelectedChannelsOff(channels); }

void SnmpModule::setSelectedChannelsEmergencyOff(QList<int> channels)
{
    BaseModule::setSelectedChannelsEmergencyOff(channels);
}

void SnmpModule::clearSelectedChannelsEmergencyOff(QList<int> channels)
{
    BaseModule::clearSelectedChannelsEmergencyOff(channels);
}

void SnmpModule::setAllChannelsVoltageSet(float vset)
{
    if (m_channelCount <= 0)
        return;
    // vset is in the user unit: converted here, once.
    m_controller->writeDoubleRecord(&WienerSnmpFunctions::setMultipleOutputVoltages, m_firstChannel,
                                    QVector<double>(m_channelCount, double(userVoltageToSiVoltage(vset))));
}

void SnmpModule::setAllChannelsCurrentSet(float iset)
{
    if (m_channelCount <= 0)
        return;
    m_controller->writeDoubleRecord(&WienerSnmpFunctions::setMultipleOutputCurrents, m_firstChannel,
                                    QVector<double>(m_channelCount, double(iset)));
}

void SnmpModule::setAllChannelsDelayedTripAction(OutputSupervisionAction action, int delay)
{
    if (m_channelCount <= 0)
        return;
    // Behaviours first (may read them once), so that the two writes stay together.
    QMutexLocker behaviourLock(&m_behaviourMutex);
    const QVector<int> behaviours =
        replaceBehaviourField(-1, SupervisionBehavior::DelayedTripShift, int(action) % 4);
    m_controller->writeIntRecord(&WienerSnmpFunctions::setMultipleOutputTripTimeMaxCurrents, m_firstChannel,
                                 QVector<int>(m_channelCount, delay));
    if (!behaviours.isEmpty())
        m_controller->writeIntRecord(&WienerSnmpFunctions::setMultipleOutputSupervisionBehaviors, m_firstChannel,
                                     behaviours);
}

void SnmpModule::setAllChannelsInhibitAction(OutputSupervisionAction action)
{
    if (m_channelCount <= 0)
        return;
    QMutexLocker behaviourLock(&m_behaviourMutex);
    const QVector<int> behaviours =
        replaceBehaviourField(-1, SupervisionBehavior::ExternalInhibitShift, int(action) % 4);
    if (!behaviours.isEmpty())
        m_controller->writeIntRecord(&WienerSnmpFunctions::setMultipleOutputSupervisionBehaviors, m_firstChannel,
                                     behaviours);
}

void SnmpModule::setChannelExternalMeasurementEnabled(int channel, bool enabled)
{
    if (isMeasurementModule())
        setSwitch(channel, enabled ? ChannelControl::SwitchExternalMeasurement : ChannelControl::SwitchOff);
}

void SnmpModule::setChannelRippleMeasurementEnabled(int channel, bool enabled)
{
    if (isMeasurementModule())
        setSwitch(channel, enabled ? ChannelControl::SwitchRippleMeasurement : ChannelControl::SwitchOff);
}

void SnmpModule::setChannelBothMeasurementsEnabled(int channel, bool enabled)
{
    if (isMeasurementModule())
        setSwitch(channel, enabled ? ChannelControl::SwitchBothMeasurements
                                   : ChannelControl::SwitchMeasurementsOff);
}

void SnmpModule::doMultiplex()
{
    if (firmwareName() != QLatin1String("T25X0") || m_channelCount <= 0)
        return;
    const QVector<int> switches = m_controller->readIntRecord(&WienerSnmpFunctions::getMultipleOutputSwitches,
                                                              m_firstChannel, m_channelCount);
    // External measurement first, then ripple; a channel with both gets two writes.
    for (int n = 0; n < switches.size(); ++n)
        if (switches.at(n) == ChannelControl::SwitchExternalMeasurement ||
            switches.at(n) == ChannelControl::SwitchBothMeasurements)
            setSwitch(n, ChannelControl::SwitchMeasurementsOff);
    for (int n = 0; n < switches.size(); ++n)
        if (switches.at(n) == ChannelControl::SwitchRippleMeasurement ||
            switches.at(n) == ChannelControl::SwitchBothMeasurements)
            setSwitch(n, ChannelControl::SwitchMeasurementsOff);
}

// ----- channels: bulk reads -----

ChannelStatus SnmpModule::channelStatus(int channel)
{
    if (isMeasurementModule())
        return ChannelStatus();
    if (channel == 0 && m_channelCount > 0) {
        const QVector<int> values = m_controller->readIntRecord(&WienerSnmpFunctions::getMultipleChannelStatuses,
                                                                m_firstChannel, m_channelCount);
        QMutexLocker locker(&m_cacheMutex);
        const int count = std::min<int>(values.size(), m_channelCount);
        for (int i = 0; i < count; ++i) {
            m_status[i] = ChannelStatus::fromLibrary(quint32(values.at(i)));
            m_events[i].latch(m_status[i]);
        }
    }
    QMutexLocker locker(&m_cacheMutex);
    return validChannel(channel) ? m_status.at(channel) : ChannelStatus();
}

ChannelEventStatus SnmpModule::channelEventStatus(int channel)
{
    QMutexLocker locker(&m_cacheMutex);
    return validChannel(channel) ? m_events.at(channel) : ChannelEventStatus();
}

void SnmpModule::setChannelEventStatus(int channel, ChannelEventStatus resetMask)
{
    QMutexLocker locker(&m_cacheMutex);
    if (validChannel(channel))
        m_events[channel].reset(resetMask);
}

void SnmpModule::clearChannelEventStatus(int channel)
{
    // Clears the module's own events of the channel; the latched copy stays until
    // a reset mask or doClear.
    setSwitch(channel, ChannelControl::SwitchClearEvents);
}

ChannelEventMask SnmpModule::channelEventMask(int channel)
{
    Q_UNUSED(channel)
    return ChannelEventMask();
}

void SnmpModule::setChannelEventMask(int channel, ChannelEventMask mask)
{
    Q_UNUSED(channel)
    Q_UNUSED(mask)
}

ChannelControl SnmpModule::channelControl(int channel)
{
    if (channel == 0 && m_channelCount > 0) {
        const QVector<int> values = m_controller->readIntRecord(&WienerSnmpFunctions::getMultipleOutputSwitches,
                                                                m_firstChannel, m_channelCount);
        QMutexLocker locker(&m_cacheMutex);
        const int count = std::min<int>(values.size(), m_channelCount);
        for (int i = 0; i < count; ++i)
            m_control[i].updateFromSwitch(values.at(i));
    }
    QMutexLocker locker(&m_cacheMutex);
    return validChannel(channel) ? m_control.at(channel) : ChannelControl();
}

void SnmpModule::setChannelControl(int channel, ChannelControl control)
{
    const int value = isMeasurementModule() ? control.measurementSwitchValue() : control.switchValue();
    setSwitch(channel, value);
    if (!(control.setEMCY() && control.setON()))
        setSwitch(channel, ChannelControl::SwitchClearEvents);
}

void SnmpModule::setChannelEmergencyOff(int channel) { setSwitch(channel, ChannelControl::SwitchEmergency); }

void SnmpModule::clearChannelEmergencyOff(int channel)
{
    setSwitch(channel, ChannelControl::SwitchClearEmergency);
}

float SnmpModule::channelVoltageNominal(int channel)
{
    if (channel == 0)
        readDoubleCache(m_voltageNominal, &WienerSnmpFunctions::getMultipleOutputConfigMaxTerminalVoltages);
    return siVoltageToUserVoltage(cachedFloat(m_voltageNominal, channel));
}

float SnmpModule::channelCurrentNominal(int channel)
{
    if (channel == 0)
        readDoubleCache(m_currentNominal, &WienerSnmpFunctions::getMultipleOutputConfigMaxCurrents);
    return cachedFloat(m_currentNominal, channel);
}

float SnmpModule::channelVoltageSet(int channel)
{
    if (isMeasurementModule())
        return 0.0f;
    if (channel == 0)
        readDoubleCache(m_voltageSet, &WienerSnmpFunctions::getMultipleOutputVoltages);
    return siVoltageToUserVoltage(cachedFloat(m_voltageSet, channel));
}

void SnmpModule::setChannelVoltageSet(int channel, float vset)
{
    if (isMeasurementModule() || !validChannel(channel))
        return;
    // vset is in the user unit: converted here, once; callers never scale.
    m_controller->call(&WienerSnmpFunctions::setOutputVoltage, libraryChannel(channel),
                       double(userVoltageToSiVoltage(vset)));
}

float SnmpModule::channelVoltageMeasure(int channel)
{
    if (channel == 0)
        readDoubleCache(m_voltageMeasure, &WienerSnmpFunctions::getMultipleMeasurementTerminalVoltages);
    return siVoltageToUserVoltage(cachedFloat(m_voltageMeasure, channel));
}

float SnmpModule::channelCurrentSet(int channel)
{
    if (isMeasurementModule())
        return 0.0f;
    if (channel == 0)
        readDoubleCache(m_currentSet, &WienerSnmpFunctions::getMultipleOutputCurrents);
    return cachedFloat(m_currentSet, channel);
}

void SnmpModule::setChannelCurrentSet(int channel, float iset)
{
    if (isMeasurementModule() || !validChannel(channel))
        return;
    m_controller->call(&WienerSnmpFunctions::setOutputCurrent, libraryChannel(channel), double(iset));
}

float SnmpModule::channelCurrentMeasure(int channel)
{
    if (channel == 0)
        readDoubleCache(m_currentMeasure, &WienerSnmpFunctions::getMultipleMeasurementCurrents);
    return cachedFloat(m_currentMeasure, channel);
}

// ----- delayed trip and inhibit -----

void SnmpModule::refreshAllDelayedTripActions()
{
    channelDelayedTripEnabled(0);
    channelDelayedTripTime(0);
}

bool SnmpModule::channelDelayedTripEnabled(int channel) { return channelDelayedTripAction(channel) > 0; }

bool SnmpModule::channelDelayedTripRampDown(int channel)
{
    if (isMeasurementModule())
        return false;
    return SupervisionBehavior::delayedTripAction(cachedBehaviour(channel)) == rampDownChannel;
}

int SnmpModule::channelDelayedTripTime(int channel)
{
    if (isMeasurementModule())
        return 0;
    if (channel == 0 && m_channelCount > 0) {
        const QVector<int> values = m_controller->readIntRecord(
            &WienerSnmpFunctions::getMultipleOutputTripTimeMaxCurrents, m_firstChannel, m_channelCount);
        QMutexLocker locker(&m_cacheMutex);
        const int count = std::min<int>(values.size(), m_channelCount);
        for (int i = 0; i < count; ++i)
            m_tripTime[i] = values.at(i);
    }
    QMutexLocker locker(&m_cacheMutex);
    return validChannel(channel) ? m_tripTime.at(channel) : 0;
}

OutputSupervisionAction SnmpModule::channelDelayedTripAction(int channel)
{
    if (isMeasurementModule())
        return ignoreFailure;
    if (channel == 0)
        readBehaviours();
    return SupervisionBehavior::delayedTripAction(cachedBehaviour(channel));
}

void SnmpModule::setChannelDelayedTripAction(int channel, OutputSupervisionAction action, int delay)
{
    if (!validChannel(channel))
        return;
    if (action == delayedTripOff) {
        action = ignoreFailure;
        delay = 0;
    }
    // The cache keeps the written behaviour, so that an inhibit action set right
    // after does not send the old delayed-trip bits back.
    QMutexLocker behaviourLock(&m_behaviourMutex);
    const QVector<int> behaviour =
        replaceBehaviourField(channel, SupervisionBehavior::DelayedTripShift, int(action));
    m_controller->call(&WienerSnmpFunctions::setOutputTripTimeMaxCurrent, libraryChannel(channel), delay);
    if (!behaviour.isEmpty())
        m_controller->call(&WienerSnmpFunctions::setOutputSupervisionBehavior, libraryChannel(channel),
                           behaviour.first());
}

void SnmpModule::refreshAllInhibitActions() { channelInhibitAction(0); }

OutputSupervisionAction SnmpModule::channelInhibitAction(int channel)
{
    if (isMeasurementModule())
        return ignoreFailure;
    if (channel == 0)
        readBehaviours();
    return SupervisionBehavior::externalInhibitAction(cachedBehaviour(channel));
}

void SnmpModule::setChannelInhibitAction(int channel, OutputSupervisionAction action)
{
    if (!validChannel(channel))
        return;
    QMutexLocker behaviourLock(&m_behaviourMutex);
    const QVector<int> behaviour =
        replaceBehaviourField(channel, SupervisionBehavior::ExternalInhibitShift, int(action));
    if (!behaviour.isEmpty())
        m_controller->call(&WienerSnmpFunctions::setOutputSupervisionBehavior, libraryChannel(channel),
                           behaviour.first());
}

// ----- bounds and rates -----

float SnmpModule::channelVoltageInterlockMaxSet(int channel)
{
    if (!validChannel(channel))
        return 0.0f;
    return siVoltageToUserVoltage(float(m_controller->call(
        &WienerSnmpFunctions::getOutputSupervisionMaxTerminalVoltage, libraryChannel(channel))));
}

void SnmpModule::setChannelVoltageInterlockMaxSet(int channel, float ilkmax)
{
    if (!validChannel(channel))
        return;
    // In the user unit, converted once.
    m_controller->call(&WienerSnmpFunctions::setOutputSupervisionMaxTerminalVoltage, libraryChannel(channel),
                       double(userVoltageToSiVoltage(ilkmax)));
}

float SnmpModule::channelVoltageInterlockMinSet(int channel)
{
    Q_UNUSED(channel)
    return 0.0f;
}

void SnmpModule::setChannelVoltageInterlockMinSet(int channel, float ilkmin)
{
    Q_UNUSED(channel)
    Q_UNUSED(ilkmin)
}

float SnmpModule::channelCurrentInterlockMaxSet(int channel)
{
    if (!validChannel(channel))
        return 0.0f;
    return siCurrentToUserCurrent(
        float(m_controller->call(&WienerSnmpFunctions::getOutputSupervisionMaxCurrent, libraryChannel(channel))));
}

void SnmpModule::setChannelCurrentInterlockMaxSet(int channel, float ilkmax)
{
    if (!validChannel(channel))
        return;
    m_controller->call(&WienerSnmpFunctions::setOutputSupervisionMaxCurrent, libraryChannel(channel),
                       double(userCurrentToSiCurrent(ilkmax)));
}

float SnmpModule::channelCurrentInterlockMinSet(int channel)
{
    Q_UNUSED(channel)
    return 0.0f;
}

void SnmpModule::setChannelCurrentInterlockMinSet(int channel, float ilkmin)
{
    Q_UNUSED(channel)
    Q_UNUSED(ilkmin)
}

void SnmpModule::setChannelOn(int channel) { setSwitch(channel, ChannelControl::SwitchOn); }

void SnmpModule::setChannelOff(int channel) { setSwitch(channel, ChannelControl::SwitchOff); }

float SnmpModule::channelVoltageRiseRate(int channel)
{
    if (!validChannel(channel))
        return 0.0f;
    return float(m_controller->call(&WienerSnmpFunctions::getOutputRiseRate, libraryChannel(channel)));
}

float SnmpModule::channelVoltageFallRate(int channel)
{
    if (!validChannel(channel))
        return 0.0f;
    return float(m_controller->call(&WienerSnmpFunctions::getOutputFallRate, libraryChannel(channel)));
}

void SnmpModule::setChannelVoltageRiseRate(int channel, float voltageRiseRate)
{
    if (!validChannel(channel))
        return;
    m_controller->call(&WienerSnmpFunctions::setOutputRiseRate, libraryChannel(channel), double(voltageRiseRate));
}

void SnmpModule::setChannelVoltageFallRate(int channel, float voltageFallRate)
{
    if (!validChannel(channel))
        return;
    m_controller->call(&WienerSnmpFunctions::setOutputFallRate, libraryChannel(channel), double(voltageFallRate));
}

// ----- interlock output, flex groups, nominal values, service: not offered here -----

quint32 SnmpModule::GetModuleIlkOutStatus() { return 0; }

quint32 SnmpModule::GetModuleIlkOutControl() { return 0; }

void SnmpModule::SetModuleIlkOutControl(quint32 control) { Q_UNUSED(control) }

quint32 SnmpModule::GetModuleIlkOutCount() { return 0; }

quint32 SnmpModule::GetModuleIlkOutLastTrigger() { return 0; }

quint32 SnmpModule::GetModuleIlkOutChnActualActive() { return 0; }

quint32 SnmpModule::GetModuleIlkOutChnEverTriggered() { return 0; }

void SnmpModule::setFlexGroup(int group, quint32 member, quint32 type)
{
    Q_UNUSED(group)
    Q_UNUSED(member)
    Q_UNUSED(type)
}

quint32 SnmpModule::flexGroupMemberList(int group)
{
    Q_UNUSED(group)
    return 0;
}

quint32 SnmpModule::flexGroupType(int group)
{
    Q_UNUSED(group)
    return 0;
}

float SnmpModule::channelVoltageHardwareNominal(int channel) { return channelVoltageNominal(channel); }

void SnmpModule::setChannelVoltageNominal(int channel, float maxset)
{
    Q_UNUSED(channel)
    Q_UNUSED(maxset)
}

float SnmpModule::channelCurrentHardwareNominal(int channel) { return channelCurrentNominal(channel); }

void SnmpModule::setChannelCurrentNominal(int channel, float maxset)
{
    Q_UNUSED(channel)
    Q_UNUSED(maxset)
}

void SnmpModule::setSpecialControlCommand(quint32 command) { Q_UNUSED(command) }

quint32 SnmpModule::specialControlCommand() { return 0; }

quint32 SnmpModule::specialControlStatus() { return 0; }

void SnmpModule::sendHexLine(QByteArray record) { Q_UNUSED(record) }

void SnmpModule::programBaseAddress(quint16 address) { Q_UNUSED(address) }

quint16 SnmpModule::verifyBaseAddress() { return 0; }
