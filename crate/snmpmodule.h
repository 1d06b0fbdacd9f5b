#pragma once
// A module in a crate slot, over the crate access library.
//
// Most channel values are read for all channels at once: asking for channel 0
// makes one multiple-channel library call and fills the cache; asking for any
// other channel answers from the cache. A caller that wants fresh values reads
// channel 0 first. The library has no channel events; they are latched here from
// the channel statuses.

#include "basemodule.h"
#include "wienersnmpfunctions.h"

#include <QMutex>
#include <QVector>

class SnmpController;

class SnmpModule : public BaseModule
{
    Q_OBJECT

public:
    SnmpModule(SnmpController *controller, int slot, QObject *parent = nullptr);
    ~SnmpModule() override;

    int slot() const { return m_slot; }
    QString vendor() const { return m_vendor; }
    // Library index of channel 0 (slot * 100).
    int firstChannel() const { return m_firstChannel; }

public slots:
    virtual int deviceClass();

    bool connected() override;
    QString alarmMessage() override;
    bool isVexaHighVoltage() override;
    int serialNumber() override;
    QString firmwareRelease() override;
    quint32 decoderRelease() override;
    void doClear() override;
    QString address() override;
    float temperature(int index = 0) override;
    float supplyP5() override;
    float supplyP12() override;
    float supplyN12() override;
    quint32 adcSamplesPerSecond() override;
    void setAdcSamplesPerSecond(quint32 sps) override;
    quint32 digitalFilter() override;
    void setDigitalFilter(quint32 filter) override;
    float voltageLimit() override;
    float currentLimit() override;

    ModuleStatus status() override;
    ModuleEventStatus eventStatus() override;
    void setEventStatus(quint32 status) override;
    void clearEventStatus() override;
    quint32 eventChannelStatus() override;
    void clearEventChannelStatus() override;
    quint32 eventChannelMask() override;
    void setEventChannelMask(quint32 mask) override;
    quint32 eventGroupStatus() override;
    quint32 eventGroupMask() override;
    void setEventGroupMask(quint32 mask) override;
    void clearEventGroupStatus() override;
    ModuleEventMask eventMask() override;
    void setEventMask(ModuleEventMask eventMask) override;
    ModuleControl control() override;
    void setControl(ModuleControl control) override;
    float voltageRampSpeed() override;
    void setVoltageRampSpeed(float vramp) override;
    float currentRampSpeed() override;
    void setCurrentRampSpeed(float iramp) override;
    bool killEnable() override;
    void setKillEnable(bool enable) override;
    bool fineAdjustment() override;
    void setFineAdjustment(bool on) override;
    int channelNumber() override;
    quint32 restartTime() override;
    void setRestartTime(quint32 restartTime) override;

    void setSelectedChannelsOn(quint64 mask) override;
    void setSelectedChannelsOff(quint64 mask) override;
    void setSelectedChannelsEmergencyOff(quint64 mask) override;
    void clearSelectedChannelsEmergencyOff(quint64 mask) override;
    // The list forms stay visible next to the mask forms overridden above.
    void setSelectedChannelsOn(QList<int> channels) override;
    void setSelectedChannelsOff(QList<int> channels) override;
    void setSelectedChannelsEmergencyOff(QList<int> channels) override;
    void clearSelectedChannelsEmergencyOff(QList<int> channels) override;
    void setAllChannelsVoltageSet(float vset) override;
    void setAllChannelsCurrentSet(float iset) override;
    void setAllChannelsDelayedTripAction(OutputSupervisionAction action, int delay) override;
    void setAllChannelsInhibitAction(OutputSupervisionAction action) override;
    void setChannelExternalMeasurementEnabled(int channel, bool enabled) override;
    void setChannelRippleMeasurementEnabled(int channel, bool enabled) override;
    void setChannelBothMeasurementsEnabled(int channel, bool enabled) override;
    void doMultiplex() override;

