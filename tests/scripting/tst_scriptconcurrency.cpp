// A script hammers its module while the GUI thread runs the refresh reads on the
// same module, as the window's timer does. Run under ThreadSanitizer
// (scripts/test --tsan, label "concurrency") this must stay silent; the call
// counts show that no call of either side is lost or doubled.

#include "fakewienerlibrary.h"
#include "scriptthread.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QtTest>

#include <atomic>
#include <mutex>

namespace {

constexpr int Slot = 4;
constexpr int Rounds = 400;
constexpr int RefreshReadsPerPass = 9;

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
    m.refreshAllInhibitActions();
    for (int ch = 1; ch < m.channelNumber(); ++ch) {
        m.channelStatus(ch);
        m.channelEventStatus(ch);
        m.channelVoltageSet(ch);
        m.formatVoltage(m.channelVoltageMeasure(ch));
    }
}

// Four library calls per round, the rest from the caches and the unit fields.
const char hammer[] = "var rounds = 0;\n"
                      "for (var i = 0; i < %1; ++i) {\n"
                      "    var ch = i % mod.channelNumber();\n"
                      "    mod.setVoltageUnit(i % 2 ? 'kV' : 'V');\n"
                      "    mod.setChannelVoltageSet(ch, 1);\n"
                      "    mod.setChannelOn(ch);\n"
                      "    mod.setSelectedChannelsOff([ch]);\n"
                      "    mod.channelVoltageSet(0);\n"
                      "    mod.channelVoltageSet(ch == 0 ? 1 : ch);\n"
                      "    mod.channelEventStatus(ch);\n"
                      "    mod.formatVoltage(1234.5);\n"
                      "    ++rounds;\n"
                      "}\n"
                      "rounds";

} // namespace

class TestScriptConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(TestEnv::homeDir()));
    }

    void scriptAndRefreshShareTheModule()
    {
        FakeWiener::reset();
        FakeWiener::state().moduleDescriptions[Slot] = "vexa, T14X0, 16, 9004, 5.20";
        SnmpController controller(FakeWiener::functions());
        QVERIFY(controller.connectTo(QStringLiteral("127.0.0.2")));
        SnmpModule module(&controller, Slot);
        module.refreshAllInhibitActions();
        const quint64 before = controller.libraryCallCount();

        ScriptThread thread(&module);
        std::mutex linesMutex;
        QStringList lines;
        connect(
            &thread, &ScriptThread::scriptMessage, &thread,
            [&](const QString &line) {
                std::lock_guard<std::mutex> lock(linesMutex);
                lines << line;
            },
            Qt::DirectConnection);
        QVERIFY(thread.runScript(QString::fromLatin1(hammer).arg(Rounds)));
        int passes = 0;
        while (thread.isScriptRunning()) {
            refreshPass(module);
            ++passes;
        }
        thread.stopAndWait();
        QVERIFY(passes > 0);
        {
            std::lock_guard<std::mutex> lock(linesMutex);
            QCOMPARE(lines, QStringList{QStringLiteral("Script exited with result %1").arg(Rounds)});
        }
        const quint64 made = controller.libraryCallCount() - before;
        QCOMPARE(made, quint64(Rounds) * 4 + quint64(passes) * RefreshReadsPerPass);
        QCOMPARE(FakeWiener::calls({"setOutputVoltage"}).size(), Rounds);
    }

    // The script changes the delayed-trip field of a channel's behaviour while the
    // window changes its inhibit field and reads the behaviours back. Each write
    // must be built on the one before it: in the order the library got them,
    // consecutive writes differ in exactly one field. A write built from a value
    // read or changed before the other side's write would take that write back.
    void behaviourFieldsOfBothSidesSurvive()
    {
        FakeWiener::reset();
        FakeWiener::state().moduleDescriptions[Slot] = "vexa, T14X0, 16, 9004, 5.20";
        SnmpController controller(FakeWiener::functions());
        QVERIFY(controller.connectTo(QStringLiteral("127.0.0.2")));
        SnmpModule module(&controller, Slot);
        module.refreshAllInhibitActions();
        FakeWiener::clearCalls();

        ScriptThread thread(&module);
        QVERIFY(thread.runScript(QStringLiteral("for (var i = 0; i < %1; ++i)\n"
                                                "    mod.setChannelDelayedTripAction(1, 1 + i % 3, 10);")
                                     .arg(Rounds * 4)));
        int writes = 0;
        while (thread.isScriptRunning()) {
            module.setChannelInhibitAction(1, OutputSupervisionAction(1 + writes % 3));
            module.refreshAllInhibitActions();
            ++writes;
        }
        thread.stopAndWait();
        QVERIFY(writes > 0);

        const QString prefix = QStringLiteral("setOutputSupervisionBehavior(%1,").arg(Slot * 100 + 1);
        int previous = 0;
        int checked = 0;
        for (const QString &call : FakeWiener::calls({"setOutputSupervisionBehavior"})) {
            QVERIFY(call.startsWith(prefix));
            const int value = call.mid(prefix.size()).chopped(1).toInt();
            const bool delayedChanged = SupervisionBehavior::delayedTripAction(value) !=
                                        SupervisionBehavior::delayedTripAction(previous);
            const bool inhibitChanged = SupervisionBehavior::externalInhibitAction(value) !=
                                        SupervisionBehavior::externalInhibitAction(previous);
            QVERIFY2(delayedChanged != inhibitChanged,
                     qPrintable(QStringLiteral("write %1: %2 after %3").arg(checked).arg(value).arg(previous)));
            previous = value;
            ++checked;
        }
        QCOMPARE(checked, Rounds * 4 + writes);
    }

    // Stopping while the script is inside a module call lets that call finish and
    // makes no further one.
    void stopWhileHammering()
    {
        FakeWiener::reset();
        FakeWiener::state().moduleDescriptions[Slot] = "vexa, T14X0, 16, 9004, 5.20";
        SnmpController controller(FakeWiener::functions());
        QVERIFY(controller.connectTo(QStringLiteral("127.0.0.2")));
        SnmpModule module(&controller, Slot);
        ScriptThread thread(&module);
        QVERIFY(thread.runScript("for (;;) { mod.setChannelOn(1); mod.channelStatus(0); }"));
        for (int pass = 0; pass < 20 || controller.libraryCallCount() < 200; ++pass)
            refreshPass(module);
        thread.stopAndWait();
        const quint64 after = controller.libraryCallCount();
        refreshPass(module);
        QCOMPARE(controller.libraryCallCount(), after + RefreshReadsPerPass);
    }
};

VEXA_TEST_GUILESS_MAIN(TestScriptConcurrency)
#include "tst_scriptconcurrency.moc"
