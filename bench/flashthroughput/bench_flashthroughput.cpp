// One flash of the E08F2 module at 0x200 of a private cratesim through the
// crateflash window, shown, as an operator starts it (Connect, tick the row,
// Flash): hand-shake, write pass, compare pass, post-flash, timed per pass,
// with the poll ticks and SNMP requests it took, and the lateness of a 10 ms
// probe timer in the window's thread during the transfer. The run's fixed
// waits (5 s before the first module, 7 s after post-flash) are shortened and
// reported apart from the transfer.
//
//   bench_flashthroughput [--lines N] [--delay-ms D ...]   (or: [lines] [delay ...])
//   bench_flashthroughput --waits ROUNDS   the protocol waits with the shipped timings
//   --shot PREFIX: saves the window half-way through the write pass (PREFIX-<delay>ms.png)

#include "cratesimprocess.h"
#include "eventmemory.h"
#include "firmwareupdate.h"
#include "flashtimings.h"
#include "hexgen.h"
#include "mainwindow.h"
#include "objecttable.h"
#include "simprobe.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace crateflash;

namespace {
constexpr int Base = 0x200;
constexpr int ProbeMs = 10;

struct Result {
    bool ok = false;
    QString error;
    double writeS = 0, compareS = 0, transferS = 0, runS = 0;
    int ticks = 0;
    qint64 requests = 0;
    qint64 framesIn = 0;
    int checksumErrors = 0;
    QList<qint64> lateness; // µs, per probe firing during the transfer
};

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

double percentile(QList<qint64> sorted, double p)
{
    if (sorted.isEmpty())
        return 0;
    std::sort(sorted.begin(), sorted.end());
    const int index = qBound(0, int(p * (sorted.size() - 1) + 0.5), int(sorted.size()) - 1);
    return sorted.at(index) / 1000.0;
}

QString shotFile; // --shot: the window half-way through the write pass, as a PNG

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
    TestEnv::setCrateAddress(sim.address());
    if (!ObjectTable::instance().isTranslated() && !initialiseSnmp()) {
        r.error = QStringLiteral("SNMP start-up failed");
        return r;
    }
    SimProbe::loadSimulatorMibs();
    SimProbe probe(sim.address());

