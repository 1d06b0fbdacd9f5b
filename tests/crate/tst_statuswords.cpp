// Word forms, library forms and equality of the status, event and control words.

#include "channelcontrol.h"
#include "channeleventmask.h"
#include "channeleventstatus.h"
#include "channelstatus.h"
#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "moduleeventstatus.h"
#include "modulestatus.h"
#include "vexatypes.h"

#include "testenv.h"

#include <QCoreApplication>
#include <QMetaType>
#include <QThread>
#include <QtTest>

#include <functional>

namespace
{

// Register layouts as the module documents them: flag name -> word bit.
using Layout = QList<QPair<QString, int>>;

const Layout channelStatusLayout = {{"isIERR", 2},  {"isON", 3},    {"isRAMP", 4},   {"isEMCY", 5},
                                    {"isCC", 6},    {"isCV", 7},    {"isCBNDs", 10}, {"isVBNDs", 11},
                                    {"isEINH", 12}, {"isTRIP", 13}, {"isCLIM", 14},  {"isVLIM", 15},
                                    {"isLCR", 8}};
const Layout channelEventLayout = {{"EIERR", 2},  {"EON2OFF", 3}, {"EEOR", 4},    {"EEMCY", 5},
                                   {"ECC", 6},    {"ECV", 7},     {"ECBNDs", 10}, {"EVBNDs", 11},
                                   {"EEINH", 12}, {"ETRIP", 13},  {"ECLIM", 14},  {"EVLIM", 15}};
const Layout channelControlLayout = {{"setExternalMeas", 1}, {"setRipple", 2}, {"setON", 3},
                                     {"setEMCY", 5},         {"setAVBND", 11}, {"setACBND", 10}};
const Layout moduleStatusLayout = {
    {"isADJ", 0},     {"isSPMD", 1},   {"isSTOP", 2},    {"isSrvc", 4},    {"isIERR", 6},     {"isILKO", 7},
    {"isCCMPL", -1},  {"isnoSERR", 8}, {"isnoRAMP", 9},  {"isSFLPgd", 10}, {"isEVNTact", 11}, {"isMODgd", 12},
    {"isSPLYgd", 13}, {"isTMPgd", 14}, {"isKILena", 15}, {"isBIT5", 5},    {"isHVON", 3}};
const Layout moduleEventLayout = {{"EPWRFAIL", 0},  {"ERESTART", 1}, {"ESTOP", 2},
                                  {"ESrvc", 4},     {"EIERR", 6},    {"ESFLPngd", 10},
                                  {"ESPLYngd", 13}, {"ETMPngd", 14}, {"EBIT5", 5}};
const Layout moduleControlLayout = {
    {"bit0", 0}, {"bit1", 1},   {"setSTOP", 2}, {"bit3", 3},       {"doCLEAR", 6},         {"bit8", 8},
    {"bit9", 9}, {"bit10", 10}, {"setADJ", 12}, {"setKILena", 14}, {"DoSaveSetValues", 15}};

// The checks every word type must pass, written once for all eight.
struct TypeChecks {
    QString name;
    Layout layout;
    quint16 allSetWord;
    std::function<int()> flagCount;
    std::function<QString(int)> flagName;
    std::function<int(int)> wordBit;
    std::function<quint16(quint32)> roundTrip;       // word -> flags -> word
    std::function<quint16()> allSet;                 // every flag set -> word
    std::function<quint16(int)> singleFlag;          // only flag i set -> word
    std::function<bool(int)> singleFlagSurvivesWord; // flag i -> word -> flags still only flag i
    std::function<bool(quint32, int)> flagOfWord;    // word -> flags, flag i
};

template <typename T> TypeChecks checksFor(const QString &name, const Layout &layout, quint16 allSetWord)
{
    TypeChecks c;
    c.name = name;
    c.layout = layout;
    c.allSetWord = allSetWord;
    c.flagCount = [] { return T::flagCount(); };
    c.flagName = [](int i) { return T::flagName(i); };
    c.wordBit = [](int i) { return T::wordBit(i); };
    c.roundTrip = [](quint32 w) { return T(w).toWord(); };
    c.allSet = [] { return T::allSet().toWord(); };
    c.singleFlag = [](int i) {
        T t;
        t.setFlag(i, true);
        return t.toWord();
    };
    c.singleFlagSurvivesWord = [](int i) {
        T t;
        t.setFlag(i, true);
        const T back(t.toWord());
        return back == t;
    };
    c.flagOfWord = [](quint32 w, int i) { return T(w).flag(i); };
    return c;
}

QList<TypeChecks> allTypes()
{
    return {checksFor<ChannelStatus>("ChannelStatus", channelStatusLayout, 0xFDFC),
            checksFor<ChannelEventStatus>("ChannelEventStatus", channelEventLayout, 0xFCFC),
            checksFor<ChannelEventMask>("ChannelEventMask", channelEventLayout, 0xFCFC),
            checksFor<ChannelControl>("ChannelControl", channelControlLayout, 0x0C2E),
            checksFor<ModuleStatus>("ModuleStatus", moduleStatusLayout, 0xFFFF),
            checksFor<ModuleEventStatus>("ModuleEventStatus", moduleEventLayout, 0x6477),
            checksFor<ModuleEventMask>("ModuleEventMask", moduleEventLayout, 0x6477),
            checksFor<ModuleControl>("ModuleControl", moduleControlLayout, 0xD74F)};
}

class Emitter : public QObject
{
    Q_OBJECT
signals:
    void moduleStatus(ModuleStatus status);
    void channelEvents(ChannelEventStatus events);
};

} // namespace

