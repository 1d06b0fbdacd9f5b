#pragma once
// The objects the agent serves: every scalar and column of WIENER-CRATE-MIB and
// CRATESIM-MIB this simulator knows, resolved by name from the loaded MIBs,
// with their instances (which depend on what is in the crate), their values
// and the checks a SET has to pass. The net-snmp glue (SnmpAgent) only moves
// varbinds in and out of this table.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

class CrateModel;
class CanSide;
struct AgentSettings;

struct SnmpValue {
    u_char type = ASN_NULL;
    long integer = 0;    // INTEGER, Counter32, Unsigned32, TimeTicks, IpAddress (network order bytes)
    double real = 0.0;   // opaque float / double
    QByteArray bytes;    // OCTET STRING, BITS, OBJECT IDENTIFIER (as oids)
};

// Access right of the community a request came with.
enum class Access { None = 0, Read = 1, Write = 2, Admin = 3 };

class AgentObjects
{
public:
    enum class Found { Value, NoSuchObject, NoSuchInstance };

    AgentObjects(CrateModel &crate, CanSide &can, AgentSettings &settings);

    // Resolves the objects by name; names the loaded MIBs do not know are
    // skipped and listed in missing().
    void build();
    QStringList missing() const { return m_missing; }
    int objectCount() const { return int(m_objects.size()); }

    Found get(const oid *name, size_t length, SnmpValue *value, Access access) const;
    // The first instance after name that lies below prefix. False when none.
    bool next(const oid *name, size_t length, const oid *prefix, size_t prefixLength,
              std::vector<oid> *found, SnmpValue *value, Access access) const;
    // SNMP error status of a SET of one varbind (SNMP_ERR_NOERROR when it
    // would succeed); apply() then carries it out.
    int check(const oid *name, size_t length, const SnmpValue &value, Access access) const;
    void apply(const oid *name, size_t length, const SnmpValue &value);

    // Who may see the community names of the lower access rights.
    static Access accessOf(const QByteArray &community);

private:
    struct Object {
        QString name;
        std::vector<oid> base;
        u_char type = ASN_INTEGER;
        bool writable = false;
        bool scalar = true;
        std::function<std::vector<long>()> instances;
        std::function<bool(long index, SnmpValue *value, Access access)> read;
        std::function<int(long index, const SnmpValue &value)> verify;
        std::function<void(long index, const SnmpValue &value)> write;
    };

    void add(const char *module, const char *name, Object object);
    const Object *find(const oid *name, size_t length, long *index) const;

    std::vector<long> outputIndices() const;
    std::vector<long> moduleIndices() const;
    std::vector<long> configuredModuleIndices() const;
    std::vector<long> configuredChannelIndices() const;
    std::vector<long> range(long first, long last) const;

    void addSystem();
    void addCrate();
    void addOutputs();
    void addModules();
    void addSensorsFansSupplies();
    void addSimulatorControls();

    CrateModel &m_crate;
    CanSide &m_can;
    AgentSettings &m_settings;
    std::vector<Object> m_objects; // ordered by base
    QStringList m_missing;
    qint64 m_startMs = 0;
};
