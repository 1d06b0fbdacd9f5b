/*
 * WIENER_SNMP: crate access over SNMP, loaded by cratectl at run time and bound
 * by function name.
 *
 * Addressing: module calls take the slot (0 to 9); channel calls take
 * slot * 100 + channel (channel from 0). Physical values are doubles in SI units
 * (V, A, degrees Celsius, percent for ramp speeds); statuses, switches, supervision
 * behaviours, trip times and fan speeds are ints.
 *
 * Ownership: texts and records returned by the library belong to the library and
 * stay valid until the next call on the same handle. Calls on one handle must not
 * run concurrently; calls on different handles may.
 *
 * Failures never crash and never block longer than the session's time-out and
 * retries: texts come back empty, numbers 0, records with count 0, and
 * snmpGetLastError() says what happened.
 */
#ifndef WIENER_SNMP_H
#define WIENER_SNMP_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define WIENER_SNMP_API __declspec(dllexport)
#else
#define WIENER_SNMP_API __attribute__((visibility("default")))
#endif

/* Opaque session handle; 0 when snmpOpen failed. */
typedef void *HSNMP;

/* Most values one multiple-channel record carries. */
#define WIENER_SNMP_MAX_VALUES 100

/* Multiple-value records: an int count, then the values. For doubles the values
 * start at the next 8-byte boundary after the count (offset 8). */
typedef struct SnmpIntRecord {
    int count;
    int value[WIENER_SNMP_MAX_VALUES];
} SnmpIntRecord;

typedef struct SnmpDoubleRecord {
    int count;
    double value[WIENER_SNMP_MAX_VALUES];
} SnmpDoubleRecord;

/* Library and session */
WIENER_SNMP_API int snmpInit(void);
WIENER_SNMP_API void snmpCleanup(void);
WIENER_SNMP_API HSNMP snmpOpen(const char *ipAddress);
WIENER_SNMP_API void snmpClose(HSNMP session);
WIENER_SNMP_API const char *snmpGetLastError(void);

/* Crate */
WIENER_SNMP_API int getMainSwitch(HSNMP session);
WIENER_SNMP_API int setMainSwitch(HSNMP session, int value);
WIENER_SNMP_API int getMainStatus(HSNMP session);
WIENER_SNMP_API int getIpStaticAddress(HSNMP session);
/* value: first octet in the lowest byte */
WIENER_SNMP_API int setIpStaticAddress(HSNMP session, int value);
WIENER_SNMP_API const char *getPsSerialNumber(HSNMP session);
WIENER_SNMP_API const char *getSysDescr(HSNMP session);
WIENER_SNMP_API double getPsAuxVoltage(HSNMP session, int auxIndex);
WIENER_SNMP_API double getPsAuxCurrent(HSNMP session, int auxIndex);
WIENER_SNMP_API int getFanNominalSpeed(HSNMP session);
WIENER_SNMP_API int setFanNominalSpeed(HSNMP session, int rpm);
WIENER_SNMP_API int getOutputNumber(HSNMP session);
WIENER_SNMP_API int getOutputGroups(HSNMP session);
WIENER_SNMP_API int getOutputGroup(HSNMP session, int channel);

/* Single channel (channel = slot * 100 + channel) */
WIENER_SNMP_API int getChannelStatus(HSNMP session, int channel);
WIENER_SNMP_API double getOutputSenseMeasurement(HSNMP session, int channel);
WIENER_SNMP_API double getOutputTerminalMeasurement(HSNMP session, int channel);
WIENER_SNMP_API double getCurrentMeasurement(HSNMP session, int channel);
WIENER_SNMP_API int setHighVoltageGroupsSwitch(HSNMP session, int value);
WIENER_SNMP_API int getHighVoltageGroupsSwitch(HSNMP session);
WIENER_SNMP_API int setLowVoltageGroupsSwitch(HSNMP session, int value);
WIENER_SNMP_API int getLowVoltageGroupsSwitch(HSNMP session);
WIENER_SNMP_API double getTemperatureMeasurement(HSNMP session, int channel);
WIENER_SNMP_API double getModuleAuxTemperature(HSNMP session, int slot, int index);
WIENER_SNMP_API int setChannelSwitch(HSNMP session, int channel, int value);
WIENER_SNMP_API int getChannelSwitch(HSNMP session, int channel);

