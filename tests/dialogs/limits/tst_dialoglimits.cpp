// The limits and bounds dialogs on their own: spin-box ranges from the
// nominal values, follow flags, the asymmetry boxes, the set-current prompt
// and the delayed-trip controls, and the display of supplies and limits.

#include "dialogchannelbounds.h"
#include "dialogsetcurrent.h"
#include "dialogsetusernominalvalues.h"
#include "dialogsuppliestemplimits.h"
#include "testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

class TestDialogLimits : public QObject
{
    Q_OBJECT

private:
    template <typename T> static T *child(QWidget &w, const char *name)
    {
        T *found = w.findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning("no widget %s", name);
        return found;
    }
    static ChannelControl boundsControl(bool avbnd, bool acbnd)
    {
        ChannelControl control;
        control.setSetON(true);
        control.setSetAVBND(avbnd);
        control.setSetACBND(acbnd);
        return control;
    }

private slots:
    void initTestCase() { qRegisterMetaType<ChannelControl>(); }

    void boundsRangesFollowTheNominalValues_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<float>("nominal");
        QTest::addColumn<double>("maxOfMax");
        QTest::addColumn<double>("maxOfMin");
        QTest::newRow("mA") << QStringLiteral("mA") << 0.003f << 3.03 << 3.0;
        QTest::newRow("uA") << (QString(QChar(0x00B5)) + QLatin1Char('A')) << 0.0005f << 505.0 << 500.0;
        QTest::newRow("nA") << QStringLiteral("nA") << 2e-6f << 2020.0 << 2000.0;
        QTest::newRow("A") << QStringLiteral("A") << 0.5f << 0.505 << 0.5;
    }
    void boundsRangesFollowTheNominalValues()
    {
        QFETCH(QString, unit);
        QFETCH(float, nominal);
        QFETCH(double, maxOfMax);
        QFETCH(double, maxOfMin);
        DialogChannelBounds d;
        d.currentChannelChanged(77, 2);
        d.updateChannelCurrentNominal(77, 3, 1.0f, QStringLiteral("A")); // another channel: ignored
        d.updateChannelCurrentNominal(77, 2, nominal, unit);
        QCOMPARE(child<QDoubleSpinBox>(d, "spbCurrentIlkMax")->maximum(), maxOfMax);
        QCOMPARE(child<QDoubleSpinBox>(d, "spbCurrentIlkMin")->maximum(), maxOfMin);
        QCOMPARE(child<QLabel>(d, "lblCurrentIlkMax")->text(), QStringLiteral("Current Bounds (%1)").arg(unit));
        d.updateChannelVoltageNominal(77, 2, -3000.0f, QStringLiteral("V"));
        QCOMPARE(child<QDoubleSpinBox>(d, "spbVoltageIlkMax")->maximum(), 3030.0);
        QCOMPARE(child<QDoubleSpinBox>(d, "spbVoltageIlkMin")->maximum(), 3000.0);
        QCOMPARE(d.windowTitle(), QStringLiteral("Channel 2 Voltage and Current Bounds"));
        QCOMPARE(child<QLabel>(d, "lblChannel")->text(), QStringLiteral("Voltage and Current Bounds for Channel 2"));
    }

    void operatorEditStopsFollowingUntilSet()
    {
        DialogChannelBounds d;
        d.currentChannelChanged(77, 0);
        d.updateChannelVoltageNominal(77, 0, 3000.0f, QStringLiteral("V"));
        d.updateChannelCurrentNominal(77, 0, 0.003f, QStringLiteral("mA"));
        d.updateChannelVoltageInterlockMaxSet(77, 0, 2500.0f, QStringLiteral("V"));
        d.updateChannelCurrentInterlockMaxSet(77, 0, 2.5f, QStringLiteral("mA"));
        auto *vmax = child<QDoubleSpinBox>(d, "spbVoltageIlkMax");
        QCOMPARE(vmax->value(), 2500.0);

        vmax->setValue(1800.0); // as the operator types
        d.updateChannelVoltageInterlockMaxSet(77, 0, 2500.0f, QStringLiteral("V"));
        d.updateChannelCurrentInterlockMaxSet(77, 0, 2.0f, QStringLiteral("mA"));
        QCOMPARE(vmax->value(), 1800.0);
        QCOMPARE(child<QDoubleSpinBox>(d, "spbCurrentIlkMax")->value(), 2.0); // untouched box still follows

        QSignalSpy bounds(&d, &DialogChannelBounds::setChannelBounds);
        QSignalSpy control(&d, &DialogChannelBounds::setChannelControl);
        child<QPushButton>(d, "btnSetBounds")->click();
        QCOMPARE(bounds.count(), 1);
        const QList<QVariant> args = bounds.takeFirst();
        QCOMPARE(args.at(0).toInt(), 77);
        QCOMPARE(args.at(1).toInt(), 0);
        QCOMPARE(args.at(3).toFloat(), 1800.0f);
        QCOMPARE(args.at(6).toFloat(), 2.0f);
        QCOMPARE(control.count(), 0); // "Set" does not write the control word itself
        d.updateChannelVoltageInterlockMaxSet(77, 0, 1799.5f, QStringLiteral("V"));
        QCOMPARE(vmax->value(), 1799.5);
    }

    void newChannelShowsItsOwnValuesAgain()
    {
        DialogChannelBounds d;
        d.currentChannelChanged(77, 0);
        d.updateChannelVoltageNominal(77, 0, 3000.0f, QStringLiteral("V"));
        d.updateChannelVoltageNominal(77, 1, 3000.0f, QStringLiteral("V"));
        auto *vmax = child<QDoubleSpinBox>(d, "spbVoltageIlkMax");
        vmax->setValue(100.0);
        d.currentChannelChanged(77, 1);
        d.updateChannelVoltageInterlockMaxSet(77, 1, 2900.0f, QStringLiteral("V"));
        QCOMPARE(vmax->value(), 2900.0);
    }

    void asymmetryBoxes()
    {
        DialogChannelBounds d;
        QSignalSpy control(&d, &DialogChannelBounds::setChannelControl);
        d.setAsymmetricCapable(true);
        d.currentChannelChanged(77, 4);
        d.updateChannelVoltageNominal(77, 4, 500.0f, QStringLiteral("kV"));
        d.updateChannelControl(77, 4, boundsControl(true, false));
        auto *avbnd = child<QCheckBox>(d, "chkAVBND");
        QVERIFY(avbnd->isChecked());
        QVERIFY(!child<QCheckBox>(d, "chkACBND")->isChecked());
        QVERIFY(child<QDoubleSpinBox>(d, "spbVoltageIlkMin")->isEnabled());
        QVERIFY(!child<QDoubleSpinBox>(d, "spbCurrentIlkMin")->isEnabled());
        QCOMPARE(child<QLabel>(d, "lblVoltageIlkMax")->text(), QStringLiteral("Voltage Interlock Max Set (kV)"));
        QCOMPARE(control.count(), 0); // showing the module's word sends nothing back

        avbnd->click();
        QCOMPARE(child<QLabel>(d, "lblVoltageIlkMax")->text(), QStringLiteral("Voltage Bounds (kV)"));
        QVERIFY(!child<QDoubleSpinBox>(d, "spbVoltageIlkMin")->isEnabled());
        QVERIFY(!child<QLabel>(d, "lblVoltageIlkMin")->isEnabled());
        QCOMPARE(control.count(), 1);
        const ChannelControl sent = control.takeFirst().at(2).value<ChannelControl>();
        QCOMPARE(sent, boundsControl(false, false)); // setON kept, setAVBND cleared

        DialogChannelBounds plain;
        QVERIFY(!child<QCheckBox>(plain, "chkAVBND")->isEnabled());
        QVERIFY(!child<QCheckBox>(plain, "chkACBND")->isEnabled());
        QCOMPARE(plain.windowTitle(), QStringLiteral("Channel Voltage / Current Bounds"));
    }

    void setCurrentPrompt_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("lowest");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("all, one lower") << -1 << 3.0 << 1.0
                                        << QStringLiteral("Input a Set current (0...3 mA) for all channels:\n"
                                                          "Note: some channels will only allow 1 mA.");
        QTest::newRow("all, same") << -1 << 3.0 << 3.0
                                   << QStringLiteral("Input a Set current (0...3 mA) for all channels:");
        QTest::newRow("one channel") << 5 << 1.5 << 1.0
                                     << QStringLiteral("Input a Set current (0...1.5 mA) for channel 5:");
    }
    void setCurrentPrompt()
    {
        QFETCH(int, channel);
        QFETCH(double, maximum);
        QFETCH(double, lowest);
        QFETCH(QString, prompt);
        DialogSetCurrent d;
        d.setUnit(QStringLiteral("mA"));
        d.setChannel(channel);
        d.setMaximum(maximum);
        d.setLowestMaximum(lowest);
        QCOMPARE(child<QLabel>(d, "labelText")->text(), prompt);
        QCOMPARE(child<QLabel>(d, "lblUnit")->text(), QStringLiteral("mA"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Set Current Trip"));
    }

    void delayedTripControls_data()
    {
        QTest::addColumn<bool>("capable");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("capable, ticked") << true << true;
        QTest::newRow("capable, unticked") << true << false;
        QTest::newRow("not capable") << false << true;
    }
    void delayedTripControls()
    {
        QFETCH(bool, capable);
        QFETCH(bool, ticked);
        DialogSetCurrent d;
        d.setDelayedTrip(ticked);
        d.setDelayedTripCapable(capable);
        auto *box = child<QCheckBox>(d, "chkDelayedTrip");
        QCOMPARE(box->isEnabled(), capable);
        QCOMPARE(child<QSpinBox>(d, "sbDelay")->isEnabled(), capable && ticked);
        QCOMPARE(child<QGroupBox>(d, "grpDelayedTrip")->isEnabled(), capable && ticked);
        QCOMPARE(d.delayedTrip(), capable && ticked);
        const QString note = child<QLabel>(d, "labelNote")->text();
        if (capable) {
            QVERIFY(note.isEmpty());
            QVERIFY(box->toolTip().isEmpty());
        } else {
            QVERIFY(note.startsWith(QStringLiteral("<font color=\"red\"><b>Note</b>: Delayed Trip is not available")));
            QCOMPARE(box->toolTip(), QStringLiteral("Delayed Trip is not available for this channel!"));
        }
    }

    void delayedTripActionAndDelay()
    {
        DialogSetCurrent d;
        d.setDelayedTripCapable(true);
        for (int action : {2, 3, 1}) {
            d.setAction(action);
            QCOMPARE(d.action(), action);
        }
        d.setAction(0); // no delayed-trip "ignore": the safe choice is shown
        QCOMPARE(d.action(), 1);
        child<QRadioButton>(d, "chkShutDown")->setChecked(true);
        QCOMPARE(d.action(), 2);
        d.setDelay(250);
        QCOMPARE(d.delay(), 250);
        d.setMaximum(3.0);
        d.setDecimals(3);
        d.setValue(2.5);
        QCOMPARE(d.value(), 2.5);
        d.setValue(7.0); // beyond the maximum cannot be entered
        QCOMPARE(d.value(), 3.0);
    }

    void userNominalValuesAndSupplies()
    {
        DialogSetUserNominalValues n;
        QCOMPARE(n.windowTitle(), QStringLiteral("Set User Nominal Values"));
        n.setVoltageMaximum(3000.0);
        n.setVoltageDecimals(1);
        n.setVoltageNominal(2500.0);
        n.setCurrentMaximum(3.0);
        n.setCurrentDecimals(3);
        n.setCurrentNominal(3.5);
        n.setVoltageUnit(QStringLiteral("V"));
        n.setCurrentUnit(QStringLiteral("mA"));
        QCOMPARE(n.voltageNominal(), 2500.0);
        QCOMPARE(n.currentNominal(), 3.0);
        QCOMPARE(child<QLabel>(n, "currentUnit")->text(), QStringLiteral("mA"));

        DialogSuppliesTempLimits s;
        QCOMPARE(s.windowTitle(), QStringLiteral("Supplies, Temperature and Limits"));
        s.updateModuleSupplyP5(1, 5.1f);
        s.updateModuleSupplyP12(1, 24.2f);
        s.updateModuleSupplyN12(1, -12.0f);
        s.updateModuleVoltageHardwareLimit(1, 102.0f);
        s.updateModuleCurrentHardwareLimit(1, 101.0f);
        s.updateModuleTemperature(1, 2, 41.0f);
        s.updateModuleTemperature(1, 7, 33.5f); // unknown sensors show as the first
        QCOMPARE(child<QLCDNumber>(s, "lcdP5")->value(), double(5.1f));
        QCOMPARE(child<QLCDNumber>(s, "lcdP12")->value(), double(24.2f));
        QCOMPARE(child<QLCDNumber>(s, "lcdN12")->value(), -12.0);
        QCOMPARE(child<QLCDNumber>(s, "lcdVmax")->value(), 102.0);
        QCOMPARE(child<QLCDNumber>(s, "lcdImax")->value(), 101.0);
        QCOMPARE(child<QLCDNumber>(s, "lcdTemp2")->value(), 41.0);
        QCOMPARE(child<QLCDNumber>(s, "lcdTemp0")->value(), 33.5);
        QCOMPARE(child<QLCDNumber>(s, "lcdTemp1")->value(), 0.0);
    }
};

VEXA_TEST_MAIN(TestDialogLimits)
#include "tst_dialoglimits.moc"
