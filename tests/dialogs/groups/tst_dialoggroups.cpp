// The variable groups, interlock-out and external-inhibit dialogs on their
// own: the type words they build, which updates they take, the polling while
// shown, and the bits the interlock control keeps.

#include "dialogflexgroups.h"
#include "dialoginhibit.h"
#include "dialoginterlockout.h"
#include "testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

class TestDialogGroups : public QObject
{
    Q_OBJECT

private:
    template <typename T> static T *child(QWidget &w, const QString &name)
    {
        T *found = w.findChild<T *>(name);
        if (!found)
            qWarning("no widget %s", qPrintable(name));
        return found;
    }
    static QCheckBox *member(QWidget &w, int n)
    {
        return child<QCheckBox>(w, QStringLiteral("chkChannel%1").arg(n, 2, 10, QLatin1Char('0')));
    }
    static void tab(DialogFlexGroups &d, const char *name)
    {
        auto *tabs = child<QTabWidget>(d, QStringLiteral("tabGroupKind"));
        tabs->setCurrentWidget(child<QWidget>(d, QLatin1String(name)));
    }
    static quint32 sentType(QSignalSpy &spy) { return spy.last().at(3).value<quint32>(); }
    static quint32 sentMember(QSignalSpy &spy) { return spy.last().at(2).value<quint32>(); }

private slots:
    void updatesOfAnotherGroupAreIgnored()
    {
        DialogFlexGroups d;
        d.setChannelCount(8);
        QSignalSpy requests(&d, &DialogFlexGroups::getFlexGroupData);
        d.updateModuleFlexGroups(4711, 0, 0, 0);
        child<QSpinBox>(d, QStringLiteral("spbGroupNumber"))->setValue(5);
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.last().at(0).toInt(), 4711);
        QCOMPARE(requests.last().at(1).toInt(), 5);
        d.updateModuleFlexGroups(4711, 4, 0x3, 0xC000 | 500);
        QVERIFY(!member(d, 0)->isChecked());
        d.updateModuleFlexGroups(4711, 5, 0x3, 0xC000 | 500);
        QVERIFY(member(d, 0)->isChecked() && member(d, 1)->isChecked() && !member(d, 2)->isChecked());
        QCOMPARE(child<QTabWidget>(d, QStringLiteral("tabGroupKind"))->currentWidget()->objectName(),
                 QStringLiteral("tabTimeout"));
        QCOMPARE(child<QSpinBox>(d, QStringLiteral("spbTimeout"))->value(), 500);
    }

    void typeWordsSent_data()
    {
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<QString>("tabName");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<int>("spinValue");
        QTest::addColumn<quint32>("expected");
        QTest::newRow("set, Iset, permanent, master 3")
            << 27 << "tabSet" << QStringList{"chkCopyIset", "chkSetPermanent"} << 3 << quint32(0x0123);
        QTest::newRow("set, class 29: master in the high half")
            << 29 << "tabSet" << QStringList{"chkCopyAll"} << 17 << quint32(0x001100F0);
        QTest::newRow("timeout 1000 ms, ramp down")
            << 27 << "tabTimeout" << QStringList{"chkRampDown"} << 1000 << quint32(0xD3E8);
        QTest::newRow("timeout, class 29: 40000 ms in the high half")
            << 29 << "tabTimeout" << QStringList{"chkSwitchOffModule"} << 40000 << quint32(0x9C40F000);
        QTest::newRow("status, IsTRIP") << 27 << "tabStatus" << QStringList{"chk_StatIsTRIP"} << 0 << quint32(0x40D0);
        QTest::newRow("monitoring, IsEINH, MOD0, switch off group")
            << 27 << "tabMonitor" << QStringList{"chk_isEINH", "chkMonMOD0", "chkMonSwitchOffGroup"} << 0
            << quint32(0xA1C0);
    }
    void typeWordsSent()
    {
        QFETCH(int, deviceClass);
        QFETCH(QString, tabName);
        QFETCH(QStringList, ticks);
        QFETCH(int, spinValue);
        QFETCH(quint32, expected);
        DialogFlexGroups d;
        d.setDeviceClass(deviceClass);
        d.setChannelCount(32);
        d.updateModuleFlexGroups(99, 0, 0, 0); // an erased group
        tab(d, tabName.toLatin1().constData());
        for (const QString &name : ticks) {
            if (auto *radio = d.findChild<QRadioButton *>(name))
                radio->setChecked(true);
            else
                child<QCheckBox>(d, name)->setChecked(true);
        }
        if (tabName == QLatin1String("tabSet"))
            child<QSpinBox>(d, QStringLiteral("spbMasterChannel"))->setValue(spinValue);
        if (tabName == QLatin1String("tabTimeout"))
            child<QSpinBox>(d, QStringLiteral("spbTimeout"))->setValue(spinValue);
        member(d, 1)->setChecked(true);
        member(d, 31)->setChecked(true);
        QSignalSpy set(&d, &DialogFlexGroups::setFlexGroup);
        child<QPushButton>(d, QStringLiteral("btnSet"))->click();
        QCOMPARE(set.count(), 1);
        QCOMPARE(set.last().at(0).toInt(), 99);
        QCOMPARE(sentMember(set), quint32(0x80000002));
        QCOMPARE(QString::number(sentType(set), 16), QString::number(expected, 16));
    }

    void bitsOutsideTheTabKeepTheModulesValue()
    {
        DialogFlexGroups d;
        d.setChannelCount(8);
        // A set group reported with a high-half extension this module class does not use.
        d.updateModuleFlexGroups(99, 0, 0x1, 0x00050025);
        QCOMPARE(child<QSpinBox>(d, QStringLiteral("spbMasterChannel"))->value(), 5);
        QVERIFY(child<QRadioButton>(d, QStringLiteral("chkCopyIset"))->isChecked());
        tab(d, "tabTimeout");
        child<QSpinBox>(d, QStringLiteral("spbTimeout"))->setValue(100);
        QSignalSpy set(&d, &DialogFlexGroups::setFlexGroup);
        child<QPushButton>(d, QStringLiteral("btnSet"))->click();
        QCOMPARE(QString::number(sentType(set), 16), QStringLiteral("5c064")); // kind 3, time 100, high half kept
        child<QPushButton>(d, QStringLiteral("btnErase"))->click();
        QCOMPARE(sentMember(set), 0u);
        QCOMPARE(sentType(set), 0u);
    }

    void memberBoxesFollowTheChannelCount()
    {
        DialogFlexGroups d;
        d.setChannelCount(16);
        QVERIFY(member(d, 15)->isEnabled());
        QVERIFY(!member(d, 16)->isEnabled());
        QCOMPARE(child<QSpinBox>(d, QStringLiteral("spbMasterChannel"))->maximum(), 15);
        auto *selection = child<QPushButton>(d, QStringLiteral("btnMemberSelection"));
        // The toggle is shared by all instances: start from "Select All".
        if (selection->text() != QLatin1String("Select &All"))
            selection->click();
        selection->click();
        QCOMPARE(selection->text(), QStringLiteral("Unselect &All"));
        for (int n = 0; n < 32; ++n)
            QCOMPARE(member(d, n)->isChecked(), n < 16);
        DialogFlexGroups other;
        QCOMPARE(child<QPushButton>(other, QStringLiteral("btnMemberSelection"))->text(),
                 QStringLiteral("Unselect &All"));
        selection->click();
        QVERIFY(!member(d, 0)->isChecked());
        QCOMPARE(child<QSpinBox>(d, QStringLiteral("spbTimeout"))->maximum(), 4095);
        d.setDeviceClass(29);
        QCOMPARE(child<QSpinBox>(d, QStringLiteral("spbTimeout"))->maximum(), 65535);
    }

    void showingPollsTheShownGroupAndHelpToggles()
    {
        DialogFlexGroups d;
        d.updateModuleFlexGroups(321, 0, 0, 0xC000);
        child<QSpinBox>(d, QStringLiteral("spbGroupNumber"))->setValue(7);
        QSignalSpy requests(&d, &DialogFlexGroups::getFlexGroupData);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(requests.count(), 1);
        QCOMPARE(requests.last().at(0).toInt(), 321);
        QCOMPARE(requests.last().at(1).toInt(), 7);
        QCOMPARE(child<QTabWidget>(d, QStringLiteral("tabGroupKind"))->currentWidget()->objectName(),
                 QStringLiteral("tabSet"));
        QVERIFY(child<QRadioButton>(d, QStringLiteral("chkMonNoAction"))->isChecked());
        QVERIFY(d.pollTimer()->isActive());
        QCOMPARE(d.pollTimer()->interval(), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(requests.count() >= 2, 5000);
        QCOMPARE(requests.last().at(1).toInt(), 7);
        auto *help = child<QPushButton>(d, QStringLiteral("btnHelp"));
        help->click();
        QVERIFY(child<QTextBrowser>(d, QStringLiteral("txtHelp"))->isVisible());
        QCOMPARE(help->text(), QStringLiteral("&Help <<"));
        help->click();
        QVERIFY(!child<QTextBrowser>(d, QStringLiteral("txtHelp"))->isVisible());
        d.hide();
        QVERIFY(!d.pollTimer()->isActive());
    }

    void interlockControlKeepsOtherBits()
    {
        DialogInterlockOut d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Module InterlockOut"));
        d.updateInterlockControl(555, 0x0C10); // bits 11, 10 (reserved) and 4 (reserved)
        d.updateInterlockStatus(555, 0xA003);
        d.updateInterlockCount(555, 42);
        d.updateInterlockLastTrigger(555, 0x4212);
        d.updateInterlockChannelActualActive(555, 0xF081);
        d.updateInterlockChannelEverTriggered(555, 0x0FFF);
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chkIsIlkEna"))->isChecked());
        QVERIFY(!child<QCheckBox>(d, QStringLiteral("chkIsIlkAct"))->isChecked());
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chkIsIlkStby"))->isChecked());
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chkIsIlkTestLoops1"))->isChecked());
        QVERIFY(!child<QCheckBox>(d, QStringLiteral("chkIsIlkTestLoops2"))->isChecked());
        QCOMPARE(child<QLineEdit>(d, QStringLiteral("txtInterlockCount"))->text(), QStringLiteral("42"));
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chkIsIlkTest"))->isChecked());
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chkIsIlkIBnds"))->isChecked());
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chkChannel4"))->isChecked());
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chkChannel1"))->isChecked());
        QVERIFY(!child<QCheckBox>(d, QStringLiteral("chkChannel0"))->isChecked());
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chk_ICAA7"))->isChecked());
        QVERIFY(!child<QCheckBox>(d, QStringLiteral("chk_ICAA15"))->isChecked()); // only channels 0 to 11
        QVERIFY(child<QCheckBox>(d, QStringLiteral("chk_ICET11"))->isChecked());
        QVERIFY(!child<QCheckBox>(d, QStringLiteral("chk_ICET12"))->isChecked());

        QSignalSpy set(&d, &DialogInterlockOut::setInterlockControl);
        child<QCheckBox>(d, QStringLiteral("chkSetIlkEna"))->setChecked(true);
        child<QCheckBox>(d, QStringLiteral("chkSetIlkVbnds"))->setChecked(true);
        child<QCheckBox>(d, QStringLiteral("chkDoIlkTestLoops0"))->setChecked(true);
        child<QPushButton>(d, QStringLiteral("btnSetInterlockControl"))->click();
        QCOMPARE(set.count(), 1);
        QCOMPARE(set.last().at(0).toInt(), 555);
        QCOMPARE(QString::number(set.last().at(1).value<quint32>(), 16), QStringLiteral("8c91"));
        QCOMPARE(child<QCheckBox>(d, QStringLiteral("chkClrIlkRegs"))->text(), QStringLiteral("Clear lnterlock Registers"));
        QCOMPARE(child<QCheckBox>(d, QStringLiteral("chkClrIlkRegs"))->toolTip(), QStringLiteral("Clear Interlock Registers"));
    }

    void inhibitTextsAndActions_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("readBack");
        QTest::addColumn<QString>("description");
        const QString any = QStringLiteral("When an External Inhibit on any channel occurs, perform the following action.");
        QTest::newRow("all, ramp down") << -1 << 1 << "rampDownChannel" << 1 << any;
        QTest::newRow("ch 3, shut down") << 3 << 2 << "shutDownChannel" << 2
                                         << "When an External Inhibit on channel 3 occurs, perform the following action.";
        QTest::newRow("module") << 0 << 3 << "shutDownModule" << 3
                                << "When an External Inhibit on channel 0 occurs, perform the following action.";
        QTest::newRow("delayed-trip off is ignore") << -1 << 4 << "ignoreFailure" << 0 << any;
    }
    void inhibitTextsAndActions()
    {
        QFETCH(int, channel);
        QFETCH(int, action);
        QFETCH(QString, button);
        QFETCH(int, readBack);
        QFETCH(QString, description);
        DialogInhibit d;
        QCOMPARE(d.windowTitle(), QStringLiteral("External Inhibit Settings"));
        d.setAction(2);
        d.setChannel(channel);
        d.setAction(action);
        QVERIFY(child<QRadioButton>(d, button)->isChecked());
        QCOMPARE(d.action(), readBack);
        QCOMPARE(child<QLabel>(d, QStringLiteral("description"))->text(), description);
    }
};

VEXA_TEST_MAIN(TestDialogGroups)
#include "tst_dialoggroups.moc"
