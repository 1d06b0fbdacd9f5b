#include "canside.h"

class CanSidePrivate
{
};

CanSide::CanSide() : d(std::make_unique<CanSidePrivate>()) {}
CanSide::~CanSide() = default;
void CanSide::addModule(const ModuleConfig &) {}
void CanSide::setPowered(bool) {}
void CanSide::setModuleResponding(int, bool) {}
bool CanSide::isRunningFirmware(int) const { return true; }
QString CanSide::firmwareRelease(int) const { return QString(); }
void CanSide::advance(qint64) {}
bool CanSide::registerAgentObjects(QString *) { return true; }
QJsonObject CanSide::saveState() const { return QJsonObject(); }
void CanSide::restoreState(const QJsonObject &) {}
