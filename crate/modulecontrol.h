#pragma once
// Control word of one module.

#include "flagword.h"

#include <QMetaType>

class ModuleControl : public FlagWord<ModuleControl, 11>
{
public:
    static constexpr char TypeName[] = "ModuleControl";

    // Declaration indices of the flags.
    enum Flag : int {
        F_bit0 = 0,
        F_bit1 = 1,
        F_setSTOP = 2,
        F_bit3 = 3,
        F_doCLEAR = 4,
        F_bit8 = 5,
        F_bit9 = 6,
        F_bit10 = 7,
        F_setADJ = 8,
        F_setKILena = 9,
        F_DoSaveSetValues = 10,
    };

    ModuleControl() = default;
    // From the word form: the low 16 bits are read, the upper bits ignored.
    explicit ModuleControl(quint32 word) { setWord(word); }

    bool bit0() const { return flag(F_bit0); }
    void setBit0(bool on) { setFlag(F_bit0, on); }
    bool bit1() const { return flag(F_bit1); }
    void setBit1(bool on) { setFlag(F_bit1, on); }
    bool setSTOP() const { return flag(F_setSTOP); }
    void setSetSTOP(bool on) { setFlag(F_setSTOP, on); }
    bool bit3() const { return flag(F_bit3); }
    void setBit3(bool on) { setFlag(F_bit3, on); }
    bool doCLEAR() const { return flag(F_doCLEAR); }
    void setDoCLEAR(bool on) { setFlag(F_doCLEAR, on); }
    bool bit8() const { return flag(F_bit8); }
    void setBit8(bool on) { setFlag(F_bit8, on); }
    bool bit9() const { return flag(F_bit9); }
    void setBit9(bool on) { setFlag(F_bit9, on); }
    bool bit10() const { return flag(F_bit10); }
    void setBit10(bool on) { setFlag(F_bit10, on); }
    bool setADJ() const { return flag(F_setADJ); }
    void setSetADJ(bool on) { setFlag(F_setADJ, on); }
    bool setKILena() const { return flag(F_setKILena); }
    void setSetKILena(bool on) { setFlag(F_setKILena, on); }
    bool DoSaveSetValues() const { return flag(F_DoSaveSetValues); }
    void setDoSaveSetValues(bool on) { setFlag(F_DoSaveSetValues, on); }

    static const FlagInfo *flagTable();
};

Q_DECLARE_METATYPE(ModuleControl)
