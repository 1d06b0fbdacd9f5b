// The main window against a slow crate (every answer 50 ms late): an operator
// command made while a refresh runs reaches the crate right after that refresh
// and before the next one, and the window closes cleanly in the middle of a
// refresh.

#include "tst_vexacontrolsupport.h"

#include "cratesession.h"
#include "messagebox.h"

#include <QElapsedTimer>
#include <QPointer>

using namespace VexaTest;

namespace {
constexpr int Slot = 0;
constexpr int Serial = 8300001;
} // namespace

class TestVexaControlCrateThread : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        CrateSimProcess::Options options;
        options.crateFile =
            writeCrate(m_dir, QStringLiteral("slow.json"), QJsonArray{hvModule(Slot, "T03X0", 8, Serial, 2000.0)});
        options.delayMs = 50;
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
    }

    void init() { MessageBox::clearHooks(); }

    void commandDuringARefreshRunsRightAfterIt()
    {
        VexaControl window;
        QVERIFY(waitConnected(window, 30000));
        CrateSession *session = window.session();
        const double before = channelValue(*m_sim, QStringLiteral("outputVoltage"), Slot, 5);

        // The refresh reads the set voltages a few answers after it starts, so
        // a command made at its start would show in it if it did not wait.
        QTRY_VERIFY_WITH_TIMEOUT(!session->refreshRunning(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(session->refreshRunning(), 10000);
        QList<float> reported;
        connect(session, &CrateSession::updateChannelVoltage, this, [&reported](int serial, int channel, float value) {
            if (serial == Serial && channel == 5)
                reported.append(value);
        });
        selectRows(window, {5});
        MessageBox::setNextValue(before + 111.0);
        action(window, "actionSetChannelVoltage")->trigger();

        // The refresh that ran shows the old value; the next one, the new:
        // the command went in between, not behind later refreshes.
        QTRY_VERIFY_WITH_TIMEOUT(reported.size() >= 2, 20000);
        QCOMPARE(double(reported.at(0)), before);
        QCOMPARE(double(reported.at(1)), before + 111.0);
        QCOMPARE(channelValue(*m_sim, QStringLiteral("outputVoltage"), Slot, 5), before + 111.0);
        // The slow crate makes ticks find the last refresh still running.
        QTRY_VERIFY_WITH_TIMEOUT(session->skippedTicks() > 0, 10000);
    }

    void closingDuringARefreshEndsCleanly()
    {
        setCloseBehavior(0);
        auto *window = new VexaControl;
        window->show();
        QVERIFY(waitConnected(*window, 30000));
        CrateSession *live = window->session();
        QPointer<CrateSession> session = live;
        QTRY_VERIFY_WITH_TIMEOUT(live->refreshRunning(), 10000);
        // "No": close without ramping down, right in the middle of the refresh.
        MessageBox::setNextAnswer(QMessageBox::No);
        QElapsedTimer closing;
        closing.start();
        QVERIFY(window->close());
        delete window;
        // The crate thread ended with its refresh; what it had sent to the
        // window is dropped with it.
        QVERIFY(!session);
        QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));
        QTest::qWait(300);
        QCOMPARE(MessageBox::last().text, QStringLiteral("Ramp down all high voltages?"));
    }
};

VEXA_TEST_MAIN(TestVexaControlCrateThread)
#include "tst_vexacontrolcratethread.moc"
