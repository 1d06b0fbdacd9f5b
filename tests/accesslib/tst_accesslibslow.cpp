// A slow agent: the session's time-out and retries bound every call, late
// answers to earlier requests are never taken for the answer to a later one,
// and the time-out can be set for new sessions through the environment.

#include "cratesimprocess.h"
#include "testenv.h"
#include "wiener_snmp.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

class TestAccessLibSlow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CrateSimProcess> m_sim;

    HSNMP openWith(int timeoutMs, int retries)
    {
        qputenv("VEXA_SNMP_TIMEOUT_MS", QByteArray::number(timeoutMs));
        qputenv("VEXA_SNMP_RETRIES", QByteArray::number(retries));
        HSNMP h = snmpOpen(m_sim->address().toLatin1().constData());
        qunsetenv("VEXA_SNMP_TIMEOUT_MS");
        qunsetenv("VEXA_SNMP_RETRIES");
        return h;
    }

private slots:
    void initTestCase()
    {
        CrateSimProcess::Options options; // the demo crate
        options.delayMs = 200;
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        QCOMPARE(snmpInit(), 1);
    }

    void defaultSessionWaitsLongEnough()
    {
        HSNMP h = snmpOpen(m_sim->address().toLatin1().constData());
        QVERIFY(h);
        QVERIFY2(!QByteArray(getPsSerialNumber(h)).isEmpty(), snmpGetLastError());
        QCOMPARE(getMainSwitch(h), 1);
        snmpClose(h);
    }

    void shortTimeoutFailsWithinItsBound()
    {
        HSNMP h = openWith(60, 1);
        QVERIFY(h);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(QByteArray(getPsSerialNumber(h)), QByteArray());
        const qint64 elapsed = timer.elapsed();
        QVERIFY2(elapsed >= 100 && elapsed < 60 * 2 + 600, qPrintable(QString::number(elapsed)));
        QVERIFY2(QByteArray(snmpGetLastError()).contains("no answer within 60 ms and 1 retries"), snmpGetLastError());
        snmpClose(h);
    }

    void lateAnswersAreNotTakenForNewOnes()
    {
        HSNMP h = openWith(150, 0);
        QVERIFY(h);
        // each call gives up before its answer comes; the answer then arrives
        // while the next call waits for its own
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(getFanNominalSpeed(h), 0);
            QCOMPARE(getMainSwitch(h), 0);
            QCOMPARE(getMultipleOutputConfigMaxTerminalVoltages(h, 0, 8)->count, 0);
        }
        snmpClose(h);
        // a patient session on the same agent gets its answers once the agent
        // has worked off the requests given up on (it answers one at a time)
        HSNMP patient = openWith(1000, 0);
        QVERIFY(patient);
        QTRY_COMPARE_WITH_TIMEOUT(getMainSwitch(patient), 1, 10000);
        QCOMPARE(getMultipleOutputConfigMaxTerminalVoltages(patient, 0, 8)->count, 8);
        snmpClose(patient);
    }

    void badSettingsFallBackToDefaults()
    {
        HSNMP h = nullptr;
        qputenv("VEXA_SNMP_TIMEOUT_MS", "soon");
        qputenv("VEXA_SNMP_RETRIES", "-3");
        h = snmpOpen(m_sim->address().toLatin1().constData());
        qunsetenv("VEXA_SNMP_TIMEOUT_MS");
        qunsetenv("VEXA_SNMP_RETRIES");
        QVERIFY(h);
        QCOMPARE(getMainSwitch(h), 1); // 300 ms per try is enough for this agent
        snmpClose(h);
    }
};

VEXA_TEST_GUILESS_MAIN(TestAccessLibSlow)
#include "tst_accesslibslow.moc"
