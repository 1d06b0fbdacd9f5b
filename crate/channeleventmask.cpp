#include "channeleventmask.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[12] = {
    {"EIERR", 2, QT_TRANSLATE_NOOP("ChannelEventMask", "Input Error"), nullptr},
    {"EON2OFF", 3, QT_TRANSLATE_NOOP("ChannelEventMask", "On to Off"), nullptr},
    {"EEOR", 4, QT_TRANSLATE_NOOP("ChannelEventMask", "End of Ramping"), nullptr},
    {"EEMCY", 5, QT_TRANSLATE_NOOP("ChannelEventMask", "Emergency Off"), nullptr},
    {"ECC", 6, QT_TRANSLATE_NOOP("ChannelEventMask", "Constant Current"), nullptr},
    {"ECV", 7, QT_TRANSLATE_NOOP("ChannelEventMask", "Constant Voltage"), nullptr},
    {"ECBNDs", 10, QT_TRANSLATE_NOOP("ChannelEventMask", "Current Bounds"), nullptr},
    {"EVBNDs", 11, QT_TRANSLATE_NOOP("ChannelEventMask", "Voltage Bounds"), nullptr},
    {"EEINH", 12, QT_TRANSLATE_NOOP("ChannelEventMask", "External Inhibit"), nullptr},
    {"ETRIP", 13, QT_TRANSLATE_NOOP("ChannelEventMask", "Current Trip"), nullptr},
    {"ECLIM", 14, QT_TRANSLATE_NOOP("ChannelEventMask", "Current Limit"), nullptr},
    {"EVLIM", 15, QT_TRANSLATE_NOOP("ChannelEventMask", "Voltage Limit"), nullptr},
};

void registerType()
{
    qRegisterMetaType<ChannelEventMask>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ChannelEventMask::flagTable()
{
    return flagTable_;
}
