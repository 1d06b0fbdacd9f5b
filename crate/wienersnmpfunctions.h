#pragma once
// The function table of the crate access library. The pointer types come from the
// library's own header, so a changed signature breaks the build instead of the stack.

#include "wiener_snmp.h"

#include <functional>

// Every function of the library, in the order in which it is resolved at start-up.
// The first one that cannot be resolved is the one named in the error message.
#define WIENER_SNMP_FUNCTION_LIST(X)                                                                        \
    X(snmpInit)                                                                                               \
    X(snmpCleanup)                                                                                            \
    X(snmpOpen)                                                                                               \
    X(snmpClose)                                                                                              \
    X(snmpGetLastError)                                                                                       \
    X(getMainSwitch)                                                                                          \
    X(setMainSwitch)                                                                                          \
    X(getMainStatus)                                                                                          \
    X(getIpStaticAddress)                                                                                     \
    X(setIpStaticAddress)                                                                                     \
    X(getPsSerialNumber)                                                                                      \
    X(getSysDescr)                                                                                            \
    X(getPsAuxVoltage)                                                                                        \
    X(getPsAuxCurrent)                                                                                        \
    X(getFanNominalSpeed)                                                                                     \
    X(setFanNominalSpeed)                                                                                     \
    X(getOutputNumber)                                                                                        \
    X(getOutputGroups)                                                                                        \
    X(getOutputGroup)                                                                                         \
    X(getChannelStatus)                                                                                       \
    X(getOutputSenseMeasurement)                                                                              \
    X(getOutputTerminalMeasurement)                                                                           \
    X(getCurrentMeasurement)                                                                                  \
    X(setHighVoltageGroupsSwitch)                                                                             \
    X(getHighVoltageGroupsSwitch)                                                                             \
    X(setLowVoltageGroupsSwitch)                                                                              \
    X(getLowVoltageGroupsSwitch)                                                                              \
    X(getTemperatureMeasurement)                                                                              \
    X(getModuleAuxTemperature)                                                                                \
    X(setChannelSwitch)                                                                                       \
    X(getChannelSwitch)                                                                                       \
    X(getOutputVoltage)                                                                                       \
    X(setOutputVoltage)                                                                                       \
    X(getOutputCurrent)                                                                                       \
    X(setOutputCurrent)                                                                                       \
    X(getOutputRiseRate)                                                                                      \
    X(setOutputRiseRate)                                                                                      \
    X(getOutputFallRate)                                                                                      \
    X(setOutputFallRate)                                                                                      \
    X(getOutputCurrentRiseRate)                                                                               \
    X(setOutputCurrentRiseRate)                                                                               \
    X(getOutputCurrentFallRate)                                                                               \
    X(setOutputCurrentFallRate)                                                                               \
    X(getOutputSupervisionBehavior)                                                                           \
    X(setOutputSupervisionBehavior)                                                                           \
    X(getOutputSupervisionMinSenseVoltage)                                                                    \
    X(setOutputSupervisionMinSenseVoltage)                                                                    \
    X(getOutputSupervisionMaxSenseVoltage)                                                                    \
    X(setOutputSupervisionMaxSenseVoltage)                                                                    \
    X(getOutputSupervisionMaxTerminalVoltage)                                                                 \
    X(setOutputSupervisionMaxTerminalVoltage)                                                                 \
    X(getOutputSupervisionMaxCurrent)                                                                         \
    X(setOutputSupervisionMaxCurrent)                                                                         \
    X(getOutputConfigMaxSenseVoltage)                                                                         \
    X(getOutputConfigMaxTerminalVoltage)                                                                      \
    X(getOutputConfigMaxCurrent)                                                                              \
    X(getOutputSupervisionMaxPower)                                                                           \
    X(getOutputTripTimeMaxCurrent)                                                                            \
    X(setOutputTripTimeMaxCurrent)                                                                            \
    X(getModuleDescription)                                                                                   \
    X(getModuleSupply24)                                                                                      \
    X(getModuleSupply5)                                                                                       \
    X(getModuleHardwareLimitVoltage)                                                                          \
    X(getModuleHardwareLimitCurrent)                                                                          \
    X(getModuleRampSpeedVoltage)                                                                              \
    X(setModuleRampSpeedVoltage)                                                                              \
    X(getModuleRampSpeedCurrent)                                                                              \
    X(setModuleRampSpeedCurrent)                                                                              \
    X(getModuleStatus)                                                                                        \
    X(getModuleEventStatus)                                                                                   \
    X(setModuleDoClear)                                                                                       \
    X(getMultipleChannelStatuses)                                                                             \
    X(getMultipleOutputSwitches)                                                                              \
    X(setMultipleOutputSwitches)                                                                              \
    X(getMultipleOutputTripTimeMaxCurrents)                                                                   \
    X(setMultipleOutputTripTimeMaxCurrents)                                                                   \
    X(getMultipleOutputSupervisionBehaviors)                                                                  \
    X(setMultipleOutputSupervisionBehaviors)                                                                  \
    X(getMultipleOutputVoltages)                                                                              \
    X(setMultipleOutputVoltages)                                                                              \
    X(getMultipleMeasurementTerminalVoltages)                                                                 \
    X(getMultipleOutputConfigMaxTerminalVoltages)                                                             \
    X(getMultipleOutputCurrents)                                                                              \
    X(setMultipleOutputCurrents)                                                                              \
    X(getMultipleMeasurementCurrents)                                                                         \
    X(getMultipleOutputConfigMaxCurrents)

struct WienerSnmpFunctions {
#define WIENER_SNMP_MEMBER(name) decltype(&::name) name = nullptr;
    WIENER_SNMP_FUNCTION_LIST(WIENER_SNMP_MEMBER)
#undef WIENER_SNMP_MEMBER

    // Number of functions in the table (86).
    static int count();
    // Names in resolution order.
    static const char *const *names();

    // Fills every pointer in resolution order through `resolve` (a symbol lookup).
    // Returns nullptr when all were found, else the name of the first missing one;
    // the pointers after it stay null.
    using Symbol = void (*)();
    using Resolver = std::function<Symbol(const char *name)>;
    const char *resolve(const Resolver &resolve);

    // The pointer of the named function as a generic symbol (null when unset or
    // unknown); lets an in-process table be bound like a loaded library.
    Symbol symbol(const char *name) const;

    // True when every pointer is set.
    bool isComplete() const;
};
