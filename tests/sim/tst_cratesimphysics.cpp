// The simulated modules and crate over SNMP, at ten times real speed: ramps,
// regulation, trips, inhibit, emergency off, main switch and mains, modules
// that stop answering, measurement-type modules, module events, state file.
// Every case gets a fresh simulator.

#include "cratesimprocess.h"
#include "snmpclient.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {
// Library bit numbers of the channel status.
constexpr quint32 Trip = 1u << 2, Inhibit = 1u << 6, On = 1u << 7, Emergency = 1u << 9, RampUp = 1u << 11,
                  RampDown = 1u << 12, ConstantCurrent = 1u << 13, ConstantVoltage = 1u << 23;
// Library bit numbers of the module status and events.
constexpr quint32 FineAdjustment = 1u << 7, KillEnable = 1u << 8, TemperatureGood = 1u << 9,
                  EventActive = 1u << 12, PowerFail = 1u << 7, TemperatureEvent = 1u << 9;
} // namespace

class TestCrateSimPhysics : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rampsUpAndDown();
    void moduleRampSpeedSetsChannelRates();
    void constantCurrentRegulation();
    void voltageLimit();
    void delayedTripNeedsClearedEvents();
    void externalInhibit();
    void emergencyOff();
    void mainSwitchOffAndOn();
    void mainsFailure();
    void moduleStopsAnswering();
    void measurementModule();
    void moduleEventsLatchUntilDoClear();
    void groupsSwitchActsCrateWide();
    void stateFileKeepsSetValues();

private:
    bool startSim(const QString &stateFile = QString());
    double measured(int index) { return m_read->real(QStringLiteral("outputMeasurementTerminalVoltage.%1").arg(index)); }
    quint32 status(int index) { return m_read->word(QStringLiteral("outputStatus.%1").arg(index)); }
    void switchOn(int index, double volts);

    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SnmpClient> m_read;
    std::unique_ptr<SnmpClient> m_write;
};

bool TestCrateSimPhysics::startSim(const QString &stateFile)
{
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json");
    options.timeScale = 10;
    options.stateFile = stateFile;
    m_sim = std::make_unique<CrateSimProcess>(options);
    if (!m_sim->start()) {
        qWarning() << m_sim->errorString();
        return false;
    }
    m_read = std::make_unique<SnmpClient>(m_sim->peer(), "kestra");
    m_write = std::make_unique<SnmpClient>(m_sim->peer(), "mavo");
    QElapsedTimer t;
    t.start();
    while (m_read->bytes(QStringLiteral("moduleDescription.1")).isEmpty() && t.elapsed() < 5000)
        QTest::qWait(20);
    return true;
}

void TestCrateSimPhysics::init() { QVERIFY(startSim()); }

void TestCrateSimPhysics::cleanup()
{
    m_read.reset();
    m_write.reset();
    m_sim.reset();
}

void TestCrateSimPhysics::switchOn(int index, double volts)
{
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.%1").arg(index), volts));
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.%1").arg(index), 1));
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(index) - volts) < 1e-3, 5000);
}

void TestCrateSimPhysics::rampsUpAndDown()
{
    // 10 % of 1000 V per second, ten times faster: 500 V take 0.5 s.
    QElapsedTimer clock;
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.1"), 500.0));
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.1"), 1));
    clock.start();
    const quint32 early = status(1);
    QVERIFY(early & On);
    QVERIFY(early & RampUp);
    QVERIFY(!(early & ConstantVoltage));
    QVERIFY(measured(1) < 450.0);
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(1) - 500.0) < 1e-3, 5000);
    QVERIFY2(clock.elapsed() >= 350, qPrintable(QString::number(clock.elapsed())));
    const quint32 settled = status(1);
    QVERIFY(settled & ConstantVoltage);
    QVERIFY(!(settled & (RampUp | RampDown)));
    // 500 V into 10 Mohm.
    QVERIFY(std::fabs(m_read->real(QStringLiteral("outputMeasurementCurrent.1")) - 50e-6) < 1e-9);
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.1")), 1L);

    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.1"), 0));
    const quint32 falling = status(1);
    QVERIFY(!(falling & On));
    QVERIFY(falling & RampDown);
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(1)) < 1e-3, 5000);
    QVERIFY(!(status(1) & RampDown));
}

void TestCrateSimPhysics::moduleRampSpeedSetsChannelRates()
{
    QVERIFY(m_write->setReal(QStringLiteral("moduleRampSpeedVoltage.1"), 20.0));
    QCOMPARE(m_read->real(QStringLiteral("moduleRampSpeedVoltage.1")), 20.0);
    QCOMPARE(m_read->real(QStringLiteral("outputVoltageRiseRate.3")), 200.0);
    QCOMPARE(m_read->real(QStringLiteral("outputVoltageFallRate.3")), 200.0);
    // Slot 2 keeps its own.
    QCOMPARE(m_read->real(QStringLiteral("outputVoltageRiseRate.201")), 100.0);
}

