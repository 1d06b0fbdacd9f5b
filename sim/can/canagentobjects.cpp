#include "canagentobjects.h"

#include "answerbudget.h"
#include "canbus.h"
#include "canframe.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <QLoggingCategory>
#include <vexa_config.h>

Q_DECLARE_LOGGING_CATEGORY(lcCan)

// One object served by the generic handler below.
struct CanAgentObjects::Object {
    u_char type = ASN_INTEGER;
    bool writable = false;
    std::function<void(netsnmp_variable_list *)> get;
    // Checks a SET value before anything changes; returns an SNMP error status.
    std::function<int(const netsnmp_variable_list *)> check;
    // Applies a SET value; may rewrite the variable that goes back in the answer.
    std::function<void(netsnmp_variable_list *)> set;
    // Checks a SET as a whole, given how many of its varbinds name this object.
    std::function<int(int count)> checkRequest;
    // Content bytes of the answer of a GET that takes something (0: reads only).
    size_t answerBytes = 0;
};

namespace {
void setInteger(netsnmp_variable_list *vb, long value)
{
    snmp_set_var_typed_value(vb, ASN_INTEGER, &value, sizeof value);
}

void setUnsigned(netsnmp_variable_list *vb, u_char type, quint32 value)
{
    u_long v = value;
    snmp_set_var_typed_value(vb, type, &v, sizeof v);
}

void setBytes(netsnmp_variable_list *vb, const QByteArray &bytes)
{
    snmp_set_var_typed_value(vb, ASN_OCTET_STR, reinterpret_cast<const u_char *>(bytes.constData()),
                             size_t(bytes.size()));
}

int checkInteger(const netsnmp_variable_list *vb, long min, long max)
{
    if (vb->type != ASN_INTEGER)
        return SNMP_ERR_WRONGTYPE;
    if (vb->val_len != sizeof(long))
        return SNMP_ERR_WRONGLENGTH;
    const long v = *vb->val.integer;
    return v < min || v > max ? SNMP_ERR_WRONGVALUE : SNMP_ERR_NOERROR;
}

long integerOf(const netsnmp_variable_list *vb)
{
    return *vb->val.integer;
}

int handleObject(netsnmp_mib_handler *handler, netsnmp_handler_registration *, netsnmp_agent_request_info *reqinfo,
                 netsnmp_request_info *requests)
{
    auto *object = static_cast<CanAgentObjects::Object *>(handler->myvoid);
    AnswerBudget &budget = AnswerBudget::instance();
    // How many varbinds of the whole request name this object (the helpers
    // may hand them over one at a time).
    auto countInRequest = [reqinfo](const netsnmp_variable_list *vb) {
        int count = 0;
        const netsnmp_pdu *pdu = reqinfo->asp ? reqinfo->asp->pdu : nullptr;
        for (const netsnmp_variable_list *v = pdu ? pdu->variables : nullptr; v; v = v->next_variable)
            if (snmp_oid_compare(v->name, v->name_length, vb->name, vb->name_length) == 0)
                ++count;
        return count;
    };
    for (netsnmp_request_info *r = requests; r; r = r->next) {
        if (r->processed)
            continue;
        switch (reqinfo->mode) {
        case MODE_GET:
            if (budget.exceeded()) {
                budget.refuse(reqinfo, r);
                break;
            }
            // An object that takes something when read checks the room first.
            if (object->answerBytes && !budget.fits(AnswerBudget::encodedSize(r->requestvb->name,
                                                                                r->requestvb->name_length,
                                                                                object->answerBytes))) {
                budget.refuse(reqinfo, r);
                break;
            }
            object->get(r->requestvb);
            budget.account(reqinfo, r);
            break;
        case MODE_SET_RESERVE1: {
            if (budget.exceeded()) {
                budget.refuse(reqinfo, r);
                break;
            }
            int status = SNMP_ERR_NOTWRITABLE;
            if (object->writable)
                status = object->check ? object->check(r->requestvb) : SNMP_ERR_NOERROR;
            if (status == SNMP_ERR_NOERROR && object->checkRequest)
                status = object->checkRequest(countInRequest(r->requestvb));
            if (status != SNMP_ERR_NOERROR)
                netsnmp_set_request_error(reqinfo, r, status);
            else
                budget.account(reqinfo, r); // the answer repeats the varbind
            break;
        }
        case MODE_SET_ACTION:
            if (object->set)
                object->set(r->requestvb);
            break;
        default:
            break;
        }
    }
    return SNMP_ERR_NOERROR;
}

bool resolve(const char *name, oid *out, size_t *len, QString *error)
{
    *len = MAX_OID_LEN;
    if (!get_node(name, out, len)) {
        if (error)
            *error = QStringLiteral("object %1 not found in the loaded MIB modules").arg(QLatin1String(name));
        return false;
    }
    return true;
}
} // namespace

