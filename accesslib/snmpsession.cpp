#include "snmpsession.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace wiener {

namespace {

thread_local std::string lastErrorText;

// net-snmp keeps its open transports in one process-wide list without a lock of
// its own (it is built without thread support), so sessions are opened and
// closed one at a time. Requests on different sessions need no lock.
std::mutex openCloseMutex;

int environmentInt(const char *name, int fallback, int minimum, int maximum)
{
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (*end || v < minimum || v > maximum)
        return fallback;
    return static_cast<int>(v);
}

// Only numeric IPv4 addresses are taken: a host name would make net-snmp ask a
// name server, and that can block far longer than any request time-out.
bool isUsableAddress(const std::string &address)
{
    std::string host = address;
    if (host.rfind("udp:", 0) == 0)
        host = host.substr(4);
    const size_t colon = host.find(':');
    if (colon != std::string::npos) {
        const std::string port = host.substr(colon + 1);
        host = host.substr(0, colon);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const long p = std::strtol(port.c_str(), nullptr, 10);
        if (p < 1 || p > 65535)
            return false;
    }
    in_addr parsed{};
    return inet_pton(AF_INET, host.c_str(), &parsed) == 1;
}

std::string describeVariables(const SnmpSession::Variable *variables, int count)
{
    if (count <= 0)
        return std::string();
    std::string text = ObjectTable::instanceName(variables[0].object, variables[0].index);
    if (count > 1)
        text += " (and " + std::to_string(count - 1) + " more)";
    return text;
}

} // namespace

void SnmpSession::setLastError(const std::string &text) { lastErrorText = text; }

const char *SnmpSession::lastError() { return lastErrorText.c_str(); }

SnmpSession *SnmpSession::open(const char *address)
{
    const std::string peer = address ? address : "";
    if (!isUsableAddress(peer)) {
        setLastError("snmpOpen: \"" + peer + "\" is not an IPv4 address");
        return nullptr;
    }
    auto *session = new SnmpSession;
    session->m_address = peer;
    session->m_timeoutMs = environmentInt("VEXA_SNMP_TIMEOUT_MS", defaultTimeoutMs, 10, 60000);
    session->m_retries = environmentInt("VEXA_SNMP_RETRIES", defaultRetries, 0, 10);

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = SNMP_VERSION_2c;
    // The peer is passed as given, so net-snmp's default port (and its
    // defaultPort setting) applies when the address carries none.
    settings.peername = const_cast<char *>(session->m_address.c_str());
    settings.community = reinterpret_cast<u_char *>(const_cast<char *>(readCommunity));
    settings.community_len = std::strlen(readCommunity);
    settings.timeout = static_cast<long>(session->m_timeoutMs) * 1000;
    settings.retries = session->m_retries;

    std::unique_lock<std::mutex> lock(openCloseMutex);
    session->m_session = snmp_sess_open(&settings);
    lock.unlock();
    if (!session->m_session) {
        int libraryError = 0, systemError = 0;
        char *text = nullptr;
        snmp_error(&settings, &libraryError, &systemError, &text);
        setLastError(session->m_address + ": cannot open SNMP session: " + (text ? text : "unknown error"));
        free(text);
        delete session;
        return nullptr;
    }
    return session;
}

SnmpSession::~SnmpSession()
{
    if (m_session) {
        std::lock_guard<std::mutex> lock(openCloseMutex);
        snmp_sess_close(m_session);
    }
}

static int syntaxSlot(ObjectId object)
{
    const int syntax = ObjectTable::object(object).syntax;
    return syntax >= 0 && syntax < 32 ? syntax : 0;
}

SnmpSession::SizeLimit &SnmpSession::limitFor(ObjectId object) { return m_limits[syntaxSlot(object)]; }

int SnmpSession::variablesPerRequest(ObjectId object) const
{
    const SizeLimit &limit = m_limits[syntaxSlot(object)];
    return limit.tooBigMin == INT_MAX ? 0 : limit.fitMax;
}

int SnmpSession::SizeLimit::chunk() const
{
    if (tooBigMin == INT_MAX)
        return INT_MAX;
    if (fitMax + 1 >= tooBigMin)
        return std::max(1, fitMax);
    // Still narrowing down what fits: try halfway between the two bounds.
    return std::max(1, (fitMax + tooBigMin) / 2);
}

void SnmpSession::SizeLimit::fitted(int count)
{
    fitMax = std::max(fitMax, count);
    if (tooBigMin <= fitMax)
        tooBigMin = fitMax + 1;
}

void SnmpSession::SizeLimit::refused(int count)
{
    tooBigMin = std::min(tooBigMin, count);
    if (fitMax >= tooBigMin)
        fitMax = tooBigMin - 1;
}

bool SnmpSession::get(const std::vector<Variable> &variables, std::vector<ValueCodec::Value> *values)
{
    return transfer(SNMP_MSG_GET, variables, values);
}

bool SnmpSession::set(const std::vector<Variable> &variables, std::vector<ValueCodec::Value> *values)
{
    return transfer(SNMP_MSG_SET, variables, values);
}

bool SnmpSession::transfer(int command, const std::vector<Variable> &variables,
                           std::vector<ValueCodec::Value> *values)
{
    values->clear();
    const int total = static_cast<int>(variables.size());
    if (total == 0)
        return true;
    SizeLimit &limit = limitFor(variables.front().object);
    int done = 0;
    while (done < total) {
        const int count = std::min(total - done, limit.chunk());
        std::vector<ValueCodec::Value> part;
        const Outcome outcome = exchange(command, variables.data() + done, count, &part);
        if (outcome == Outcome::Ok) {
            limit.fitted(count);
            values->insert(values->end(), part.begin(), part.end());
            done += count;
            continue;
        }
        if (outcome == Outcome::TooBig && count > 1) {
            limit.refused(count);
            continue;
        }
        if (outcome == Outcome::TooBig)
            setLastError(m_address + ": " + describeVariables(variables.data() + done, count) +
                         ": tooBig even for a single variable");
        values->clear();
        return false;
    }
    return true;
}

