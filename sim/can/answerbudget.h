#pragma once
// The size of the answer being built for the request in hand. Every handler
// adds each varbind it answers (values, exceptions and the repeated varbinds
// of a SET); once the answer would not fit the message limit, the request is
// answered tooBig with an empty varbind list and must change nothing: later
// varbinds are refused without being served, and whatever an earlier varbind
// already took (frames from the tunnel queue) is given back.

#include <cstddef>
#include <functional>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

class AnswerBudget
{
public:
    static AnswerBudget &instance();

    // A new request: `bytes` of headers so far, `limit` the largest answer;
    // `counting` false for GETBULK, whose answer the library cuts short itself.
    void begin(size_t bytes, size_t limit, bool counting);
    bool counting() const { return m_counting; }
    bool exceeded() const { return m_exceeded; }
    size_t bytes() const { return m_bytes; }

    // Adds bytes that the agent answers on its own (unknown objects, end of view).
    void addBytes(size_t bytes);
    // Would `bytes` more still fit?
    bool fits(size_t bytes) const { return !m_counting || (!m_exceeded && m_bytes + bytes <= m_limit); }
    // Adds the varbind of `r` as it stands; when the answer no longer fits,
    // marks the request tooBig. False when the request is (now) tooBig.
    bool account(netsnmp_agent_request_info *info, netsnmp_request_info *r);
    // Refuses `r` because the request is already tooBig.
    void refuse(netsnmp_agent_request_info *info, netsnmp_request_info *r);
    // Something to give back should the request end tooBig.
    void onTooBig(std::function<void()> undo);

    static size_t encodedSize(const netsnmp_variable_list *var);
    // A varbind with this name and a value of `valueBytes` content bytes.
    static size_t encodedSize(const oid *name, size_t nameLength, size_t valueBytes);

private:
    void markTooBig(netsnmp_agent_request_info *info, netsnmp_request_info *r);

    size_t m_bytes = 0;
    size_t m_limit = 65507;
    bool m_counting = false;
    bool m_exceeded = false;
    std::vector<std::function<void()>> m_undo;
};
