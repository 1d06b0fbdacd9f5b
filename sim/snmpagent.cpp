#include "snmpagent.h"

#include "agentobjects.h"
#include "agentsettings.h"
#include "answerbudget.h"
#include "simlog.h"

#include <QByteArray>
#include <QDir>
#include <cstring>
#include <sys/select.h>
#include <unistd.h>

#include <net-snmp/agent/agent_callbacks.h>
#include <net-snmp/library/vacm.h>

namespace {

SnmpValue valueOf(const netsnmp_variable_list *var)
{
    SnmpValue v;
    v.type = var->type;
    switch (var->type) {
    case ASN_INTEGER:
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        v.integer = var->val.integer ? *var->val.integer : 0;
        break;
    case ASN_OPAQUE_FLOAT:
        v.real = var->val.floatVal ? double(*var->val.floatVal) : 0.0;
        break;
    case ASN_OPAQUE_DOUBLE:
        v.real = var->val.doubleVal ? *var->val.doubleVal : 0.0;
        break;
    case ASN_OPAQUE:
        // An opaque float the library did not unwrap: 9f 78 04 <4 bytes>.
        if (var->val_len == 7 && var->val.string[0] == 0x9f && var->val.string[1] == 0x78 && var->val.string[2] == 4) {
            quint32 bits = (quint32(var->val.string[3]) << 24) | (quint32(var->val.string[4]) << 16)
                           | (quint32(var->val.string[5]) << 8) | quint32(var->val.string[6]);
            float f;
            std::memcpy(&f, &bits, 4);
            v.type = ASN_OPAQUE_FLOAT;
            v.real = double(f);
        }
        break;
    case ASN_OCTET_STR:
    case ASN_IPADDRESS:
        v.bytes = QByteArray(reinterpret_cast<const char *>(var->val.string), int(var->val_len));
        break;
    default:
        break;
    }
    return v;
}

void setValue(netsnmp_variable_list *var, const SnmpValue &v)
{
    switch (v.type) {
    case ASN_OPAQUE_FLOAT: {
        const float f = float(v.real);
        snmp_set_var_typed_value(var, ASN_OPAQUE_FLOAT, &f, sizeof(f));
        break;
    }
    case ASN_INTEGER: {
        const long l = v.integer;
        snmp_set_var_typed_value(var, ASN_INTEGER, &l, sizeof(l));
        break;
    }
    case ASN_COUNTER:
    case ASN_UNSIGNED:
    case ASN_TIMETICKS: {
        const u_long l = u_long(v.integer) & 0xFFFFFFFFul;
        snmp_set_var_typed_value(var, v.type, &l, sizeof(l));
        break;
    }
    case ASN_OBJECT_ID:
    case ASN_OCTET_STR:
    case ASN_IPADDRESS:
        snmp_set_var_typed_value(var, v.type, v.bytes.constData(), size_t(v.bytes.size()));
        break;
    default:
        snmp_set_var_typed_value(var, ASN_NULL, nullptr, 0);
        break;
    }
}

Access accessOfPdu(const netsnmp_pdu *pdu)
{
    if (!pdu || !pdu->community)
        return Access::None;
    return AgentObjects::accessOf(QByteArray(reinterpret_cast<const char *>(pdu->community), int(pdu->community_len)));
}

} // namespace

SnmpAgent::SnmpAgent(AgentObjects &objects, AgentSettings &settings) : m_objects(objects), m_settings(settings) {}

SnmpAgent::~SnmpAgent() { shutdown(); }

