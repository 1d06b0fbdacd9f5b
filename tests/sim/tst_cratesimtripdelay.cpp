// The delayed trip's timing as the simulator reports it: a channel held at
// its current limit trips after its trip time (within one simulation step of
// 20 ms), with the action of bits 6-7; a forced trip leaves the record alone.

#include "cratesimprocess.h"
#include "snmpclient.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QElapsedTimer>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {
constexpr quint32 Trip = 1u << 2, On = 1u << 7, ConstantCurrent = 1u << 13;
}

class TestCrateSimTripDelay : public QObject
{
    Q_OBJECT

private slots:
    void init()
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
    void cleanup()
    {
        m_read.reset();
        m_write.reset();
        m_sim.reset();
    }

    void tripWaitsItsTime_data()
    {
        QTest::addColumn<int>("tripMs");
        QTest::addColumn<int>("action");
        QTest::newRow("200 ms, switch off") << 200 << 2;
        QTest::newRow("1500 ms, ramp down") << 1500 << 1;
        QTest::newRow("4000 ms, module off") << 4000 << 3;
    }
    void tripWaitsItsTime()
    {
        QFETCH(int, tripMs);
        QFETCH(int, action);
        QCOMPARE(m_read->integer(QStringLiteral("cratesimChannelTripDelay.2")), -1L);
        QVERIFY(m_write->setInteger(QStringLiteral("outputSupervisionBehavior.2"), action << 6));
        QVERIFY(m_write->setInteger(QStringLiteral("outputTripTimeMaxCurrent.2"), tripMs));
        // 800 V into 1 Mohm would draw 0.8 mA; 0.3 mA holds it in current regulation.
        QVERIFY(m_write->setReal(QStringLiteral("cratesimChannelLoad.2"), 1e6));
        QVERIFY(m_write->setReal(QStringLiteral("outputCurrent.2"), 0.0003));
        QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.2"), 800.0));
        QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.1"), 100.0));
        QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.1"), 1));
        QVERIFY(m_write->setInteger(QStringLiteral("outputSwitch.2"), 1));
        QTRY_VERIFY_WITH_TIMEOUT(m_read->word(QStringLiteral("outputStatus.2")) & Trip, 10000);
        const long waited = m_read->integer(QStringLiteral("cratesimChannelTripDelay.2"));
        QVERIFY2(waited >= tripMs && waited <= tripMs + 20, qPrintable(QString::number(waited)));
        QVERIFY(!(m_read->word(QStringLiteral("outputStatus.2")) & (On | ConstantCurrent)));
        // Switch off and module off drop the output at once; ramp down leaves it falling.
        const double output = m_read->real(QStringLiteral("cratesimChannelOutputVoltage.2"));
        if (action == 1)
            QVERIFY2(output > 0.0, qPrintable(QString::number(output)));
        else
            QCOMPARE(output, 0.0);
        // Module off takes the other channel with it.
        QCOMPARE(bool(m_read->word(QStringLiteral("outputStatus.1")) & On), action != 3);

        QVERIFY(m_write->setInteger(QStringLiteral("cratesimChannelTrip.3"), 1));
        QCOMPARE(m_read->integer(QStringLiteral("cratesimChannelTripDelay.3")), -1L);
    }

private:
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SnmpClient> m_read;
    std::unique_ptr<SnmpClient> m_write;
};

VEXA_TEST_GUILESS_MAIN(TestCrateSimTripDelay)
#include "tst_cratesimtripdelay.moc"
