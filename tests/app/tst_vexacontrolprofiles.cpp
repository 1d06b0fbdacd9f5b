// An operator's profile round trip in the main window against a private cratesim:
// save the module, change it, load the file back, and the old values are in the
// crate and in the table.

#include "tst_vexacontrolsupport.h"

#include "messagebox.h"

#include <QStatusBar>

using namespace VexaTest;

class TestVexaControlProfiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;
    static constexpr int Slot = 1;

    void setStop(bool on)
    {
        QVERIFY(!snmp(*m_sim, QStringLiteral("snmpset"),
                      {QStringLiteral("CRATESIM-MIB::cratesimModuleStop.%1").arg(Slot + 1), QStringLiteral("i"),
                       on ? QStringLiteral("1") : QStringLiteral("0")})
                     .isEmpty());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        CrateSimProcess::Options options;
        options.crateFile = writeCrate(m_dir, QStringLiteral("profiles.json"),
                                       QJsonArray{hvModule(0, "T03X0", 4, 8100001, 3000.0),
                                                  hvModule(Slot, "T03X0", 8, 8100002, 3000.0)});
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
        MessageBox::clearHooks();
        MessageBox::clearHistory();
    }

    void cleanupTestCase() { m_sim->stop(); }

    void saveChangeAndLoadBringsTheOldValuesBack()
    {
        VexaControl window;
        moduleList(window)->setCurrentRow(Slot);
        QVERIFY(waitConnected(window));
        BaseModule *module = window.currentModule();
        for (int ch = 0; ch < 8; ++ch)
            module->setChannelVoltageSet(ch, 100.0f + ch);

        // Hidden until the service code shows them.
        QVERIFY(!action(window, "actionSaveProfile")->isVisible());
        MessageBox::setNextValue(QStringLiteral("tor5plank"));
        action(window, "actionPassword")->trigger();
        QVERIFY(action(window, "actionSaveProfile")->isVisible());
        QVERIFY(action(window, "actionLoadProfile")->isVisible());

        const QString file = m_dir.filePath(QStringLiteral("slot1"));
        MessageBox::setNextFileName(file);
        action(window, "actionSaveProfile")->trigger();
        // Read and written on the crate thread.
        QTRY_COMPARE(window.statusBar()->currentMessage(), QStringLiteral("Profile saved to file %1.txt.").arg(file));
        QVERIFY(QFile::exists(file + QStringLiteral(".txt")));

        for (int ch = 0; ch < 8; ++ch)
            module->setChannelVoltageSet(ch, 5.0f);
        QTRY_COMPARE_WITH_TIMEOUT(channelValue(*m_sim, QStringLiteral("outputVoltage"), Slot, 3), 5.0, 3000);

        // The crate's SNMP modules never confirm storing, so the store question
        // comes; No leaves the written values in place.
        setStop(true);
        MessageBox::clearHistory();
        MessageBox::setNextFileName(file + QStringLiteral(".txt"));
        MessageBox::setNextAnswer(QMessageBox::Ok);
        MessageBox::setNextAnswer(QMessageBox::No);
        action(window, "actionLoadProfile")->trigger();
        // The writes run on the crate thread, which asks its question here.
        QTRY_COMPARE(MessageBox::last().text, QStringLiteral("Error setting ModuleControl.DoSaveSetValues. Try again?"));
        QCOMPARE(MessageBox::pendingAnswers(), 0);
        QTRY_VERIFY(action(window, "actionLoadProfile")->isEnabled());
        for (int ch = 0; ch < 8; ++ch)
            QCOMPARE(channelValue(*m_sim, QStringLiteral("outputVoltage"), Slot, ch), 100.0 + ch);
        QVERIFY(action(window, "actionLoadProfile")->isEnabled());
        QVERIFY(window.channelTableTimer()->isActive());
        setStop(false);
        QTRY_COMPARE_WITH_TIMEOUT(table(window)->item(3, 0)->text(), module->formatVoltage(103.0), 3000);
    }
};

VEXA_TEST_MAIN(TestVexaControlProfiles)
#include "tst_vexacontrolprofiles.moc"
