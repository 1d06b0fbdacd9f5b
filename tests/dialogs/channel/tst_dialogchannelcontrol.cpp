// The channel status / control dialog on its own: every row shows the flag it
// names and only for the shown channel, unsent edits survive repeated words,
// the three requests carry what the boxes say, and it renders readably.

#include "dialogchannelcontrol.h"
#include "testenv.h"

#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestDialogChannelControl : public QObject
{
    Q_OBJECT

private:
    static QCheckBox *box(QWidget &d, const QString &name) { return d.findChild<QCheckBox *>(name); }
    static void click(QWidget &d, const char *button) { QTest::mouseClick(d.findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton); }
    static QStringList checkedBoxes(QWidget &d, const char *group)
    {
        QStringList names;
        for (QCheckBox *b : d.findChild<QWidget *>(QLatin1String(group))->findChildren<QCheckBox *>())
            if (b->isChecked())
                names << b->objectName();
        names.sort();
        return names;
    }
    // The darkest grey level of a widget's rendering: text drawn dimmed stays light.
    static int darkest(QWidget *w)
    {
        const QImage image = w->grab().toImage();
        int level = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                level = qMin(level, qGray(image.pixel(x, y)));
        return level;
    }

private slots:
    void boxesHaveTheirTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("isILIM") << "chk_isILIM" << "Is Current Limit" << "Status Is Current Limit" << false;
        QTest::newRow("isCV") << "chk_isCV" << "Is Voltage Control" << "Status Is Controlled By Voltage" << false;
        QTest::newRow("ETRIP") << "chk_ETRIP" << "Event Trip" << "Event Current Trip" << false;
        QTest::newRow("EON2OFF") << "chk_EON2OFF" << "Event Shut Off" << "Event On" << false;
        QTest::newRow("MEEINH") << "chk_MEEINH" << "Mask External Inhibit" << "Mask Event External Inihibit" << true;
        QTest::newRow("MEEMCY") << "chk_MEEMCY" << "Mask Emergency Off" << "Mask Event Emergency OfF" << true;
        QTest::newRow("setEMCY") << "chk_setEMCY" << "Set Emergency Off" << "Set High Voltage Emergency Off" << true;
        QTest::newRow("setAIBND") << "chk_setAIBND" << "Set Asymmetric Current Bounds" << "" << true;
        QTest::newRow("ripple") << "setRippleMeasurementOn" << "Set Ripple Measurement On" << "" << false;
        QTest::newRow("external") << "setExternalMeasurementOn" << "Set External Measurement On" << "" << false;
    }
    void boxesHaveTheirTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        QFETCH(bool, enabled);
        DialogChannelControl dialog;
        QCheckBox *b = box(dialog, name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->text(), text);
        QCOMPARE(b->toolTip(), toolTip);
        QCOMPARE(b->isEnabled(), enabled);
    }

    void groupsHoldSixteenRowsAndFourReserved()
    {
        DialogChannelControl dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Channel Status / Control"));
        for (const char *group : {"grpStatus", "grpEventStatus", "grpEventMask"}) {
            const auto boxes = dialog.findChild<QWidget *>(QLatin1String(group))->findChildren<QCheckBox *>();
            QCOMPARE(boxes.size(), 16);
            int reserved = 0;
            for (QCheckBox *b : boxes)
                if (b->text() == QLatin1String("reserved")) {
                    ++reserved;
                    QVERIFY(!b->isEnabled());
                }
            QCOMPARE(reserved, 4);
        }
        QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btnSetControl"))->text(), QStringLiteral("Set &Control"));
        QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btnClearEvents"))->text(), QStringLiteral("Clear &Events"));
        QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btnSetMask"))->text(), QStringLiteral("Set &Mask"));
    }

    void eachFlagTicksItsRow_data()
    {
        QTest::addColumn<int>("statusFlag");
        QTest::addColumn<int>("eventFlag");
        QTest::addColumn<QString>("row"); // suffix shared by the three boxes
        QTest::newRow("VLIM") << int(ChannelStatus::F_isVLIM) << int(ChannelEventStatus::F_EVLIM) << "VLIM";
        QTest::newRow("CLIM") << int(ChannelStatus::F_isCLIM) << int(ChannelEventStatus::F_ECLIM) << "ILIM";
        QTest::newRow("TRIP") << int(ChannelStatus::F_isTRIP) << int(ChannelEventStatus::F_ETRIP) << "TRIP";
        QTest::newRow("EINH") << int(ChannelStatus::F_isEINH) << int(ChannelEventStatus::F_EEINH) << "EINH";
        QTest::newRow("VBNDs") << int(ChannelStatus::F_isVBNDs) << int(ChannelEventStatus::F_EVBNDs) << "VBNDs";
        QTest::newRow("CBNDs") << int(ChannelStatus::F_isCBNDs) << int(ChannelEventStatus::F_ECBNDs) << "IBNDs";
        QTest::newRow("CV") << int(ChannelStatus::F_isCV) << int(ChannelEventStatus::F_ECV) << "CV";
        QTest::newRow("CC") << int(ChannelStatus::F_isCC) << int(ChannelEventStatus::F_ECC) << "CC";
        QTest::newRow("EMCY") << int(ChannelStatus::F_isEMCY) << int(ChannelEventStatus::F_EEMCY) << "EMCY";
        QTest::newRow("RAMP/EOR") << int(ChannelStatus::F_isRAMP) << int(ChannelEventStatus::F_EEOR) << "RAMP|EOR";
        QTest::newRow("ON/ON2OFF") << int(ChannelStatus::F_isON) << int(ChannelEventStatus::F_EON2OFF) << "ON|ON2OFF";
        QTest::newRow("IERR") << int(ChannelStatus::F_isIERR) << int(ChannelEventStatus::F_EIERR) << "IERR";
    }
    void eachFlagTicksItsRow()
    {
        QFETCH(int, statusFlag);
        QFETCH(int, eventFlag);
        QFETCH(QString, row);
        const QString statusRow = row.section(QLatin1Char('|'), 0, 0);
        const QString eventRow = row.section(QLatin1Char('|'), -1);
        DialogChannelControl dialog;
        dialog.currentChannelChanged(17, 5);
        ChannelStatus status;
        status.setFlag(statusFlag, true);
        ChannelEventStatus events;
        events.setFlag(eventFlag, true);
        ChannelEventMask mask;
        mask.setFlag(eventFlag, true);
        dialog.updateChannelStatus(17, 5, status);
        dialog.updateChannelEventStatus(17, 5, events);
        dialog.updateChannelEventMask(17, 5, mask);
        QCOMPARE(checkedBoxes(dialog, "grpStatus"), QStringList{"chk_is" + statusRow});
        QCOMPARE(checkedBoxes(dialog, "grpEventStatus"), QStringList{"chk_E" + eventRow});
        QCOMPARE(checkedBoxes(dialog, "grpEventMask"), QStringList{"chk_ME" + eventRow});
        // The mask row sends back exactly the flag it shows.
        QSignalSpy sent(&dialog, &DialogChannelControl::setChannelEventMask);
        click(dialog, "btnSetMask");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(2).value<ChannelEventMask>(), mask);
    }

    void followsTheCurrentChannelOnly()
    {
        DialogChannelControl dialog;
        ChannelStatus tripped;
        tripped.setIsTRIP(true);
        // No channel named yet: nothing matches, not even channel -1 of a module.
        dialog.updateChannelStatus(17, 0, tripped);
        QVERIFY(!box(dialog, "chk_isTRIP")->isChecked());

        dialog.currentChannelChanged(7100123, 2);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("7100123: Channel 2 Status / Control"));
        dialog.updateChannelStatus(7100123, 3, tripped);
        QVERIFY(!box(dialog, "chk_isTRIP")->isChecked());
        // The serial number an update carries is not compared.
        dialog.updateChannelStatus(99, 2, tripped);
        QVERIFY(box(dialog, "chk_isTRIP")->isChecked());

        dialog.currentChannelChanged(7100123, 3);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("7100123: Channel 3 Status / Control"));
        // Nothing of channel 2 stays, and its updates no longer reach the boxes.
        QVERIFY(!box(dialog, "chk_isTRIP")->isChecked());
        dialog.updateChannelStatus(7100123, 2, tripped);
        QVERIFY(!box(dialog, "chk_isTRIP")->isChecked());
        dialog.updateChannelStatus(7100123, 3, tripped);
        QVERIFY(box(dialog, "chk_isTRIP")->isChecked());

        QSignalSpy cleared(&dialog, &DialogChannelControl::clearChannelEvents);
        click(dialog, "btnClearEvents");
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(cleared.at(0).at(0).toInt(), 7100123);
        QCOMPARE(cleared.at(0).at(1).toInt(), 3);
    }

    void repeatedControlWordKeepsUnsentEdits()
    {
        DialogChannelControl dialog;
        dialog.currentChannelChanged(17, 1);
        ChannelControl on;
        on.setSetON(true);
        dialog.updateChannelControl(17, 1, on);
        QVERIFY(box(dialog, "chk_setON")->isChecked());
        // The operator ticks emergency off; the next refresh repeats the word.
        box(dialog, "chk_setEMCY")->setChecked(true);
        box(dialog, "chk_setON")->setChecked(false);
        dialog.updateChannelControl(17, 1, on);
        QVERIFY(box(dialog, "chk_setEMCY")->isChecked());
        QVERIFY(!box(dialog, "chk_setON")->isChecked());
        // Another channel's word changes nothing either.
        dialog.updateChannelControl(17, 2, ChannelControl());
        QVERIFY(box(dialog, "chk_setEMCY")->isChecked());
        // A word that changed on the module wins.
        ChannelControl bounds;
        bounds.setSetAVBND(true);
        dialog.updateChannelControl(17, 1, bounds);
        QVERIFY(!box(dialog, "chk_setEMCY")->isChecked());
        QVERIFY(box(dialog, "chk_setAVBND")->isChecked());
        QCOMPARE(dialog.control(), bounds);
    }

    void anotherChannelInheritsNothing()
    {
        DialogChannelControl dialog;
        dialog.currentChannelChanged(17, 1);
        ChannelStatus on;
        on.setIsON(true);
        dialog.updateChannelStatus(17, 1, on);
        ChannelControl off;
        dialog.updateChannelControl(17, 1, off);
        // Ticked for channel 1, not sent; then the operator picks channel 2,
        // whose control word happens to be the same.
        box(dialog, "chk_setON")->setChecked(true);
        dialog.currentChannelChanged(17, 2);
        QVERIFY(!box(dialog, "chk_isON")->isChecked());
        QVERIFY(!box(dialog, "chk_setON")->isChecked());
        dialog.updateChannelControl(17, 2, off);
        QSignalSpy sent(&dialog, &DialogChannelControl::setChannelControl);
        click(dialog, "btnSetControl");
        QCOMPARE(sent.at(0).at(1).toInt(), 2);
        QVERIFY(!sent.at(0).at(2).value<ChannelControl>().setON());
        // The same channel named again keeps what is shown.
        box(dialog, "chk_setEMCY")->setChecked(true);
        dialog.currentChannelChanged(17, 2);
        QVERIFY(box(dialog, "chk_setEMCY")->isChecked());
    }

    void setControlKeepsBitsOfDisabledBoxes_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("measurementBoxesEnabled");
        QTest::newRow("high-voltage module") << "T03X0" << false;
        QTest::newRow("measurement module") << "T25X0" << true;
    }
    void setControlKeepsBitsOfDisabledBoxes()
    {
        QFETCH(QString, firmware);
        QFETCH(bool, measurementBoxesEnabled);
        DialogChannelControl dialog;
        dialog.currentChannelChanged(17, 4);
        dialog.updateModuleFirmwareName(17, firmware);
        QCOMPARE(box(dialog, "setRippleMeasurementOn")->isEnabled(), measurementBoxesEnabled);
        QCOMPARE(box(dialog, "setExternalMeasurementOn")->isEnabled(), measurementBoxesEnabled);
        ChannelControl received;
        received.setSetRipple(true);
        received.setSetON(true);
        dialog.updateChannelControl(17, 4, received);
        // The disabled boxes show the stored state.
        QVERIFY(box(dialog, "setRippleMeasurementOn")->isChecked());
        box(dialog, "chk_setON")->setChecked(false);
        box(dialog, "chk_setAIBND")->setChecked(true);
        if (measurementBoxesEnabled)
            box(dialog, "setExternalMeasurementOn")->setChecked(true);

        QSignalSpy sent(&dialog, &DialogChannelControl::setChannelControl);
        click(dialog, "btnSetControl");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(0).toInt(), 17);
        QCOMPARE(sent.at(0).at(1).toInt(), 4);
        ChannelControl expected;
        expected.setSetRipple(true);
        expected.setSetACBND(true);
        expected.setSetExternalMeas(measurementBoxesEnabled);
        QCOMPARE(sent.at(0).at(2).value<ChannelControl>(), expected);
        QCOMPARE(dialog.control(), expected);
    }

    void maskEditsAreOverwrittenByEveryUpdate()
    {
        DialogChannelControl dialog;
        dialog.currentChannelChanged(17, 0);
        ChannelEventMask received;
        received.setETRIP(true);
        dialog.updateChannelEventMask(17, 0, received);
        box(dialog, "chk_METRIP")->setChecked(false);
        box(dialog, "chk_MEEINH")->setChecked(true);
        QSignalSpy sent(&dialog, &DialogChannelControl::setChannelEventMask);
        click(dialog, "btnSetMask");
        ChannelEventMask expected;
        expected.setEEINH(true);
        QCOMPARE(sent.at(0).at(2).value<ChannelEventMask>(), expected);
        // The next refresh shows the module's mask again.
        dialog.updateChannelEventMask(17, 0, received);
        QVERIFY(box(dialog, "chk_METRIP")->isChecked());
        QVERIFY(!box(dialog, "chk_MEEINH")->isChecked());
    }

    void rendersMixedBitsReadably()
    {
        DialogChannelControl dialog;
        dialog.currentChannelChanged(7100123, 3);
        ChannelStatus status;
        status.setIsTRIP(true);
        status.setIsCLIM(true);
        dialog.updateChannelStatus(7100123, 3, status);
        ChannelEventStatus events;
        events.setECLIM(true);
        dialog.updateChannelEventStatus(7100123, 3, events);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QImage shot = dialog.grab().toImage();
        QVERIFY(!shot.isNull());
        QVERIFY(shot.width() >= dialog.minimumSizeHint().width());
        // No text is cut: every box got at least the width it asks for.
        for (QCheckBox *b : dialog.findChildren<QCheckBox *>())
            QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->objectName()));
        // A ticked display-only box looks ticked, and its text is as dark as
        // that of an editable box; only the reserved rows are dimmed.
        QVERIFY(box(dialog, "chk_isTRIP")->grab().toImage() != box(dialog, "chk_isVLIM")->grab().toImage());
        const int editable = darkest(box(dialog, "chk_MEVLIM"));
        QCOMPARE(darkest(box(dialog, "chk_isVLIM")), editable);
        QCOMPARE(darkest(box(dialog, "chk_EVLIM")), editable);
        QVERIFY(darkest(box(dialog, "chk_isReserved9")) > editable + 40);
    }
};

VEXA_TEST_MAIN(TestDialogChannelControl)
#include "tst_dialogchannelcontrol.moc"
