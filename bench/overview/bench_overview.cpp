// Runs the main window offscreen against a private cratesim with ten 32-channel
// modules on a 200 ms tick, first without and then with the system overview
// open, and prints per tick: library calls, the "refreshTable" time and the
// "refreshOverview" time. The overview may add one temperature read and three
// multiple-channel reads (measured voltages, measured currents, set voltages)
// per module and refresh; more is a failure (exit code 2).

#include "basemodule.h"
#include "cratesession.h"
#include "cratesimprocess.h"
#include "dialogoverview.h"
#include "snmpcontroller.h"
#include "testenv.h"
#include "vexacontrol.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QList<double> g_tableTimes;
QList<double> g_overviewTimes;
bool g_recording = false;

void captureTimes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    static const QRegularExpression pattern(QStringLiteral("^(refreshTable\\(channel\\)|refreshOverview): ([0-9.]+)"));
    if (type == QtDebugMsg) {
        const QRegularExpressionMatch m = pattern.match(message);
        if (m.hasMatch() && g_recording)
            (m.captured(1) == QLatin1String("refreshOverview") ? g_overviewTimes : g_tableTimes)
                .append(m.captured(2).toDouble());
        return;
    }
    fprintf(stderr, "%s\n", qPrintable(message));
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QString writeCrate(const QTemporaryDir &dir)
{
    QJsonArray modules;
    for (int slot = 0; slot < 10; ++slot)
        modules.append(QJsonObject{{"slot", slot},           {"vendor", "vexa"},
                                   {"type", "T14X0"},        {"channels", 32},
                                   {"serialNumber", 9200000 + slot}, {"firmwareRelease", "05.20"},
                                   {"polarity", "positive"}, {"nominalVoltage", 2000},
                                   {"nominalCurrent", 0.001}, {"rampSpeedVoltage", 10},
                                   {"temperature", 30.0}});
    const QJsonObject crate{{"serialNumber", 5152},    {"firmware", "2.1.3.4"},  {"psSerialNumber", "PS-BENCH"},
                            {"fanSerialNumber", "FT-BENCH"}, {"ipStaticAddress", "0.0.0.0"}, {"fanNominalSpeed", 1800},
                            {"airTemperature", 23},     {"bootMs", 200},          {"mainSwitch", true}};
    const QString path = dir.filePath(QStringLiteral("tenmodules.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(QJsonObject{{"crate", crate}, {"modules", modules}}).toJson());
    return path;
}

struct Phase {
    int ticks = 0;
    int overviews = 0;
    quint64 calls = 0;
    double callsPerTick = 0.0;
    double tableMedian = 0.0;
    double overviewMedian = 0.0;
};

Phase measure(QApplication &app, SnmpController *controller, int seconds)
{
    g_tableTimes.clear();
    g_overviewTimes.clear();
    const quint64 before = controller->libraryCallCount();
    g_recording = true;
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    g_recording = false;
    Phase phase;
    phase.ticks = int(g_tableTimes.size());
    phase.overviews = int(g_overviewTimes.size());
    phase.calls = controller->libraryCallCount() - before;
    phase.callsPerTick = phase.ticks ? double(phase.calls) / phase.ticks : 0.0;
    phase.tableMedian = median(g_tableTimes);
    phase.overviewMedian = median(g_overviewTimes);
    return phase;
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int seconds = 20;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--seconds"));
    if (at > 0 && at + 1 < args.size())
        seconds = std::max(2, args.at(at + 1).toInt());

    QTemporaryDir dir;
    CrateSimProcess::Options options;
    options.crateFile = writeCrate(dir);
    CrateSimProcess sim(options);
    if (!sim.start()) {
        fprintf(stderr, "bench_overview: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    TestEnv::setCrateAddress(sim.address());
    qInstallMessageHandler(captureTimes);

    VexaControl window;
    auto *controller = qobject_cast<SnmpController *>(window.controller());
    if (!controller || window.modules().size() != 10) {
        fprintf(stderr, "bench_overview: expected ten modules at %s\n", qPrintable(sim.address()));
        return 1;
    }
    QElapsedTimer wait;
    wait.start();
    while (window.currentModule()->connectionState() != ModuleConnectionState::Connected && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    wait.restart();
    while (wait.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    // The library calls of each overview refresh, between its start and end markers.
    quint64 refreshStart = 0;
    QList<double> callsPerRefresh;
    QObject::connect(window.session(), &CrateSession::updateAllModulesStarted, [&] { refreshStart = controller->libraryCallCount(); });
    QObject::connect(window.session(), &CrateSession::updateAllModulesCompleted, [&] {
        if (g_recording)
            callsPerRefresh.append(double(controller->libraryCallCount() - refreshStart));
    });

    const Phase without = measure(app, controller, seconds);
    window.findChild<QAction *>(QStringLiteral("actionModuleOverview"))->trigger();
    wait.restart();
    while (wait.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const Phase with = measure(app, controller, seconds);

    const int modules = int(window.modules().size());
    const double allowed = 4.0 * modules;
    // The slower module refresh (every sixth tick) and crate refresh (once a
    // second) fall unevenly into the phases, so the difference of the per-tick
    // rates is only a rough figure; the calls counted within each overview
    // refresh are exact.
    const double added = with.callsPerTick - without.callsPerTick;
    const double most = callsPerRefresh.isEmpty() ? 0.0 : *std::max_element(callsPerRefresh.begin(), callsPerRefresh.end());
    const double refreshWithout = without.tableMedian;
    const double refreshWith = with.tableMedian + with.overviewMedian;
    printf("bench_overview: %d modules x 32 channels at %s, tick %d ms, %d s per phase\n", modules,
           qPrintable(sim.address()), window.channelTableTimer()->interval(), seconds);
    printf("  overview closed: %d ticks, %.2f library calls per tick, refreshTable median %.3f ms\n", without.ticks,
           without.callsPerTick, without.tableMedian);
    printf("  overview open:   %d ticks, %d overview refreshes, %.2f library calls per tick, refreshTable median"
           " %.3f ms, refreshOverview median %.3f ms\n",
           with.ticks, with.overviews, with.callsPerTick, with.tableMedian, with.overviewMedian);
    printf("  calls per overview refresh: median %.0f, most %.0f (at most %.0f: 4 per module);"
           " added per tick %.2f\n",
           median(callsPerRefresh), most, allowed, added);
    printf("  refresh time per tick %.3f ms closed, %.3f ms open, ratio %.2f\n", refreshWithout, refreshWith,
           refreshWithout > 0 ? refreshWith / refreshWithout : 0.0);
    fflush(stdout);
    window.channelTableTimer()->stop();
    sim.stop();
    return !callsPerRefresh.isEmpty() && most <= allowed ? 0 : 2;
}
