#include "channelstatus.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[13] = {
    {"isIERR", 2, QT_TRANSLATE_NOOP("ChannelStatus", "Input Error"), nullptr},
    {"isON", 3, QT_TRANSLATE_NOOP("ChannelStatus", "On"), nullptr},
    {"isRAMP", 4, QT_TRANSLATE_NOOP("ChannelStatus", "Ramping"), nullptr},
    {"isEMCY", 5, QT_TRANSLATE_NOOP("ChannelStatus", "Emergency Off"), nullptr},
    {"isCC", 6, QT_TRANSLATE_NOOP("ChannelStatus", "Constant Current"), nullptr},
    {"isCV", 7, QT_TRANSLATE_NOOP("ChannelStatus", "Constant Voltage"), nullptr},
    {"isCBNDs", 10, QT_TRANSLATE_NOOP("ChannelStatus", "Current Bounds"), nullptr},
    {"isVBNDs", 11, QT_TRANSLATE_NOOP("ChannelStatus", "Voltage Bounds"), nullptr},
    {"isEINH", 12, QT_TRANSLATE_NOOP("ChannelStatus", "External Inhibit"), nullptr},
    {"isTRIP", 13, QT_TRANSLATE_NOOP("ChannelStatus", "Current Trip"), nullptr},
    {"isCLIM", 14, QT_TRANSLATE_NOOP("ChannelStatus", "Current Limit"), nullptr},
    {"isVLIM", 15, QT_TRANSLATE_NOOP("ChannelStatus", "Voltage Limit"), nullptr},
    {"isLCR", 8, QT_TRANSLATE_NOOP("ChannelStatus", "Low Current Range"), nullptr},
};

void registerType()
{
    qRegisterMetaType<ChannelStatus>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ChannelStatus::flagTable()
{
    return flagTable_;
}

ChannelStatus ChannelStatus::fromLibrary(quint32 value)
{
    const auto lib = [value](int bit) { return ((value >> bit) & 1u) != 0; };
    ChannelStatus s;
    // isIERR has no source in the library form.
    s.setIsON(lib(7));
    s.setIsRAMP(lib(11) || lib(12));
    s.setIsEMCY(lib(9));
    s.setIsCC(lib(13));
    s.setIsCV(lib(23));
    s.setIsCBNDs(lib(21));
    s.setIsVBNDs(lib(4) || lib(5));
    s.setIsEINH(lib(6));
    s.setIsTRIP(lib(2));
    s.setIsCLIM(lib(20));
    s.setIsVLIM(lib(3));
    s.setIsLCR(lib(22));
    return s;
}