class TestStatusWords : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void allFlagsWord_data();
    void allFlagsWord();
    void roundTripEveryWord_data();
    void roundTripEveryWord();
    void defaultIsEmpty();
    void namedAccessors();
    void allOnesEventWord();
    void upperBitsIgnored();
    void equality();
    void channelStatusFromLibrary_data();
    void channelStatusFromLibrary();
    void switchValues_data();
    void switchValues();
    void switchWriting();
    void moduleStatusFromLibrary_data();
    void moduleStatusFromLibrary();
    void moduleEventStatusFromLibrary_data();
    void moduleEventStatusFromLibrary();
    void eventLatching();
    void supervisionBehaviour();
    void labels();
    void queuedSignals();
};

void TestStatusWords::layout_data()
{
    QTest::addColumn<int>("type");
    const auto types = allTypes();
    for (int i = 0; i < types.size(); ++i)
        QTest::newRow(qPrintable(types[i].name)) << i;
}

// Declaration order, names and word bits of every flag.
void TestStatusWords::layout()
{
    QFETCH(int, type);
    const TypeChecks c = allTypes().at(type);
    QCOMPARE(c.flagCount(), int(c.layout.size()));
    for (int i = 0; i < c.layout.size(); ++i) {
        QCOMPARE(c.flagName(i), c.layout[i].first);
        QCOMPARE(c.wordBit(i), c.layout[i].second);
        const int bit = c.layout[i].second;
        QCOMPARE(c.singleFlag(i), quint16(bit < 0 ? 0 : 1u << bit));
        if (bit >= 0) {
            QVERIFY2(c.singleFlagSurvivesWord(i), qPrintable(c.flagName(i)));
            // Reading the word with only this bit sets this flag and no other.
            for (int j = 0; j < c.flagCount(); ++j)
                QCOMPARE(c.flagOfWord(1u << bit, j), i == j);
        }
    }
}

void TestStatusWords::allFlagsWord_data()
{
    layout_data();
}

void TestStatusWords::allFlagsWord()
{
    QFETCH(int, type);
    const TypeChecks c = allTypes().at(type);
    QCOMPARE(c.allSet(), c.allSetWord);
}

void TestStatusWords::roundTripEveryWord_data()
{
    layout_data();
}

