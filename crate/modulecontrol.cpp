#include "modulecontrol.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[11] = {
    {"bit0", 0, nullptr, nullptr},
    {"bit1", 1, nullptr, nullptr},
    {"setSTOP", 2, QT_TRANSLATE_NOOP("ModuleControl", "Stop"), nullptr},
    {"bit3", 3, nullptr, nullptr},
    {"doCLEAR", 6, QT_TRANSLATE_NOOP("ModuleControl", "Clear Events"), nullptr},
    {"bit8", 8, nullptr, nullptr},
    {"bit9", 9, nullptr, nullptr},
    {"bit10", 10, nullptr, nullptr},
    {"setADJ", 12, QT_TRANSLATE_NOOP("ModuleControl", "Fine Adjustment"), nullptr},
    {"setKILena", 14, QT_TRANSLATE_NOOP("ModuleControl", "Kill Enable"), nullptr},
    {"DoSaveSetValues", 15, QT_TRANSLATE_NOOP("ModuleControl", "Save Set Values"), nullptr},
};

void registerType()
{
    qRegisterMetaType<ModuleControl>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ModuleControl::flagTable()
{
    return flagTable_;
}
