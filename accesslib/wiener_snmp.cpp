// The C interface of WIENER_SNMP over net-snmp: start-up, sessions, and one small
// function per crate value, all built on SnmpSession.

#include "wiener_snmp.h"

#include <cmath>

#include "libraryinit.h"
#include "objecttable.h"
#include "snmpsession.h"
#include "valuecodec.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

using namespace wiener;

using ValueCodec::Value;
using Variable = SnmpSession::Variable;

namespace {

// Open handles, so that a stale or foreign handle is refused instead of followed.
std::mutex registryMutex;
std::unordered_set<SnmpSession *> openSessions;

// Results for calls that have no usable handle. Per thread, so that no two
// threads ever write the same record.
thread_local SnmpIntRecord noIntRecord;
thread_local SnmpDoubleRecord noDoubleRecord;
const char emptyText[] = "";

SnmpSession *sessionOf(HSNMP handle, const char *function)
{
    if (!LibraryInit::isReady()) {
        SnmpSession::setLastError(std::string(function) + ": snmpInit has not succeeded");
        return nullptr;
    }
    auto *session = static_cast<SnmpSession *>(handle);
    std::lock_guard<std::mutex> lock(registryMutex);
    if (!session || openSessions.find(session) == openSessions.end()) {
        SnmpSession::setLastError(std::string(function) + ": no open session (invalid handle)");
        return nullptr;
    }
    return session;
}

long channelIndex(int channel) { return static_cast<long>(channel) + 1; }
long moduleIndex(int slot) { return static_cast<long>(slot) + 1; }

bool validChannel(int channel, const char *function)
{
    if (channel >= 0 && channel < 1000)
        return true;
    SnmpSession::setLastError(std::string(function) + ": channel " + std::to_string(channel) + " out of range");
    return false;
}

// NaN or infinity is never a value to send to a power supply: refused before
// any request leaves, whoever the caller is.
bool finiteValue(double v, const char *function)
{
    if (std::isfinite(v))
        return true;
    SnmpSession::setLastError(std::string(function) + ": refused a value that is not a finite number");
    return false;
}

bool validSlot(int slot, const char *function)
{
    if (slot >= 0 && slot < 10)
        return true;
    SnmpSession::setLastError(std::string(function) + ": slot " + std::to_string(slot) + " out of range");
    return false;
}

// One value of one object. A value that did not arrive (failure or exception) is
// reported through the last error and gives false.
bool readOne(SnmpSession *session, ObjectId object, long index, Value *value)
{
    std::vector<Value> values;
    if (!session->get({Variable{object, index}}, &values))
        return false;
    if (values.empty() || !values.front().isValue()) {
        const std::string why = values.empty() ? std::string("no value") : values.front().text;
        SnmpSession::setLastError(session->address() + ": " + ObjectTable::instanceName(object, index) + ": " + why);
        return false;
    }
    *value = values.front();
    return true;
}

bool writeOne(SnmpSession *session, const Variable &variable, Value *value)
{
    std::vector<Value> values;
    if (!session->set({variable}, &values))
        return false;
    if (values.empty() || !values.front().isValue()) {
        SnmpSession::setLastError(session->address() + ": " +
                                  ObjectTable::instanceName(variable.object, variable.index) +
                                  ": the agent confirmed no value");
        return false;
    }
    *value = values.front();
    return true;
}

int getInt(HSNMP handle, ObjectId object, long index, const char *function)
{
    SnmpSession *session = sessionOf(handle, function);
    Value value;
    if (!session || !readOne(session, object, index, &value))
        return 0;
    return value.toInt();
}

double getDouble(HSNMP handle, ObjectId object, long index, const char *function)
{
    SnmpSession *session = sessionOf(handle, function);
    Value value;
    if (!session || !readOne(session, object, index, &value))
        return 0.0;
    return value.toDouble();
}

const char *getText(HSNMP handle, ObjectId object, long index, const char *function)
{
    SnmpSession *session = sessionOf(handle, function);
    if (!session)
        return emptyText;
    session->text.clear();
    Value value;
    if (!readOne(session, object, index, &value))
        return session->text.c_str();
    if (value.kind == Value::Text)
        session->text = value.text;
    else if (value.kind == Value::Integer)
        session->text = std::to_string(value.integer);
    // A text may carry a zero byte; the caller sees it up to there, as C text.
    return session->text.c_str();
}

// Writes return what the agent confirmed, 0 when the write failed.
int setInt(HSNMP handle, ObjectId object, long index, int v, const char *function)
{
    SnmpSession *session = sessionOf(handle, function);
    Value value;
    if (!session)
        return 0;
    Variable variable{object, index, Variable::Int, v};
    if (!writeOne(session, variable, &value))
        return 0;
    return value.toInt();
}

double setDouble(HSNMP handle, ObjectId object, long index, double v, const char *function)
{
    SnmpSession *session = sessionOf(handle, function);
    Value value;
    if (!session || !finiteValue(v, function))
        return 0.0;
    Variable variable{object, index, Variable::Real, 0, v};
    if (!writeOne(session, variable, &value))
        return 0.0;
    return value.toDouble();
}

int getChannelInt(HSNMP handle, ObjectId object, int channel, const char *function)
{
    return validChannel(channel, function) ? getInt(handle, object, channelIndex(channel), function) : 0;
}

double getChannelDouble(HSNMP handle, ObjectId object, int channel, const char *function)
{
    return validChannel(channel, function) ? getDouble(handle, object, channelIndex(channel), function) : 0.0;
}

int setChannelInt(HSNMP handle, ObjectId object, int channel, int value, const char *function)
{
    return validChannel(channel, function) ? setInt(handle, object, channelIndex(channel), value, function) : 0;
}

double setChannelDouble(HSNMP handle, ObjectId object, int channel, double value, const char *function)
{
    return validChannel(channel, function) ? setDouble(handle, object, channelIndex(channel), value, function)
                                           : 0.0;
}

double getModuleDouble(HSNMP handle, ObjectId object, int slot, const char *function)
{
    return validSlot(slot, function) ? getDouble(handle, object, moduleIndex(slot), function) : 0.0;
}

// The channels of a multiple call: `size` channels from `start`, within the
// record's capacity and the addressable channel range.
bool channelRange(int start, int size, const char *function, int *count)
{
    if (start < 0 || start >= 1000 || size <= 0) {
        SnmpSession::setLastError(std::string(function) + ": no channels in start " + std::to_string(start) +
                                  ", size " + std::to_string(size));
        return false;
    }
    *count = std::min({size, WIENER_SNMP_MAX_VALUES, 1000 - start});
    return true;
}

// Leading values that arrived; an exception ends the run and is reported.
template<typename Store>
int storeArrived(SnmpSession *session, ObjectId object, int start, const std::vector<Value> &values, Store store)
{
    int count = 0;
    for (const Value &v : values) {
        if (!v.isValue()) {
            SnmpSession::setLastError(session->address() + ": " +
                                      ObjectTable::instanceName(object, channelIndex(start + count)) + ": " +
                                      (v.text.empty() ? std::string("no value") : v.text));
            break;
        }
        store(count, v);
        ++count;
    }
    return count;
}

// What a multiple call needs to know of its record type: the session's own
// record, the record for calls without a usable handle, how a value to write is
// sent and how an arrived value is stored.
template<typename Record>
struct RecordKind;

template<>
struct RecordKind<SnmpIntRecord> {
    static SnmpIntRecord *of(SnmpSession *session) { return &session->intRecord; }
    static SnmpIntRecord *none() { return &noIntRecord; }
    static Variable toWrite(ObjectId object, long index, int v) { return Variable{object, index, Variable::Int, v}; }
    static int arrived(const Value &v) { return v.toInt(); }
};

template<>
struct RecordKind<SnmpDoubleRecord> {
    static SnmpDoubleRecord *of(SnmpSession *session) { return &session->doubleRecord; }
    static SnmpDoubleRecord *none() { return &noDoubleRecord; }
    static Variable toWrite(ObjectId object, long index, double v)
    {
        return Variable{object, index, Variable::Real, 0, v};
    }
    static double arrived(const Value &v) { return v.toDouble(); }
};

// A multiple read (no input: `size` channels) or write (the input's values).
// The result is the session's record with the values that arrived; a write
// answers with the values the agent confirmed, count 0 when it failed.
template<typename Record>
Record *transferMultiple(HSNMP handle, ObjectId object, int start, int size, const Record *input, bool write,
                         const char *function)
{
    using Kind = RecordKind<Record>;
    SnmpSession *session = sessionOf(handle, function);
    if (!session) {
        Record *none = Kind::none();
        none->count = 0;
        return none;
    }
    Record *record = Kind::of(session);
    // The input may be this very record, handed out by a read and changed by the
    // caller: everything is taken from it before the result is reset.
    if (write && input)
        size = input->count;
    int count = 0;
    const bool usable = (!write || input) && channelRange(start, size, function, &count);
    std::vector<Variable> variables;
    if (usable) {
        variables.reserve(count);
        for (int i = 0; i < count; ++i) {
            const long index = channelIndex(start + i);
            variables.push_back(write ? Kind::toWrite(object, index, input->value[i]) : Variable{object, index});
        }
    }
    record->count = 0;
    if (!usable)
        return record;
    if (write) {
        for (const Variable &v : variables)
            if (!finiteValue(v.kind == Variable::Real ? v.real : double(v.integer), function))
                return record;
    }
    std::vector<Value> values;
    if (write ? session->set(variables, &values) : session->get(variables, &values))
        record->count = storeArrived(session, object, start, values,
                                     [record](int i, const Value &v) { record->value[i] = Kind::arrived(v); });
    return record;
}

SnmpIntRecord *getMultipleInts(HSNMP handle, ObjectId object, int start, int size, const char *function)
{
    return transferMultiple<SnmpIntRecord>(handle, object, start, size, nullptr, false, function);
}

SnmpDoubleRecord *getMultipleDoubles(HSNMP handle, ObjectId object, int start, int size, const char *function)
{
    return transferMultiple<SnmpDoubleRecord>(handle, object, start, size, nullptr, false, function);
}

SnmpIntRecord *setMultipleInts(HSNMP handle, ObjectId object, int start, const SnmpIntRecord *input,
                               const char *function)
{
    return transferMultiple(handle, object, start, 0, input, true, function);
}

SnmpDoubleRecord *setMultipleDoubles(HSNMP handle, ObjectId object, int start, const SnmpDoubleRecord *input,
                                     const char *function)
{
    return transferMultiple(handle, object, start, 0, input, true, function);
}

} // namespace

