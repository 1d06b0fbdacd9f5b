#pragma once
// Status word of one channel.

#include "flagword.h"

#include <QMetaType>

class ChannelStatus : public FlagWord<ChannelStatus, 13>
{
public:
    static constexpr char TypeName[] = "ChannelStatus";

    // Declaration indices of the flags.
    enum Flag : int {
        F_isIERR = 0,
        F_isON = 1,
        F_isRAMP = 2,
        F_isEMCY = 3,
        F_isCC = 4,
        F_isCV = 5,
        F_isCBNDs = 6,
        F_isVBNDs = 7,
        F_isEINH = 8,
        F_isTRIP = 9,
        F_isCLIM = 10,
        F_isVLIM = 11,
        F_isLCR = 12,
    };

    ChannelStatus() = default;
    // From the word form: the low 16 bits are read, the upper bits ignored.
    explicit ChannelStatus(quint32 word) { setWord(word); }

    bool isIERR() const { return flag(F_isIERR); }
    void setIsIERR(bool on) { setFlag(F_isIERR, on); }
    bool isON() const { return flag(F_isON); }
    void setIsON(bool on) { setFlag(F_isON, on); }
    bool isRAMP() const { return flag(F_isRAMP); }
    void setIsRAMP(bool on) { setFlag(F_isRAMP, on); }
    bool isEMCY() const { return flag(F_isEMCY); }
    void setIsEMCY(bool on) { setFlag(F_isEMCY, on); }
    bool isCC() const { return flag(F_isCC); }
    void setIsCC(bool on) { setFlag(F_isCC, on); }
    bool isCV() const { return flag(F_isCV); }
    void setIsCV(bool on) { setFlag(F_isCV, on); }
    bool isCBNDs() const { return flag(F_isCBNDs); }
    void setIsCBNDs(bool on) { setFlag(F_isCBNDs, on); }
    bool isVBNDs() const { return flag(F_isVBNDs); }
    void setIsVBNDs(bool on) { setFlag(F_isVBNDs, on); }
    bool isEINH() const { return flag(F_isEINH); }
    void setIsEINH(bool on) { setFlag(F_isEINH, on); }
    bool isTRIP() const { return flag(F_isTRIP); }
    void setIsTRIP(bool on) { setFlag(F_isTRIP, on); }
    bool isCLIM() const { return flag(F_isCLIM); }
    void setIsCLIM(bool on) { setFlag(F_isCLIM, on); }
    bool isVLIM() const { return flag(F_isVLIM); }
    void setIsVLIM(bool on) { setFlag(F_isVLIM, on); }
    bool isLCR() const { return flag(F_isLCR); }
    void setIsLCR(bool on) { setFlag(F_isLCR, on); }

    // Library form: the integer the access library returns for a channel status.
    static ChannelStatus fromLibrary(quint32 value);

    static const FlagInfo *flagTable();
};

Q_DECLARE_METATYPE(ChannelStatus)