CanAgentObjects::CanAgentObjects(CanBus *bus) : m_bus(bus) {}

CanAgentObjects::~CanAgentObjects() = default;

bool CanAgentObjects::registerScalar(const char *name, std::unique_ptr<Object> object, QString *error)
{
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!resolve(name, id, &len, error))
        return false;
    netsnmp_handler_registration *reg = netsnmp_create_handler_registration(
        name, handleObject, id, len, object->writable ? HANDLER_CAN_RWRITE : HANDLER_CAN_RONLY);
    if (!reg) {
        *error = QStringLiteral("cannot register %1").arg(QLatin1String(name));
        return false;
    }
    reg->handler->myvoid = object.get();
    if (netsnmp_register_scalar(reg) != MIB_REGISTERED_OK) {
        *error = QStringLiteral("cannot register %1").arg(QLatin1String(name));
        return false;
    }
    m_objects.push_back(std::move(object));
    return true;
}

bool CanAgentObjects::registerNodeColumn(const char *name, CanModule *node, std::unique_ptr<Object> object,
                                         QString *error)
{
    oid id[MAX_OID_LEN];
    size_t len = 0;
    if (!resolve(name, id, &len, error))
        return false;
    id[len++] = node->base();
    const QByteArray regName = QByteArray(name) + '.' + QByteArray::number(node->base());
    netsnmp_handler_registration *reg = netsnmp_create_handler_registration(
        regName.constData(), handleObject, id, len, object->writable ? HANDLER_CAN_RWRITE : HANDLER_CAN_RONLY);
    if (!reg) {
        *error = QStringLiteral("cannot register %1").arg(QLatin1String(regName));
        return false;
    }
    reg->handler->myvoid = object.get();
    if (netsnmp_register_instance(reg) != MIB_REGISTERED_OK) {
        *error = QStringLiteral("cannot register %1").arg(QLatin1String(regName));
        return false;
    }
    m_objects.push_back(std::move(object));
    return true;
}

