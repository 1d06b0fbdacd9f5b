// CrateSession against the in-process fake of the access library, with no
// simulator and no window: discovery, the module connection states through the
// refresh cycle, a module that stops answering and returns, a crate power cycle,
// the fatal library error and the refresh pause around a command's waits; the
// crate thread's order: emergency off first, ticks skipped, never queued.

#include "basecrate.h"
#include "basemodule.h"
#include "cratesession.h"
#include "fakewienerlibrary.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

const QString kAddress = QStringLiteral("127.0.0.2");

std::unique_ptr<CrateSession> fakeSession()
{
    return std::make_unique<CrateSession>(
        [](QObject *parent) -> BaseController * { return new SnmpController(FakeWiener::functions(), parent); });
}

// Two modules, in slots 1 and 4, the rest empty.
void twoModules()
{
    FakeWiener::reset();
    FakeWiener::state().moduleDescriptions[1] = "vexa, T14X0, 4, 7100111, 5.12";
    FakeWiener::state().moduleDescriptions[4] = "vexa, T14X0, 8, 7100444, 5.12";
}

// Stands in for a dialog: a QObject with the "visible" property a widget has.
class Viewer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool visible MEMBER m_visible)

public:
    bool m_visible = false;
};


// Holds the crate thread right after the first library call that starts with
// `prefix`, until release(). Undone when it goes, also after a failed check:
// the session joins its thread when it goes.
class CallHold
{
public:
    CallHold(CrateSession *session, const char *prefix) : m_session(session)
    {
        // The fake is set on the crate thread, between its jobs.
        session->runAndWait([this, prefix] {
            FakeWiener::clearCalls();
            FakeWiener::state().afterCall = [this, prefix](const QString &call) {
                if (!m_held && call.startsWith(QLatin1String(prefix))) {
                    m_held = true;
                    m_reached.release();
                    m_go.acquire();
                }
            };
        });
    }
    ~CallHold() { release(); }
    bool reached() const { return m_reached.available() > 0; }
    bool waitReached() { return m_reached.tryAcquire(1, 10000); }
    void release()
    {
        if (m_released)
            return;
        m_released = true;
        m_go.release();
        m_session->runAndWait([] { FakeWiener::state().afterCall = nullptr; });
    }

private:
    CrateSession *m_session;
    QSemaphore m_reached, m_go;
    bool m_held = false;
    bool m_released = false;
};
} // namespace

class TestCrateSession : public QObject
{
    Q_OBJECT

private slots:
    void init() { twoModules(); }

