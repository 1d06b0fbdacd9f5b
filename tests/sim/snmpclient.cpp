#include "snmpclient.h"

#include "vexa_config.h"

#include <QDebug>
#include <cmath>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

quint32 SnmpAnswer::word(int i) const
{
    const QByteArray b = bytes(i);
    quint32 w = 0;
    for (int n = 0; n < b.size() && n < 4; ++n)
        w |= quint32(quint8(b[n])) << (8 * n);
    return w;
}

bool SnmpClient::initialiseLibrary()
{
    static bool done = false;
    static bool ok = false;
    if (done)
        return ok;
    done = true;
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    // Tests ask for indices outside the MIB's ranges on purpose.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_CHECK_RANGE, 1);
    const QByteArray dirs = QByteArray(netsnmp_get_mib_directory()) + ":" VEXA_SOURCE_MIBDIR;
    netsnmp_set_mib_directory(dirs.constData());
    init_snmp("simtest");
    ok = read_module("WIENER-CRATE-MIB") && read_module("CRATESIM-MIB");
    return ok;
}

bool SnmpClient::resolve(const QString &name, QList<quint32> *out)
{
    oid buffer[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!initialiseLibrary())
        return false;
    if (!snmp_parse_oid(name.toLatin1().constData(), buffer, &length))
        return false;
    out->clear();
    for (size_t i = 0; i < length; ++i)
        out->append(quint32(buffer[i]));
    return true;
}

SnmpClient::SnmpClient(const QString &peer, const QByteArray &community, int timeoutMs, int retries)
    : m_peer(peer.toLatin1()), m_community(community)
{
    initialiseLibrary();
    netsnmp_session session;
    snmp_sess_init(&session);
    session.version = SNMP_VERSION_2c;
    session.peername = m_peer.data();
    session.community = reinterpret_cast<u_char *>(m_community.data());
    session.community_len = size_t(m_community.size());
    session.timeout = long(timeoutMs) * 1000;
    session.retries = retries;
    m_session = snmp_sess_open(&session);
    if (!m_session)
        qWarning() << "cannot open an SNMP session to" << peer;
}

SnmpClient::~SnmpClient()
{
    if (m_session)
        snmp_sess_close(m_session);
}

SnmpAnswer SnmpClient::request(int command, const QStringList &names, const QList<Set> &values, int nonRepeaters,
                               int maxRepetitions)
{
    SnmpAnswer answer;
    if (!m_session)
        return answer;
    netsnmp_pdu *pdu = snmp_pdu_create(command);
    if (command == SNMP_MSG_GETBULK) {
        pdu->non_repeaters = nonRepeaters;
        pdu->max_repetitions = maxRepetitions;
    }
    auto parse = [](const QString &name, oid *buffer, size_t *length) {
        *length = MAX_OID_LEN;
        if (!snmp_parse_oid(name.toLatin1().constData(), buffer, length)) {
            qWarning() << "unknown object" << name;
            return false;
        }
        return true;
    };
    oid buffer[MAX_OID_LEN];
    size_t length = 0;
    for (const QString &name : names) {
        if (!parse(name, buffer, &length)) {
            snmp_free_pdu(pdu);
            return answer;
        }
        snmp_add_null_var(pdu, buffer, length);
    }
    for (const Set &s : values) {
        if (!parse(s.name, buffer, &length)) {
            snmp_free_pdu(pdu);
            return answer;
        }
        switch (s.type) {
        case 'i': {
            const long v = long(s.value.toLongLong());
            snmp_pdu_add_variable(pdu, buffer, length, ASN_INTEGER, &v, sizeof(v));
            break;
        }
        case 'u': {
            const u_long v = u_long(s.value.toULongLong());
            snmp_pdu_add_variable(pdu, buffer, length, ASN_UNSIGNED, &v, sizeof(v));
            break;
        }
        case 'F': {
            const float v = float(s.value.toDouble());
            snmp_pdu_add_variable(pdu, buffer, length, ASN_OPAQUE_FLOAT, &v, sizeof(v));
            break;
        }
        case 's': {
            const QByteArray v = s.value.toByteArray();
            snmp_pdu_add_variable(pdu, buffer, length, ASN_OCTET_STR, v.constData(), size_t(v.size()));
            break;
        }
        case 'a': {
            const QByteArray v = s.value.toByteArray(); // four octets
            snmp_pdu_add_variable(pdu, buffer, length, ASN_IPADDRESS, v.constData(), size_t(v.size()));
            break;
        }
        default:
            snmp_free_pdu(pdu);
            return answer;
        }
    }
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, pdu, &response);
    if (status != STAT_SUCCESS || !response) {
        if (response)
            snmp_free_pdu(response);
        return answer;
    }
    answer.ok = true;
    answer.errorStatus = response->errstat;
    answer.errorIndex = response->errindex;
    for (netsnmp_variable_list *v = response->variables; v; v = v->next_variable) {
        SnmpAnswer::Binding b;
        QStringList parts;
        for (size_t i = 0; i < v->name_length; ++i)
            parts << QString::number(v->name[i]);
        b.name = QLatin1Char('.') + parts.join(QLatin1Char('.'));
        b.type = v->type;
        switch (v->type) {
        case ASN_INTEGER:
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
            b.value = qlonglong(*v->val.integer);
            break;
        case ASN_OPAQUE_FLOAT:
            b.value = double(*v->val.floatVal);
            break;
        case ASN_OPAQUE_DOUBLE:
            b.value = *v->val.doubleVal;
            break;
        case ASN_OCTET_STR:
        case ASN_IPADDRESS:
        case ASN_OPAQUE:
            b.value = QByteArray(reinterpret_cast<const char *>(v->val.string), int(v->val_len));
            break;
        default:
            break;
        }
        answer.bindings << b;
    }
    snmp_free_pdu(response);
    return answer;
}

