#include "objecttable.h"

#include <cstdio>
#include <cstring>

namespace wiener {

namespace {

struct Entry {
    ObjectId id;
    const char *name;
    ObjectKind kind;
};

// Every object the library uses, by the name it has in WIENER-CRATE-MIB.
const Entry entries[] = {
    {ObjectId::SysDescr, "sysDescr", ObjectKind::Scalar},
    {ObjectId::SysMainSwitch, "sysMainSwitch", ObjectKind::Scalar},
    {ObjectId::SysStatus, "sysStatus", ObjectKind::Scalar},
    {ObjectId::IpStaticAddress, "ipStaticAddress", ObjectKind::Scalar},
    {ObjectId::PsSerialNumber, "psSerialNumber", ObjectKind::Scalar},
    {ObjectId::PsAuxVoltage, "psAuxiliaryMeasurementVoltage", ObjectKind::Table},
    {ObjectId::PsAuxCurrent, "psAuxiliaryMeasurementCurrent", ObjectKind::Table},
    {ObjectId::FanNominalSpeed, "fanNominalSpeed", ObjectKind::Scalar},
    {ObjectId::OutputNumber, "outputNumber", ObjectKind::Scalar},
    {ObjectId::GroupsNumber, "groupsNumber", ObjectKind::Scalar},
    {ObjectId::HighVoltageGroupsSwitch, "highVoltageGroupsSwitch", ObjectKind::Scalar},
    {ObjectId::LowVoltageGroupsSwitch, "lowVoltageGroupsSwitch", ObjectKind::Scalar},
    {ObjectId::OutputGroup, "outputGroup", ObjectKind::Channel},
    {ObjectId::OutputStatus, "outputStatus", ObjectKind::Channel},
    {ObjectId::OutputMeasurementSenseVoltage, "outputMeasurementSenseVoltage", ObjectKind::Channel},
    {ObjectId::OutputMeasurementTerminalVoltage, "outputMeasurementTerminalVoltage", ObjectKind::Channel},
    {ObjectId::OutputMeasurementCurrent, "outputMeasurementCurrent", ObjectKind::Channel},
    {ObjectId::OutputMeasurementTemperature, "outputMeasurementTemperature", ObjectKind::Channel},
    {ObjectId::OutputSwitch, "outputSwitch", ObjectKind::Channel},
    {ObjectId::OutputVoltage, "outputVoltage", ObjectKind::Channel},
    {ObjectId::OutputCurrent, "outputCurrent", ObjectKind::Channel},
    {ObjectId::OutputVoltageRiseRate, "outputVoltageRiseRate", ObjectKind::Channel},
    {ObjectId::OutputVoltageFallRate, "outputVoltageFallRate", ObjectKind::Channel},
    {ObjectId::OutputCurrentRiseRate, "outputCurrentRiseRate", ObjectKind::Channel},
    {ObjectId::OutputCurrentFallRate, "outputCurrentFallRate", ObjectKind::Channel},
    {ObjectId::OutputSupervisionBehavior, "outputSupervisionBehavior", ObjectKind::Channel},
    {ObjectId::OutputSupervisionMinSenseVoltage, "outputSupervisionMinSenseVoltage", ObjectKind::Channel},
    {ObjectId::OutputSupervisionMaxSenseVoltage, "outputSupervisionMaxSenseVoltage", ObjectKind::Channel},
    {ObjectId::OutputSupervisionMaxTerminalVoltage, "outputSupervisionMaxTerminalVoltage", ObjectKind::Channel},
    {ObjectId::OutputSupervisionMaxCurrent, "outputSupervisionMaxCurrent", ObjectKind::Channel},
    {ObjectId::OutputSupervisionMaxPower, "outputSupervisionMaxPower", ObjectKind::Channel},
    {ObjectId::OutputConfigMaxSenseVoltage, "outputConfigMaxSenseVoltage", ObjectKind::Channel},
    {ObjectId::OutputConfigMaxTerminalVoltage, "outputConfigMaxTerminalVoltage", ObjectKind::Channel},
    {ObjectId::OutputConfigMaxCurrent, "outputConfigMaxCurrent", ObjectKind::Channel},
    {ObjectId::OutputTripTimeMaxCurrent, "outputTripTimeMaxCurrent", ObjectKind::Channel},
    {ObjectId::ModuleDescription, "moduleDescription", ObjectKind::Module},
    {ObjectId::ModuleSupply24, "moduleSupply24", ObjectKind::Module},
    {ObjectId::ModuleSupply5, "moduleSupply5", ObjectKind::Module},
    {ObjectId::ModuleTemperature0, "moduleAuxTemperature0", ObjectKind::Module},
    {ObjectId::ModuleTemperature1, "moduleAuxTemperature1", ObjectKind::Module},
    {ObjectId::ModuleTemperature2, "moduleAuxTemperature2", ObjectKind::Module},
    {ObjectId::ModuleTemperature3, "moduleAuxTemperature3", ObjectKind::Module},
    {ObjectId::ModuleHardwareLimitVoltage, "moduleHardwareLimitVoltage", ObjectKind::Module},
    {ObjectId::ModuleHardwareLimitCurrent, "moduleHardwareLimitCurrent", ObjectKind::Module},
    {ObjectId::ModuleRampSpeedVoltage, "moduleRampSpeedVoltage", ObjectKind::Module},
    {ObjectId::ModuleRampSpeedCurrent, "moduleRampSpeedCurrent", ObjectKind::Module},
    {ObjectId::ModuleStatus, "moduleStatus", ObjectKind::Module},
    {ObjectId::ModuleEventStatus, "moduleEventStatus", ObjectKind::Module},
    {ObjectId::ModuleDoClear, "moduleDoClear", ObjectKind::Module},
};
static_assert(sizeof(entries) / sizeof(entries[0]) == static_cast<size_t>(ObjectId::Count),
              "every object needs its MIB name");

// Written only by resolve()/reset(), which the library runs under its start-up
// lock before any session exists; read-only while sessions run.
MibObject table[static_cast<size_t>(ObjectId::Count)];
bool resolved = false;

// sysDescr belongs to the standard system group, which a self-contained crate MIB
// may leave out; its identifier is fixed by the SNMP standards.
const oid sysDescrOid[] = {1, 3, 6, 1, 2, 1, 1, 1};

size_t bitsOctetsOf(const tree *node)
{
    int highest = -1;
    for (const enum_list *e = node ? node->enums : nullptr; e; e = e->next)
        if (e->value > highest)
            highest = e->value;
    return highest < 0 ? 4 : static_cast<size_t>(highest / 8 + 1);
}

} // namespace

bool ObjectTable::resolve(const char *moduleName, std::string *error)
{
    resolved = false;
    for (const Entry &e : entries) {
        MibObject &o = table[static_cast<size_t>(e.id)];
        o.id = e.id;
        o.name = e.name;
        o.kind = e.kind;
        o.baseLength = MAX_OID_LEN;
        const std::string qualified = std::string(moduleName) + "::" + e.name;
        bool found = get_node(qualified.c_str(), o.base, &o.baseLength) != 0;
        if (!found && e.id == ObjectId::SysDescr) {
            o.baseLength = MAX_OID_LEN;
            found = get_node(e.name, o.base, &o.baseLength) != 0;
        }
        if (!found) {
            if (e.id == ObjectId::SysDescr) {
                std::memcpy(o.base, sysDescrOid, sizeof sysDescrOid);
                o.baseLength = sizeof sysDescrOid / sizeof sysDescrOid[0];
                o.syntax = TYPE_OCTETSTR;
                continue;
            }
            if (error)
                *error = std::string("object ") + e.name + " not found in MIB " + moduleName;
            return false;
        }
        const tree *node = get_tree(o.base, o.baseLength, get_tree_head());
        o.syntax = node ? node->type : 0;
        o.bitsOctets = o.syntax == TYPE_BITSTRING ? bitsOctetsOf(node) : 0;
    }
    resolved = true;
    return true;
}

bool ObjectTable::isResolved() { return resolved; }

void ObjectTable::reset() { resolved = false; }

const MibObject &ObjectTable::object(ObjectId id) { return table[static_cast<size_t>(id)]; }

std::vector<oid> ObjectTable::instance(ObjectId id, long index)
{
    const MibObject &o = object(id);
    std::vector<oid> result(o.base, o.base + o.baseLength);
    result.push_back(o.kind == ObjectKind::Scalar ? 0 : static_cast<oid>(index));
    return result;
}

size_t ObjectTable::instance(ObjectId id, long index, oid *buffer)
{
    const MibObject &o = object(id);
    std::memcpy(buffer, o.base, o.baseLength * sizeof(oid));
    buffer[o.baseLength] = o.kind == ObjectKind::Scalar ? 0 : static_cast<oid>(index);
    return o.baseLength + 1;
}

std::string ObjectTable::instanceName(ObjectId id, long index)
{
    const MibObject &o = object(id);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, ".%ld", o.kind == ObjectKind::Scalar ? 0L : index);
    return std::string(o.name ? o.name : "?") + buffer;
}

std::string ObjectTable::nameOf(const oid *name, size_t length)
{
    for (const MibObject &o : table) {
        if (o.baseLength == 0 || length <= o.baseLength)
            continue;
        if (length == o.baseLength + 1 && std::memcmp(o.base, name, o.baseLength * sizeof(oid)) == 0)
            return std::string(o.name) + "." + std::to_string(name[length - 1]);
    }
    char buffer[256];
    snprint_objid(buffer, sizeof buffer, name, length);
    return buffer;
}

} // namespace wiener
