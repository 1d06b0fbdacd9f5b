// Closing the main window: the "CloseBehavior" setting, the ramp-down question
// and its three answers, Shift, a connection without modules, and the address
// lock released by destruction.

#include "tst_vexacontrolsupport.h"

#include "addresslocker.h"
#include "basecontroller.h"
#include "messagebox.h"

#include <QApplication>
#include <QTimer>

using namespace VexaTest;

class TestVexaControlClose : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;

    static QList<int> onChannels(BaseModule *module)
    {
        QList<int> on;
        for (int c = 0; c < module->channelNumber(); ++c)
            if (module->channelControl(c).setON())
                on << c;
        return on;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(m_dir, QStringLiteral("close.json"),
                                       QJsonArray{hvModule(0, "T03X0", 4, 8100001, 2000.0),
                                                  hvModule(2, "T03X0", 4, 8100002, 2000.0)});
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
    }

    void init()
    {
        TestEnv::setCrateAddress(m_sim->address());
        MessageBox::clearHooks();
        MessageBox::clearHistory();
    }

    void cleanupTestCase() { m_sim->stop(); }

    void closeBehaviour_data()
    {
        QTest::addColumn<int>("behaviour");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("answer"); // armed answer, NoButton: none
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("rampsDown");

        QTest::newRow("0, Yes") << 0 << false << int(QMessageBox::Yes) << true << true << true;
        QTest::newRow("0, No") << 0 << false << int(QMessageBox::No) << true << true << false;
        QTest::newRow("0, Cancel") << 0 << false << int(QMessageBox::Cancel) << true << false << false;
        QTest::newRow("0, box not answered") << 0 << false << int(QMessageBox::NoButton) << true << false << false;
        QTest::newRow("2") << 2 << false << int(QMessageBox::NoButton) << false << true << false;
        QTest::newRow("1") << 1 << false << int(QMessageBox::NoButton) << false << true << true;
        QTest::newRow("5 acts like 1") << 5 << false << int(QMessageBox::NoButton) << false << true << true;
        QTest::newRow("0 with Shift") << 0 << true << int(QMessageBox::NoButton) << false << true << false;
        QTest::newRow("5 with Shift") << 5 << true << int(QMessageBox::NoButton) << false << true << false;
    }

    void closeBehaviour()
    {
        QFETCH(int, behaviour);
        QFETCH(bool, shift);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, closes);
        QFETCH(bool, rampsDown);

        setCloseBehavior(behaviour);
        VexaControl window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(waitConnected(window));
        const QList<BaseModule *> modules = window.modules();
        QCOMPARE(modules.size(), 2);
        for (BaseModule *module : modules)
            module->setSelectedChannelsOn(~quint64(0));
        QTRY_COMPARE_WITH_TIMEOUT(onChannels(modules.at(1)), QList<int>({0, 1, 2, 3}), 3000);

        if (answer != QMessageBox::NoButton)
            MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));
        if (shift)
            QTest::keyPress(window.windowHandle(), Qt::Key_Shift, Qt::ShiftModifier);
        const bool closed = window.close();
        if (shift)
            QTest::keyRelease(window.windowHandle(), Qt::Key_Shift, Qt::NoModifier);

        QCOMPARE(closed, closes);
        QCOMPARE(window.isVisible(), !closes);
        if (asked) {
            QCOMPARE(MessageBox::history().size(), 1);
            QCOMPARE(MessageBox::last().kind, MessageBox::Question);
            QCOMPARE(MessageBox::last().text, QStringLiteral("Ramp down all high voltages?"));
            QCOMPARE(MessageBox::last().title, QStringLiteral("vexa SNMP Control"));
        } else {
            QVERIFY(MessageBox::history().isEmpty());
        }
        // Cancel keeps the window open and refreshing.
        QCOMPARE(window.channelTableTimer()->isActive(), !closes);

        const QList<int> expected = rampsDown ? QList<int>() : QList<int>({0, 1, 2, 3});
        QTest::qWait(300);
        for (BaseModule *module : modules)
            QCOMPARE(onChannels(module), expected);

        for (BaseModule *module : modules)
            module->setSelectedChannelsOff(~quint64(0));
        setCloseBehavior(2);
        window.close();
    }

    void noModulesClosesWithoutQuestion()
    {
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(m_dir, QStringLiteral("none.json"), QJsonArray());
        CrateSimProcess empty(options);
        QVERIFY2(empty.start(), qPrintable(empty.errorString()));
        TestEnv::setCrateAddress(empty.address());
        setCloseBehavior(0);
        VexaControl window;
        window.show();
        QVERIFY(window.close());
        QVERIFY(MessageBox::history().isEmpty());
    }

    void destructionReleasesOnlyTheOwnLock()
    {
        const QString address = m_sim->address();
        {
            VexaControl window;
            QCOMPARE(lockHolder(address), QCoreApplication::applicationPid());
        }
        QVERIFY(AddressLocker().isFree(address));

        {
            VexaControl window;
            // Another program takes the crate over while this one runs.
            holdAddressForOtherProcess(address);
        }
        QCOMPARE(lockHolder(address), qint64(999999999));
        QSettings store(Settings::storeFileName(QStringLiteral("addresslock")), QSettings::IniFormat);
        store.remove(address);
    }
};

VEXA_TEST_MAIN(TestVexaControlClose)
#include "tst_vexacontrolclose.moc"
