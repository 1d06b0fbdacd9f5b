#include "tunnelclient.h"

#include "vexa_config.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QElapsedTimer>
#include <QThread>

namespace {
bool initialised = false;

void initialiseLibrary()
{
    if (initialised)
        return;
    initialised = true;
    // Our MIB folder after the system ones, and no default module list to load.
    netsnmp_set_mib_directory("+" VEXA_SOURCE_MIBDIR);
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    init_snmp("simcantest");
    read_module("WIENER-CRATE-MIB");
    read_module("CRATESIM-MIB");
    read_module("CRATESIM-CAN-MIB");
}

bool resolve(const QString &name, oid *out, size_t *len)
{
    *len = MAX_OID_LEN;
    return get_node(name.toLatin1().constData(), out, len) != 0;
}

QVariant valueOf(const netsnmp_variable_list *vb)
{
    switch (vb->type) {
    case ASN_INTEGER:
        return QVariant::fromValue(qlonglong(*vb->val.integer));
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        return QVariant::fromValue(qulonglong(*vb->val.integer & 0xFFFFFFFFul));
    case ASN_OCTET_STR:
        return QByteArray(reinterpret_cast<const char *>(vb->val.string), int(vb->val_len));
    case ASN_OPAQUE_FLOAT:
        return QVariant::fromValue(double(*vb->val.floatVal));
    default:
        return QVariant();
    }
}
} // namespace

TunnelClient::TunnelClient(const QString &peer, const QString &community)
{
    initialiseLibrary();
    netsnmp_session s;
    snmp_sess_init(&s);
    const QByteArray peerName = peer.toLatin1();
    const QByteArray comm = community.toLatin1();
    s.version = SNMP_VERSION_2c;
    s.peername = const_cast<char *>(peerName.constData());
    s.community = reinterpret_cast<u_char *>(const_cast<char *>(comm.constData()));
    s.community_len = size_t(comm.size());
    s.timeout = 500000;
    s.retries = 3;
    m_session = snmp_sess_open(&s);
    if (!m_session)
        m_error = QStringLiteral("cannot open a session to %1").arg(peer);
}

TunnelClient::~TunnelClient()
{
    if (m_session)
        snmp_sess_close(m_session);
}

QByteArray TunnelClient::tunnelValue(const TunnelFrame &frame)
{
    QByteArray v(16, '\0');
    v[2] = char(frame.data.size() & 0x0F);
    const quint32 word = quint32(frame.id & 0x7FF) << 18;
    for (int i = 0; i < 4; ++i)
        v[4 + i] = char((word >> (8 * i)) & 0xFF);
    for (int i = 0; i < frame.data.size() && i < 8; ++i)
        v[8 + i] = frame.data.at(i);
    return v;
}

bool TunnelClient::parseTunnelValue(const QByteArray &v, TunnelFrame *frame, int *pending)
{
    if (v.size() != 16)
        return false;
    const auto *b = reinterpret_cast<const quint8 *>(v.constData());
    *pending = b[0] | b[1] << 8;
    const int length = b[2] & 0x0F;
    const quint32 word = quint32(b[4]) | quint32(b[5]) << 8 | quint32(b[6]) << 16 | quint32(b[7]) << 24;
    frame->id = quint16((word >> 18) & 0x7FF);
    frame->data = v.mid(8, qMin(length, 8));
    return true;
}

bool TunnelClient::send(const QList<TunnelFrame> &frames)
{
    if (!m_session)
        return false;
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!resolve(QStringLiteral("canTransmitHv.0"), id, &len)) {
        m_error = QStringLiteral("canTransmitHv.0 does not resolve");
        return false;
    }
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_SET);
    for (const TunnelFrame &f : frames) {
        const QByteArray v = tunnelValue(f);
        snmp_pdu_add_variable(pdu, id, len, ASN_OCTET_STR, v.constData(), size_t(v.size()));
    }
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, pdu, &response);
    const bool ok = status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR;
    m_status = status == STAT_SUCCESS && response ? response->errstat : -1;
    if (!ok)
        m_error = status == STAT_SUCCESS && response ? QString::fromLatin1(snmp_errstring(int(response->errstat)))
                                                     : QStringLiteral("no answer");
    if (response)
        snmp_free_pdu(response);
    return ok;
}

