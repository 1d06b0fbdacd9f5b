// The alarm dock's announcements: a burst of alarms (an emergency off of a
// whole crate) is announced once, with its count; the sound choice is kept.

#include "alarmdock.h"
#include "alarmmodel.h"
#include "settings.h"
#include "testenv.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestAlarmDock : public QObject
{
    Q_OBJECT

private slots:
    void burstIsAnnouncedOnce()
    {
        QTemporaryDir dir;
        AlarmModel model;
        model.setLogFileName(dir.filePath(QStringLiteral("alarms.csv")));
        AlarmDock dock;
        dock.bind(&model);
        QSignalSpy announced(&dock, &AlarmDock::announced);
        ChannelStatus emergency;
        emergency.setIsEMCY(true);
        for (int serial : {7100123, 7100388})
            for (int channel = 0; channel < 32; ++channel)
                model.channelStatusSeen(serial, channel, emergency);
        QCOMPARE(model.rowCount(), 64);
        QTRY_COMPARE(announced.size(), 1);
        QCOMPARE(announced.at(0).at(0).toInt(), 64);
        QCOMPARE(announced.at(0).at(1).toString(),
                 QStringLiteral("64 new alarms; the latest: Module 7100388, channel 31: Emergency off"));

        // A later alarm has an announcement of its own.
        ChannelStatus tripped;
        tripped.setIsTRIP(true);
        model.channelStatusSeen(7100507, 2, tripped);
        QTRY_COMPARE(announced.size(), 2);
        QCOMPARE(announced.at(1).at(0).toInt(), 1);
        QCOMPARE(announced.at(1).at(1).toString(), QStringLiteral("Module 7100507, channel 2: Channel tripped"));
        QTest::qWait(500);
        QCOMPARE(announced.size(), 2);
    }

    void soundChoiceIsKept()
    {
        {
            AlarmDock dock;
            QVERIFY(!dock.soundEnabled());
            dock.findChild<QCheckBox *>(QStringLiteral("soundBox"))->click();
        }
        QVERIFY(Settings::operatorStore()->value(QStringLiteral("Alarms/Sound")).toBool());
        AlarmDock again;
        QVERIFY(again.soundEnabled());
    }
};

VEXA_TEST_MAIN(TestAlarmDock)
#include "tst_alarmdock.moc"
