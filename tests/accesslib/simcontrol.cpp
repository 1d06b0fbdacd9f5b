#include "simcontrol.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>

namespace {
// The simulator's counter of answered requests.
const char requestCounter[] = "CRATESIM-MIB::cratesimRequests.0";
} // namespace

SimControl::SimControl(const QString &peer)
{
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = SNMP_VERSION_2c;
    const QByteArray peerName = peer.toLatin1();
    settings.peername = const_cast<char *>(peerName.constData());
    static char community[] = "kestra";
    settings.community = reinterpret_cast<u_char *>(community);
    settings.community_len = std::strlen(community);
    settings.timeout = 500000;
    settings.retries = 1;
    m_session = snmp_sess_open(&settings);
    if (!m_session)
        m_error = QStringLiteral("cannot open a control session to %1").arg(peer);
}

SimControl::~SimControl()
{
    if (m_session)
        snmp_sess_close(m_session);
}

static bool parseName(const QString &name, oid *id, size_t *length, QString *error)
{
    *length = MAX_OID_LEN;
    if (!snmp_parse_oid(name.toLatin1().constData(), id, length)) {
        *error = QStringLiteral("unknown object %1").arg(name);
        return false;
    }
    return true;
}

QVariant SimControl::get(const QString &name)
{
    oid id[MAX_OID_LEN];
    size_t length = 0;
    if (!m_session || !parseName(name, id, &length, &m_error))
        return QVariant();
    netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GET);
    snmp_add_null_var(request, id, length);
    netsnmp_pdu *response = nullptr;
    QVariant result;
    const int status = snmp_sess_synch_response(m_session, request, &response);
    if (status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR && response->variables) {
        const netsnmp_variable_list *v = response->variables;
        switch (v->type) {
        case ASN_INTEGER:
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
            result = qlonglong(v->type == ASN_INTEGER ? *v->val.integer : long(*v->val.integer & 0xFFFFFFFFul));
            break;
        case ASN_OPAQUE_FLOAT:
            result = double(*v->val.floatVal);
            break;
        case ASN_OPAQUE_DOUBLE:
            result = *v->val.doubleVal;
            break;
        case ASN_OCTET_STR:
        case ASN_IPADDRESS:
            result = QByteArray(reinterpret_cast<const char *>(v->val.string), int(v->val_len));
            break;
        default:
            m_error = QStringLiteral("%1: unexpected type 0x%2").arg(name).arg(v->type, 0, 16);
        }
    } else {
        m_error = QStringLiteral("%1: GET failed (status %2, error %3)")
                      .arg(name)
                      .arg(status)
                      .arg(response ? response->errstat : -1);
    }
    if (response)
        snmp_free_pdu(response);
    return result;
}

bool SimControl::set(const QString &name, char type, const QVariant &value)
{
    oid id[MAX_OID_LEN];
    size_t length = 0;
    if (!m_session || !parseName(name, id, &length, &m_error))
        return false;
    netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_SET);
    request->community = reinterpret_cast<u_char *>(strdup("mavo"));
    request->community_len = 4;
    if (type == 'f') {
        const float f = value.toFloat();
        snmp_pdu_add_variable(request, id, length, ASN_OPAQUE_FLOAT, &f, sizeof f);
    } else if (type == 's') {
        const QByteArray bytes = value.toByteArray();
        snmp_pdu_add_variable(request, id, length, ASN_OCTET_STR, bytes.constData(), bytes.size());
    } else {
        const long i = long(value.toLongLong());
        snmp_pdu_add_variable(request, id, length, ASN_INTEGER, &i, sizeof i);
    }
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, request, &response);
    const bool ok = status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR;
    if (!ok)
        m_error = QStringLiteral("%1: SET failed (status %2, error %3)")
                      .arg(name)
                      .arg(status)
                      .arg(response ? response->errstat : -1);
    if (response)
        snmp_free_pdu(response);
    return ok;
}

qlonglong SimControl::requests()
{
    const QVariant v = get(QLatin1String(requestCounter));
    return v.isValid() ? v.toLongLong() : -1;
}

qlonglong SimControl::measureCounterCost()
{
    const qlonglong a = requests();
    const qlonglong b = a < 0 ? -1 : requests();
    if (b < 0)
        return -1;
    m_counterCost = b - a;
    return m_counterCost;
}

qlonglong SimControl::requestsDuring(const std::function<void()> &work)
{
    const qlonglong before = requests();
    work();
    return requests() - before - m_counterCost;
}

bool SimControl::getColumn(const QString &column, int firstIndex, int count, bool *tooBig)
{
    *tooBig = false;
    oid id[MAX_OID_LEN];
    size_t length = 0;
    if (!m_session || !parseName(column, id, &length, &m_error))
        return false;
    netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GET);
    for (int i = 0; i < count; ++i) {
        id[length] = oid(firstIndex + i);
        snmp_add_null_var(request, id, length + 1);
    }
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, request, &response);
    bool ok = false;
    if (status == STAT_SUCCESS && response) {
        ok = response->errstat == SNMP_ERR_NOERROR;
        *tooBig = response->errstat == SNMP_ERR_TOOBIG;
    }
    if (!ok)
        m_error = QStringLiteral("%1: GET of %2 failed").arg(column).arg(count);
    if (response)
        snmp_free_pdu(response);
    return ok;
}
