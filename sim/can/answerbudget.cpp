#include "answerbudget.h"

namespace {
size_t tlvSize(size_t content)
{
    return 1 + (content < 128 ? 1 : content < 256 ? 2 : content < 65536 ? 3 : 4) + content;
}

size_t oidContentBytes(const oid *name, size_t length)
{
    size_t bytes = 1; // the first two arcs share one byte
    for (size_t i = 2; i < length; ++i) {
        oid sub = name[i];
        do {
            ++bytes;
            sub >>= 7;
        } while (sub);
    }
    return bytes;
}
} // namespace

AnswerBudget &AnswerBudget::instance()
{
    static AnswerBudget budget;
    return budget;
}

void AnswerBudget::begin(size_t bytes, size_t limit, bool counting)
{
    m_bytes = bytes;
    m_limit = limit;
    m_counting = counting;
    m_exceeded = false;
    m_undo.clear();
}

void AnswerBudget::addBytes(size_t bytes)
{
    if (m_counting)
        m_bytes += bytes;
}

bool AnswerBudget::account(netsnmp_agent_request_info *info, netsnmp_request_info *r)
{
    if (!m_counting)
        return true;
    if (m_exceeded) {
        refuse(info, r);
        return false;
    }
    m_bytes += encodedSize(r->requestvb);
    if (m_bytes <= m_limit)
        return true;
    markTooBig(info, r);
    return false;
}

void AnswerBudget::refuse(netsnmp_agent_request_info *info, netsnmp_request_info *r)
{
    if (!m_exceeded)
        markTooBig(info, r);
    else
        netsnmp_set_request_error(info, r, SNMP_ERR_TOOBIG);
}

void AnswerBudget::onTooBig(std::function<void()> undo)
{
    if (m_counting)
        m_undo.push_back(std::move(undo));
}

void AnswerBudget::markTooBig(netsnmp_agent_request_info *info, netsnmp_request_info *r)
{
    m_exceeded = true;
    netsnmp_set_request_error(info, r, SNMP_ERR_TOOBIG);
    // The error answer carries the request's varbinds, which may not fit
    // either: send it with an empty varbind list, as SNMPv2 prescribes.
    if (info->asp && info->asp->orig_pdu && info->asp->orig_pdu->variables) {
        snmp_free_varbind(info->asp->orig_pdu->variables);
        info->asp->orig_pdu->variables = nullptr;
    }
    // Undo in reverse order, so taken frames return to the queue as they were.
    for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it)
        (*it)();
    m_undo.clear();
}

size_t AnswerBudget::encodedSize(const oid *name, size_t nameLength, size_t valueBytes)
{
    return tlvSize(tlvSize(oidContentBytes(name, nameLength)) + tlvSize(valueBytes));
}

size_t AnswerBudget::encodedSize(const netsnmp_variable_list *var)
{
    size_t value = 0;
    switch (var->type) {
    case ASN_OPAQUE_FLOAT:
        value = 7;
        break;
    case ASN_OPAQUE_DOUBLE:
        value = 11;
        break;
    case ASN_INTEGER:
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        value = 5;
        break;
    case ASN_COUNTER64:
        value = 9;
        break;
    case ASN_OBJECT_ID:
        value = var->val_len / sizeof(oid) * 5;
        break;
    default:
        value = var->val_len;
        break;
    }
    return encodedSize(var->name, var->name_length, value);
}
