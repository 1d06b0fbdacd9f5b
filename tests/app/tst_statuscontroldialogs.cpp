// The status / control dialogs in the main window against a private cratesim:
// the menu entries open them, faults provoked in the simulator show in their
// rows within one refresh and go with Clear, the channel dialog follows the
// table's row, the restart time is editable only in STOP, and the requests
// the dialogs send reach the module only through the session (checked on the
// call record of the access library's in-process fake).

#include "tst_vexacontrolsupport.h"

#include "dialogchannelcontrol.h"
#include "dialogmodulecontrol.h"
#include "messagebox.h"
#include "basecontroller.h"
#include "cratesession.h"
#include "fakewienerlibrary.h"
#include "snmpcontroller.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>

#include <functional>

using namespace VexaTest;

namespace {
constexpr int Serial = 7300001;
// The module refresh runs every sixth tick of 200 ms; a module word must show
// within one such refresh, and a channel word within one tick, after the
// simulator changed. Under load a tick can take longer: wait on the refreshes
// themselves, not on the clock.
constexpr int RefreshWaitMs = 15000;
} // namespace

class TestStatusControlDialogs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;

    QString set(const QString &object, const QString &type, const QString &value)
    {
        return snmp(*m_sim, QStringLiteral("snmpset"), {object, type, value});
    }
    QString setChannel(const QString &object, int channel, const QString &type, const QString &value)
    {
        return set(QStringLiteral("%1.%2").arg(object).arg(channel + 1), type, value);
    }
    QString switchState(int channel)
    {
        return snmp(*m_sim, QStringLiteral("snmpget"), {QStringLiteral("WIENER-CRATE-MIB::outputSwitch.%1").arg(channel + 1)});
    }
    static QCheckBox *box(QWidget *d, const char *name) { return d->findChild<QCheckBox *>(QLatin1String(name)); }
    static void click(QWidget *d, const char *name)
    {
        QTest::mouseClick(d->findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
    }

    // Waits until the window's session has emitted `signal` `count` more times:
    // the simulator's state of before the wait is then on screen.
    template <typename Signal>
    static bool waitRefreshes(VexaControl &w, Signal signal, int count)
    {
        QSignalSpy spy(w.session(), signal);
        QElapsedTimer t;
        t.start();
        while (spy.size() < count && t.elapsed() < RefreshWaitMs)
            spy.wait(200);
        return spy.size() >= count;
    }
    // One full pass of the channel refresh: the last signal of the last channel.
    static bool channelRefreshed(VexaControl &w, int passes = 1)
    {
        return waitRefreshes(w, &CrateSession::updateChannelEventMask, passes * table(w)->rowCount() + 1);
    }
    static bool moduleRefreshed(VexaControl &w, int passes = 1)
    {
        return waitRefreshes(w, &CrateSession::updateModuleStatus, passes + 1);
    }

    DialogChannelControl *openChannelDialog(VexaControl &w, int row)
    {
        table(w)->setCurrentCell(row, 0);
        action(w, "actionChannelStatusControl")->trigger();
        return w.findChild<DialogChannelControl *>();
    }
    DialogModuleControl *openModuleDialog(VexaControl &w)
    {
        action(w, "actionModuleStatusControl")->trigger();
        return w.findChild<DialogModuleControl *>();
    }
    void switchOn(int channel, double volts)
    {
        setChannel(QStringLiteral("WIENER-CRATE-MIB::outputVoltage"), channel, QStringLiteral("F"),
                   QString::number(volts));
        setChannel(QStringLiteral("WIENER-CRATE-MIB::outputSwitch"), channel, QStringLiteral("i"), QStringLiteral("1"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QJsonObject module = hvModule(0, QStringLiteral("T03X0"), 8, Serial, 1000.0);
        module.insert(QStringLiteral("load"), 10e6);
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(m_dir, QStringLiteral("dialogs.json"),
                                       QJsonArray{module, hvModule(1, QStringLiteral("T14X0"), 32, 7300002, 2000.0)});
        options.timeScale = 10;
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
    }

    void init()
    {
        TestEnv::setCrateAddress(m_sim->address());
        MessageBox::clearHooks();
        MessageBox::clearHistory();
        DialogModuleControl::resetSelectToggles();
    }

    void cleanupTestCase() { m_sim->stop(); }

    void menuEntriesOpenTheDialogsOnce()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        DialogChannelControl *channel = openChannelDialog(window, 3);
        QVERIFY(channel && channel->isVisible());
        QCOMPARE(channel->windowTitle(), QStringLiteral("%1: Channel 3 Status / Control").arg(Serial));
        DialogModuleControl *module = openModuleDialog(window);
        QVERIFY(module && module->isVisible());
        // 8 channels: the channel-mask boxes of channels 0 to 7 only.
        QVERIFY(box(module, "chk_ECM7")->isEnabled());
        QVERIFY(!box(module, "chk_ECM8")->isEnabled());
        // Closed and opened again: the same dialogs.
        channel->close();
        module->close();
        action(window, "actionChannelStatusControl")->trigger();
        action(window, "actionModuleStatusControl")->trigger();
        QCOMPARE(window.findChildren<DialogChannelControl *>().size(), 1);
        QCOMPARE(window.findChildren<DialogModuleControl *>().size(), 1);
        QVERIFY(channel->isVisible() && module->isVisible());
        // The module dialog fills within one module refresh.
        QVERIFY(moduleRefreshed(window));
        QVERIFY(box(module, "chk_isTEMPgd")->isChecked());
        QVERIFY(box(module, "chk_isSPLYgd")->isChecked());
        QVERIFY(box(module, "chk_isnoSERR")->isChecked());
    }

    void tripShowsInBothDialogsUntilCleared()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        const int ch = 2;
        DialogChannelControl *channel = openChannelDialog(window, ch);
        DialogModuleControl *module = openModuleDialog(window);
        switchOn(ch, 300.0);
        QTRY_VERIFY_WITH_TIMEOUT(box(channel, "chk_isON")->isChecked(), RefreshWaitMs);
        // The load draws too much: the channel regulates its current...
        setChannel(QStringLiteral("CRATESIM-MIB::cratesimChannelOverload"), ch, QStringLiteral("i"), QStringLiteral("1"));
        QTRY_VERIFY_WITH_TIMEOUT(box(channel, "chk_isCC")->isChecked(), RefreshWaitMs);
        // ...until its delayed trip (switch off after 100 ms) is armed. Only
        // statuses are read on this side, so a trip is shown by the trip status
        // and the events that led to it.
        setChannel(QStringLiteral("WIENER-CRATE-MIB::outputTripTimeMaxCurrent"), ch, QStringLiteral("i"),
                   QStringLiteral("100"));
        setChannel(QStringLiteral("WIENER-CRATE-MIB::outputSupervisionBehavior"), ch, QStringLiteral("i"),
                   QString::number(2 << 6));
        QTRY_COMPARE_WITH_TIMEOUT(snmp(*m_sim, QStringLiteral("snmpget"),
                                       {QStringLiteral("CRATESIM-MIB::cratesimChannelTrip.%1").arg(ch + 1)}),
                                  QStringLiteral("trip"), 5000);
        setChannel(QStringLiteral("CRATESIM-MIB::cratesimChannelOverload"), ch, QStringLiteral("i"), QStringLiteral("0"));
        setChannel(QStringLiteral("WIENER-CRATE-MIB::outputSupervisionBehavior"), ch, QStringLiteral("i"),
                   QStringLiteral("0"));
        // Within one refresh of each.
        QVERIFY(channelRefreshed(window));
        QVERIFY(box(channel, "chk_isTRIP")->isChecked());
        QVERIFY(!box(channel, "chk_isON")->isChecked());
        // The event row tells why: the current ran into its limit.
        QVERIFY(box(channel, "chk_EILIM")->isChecked());
        QVERIFY(box(channel, "chk_ECC")->isChecked());
        QVERIFY(moduleRefreshed(window));
        QVERIFY(box(module, "chk_isEVNTact")->isChecked());
        QVERIFY(!box(module, "chk_isnoSERR")->isChecked());

        // The channel's Clear ends the trip on the module...
        click(channel, "btnClearEvents");
        QVERIFY(channelRefreshed(window));
        QVERIFY(!box(channel, "chk_isTRIP")->isChecked());
        // ...the module's Clear also clears the events latched on this side.
        click(module, "btnClearEvents");
        QVERIFY(channelRefreshed(window));
        QVERIFY(!box(channel, "chk_EILIM")->isChecked());
        QVERIFY(!box(channel, "chk_ECC")->isChecked());
        QVERIFY(moduleRefreshed(window));
        QVERIFY(!box(module, "chk_isEVNTact")->isChecked());
        QVERIFY(box(module, "chk_isnoSERR")->isChecked());
    }

    void channelFaultsShowInTheirRows_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("statusBoxes");
        QTest::addColumn<QStringList>("eventBoxes");
        QTest::newRow("over-voltage") << "CRATESIM-MIB::cratesimChannelOverVoltage"
                                      << QStringList{"chk_isVLIM", "chk_isVBNDs"} << QStringList{"chk_EVLIM"};
        QTest::newRow("over-current") << "CRATESIM-MIB::cratesimChannelOverCurrent" << QStringList{"chk_isIBNDs"}
                                      << QStringList();
        QTest::newRow("inhibit") << "CRATESIM-MIB::cratesimChannelInhibit" << QStringList{"chk_isEINH"}
                                 << QStringList{"chk_EEINH"};
    }
    void channelFaultsShowInTheirRows()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, statusBoxes);
        QFETCH(QStringList, eventBoxes);
        VexaControl window;
        QVERIFY(waitConnected(window));
        const int ch = 5;
        DialogChannelControl *channel = openChannelDialog(window, ch);
        switchOn(ch, 400.0);
        QTRY_VERIFY_WITH_TIMEOUT(box(channel, "chk_isCV")->isChecked(), RefreshWaitMs);
        setChannel(fault, ch, QStringLiteral("i"), QStringLiteral("1"));
        QTRY_VERIFY_WITH_TIMEOUT(box(channel, qPrintable(statusBoxes.first()))->isChecked(), RefreshWaitMs);
        QVERIFY(channelRefreshed(window, 2));
        for (const QString &name : statusBoxes)
            QVERIFY2(box(channel, qPrintable(name))->isChecked(), qPrintable(name));
        for (const QString &name : eventBoxes)
            QVERIFY2(box(channel, qPrintable(name))->isChecked(), qPrintable(name));
        setChannel(fault, ch, QStringLiteral("i"), QStringLiteral("0"));
        set(QStringLiteral("WIENER-CRATE-MIB::moduleDoClear.1"), QStringLiteral("i"), QStringLiteral("1"));
        action(window, "actionClearAllEvents")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!box(channel, qPrintable(statusBoxes.first()))->isChecked(), RefreshWaitMs);
        setChannel(QStringLiteral("WIENER-CRATE-MIB::outputSwitch"), ch, QStringLiteral("i"), QStringLiteral("0"));
    }

    void moduleFaultsShowInTheirRows_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("statusBox");
        QTest::addColumn<bool>("statusWhenFaulty");
        QTest::addColumn<QString>("eventBox");
        QTest::newRow("supply") << "cratesimModuleSupplyFault" << "1" << "chk_isSPLYgd" << false << "chk_ESPLYngd";
        QTest::newRow("temperature") << "cratesimModuleTemperature" << "60" << "chk_isTEMPgd" << false
                                     << "chk_ETEMPngd";
        QTest::newRow("safety loop") << "cratesimModuleSafetyLoop" << "0" << "chk_isSFLPgd" << false
                                     << "chk_ESFLPngd";
        QTest::newRow("input error") << "cratesimModuleInputError" << "1" << "chk_isIERR" << true << "chk_EIERR";
        QTest::newRow("service") << "cratesimModuleNeedService" << "1" << "chk_isSRVC" << true << "chk_ESRVC";
    }
    void moduleFaultsShowInTheirRows()
    {
        QFETCH(QString, fault);
        QFETCH(QString, value);
        QFETCH(QString, statusBox);
        QFETCH(bool, statusWhenFaulty);
        QFETCH(QString, eventBox);
        const QString object = QStringLiteral("CRATESIM-MIB::%1.1").arg(fault);
        const QString good = snmp(*m_sim, QStringLiteral("snmpget"), {object});
        const QString type = fault == QLatin1String("cratesimModuleTemperature") ? QStringLiteral("F") : QStringLiteral("i");
        VexaControl window;
        QVERIFY(waitConnected(window));
        DialogModuleControl *module = openModuleDialog(window);
        QVERIFY(moduleRefreshed(window));
        QCOMPARE(box(module, qPrintable(statusBox))->isChecked(), !statusWhenFaulty);
        QVERIFY(!box(module, qPrintable(eventBox))->isChecked());
        QVERIFY(!set(object, type, value).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(box(module, qPrintable(statusBox))->isChecked(), statusWhenFaulty, RefreshWaitMs);
        QVERIFY(moduleRefreshed(window));
        QVERIFY(box(module, qPrintable(eventBox))->isChecked());
        QVERIFY(box(module, "chk_isEVNTact")->isChecked());
        // The fault gone, the event stays latched until the dialog clears it.
        QVERIFY(!set(object, type, good).isEmpty());
        QVERIFY(moduleRefreshed(window));
        QCOMPARE(box(module, qPrintable(statusBox))->isChecked(), !statusWhenFaulty);
        QVERIFY(box(module, qPrintable(eventBox))->isChecked());
        click(module, "btnClearEvents");
        QVERIFY(moduleRefreshed(window));
        QVERIFY(!box(module, qPrintable(eventBox))->isChecked());
    }

    void channelDialogFollowsTheTableRow()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        DialogChannelControl *channel = openChannelDialog(window, 1);
        QCOMPARE(channel->channel(), 1);
        switchOn(6, 200.0);
        QVERIFY(channelRefreshed(window, 2));
        QVERIFY(!box(channel, "chk_isON")->isChecked());
        table(window)->setCurrentCell(6, 0);
        QTRY_COMPARE(channel->windowTitle(), QStringLiteral("%1: Channel 6 Status / Control").arg(Serial));
        QVERIFY(channelRefreshed(window));
        QVERIFY(box(channel, "chk_isON")->isChecked());
        QVERIFY(box(channel, "chk_setON")->isChecked());
        // Switching on from the dialog acts on the shown channel only.
        table(window)->setCurrentCell(4, 0);
        QVERIFY(channelRefreshed(window));
        QVERIFY(!box(channel, "chk_setON")->isChecked());
        box(channel, "chk_setON")->setChecked(true);
        click(channel, "btnSetControl");
        QTRY_COMPARE_WITH_TIMEOUT(switchState(4), QStringLiteral("on"), 5000);
        QCOMPARE(switchState(1), QStringLiteral("off"));
        for (int ch : {4, 6})
            setChannel(QStringLiteral("WIENER-CRATE-MIB::outputSwitch"), ch, QStringLiteral("i"), QStringLiteral("0"));
    }

    void restartTimeOnlyInStop()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        DialogModuleControl *module = openModuleDialog(window);
        auto *setButton = module->findChild<QPushButton *>(QStringLiteral("btnSetRestartTime"));
        auto *spin = module->findChild<QSpinBox *>(QStringLiteral("spbRestartTime"));
        QVERIFY(moduleRefreshed(window));
        QVERIFY(!setButton->isEnabled());
        QVERIFY(!spin->isEnabled());
        QVERIFY(!set(QStringLiteral("CRATESIM-MIB::cratesimModuleStop.1"), QStringLiteral("i"), QStringLiteral("1")).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(box(module, "chk_isSTOP")->isChecked(), RefreshWaitMs);
        QVERIFY(setButton->isEnabled());
        QVERIFY(spin->isEnabled());
        QVERIFY(!set(QStringLiteral("CRATESIM-MIB::cratesimModuleStop.1"), QStringLiteral("i"), QStringLiteral("0")).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!box(module, "chk_isSTOP")->isChecked(), RefreshWaitMs);
        QVERIFY(!setButton->isEnabled());
        QVERIFY(!spin->isEnabled());
        set(QStringLiteral("WIENER-CRATE-MIB::moduleDoClear.1"), QStringLiteral("i"), QStringLiteral("1"));
    }

    void dialogsNeverCallTheModule()
    {
        // The window on the in-process fake of the access library, whose call
        // record shows every call the device model makes.
        FakeWiener::reset();
        FakeWiener::state().moduleDescriptions[1] = "vexa, T03X0, 8, 7100111, 5.12";
        TestEnv::setCrateAddress(QStringLiteral("127.0.0.2"));
        VexaControl window(
            [](QObject *parent) -> BaseController * { return new SnmpController(FakeWiener::functions(), parent); });
        QVERIFY(waitConnected(window));
        DialogChannelControl *channel = openChannelDialog(window, 3);
        DialogModuleControl *module = openModuleDialog(window);
        // No refresh may call the library meanwhile.
        window.channelTableTimer()->stop();
        CrateSession *session = window.session();
        // The crate thread finishes what the last tick queued (a module refresh
        // goes in slices, each queued behind the one before).
        for (int job = 0; job < 20; ++job)
            session->runAndWait([] {});

        using D = DialogChannelControl;
        using M = DialogModuleControl;
        struct Request {
            const char *name;
            QWidget *dialog;
            const char *button;
            std::function<void()> cut;     // the session no longer applies it
            std::function<void()> restore; // it applies it again
            QStringList calls;             // what applying it calls
        };
        const QList<Request> requests = {
            {"channel Clear Events", channel, "btnClearEvents",
             [&] { disconnect(channel, &D::clearChannelEvents, session, nullptr); },
             [&] { connect(channel, &D::clearChannelEvents, session, &CrateSession::clearChannelEvents); },
             {"setChannelSwitch(103,10)"}},
            {"channel Set Control", channel, "btnSetControl",
             [&] { disconnect(channel, &D::setChannelControl, session, nullptr); },
             [&] { connect(channel, &D::setChannelControl, session, &CrateSession::setChannelControl); },
             {"setChannelSwitch(103,0)", "setChannelSwitch(103,10)"}},
            {"module Clear Events", module, "btnClearEvents",
             [&] { disconnect(module, &M::clearModuleEvents, session, nullptr); },
             [&] { connect(module, &M::clearModuleEvents, session, &CrateSession::clearModuleEvents); },
             {"setModuleDoClear(1)"}},
            // The access library has no object for event masks: the module
            // takes the request and calls nothing.
            {"channel Set Mask", channel, "btnSetMask",
             [&] { disconnect(channel, &D::setChannelEventMask, session, nullptr); },
             [&] { connect(channel, &D::setChannelEventMask, session, &CrateSession::setChannelEventMask); },
             {}},
            {"module Set Mask (channels)", module, "btnSetECM",
             [&] { disconnect(module, &M::setModuleEventChannelMask, session, nullptr); },
             [&] { connect(module, &M::setModuleEventChannelMask, session, &CrateSession::setModuleEventChannelMask); },
             {}},
        };
        for (const Request &request : requests) {
            FakeWiener::clearCalls();
            request.cut();
            click(request.dialog, request.button);
            session->runAndWait([] {});
            QVERIFY2(FakeWiener::calls().isEmpty(), request.name);
            request.restore();
            click(request.dialog, request.button);
            session->runAndWait([] {});
            QCOMPARE(FakeWiener::calls(), request.calls);
        }
    }

    void moduleChangeForgetsTheOldModule()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        DialogModuleControl *module = openModuleDialog(window);
        QVERIFY(moduleRefreshed(window));
        QVERIFY(box(module, "chk_isSPLYgd")->isChecked());
        box(module, "chk_setKILLena")->setChecked(true); // ticked, not sent
        moduleList(window)->setCurrentRow(1);
        QVERIFY(waitConnected(window));
        QVERIFY(!box(module, "chk_setKILLena")->isChecked());
        QVERIFY(moduleRefreshed(window));
        QVERIFY(box(module, "chk_isSPLYgd")->isChecked());
        // The channel count of the new module opens more channel-mask boxes.
        action(window, "actionModuleStatusControl")->trigger();
        QVERIFY(box(module, "chk_ECM31")->isEnabled());
    }
};

VEXA_TEST_MAIN(TestStatusControlDialogs)
#include "tst_statuscontroldialogs.moc"
