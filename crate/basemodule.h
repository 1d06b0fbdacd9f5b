#pragma once
// The one interface to a high-voltage module and its channels. Every operation is a
// slot: the main window, views, dialogs, profiles and user scripts all reach a
// module through these names, so names, argument types and overloads are part of
// the script interface and must not change.
//
// Units: channel voltages (set, measured, nominal, interlock maximum) cross this
// interface in the module's user unit (voltageUnit); channel currents in amperes,
// except the current interlock maximum, which is in the user current unit. A value
// in a user unit is converted to SI exactly once, by the implementation; callers
// pass what the operator typed and never scale it themselves.
//
// Thread use: the GUI thread and a script thread may call one module at the same
// time; the fields below are atomic or guarded, implementations guard their own state.

#include "channelcontrol.h"
#include "channeleventmask.h"
#include "channeleventstatus.h"
#include "channelstatus.h"
#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "moduleeventstatus.h"
#include "modulestatus.h"
#include "vexatypes.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>

class BaseModule : public QObject
{
    Q_OBJECT

public:
    explicit BaseModule(QObject *parent = nullptr);
    ~BaseModule() override;

    // Unit codes.
    enum VoltageUnitCode { VoltageV = 0, VoltageKV = 1, VoltagePercent = 2, VoltageExp = 3 };
    enum CurrentUnitCode {
        CurrentNA = 0,
        CurrentUA = 1,
        CurrentMA = 2,
        CurrentA = 3,
        CurrentPercent = 4,
        CurrentExp = 5
    };

    // Device-class table: type code to class number (-1 when unknown) and back
    // (empty when the class has no type code).
    static int deviceClassForTypeCode(const QString &typeCode);
    static QString typeCodeForDeviceClass(int deviceClass);
    // Unit texts of the codes and the codes of the texts.
    static QString voltageUnitText(int code);
    static int voltageUnitCode(const QString &unit);
    static QString currentUnitText(int code);
    static int currentUnitCode(const QString &unit);
    // The unit factors (single precision, as the conversions apply them).
    static float voltageUserToSiFactor(int code);
    static float voltageSiToUserFactor(int code);
    static float currentUserToSiFactor(int code);
    static float currentSiToUserFactor(int code);
    // Mask of a list of channel numbers; numbers outside 0..63 are left out.
    static quint64 channelMask(const QList<int> &channels);

    int voltageUnitCode() const;
    int currentUnitCode() const;
    int lowCurrentUnitCode() const;

public slots:
    // ----- identity and module values -----
    virtual bool connected() = 0;
    virtual QString alarmMessage() = 0;
    virtual QString firmwareName();
    virtual bool isVexaHighVoltage();
    virtual bool isWienerLowVoltage();
    void setFirmwareName(int deviceClass);
    int deviceClass();
    void setDeviceClass(QString firmwareName);
    ModuleConnectionState connectionState();
    void setConnectionState(ModuleConnectionState value);
    virtual bool currentControl();
    virtual bool isDelayedTripCapable();
    virtual int serialNumber() = 0;
    virtual QString firmwareRelease() = 0;
    virtual quint32 decoderRelease() = 0;
    virtual void doClear() = 0;
    virtual QString address() = 0;
    virtual quint16 baseAddress();
    virtual void setBaseAddress(quint16 baseAddress);
    virtual float temperature(int index = 0) = 0;
    virtual float supplyP5() = 0;
    virtual float supplyP12() = 0;
    virtual float supplyN12() = 0;
    virtual quint32 adcSamplesPerSecond() = 0;
    virtual void setAdcSamplesPerSecond(quint32 sps) = 0;
    virtual quint32 digitalFilter() = 0;
    virtual void setDigitalFilter(quint32 filter) = 0;
    virtual float voltageLimit() = 0;
    virtual float currentLimit() = 0;

