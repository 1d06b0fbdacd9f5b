// Generated once from the access library's header and then edited by hand where
// a function answers from the fake crate state.
#include "fakewienerlibrary.h"

#include <QMutex>
#include <QtGlobal>

#include <algorithm>
#include <cstring>

namespace FakeWiener {

namespace {

State S;
// A script thread calls the fake while the test reads the calls so far.
QMutex callsMutex;
char fakeHandleTarget;
void *const fakeHandle = &fakeHandleTarget;

QString argText(int v) { return QString::number(v); }
QString argText(double v) { return QString::number(v, 'g', 12); }
QString argText(const char *v) { return QString::fromLatin1(v ? v : "(null)"); }
QString argText(const SnmpIntRecord *r)
{
    QStringList values;
    for (int i = 0; r && i < r->count; ++i)
        values << QString::number(r->value[i]);
    return QLatin1Char('[') + values.join(QLatin1Char(',')) + QLatin1Char(']');
}
QString argText(const SnmpDoubleRecord *r)
{
    QStringList values;
    for (int i = 0; r && i < r->count; ++i)
        values << QString::number(r->value[i], 'g', 12);
    return QLatin1Char('[') + values.join(QLatin1Char(',')) + QLatin1Char(']');
}

template <typename... A>
void record(const char *name, A... args)
{
    QStringList texts{argText(args)...};
    const QString call = QString::fromLatin1(name) + QLatin1Char('(') + texts.join(QLatin1Char(',')) + QLatin1Char(')');
    {
        QMutexLocker lock(&callsMutex);
        S.calls << call;
    }
    // Outside the lock: the hook may hold the calling thread (a refresh held open).
    if (S.afterCall)
        S.afterCall(call);
}

int recordCount(int size)
{
    int count = std::clamp(size, 0, WIENER_SNMP_MAX_VALUES);
    if (S.recordLimit >= 0)
        count = std::min(count, S.recordLimit);
    return count;
}

SnmpIntRecord *readInts(const QMap<int, int> &values, int start, int size)
{
    static SnmpIntRecord result;
    std::memset(&result, 0, sizeof(result));
    result.count = recordCount(size);
    for (int i = 0; i < result.count; ++i)
        result.value[i] = values.value(start + i);
    return &result;
}

SnmpDoubleRecord *readDoubles(const QMap<int, double> &values, int start, int size)
{
    static SnmpDoubleRecord result;
    std::memset(&result, 0, sizeof(result));
    result.count = recordCount(size);
    for (int i = 0; i < result.count; ++i)
        result.value[i] = values.value(start + i);
    return &result;
}

SnmpIntRecord *writeInts(QMap<int, int> &values, int start, const SnmpIntRecord *record)
{
    static SnmpIntRecord result;
    result = *record;
    for (int i = 0; i < record->count; ++i)
        values[start + i] = record->value[i];
    return &result;
}

SnmpDoubleRecord *writeDoubles(QMap<int, double> &values, int start, const SnmpDoubleRecord *record)
{
    static SnmpDoubleRecord result;
    result = *record;
    for (int i = 0; i < record->count; ++i)
        values[start + i] = record->value[i];
    return &result;
}

int fake_snmpInit()
{
    record("snmpInit");
    return S.initResult;
}

void fake_snmpCleanup()
{
    record("snmpCleanup");
}

HSNMP fake_snmpOpen(const char *ipAddress)
{
    record("snmpOpen", ipAddress);
    return S.openFails ? nullptr : reinterpret_cast<HSNMP>(fakeHandle);
}

void fake_snmpClose(HSNMP session)
{
    Q_UNUSED(session)
    record("snmpClose");
}

const char * fake_snmpGetLastError()
{
    record("snmpGetLastError");
    return S.lastError.constData();
}

int fake_getMainSwitch(HSNMP session)
{
    Q_UNUSED(session)
    record("getMainSwitch");
    return S.mainSwitch;
}

int fake_setMainSwitch(HSNMP session, int value)
{
    Q_UNUSED(session)
    record("setMainSwitch", value);
    S.mainSwitch = value; return value;
}

int fake_getMainStatus(HSNMP session)
{
    Q_UNUSED(session)
    record("getMainStatus");
    return int();
}

int fake_getIpStaticAddress(HSNMP session)
{
    Q_UNUSED(session)
    record("getIpStaticAddress");
    return int();
}

int fake_setIpStaticAddress(HSNMP session, int value)
{
    Q_UNUSED(session)
    record("setIpStaticAddress", value);
    return int();
}

const char * fake_getPsSerialNumber(HSNMP session)
{
    Q_UNUSED(session)
    record("getPsSerialNumber");
    return S.psSerialNumber.constData();
}

const char * fake_getSysDescr(HSNMP session)
{
    Q_UNUSED(session)
    record("getSysDescr");
    return S.sysDescr.constData();
}

double fake_getPsAuxVoltage(HSNMP session, int auxIndex)
{
    Q_UNUSED(session)
    record("getPsAuxVoltage", auxIndex);
    return auxIndex == 4 ? S.auxVoltage4 : 0.0;
}

double fake_getPsAuxCurrent(HSNMP session, int auxIndex)
{
    Q_UNUSED(session)
    record("getPsAuxCurrent", auxIndex);
    return 0.0;
}

int fake_getFanNominalSpeed(HSNMP session)
{
    Q_UNUSED(session)
    record("getFanNominalSpeed");
    return S.fanSpeed;
}

int fake_setFanNominalSpeed(HSNMP session, int rpm)
{
    Q_UNUSED(session)
    record("setFanNominalSpeed", rpm);
    S.fanSpeed = rpm; return rpm;
}

int fake_getOutputNumber(HSNMP session)
{
    Q_UNUSED(session)
    record("getOutputNumber");
    return int();
}

int fake_getOutputGroups(HSNMP session)
{
    Q_UNUSED(session)
    record("getOutputGroups");
    return int();
}

int fake_getOutputGroup(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputGroup", channel);
    return int();
}

int fake_getChannelStatus(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getChannelStatus", channel);
    return int();
}

double fake_getOutputSenseMeasurement(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputSenseMeasurement", channel);
    return 0.0;
}

double fake_getOutputTerminalMeasurement(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputTerminalMeasurement", channel);
    return 0.0;
}

double fake_getCurrentMeasurement(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getCurrentMeasurement", channel);
    return 0.0;
}

int fake_setHighVoltageGroupsSwitch(HSNMP session, int value)
{
    Q_UNUSED(session)
    record("setHighVoltageGroupsSwitch", value);
    return int();
}

int fake_getHighVoltageGroupsSwitch(HSNMP session)
{
    Q_UNUSED(session)
    record("getHighVoltageGroupsSwitch");
    return int();
}

int fake_setLowVoltageGroupsSwitch(HSNMP session, int value)
{
    Q_UNUSED(session)
    record("setLowVoltageGroupsSwitch", value);
    return int();
}

int fake_getLowVoltageGroupsSwitch(HSNMP session)
{
    Q_UNUSED(session)
    record("getLowVoltageGroupsSwitch");
    return int();
}

double fake_getTemperatureMeasurement(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getTemperatureMeasurement", channel);
    return 0.0;
}

double fake_getModuleAuxTemperature(HSNMP session, int slot, int index)
{
    Q_UNUSED(session)
    record("getModuleAuxTemperature", slot, index);
    return S.moduleDouble.value(slot) + index;
}

int fake_setChannelSwitch(HSNMP session, int channel, int value)
{
    Q_UNUSED(session)
    record("setChannelSwitch", channel, value);
    S.switches[channel] = value; return value;
}

int fake_getChannelSwitch(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getChannelSwitch", channel);
    return int();
}

double fake_getOutputVoltage(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputVoltage", channel);
    return 0.0;
}

double fake_setOutputVoltage(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputVoltage", channel, value);
    S.voltageSet[channel] = value; return value;
}

double fake_getOutputCurrent(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputCurrent", channel);
    return 0.0;
}

double fake_setOutputCurrent(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputCurrent", channel, value);
    S.currentSet[channel] = value; return value;
}

double fake_getOutputRiseRate(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputRiseRate", channel);
    return S.channelDouble.value(channel);
}

double fake_setOutputRiseRate(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputRiseRate", channel, value);
    S.channelDouble[channel] = value;
    return value;
}

double fake_getOutputFallRate(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputFallRate", channel);
    return S.channelDouble.value(channel);
}

double fake_setOutputFallRate(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputFallRate", channel, value);
    S.channelDouble[channel] = value;
    return value;
}

double fake_getOutputCurrentRiseRate(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputCurrentRiseRate", channel);
    return 0.0;
}

double fake_setOutputCurrentRiseRate(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputCurrentRiseRate", channel, value);
    return 0.0;
}

double fake_getOutputCurrentFallRate(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputCurrentFallRate", channel);
    return 0.0;
}

double fake_setOutputCurrentFallRate(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputCurrentFallRate", channel, value);
    return 0.0;
}

int fake_getOutputSupervisionBehavior(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputSupervisionBehavior", channel);
    return int();
}

int fake_setOutputSupervisionBehavior(HSNMP session, int channel, int value)
{
    Q_UNUSED(session)
    record("setOutputSupervisionBehavior", channel, value);
    S.behaviours[channel] = value; return value;
}

double fake_getOutputSupervisionMinSenseVoltage(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputSupervisionMinSenseVoltage", channel);
    return 0.0;
}

double fake_setOutputSupervisionMinSenseVoltage(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputSupervisionMinSenseVoltage", channel, value);
    return 0.0;
}

double fake_getOutputSupervisionMaxSenseVoltage(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputSupervisionMaxSenseVoltage", channel);
    return 0.0;
}

double fake_setOutputSupervisionMaxSenseVoltage(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputSupervisionMaxSenseVoltage", channel, value);
    return 0.0;
}

double fake_getOutputSupervisionMaxTerminalVoltage(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputSupervisionMaxTerminalVoltage", channel);
    return S.maxTerminalVoltage.value(channel);
}

double fake_setOutputSupervisionMaxTerminalVoltage(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputSupervisionMaxTerminalVoltage", channel, value);
    S.maxTerminalVoltage[channel] = value;
    return value;
}

double fake_getOutputSupervisionMaxCurrent(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputSupervisionMaxCurrent", channel);
    return S.maxCurrent.value(channel);
}

double fake_setOutputSupervisionMaxCurrent(HSNMP session, int channel, double value)
{
    Q_UNUSED(session)
    record("setOutputSupervisionMaxCurrent", channel, value);
    S.maxCurrent[channel] = value;
    return value;
}

double fake_getOutputConfigMaxSenseVoltage(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputConfigMaxSenseVoltage", channel);
    return 0.0;
}

double fake_getOutputConfigMaxTerminalVoltage(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputConfigMaxTerminalVoltage", channel);
    return 0.0;
}

double fake_getOutputConfigMaxCurrent(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputConfigMaxCurrent", channel);
    return 0.0;
}

double fake_getOutputSupervisionMaxPower(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputSupervisionMaxPower", channel);
    return 0.0;
}

int fake_getOutputTripTimeMaxCurrent(HSNMP session, int channel)
{
    Q_UNUSED(session)
    record("getOutputTripTimeMaxCurrent", channel);
    return int();
}

int fake_setOutputTripTimeMaxCurrent(HSNMP session, int channel, int milliseconds)
{
    Q_UNUSED(session)
    record("setOutputTripTimeMaxCurrent", channel, milliseconds);
    S.tripTimes[channel] = milliseconds; return milliseconds;
}

const char * fake_getModuleDescription(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleDescription", slot);
    static QByteArray text; text = S.moduleDescriptions.value(slot); return text.constData();
}

double fake_getModuleSupply24(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleSupply24", slot);
    return S.moduleDouble.value(slot);
}

double fake_getModuleSupply5(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleSupply5", slot);
    return S.moduleDouble.value(slot);
}

double fake_getModuleHardwareLimitVoltage(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleHardwareLimitVoltage", slot);
    return S.moduleDouble.value(slot);
}

double fake_getModuleHardwareLimitCurrent(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleHardwareLimitCurrent", slot);
    return S.moduleDouble.value(slot);
}

double fake_getModuleRampSpeedVoltage(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleRampSpeedVoltage", slot);
    return S.moduleDouble.value(slot);
}

double fake_setModuleRampSpeedVoltage(HSNMP session, int slot, double percent)
{
    Q_UNUSED(session)
    record("setModuleRampSpeedVoltage", slot, percent);
    S.moduleDouble[slot] = percent;
    return percent;
}

double fake_getModuleRampSpeedCurrent(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleRampSpeedCurrent", slot);
    return S.moduleDouble.value(slot);
}

double fake_setModuleRampSpeedCurrent(HSNMP session, int slot, double percent)
{
    Q_UNUSED(session)
    record("setModuleRampSpeedCurrent", slot, percent);
    S.moduleDouble[slot] = percent;
    return percent;
}

int fake_getModuleStatus(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleStatus", slot);
    return S.moduleStatus.value(slot);
}

int fake_getModuleEventStatus(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("getModuleEventStatus", slot);
    return S.moduleEventStatus.value(slot);
}

int fake_setModuleDoClear(HSNMP session, int slot)
{
    Q_UNUSED(session)
    record("setModuleDoClear", slot);
    return int();
}

SnmpIntRecord * fake_getMultipleChannelStatuses(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleChannelStatuses", start, size);
    return readInts(S.channelStatus, start, size);
}

SnmpIntRecord * fake_getMultipleOutputSwitches(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleOutputSwitches", start, size);
    return readInts(S.switches, start, size);
}

SnmpIntRecord * fake_setMultipleOutputSwitches(HSNMP session, int start, const SnmpIntRecord *values)
{
    Q_UNUSED(session)
    record("setMultipleOutputSwitches", start, values);
    return writeInts(S.switches, start, values);
}

SnmpIntRecord * fake_getMultipleOutputTripTimeMaxCurrents(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleOutputTripTimeMaxCurrents", start, size);
    return readInts(S.tripTimes, start, size);
}

SnmpIntRecord * fake_setMultipleOutputTripTimeMaxCurrents(HSNMP session, int start, const SnmpIntRecord *values)
{
    Q_UNUSED(session)
    record("setMultipleOutputTripTimeMaxCurrents", start, values);
    return writeInts(S.tripTimes, start, values);
}

SnmpIntRecord * fake_getMultipleOutputSupervisionBehaviors(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleOutputSupervisionBehaviors", start, size);
    return readInts(S.behaviours, start, size);
}

SnmpIntRecord * fake_setMultipleOutputSupervisionBehaviors(HSNMP session, int start, const SnmpIntRecord *values)
{
    Q_UNUSED(session)
    record("setMultipleOutputSupervisionBehaviors", start, values);
    return writeInts(S.behaviours, start, values);
}

SnmpDoubleRecord * fake_getMultipleOutputVoltages(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleOutputVoltages", start, size);
    return readDoubles(S.voltageSet, start, size);
}

SnmpDoubleRecord * fake_setMultipleOutputVoltages(HSNMP session, int start, const SnmpDoubleRecord *values)
{
    Q_UNUSED(session)
    record("setMultipleOutputVoltages", start, values);
    return writeDoubles(S.voltageSet, start, values);
}

SnmpDoubleRecord * fake_getMultipleMeasurementTerminalVoltages(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleMeasurementTerminalVoltages", start, size);
    return readDoubles(S.voltageMeasure, start, size);
}

SnmpDoubleRecord * fake_getMultipleOutputConfigMaxTerminalVoltages(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleOutputConfigMaxTerminalVoltages", start, size);
    return readDoubles(S.voltageNominal, start, size);
}

SnmpDoubleRecord * fake_getMultipleOutputCurrents(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleOutputCurrents", start, size);
    return readDoubles(S.currentSet, start, size);
}

SnmpDoubleRecord * fake_setMultipleOutputCurrents(HSNMP session, int start, const SnmpDoubleRecord *values)
{
    Q_UNUSED(session)
    record("setMultipleOutputCurrents", start, values);
    return writeDoubles(S.currentSet, start, values);
}

SnmpDoubleRecord * fake_getMultipleMeasurementCurrents(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleMeasurementCurrents", start, size);
    return readDoubles(S.currentMeasure, start, size);
}

SnmpDoubleRecord * fake_getMultipleOutputConfigMaxCurrents(HSNMP session, int start, int size)
{
    Q_UNUSED(session)
    record("getMultipleOutputConfigMaxCurrents", start, size);
    return readDoubles(S.currentNominal, start, size);
}

} // namespace

State &state() { return S; }

void reset()
{
    QMutexLocker lock(&callsMutex);
    S = State();
}

WienerSnmpFunctions functions()
{
    WienerSnmpFunctions table;
    table.snmpInit = fake_snmpInit;
    table.snmpCleanup = fake_snmpCleanup;
    table.snmpOpen = fake_snmpOpen;
    table.snmpClose = fake_snmpClose;
    table.snmpGetLastError = fake_snmpGetLastError;
    table.getMainSwitch = fake_getMainSwitch;
    table.setMainSwitch = fake_setMainSwitch;
    table.getMainStatus = fake_getMainStatus;
    table.getIpStaticAddress = fake_getIpStaticAddress;
    table.setIpStaticAddress = fake_setIpStaticAddress;
    table.getPsSerialNumber = fake_getPsSerialNumber;
    table.getSysDescr = fake_getSysDescr;
    table.getPsAuxVoltage = fake_getPsAuxVoltage;
    table.getPsAuxCurrent = fake_getPsAuxCurrent;
    table.getFanNominalSpeed = fake_getFanNominalSpeed;
    table.setFanNominalSpeed = fake_setFanNominalSpeed;
    table.getOutputNumber = fake_getOutputNumber;
    table.getOutputGroups = fake_getOutputGroups;
    table.getOutputGroup = fake_getOutputGroup;
    table.getChannelStatus = fake_getChannelStatus;
    table.getOutputSenseMeasurement = fake_getOutputSenseMeasurement;
    table.getOutputTerminalMeasurement = fake_getOutputTerminalMeasurement;
    table.getCurrentMeasurement = fake_getCurrentMeasurement;
    table.setHighVoltageGroupsSwitch = fake_setHighVoltageGroupsSwitch;
    table.getHighVoltageGroupsSwitch = fake_getHighVoltageGroupsSwitch;
    table.setLowVoltageGroupsSwitch = fake_setLowVoltageGroupsSwitch;
    table.getLowVoltageGroupsSwitch = fake_getLowVoltageGroupsSwitch;
    table.getTemperatureMeasurement = fake_getTemperatureMeasurement;
    table.getModuleAuxTemperature = fake_getModuleAuxTemperature;
    table.setChannelSwitch = fake_setChannelSwitch;
    table.getChannelSwitch = fake_getChannelSwitch;
    table.getOutputVoltage = fake_getOutputVoltage;
    table.setOutputVoltage = fake_setOutputVoltage;
    table.getOutputCurrent = fake_getOutputCurrent;
    table.setOutputCurrent = fake_setOutputCurrent;
    table.getOutputRiseRate = fake_getOutputRiseRate;
    table.setOutputRiseRate = fake_setOutputRiseRate;
    table.getOutputFallRate = fake_getOutputFallRate;
    table.setOutputFallRate = fake_setOutputFallRate;
    table.getOutputCurrentRiseRate = fake_getOutputCurrentRiseRate;
    table.setOutputCurrentRiseRate = fake_setOutputCurrentRiseRate;
    table.getOutputCurrentFallRate = fake_getOutputCurrentFallRate;
    table.setOutputCurrentFallRate = fake_setOutputCurrentFallRate;
    table.getOutputSupervisionBehavior = fake_getOutputSupervisionBehavior;
    table.setOutputSupervisionBehavior = fake_setOutputSupervisionBehavior;
    table.getOutputSupervisionMinSenseVoltage = fake_getOutputSupervisionMinSenseVoltage;
    table.setOutputSupervisionMinSenseVoltage = fake_setOutputSupervisionMinSenseVoltage;
    table.getOutputSupervisionMaxSenseVoltage = fake_getOutputSupervisionMaxSenseVoltage;
    table.setOutputSupervisionMaxSenseVoltage = fake_setOutputSupervisionMaxSenseVoltage;
    table.getOutputSupervisionMaxTerminalVoltage = fake_getOutputSupervisionMaxTerminalVoltage;
    table.setOutputSupervisionMaxTerminalVoltage = fake_setOutputSupervisionMaxTerminalVoltage;
    table.getOutputSupervisionMaxCurrent = fake_getOutputSupervisionMaxCurrent;
    table.setOutputSupervisionMaxCurrent = fake_setOutputSupervisionMaxCurrent;
    table.getOutputConfigMaxSenseVoltage = fake_getOutputConfigMaxSenseVoltage;
    table.getOutputConfigMaxTerminalVoltage = fake_getOutputConfigMaxTerminalVoltage;
    table.getOutputConfigMaxCurrent = fake_getOutputConfigMaxCurrent;
    table.getOutputSupervisionMaxPower = fake_getOutputSupervisionMaxPower;
    table.getOutputTripTimeMaxCurrent = fake_getOutputTripTimeMaxCurrent;
    table.setOutputTripTimeMaxCurrent = fake_setOutputTripTimeMaxCurrent;
    table.getModuleDescription = fake_getModuleDescription;
    table.getModuleSupply24 = fake_getModuleSupply24;
    table.getModuleSupply5 = fake_getModuleSupply5;
    table.getModuleHardwareLimitVoltage = fake_getModuleHardwareLimitVoltage;
    table.getModuleHardwareLimitCurrent = fake_getModuleHardwareLimitCurrent;
    table.getModuleRampSpeedVoltage = fake_getModuleRampSpeedVoltage;
    table.setModuleRampSpeedVoltage = fake_setModuleRampSpeedVoltage;
    table.getModuleRampSpeedCurrent = fake_getModuleRampSpeedCurrent;
    table.setModuleRampSpeedCurrent = fake_setModuleRampSpeedCurrent;
    table.getModuleStatus = fake_getModuleStatus;
    table.getModuleEventStatus = fake_getModuleEventStatus;
    table.setModuleDoClear = fake_setModuleDoClear;
    table.getMultipleChannelStatuses = fake_getMultipleChannelStatuses;
    table.getMultipleOutputSwitches = fake_getMultipleOutputSwitches;
    table.setMultipleOutputSwitches = fake_setMultipleOutputSwitches;
    table.getMultipleOutputTripTimeMaxCurrents = fake_getMultipleOutputTripTimeMaxCurrents;
    table.setMultipleOutputTripTimeMaxCurrents = fake_setMultipleOutputTripTimeMaxCurrents;
    table.getMultipleOutputSupervisionBehaviors = fake_getMultipleOutputSupervisionBehaviors;
    table.setMultipleOutputSupervisionBehaviors = fake_setMultipleOutputSupervisionBehaviors;
    table.getMultipleOutputVoltages = fake_getMultipleOutputVoltages;
    table.setMultipleOutputVoltages = fake_setMultipleOutputVoltages;
    table.getMultipleMeasurementTerminalVoltages = fake_getMultipleMeasurementTerminalVoltages;
    table.getMultipleOutputConfigMaxTerminalVoltages = fake_getMultipleOutputConfigMaxTerminalVoltages;
    table.getMultipleOutputCurrents = fake_getMultipleOutputCurrents;
    table.setMultipleOutputCurrents = fake_setMultipleOutputCurrents;
    table.getMultipleMeasurementCurrents = fake_getMultipleMeasurementCurrents;
    table.getMultipleOutputConfigMaxCurrents = fake_getMultipleOutputConfigMaxCurrents;
    return table;
}

QStringList calls(const QStringList &namePrefixes)
{
    QMutexLocker lock(&callsMutex);
    if (namePrefixes.isEmpty())
        return S.calls;
    QStringList result;
    for (const QString &call : S.calls)
        for (const QString &prefix : namePrefixes)
            if (call.startsWith(prefix + QLatin1Char('('))) {
                result << call;
                break;
            }
    return result;
}

void clearCalls()
{
    QMutexLocker lock(&callsMutex);
    S.calls.clear();
}

} // namespace FakeWiener
