#include "snmpsession.h"

#include "canframe.h"
#include "flashlogging.h"
#include "objecttable.h"
#include "vexa_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace crateflash {

static_assert(sizeof(oid) == sizeof(unsigned long), "ObjectId stores the library's sub-identifiers");
static_assert(MAX_OID_LEN == ObjectId::MaxLength, "ObjectId holds the library's longest identifier");

namespace {

QStringList &mibDirectoryOverride()
{
    static QStringList dirs;
    return dirs;
}
bool mibDirectoriesOverridden = false;

std::function<void(int, const QString &)> &logSink()
{
    static std::function<void(int, const QString &)> sink;
    return sink;
}

const oid *ids(const ObjectId &object) { return reinterpret_cast<const oid *>(object.ids); }

// Transport failure: the library tells what went wrong (time-out, no route).
void reportSessionError(SnmpSessionHandle session)
{
    snmp_sess_perror("snmpget", snmp_sess_session(session));
}

// Appends our directories to the library's search path, so that a crate maker's
// MIB installed on the system wins over ours.
void appendLocalMibDirectories()
{
    QString path = QString::fromLocal8Bit(netsnmp_get_mib_directory());
    const QStringList present = path.split(QLatin1Char(ENV_SEPARATOR_CHAR), Qt::SkipEmptyParts);
    for (const QString &dir : Snmp::localMibDirectories()) {
        if (present.contains(dir))
            continue;
        if (!path.isEmpty())
            path += QLatin1Char(ENV_SEPARATOR_CHAR);
        path += dir;
    }
    netsnmp_set_mib_directory(path.toLocal8Bit().constData());
}

} // namespace

namespace Snmp {

void setLocalMibDirectories(const QStringList &directories)
{
    mibDirectoryOverride() = directories;
    mibDirectoriesOverridden = true;
}

QStringList localMibDirectories()
{
    if (mibDirectoriesOverridden)
        return mibDirectoryOverride();
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QDir::cleanPath(QCoreApplication::applicationDirPath()
                                      + QStringLiteral("/../share/vexa/mibs"));
    candidates << QStringLiteral(VEXA_INSTALL_MIBDIR) << QStringLiteral(VEXA_SOURCE_MIBDIR);
    QStringList dirs;
    for (const QString &dir : candidates)
        if (QFileInfo(dir).isDir() && !dirs.contains(dir))
            dirs << dir;
    return dirs;
}

QString mibSearchPath() { return QString::fromLocal8Bit(netsnmp_get_mib_directory()); }

void setLogSink(std::function<void(int, const QString &)> sink) { logSink() = std::move(sink); }

} // namespace Snmp

void logLine(int priority, const char *format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::fprintf(stdout, "%s\n", buffer);
    std::fflush(stdout);
    const QString line = QString::fromLocal8Bit(buffer);
    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        // The tunnel's thread logs too; the sink (the window's log) is served
        // on the application's thread only, with the sink set when it gets there.
        QMetaObject::invokeMethod(
            app,
            [priority, line] {
                if (logSink())
                    logSink()(priority, line);
            },
            Qt::QueuedConnection);
        return;
    }
    if (logSink())
        logSink()(priority, line);
}

bool initialiseSnmp()
{
    logLine(Snmp::Debug, "*** Initialise SNMP ***");
    appendLocalMibDirectories();
    // The tool needs only the crate MIB. The library's default module list names
    // modules whose imports are missing on many systems, and loading them only
    // fills standard error with parser complaints. An explicit MIBS is honoured.
    if (!qEnvironmentVariableIsSet("MIBS"))
        qputenv("MIBS", "");
    init_snmp(Snmp::ApplicationType);
    init_mib();

    // read_module returns the tree even when the module is nowhere on the path;
    // which_module tells whether the module is known at all.
    if (!read_module(Snmp::MibModule) || which_module(Snmp::MibModule) < 0) {
        logLine(Snmp::Error, "Unable to load SNMP MIB file \"%s\"", Snmp::MibModule);
        return false;
    }

    logLine(Snmp::Debug, "*** Translate OIDs ***");
    ObjectTable &table = ObjectTable::instance();
    const QStringList names = ObjectTable::names();
    for (int i = 0; i < names.size(); ++i) {
        ObjectId &slot = table.at(i);
        slot.length = ObjectId::MaxLength;
        const QByteArray name = names.at(i).toLatin1();
        if (!get_node(name.constData(), reinterpret_cast<oid *>(slot.ids), &slot.length)) {
            logLine(Snmp::Error, "OID %s not found!", name.constData());
            slot.length = 0;
            return false;
        }
    }
    table.setTranslated(true);
    logLine(Snmp::Debug, "*** Initialise SNMP done ***");
    SOCK_STARTUP;
    return true;
}

SnmpSessionHandle openSession(const QByteArray &host)
{
    netsnmp_session settings;
    snmp_sess_init(&settings);
    QByteArray peer = host;
    QByteArray community(Snmp::Community);
    settings.version = SNMP_VERSION_2c;
    settings.peername = peer.data();
    settings.community = reinterpret_cast<u_char *>(community.data());
    settings.community_len = size_t(community.size());
    settings.timeout = Snmp::TimeoutMicroseconds;
    settings.retries = Snmp::Retries;

    // The library copies peer name and community into the session.
    void *session = snmp_sess_open(&settings);
    if (session) {
        logLine(Snmp::Information, "SNMP session for host \"%s\" opened", host.constData());
        return session;
    }
    char *text = nullptr;
    snmp_error(&settings, nullptr, nullptr, &text);
    logLine(Snmp::Error, "Open SNMP session for host \"%s\": %s", host.constData(), text ? text : "");
    SNMP_FREE(text);
    return nullptr;
}