void CanAgentObjects::addTunnelObjects(QString *error, bool *ok)
{
    CanBus *bus = m_bus;

    auto transmit = std::make_unique<Object>();
    transmit->type = ASN_OCTET_STR;
    transmit->writable = true;
    transmit->get = [](netsnmp_variable_list *vb) { setBytes(vb, QByteArray(CanFrame::TunnelValueSize, '\0')); };
    transmit->check = [](const netsnmp_variable_list *vb) {
        if (vb->type != ASN_OCTET_STR)
            return int(SNMP_ERR_WRONGTYPE);
        if (vb->val_len != size_t(CanFrame::TunnelValueSize))
            return int(SNMP_ERR_WRONGLENGTH);
        return int(SNMP_ERR_NOERROR);
    };
    // The controller takes at most MaxFramesPerRequest frames per SET and holds
    // at most MaxQueued answers; a SET it cannot take whole is refused whole.
    transmit->checkRequest = [bus](int count) {
        if (count > CanBus::MaxFramesPerRequest || bus->queuedCount() + count > CanBus::MaxQueued)
            return int(SNMP_ERR_RESOURCEUNAVAILABLE);
        bus->beginTransmitRequest(count);
        return int(SNMP_ERR_NOERROR);
    };
    transmit->set = [bus](netsnmp_variable_list *vb) {
        CanFrame frame;
        if (CanFrame::fromTunnelValue(QByteArray(reinterpret_cast<const char *>(vb->val.string), int(vb->val_len)),
                                      &frame))
            bus->transmit(frame);
    };
    *ok = *ok && registerScalar("canTransmitHv", std::move(transmit), error);

    auto receive = std::make_unique<Object>();
    receive->type = ASN_OCTET_STR;
    receive->answerBytes = CanFrame::TunnelValueSize + 1;
    receive->get = [this, bus](netsnmp_variable_list *vb) {
        const int fault = receiveFault;
        receiveFault = NoReceiveFault;
        if (fault == WrongType) {
            setInteger(vb, 0);
            return;
        }
        CanFrame frame;
        int pending = 0;
        QByteArray value;
        if (fault != NoReceiveFault) {
            // A spoilt answer leaves the frame where it is: the tool drops the value.
            pending = bus->dueCount();
            value = CanFrame().toTunnelValue(quint16(qMin(pending, 0xFFFF)));
            if (fault == ShortValue)
                value.chop(1);
            else
                value.append('\0');
        } else if (bus->take(&frame, &pending)) {
            value = frame.toTunnelValue(quint16(qMin(pending, 0xFFFF)));
            // Should the answer turn out too big, the frame was never fetched.
            AnswerBudget::instance().onTooBig([bus, frame] { bus->putBack(frame); });
        } else {
            value = CanFrame().toTunnelValue(0);
        }
        setBytes(vb, value);
    };
    *ok = *ok && registerScalar("canReceiveHv", std::move(receive), error);

    auto bitRate = std::make_unique<Object>();
    bitRate->writable = true;
    bitRate->get = [bus](netsnmp_variable_list *vb) { setInteger(vb, bus->tunnelBitRate()); };
    bitRate->check = [](const netsnmp_variable_list *vb) { return checkInteger(vb, 10000, 1000000); };
    bitRate->set = [this, bus](netsnmp_variable_list *vb) {
        bus->setTunnelBitRate(int(integerOf(vb)));
        if (!bitRateAnswerFloat.isEmpty()) {
            const float f = bitRateAnswerFloat.toFloat();
            bitRateAnswerFloat.clear();
            snmp_set_var_typed_value(vb, ASN_OPAQUE_FLOAT, &f, sizeof f);
        }
    };
    *ok = *ok && registerScalar("canBitRateHv", std::move(bitRate), error);
}