long TunnelClient::receiveMany(int count)
{
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!m_session || !resolve(QStringLiteral("canReceiveHv.0"), id, &len))
        return -1;
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
    for (int i = 0; i < count; ++i)
        snmp_add_null_var(pdu, id, len);
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, pdu, &response);
    const long result = status == STAT_SUCCESS && response ? response->errstat : -1;
    if (response)
        snmp_free_pdu(response);
    return result;
}

bool TunnelClient::rawReceive(int *type, QByteArray *value)
{
    if (!m_session)
        return false;
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!resolve(QStringLiteral("canReceiveHv.0"), id, &len))
        return false;
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
    snmp_add_null_var(pdu, id, len);
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, pdu, &response);
    bool ok = false;
    if (status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR && response->variables) {
        const netsnmp_variable_list *vb = response->variables;
        *type = vb->type;
        *value = vb->type == ASN_OCTET_STR
                     ? QByteArray(reinterpret_cast<const char *>(vb->val.string), int(vb->val_len))
                     : QByteArray();
        ok = true;
    }
    if (response)
        snmp_free_pdu(response);
    return ok;
}

int TunnelClient::receive(TunnelFrame *frame)
{
    int type = 0;
    QByteArray value;
    if (!rawReceive(&type, &value) || type != ASN_OCTET_STR)
        return -1;
    int pending = 0;
    TunnelFrame f;
    if (!parseTunnelValue(value, &f, &pending))
        return -1;
    if (pending > 0)
        *frame = f;
    return pending;
}

QList<TunnelFrame> TunnelClient::collect(int count, int timeoutMs)
{
    QList<TunnelFrame> frames;
    QElapsedTimer timer;
    timer.start();
    while (frames.size() < count && timer.elapsed() < timeoutMs) {
        TunnelFrame f;
        const int pending = receive(&f);
        if (pending > 0)
            frames.append(f);
        else
            QThread::msleep(2);
    }
    return frames;
}

QList<TunnelFrame> TunnelClient::drain()
{
    QList<TunnelFrame> frames;
    for (int i = 0; i < 10000; ++i) {
        TunnelFrame f;
        if (receive(&f) <= 0)
            break;
        frames.append(f);
    }
    return frames;
}

bool TunnelClient::openTunnel()
{
    return send(0x600, QByteArray::fromHex("10010001"));
}

QVariant TunnelClient::get(const QString &name)
{
    if (!m_session)
        return QVariant();
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!resolve(name, id, &len)) {
        m_error = name + QStringLiteral(" does not resolve");
        return QVariant();
    }
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
    snmp_add_null_var(pdu, id, len);
    netsnmp_pdu *response = nullptr;
    QVariant result;
    if (snmp_sess_synch_response(m_session, pdu, &response) == STAT_SUCCESS && response
        && response->errstat == SNMP_ERR_NOERROR && response->variables)
        result = valueOf(response->variables);
    if (response)
        snmp_free_pdu(response);
    return result;
}

bool TunnelClient::setInteger(const QString &name, long value, QVariant *answer, int *answerType)
{
    if (!m_session)
        return false;
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!resolve(name, id, &len)) {
        m_error = name + QStringLiteral(" does not resolve");
        return false;
    }
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_SET);
    snmp_pdu_add_variable(pdu, id, len, ASN_INTEGER, &value, sizeof value);
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, pdu, &response);
    const bool ok = status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR;
    if (ok && response->variables) {
        if (answer)
            *answer = valueOf(response->variables);
        if (answerType)
            *answerType = response->variables->type;
    }
    if (!ok)
        m_error = status == STAT_SUCCESS && response ? QString::fromLatin1(snmp_errstring(int(response->errstat)))
                                                     : QStringLiteral("no answer");
    if (response)
        snmp_free_pdu(response);
    return ok;
}

bool TunnelClient::setString(const QString &name, const QByteArray &value)
{
    if (!m_session)
        return false;
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!resolve(name, id, &len))
        return false;
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_SET);
    snmp_pdu_add_variable(pdu, id, len, ASN_OCTET_STR, value.constData(), size_t(value.size()));
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(m_session, pdu, &response);
    const bool ok = status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR;
    if (response)
        snmp_free_pdu(response);
    return ok;
}
