// A script thread and the GUI thread share one module: one thread calls module
// slots in a loop while the other runs the refresh reads. Every library call must
// be serialised and every cache access guarded; run under ThreadSanitizer
// (scripts/test --tsan, label "concurrency") this must stay silent. The call
// counts check that no call is lost or doubled on the way.

#include "fakewienerlibrary.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"
#include "vexa_config.h"

#include "cratesimprocess.h"

#include <QCoreApplication>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

constexpr int Rounds = 300;
constexpr int MinPasses = 100;
constexpr int RefreshReadsPerPass = 10; // the ten channel-0 reads of a refresh

// The refresh pass of the main window's timer: every read starts at channel 0.
void refreshPass(SnmpModule &m)
{
    m.channelStatus(0);
    m.channelControl(0);
    m.channelVoltageSet(0);
    m.channelVoltageMeasure(0);
    m.channelCurrentSet(0);
    m.channelCurrentMeasure(0);
    m.channelVoltageNominal(0);
    m.channelCurrentNominal(0);
    m.refreshAllDelayedTripActions(); // behaviours and trip times
    for (int ch = 1; ch < m.channelNumber(); ++ch) {
        m.channelStatus(ch);
        m.channelEventStatus(ch);
        m.channelVoltageSet(ch);
        m.channelCurrentMeasure(ch);
    }
}

// What a script does: writes, cached reads, unit changes. Returns the number of
// library calls it made.
int scriptPass(SnmpModule &m, int round)
{
    const int ch = round % m.channelNumber();
    m.setChannelVoltageSet(ch, float(round));                        // 1
    m.setChannelCurrentSet(ch, 0.001f);                              // 1
    m.channelVoltageSet(ch == 0 ? 1 : ch);                           // cache
    m.channelEventStatus(ch);                                        // cache
    m.setChannelEventStatus(ch, ChannelEventStatus::allSet());       // cache
    m.setChannelDelayedTripAction(ch, rampDownChannel, round);       // 2
    m.setVoltageUnit(round % 2 ? QStringLiteral("kV") : QStringLiteral("V"));
    m.formatVoltage(1234.5);
    m.userVoltageToSiVoltage(1.0f);
    m.setChannelOn(ch);                                              // 1
    m.setSelectedChannelsOff(quint64(1) << ch);                      // 1
    if (round % 10 == 0)
        m.doClear();                                                 // 1
    return 6 + (round % 10 == 0 ? 1 : 0);
}

} // namespace

class TestModuleConcurrency : public QObject
{
    Q_OBJECT

private:
    void run(SnmpController &controller, int slot)
    {
        SnmpModule module(&controller, slot);
        QVERIFY(module.channelNumber() >= 2);
        // The behaviours are known before the script's first delayed-trip write, as
        // they are after the first refresh tick; otherwise that write reads them once.
        module.refreshAllInhibitActions();
        const quint64 before = controller.libraryCallCount();

        // Each side goes on until the other has done its share too, so that the
        // two really overlap however the threads are scheduled.
        std::atomic<int> scriptCalls{0};
        std::atomic<int> scriptRounds{0};
        std::atomic<bool> scriptDone{false};
        std::atomic<int> passes{0};
        std::thread script([&] {
            int calls = 0;
            for (int round = 0; round < Rounds || passes.load() < MinPasses; ++round) {
                calls += scriptPass(module, round);
                ++scriptRounds;
            }
            scriptCalls = calls;
            scriptDone = true;
        });
        while (!scriptDone.load() || passes.load() < MinPasses) {
            refreshPass(module);
            ++passes;
        }
        script.join();
        QVERIFY(scriptRounds.load() >= Rounds);

        const quint64 made = controller.libraryCallCount() - before;
        QCOMPARE(made, quint64(scriptCalls.load()) + quint64(passes.load()) * RefreshReadsPerPass);

        // After both are done, a refresh sees the script's last write.
        module.setVoltageUnit(QStringLiteral("V"));
        module.setChannelVoltageSet(1, 42.0f);
        QTRY_VERIFY_WITH_TIMEOUT((module.channelVoltageSet(0), module.channelVoltageSet(1) == 42.0f), 5000);
    }

private slots:
    void sharedModuleOverTheFake()
    {
        FakeWiener::reset();
        FakeWiener::state().moduleDescriptions[2] = "vexa, T14X0, 32, 9001, 5.20";
        SnmpController controller(FakeWiener::functions());
        QVERIFY(controller.connectTo(QStringLiteral("127.0.0.2")));
        run(controller, 2);
        // The fake saw exactly the calls the controller counted.
        QCOMPARE(quint64(FakeWiener::calls().size()), controller.libraryCallCount());
    }

    void sharedModuleOverTheSimulator()
    {
        if (!QFile::exists(CrateSimProcess::executable()) ||
            !QFile::exists(QStringLiteral(VEXA_BUILD_LIBDIR "/libWIENER_SNMP.so")))
            QSKIP("cratesim or the access library is not built");
        CrateSimProcess::Options options;
        options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/crate/contractcrate.json");
        CrateSimProcess sim(options);
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        TestEnv::setCrateAddress(sim.address());
        SnmpController controller;
        QVERIFY(controller.isBound());
        QVERIFY(controller.connectTo(sim.address()));
        run(controller, 3);
    }
};

VEXA_TEST_GUILESS_MAIN(TestModuleConcurrency)
#include "tst_moduleconcurrency.moc"