bool SnmpSession::addVariable(netsnmp_pdu *pdu, const Variable &variable)
{
    oid name[MAX_OID_LEN];
    const size_t nameLength = ObjectTable::instance(variable.object, variable.index, name);
    if (variable.kind == Variable::Null)
        return snmp_add_null_var(pdu, name, nameLength) != nullptr;

    const MibObject &object = ObjectTable::object(variable.object);
    const bool real = variable.kind == Variable::Real;
    auto asInteger = [&]() -> long {
        if (!real)
            return static_cast<long>(variable.integer);
        if (!std::isfinite(variable.real))
            return 0;
        return std::lround(std::clamp(variable.real, -2147483648.0, 2147483647.0));
    };
    netsnmp_variable_list *added = nullptr;
    switch (object.syntax) {
    case TYPE_OPAQUE: {
        // Physical values travel as Opaque-wrapped floats.
        const float f = real ? static_cast<float>(variable.real) : static_cast<float>(variable.integer);
        added = snmp_pdu_add_variable(pdu, name, nameLength, ASN_OPAQUE_FLOAT,
                                      reinterpret_cast<const u_char *>(&f), sizeof f);
        break;
    }
    case TYPE_IPADDR: {
        unsigned char octets[4];
        ValueCodec::intToIpAddress(static_cast<int>(asInteger()), octets);
        added = snmp_pdu_add_variable(pdu, name, nameLength, ASN_IPADDRESS, octets, 4);
        break;
    }
    case TYPE_BITSTRING: {
        const std::vector<unsigned char> octets =
            ValueCodec::libraryIntToBits(static_cast<int>(asInteger()), object.bitsOctets);
        added = snmp_pdu_add_variable(pdu, name, nameLength, ASN_OCTET_STR, octets.data(), octets.size());
        break;
    }
    case TYPE_GAUGE:
    case TYPE_UNSIGNED32:
    case TYPE_UINTEGER: {
        const u_long v = static_cast<u_long>(static_cast<uint32_t>(asInteger()));
        added = snmp_pdu_add_variable(pdu, name, nameLength,
                                      object.syntax == TYPE_UINTEGER ? ASN_UINTEGER : ASN_GAUGE,
                                      reinterpret_cast<const u_char *>(&v), sizeof v);
        break;
    }
    default: {
        const long v = asInteger();
        added = snmp_pdu_add_variable(pdu, name, nameLength, ASN_INTEGER,
                                      reinterpret_cast<const u_char *>(&v), sizeof v);
        break;
    }
    }
    return added != nullptr;
}

SnmpSession::Outcome SnmpSession::exchange(int command, const Variable *variables, int count,
                                           std::vector<ValueCodec::Value> *values)
{
    netsnmp_pdu *request = snmp_pdu_create(command);
    if (!request) {
        setLastError(m_address + ": cannot create a request");
        return Outcome::Failed;
    }
    if (command == SNMP_MSG_SET) {
        // Writes go with the write community; the session's own is the read one.
        request->community = reinterpret_cast<u_char *>(strdup(writeCommunity));
        request->community_len = std::strlen(writeCommunity);
    }
    for (int i = 0; i < count; ++i) {
        if (!addVariable(request, variables[i])) {
            setLastError(m_address + ": " + ObjectTable::instanceName(variables[i].object, variables[i].index) +
                         ": cannot encode the value");
            snmp_free_pdu(request);
            return Outcome::Failed;
        }
    }

    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, request, &response); // frees the request
    Outcome outcome = Outcome::Failed;
    if (status == STAT_SUCCESS && response) {
        if (response->errstat == SNMP_ERR_NOERROR) {
            int index = 0;
            bool matches = true;
            for (netsnmp_variable_list *v = response->variables; v; v = v->next_variable, ++index) {
                if (index >= count) {
                    matches = false;
                    break;
                }
                oid expected[MAX_OID_LEN];
                const size_t expectedLength =
                    ObjectTable::instance(variables[index].object, variables[index].index, expected);
                if (snmp_oid_compare(v->name, v->name_length, expected, expectedLength) != 0) {
                    matches = false;
                    break;
                }
                values->push_back(ValueCodec::decode(v));
            }
            if (matches && index == count) {
                outcome = Outcome::Ok;
            } else {
                values->clear();
                setLastError(m_address + ": " + describeVariables(variables, count) +
                             ": the answer does not match the request");
            }
        } else if (response->errstat == SNMP_ERR_TOOBIG) {
            outcome = Outcome::TooBig;
        } else {
            const long at = response->errindex;
            const std::string object = at >= 1 && at <= count
                                           ? ObjectTable::instanceName(variables[at - 1].object, variables[at - 1].index)
                                           : describeVariables(variables, count);
            setLastError(m_address + ": " + object + ": " + snmp_errstring(static_cast<int>(response->errstat)));
        }
    } else if (status == STAT_TIMEOUT) {
        setLastError(m_address + ": " + describeVariables(variables, count) + ": no answer within " +
                     std::to_string(m_timeoutMs) + " ms and " + std::to_string(m_retries) + " retries");
    } else {
        int libraryError = 0, systemError = 0;
        char *text = nullptr;
        snmp_sess_error(m_session, &libraryError, &systemError, &text);
        setLastError(m_address + ": " + describeVariables(variables, count) + ": " + (text ? text : "SNMP error"));
        free(text);
    }
    if (response)
        snmp_free_pdu(response);
    return outcome;
}

} // namespace wiener
