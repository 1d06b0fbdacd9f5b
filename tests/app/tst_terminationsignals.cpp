// kill, Ctrl+C and a closed terminal end cratectl through its close path: the
// address lock is released and the process ends normally. In-process: a signal
// becomes one emission from the event loop, never work inside the handler.
#include "addresslocker.h"
#include "cratesimprocess.h"
#include "terminationsignals.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private:
    static void signalRows()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

private slots:
    void signalIsReportedFromTheEventLoop_data() { signalRows(); }
    void signalIsReportedFromTheEventLoop()
    {
        QFETCH(int, number);
        TerminationSignals handler;
        QVERIFY(handler.isInstalled());
        QVERIFY(!TerminationSignals(nullptr).isInstalled());
        QSignalSpy spy(&handler, &TerminationSignals::received);
        QCOMPARE(::raise(number), 0);
        QCOMPARE(spy.count(), 0);
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), number);
        QCOMPARE(TerminationSignals::lastSignal(), number);
    }

    void cratectlReleasesItsAddressOnASignal_data() { signalRows(); }
    void cratectlReleasesItsAddressOnASignal()
    {
        QFETCH(int, number);
        CrateSimProcess sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        TestEnv::setCrateAddress(sim.address());

        QProcess cratectl;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("cratectl.*.debug=true"));
        cratectl.setProcessEnvironment(env);
        cratectl.setProcessChannelMode(QProcess::MergedChannels);
        cratectl.setWorkingDirectory(TestEnv::homeDir());
        cratectl.start(QStringLiteral(VEXA_BUILD_BINDIR "/cratectl"), {});
        QVERIFY2(cratectl.waitForStarted(10000), qPrintable(cratectl.errorString()));
        // Connected, modules found, refreshing: a close now would ask whether to
        // ramp down, and nobody is there to answer.
        QByteArray output;
        const bool refreshing = QTest::qWaitFor(
            [&] {
                output += cratectl.readAll();
                return output.contains("refreshTable(channel):") || cratectl.state() == QProcess::NotRunning;
            },
            60000);
        QVERIFY2(refreshing && cratectl.state() == QProcess::Running, output.right(2000).constData());
        QVERIFY(!AddressLocker().isFree(sim.address()));

        QCOMPARE(::kill(pid_t(cratectl.processId()), number), 0);
        const bool finished = cratectl.waitForFinished(30000);
        if (!finished)
            cratectl.kill();
        QVERIFY2(finished, "still running after the signal");
        QCOMPARE(cratectl.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cratectl.exitCode(), 0);
        QVERIFY(AddressLocker().isFree(sim.address()));
    }
};

VEXA_TEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