WIENER_SNMP_API double getOutputVoltage(HSNMP session, int channel);
WIENER_SNMP_API double setOutputVoltage(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputCurrent(HSNMP session, int channel);
WIENER_SNMP_API double setOutputCurrent(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputRiseRate(HSNMP session, int channel);
WIENER_SNMP_API double setOutputRiseRate(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputFallRate(HSNMP session, int channel);
WIENER_SNMP_API double setOutputFallRate(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputCurrentRiseRate(HSNMP session, int channel);
WIENER_SNMP_API double setOutputCurrentRiseRate(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputCurrentFallRate(HSNMP session, int channel);
WIENER_SNMP_API double setOutputCurrentFallRate(HSNMP session, int channel, double value);
WIENER_SNMP_API int getOutputSupervisionBehavior(HSNMP session, int channel);
WIENER_SNMP_API int setOutputSupervisionBehavior(HSNMP session, int channel, int value);
WIENER_SNMP_API double getOutputSupervisionMinSenseVoltage(HSNMP session, int channel);
WIENER_SNMP_API double setOutputSupervisionMinSenseVoltage(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputSupervisionMaxSenseVoltage(HSNMP session, int channel);
WIENER_SNMP_API double setOutputSupervisionMaxSenseVoltage(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputSupervisionMaxTerminalVoltage(HSNMP session, int channel);
WIENER_SNMP_API double setOutputSupervisionMaxTerminalVoltage(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputSupervisionMaxCurrent(HSNMP session, int channel);
WIENER_SNMP_API double setOutputSupervisionMaxCurrent(HSNMP session, int channel, double value);
WIENER_SNMP_API double getOutputConfigMaxSenseVoltage(HSNMP session, int channel);
WIENER_SNMP_API double getOutputConfigMaxTerminalVoltage(HSNMP session, int channel);
WIENER_SNMP_API double getOutputConfigMaxCurrent(HSNMP session, int channel);
WIENER_SNMP_API double getOutputSupervisionMaxPower(HSNMP session, int channel);
WIENER_SNMP_API int getOutputTripTimeMaxCurrent(HSNMP session, int channel);
WIENER_SNMP_API int setOutputTripTimeMaxCurrent(HSNMP session, int channel, int milliseconds);

/* Module (slot 0 to 9) */
WIENER_SNMP_API const char *getModuleDescription(HSNMP session, int slot);
WIENER_SNMP_API double getModuleSupply24(HSNMP session, int slot);
WIENER_SNMP_API double getModuleSupply5(HSNMP session, int slot);
WIENER_SNMP_API double getModuleHardwareLimitVoltage(HSNMP session, int slot);
WIENER_SNMP_API double getModuleHardwareLimitCurrent(HSNMP session, int slot);
WIENER_SNMP_API double getModuleRampSpeedVoltage(HSNMP session, int slot);
WIENER_SNMP_API double setModuleRampSpeedVoltage(HSNMP session, int slot, double percent);
WIENER_SNMP_API double getModuleRampSpeedCurrent(HSNMP session, int slot);
WIENER_SNMP_API double setModuleRampSpeedCurrent(HSNMP session, int slot, double percent);
WIENER_SNMP_API int getModuleStatus(HSNMP session, int slot);
WIENER_SNMP_API int getModuleEventStatus(HSNMP session, int slot);
WIENER_SNMP_API int setModuleDoClear(HSNMP session, int slot);

/* Multiple channels: one request for `size` channels from `start` (slot * 100).
 * The result's count says how many values arrived (0 on failure). */
WIENER_SNMP_API SnmpIntRecord *getMultipleChannelStatuses(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpIntRecord *getMultipleOutputSwitches(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpIntRecord *setMultipleOutputSwitches(HSNMP session, int start, const SnmpIntRecord *values);
WIENER_SNMP_API SnmpIntRecord *getMultipleOutputTripTimeMaxCurrents(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpIntRecord *setMultipleOutputTripTimeMaxCurrents(HSNMP session, int start,
                                                                   const SnmpIntRecord *values);
WIENER_SNMP_API SnmpIntRecord *getMultipleOutputSupervisionBehaviors(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpIntRecord *setMultipleOutputSupervisionBehaviors(HSNMP session, int start,
                                                                    const SnmpIntRecord *values);
WIENER_SNMP_API SnmpDoubleRecord *getMultipleOutputVoltages(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpDoubleRecord *setMultipleOutputVoltages(HSNMP session, int start, const SnmpDoubleRecord *values);
WIENER_SNMP_API SnmpDoubleRecord *getMultipleMeasurementTerminalVoltages(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpDoubleRecord *getMultipleOutputConfigMaxTerminalVoltages(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpDoubleRecord *getMultipleOutputCurrents(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpDoubleRecord *setMultipleOutputCurrents(HSNMP session, int start, const SnmpDoubleRecord *values);
WIENER_SNMP_API SnmpDoubleRecord *getMultipleMeasurementCurrents(HSNMP session, int start, int size);
WIENER_SNMP_API SnmpDoubleRecord *getMultipleOutputConfigMaxCurrents(HSNMP session, int start, int size);

#ifdef __cplusplus
}
#endif

#endif /* WIENER_SNMP_H */