SnmpAnswer SnmpClient::get(const QStringList &names) { return request(SNMP_MSG_GET, names, {}); }

SnmpAnswer SnmpClient::getNext(const QStringList &names) { return request(SNMP_MSG_GETNEXT, names, {}); }

SnmpAnswer SnmpClient::getBulk(const QStringList &names, int nonRepeaters, int maxRepetitions)
{
    return request(SNMP_MSG_GETBULK, names, {}, nonRepeaters, maxRepetitions);
}

SnmpAnswer SnmpClient::set(const QList<Set> &values) { return request(SNMP_MSG_SET, {}, values); }

double SnmpClient::real(const QString &name)
{
    const SnmpAnswer a = get({name});
    if (!a.ok || a.errorStatus || a.type() != ASN_OPAQUE_FLOAT) {
        qWarning() << "GET" << name << "failed: ok" << a.ok << "error" << a.errorStatus << "type" << a.type();
        return qQNaN();
    }
    return a.real();
}

long SnmpClient::integer(const QString &name)
{
    const SnmpAnswer a = get({name});
    if (!a.ok || a.errorStatus || (a.type() != ASN_INTEGER && a.type() != ASN_COUNTER && a.type() != ASN_GAUGE)) {
        qWarning() << "GET" << name << "failed: ok" << a.ok << "error" << a.errorStatus << "type" << a.type();
        return -999999;
    }
    return a.integer();
}

QByteArray SnmpClient::bytes(const QString &name)
{
    const SnmpAnswer a = get({name});
    if (!a.ok || a.errorStatus || a.type() != ASN_OCTET_STR) {
        qWarning() << "GET" << name << "failed: ok" << a.ok << "error" << a.errorStatus << "type" << a.type();
        return QByteArray("<failed>");
    }
    return a.bytes();
}

quint32 SnmpClient::word(const QString &name)
{
    const SnmpAnswer a = get({name});
    if (!a.ok || a.errorStatus || a.type() != ASN_OCTET_STR) {
        qWarning() << "GET" << name << "failed";
        return 0xFFFFFFFFu;
    }
    return a.word();
}

bool SnmpClient::setInteger(const QString &name, long value)
{
    const SnmpAnswer a = set({{name, 'i', qlonglong(value)}});
    if (!a.ok || a.errorStatus)
        qWarning() << "SET" << name << value << "failed: ok" << a.ok << "error" << a.errorStatus;
    return a.ok && a.errorStatus == 0;
}

bool SnmpClient::setReal(const QString &name, double value)
{
    const SnmpAnswer a = set({{name, 'F', value}});
    if (!a.ok || a.errorStatus)
        qWarning() << "SET" << name << value << "failed: ok" << a.ok << "error" << a.errorStatus;
    return a.ok && a.errorStatus == 0;
}
