// The crate and module models without SNMP: ramp arithmetic, bipolar ramps
// through zero, trip actions, kill enable, safety loop, power cycles, groups
// switch and crate file parsing.

#include "cratefile.h"
#include "cratemodel.h"
#include "testenv.h"

#include <QtTest>
#include <cmath>

namespace {
SimModule::Config hvConfig(int slot = 0, int channels = 4)
{
    SimModule::Config c;
    c.slot = slot;
    c.vendor = QStringLiteral("vexa");
    c.typeCode = QStringLiteral("T03X0");
    c.serialNumber = 1000 + slot;
    c.firmwareRelease = QStringLiteral("05.12");
    c.channels = channels;
    c.nominalVoltage = 1000.0;
    c.nominalCurrent = 0.001;
    c.rampSpeedVoltage = 10.0; // 100 V/s
    c.loads = {1e7};
    return c;
}

CrateModel::Config crateConfig()
{
    CrateModel::Config c;
    c.bootMs = 0.0;
    c.noise = 0.0;
    return c;
}

void run(CrateModel &crate, double seconds)
{
    const int steps = int(std::ceil(seconds / 0.01));
    for (int i = 0; i < steps; ++i)
        crate.tick(seconds / steps);
}
} // namespace

class TestSimModel : public QObject
{
    Q_OBJECT

private slots:
    void rampTakesNominalPercentPerSecond();
    void bipolarRampCrossesZero();
    void tripActions_data();
    void tripActions();
    void delayedTripWaitsForTripTime();
    void killEnableTurnsRampDownIntoSwitchOff();
    void safetyLoopSwitchesOff();
    void powerCycleForgetsOutputState();
    void groupsSwitch();
    void descriptionAndBits();
    void crateFileDefaults();
    void measurementSwitchOffEndsMeasurement_data();
    void measurementSwitchOffEndsMeasurement();
};

void TestSimModel::rampTakesNominalPercentPerSecond()
{
    CrateModel crate(crateConfig());
    crate.addModule(hvConfig());
    SimChannel &ch = crate.module(0)->channel(0);
    ch.voltageSet = 500.0;
    QVERIFY(ch.applySwitch(1, true, false));
    run(crate, 2.0);
    QVERIFY(std::fabs(ch.outputVoltage() - 200.0) < 1.0);
    QVERIFY(ch.isRamping());
    run(crate, 3.5);
    QCOMPARE(ch.outputVoltage(), 500.0);
    QVERIFY(!ch.isRamping());
    QVERIFY(std::fabs(ch.outputCurrent() - 5e-5) < 1e-12);
}

void TestSimModel::bipolarRampCrossesZero()
{
    CrateModel crate(crateConfig());
    SimModule::Config c = hvConfig();
    c.bipolar = true;
    crate.addModule(c);
    SimChannel &ch = crate.module(0)->channel(1);
    ch.voltageSet = 100.0;
    ch.applySwitch(1, true, false);
    run(crate, 1.5);
    QCOMPARE(ch.outputVoltage(), 100.0);
    ch.voltageSet = -100.0;
    run(crate, 1.0);
    QVERIFY(std::fabs(ch.outputVoltage()) < 1.0); // halfway: through zero
    run(crate, 1.5);
    QCOMPARE(ch.outputVoltage(), -100.0);
    QVERIFY(ch.outputCurrent() < 0.0);
    QVERIFY(ch.statusWord(false) & (1u << SimChannel::ConstantVoltageBit));
}

void TestSimModel::tripActions_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("dropsAtOnce");
    QTest::addColumn<bool>("othersOff");
    QTest::newRow("ramp down") << 1 << false << false;
    QTest::newRow("switch off") << 2 << true << false;
    QTest::newRow("module off") << 3 << true << true;
}