    MainWindow window(QStringList{QStringLiteral("crateflash")});
    window.resize(900, 700);
    window.show();
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("table"));
    window.findChild<QPushButton *>(QStringLiteral("connect"))->click();
    FirmwareUpdate *update = window.firmwareUpdate();
    auto rowOf = [&] {
        for (int row = 0; row < table->rowCount(); ++row)
            if (window.cellText(row, 0).toInt(nullptr, 0) == Base)
                return row;
        return -1;
    };
    const int modules = int(probe.nodes().size());
    if (!update || !waitFor([&] { return rowOf() >= 0 && table->rowCount() == modules; }, 60000)) {
        r.error = QStringLiteral("module 0x200 not found");
        return r;
    }

    QElapsedTimer clock;
    qint64 startAt = -1, writeEnd = 0, compareEnd = 0;
    bool finished = false;
    int ticks0 = 0;
    qint64 requests0 = 0, frames0 = 0;
    QObject::connect(update, &FirmwareUpdate::information, [&](const QString &text) {
        if (text.startsWith(QStringLiteral("Transmission started"))) {
            startAt = clock.elapsed();
            ticks0 = update->pollTicks();
            requests0 = probe.getInt(QStringLiteral("cratesimRequests.0"));
            frames0 = probe.getInt(QStringLiteral("cratesimCanTunnelFramesIn.0"));
        } else if (text.startsWith(QStringLiteral("Flashing finished"))) {
            writeEnd = clock.elapsed();
        } else if (text.startsWith(QStringLiteral("Comparing finished"))) {
            compareEnd = clock.elapsed();
        }
    });
    QObject::connect(update, &FirmwareUpdate::updateFinished, [&] { finished = true; });
    QObject::connect(update, &FirmwareUpdate::updateFailed, [&](int, const QString &m) { r.error = m; });
    bool shot = false;
    QObject::connect(update, &FirmwareUpdate::progress, &window, [&](int percent) {
        if (shotFile.isEmpty() || shot || percent < 50 || writeEnd > 0)
            return;
        shot = true;
        // Taken from the event loop, after the window has painted this progress.
        QTimer::singleShot(50, &window, [&] {
            window.grab().save(QStringLiteral("%1-%2ms.png").arg(shotFile).arg(delayMs));
        });
    });

    // The probe: how late a 10 ms timer of the window's thread fires while lines go out.
    QTimer probeTimer;
    probeTimer.setTimerType(Qt::PreciseTimer);
    probeTimer.setInterval(ProbeMs);
    QElapsedTimer sinceLast;
    QObject::connect(&probeTimer, &QTimer::timeout, [&] {
        const qint64 ns = sinceLast.nsecsElapsed();
        sinceLast.start();
        if (startAt >= 0 && compareEnd == 0)
            r.lateness << qMax<qint64>(0, ns / 1000 - ProbeMs * 1000);
    });

    table->item(rowOf(), 0)->setCheckState(Qt::Checked);
    window.findChild<QLineEdit *>(QStringLiteral("fileName"))->setText(hexFile);
    clock.start();
    sinceLast.start();
    probeTimer.start();
    auto *flash = window.findChild<QPushButton *>(QStringLiteral("flash"));
    if (!flash->isEnabled()) {
        r.error = QStringLiteral("Flash is not enabled");
        return r;
    }
    flash->click();
    // Generous bound: 20 requests per line at the delay, twice over.
    const int bound = 120000 + 2 * lines * 20 * qMax(1, delayMs);
    if (!waitFor([&] { return compareEnd > 0 || !r.error.isEmpty(); }, bound) || !r.error.isEmpty()) {
        if (r.error.isEmpty())
            r.error = QStringLiteral("transfer did not finish");
        return r;
    }
    const int ticks = update->pollTicks() - ticks0;
    const qint64 requests = probe.getInt(QStringLiteral("cratesimRequests.0")) - requests0 - 1;
    const qint64 frames = probe.getInt(QStringLiteral("cratesimCanTunnelFramesIn.0")) - frames0;
    waitFor([&] { return finished; }, 30000);
    probeTimer.stop();
    r.ok = finished;
    r.writeS = (writeEnd - startAt) / 1000.0;
    r.compareS = (compareEnd - writeEnd) / 1000.0;
    r.transferS = (compareEnd - startAt) / 1000.0;
    r.runS = (clock.elapsed() - startAt) / 1000.0;
    r.ticks = ticks;
    r.requests = requests;
    r.framesIn = frames;
    r.checksumErrors = update->checksumErrors();
    if (quint32(probe.getInt(SimProbe::node("ImageChecksum", Base))) != HexGen::parse([&] {
            QFile f(hexFile);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }()).checksum()) {
        r.ok = false;
        r.error = QStringLiteral("image checksum differs");
    }
    // Disconnect and let the close-down run before the simulator goes.
    window.close();
    waitFor([&] { return !window.isVisible(); }, 5000);
    return r;
}
// The protocol waits as they come out, with the shipped timings: from Flash to
// the first module's start (5000 ms), from the end of the compare pass to the
// end of the module (7000 ms), from there to the next module's start
// (10000 ms), and between two far-sector erases (4000 ms).
int measureWaits(const QString &hexFile, int rounds)
{
    flashTimings() = FlashTimings();
    struct Wait {
        const char *name;
        int nominalMs;
        QList<qint64> measuredUs;
    };
    Wait waits[] = {{"before a module", flashTimings().batchStartDelayMs, {}},
                    {"after post-flash", flashTimings().finishDelayMs, {}},
                    {"to the next module", flashTimings().nextModuleDelayMs, {}},
                    {"erase pacing", flashTimings().eraseSpacingNormalMs, {}}};
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/flash/twins.json");
    CrateSimProcess sim(options);
    if (!sim.start()) {
        std::printf("cannot start cratesim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    TestEnv::setCrateAddress(sim.address());
    if (!ObjectTable::instance().isTranslated() && !initialiseSnmp())
        return 1;
    SimProbe::loadSimulatorMibs();
    SimProbe probe(sim.address());
    const int modules = int(probe.nodes().size());
    MainWindow window(QStringList{QStringLiteral("crateflash")});
    window.show();
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("table"));
    window.findChild<QPushButton *>(QStringLiteral("connect"))->click();
    FirmwareUpdate *update = window.firmwareUpdate();
    if (!waitFor([&] { return table->rowCount() == modules; }, 60000)) {
        std::printf("scan did not list every module\n");
        return 1;
    }
    window.findChild<QLineEdit *>(QStringLiteral("fileName"))->setText(hexFile);

    QElapsedTimer clock;
    clock.start();
    qint64 mark = -1;       // ns: start of the wait under way
    int pending = -1;       // index into waits
    bool batchOver = false;
    auto close = [&](int index) {
        if (pending != index)
            return;
        waits[index].measuredUs << (clock.nsecsElapsed() - mark) / 1000;
        pending = -1;
    };
    auto open = [&](int index) {
        pending = index;
        mark = clock.nsecsElapsed();
    };
    QObject::connect(update, &FirmwareUpdate::information, [&](const QString &text) {
        if (text.startsWith(QStringLiteral("Transmission started"))) {
            close(0);
            close(2);
        } else if (text.startsWith(QStringLiteral("Comparing finished"))) {
            open(1);
        } else if (text.startsWith(QStringLiteral("Firmware update completed"))) {
            close(1);
        }
    });
    // The window arms the wait for the next module on the same signal.
    QObject::connect(update, &FirmwareUpdate::updateFinished, [&] { open(2); });
    QObject::connect(window.eventMemory(), &EventMemory::information, [&](const QString &text) {
        if (text.startsWith(QStringLiteral("Clearing sn.")) && !text.endsWith(QStringLiteral("finished."))) {
            close(3);
            open(3);
        }
    });
    auto *log = window.findChild<QPlainTextEdit *>(QStringLiteral("log"));
    QObject::connect(log, &QPlainTextEdit::textChanged, [&] {
        const QString last = log->document()->lastBlock().text();
        if (last.startsWith(QStringLiteral("Flashing completed for all")))
            batchOver = true;
    });
    for (int round = 0; round < rounds; ++round) {
        for (int row = 0; row < table->rowCount(); ++row)
            if (window.cellText(row, MainWindow::DeviceColumn) == QLatin1String("E08F2"))
                table->item(row, 0)->setCheckState(Qt::Checked);
        batchOver = false;
        auto *flash = window.findChild<QPushButton *>(QStringLiteral("flash"));
        flash->click();
        open(0);
        if (!waitFor([&] { return batchOver; }, 120000)) {
            std::printf("the batch did not end\n");
            return 1;
        }
        window.eventMemory()->setCanId(Base);
        window.eventMemory()->setSerial(QStringLiteral("8001"));
        window.eventMemory()->setInternalMemory(false);
        pending = -1;
        bool cleared = false;
        auto done = QObject::connect(window.eventMemory(), &EventMemory::clearingComplete, [&] { cleared = true; });
        window.eventMemory()->clearSectors();
        waitFor([&] { return cleared; }, 60000);
        QObject::disconnect(done);
    }
    std::printf("protocol waits, %d rounds (ms; early: fired before the nominal time)\n", rounds);
    std::printf("%-20s %8s %6s %10s %10s %10s\n", "wait", "nominal", "count", "min", "max", "earliest");
    for (const Wait &w : waits) {
        if (w.measuredUs.isEmpty()) {
            std::printf("%-20s %8d %6d\n", w.name, w.nominalMs, 0);
            continue;
        }
        const qint64 lo = *std::min_element(w.measuredUs.begin(), w.measuredUs.end());
        const qint64 hi = *std::max_element(w.measuredUs.begin(), w.measuredUs.end());
        std::printf("%-20s %8d %6lld %10.1f %10.1f %10.1f\n", w.name, w.nominalMs, qint64(w.measuredUs.size()),
                    lo / 1000.0, hi / 1000.0, qMax<qint64>(0, w.nominalMs * 1000LL - lo) / 1000.0);
    }
    window.close();
    waitFor([&] { return !window.isVisible(); }, 5000);
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    int lines = 3000;
    QList<int> delays;
    int waitRounds = 0;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--waits") && i + 1 < args.size())
            waitRounds = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--shot") && i + 1 < args.size())
            shotFile = args.at(++i);
        else if (args.at(i) == QLatin1String("--lines") && i + 1 < args.size())
            lines = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--delay-ms") && i + 1 < args.size())
            delays << args.at(++i).toInt();
        else if (i == 0)
            lines = args.at(i).toInt();
        else
            delays << args.at(i).toInt();
    }
    if (delays.isEmpty())
        delays = {0, 10};

    if (waitRounds > 0) {
        QTemporaryDir waitDir;
        HexGen::Options small;
        small.device = QStringLiteral("E08F2");
        small.release = QStringLiteral("05.13");
        small.dataLines = 20;
        const QString image = waitDir.path() + QStringLiteral("/E08F2_0513.hex");
        if (!HexGen::writeFile(image, small))
            return 1;
        return measureWaits(image, waitRounds);
    }

    FlashTimings &t = flashTimings();
    const int shippedStart = t.batchStartDelayMs, shippedFinish = t.finishDelayMs;
    t.batchStartDelayMs = 200;
    t.finishDelayMs = 300;
    t.secondPostFlashDelayMs = 100;

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

    std::printf("flash throughput: %d-line image (%d lines in the file), module E08F2 at 0x200, window shown\n", lines,
                fileLines);
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
                    double(r.requests) / linesSent,
                    r.transferS + (shippedStart + shippedFinish) / 1000.0);
        std::printf("         frames into the tunnel %lld (%.2f per line), lines rejected %d; poll ticks %.1f%% of "
                    "the transfer time\n",
                    r.framesIn, double(r.framesIn) / linesSent, r.checksumErrors,
                    100.0 * r.ticks * t.pollIntervalMs / (1000.0 * r.transferS));
        std::printf("         %d ms probe in the window's thread: lateness p50 %.1f  p95 %.1f  p99 %.1f  max %.1f ms "
                    "(%lld firings)\n",
                    ProbeMs, percentile(r.lateness, 0.50), percentile(r.lateness, 0.95),
                    percentile(r.lateness, 0.99), percentile(r.lateness, 1.0), qint64(r.lateness.size()));
    }
    std::printf("* s/module: the transfer with the shipped waits: %d ms before the first module, "
                "%d ms from post-flash to the end.\n",
                shippedStart, shippedFinish);
    return failures ? 1 : 0;
}