// word -> flags -> word keeps exactly the bits that carry a flag, for all 65536 words.
void TestStatusWords::roundTripEveryWord()
{
    QFETCH(int, type);
    const TypeChecks c = allTypes().at(type);
    for (quint32 w = 0; w <= 0xFFFF; ++w) {
        if (c.roundTrip(w) != (w & c.allSetWord))
            QFAIL(qPrintable(QStringLiteral("%1: word 0x%2 came back as 0x%3")
                                 .arg(c.name)
                                 .arg(w, 4, 16, QLatin1Char('0'))
                                 .arg(c.roundTrip(w), 4, 16, QLatin1Char('0'))));
    }
}

void TestStatusWords::defaultIsEmpty()
{
    QCOMPARE(ChannelStatus().toWord(), quint16(0));
    QVERIFY(ChannelControl().isEmpty());
    QVERIFY(ModuleStatus().isEmpty());
    QVERIFY(!ModuleStatus().isCCMPL());
    QCOMPARE(ModuleControl().toWord(), quint16(0));
}

// The named getters and setters address the flag of their name.
void TestStatusWords::namedAccessors()
{
    ChannelStatus cs;
    cs.setIsLCR(true);
    QCOMPARE(cs.toWord(), quint16(0x0100));
    cs.setIsVLIM(true);
    QCOMPARE(cs.toWord(), quint16(0x8100));
    cs.setIsLCR(false);
    QVERIFY(cs.isVLIM());
    QVERIFY(!cs.isLCR());
    QCOMPARE(cs.toWord(), quint16(0x8000));

    ChannelControl cc;
    cc.setSetAVBND(true);
    QCOMPARE(cc.toWord(), quint16(0x0800));
    cc.setSetACBND(true);
    cc.setSetON(true);
    QCOMPARE(cc.toWord(), quint16(0x0C08));
    QVERIFY(ChannelControl(0x0020).setEMCY());
    QVERIFY(ChannelControl(0x0002).setExternalMeas());
    QVERIFY(ChannelControl(0x0004).setRipple());

    ModuleControl mc;
    mc.setDoSaveSetValues(true);
    QCOMPARE(mc.toWord(), quint16(0x8000));
    mc.setSetSTOP(true);
    mc.setBit0(true);
    QCOMPARE(mc.toWord(), quint16(0x8005));
    QVERIFY(ModuleControl(0x0040).doCLEAR());
    QVERIFY(ModuleControl(0x1000).setADJ());
    QVERIFY(ModuleControl(0x4000).setKILena());

    ModuleStatus ms;
    ms.setIsSTOP(true);
    QCOMPARE(ms.toWord(), quint16(0x0004));
    QVERIFY(ModuleStatus(0x0008).isHVON());
    QVERIFY(ModuleStatus(0x0002).isSPMD());
    QVERIFY(ModuleStatus(0x0080).isILKO());
    QVERIFY(ModuleStatus(0x0020).isBIT5());
    QVERIFY(ModuleStatus(0x8000).isKILena());

    ModuleEventMask mm;
    mm.setEBIT5(true);
    mm.setETMPngd(true);
    QCOMPARE(mm.toWord(), quint16(0x4020));
    QVERIFY(ModuleEventStatus(0x0002).ERESTART());

    ChannelEventMask em;
    em.setEON2OFF(true);
    em.setEEOR(true);
    QCOMPARE(em.toWord(), quint16(0x0018));
}

void TestStatusWords::allOnesEventWord()
{
    const ChannelEventStatus all(0xFFFF);
    for (int i = 0; i < ChannelEventStatus::flagCount(); ++i)
        QVERIFY2(all.flag(i), qPrintable(ChannelEventStatus::flagName(i)));
    QCOMPARE(all.toWord(), quint16(0xFCFC));
    QCOMPARE(all, ChannelEventStatus::allSet());

    ChannelStatus cs = ChannelStatus::allSet();
    QCOMPARE(cs.toWord(), quint16(0xFDFC)); // bits 0, 1 and 9 stay clear
}

