// Fuzzing kept with the suite and bounded in time (a few seconds each;
// VEXA_FUZZ_SECONDS=N runs each one N seconds): mutated SNMP requests against
// a running cratesim, which must keep answering valid requests between the
// batches without growing, and mutated crate and state files through the
// simulator's loading path, which must refuse or take them, never crash.

#include "cratefile.h"
#include "cratemodel.h"
#include "cratesimprocess.h"
#include "berencode.h"
#include "canside.h"
#include "mutator.h"
#include "snmpclient.h"
#include "statefile.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QJsonDocument>
#include <QUdpSocket>
#include <QtTest>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

using ber::integer;
using ber::tlv;

QByteArray objectId(const QString &name)
{
    QList<quint32> arcs;
    if (!SnmpClient::resolve(name, &arcs) || arcs.size() < 2)
        return QByteArray();
    QByteArray bytes(1, char(arcs[0] * 40 + arcs[1]));
    for (int i = 2; i < arcs.size(); ++i) {
        QByteArray sub;
        quint32 a = arcs[i];
        sub.prepend(char(a & 0x7F));
        while (a >>= 7)
            sub.prepend(char(0x80 | (a & 0x7F)));
        bytes += sub;
    }
    return tlv(0x06, bytes);
}

// A v2c request; `values` pairs a name with its encoded value (NULL for reads).
QByteArray request(quint8 pdu, const QByteArray &community, const QList<QPair<QString, QByteArray>> &values,
                   long nonRepeaters = 0, long maxRepetitions = 0)
{
    QByteArray list;
    for (const auto &v : values)
        list += tlv(0x30, objectId(v.first) + v.second);
    const QByteArray body = integer(4711) + integer(nonRepeaters) + integer(maxRepetitions) + tlv(0x30, list);
    return tlv(0x30, integer(1) + tlv(0x04, community) + tlv(pdu, body));
}

} // namespace

class TestCrateSimFuzz : public QObject
{
    Q_OBJECT

private slots:
    void mutatedRequests();
    void mutatedCrateAndStateFiles();
};

void TestCrateSimFuzz::mutatedRequests()
{
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json");
    CrateSimProcess sim(options);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    SnmpClient client(sim.peer(), "kestra");
    QVERIFY(SnmpClient::initialiseLibrary());

    const QByteArray null = tlv(0x05, QByteArray());
    const QByteArray frame = tlv(0x04, QByteArray::fromHex("0000020000000808d800000000000000"));
    const QList<QByteArray> seeds{
        request(0xA0, "kestra", {{"sysMainSwitch.0", null}, {"outputVoltage.1", null}, {"moduleDescription.1", null}}),
        request(0xA1, "kestra", {{"outputVoltage", null}, {"cratesimRequests", null}}),
        request(0xA5, "kestra", {{"sysMainSwitch", null}, {"outputMeasurementCurrent", null}}, 1, 20),
        request(0xA3, "mavo", {{"outputSwitch.1", integer(0)}, {"cratesimChannelLoad.1", tlv(0x44, QByteArray::fromHex("9f780449742400"))}}),
        request(0xA3, "mavo", {{"canTransmitHv.0", frame}, {"canTransmitHv.0", frame}}),
        request(0xA0, "mavo", {{"canReceiveHv.0", null}, {"canReceiveHv.0", null}}),
    };
    for (const QByteArray &seed : seeds)
        QVERIFY(!seed.isEmpty());

    QUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const QHostAddress target(sim.address());
    const quint32 seed = quint32(QDateTime::currentMSecsSinceEpoch());
    qInfo() << "seed" << seed;
    Mutator mutator(seed);
    auto batch = [&](int count) {
        for (int i = 0; i < count; ++i)
            socket.writeDatagram(mutator.mutate(seeds[int(mutator.below(quint32(seeds.size())))]), target, quint16(sim.port()));
        while (socket.waitForReadyRead(20))
            while (socket.hasPendingDatagrams())
                socket.receiveDatagram();
    };
    auto answers = [&] {
        const SnmpAnswer a = client.get({QStringLiteral("sysMainSwitch.0"), QStringLiteral("outputVoltage.1")});
        return a.ok && a.errorStatus == 0 && a.bindings.size() == 2;
    };

    batch(2000); // warm-up: the allocator settles
    QVERIFY(answers());
    const long before = sim.residentKiB();
    QElapsedTimer timer;
    timer.start();
    int sent = 0;
    while (timer.elapsed() < Mutator::seconds(3) * 1000) {
        batch(200);
        sent += 200;
        QVERIFY2(sim.isRunning(), qPrintable(QStringLiteral("seed %1").arg(seed)));
        QVERIFY2(answers(), qPrintable(QStringLiteral("no answer after %1 mutated requests, seed %2").arg(sent).arg(seed)));
    }
    const long after = sim.residentKiB();
    qInfo() << sent << "mutated requests; resident" << before << "->" << after << "KiB";
    // The sanitizer build keeps freed memory in quarantine: its RSS grows by design.
    if (before > 0 && !qEnvironmentVariableIsSet("ASAN_OPTIONS"))
        QVERIFY2(after - before <= 2048, qPrintable(QStringLiteral("grew %1 KiB").arg(after - before)));
}