void TestSimModel::tripActions()
{
    QFETCH(int, action);
    QFETCH(bool, dropsAtOnce);
    QFETCH(bool, othersOff);
    CrateModel crate(crateConfig());
    crate.addModule(hvConfig());
    SimModule &m = *crate.module(0);
    for (int n = 0; n < 2; ++n) {
        m.channel(n).voltageSet = 300.0;
        m.channel(n).applySwitch(1, true, false);
    }
    m.channel(0).behaviour = action << 6;
    run(crate, 4.0);
    QCOMPARE(m.channel(0).outputVoltage(), 300.0);
    m.channel(0).trip(m);
    QVERIFY(m.channel(0).isTripped());
    QVERIFY(!m.channel(0).isOn());
    QCOMPARE(m.channel(0).outputVoltage() == 0.0, dropsAtOnce);
    QCOMPARE(m.channel(1).outputVoltage() == 0.0, othersOff);
    QVERIFY(m.channel(0).statusWord(false) & (1u << SimChannel::TripBit));
    QVERIFY(!(m.statusWord() & (1u << SimModule::NoSumErrorBit)));
    run(crate, 0.5);
    QVERIFY(m.channel(0).outputVoltage() <= 250.0);
    // Switched on again it stays down until the events are cleared.
    m.channel(0).applySwitch(1, true, false);
    run(crate, 4.0);
    QCOMPARE(m.channel(0).outputVoltage(), 0.0);
    m.channel(0).applySwitch(10, true, false);
    run(crate, 4.0);
    QCOMPARE(m.channel(0).outputVoltage(), 300.0);
}

void TestSimModel::delayedTripWaitsForTripTime()
{
    CrateModel crate(crateConfig());
    crate.addModule(hvConfig());
    SimChannel &ch = crate.module(0)->channel(0);
    ch.voltageSet = 300.0;
    ch.applySwitch(1, true, false);
    ch.behaviour = 2 << 6;
    ch.tripTimeMs = 500;
    run(crate, 4.0);
    ch.overload = true;
    run(crate, 0.3);
    QVERIFY(!ch.isTripped());
    QVERIFY(ch.statusWord(false) & (1u << SimChannel::ConstantCurrentBit));
    run(crate, 0.3);
    QVERIFY(ch.isTripped());
    // Without a trip action the channel just stays in current regulation.
    ch.applySwitch(10, true, false);
    ch.behaviour = 0;
    ch.applySwitch(1, true, false);
    run(crate, 5.0);
    QVERIFY(!ch.isTripped());
    QVERIFY(ch.statusWord(false) & (1u << SimChannel::ConstantCurrentBit));
}

void TestSimModel::killEnableTurnsRampDownIntoSwitchOff()
{
    CrateModel crate(crateConfig());
    crate.addModule(hvConfig());
    SimModule &m = *crate.module(0);
    m.killEnable = true;
    m.channel(0).voltageSet = 300.0;
    m.channel(0).applySwitch(1, true, false);
    m.channel(0).behaviour = 1 << 6;
    run(crate, 4.0);
    m.channel(0).trip(m);
    QCOMPARE(m.channel(0).outputVoltage(), 0.0);
}

void TestSimModel::safetyLoopSwitchesOff()
{
    CrateModel crate(crateConfig());
    crate.addModule(hvConfig());
    SimModule &m = *crate.module(0);
    m.channel(2).voltageSet = 100.0;
    m.channel(2).applySwitch(1, true, false);
    run(crate, 1.5);
    m.safetyLoopOpen = true;
    run(crate, 0.05);
    QCOMPARE(m.channel(2).outputVoltage(), 0.0);
    QVERIFY(!(m.statusWord() & (1u << SimModule::SafetyLoopGoodBit)));
    QVERIFY(m.eventWord() & (1u << SimModule::EventSafetyLoop));
}

void TestSimModel::powerCycleForgetsOutputState()
{
    CrateModel::Config cc = crateConfig();
    cc.bootMs = 1000.0;
    CrateModel crate(cc);
    crate.addModule(hvConfig());
    SimModule &m = *crate.module(0);
    QVERIFY(m.isBooted()); // powered at start without boot delay
    m.channel(0).voltageSet = 200.0;
    m.channel(0).applySwitch(3, true, false);
    QVERIFY(m.channel(0).isEmergency());
    crate.setMainSwitch(false);
    QVERIFY(!m.isPowered());
    QCOMPARE(m.statusWord(), 0u);
    crate.setMainSwitch(true);
    QVERIFY(!m.isBooted());
    run(crate, 0.5);
    QVERIFY(!m.isBooted());
    run(crate, 0.6);
    QVERIFY(m.isBooted());
    QVERIFY(!m.channel(0).isEmergency());
    QVERIFY(!m.channel(0).isOn());
}

