// Feeds the trend recorder through a CrateSession's update signals as a refresh
// of 32 channels would (voltage and current: 64 series), one tick per 200 ms of
// a simulated clock for ten minutes, with the Trends dock shown and redrawing
// at its own pace (every second, spaced further by what a redraw costs, up to
// 10 seconds), and prints the GUI-thread time each tick added:
// delivering the values, and on redraw ticks the new points, the axes and the
// painting of the plot. Then it runs a week of ticks into the buffers without
// drawing and prints the resident memory before and after, against the bound.
// Exit code 2 when the p95 of the tick time is 2 ms or more.

#include "cratesession.h"
#include "testenv.h"
#include "trenddock.h"
#include "trendrecorder.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

int g_channels = 32;
constexpr int kTickMs = 200;
constexpr int kSerial = 7100507;

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, int(std::ceil(p * values.size())) - 1));
}

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// A ramp to a channel's own voltage and back, with a little noise, and its current.
void emitTick(CrateSession &session, int tick)
{
    for (int channel = 0; channel < g_channels; ++channel) {
        const double target = 500.0 + 40.0 * channel;
        const double phase = std::fmod(tick * 0.002 + channel * 0.03, 1.0);
        const double volts = target * (phase < 0.5 ? phase * 2.0 : 1.0) + std::sin(tick * 0.7 + channel) * 0.3;
        emit session.updateChannelVoltageMeasure(kSerial, channel, float(volts), QStringLiteral("V"));
        emit session.updateChannelCurrentMeasure(kSerial, channel, float(volts / 20e6), QStringLiteral("A"));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    QApplication app(argc, argv);
    const bool week = app.arguments().contains(QStringLiteral("--week"));
    // --channels N: fewer channels (two series each) than the 32 of the target.
    const int channelsArg = app.arguments().indexOf(QStringLiteral("--channels"));
    if (channelsArg > 0)
        g_channels = qBound(1, app.arguments().value(channelsArg + 1).toInt(), TrendRecorder::MaxChannels);

    CrateSession session(nullptr);
    TrendRecorder recorder;
    qint64 clock = QDateTime::currentMSecsSinceEpoch();
    recorder.setClock([&clock] { return clock; });
    recorder.bind(&session);
    emit session.currentModuleChanged(kSerial);
    for (int channel = 0; channel < g_channels; ++channel)
        recorder.addChannel(kSerial, channel);

    TrendDock dock;
    dock.bind(&recorder);
    dock.resize(1200, 560);
    dock.show();
    app.processEvents();
    // The dock's own timer runs on real time; here the simulated clock drives its redraws.
    for (QTimer *timer : dock.findChildren<QTimer *>())
        timer->stop();

    const qint64 startKiB = residentKiB();
    int ticks = 10 * 60 * 1000 / kTickMs;
    const int ticksArg = app.arguments().indexOf(QStringLiteral("--ticks"));
    if (ticksArg > 0)
        ticks = app.arguments().value(ticksArg + 1).toInt();
    QList<double> all;
    QList<double> feedOnly;
    QList<double> redraws;
    QList<double> dataCosts;
    QList<double> paintCosts;
    QElapsedTimer timer;
    qint64 lastRedraw = 0;
    // What holds the event loop at the longest: a slice of a redraw, or the painting.
    double longestSlice = 0.0;
    double longestPaint = 0.0;
    for (int tick = 0; tick < ticks; ++tick) {
        clock += kTickMs;
        timer.start();
        emitTick(session, tick);
        const double feed = timer.nsecsElapsed() / 1e6;
        // The dock's own timer sets the pace of its redraws; here the simulated clock counts.
        const bool redraw = clock - lastRedraw >= dock.redrawInterval();
        if (redraw) {
            lastRedraw = clock;
            dock.redrawAndSchedule();
            // The slices of the redraw, then the chart's layout and painting.
            for (int round = 0; dock.isRedrawing() || round < 2; ++round)
                app.processEvents();
            dataCosts.append(dock.lastRedrawCost() / 1e6);
            paintCosts.append(dock.lastPaintCost() / 1e6);
            longestSlice = qMax(longestSlice, dock.longestRedrawTurn() / 1e6);
            longestPaint = qMax(longestPaint, dock.lastPaintCost() / 1e6);
        }
        const double total = timer.nsecsElapsed() / 1e6;
        all.append(total);
        feedOnly.append(feed);
        if (redraw)
            redraws.append(total);
    }
    const qint64 plotKiB = residentKiB();

    int points = 0;
    for (int i = 0; i < recorder.seriesCount(); ++i)
        points += recorder.series(i).buffer.size();
    std::printf("series: %d, ticks: %d of %d ms (10 minutes), points held: %d\n", recorder.seriesCount(), ticks,
                kTickMs, points);
    std::printf("GUI-thread time per tick: p50 %.3f ms, p95 %.3f ms, max %.3f ms\n", percentile(all, 0.5),
                percentile(all, 0.95), percentile(all, 1.0));
    std::printf("  values only (every tick): p50 %.4f ms, p95 %.4f ms\n", percentile(feedOnly, 0.5),
                percentile(feedOnly, 0.95));
    std::printf("  ticks with a redraw (%lld of %d, every %d ms at the end): p50 %.3f ms, p95 %.3f ms\n",
                qint64(redraws.size()), ticks, dock.redrawInterval(), percentile(redraws, 0.5), percentile(redraws, 0.95));
    std::printf("    of which new points and axes p50 %.3f ms, painting the plot p50 %.3f ms\n", percentile(dataCosts, 0.5),
                percentile(paintCosts, 0.5));
    std::printf("  longest hold of the event loop: a slice of a redraw %.3f ms (%d series at a time), a painting %.3f ms\n",
                longestSlice, TrendDock::SliceSeries, longestPaint);
    std::printf("memory bound of the buffers: %.2f MiB (%d series x %d points x %d bytes)\n",
                TrendRecorder::memoryBound() / 1048576.0, 2 * TrendRecorder::MaxChannels,
                TrendBuffer::DefaultCapacity, int(sizeof(TrendPoint)));
    std::printf("resident memory: %lld KiB at start, %lld KiB after 10 minutes\n", startKiB, plotKiB);

    if (week) {
        // A week of ticks, no drawing: the buffers are full long before its end.
        const int weekTicks = 7 * 24 * 3600 * (1000 / kTickMs);
        qint64 dayKiB = 0;
        for (int tick = 0; tick < weekTicks; ++tick) {
            clock += kTickMs;
            emitTick(session, tick);
            if (tick == weekTicks / 7)
                dayKiB = residentKiB();
        }
        dock.redraw();
        app.processEvents();
        std::printf("a week of ticks: resident memory %lld KiB after one day, %lld KiB after seven\n", dayKiB,
                    residentKiB());
    }
    return percentile(all, 0.95) < 2.0 ? 0 : 2;
}
