// Runs the real main window offscreen against a private cratesim with ten
// 32-channel modules on a 200 ms tick (an address other than 127.0.0.1) and
// prints what the refresh costs: the "refreshTable" times the window reports,
// the library calls per tick and the share of one processor the process used.

#include "basemodule.h"
#include "cratesimprocess.h"
#include "snmpcontroller.h"
#include "testenv.h"
#include "vexacontrol.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

QList<double> g_refreshTimes;
bool g_recording = false;

void captureRefreshTimes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    static const QRegularExpression pattern(QStringLiteral("^refreshTable\\(channel\\): ([0-9.]+)"));
    if (type == QtDebugMsg) {
        const QRegularExpressionMatch m = pattern.match(message);
        if (m.hasMatch() && g_recording)
            g_refreshTimes.append(m.captured(1).toDouble());
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

    int seconds = 60;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--seconds"));
    if (at > 0 && at + 1 < args.size())
        seconds = std::max(1, args.at(at + 1).toInt());

    QTemporaryDir dir;
    CrateSimProcess::Options options;
    options.crateFile = writeCrate(dir);
    CrateSimProcess sim(options);
    if (!sim.start()) {
        fprintf(stderr, "bench_mainwindow: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    TestEnv::setCrateAddress(sim.address());
    qInstallMessageHandler(captureRefreshTimes);

    VexaControl window;
    auto *controller = qobject_cast<SnmpController *>(window.controller());
    if (!controller || window.modules().size() != 10) {
        fprintf(stderr, "bench_mainwindow: expected ten modules at %s\n", qPrintable(sim.address()));
        return 1;
    }
    // Let the first connection set the current module up before measuring.
    QElapsedTimer wait;
    wait.start();
    while (window.currentModule()->connectionState() != ModuleConnectionState::Connected && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    wait.restart();
    while (wait.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    const quint64 callsBefore = controller->libraryCallCount();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    g_recording = true;
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    g_recording = false;
    const double wallSeconds = wall.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    const quint64 calls = controller->libraryCallCount() - callsBefore;
    const int ticks = g_refreshTimes.size();

    printf("bench_mainwindow: %d modules x 32 channels at %s, tick %d ms, %.1f s\n", int(window.modules().size()),
           qPrintable(sim.address()), window.channelTableTimer()->interval(), wallSeconds);
    printf("  ticks                       %d\n", ticks);
    printf("  refreshTable median         %.3f ms\n", percentile(g_refreshTimes, 0.5));
    printf("  refreshTable 95th percentile %.3f ms\n", percentile(g_refreshTimes, 0.95));
    printf("  refreshTable maximum        %.3f ms\n", percentile(g_refreshTimes, 1.0));
    printf("  library calls               %llu (%.2f per tick)\n", static_cast<unsigned long long>(calls),
           ticks ? double(calls) / ticks : 0.0);
    printf("  CPU share of the process    %.1f %% of one core\n", wallSeconds > 0 ? 100.0 * cpu / wallSeconds : 0.0);
    fflush(stdout);

    window.channelTableTimer()->stop();
    sim.stop();
    return 0;
}
