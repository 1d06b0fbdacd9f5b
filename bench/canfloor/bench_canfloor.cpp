// Time per HEX line through the CAN tunnel of cratesim with no simulated flash
// time: the floor any flash tool can reach against the simulator. Each line
// goes out as the tool sends it (six characters per frame, one SET per frame)
// and the answer is fetched with GETs of canReceiveHv.0 as soon as it waits;
// the tool's 25 ms poll comes on top. For comparison the same with all frames
// of a line in one SET.

#include "cratesimprocess.h"
#include "hexgen.h"
#include "testenv.h"
#include "tunnelclient.h"

#include "vexa_config.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace {
constexpr quint16 Base = 0x290;

bool sendLine(TunnelClient &c, const QByteArray &line, bool oneRequest, int *gets)
{
    QList<TunnelFrame> frames;
    for (int i = 0; i < line.size(); i += 6)
        frames.append(TunnelFrame{quint16(Base | 1), QByteArray::fromHex("1500") + line.mid(i, 6)});
    if (oneRequest) {
        if (!c.send(frames))
            return false;
    } else {
        for (const TunnelFrame &f : frames)
            if (!c.send({f}))
                return false;
    }
    for (int attempt = 0; attempt < 1000; ++attempt) {
        TunnelFrame answer;
        ++*gets;
        const int pending = c.receive(&answer);
        if (pending < 0)
            return false;
        if (pending > 0)
            return answer.code() == 0x1585;
    }
    return false;
}

struct Result {
    bool ok = false;
    double msPerLine = 0;
    double getsPerLine = 0;
};

Result run(TunnelClient &c, const QList<QByteArray> &lines, bool oneRequest)
{
    Result r;
    c.send(Base, QByteArray::fromHex("1500"));
    c.collect(1, 1000);
    c.send(Base, QByteArray::fromHex("1500"));
    if (c.collect(1, 1000).value(0).code() != 0x1581)
        return r;
    c.send(Base, QByteArray::fromHex("1503"));
    int gets = 0;
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray &line : lines)
        if (!sendLine(c, line, oneRequest, &gets))
            return r;
    r.msPerLine = double(timer.nsecsElapsed()) / 1e6 / lines.size();
    r.getsPerLine = double(gets) / lines.size();
    r.ok = true;
    return r;
}
} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    QCoreApplication app(argc, argv);
    const int lineCount = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;

    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/data/cancrate.json");
    CrateSimProcess sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "bench_canfloor: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    TunnelClient client(sim.peer());
    client.setInteger(QStringLiteral("sysMainSwitch.0"), 1);
    client.openTunnel();
    for (int i = 0; i < 50 && client.collect(1, 100).isEmpty(); ++i)
        client.send(Base, QByteArray::fromHex("D800"));
    client.drain();
    client.setInteger(QStringLiteral("cratesimCanNodeFlashMsPerLine.%1").arg(Base), 0);

    HexGen::Options o;
    o.dataLines = lineCount;
    const QList<QByteArray> lines = HexGen::linesToSend(HexGen::generate(o));
    const int frames = [&] {
        int n = 0;
        for (const QByteArray &l : lines)
            n += int((l.size() + 5) / 6);
        return n;
    }();

    std::printf("cratesim CAN floor: %d HEX lines (%d frames, %.1f frames per line) into node 0x%03x at %s\n",
                int(lines.size()), frames, double(frames) / lines.size(), Base, qPrintable(sim.peer()));
    // Rounds against the noise of a shared machine: the best is the floor, the median the usual.
    constexpr int Rounds = 5;
    QList<double> perFrame, perLine;
    double getsPerLine = 0;
    for (int round = 0; round < Rounds; ++round) {
        const Result a = run(client, lines, false);
        const Result b = run(client, lines, true);
        if (!a.ok || !b.ok) {
            std::fprintf(stderr, "bench_canfloor: a line was not taken\n");
            return 1;
        }
        perFrame.append(a.msPerLine);
        perLine.append(b.msPerLine);
        getsPerLine = qMax(getsPerLine, a.getsPerLine);
    }
    std::sort(perFrame.begin(), perFrame.end());
    std::sort(perLine.begin(), perLine.end());
    std::printf("  one SET per frame (as the flash tool):  best %.3f ms per line (%.0f lines/s), median %.3f ms, "
                "at most %.2f GETs per line\n",
                perFrame.first(), 1000.0 / perFrame.first(), perFrame.at(Rounds / 2), getsPerLine);
    std::printf("  one SET per line (all chunks at once):  best %.3f ms per line (%.0f lines/s), median %.3f ms\n",
                perLine.first(), 1000.0 / perLine.first(), perLine.at(Rounds / 2));
    std::printf("  a 3000-line image, write and compare pass, at the per-frame floor: %.1f s (median %.1f s)\n",
                2 * 3000 * perFrame.first() / 1000.0, 2 * 3000 * perFrame.at(Rounds / 2) / 1000.0);
    std::printf("  the same with the tool's 25 ms poll per answer at least: %.1f s\n", 2 * 3000 * 25.0 / 1000.0);
    return 0;
}