void TestCrateSimFuzz::mutatedCrateAndStateFiles()
{
    QFile crateFile(QStringLiteral(VEXA_SOURCE_DIR "/sim/crates/demo.json"));
    QVERIFY(crateFile.open(QIODevice::ReadOnly));
    const QByteArray crateSeed = crateFile.readAll();

    // A state file of the demo crate, as the simulator writes it.
    CrateFile demo;
    QVERIFY2(demo.parse(crateSeed), qPrintable(demo.errorString()));
    auto load = [](const CrateFile &file, CrateModel *crate, CanSide *can) {
        for (const SimModule::Config &config : file.modules()) {
            crate->addModule(config);
            CanSide::ModuleConfig c;
            c.slot = config.slot;
            c.serialNumber = config.serialNumber;
            c.typeCode = config.typeCode;
            c.firmwareRelease = config.firmwareRelease;
            c.channels = config.channels;
            c.json = config.json;
            can->addModule(c);
        }
    };
    QByteArray stateSeed;
    {
        CrateModel crate(demo.crate());
        CanSide can;
        load(demo, &crate, &can);
        stateSeed = QJsonDocument(StateFile::capture(crate, can.saveState())).toJson(QJsonDocument::Compact);
    }
    QTemporaryDir dir;
    const QString statePath = dir.filePath(QStringLiteral("state.json"));

    const quint32 seed = quint32(QDateTime::currentMSecsSinceEpoch());
    qInfo() << "seed" << seed;
    Mutator mutator(seed);
    QElapsedTimer timer;
    timer.start();
    int taken = 0, refused = 0;
    while (timer.elapsed() < Mutator::seconds(3) * 1000) {
        CrateFile file;
        const bool crateOk = file.parse(mutator.mutate(crateSeed));
        if (!crateOk) {
            QVERIFY(!file.errorString().isEmpty());
            ++refused;
            continue;
        }
        CrateModel crate(file.crate());
        CanSide can;
        load(file, &crate, &can);
        QFile state(statePath);
        QVERIFY(state.open(QIODevice::WriteOnly | QIODevice::Truncate));
        state.write(mutator.mutate(stateSeed));
        state.close();
        QJsonObject json;
        QString error;
        if (StateFile::read(statePath, &json, &error)) {
            can.restoreState(StateFile::apply(json, crate));
            ++taken;
        } else {
            QVERIFY2(error.contains(statePath), qPrintable(error));
            ++refused;
        }
    }
    qInfo() << taken << "taken," << refused << "refused";
    QVERIFY(taken + refused > 0);
}

VEXA_TEST_GUILESS_MAIN(TestCrateSimFuzz)
#include "tst_cratesimfuzz.moc"