void TestCrateSimPhysics::constantCurrentRegulation()
{
    QVERIFY(m_write->setReal(QStringLiteral("cratesimChannelLoad.2"), 1e5));
    QVERIFY(m_write->setReal(QStringLiteral("outputCurrent.2"), 0.0005));
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.2"), 500.0));
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.2"), 1));
    // 0.5 mA into 100 kohm is 50 V: the voltage stops there.
    QTRY_VERIFY_WITH_TIMEOUT(status(2) & ConstantCurrent, 5000);
    QTest::qWait(300);
    QVERIFY(std::fabs(measured(2) - 50.0) < 1e-3);
    QVERIFY(std::fabs(m_read->real(QStringLiteral("outputMeasurementCurrent.2")) - 0.0005) < 1e-9);
    QVERIFY(!(status(2) & ConstantVoltage));
    // A larger load resistance lets it reach the set voltage in constant voltage.
    QVERIFY(m_write->setReal(QStringLiteral("cratesimChannelLoad.2"), 1e7));
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(2) - 500.0) < 1e-3, 5000);
    QVERIFY(status(2) & ConstantVoltage);
    QVERIFY(!(status(2) & ConstantCurrent));
}

void TestCrateSimPhysics::voltageLimit()
{
    QVERIFY(m_write->setReal(QStringLiteral("outputSupervisionMaxTerminalVoltage.1"), 300.0));
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.1"), 500.0));
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.1"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(1) - 300.0) < 1e-3, 5000);
    QTest::qWait(200);
    QVERIFY(std::fabs(measured(1) - 300.0) < 1e-3);
    QVERIFY(status(1) & (1u << 3)); // voltage limit
    QVERIFY(m_write->setReal(QStringLiteral("outputSupervisionMaxTerminalVoltage.1"), 1000.0));
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(1) - 500.0) < 1e-3, 5000);
    QVERIFY(!(status(1) & (1u << 3)));
}

void TestCrateSimPhysics::delayedTripNeedsClearedEvents()
{
    // Delayed trip: switch the channel off (action 2 in bits 6-7) after 200 ms.
    QVERIFY(m_write->setInteger(QStringLiteral("outputSupervisionBehavior.3"), 2 << 6));
    QVERIFY(m_write->setInteger(QStringLiteral("outputTripTimeMaxCurrent.3"), 200));
    switchOn(3, 300.0);
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverload.3"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(status(3) & Trip, 5000);
    QVERIFY(!(status(3) & On));
    QCOMPARE(measured(3), 0.0);
    QCOMPARE(m_read->integer(QStringLiteral("cratesimChannelTrip.3")), 1L);
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.3")), 0L);

    // Switched on again, it stays at 0 while its events are not cleared.
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverload.3"), 0));
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.3"), 1));
    QTest::qWait(300);
    QCOMPARE(measured(3), 0.0);
    QVERIFY(status(3) & Trip);
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.3"), 10));
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(3) - 300.0) < 1e-3, 5000);
    QVERIFY(!(status(3) & Trip));
}

void TestCrateSimPhysics::externalInhibit()
{
    // Inhibit action 2 (bits 12-13): switch off at once.
    QVERIFY(m_write->setInteger(QStringLiteral("outputSupervisionBehavior.4"), 2 << 12));
    switchOn(4, 200.0);
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelInhibit.4"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(status(4) & Inhibit, 2000);
    QCOMPARE(measured(4), 0.0);
    QVERIFY(!(status(4) & On));
    // The module reports an active event and a sum error.
    const quint32 module = m_read->word(QStringLiteral("moduleStatus.1"));
    QVERIFY(module & EventActive);
    QVERIFY(!(module & (1u << 15)));

    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelInhibit.4"), 0));
    QVERIFY(status(4) & Inhibit); // latched
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.4"), 10));
    QVERIFY(!(status(4) & Inhibit));
    switchOn(4, 200.0);

    // Action 0 only reports the inhibit.
    QVERIFY(m_write->setInteger(QStringLiteral("outputSupervisionBehavior.4"), 0));
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelInhibit.4"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(status(4) & Inhibit, 2000);
    QVERIFY(std::fabs(measured(4) - 200.0) < 1e-3);
}