extern "C" {

// ---------------------------------------------------------------- library, session

int snmpInit(void) { return LibraryInit::initialise() ? 1 : 0; }

void snmpCleanup(void)
{
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        for (SnmpSession *session : openSessions)
            delete session;
        openSessions.clear();
    }
    LibraryInit::cleanup();
}

HSNMP snmpOpen(const char *ipAddress)
{
    if (!LibraryInit::isReady()) {
        SnmpSession::setLastError("snmpOpen: snmpInit has not succeeded");
        return nullptr;
    }
    SnmpSession *session = SnmpSession::open(ipAddress);
    if (!session)
        return nullptr;
    std::lock_guard<std::mutex> lock(registryMutex);
    openSessions.insert(session);
    return session;
}

void snmpClose(HSNMP session)
{
    auto *s = static_cast<SnmpSession *>(session);
    {
        std::lock_guard<std::mutex> lock(registryMutex);
        if (!s || openSessions.erase(s) == 0) {
            SnmpSession::setLastError("snmpClose: no open session (invalid handle)");
            return;
        }
    }
    delete s;
}

const char *snmpGetLastError(void) { return SnmpSession::lastError(); }

// ---------------------------------------------------------------- crate

int getMainSwitch(HSNMP session) { return getInt(session, ObjectId::SysMainSwitch, 0, "getMainSwitch"); }