    void discoversOnlyTheOccupiedSlots()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        const QList<BaseModule *> modules = session->modules();
        QCOMPARE(modules.size(), 2);
        QCOMPARE(qobject_cast<SnmpModule *>(modules.at(0))->slot(), 1);
        QCOMPARE(qobject_cast<SnmpModule *>(modules.at(1))->slot(), 4);
        QCOMPARE(modules.at(1)->serialNumber(), 7100444);
        QCOMPARE(session->crates().size(), 1);
        QCOMPARE(session->controller()->address(), kAddress);
        // Every slot 0 to 9 was asked, in order, the empty ones once (a module
        // object reads its own slot's description again).
        const QStringList asked = FakeWiener::calls({QStringLiteral("getModuleDescription")});
        int previous = -1;
        for (int slot = 0; slot < 10; ++slot) {
            const QString call = QStringLiteral("getModuleDescription(%1)").arg(slot);
            QCOMPARE(asked.count(call), (slot == 1 || slot == 4) ? 2 : 1);
            QVERIFY(asked.indexOf(call) > previous);
            previous = asked.indexOf(call);
        }
        QCOMPARE(asked.size(), 12);
        QVERIFY(session->refreshTimer()->isActive());
        QCOMPARE(session->refreshTimer()->interval(), 200);
    }

    void firstTicksConnectTheCurrentModule()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        QSignalSpy texts(session.get(), &CrateSession::moduleStateTextChanged);
        QSignalSpy setUp(session.get(), &CrateSession::currentModuleSetUp);
        QSignalSpy status(session.get(), &CrateSession::updateChannelStatus);
        session->setCurrentModuleIndex(1);

        // First tick: crate data is due, both modules answer and become Connecting.
        session->refreshChannelTable();
        QCOMPARE(texts.size(), 4);
        QCOMPARE(texts.at(0), (QVariantList{0, QStringLiteral("Connecting...")}));
        QCOMPARE(texts.at(1), (QVariantList{0, QStringLiteral("7100111")}));
        QCOMPARE(texts.at(3), (QVariantList{1, QStringLiteral("7100444")}));
        // ... and the current one is set up in the same tick and its eight channels read.
        QCOMPARE(setUp.size(), 1);
        QCOMPARE(session->currentModule()->connectionState(), ModuleConnectionState::Connected);
        QCOMPARE(session->channelRows(), 8);
        QCOMPARE(status.size(), 8);
        QCOMPARE(status.last().at(0).toInt(), 7100444);
        // The other module waits for its turn as current module.
        QCOMPARE(session->modules().at(0)->connectionState(), ModuleConnectionState::Connecting);
    }

    void moduleThatStopsAnsweringAndReturns()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        session->setCurrentModuleIndex(0);
        session->refreshChannelTable();
        QCOMPARE(session->currentModule()->connectionState(), ModuleConnectionState::Connected);

        QSignalSpy texts(session.get(), &CrateSession::moduleStateTextChanged);
        QSignalSpy seen(session.get(), &CrateSession::currentModuleConnectionSeen);
        FakeWiener::state().moduleDescriptions.remove(1);
        // Crate data (and with it the connection states) is refreshed about once a
        // second, on every fifth tick of 200 ms.
        for (int tick = 0; tick < 5; ++tick)
            session->refreshChannelTable();
        QCOMPARE(session->currentModule()->connectionState(), ModuleConnectionState::NotConnected);
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts.at(0), (QVariantList{0, QStringLiteral("Not connected")}));
        // The tick that finds it silent already treats it so.
        QCOMPARE(seen.last().at(0).value<ModuleConnectionState>(), ModuleConnectionState::NotConnected);
        // The other module keeps its state.
        QCOMPARE(session->modules().at(1)->connectionState(), ModuleConnectionState::Connecting);

        // A silent current module's channels are not read.
        QSignalSpy status(session.get(), &CrateSession::updateChannelStatus);
        session->refreshChannelTable();
        QCOMPARE(seen.last().at(0).value<ModuleConnectionState>(), ModuleConnectionState::NotConnected);
        QCOMPARE(status.size(), 0);

        QSignalSpy setUp(session.get(), &CrateSession::currentModuleSetUp);
        FakeWiener::state().moduleDescriptions[1] = "vexa, T14X0, 4, 7100111, 5.12";
        for (int tick = 0; tick < 5; ++tick)
            session->refreshChannelTable();
        QCOMPARE(texts.last(), (QVariantList{0, QStringLiteral("7100111")}));
        // Back through Connecting: set up anew and read again.
        QCOMPARE(setUp.size(), 1);
        QCOMPARE(session->currentModule()->connectionState(), ModuleConnectionState::Connected);
        QVERIFY(status.size() >= 4);
        QCOMPARE(status.last().at(0).toInt(), 7100111);
    }

    void cratePowerCycle()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        session->setCurrentModuleIndex(0);
        session->refreshChannelTable();
        const int crate = session->crates().first()->serialNumber();

        QSignalSpy off(session.get(), &CrateSession::cratePoweredOff);
        session->setCratePowerOn(crate + 1, false); // no such crate: nothing happens
        // Requests run on the crate thread; a job behind them marks their end.
        session->runAndWait([] {});
        QCOMPARE(FakeWiener::state().mainSwitch, 1);
        QCOMPARE(off.size(), 0);
        session->setCratePowerOn(crate, false);
        session->runAndWait([] {});
        QCOMPARE(FakeWiener::state().mainSwitch, 0);
        QCOMPARE(off.size(), 1);
        QVERIFY(session->modules().isEmpty());
        QVERIFY(!session->currentModule());
        QCOMPARE(session->channelRows(), 0);
        session->refreshChannelTable(); // nothing left to read, nothing to crash on

        QSignalSpy scheduled(session.get(), &CrateSession::reconnectScheduled);
        QSignalSpy reconnect(session.get(), &CrateSession::reconnectRequested);
        session->setCratePowerOn(crate, true);
        session->runAndWait([] {});
        QCOMPARE(FakeWiener::state().mainSwitch, 1);
        QCOMPARE(scheduled.size(), 1);
        QCOMPARE(scheduled.at(0).at(0).toInt(), 15);
        // Not waiting 15 s here: the same again with a short delay.
        session->setReconnectDelay(50);
        session->setCratePowerOn(crate, true);
        QVERIFY(reconnect.wait(5000));
        // The program reconnects on that signal; the modules are found again.
        QVERIFY(session->connectTo(kAddress));
        QCOMPARE(session->modules().size(), 2);
    }

    void crateFeedOnlyWhileAViewerIsVisible()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        Viewer viewer;
        session->addViewer(CrateSession::CrateFeed, &viewer);
        QSignalSpy power(session.get(), &CrateSession::updateCratePowerOn);
        session->refreshChannelTable();
        QCOMPARE(power.size(), 0);
        viewer.m_visible = true;
        for (int tick = 0; tick < 5; ++tick)
            session->refreshChannelTable();
        QCOMPARE(power.size(), 1);
        QCOMPARE(power.at(0).at(1).toBool(), true);
    }

    // While the alarms watch, each tick reads one module not shown (one record
    // read for all its channels); without them, nothing beyond the table.
    void otherModulesChannelStatesOnlyWhileAlarmsWatch()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        session->setCurrentModuleIndex(0);
        session->refreshChannelTable();
        const quint32 tripped = 1u << 11;
        session->runAndWait([tripped] {
            FakeWiener::state().channelStatus[402] = int(tripped);
            FakeWiener::clearCalls();
        });
        QSignalSpy scanned(session.get(), &CrateSession::channelStatusScanned);
        Viewer alarms;
        session->addViewer(CrateSession::AlarmFeed, &alarms);
        auto slot4Reads = [] {
            return FakeWiener::calls().filter(QRegularExpression(QStringLiteral("^getMultipleChannelStatuses\\(400,"))).size();
        };
        session->refreshChannelTable();
        session->runAndWait([] {});
        QCoreApplication::processEvents();
        QCOMPARE(scanned.size(), 0);
        QCOMPARE(slot4Reads(), 0);

        alarms.m_visible = true;
        session->refreshChannelTable();
        QTRY_COMPARE(scanned.size(), 8);
        QCOMPARE(slot4Reads(), 1);
        QCOMPARE(scanned.at(2).at(0).toInt(), 7100444);
        QCOMPARE(scanned.at(2).at(1).toInt(), 2);
        QCOMPARE(scanned.at(2).at(2).value<ChannelStatus>(), ChannelStatus::fromLibrary(tripped));
        QVERIFY(scanned.at(2).at(2).value<ChannelStatus>() != ChannelStatus());
    }

    void unusableLibraryIsAFatalError()
    {
        CrateSession session([](QObject *parent) -> BaseController * {
            return new SnmpController(QStringList{QStringLiteral("/nonexistent/vexa/WIENER_SNMP")}, parent);
        });
        QSignalSpy fatal(&session, &CrateSession::fatalError);
        QVERIFY(!session.connectTo(kAddress));
        QCOMPARE(fatal.size(), 1);
        QVERIFY(fatal.at(0).at(0).toString().startsWith(
            QStringLiteral("Error while loading shared library '/nonexistent/vexa/WIENER_SNMP'")));
        QVERIFY(!session.refreshTimer()->isActive());
    }

    void emergencyOffOvertakesARefreshAndTheRequestsQueuedBehindIt()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        session->setCurrentModuleIndex(0);
        session->refreshChannelTable();
        session->refreshTimer()->stop();

        // The next refresh stops on the crate thread right after it read the
        // set voltages, until the requests below are queued.
        CallHold hold(session.get(), "getMultipleOutputVoltages(");
        session->post([s = session.get()] { s->refreshChannelTable(); });
        QVERIFY(hold.waitReached());
        session->setChannelVoltage(7100111, 2, 12.5f);
        session->postModules(session->modules(),
                             [](BaseModule *module) { module->setSelectedChannelsEmergencyOff(~quint64(0)); }, true);
        hold.release();

        const QStringList calls = FakeWiener::calls();
        auto at = [&calls](const char *prefix) {
            for (int i = 0; i < calls.size(); ++i)
                if (calls.at(i).startsWith(QLatin1String(prefix)))
                    return i;
            return -1;
        };
        const int held_ = at("getMultipleOutputVoltages(");
        const int emergency = at("setMultipleOutputSwitches(");
        const int refreshGoesOn = at("getMultipleOutputCurrents(");
        const int request = at("setOutputVoltage(");
        QVERIFY2(held_ >= 0 && emergency >= 0 && refreshGoesOn >= 0 && request >= 0, qPrintable(calls.join('\n')));
        // Emergency off at the next call of the refresh, for both modules ...
        QCOMPARE(emergency, held_ + 1);
        QVERIFY(calls.at(emergency + 1).startsWith(QLatin1String("setMultipleOutputSwitches(")));
        QVERIFY(emergency < refreshGoesOn);
        // ... and the request queued before it only once the refresh has ended.
        QVERIFY(request > at("getMultipleMeasurementCurrents("));
    }

    void ticksDoNotPileUpBehindASlowRefresh()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        session->refreshChannelTable();
        CallHold hold(session.get(), "getMultipleOutputVoltages(");
        session->refreshTimer()->setInterval(5);
        session->refreshTimer()->start();
        QTRY_VERIFY_WITH_TIMEOUT(hold.reached(), 10000);
        // Ticks while the refresh hangs are counted, not queued.
        QTRY_VERIFY(session->skippedTicks() >= 5);
        session->refreshTimer()->stop();
        hold.release();
        // The crate thread ran the one refresh that was held, and no other.
        QCOMPARE(FakeWiener::calls({QStringLiteral("getMultipleOutputVoltages")}).size(), 1);
        QVERIFY(!session->refreshRunning());
    }

    void refreshPausesAroundACommandsWaits()
    {
        auto session = fakeSession();
        QVERIFY(session->connectTo(kAddress));
        session->setCurrentModuleIndex(0);
        session->refreshChannelTable();
        session->refreshTimer()->setInterval(1);
        QSignalSpy ticks(session.get(), &CrateSession::updateChannelStatus);
        {
            CrateSession::RefreshPause pause(session.get());
            QVERIFY(!session->refreshTimer()->isActive());
            QTest::qWait(50);
            QCOMPARE(ticks.size(), 0);
        }
        QVERIFY(session->refreshTimer()->isActive());
        QTRY_VERIFY(ticks.size() > 0);

        // A connection dropped during the pause keeps its stopped timer.
        {
            CrateSession::RefreshPause pause(session.get());
            session->disconnectFromCrate();
        }
        QVERIFY(!session->refreshTimer()->isActive());
    }
};

VEXA_TEST_GUILESS_MAIN(TestCrateSession)
#include "tst_cratesession.moc"
