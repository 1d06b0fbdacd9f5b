// The main window against a private cratesim: start-up with a free and a held
// address, the module list and table after connection, the refresh rules, a
// module that stops answering, module navigation, crate power from the crate
// dialog, and the service password.

#include "tst_vexacontrolsupport.h"

#include "addresslocker.h"
#include "basecontroller.h"
#include "basecrate.h"
#include "dialogcrate.h"
#include "messagebox.h"
#include "snmpcontroller.h"
#include "waiter.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>

#include <limits>

using namespace VexaTest;

class TestVexaControl : public QObject
{
    Q_OBJECT

private:
    CrateSimProcess m_sim;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
        TestEnv::setCrateAddress(m_sim.address());
    }

    void init()
    {
        MessageBox::clearHooks();
        MessageBox::clearHistory();
        TestEnv::setCrateAddress(m_sim.address());
    }

    void cleanup()
    {
        // A failed check must not leave a silent module behind for the next case.
        if (QTest::currentTestFailed())
            setModuleResponding(m_sim, 0, true);
    }

    void cleanupTestCase() { m_sim.stop(); }

    void startUpWithFreeAddress()
    {
        const QString address = m_sim.address();
        QVERIFY(AddressLocker().isFree(address));
        VexaControl window;
        QCOMPARE(window.windowTitle(), QStringLiteral("vexa SNMP Control Version 1.1.8.0"));
        QVERIFY(MessageBox::history().isEmpty()); // nobody was asked
        QVERIFY(window.controller());
        QCOMPARE(window.controller()->address(), address);
        QCOMPARE(lockHolder(address), QCoreApplication::applicationPid());
        // Demo crate: slots 0, 1, 2, 4, 5 answer; slot 3 is empty, slot 6 waits in its boot loader.
        const QList<BaseModule *> modules = window.modules();
        QCOMPARE(modules.size(), 5);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("connectedModules"))->text(),
                 QStringLiteral("5 Modules found."));
        QListWidget *list = moduleList(window);
        QCOMPARE(list->count(), 5);
        QCOMPARE(list->item(0)->text(), modules.at(0)->address());
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(window.crates().size(), 1);
        // Not the local host: the 200 ms tick.
        QCOMPARE(window.channelTableTimer()->interval(), 200);
        QVERIFY(window.channelTableTimer()->isActive());
        QVERIFY(window.fanSpeedBar()->isVisibleTo(&window));
        QCOMPARE(window.fanSpeedBar()->maximum(), 3200);
        QCOMPARE(window.fanSpeedBar()->value(), qRound(window.crates().first()->fanSpeed()));
        QVERIFY(action(window, "actionSetChannelOn")->isEnabled());
        QVERIFY(action(window, "actionCrates")->isEnabled());
        // Service actions stay off without the service argument.
        QVERIFY(!action(window, "actionSpecialMode")->isEnabled());
        QVERIFY(!action(window, "actionCalibrationMode")->isEnabled());
        QVERIFY(!action(window, "actionSetCrateAddress")->isEnabled());
        QVERIFY(!action(window, "actionProgramNewBaseAddress")->isVisible());
        QVERIFY(action(window, "actionAutomatic")->isVisible());
    }

    void tableFilledAfterConnection()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        BaseModule *module = window.currentModule();
        QCOMPARE(module->serialNumber(), 7100123);
        ChannelTable *t = table(window);
        QCOMPARE(t->rowCount(), 8);
        QCOMPARE(t->horizontalHeaderItem(0)->text(), QStringLiteral("Vset (V)"));
        QCOMPARE(t->horizontalHeaderItem(3)->text(), QStringLiteral("Iset (mA)"));
        QTRY_VERIFY_WITH_TIMEOUT(t->item(7, ChannelTable::StatusColumn) != nullptr, 3000);
        QCOMPARE(t->item(0, ChannelTable::VoltageNominalColumn)->text(), module->formatVoltage(3000.0));
        QCOMPARE(t->item(7, ChannelTable::StatusColumn)->text(), QStringLiteral("Off"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("lblConnect"))->text(),
                 QStringLiteral("Connected to T03X0 sn. 7100123 at %1").arg(module->address()));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("moduleSerialNumber"))->text(), QStringLiteral("7100123"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("moduleChannelNumber"))->text(), QStringLiteral("8"));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("moduleDeviceClass"))->text(), QStringLiteral("26"));
        // The state text of a connected module is its serial number.
        QTRY_COMPARE_WITH_TIMEOUT(moduleList(window)->item(0)->data(Qt::UserRole).toString(), QStringLiteral("7100123"),
                                  3000);
        // The module refresh ran and wrote the summary fields.
        QTRY_VERIFY_WITH_TIMEOUT(!window.findChild<QLabel *>(QStringLiteral("moduleSupplyP5"))->text().isEmpty(), 3000);
        // The crate refresh wrote the controller's status text.
        QTRY_VERIFY_WITH_TIMEOUT(window.statusLabel(3)->text().startsWith(
                                     QStringLiteral("Connected to %1.").arg(m_sim.address())),
                                 3000);
    }

    void refreshSignalsCarryTheCurrentModule()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        QSignalSpy status(window.session(), &CrateSession::updateChannelStatus);
        QSignalSpy measure(window.session(), qOverload<int, int, float, QString>(&CrateSession::updateChannelVoltageMeasure));
        QSignalSpy moduleStatus(window.session(), &CrateSession::updateModuleStatus);
        QTRY_VERIFY_WITH_TIMEOUT(status.count() >= 16, 2000);
        QCOMPARE(status.at(0).at(0).toInt(), 7100123);
        QCOMPARE(status.at(0).at(1).toInt(), 0);
        QCOMPARE(status.at(7).at(1).toInt(), 7);
        QVERIFY(measure.count() >= 8);
        // The module data follow about every sixth tick.
        QTRY_VERIFY_WITH_TIMEOUT(moduleStatus.count() >= 1, 3000);
    }

    void crateDataOnlyAboutOncePerSecond()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        window.findChild<QAction *>(QStringLiteral("actionCrates"))->trigger();
        QSignalSpy crate(window.session(), &CrateSession::updateCratePowerOn);
        QSignalSpy ticks(window.session(), &CrateSession::updateChannelStatus);
        QTest::qWait(2100);
        // 200 ms ticks: about ten per second, crate data on every fifth.
        const int tickCount = ticks.count() / 8;
        QVERIFY2(tickCount >= 8, qPrintable(QString::number(tickCount)));
        QVERIFY2(crate.count() >= 1 && crate.count() <= 3, qPrintable(QString::number(crate.count())));
        QVERIFY(crate.count() * 3 <= tickCount);
        QCOMPARE(crate.at(0).at(0).toInt(), window.crates().first()->serialNumber());
        window.crateDialog()->hide();
    }

    void startUpWithHeldAddressConnectsAnyway()
    {
        const QString address = m_sim.address();
        holdAddressForOtherProcess(address);
        QCOMPARE(lockHolder(address), qint64(999999999));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        VexaControl window;
        QCOMPARE(MessageBox::history().size(), 1);
        QVERIFY(MessageBox::last().text.startsWith(
            QStringLiteral("It seems there is already a program accessing the crate with IP address %1.").arg(address)));
        QCOMPARE(MessageBox::last().title, QStringLiteral("vexa SNMP Control"));
        QCOMPARE(lockHolder(address), QCoreApplication::applicationPid());
        QCOMPARE(window.modules().size(), 5);
        QVERIFY(window.channelTableTimer()->isActive());
    }

    void unreadableStoreAsksForTheAddress()
    {
        // A settings file that cannot be read: named once, the address asked
        // for (never the built-in default), and the file left as it is.
        const QString file = Settings::storeFileName(QStringLiteral("vexacontrol"));
        const QByteArray garbage("[General]\nIpAddress=192.168.16.228\0\x01\x02binary", 40);
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(garbage);
        }
        MessageBox::clearHistory();
        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::setNextValue(m_sim.address());
        {
            VexaControl window;
            int reports = 0;
            for (const auto &record : MessageBox::history())
                if (record.text.contains(file) && record.text.contains(QStringLiteral("binary data")))
                    ++reports;
            // One address dialog (its question and its value), nothing else.
            QVERIFY(reports >= 1);
            QCOMPARE(reports, int(MessageBox::history().size()));
            QCOMPARE(window.controller()->address(), m_sim.address());
            QCOMPARE(window.modules().size(), 5);
        }
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), garbage);
        f.close();
        QFile::remove(file);
        TestEnv::setCrateAddress(m_sim.address());
    }

    void heldAddressAnotherAddressChosen()
    {
        // OK with an edited address connects there and stores it.
        const QString address = m_sim.address();
        holdAddressForOtherProcess(QStringLiteral("127.0.0.254"));
        TestEnv::setCrateAddress(QStringLiteral("127.0.0.254"));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::setNextValue(address);
        VexaControl window;
        QCOMPARE(window.controller()->address(), address);
        QSettings store(Settings::storeFileName(QStringLiteral("vexacontrol")), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("IpAddress")).toString(), address);
        QCOMPARE(lockHolder(address), QCoreApplication::applicationPid());
        // The other program's lock stays where it is.
        QCOMPARE(lockHolder(QStringLiteral("127.0.0.254")), qint64(999999999));
    }

    void cancelAtHeldAddressEndsWithExitCode2()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VEXA_TEST_CHILD"), QStringLiteral("cancel-at-lock"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        const QByteArray out = child.readAllStandardOutput();
        QCOMPARE(child.exitCode(), 2);
        // The question was asked, and no window was ever shown.
        QVERIFY2(out.contains("asked:It seems there is already a program accessing"), out.constData());
        QVERIFY2(!out.contains("window constructed"), out.constData());
    }

    void unusableLibraryEndsWithExitCode1()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VEXA_TEST_CHILD"), QStringLiteral("library-missing"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        const QByteArray out = child.readAllStandardOutput();
        QCOMPARE(child.exitCode(), 1);
        QVERIFY2(out.contains("critical:vexa SNMP Control:Error while loading shared library "
                              "'/nonexistent/vexa/WIENER_SNMP' or one of it's dependencies!"),
                 out.constData());
        QVERIFY2(!out.contains("window constructed"), out.constData());
    }

    void serviceArgumentEnablesTheServiceActions()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VEXA_TEST_CHILD"), QStringLiteral("service-argument"));
        env.insert(QStringLiteral("VEXA_TEST_CRATE"), m_sim.address());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        for (const QString &argument : {QStringLiteral("quil"), QStringLiteral("quilx")}) {
            child.start(QCoreApplication::applicationFilePath(), {argument});
            QVERIFY(child.waitForFinished(30000));
            QCOMPARE(child.exitCode(), 0);
            const QByteArray out = child.readAllStandardOutput();
            const QByteArray expected = argument == QLatin1String("quil") ? "service:1,1,1" : "service:0,0,0";
            QVERIFY2(out.contains(expected), out.constData());
        }
    }

    void waitKeepsTheEventLoopRunning()
    {
        int fired = 0;
        QTimer timer;
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, [&fired] { ++fired; });
        timer.start();
        QElapsedTimer elapsed;
        elapsed.start();
        Waiter::wait(300);
        QVERIFY(elapsed.elapsed() >= 300);
        QVERIFY(elapsed.elapsed() < 5000);
        // A wait that only slept, or handled events once, would see at most one
        // (coalesced) timeout; a busy machine may well deliver fewer than 15.
        QVERIFY2(fired >= 2, qPrintable(QString::number(fired)));
        // The bounds command polls with 1 ms waits: one must not take a whole
        // 100 ms slice. The quickest of a few shows it even on a busy machine.
        qint64 quickest = std::numeric_limits<qint64>::max();
        for (int i = 0; i < 10; ++i) {
            elapsed.restart();
            Waiter::wait(1);
            quickest = qMin(quickest, elapsed.elapsed());
        }
        QVERIFY2(quickest < 50, qPrintable(QString::number(quickest)));
    }

    void noModuleFound()
    {
        QTemporaryDir dir;
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(dir, QStringLiteral("empty.json"), QJsonArray());
        CrateSimProcess empty(options);
        QVERIFY2(empty.start(), qPrintable(empty.errorString()));
        TestEnv::setCrateAddress(empty.address());
        VexaControl window;
        QCOMPARE(window.modules().size(), 0);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("connectedModules"))->text(),
                 QStringLiteral("0 Modules found."));
        QVERIFY(!action(window, "actionSetChannelOn")->isEnabled());
        QVERIFY(!action(window, "actionSetAllModulesOn")->isEnabled());
        QVERIFY(!window.findChild<QMenu *>(QStringLiteral("menuModule"))->isEnabled());
        QVERIFY(!window.findChild<QMenu *>(QStringLiteral("menuChannel"))->isEnabled());
        // The crate itself is there.
        QVERIFY(action(window, "actionCrates")->isEnabled());
        QVERIFY(window.channelTableTimer()->isActive());
        QTest::qWait(500); // a few ticks without modules do nothing
        QCOMPARE(table(window)->rowCount(), 0);
    }

    void unreachableAddress()
    {
        QTemporaryDir dir;
        // Nothing listens there: the connection fails.
        TestEnv::setCrateAddress(QStringLiteral("127.0.0.253"));
        VexaControl window;
        QVERIFY(window.statusLabel(3)->text().contains(QStringLiteral("Can not connect to address 127.0.0.253.")));
        QVERIFY(window.statusLabel(3)->text().startsWith(QStringLiteral("<font color=\"red\">")));
        QVERIFY(!window.channelTableTimer()->isActive());
        QVERIFY(!action(window, "actionCrates")->isEnabled());
        QVERIFY(!window.findChild<QMenu *>(QStringLiteral("menuSystem"))->isEnabled());
        QVERIFY(action(window, "actionController")->isEnabled());
    }

    void failedReconnectStopsTheRefresh()
    {
        // A reconnect (as after crate power on) that fails while the refresh ran:
        // the refresh stops and the error stays in view.
        VexaControl window;
        QVERIFY(waitConnected(window));
        QVERIFY(window.channelTableTimer()->isActive());
        TestEnv::setCrateAddress(QStringLiteral("127.0.0.253"));
        window.initModuleAccess();
        window.waitForConnection();
        const QString error = QStringLiteral("<font color=\"red\">Can not connect to address 127.0.0.253.");
        QCOMPARE(window.statusLabel(3)->text(), error);
        QVERIFY(!window.channelTableTimer()->isActive());
        QTest::qWait(1500);
        QCOMPARE(window.statusLabel(3)->text(), error);
        QVERIFY(window.modules().isEmpty());
    }

    void moduleGoneDuringAPromptIsNotWritten()
    {
        // A real prompt (on the minimal platform, where windows open) during which
        // the pending reconnect replaces every module: the answer is dropped.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VEXA_TEST_CHILD"), QStringLiteral("module-gone-during-prompt"));
        env.insert(QStringLiteral("VEXA_TEST_CRATE"), m_sim.address());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("minimal"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        const bool finished = child.waitForFinished(60000);
        if (!finished)
            child.kill();
        QVERIFY(finished);
        const QByteArray out = child.readAllStandardOutput();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit, out.constData());
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(out.contains("prompt answered after reconnect"), out.constData());
        QVERIFY2(out.contains("command returned"), out.constData());
        for (int slot : {0, 1, 2, 4, 5})
            QVERIFY2(channelValue(m_sim, QStringLiteral("outputVoltage"), slot, 1) != 777.0,
                     qPrintable(QStringLiteral("slot %1 got the value").arg(slot)));
    }

    void previousAndNextModuleWrapAround()
    {
        VexaControl window;
        QListWidget *list = moduleList(window);
        QCOMPARE(list->currentRow(), 0);
        QSignalSpy changed(window.session(), &CrateSession::currentModuleChanged);
        action(window, "actionPreviousModule")->trigger();
        QCOMPARE(list->currentRow(), 4);
        QCOMPARE(window.currentModuleIndex(), 4);
        // The crate thread takes the module up and announces it.
        const int serial = window.modules().at(4)->serialNumber();
        QTRY_VERIFY(!changed.isEmpty() && changed.last().at(0).toInt() == serial);
        action(window, "actionNextModule")->trigger();
        QCOMPARE(list->currentRow(), 0);
        action(window, "actionNextModule")->trigger();
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(list->selectedItems().size(), 1);
        // Shortcuts of the two actions.
        QCOMPARE(action(window, "actionPreviousModule")->shortcut(), QKeySequence(Qt::Key_PageUp));
        QCOMPARE(action(window, "actionNextModule")->shortcut(), QKeySequence(Qt::Key_PageDown));
        // The table follows the module: the bipolar 4-channel module of slot 1.
        QTRY_COMPARE_WITH_TIMEOUT(table(window)->rowCount(), 4, 3000);

        MessageBox::setNextValue(2);
        action(window, "actionSelectModule")->trigger();
        QCOMPARE(MessageBox::last().text, QStringLiteral("Select Module (0...4):"));
        QCOMPARE(list->currentRow(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(table(window)->rowCount(), 32, 3000);

        MessageBox::setNextValue(17);
        action(window, "actionSelectChannel")->trigger();
        QCOMPARE(MessageBox::last().text, QStringLiteral("Select Channel (0...31):"));
        QCOMPARE(table(window)->currentRow(), 17);
    }

    void moduleThatStopsAnsweringIsSetUpAnew()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        QListWidget *list = moduleList(window);
        BaseModule *module = window.modules().at(0);
        QVERIFY(setModuleResponding(m_sim, 0, false));
        QElapsedTimer timer;
        timer.start();
        QTRY_COMPARE_WITH_TIMEOUT(list->item(0)->data(Qt::UserRole).toString(), QStringLiteral("Not connected"), 2500);
        QVERIFY2(timer.elapsed() < 1600, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(module->connectionState(), ModuleConnectionState::NotConnected);
        QTRY_COMPARE_WITH_TIMEOUT(window.statusLabel(3)->text(),
                                  QStringLiteral("<font color=\"red\">Can not connect to Module!"), 1000);
        QVERIFY(!table(window)->isEnabled());
        // Another module keeps its state.
        QVERIFY(window.modules().at(1)->connectionState() != ModuleConnectionState::NotConnected);
        QCOMPARE(list->item(1)->data(Qt::UserRole).toString(), QStringLiteral("7100388"));

        table(window)->setRowCount(0); // proves the table is set up anew
        QVERIFY(setModuleResponding(m_sim, 0, true));
        QTRY_COMPARE_WITH_TIMEOUT(list->item(0)->data(Qt::UserRole).toString(), QStringLiteral("7100123"), 2500);
        QTRY_COMPARE_WITH_TIMEOUT(module->connectionState(), ModuleConnectionState::Connected, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(table(window)->rowCount(), 8, 2000);
        QVERIFY(table(window)->isEnabled());
    }

    void cratePowerOffAndOnFromTheCrateDialog()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        action(window, "actionCrates")->trigger();
        DialogCrate *dialog = window.crateDialog();
        QVERIFY(dialog->isVisible());
        QPushButton *power = dialog->findChild<QPushButton *>(QStringLiteral("btnPowerOn"));
        QTRY_COMPARE_WITH_TIMEOUT(power->text(), QStringLiteral("O&ff"), 3000);
        QCOMPARE(dialog->currentSerialNumber(), window.crates().first()->serialNumber());

        MessageBox::setNextAnswer(QMessageBox::Yes);
        QTest::mouseClick(power, Qt::LeftButton);
        QVERIFY(MessageBox::last().text.startsWith(QStringLiteral("Power off the crate with serial number")));
        // The request runs on the crate thread; the window shows its end.
        QTRY_COMPARE(moduleList(window)->count(), 0);
        QCOMPARE(window.modules().size(), 0);
        QVERIFY(!table(window)->isEnabled());
        QVERIFY(!action(window, "actionSetChannelOn")->isEnabled());
        QVERIFY(window.statusLabel(3)->text().contains(QStringLiteral("MPOD is powered off!")));
        // The crate really is off.
        QTRY_VERIFY_WITH_TIMEOUT(!window.crates().first()->powerOn(), 3000);

        QTest::mouseClick(power, Qt::LeftButton); // switching on asks nothing
        QTRY_VERIFY(window.statusLabel(2)->text().contains(QStringLiteral("Waiting 15 seconds before re-connect to crate...")));
        QTRY_VERIFY_WITH_TIMEOUT(window.modules().size() == 5, 20000);
        QVERIFY(window.statusLabel(2)->text().isEmpty());
        QVERIFY(waitConnected(window));
        QVERIFY(action(window, "actionSetChannelOn")->isEnabled());
        window.crateDialog()->hide();
    }

    void crateDialogShowsAndSetsTheFanSpeed()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        action(window, "actionCrates")->trigger();
        DialogCrate *dialog = window.crateDialog();
        QLineEdit *fan = dialog->findChild<QLineEdit *>(QStringLiteral("txtFan1"));
        QTRY_COMPARE_WITH_TIMEOUT(fan->text(), QStringLiteral("1800"), 3000);
        QTRY_COMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("txtFirmware"))->text(), QStringLiteral("MPOD 2.1.3.4"));
        QListWidget *crates = dialog->findChild<QListWidget *>(QStringLiteral("crateList"));
        QCOMPARE(crates->count(), 1);
        QCOMPARE(crates->item(0)->text(), QStringLiteral("481516\n%1").arg(m_sim.address()));

        QPushButton *setFan = dialog->findChild<QPushButton *>(QStringLiteral("setFanSpeed"));
        QVERIFY(!setFan->isEnabled());
        MessageBox::setNextValue(QStringLiteral("brisel"));
        action(window, "actionPassword")->trigger();
        QVERIFY(setFan->isEnabled());
        MessageBox::setNextValue(2400);
        QTest::mouseClick(setFan, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window.crates().first()->fanSpeed(), 2400.0f, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(fan->text(), QStringLiteral("2400"), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(window.fanSpeedBar()->value(), 2400, 3000);
        window.crates().first()->setFanSpeed(1800);
        dialog->hide();
    }

    void selectControllerSwitchesCrates()
    {
        QTemporaryDir dir;
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(dir, QStringLiteral("other.json"),
                                       QJsonArray{hvModule(7, "T03X0", 2, 8200007, 1000.0)});
        CrateSimProcess other(options);
        QVERIFY2(other.start(), qPrintable(other.errorString()));
        const QString first = m_sim.address();
        VexaControl window;
        QCOMPARE(lockHolder(first), QCoreApplication::applicationPid());

        // Cancel: nothing changes, the refresh goes on.
        MessageBox::setNextAnswer(QMessageBox::Cancel);
        action(window, "actionController")->trigger();
        QCOMPARE(MessageBox::last().text, QStringLiteral("Enter Crate IP Address:"));
        QCOMPARE(window.controller()->address(), first);
        QVERIFY(window.channelTableTimer()->isActive());

        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::setNextValue(other.address());
        action(window, "actionController")->trigger();
        window.waitForConnection();
        QCOMPARE(window.controller()->address(), other.address());
        QCOMPARE(window.modules().size(), 1);
        QCOMPARE(window.modules().first()->serialNumber(), 8200007);
        QVERIFY(AddressLocker().isFree(first));
        QCOMPARE(lockHolder(other.address()), QCoreApplication::applicationPid());
        QSettings store(Settings::storeFileName(QStringLiteral("vexacontrol")), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("IpAddress")).toString(), other.address());
        QVERIFY(waitConnected(window));
        QCOMPARE(table(window)->rowCount(), 2);
    }

    void setCrateAddressWritesTheStaticAddressAndReconnects()
    {
        VexaControl window;
        QVERIFY(!action(window, "actionSetCrateAddress")->isEnabled());
        MessageBox::setNextValue(QStringLiteral("brisel"));
        action(window, "actionPassword")->trigger();
        QVERIFY(action(window, "actionSetCrateAddress")->isEnabled());

        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::setNextValue(QStringLiteral("127.0.0.251"));
        action(window, "actionSetCrateAddress")->trigger();
        QVERIFY(MessageBox::last().text.contains(QStringLiteral("Note: The address 0.0.0.0 switches the MPOD to DHCP mode.")));
        QVERIFY(!window.channelTableTimer()->isActive());
        QVERIFY(!window.findChild<QMenu *>(QStringLiteral("menuSystem"))->isEnabled());
        QCOMPARE(window.statusLabel(2)->text(),
                 QStringLiteral("<font color=\"darkgreen\"><strong>Waiting 5 seconds before re-connect to crate..."));
        // Written on the crate thread.
        QTRY_COMPARE(snmp(m_sim, QStringLiteral("snmpget"), {QStringLiteral("WIENER-CRATE-MIB::ipStaticAddress.0")}),
                     QStringLiteral("127.0.0.251"));
        QSettings store(Settings::storeFileName(QStringLiteral("vexacontrol")), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("IpAddress")).toString(), QStringLiteral("127.0.0.251"));
        // Nothing answers at the new address (the simulated crate keeps its own).
        QTRY_VERIFY_WITH_TIMEOUT(window.statusLabel(3)->text().contains(
                                     QStringLiteral("Can not connect to address 127.0.0.251.")),
                                 20000);
        // Put the crate back as it was for the next cases.
        snmp(m_sim, QStringLiteral("snmpset"), {QStringLiteral("WIENER-CRATE-MIB::ipStaticAddress.0"), QStringLiteral("a"),
                                                QStringLiteral("0.0.0.0")});
    }

    void wrongServicePasswordChangesNothing()
    {
        VexaControl window;
        auto states = [&window]() {
            QList<bool> s;
            for (const char *name : {"actionSpecialMode", "actionSetCrateAddress", "actionSetFineAdjustmentOn",
                                     "actionSetFineAdjustmentOff", "actionSetAllModulesFineAdjustmentOn",
                                     "actionSetAllModulesFineAdjustmentOff"})
                s.append(action(window, name)->isEnabled());
            return s;
        };
        const QList<bool> before = states();
        QCOMPARE(before, QList<bool>(6, false));
        MessageBox::setNextValue(QStringLiteral("Brisel")); // letter case counts
        action(window, "actionPassword")->trigger();
        QCOMPARE(MessageBox::history().size(), 1);
        QCOMPARE(MessageBox::last().kind, MessageBox::InputText);
        QCOMPARE(MessageBox::last().text, QStringLiteral("Please enter password:"));
        QCOMPARE(states(), before);

        MessageBox::setNextValue(QStringLiteral("brisel"));
        action(window, "actionPassword")->trigger();
        QVERIFY(action(window, "actionSetCrateAddress")->isEnabled());
        QVERIFY(window.crateDialog()->findChild<QPushButton *>(QStringLiteral("setFanSpeed"))->isEnabled());
        QVERIFY(!action(window, "actionSpecialMode")->isEnabled());

        MessageBox::setNextValue(QStringLiteral("tor5plank"));
        action(window, "actionPassword")->trigger();
        QVERIFY(action(window, "actionSpecialMode")->isEnabled());

        MessageBox::setNextValue(QStringLiteral("mavo"));
        action(window, "actionPassword")->trigger();
        QCOMPARE(states(), QList<bool>(6, true));
    }

    void statusPanelToggle()
    {
        VexaControl window;
        window.resize(1100, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSplitter *splitter = window.findChild<QSplitter *>(QStringLiteral("splitter"));
        const QList<int> before = splitter->sizes();
        QVERIFY(before.at(1) > 0);
        action(window, "actionHideShowStatusPanel")->trigger();
        QCOMPARE(splitter->sizes().at(1), 0);
        action(window, "actionHideShowStatusPanel")->trigger();
        QCOMPARE(splitter->sizes(), before);
    }

    void helpIndexMissingFileWarns()
    {
        VexaControl window;
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        action(window, "actionIndex")->trigger();
        QDir::setCurrent(old);
        QCOMPARE(MessageBox::last().kind, MessageBox::Warning);
        QCOMPARE(MessageBox::last().text, QStringLiteral("Documentation index file not found:\n\n%1/documentation/index.html")
                                              .arg(QDir(dir.path()).canonicalPath()));
        action(window, "actionAbout")->trigger();
        QCOMPARE(MessageBox::last().title, QStringLiteral("About vexa SNMP Control"));
        QVERIFY(MessageBox::last().text.startsWith(QStringLiteral("<h2>vexa SNMP Control Version 1.1.8.0</h2>")));
    }

    void menuBarInOrder()
    {
        VexaControl window;
        QStringList titles;
        for (QAction *a : window.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"&File", "&System", "&Module", "&Channel", "&Help"}));
        QMenu *file = window.findChild<QMenu *>(QStringLiteral("menuFile"));
        QStringList names;
        for (QAction *a : file->actions())
            names << (a->isSeparator() ? QStringLiteral("--") : a->objectName());
        QCOMPARE(names, QStringList({"actionController", "--", "actionLoadProfile", "actionSaveProfile", "--",
                                     "actionPassword", "--", "actionScript", "actionAutomatic", "actionStatistic",
                                     "actionSystemReset", "actionHideShowStatusPanel", "--", "actionQuit"}));
        QMenu *module = window.findChild<QMenu *>(QStringLiteral("menuModule"));
        QStringList moduleEntries;
        for (QAction *a : module->actions())
            moduleEntries << (a->menu() ? a->menu()->objectName() : a->objectName());
        QVERIFY(moduleEntries.contains(QStringLiteral("menuInstructions_for_all_Channels")));
        QVERIFY(moduleEntries.indexOf(QStringLiteral("menuModuleLoadModule"))
                == moduleEntries.indexOf(QStringLiteral("menuInstructions_for_all_Channels")) + 1);
        QCOMPARE(action(window, "actionSetAllChannelsVoltageIncremental")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+V")));
        QCOMPARE(action(window, "actionSetModulesCurrentRamp")->text(), QStringLiteral("Set Current R&amp..."));
        QCOMPARE(action(window, "actionCrates")->shortcut(), QKeySequence(Qt::Key_F4));
    }
};