int setMainSwitch(HSNMP session, int value)
{
    return setInt(session, ObjectId::SysMainSwitch, 0, value, "setMainSwitch");
}

int getMainStatus(HSNMP session) { return getInt(session, ObjectId::SysStatus, 0, "getMainStatus"); }

int getIpStaticAddress(HSNMP session)
{
    return getInt(session, ObjectId::IpStaticAddress, 0, "getIpStaticAddress");
}

int setIpStaticAddress(HSNMP session, int value)
{
    return setInt(session, ObjectId::IpStaticAddress, 0, value, "setIpStaticAddress");
}

const char *getPsSerialNumber(HSNMP session)
{
    return getText(session, ObjectId::PsSerialNumber, 0, "getPsSerialNumber");
}

const char *getSysDescr(HSNMP session) { return getText(session, ObjectId::SysDescr, 0, "getSysDescr"); }

double getPsAuxVoltage(HSNMP session, int auxIndex)
{
    if (auxIndex < 0) {
        SnmpSession::setLastError("getPsAuxVoltage: index " + std::to_string(auxIndex) + " out of range");
        return 0.0;
    }
    return getDouble(session, ObjectId::PsAuxVoltage, static_cast<long>(auxIndex) + 1, "getPsAuxVoltage");
}

double getPsAuxCurrent(HSNMP session, int auxIndex)
{
    if (auxIndex < 0) {
        SnmpSession::setLastError("getPsAuxCurrent: index " + std::to_string(auxIndex) + " out of range");
        return 0.0;
    }
    return getDouble(session, ObjectId::PsAuxCurrent, static_cast<long>(auxIndex) + 1, "getPsAuxCurrent");
}

