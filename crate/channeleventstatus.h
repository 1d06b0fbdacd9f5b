#pragma once
// Event status word of one channel: events latched until reset.

#include "channelstatus.h"
#include "flagword.h"

#include <QMetaType>

class ChannelEventStatus : public FlagWord<ChannelEventStatus, 12>
{
public:
    static constexpr char TypeName[] = "ChannelEventStatus";

    // Declaration indices of the flags.
    enum Flag : int {
        F_EIERR = 0,
        F_EON2OFF = 1,
        F_EEOR = 2,
        F_EEMCY = 3,
        F_ECC = 4,
        F_ECV = 5,
        F_ECBNDs = 6,
        F_EVBNDs = 7,
        F_EEINH = 8,
        F_ETRIP = 9,
        F_ECLIM = 10,
        F_EVLIM = 11,
    };

    ChannelEventStatus() = default;
    // From the word form: the low 16 bits are read, the upper bits ignored.
    explicit ChannelEventStatus(quint32 word) { setWord(word); }

    bool EIERR() const { return flag(F_EIERR); }
    void setEIERR(bool on) { setFlag(F_EIERR, on); }
    bool EON2OFF() const { return flag(F_EON2OFF); }
    void setEON2OFF(bool on) { setFlag(F_EON2OFF, on); }
    bool EEOR() const { return flag(F_EEOR); }
    void setEEOR(bool on) { setFlag(F_EEOR, on); }
    bool EEMCY() const { return flag(F_EEMCY); }
    void setEEMCY(bool on) { setFlag(F_EEMCY, on); }
    bool ECC() const { return flag(F_ECC); }
    void setECC(bool on) { setFlag(F_ECC, on); }
    bool ECV() const { return flag(F_ECV); }
    void setECV(bool on) { setFlag(F_ECV, on); }
    bool ECBNDs() const { return flag(F_ECBNDs); }
    void setECBNDs(bool on) { setFlag(F_ECBNDs, on); }
    bool EVBNDs() const { return flag(F_EVBNDs); }
    void setEVBNDs(bool on) { setFlag(F_EVBNDs, on); }
    bool EEINH() const { return flag(F_EEINH); }
    void setEEINH(bool on) { setFlag(F_EEINH, on); }
    bool ETRIP() const { return flag(F_ETRIP); }
    void setETRIP(bool on) { setFlag(F_ETRIP, on); }
    bool ECLIM() const { return flag(F_ECLIM); }
    void setECLIM(bool on) { setFlag(F_ECLIM, on); }
    bool EVLIM() const { return flag(F_EVLIM); }
    void setEVLIM(bool on) { setFlag(F_EVLIM, on); }

    // The access library has no channel event status: events are derived from
    // the channel status and latched (set, never cleared, by a status read).
    void latch(const ChannelStatus &status);
    // Clears every flag that is set in the reset mask.
    void reset(const ChannelEventStatus &resetMask);

    static const FlagInfo *flagTable();
};

Q_DECLARE_METATYPE(ChannelEventStatus)