void TestCrateSimPhysics::emergencyOff()
{
    switchOn(202, -200.0);
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.202"), 3));
    // The output drops at once and the set voltage is reset.
    QCOMPARE(measured(202), 0.0);
    QCOMPARE(m_read->real(QStringLiteral("outputVoltage.202")), 0.0);
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.202")), 3L);
    QVERIFY(status(202) & Emergency);
    // "On" is taken, also inside an all-channels SET, but the channel stays off
    // until the emergency off is reset; its neighbour does go on.
    const long neighbour = m_read->integer(QStringLiteral("outputSwitch.201"));
    QCOMPARE(m_write->set({{QStringLiteral("outputSwitch.201"), 'i', 1}, {QStringLiteral("outputSwitch.202"), 'i', 1}})
                 .errorStatus,
             long(SNMP_ERR_NOERROR));
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.202")), 3L);
    QVERIFY(status(202) & Emergency);
    QVERIFY(!(status(202) & On));
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.201")), 1L);
    QCOMPARE(measured(202), 0.0);
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.201"), neighbour));
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.202"), 2));
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.202")), 0L);
    QVERIFY(!(status(202) & Emergency));
    switchOn(202, -100.0);
}

void TestCrateSimPhysics::mainSwitchOffAndOn()
{
    switchOn(1, 100.0);
    QVERIFY(m_write->setInteger(QStringLiteral("sysMainSwitch.0"), 0));
    QCOMPARE(m_read->integer(QStringLiteral("sysMainSwitch.0")), 0L);
    QCOMPARE(m_read->bytes(QStringLiteral("moduleDescription.1")), QByteArray());
    QCOMPARE(m_read->bytes(QStringLiteral("moduleDescription.4")), QByteArray());
    QCOMPARE(measured(1), 0.0);
    QCOMPARE(status(1), 0u);
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.1")), 0L);
    // sysStatus named bit 0 (mainOn) is the top bit of octet 0.
    QCOMPARE(quint8(m_read->bytes(QStringLiteral("sysStatus.0")).at(0)) & 0x80, 0);
    QCOMPARE(m_write->set({{QStringLiteral("outputSwitch.1"), 'i', 1}}).errorStatus, long(SNMP_ERR_INCONSISTENTVALUE));

    QVERIFY(m_write->setInteger(QStringLiteral("sysMainSwitch.0"), 1));
    QTRY_COMPARE_WITH_TIMEOUT(m_read->bytes(QStringLiteral("moduleDescription.1")),
                              QByteArray("vexa, T03X0, 4, 100123, 05.12"), 5000);
    QVERIFY(quint8(m_read->bytes(QStringLiteral("sysStatus.0")).at(0)) & 0x80);
    // Channels come back off; the set voltage is kept.
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.1")), 0L);
    QCOMPARE(m_read->real(QStringLiteral("outputVoltage.1")), 100.0);
    switchOn(1, 100.0);
}

void TestCrateSimPhysics::mainsFailure()
{
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimMains.0"), 0));
    // inputFailure is named bit 3: 0x10 in octet 0.
    QVERIFY(quint8(m_read->bytes(QStringLiteral("sysStatus.0")).at(0)) & 0x10);
    QCOMPARE(m_read->bytes(QStringLiteral("moduleDescription.1")), QByteArray());
    QCOMPARE(m_read->real(QStringLiteral("psAuxiliaryMeasurementVoltage.5")), 0.0);
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimMains.0"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(!m_read->bytes(QStringLiteral("moduleDescription.1")).isEmpty(), 5000);
    QVERIFY(m_read->word(QStringLiteral("moduleEventStatus.1")) & PowerFail);
    QVERIFY(m_write->setInteger(QStringLiteral("moduleDoClear.1"), 1));
    QCOMPARE(m_read->word(QStringLiteral("moduleEventStatus.1")), 0u);
}

void TestCrateSimPhysics::moduleStopsAnswering()
{
    const long outputs = m_read->integer(QStringLiteral("outputNumber.0"));
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimModuleResponding.1"), 0));
    const SnmpAnswer gone = m_read->get({QStringLiteral("moduleDescription.1"), QStringLiteral("outputVoltage.1"),
                                         QStringLiteral("moduleDescription.3")});
    QCOMPARE(gone.type(0), int(SNMP_NOSUCHINSTANCE));
    QCOMPARE(gone.type(1), int(SNMP_NOSUCHINSTANCE));
    QCOMPARE(gone.type(2), int(ASN_OCTET_STR));
    QCOMPARE(m_read->integer(QStringLiteral("outputNumber.0")), outputs - 4);
    // The control row stays, so the module can be brought back.
    QCOMPARE(m_read->integer(QStringLiteral("cratesimModuleResponding.1")), 0L);
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimModuleResponding.1"), 1));
    QCOMPARE(m_read->bytes(QStringLiteral("moduleDescription.1")), QByteArray("vexa, T03X0, 4, 100123, 05.12"));
    QCOMPARE(m_read->integer(QStringLiteral("outputNumber.0")), outputs);
}

