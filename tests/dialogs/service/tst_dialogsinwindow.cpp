// The settings, calibration and special-mode dialogs opened from the main
// window's entries, against a simulated crate: a display format saved for a
// firmware name reaches every module of that type, in the table at the next
// refresh and after a restart; a special-mode transfer against the crate's
// SNMP modules, which do not take the special mode, says so and ends on Cancel.

#include "../../app/tst_vexacontrolsupport.h"
#include "dialogcalibrationcontrol.h"
#include "dialogsettings.h"
#include "dialogspecial.h"
#include "messagebox.h"
#include "resolution.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidgetItem>

using namespace VexaTest;

class TestDialogsInWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;

    static QString header(VexaControl &w, int column)
    {
        QTableWidgetItem *item = table(w)->horizontalHeaderItem(column);
        return item ? item->text() : QString();
    }
    static QString cell(VexaControl &w, int row, int column)
    {
        QTableWidgetItem *item = table(w)->item(row, column);
        return item ? item->text() : QString();
    }
    static bool selectModule(VexaControl &w, int row)
    {
        moduleList(w)->setCurrentRow(row);
        return waitConnected(w);
    }
    // Opens "Settings..." and lets the operator's changes happen before OK.
    template <typename Change>
    static bool changeSettings(VexaControl &w, Change change)
    {
        action(w, "actionSettings")->trigger();
        DialogSettings *dialog = nullptr;
        for (DialogSettings *d : w.findChildren<DialogSettings *>())
            if (d->isVisible())
                dialog = d;
        if (!dialog || !dialog->isModal())
            return false;
        change(*dialog);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString crate = writeCrate(m_dir, QStringLiteral("types.json"),
                                         {hvModule(0, "T03X0", 4, 5001, 3000), hvModule(1, "T03X0", 4, 5002, 3000),
                                          hvModule(2, "T14X0", 4, 5003, 4000)});
        CrateSimProcess::Options options;
        options.crateFile = crate;
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
    }

    void init()
    {
        MessageBox::clearHooks();
        MessageBox::clearHistory();
        Settings::store(QStringLiteral("resolution"))->clear();
    }

    void cleanupTestCase() { m_sim->stop(); }

    void firmwareScopeReachesEveryModuleOfTheTypeAndSurvivesARestart()
    {
        {
            VexaControl w;
            QVERIFY(waitConnected(w));
            w.modules().at(0)->setChannelVoltageSet(0, 1500.0f);
            w.modules().at(1)->setChannelVoltageSet(0, 1500.0f);
            w.modules().at(2)->setChannelVoltageSet(0, 1500.0f);
            QTRY_COMPARE_WITH_TIMEOUT(cell(w, 0, ChannelTable::VoltageSetColumn), w.currentModule()->formatVoltage(1500.0), 10000);
            QVERIFY(changeSettings(w, [](DialogSettings &d) {
                QCOMPARE(d.serialNumber(), 5001);
                QCOMPARE(d.firmwareName(), QStringLiteral("T03X0"));
                d.setUseControllerUnits(false);
                d.setVoltageUnit(QStringLiteral("kV"));
                d.setVoltagePrecision(3);
                d.setScope(Resolution::FirmwareScope);
            }));
            QTRY_COMPARE_WITH_TIMEOUT(header(w, ChannelTable::VoltageSetColumn), QStringLiteral("Vset (kV)"), 10000);
            QTRY_COMPARE_WITH_TIMEOUT(cell(w, 0, ChannelTable::VoltageSetColumn), QStringLiteral("1.500"), 10000);
            QVERIFY(selectModule(w, 1));
            QTRY_COMPARE_WITH_TIMEOUT(cell(w, 0, ChannelTable::VoltageSetColumn), QStringLiteral("1.500"), 10000);
            QCOMPARE(header(w, ChannelTable::VoltageMeasureColumn), QStringLiteral("Vmeasure (kV)"));
            QVERIFY(selectModule(w, 2));
            QCOMPARE(header(w, ChannelTable::VoltageSetColumn), QStringLiteral("Vset (V)"));
        }
        // The next start of the program.
        VexaControl w;
        QVERIFY(waitConnected(w));
        QCOMPARE(header(w, ChannelTable::VoltageSetColumn), QStringLiteral("Vset (kV)"));
        QTRY_COMPARE_WITH_TIMEOUT(cell(w, 0, ChannelTable::VoltageSetColumn), QStringLiteral("1.500"), 10000);
        QVERIFY(selectModule(w, 1));
        QCOMPARE(header(w, ChannelTable::VoltageSetColumn), QStringLiteral("Vset (kV)"));
        QVERIFY(selectModule(w, 2));
        QCOMPARE(header(w, ChannelTable::VoltageSetColumn), QStringLiteral("Vset (V)"));
    }

    void precisionShowsAtTheNextRefresh()
    {
        VexaControl w;
        QVERIFY(waitConnected(w));
        w.currentModule()->setChannelVoltageSet(1, 125.0f);
        QTRY_COMPARE_WITH_TIMEOUT(cell(w, 1, ChannelTable::VoltageSetColumn), w.currentModule()->formatVoltage(125.0), 10000);
        QVERIFY(changeSettings(w, [](DialogSettings &d) {
            d.setUseControllerUnits(false);
            d.setVoltageUnit(QStringLiteral("V"));
            d.setVoltagePrecision(4);
            d.setScope(Resolution::SerialNumberScope);
        }));
        QTRY_COMPARE_WITH_TIMEOUT(cell(w, 1, ChannelTable::VoltageSetColumn), QStringLiteral("125.0000"), 10000);
        // Only this module: its sibling of the same type keeps the default format.
        QVERIFY(selectModule(w, 1));
        QCOMPARE(w.currentModule()->voltagePrecision(), 2);
    }

    void calibrationControlReachesTheModule()
    {
        VexaControl w;
        QVERIFY(waitConnected(w));
        QAction *entry = action(w, "actionCalibrationControl");
        entry->setEnabled(true); // the service argument's doing
        entry->trigger();
        auto *dialog = w.findChild<DialogCalibrationControl *>();
        QVERIFY(dialog && dialog->isVisible());
        QSignalSpy range(dialog, &DialogCalibrationControl::setCurrentMeasurementRange);
        dialog->findChild<QPushButton *>(QStringLiteral("buttonLowRange"))->click();
        QCOMPARE(range.count(), 1);
        entry->trigger();
        QCOMPARE(w.findChildren<DialogCalibrationControl *>().size(), 1);
    }

    void specialModeAgainstTheCrateStopsHonestly()
    {
        QList<QByteArray> lines{"S00600004844521B", "S1130000285F245F2212226A000424290008237C2A", "S9030000FC"};
        QFile file(m_dir.filePath(QStringLiteral("T03X0.hex")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines.join("\n") + "\n");
        file.close();
        Settings::operatorStore()->setValue(QStringLiteral("DefaultHexFileName"), file.fileName());

        VexaControl w;
        QVERIFY(waitConnected(w));
        QAction *entry = action(w, "actionSpecialMode");
        QVERIFY(!entry->isEnabled() || !entry->isVisible());
        MessageBox::setNextValue(QStringLiteral("tor5plank"));
        action(w, "actionPassword")->trigger();
        QVERIFY(entry->isEnabled() && entry->isVisible());
        entry->trigger();
        auto *dialog = w.findChild<DialogSpecial *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtFileName"))->text(), file.fileName());
        dialog->setStallTimeout(1500);
        dialog->findChild<QPushButton *>(QStringLiteral("btnSendHexFile"))->click();
        QCOMPARE(dialog->transferState(), int(DialogSpecial::AskingSpecialMode));
        // The crate's modules report their special words as 0 and never the
        // special mode: the dialog says so instead of waiting silently.
        auto *status = dialog->findChild<QLabel *>(QStringLiteral("lblTransferStatus"));
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral("does not answer")), 15000);
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("lblSpecialControlStatus"))->text(),
                 QStringLiteral("SpecialControl = 0x00000000, SpecialStatus = 0x00000000"));
        QVERIFY(dialog->transferState() < int(DialogSpecial::WritePass));
        dialog->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
        QCOMPARE(dialog->transferState(), int(DialogSpecial::Idle));
        QVERIFY(dialog->findChild<QPushButton *>(QStringLiteral("btnSendHexFile"))->isEnabled());
        QVERIFY(dialog->close());
        QVERIFY(MessageBox::history().size() == 1); // the password only
    }
};

VEXA_TEST_MAIN(TestDialogsInWindow)
#include "tst_dialogsinwindow.moc"
