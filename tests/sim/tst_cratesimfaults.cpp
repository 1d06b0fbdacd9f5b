// The faults through which every flag of the status / control dialogs can be
// provoked, over SNMP at ten times real speed: runaway voltage and current,
// mode STOP, and how each shows in the status words and latches and clears.

#include "cratesimprocess.h"
#include "snmpclient.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QElapsedTimer>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {
// Library bit numbers of the channel status.
constexpr quint32 Trip = 1u << 2, VoltageLimit = 1u << 3, MaxSense = 1u << 5, On = 1u << 7,
                  CurrentBounds = 1u << 21, ConstantVoltage = 1u << 23;
// Library bit numbers of the module status and event status.
constexpr quint32 Stop = 1u << 5, NoSumError = 1u << 15, StopEvent = 1u << 5;
} // namespace

class TestCrateSimFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void overVoltagePassesLimitAndBounds();
    void overCurrentPassesBoundsAndTrips();
    void stopHoldsChannelsOffAndLatches();
    void faultObjectsTakeOnlyZeroAndOne_data();
    void faultObjectsTakeOnlyZeroAndOne();

private:
    double measured(int index) { return m_read->real(QStringLiteral("outputMeasurementTerminalVoltage.%1").arg(index)); }
    quint32 status(int index) { return m_read->word(QStringLiteral("outputStatus.%1").arg(index)); }
    void switchOn(int index, double volts);

    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SnmpClient> m_read;
    std::unique_ptr<SnmpClient> m_write;
};

void TestCrateSimFaults::init()
{
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json");
    options.timeScale = 10;
    m_sim = std::make_unique<CrateSimProcess>(options);
    QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
    m_read = std::make_unique<SnmpClient>(m_sim->peer(), "kestra");
    m_write = std::make_unique<SnmpClient>(m_sim->peer(), "mavo");
    QTRY_VERIFY_WITH_TIMEOUT(!m_read->bytes(QStringLiteral("moduleDescription.1")).isEmpty(), 5000);
}

void TestCrateSimFaults::cleanup()
{
    m_read.reset();
    m_write.reset();
    m_sim.reset();
}

void TestCrateSimFaults::switchOn(int index, double volts)
{
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.%1").arg(index), volts));
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.%1").arg(index), 1));
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(index) - volts) < 1e-3, 5000);
}

void TestCrateSimFaults::overVoltagePassesLimitAndBounds()
{
    // 1000 V nominal: limit 1020 V, bounds 1050 V; the runaway goes to 1100 V.
    switchOn(2, 400.0);
    QVERIFY(!(status(2) & (VoltageLimit | MaxSense)));
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverVoltage.2"), 1));
    QCOMPARE(m_read->integer(QStringLiteral("cratesimChannelOverVoltage.2")), 1L);
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(2) - 1100.0) < 1e-3, 5000);
    QTRY_VERIFY_WITH_TIMEOUT((status(2) & (VoltageLimit | MaxSense)) == (VoltageLimit | MaxSense), 2000);
    // The neighbour is untouched.
    QVERIFY(!(status(1) & VoltageLimit));
    // The fault gone, the channel returns to its set value and both flags go.
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverVoltage.2"), 0));
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(measured(2) - 400.0) < 1e-3, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!(status(2) & (VoltageLimit | MaxSense)), 2000);
    QVERIFY(status(2) & ConstantVoltage);
}

void TestCrateSimFaults::overCurrentPassesBoundsAndTrips()
{
    // Without a trip action the channel stays on beyond its current bounds.
    switchOn(1, 300.0);
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverCurrent.1"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(status(1) & CurrentBounds, 2000);
    QVERIFY(std::fabs(m_read->real(QStringLiteral("cratesimChannelOutputCurrent.1")) - 0.0011) < 1e-9);
    QVERIFY(status(1) & On);
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverCurrent.1"), 0));
    QTRY_VERIFY_WITH_TIMEOUT(!(status(1) & CurrentBounds), 2000);

    // With one (switch off after 100 ms) it trips and stays off until cleared.
    QVERIFY(m_write->setInteger(QStringLiteral("outputSupervisionBehavior.1"), 2 << 6));
    QVERIFY(m_write->setInteger(QStringLiteral("outputTripTimeMaxCurrent.1"), 100));
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverCurrent.1"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(status(1) & Trip, 5000);
    QVERIFY(!(status(1) & (On | CurrentBounds)));
    QCOMPARE(measured(1), 0.0);
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.1")) & NoSumError));
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelOverCurrent.1"), 0));
    QVERIFY(m_write->setInteger(QStringLiteral("moduleDoClear.1"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(!(status(1) & Trip), 2000);
    QVERIFY(m_read->word(QStringLiteral("moduleStatus.1")) & NoSumError);
}

void TestCrateSimFaults::stopHoldsChannelsOffAndLatches()
{
    switchOn(3, 200.0);
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.1")) & Stop));
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimModuleStop.1"), 1));
    QCOMPARE(m_read->integer(QStringLiteral("cratesimModuleStop.1")), 1L);
    QTRY_VERIFY_WITH_TIMEOUT(m_read->word(QStringLiteral("moduleStatus.1")) & Stop, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(m_read->word(QStringLiteral("moduleEventStatus.1")) & StopEvent, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(measured(3), 0.0, 2000);
    QVERIFY(!(status(3) & On));
    // Other modules go on.
    QVERIFY(!(m_read->word(QStringLiteral("moduleStatus.3")) & Stop));
    // Switching on is taken but holds nothing while stopped.
    QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.3"), 1));
    QTest::qWait(200);
    QCOMPARE(measured(3), 0.0);

    QVERIFY(m_write->setInteger(QStringLiteral("cratesimModuleStop.1"), 0));
    QTRY_VERIFY_WITH_TIMEOUT(!(m_read->word(QStringLiteral("moduleStatus.1")) & Stop), 2000);
    // The event stays latched until the module's events are cleared.
    QVERIFY(m_read->word(QStringLiteral("moduleEventStatus.1")) & StopEvent);
    QVERIFY(m_write->setInteger(QStringLiteral("moduleDoClear.1"), 1));
    QVERIFY(!(m_read->word(QStringLiteral("moduleEventStatus.1")) & StopEvent));
    switchOn(3, 200.0);
}

void TestCrateSimFaults::faultObjectsTakeOnlyZeroAndOne_data()
{
    QTest::addColumn<QString>("object");
    QTest::newRow("stop") << "cratesimModuleStop.1";
    QTest::newRow("over-voltage") << "cratesimChannelOverVoltage.2";
    QTest::newRow("over-current") << "cratesimChannelOverCurrent.2";
}

void TestCrateSimFaults::faultObjectsTakeOnlyZeroAndOne()
{
    QFETCH(QString, object);
    QVERIFY(!m_write->setInteger(object, 2));
    QCOMPARE(m_read->integer(object), 0L);
    QVERIFY(m_write->setInteger(object, 1));
    QCOMPARE(m_read->integer(object), 1L);
    // Reads only with the read community.
    QVERIFY(!m_read->setInteger(object, 0));
    QCOMPARE(m_read->integer(object), 1L);
}

VEXA_TEST_GUILESS_MAIN(TestCrateSimFaults)
#include "tst_cratesimfaults.moc"
