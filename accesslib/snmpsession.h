#pragma once
// One crate connection: a net-snmp single session (so that different handles can
// be used from different threads), the buffers for the texts and records handed
// out on this handle, and what the session learnt about the agent's message size.

#include "objecttable.h"
#include "valuecodec.h"
#include "wiener_snmp.h"

#include <climits>
#include <string>
#include <vector>

namespace wiener {

class SnmpSession
{
public:
    // One variable of a request: the object, its index and, for a SET, the value.
    struct Variable {
        ObjectId object;
        long index;
        enum Kind { Null, Int, Real } kind = Null;
        long long integer = 0;
        double real = 0.0;
    };

    // Default time-out per try and retries; the environment variables
    // VEXA_SNMP_TIMEOUT_MS and VEXA_SNMP_RETRIES change them for new sessions.
    static constexpr int defaultTimeoutMs = 300;
    static constexpr int defaultRetries = 2;
    static constexpr const char *readCommunity = "kestra";
    static constexpr const char *writeCommunity = "mavo";

    // Opens a v2c session to `address` (dotted IPv4, optionally with ":port");
    // without a port the library's default port applies. Returns null and sets the
    // last error when the address is not usable.
    static SnmpSession *open(const char *address);
    ~SnmpSession();

    SnmpSession(const SnmpSession &) = delete;
    SnmpSession &operator=(const SnmpSession &) = delete;

    // One GET (or SET) for all variables, split into the fewest requests the
    // agent accepts when it answers tooBig. `values` receives one decoded value
    // per variable in order, exceptions (no such instance, ...) included. Returns
    // false when the request failed as a whole; the last error says why.
    bool get(const std::vector<Variable> &variables, std::vector<ValueCodec::Value> *values);
    bool set(const std::vector<Variable> &variables, std::vector<ValueCodec::Value> *values);

    const std::string &address() const { return m_address; }
    int timeoutMs() const { return m_timeoutMs; }
    int retries() const { return m_retries; }
    // Most variables of `object`'s kind one request may carry, as learnt from
    // tooBig answers; 0 while the agent has not refused any size.
    int variablesPerRequest(ObjectId object) const;

    // Results handed out on this handle, valid until the next call on it.
    std::string text;
    SnmpIntRecord intRecord{};
    SnmpDoubleRecord doubleRecord{};

    // The last error of the calling thread.
    static void setLastError(const std::string &text);
    static const char *lastError();

private:
    SnmpSession() = default;
    bool transfer(int command, const std::vector<Variable> &variables, std::vector<ValueCodec::Value> *values);
    enum class Outcome { Ok, TooBig, Failed };
    Outcome exchange(int command, const Variable *variables, int count, std::vector<ValueCodec::Value> *values);

    // What the agent accepts, learnt per value syntax: floats, BITS and integers
    // make answers of different sizes.
    struct SizeLimit {
        int fitMax = 0;          // most variables a request carried without tooBig
        int tooBigMin = INT_MAX; // fewest variables a request was refused with
        int chunk() const;
        void fitted(int count);
        void refused(int count);
    };
    SizeLimit &limitFor(ObjectId object);
    bool addVariable(netsnmp_pdu *pdu, const Variable &variable);

    void *m_session = nullptr;
    std::string m_address;
    int m_timeoutMs = defaultTimeoutMs;
    int m_retries = defaultRetries;
    SizeLimit m_limits[32]; // indexed by net-snmp's TYPE_* syntax
};

} // namespace wiener