int getFanNominalSpeed(HSNMP session)
{
    return getInt(session, ObjectId::FanNominalSpeed, 0, "getFanNominalSpeed");
}

int setFanNominalSpeed(HSNMP session, int rpm)
{
    return setInt(session, ObjectId::FanNominalSpeed, 0, rpm, "setFanNominalSpeed");
}

int getOutputNumber(HSNMP session) { return getInt(session, ObjectId::OutputNumber, 0, "getOutputNumber"); }

int getOutputGroups(HSNMP session) { return getInt(session, ObjectId::GroupsNumber, 0, "getOutputGroups"); }

int getOutputGroup(HSNMP session, int channel)
{
    return getChannelInt(session, ObjectId::OutputGroup, channel, "getOutputGroup");
}

// ---------------------------------------------------------------- single channel

int getChannelStatus(HSNMP session, int channel)
{
    return getChannelInt(session, ObjectId::OutputStatus, channel, "getChannelStatus");
}

double getOutputSenseMeasurement(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputMeasurementSenseVoltage, channel, "getOutputSenseMeasurement");
}

double getOutputTerminalMeasurement(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputMeasurementTerminalVoltage, channel,
                            "getOutputTerminalMeasurement");
}

double getCurrentMeasurement(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputMeasurementCurrent, channel, "getCurrentMeasurement");
}

int setHighVoltageGroupsSwitch(HSNMP session, int value)
{
    return setInt(session, ObjectId::HighVoltageGroupsSwitch, 0, value, "setHighVoltageGroupsSwitch");
}

int getHighVoltageGroupsSwitch(HSNMP session)
{
    return getInt(session, ObjectId::HighVoltageGroupsSwitch, 0, "getHighVoltageGroupsSwitch");
}

