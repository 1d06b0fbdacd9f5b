// The script console on its own (widgets, run and stop requests, plain-text
// output) and bound to a script thread whose module is an SnmpModule over the
// fake library: what the operator sees for a result, a re-run of the stored
// text, a refused second run, a stop, and no module at all.

#include "dialogscriptconsole.h"
#include "fakewienerlibrary.h"
#include "scriptthread.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <memory>

class TestDialogScriptConsole : public QObject
{
    Q_OBJECT

private:
    template <typename T>
    static T *child(DialogScriptConsole &d, const char *name)
    {
        return d.findChild<T *>(QLatin1String(name));
    }
    static QPlainTextEdit *editor(DialogScriptConsole &d) { return child<QPlainTextEdit>(d, "scriptEditor"); }
    static QPlainTextEdit *output(DialogScriptConsole &d) { return child<QPlainTextEdit>(d, "output"); }
    static QPushButton *runButton(DialogScriptConsole &d) { return child<QPushButton>(d, "runButton"); }
    static QPushButton *stopButton(DialogScriptConsole &d) { return child<QPushButton>(d, "stopButton"); }
    static QStringList lines(DialogScriptConsole &d)
    {
        const QString text = output(d)->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }
    static void runText(DialogScriptConsole &d, const QString &program)
    {
        editor(d)->setPlainText(program);
        QTest::mouseClick(runButton(d), Qt::LeftButton);
    }

    // Clicks "Stop Script" and returns the time until the script thread says it
    // stopped (-1 when it did not).
    static qint64 msUntilStopped(DialogScriptConsole &d, ScriptThread &thread)
    {
        QElapsedTimer clock;
        std::atomic<qint64> stoppedAt{-1};
        const auto connection = connect(
            &thread, &ScriptThread::scriptMessage, &thread,
            [&](const QString &line) {
                if (line == QLatin1String("Script stopped."))
                    stoppedAt = clock.elapsed();
            },
            Qt::DirectConnection);
        clock.start();
        QTest::mouseClick(stopButton(d), Qt::LeftButton);
        const bool ended = thread.wait(QDeadlineTimer(5000));
        disconnect(connection);
        return ended ? stoppedAt.load() : -1;
    }