void closeSession(SnmpSessionHandle session)
{
    if (!session)
        return;
    if (snmp_sess_close(session))
        logLine(Snmp::Information, "SNMP session closed");
    else
        logLine(Snmp::Error, "Close SNMP session: ERROR");
}

int setIntegerObject(SnmpSessionHandle session, const ObjectId &object, qint32 value)
{
    if (!session || object.length == 0)
        return 0;
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_SET);
    pdu->community = reinterpret_cast<u_char *>(strdup(Snmp::Community));
    pdu->community_len = std::strlen(Snmp::Community);

    const ObjectId &address = ObjectTable::instance().scalar(ObjectTable::IpStaticAddress);
    const u_char type = snmp_oid_compare(ids(object), object.length, ids(address), address.length) == 0
                            ? ASN_IPADDRESS
                            : ASN_INTEGER;
    snmp_pdu_add_variable(pdu, ids(object), object.length, type, &value, sizeof value);

    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(session, pdu, &response);
    if (status != STAT_SUCCESS || !response) {
        reportSessionError(session);
        if (response)
            snmp_free_pdu(response);
        return 0;
    }
    if (response->errstat != SNMP_ERR_NOERROR) {
        std::fprintf(stderr, "Error in packet\nReason: %s\n", snmp_errstring(int(response->errstat)));
        snmp_free_pdu(response);
        return 0;
    }
    int result = value;
    for (netsnmp_variable_list *var = response->variables; var; var = var->next_variable) {
        switch (var->type) {
        case ASN_INTEGER:
        case ASN_IPADDRESS:
            if (var->val.integer)
                result = int(*var->val.integer);
            break;
#ifdef NETSNMP_WITH_OPAQUE_SPECIAL_TYPES
        case ASN_OPAQUE_FLOAT:
            if (var->val.floatVal)
                result = int(*var->val.floatVal);
            break;
        case ASN_OPAQUE_DOUBLE:
            if (var->val.doubleVal)
                result = int(*var->val.doubleVal);
            break;
#endif
        default:
            break;
        }
    }
    snmp_free_pdu(response);
    return result;
}

int receiveCanFrame(SnmpSessionHandle session, CanFrame &frame)
{
    if (!session)
        return -1;
    const ObjectId &object = ObjectTable::instance().scalar(ObjectTable::CanReceiveHv);
    if (object.length == 0)
        return -1;
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
    snmp_add_null_var(pdu, ids(object), object.length);

    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(session, pdu, &response);
    if (status != STAT_SUCCESS || !response) {
        reportSessionError(session);
        if (response)
            snmp_free_pdu(response);
        return -1;
    }
    if (response->errstat != SNMP_ERR_NOERROR) {
        std::fprintf(stderr, "Error in packet\nReason: %s\n", snmp_errstring(int(response->errstat)));
        snmp_free_pdu(response);
        return -1;
    }
    int result = -1;
    for (netsnmp_variable_list *var = response->variables; var; var = var->next_variable) {
        if (var->type != ASN_OCTET_STR || var->val_len != 16 || !var->val.string) {
            result = -1;
            continue;
        }
        const u_char *value = var->val.string;
        std::memcpy(frame.record(), value + 2, CanFrame::RecordSize);
        result = value[0] | value[1] << 8;
    }
    snmp_free_pdu(response);
    return result;
}

int transmitCanFrames(SnmpSessionHandle session, const CanFrame *frames, int count)
{
    if (!session || count < 0 || (count > 0 && !frames))
        return -1;
    const ObjectId &object = ObjectTable::instance().scalar(ObjectTable::CanTransmitHv);
    if (object.length == 0)
        return -1;
    if (count > Snmp::MaxFramesPerRequest)
        return -1;
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_SET);
    pdu->community = reinterpret_cast<u_char *>(strdup(Snmp::Community));
    pdu->community_len = std::strlen(Snmp::Community);
    for (int i = 0; i < count; ++i) {
        u_char value[16] = {};
        std::memcpy(value + 2, frames[i].record(), CanFrame::RecordSize);
        snmp_pdu_add_variable(pdu, ids(object), object.length, ASN_OCTET_STR, value, sizeof value);
    }

    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(session, pdu, &response);
    if (status != STAT_SUCCESS || !response) {
        reportSessionError(session);
        if (response)
            snmp_free_pdu(response);
        return -1;
    }
    if (response->errstat != SNMP_ERR_NOERROR) {
        qCDebug(lcFlashSnmp, "Error in packet %ld: %s\n", response->errindex,
                snmp_errstring(int(response->errstat)));
        snmp_free_pdu(response);
        return -1;
    }
    int result = -1;
    bool allTunnelValues = true;
    for (netsnmp_variable_list *var = response->variables; var; var = var->next_variable) {
        if (var->type != ASN_OCTET_STR || var->val_len != 16 || !var->val.string) {
            allTunnelValues = false;
            continue;
        }
        result = var->val.string[0] | var->val.string[1] << 8;
    }
    snmp_free_pdu(response);
    return allTunnelValues ? result : -1;
}

void cleanupSnmpSockets() { SOCK_CLEANUP; }

} // namespace crateflash
