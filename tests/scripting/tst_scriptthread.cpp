// The script thread: what a script sees (mod, script), the console lines of every
// ending, the stored text and test.js, one run at a time, and stopping a script
// that loops or waits. The module is an SnmpModule over the fake library; the
// last case drives a channel of cratesim.

#include "fakewienerlibrary.h"
#include "scriptthread.h"
#include "simcontrol.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"
#include "vexa_config.h"

#include "cratesimprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <mutex>

namespace {

constexpr int Slot = 2;

// A line of the console with the time it was emitted on the script thread.
struct Line {
    QString text;
    qint64 ms;
};

} // namespace

class TestScriptThread : public QObject
{
    Q_OBJECT

private:
    // Collects the lines as the thread emits them (direct connection, so the
    // times are the script's own, not when the GUI thread got round to them).
    class Recorder
    {
    public:
        explicit Recorder(ScriptThread &thread)
        {
            m_clock.start();
            QObject::connect(
                &thread, &ScriptThread::scriptMessage, &thread,
                [this](const QString &text) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_lines.append({text, m_clock.elapsed()});
                },
                Qt::DirectConnection);
        }
        QList<Line> lines() const
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_lines;
        }
        qint64 now() const { return m_clock.elapsed(); }
        QStringList texts() const
        {
            QStringList out;
            for (const Line &l : lines())
                out << l.text;
            return out;
        }

    private:
        mutable std::mutex m_mutex;
        QList<Line> m_lines;
        QElapsedTimer m_clock;
    };

    static bool waitForEnd(ScriptThread &thread, int timeoutMs = 10000)
    {
        return thread.wait(QDeadlineTimer(timeoutMs)) && !thread.isScriptRunning();
    }

    // Runs `program` to its end and returns its lines.
    QStringList run(const QString &program)
    {
        ScriptThread thread(m_module.get());
        Recorder recorder(thread);
        if (!thread.runScript(program))
            return {QStringLiteral("<not started>")};
        if (!waitForEnd(thread))
            return {QStringLiteral("<still running>")};
        return recorder.texts();
    }

    std::unique_ptr<SnmpController> m_controller;
    std::unique_ptr<SnmpModule> m_module;

