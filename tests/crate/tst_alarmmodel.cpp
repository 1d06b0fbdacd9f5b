// The alarm list behind the "Alarms" dock, fed as the session's signals feed it:
// one alarm per condition that begins, "back" entries, the crate's main switch
// standing for the silence of its modules, acknowledgement and the log file.

#include "alarmmodel.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

ChannelStatus statusWith(int flag)
{
    ChannelStatus status;
    status.setIsON(flag != ChannelStatus::F_isTRIP);
    if (flag >= 0)
        status.setFlag(flag, true);
    return status;
}

QStringList logLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestAlarmModel : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void oneAlarmPerCondition_data()
    {
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("what");
        QTest::newRow("trip") << int(ChannelStatus::F_isTRIP) << QStringLiteral("Channel tripped");
        QTest::newRow("emergency off") << int(ChannelStatus::F_isEMCY) << QStringLiteral("Emergency off");
        QTest::newRow("inhibit") << int(ChannelStatus::F_isEINH) << QStringLiteral("External inhibit");
    }
    void oneAlarmPerCondition()
    {
        QFETCH(int, flag);
        QFETCH(QString, what);
        AlarmModel model;
        model.setLogFileName(m_dir.filePath(QStringLiteral("one.csv")));
        QSignalSpy raised(&model, &AlarmModel::alarmRaised);
        model.channelStatusSeen(7100123, 3, statusWith(-1));
        for (int tick = 0; tick < 5; ++tick)
            model.channelStatusSeen(7100123, 3, statusWith(flag));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(raised.size(), 1);
        QCOMPARE(model.entry(0).where, QStringLiteral("Module 7100123, channel 3"));
        QCOMPARE(model.entry(0).what, what);
        QCOMPARE(model.unacknowledgedCount(), 1);
        // The same flag on another channel is its own alarm; after the events
        // are cleared the condition can raise again.
        model.channelStatusSeen(7100123, 4, statusWith(flag));
        model.channelStatusSeen(7100123, 3, statusWith(-1));
        model.channelStatusSeen(7100123, 3, statusWith(flag));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.unacknowledgedCount(), 3);
        QSignalSpy count(&model, &AlarmModel::unacknowledgedCountChanged);
        model.acknowledge(1);
        model.acknowledge(1);
        QCOMPARE(model.unacknowledgedCount(), 2);
        model.acknowledgeAll();
        QCOMPARE(model.unacknowledgedCount(), 0);
        QCOMPARE(count.last().first().toInt(), 0);
    }

    void silentModuleAndCrateSwitch()
    {
        AlarmModel model;
        model.setLogFileName(m_dir.filePath(QStringLiteral("module.csv")));
        const QString notConnected = QCoreApplication::translate("CrateSession", "Not connected");
        const QString on = QStringLiteral("Connected to 127.0.0.9. Bus status: OK");
        const QString off = QStringLiteral("Connected to 127.0.0.9. <font color=\"red\">MPOD is powered off!");
        model.crateState(on);
        model.moduleStateText(1, QStringLiteral("7100388"));
        model.moduleStateText(1, notConnected);
        model.moduleStateText(1, notConnected);
        model.moduleStateText(1, QStringLiteral("7100388"));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.entry(0).where, QStringLiteral("Module 7100388"));
        QCOMPARE(model.entry(0).kind, AlarmModel::Alarm);
        QCOMPARE(model.entry(1).kind, AlarmModel::Back);
        QCOMPARE(model.unacknowledgedCount(), 1);

        // Main switch off: one crate alarm, not one more per module.
        model.crateState(off);
        model.crateState(off);
        model.moduleStateText(0, notConnected);
        model.moduleStateText(1, notConnected);
        model.crateState(on);
        model.moduleStateText(1, QStringLiteral("7100388"));
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.entry(2).what, QStringLiteral("Main switch off"));
        QCOMPARE(model.entry(3).what, QStringLiteral("Main switch on again"));
        QCOMPARE(model.unacknowledgedCount(), 2);
    }

    void logAppendsAcrossRuns()
    {
        const QString fileName = m_dir.filePath(QStringLiteral("alarms.csv"));
        for (int run = 0; run < 2; ++run) {
            AlarmModel model;
            model.setLogFileName(fileName);
            model.channelStatusSeen(7100123, run, statusWith(ChannelStatus::F_isTRIP));
            model.acknowledge(0);
        }
        const QStringList lines = logLines(fileName);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(0), QStringLiteral("Date;Time;Where;What;Event"));
        const QRegularExpression line(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d;\\d\\d:\\d\\d:\\d\\d\\.\\d{3};Module 7100123, "
                                                     "channel (\\d);Channel tripped;(alarm|acknowledged)$"));
        const QStringList expected = {QStringLiteral("0 alarm"), QStringLiteral("0 acknowledged"),
                                      QStringLiteral("1 alarm"), QStringLiteral("1 acknowledged")};
        for (int i = 1; i < lines.size(); ++i) {
            const QRegularExpressionMatch m = line.match(lines.at(i));
            QVERIFY2(m.hasMatch(), qPrintable(lines.at(i)));
            QCOMPARE(m.captured(1) + QLatin1Char(' ') + m.captured(2), expected.at(i - 1));
        }
    }

    void unwritableLogIsReportedOnce()
    {
        AlarmModel model;
        model.setLogFileName(m_dir.filePath(QStringLiteral("no/such/folder/alarms.csv")));
        QSignalSpy failed(&model, &AlarmModel::logFailed);
        model.channelStatusSeen(1, 0, statusWith(ChannelStatus::F_isTRIP));
        model.channelStatusSeen(1, 1, statusWith(ChannelStatus::F_isTRIP));
        QCOMPARE(failed.size(), 1);
        // The list goes on without the file.
        QCOMPARE(model.rowCount(), 2);
    }
};

VEXA_TEST_GUILESS_MAIN(TestAlarmModel)
#include "tst_alarmmodel.moc"
