// The trend dock's timed redraw: the lines go to the chart in slices, painting
// stays off until the last one, and the result is the same as a redraw at once.

#include "testenv.h"
#include "trenddock.h"
#include "trendrecorder.h"

#include <QChartView>
#include <QLineSeries>
#include <QtTest>

namespace {
constexpr int Serial = 7100507;
constexpr int Channels = 20; // 40 series: five slices
} // namespace

class TestTrendDock : public QObject
{
    Q_OBJECT

private:
    qint64 m_clock = 1765000000000;

    void fill(TrendRecorder &recorder)
    {
        recorder.setClock([this] { return m_clock; });
        for (int channel = 0; channel < Channels; ++channel)
            QVERIFY(recorder.addChannel(Serial, channel));
        for (int tick = 0; tick < 600; ++tick) {
            m_clock += 200;
            for (int channel = 0; channel < Channels; ++channel) {
                recorder.addVoltage(Serial, channel, float(tick + 10 * channel));
                recorder.addCurrent(Serial, channel, float(tick) * 1e-9f);
            }
        }
    }
    static QList<QList<QPointF>> linePoints(const TrendDock &dock)
    {
        QList<QList<QPointF>> all;
        for (QLineSeries *line : dock.lines())
            all.append(line->points());
        return all;
    }

private slots:
    void slicedRedrawEndsAsARedrawAtOnce()
    {
        TrendRecorder recorder;
        fill(recorder);
        TrendDock dock;
        dock.bind(&recorder);
        dock.resize(1000, 500);
        dock.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dock));
        dock.redraw();
        const QList<QList<QPointF>> atOnce = linePoints(dock);
        QCOMPARE(atOnce.size(), 2 * Channels);
        QVERIFY(!atOnce.last().isEmpty());

        // New values: the sliced redraw must bring every line up to them.
        m_clock += 200;
        for (int channel = 0; channel < Channels; ++channel)
            recorder.addVoltage(Serial, channel, 5000.0f);
        dock.redrawAndSchedule();
        QVERIFY(dock.isRedrawing());
        QVERIFY(!dock.chartView()->viewport()->updatesEnabled());
        QTRY_VERIFY(!dock.isRedrawing());
        QVERIFY(dock.chartView()->viewport()->updatesEnabled());
        const QList<QList<QPointF>> sliced = linePoints(dock);
        for (int i = 0; i < sliced.size(); i += 2)
            QCOMPARE(sliced.at(i).last().y(), 5000.0);
        QVERIFY(dock.longestRedrawTurn() <= dock.lastRedrawCost());
        dock.redraw();
        QCOMPARE(linePoints(dock), sliced);
    }

    void channelsChangingMidRedraw()
    {
        TrendRecorder recorder;
        fill(recorder);
        TrendDock dock;
        dock.bind(&recorder);
        dock.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dock));
        dock.redrawAndSchedule();
        QVERIFY(dock.isRedrawing());
        recorder.clearChannels();
        QVERIFY(!dock.isRedrawing());
        QVERIFY(dock.lines().isEmpty());
        QVERIFY(dock.chartView()->viewport()->updatesEnabled());
        QTest::qWait(50);
    }
};

VEXA_TEST_MAIN(TestTrendDock)
#include "tst_trenddock.moc"
