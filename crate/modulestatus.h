#pragma once
// Status word of one module.
//
// Positions of the four flags whose register bits the module documentation we
// build against leaves open. Seventeen flags do not fit sixteen bits, so one
// of them has no place in the word form.
//
// - isBIT5, the flag only the access library reports (its bit 2): word bit 5.
//   The library form is the byte-wise mirror of the word form (library bit b
//   <-> word bit 7 - b for b < 8, 23 - b for 8 <= b < 16; every mapped flag
//   follows this), and the module event word puts the event of library bit 2
//   at bit 5 as well (EBIT5). It is the one open flag that carries data here,
//   so it must take part in the word form.
// - isSPMD (special mode): word bit 1, declared between isADJ and isSTOP.
// - isILKO (interlock out): word bit 7, declared after isIERR.
// - isCCMPL (command complete): no word bit. Of the three flags no source of
//   this system sets, it is the momentary one: an acknowledgement, not a state
//   a dialog waits for (the special-mode transfer waits for isSPMD).
//
// isCCMPL survives copies and takes part in equality (all flags compare), but
// is neither written to nor read from the word form.

#include "flagword.h"

#include <QMetaType>

class ModuleStatus : public FlagWord<ModuleStatus, 17>
{
public:
    static constexpr char TypeName[] = "ModuleStatus";

    // Declaration indices of the flags.
    enum Flag : int {
        F_isADJ = 0,
        F_isSPMD = 1,
        F_isSTOP = 2,
        F_isSrvc = 3,
        F_isIERR = 4,
        F_isILKO = 5,
        F_isCCMPL = 6,
        F_isnoSERR = 7,
        F_isnoRAMP = 8,
        F_isSFLPgd = 9,
        F_isEVNTact = 10,
        F_isMODgd = 11,
        F_isSPLYgd = 12,
        F_isTMPgd = 13,
        F_isKILena = 14,
        F_isBIT5 = 15,
        F_isHVON = 16,
    };

    ModuleStatus() = default;
    // From the word form: the low 16 bits are read, the upper bits ignored.
    explicit ModuleStatus(quint32 word) { setWord(word); }

    bool isADJ() const { return flag(F_isADJ); }
    void setIsADJ(bool on) { setFlag(F_isADJ, on); }
    bool isSPMD() const { return flag(F_isSPMD); }
    void setIsSPMD(bool on) { setFlag(F_isSPMD, on); }
    bool isSTOP() const { return flag(F_isSTOP); }
    void setIsSTOP(bool on) { setFlag(F_isSTOP, on); }
    bool isSrvc() const { return flag(F_isSrvc); }
    void setIsSrvc(bool on) { setFlag(F_isSrvc, on); }
    bool isIERR() const { return flag(F_isIERR); }
    void setIsIERR(bool on) { setFlag(F_isIERR, on); }
    bool isILKO() const { return flag(F_isILKO); }
    void setIsILKO(bool on) { setFlag(F_isILKO, on); }
    bool isCCMPL() const { return flag(F_isCCMPL); }
    void setIsCCMPL(bool on) { setFlag(F_isCCMPL, on); }
    bool isnoSERR() const { return flag(F_isnoSERR); }
    void setIsnoSERR(bool on) { setFlag(F_isnoSERR, on); }
    bool isnoRAMP() const { return flag(F_isnoRAMP); }
    void setIsnoRAMP(bool on) { setFlag(F_isnoRAMP, on); }
    bool isSFLPgd() const { return flag(F_isSFLPgd); }
    void setIsSFLPgd(bool on) { setFlag(F_isSFLPgd, on); }
    bool isEVNTact() const { return flag(F_isEVNTact); }
    void setIsEVNTact(bool on) { setFlag(F_isEVNTact, on); }
    bool isMODgd() const { return flag(F_isMODgd); }
    void setIsMODgd(bool on) { setFlag(F_isMODgd, on); }
    bool isSPLYgd() const { return flag(F_isSPLYgd); }
    void setIsSPLYgd(bool on) { setFlag(F_isSPLYgd, on); }
    bool isTMPgd() const { return flag(F_isTMPgd); }
    void setIsTMPgd(bool on) { setFlag(F_isTMPgd, on); }
    bool isKILena() const { return flag(F_isKILena); }
    void setIsKILena(bool on) { setFlag(F_isKILena, on); }
    bool isBIT5() const { return flag(F_isBIT5); }
    void setIsBIT5(bool on) { setFlag(F_isBIT5, on); }
    bool isHVON() const { return flag(F_isHVON); }
    void setIsHVON(bool on) { setFlag(F_isHVON, on); }

    // Library form: the integer the access library returns for a module status.
    // It never sets isILKO, isSPMD or isCCMPL.
    static ModuleStatus fromLibrary(quint32 value);

    static const FlagInfo *flagTable();
};

Q_DECLARE_METATYPE(ModuleStatus)
