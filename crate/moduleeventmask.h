#pragma once
// Event mask word of one module: a set flag enables the event of the same name.

#include "flagword.h"

#include <QMetaType>

// <errno.h> (through the C++ library) defines ERESTART, which is also the
// register mnemonic of the restart event; the errno value is never used here.
#ifdef ERESTART
#undef ERESTART
#endif

class ModuleEventMask : public FlagWord<ModuleEventMask, 9>
{
public:
    static constexpr char TypeName[] = "ModuleEventMask";

    // Declaration indices of the flags.
    enum Flag : int {
        F_EPWRFAIL = 0,
        F_ERESTART = 1,
        F_ESTOP = 2,
        F_ESrvc = 3,
        F_EIERR = 4,
        F_ESFLPngd = 5,
        F_ESPLYngd = 6,
        F_ETMPngd = 7,
        F_EBIT5 = 8,
    };

    ModuleEventMask() = default;
    // From the word form: the low 16 bits are read, the upper bits ignored.
    explicit ModuleEventMask(quint32 word) { setWord(word); }

    bool EPWRFAIL() const { return flag(F_EPWRFAIL); }
    void setEPWRFAIL(bool on) { setFlag(F_EPWRFAIL, on); }
    bool ERESTART() const { return flag(F_ERESTART); }
    void setERESTART(bool on) { setFlag(F_ERESTART, on); }
    bool ESTOP() const { return flag(F_ESTOP); }
    void setESTOP(bool on) { setFlag(F_ESTOP, on); }
    bool ESrvc() const { return flag(F_ESrvc); }
    void setESrvc(bool on) { setFlag(F_ESrvc, on); }
    bool EIERR() const { return flag(F_EIERR); }
    void setEIERR(bool on) { setFlag(F_EIERR, on); }
    bool ESFLPngd() const { return flag(F_ESFLPngd); }
    void setESFLPngd(bool on) { setFlag(F_ESFLPngd, on); }
    bool ESPLYngd() const { return flag(F_ESPLYngd); }
    void setESPLYngd(bool on) { setFlag(F_ESPLYngd, on); }
    bool ETMPngd() const { return flag(F_ETMPngd); }
    void setETMPngd(bool on) { setFlag(F_ETMPngd, on); }
    bool EBIT5() const { return flag(F_EBIT5); }
    void setEBIT5(bool on) { setFlag(F_EBIT5, on); }

    static const FlagInfo *flagTable();
};

Q_DECLARE_METATYPE(ModuleEventMask)