int setLowVoltageGroupsSwitch(HSNMP session, int value)
{
    return setInt(session, ObjectId::LowVoltageGroupsSwitch, 0, value, "setLowVoltageGroupsSwitch");
}

int getLowVoltageGroupsSwitch(HSNMP session)
{
    return getInt(session, ObjectId::LowVoltageGroupsSwitch, 0, "getLowVoltageGroupsSwitch");
}

double getTemperatureMeasurement(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputMeasurementTemperature, channel, "getTemperatureMeasurement");
}

double getModuleAuxTemperature(HSNMP session, int slot, int index)
{
    static const ObjectId sensors[] = {ObjectId::ModuleTemperature0, ObjectId::ModuleTemperature1,
                                       ObjectId::ModuleTemperature2, ObjectId::ModuleTemperature3};
    if (index < 0 || index > 3) {
        SnmpSession::setLastError("getModuleAuxTemperature: sensor " + std::to_string(index) + " out of range");
        return 0.0;
    }
    return getModuleDouble(session, sensors[index], slot, "getModuleAuxTemperature");
}

int setChannelSwitch(HSNMP session, int channel, int value)
{
    return setChannelInt(session, ObjectId::OutputSwitch, channel, value, "setChannelSwitch");
}

int getChannelSwitch(HSNMP session, int channel)
{
    return getChannelInt(session, ObjectId::OutputSwitch, channel, "getChannelSwitch");
}

#define CHANNEL_DOUBLE_PAIR(Name, Object)                                                                       \
    double get##Name(HSNMP session, int channel)                                                                \
    {                                                                                                           \
        return getChannelDouble(session, ObjectId::Object, channel, "get" #Name);                              \
    }                                                                                                           \
    double set##Name(HSNMP session, int channel, double value)                                                  \
    {                                                                                                           \
        return setChannelDouble(session, ObjectId::Object, channel, value, "set" #Name);                       \
    }

CHANNEL_DOUBLE_PAIR(OutputVoltage, OutputVoltage)
CHANNEL_DOUBLE_PAIR(OutputCurrent, OutputCurrent)
CHANNEL_DOUBLE_PAIR(OutputRiseRate, OutputVoltageRiseRate)
CHANNEL_DOUBLE_PAIR(OutputFallRate, OutputVoltageFallRate)
CHANNEL_DOUBLE_PAIR(OutputCurrentRiseRate, OutputCurrentRiseRate)
CHANNEL_DOUBLE_PAIR(OutputCurrentFallRate, OutputCurrentFallRate)
CHANNEL_DOUBLE_PAIR(OutputSupervisionMinSenseVoltage, OutputSupervisionMinSenseVoltage)
CHANNEL_DOUBLE_PAIR(OutputSupervisionMaxSenseVoltage, OutputSupervisionMaxSenseVoltage)
CHANNEL_DOUBLE_PAIR(OutputSupervisionMaxTerminalVoltage, OutputSupervisionMaxTerminalVoltage)
CHANNEL_DOUBLE_PAIR(OutputSupervisionMaxCurrent, OutputSupervisionMaxCurrent)
#undef CHANNEL_DOUBLE_PAIR

int getOutputSupervisionBehavior(HSNMP session, int channel)
{
    return getChannelInt(session, ObjectId::OutputSupervisionBehavior, channel, "getOutputSupervisionBehavior");
}

int setOutputSupervisionBehavior(HSNMP session, int channel, int value)
{
    return setChannelInt(session, ObjectId::OutputSupervisionBehavior, channel, value,
                         "setOutputSupervisionBehavior");
}

double getOutputConfigMaxSenseVoltage(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputConfigMaxSenseVoltage, channel,
                            "getOutputConfigMaxSenseVoltage");
}

double getOutputConfigMaxTerminalVoltage(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputConfigMaxTerminalVoltage, channel,
                            "getOutputConfigMaxTerminalVoltage");
}

double getOutputConfigMaxCurrent(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputConfigMaxCurrent, channel, "getOutputConfigMaxCurrent");
}