    std::unique_ptr<SnmpController> m_controller;
    std::unique_ptr<SnmpModule> m_module;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(TestEnv::homeDir()));
        QFile file(QStringLiteral("test.js"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("'stored ' + mod.serialNumber()\n");
    }

    void init()
    {
        FakeWiener::reset();
        FakeWiener::state().moduleDescriptions[1] = "vexa, T03X0, 4, 7001, 5.20";
        m_controller = std::make_unique<SnmpController>(FakeWiener::functions());
        QVERIFY(m_controller->connectTo(QStringLiteral("127.0.0.2")));
        m_module = std::make_unique<SnmpModule>(m_controller.get(), 1);
    }

    void cleanup()
    {
        m_module.reset();
        m_controller.reset();
    }

    void widgetsTopToBottom()
    {
        DialogScriptConsole dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Script Console"));
        QVERIFY(!editor(dialog)->isReadOnly());
        QVERIFY(output(dialog)->isReadOnly());
        QCOMPARE(editor(dialog)->tabStopDistance(), 40.0);
        QCOMPARE(output(dialog)->tabStopDistance(), 40.0);
        QCOMPARE(runButton(dialog)->text(), QStringLiteral("Run Script"));
        QCOMPARE(stopButton(dialog)->text(), QStringLiteral("Stop Script"));
        QVERIFY(!stopButton(dialog)->isEnabled());
        QLabel *status = child<QLabel>(dialog, "statusLabel");
        QVERIFY(status && status->text().isEmpty());
        QVERIFY(editor(dialog)->geometry().bottom() < runButton(dialog)->geometry().top());
        QVERIFY(runButton(dialog)->geometry().bottom() < output(dialog)->geometry().top());
        QVERIFY(output(dialog)->geometry().bottom() < status->geometry().top());
        const QString shots = qEnvironmentVariable("VEXA_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            editor(dialog)->setPlainText("for (var v = 0; v <= 100; v += 10) {\n\tmod.setChannelVoltageSet(0, v);\n"
                                         "\tscript.delay(500);\n}");
            dialog.scriptMessage("ramp started");
            dialog.scriptMessage("Script exited with result undefined");
            QVERIFY(dialog.grab().save(shots + "/scriptconsole.png"));
        }
    }

    void runClearsOutputAndSendsPlainText()
    {
        DialogScriptConsole dialog;
        QSignalSpy run(&dialog, &DialogScriptConsole::runScript);
        QSignalSpy stop(&dialog, &DialogScriptConsole::stopScript);
        dialog.scriptMessage("old line");
        dialog.scriptMessage("<b>bold?</b>");
        QCOMPARE(lines(dialog), (QStringList{"old line", "<b>bold?</b>"}));
        runText(dialog, "if (a < b)\n\tscript.print('<i>')");
        QCOMPARE(lines(dialog), QStringList());
        QCOMPARE(run.size(), 1);
        QCOMPARE(run.first().first().toString(), QStringLiteral("if (a < b)\n\tscript.print('<i>')"));
        dialog.setScriptRunning(true);
        QTest::mouseClick(stopButton(dialog), Qt::LeftButton);
        QCOMPARE(stop.size(), 1);
        dialog.setScriptRunning(false);
        QVERIFY(!stopButton(dialog)->isEnabled());
    }

    void resultAndStoredTextRerun()
    {
        ScriptThread thread(m_module.get());
        DialogScriptConsole dialog;
        dialog.bind(&thread);
        // The editor is empty: test.js, read when the thread was made, runs.
        QTest::mouseClick(runButton(dialog), Qt::LeftButton);
        QTRY_COMPARE(lines(dialog), QStringList{"Script exited with result stored 7001"});
        runText(dialog, "1+1");
        QTRY_COMPARE(lines(dialog), QStringList{"Script exited with result 2"});
        QTRY_VERIFY(!thread.isRunning());
        runText(dialog, QString());
        QCOMPARE(lines(dialog), QStringList());
        QTRY_COMPARE(lines(dialog), QStringList{"Script exited with result 2"});
    }

    void secondRunRefusedAndStop()
    {
        ScriptThread thread(m_module.get());
        DialogScriptConsole dialog;
        dialog.bind(&thread);
        runText(dialog, "script.print('first'); script.delay(60000); script.print('late')");
        QTRY_COMPARE(lines(dialog), QStringList{"first"});
        QTRY_VERIFY(stopButton(dialog)->isEnabled());
        runText(dialog, "script.print('second')");
        QTest::qWait(100);
        QVERIFY(!lines(dialog).contains("second"));
        QVERIFY(thread.isScriptRunning());

        const qint64 took = msUntilStopped(dialog, thread);
        QVERIFY2(took >= 0 && took < 100, qPrintable(QString::number(took)));
        QTRY_COMPARE(lines(dialog), QStringList{"Script stopped."});
        QTRY_VERIFY(!stopButton(dialog)->isEnabled());
        QVERIFY(!lines(dialog).contains("late"));
    }

    void endlessLoopStoppedByTheButton()
    {
        ScriptThread thread(m_module.get());
        DialogScriptConsole dialog;
        dialog.bind(&thread);
        runText(dialog, "script.print('looping'); var i = 0; while (true) { ++i; }");
        QTRY_COMPARE(lines(dialog), QStringList{"looping"});
        QTRY_VERIFY(stopButton(dialog)->isEnabled());
        const qint64 took = msUntilStopped(dialog, thread);
        QVERIFY2(took >= 0 && took < 100, qPrintable(QString::number(took)));
        QTRY_COMPARE(lines(dialog), (QStringList{"looping", "Script stopped."}));
        // And the console runs the next script as usual.
        runText(dialog, "'again'");
        QTRY_COMPARE(lines(dialog), QStringList{"Script exited with result again"});
    }

    void noModuleRunsNothing()
    {
        ScriptThread thread(nullptr);
        DialogScriptConsole dialog;
        dialog.bind(&thread);
        runText(dialog, "script.print('x')");
        QCOMPARE(lines(dialog), QStringList{"Error: No module is connected, the script does not run."});
        QVERIFY(!thread.isRunning());
        QVERIFY(!stopButton(dialog)->isEnabled());
    }
};

VEXA_TEST_MAIN(TestDialogScriptConsole)
#include "tst_dialogscriptconsole.moc"
