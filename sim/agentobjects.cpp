#include "agentobjects.h"

#include "agentsettings.h"
#include "canside.h"
#include "cratemodel.h"
#include "simlog.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace {

SnmpValue floatValue(double v)
{
    SnmpValue s;
    s.type = ASN_OPAQUE_FLOAT;
    s.real = v;
    return s;
}

SnmpValue integerValue(long v, u_char type = ASN_INTEGER)
{
    SnmpValue s;
    s.type = type;
    s.integer = v;
    return s;
}

SnmpValue stringValue(const QByteArray &bytes)
{
    SnmpValue s;
    s.type = ASN_OCTET_STR;
    s.bytes = bytes;
    return s;
}

// A status word in library form as BITS: octet i is byte i of the word, so
// named bit 0 (the most significant bit of octet 0) is library bit 7.
SnmpValue libraryBits(quint32 word, int octets)
{
    QByteArray bytes;
    for (int i = 0; i < octets; ++i)
        bytes.append(char((word >> (8 * i)) & 0xFF));
    return stringValue(bytes);
}

// BITS whose named bit n is bit n of the argument.
SnmpValue namedBits(quint32 bits, int octets)
{
    QByteArray bytes(octets, '\0');
    for (int n = 0; n < 8 * octets; ++n)
        if (bits & (1u << n))
            bytes[n / 8] = char(bytes[n / 8] | (0x80 >> (n % 8)));
    return stringValue(bytes);
}

bool isFinite(double v) { return std::isfinite(v); }

// Physical values travel as single-precision floats, so a limit is met at that
// precision: the nominal current sent back as a float is the nominal, not above it.
bool within(double v, double low, double high)
{
    return isFinite(v) && float(v) >= float(low) && float(v) <= float(high);
}

} // namespace

AgentObjects::AgentObjects(CrateModel &crate, CanSide &can, AgentSettings &settings)
    : m_crate(crate), m_can(can), m_settings(settings), m_startMs(QDateTime::currentMSecsSinceEpoch())
{
}

Access AgentObjects::accessOf(const QByteArray &community)
{
    if (community == "kestra")
        return Access::Read;
    if (community == "mavo")
        return Access::Write;
    if (community == "TORVIK")
        return Access::Admin;
    return Access::None;
}