double getOutputSupervisionMaxPower(HSNMP session, int channel)
{
    return getChannelDouble(session, ObjectId::OutputSupervisionMaxPower, channel, "getOutputSupervisionMaxPower");
}

int getOutputTripTimeMaxCurrent(HSNMP session, int channel)
{
    return getChannelInt(session, ObjectId::OutputTripTimeMaxCurrent, channel, "getOutputTripTimeMaxCurrent");
}

int setOutputTripTimeMaxCurrent(HSNMP session, int channel, int milliseconds)
{
    return setChannelInt(session, ObjectId::OutputTripTimeMaxCurrent, channel, milliseconds,
                         "setOutputTripTimeMaxCurrent");
}

// ---------------------------------------------------------------- module

const char *getModuleDescription(HSNMP session, int slot)
{
    if (!validSlot(slot, "getModuleDescription")) {
        SnmpSession *s = sessionOf(session, "getModuleDescription");
        if (!s)
            return emptyText;
        s->text.clear();
        return s->text.c_str();
    }
    return getText(session, ObjectId::ModuleDescription, moduleIndex(slot), "getModuleDescription");
}

double getModuleSupply24(HSNMP session, int slot)
{
    return getModuleDouble(session, ObjectId::ModuleSupply24, slot, "getModuleSupply24");
}

double getModuleSupply5(HSNMP session, int slot)
{
    return getModuleDouble(session, ObjectId::ModuleSupply5, slot, "getModuleSupply5");
}

double getModuleHardwareLimitVoltage(HSNMP session, int slot)
{
    return getModuleDouble(session, ObjectId::ModuleHardwareLimitVoltage, slot, "getModuleHardwareLimitVoltage");
}

double getModuleHardwareLimitCurrent(HSNMP session, int slot)
{
    return getModuleDouble(session, ObjectId::ModuleHardwareLimitCurrent, slot, "getModuleHardwareLimitCurrent");
}

double getModuleRampSpeedVoltage(HSNMP session, int slot)
{
    return getModuleDouble(session, ObjectId::ModuleRampSpeedVoltage, slot, "getModuleRampSpeedVoltage");
}

double setModuleRampSpeedVoltage(HSNMP session, int slot, double percent)
{
    if (!validSlot(slot, "setModuleRampSpeedVoltage"))
        return 0.0;
    return setDouble(session, ObjectId::ModuleRampSpeedVoltage, moduleIndex(slot), percent,
                     "setModuleRampSpeedVoltage");
}

double getModuleRampSpeedCurrent(HSNMP session, int slot)
{
    return getModuleDouble(session, ObjectId::ModuleRampSpeedCurrent, slot, "getModuleRampSpeedCurrent");
}

double setModuleRampSpeedCurrent(HSNMP session, int slot, double percent)
{
    if (!validSlot(slot, "setModuleRampSpeedCurrent"))
        return 0.0;
    return setDouble(session, ObjectId::ModuleRampSpeedCurrent, moduleIndex(slot), percent,
                     "setModuleRampSpeedCurrent");
}

int getModuleStatus(HSNMP session, int slot)
{
    return validSlot(slot, "getModuleStatus")
               ? getInt(session, ObjectId::ModuleStatus, moduleIndex(slot), "getModuleStatus")
               : 0;
}

int getModuleEventStatus(HSNMP session, int slot)
{
    return validSlot(slot, "getModuleEventStatus")
               ? getInt(session, ObjectId::ModuleEventStatus, moduleIndex(slot), "getModuleEventStatus")
               : 0;
}

int setModuleDoClear(HSNMP session, int slot)
{
    return validSlot(slot, "setModuleDoClear")
               ? setInt(session, ObjectId::ModuleDoClear, moduleIndex(slot), 1, "setModuleDoClear")
               : 0;
}

// ---------------------------------------------------------------- multiple channels

