// The module status / control dialog on its own: each flag reaches its box,
// the restart time is editable only in STOP, repeated words keep unsent edits,
// the channel-mask boxes follow the channel count, and every button sends
// what its boxes say.

#include "dialogmodulecontrol.h"
#include "testenv.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

class TestDialogModuleControl : public QObject
{
    Q_OBJECT

private:
    static QCheckBox *box(QWidget &d, const QString &name) { return d.findChild<QCheckBox *>(name); }
    static QPushButton *button(QWidget &d, const char *name) { return d.findChild<QPushButton *>(QLatin1String(name)); }
    static void click(QWidget &d, const char *name) { QTest::mouseClick(button(d, name), Qt::LeftButton); }
    static QStringList checkedBoxes(QWidget &d, const char *group)
    {
        QStringList names;
        for (QCheckBox *b : d.findChild<QWidget *>(QLatin1String(group))->findChildren<QCheckBox *>())
            if (b->isChecked())
                names << b->objectName();
        return names;
    }
    static quint32 enabledBits(QWidget &d, const char *prefix)
    {
        quint32 bits = 0;
        for (int n = 0; n < 32; ++n)
            if (box(d, QLatin1String(prefix) + QString::number(n))->isEnabled())
                bits |= 1u << n;
        return bits;
    }
    static quint32 checkedBits(QWidget &d, const char *prefix)
    {
        quint32 bits = 0;
        for (int n = 0; n < 32; ++n)
            if (box(d, QLatin1String(prefix) + QString::number(n))->isChecked())
                bits |= 1u << n;
        return bits;
    }

private slots:
    void init() { DialogModuleControl::resetSelectToggles(); }