void AgentObjects::add(const char *module, const char *name, Object object)
{
    object.name = QString::fromLatin1(name);
    oid buffer[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    bool ok = false;
    if (module) {
        const QByteArray full = QByteArray(module) + "::" + name;
        ok = read_objid(full.constData(), buffer, &length) != 0;
    } else {
        // Numeric (objects of the standard system group, whose MIB is not shipped).
        ok = read_objid(name, buffer, &length) != 0;
    }
    if (!ok) {
        m_missing << object.name;
        return;
    }
    object.base.assign(buffer, buffer + length);
    if (!object.instances)
        object.instances = [] { return std::vector<long>{0}; };
    auto pos = std::lower_bound(m_objects.begin(), m_objects.end(), object, [](const Object &a, const Object &b) {
        return snmp_oid_compare(a.base.data(), a.base.size(), b.base.data(), b.base.size()) < 0;
    });
    m_objects.insert(pos, std::move(object));
}

std::vector<long> AgentObjects::range(long first, long last) const
{
    std::vector<long> out;
    for (long i = first; i <= last; ++i)
        out.push_back(i);
    return out;
}

std::vector<long> AgentObjects::moduleIndices() const
{
    std::vector<long> out;
    for (int slot = 0; slot < CrateModel::SlotCount; ++slot) {
        const SimModule *m = m_crate.module(slot);
        if (m && m->isResponding())
            out.push_back(slot + 1);
    }
    return out;
}

std::vector<long> AgentObjects::outputIndices() const
{
    std::vector<long> out;
    for (int slot = 0; slot < CrateModel::SlotCount; ++slot) {
        const SimModule *m = m_crate.module(slot);
        if (!m || !m->isResponding() || !m_can.isRunningFirmware(slot))
            continue;
        for (int n = 0; n < m->channelCount(); ++n)
            out.push_back(slot * 100 + n + 1);
    }
    return out;
}

std::vector<long> AgentObjects::configuredModuleIndices() const
{
    std::vector<long> out;
    for (int slot = 0; slot < CrateModel::SlotCount; ++slot)
        if (m_crate.module(slot))
            out.push_back(slot + 1);
    return out;
}

std::vector<long> AgentObjects::configuredChannelIndices() const
{
    std::vector<long> out;
    for (int slot = 0; slot < CrateModel::SlotCount; ++slot)
        if (const SimModule *m = m_crate.module(slot))
            for (int n = 0; n < m->channelCount(); ++n)
                out.push_back(slot * 100 + n + 1);
    return out;
}

void AgentObjects::build()
{
    m_objects.clear();
    m_missing.clear();
    addSystem();
    addCrate();
    addOutputs();
    addModules();
    addSensorsFansSupplies();
    addSimulatorControls();
}

// ---------------------------------------------------------------------------
// Lookup

const AgentObjects::Object *AgentObjects::find(const oid *name, size_t length, long *index) const
{
    for (const Object &o : m_objects) {
        if (length != o.base.size() + 1)
            continue;
        if (snmp_oid_compare(name, o.base.size(), o.base.data(), o.base.size()) == 0) {
            *index = long(name[length - 1]);
            return &o;
        }
    }
    return nullptr;
}

AgentObjects::Found AgentObjects::get(const oid *name, size_t length, SnmpValue *value, Access access) const
{
    long index = 0;
    const Object *o = find(name, length, &index);
    if (!o) {
        // An OID below an object we know, but with a malformed instance part,
        // names no instance; anything else names no object.
        for (const Object &k : m_objects)
            if (length > k.base.size() && snmp_oid_compare(name, k.base.size(), k.base.data(), k.base.size()) == 0)
                return Found::NoSuchInstance;
        return Found::NoSuchObject;
    }
    const std::vector<long> indices = o->instances();
    if (!std::binary_search(indices.begin(), indices.end(), index))
        return Found::NoSuchInstance;
    if (!o->read(index, value, access))
        return Found::NoSuchInstance;
    return Found::Value;
}

bool AgentObjects::next(const oid *name, size_t length, const oid *prefix, size_t prefixLength,
                        std::vector<oid> *found, SnmpValue *value, Access access) const
{
    for (const Object &o : m_objects) {
        if (o.base.size() < prefixLength
            || snmp_oid_compare(o.base.data(), prefixLength, prefix, prefixLength) != 0)
            continue;
        // Skip objects that lie entirely before the request.
        const int cmp = snmp_oid_compare(o.base.data(), o.base.size(), name,
                                         std::min(length, o.base.size()));
        if (cmp < 0)
            continue;
        std::vector<oid> candidate = o.base;
        candidate.push_back(0);
        for (long index : o.instances()) {
            candidate.back() = oid(index);
            if (snmp_oid_compare(candidate.data(), candidate.size(), name, length) <= 0)
                continue;
            if (!o.read(index, value, access))
                continue;
            *found = candidate;
            return true;
        }
    }
    return false;
}

int AgentObjects::check(const oid *name, size_t length, const SnmpValue &value, Access access) const
{
    long index = 0;
    const Object *o = find(name, length, &index);
    if (!o) {
        for (const Object &k : m_objects)
            if (length > k.base.size() && snmp_oid_compare(name, k.base.size(), k.base.data(), k.base.size()) == 0)
                return SNMP_ERR_NOCREATION;
        return SNMP_ERR_NOTWRITABLE;
    }
    const std::vector<long> indices = o->instances();
    if (!std::binary_search(indices.begin(), indices.end(), index))
        return o->writable ? SNMP_ERR_NOCREATION : SNMP_ERR_NOTWRITABLE;
    if (!o->writable)
        return SNMP_ERR_NOTWRITABLE;
    if (access < Access::Write)
        return SNMP_ERR_NOACCESS;
    switch (o->type) {
    case ASN_OPAQUE_FLOAT:
        if (value.type != ASN_OPAQUE_FLOAT && value.type != ASN_OPAQUE_DOUBLE)
            return SNMP_ERR_WRONGTYPE;
        if (!isFinite(value.real))
            return SNMP_ERR_WRONGVALUE;
        break;
    case ASN_IPADDRESS:
        if (value.type != ASN_IPADDRESS)
            return SNMP_ERR_WRONGTYPE;
        if (value.bytes.size() != 4)
            return SNMP_ERR_WRONGLENGTH;
        break;
    default:
        if (value.type != o->type)
            return SNMP_ERR_WRONGTYPE;
        break;
    }
    return o->verify ? o->verify(index, value) : SNMP_ERR_NOERROR;
}

void AgentObjects::apply(const oid *name, size_t length, const SnmpValue &value)
{
    long index = 0;
    const Object *o = find(name, length, &index);
    if (!o || !o->write)
        return;
    if (lcSim().isInfoEnabled()) {
        QString text;
        switch (value.type) {
        case ASN_OPAQUE_FLOAT:
        case ASN_OPAQUE_DOUBLE:
            text = QString::number(value.real);
            break;
        case ASN_OCTET_STR:
        case ASN_IPADDRESS:
            text = QString::fromLatin1(value.bytes.toHex(' '));
            break;
        default:
            text = QString::number(value.integer);
            break;
        }
        qCInfo(lcSim).noquote() << "SET" << QStringLiteral("%1.%2").arg(o->name).arg(index) << "=" << text;
    }
    o->write(index, value);
}

// ---------------------------------------------------------------------------
// Objects

void AgentObjects::addSystem()
{
    // The standard system group (SNMPv2-MIB is not shipped on every system, so
    // these are given numerically).
    Object o;
    o.type = ASN_OCTET_STR;
    o.read = [this](long, SnmpValue *v, Access) {
        *v = stringValue(m_crate.systemDescription().toLatin1());
        return true;
    };
    add(nullptr, ".1.3.6.1.2.1.1.1", o); // sysDescr

    o = Object();
    o.type = ASN_OBJECT_ID;
    o.read = [](long, SnmpValue *v, Access) {
        static const oid wiener[] = {1, 3, 6, 1, 4, 1, 19947, 1};
        v->type = ASN_OBJECT_ID;
        v->bytes = QByteArray(reinterpret_cast<const char *>(wiener), sizeof(wiener));
        return true;
    };
    add(nullptr, ".1.3.6.1.2.1.1.2", o); // sysObjectID

    o = Object();
    o.type = ASN_TIMETICKS;
    o.read = [this](long, SnmpValue *v, Access) {
        *v = integerValue(long((QDateTime::currentMSecsSinceEpoch() - m_startMs) / 10), ASN_TIMETICKS);
        return true;
    };
    add(nullptr, ".1.3.6.1.2.1.1.3", o); // sysUpTime

    const char *texts[][2] = {{".1.3.6.1.2.1.1.4", "crate simulator"},
                              {".1.3.6.1.2.1.1.5", "cratesim"},
                              {".1.3.6.1.2.1.1.6", "loopback"}};
    for (const auto &t : texts) {
        o = Object();
        o.type = ASN_OCTET_STR;
        const QByteArray text(t[1]);
        o.read = [text](long, SnmpValue *v, Access) {
            *v = stringValue(text);
            return true;
        };
        add(nullptr, t[0], o);
    }
}

void AgentObjects::addCrate()
{
    const char *mib = "WIENER-CRATE-MIB";
    Object o;
    o.writable = true;
    o.read = [this](long, SnmpValue *v, Access) {
        *v = integerValue(m_crate.mainSwitch() ? 1 : 0);
        return true;
    };
    o.verify = [](long, const SnmpValue &v) { return (v.integer == 0 || v.integer == 1) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE; };
    o.write = [this](long, const SnmpValue &v) { m_crate.setMainSwitch(v.integer == 1); };
    add(mib, "sysMainSwitch", o);

    o = Object();
    o.type = ASN_OCTET_STR;
    o.read = [this](long, SnmpValue *v, Access) {
        *v = namedBits(m_crate.statusBits(), 2);
        return true;
    };
    add(mib, "sysStatus", o);

    o = Object();
    o.writable = true;
    o.read = [](long, SnmpValue *v, Access) {
        *v = integerValue(0);
        return true;
    };
    o.verify = [](long, const SnmpValue &v) { return v.integer == 1 ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE; };
    o.write = [](long, const SnmpValue &) {};
    add(mib, "sysVmeSysReset", o);

    // Crate-wide groups switches.
    for (bool hv : {true, false}) {
        o = Object();
        o.writable = true;
        o.read = [this, hv](long, SnmpValue *v, Access) {
            *v = integerValue(m_crate.groupsSwitch(hv));
            return true;
        };
        o.verify = [](long, const SnmpValue &v) {
            return ((v.integer >= 0 && v.integer <= 7) || v.integer == 10) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE;
        };
        o.write = [this, hv](long, const SnmpValue &v) { m_crate.applyGroupsSwitch(hv, int(v.integer)); };
        add(mib, hv ? "highVoltageGroupsSwitch" : "lowVoltageGroupsSwitch", o);
    }

    o = Object();
    o.read = [this](long, SnmpValue *v, Access) {
        *v = integerValue(long(outputIndices().size()));
        return true;
    };
    add(mib, "outputNumber", o);

    o = Object();
    o.read = [this](long, SnmpValue *v, Access) {
        *v = integerValue(m_crate.groupsNumber());
        return true;
    };
    add(mib, "groupsNumber", o);

    o = Object();
    o.read = [this](long, SnmpValue *v, Access) {
        *v = integerValue(long(moduleIndices().size()));
        return true;
    };
    add(mib, "moduleNumber", o);

    o = Object();
    o.type = ASN_IPADDRESS;
    o.writable = true;
    o.read = [this](long, SnmpValue *v, Access) {
        v->type = ASN_IPADDRESS;
        const quint32 a = m_crate.ipStaticAddress;
        v->bytes = QByteArray(reinterpret_cast<const char *>(&a), 4);
        return true;
    };
    o.write = [this](long, const SnmpValue &v) {
        // Recorded; a real controller uses it from its next start.
        quint32 a = 0;
        memcpy(&a, v.bytes.constData(), 4);
        m_crate.ipStaticAddress = a;
    };
    add(mib, "ipStaticAddress", o);

    o = Object();
    o.type = ASN_OCTET_STR;
    const Access minimum[] = {Access::Read, Access::Write, Access::Admin, Access::Admin};
    const char *names[] = {"kestra", "mavo", "TORVIK", ""};
    o.instances = [this] { return range(1, 4); };
    o.read = [minimum, names](long index, SnmpValue *v, Access access) {
        // A community name is shown only to those who could use it anyway.
        const bool visible = access >= minimum[index - 1];
        *v = stringValue(visible ? QByteArray(names[index - 1]) : QByteArray());
        return true;
    };
    add(mib, "snmpCommunityName", o);
}

void AgentObjects::addOutputs()
{
    const char *mib = "WIENER-CRATE-MIB";
    // Resolves an output index to its visible module and channel.
    auto locate = [this](long index, SimModule **module) -> SimChannel * {
        if (index < 1)
            return nullptr;
        const int slot = int((index - 1) / 100);
        const int n = int((index - 1) % 100);
        SimModule *m = m_crate.module(slot);
        if (!m || !m->isResponding() || !m_can.isRunningFirmware(slot) || n >= m->channelCount())
            return nullptr;
        *module = m;
        return &m->channel(n);
    };
    auto outputs = [this] { return outputIndices(); };

    // One column of outputs; a SET to an output that is not there (any more)
    // fails with noCreation.
    using Read = std::function<SnmpValue(const SimModule &, const SimChannel &)>;
    using Verify = std::function<int(const SimModule &, const SimChannel &, const SnmpValue &)>;
    using Write = std::function<void(SimModule &, SimChannel &, const SnmpValue &)>;
    auto addColumn = [&](const char *name, u_char type, Read read, Verify verify = {}, Write write = {}) {
        Object o;
        o.type = type;
        o.instances = outputs;
        o.writable = bool(write);
        o.read = [locate, read](long index, SnmpValue *v, Access) {
            SimModule *m = nullptr;
            const SimChannel *ch = locate(index, &m);
            if (!ch)
                return false;
            *v = read(*m, *ch);
            return true;
        };
        if (write) {
            o.verify = [locate, verify](long index, const SnmpValue &v) {
                SimModule *m = nullptr;
                const SimChannel *ch = locate(index, &m);
                if (!ch)
                    return int(SNMP_ERR_NOCREATION);
                return verify(*m, *ch, v);
            };
            o.write = [locate, write](long index, const SnmpValue &v) {
                SimModule *m = nullptr;
                if (SimChannel *ch = locate(index, &m))
                    write(*m, *ch, v);
            };
        }
        add(mib, name, o);
    };
    using Getter = std::function<double(const SimModule &, const SimChannel &)>;
    using Checker = std::function<bool(const SimModule &, const SimChannel &, double)>;
    using Setter = std::function<void(SimModule &, SimChannel &, double)>;
    auto addFloat = [&](const char *name, Getter getter, Checker checker = {}, Setter setter = {}) {
        addColumn(
            name, ASN_OPAQUE_FLOAT,
            [getter](const SimModule &m, const SimChannel &ch) { return floatValue(getter(m, ch)); },
            [checker](const SimModule &m, const SimChannel &ch, const SnmpValue &v) {
                return checker(m, ch, v.real) ? int(SNMP_ERR_NOERROR) : int(SNMP_ERR_WRONGVALUE);
            },
            setter ? Write([setter](SimModule &m, SimChannel &ch, const SnmpValue &v) { setter(m, ch, v.real); })
                   : Write());
    };
    using IntGetter = std::function<long(const SimModule &, const SimChannel &)>;
    using IntChecker = std::function<int(const SimModule &, const SimChannel &, long)>;
    using IntSetter = std::function<void(SimModule &, SimChannel &, long)>;
    auto addInt = [&](const char *name, IntGetter getter, IntChecker checker = {}, IntSetter setter = {}) {
        addColumn(
            name, ASN_INTEGER,
            [getter](const SimModule &m, const SimChannel &ch) { return integerValue(getter(m, ch)); },
            [checker](const SimModule &m, const SimChannel &ch, const SnmpValue &v) {
                return checker(m, ch, v.integer);
            },
            setter ? Write([setter](SimModule &m, SimChannel &ch, const SnmpValue &v) { setter(m, ch, v.integer); })
                   : Write());
    };
    auto inRange = [](long low, long high) {
        return [low, high](const SimModule &, const SimChannel &, long v) {
            return (v >= low && v <= high) ? int(SNMP_ERR_NOERROR) : int(SNMP_ERR_WRONGVALUE);
        };
    };

    addInt("outputIndex", [](const SimModule &m, const SimChannel &ch) {
        return long(m.slot() * 100 + (&ch - &m.channel(0)) + 1);
    });
    {
        Object o;
        o.type = ASN_OCTET_STR;
        o.instances = outputs;
        o.read = [locate](long index, SnmpValue *v, Access) {
            SimModule *m = nullptr;
            if (!locate(index, &m))
                return false;
            *v = stringValue("u" + QByteArray::number(index - 1));
            return true;
        };
        add(mib, "outputName", o);
    }
    addInt("outputGroup", [](const SimModule &, const SimChannel &ch) { return long(ch.group); }, inRange(0, 1999),
           [](SimModule &, SimChannel &ch, long v) { ch.group = int(v); });
    addColumn("outputStatus", ASN_OCTET_STR, [](const SimModule &m, const SimChannel &ch) {
        return libraryBits(m.isBooted() ? ch.statusWord(m.isMeasurementType()) : 0u, 3);
    });
    addFloat("outputMeasurementSenseVoltage",
             [](const SimModule &m, const SimChannel &ch) { return ch.measuredVoltage(m); });
    addFloat("outputMeasurementTerminalVoltage",
             [](const SimModule &m, const SimChannel &ch) { return ch.measuredVoltage(m); });
    addFloat("outputMeasurementCurrent", [](const SimModule &m, const SimChannel &ch) { return ch.measuredCurrent(m); });
    addFloat("outputMeasurementTemperature",
             [](const SimModule &m, const SimChannel &) { return m.isBooted() ? m.temperature : 0.0; });
    addInt(
        "outputSwitch", [](const SimModule &m, const SimChannel &ch) { return long(ch.switchValue(m.isMeasurementType())); },
        [](const SimModule &m, const SimChannel &, long v) {
            const bool measurement = v >= 20 && v <= 23;
            if (!(v == 0 || v == 1 || v == 2 || v == 3 || v == 10 || measurement))
                return int(SNMP_ERR_WRONGVALUE);
            if (measurement != m.isMeasurementType() && measurement)
                return int(SNMP_ERR_WRONGVALUE);
            // A module that is not powered cannot switch anything on. A channel
            // in emergency off takes "on" but stays off until the emergency off
            // is reset: refusing it would refuse a whole all-channels SET.
            if ((v == 1 || measurement) && !m.isBooted())
                return int(SNMP_ERR_INCONSISTENTVALUE);
            return int(SNMP_ERR_NOERROR);
        },
        [](SimModule &m, SimChannel &ch, long v) { ch.applySwitch(int(v), m.isBooted(), m.isMeasurementType()); });

    // Measurement-type modules have no set values; they read 0.
    addFloat(
        "outputVoltage",
        [](const SimModule &m, const SimChannel &ch) { return m.isMeasurementType() ? 0.0 : ch.voltageSet; },
        [](const SimModule &, const SimChannel &ch, double v) { return within(v, ch.minimumVoltage(), ch.nominalVoltage()); },
        [](SimModule &m, SimChannel &ch, double v) {
            if (!m.isMeasurementType())
                ch.voltageSet = v;
        });
    addFloat(
        "outputCurrent",
        [](const SimModule &m, const SimChannel &ch) { return m.isMeasurementType() ? 0.0 : ch.currentSet; },
        [](const SimModule &, const SimChannel &ch, double v) { return within(v, 0.0, ch.nominalCurrent()); },
        [](SimModule &m, SimChannel &ch, double v) {
            if (!m.isMeasurementType())
                ch.currentSet = v;
        });
    auto voltageRate = [](const SimModule &, const SimChannel &ch, double v) {
        return v > 0.0 && within(v, 0.0, ch.nominalVoltage());
    };
    auto currentRate = [](const SimModule &, const SimChannel &ch, double v) {
        return v > 0.0 && within(v, 0.0, ch.nominalCurrent());
    };
    addFloat("outputVoltageRiseRate", [](const SimModule &, const SimChannel &ch) { return ch.riseRate; }, voltageRate,
             [](SimModule &, SimChannel &ch, double v) { ch.riseRate = v; });
    addFloat("outputVoltageFallRate", [](const SimModule &, const SimChannel &ch) { return ch.fallRate; }, voltageRate,
             [](SimModule &, SimChannel &ch, double v) { ch.fallRate = v; });
    addFloat("outputCurrentRiseRate", [](const SimModule &, const SimChannel &ch) { return ch.currentRiseRate; },
             currentRate, [](SimModule &, SimChannel &ch, double v) { ch.currentRiseRate = v; });
    addFloat("outputCurrentFallRate", [](const SimModule &, const SimChannel &ch) { return ch.currentFallRate; },
             currentRate, [](SimModule &, SimChannel &ch, double v) { ch.currentFallRate = v; });
    addInt("outputSupervisionBehavior", [](const SimModule &, const SimChannel &ch) { return long(ch.behaviour); },
           inRange(0, 65535), [](SimModule &, SimChannel &ch, long v) { ch.behaviour = int(v); });
    auto senseRange = [](const SimModule &, const SimChannel &ch, double v) {
        return within(v, 0.0, ch.nominalVoltage() * 1.1);
    };
    addFloat("outputSupervisionMinSenseVoltage", [](const SimModule &, const SimChannel &ch) { return ch.minSenseVoltage; },
             senseRange, [](SimModule &, SimChannel &ch, double v) { ch.minSenseVoltage = v; });
    addFloat("outputSupervisionMaxSenseVoltage", [](const SimModule &, const SimChannel &ch) { return ch.maxSenseVoltage; },
             senseRange, [](SimModule &, SimChannel &ch, double v) { ch.maxSenseVoltage = v; });
    addFloat("outputSupervisionMaxTerminalVoltage",
             [](const SimModule &, const SimChannel &ch) { return ch.maxTerminalVoltage; }, senseRange,
             [](SimModule &, SimChannel &ch, double v) { ch.maxTerminalVoltage = v; });
    addFloat(
        "outputSupervisionMaxCurrent", [](const SimModule &, const SimChannel &ch) { return ch.maxCurrent; },
        [](const SimModule &, const SimChannel &ch, double v) { return within(v, 0.0, ch.nominalCurrent() * 1.1); },
        [](SimModule &, SimChannel &ch, double v) { ch.maxCurrent = v; });
    addFloat("outputConfigMaxSenseVoltage", [](const SimModule &, const SimChannel &ch) { return ch.nominalVoltage(); });
    addFloat("outputConfigMaxTerminalVoltage",
             [](const SimModule &, const SimChannel &ch) { return ch.nominalVoltage(); });
    addFloat("outputSupervisionMaxPower",
             [](const SimModule &, const SimChannel &ch) { return ch.nominalVoltage() * ch.nominalCurrent(); });
    addFloat("outputConfigMaxCurrent", [](const SimModule &, const SimChannel &ch) { return ch.nominalCurrent(); });
    addInt("outputTripTimeMaxCurrent", [](const SimModule &, const SimChannel &ch) { return long(ch.tripTimeMs); },
           inRange(0, 4000), [](SimModule &, SimChannel &ch, long v) { ch.tripTimeMs = int(v); });
    addInt("outputUserConfig", [](const SimModule &, const SimChannel &ch) { return long(ch.userConfig); },
           inRange(0, 15), [](SimModule &m, SimChannel &ch, long v) {
               ch.userConfig = int(v);
               if (m.isMeasurementType())
                   ch.measurementSwitch = 20 + int(v & 3);
           });
}

void AgentObjects::addModules()
{
    const char *mib = "WIENER-CRATE-MIB";
    auto locate = [this](long index) -> SimModule * {
        SimModule *m = m_crate.module(int(index - 1));
        return (m && m->isResponding()) ? m : nullptr;
    };
    auto modules = [this] { return moduleIndices(); };
    auto addFloat = [&](const char *name, std::function<double(const SimModule &)> getter,
                        std::function<bool(double)> checker = {}, std::function<void(SimModule &, double)> setter = {}) {
        Object o;
        o.type = ASN_OPAQUE_FLOAT;
        o.instances = modules;
        o.writable = bool(setter);
        o.read = [locate, getter](long index, SnmpValue *v, Access) {
            const SimModule *m = locate(index);
            if (!m)
                return false;
            *v = floatValue(getter(*m));
            return true;
        };
        if (setter) {
            o.verify = [checker](long, const SnmpValue &v) {
                return checker(v.real) ? int(SNMP_ERR_NOERROR) : int(SNMP_ERR_WRONGVALUE);
            };
            o.write = [locate, setter](long index, const SnmpValue &v) {
                if (SimModule *m = locate(index))
                    setter(*m, v.real);
            };
        }
        add(mib, name, o);
    };

    {
        Object o;
        o.instances = modules;
        o.read = [](long index, SnmpValue *v, Access) {
            *v = integerValue(index);
            return true;
        };
        add(mib, "moduleIndex", o);
    }
    {
        Object o;
        o.type = ASN_OCTET_STR;
        o.instances = modules;
        o.read = [this, locate](long index, SnmpValue *v, Access) {
            const SimModule *m = locate(index);
            if (!m)
                return false;
            // Empty while the module is down or waits in its boot loader.
            const int slot = int(index - 1);
            const bool running = m->isBooted() && m_can.isRunningFirmware(slot);
            *v = stringValue(running ? m->description(m_can.firmwareRelease(slot)).toLatin1() : QByteArray());
            return true;
        };
        add(mib, "moduleDescription", o);
    }
    addFloat("moduleSupply24", [](const SimModule &m) { return m.supply24(); });
    addFloat("moduleSupply5", [](const SimModule &m) { return m.supply5(); });
    addFloat("moduleAuxTemperature0", [](const SimModule &m) { return m.auxTemperature(0); });
    addFloat("moduleAuxTemperature1", [](const SimModule &m) { return m.auxTemperature(1); });
    addFloat("moduleAuxTemperature2", [](const SimModule &m) { return m.auxTemperature(2); });
    addFloat("moduleAuxTemperature3", [](const SimModule &m) { return m.auxTemperature(3); });
    addFloat("moduleHardwareLimitVoltage", [](const SimModule &m) { return m.hardwareLimitVoltage(); });
    addFloat("moduleHardwareLimitCurrent", [](const SimModule &m) { return m.hardwareLimitCurrent(); });
    auto percent = [](double v) { return v > 0.0 && within(v, 0.0, 100.0); };
    addFloat("moduleRampSpeedVoltage", [](const SimModule &m) { return m.rampSpeedVoltage(); }, percent,
             [](SimModule &m, double v) { m.setRampSpeedVoltage(v); });
    addFloat("moduleRampSpeedCurrent", [](const SimModule &m) { return m.rampSpeedCurrent(); }, percent,
             [](SimModule &m, double v) { m.setRampSpeedCurrent(v); });
    {
        Object o;
        o.type = ASN_OCTET_STR;
        o.instances = modules;
        o.read = [locate](long index, SnmpValue *v, Access) {
            const SimModule *m = locate(index);
            if (!m)
                return false;
            *v = libraryBits(m->statusWord(), 2);
            return true;
        };
        add(mib, "moduleStatus", o);
        o.read = [locate](long index, SnmpValue *v, Access) {
            const SimModule *m = locate(index);
            if (!m)
                return false;
            *v = libraryBits(m->eventWord(), 2);
            return true;
        };
        add(mib, "moduleEventStatus", o);
    }
    {
        Object o;
        o.instances = modules;
        o.writable = true;
        o.read = [locate](long index, SnmpValue *v, Access) {
            if (!locate(index))
                return false;
            *v = integerValue(0);
            return true;
        };
        o.verify = [](long, const SnmpValue &v) {
            return (v.integer == 0 || v.integer == 1) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE;
        };
        o.write = [locate](long index, const SnmpValue &v) {
            if (SimModule *m = locate(index); m && v.integer == 1)
                m->doClear();
        };
        add(mib, "moduleDoClear", o);
    }
}

void AgentObjects::addSensorsFansSupplies()
{
    const char *mib = "WIENER-CRATE-MIB";
    auto addInt = [&](const char *name, std::function<long()> getter) {
        Object o;
        o.read = [getter](long, SnmpValue *v, Access) {
            *v = integerValue(getter());
            return true;
        };
        add(mib, name, o);
    };
    auto addText = [&](const char *name, std::function<QByteArray()> getter) {
        Object o;
        o.type = ASN_OCTET_STR;
        o.read = [getter](long, SnmpValue *v, Access) {
            *v = stringValue(getter());
            return true;
        };
        add(mib, name, o);
    };

    // Read-only integer column over the instances 1..count.
    auto addColumn = [&](const char *name, long count, std::function<long(long index)> getter) {
        Object o;
        o.instances = [this, count] { return range(1, count); };
        o.read = [getter](long index, SnmpValue *v, Access) {
            *v = integerValue(getter(index));
            return true;
        };
        add(mib, name, o);
    };
    auto ownIndex = [](long index) { return index; };

    addText("psSerialNumber", [this] { return m_crate.config().psSerialNumber.toLatin1(); });
    addInt("psOperatingTime", [this] { return long(m_crate.operatingSeconds()); });
    {
        Object o;
        o.type = ASN_OCTET_STR;
        o.writable = true;
        o.read = [](long, SnmpValue *v, Access) {
            *v = stringValue(QByteArray());
            return true;
        };
        o.verify = [](long, const SnmpValue &v) { return v.bytes.size() <= 14 ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGLENGTH; };
        o.write = [](long, const SnmpValue &) {};
        add(mib, "psDirectAccess", o);
    }
    addInt("psAuxiliaryNumber", [] { return long(CrateModel::AuxCount); });
    for (bool voltage : {true, false}) {
        Object o;
        o.type = ASN_OPAQUE_FLOAT;
        o.instances = [this] { return range(1, CrateModel::AuxCount); };
        o.read = [this, voltage](long index, SnmpValue *v, Access) {
            const int aux = int(index - 1);
            *v = floatValue(voltage ? m_crate.auxVoltage(aux) : m_crate.auxCurrent(aux));
            return true;
        };
        add(mib, voltage ? "psAuxiliaryMeasurementVoltage" : "psAuxiliaryMeasurementCurrent", o);
    }
    addColumn("psAuxiliaryIndex", CrateModel::AuxCount, ownIndex);

    addInt("sensorNumber", [] { return long(CrateModel::SensorCount); });
    addColumn("sensorIndex", CrateModel::SensorCount, ownIndex);
    addColumn("sensorTemperature", CrateModel::SensorCount,
              [this](long index) { return long(m_crate.sensorTemperature(int(index - 1))); });
    for (bool warning : {true, false}) {
        auto *thresholds = warning ? &m_crate.sensorWarning : &m_crate.sensorFailure;
        Object o;
        o.instances = [this] { return range(1, CrateModel::SensorCount); };
        o.writable = true;
        o.verify = [](long, const SnmpValue &v) {
            return (v.integer >= 0 && v.integer <= 127) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE;
        };
        o.read = [thresholds](long index, SnmpValue *v, Access) {
            *v = integerValue((*thresholds)[size_t(index - 1)]);
            return true;
        };
        o.write = [thresholds](long index, const SnmpValue &v) { (*thresholds)[size_t(index - 1)] = int(v.integer); };
        add(mib, warning ? "sensorWarningThreshold" : "sensorFailureThreshold", o);
    }

    addText("fanSerialNumber", [this] { return m_crate.config().fanSerialNumber.toLatin1(); });
    addInt("fanOperatingTime", [this] { return long(m_crate.operatingSeconds() * 9 / 10); });
    addInt("fanAirTemperature", [this] { return long(std::lround(m_crate.airTemperature)); });
    {
        Object o;
        o.writable = true;
        o.read = [this](long, SnmpValue *v, Access) {
            *v = integerValue(m_crate.fanSwitchOffDelay);
            return true;
        };
        o.verify = [](long, const SnmpValue &v) {
            return (v.integer >= 0 && v.integer <= 900) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE;
        };
        o.write = [this](long, const SnmpValue &v) { m_crate.fanSwitchOffDelay = int(v.integer); };
        add(mib, "fanSwitchOffDelay", o);

        o.read = [this](long, SnmpValue *v, Access) {
            *v = integerValue(m_crate.fanNominalSpeed);
            return true;
        };
        // 0 stops the fans; a running fan needs at least 1200 rpm.
        o.verify = [](long, const SnmpValue &v) {
            return (v.integer == 0 || (v.integer >= 1200 && v.integer <= 3600)) ? SNMP_ERR_NOERROR
                                                                                 : SNMP_ERR_WRONGVALUE;
        };
        o.write = [this](long, const SnmpValue &v) { m_crate.fanNominalSpeed = int(v.integer); };
        add(mib, "fanNominalSpeed", o);
    }
    addInt("fanNumberOfFans", [] { return long(CrateModel::FanCount); });
    addColumn("fanNumber", CrateModel::FanCount, ownIndex);
    addColumn("fanSpeed", CrateModel::FanCount, [this](long index) { return long(m_crate.fanSpeed(int(index))); });
}

void AgentObjects::addSimulatorControls()
{
    const char *mib = "CRATESIM-MIB";
    auto addCounter = [&](const char *name, const quint32 *counter) {
        Object o;
        o.type = ASN_COUNTER;
        o.read = [counter](long, SnmpValue *v, Access) {
            *v = integerValue(long(*counter), ASN_COUNTER);
            return true;
        };
        add(mib, name, o);
    };
    addCounter("cratesimRequests", &m_settings.requests);
    addCounter("cratesimVarbinds", &m_settings.varbinds);
    addCounter("cratesimBadCommunities", &m_settings.badCommunities);

    // Scalar control: its value, the check of a SET and the action.
    auto addScalar = [&](const char *name, u_char type, std::function<SnmpValue()> read,
                         std::function<int(const SnmpValue &)> verify, std::function<void(const SnmpValue &)> write) {
        Object o;
        o.type = type;
        o.writable = true;
        o.read = [read](long, SnmpValue *v, Access) {
            *v = read();
            return true;
        };
        o.verify = [verify](long, const SnmpValue &v) { return verify(v); };
        o.write = [write](long, const SnmpValue &v) { write(v); };
        add(mib, name, o);
    };
    // Scalar integer control with a range and an action.
    auto addControl = [&](const char *name, long low, long high, std::function<long()> getter,
                          std::function<void(long)> setter) {
        addScalar(
            name, ASN_INTEGER, [getter] { return integerValue(getter()); },
            [low, high](const SnmpValue &v) {
                return (v.integer >= low && v.integer <= high) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE;
            },
            [setter](const SnmpValue &v) { setter(v.integer); });
    };
    // Scalar float control with a range.
    auto addFloatControl = [&](const char *name, double low, double high, std::function<double()> getter,
                               std::function<void(double)> setter) {
        addScalar(
            name, ASN_OPAQUE_FLOAT, [getter] { return floatValue(getter()); },
            [low, high](const SnmpValue &v) { return within(v.real, low, high) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE; },
            [setter](const SnmpValue &v) { setter(v.real); });
    };
    addControl("cratesimCountersReset", 0, 1, [] { return 0L; }, [this](long v) {
        if (v == 1) {
            m_settings.requests = 0;
            m_settings.varbinds = 0;
            m_settings.badCommunities = 0;
        }
    });
    addControl("cratesimAnswerDelay", 0, 10000, [this] { return long(m_settings.delayMs); },
               [this](long v) { m_settings.delayMs = int(v); });
    addControl("cratesimMaxMessageSize", 484, 65507, [this] { return long(m_settings.maxMessageSize); },
               [this](long v) { m_settings.maxMessageSize = int(v); });
    addFloatControl("cratesimTimeScale", 0.001, 10000.0, [this] { return m_settings.timeScale; },
                    [this](double v) { m_settings.timeScale = v; });
    {
        Object o;
        o.type = ASN_UNSIGNED;
        o.read = [this](long, SnmpValue *v, Access) {
            *v = integerValue(long(quint32(qint64(m_crate.simulatedMs()))), ASN_UNSIGNED);
            return true;
        };
        add(mib, "cratesimSimulatedTime", o);
    }

    addControl("cratesimMains", 0, 1, [this] { return long(m_crate.mains() ? 1 : 0); },
               [this](long v) { m_crate.setMains(v == 1); });
    addControl("cratesimBootTime", 0, 60000, [this] { return long(m_crate.bootMs); },
               [this](long v) { m_crate.bootMs = double(v); });
    addControl("cratesimAirTemperature", -20, 80, [this] { return long(std::lround(m_crate.airTemperature)); },
               [this](long v) { m_crate.airTemperature = double(v); });
    addFloatControl("cratesimNoise", 0.0, 0.1, [this] { return m_crate.noise; },
                    [this](double v) { m_crate.setNoise(v); });
    addControl("cratesimStateSave", 0, 1, [] { return 0L; }, [this](long v) {
        if (v == 1)
            m_settings.saveStateRequested = true;
    });

    // Per module (every configured slot, whatever its state).
    auto modules = [this] { return configuredModuleIndices(); };
    auto zeroOrOne = [](const SnmpValue &v) {
        return (v.integer == 0 || v.integer == 1) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE;
    };
    auto addModuleColumn = [&](const char *name, u_char type, std::function<SnmpValue(const SimModule &)> read,
                               std::function<int(const SnmpValue &)> verify,
                               std::function<void(SimModule &, const SnmpValue &)> write) {
        Object o;
        o.type = type;
        o.instances = modules;
        o.writable = bool(write);
        o.read = [this, read](long index, SnmpValue *v, Access) {
            const SimModule *m = m_crate.module(int(index - 1));
            if (!m)
                return false;
            *v = read(*m);
            return true;
        };
        if (write) {
            o.verify = [verify](long, const SnmpValue &v) { return verify(v); };
            o.write = [this, write](long index, const SnmpValue &v) {
                if (SimModule *m = m_crate.module(int(index - 1)))
                    write(*m, v);
            };
        }
        add(mib, name, o);
    };
    auto addModuleControl = [&](const char *name, std::function<long(const SimModule &)> getter,
                                std::function<void(SimModule &, long)> setter) {
        addModuleColumn(
            name, ASN_INTEGER, [getter](const SimModule &m) { return integerValue(getter(m)); }, zeroOrOne,
            setter ? [setter](SimModule &m, const SnmpValue &v) { setter(m, v.integer); }
                   : std::function<void(SimModule &, const SnmpValue &)>());
    };
    addModuleControl("cratesimModuleIndex", [](const SimModule &m) { return long(m.slot() + 1); }, {});
    addModuleControl("cratesimModuleResponding", [](const SimModule &m) { return long(m.isResponding()); },
                     [this](SimModule &m, long v) {
                         m.setResponding(v == 1);
                         m_can.setModuleResponding(m.slot(), v == 1);
                     });
    addModuleControl("cratesimModuleSafetyLoop", [](const SimModule &m) { return long(!m.safetyLoopOpen); },
                     [](SimModule &m, long v) { m.safetyLoopOpen = v == 0; });
    addModuleControl("cratesimModuleSupplyFault", [](const SimModule &m) { return long(m.supplyFault); },
                     [](SimModule &m, long v) { m.supplyFault = v == 1; });
    addModuleControl("cratesimModuleInputError", [](const SimModule &m) { return long(m.inputError); },
                     [](SimModule &m, long v) { m.inputError = v == 1; });
    addModuleControl("cratesimModuleNeedService", [](const SimModule &m) { return long(m.needService); },
                     [](SimModule &m, long v) { m.needService = v == 1; });
    addModuleControl("cratesimModuleStop", [](const SimModule &m) { return long(m.stopped); },
                     [](SimModule &m, long v) { m.stopped = v == 1; });
    addModuleColumn(
        "cratesimModuleTemperature", ASN_OPAQUE_FLOAT, [](const SimModule &m) { return floatValue(m.temperature); },
        [](const SnmpValue &v) { return within(v.real, -40.0, 150.0) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE; },
        [](SimModule &m, const SnmpValue &v) { m.temperature = v.real; });

    // Per channel (every configured channel).
    auto channels = [this] { return configuredChannelIndices(); };
    auto locate = [this](long index, SimModule **module) -> SimChannel * {
        SimModule *m = m_crate.module(int((index - 1) / 100));
        const int n = int((index - 1) % 100);
        if (!m || n >= m->channelCount())
            return nullptr;
        *module = m;
        return &m->channel(n);
    };
    using ChannelWrite = std::function<void(SimModule &, SimChannel &, const SnmpValue &)>;
    auto addChannelColumn = [&](const char *name, u_char type, std::function<SnmpValue(const SimChannel &)> read,
                                std::function<int(const SnmpValue &)> verify, ChannelWrite write) {
        Object o;
        o.type = type;
        o.instances = channels;
        o.writable = bool(write);
        o.read = [locate, read](long index, SnmpValue *v, Access) {
            SimModule *m = nullptr;
            const SimChannel *ch = locate(index, &m);
            if (!ch)
                return false;
            *v = read(*ch);
            return true;
        };
        if (write) {
            o.verify = [verify](long, const SnmpValue &v) { return verify(v); };
            o.write = [locate, write](long index, const SnmpValue &v) {
                SimModule *m = nullptr;
                if (SimChannel *ch = locate(index, &m))
                    write(*m, *ch, v);
            };
        }
        add(mib, name, o);
    };
    auto addChannelControl = [&](const char *name, std::function<long(const SimChannel &)> getter,
                                 std::function<void(SimModule &, SimChannel &, long)> setter) {
        addChannelColumn(
            name, ASN_INTEGER, [getter](const SimChannel &ch) { return integerValue(getter(ch)); }, zeroOrOne,
            setter ? ChannelWrite([setter](SimModule &m, SimChannel &ch, const SnmpValue &v) { setter(m, ch, v.integer); })
                   : ChannelWrite());
    };
    addChannelControl("cratesimChannelIndex", [](const SimChannel &) { return 0L; }, {});
    // The index column reads its own index.
    for (Object &o : m_objects)
        if (o.name == QLatin1String("cratesimChannelIndex"))
            o.read = [locate](long index, SnmpValue *v, Access) {
                SimModule *m = nullptr;
                if (!locate(index, &m))
                    return false;
                *v = integerValue(index);
                return true;
            };
    addChannelControl("cratesimChannelInhibit", [](const SimChannel &ch) { return long(ch.inhibitInput); },
                      [](SimModule &, SimChannel &ch, long v) { ch.inhibitInput = v == 1; });
    addChannelControl("cratesimChannelOverload", [](const SimChannel &ch) { return long(ch.overload); },
                      [](SimModule &, SimChannel &ch, long v) { ch.overload = v == 1; });
    addChannelControl("cratesimChannelOverVoltage", [](const SimChannel &ch) { return long(ch.overVoltage); },
                      [](SimModule &, SimChannel &ch, long v) { ch.overVoltage = v == 1; });
    addChannelControl("cratesimChannelOverCurrent", [](const SimChannel &ch) { return long(ch.overCurrent); },
                      [](SimModule &, SimChannel &ch, long v) { ch.overCurrent = v == 1; });
    addChannelControl("cratesimChannelTrip", [](const SimChannel &ch) { return long(ch.isTripped()); },
                      [](SimModule &m, SimChannel &ch, long v) {
                          if (v == 1 && m.isBooted())
                              ch.trip(m);
                      });
    auto addChannelFloat = [&](const char *name, std::function<double(const SimChannel &)> getter, double low,
                               double high, std::function<void(SimChannel &, double)> setter) {
        addChannelColumn(
            name, ASN_OPAQUE_FLOAT, [getter](const SimChannel &ch) { return floatValue(getter(ch)); },
            [low, high](const SnmpValue &v) { return within(v.real, low, high) ? SNMP_ERR_NOERROR : SNMP_ERR_WRONGVALUE; },
            setter ? ChannelWrite([setter](SimModule &, SimChannel &ch, const SnmpValue &v) { setter(ch, v.real); })
                   : ChannelWrite());
    };
    addChannelFloat("cratesimChannelLoad", [](const SimChannel &ch) { return ch.loadOhm; }, 1e-3, 1e15,
                    [](SimChannel &ch, double v) { ch.loadOhm = v; });
    addChannelFloat("cratesimChannelOutputVoltage", [](const SimChannel &ch) { return ch.outputVoltage(); }, 0, 0, {});
    addChannelFloat("cratesimChannelOutputCurrent", [](const SimChannel &ch) { return ch.outputCurrent(); }, 0, 0, {});
    addChannelFloat("cratesimChannelMeasuredInput", [](const SimChannel &ch) { return ch.measuredInput; }, -1e6, 1e6,
                    [](SimChannel &ch, double v) { ch.measuredInput = v; });
    addChannelControl("cratesimChannelTripDelay",
                      [](const SimChannel &ch) { return long(std::lround(ch.lastTripDelayMs())); }, {});
}