void TestStatusWords::upperBitsIgnored()
{
    QCOMPARE(ChannelStatus(0x1FDFCu), ChannelStatus(0xFDFCu));
    QCOMPARE(ModuleControl(0xFFFF0000u).toWord(), quint16(0));
    QCOMPARE(ChannelEventMask(0xABCD0008u).toWord(), quint16(0x0008));
}

void TestStatusWords::equality()
{
    ChannelStatus a(0x0008), b(0x0008);
    QVERIFY(a == b);
    b.setIsTRIP(true);
    QVERIFY(a != b);
    QVERIFY(!(a == b));
    // Unlisted bits do not take part.
    QCOMPARE(ChannelControl(0x0001), ChannelControl());
    // Command complete has no word bit, but two statuses that differ in it are not equal.
    ModuleStatus s1(0x0004), s2(0x0004);
    s2.setIsCCMPL(true);
    QCOMPARE(s1.toWord(), s2.toWord());
    QVERIFY(s1 != s2);
    // Reading a word keeps the flag that the word does not carry.
    s2.setWord(0x0008);
    QVERIFY(s2.isCCMPL());
    QVERIFY(s2.isHVON());
    QVERIFY(!s2.isSTOP());
}

void TestStatusWords::channelStatusFromLibrary_data()
{
    QTest::addColumn<quint32>("lib");
    QTest::addColumn<quint16>("word");
    QTest::newRow("nothing") << 0u << quint16(0);
    QTest::newRow("bit 7 on") << (1u << 7) << quint16(1u << 3);
    QTest::newRow("bit 11 ramp") << (1u << 11) << quint16(1u << 4);
    QTest::newRow("bit 12 ramp only") << (1u << 12) << quint16(1u << 4);
    QTest::newRow("bit 9 emergency") << (1u << 9) << quint16(1u << 5);
    QTest::newRow("bit 13 cc") << (1u << 13) << quint16(1u << 6);
    QTest::newRow("bit 23 cv") << (1u << 23) << quint16(1u << 7);
    QTest::newRow("bit 21 current bounds") << (1u << 21) << quint16(1u << 10);
    QTest::newRow("bit 4 voltage bounds") << (1u << 4) << quint16(1u << 11);
    QTest::newRow("bit 5 voltage bounds only") << (1u << 5) << quint16(1u << 11);
    QTest::newRow("bit 6 inhibit") << (1u << 6) << quint16(1u << 12);
    QTest::newRow("bit 2 trip") << (1u << 2) << quint16(1u << 13);
    QTest::newRow("bit 20 current limit") << (1u << 20) << quint16(1u << 14);
    QTest::newRow("bit 3 voltage limit") << (1u << 3) << quint16(1u << 15);
    QTest::newRow("bit 22 low current range") << (1u << 22) << quint16(1u << 8);
    // Bits the mapping does not name set nothing; isIERR is never set.
    QTest::newRow("unnamed bits") << ((1u << 0) | (1u << 1) | (1u << 8) | (1u << 10) | (1u << 14) |
                                      (1u << 15) | (1u << 16) | (1u << 17) | (1u << 18) | (1u << 19) |
                                      (1u << 24) | (1u << 31))
                                  << quint16(0);
    QTest::newRow("every bit") << 0xFFFFFFFFu << quint16(0xFDF8); // all but isIERR
}

void TestStatusWords::channelStatusFromLibrary()
{
    QFETCH(quint32, lib);
    QFETCH(quint16, word);
    const ChannelStatus s = ChannelStatus::fromLibrary(lib);
    QCOMPARE(s.toWord(), word);
    QVERIFY(!s.isIERR());
}

