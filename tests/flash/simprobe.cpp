#include "simprobe.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>

SimProbe::SimProbe(const QString &address)
{
    netsnmp_session settings;
    snmp_sess_init(&settings);
    QByteArray peer = address.toLatin1();
    QByteArray community("mavo");
    settings.version = SNMP_VERSION_2c;
    settings.peername = peer.data();
    settings.community = reinterpret_cast<u_char *>(community.data());
    settings.community_len = size_t(community.size());
    settings.timeout = 500000;
    settings.retries = 3;
    m_session = snmp_sess_open(&settings);
}

SimProbe::~SimProbe()
{
    if (m_session)
        snmp_sess_close(m_session);
}

bool SimProbe::loadSimulatorMibs()
{
    read_module("CRATESIM-MIB");
    return read_module("CRATESIM-CAN-MIB") != nullptr && which_module("CRATESIM-CAN-MIB") >= 0;
}

QString SimProbe::node(const char *column, int base)
{
    return QStringLiteral("cratesimCanNode%1.%2").arg(QLatin1String(column)).arg(base);
}

QVariant SimProbe::get(const QString &name)
{
    if (!m_session)
        return {};
    oid id[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!get_node(name.toLatin1().constData(), id, &length))
        return {};
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
    snmp_add_null_var(pdu, id, length);
    netsnmp_pdu *response = nullptr;
    QVariant result;
    if (snmp_sess_synch_response(m_session, pdu, &response) == STAT_SUCCESS && response
        && response->errstat == SNMP_ERR_NOERROR && response->variables) {
        const netsnmp_variable_list *var = response->variables;
        switch (var->type) {
        case ASN_INTEGER:
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
            result = qint64(*var->val.integer);
            break;
        case ASN_OCTET_STR:
            result = QByteArray(reinterpret_cast<const char *>(var->val.string), int(var->val_len));
            break;
        default:
            break;
        }
    }
    if (response)
        snmp_free_pdu(response);
    return result;
}

qint64 SimProbe::getInt(const QString &name, qint64 fallback)
{
    const QVariant value = get(name);
    return value.typeId() == QMetaType::LongLong ? value.toLongLong() : fallback;
}

QByteArray SimProbe::getBytes(const QString &name) { return get(name).toByteArray(); }

bool SimProbe::set(const QString &name, char type, const QByteArray &value)
{
    if (!m_session)
        return false;
    oid id[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!get_node(name.toLatin1().constData(), id, &length))
        return false;
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_SET);
    snmp_pdu_add_variable(pdu, id, length, u_char(type), value.constData(), size_t(value.size()));
    netsnmp_pdu *response = nullptr;
    const bool ok = snmp_sess_synch_response(m_session, pdu, &response) == STAT_SUCCESS && response
                    && response->errstat == SNMP_ERR_NOERROR;
    if (response)
        snmp_free_pdu(response);
    return ok;
}

bool SimProbe::setInt(const QString &name, int value)
{
    long v = value;
    return set(name, ASN_INTEGER, QByteArray(reinterpret_cast<const char *>(&v), sizeof v));
}

bool SimProbe::setBytes(const QString &name, const QByteArray &value) { return set(name, ASN_OCTET_STR, value); }

QList<SimNode> SimProbe::nodes()
{
    static const int bases[] = {0x200, 0x208, 0x210, 0x218, 0x220, 0x228, 0x230, 0x238, 0x240,
                                0x248, 0x250, 0x258, 0x260, 0x268, 0x270, 0x278, 0x280, 0x288,
                                0x290, 0x298, 0x2A0, 0x2A8, 0x2B0, 0x2B8, 0x2C0, 0x2C8, 0x2E0};
    QList<SimNode> list;
    for (int base : bases) {
        const qint64 serial = getInt(node("SerialNumber", base));
        if (serial < 0)
            continue;
        SimNode n;
        n.base = base;
        n.serialNumber = quint32(serial);
        n.device = QString::fromLatin1(getBytes(node("Device", base)));
        n.release = QString::fromLatin1(getBytes(node("Release", base))).remove(QLatin1Char('.')).toInt();
        n.bootLoader = getInt(node("Mode", base)) == 2;
        list << n;
    }
    return list;
}