void CanAgentObjects::addControlObjects(QString *error, bool *ok)
{
    CanBus *bus = m_bus;
    auto counter = [&](const char *name, u_char type, std::function<quint32()> value) {
        auto o = std::make_unique<Object>();
        o->type = type;
        o->get = [type, value](netsnmp_variable_list *vb) { setUnsigned(vb, type, value()); };
        *ok = *ok && registerScalar(name, std::move(o), error);
    };

    auto open = std::make_unique<Object>();
    open->writable = true;
    open->get = [bus](netsnmp_variable_list *vb) { setInteger(vb, bus->isTunnelOpen() ? 1 : 0); };
    open->check = [](const netsnmp_variable_list *vb) { return checkInteger(vb, 0, 1); };
    open->set = [bus](netsnmp_variable_list *vb) { bus->setTunnelOpen(integerOf(vb) == 1); };
    *ok = *ok && registerScalar("cratesimCanTunnelOpen", std::move(open), error);

    counter("cratesimCanTunnelFramesIn", ASN_COUNTER, [bus] { return bus->framesIn(); });
    counter("cratesimCanTunnelFramesOut", ASN_COUNTER, [bus] { return bus->framesOut(); });
    counter("cratesimCanTunnelQueued", ASN_GAUGE, [bus] { return quint32(bus->queuedCount()); });

    auto fault = std::make_unique<Object>();
    fault->writable = true;
    fault->get = [this](netsnmp_variable_list *vb) { setInteger(vb, receiveFault); };
    fault->check = [](const netsnmp_variable_list *vb) { return checkInteger(vb, 0, 3); };
    fault->set = [this](netsnmp_variable_list *vb) { receiveFault = int(integerOf(vb)); };
    *ok = *ok && registerScalar("cratesimCanReceiveFault", std::move(fault), error);

    auto answerFloat = std::make_unique<Object>();
    answerFloat->type = ASN_OCTET_STR;
    answerFloat->writable = true;
    answerFloat->get = [this](netsnmp_variable_list *vb) { setBytes(vb, bitRateAnswerFloat); };
    answerFloat->check = [](const netsnmp_variable_list *vb) {
        if (vb->type != ASN_OCTET_STR)
            return int(SNMP_ERR_WRONGTYPE);
        if (vb->val_len > 32)
            return int(SNMP_ERR_WRONGLENGTH);
        const QByteArray text(reinterpret_cast<const char *>(vb->val.string), int(vb->val_len));
        bool isNumber = false;
        text.toFloat(&isNumber);
        return text.isEmpty() || isNumber ? int(SNMP_ERR_NOERROR) : int(SNMP_ERR_WRONGVALUE);
    };
    answerFloat->set = [this](netsnmp_variable_list *vb) {
        bitRateAnswerFloat = QByteArray(reinterpret_cast<const char *>(vb->val.string), int(vb->val_len));
    };
    *ok = *ok && registerScalar("cratesimCanBitRateAnswerFloat", std::move(answerFloat), error);

    counter("cratesimCanNodeCount", ASN_GAUGE, [bus] { return quint32(bus->nodes().size()); });
}

