// bench_accesslib [--delay-ms N] [--rounds N]
// Starts a private cratesim with ten 32-channel modules on a loopback address and
// measures, through WIENER_SNMP, the ten multiple reads cratectl makes for one
// refresh of a module, for one module and for all ten; then the same GETs sent
// with bare net-snmp, so the difference is the library's own cost.
// Run it inside a loopback-only namespace:
//   unshare -n bash -c 'ip link set lo up; build/bin/bench_accesslib'

#include "cratesimprocess.h"
#include "testenv.h"
#include "wiener_snmp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

const int Modules = 10;
const int Channels = 32;

// The ten bulk reads of one module refresh, in cratectl's order.
const char *const columns[] = {"outputStatus",
                               "outputSwitch",
                               "outputTripTimeMaxCurrent",
                               "outputSupervisionBehavior",
                               "outputVoltage",
                               "outputMeasurementTerminalVoltage",
                               "outputConfigMaxTerminalVoltage",
                               "outputCurrent",
                               "outputMeasurementCurrent",
                               "outputConfigMaxCurrent"};

int readModule(HSNMP h, int slot)
{
    const int start = slot * 100;
    int values = 0;
    values += getMultipleChannelStatuses(h, start, Channels)->count;
    values += getMultipleOutputSwitches(h, start, Channels)->count;
    values += getMultipleOutputTripTimeMaxCurrents(h, start, Channels)->count;
    values += getMultipleOutputSupervisionBehaviors(h, start, Channels)->count;
    values += getMultipleOutputVoltages(h, start, Channels)->count;
    values += getMultipleMeasurementTerminalVoltages(h, start, Channels)->count;
    values += getMultipleOutputConfigMaxTerminalVoltages(h, start, Channels)->count;
    values += getMultipleOutputCurrents(h, start, Channels)->count;
    values += getMultipleMeasurementCurrents(h, start, Channels)->count;
    values += getMultipleOutputConfigMaxCurrents(h, start, Channels)->count;
    return values;
}

// The same ten GETs with nothing but net-snmp.
struct BareClient {
    void *session = nullptr;
    std::vector<std::vector<oid>> bases;

    bool open(const QByteArray &peer)
    {
        for (const char *column : columns) {
            oid name[MAX_OID_LEN];
            size_t length = MAX_OID_LEN;
            if (!get_node((std::string("WIENER-CRATE-MIB::") + column).c_str(), name, &length))
                return false;
            bases.emplace_back(name, name + length);
        }
        netsnmp_session settings;
        snmp_sess_init(&settings);
        settings.version = SNMP_VERSION_2c;
        settings.peername = const_cast<char *>(peer.constData());
        static char community[] = "kestra";
        settings.community = reinterpret_cast<u_char *>(community);
        settings.community_len = std::strlen(community);
        settings.timeout = 300000;
        settings.retries = 2;
        session = snmp_sess_open(&settings);
        return session != nullptr;
    }

    int readModule(int slot)
    {
        int values = 0;
        for (const std::vector<oid> &base : bases) {
            netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
            std::vector<oid> name = base;
            name.push_back(0);
            for (int ch = 0; ch < Channels; ++ch) {
                name.back() = oid(slot * 100 + ch + 1);
                snmp_add_null_var(pdu, name.data(), name.size());
            }
            netsnmp_pdu *response = nullptr;
            if (snmp_sess_synch_response(session, pdu, &response) == STAT_SUCCESS && response &&
                response->errstat == SNMP_ERR_NOERROR)
                for (netsnmp_variable_list *v = response->variables; v; v = v->next_variable)
                    ++values;
            if (response)
                snmp_free_pdu(response);
        }
        return values;
    }
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Samples {
    std::vector<double> wall; // ms per round, as the caller waits
    std::vector<double> cpu;  // ms of this thread's CPU per round: the client's own work
};

// Library and bare rounds alternate, so that the load of a shared machine falls
// on both alike.
template<typename A, typename B>
void measurePair(int rounds, int expectedValues, A a, B b, Samples *sa, Samples *sb, bool *complete)
{
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        for (int which = 0; which < 2; ++which) {
            const bool first = (which == 0) == (i % 2 == 0);
            Samples *s = first ? sa : sb;
            const double cpu = threadCpuMs();
            timer.start();
            const int values = first ? a() : b();
            s->wall.push_back(timer.nsecsElapsed() / 1e6);
            s->cpu.push_back(threadCpuMs() - cpu);
            if (values != expectedValues)
                *complete = false;
        }
    }
}