bool SnmpAgent::initialise(const QStringList &extraMibDirs, QString *error)
{
    // A standalone master agent that reads no snmpd configuration and keeps no
    // persistent files: everything it knows comes from the crate file.
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 0);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    if (!m_settings.verbose)
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_QUICK_PRINT, 1);
    // Load only our modules, not the library's default list.
    setenv("MIBS", "", 1);
    QStringList dirs = QString::fromLocal8Bit(netsnmp_get_mib_directory()).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &dir : extraMibDirs)
        if (QDir(dir).exists() && !dirs.contains(dir))
            dirs << dir;
    netsnmp_set_mib_directory(dirs.join(QLatin1Char(':')).toLocal8Bit().constData());

    snmp_disable_log();
    snmp_enable_stderrlog();
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_DONT_LOG_TCPWRAPPERS_CONNECTS, 1);
    init_agent("cratesim");
    // The three communities; the agent's access control drops requests with
    // any other and refuses SETs with the read community.
    for (const char *line : {"rocommunity kestra", "rwcommunity mavo", "rwcommunity TORVIK"}) {
        QByteArray copy(line);
        netsnmp_config(copy.data());
    }
    init_snmp("cratesim");
    m_started = true;

    for (const char *module : {"WIENER-CRATE-MIB", "CRATESIM-MIB"}) {
        if (!read_module(module)) {
            *error = QStringLiteral("cannot load the MIB module %1 (searched %2)")
                         .arg(QLatin1String(module), dirs.join(QLatin1Char(':')));
            return false;
        }
    }
    // The CAN side's module is optional for the agent core.
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
    read_module("CRATESIM-CAN-MIB");

    // Runs after the access control: counts, and delays the answer.
    netsnmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_ACM_CHECK_INITIAL, &SnmpAgent::checkAccess,
                              this, NETSNMP_CALLBACK_LOWEST_PRIORITY);
    return true;
}

bool SnmpAgent::registerSubtree(const char *name, const QString &label)
{
    oid root[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!read_objid(name, root, &length))
        return false;
    // Where the served objects end: the first name after this subtree.
    std::vector<oid> end(root, root + length);
    ++end.back();
    if (m_viewEnd.empty() || snmp_oid_compare(end.data(), end.size(), m_viewEnd.data(), m_viewEnd.size()) > 0)
        m_viewEnd = end;
    netsnmp_handler_registration *registration = netsnmp_create_handler_registration(
        label.toLatin1().constData(), &SnmpAgent::handle, root, length, HANDLER_CAN_RWRITE);
    if (!registration)
        return false;
    registration->handler->myvoid = this;
    return netsnmp_register_handler(registration) == MIB_REGISTERED_OK;
}

bool SnmpAgent::listen(const QString &address, int port, QString *error)
{
    const struct {
        const char *name;
        const char *label;
    } subtrees[] = {
        {".1.3.6.1.2.1.1", "cratesimSystem"},
        {"WIENER-CRATE-MIB::wienerCrateMIB", "cratesimCrate"},
        {"CRATESIM-MIB::cratesimAgent", "cratesimAgent"},
        {"CRATESIM-MIB::cratesimCrate", "cratesimCrateControls"},
        {"CRATESIM-MIB::cratesimModuleTable", "cratesimModules"},
        {"CRATESIM-MIB::cratesimChannelTable", "cratesimChannels"},
    };
    for (const auto &s : subtrees) {
        if (!registerSubtree(s.name, QString::fromLatin1(s.label))) {
            *error = QStringLiteral("cannot register %1").arg(QLatin1String(s.name));
            return false;
        }
    }
    // Everything the other subtrees leave of 1.3 (a registration of .1 alone
    // is never consulted), so that the varbinds
    // the agent answers on its own (no such object, end of the view) are
    // counted in the answer's size too.
    static const oid all[] = {1, 3};
    netsnmp_handler_registration *rest =
        netsnmp_create_handler_registration("cratesimRest", &SnmpAgent::handleRest, all, 2, HANDLER_CAN_RONLY);
    if (!rest) {
        *error = QStringLiteral("cannot register the rest of the view");
        return false;
    }
    rest->handler->myvoid = this;
    if (netsnmp_register_handler(rest) != MIB_REGISTERED_OK) {
        *error = QStringLiteral("cannot register the rest of the view");
        return false;
    }
    const QByteArray endpoint = QStringLiteral("udp:%1:%2").arg(address).arg(port).toLatin1();
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_PORTS, endpoint.constData());
    applyMessageLimit();
    if (init_master_agent() != 0) {
        *error = QStringLiteral("cannot listen on %1").arg(QString::fromLatin1(endpoint));
        return false;
    }
    return true;
}