void TestStatusWords::switchValues_data()
{
    QTest::addColumn<quint16>("before");
    QTest::addColumn<int>("value");
    QTest::addColumn<quint16>("after");
    const quint16 meas = 0x0006, on = 0x0008, emcy = 0x0020, bounds = 0x0C00;
    QTest::newRow("10 keeps measurements, clears on and emergency")
        << quint16(meas | on | emcy) << 10 << meas;
    QTest::newRow("1 on") << quint16(0) << 1 << on;
    QTest::newRow("0 off") << quint16(on) << 0 << quint16(0);
    QTest::newRow("3 emergency") << quint16(on) << 3 << emcy;
    QTest::newRow("2 clears emergency") << quint16(emcy | meas) << 2 << meas;
    QTest::newRow("23 both measurements") << quint16(on) << 23 << meas;
    QTest::newRow("21 external only") << quint16(0x0004) << 21 << quint16(0x0002);
    QTest::newRow("22 ripple only") << quint16(0x0002) << 22 << quint16(0x0004);
    QTest::newRow("20 measurements off") << quint16(meas) << 20 << quint16(0);
    QTest::newRow("bounds never change") << quint16(bounds | on) << 0 << bounds;
    QTest::newRow("bounds stay on 23") << bounds << 23 << quint16(bounds | meas);
}

void TestStatusWords::switchValues()
{
    QFETCH(quint16, before);
    QFETCH(int, value);
    QFETCH(quint16, after);
    ChannelControl c(before);
    c.updateFromSwitch(value);
    QCOMPARE(c.toWord(), after);
    QCOMPARE(ChannelControl::fromSwitch(value, ChannelControl(before)).toWord(), after);
}

void TestStatusWords::switchWriting()
{
    ChannelControl c;
    QCOMPARE(c.switchValue(), 0);
    c.setSetON(true);
    QCOMPARE(c.switchValue(), 1);
    c.setSetEMCY(true);
    QCOMPARE(c.switchValue(), 3);
    c.setSetON(false);
    QCOMPARE(c.switchValue(), 3);

    ChannelControl m;
    QCOMPARE(m.measurementSwitchValue(), 20);
    m.setSetExternalMeas(true);
    QCOMPARE(m.measurementSwitchValue(), 21);
    m.setSetRipple(true);
    QCOMPARE(m.measurementSwitchValue(), 23);
    m.setSetExternalMeas(false);
    QCOMPARE(m.measurementSwitchValue(), 22);
    // Reading the written value gives the same measurement flags back.
    for (int v = 20; v <= 23; ++v)
        QCOMPARE(ChannelControl::fromSwitch(v).measurementSwitchValue(), v);
}

void TestStatusWords::moduleStatusFromLibrary_data()
{
    QTest::addColumn<int>("libBit");
    QTest::addColumn<QString>("flag");
    QTest::newRow("7") << 7 << "isADJ";
    QTest::newRow("5") << 5 << "isSTOP";
    QTest::newRow("2") << 2 << "isBIT5";
    QTest::newRow("1") << 1 << "isIERR";
    QTest::newRow("3") << 3 << "isSrvc";
    QTest::newRow("4") << 4 << "isHVON";
    QTest::newRow("8") << 8 << "isKILena";
    QTest::newRow("9") << 9 << "isTMPgd";
    QTest::newRow("10") << 10 << "isSPLYgd";
    QTest::newRow("11") << 11 << "isMODgd";
    QTest::newRow("12") << 12 << "isEVNTact";
    QTest::newRow("13") << 13 << "isSFLPgd";
    QTest::newRow("14") << 14 << "isnoRAMP";
    QTest::newRow("15") << 15 << "isnoSERR";
    QTest::newRow("0 nothing") << 0 << QString();
    QTest::newRow("6 nothing") << 6 << QString();
    QTest::newRow("16 nothing") << 16 << QString();
}

