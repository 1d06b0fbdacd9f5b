// One flash run of FirmwareUpdate (hand-shake, write pass, compare pass,
// post-flash) into the E08F2 module at 0x200 of a private cratesim, timed per
// pass, with the poll ticks and SNMP requests it took. The run's fixed waits
// (5 s before the first module of a batch, 7 s after post-flash) are reported
// apart from the transfer.

#include "cratesimprocess.h"
#include "firmwareupdate.h"
#include "flashtimings.h"
#include "hexgen.h"
#include "simprobe.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

using namespace crateflash;

namespace {
constexpr int Base = 0x200;

struct Result {
    bool ok = false;
    QString error;
    double writeS = 0, compareS = 0, transferS = 0, runS = 0;
    int ticks = 0;
    qint64 requests = 0;
    qint64 framesIn = 0;
};

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

Result run(const QString &hexFile, int lines, int delayMs)
{
    Result r;
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/flash/twins.json");
    options.delayMs = delayMs;
    CrateSimProcess sim(options);
    if (!sim.start()) {
        r.error = sim.errorString();
        return r;
    }
    FirmwareUpdate update;
    SimProbe::loadSimulatorMibs();
    SimProbe probe(sim.address());

    bool found = false;
    QObject::connect(&update, &FirmwareUpdate::moduleFound, [&](Module m) { found = found || m.canId == Base; });
    update.open(sim.address());
    update.setMainSwitch(true);
    update.announceTunnel(true);
    if (!waitFor([&] { return found; }, 60000)) {
        r.error = QStringLiteral("module 0x200 not found");
        return r;
    }

    QElapsedTimer clock;
    qint64 writeEnd = 0, compareEnd = 0;
    bool finished = false;
    QObject::connect(&update, &FirmwareUpdate::information, [&](const QString &text) {
        if (text.startsWith(QStringLiteral("Flashing finished")))
            writeEnd = clock.elapsed();
        else if (text.startsWith(QStringLiteral("Comparing finished")))
            compareEnd = clock.elapsed();
    });
    QObject::connect(&update, &FirmwareUpdate::updateFinished, [&] { finished = true; });
    QObject::connect(&update, &FirmwareUpdate::updateFailed, [&](int, const QString &m) { r.error = m; });

    update.prepareModules();
    update.setCurrentCanId(Base);
    update.setCurrentDevice(QStringLiteral("E08F2"));
    update.setHexFileName(hexFile);
    update.setCompareMode(false);
    const qint64 requests0 = probe.getInt(QStringLiteral("cratesimRequests.0"));
    const qint64 frames0 = probe.getInt(QStringLiteral("cratesimCanTunnelFramesIn.0"));
    const int ticks0 = update.pollTicks();
    clock.start();
    if (!update.startModule()) {
        r.error = QStringLiteral("cannot start");
        return r;
    }
    // Generous bound: 20 requests per line at the delay, twice over.
    const int bound = 120000 + 2 * lines * 20 * qMax(1, delayMs);
    if (!waitFor([&] { return compareEnd > 0 || !r.error.isEmpty(); }, bound) || !r.error.isEmpty()) {
        if (r.error.isEmpty())
            r.error = QStringLiteral("transfer did not finish");
        return r;
    }
    const int ticks = update.pollTicks() - ticks0;
    const qint64 requests = probe.getInt(QStringLiteral("cratesimRequests.0")) - requests0 - 1;
    const qint64 frames = probe.getInt(QStringLiteral("cratesimCanTunnelFramesIn.0")) - frames0;
    waitFor([&] { return finished; }, 30000);
    r.ok = finished;
    r.writeS = writeEnd / 1000.0;
    r.compareS = (compareEnd - writeEnd) / 1000.0;
    r.transferS = compareEnd / 1000.0;
    r.runS = clock.elapsed() / 1000.0;
    r.ticks = ticks;
    r.requests = requests;
    r.framesIn = frames;
    if (quint32(probe.getInt(SimProbe::node("ImageChecksum", Base))) != HexGen::parse([&] {
            QFile f(hexFile);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }()).checksum()) {
        r.ok = false;
        r.error = QStringLiteral("image checksum differs");
    }
    return r;
}
} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int lines = args.size() > 1 ? args.at(1).toInt() : 3000;
    QList<int> delays;
    for (int i = 2; i < args.size(); ++i)
        delays << args.at(i).toInt();
    if (delays.isEmpty())
        delays = {0, 10};

    QTemporaryDir dir;
    HexGen::Options o;
    o.device = QStringLiteral("E08F2");
    o.release = QStringLiteral("05.13");
    o.dataLines = lines;
    const QString hexFile = dir.path() + QStringLiteral("/E08F2_0513.hex");
    if (!HexGen::writeFile(hexFile, o)) {
        std::fprintf(stderr, "cannot write the image\n");
        return 1;
    }
    QFile f(hexFile);
    f.open(QIODevice::ReadOnly);
    const int fileLines = int(f.readAll().count('\n'));
    const FlashTimings &t = flashTimings();

    std::printf("flash throughput: %d-line image (%d lines in the file), module E08F2 at 0x200\n", lines, fileLines);
    std::printf("%8s %8s %8s %9s %9s %10s %8s %9s %9s %11s\n", "delay", "write s", "compare", "lines/s", "ms/line",
                "transfer", "ticks", "requests", "req/line", "s/module*");
    int failures = 0;
    for (int delay : delays) {
        const Result r = run(hexFile, lines, delay);
        if (!r.ok) {
            std::printf("%6d ms  FAILED: %s\n", delay, qPrintable(r.error));
            ++failures;
            continue;
        }
        const double linesSent = 2.0 * fileLines;
        std::printf("%5d ms %8.2f %8.2f %9.1f %9.2f %9.2fs %8d %9lld %9.2f %10.2fs\n", delay, r.writeS, r.compareS,
                    linesSent / r.transferS, 1000.0 * r.transferS / linesSent, r.transferS, r.ticks, r.requests,
                    double(r.requests) / linesSent, r.runS + t.batchStartDelayMs / 1000.0);
        std::printf("         frames into the tunnel %lld (%.2f per line); poll ticks %.1f%% of the transfer time\n",
                    r.framesIn, double(r.framesIn) / linesSent,
                    100.0 * r.ticks * t.pollIntervalMs / (1000.0 * r.transferS));
    }
    std::printf("* s/module: the module's whole run with the shipped waits: %d ms before the first module, "
                "%d ms from post-flash to the end.\n",
                t.batchStartDelayMs, t.finishDelayMs);
    return failures ? 1 : 0;
}