    ChannelStatus channelStatus(int channel) override;
    ChannelEventStatus channelEventStatus(int channel) override;
    void setChannelEventStatus(int channel, ChannelEventStatus resetMask) override;
    void clearChannelEventStatus(int channel) override;
    ChannelEventMask channelEventMask(int channel) override;
    void setChannelEventMask(int channel, ChannelEventMask mask) override;
    ChannelControl channelControl(int channel) override;
    void setChannelControl(int channel, ChannelControl control) override;
    void setChannelEmergencyOff(int channel) override;
    void clearChannelEmergencyOff(int channel) override;
    float channelVoltageNominal(int channel) override;
    float channelCurrentNominal(int channel) override;
    float channelVoltageSet(int channel) override;
    void setChannelVoltageSet(int channel, float vset) override;
    float channelVoltageMeasure(int channel) override;
    float channelCurrentSet(int channel) override;
    void setChannelCurrentSet(int channel, float iset) override;
    void refreshAllDelayedTripActions() override;
    bool channelDelayedTripEnabled(int channel) override;
    bool channelDelayedTripRampDown(int channel) override;
    int channelDelayedTripTime(int channel) override;
    OutputSupervisionAction channelDelayedTripAction(int channel) override;
    void setChannelDelayedTripAction(int channel, OutputSupervisionAction action, int delay) override;
    void refreshAllInhibitActions() override;
    OutputSupervisionAction channelInhibitAction(int channel) override;
    void setChannelInhibitAction(int channel, OutputSupervisionAction action) override;
    float channelCurrentMeasure(int channel) override;
    float channelVoltageInterlockMaxSet(int channel) override;
    void setChannelVoltageInterlockMaxSet(int channel, float ilkmax) override;
    float channelVoltageInterlockMinSet(int channel) override;
    void setChannelVoltageInterlockMinSet(int channel, float ilkmin) override;
    float channelCurrentInterlockMaxSet(int channel) override;
    void setChannelCurrentInterlockMaxSet(int channel, float ilkmax) override;
    float channelCurrentInterlockMinSet(int channel) override;
    void setChannelCurrentInterlockMinSet(int channel, float ilkmin) override;
    void setChannelOn(int channel) override;
    void setChannelOff(int channel) override;
    float channelVoltageRiseRate(int channel) override;
    float channelVoltageFallRate(int channel) override;
    void setChannelVoltageRiseRate(int channel, float voltageRiseRate) override;
    void setChannelVoltageFallRate(int channel, float voltageFallRate) override;

    quint32 GetModuleIlkOutStatus() override;
    quint32 GetModuleIlkOutControl() override;
    void SetModuleIlkOutControl(quint32 control) override;
    quint32 GetModuleIlkOutCount() override;
    quint32 GetModuleIlkOutLastTrigger() override;
    quint32 GetModuleIlkOutChnActualActive() override;
    quint32 GetModuleIlkOutChnEverTriggered() override;
    void setFlexGroup(int group, quint32 member, quint32 type) override;
    quint32 flexGroupMemberList(int group) override;
    quint32 flexGroupType(int group) override;
    float channelVoltageHardwareNominal(int channel) override;
    void setChannelVoltageNominal(int channel, float maxset) override;
    float channelCurrentHardwareNominal(int channel) override;
    void setChannelCurrentNominal(int channel, float maxset) override;
    void setSpecialControlCommand(quint32 command) override;
    quint32 specialControlCommand() override;
    quint32 specialControlStatus() override;
    void sendHexLine(QByteArray record) override;
    void programBaseAddress(quint16 address) override;
    quint16 verifyBaseAddress() override;

private:
    bool isMeasurementModule();
    bool validChannel(int channel) const { return channel >= 0 && channel < m_channelCount; }
    int libraryChannel(int channel) const { return m_firstChannel + channel; }
    void setSwitch(int channel, int value);
    void setSelectedChannels(quint64 mask, int switchValue);
    // Reads one multiple-channel record of doubles into a cache of floats.
    void readDoubleCache(QVector<float> &cache,
                         SnmpDoubleRecord *(*WienerSnmpFunctions::*member)(HSNMP, int, int));
    float cachedFloat(const QVector<float> &cache, int channel) const;
    void readBehaviours();
    void readBehavioursLocked(); // m_behaviourMutex held
    int cachedBehaviour(int channel) const;
    // Replaces one 2-bit field of the supervision behaviour of `channel` (or of every
    // channel when `channel` is -1) and returns the new behaviours to send; the
    // cache keeps them. Only channels whose behaviour has been read at least once
    // are changed: a write built from an unread cache would wipe the channel's
    // other supervision fields, so the behaviours are read first when they never were.
    // The caller holds m_behaviourMutex until the result is sent.
    QVector<int> replaceBehaviourField(int channel, int shift, int action);

    SnmpController *m_controller;
    QString m_vendor;
    QString m_firmwareRelease;
    int m_serialNumber = 0;
    int m_channelCount = 0;
    int m_firstChannel = 0;
    int m_slot = 0;

    // Held from reading or changing the behaviour cache until the changed value is
    // sent, and around every behaviour read: two threads changing different fields
    // of one channel's behaviour then never send a value built on a stale one,
    // which would take the other's change back. Taken before m_cacheMutex.
    QMutex m_behaviourMutex;
    // Guards the caches below; never held during a library call.
    mutable QMutex m_cacheMutex;
    QVector<ChannelStatus> m_status;
    QVector<ChannelEventStatus> m_events;
    QVector<ChannelControl> m_control;
    QVector<int> m_tripTime;
    QVector<int> m_behaviour;
    // Leading channels whose behaviour has been read from the module at least once.
    int m_behavioursKnown = 0;
    QVector<float> m_voltageSet;
    QVector<float> m_voltageMeasure;
    QVector<float> m_voltageNominal;
    QVector<float> m_currentSet;
    QVector<float> m_currentMeasure;
    QVector<float> m_currentNominal;
};