void report(const char *what, const Samples &s)
{
    std::printf("%-44s wall median %8.3f ms (p10 %7.3f, p90 %7.3f)   client CPU median %7.3f ms   (%zu runs)\n", what,
                median(s.wall), percentile(s.wall, 0.1), percentile(s.wall, 0.9), median(s.cpu), s.wall.size());
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    QCoreApplication app(argc, argv);
    int delayMs = 0;
    int rounds = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--delay-ms"))
            delayMs = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = std::max(5, args.at(i + 1).toInt());
    }

    QTemporaryDir dir;
    QJsonArray modules;
    for (int slot = 0; slot < Modules; ++slot)
        modules.append(QJsonObject{{"slot", slot},
                                   {"type", "T08X0"},
                                   {"channels", Channels},
                                   {"serialNumber", 5400000 + slot},
                                   {"firmwareRelease", "05.30"},
                                   {"nominalVoltage", 500.0},
                                   {"nominalCurrent", 0.001}});
    const QJsonObject crate{{"serialNumber", 480200}, {"psSerialNumber", "PS-BENCH"}, {"mainSwitch", true}};
    const QString crateFile = dir.filePath(QStringLiteral("bench.json"));
    QFile file(crateFile);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QJsonDocument(QJsonObject{{"crate", crate}, {"modules", modules}}).toJson());
    file.close();

    CrateSimProcess::Options options;
    options.crateFile = crateFile;
    options.delayMs = delayMs;
    CrateSimProcess sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "bench_accesslib: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    if (!snmpInit()) {
        std::fprintf(stderr, "bench_accesslib: snmpInit: %s\n", snmpGetLastError());
        return 1;
    }
    HSNMP h = snmpOpen(sim.address().toLatin1().constData());
    BareClient bare;
    if (!h || !bare.open(sim.address().toLatin1())) {
        std::fprintf(stderr, "bench_accesslib: cannot open sessions to %s\n", qPrintable(sim.address()));
        return 1;
    }
    std::printf("cratesim on %s, answer delay %d ms, %d modules x %d channels, %d rounds\n",
                qPrintable(sim.address()), delayMs, Modules, Channels, rounds);

    bool complete = true;
    // warm up both paths (first answers, ARP-free loopback, caches)
    readModule(h, 0);
    bare.readModule(0);

    const int one = 10 * Channels;
    Samples libOne, bareOne, libTen, bareTen;
    measurePair(rounds, one, [&] { return readModule(h, 0); }, [&] { return bare.readModule(0); }, &libOne, &bareOne,
                &complete);
    const int tenRounds = std::max(5, rounds / 5);
    measurePair(
        tenRounds, Modules * one,
        [&] {
            int v = 0;
            for (int slot = 0; slot < Modules; ++slot)
                v += readModule(h, slot);
            return v;
        },
        [&] {
            int v = 0;
            for (int slot = 0; slot < Modules; ++slot)
                v += bare.readModule(slot);
            return v;
        },
        &libTen, &bareTen, &complete);

    report("library: refresh of 1 module (10 reads)", libOne);
    report("bare net-snmp: same 10 GETs", bareOne);
    report("library: refresh of 10 modules (100 reads)", libTen);
    report("bare net-snmp: same 100 GETs", bareTen);
    std::printf("library overhead per multiple read of 32 channels: wall %+.1f us, client CPU %+.1f us\n",
                (median(libOne.wall) - median(bareOne.wall)) * 100.0, (median(libOne.cpu) - median(bareOne.cpu)) * 100.0);
    std::printf("library overhead per 10-module refresh: wall %+.3f ms, client CPU %+.3f ms\n",
                median(libTen.wall) - median(bareTen.wall), median(libTen.cpu) - median(bareTen.cpu));
    if (!complete)
        std::printf("WARNING: some reads did not return every value\n");
    snmpClose(h);
    snmp_sess_close(bare.session);
    return complete ? 0 : 2;
}
