#include "moduleeventmask.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[9] = {
    {"EPWRFAIL", 0, QT_TRANSLATE_NOOP("ModuleEventMask", "Power Fail"), nullptr},
    {"ERESTART", 1, QT_TRANSLATE_NOOP("ModuleEventMask", "Restart"), nullptr},
    {"ESTOP", 2, QT_TRANSLATE_NOOP("ModuleEventMask", "Stop"), nullptr},
    {"ESrvc", 4, QT_TRANSLATE_NOOP("ModuleEventMask", "Service"),
     QT_TRANSLATE_NOOP("ModuleEventMask", "Service is needed.")},
    {"EIERR", 6, QT_TRANSLATE_NOOP("ModuleEventMask", "Input Error"), nullptr},
    {"ESFLPngd", 10, QT_TRANSLATE_NOOP("ModuleEventMask", "Safety Loop"),
     QT_TRANSLATE_NOOP("ModuleEventMask", "Safety Loop was open.")},
    {"ESPLYngd", 13, QT_TRANSLATE_NOOP("ModuleEventMask", "Supply"),
     QT_TRANSLATE_NOOP("ModuleEventMask", "Supply was bad.")},
    {"ETMPngd", 14, QT_TRANSLATE_NOOP("ModuleEventMask", "Temperature"),
     QT_TRANSLATE_NOOP("ModuleEventMask", "Temperature was too high.")},
    {"EBIT5", 5, nullptr, nullptr},
};

void registerType()
{
    qRegisterMetaType<ModuleEventMask>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ModuleEventMask::flagTable()
{
    return flagTable_;
}
