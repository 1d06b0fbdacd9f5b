// Answers a crate should not give, or gives in its own way, from fakeagent:
// every one is decoded when it makes sense and otherwise fails cleanly.

#include "testenv.h"
#include "vexa_config.h"
#include "wiener_snmp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <memory>

class TestAccessLibOdd : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_address;
    QProcess m_agent;
    HSNMP m_handle = nullptr;

private slots:
    void initTestCase()
    {
        // a loopback address of our own, shared out like the simulator's
        const QString dir = QDir::tempPath() + QStringLiteral("/vexa-test-addresses");
        QDir().mkpath(dir);
        for (int n = 250; n >= 2 && m_address.isEmpty(); --n) {
            auto lock = std::make_unique<QLockFile>(dir + QStringLiteral("/127.0.0.%1.lock").arg(n));
            lock->setStaleLockTime(0);
            if (lock->tryLock(0)) {
                m_lock = std::move(lock);
                m_address = QStringLiteral("127.0.0.%1").arg(n);
            }
        }
        QVERIFY(!m_address.isEmpty());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VEXA_MIBDIR"), QStringLiteral(VEXA_SOURCE_MIBDIR));
        m_agent.setProcessEnvironment(env);
        m_agent.start(QStringLiteral(VEXA_BUILD_BINDIR "/../tests/fakeagent"), {m_address});
        QVERIFY2(m_agent.waitForStarted(5000), qPrintable(m_agent.errorString()));
        QByteArray output;
        QElapsedTimer waited;
        waited.start();
        while (!output.contains("fakeagent: ready") && m_agent.state() == QProcess::Running && waited.elapsed() < 10000) {
            m_agent.waitForReadyRead(100);
            output += m_agent.readAllStandardOutput();
        }
        QVERIFY2(output.contains("fakeagent: ready"), (output + m_agent.readAllStandardError()).constData());
        QCOMPARE(snmpInit(), 1);
        m_handle = snmpOpen(m_address.toLatin1().constData());
        QVERIFY(m_handle);
    }

    void cleanupTestCase()
    {
        snmpClose(m_handle);
        m_agent.terminate();
        if (!m_agent.waitForFinished(3000))
            m_agent.kill();
    }

    void plainIntegersForPhysicalValues()
    {
        QCOMPARE(getOutputVoltage(m_handle, 4), 50.0); // row 5, answered as INTEGER 50
        const SnmpDoubleRecord r = *getMultipleOutputVoltages(m_handle, 100, 8);
        QCOMPARE(r.count, 8);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(r.value[i], double((101 + i) * 10));
    }

    void opaqueDoubles()
    {
        QCOMPARE(getOutputCurrent(m_handle, 0), 0.25);
        const SnmpDoubleRecord r = *getMultipleOutputCurrents(m_handle, 300, 4);
        QCOMPARE(r.count, 4);
        QCOMPARE(r.value[3], 0.25 * 304);
    }

    void floatsAsInts()
    {
        QCOMPARE(getChannelSwitch(m_handle, 0), 1); // 1.9 truncated
        QCOMPARE(getMainSwitch(m_handle), 7);       // a Counter32
    }

    void longBitsKeepFourOctets()
    {
        QCOMPARE(unsigned(getChannelStatus(m_handle, 0)), 0x80001080u);
        const SnmpIntRecord r = *getMultipleChannelStatuses(m_handle, 0, 3);
        QCOMPARE(r.count, 3);
        QCOMPARE(unsigned(r.value[2]), 0x80001080u);
    }

    void texts()
    {
        QCOMPARE(QByteArray(getPsSerialNumber(m_handle)), QByteArray("AB")); // up to the zero byte
        QCOMPARE(QByteArray(getModuleDescription(m_handle, 0)), QByteArray(300, 'x'));
    }

    void answersThatDoNotMatch()
    {
        const SnmpDoubleRecord *shifted = getMultipleMeasurementCurrents(m_handle, 0, 8);
        QCOMPARE(shifted->count, 0);
        QVERIFY2(QByteArray(snmpGetLastError()).contains("does not match"), snmpGetLastError());
        QCOMPARE(getCurrentMeasurement(m_handle, 0), 0.0);

        const SnmpDoubleRecord *shortAnswer = getMultipleMeasurementTerminalVoltages(m_handle, 0, 8);
        QCOMPARE(shortAnswer->count, 0);
        QVERIFY2(QByteArray(snmpGetLastError()).contains("outputMeasurementTerminalVoltage.1"), snmpGetLastError());
        QCOMPARE(getMultipleMeasurementTerminalVoltages(m_handle, 0, 1)->count, 1);
    }

    void errorsAndNonValues()
    {
        QCOMPARE(getFanNominalSpeed(m_handle), 0);
        QString error = QString::fromLatin1(snmpGetLastError());
        QVERIFY2(error.contains(m_address) && error.contains(QLatin1String("fanNominalSpeed.0")) &&
                     (error.contains(QLatin1String("genErr"), Qt::CaseInsensitive) ||
                      error.contains(QLatin1String("general failure"), Qt::CaseInsensitive)),
                 qPrintable(error));
        QCOMPARE(getModuleStatus(m_handle, 0), 0); // answered with NULL
        QVERIFY(QByteArray(snmpGetLastError()).contains("moduleStatus.1"));
        QCOMPARE(getOutputConfigMaxCurrent(m_handle, 0), 0.0);
        QVERIFY(QByteArray(snmpGetLastError()).contains("no such object"));
        // the session is still fine
        QCOMPARE(getOutputVoltage(m_handle, 0), 10.0);
    }

    void writesReturnWhatTheAgentConfirmed()
    {
        // the agent confirms its own value, not the one sent
        QCOMPARE(setOutputVoltage(m_handle, 0, 12.0), 10.0);
        QCOMPARE(setChannelSwitch(m_handle, 0, 0), 1);
    }
};

VEXA_TEST_GUILESS_MAIN(TestAccessLibOdd)
#include "tst_accesslibodd.moc"
