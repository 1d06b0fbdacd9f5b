#include "modulestatus.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[17] = {
    {"isADJ", 0, QT_TRANSLATE_NOOP("ModuleStatus", "Adjustment is on"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Adjustment is off")},
    {"isSPMD", 1, QT_TRANSLATE_NOOP("ModuleStatus", "Special Mode"), nullptr},
    {"isSTOP", 2, QT_TRANSLATE_NOOP("ModuleStatus", "Is Stop / Live Insertion"), nullptr},
    {"isSrvc", 4, QT_TRANSLATE_NOOP("ModuleStatus", "Service is needed"), nullptr},
    {"isIERR", 6, QT_TRANSLATE_NOOP("ModuleStatus", "Input Error"),
     QT_TRANSLATE_NOOP("ModuleStatus", "No Input Error")},
    {"isILKO", 7, QT_TRANSLATE_NOOP("ModuleStatus", "Interlock Out"), nullptr},
    {"isCCMPL", -1, QT_TRANSLATE_NOOP("ModuleStatus", "Command Complete"), nullptr},
    {"isnoSERR", 8, QT_TRANSLATE_NOOP("ModuleStatus", "No Sum Error"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Sum Error")},
    {"isnoRAMP", 9, QT_TRANSLATE_NOOP("ModuleStatus", "No Ramp"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Ramping")},
    {"isSFLPgd", 10, QT_TRANSLATE_NOOP("ModuleStatus", "Safety Loop is closed"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Safety Loop is open")},
    {"isEVNTact", 11, QT_TRANSLATE_NOOP("ModuleStatus", "Event Active"),
     QT_TRANSLATE_NOOP("ModuleStatus", "No Event Active")},
    {"isMODgd", 12, QT_TRANSLATE_NOOP("ModuleStatus", "Module is good"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Module is bad")},
    {"isSPLYgd", 13, QT_TRANSLATE_NOOP("ModuleStatus", "Supply is good"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Supply is bad")},
    {"isTMPgd", 14, QT_TRANSLATE_NOOP("ModuleStatus", "Temperature is good"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Temperature is too high")},
    {"isKILena", 15, QT_TRANSLATE_NOOP("ModuleStatus", "Kill is enabled"),
     QT_TRANSLATE_NOOP("ModuleStatus", "Kill is disabled")},
    {"isBIT5", 5, nullptr, nullptr},
    {"isHVON", 3, QT_TRANSLATE_NOOP("ModuleStatus", "High Voltage On"), nullptr},
};

void registerType()
{
    qRegisterMetaType<ModuleStatus>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ModuleStatus::flagTable()
{
    return flagTable_;
}

ModuleStatus ModuleStatus::fromLibrary(quint32 value)
{
    const auto lib = [value](int bit) { return ((value >> bit) & 1u) != 0; };
    ModuleStatus s;
    s.setIsADJ(lib(7));
    s.setIsSTOP(lib(5));
    s.setIsBIT5(lib(2));
    s.setIsIERR(lib(1));
    s.setIsSrvc(lib(3));
    s.setIsHVON(lib(4));
    s.setIsKILena(lib(8));
    s.setIsTMPgd(lib(9));
    s.setIsSPLYgd(lib(10));
    s.setIsMODgd(lib(11));
    s.setIsEVNTact(lib(12));
    s.setIsSFLPgd(lib(13));
    s.setIsnoRAMP(lib(14));
    s.setIsnoSERR(lib(15));
    return s;
}
