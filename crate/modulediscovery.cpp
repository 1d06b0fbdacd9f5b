#include "modulediscovery.h"

#include "cratelog.h"
#include "snmpcontroller.h"
#include "snmpcrate.h"
#include "snmpmodule.h"

QList<BaseModule *> ModuleDiscovery::discoverModules(SnmpController *controller, QObject *parent)
{
    QList<BaseModule *> modules;
    if (!controller)
        return modules;
    for (int slot = 0; slot < SlotCount; ++slot) {
        // An empty description is an empty slot.
        if (controller->getModuleDescription(slot).isEmpty())
            continue;
        modules.append(new SnmpModule(controller, slot, parent));
    }
    qCDebug(lcCrate) << modules.size() << "modules found";
    return modules;
}

ModuleDiscovery::Result ModuleDiscovery::discover(SnmpController *controller, QObject *parent)
{
    Result result;
    result.modules = discoverModules(controller, parent);
    if (controller)
        result.crate = new SnmpCrate(controller, controller->address());
    return result;
}
