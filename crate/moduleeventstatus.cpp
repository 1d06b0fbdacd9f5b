#include "moduleeventstatus.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[9] = {
    {"EPWRFAIL", 0, QT_TRANSLATE_NOOP("ModuleEventStatus", "Power Fail"), nullptr},
    {"ERESTART", 1, QT_TRANSLATE_NOOP("ModuleEventStatus", "Restart"), nullptr},
    {"ESTOP", 2, QT_TRANSLATE_NOOP("ModuleEventStatus", "Stop"), nullptr},
    {"ESrvc", 4, QT_TRANSLATE_NOOP("ModuleEventStatus", "Service"),
     QT_TRANSLATE_NOOP("ModuleEventStatus", "Service is needed.")},
    {"EIERR", 6, QT_TRANSLATE_NOOP("ModuleEventStatus", "Input Error"), nullptr},
    {"ESFLPngd", 10, QT_TRANSLATE_NOOP("ModuleEventStatus", "Safety Loop"),
     QT_TRANSLATE_NOOP("ModuleEventStatus", "Safety Loop was open.")},
    {"ESPLYngd", 13, QT_TRANSLATE_NOOP("ModuleEventStatus", "Supply"),
     QT_TRANSLATE_NOOP("ModuleEventStatus", "Supply was bad.")},
    {"ETMPngd", 14, QT_TRANSLATE_NOOP("ModuleEventStatus", "Temperature"),
     QT_TRANSLATE_NOOP("ModuleEventStatus", "Temperature was too high.")},
    {"EBIT5", 5, nullptr, nullptr},
};

void registerType()
{
    qRegisterMetaType<ModuleEventStatus>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ModuleEventStatus::flagTable()
{
    return flagTable_;
}

ModuleEventStatus ModuleEventStatus::fromLibrary(quint32 value)
{
    const auto lib = [value](int bit) { return ((value >> bit) & 1u) != 0; };
    ModuleEventStatus s;
    s.setEPWRFAIL(lib(7));
    // ERESTART has no source in the library form.
    s.setESTOP(lib(5));
    s.setESrvc(lib(3));
    s.setEIERR(lib(1));
    s.setESFLPngd(lib(13));
    s.setESPLYngd(lib(10));
    s.setETMPngd(lib(9));
    s.setEBIT5(lib(2));
    return s;
}
