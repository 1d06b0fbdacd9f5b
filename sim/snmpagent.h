#pragma once
// The net-snmp side of the simulator: a standalone master agent listening on
// one UDP address, with one handler that hands every varbind of our subtrees
// to AgentObjects. Communities, the answer delay, the request counters and the
// largest answer are enforced here.

#include <QString>
#include <QStringList>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

class AgentObjects;
struct AgentSettings;

class SnmpAgent
{
public:
    SnmpAgent(AgentObjects &objects, AgentSettings &settings);
    ~SnmpAgent();
    SnmpAgent(const SnmpAgent &) = delete;
    SnmpAgent &operator=(const SnmpAgent &) = delete;

    // Starts the library and loads the MIB modules (searched in the system
    // MIB directories first, then in extraMibDirs). Must run before
    // AgentObjects::build().
    bool initialise(const QStringList &extraMibDirs, QString *error);
    // Registers the handlers and opens the UDP port.
    bool listen(const QString &address, int port, QString *error);
    // Waits at most maxWaitMs for requests and answers them.
    void poll(int maxWaitMs);
    void shutdown();

private:
    static int handle(netsnmp_mib_handler *handler, netsnmp_handler_registration *registration,
                      netsnmp_agent_request_info *info, netsnmp_request_info *requests);
    // What no other subtree serves: unknown objects and the end of the view.
    static int handleRest(netsnmp_mib_handler *handler, netsnmp_handler_registration *registration,
                         netsnmp_agent_request_info *info, netsnmp_request_info *requests);
    std::vector<oid> m_viewEnd; // the first name after the last served subtree
    static int checkAccess(int major, int minor, void *serverArgument, void *clientArgument);
    bool registerSubtree(const char *name, const QString &label);
    void applyMessageLimit();

    AgentObjects &m_objects;
    AgentSettings &m_settings;
    bool m_started = false;
    int m_appliedLimit = -1;
};