void TestSimModel::groupsSwitch()
{
    CrateModel crate(crateConfig());
    crate.addModule(hvConfig(0));
    SimModule::Config lv = hvConfig(1);
    lv.kind = SimModule::Kind::LowVoltage;
    crate.addModule(lv);
    QVERIFY(crate.applyGroupsSwitch(true, 1));
    QVERIFY(crate.module(0)->channel(3).isOn());
    QVERIFY(!crate.module(1)->channel(3).isOn());
    QVERIFY(crate.applyGroupsSwitch(false, 1));
    QVERIFY(crate.module(1)->channel(3).isOn());
    QVERIFY(crate.applyGroupsSwitch(true, 3));
    QVERIFY(crate.module(0)->channel(0).isEmergency());
    QVERIFY(!crate.module(1)->channel(0).isEmergency());
    QVERIFY(!crate.applyGroupsSwitch(true, 8));
    QCOMPARE(crate.groupsSwitch(true), 3);
}

void TestSimModel::descriptionAndBits()
{
    SimModule m(hvConfig(3, 8));
    QCOMPARE(m.description(QString()), QStringLiteral("vexa, T03X0, 8, 1003, 05.12"));
    QCOMPARE(m.description(QStringLiteral("06.00")), QStringLiteral("vexa, T03X0, 8, 1003, 06.00"));
    CrateModel crate(crateConfig());
    crate.setMains(false);
    QVERIFY(crate.statusBits() & (1u << 3));
    QVERIFY(!(crate.statusBits() & 1u));
    const QString d = crate.systemDescription();
    QVERIFY(d.contains(QRegularExpression(QStringLiteral("\\(\\d+,"))));
    QVERIFY(d.contains(QRegularExpression(QStringLiteral("MPOD \\d+\\.\\d+\\.\\d+\\.\\d+"))));
}

void TestSimModel::crateFileDefaults()
{
    CrateFile file;
    QVERIFY2(file.parse(R"({"crate": {"ipStaticAddress": "127.1.2.3"},
                            "modules": [{"slot": 4, "type": "T25X0", "channels": 2,
                                         "nominalVoltage": 10, "nominalCurrent": 0.001},
                                        {"slot": 5, "type": "T15X0", "channels": 1,
                                         "nominalVoltage": 10, "nominalCurrent": 0.001, "load": [5, 6]}]})"),
             qPrintable(file.errorString()));
    QCOMPARE(file.modules().size(), size_t(2));
    QCOMPARE(file.modules()[0].kind, SimModule::Kind::Measurement);
    QVERIFY(file.modules()[0].currentRegulation);
    QVERIFY(!file.modules()[1].currentRegulation); // no current regulation for this type
    QCOMPARE(file.modules()[0].vendor, QStringLiteral("vexa"));
    // First octet in the lowest byte.
    QCOMPARE(file.crate().ipStaticAddress, quint32(0x0302017f));
    QVERIFY(!file.parse(R"({"crate": {"fanNominalSpeed": 700}})"));
    QVERIFY(file.errorString().contains(QStringLiteral("fanNominalSpeed")));
    QVERIFY(!file.parse(R"({"crate": {"psSerialNumber": ""}})"));
    QVERIFY(!file.parse(R"({"modules": [{"slot": 1, "type": "X", "channels": 2, "nominalVoltage": 0, "nominalCurrent": 1}]})"));
    QVERIFY(!file.parse(R"({"modules": [{"slot": 1, "type": "X", "channels": 2, "kind": "gas", "nominalVoltage": 1, "nominalCurrent": 1}]})"));
    QVERIFY(file.errorString().contains(QStringLiteral("kind")));
}


void TestSimModel::measurementSwitchOffEndsMeasurement_data()
{
    QTest::addColumn<int>("enabled");
    QTest::newRow("external") << 21;
    QTest::newRow("ripple") << 22;
    QTest::newRow("both") << 23;
}

// The operator program disables one measurement of a measurement-type module
// by writing switch 0; the switch must read back as 20 afterwards.
void TestSimModel::measurementSwitchOffEndsMeasurement()
{
    QFETCH(int, enabled);
    SimModule::Config c = hvConfig();
    c.kind = SimModule::Kind::Measurement;
    SimModule m(c);
    SimChannel &ch = m.channel(1);
    QVERIFY(ch.applySwitch(enabled, true, true));
    QCOMPARE(ch.switchValue(true), enabled);
    QVERIFY(ch.statusWord(true) & (1u << SimChannel::OnBit));
    QVERIFY(ch.applySwitch(0, true, true));
    QCOMPARE(ch.switchValue(true), 20);
    QCOMPARE(ch.userConfig & 3, 0);
    QVERIFY(!(ch.statusWord(true) & (1u << SimChannel::OnBit)));
}

VEXA_TEST_GUILESS_MAIN(TestSimModel)
#include "tst_simmodel.moc"