    void boxesHaveTheirTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("isnoRAMP") << "chk_isnoRAMP" << "Is No Ramp" << "Status Is No Channel Ramping";
        QTest::newRow("isSTOP") << "chk_isSTOP" << "Is Stop / Live Insertion" << "Status Is Stop";
        QTest::newRow("ETEMPngd") << "chk_ETEMPngd" << "Event Temperature Not Good" << "Event Temperature Nod Good";
        QTest::newRow("EPF") << "chk_EPF" << "Event Power Fail" << "Event Power Fail";
        QTest::newRow("MESFLPngd") << "chk_MESFLPngd" << "Mask Safety Loop Not Good" << "Mask Event Safety Loop Not Good";
        QTest::newRow("setILVL2") << "chk_setILVL2" << "ILVL2" << "Interrupt Level 2";
        QTest::newRow("doCLEAR") << "chk_doCLEAR" << "Clear" << "Clear All Events";
        QTest::newRow("ECS31") << "chk_ECS31" << "31" << "";
        QTest::newRow("EGM0") << "chk_EGM0" << "0" << "";
    }
    void boxesHaveTheirTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        DialogModuleControl dialog;
        QCheckBox *b = box(dialog, name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->text(), text);
        QCOMPARE(b->toolTip(), toolTip);
    }

    void formStartsAsDescribed()
    {
        DialogModuleControl dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Module Status / Control"));
        for (const char *group : {"grpStatus", "grpEventStatus", "grpEventMask", "grpControl"})
            QCOMPARE(dialog.findChild<QWidget *>(QLatin1String(group))->findChildren<QCheckBox *>().size(), 16);
        QCOMPARE(enabledBits(dialog, "chk_ECM"), 0u);
        QCOMPARE(enabledBits(dialog, "chk_EGM"), 0xFFFFFFFFu);
        QCOMPARE(enabledBits(dialog, "chk_ECS"), 0u);
        QVERIFY(!button(dialog, "btnSetRestartTime")->isEnabled());
        QCOMPARE(button(dialog, "btnSelectECM")->text(), QStringLiteral("Select All"));
        QCOMPARE(button(dialog, "btnSetECM")->text(), QStringLiteral("Set Mask"));
        QCOMPARE(button(dialog, "btnClearEGS")->text(), QStringLiteral("Clear Events"));
        QCOMPARE(button(dialog, "btnSetRestartTime")->text(), QStringLiteral("Set RestartTime"));
    }

    void eachFlagTicksItsBox_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("name");
        const QString s = QStringLiteral("status"), e = QStringLiteral("event"), m = QStringLiteral("mask"),
                      c = QStringLiteral("control");
        QTest::newRow("isKILena") << s << int(ModuleStatus::F_isKILena) << "chk_isKILLena";
        QTest::newRow("isTMPgd") << s << int(ModuleStatus::F_isTMPgd) << "chk_isTEMPgd";
        QTest::newRow("isSPLYgd") << s << int(ModuleStatus::F_isSPLYgd) << "chk_isSPLYgd";
        QTest::newRow("isMODgd") << s << int(ModuleStatus::F_isMODgd) << "chk_isMODgd";
        QTest::newRow("isEVNTact") << s << int(ModuleStatus::F_isEVNTact) << "chk_isEVNTact";
        QTest::newRow("isSFLPgd") << s << int(ModuleStatus::F_isSFLPgd) << "chk_isSFLPgd";
        QTest::newRow("isnoRAMP") << s << int(ModuleStatus::F_isnoRAMP) << "chk_isnoRAMP";
        QTest::newRow("isnoSERR") << s << int(ModuleStatus::F_isnoSERR) << "chk_isnoSERR";
        QTest::newRow("isCCMPL") << s << int(ModuleStatus::F_isCCMPL) << "chk_isCCMPL";
        QTest::newRow("isSPMD") << s << int(ModuleStatus::F_isSPMD) << "chk_isSPMD";
        QTest::newRow("isIERR") << s << int(ModuleStatus::F_isIERR) << "chk_isIERR";
        QTest::newRow("isSrvc") << s << int(ModuleStatus::F_isSrvc) << "chk_isSRVC";
        QTest::newRow("isSTOP") << s << int(ModuleStatus::F_isSTOP) << "chk_isSTOP";
        QTest::newRow("isILKO") << s << int(ModuleStatus::F_isILKO) << "chk_isILKO";
        QTest::newRow("isADJ") << s << int(ModuleStatus::F_isADJ) << "chk_isADJ";
        QTest::newRow("isHVON: no box") << s << int(ModuleStatus::F_isHVON) << "";
        QTest::newRow("EPWRFAIL") << e << int(ModuleEventStatus::F_EPWRFAIL) << "chk_EPF";
        QTest::newRow("ERESTART") << e << int(ModuleEventStatus::F_ERESTART) << "chk_ERSTA";
        QTest::newRow("ESrvc") << e << int(ModuleEventStatus::F_ESrvc) << "chk_ESRVC";
        QTest::newRow("EIERR") << e << int(ModuleEventStatus::F_EIERR) << "chk_EIERR";
        QTest::newRow("ESFLPngd") << e << int(ModuleEventStatus::F_ESFLPngd) << "chk_ESFLPngd";
        QTest::newRow("ESPLYngd") << e << int(ModuleEventStatus::F_ESPLYngd) << "chk_ESPLYngd";
        QTest::newRow("ETMPngd") << e << int(ModuleEventStatus::F_ETMPngd) << "chk_ETEMPngd";
        QTest::newRow("ESTOP: live insertion stays clear") << e << int(ModuleEventStatus::F_ESTOP) << "";
        QTest::newRow("M ERESTART") << m << int(ModuleEventMask::F_ERESTART) << "chk_MERSTA";
        QTest::newRow("M ESrvc") << m << int(ModuleEventMask::F_ESrvc) << "chk_MESRVC";
        QTest::newRow("M EIERR") << m << int(ModuleEventMask::F_EIERR) << "chk_MEIERR";
        QTest::newRow("M ESFLPngd") << m << int(ModuleEventMask::F_ESFLPngd) << "chk_MESFLPngd";
        QTest::newRow("M ESPLYngd") << m << int(ModuleEventMask::F_ESPLYngd) << "chk_MESPLYngd";
        QTest::newRow("M ETMPngd") << m << int(ModuleEventMask::F_ETMPngd) << "chk_METEMPngd";
        QTest::newRow("M EPWRFAIL: no box") << m << int(ModuleEventMask::F_EPWRFAIL) << "";
        QTest::newRow("bit0") << c << int(ModuleControl::F_bit0) << "chk_setSPMD";
        QTest::newRow("bit1") << c << int(ModuleControl::F_bit1) << "chk_doRCSV";
        QTest::newRow("setSTOP") << c << int(ModuleControl::F_setSTOP) << "chk_setSTOP";
        QTest::newRow("bit3") << c << int(ModuleControl::F_bit3) << "chk_setAON";
        QTest::newRow("doCLEAR") << c << int(ModuleControl::F_doCLEAR) << "chk_doCLEAR";
        QTest::newRow("bit8") << c << int(ModuleControl::F_bit8) << "chk_setILVL2";
        QTest::newRow("bit9") << c << int(ModuleControl::F_bit9) << "chk_setILVL1";
        QTest::newRow("bit10") << c << int(ModuleControl::F_bit10) << "chk_setILVL0";
        QTest::newRow("setADJ") << c << int(ModuleControl::F_setADJ) << "chk_setADJ";
        QTest::newRow("setKILena") << c << int(ModuleControl::F_setKILena) << "chk_setKILLena";
        QTest::newRow("DoSaveSetValues") << c << int(ModuleControl::F_DoSaveSetValues) << "chk_doSVSV";
    }
    void eachFlagTicksItsBox()
    {
        QFETCH(QString, kind);
        QFETCH(int, flag);
        QFETCH(QString, name);
        DialogModuleControl dialog;
        const QStringList expected = name.isEmpty() ? QStringList() : QStringList{name};
        if (kind == QLatin1String("status")) {
            ModuleStatus status;
            status.setFlag(flag, true);
            dialog.updateModuleStatus(1, status);
            QCOMPARE(checkedBoxes(dialog, "grpStatus"), expected);
        } else if (kind == QLatin1String("event")) {
            ModuleEventStatus events;
            events.setFlag(flag, true);
            dialog.updateModuleEventStatus(1, events);
            QCOMPARE(checkedBoxes(dialog, "grpEventStatus"), expected);
        } else if (kind == QLatin1String("mask")) {
            ModuleEventMask mask;
            mask.setFlag(flag, true);
            dialog.updateModuleEventMask(1, mask);
            QCOMPARE(checkedBoxes(dialog, "grpEventMask"), expected);
            QSignalSpy sent(&dialog, &DialogModuleControl::setModuleEventMask);
            click(dialog, "btnSetMask");
            QCOMPARE(sent.at(0).at(1).value<ModuleEventMask>(), name.isEmpty() ? ModuleEventMask() : mask);
        } else {
            ModuleControl control;
            control.setFlag(flag, true);
            dialog.updateModuleControl(1, control);
            QCOMPARE(checkedBoxes(dialog, "grpControl"), expected);
            QSignalSpy sent(&dialog, &DialogModuleControl::setModuleControl);
            click(dialog, "btnSetControl");
            QCOMPARE(sent.at(0).at(1).value<ModuleControl>(), control);
        }
    }

    void restartTimeOnlyInStop()
    {
        DialogModuleControl dialog;
        QSpinBox *spin = dialog.findChild<QSpinBox *>(QStringLiteral("spbRestartTime"));
        dialog.updateModuleRestartTime(1, 1500);
        QCOMPARE(spin->value(), 1500);
        ModuleStatus stopped;
        stopped.setIsSTOP(true);
        dialog.updateModuleStatus(1, stopped);
        QVERIFY(button(dialog, "btnSetRestartTime")->isEnabled());
        QVERIFY(spin->isEnabled());
        spin->setValue(4000);
        // The same restart time again leaves the edit alone.
        dialog.updateModuleRestartTime(1, 1500);
        QCOMPARE(spin->value(), 4000);
        QSignalSpy sent(&dialog, &DialogModuleControl::setRestartTime);
        click(dialog, "btnSetRestartTime");
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(1).value<quint32>(), 4000u);
        // Out of STOP nothing can be sent.
        dialog.updateModuleStatus(1, ModuleStatus());
        QVERIFY(!button(dialog, "btnSetRestartTime")->isEnabled());
        QVERIFY(!spin->isEnabled());
        click(dialog, "btnSetRestartTime");
        QCOMPARE(sent.size(), 1);
        // A changed value from the module is shown.
        dialog.updateModuleRestartTime(1, 200);
        QCOMPARE(spin->value(), 200);
    }

    void repeatedWordsKeepUnsentEdits()
    {
        DialogModuleControl dialog;
        dialog.setChannelNumber(8);
        ModuleControl kill;
        kill.setSetKILena(true);
        dialog.updateModuleControl(1, kill);
        dialog.updateModuleEventChannelMask(1, 0x3);
        dialog.updateModuleEventGroupMask(1, 0x10);
        dialog.updateModuleEventChannelStatus(1, 0x4);
        box(dialog, "chk_setKILLena")->setChecked(false);
        box(dialog, "chk_ECM5")->setChecked(true);
        box(dialog, "chk_EGM4")->setChecked(false);
        box(dialog, "chk_MERSTA")->setChecked(true);
        dialog.updateModuleControl(1, kill);
        dialog.updateModuleEventChannelMask(1, 0x3);
        dialog.updateModuleEventGroupMask(1, 0x10);
        dialog.updateModuleEventMask(1, ModuleEventMask());
        QVERIFY(!box(dialog, "chk_setKILLena")->isChecked());
        QCOMPARE(checkedBits(dialog, "chk_ECM"), 0x23u);
        QCOMPARE(checkedBits(dialog, "chk_EGM"), 0u);
        // The module event mask is shown anew on every update.
        QVERIFY(!box(dialog, "chk_MERSTA")->isChecked());
        // Changed values win.
        dialog.updateModuleEventChannelMask(1, 0x80);
        QCOMPARE(checkedBits(dialog, "chk_ECM"), 0x80u);
        dialog.updateModuleEventChannelStatus(1, 0x80000001u);
        QCOMPARE(checkedBits(dialog, "chk_ECS"), 0x80000001u);
    }

    void anotherModuleInheritsNothing()
    {
        DialogModuleControl dialog;
        dialog.setChannelNumber(8);
        ModuleControl kill;
        kill.setSetKILena(true);
        dialog.updateModuleControl(1, kill);
        dialog.updateModuleEventChannelMask(1, 0x3);
        box(dialog, "chk_setADJ")->setChecked(true); // not sent
        dialog.currentModuleChanged(2);
        for (QCheckBox *b : dialog.findChildren<QCheckBox *>())
            QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
        // The new module's words show even when they equal the old ones.
        dialog.updateModuleControl(2, kill);
        dialog.updateModuleEventChannelMask(2, 0x3);
        QVERIFY(box(dialog, "chk_setKILLena")->isChecked());
        QCOMPARE(checkedBits(dialog, "chk_ECM"), 0x3u);
    }

    void channelMaskBoxesFollowTheChannelCount_data()
    {
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<quint32>("enabled");
        QTest::newRow("2") << QList<int>{2} << 0u;
        QTest::newRow("8") << QList<int>{8} << 0xFFu;
        QTest::newRow("12") << QList<int>{12} << 0xFFFu;
        QTest::newRow("20") << QList<int>{20} << 0xFFFFu;
        QTest::newRow("24") << QList<int>{24} << 0xFFFFFFu;
        QTest::newRow("32") << QList<int>{32} << 0xFFFFFFFFu;
        QTest::newRow("32 then 8: never disabled") << QList<int>{32, 8} << 0xFFFFFFFFu;
    }
    void channelMaskBoxesFollowTheChannelCount()
    {
        QFETCH(QList<int>, counts);
        QFETCH(quint32, enabled);
        DialogModuleControl dialog;
        for (int count : counts)
            dialog.setChannelNumber(count);
        QCOMPARE(enabledBits(dialog, "chk_ECM"), enabled);
    }

    void selectAllTogglesAcrossInstances()
    {
        {
            DialogModuleControl dialog;
            dialog.setChannelNumber(8);
            click(dialog, "btnSelectECM");
            QCOMPARE(checkedBits(dialog, "chk_ECM"), 0xFFu);
            QCOMPARE(button(dialog, "btnSelectECM")->text(), QStringLiteral("Unselect All"));
            QSignalSpy sent(&dialog, &DialogModuleControl::setModuleEventChannelMask);
            click(dialog, "btnSetECM");
            QCOMPARE(sent.at(0).at(1).value<quint32>(), 0xFFu);
            QCOMPARE(dialog.eventChannelMask(), 0xFFu);
            // The group boxes are all selected, whatever their state.
            click(dialog, "btnSelectEGM");
            QCOMPARE(checkedBits(dialog, "chk_EGM"), 0xFFFFFFFFu);
        }
        // A module of two channels: the first four bits are set regardless.
        DialogModuleControl second;
        second.setChannelNumber(2);
        QCOMPARE(second.findChild<QPushButton *>(QStringLiteral("btnSelectECM"))->text(), QStringLiteral("Unselect All"));
        click(second, "btnSelectECM");
        QCOMPARE(checkedBits(second, "chk_ECM"), 0u);
        click(second, "btnSelectECM");
        QCOMPARE(checkedBits(second, "chk_ECM"), 0xFu);
        click(second, "btnSelectEGM");
        QCOMPARE(checkedBits(second, "chk_EGM"), 0u);
        QCOMPARE(button(second, "btnSelectEGM")->text(), QStringLiteral("Select All"));
    }

    void clearAndGroupRequestsCarryTheSerialNumber()
    {
        DialogModuleControl dialog;
        QSignalSpy clearEvents(&dialog, &DialogModuleControl::clearModuleEvents);
        QSignalSpy clearChannels(&dialog, &DialogModuleControl::clearModuleEventChannelStatus);
        QSignalSpy clearGroups(&dialog, &DialogModuleControl::clearModuleEventGroupStatus);
        QSignalSpy groupMask(&dialog, &DialogModuleControl::setModuleEventGroupMask);
        click(dialog, "btnClearEvents");
        click(dialog, "btnClearECS");
        click(dialog, "btnClearEGS");
        box(dialog, "chk_EGM31")->setChecked(true);
        box(dialog, "chk_EGM2")->setChecked(true);
        click(dialog, "btnSetEGM");
        QCOMPARE(clearEvents.size(), 1);
        QCOMPARE(clearChannels.size(), 1);
        QCOMPARE(clearGroups.size(), 1);
        QCOMPARE(clearEvents.at(0).at(0).toInt(), dialog.serialNumber());
        QCOMPARE(groupMask.at(0).at(1).value<quint32>(), 0x80000004u);
        QCOMPARE(dialog.eventGroupMask(), 0x80000004u);
        // A repeat of the mask just sent changes nothing on screen.
        box(dialog, "chk_EGM0")->setChecked(true);
        dialog.updateModuleEventGroupMask(1, 0x80000004u);
        QVERIFY(box(dialog, "chk_EGM0")->isChecked());
    }
};

VEXA_TEST_MAIN(TestDialogModuleControl)
#include "tst_dialogmodulecontrol.moc"