void SnmpAgent::applyMessageLimit()
{
    if (m_appliedLimit == m_settings.maxMessageSize)
        return;
    m_appliedLimit = m_settings.maxMessageSize;
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MSG_SEND_MAX, m_settings.maxMessageSize);
}

void SnmpAgent::poll(int maxWaitMs)
{
    applyMessageLimit();
    int fds = 0;
    fd_set readers;
    FD_ZERO(&readers);
    struct timeval timeout;
    timeout.tv_sec = maxWaitMs / 1000;
    timeout.tv_usec = (maxWaitMs % 1000) * 1000;
    int block = 0;
    snmp_select_info(&fds, &readers, &timeout, &block);
    const int count = select(fds, &readers, nullptr, nullptr, &timeout);
    if (count > 0)
        snmp_read(&readers);
    else if (count == 0)
        snmp_timeout();
    run_alarms();
    netsnmp_check_outstanding_agent_requests();
}

void SnmpAgent::shutdown()
{
    if (!m_started)
        return;
    m_started = false;
    // The library frees the client argument of every callback still
    // registered at shutdown; this object is not its to free.
    snmp_unregister_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_ACM_CHECK_INITIAL, &SnmpAgent::checkAccess, this,
                             1);
    snmp_shutdown("cratesim");
    shutdown_agent();
}

int SnmpAgent::checkAccess(int, int, void *serverArgument, void *clientArgument)
{
    auto *view = static_cast<view_parameters *>(serverArgument);
    auto *self = static_cast<SnmpAgent *>(clientArgument);
    netsnmp_pdu *pdu = view->pdu;
    // v1 and v2c only; an unknown community is dropped without an answer, as
    // community-based agents do.
    if ((pdu->version != SNMP_VERSION_1 && pdu->version != SNMP_VERSION_2c) || accessOfPdu(pdu) == Access::None) {
        ++self->m_settings.badCommunities;
        view->errorcode = VACM_NOSECNAME;
        return SNMPERR_SUCCESS;
    }
    ++self->m_settings.requests;
    quint32 varbinds = 0;
    for (netsnmp_variable_list *v = pdu->variables; v; v = v->next_variable)
        ++varbinds;
    if (pdu->command == SNMP_MSG_GETBULK) {
        const quint32 nonRepeaters = quint32(std::max(0L, pdu->non_repeaters));
        const quint32 repeaters = varbinds > nonRepeaters ? varbinds - nonRepeaters : 0;
        varbinds = std::min<quint32>(nonRepeaters, varbinds) + repeaters * quint32(std::max(0L, pdu->max_repetitions));
    }
    self->m_settings.varbinds += varbinds;
    // Message, PDU and varbind-list headers of the answer, then the varbinds
    // the agent answers without any handler: unknown objects and the end of
    // the view. The handlers add theirs.
    AnswerBudget &budget = AnswerBudget::instance();
    budget.begin(32 + pdu->community_len, size_t(self->m_settings.maxMessageSize), pdu->command != SNMP_MSG_GETBULK);
    for (netsnmp_variable_list *v = pdu->variables; v && pdu->command != SNMP_MSG_GETBULK; v = v->next_variable) {
        // (A GETNEXT always reaches a handler: the last subtree counts its end.)
        if (pdu->command != SNMP_MSG_GETNEXT && !netsnmp_subtree_find(v->name, v->name_length, nullptr, ""))
            budget.addBytes(pdu->command == SNMP_MSG_SET ? AnswerBudget::encodedSize(v)
                                                         : AnswerBudget::encodedSize(v->name, v->name_length, 0));
    }
    if (self->m_settings.delayMs > 0)
        usleep(useconds_t(self->m_settings.delayMs) * 1000);
    return SNMPERR_SUCCESS;
}