    // ----- module status, events and control -----
    virtual ModuleStatus status() = 0;
    virtual ModuleEventStatus eventStatus() = 0;
    virtual void setEventStatus(quint32 status) = 0;
    virtual void clearEventStatus() = 0;
    virtual quint32 eventChannelStatus() = 0;
    virtual void clearEventChannelStatus() = 0;
    virtual quint32 eventChannelMask() = 0;
    virtual void setEventChannelMask(quint32 mask) = 0;
    virtual quint32 eventGroupStatus() = 0;
    virtual quint32 eventGroupMask() = 0;
    virtual void setEventGroupMask(quint32 mask) = 0;
    virtual void clearEventGroupStatus() = 0;
    virtual ModuleEventMask eventMask() = 0;
    virtual void setEventMask(ModuleEventMask eventMask) = 0;
    virtual ModuleControl control() = 0;
    virtual void setControl(ModuleControl control) = 0;
    virtual float maximumVoltageRampSpeed();
    virtual float voltageRampSpeed() = 0;
    virtual void setVoltageRampSpeed(float vramp) = 0;
    virtual float currentRampSpeed() = 0;
    virtual void setCurrentRampSpeed(float iramp) = 0;
    virtual bool killEnable() = 0;
    virtual void setKillEnable(bool enable) = 0;
    virtual bool fineAdjustment();
    virtual void setFineAdjustment(bool on);
    virtual int channelNumber() = 0;
    virtual quint32 restartTime() = 0;
    virtual void setRestartTime(quint32 restartTime) = 0;

    // ----- groups of channels -----
    virtual void setSelectedChannelsOn(quint64 mask) = 0;
    virtual void setSelectedChannelsOn(QList<int> channels);
    virtual void setSelectedChannelsOff(quint64 mask) = 0;
    virtual void setSelectedChannelsOff(QList<int> channels);
    virtual void setSelectedChannelsEmergencyOff(quint64 mask) = 0;
    virtual void setSelectedChannelsEmergencyOff(QList<int> channels);
    virtual void clearSelectedChannelsEmergencyOff(quint64 mask) = 0;
    virtual void clearSelectedChannelsEmergencyOff(QList<int> channels);
    virtual void setAllChannelsVoltageSet(float vset) = 0;
    virtual void setAllChannelsCurrentSet(float iset) = 0;
    virtual void setAllChannelsDelayedTripAction(OutputSupervisionAction action, int delay);
    virtual void setAllChannelsInhibitAction(OutputSupervisionAction action);
    virtual void setChannelExternalMeasurementEnabled(int channel, bool enabled);
    virtual void setChannelRippleMeasurementEnabled(int channel, bool enabled);
    virtual void setChannelBothMeasurementsEnabled(int channel, bool enabled);
    virtual void doMultiplex();
    virtual bool canSetResistor();
    virtual void setResistor(LoadResistor resistor);
    virtual LoadResistor resistor();

    // ----- channels -----
    virtual ChannelStatus channelStatus(int channel) = 0;
    virtual ChannelEventStatus channelEventStatus(int channel) = 0;
    virtual void setChannelEventStatus(int channel, ChannelEventStatus resetMask) = 0;
    virtual void clearChannelEventStatus(int channel);
    virtual ChannelEventMask channelEventMask(int channel) = 0;
    virtual void setChannelEventMask(int channel, ChannelEventMask mask) = 0;
    virtual ChannelControl channelControl(int channel) = 0;
    virtual void setChannelControl(int channel, ChannelControl control) = 0;
    virtual void setChannelEmergencyOff(int channel) = 0;
    virtual void clearChannelEmergencyOff(int channel) = 0;
    virtual float channelVoltageNominal(int channel) = 0;
    virtual float channelCurrentNominal(int channel) = 0;
    virtual float channelVoltageSet(int channel) = 0;
    virtual void setChannelVoltageSet(int channel, float vset) = 0;
    virtual float channelVoltageMeasure(int channel) = 0;
    virtual float channelCurrentSet(int channel) = 0;
    virtual void setChannelCurrentSet(int channel, float iset) = 0;
    virtual void refreshAllDelayedTripActions();
    virtual bool channelDelayedTripEnabled(int channel);
    virtual bool channelDelayedTripRampDown(int channel);
    virtual int channelDelayedTripTime(int channel);
    virtual OutputSupervisionAction channelDelayedTripAction(int channel);
    virtual void setChannelDelayedTripAction(int channel, OutputSupervisionAction action, int delay);
    virtual void refreshAllInhibitActions();
    virtual OutputSupervisionAction channelInhibitAction(int channel);
    virtual void setChannelInhibitAction(int channel, OutputSupervisionAction action);
    virtual float channelCurrentMeasure(int channel) = 0;
    virtual bool canSetAsymmetricBounds();
    virtual float channelVoltageInterlockMaxSet(int channel) = 0;
    virtual void setChannelVoltageInterlockMaxSet(int channel, float ilkmax) = 0;
    virtual float channelVoltageInterlockMinSet(int channel) = 0;
    virtual void setChannelVoltageInterlockMinSet(int channel, float ilkmin) = 0;
    virtual float channelCurrentInterlockMaxSet(int channel) = 0;
    virtual void setChannelCurrentInterlockMaxSet(int channel, float ilkmax) = 0;
    virtual float channelCurrentInterlockMinSet(int channel) = 0;
    virtual void setChannelCurrentInterlockMinSet(int channel, float ilkmin) = 0;
    virtual void setChannelOn(int channel) = 0;
    virtual void setChannelOff(int channel) = 0;
    virtual float channelVoltageRiseRate(int channel);
    virtual float channelVoltageFallRate(int channel);
    virtual void setChannelVoltageRiseRate(int channel, float voltageRiseRate);
    virtual void setChannelVoltageFallRate(int channel, float voltageFallRate);