void TestCrateSimPhysics::measurementModule()
{
    // Set values read 0 on a measurement-type module.
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.301"), 5.0));
    QCOMPARE(m_read->real(QStringLiteral("outputVoltage.301")), 0.0);
    QCOMPARE(m_read->real(QStringLiteral("outputCurrent.301")), 0.0);
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.301")), 20L);
    QCOMPARE(measured(301), 0.0);
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.301"), 21));
    QCOMPARE(m_read->integer(QStringLiteral("outputSwitch.301")), 21L);
    QVERIFY(std::fabs(measured(301) - 1.5) < 1e-6);
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.302"), 23));
    QVERIFY(std::fabs(measured(302) - 2.5) < 1e-6);
    QVERIFY(m_write->setReal(QStringLiteral("cratesimChannelMeasuredInput.302"), 7.25));
    QVERIFY(std::fabs(measured(302) - 7.25) < 1e-6);
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.302"), 20));
    QCOMPARE(measured(302), 0.0);
    // On and off still work; measurement switches are not for other modules.
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.303"), 1));
    QCOMPARE(m_write->set({{QStringLiteral("outputSwitch.1"), 'i', 22}}).errorStatus, long(SNMP_ERR_WRONGVALUE));
}

void TestCrateSimPhysics::moduleEventsLatchUntilDoClear()
{
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.1")) & TemperatureGood);
    QVERIFY(m_write->setReal(QStringLiteral("cratesimModuleTemperature.1"), 60.0));
    QTRY_VERIFY_WITH_TIMEOUT(m_read->word(QStringLiteral("moduleEventStatus.1")) & TemperatureEvent, 2000);
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.1")) & TemperatureGood));
    QVERIFY(std::fabs(m_read->real(QStringLiteral("moduleAuxTemperature0.1")) - 60.0) < 1e-6);
    QVERIFY(m_write->setReal(QStringLiteral("cratesimModuleTemperature.1"), 30.0));
    QTest::qWait(100);
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.1")) & TemperatureGood);
    QVERIFY(m_read->word(QStringLiteral("moduleEventStatus.1")) & TemperatureEvent);
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.1")) & EventActive);
    QVERIFY(m_write->setInteger(QStringLiteral("moduleDoClear.1"), 1));
    QCOMPARE(m_read->word(QStringLiteral("moduleEventStatus.1")), 0u);
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.1")) & EventActive));
}

void TestCrateSimPhysics::groupsSwitchActsCrateWide()
{
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.1")) & KillEnable));
    QVERIFY(m_write->setInteger(QStringLiteral("highVoltageGroupsSwitch.0"), 5));
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.1")) & KillEnable);
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.3")) & KillEnable);
    QCOMPARE(m_read->integer(QStringLiteral("highVoltageGroupsSwitch.0")), 5L);
    QVERIFY(m_write->setInteger(QStringLiteral("highVoltageGroupsSwitch.0"), 4));
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.1")) & KillEnable));
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.1")) & FineAdjustment);
    QVERIFY(m_write->setInteger(QStringLiteral("highVoltageGroupsSwitch.0"), 6));
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.5")) & FineAdjustment));
    QVERIFY(m_write->setInteger(QStringLiteral("highVoltageGroupsSwitch.0"), 7));
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.5")) & FineAdjustment);
}

void TestCrateSimPhysics::stateFileKeepsSetValues()
{
    cleanup();
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("crate.state"));
    QVERIFY(startSim(state));
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.2"), 432.0));
    QVERIFY(m_write->setInteger(QStringLiteral("outputTripTimeMaxCurrent.402"), 1234));
    QVERIFY(m_write->setReal(QStringLiteral("moduleRampSpeedVoltage.3"), 7.5));
    m_sim->stop();
    QVERIFY(QFile::exists(state));
    QVERIFY(m_sim->restart());
    QTRY_VERIFY_WITH_TIMEOUT(!m_read->bytes(QStringLiteral("moduleDescription.1")).isEmpty(), 5000);
    QCOMPARE(m_read->real(QStringLiteral("outputVoltage.2")), 432.0);
    QCOMPARE(m_read->integer(QStringLiteral("outputTripTimeMaxCurrent.402")), 1234L);
    QCOMPARE(m_read->real(QStringLiteral("moduleRampSpeedVoltage.3")), 7.5);
    // A channel that was not written keeps its default.
    QCOMPARE(m_read->real(QStringLiteral("outputVoltage.3")), 0.0);
}

VEXA_TEST_GUILESS_MAIN(TestCrateSimPhysics)
#include "tst_cratesimphysics.moc"
