#pragma once
// Registers the tunnel objects of the crate (canTransmitHv.0, canReceiveHv.0,
// canBitRateHv.0) and the CAN control objects of CRATESIM-CAN-MIB with the
// running net-snmp agent, and serves them from a CanBus.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class CanBus;
class CanModule;
struct variable_list;

class CanAgentObjects
{
public:
    // How the next answer of canReceiveHv.0 is spoilt (once), for the tool's tests.
    enum ReceiveFault { NoReceiveFault = 0, ShortValue = 1, LongValue = 2, WrongType = 3 };

    explicit CanAgentObjects(CanBus *bus);
    ~CanAgentObjects();

    bool registerAll(QString *error);

    int receiveFault = NoReceiveFault;
    QByteArray bitRateAnswerFloat;   // text of a float, e.g. "2.9"; empty: answer normally

    struct Object;

private:
    bool registerScalar(const char *name, std::unique_ptr<Object> object, QString *error);
    bool registerNodeColumn(const char *name, CanModule *node, std::unique_ptr<Object> object, QString *error);
    void addTunnelObjects(QString *error, bool *ok);
    void addControlObjects(QString *error, bool *ok);
    void addNodeObjects(CanModule *node, QString *error, bool *ok);

    CanBus *m_bus;
    std::vector<std::unique_ptr<Object>> m_objects;
};