int SnmpAgent::handleRest(netsnmp_mib_handler *handler, netsnmp_handler_registration *, netsnmp_agent_request_info *info,
                          netsnmp_request_info *requests)
{
    const auto *self = static_cast<SnmpAgent *>(handler->myvoid);
    AnswerBudget &budget = AnswerBudget::instance();
    for (netsnmp_request_info *r = requests; r; r = r->next) {
        if (r->processed)
            continue;
        if (budget.exceeded()) {
            budget.refuse(info, r);
            continue;
        }
        if (info->mode == MODE_GET) {
            netsnmp_set_request_error(info, r, SNMP_NOSUCHOBJECT);
            budget.account(info, r);
        } else if (info->mode == MODE_GETNEXT) {
            // A gap between subtrees: the agent moves on to the next one.
            if (snmp_oid_compare(r->requestvb->name, r->requestvb->name_length, self->m_viewEnd.data(),
                                 self->m_viewEnd.size()) < 0)
                continue;
            // Past the last: endOfMibView, with the name the request asked with.
            const netsnmp_variable_list *asked = info->asp && info->asp->orig_pdu ? info->asp->orig_pdu->variables : nullptr;
            for (int i = 1; asked && i < r->index; ++i)
                asked = asked->next_variable;
            const size_t bytes = asked ? AnswerBudget::encodedSize(asked->name, asked->name_length, 0)
                                       : AnswerBudget::encodedSize(r->requestvb->name, r->requestvb->name_length, 0);
            if (!budget.fits(bytes)) {
                budget.refuse(info, r);
                continue;
            }
            budget.addBytes(bytes);
        }
    }
    return SNMP_ERR_NOERROR;
}

int SnmpAgent::handle(netsnmp_mib_handler *handler, netsnmp_handler_registration *registration,
                      netsnmp_agent_request_info *info, netsnmp_request_info *requests)
{
    auto *self = static_cast<SnmpAgent *>(handler->myvoid);
    const netsnmp_pdu *pdu = info->asp ? info->asp->pdu : nullptr;
    const Access access = accessOfPdu(pdu);
    // The library trims GETBULK answers to the message size itself; any
    // other answer that would not fit gets tooBig, as on a real agent.
    AnswerBudget &budget = AnswerBudget::instance();
    auto account = [info, &budget](netsnmp_request_info *r) { budget.account(info, r); };
    for (netsnmp_request_info *r = requests; r; r = r->next) {
        if (r->processed)
            continue;
        netsnmp_variable_list *var = r->requestvb;
        if (budget.exceeded() && (info->mode == MODE_GET || info->mode == MODE_GETNEXT || info->mode == MODE_SET_RESERVE1)) {
            budget.refuse(info, r);
            continue;
        }
        switch (info->mode) {
        case MODE_GET: {
            SnmpValue value;
            switch (self->m_objects.get(var->name, var->name_length, &value, access)) {
            case AgentObjects::Found::Value:
                setValue(var, value);
                account(r);
                break;
            case AgentObjects::Found::NoSuchObject:
                netsnmp_set_request_error(info, r, SNMP_NOSUCHOBJECT);
                account(r);
                break;
            case AgentObjects::Found::NoSuchInstance:
                netsnmp_set_request_error(info, r, SNMP_NOSUCHINSTANCE);
                account(r);
                break;
            }
            break;
        }
        case MODE_GETNEXT: {
            std::vector<oid> found;
            SnmpValue value;
            if (self->m_objects.next(var->name, var->name_length, registration->rootoid, registration->rootoid_len,
                                     &found, &value, access)) {
                snmp_set_var_objid(var, found.data(), found.size());
                setValue(var, value);
                account(r);
            }
            // Nothing left below this registration: the agent moves on.
            break;
        }
        case MODE_SET_RESERVE1: {
            const int status = self->m_objects.check(var->name, var->name_length, valueOf(var), access);
            if (status != SNMP_ERR_NOERROR)
                netsnmp_set_request_error(info, r, status);
            else
                account(r); // the answer repeats the request's varbinds
            break;
        }
        case MODE_SET_ACTION:
            // Every varbind of the request passed its check: now they all apply.
            self->m_objects.apply(var->name, var->name_length, valueOf(var));
            break;
        default:
            break;
        }
    }
    return SNMP_ERR_NOERROR;
}
