#pragma once
// The MIB objects the library reads and writes, resolved by name once at start-up.
// Resolving by name is what lets the same library work against the simulator's MIB
// and against the crate maker's own, wherever that one is installed.

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <string>
#include <vector>

namespace wiener {

// How an object is addressed.
enum class ObjectKind {
    Scalar,  // name.0
    Channel, // column indexed by slot * 100 + channel + 1
    Module,  // column indexed by slot + 1
    Table,   // column with an index the caller gives
};

enum class ObjectId {
    SysDescr,
    SysMainSwitch,
    SysStatus,
    IpStaticAddress,
    PsSerialNumber,
    PsAuxVoltage,
    PsAuxCurrent,
    FanNominalSpeed,
    OutputNumber,
    GroupsNumber,
    HighVoltageGroupsSwitch,
    LowVoltageGroupsSwitch,
    OutputGroup,
    OutputStatus,
    OutputMeasurementSenseVoltage,
    OutputMeasurementTerminalVoltage,
    OutputMeasurementCurrent,
    OutputMeasurementTemperature,
    OutputSwitch,
    OutputVoltage,
    OutputCurrent,
    OutputVoltageRiseRate,
    OutputVoltageFallRate,
    OutputCurrentRiseRate,
    OutputCurrentFallRate,
    OutputSupervisionBehavior,
    OutputSupervisionMinSenseVoltage,
    OutputSupervisionMaxSenseVoltage,
    OutputSupervisionMaxTerminalVoltage,
    OutputSupervisionMaxCurrent,
    OutputSupervisionMaxPower,
    OutputConfigMaxSenseVoltage,
    OutputConfigMaxTerminalVoltage,
    OutputConfigMaxCurrent,
    OutputTripTimeMaxCurrent,
    ModuleDescription,
    ModuleSupply24,
    ModuleSupply5,
    ModuleTemperature0,
    ModuleTemperature1,
    ModuleTemperature2,
    ModuleTemperature3,
    ModuleHardwareLimitVoltage,
    ModuleHardwareLimitCurrent,
    ModuleRampSpeedVoltage,
    ModuleRampSpeedCurrent,
    ModuleStatus,
    ModuleEventStatus,
    ModuleDoClear,
    Count
};

struct MibObject {
    ObjectId id;
    const char *name;
    ObjectKind kind;
    oid base[MAX_OID_LEN];
    size_t baseLength = 0;
    int syntax = 0;          // net-snmp's TYPE_* of the object, chooses how values are written
    size_t bitsOctets = 0;   // for BITS: how many octets the named bits need
};

class ObjectTable
{
public:
    // Resolves every object from the loaded MIB module. On failure `error` names
    // the first object that is missing.
    static bool resolve(const char *moduleName, std::string *error);
    static bool isResolved();
    static void reset();

    static const MibObject &object(ObjectId id);
    // Full identifier of one instance: the object's base plus its index.
    static std::vector<oid> instance(ObjectId id, long index);
    // The same into a caller's buffer of MAX_OID_LEN; returns the length.
    static size_t instance(ObjectId id, long index, oid *buffer);
    // "outputVoltage.101", for messages.
    static std::string instanceName(ObjectId id, long index);
    // The object whose identifier starts with `name` (for naming a varbind of an answer).
    static std::string nameOf(const oid *name, size_t length);
};

} // namespace wiener
