// Round trips against cratesim on loopback: one GET of 320 float varbinds (ten
// quantities of a 32-channel module), one SET of 512 OCTET STRING varbinds
// (tunnel frames), and the request count of ten bulk reads.
// Run inside a loopback-only namespace:
//   unshare -n bash -c 'ip link set lo up; build/bin/bench_snmproundtrip'

#include "cratesimprocess.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

const char *quantities[] = {"outputVoltage",
                            "outputCurrent",
                            "outputMeasurementTerminalVoltage",
                            "outputMeasurementSenseVoltage",
                            "outputMeasurementCurrent",
                            "outputConfigMaxTerminalVoltage",
                            "outputConfigMaxCurrent",
                            "outputVoltageRiseRate",
                            "outputVoltageFallRate",
                            "outputSupervisionMaxCurrent"};

bool addName(netsnmp_pdu *pdu, const QByteArray &name)
{
    oid id[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!snmp_parse_oid(name.constData(), id, &length)) {
        std::fprintf(stderr, "unknown object %s\n", name.constData());
        return false;
    }
    snmp_add_null_var(pdu, id, length);
    return true;
}

// Sends the PDU, checks the answer, returns the answer's varbind count (-1 on failure).
int exchange(void *session, netsnmp_pdu *pdu)
{
    netsnmp_pdu *response = nullptr;
    const int status = snmp_sess_synch_response(session, pdu, &response);
    int count = -1;
    if (status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR) {
        count = 0;
        for (netsnmp_variable_list *v = response->variables; v; v = v->next_variable)
            ++count;
    } else if (response) {
        std::fprintf(stderr, "error %ld: %s\n", response->errstat, snmp_errstring(int(response->errstat)));
    }
    if (response)
        snmp_free_pdu(response);
    return count;
}

void report(const char *what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double q) { return samples[size_t(q * double(samples.size() - 1))]; };
    std::printf("%-34s median %7.3f ms   p10 %7.3f   p90 %7.3f   min %7.3f   max %7.3f   (%zu runs)\n", what, at(0.5),
                at(0.1), at(0.9), samples.front(), samples.back(), samples.size());
}

void *openSession(const QString &peer, const char *community)
{
    static QByteArray peerName;
    static QByteArray communities[2];
    static int n = 0;
    peerName = peer.toLatin1();
    QByteArray &c = communities[n++ % 2];
    c = community;
    netsnmp_session s;
    snmp_sess_init(&s);
    s.version = SNMP_VERSION_2c;
    s.peername = peerName.data();
    s.community = reinterpret_cast<u_char *>(c.data());
    s.community_len = size_t(c.size());
    s.timeout = 2000000;
    s.retries = 0;
    return snmp_sess_open(&s);
}

} // namespace

int main(int argc, char *argv[])
{
    TestEnv::isolate();
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(5, atoi(argv[1])) : 200;

    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    const QByteArray dirs = QByteArray(netsnmp_get_mib_directory()) + ":" + CrateSimProcess::mibDir().toLocal8Bit();
    netsnmp_set_mib_directory(dirs.constData());
    init_snmp("snmproundtrip");
    if (!read_module("WIENER-CRATE-MIB") || !read_module("CRATESIM-MIB")) {
        std::fprintf(stderr, "cannot load the MIB modules from %s\n", dirs.constData());
        return 1;
    }

    CrateSimProcess sim; // the demo crate: slot 2 holds a 32-channel module
    if (!sim.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.errorString()));
        return 1;
    }
    void *reader = openSession(sim.peer(), "kestra");
    void *writer = openSession(sim.peer(), "TORVIK");
    if (!reader || !writer) {
        std::fprintf(stderr, "cannot open sessions\n");
        return 1;
    }
    // Let the modules boot.
    QElapsedTimer wait;
    wait.start();
    for (;;) {
        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
        addName(pdu, "outputVoltage.232");
        if (exchange(reader, pdu) == 1 || wait.elapsed() > 10000)
            break;
        QThread::msleep(100);
    }

    std::printf("cratesim on %s (demo crate, no answer delay, default message size)\n", qPrintable(sim.peer()));

    // 1. GET of 320 floats.
    std::vector<double> get;
    for (int r = 0; r < runs; ++r) {
        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
        for (const char *q : quantities)
            for (int ch = 0; ch < 32; ++ch)
                addName(pdu, QByteArray(q) + "." + QByteArray::number(200 + ch + 1));
        QElapsedTimer t;
        t.start();
        const int n = exchange(reader, pdu);
        get.push_back(double(t.nsecsElapsed()) / 1e6);
        if (n != 320) {
            std::fprintf(stderr, "GET answered %d varbinds\n", n);
            return 1;
        }
    }
    report("GET 320 float varbinds", get);

    // 2. SET of 512 tunnel frames (16-byte OCTET STRINGs): empty frames to the
    // highest CAN identifier, which no module uses.
    oid transmit[MAX_OID_LEN];
    size_t transmitLength = MAX_OID_LEN;
    if (!snmp_parse_oid("canTransmitHv.0", transmit, &transmitLength)) {
        std::fprintf(stderr, "canTransmitHv.0 does not resolve\n");
        return 1;
    }
    QByteArray frame(16, '\0');
    const quint32 id = quint32(0x7FF) << 18;
    for (int i = 0; i < 4; ++i)
        frame[4 + i] = char((id >> (8 * i)) & 0xFF);
    std::vector<double> set;
    for (int r = 0; r < runs; ++r) {
        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_SET);
        for (int i = 0; i < 512; ++i)
            snmp_pdu_add_variable(pdu, transmit, transmitLength, ASN_OCTET_STR, frame.constData(), 16);
        QElapsedTimer t;
        t.start();
        const int n = exchange(writer, pdu);
        set.push_back(double(t.nsecsElapsed()) / 1e6);
        if (n != 512) {
            std::fprintf(stderr, "SET answered %d varbinds\n", n);
            return 1;
        }
    }
    report("SET 512 OCTET STRING varbinds", set);

    // 3. Ten bulk reads of a 32-channel module, as the access library does them.
    {
        netsnmp_pdu *reset = snmp_pdu_create(SNMP_MSG_SET);
        oid name[MAX_OID_LEN];
        size_t length = MAX_OID_LEN;
        snmp_parse_oid("cratesimCountersReset.0", name, &length);
        const long one = 1;
        snmp_pdu_add_variable(reset, name, length, ASN_INTEGER, &one, sizeof(one));
        exchange(writer, reset);
    }
    for (const char *q : quantities) {
        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
        for (int ch = 0; ch < 32; ++ch)
            addName(pdu, QByteArray(q) + "." + QByteArray::number(200 + ch + 1));
        exchange(reader, pdu);
    }
    long requests = -1, varbinds = -1;
    {
        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
        addName(pdu, "cratesimRequests.0");
        addName(pdu, "cratesimVarbinds.0");
        netsnmp_pdu *response = nullptr;
        if (snmp_sess_synch_response(reader, pdu, &response) == STAT_SUCCESS && response && response->variables
            && response->variables->next_variable) {
            requests = long(*response->variables->val.integer);
            varbinds = long(*response->variables->next_variable->val.integer);
        }
        if (response)
            snmp_free_pdu(response);
    }
    // The counter read itself is the last request counted.
    std::printf("ten bulk reads of a 32-channel module: %ld requests, %ld varbinds (counter read excluded)\n",
                requests - 1, varbinds - 2);

    snmp_sess_close(reader);
    snmp_sess_close(writer);
    sim.stop();
    return requests - 1 == 10 ? 0 : 1;
}