private slots:
    void initTestCase()
    {
        // test.js is looked for in the working directory.
        QVERIFY(QDir::setCurrent(TestEnv::homeDir()));
    }

    void init()
    {
        QFile::remove(QStringLiteral("test.js"));
        QDir().rmdir(QStringLiteral("test.js"));
        FakeWiener::reset();
        FakeWiener::state().moduleDescriptions[Slot] = "vexa, T14X0, 8, 9001, 5.20";
        m_controller = std::make_unique<SnmpController>(FakeWiener::functions());
        QVERIFY(m_controller->connectTo(QStringLiteral("127.0.0.2")));
        m_module = std::make_unique<SnmpModule>(m_controller.get(), Slot);
        FakeWiener::clearCalls();
    }

    void cleanup()
    {
        m_module.reset();
        m_controller.reset();
    }

    void endings_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("result") << "1+1" << QStringList{"Script exited with result 2"};
        QTest::newRow("undefined") << "script.print('a')" << QStringList{"a", "Script exited with result undefined"};
        QTest::newRow("thrown string") << "throw \"x\"" << QStringList{"Error: Script threw an uncaught exception: x"};
        QTest::newRow("thrown error") << "script.print(1); throw new Error('boom'); script.print(2)"
                                      << QStringList{"1", "Error: Script threw an uncaught exception: Error: boom"};
        QTest::newRow("caught inside") << "try { throw 'x' } catch (e) { 'caught ' + e }"
                                       << QStringList{"Script exited with result caught x"};
        QTest::newRow("unclosed brace") << "script.print('a'); if (true) {"
                                        << QStringList{"Error: Script has syntax errors!"};
        QTest::newRow("unclosed string") << "script.print('a)" << QStringList{"Error: Script has syntax errors!"};
        QTest::newRow("complete with error") << "var a = ;"
                                             << QStringList{"Error: Script threw an uncaught exception: SyntaxError: *"};
        QTest::newRow("module values") << "mod.serialNumber() + ' ' + mod.channelNumber() + ' ' + mod.address()"
                                       << QStringList{"Script exited with result 9001 8 Slot 2"};
        // `script` offers delay and print only, not the thread's own slots.
        QTest::newRow("no thread slots") << "typeof script.terminate + ' ' + typeof script.quit + ' ' + "
                                            "typeof script.delay"
                                         << QStringList{"Script exited with result undefined undefined function"};
        QTest::newRow("markup printed as is") << "script.print('<b>x</b>'); 0"
                                              << QStringList{"<b>x</b>", "Script exited with result 0"};
    }

    void endings()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, lines);
        QStringList actual = run(program);
        // The engine's own wording of an error is not ours to pin: '*' ends a prefix.
        for (int i = 0; i < qMin(actual.size(), lines.size()); ++i)
            if (lines.at(i).endsWith('*') && actual.at(i).startsWith(lines.at(i).chopped(1)))
                actual[i] = lines.at(i);
        QCOMPARE(actual, lines);
    }

    void scriptReachesTheModule_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("voltage and switch") << "mod.setChannelVoltageSet(3, 150.5); mod.setChannelOn(3)"
                                            << QStringList{"setOutputVoltage(203,150.5)", "setChannelSwitch(203,1)"};
        QTest::newRow("channel list") << "mod.setSelectedChannelsOff([0, 3])"
                                      << QStringList{"setChannelSwitch(200,0)", "setChannelSwitch(203,0)"};
        QTest::newRow("channel mask") << "mod.setSelectedChannelsOn(5)"
                                      << QStringList{"setChannelSwitch(200,1)", "setChannelSwitch(202,1)"};
        QTest::newRow("units apply") << "mod.setVoltageUnit('kV'); mod.setChannelVoltageSet(1, 1.5)"
                                     << QStringList{"setOutputVoltage(201,1500)"};
    }

    void scriptReachesTheModule()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, calls);
        const QStringList lines = run(program);
        QVERIFY2(lines.size() == 1 && lines.first().startsWith("Script exited"), qPrintable(lines.join('|')));
        QCOMPARE(FakeWiener::calls({"setOutputVoltage", "setChannelSwitch"}), calls);
    }

    void readsFromTheModule()
    {
        FakeWiener::state().voltageMeasure[200] = 11.5;
        FakeWiener::state().voltageMeasure[201] = 22.5;
        QCOMPARE(run("mod.channelVoltageMeasure(0) + mod.channelVoltageMeasure(1)"),
                 QStringList{"Script exited with result 34"});
    }

    // The engine is handed the module but never owns it: it is neither deleted
    // when an engine goes away nor when a script drops it.
    void moduleOutlivesRuns()
    {
        QPointer<SnmpModule> module(m_module.get());
        ScriptThread thread(m_module.get());
        Recorder recorder(thread);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(thread.runScript("var m = mod; mod = null; m.serialNumber()"));
            QVERIFY(waitForEnd(thread));
        }
        QVERIFY(module);
        QCOMPARE(recorder.texts(), QStringList(3, "Script exited with result 9001"));
    }

    void printDelayPrint()
    {
        ScriptThread thread(m_module.get());
        Recorder recorder(thread);
        QVERIFY(thread.runScript("script.print('a'); script.delay(1000); script.print('b')"));
        QVERIFY(waitForEnd(thread));
        const QList<Line> lines = recorder.lines();
        QCOMPARE(recorder.texts(), (QStringList{"a", "b", "Script exited with result undefined"}));
        QVERIFY2(lines.at(1).ms - lines.at(0).ms >= 1000, qPrintable(QString::number(lines.at(1).ms - lines.at(0).ms)));
    }

    // test.js is read at construction; an empty request runs the stored text, a
    // non-empty one replaces it.
    void storedTextAndTestJs()
    {
        QFile file(QStringLiteral("test.js"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("script.print('from file \xc3\xa4'); 40 + 2\n");
        file.close();

        ScriptThread thread(m_module.get());
        Recorder recorder(thread);
        QCOMPARE(thread.fileName(), QStringLiteral("test.js"));
        QVERIFY(thread.runScript(QString()));
        QVERIFY(waitForEnd(thread));
        QCOMPARE(recorder.texts(),
                 (QStringList{QString::fromUtf8("from file \xc3\xa4"), "Script exited with result 42"}));
        QVERIFY(thread.runScript("6 * 7 + 1"));
        QVERIFY(waitForEnd(thread));
        QVERIFY(thread.runScript(QString()));
        QVERIFY(waitForEnd(thread));
        QCOMPARE(recorder.texts().mid(2),
                 (QStringList{"Script exited with result 43", "Script exited with result 43"}));
    }

    void scriptFileErrors_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<QString>("line");
        QTest::newRow("missing") << false << "Error: Can not find script file test.js!";
        QTest::newRow("unreadable") << true << "Error: Can not open script file test.js!";
    }

    void scriptFileErrors()
    {
        QFETCH(bool, directory);
        QFETCH(QString, line);
        ScriptThread thread(m_module.get());
        thread.setScriptText(QStringLiteral("1"));
        if (directory)
            QVERIFY(QDir().mkdir(QStringLiteral("test.js")));
        Recorder recorder(thread);
        QVERIFY(!thread.loadScriptFile(QStringLiteral("test.js")));
        QCOMPARE(recorder.texts(), QStringList{line});
        QCOMPARE(thread.scriptText(), QStringLiteral("1"));
    }

    void noSecondRun()
    {
        ScriptThread thread(m_module.get());
        Recorder recorder(thread);
        QSignalSpy running(&thread, &ScriptThread::scriptRunningChanged);
        QVERIFY(thread.runScript("script.print('first'); script.delay(60000)"));
        QTRY_COMPARE(recorder.texts(), QStringList{"first"});
        QVERIFY(!thread.runScript("script.print('second')"));
        QVERIFY(thread.isScriptRunning());
        thread.stop();
        QVERIFY(waitForEnd(thread));
        QCOMPARE(recorder.texts(), (QStringList{"first", "Script stopped."}));
        QTRY_COMPARE(running.size(), 2);
        // The refused request's text was kept: an empty request runs it.
        QVERIFY(thread.runScript(QString()));
        QVERIFY(waitForEnd(thread));
        QCOMPARE(recorder.texts().mid(2), (QStringList{"second", "Script exited with result undefined"}));
    }

    // A script printing faster than the GUI thread takes the lines waits for it,
    // and every line arrives, in order; a stop ends that wait too.
    void printWaitsForTheConsole()
    {
        ScriptThread thread(m_module.get());
        Recorder recorder(thread);
        const int total = ScriptThread::MaxPendingPrints * 3;
        QVERIFY(thread.runScript(QStringLiteral("for (var i = 0; i < %1; ++i) script.print(i); 'done'").arg(total)));
        // No events processed (so no QTRY here): the script stops at the limit.
        QElapsedTimer clock;
        clock.start();
        while (recorder.lines().size() < ScriptThread::MaxPendingPrints && clock.elapsed() < 10000)
            QThread::msleep(10);
        QThread::msleep(200);
        QCOMPARE(recorder.lines().size(), ScriptThread::MaxPendingPrints);
        QVERIFY(thread.isScriptRunning());
        QTRY_VERIFY_WITH_TIMEOUT((QCoreApplication::processEvents(), !thread.isScriptRunning()), 30000);
        const QStringList texts = recorder.texts();
        QCOMPARE(texts.size(), total + 1);
        for (int i = 0; i < total; ++i)
            QCOMPARE(texts.at(i), QString::number(i));
        QCOMPARE(texts.last(), QStringLiteral("Script exited with result done"));

        QVERIFY(thread.runScript(QStringLiteral("for (;;) script.print('x')")));
        QTRY_VERIFY(recorder.lines().size() >= total + 1 + ScriptThread::MaxPendingPrints);
        thread.stop();
        QVERIFY(thread.wait(QDeadlineTimer(5000)));
        QCOMPARE(recorder.texts().last(), QStringLiteral("Script stopped."));
    }

    void noModule()
    {
        ScriptThread thread(nullptr);
        Recorder recorder(thread);
        QVERIFY(!thread.runScript("script.print('x')"));
        QVERIFY(!thread.isRunning());
        QCOMPARE(recorder.texts(), QStringList{"Error: No module is connected, the script does not run."});
    }

    void stopEndsAtOnce_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("endless loop") << "script.print('go'); while (true) {}";
        QTest::newRow("loop that catches") << "script.print('go'); while (true) { try { for (;;) {} } catch (e) {} }";
        QTest::newRow("long delay") << "script.print('go'); script.delay(60000); script.print('after')";
        QTest::newRow("loop of module calls") << "script.print('go'); for (;;) mod.channelVoltageSet(0)";
    }

    void stopEndsAtOnce()
    {
        QFETCH(QString, program);
        ScriptThread thread(m_module.get());
        Recorder recorder(thread);
        QVERIFY(thread.runScript(program));
        QTRY_COMPARE(recorder.texts(), QStringList{"go"});
        QTest::qWait(50); // well inside the loop or the delay
        const qint64 stopAt = recorder.now();
        thread.stop();
        QVERIFY(thread.wait(QDeadlineTimer(5000)));
        QCOMPARE(recorder.texts(), (QStringList{"go", "Script stopped."}));
        // The script has ended when it says so; the engine's teardown follows.
        const qint64 took = recorder.lines().last().ms - stopAt;
        QVERIFY2(took < 100, qPrintable(QString::number(took)));
        QVERIFY(!thread.isScriptRunning());
    }

    void destructorStopsARun()
    {
        auto thread = std::make_unique<ScriptThread>(m_module.get());
        QVERIFY(thread->runScript("for (;;) mod.setChannelOn(1)"));
        QTRY_VERIFY(!FakeWiener::calls({"setChannelSwitch"}).isEmpty());
        thread.reset();
        const int calls = FakeWiener::calls().size();
        QTest::qWait(50);
        QCOMPARE(FakeWiener::calls().size(), calls);
    }

    void scriptDrivesCratesim()
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
        SnmpModule module(&controller, 3);
        QVERIFY(module.connected());

        ScriptThread thread(&module);
        Recorder recorder(thread);
        QVERIFY(thread.runScript("mod.setVoltageUnit('V');\n"
                                 "mod.setChannelVoltageSet(1, 250);\n"
                                 "mod.setChannelOn(1);\n"
                                 "mod.channelVoltageSet(0);\n"
                                 "mod.channelVoltageSet(1)"));
        QVERIFY(waitForEnd(thread));
        QCOMPARE(recorder.texts(), QStringList{"Script exited with result 250"});

        SimControl control(sim.peer());
        QVERIFY2(control.isOpen(), qPrintable(control.errorString()));
        QCOMPARE(control.get("WIENER-CRATE-MIB::outputVoltage.302").toDouble(), 250.0);
        QCOMPARE(control.get("WIENER-CRATE-MIB::outputSwitch.302").toLongLong(), 1);
        // The channel ramps towards its set value.
        QTRY_VERIFY_WITH_TIMEOUT(control.get("CRATESIM-MIB::cratesimChannelOutputVoltage.302").toDouble() > 1.0,
                                 10000);
    }
};

VEXA_TEST_GUILESS_MAIN(TestScriptThread)
#include "tst_scriptthread.moc"