void CanAgentObjects::addNodeObjects(CanModule *node, QString *error, bool *ok)
{
    auto readOnly = [&](const char *name, u_char type, std::function<void(netsnmp_variable_list *)> get) {
        auto o = std::make_unique<Object>();
        o->type = type;
        o->get = std::move(get);
        *ok = *ok && registerNodeColumn(name, node, std::move(o), error);
    };
    auto integer = [&](const char *name, std::function<long()> value) {
        readOnly(name, ASN_INTEGER, [value](netsnmp_variable_list *vb) { setInteger(vb, value()); });
    };
    auto unsignedValue = [&](const char *name, u_char type, std::function<quint32()> value) {
        readOnly(name, type, [type, value](netsnmp_variable_list *vb) { setUnsigned(vb, type, value()); });
    };
    auto text = [&](const char *name, std::function<QByteArray()> value) {
        readOnly(name, ASN_OCTET_STR, [value](netsnmp_variable_list *vb) { setBytes(vb, value()); });
    };
    auto writable = [&](const char *name, long min, long max, std::function<long()> value,
                        std::function<void(long)> apply) {
        auto o = std::make_unique<Object>();
        o->writable = true;
        o->get = [value](netsnmp_variable_list *vb) { setInteger(vb, value()); };
        o->check = [min, max](const netsnmp_variable_list *vb) { return checkInteger(vb, min, max); };
        o->set = [apply](netsnmp_variable_list *vb) { apply(integerOf(vb)); };
        *ok = *ok && registerNodeColumn(name, node, std::move(o), error);
    };
    CanModule *n = node;

    integer("cratesimCanNodeSlot", [n] { return n->slot(); });
    integer("cratesimCanNodeMode", [n] { return long(n->mode()); });
    integer("cratesimCanNodePass", [n] { return long(n->pass()); });
    unsignedValue("cratesimCanNodeImageChecksum", ASN_GAUGE, [n] { return n->flash().checksum(); });
    unsignedValue("cratesimCanNodeImageLength", ASN_GAUGE, [n] { return n->flash().length(); });
    text("cratesimCanNodeDevice", [n] { return n->device().toLatin1(); });
    text("cratesimCanNodeRelease", [n] { return n->release().toLatin1(); });
    unsignedValue("cratesimCanNodeSerialNumber", ASN_GAUGE, [n] { return n->serialNumber(); });
    integer("cratesimCanNodeBitRate", [n] { return n->bitRateKbit(); });
    integer("cratesimCanNodeLogOn", [n] { return n->loggedOn() ? 1 : 0; });
    integer("cratesimCanNodeBoardMode", [n] { return n->boardMode(); });
    integer("cratesimCanNodeFineAdjustment", [n] { return n->fineAdjustment() ? 1 : 0; });
    unsignedValue("cratesimCanNodeWordWrites", ASN_COUNTER, [n] { return quint32(n->wordWrites()); });
    text("cratesimCanNodeLastWordWrite", [n] { return n->lastWordWrite(); });
    unsignedValue("cratesimCanNodeFramesIn", ASN_COUNTER, [n] { return n->framesIn(); });
    unsignedValue("cratesimCanNodeFramesOut", ASN_COUNTER, [n] { return n->framesOut(); });
    unsignedValue("cratesimCanNodeLinesTaken", ASN_GAUGE, [n] { return quint32(n->linesTaken()); });
    unsignedValue("cratesimCanNodeLinesRejected", ASN_GAUGE, [n] { return quint32(n->linesRejected()); });
    unsignedValue("cratesimCanNodeCommits", ASN_COUNTER, [n] { return quint32(n->commits()); });
    unsignedValue("cratesimCanNodeSectorsErased", ASN_COUNTER, [n] { return quint32(n->sectorsErased()); });
    integer("cratesimCanNodePrepared", [n] { return n->prepared() ? 1 : 0; });
    unsignedValue("cratesimCanNodeStartAddress", ASN_GAUGE, [n] { return n->startAddress(); });
    writable("cratesimCanNodeDropAnswers", -1, 1000000, [n] { return n->dropAnswers; },
             [n](long v) { n->dropAnswers = int(v); });
    writable("cratesimCanNodeAnswerDelayMs", 0, 600000, [n] { return n->answerDelayMs; },
             [n](long v) { n->answerDelayMs = int(v); });
    writable("cratesimCanNodeRejectLine", 0, 10000000, [n] { return n->rejectLine; },
             [n](long v) { n->rejectLine = int(v); });
    writable("cratesimCanNodeCompareDifferenceLine", 0, 10000000, [n] { return n->compareDifferenceLine; },
             [n](long v) { n->compareDifferenceLine = int(v); });
    writable("cratesimCanNodeStopAfterLines", 0, 10000000, [n] { return n->stopAfterLines(); },
             [n](long v) { n->setStopAfterLines(int(v)); });
    writable("cratesimCanNodeFlashMsPerLine", 0, 60000, [n] { return n->flashMsPerLine; },
             [n](long v) { n->flashMsPerLine = int(v); });
    integer("cratesimCanNodeStopped", [n] { return n->stopped() ? 1 : 0; });
}

bool CanAgentObjects::registerAll(QString *error)
{
    QString dummy;
    if (!error)
        error = &dummy;
    // The crate MIB is loaded by the agent; our own module may need our folder.
    if (which_module("CRATESIM-CAN-MIB") < 0) {
        add_mibdir(VEXA_SOURCE_MIBDIR);
        add_mibdir(VEXA_INSTALL_MIBDIR);
    }
    read_module("CRATESIM-CAN-MIB");
    bool ok = true;
    addTunnelObjects(error, &ok);
    addControlObjects(error, &ok);
    for (const auto &node : m_bus->nodes())
        addNodeObjects(node.get(), error, &ok);
    if (ok)
        qCDebug(lcCan) << "registered" << m_objects.size() << "CAN objects";
    return ok;
}
