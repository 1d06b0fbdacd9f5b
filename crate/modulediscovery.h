#pragma once
// Finds the modules of a crate right after a successful connect: slots 0 to 9 in
// order, one module object per slot with a non-empty description.

#include <QList>

class BaseCrate;
class BaseModule;
class QObject;
class SnmpController;

class ModuleDiscovery
{
public:
    static constexpr int SlotCount = 10;

    struct Result {
        QList<BaseModule *> modules; // in slot order; owned by the caller
        BaseCrate *crate = nullptr;  // owned by the caller
    };

    // Creates the modules (with `parent` as their QObject parent, may be null) and
    // then the crate object for the controller's address.
    static Result discover(SnmpController *controller, QObject *parent = nullptr);
    // Only the modules.
    static QList<BaseModule *> discoverModules(SnmpController *controller, QObject *parent = nullptr);
};
