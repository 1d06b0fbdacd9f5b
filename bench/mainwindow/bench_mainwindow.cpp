// Runs the real main window, shown (offscreen unless a display is given),
// against a private cratesim with ten 32-channel modules on a 200 ms tick (an
// address other than 127.0.0.1) and prints what the refresh costs: the
// "refreshTable" times, the ticks run and skipped, the library calls per tick,
// the share of one processor the process used, and how late a 10 ms probe timer
// in the GUI thread fires (what the operator feels as a frozen window).
//   bench_mainwindow [--seconds N] [--delay-ms D]

#include "basemodule.h"
#include "cratesimprocess.h"
#include "snmpcontroller.h"
#include "testenv.h"
#include "vexacontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

// The refresh may report from another thread than the GUI's.
QMutex g_mutex;
QList<double> g_refreshTimes;
int g_skippedTicks = 0;
bool g_recording = false;

void captureRefreshTimes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    static const QRegularExpression pattern(QStringLiteral("^refreshTable\\(channel\\): ([0-9.]+)"));
    if (type == QtDebugMsg) {
        const QRegularExpressionMatch m = pattern.match(message);
        QMutexLocker lock(&g_mutex);
        if (m.hasMatch() && g_recording)
            g_refreshTimes.append(m.captured(1).toDouble());
        else if (g_recording && message.startsWith(QLatin1String("refresh tick skipped")))
            ++g_skippedTicks;
        return; // the window's debug lines would only slow the run down
    }
    fprintf(stderr, "%s\n", qPrintable(message));
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const int index = std::clamp(int(p * (values.size() - 1) + 0.5), 0, int(values.size() - 1));
    return values.at(index);
}

QString writeCrate(const QTemporaryDir &dir)
{
    QJsonArray modules;
    for (int slot = 0; slot < 10; ++slot)
        modules.append(QJsonObject{{"slot", slot},           {"vendor", "vexa"},
                                   {"type", "T14X0"},        {"channels", 32},
                                   {"serialNumber", 9100000 + slot}, {"firmwareRelease", "05.20"},
                                   {"polarity", "positive"}, {"nominalVoltage", 2000},
                                   {"nominalCurrent", 0.001}, {"rampSpeedVoltage", 10},
                                   {"temperature", 30.0}});
    const QJsonObject crate{{"serialNumber", 5151},    {"firmware", "2.1.3.4"},  {"psSerialNumber", "PS-BENCH"},
                            {"fanSerialNumber", "FT-BENCH"}, {"ipStaticAddress", "0.0.0.0"}, {"fanNominalSpeed", 1800},
                            {"airTemperature", 23},     {"bootMs", 200},          {"mainSwitch", true}};
    const QString path = dir.filePath(QStringLiteral("tenmodules.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(QJsonObject{{"crate", crate}, {"modules", modules}}).toJson());
    return path;
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QStringList args = app.arguments();
    auto option = [&args](const char *name, int fallback) {
        const int at = args.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
    };
    const int seconds = std::max(1, option("--seconds", 60));
    const int delayMs = std::max(0, option("--delay-ms", 0));

    QTemporaryDir dir;
    CrateSimProcess::Options options;
    options.crateFile = writeCrate(dir);
    options.delayMs = delayMs;
    CrateSimProcess sim(options);
    if (!sim.start()) {
        fprintf(stderr, "bench_mainwindow: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    TestEnv::setCrateAddress(sim.address());
    qInstallMessageHandler(captureRefreshTimes);

    QElapsedTimer launch;
    launch.start();
    VexaControl window;
    window.resize(1200, 800);
    window.show();
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("table"));
    // The window connects and discovers; wait for the ten modules and the
    // current module's first table (its rows filled).
    QElapsedTimer wait;
    wait.start();
    while ((window.modules().size() != 10 || table->rowCount() == 0) && wait.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const qint64 filledMs = launch.elapsed();
    auto *controller = qobject_cast<SnmpController *>(window.controller());
    if (!controller || window.modules().size() != 10 || table->rowCount() == 0) {
        fprintf(stderr, "bench_mainwindow: expected ten modules at %s\n", qPrintable(sim.address()));
        return 1;
    }
    wait.restart();
    while (wait.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    // The probe: a 10 ms timer in the GUI thread; how much later than 10 ms
    // after its previous firing it fires is what every paint and click waits.
    QList<double> lateness;
    QElapsedTimer probeClock;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double since = probeClock.nsecsElapsed() / 1e6;
        probeClock.restart();
        lateness.append(std::max(0.0, since - 10.0));
    });

    const quint64 callsBefore = controller->libraryCallCount();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    {
        QMutexLocker lock(&g_mutex);
        g_recording = true;
    }
    probeClock.start();
    probe.start();
    // A loop of its own: quitting the application would close the window,
    // which asks the operator first.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    probe.stop();
    QList<double> refreshTimes;
    int skipped = 0;
    {
        QMutexLocker lock(&g_mutex);
        g_recording = false;
        refreshTimes = g_refreshTimes;
        skipped = g_skippedTicks;
    }
    const double wallSeconds = wall.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    const quint64 calls = controller->libraryCallCount() - callsBefore;
    const int ticks = refreshTimes.size();

    printf("bench_mainwindow: %d modules x 32 channels at %s, answer delay %d ms, tick %d ms, %.1f s, window shown\n",
           int(window.modules().size()), qPrintable(sim.address()), delayMs, window.channelTableTimer()->interval(),
           wallSeconds);
    printf("  start to filled table       %.2f s\n", filledMs / 1000.0);
    printf("  ticks run / skipped         %d / %d\n", ticks, skipped);
    printf("  refreshTable median         %.3f ms\n", percentile(refreshTimes, 0.5));
    printf("  refreshTable 95th percentile %.3f ms\n", percentile(refreshTimes, 0.95));
    printf("  refreshTable maximum        %.3f ms\n", percentile(refreshTimes, 1.0));
    printf("  probe lateness p50/p95/p99/max  %.1f / %.1f / %.1f / %.1f ms (%d firings)\n", percentile(lateness, 0.5),
           percentile(lateness, 0.95), percentile(lateness, 0.99), percentile(lateness, 1.0), int(lateness.size()));
    printf("  library calls               %llu (%.2f per tick)\n", static_cast<unsigned long long>(calls),
           ticks ? double(calls) / ticks : 0.0);
    printf("  CPU share of the process    %.1f %% of one core\n", wallSeconds > 0 ? 100.0 * cpu / wallSeconds : 0.0);
    fflush(stdout);

    window.channelTableTimer()->stop();
    sim.stop();
    return 0;
}