void TestStatusWords::moduleStatusFromLibrary()
{
    QFETCH(int, libBit);
    QFETCH(QString, flag);
    const ModuleStatus s = ModuleStatus::fromLibrary(1u << libBit);
    for (int i = 0; i < ModuleStatus::flagCount(); ++i)
        QCOMPARE(s.flag(i), ModuleStatus::flagName(i) == flag);
    // The library is the byte-wise mirror of the word form.
    if (!flag.isEmpty()) {
        const int expectedWordBit = libBit < 8 ? 7 - libBit : 23 - libBit;
        QCOMPARE(s.toWord(), quint16(1u << expectedWordBit));
    }
    // Never set by the library.
    const ModuleStatus all = ModuleStatus::fromLibrary(0xFFFFFFFFu);
    QVERIFY(!all.isILKO());
    QVERIFY(!all.isSPMD());
    QVERIFY(!all.isCCMPL());
}

void TestStatusWords::moduleEventStatusFromLibrary_data()
{
    QTest::addColumn<int>("libBit");
    QTest::addColumn<QString>("flag");
    QTest::newRow("7") << 7 << "EPWRFAIL";
    QTest::newRow("5") << 5 << "ESTOP";
    QTest::newRow("3") << 3 << "ESrvc";
    QTest::newRow("1") << 1 << "EIERR";
    QTest::newRow("13") << 13 << "ESFLPngd";
    QTest::newRow("10") << 10 << "ESPLYngd";
    QTest::newRow("9") << 9 << "ETMPngd";
    QTest::newRow("2") << 2 << "EBIT5";
    QTest::newRow("0 nothing") << 0 << QString();
    QTest::newRow("6 nothing") << 6 << QString();
    QTest::newRow("15 nothing") << 15 << QString();
}

void TestStatusWords::moduleEventStatusFromLibrary()
{
    QFETCH(int, libBit);
    QFETCH(QString, flag);
    const ModuleEventStatus s = ModuleEventStatus::fromLibrary(1u << libBit);
    for (int i = 0; i < ModuleEventStatus::flagCount(); ++i)
        QCOMPARE(s.flag(i), ModuleEventStatus::flagName(i) == flag);
    QVERIFY(!ModuleEventStatus::fromLibrary(0xFFFFFFFFu).ERESTART());
}

void TestStatusWords::eventLatching()
{
    ChannelEventStatus events;
    ChannelStatus status;
    status.setIsCLIM(true);
    status.setIsTRIP(true); // no event is derived from a trip on this side
    status.setIsON(true);
    events.latch(status);
    ChannelEventStatus expected;
    expected.setECLIM(true);
    QCOMPARE(events, expected);

    // A later status without the condition does not clear the latched event.
    events.latch(ChannelStatus());
    QCOMPARE(events, expected);

    ChannelStatus more;
    more.setIsVLIM(true);
    more.setIsEMCY(true);
    more.setIsEINH(true);
    more.setIsCC(true);
    more.setIsCV(true);
    events.latch(more);
    QCOMPARE(events.toWord(),
             quint16((1u << 14) | (1u << 15) | (1u << 5) | (1u << 12) | (1u << 6) | (1u << 7)));

    // Every status flag set latches only the six derived events.
    ChannelEventStatus fromAll;
    fromAll.latch(ChannelStatus::allSet());
    QCOMPARE(fromAll, events);

    // A reset mask clears exactly its flags.
    ChannelEventStatus mask;
    mask.setECLIM(true);
    mask.setEIERR(true); // not latched: no effect
    events.reset(mask);
    QVERIFY(!events.ECLIM());
    QVERIFY(events.EVLIM());
    QVERIFY(events.ECV());
    events.reset(ChannelEventStatus::allSet());
    QVERIFY(events.isEmpty());
}

