// Trends and alarms in the main window on the demo crate: a channel ramped to
// 1000 V is recorded rising and settling, drawn as a rising line and exported;
// a trip and a silent module each give one alarm; acknowledging clears the
// status bar. With VEXA_SCREENSHOT_DIR set, the window is saved there as well.

#include "tst_vexacontrolsupport.h"

#include "alarmdock.h"
#include "alarmmodel.h"
#include "logfilewriter.h"
#include "trenddock.h"
#include "trendrecorder.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QDockWidget>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>

using namespace VexaTest;

namespace {
constexpr int Slot0Serial = 7100123; // 8 channels, 3000 V, ramps at 150 V/s
constexpr int Slot1Serial = 7100388;
constexpr int Channel = 4;           // 1 Gohm load: no current limit at 1000 V
} // namespace

class TestVexaControlTrends : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<QTemporaryDir> m_dir;

    bool set(const QString &object, const char *type, const QString &v) { return simSet(*m_sim, object, type, v); }
    void switchOn(int slot, int channel, double volts) { QVERIFY(switchChannelOn(*m_sim, slot, channel, volts)); }
    static QLabel *alarmLabel(VexaControl &w) { return w.findChild<QLabel *>(QStringLiteral("alarmStatusLabel")); }
    // Waits for this many more refresh passes of the current module.
    static bool passes(VexaControl &w, int count)
    {
        QSignalSpy spy(w.session(), &CrateSession::currentChannelsRead);
        QElapsedTimer timer;
        timer.start();
        while (spy.size() < count && timer.elapsed() < 20000)
            QTest::qWait(50);
        return spy.size() >= count;
    }
    static void screenshot(QWidget *widget, const char *name)
    {
        const QString folder = qEnvironmentVariable("VEXA_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            widget->grab().save(QDir(folder).filePath(QLatin1String(name)));
    }
    // Whether the image has a pixel near the colour within a few pixels of the point.
    static bool inkNear(const QImage &image, QPoint at, const QColor &color)
    {
        for (int dx = -3; dx <= 3; ++dx)
            for (int dy = -3; dy <= 3; ++dy) {
                const QPoint p = at + QPoint(dx, dy);
                if (!image.rect().contains(p))
                    continue;
                const QColor c = image.pixelColor(p);
                if (qAbs(c.red() - color.red()) + qAbs(c.green() - color.green()) + qAbs(c.blue() - color.blue()) < 90)
                    return true;
            }
        return false;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // The alarm log lies in the working folder, beside the other logs.
        QDir::setCurrent(m_dir->path());
        m_sim = std::make_unique<CrateSimProcess>(CrateSimProcess::Options());
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
    }
    void cleanup()
    {
        m_sim.reset();
        QDir::setCurrent(QDir::tempPath());
        m_dir.reset();
        auto store = Settings::operatorStore();
        store->remove(QStringLiteral("Trends"));
        store->sync();
    }

    void rampIsPlottedRisingAndSettling()
    {
        VexaControl window;
        window.resize(1200, 960);
        window.show();
        QVERIFY(waitConnected(window));
        selectRows(window, {Channel});
        action(window, "actionAddToTrend")->trigger();
        TrendRecorder *recorder = window.trendRecorder();
        QVERIFY(recorder->hasChannel(Slot0Serial, Channel));
        QVERIFY(window.trendDock()->isVisible());
        // Kept for the next start.
        QCOMPARE(Settings::operatorStore()->value(QStringLiteral("Trends/Channels")).toStringList(),
                 QStringList{QStringLiteral("7100123/4")});
        QVERIFY(passes(window, 2));

        switchOn(0, Channel, 1000.0);
        const bool shots = !qEnvironmentVariableIsEmpty("VEXA_SCREENSHOT_DIR");
        if (shots) {
            selectRows(window, {0, 2});
            action(window, "actionAddToTrend")->trigger();
            switchOn(0, 0, 1500.0);
            switchOn(0, 2, 600.0);
        }
        const TrendBuffer &volts = recorder->series(0).buffer;
        QCOMPARE(recorder->series(0).quantity, TrendRecorder::Voltage);
        auto settled = [&volts] {
            if (volts.size() < 6)
                return false;
            for (int i = volts.size() - 5; i < volts.size(); ++i)
                if (qAbs(volts.at(i).value - 1000.0f) > 2.0f)
                    return false;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);

        // Off before the switch, then a ramp through many ticks, never falling back.
        QVERIFY2(volts.at(0).value < 5.0f, qPrintable(QString::number(volts.at(0).value)));
        int onTheWay = 0;
        for (int i = 1; i < volts.size(); ++i) {
            QVERIFY2(volts.at(i).value >= volts.at(i - 1).value - 1.0f, qPrintable(QString::number(i)));
            onTheWay += volts.at(i).value > 50.0f && volts.at(i).value < 950.0f ? 1 : 0;
        }
        QVERIFY2(onTheWay >= 3, qPrintable(QString::number(onTheWay)));

        // Drawn: the line's own colour at the start (bottom left) and the end (top right).
        TrendDock *dock = window.trendDock();
        dock->redraw();
        QTest::qWait(100);
        QLineSeries *line = dock->lines().at(0);
        QCOMPARE(line->name(), QStringLiteral("7100123 ch 4 V"));
        const QImage image = dock->chartView()->grab().toImage();
        const QPointF start = dock->chart()->mapToPosition(QPointF(double(volts.at(0).msecs), volts.at(0).value), line);
        const QPointF end = dock->chart()->mapToPosition(QPointF(double(volts.newest().msecs), volts.newest().value), line);
        QVERIFY2(end.y() < start.y() - 50 && end.x() > start.x(), qPrintable(QStringLiteral("%1,%2 -> %3,%4 in %5x%6").arg(start.x()).arg(start.y()).arg(end.x()).arg(end.y()).arg(dock->chart()->plotArea().width()).arg(dock->chart()->plotArea().height())));
        const QPoint startPixel = dock->chartView()->mapFromScene(start);
        const QPoint endPixel = dock->chartView()->mapFromScene(end);
        QVERIFY2(inkNear(image, startPixel, line->color()), "no line at the start");
        QVERIFY2(inkNear(image, endPixel, line->color()), "no line at the end");
        // ... and nothing of it in the empty top left corner.
        QVERIFY(!inkNear(image, QPoint(startPixel.x() + 4, endPixel.y()), line->color()));
        // Zooming in with the mouse holds the plot there; "Resume" follows the values again.
        auto *pause = dock->findChild<QPushButton *>(QStringLiteral("pauseButton"));
        dock->chart()->zoomIn(QRectF(dock->chart()->plotArea().topLeft(), dock->chart()->plotArea().size() / 2));
        QVERIFY(dock->isPaused());
        QCOMPARE(pause->text(), QStringLiteral("Resume"));
        const QList<QAbstractAxis *> timeAxes = dock->chart()->axes(Qt::Horizontal);
        QCOMPARE(timeAxes.size(), 1);
        auto *timeAxis = qobject_cast<QDateTimeAxis *>(timeAxes.first());
        const QDateTime zoomedEnd = timeAxis->max();
        // Another channel while zoomed: its line joins, the view stays.
        selectRows(window, {1});
        action(window, "actionAddToTrend")->trigger();
        QVERIFY(passes(window, 2));
        dock->redraw();
        QCOMPARE(dock->lines().size(), recorder->seriesCount());
        QCOMPARE(timeAxis->max(), zoomedEnd);
        QVERIFY(dock->isPaused());
        pause->click();
        QVERIFY(!dock->isPaused());
        QVERIFY(timeAxis->max().toMSecsSinceEpoch() >= volts.newest().msecs);

        if (shots) {
            QTest::qWait(2500);
            dock->redraw();
            screenshot(&window, "cratectl-trends.png");
        }

        // Exported as the measurement log writes numbers.
        const QString file = m_dir->filePath(QStringLiteral("trends.csv"));
        QVERIFY(dock->exportTo(file));
        QFile exported(file);
        QVERIFY(exported.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(exported.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), QStringLiteral("Date;Time;Serial no.;Channel;Quantity;Value;Minimum;Maximum"));
        const QStringList voltageLines = lines.filter(QStringLiteral(";7100123;4;Vmeasure;"));
        QVERIFY(voltageLines.size() >= volts.size() - 1 && voltageLines.size() <= volts.size() + 2);
        const QStringList fields = voltageLines.last().split(QLatin1Char(';'));
        QCOMPARE(fields.size(), 8);
        bool ok = false;
        QVERIFY(qAbs(LogFileWriter::numberLocale().toDouble(fields.at(5), &ok) - 1000.0) < 2.0 && ok);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$")).match(fields.at(0)).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")).match(fields.at(1)).hasMatch());
    }

    void tripGivesOneAlarmUntilAcknowledged_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("serial");
        QTest::addColumn<double>("volts");
        QTest::newRow("module shown") << 0 << Channel << Slot0Serial << 500.0;
        // Read in turn with the other modules, not by the table.
        QTest::newRow("module not shown") << 1 << 2 << Slot1Serial << 100.0;
    }
    void tripGivesOneAlarmUntilAcknowledged()
    {
        QFETCH(int, slot);
        QFETCH(int, channel);
        QFETCH(int, serial);
        QFETCH(double, volts);
        VexaControl window;
        window.resize(1200, 960);
        window.show();
        QVERIFY(waitConnected(window));
        switchOn(slot, channel, volts);
        QTRY_VERIFY_WITH_TIMEOUT(channelValue(*m_sim, QStringLiteral("outputMeasurementTerminalVoltage"), slot, channel) > volts / 5,
                                 15000);
        QVERIFY(passes(window, 2));
        AlarmModel *alarms = window.alarmModel();
        QCOMPARE(alarms->rowCount(), 0);
        QVERIFY(!alarmLabel(window)->isVisible());

        QVERIFY(set(QStringLiteral("CRATESIM-MIB::cratesimChannelTrip.%1").arg(slot * 100 + channel + 1), "i", QStringLiteral("1")));
        QTRY_COMPARE_WITH_TIMEOUT(alarms->rowCount(), 1, 10000);
        QVERIFY(passes(window, 14)); // every module read again, twice
        QCOMPARE(alarms->rowCount(), 1);
        const QString where = QStringLiteral("Module %1, channel %2").arg(serial).arg(channel);
        QCOMPARE(alarms->entry(0).where, where);
        QCOMPARE(alarms->entry(0).what, QStringLiteral("Channel tripped"));
        QVERIFY(alarmLabel(window)->isVisible());
        QVERIFY2(alarmLabel(window)->text().contains(QStringLiteral("1 unacknowledged alarm")),
                 qPrintable(alarmLabel(window)->text()));

        action(window, "actionAlarms")->trigger();
        AlarmDock *dock = window.alarmDock();
        QVERIFY(dock->isVisible());
        if (!qEnvironmentVariableIsEmpty("VEXA_SCREENSHOT_DIR") && slot == 0) {
            QVERIFY(setModuleResponding(*m_sim, 1, false));
            QTRY_COMPARE_WITH_TIMEOUT(alarms->rowCount(), 2, 10000);
            QVERIFY(setModuleResponding(*m_sim, 1, true));
            QTRY_COMPARE_WITH_TIMEOUT(alarms->rowCount(), 3, 10000);
            // A trip on a module not shown is seen too.
            QVERIFY(set(QStringLiteral("CRATESIM-MIB::cratesimChannelTrip.%1").arg(2 * 100 + 1 + 1), "i", QStringLiteral("1")));
            QTRY_COMPARE_WITH_TIMEOUT(alarms->rowCount(), 4, 10000);
            alarms->acknowledge(1);
            QTest::qWait(300);
            screenshot(&window, "cratectl-alarms.png");
            alarms->acknowledge(3);
        }
        auto *table = dock->findChild<QTableView *>(QStringLiteral("alarmTable"));
        table->selectRow(0);
        dock->findChild<QPushButton *>(QStringLiteral("acknowledgeButton"))->click();
        QCOMPARE(alarms->unacknowledgedCount(), 0);
        QVERIFY(!alarmLabel(window)->isVisible());
        QCOMPARE(alarms->data(alarms->index(0, AlarmModel::StateColumn)).toString(), QStringLiteral("Acknowledged"));

        QFile log(QDir::current().filePath(QStringLiteral("alarms.csv")));
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY(text.contains(QLatin1Char(';') + where + QStringLiteral(";Channel tripped;alarm")));
        QVERIFY(text.contains(QLatin1Char(';') + where + QStringLiteral(";Channel tripped;acknowledged")));
    }

    void silentModuleGivesOneAlarmAndOneBack()
    {
        VexaControl window;
        QVERIFY(waitConnected(window));
        QVERIFY(passes(window, 8)); // every module seen answering once
        AlarmModel *alarms = window.alarmModel();
        QCOMPARE(alarms->rowCount(), 0);

        QVERIFY(setModuleResponding(*m_sim, 1, false));
        QTRY_COMPARE_WITH_TIMEOUT(alarms->rowCount(), 1, 10000);
        QVERIFY(passes(window, 8));
        QCOMPARE(alarms->rowCount(), 1);
        QCOMPARE(alarms->entry(0).where, QStringLiteral("Module %1").arg(Slot1Serial));
        QCOMPARE(alarms->entry(0).what, QStringLiteral("Module not answering"));

        QVERIFY(setModuleResponding(*m_sim, 1, true));
        QTRY_COMPARE_WITH_TIMEOUT(alarms->rowCount(), 2, 10000);
        QVERIFY(passes(window, 8));
        QCOMPARE(alarms->rowCount(), 2);
        QCOMPARE(alarms->entry(1).kind, AlarmModel::Back);
        QCOMPARE(alarms->entry(1).where, QStringLiteral("Module %1").arg(Slot1Serial));
        QCOMPARE(alarms->unacknowledgedCount(), 1);
    }
};

VEXA_TEST_MAIN(TestVexaControlTrends)
#include "tst_vexacontroltrends.moc"