    // ----- units and formatting -----
    virtual bool useControllerUnits();
    virtual void setUseControllerUnits(bool controllerUnits);
    float userVoltageToSiVoltage(float value);
    float siVoltageToUserVoltage(float value);
    virtual QString formatVoltage(double value);
    virtual QString formatVoltageUnit(double value);
    virtual QString voltageUnit(int channel);
    virtual void setVoltageUnit(QString unit);
    virtual int voltagePrecision();
    virtual void setVoltagePrecision(int precision);
    float userCurrentToSiCurrent(float userCurrent);
    float siCurrentToUserCurrent(float siCurrent);
    float siCurrentToLowUserCurrent(float siCurrent);
    virtual QString formatCurrent(double value);
    virtual QString formatLowCurrent(double value);
    virtual QString formatCurrentUnit(double value, bool lowRange = false);
    virtual QString currentUnit(int channel);
    virtual void setCurrentUnit(QString unit);
    virtual QString lowCurrentUnit(int channel);
    virtual void setLowCurrentUnit(QString unit);
    virtual int currentPrecision();
    virtual void setCurrentPrecision(int precision);
    virtual int lowCurrentPrecision();
    virtual void setLowCurrentPrecision(int precision);

    // ----- interlock output, flex groups, nominal values, service -----
    virtual quint32 GetModuleIlkOutStatus() = 0;
    virtual quint32 GetModuleIlkOutControl() = 0;
    virtual void SetModuleIlkOutControl(quint32 control) = 0;
    virtual quint32 GetModuleIlkOutCount() = 0;
    virtual quint32 GetModuleIlkOutLastTrigger() = 0;
    virtual quint32 GetModuleIlkOutChnActualActive() = 0;
    virtual quint32 GetModuleIlkOutChnEverTriggered() = 0;
    virtual void setFlexGroup(int group, quint32 member, quint32 type) = 0;
    virtual quint32 flexGroupMemberList(int group) = 0;
    virtual quint32 flexGroupType(int group) = 0;
    virtual float channelVoltageHardwareNominal(int channel) = 0;
    virtual void setChannelVoltageNominal(int channel, float maxset) = 0;
    virtual float channelCurrentHardwareNominal(int channel) = 0;
    virtual void setChannelCurrentNominal(int channel, float maxset) = 0;
    virtual void setSpecialControlCommand(quint32 command) = 0;
    virtual quint32 specialControlCommand() = 0;
    virtual quint32 specialControlStatus() = 0;
    virtual void sendHexLine(QByteArray record) = 0;
    virtual void programBaseAddress(quint16 address) = 0;
    virtual quint16 verifyBaseAddress() = 0;
    virtual FactoryMode factoryMode();
    virtual void setFactoryMode(FactoryMode factoryMode);
    virtual void setFactoryCurrentMeasurementRange(CurrentMeasurementRange range);
    virtual float factoryInternalPositiveOpv();
    virtual float factoryInternalNegativeOpv();

protected:
    // Sets the type code read from the module itself (unlike setFirmwareName, which
    // only fills an empty one from a class number).
    void setTypeCode(const QString &typeCode);

private:
    QString formatValue(double value, double factor, bool exponent, int precision) const;

    // The type code is a string and needs the mutex; the numbers are atomics, read
    // on every conversion without a lock.
    mutable QMutex m_fieldMutex;
    QString m_firmwareName;
    std::atomic<int> m_deviceClass{-1};
    std::atomic<ModuleConnectionState> m_connectionState{ModuleConnectionState::Unknown};
    std::atomic<int> m_voltageUnit{VoltageV};
    std::atomic<int> m_voltagePrecision{1};
    std::atomic<int> m_currentUnit{CurrentMA};
    std::atomic<int> m_currentPrecision{3};
    std::atomic<int> m_lowCurrentUnit{CurrentUA};
    std::atomic<int> m_lowCurrentPrecision{5};
};