void TestStatusWords::supervisionBehaviour()
{
    using namespace SupervisionBehavior;
    const int behaviour = 0x7F3F | (2 << 6); // other bits set, delayed-trip field 2
    QCOMPARE(delayedTripAction(behaviour), shutDownChannel);
    QCOMPARE(externalInhibitAction(0x3000), shutDownModule);
    QCOMPARE(externalInhibitAction(0x1000), rampDownChannel);

    const int changed = withDelayedTripAction(behaviour, rampDownChannel);
    QCOMPARE(delayedTripAction(changed), rampDownChannel);
    QCOMPARE(changed & ~0xC0, behaviour & ~0xC0); // every other bit kept

    // "No delayed trip" writes the field as 0.
    QCOMPARE(delayedTripAction(withDelayedTripAction(behaviour, delayedTripOff)), ignoreFailure);
    QCOMPARE(withDelayedTripAction(behaviour, delayedTripOff) & ~0xC0, behaviour & ~0xC0);

    const int inhibit = withExternalInhibitAction(0xFFFF, ignoreFailure);
    QCOMPARE(inhibit, 0xCFFF);
    QCOMPARE(withExternalInhibitAction(0, shutDownChannel), 0x2000);
    QCOMPARE(delayedTripAction(withExternalInhibitAction(0xC0, shutDownModule)), shutDownModule);
}

void TestStatusWords::labels()
{
    QCOMPARE(ChannelStatus::label(ChannelStatus::F_isEMCY), QStringLiteral("Emergency Off"));
    QCOMPARE(ChannelStatus::label(ChannelStatus::F_isLCR), QStringLiteral("Low Current Range"));
    QCOMPARE(ChannelEventMask::label(ChannelEventMask::F_EON2OFF), QStringLiteral("On to Off"));
    QCOMPARE(ModuleStatus::label(ModuleStatus::F_isnoSERR), QStringLiteral("No Sum Error"));
    QCOMPARE(ModuleStatus::altLabel(ModuleStatus::F_isnoSERR), QStringLiteral("Sum Error"));
    QCOMPARE(ModuleStatus::altLabel(ModuleStatus::F_isTMPgd), QStringLiteral("Temperature is too high"));
    QCOMPARE(ModuleEventStatus::altLabel(ModuleEventStatus::F_ESFLPngd),
             QStringLiteral("Safety Loop was open."));
    QVERIFY(ModuleEventStatus::label(ModuleEventStatus::F_EBIT5).isEmpty());
    QCOMPARE(ModuleStatus::indexOf(QStringLiteral("isHVON")), int(ModuleStatus::F_isHVON));
    QCOMPARE(ModuleStatus::indexOf(QStringLiteral("isFOO")), -1);
    QVERIFY(ChannelStatus::label(99).isEmpty());
}

void TestStatusWords::queuedSignals()
{
    QVERIFY(QMetaType::fromName("ModuleStatus").isValid());
    QVERIFY(QMetaType::fromName("ChannelEventStatus").isValid());
    VexaTypes::registerMetaTypes();
    QVERIFY(QMetaType::fromName("OutputSupervisionAction").isValid());

    // Across threads: the value arrives intact through a queued connection.
    QThread worker;
    Emitter emitter;
    emitter.moveToThread(&worker);
    ModuleStatus received;
    ChannelEventStatus receivedEvents;
    QObject receiver;
    connect(
        &emitter, &Emitter::moduleStatus, &receiver, [&](ModuleStatus s) { received = s; },
        Qt::QueuedConnection);
    connect(
        &emitter, &Emitter::channelEvents, &receiver, [&](ChannelEventStatus e) { receivedEvents = e; },
        Qt::QueuedConnection);
    worker.start();
    ModuleStatus sent(0x8A05);
    sent.setIsCCMPL(true);
    QMetaObject::invokeMethod(&emitter, [&] {
        emit emitter.moduleStatus(sent);
        emit emitter.channelEvents(ChannelEventStatus(0xFFFF));
    });
    QTRY_COMPARE(received, sent);
    QTRY_COMPARE(receivedEvents.toWord(), quint16(0xFCFC));
    worker.quit();
    worker.wait();
}

VEXA_TEST_GUILESS_MAIN(TestStatusWords)

#include "tst_statuswords.moc"
