#include "canside.h"

#include "canagentobjects.h"
#include "canbus.h"

#include <QJsonArray>
#include <QLoggingCategory>

// Quiet unless asked for: a test driving thousands of frames must not fill the output pipe.
Q_LOGGING_CATEGORY(lcCan, "cratesim.can", QtInfoMsg)

namespace {
// Base identifiers of every slot, in the order the tool addresses them.
const QList<quint16> SlotBases[10] = {
    {0x200, 0x208},        {0x210, 0x220, 0x228}, {0x218, 0x230, 0x238}, {0x260, 0x240, 0x248},
    {0x268, 0x250, 0x258}, {0x270, 0x278},        {0x280, 0x288},        {0x290, 0x2A0, 0x2A8},
    {0x298, 0x2B0, 0x2B8}, {0x2E0, 0x2C0, 0x2C8},
};
} // namespace

class CanSidePrivate
{
public:
    CanBus bus;
    std::unique_ptr<CanAgentObjects> agentObjects;
};

CanSide::CanSide() : d(std::make_unique<CanSidePrivate>())
{
    d->bus.setTraceFile(qEnvironmentVariable("CRATESIM_CAN_TRACE"));
}

CanSide::~CanSide() = default;

void CanSide::addModule(const ModuleConfig &config)
{
    if (config.slot < 0 || config.slot > 9) {
        qCWarning(lcCan) << "module in slot" << config.slot << "has no CAN identifier";
        return;
    }
    // Low-voltage modules are not on the high-voltage modules' CAN bus.
    if (config.json.value(QLatin1String("kind")).toString() == QLatin1String("lv"))
        return;
    const QJsonObject can = config.json.value(QLatin1String("can")).toObject();
    const QList<quint16> &bases = SlotBases[config.slot];
    const int boards = qBound(1, can.value(QLatin1String("boards")).toInt(1), int(bases.size()));
    QJsonObject nodeConfig = can;
    if (!nodeConfig.contains(QLatin1String("bootLoader")) && config.json.contains(QLatin1String("bootLoader")))
        nodeConfig.insert(QLatin1String("bootLoader"), config.json.value(QLatin1String("bootLoader")).toBool());
    for (int board = 0; board < boards; ++board) {
        if (d->bus.nodeAt(bases[board])) {
            qCWarning(lcCan) << "slot" << config.slot << "is already on the bus";
            return;
        }
        CanModule *node = d->bus.addNode(config.slot, bases[board], board);
        QStringList problems;
        // Further boards of a module are nodes of their own with the next serial numbers.
        node->configure(quint32(config.serialNumber) + quint32(board), config.typeCode, config.firmwareRelease,
                        config.channels, nodeConfig, &problems);
        for (const QString &p : problems)
            qCWarning(lcCan).noquote() << p;
    }
}

void CanSide::setPowered(bool on)
{
    d->bus.setPowered(on);
}

void CanSide::setModuleResponding(int slot, bool responding)
{
    d->bus.setSlotResponding(slot, responding);
}

bool CanSide::isRunningFirmware(int slot) const
{
    const CanModule *node = d->bus.node(slot);
    return !node || node->mode() == CanModule::Mode::Running;
}

QString CanSide::firmwareRelease(int slot) const
{
    const CanModule *node = d->bus.node(slot);
    if (!node || node->mode() != CanModule::Mode::Running)
        return QString();
    return node->firmwareRelease();
}

void CanSide::advance(qint64 simulatedMs)
{
    d->bus.advance(simulatedMs);
}

bool CanSide::registerAgentObjects(QString *error)
{
    if (d->agentObjects)
        return true;
    d->agentObjects = std::make_unique<CanAgentObjects>(&d->bus);
    return d->agentObjects->registerAll(error);
}

QJsonObject CanSide::saveState() const
{
    QJsonObject nodes;
    for (const auto &node : d->bus.nodes())
        nodes.insert(QStringLiteral("0x%1").arg(node->base(), 3, 16, QLatin1Char('0')), node->saveState());
    QJsonObject state;
    state.insert(QLatin1String("nodes"), nodes);
    state.insert(QLatin1String("tunnelBitRate"), d->bus.tunnelBitRate());
    return state;
}

void CanSide::restoreState(const QJsonObject &state)
{
    const QJsonObject nodes = state.value(QLatin1String("nodes")).toObject();
    for (const auto &node : d->bus.nodes())
        node->restoreState(nodes.value(QStringLiteral("0x%1").arg(node->base(), 3, 16, QLatin1Char('0'))).toObject());
    if (state.contains(QLatin1String("tunnelBitRate")))
        d->bus.setTunnelBitRate(state.value(QLatin1String("tunnelBitRate")).toInt(CanBus::DefaultBitRate));
}

CanBus *CanSide::bus() const
{
    return &d->bus;
}
