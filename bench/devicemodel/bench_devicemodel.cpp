// How long the device model takes for what the main window's refresh timer asks
// of it, against a private cratesim on a loopback address of its own:
//   - one refresh of the current 32-channel module: the ten channel-0 reads
//     (each one multiple-channel library call) and the 31 cached channels;
//   - one pass over a full crate of ten 32-channel modules.
// Prints medians and the library calls (and simulator requests) per pass.
//
// Usage: bench_devicemodel [rounds]   (default 50)

#include "cratesimprocess.h"
#include "modulediscovery.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

// The reads of one refresh, every one starting at channel 0 so that it fetches
// the whole module; then the other channels from the caches.
void refresh(BaseModule *m)
{
    m->channelStatus(0);
    m->channelControl(0);
    m->channelVoltageSet(0);
    m->channelVoltageMeasure(0);
    m->channelCurrentSet(0);
    m->channelCurrentMeasure(0);
    m->channelVoltageNominal(0);
    m->channelCurrentNominal(0);
    m->channelDelayedTripTime(0);
    m->channelDelayedTripAction(0);
    for (int ch = 1; ch < m->channelNumber(); ++ch) {
        m->channelStatus(ch);
        m->channelControl(ch);
        m->channelVoltageSet(ch);
        m->channelVoltageMeasure(ch);
        m->channelCurrentSet(ch);
        m->channelCurrentMeasure(ch);
        m->channelEventStatus(ch);
    }
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Figures {
    double medianMs = 0.0;
    double minMs = 0.0;
    double maxMs = 0.0;
    quint64 callsPerPass = 0;
};

template <typename Pass>
Figures measure(SnmpController &controller, int rounds, Pass pass)
{
    pass(); // warm-up: sessions, caches, ARP-free loopback path
    std::vector<double> ms;
    quint64 calls = 0;
    for (int i = 0; i < rounds; ++i) {
        const quint64 before = controller.libraryCallCount();
        QElapsedTimer timer;
        timer.start();
        pass();
        ms.push_back(timer.nsecsElapsed() / 1e6);
        calls = controller.libraryCallCount() - before;
    }
    Figures f;
    f.medianMs = median(ms);
    f.minMs = *std::min_element(ms.begin(), ms.end());
    f.maxMs = *std::max_element(ms.begin(), ms.end());
    f.callsPerPass = calls;
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 50;

    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(BENCH_CRATE_FILE);
    CrateSimProcess sim(options);
    if (!sim.start()) {
        out << "cannot start cratesim: " << sim.errorString() << "\n" << sim.output() << Qt::endl;
        return 1;
    }
    TestEnv::setCrateAddress(sim.address());

    SnmpController controller;
    if (!controller.isBound() || !controller.connectTo(sim.address())) {
        out << "cannot connect to " << sim.address() << Qt::endl;
        return 1;
    }
    const QList<BaseModule *> modules = ModuleDiscovery::discoverModules(&controller);
    if (modules.size() != 10) {
        out << "expected ten modules, found " << modules.size() << Qt::endl;
        return 1;
    }

    const Figures one = measure(controller, rounds, [&] { refresh(modules.first()); });
    const Figures crate = measure(controller, std::max(1, rounds / 5), [&] {
        for (BaseModule *m : modules)
            refresh(m);
    });

    out << "device model against cratesim on " << sim.address() << " (" << rounds << " rounds)\n";
    out << QStringLiteral("refresh of one 32-channel module: median %1 ms (min %2, max %3), %4 library calls\n")
               .arg(one.medianMs, 0, 'f', 3)
               .arg(one.minMs, 0, 'f', 3)
               .arg(one.maxMs, 0, 'f', 3)
               .arg(one.callsPerPass);
    out << QStringLiteral("pass over ten 32-channel modules: median %1 ms (min %2, max %3), %4 library calls\n")
               .arg(crate.medianMs, 0, 'f', 3)
               .arg(crate.minMs, 0, 'f', 3)
               .arg(crate.maxMs, 0, 'f', 3)
               .arg(crate.callsPerPass);
    out.flush();

    qDeleteAll(modules);
    return 0;
}
