// The factory dialog's two procedures, driven through its update slots the way
// the refresh feeds them.

#include "dialogfactory.h"
#include "testenv.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr int Serial = 7300101;
}

class TestDialogFactory : public QObject
{
    Q_OBJECT

private slots:
    // The module echoes each written mask through the refresh, minus the bits it loses.
    void registerTestPassesTheBitsThatReadBack_data()
    {
        QTest::addColumn<quint32>("lostBits");
        QTest::addColumn<QStringList>("passed");
        // Word bit 3 has no flag in the event mask, so even a perfect module stops there.
        QTest::newRow("every bit kept") << 0u
                                        << QStringList{"Module EventMask 0x0001 passed", "Module EventMask 0x0002 passed",
                                                       "Module EventMask 0x0004 passed"};
        QTest::newRow("bit 1 lost") << 0x2u << QStringList{"Module EventMask 0x0001 passed"};
    }
    void registerTestPassesTheBitsThatReadBack()
    {
        QFETCH(quint32, lostBits);
        QFETCH(QStringList, passed);
        DialogFactory dialog;
        dialog.setSerialNumber(Serial);
        dialog.setChannelNumber(Serial, 8);
        dialog.show();
        QSignalSpy written(&dialog, &DialogFactory::setModuleEventMask);
        QTest::mouseClick(dialog.findChild<QPushButton *>("btnVmeTest"), Qt::LeftButton);
        for (int tick = 0; tick < 20; ++tick) {
            const quint32 word = written.last().at(1).value<ModuleEventMask>().toWord();
            dialog.updateModuleEventMask(Serial, ModuleEventMask(word & ~lostBits));
            dialog.updateModuleEventMask(Serial + 1, ModuleEventMask(word)); // another module: ignored
        }
        QStringList log = dialog.logText().split('\n');
        QCOMPARE(log.takeFirst(), QStringLiteral("Starting Test..."));
        QCOMPARE(log, passed);
        QCOMPARE(dialog.state(), DialogFactory::EventMaskTest);
        QVERIFY(dialog.attempts() > 10);

        dialog.hide();
        dialog.show();
        QCOMPARE(dialog.state(), DialogFactory::Idle);
        QVERIFY(dialog.logText().isEmpty());
    }

    void factoryResetWaitsForStopThenAsksOnce()
    {
        DialogFactory dialog;
        dialog.setSerialNumber(Serial);
        dialog.show();
        QSignalSpy control(&dialog, &DialogFactory::setModuleControl);
        QSignalSpy store(&dialog, &DialogFactory::storeFactorySettings);
        QTest::mouseClick(dialog.findChild<QPushButton *>("btnFactoryReset"), Qt::LeftButton);
        QCOMPARE(control.size(), 1);
        ModuleControl wanted = control.first().at(1).value<ModuleControl>();
        QVERIFY(wanted.setSTOP());
        QCOMPARE(dialog.state(), DialogFactory::WaitingForStop);

        dialog.updateChannelVoltageNominal(Serial, 2, 3000.0f, QStringLiteral("V"));
        dialog.updateChannelCurrentNominal(Serial, 2, 0.003f, QStringLiteral("A"));
        dialog.updateModuleEventMask(Serial, ModuleEventMask()); // not in STOP yet
        QCOMPARE(dialog.state(), DialogFactory::WaitingForStop);

        ModuleStatus stopped;
        stopped.setIsSTOP(true);
        dialog.updateModuleControl(Serial, wanted);
        dialog.updateModuleStatus(Serial, stopped);
        dialog.updateModuleEventMask(Serial, ModuleEventMask());
        QCOMPARE(store.size(), 1);
        QCOMPARE(dialog.state(), DialogFactory::ResetRequested);
        dialog.updateModuleEventMask(Serial, ModuleEventMask());
        QCOMPARE(dialog.state(), DialogFactory::ResetSeen);
        dialog.updateModuleEventMask(Serial, ModuleEventMask());
        QCOMPARE(dialog.state(), DialogFactory::Idle);
        QCOMPARE(store.size(), 1);
        dialog.factoryResetDone(Serial);

        QCOMPARE(dialog.logText(), QStringLiteral("Setting Module to Mode STOP...\n"
                                                  "Channel 2: Voltage Hardware Nominal 3000 V\n"
                                                  "Channel 2: Current Hardware Nominal 0.003 A\n"
                                                  "\nModule is now in Mode STOP.\n"
                                                  "Resetting Module to Factory settings ...\n"
                                                  "\nReset to Factory Settings done!"));
    }
};

VEXA_TEST_MAIN(TestDialogFactory)
#include "tst_dialogfactory.moc"
