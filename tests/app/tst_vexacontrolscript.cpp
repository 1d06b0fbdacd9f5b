// The main window's script console against cratesim: a script ramps a channel of
// the first module while the table follows, a crate without modules runs
// nothing, a reconnect stops a running script and hands the new first module
// over, and closing the window during a run stops the script before the module
// goes away. Labelled "concurrency": under ThreadSanitizer the refresh timer
// and a script share the module.

#include "tst_vexacontrolsupport.h"

#include "dialogscriptconsole.h"
#include "messagebox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace VexaTest;

class TestVexaControlScript : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;

    static DialogScriptConsole *openConsole(VexaControl &w)
    {
        QAction *script = action(w, "actionScript");
        if (!script || !script->isEnabled())
            return nullptr;
        script->trigger();
        auto *console = w.findChild<DialogScriptConsole *>();
        return console && console->isVisible() ? console : nullptr;
    }
    static QStringList lines(DialogScriptConsole *c)
    {
        const QString text = c->findChild<QPlainTextEdit *>(QStringLiteral("output"))->toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }
    static void run(DialogScriptConsole *c, const QString &program)
    {
        c->findChild<QPlainTextEdit *>(QStringLiteral("scriptEditor"))->setPlainText(program);
        QTest::mouseClick(c->findChild<QPushButton *>(QStringLiteral("runButton")), Qt::LeftButton);
    }
    // "on" or "off" as the simulator reports a channel's switch.
    QString switchOf(int slot, int channel) const
    {
        return snmp(*m_sim, QStringLiteral("snmpget"),
                    {QStringLiteral("WIENER-CRATE-MIB::outputSwitch.%1").arg(slot * 100 + channel + 1)});
    }
    static QPushButton *stopButton(DialogScriptConsole *c)
    {
        return c->findChild<QPushButton *>(QStringLiteral("stopButton"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir::setCurrent(TestEnv::homeDir()));
        CrateSimProcess::Options options;
        options.timeScale = 10;
        options.crateFile = writeCrate(m_dir, QStringLiteral("script.json"),
                                       QJsonArray{hvModule(1, "T03X0", 4, 8200001, 2000.0),
                                                  hvModule(4, "T03X0", 8, 8200004, 3000.0)});
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
    }

    void init()
    {
        TestEnv::setCrateAddress(m_sim->address());
        MessageBox::clearHooks();
        MessageBox::clearHistory();
        // Closing asks nothing and ramps nothing down.
        Settings::operatorStore(QStringLiteral("vexacontrol"))->setValue(QStringLiteral("CloseBehavior"), 2);
    }

    void cleanupTestCase() { m_sim->stop(); }

    // The operator's ramp: the table of the first module follows the script, and
    // the script keeps running while the window refreshes.
    void scriptRampsAChannelOfTheFirstModule()
    {
        VexaControl window;
        window.show();
        QCOMPARE(window.modules().size(), 2);
        DialogScriptConsole *console = openConsole(window);
        QVERIFY(console);
        QVERIFY(QTest::qWaitForWindowActive(console));
        run(console, "mod.setVoltageUnit('V');\n"
                     "for (var v = 100; v <= 500; v += 100) {\n"
                     "    mod.setChannelVoltageSet(2, v);\n"
                     "    script.print('set ' + v);\n"
                     "    script.delay(300);\n"
                     "}\n"
                     "mod.setChannelOn(2);\n"
                     "mod.serialNumber()");
        ChannelTable *t = table(window);
        QTRY_COMPARE_WITH_TIMEOUT(lines(console).value(0), QStringLiteral("set 100"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(t->item(2, ChannelTable::VoltageSetColumn) &&
                                     t->item(2, ChannelTable::VoltageSetColumn)->text() ==
                                         window.modules().at(0)->formatVoltage(100.0),
                                 5000);
        QTRY_COMPARE_WITH_TIMEOUT(lines(console),
                                  (QStringList{"set 100", "set 200", "set 300", "set 400", "set 500",
                                               "Script exited with result 8200001"}),
                                  15000);
        QTRY_COMPARE_WITH_TIMEOUT(t->item(2, ChannelTable::VoltageSetColumn)->text(),
                                  window.modules().at(0)->formatVoltage(500.0), 5000);
        QCOMPARE(channelValue(*m_sim, QStringLiteral("outputVoltage"), 1, 2), 500.0);
        QCOMPARE(switchOf(1, 2), QStringLiteral("on"));
        QTRY_VERIFY(!stopButton(console)->isEnabled());
        snmp(*m_sim, QStringLiteral("snmpset"), {QStringLiteral("WIENER-CRATE-MIB::outputSwitch.103"),
                                                 QStringLiteral("i"), QStringLiteral("0")});
    }

    // A script that does nothing but call its module, while the refresh timer
    // reads the same module: both go on, and the script's writes all arrive.
    void scriptHammersWhileTheWindowRefreshes()
    {
        VexaControl window;
        window.show();
        QVERIFY(waitConnected(window));
        QSignalSpy refreshed(window.session(), &CrateSession::updateChannelStatus);
        DialogScriptConsole *console = openConsole(window);
        QVERIFY(console);
        // At least 150 rounds and at least 1.5 s, so refresh ticks fall inside the
        // run however fast the machine is.
        run(console, "mod.setVoltageUnit('V');\n"
                     "var end = Date.now() + 1500;\n"
                     "var i = 0;\n"
                     "while (i < 150 || Date.now() < end) {\n"
                     "    ++i;\n"
                     "    mod.setChannelVoltageSet(0, 1 + i % 1000);\n"
                     "    mod.channelVoltageSet(0);\n"
                     "    mod.channelStatus(0);\n"
                     "    mod.channelCurrentMeasure(3);\n"
                     "    mod.formatVoltage(mod.channelVoltageSet(1));\n"
                     "}\n"
                     "1 + i % 1000");
        QTRY_VERIFY2(stopButton(console)->isEnabled() || !lines(console).isEmpty(),
                     qPrintable(lines(console).join('|')));
        const int before = refreshed.size();
        QTRY_COMPARE_WITH_TIMEOUT(lines(console).size(), 1, 60000);
        const QString result = lines(console).first();
        QVERIFY2(result.startsWith(QLatin1String("Script exited with result ")), qPrintable(result));
        QVERIFY2(refreshed.size() > before, "the window did not refresh while the script ran");
        const double last = result.mid(int(qstrlen("Script exited with result "))).toDouble();
        QVERIFY(last >= 1.0);
        QCOMPARE(channelValue(*m_sim, QStringLiteral("outputVoltage"), 1, 0), last);
    }

    // `mod` is the first module of the list, not the one the operator looks at;
    // a second use of the action shows the same console.
    void modIsTheFirstModule()
    {
        VexaControl window;
        window.show();
        moduleList(window)->setCurrentRow(1);
        DialogScriptConsole *console = openConsole(window);
        QVERIFY(console);
        run(console, "mod.serialNumber()");
        QTRY_COMPARE(lines(console), QStringList{"Script exited with result 8200001"});
        console->close();
        QCOMPARE(openConsole(window), console);
    }

    void reconnectStopsTheScriptAndHandsOverTheNewModule()
    {
        VexaControl window;
        window.show();
        DialogScriptConsole *console = openConsole(window);
        QVERIFY(console);
        run(console, "script.print('looping'); for (;;) mod.channelVoltageMeasure(0);");
        QTRY_COMPARE(lines(console), QStringList{"looping"});
        window.initModuleAccess();
        QTRY_COMPARE(lines(console), (QStringList{"looping", "Script stopped."}));
        QCOMPARE(window.modules().size(), 2);
        run(console, "mod.serialNumber() + ' ' + mod.channelNumber()");
        QTRY_COMPARE(lines(console), QStringList{"Script exited with result 8200001 4"});
    }

    // The window goes, with the module, while a script hammers that module.
    void closingDuringARun()
    {
        auto window = std::make_unique<VexaControl>();
        window->show();
        DialogScriptConsole *console = openConsole(*window);
        QVERIFY(console);
        run(console, "script.print('looping'); for (;;) { mod.setChannelOff(3); mod.channelStatus(0); }");
        QTRY_COMPARE(lines(console), QStringList{"looping"});
        QTRY_VERIFY(stopButton(console)->isEnabled());
        QVERIFY(window->close());
        window.reset();
        // The window's module and thread are gone; the simulator still answers.
        QCOMPARE(switchOf(1, 3), QStringLiteral("off"));
    }

    void closingDuringADelay()
    {
        auto window = std::make_unique<VexaControl>();
        DialogScriptConsole *console = openConsole(*window);
        QVERIFY(console);
        run(console, "script.print('waiting'); script.delay(60000); mod.setChannelOn(3)");
        QTRY_COMPARE(lines(console), QStringList{"waiting"});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(window->close());
        window.reset();
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(switchOf(1, 3), QStringLiteral("off"));
    }

    void noModuleRunsNothing()
    {
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(m_dir, QStringLiteral("empty.json"), QJsonArray{});
        CrateSimProcess empty(options);
        QVERIFY2(empty.start(), qPrintable(empty.errorString()));
        TestEnv::setCrateAddress(empty.address());
        VexaControl window;
        QVERIFY(window.modules().isEmpty());
        DialogScriptConsole *console = openConsole(window);
        QVERIFY(console);
        run(console, "script.print('x')");
        QCOMPARE(lines(console), QStringList{"Error: No module is connected, the script does not run."});
        QTRY_VERIFY(!stopButton(console)->isEnabled());
    }
};

VEXA_TEST_MAIN(TestVexaControlScript)
#include "tst_vexacontrolscript.moc"
