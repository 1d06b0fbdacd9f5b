// cratesim's resident memory before and after 10,000 mixed requests: reads,
// walks, bulk reads, writes, refused writes, answers above the message limit
// (tooBig), unknown instances and tunnel traffic. A long-running simulator
// must not grow with the requests it answers; the growth must stay within 1 MB.
// Run inside a loopback-only namespace:
//   unshare -n bash -c 'ip link set lo up; build/bin/bench_simrss [requests]'

#include "cratesimprocess.h"
#include "snmpclient.h"
#include "testenv.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestEnv::isolate();
    const int total = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
    CrateSimProcess::Options options;
    options.crateFile = CrateSimProcess::demoCrateFile();
    options.maxMessageSize = 1472;
    CrateSimProcess sim(options);
    if (!sim.start()) {
        std::fprintf(stderr, "cannot start cratesim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    SnmpClient read(sim.peer(), "kestra");
    SnmpClient write(sim.peer(), "mavo");
    QStringList big;
    for (int ch = 201; ch <= 232; ++ch)
        big << QStringLiteral("outputMeasurementCurrent.%1").arg(ch) << QStringLiteral("outputVoltage.%1").arg(ch);
    QList<SnmpClient::Set> frames;
    for (int i = 0; i < 4; ++i)
        frames.append({QStringLiteral("canTransmitHv.0"), 's', QByteArray::fromHex("0000020000000808d800000000000000")});

    int answered = 0, tooBig = 0, errors = 0;
    auto one = [&](int i) {
        SnmpAnswer a;
        switch (i % 8) {
        case 0: a = read.get({QStringLiteral("sysMainSwitch.0"), QStringLiteral("outputVoltage.1"), QStringLiteral("moduleDescription.1")}); break;
        case 1: a = read.get(big); break;                                             // tooBig
        case 2: a = read.get(QStringList(20, QStringLiteral("outputVoltage.999"))); break; // noSuchInstance
        case 3: a = read.getNext({QStringLiteral("outputVoltage"), QStringLiteral("1.3.6.1.6.3.1")}); break;
        case 4: a = read.getBulk({QStringLiteral("outputMeasurementTerminalVoltage")}, 0, 40); break;
        case 5: a = write.set({{QStringLiteral("outputVoltage.1"), 'F', double(i % 100)}}); break;
        case 6: a = write.set({{QStringLiteral("outputVoltage.1"), 'F', -1e9}}); break; // wrongValue
        default: a = write.set(frames); a = read.get(QStringList(4, QStringLiteral("canReceiveHv.0"))); break;
        }
        if (a.ok)
            ++answered;
        if (a.errorStatus == SNMP_ERR_TOOBIG)
            ++tooBig;
        else if (a.errorStatus != 0)
            ++errors;
    };
    for (int i = 0; i < 400; ++i) // warm-up: caches and the allocator settle
        one(i);
    const long before = sim.residentKiB();
    answered = tooBig = errors = 0;
    for (int i = 0; i < total; ++i)
        one(i);
    const long after = sim.residentKiB();
    std::printf("cratesim RSS: %ld KiB before, %ld KiB after %d mixed requests (%d answered, %d tooBig, %d other errors)\n",
                before, after, total, answered, tooBig, errors);
    std::printf("growth: %ld KiB (limit 1024 KiB): %s\n", after - before, after - before <= 1024 ? "ok" : "TOO MUCH");
    return before > 0 && after - before <= 1024 ? 0 : 1;
}
