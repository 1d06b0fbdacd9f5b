#include "channeleventstatus.h"

namespace
{

// Declaration order; word bits of the module register.
const FlagInfo flagTable_[12] = {
    {"EIERR", 2, QT_TRANSLATE_NOOP("ChannelEventStatus", "Input Error"), nullptr},
    {"EON2OFF", 3, QT_TRANSLATE_NOOP("ChannelEventStatus", "On to Off"), nullptr},
    {"EEOR", 4, QT_TRANSLATE_NOOP("ChannelEventStatus", "End of Ramping"), nullptr},
    {"EEMCY", 5, QT_TRANSLATE_NOOP("ChannelEventStatus", "Emergency Off"), nullptr},
    {"ECC", 6, QT_TRANSLATE_NOOP("ChannelEventStatus", "Constant Current"), nullptr},
    {"ECV", 7, QT_TRANSLATE_NOOP("ChannelEventStatus", "Constant Voltage"), nullptr},
    {"ECBNDs", 10, QT_TRANSLATE_NOOP("ChannelEventStatus", "Current Bounds"), nullptr},
    {"EVBNDs", 11, QT_TRANSLATE_NOOP("ChannelEventStatus", "Voltage Bounds"), nullptr},
    {"EEINH", 12, QT_TRANSLATE_NOOP("ChannelEventStatus", "External Inhibit"), nullptr},
    {"ETRIP", 13, QT_TRANSLATE_NOOP("ChannelEventStatus", "Current Trip"), nullptr},
    {"ECLIM", 14, QT_TRANSLATE_NOOP("ChannelEventStatus", "Current Limit"), nullptr},
    {"EVLIM", 15, QT_TRANSLATE_NOOP("ChannelEventStatus", "Voltage Limit"), nullptr},
};

void registerType()
{
    qRegisterMetaType<ChannelEventStatus>();
}

} // namespace

// Queued signals between threads carry the type.
Q_CONSTRUCTOR_FUNCTION(registerType)

const FlagInfo *ChannelEventStatus::flagTable()
{
    return flagTable_;
}

void ChannelEventStatus::latch(const ChannelStatus &status)
{
    if (status.isCLIM())
        setECLIM(true);
    if (status.isVLIM())
        setEVLIM(true);
    if (status.isEMCY())
        setEEMCY(true);
    if (status.isEINH())
        setEEINH(true);
    if (status.isCC())
        setECC(true);
    if (status.isCV())
        setECV(true);
}

void ChannelEventStatus::reset(const ChannelEventStatus &resetMask)
{
    m_flags &= ~resetMask.flags();
}