// Child mode: the program's service argument (argv[1]).
static int runServiceChild(int argc, char *argv[])
{
    TestEnv::isolate();
    QApplication app(argc, argv);
    TestEnv::setCrateAddress(qEnvironmentVariable("VEXA_TEST_CRATE"));
    VexaControl window;
    auto enabled = [&window](const char *name) { return action(window, name)->isEnabled() ? 1 : 0; };
    printf("service:%d,%d,%d\n", enabled("actionSpecialMode"), enabled("actionCalibrationMode"),
           enabled("actionCalibrationControl"));
    fflush(stdout);
    return 0;
}

// Child mode: the "Set Voltage..." prompt is open when a reconnect deletes the
// modules; the prompt is then answered with 777 V.
static int runPromptChild(int argc, char *argv[])
{
    TestEnv::isolate();
    QApplication app(argc, argv);
    TestEnv::setCrateAddress(qEnvironmentVariable("VEXA_TEST_CRATE"));
    VexaControl window;
    if (!waitConnected(window))
        return 3;
    selectRows(window, {1});
    QTimer::singleShot(300, &window, [&window] {
        window.initModuleAccess();
        // The new modules are set up and a row is selected again before the
        // operator answers.
        if (!waitConnected(window)) {
            printf("no reconnect\n");
            fflush(stdout);
        }
        selectRows(window, {1});
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            printf("no prompt open\n");
            fflush(stdout);
            return;
        }
        dialog->setDoubleValue(777.0);
        printf("prompt answered after reconnect\n");
        fflush(stdout);
        dialog->accept();
    });
    action(window, "actionSetChannelVoltage")->trigger();
    printf("command returned, rows %d, history %lld, value %s\n", int(table(window)->selectedRows().size()),
           qint64(MessageBox::history().size()),
           MessageBox::history().isEmpty() ? "" : qPrintable(MessageBox::last().value.toString()));
    fflush(stdout);
    // Let any write that went out reach the simulator before the parent looks.
    QTest::qWait(300);
    return 0;
}

