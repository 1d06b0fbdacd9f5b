#pragma once
// The CAN side of the simulated crate: the bus behind the crate controller's
// tunnel objects and every module's CAN personality (identity, boot loader,
// memories). The SNMP agent owns one CanSide, feeds it the crate's modules,
// tells it about power and faults, and advances it on its tick. The tunnel
// objects (canTransmitHv.0, canReceiveHv.0, canBitRateHv.0) and the CAN part of
// the simulator's control objects are registered with the agent by CanSide
// itself (registerAgentObjects), so the agent core never parses CAN frames.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <memory>

class CanBus;
class CanSidePrivate;

class CanSide
{
public:
    struct ModuleConfig {
        int slot = 0;                // 0 to 9
        int serialNumber = 0;
        QString typeCode;            // as in the module description, e.g. "E08F2"
        QString firmwareRelease;     // as in the module description, e.g. "05.12"
        int channels = 0;
        QJsonObject json;            // the module's whole entry of the crate file ("can" sub-object is ours)
    };

    CanSide();
    ~CanSide();
    CanSide(const CanSide &) = delete;
    CanSide &operator=(const CanSide &) = delete;

    void addModule(const ModuleConfig &config);

    // Crate main switch: an unpowered module is silent on the bus.
    void setPowered(bool on);
    // Agent-side fault "module stops answering" (also silences its CAN side).
    void setModuleResponding(int slot, bool responding);

    // What the agent shows in the module description: a module in its boot
    // loader has no running firmware; a flashed module reports its new release.
    bool isRunningFirmware(int slot) const;
    QString firmwareRelease(int slot) const;

    // Advance the bus and every module to the simulated time (milliseconds).
    void advance(qint64 simulatedMs);

    // Registers the tunnel objects and the CAN control objects with the running
    // net-snmp agent. Returns false with a message when a name does not resolve.
    bool registerAgentObjects(QString *error);

    // Optional state file support: what a real module keeps across restarts.
    QJsonObject saveState() const;
    void restoreState(const QJsonObject &state);

    // The bus itself, for in-process tests and tools.
    CanBus *bus() const;

private:
    std::unique_ptr<CanSidePrivate> d;
};
