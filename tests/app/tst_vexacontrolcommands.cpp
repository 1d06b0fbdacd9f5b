// Operator commands of the main window against a private cratesim: a value
// typed into the table, switching one, selected and all channels, the value
// prompts with their bounds and labels for every scope, the voltage staircase
// and the channel bounds.

#include "tst_vexacontrolsupport.h"

#include "messagebox.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>

using namespace VexaTest;

class TestVexaControlCommands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;
    QString m_address;

    static constexpr int BipolarSerial = 8000001;

    static void waitTicks(int n = 3) { QTest::qWait(220 * n); }

    double simVoltage(int slot, int channel)
    {
        return channelValue(*m_sim, QStringLiteral("outputVoltage"), slot, channel);
    }

    // Makes module row `row` current and waits until its table is set up.
    bool selectModule(VexaControl &window, int row)
    {
        moduleList(window)->setCurrentRow(row);
        return waitConnected(window) && window.currentModuleIndex() == row;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(m_dir, QStringLiteral("commands.json"),
                                       QJsonArray{hvModule(0, "T20X0R", 4, BipolarSerial, 3000.0, true),
                                                  hvModule(1, "T03X0", 4, 8000002, 2000.0),
                                                  hvModule(2, "T03X0", 8, 8000003, 3000.0)});
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        m_address = m_sim->address();
    }

    void init()
    {
        TestEnv::setCrateAddress(m_address);
        MessageBox::clearHooks();
        MessageBox::clearHistory();
    }

    void cleanupTestCase() { m_sim->stop(); }

    void valueTypedInTableReachesTheSimulator()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 2));
        ChannelTable *t = table(window);
        // The table's edit signal, as a committed edit of Vset on channel 1.
        emit t->cellDataChanged(1, ChannelTable::VoltageSetColumn, QStringLiteral("1234.5"));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(2, 1), 1234.5, 3000);
        QCOMPARE(simVoltage(2, 0), 0.0);
        // The refresh shows it in the cell.
        QTRY_COMPARE_WITH_TIMEOUT(t->item(1, 0)->text(), window.currentModule()->formatVoltage(1234.5), 2000);

        // Not a number in the C locale: dropped.
        emit t->cellDataChanged(1, ChannelTable::VoltageSetColumn, QStringLiteral("99,5"));
        emit t->cellDataChanged(1, ChannelTable::VoltageSetColumn, QStringLiteral("abc"));
        waitTicks();
        QCOMPARE(simVoltage(2, 1), 1234.5);

        // Iset is typed in the display unit (mA) and sent in amperes.
        QCOMPARE(window.currentModule()->currentUnit(0), QStringLiteral("mA"));
        emit t->cellDataChanged(2, ChannelTable::CurrentSetColumn, QStringLiteral("0.25"));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(channelValue(*m_sim, QStringLiteral("outputCurrent"), 2, 2) - 0.00025) < 1e-9,
                                 3000);
        // Other columns are not edited.
        emit t->cellDataChanged(2, ChannelTable::VoltageMeasureColumn, QStringLiteral("77"));
        waitTicks(1);
        QVERIFY(simVoltage(2, 2) != 77.0);
    }

    void editingACellWithTheKeyboard()
    {
        VexaControl window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(selectModule(window, 2));
        ChannelTable *t = table(window);
        t->setFocus();
        t->setCurrentCell(6, ChannelTable::VoltageSetColumn);
        QTest::keyClick(t, Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor);
        // Refreshes do not overwrite the cell while it is being edited.
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("321.5"));
        waitTicks(2);
        QCOMPARE(editor->text(), QStringLiteral("321.5"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(2, 6), 321.5, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(t->item(6, 0)->text(), window.currentModule()->formatVoltage(321.5), 3000);
    }

    void tableValueWithGroupSeparatorIsIgnored()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 2));
        ChannelTable *t = table(window);
        emit t->cellDataChanged(0, ChannelTable::VoltageSetColumn, QStringLiteral("12.5"));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(2, 0), 12.5, 3000);
        // A comma is neither a decimal point nor a thousands separator here:
        // "1,234" meant as 1.234 must not reach the module as 1234.
        for (const QString &text : {QStringLiteral("1,234"), QStringLiteral("1,234.5"), QStringLiteral("2,000")})
            emit t->cellDataChanged(0, ChannelTable::VoltageSetColumn, text);
        waitTicks();
        QCOMPARE(simVoltage(2, 0), 12.5);
        emit t->cellDataChanged(0, ChannelTable::VoltageSetColumn, QStringLiteral("0"));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(2, 0), 0.0, 3000);
    }

    void voltagePromptInPercentIsBoundedByFullScale()
    {
        // In the units without a practical limit the prompt ends at the raw
        // full scale 8388607 V, which in percent is 100 %, not 8388607 %.
        VexaControl window;
        QVERIFY(selectModule(window, 0)); // bipolar
        BaseModule *module = window.currentModule();
        module->setVoltageUnit(QStringLiteral("%"));
        QCOMPARE(module->voltageUnit(0), QStringLiteral("%"));
        selectRows(window, {1});
        MessageBox::setNextValue(1.0e9);
        action(window, "actionSetChannelVoltage")->trigger();
        QCOMPARE(MessageBox::last().text, QStringLiteral("Input a voltage (%1...%2) for channel 1:")
                                              .arg(module->formatVoltageUnit(-8388607.0),
                                                   module->formatVoltageUnit(8388607.0)));
        QVERIFY2(qAbs(MessageBox::last().value.toDouble() - 100.0) < 1e-3,
                 qPrintable(MessageBox::last().value.toString()));
        MessageBox::setNextValue(-1.0e9);
        action(window, "actionSetChannelVoltage")->trigger();
        QVERIFY2(qAbs(MessageBox::last().value.toDouble() + 100.0) < 1e-3,
                 qPrintable(MessageBox::last().value.toString()));
        // Put the channel back to 0 V for the cases that follow, after the
        // commands queued on the crate thread.
        window.session()->runAndWait([] {});
        module->setChannelVoltageSet(1, 0.0f);
        module->setVoltageUnit(QStringLiteral("V"));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(0, 1), 0.0, 3000);
    }

    void switchingOneSelectedAndAllChannels()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 2));
        BaseModule *module = window.currentModule();
        auto onChannels = [module]() {
            QList<int> on;
            for (int c = 0; c < module->channelNumber(); ++c)
                if (module->channelControl(c).setON())
                    on << c;
            return on;
        };
        action(window, "actionSetAllModulesOff")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(onChannels(), QList<int>(), 3000);

        selectRows(window, {3});
        action(window, "actionSetChannelOn")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(onChannels(), QList<int>({3}), 3000);

        selectRows(window, {1, 5});
        action(window, "actionSetChannelOn")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(onChannels(), QList<int>({1, 3, 5}), 3000);
        action(window, "actionSetChannelOff")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(onChannels(), QList<int>({3}), 3000);

        selectRows(window, {6});
        action(window, "actionSetChannelEmergencyOff")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(module->channelControl(6).setEMCY(), 3000);
        QVERIFY(!module->channelControl(5).setEMCY());
        action(window, "actionClearChannelEmergencyOff")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!module->channelControl(6).setEMCY(), 3000);

        // All channels of the selected module (the current one).
        action(window, "actionSetAllChannelsOn")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(onChannels(), QList<int>({0, 1, 2, 3, 4, 5, 6, 7}), 3000);
        action(window, "actionSetAllChannelsEmergencyOff")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(module->channelControl(7).setEMCY() && module->channelControl(0).setEMCY(), 3000);
        action(window, "actionClearAllChannelsEmergencyOff")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!module->channelControl(7).setEMCY(), 3000);
        // Another module was not touched.
        QVERIFY(!window.modules().at(1)->channelControl(0).setON());

        // All modules.
        action(window, "actionSetAllModulesOn")->trigger();
        BaseModule *other = window.modules().at(1);
        QTRY_VERIFY_WITH_TIMEOUT(other->channelControl(0).setON() && other->channelControl(3).setON(), 3000);
        action(window, "actionSetAllModulesOff")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!other->channelControl(0).setON() && onChannels().isEmpty(), 3000);
    }

    // The module's value is read on the crate thread before the list opens.
    void moduleSettingListsOpenAfterTheRead_data()
    {
        QTest::addColumn<QString>("actionName");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("picked");
        QTest::newRow("ADC rate") << "actionAdcSampleRate" << "Choose ADC Sample Rate (samples per second):" << "100";
        QTest::newRow("filter") << "actionDigitalFilter" << "Choose Digital Filter averaging steps:" << "256";
    }
    void moduleSettingListsOpenAfterTheRead()
    {
        QFETCH(QString, actionName);
        QFETCH(QString, label);
        QFETCH(QString, picked);
        VexaControl window;
        QVERIFY(selectModule(window, 2));
        MessageBox::setNextValue(picked);
        action(window, qPrintable(actionName))->trigger();
        QTRY_COMPARE(MessageBox::pendingValues(), 0);
        const MessageBox::Record asked = MessageBox::last();
        QCOMPARE(asked.kind, MessageBox::InputItem);
        QCOMPARE(asked.text, label);
        QCOMPARE(asked.value.toString(), picked);
    }

    void voltagePromptForOneAndSelectedChannels()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 0)); // bipolar, 3000 V
        BaseModule *module = window.currentModule();
        QCOMPARE(module->firmwareName(), QStringLiteral("T20X0R"));
        selectRows(window, {2});
        MessageBox::setNextValue(99999.0); // clamped to the upper bound
        action(window, "actionSetChannelVoltage")->trigger();
        const QString expected = QStringLiteral("Input a voltage (%1...%2) for channel 2:")
                                     .arg(module->formatVoltageUnit(-3000.0), module->formatVoltageUnit(3000.0));
        QCOMPARE(MessageBox::last().text, expected);
        QCOMPARE(MessageBox::last().title, QStringLiteral("vexa SNMP Control"));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(0, 2), 3000.0, 3000);

        selectRows(window, {1, 3});
        MessageBox::setNextValue(-99999.0); // clamped to the lower bound of a bipolar module
        action(window, "actionSetChannelVoltage")->trigger();
        QVERIFY(MessageBox::last().text.endsWith(QStringLiteral(" for the selected channels:")));
        QVERIFY(!MessageBox::last().text.contains(QStringLiteral("Note")));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(0, 3), -3000.0, 3000);
        QCOMPARE(simVoltage(0, 1), -3000.0);
        QCOMPARE(simVoltage(0, 2), 3000.0);

        // Cancel writes nothing.
        MessageBox::setNextValue(QVariant());
        action(window, "actionSetChannelVoltage")->trigger();
        waitTicks(1);
        QCOMPARE(simVoltage(0, 1), -3000.0);

        // A unipolar module starts at 0.
        QVERIFY(selectModule(window, 1));
        selectRows(window, {0});
        MessageBox::setNextValue(-5.0);
        action(window, "actionSetChannelVoltage")->trigger();
        QCOMPARE(MessageBox::last().text,
                 QStringLiteral("Input a voltage (%1...%2) for channel 0:")
                     .arg(window.currentModule()->formatVoltageUnit(0.0), window.currentModule()->formatVoltageUnit(2000.0)));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(1, 0), 0.0, 3000);
    }

    void voltagePromptForSelectedModules()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 2));
        QListWidget *list = moduleList(window);
        list->item(1)->setSelected(true);
        list->item(2)->setSelected(true);
        QCOMPARE(list->selectedItems().size(), 2);
        MessageBox::setNextValue(1500.0);
        action(window, "actionSetAllVoltages")->trigger();
        QVERIFY(MessageBox::last().text.endsWith(QStringLiteral(" for all channels in selected modules:")));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(2, 7), 1500.0, 3000);
        QCOMPARE(simVoltage(1, 3), 1500.0);
        QVERIFY(simVoltage(0, 0) != 1500.0); // not selected
    }

    void voltagePromptForAllModulesWithSmallerMaximum()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 0)); // bipolar current module
        BaseModule *module = window.currentModule();
        MessageBox::setNextValue(-99999.0);
        action(window, "actionSetAllModulesVoltage")->trigger();
        // The smallest maximum of all channels (2000 V) bounds the negative side.
        const QString text = MessageBox::last().text;
        QCOMPARE(text, QStringLiteral("Input a voltage (%1...%2) for all channels in all modules:\n\n"
                                      "Note: some channels will only allow %3.")
                           .arg(module->formatVoltageUnit(-2000.0), module->formatVoltageUnit(3000.0),
                                module->formatVoltageUnit(2000.0)));
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(0, 0), -2000.0, 3000);

        MessageBox::setNextValue(100.0);
        action(window, "actionSetAllModulesVoltage")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(simVoltage(2, 5), 100.0, 3000);
        QCOMPARE(simVoltage(1, 0), 100.0);
        QCOMPARE(simVoltage(0, 3), 100.0);
    }

    void currentPromptInDisplayUnit()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 2));
        BaseModule *module = window.currentModule();
        selectRows(window, {4});
        MessageBox::setNextValue(0.5); // mA
        action(window, "actionSetChannelCurrent")->trigger();
        QCOMPARE(MessageBox::last().text,
                 QStringLiteral("Input a current (0...%1) for channel 4:").arg(module->formatCurrentUnit(0.001)));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(channelValue(*m_sim, QStringLiteral("outputCurrent"), 2, 4) - 0.0005) < 1e-9, 3000);
    }

    void rampPrompts()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 0));
        MessageBox::setNextValue(QVariant());
        action(window, "actionSetModulesVoltageRamp")->trigger();
        QCOMPARE(MessageBox::last().text,
                 QStringLiteral("Input Voltage Ramp speed (%/s):\n\nNote: Voltage Ramp speed will be limited to 1 %\n"
                                "in Delayed Trip and Kill Enable."));
        MessageBox::setNextValue(QVariant());
        action(window, "actionSetAllModulesCurrentRamp")->trigger();
        QCOMPARE(MessageBox::last().text, QStringLiteral("Input Current Ramp speed (%/s):"));
    }

    void channelBoundsWriteTheMaxima()
    {
        VexaControl window;
        QVERIFY(selectModule(window, 2));
        BaseModule *module = window.currentModule();
        QVERIFY(!module->canSetAsymmetricBounds());
        window.session()->setChannelBounds(8000003, 3, false, 2500.0f, 0.0f, false, 0.0008f, 0.0f);
        QTRY_COMPARE_WITH_TIMEOUT(module->channelVoltageInterlockMaxSet(3), 2500.0f, 3000);
        QVERIFY(MessageBox::history().isEmpty());
    }

    void staircaseBothWaysAndScopeOne()
    {
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(m_dir, QStringLiteral("single.json"),
                                       QJsonArray{hvModule(3, "T03X0", 4, 8000010, 2000.0)});
        CrateSimProcess sim(options);
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        TestEnv::setCrateAddress(sim.address());
        VexaControl window;
        QVERIFY(waitConnected(window));
        auto voltages = [&sim]() {
            QList<double> v;
            for (int c = 0; c < 4; ++c)
                v << channelValue(sim, QStringLiteral("outputVoltage"), 3, c);
            return v;
        };
        // Step min(100, 2000 / 4): first up to the nominal voltage, then down from it.
        action(window, "actionSetAllChannelsVoltageIncremental")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(voltages(), QList<double>({1700, 1800, 1900, 2000}), 3000);
        action(window, "actionSetAllChannelsVoltageIncremental")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(voltages(), QList<double>({2000, 1900, 1800, 1700}), 3000);
        action(window, "actionSetAllChannelsVoltageIncremental")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(voltages(), QList<double>({1700, 1800, 1900, 2000}), 3000);

        // One module in the list: "all channels" scope.
        MessageBox::setNextValue(250.0);
        action(window, "actionSetAllVoltages")->trigger();
        QVERIFY(MessageBox::last().text.endsWith(QStringLiteral(" for all channels:")));
        QTRY_COMPARE_WITH_TIMEOUT(voltages(), QList<double>({250, 250, 250, 250}), 3000);
        sim.stop();
    }
};

VEXA_TEST_MAIN(TestVexaControlCommands)
#include "tst_vexacontrolcommands.moc"