// Child mode: the address is held by another program and the operator cancels.
static int runChild()
{
    TestEnv::isolate();
    static int childArgc = 1;
    static char childName[] = "child";
    static char *childArgv[] = {childName, nullptr};
    QApplication app(childArgc, childArgv);
    TestEnv::setCrateAddress(QStringLiteral("127.0.0.252"));
    holdAddressForOtherProcess(QStringLiteral("127.0.0.252"));
    MessageBox::setNextAnswer(QMessageBox::Cancel);
    std::atexit([] {
        for (const MessageBox::Record &r : MessageBox::history())
            printf("asked:%s\n", qPrintable(r.text));
        fflush(stdout);
    });
    VexaControl window;
    printf("window constructed\n");
    fflush(stdout);
    return 0;
}

// Child mode: the access library cannot be loaded; the window shows why and ends.
static int runLibraryMissingChild()
{
    TestEnv::isolate();
    static int childArgc = 1;
    static char childName[] = "child";
    static char *childArgv[] = {childName, nullptr};
    QApplication app(childArgc, childArgv);
    TestEnv::setCrateAddress(QStringLiteral("127.0.0.251"));
    // The history must exist before the handler is registered: statics made later
    // are destroyed before it runs, and it would read a destroyed list.
    MessageBox::clearHistory();
    std::atexit([] {
        for (const MessageBox::Record &r : MessageBox::history())
            printf("%s:%s:%s\n", r.kind == MessageBox::Critical ? "critical" : "other", qPrintable(r.title),
                   qPrintable(r.text));
        fflush(stdout);
    });
    VexaControl window([](QObject *parent) -> BaseController * {
        return new SnmpController(QStringList{QStringLiteral("/nonexistent/vexa/WIENER_SNMP")}, parent);
    });
    printf("window constructed\n");
    fflush(stdout);
    return 0;
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariable("VEXA_TEST_CHILD") == QLatin1String("library-missing"))
        return runLibraryMissingChild();
    if (qEnvironmentVariable("VEXA_TEST_CHILD") == QLatin1String("cancel-at-lock"))
        return runChild();
    if (qEnvironmentVariable("VEXA_TEST_CHILD") == QLatin1String("service-argument"))
        return runServiceChild(argc, argv);
    if (qEnvironmentVariable("VEXA_TEST_CHILD") == QLatin1String("module-gone-during-prompt"))
        return runPromptChild(argc, argv);
    TestEnv::isolate();
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestVexaControl tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_vexacontrol.moc"