SnmpIntRecord *getMultipleChannelStatuses(HSNMP session, int start, int size)
{
    return getMultipleInts(session, ObjectId::OutputStatus, start, size, "getMultipleChannelStatuses");
}

SnmpIntRecord *getMultipleOutputSwitches(HSNMP session, int start, int size)
{
    return getMultipleInts(session, ObjectId::OutputSwitch, start, size, "getMultipleOutputSwitches");
}

SnmpIntRecord *setMultipleOutputSwitches(HSNMP session, int start, const SnmpIntRecord *values)
{
    return setMultipleInts(session, ObjectId::OutputSwitch, start, values, "setMultipleOutputSwitches");
}

SnmpIntRecord *getMultipleOutputTripTimeMaxCurrents(HSNMP session, int start, int size)
{
    return getMultipleInts(session, ObjectId::OutputTripTimeMaxCurrent, start, size,
                           "getMultipleOutputTripTimeMaxCurrents");
}

SnmpIntRecord *setMultipleOutputTripTimeMaxCurrents(HSNMP session, int start, const SnmpIntRecord *values)
{
    return setMultipleInts(session, ObjectId::OutputTripTimeMaxCurrent, start, values,
                           "setMultipleOutputTripTimeMaxCurrents");
}

SnmpIntRecord *getMultipleOutputSupervisionBehaviors(HSNMP session, int start, int size)
{
    return getMultipleInts(session, ObjectId::OutputSupervisionBehavior, start, size,
                           "getMultipleOutputSupervisionBehaviors");
}

SnmpIntRecord *setMultipleOutputSupervisionBehaviors(HSNMP session, int start, const SnmpIntRecord *values)
{
    return setMultipleInts(session, ObjectId::OutputSupervisionBehavior, start, values,
                           "setMultipleOutputSupervisionBehaviors");
}

SnmpDoubleRecord *getMultipleOutputVoltages(HSNMP session, int start, int size)
{
    return getMultipleDoubles(session, ObjectId::OutputVoltage, start, size, "getMultipleOutputVoltages");
}

SnmpDoubleRecord *setMultipleOutputVoltages(HSNMP session, int start, const SnmpDoubleRecord *values)
{
    return setMultipleDoubles(session, ObjectId::OutputVoltage, start, values, "setMultipleOutputVoltages");
}

SnmpDoubleRecord *getMultipleMeasurementTerminalVoltages(HSNMP session, int start, int size)
{
    return getMultipleDoubles(session, ObjectId::OutputMeasurementTerminalVoltage, start, size,
                              "getMultipleMeasurementTerminalVoltages");
}

SnmpDoubleRecord *getMultipleOutputConfigMaxTerminalVoltages(HSNMP session, int start, int size)
{
    return getMultipleDoubles(session, ObjectId::OutputConfigMaxTerminalVoltage, start, size,
                              "getMultipleOutputConfigMaxTerminalVoltages");
}

SnmpDoubleRecord *getMultipleOutputCurrents(HSNMP session, int start, int size)
{
    return getMultipleDoubles(session, ObjectId::OutputCurrent, start, size, "getMultipleOutputCurrents");
}

SnmpDoubleRecord *setMultipleOutputCurrents(HSNMP session, int start, const SnmpDoubleRecord *values)
{
    return setMultipleDoubles(session, ObjectId::OutputCurrent, start, values, "setMultipleOutputCurrents");
}

SnmpDoubleRecord *getMultipleMeasurementCurrents(HSNMP session, int start, int size)
{
    return getMultipleDoubles(session, ObjectId::OutputMeasurementCurrent, start, size,
                              "getMultipleMeasurementCurrents");
}

SnmpDoubleRecord *getMultipleOutputConfigMaxCurrents(HSNMP session, int start, int size)
{
    return getMultipleDoubles(session, ObjectId::OutputConfigMaxCurrent, start, size,
                              "getMultipleOutputConfigMaxCurrents");
}

} // extern "C"
