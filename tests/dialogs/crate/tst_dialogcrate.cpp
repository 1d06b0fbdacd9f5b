// The crate dialog on its own: list order and current entry, fields of the
// current crate only, supply colours, and the three requests.

#include "dialogcrate.h"
#include "messagebox.h"
#include "testenv.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestDialogCrate : public QObject
{
    Q_OBJECT

private:
    static QListWidget *list(DialogCrate &d) { return d.findChild<QListWidget *>(QStringLiteral("crateList")); }
    static QLineEdit *field(DialogCrate &d, const char *name) { return d.findChild<QLineEdit *>(QLatin1String(name)); }
    static QPushButton *button(DialogCrate &d, const char *name) { return d.findChild<QPushButton *>(QLatin1String(name)); }
    static QColor base(QLineEdit *f) { return f->palette().color(QPalette::Base); }

private slots:
    void init()
    {
        MessageBox::clearHooks();
        MessageBox::clearHistory();
    }

    void formHasTheNamedWidgets()
    {
        DialogCrate dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Crates"));
        for (const char *name : {"txtSupply5", "txtSupply24", "txtBattery24", "txtTempBackPlane", "txtTempPowerSupply",
                                 "txtFan1", "txtFan2", "txtStatus", "txtFirmware", "txtEventStatus"})
            QVERIFY2(field(dialog, name), name);
        QVERIFY(dialog.findChild<QWidget *>(QStringLiteral("crateStatusGroup")));
        QVERIFY(button(dialog, "btnClear"));
        QVERIFY(!button(dialog, "setFanSpeed")->isEnabled());
        QCOMPARE(button(dialog, "btnPowerOn")->text(), QStringLiteral("&On"));
        dialog.setFanSpeedEnabled(true);
        QVERIFY(button(dialog, "setFanSpeed")->isEnabled());
    }

    void entriesSortedAndFirstBecomesCurrent()
    {
        DialogCrate dialog;
        dialog.updateStatus(12, 1);
        dialog.updateStatus(5, 2);
        dialog.updateStatus(30, 3);
        QListWidget *l = list(dialog);
        QCOMPARE(l->count(), 3);
        QCOMPARE(l->item(0)->text(), QStringLiteral("5"));
        QCOMPARE(l->item(1)->text(), QStringLiteral("12"));
        QCOMPARE(l->item(2)->text(), QStringLiteral("30"));
        // The first entry inserted became current and only its value is shown.
        QCOMPARE(dialog.currentSerialNumber(), 12);
        QCOMPARE(field(dialog, "txtStatus")->text(), QStringLiteral("1"));
    }

    void serialZeroChangesNothing()
    {
        DialogCrate dialog;
        dialog.updateSupply24V(0, 24.0f);
        dialog.updateCrateAddress(0, QStringLiteral("127.0.0.9"));
        dialog.updatePowerOn(0, true);
        QCOMPARE(list(dialog)->count(), 0);
        QVERIFY(field(dialog, "txtSupply24")->text().isEmpty());
        QVERIFY(!dialog.powerOn());
    }

    void otherCratesValuesAreNotShownUntilSelected()
    {
        DialogCrate dialog;
        dialog.updateSupply24V(7, 24.1f);
        dialog.updateSupply24V(9, 23.5f);
        QCOMPARE(field(dialog, "txtSupply24")->text(), QStringLiteral("24.1"));
        list(dialog)->setCurrentRow(1);
        QCOMPARE(field(dialog, "txtSupply24")->text(), QStringLiteral("24.1"));
        dialog.updateSupply24V(9, 23.5f);
        QCOMPARE(field(dialog, "txtSupply24")->text(), QStringLiteral("23.5"));
    }

    void addressGoesIntoTheEntryText()
    {
        DialogCrate dialog;
        dialog.updateCrateAddress(4711, QStringLiteral("127.0.0.7"));
        dialog.updateCrateAddress(4711, QStringLiteral("127.0.0.7"));
        QCOMPARE(list(dialog)->item(0)->text(), QStringLiteral("4711\n127.0.0.7"));
        // The serial number is still read back from the text.
        QCOMPARE(dialog.currentSerialNumber(), 4711);
        dialog.updateStatus(4711, 42);
        QCOMPARE(list(dialog)->count(), 1);
        QCOMPARE(field(dialog, "txtStatus")->text(), QStringLiteral("42"));
    }

    void numberFormats()
    {
        DialogCrate dialog;
        dialog.updateSupply5V(3, 5.04f);
        dialog.updateBattery24V(3, 26.66f);
        dialog.updateTemperatureBackPlane(3, 31.24f);
        dialog.updateTemperaturePowerSupply(3, 40.0f);
        dialog.updateCrateFanSpeed(3, 2199.6f);
        dialog.updateEventStatus(3, 17);
        dialog.updateFirmwareRelease(3, QStringLiteral("MPOD 2.1.0.4"));
        QCOMPARE(field(dialog, "txtSupply5")->text(), QStringLiteral("5.0"));
        QCOMPARE(field(dialog, "txtBattery24")->text(), QStringLiteral("26.7"));
        QCOMPARE(field(dialog, "txtTempBackPlane")->text(), QStringLiteral("31.2"));
        QCOMPARE(field(dialog, "txtTempPowerSupply")->text(), QStringLiteral("40.0"));
        QCOMPARE(field(dialog, "txtFan1")->text(), QStringLiteral("2200"));
        QCOMPARE(field(dialog, "txtEventStatus")->text(), QStringLiteral("17"));
        QCOMPARE(field(dialog, "txtFirmware")->text(), QStringLiteral("MPOD 2.1.0.4"));
        QVERIFY(field(dialog, "txtFan2")->text().isEmpty());
    }

    void supplyColours_data()
    {
        QTest::addColumn<bool>("powerOn");
        QTest::addColumn<float>("supply5");
        QTest::addColumn<float>("supply24");
        QTest::addColumn<bool>("red5");
        QTest::addColumn<bool>("red24");
        QTest::newRow("off, 24 V present") << false << 0.0f << 2.5f << false << true;
        QTest::newRow("on, 24 V present") << true << 0.0f << 2.5f << false << false;
        QTest::newRow("off, 5 V present") << false << 0.6f << 0.0f << true << false;
        QTest::newRow("off, below thresholds") << false << 0.5f << 2.0f << false << false;
    }

    void supplyColours()
    {
        QFETCH(bool, powerOn);
        QFETCH(float, supply5);
        QFETCH(float, supply24);
        QFETCH(bool, red5);
        QFETCH(bool, red24);
        DialogCrate dialog;
        dialog.updatePowerOn(1, powerOn);
        dialog.updateSupply5V(1, supply5);
        dialog.updateSupply24V(1, supply24);
        QCOMPARE(base(field(dialog, "txtSupply5")) == QColor(Qt::red), red5);
        QCOMPARE(base(field(dialog, "txtSupply24")) == QColor(Qt::red), red24);
        QCOMPARE(base(field(dialog, "txtSupply5")) == QColor(Qt::white), !red5);
    }

    void powerStateChangeRecolours()
    {
        DialogCrate dialog;
        dialog.updateSupply24V(1, 24.0f); // arrives before the power state
        QCOMPARE(base(field(dialog, "txtSupply24")), QColor(Qt::red));
        dialog.updatePowerOn(1, true);
        QCOMPARE(base(field(dialog, "txtSupply24")), QColor(Qt::white));
        QCOMPARE(button(dialog, "btnPowerOn")->text(), QStringLiteral("O&ff"));
    }

    void redSupplyFieldIsPaintedRed()
    {
        DialogCrate dialog;
        dialog.updateSupply24V(1, 24.0f);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit *f24 = field(dialog, "txtSupply24");
        const QImage image = f24->grab().toImage();
        if (!qEnvironmentVariableIsEmpty("VEXA_SAVE_RENDERING"))
            dialog.grab().save(qEnvironmentVariable("VEXA_SAVE_RENDERING") + "/dialogcrate.png");
        // Left of the right-aligned text, inside the frame.
        const QRgb inside = image.pixel(6 * int(image.devicePixelRatio()), image.height() / 2);
        QCOMPARE(QColor(inside), QColor(Qt::red));
        dialog.updatePowerOn(1, true);
        const QImage after = f24->grab().toImage();
        QCOMPARE(QColor(after.pixel(6 * int(after.devicePixelRatio()), after.height() / 2)), QColor(Qt::white));
    }

    void powerOnAsksNothing()
    {
        DialogCrate dialog;
        dialog.updateStatus(77, 0);
        QSignalSpy spy(&dialog, &DialogCrate::setPowerOn);
        QTest::mouseClick(button(dialog, "btnPowerOn"), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 77);
        QCOMPARE(spy.at(0).at(1).toBool(), true);
        QVERIFY(MessageBox::history().isEmpty());
        QCOMPARE(button(dialog, "btnPowerOn")->text(), QStringLiteral("O&ff"));
    }

    void powerOffAsksFirst()
    {
        DialogCrate dialog;
        dialog.updatePowerOn(77, true);
        QSignalSpy spy(&dialog, &DialogCrate::setPowerOn);

        MessageBox::setNextAnswer(QMessageBox::No);
        QTest::mouseClick(button(dialog, "btnPowerOn"), Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(MessageBox::last().text, QStringLiteral("Power off the crate with serial number 77?"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("vexa SNMP Control"));
        QVERIFY(dialog.powerOn());

        MessageBox::setNextAnswer(QMessageBox::Yes);
        QTest::mouseClick(button(dialog, "btnPowerOn"), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toBool(), false);
        QCOMPARE(button(dialog, "btnPowerOn")->text(), QStringLiteral("&On"));
    }

    void powerButtonWithoutCrateChangesNothing()
    {
        // Nothing is switched without a crate in the list, so the button must
        // not start claiming that the power is on.
        DialogCrate dialog;
        QSignalSpy spy(&dialog, &DialogCrate::setPowerOn);
        QTest::mouseClick(button(dialog, "btnPowerOn"), Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        QVERIFY(!dialog.powerOn());
        QCOMPARE(button(dialog, "btnPowerOn")->text(), QStringLiteral("&On"));
        QVERIFY(MessageBox::history().isEmpty());

        // After the list was cleared for a new showing, the same holds.
        dialog.updatePowerOn(5, true);
        dialog.clearCrateList();
        QTest::mouseClick(button(dialog, "btnPowerOn"), Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        QVERIFY(MessageBox::history().isEmpty());
        QCOMPARE(button(dialog, "btnPowerOn")->text(), QStringLiteral("O&ff"));
    }

    void fanSpeedRequest()
    {
        DialogCrate dialog;
        dialog.setFanSpeedEnabled(true);
        dialog.updateCrateFanSpeed(8, 1800.0f);
        QSignalSpy spy(&dialog, &DialogCrate::setFanSpeed);

        MessageBox::setNextValue(QVariant()); // cancelled
        QTest::mouseClick(button(dialog, "setFanSpeed"), Qt::LeftButton);
        QCOMPARE(spy.count(), 0);
        QVERIFY(MessageBox::last().text.startsWith(QStringLiteral("Input a new fan rotation speed (0...3200 RPM):")));

        MessageBox::setNextValue(2400);
        QTest::mouseClick(button(dialog, "setFanSpeed"), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 8);
        QCOMPARE(spy.at(0).at(1).toInt(), 2400);

        // The range is the input's: a larger value is clamped to 3200.
        MessageBox::setNextValue(5000);
        QTest::mouseClick(button(dialog, "setFanSpeed"), Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(1).toInt(), 3200);
    }

    void clearEventsRequest()
    {
        DialogCrate dialog;
        dialog.updateStatus(3, 0);
        dialog.updateStatus(2, 0);
        list(dialog)->setCurrentRow(0);
        QSignalSpy spy(&dialog, &DialogCrate::clearEvents);
        QTest::mouseClick(button(dialog, "btnClear"), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 2);
    }

    void clearingTheListEmptiesIt()
    {
        DialogCrate dialog;
        dialog.updateStatus(3, 0);
        dialog.clearCrateList();
        QCOMPARE(list(dialog)->count(), 0);
        dialog.updateStatus(4, 9);
        QCOMPARE(dialog.currentSerialNumber(), 4);
    }
};

VEXA_TEST_MAIN(TestDialogCrate)
#include "tst_dialogcrate.moc"
