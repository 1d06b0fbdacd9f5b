// cratesim against bad input: garbage datagrams, truncated and mangled PDUs,
// answers above the message limit, and bad command lines or crate files. The
// agent must keep answering normal requests.

#include "cratesimprocess.h"
#include "snmpclient.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <memory>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {
// A GET of sysMainSwitch.0 (1.3.6.1.4.1.19947.1.1.1.0), v2c, built by hand.
QByteArray buildGet(const QByteArray &community, quint8 requestId)
{
    const QByteArray oidTlv = QByteArray::fromHex("060c2b06010401819b6b01010100");
    const QByteArray varbind = QByteArray::fromHex("30") + char(oidTlv.size() + 2) + oidTlv + QByteArray::fromHex("0500");
    const QByteArray list = QByteArray::fromHex("30") + char(varbind.size()) + varbind;
    QByteArray pduBody = QByteArray::fromHex("0201") + char(requestId) + QByteArray::fromHex("020100020100") + list;
    const QByteArray pdu = QByteArray::fromHex("a0") + char(pduBody.size()) + pduBody;
    const QByteArray body = QByteArray::fromHex("020101") + QByteArray::fromHex("04") + char(community.size()) + community + pdu;
    return QByteArray::fromHex("30") + char(body.size()) + body;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct Run {
    int exitCode = -1;
    QString errors;
};

// On port 16161 of a loopback address nobody uses: the simulator must fail before it listens.
Run runRefusedSimulator(const QStringList &arguments)
{
    QProcess process;
    process.start(CrateSimProcess::executable(),
                  QStringList{QStringLiteral("--address"), QStringLiteral("127.0.0.251"), QStringLiteral("--port"),
                              QStringLiteral("16161")}
                      + arguments);
    if (!process.waitForFinished(10000))
        return Run();
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}
} // namespace

class TestCrateSimRobustness : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void handBuiltRequestIsAnswered();
    void garbageDatagrams();
    void truncatedRequests();
    void mangledRequests();
    void absurdValues_data();
    void absurdValues();
    void tooBig();
    void tooBigExceptions_data();
    void tooBigExceptions();
    void badStateFiles_data();
    void badStateFiles();
    void helpExplains();
    void badCommandLines_data();
    void badCommandLines();
    void addressInUse();

private:
    bool stillAnswers();
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SnmpClient> m_read;
    std::unique_ptr<SnmpClient> m_write;
    QUdpSocket m_socket;
};

void TestCrateSimRobustness::initTestCase()
{
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json");
    m_sim = std::make_unique<CrateSimProcess>(options);
    QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
    m_read = std::make_unique<SnmpClient>(m_sim->peer(), "kestra");
    m_write = std::make_unique<SnmpClient>(m_sim->peer(), "mavo");
    QVERIFY(m_socket.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
}

bool TestCrateSimRobustness::stillAnswers()
{
    if (!m_sim->isRunning())
        return false;
    const SnmpAnswer a = m_read->get({QStringLiteral("sysMainSwitch.0"), QStringLiteral("outputVoltage.1")});
    return a.ok && a.errorStatus == 0 && a.integer(0) == 1 && a.type(1) == ASN_OPAQUE_FLOAT;
}

void TestCrateSimRobustness::handBuiltRequestIsAnswered()
{
    const QByteArray request = buildGet("kestra", 0x42);
    QCOMPARE(m_socket.writeDatagram(request, QHostAddress(m_sim->address()), m_sim->port()), qint64(request.size()));
    QTRY_VERIFY_WITH_TIMEOUT(m_socket.hasPendingDatagrams(), 2000);
    const QByteArray answer = m_socket.receiveDatagram().data();
    QVERIFY(answer.startsWith('\x30'));
    // A GetResponse PDU (0xa2) with our request id and the value on(1) at the end.
    QVERIFY(answer.contains(QByteArray::fromHex("a2")));
    QVERIFY(answer.endsWith(QByteArray::fromHex("020101")));
}

void TestCrateSimRobustness::garbageDatagrams()
{
    QRandomGenerator random(4711);
    const QHostAddress peer(m_sim->address());
    m_socket.writeDatagram(QByteArray(), peer, m_sim->port());
    for (int i = 0; i < 300; ++i) {
        QByteArray junk(int(random.bounded(1, 1400)), '\0');
        for (char &c : junk)
            c = char(random.bounded(256));
        if (i % 3 == 0)
            junk[0] = '\x30'; // looks like a sequence
        m_socket.writeDatagram(junk, peer, m_sim->port());
    }
    // Lengths that claim far more than the datagram holds, and deep nesting.
    m_socket.writeDatagram(QByteArray::fromHex("3084ffffffff020101"), peer, m_sim->port());
    m_socket.writeDatagram(QByteArray::fromHex("3080") + QByteArray(1000, '\x30'), peer, m_sim->port());
    m_socket.writeDatagram(QByteArray(60000, '\xff'), peer, m_sim->port());
    QVERIFY(stillAnswers());
}

void TestCrateSimRobustness::truncatedRequests()
{
    const QByteArray request = buildGet("kestra", 7);
    for (int n = 0; n < request.size(); ++n)
        m_socket.writeDatagram(request.left(n), QHostAddress(m_sim->address()), m_sim->port());
    QVERIFY(stillAnswers());
}

void TestCrateSimRobustness::mangledRequests()
{
    QRandomGenerator random(815);
    const QByteArray request = buildGet("mavo", 9);
    while (m_socket.hasPendingDatagrams())
        m_socket.receiveDatagram();
    for (int i = 0; i < 500; ++i) {
        QByteArray copy = request;
        const int flips = int(random.bounded(1, 4));
        for (int f = 0; f < flips; ++f)
            copy[int(random.bounded(copy.size()))] = char(random.bounded(256));
        m_socket.writeDatagram(copy, QHostAddress(m_sim->address()), m_sim->port());
    }
    QVERIFY(stillAnswers());
    // Whatever came back is a well-formed message.
    while (m_socket.hasPendingDatagrams())
        QVERIFY(m_socket.receiveDatagram().data().startsWith('\x30'));
}

void TestCrateSimRobustness::absurdValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QChar>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<long>("error");
    QTest::newRow("1e30 V") << "outputVoltage.1" << QChar('F') << QVariant(1e30) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("-inf A") << "outputCurrent.1" << QChar('F') << QVariant(-qInf()) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("negative rate") << "outputVoltageRiseRate.1" << QChar('F') << QVariant(-5.0) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("negative fan") << "fanNominalSpeed.0" << QChar('i') << QVariant(-1200) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("huge behaviour") << "outputSupervisionBehavior.1" << QChar('i') << QVariant(qlonglong(2147483647))
                                    << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("negative trip time") << "outputTripTimeMaxCurrent.1" << QChar('i') << QVariant(-1)
                                        << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("zero load") << "cratesimChannelLoad.1" << QChar('F') << QVariant(0.0) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("time scale 0") << "cratesimTimeScale.0" << QChar('F') << QVariant(0.0) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("message size 100") << "cratesimMaxMessageSize.0" << QChar('i') << QVariant(100)
                                      << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("unsigned to INTEGER") << "sysMainSwitch.0" << QChar('u') << QVariant(1) << long(SNMP_ERR_WRONGTYPE);
    QTest::newRow("long string") << "psDirectAccess.0" << QChar('s') << QVariant(QByteArray(1000, 'a'))
                                 << long(SNMP_ERR_WRONGLENGTH);
}

void TestCrateSimRobustness::absurdValues()
{
    QFETCH(QString, name);
    QFETCH(QChar, type);
    QFETCH(QVariant, value);
    QFETCH(long, error);
    const SnmpAnswer a = m_write->set({{name, char(type.toLatin1()), value}});
    QVERIFY(a.ok);
    QCOMPARE(a.errorStatus, error);
    QVERIFY(stillAnswers());
}

void TestCrateSimRobustness::tooBig()
{
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json");
    options.maxMessageSize = 484;
    CrateSimProcess small(options);
    QVERIFY2(small.start(), qPrintable(small.errorString()));
    SnmpClient client(small.peer(), "kestra");
    QStringList names;
    for (int ch = 401; ch <= 432; ++ch)
        names << QStringLiteral("outputMeasurementCurrent.%1").arg(ch);
    const SnmpAnswer big = client.get(names);
    QVERIFY(big.ok);
    QCOMPARE(big.errorStatus, long(SNMP_ERR_TOOBIG));
    QCOMPARE(big.bindings.size(), 0);
    const SnmpAnswer fits = client.get(names.mid(0, 8));
    QCOMPARE(fits.errorStatus, 0L);
    QCOMPARE(fits.bindings.size(), 8);
    // GETBULK answers are cut short instead.
    const SnmpAnswer bulk = client.getBulk({QStringLiteral("outputMeasurementCurrent.400")}, 0, 32);
    QCOMPARE(bulk.errorStatus, 0L);
    QVERIFY(bulk.bindings.size() > 5);
    QVERIFY(bulk.bindings.size() < 32);
    // A SET whose answer (the repeated varbinds) would not fit changes nothing.
    SnmpClient writer(small.peer(), "mavo");
    QList<SnmpClient::Set> sets;
    for (int ch = 401; ch <= 430; ++ch)
        sets.append({QStringLiteral("outputVoltage.%1").arg(ch), 'F', 10.0});
    const SnmpAnswer bigSet = writer.set(sets);
    QVERIFY(bigSet.ok);
    QCOMPARE(bigSet.errorStatus, long(SNMP_ERR_TOOBIG));
    QCOMPARE(client.real(QStringLiteral("outputVoltage.401")), 0.0);
    QVERIFY(writer.setReal(QStringLiteral("outputVoltage.401"), 10.0));
    // The limit can be raised at run time.
    QVERIFY(writer.setInteger(QStringLiteral("cratesimMaxMessageSize.0"), 65507));
    QCOMPARE(client.get(names).bindings.size(), 32);
}

void TestCrateSimRobustness::tooBigExceptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("next");
    QTest::newRow("noSuchInstance") << QStringLiteral("outputVoltage.999") << false;
    QTest::newRow("noSuchObject") << QStringLiteral("1.3.6.1.4.1.19947.1.99.1.0") << false;
    QTest::newRow("endOfMibView") << QStringLiteral("1.3.6.1.6.3.1.1.1.0") << true;
}

// Answers made of exceptions count as well: one that would not fit is a
// tooBig answer, never silence.
void TestCrateSimRobustness::tooBigExceptions()
{
    QFETCH(QString, name);
    QFETCH(bool, next);
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json");
    options.maxMessageSize = 484;
    CrateSimProcess small(options);
    QVERIFY2(small.start(), qPrintable(small.errorString()));
    SnmpClient client(small.peer(), "kestra");
    const SnmpAnswer few = next ? client.getNext(QStringList(4, name)) : client.get(QStringList(4, name));
    QVERIFY(few.ok);
    QCOMPARE(few.bindings.size(), 4);
    const SnmpAnswer many = next ? client.getNext(QStringList(40, name)) : client.get(QStringList(40, name));
    QVERIFY2(many.ok, "no answer");
    QCOMPARE(many.errorStatus, long(SNMP_ERR_TOOBIG));
    QCOMPARE(many.bindings.size(), 0);
}

void TestCrateSimRobustness::badStateFiles_data()
{
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<QString>("message");
    QTest::newRow("array") << QByteArray("[1, 2]") << "top level must be an object";
    QTest::newRow("not JSON") << QByteArray("{\"crate\": ") << "not valid JSON";
    QTest::newRow("string for a number") << QByteArray(R"({"crate": {"fanNominalSpeed": "1800"}})")
                                         << "crate.fanNominalSpeed: must be a number";
    QTest::newRow("negative bit rate") << QByteArray(R"({"can": {"nodes": {"0x200": {"bitRate": -250}}}})")
                                       << "can.nodes.0x200.bitRate: must be 10 to 1000";
    QTest::newRow("modules not an object") << QByteArray(R"({"modules": [1]})") << "modules: must be an object";
    QTest::newRow("channel not an object") << QByteArray(R"({"modules": {"0": {"channels": [7]}}})")
                                           << "modules.0.channels[0]: must be an object";
    QTest::newRow("flash beyond any module") << QByteArray(R"({"can": {"nodes": {"0x200": {"flash": [[20000000, "00ff"]]}}}})")
                                             << "can.nodes.0x200.flash[0]: lies outside";
    QTest::newRow("bad tunnel bit rate") << QByteArray(R"({"can": {"tunnelBitRate": 5}})") << "can.tunnelBitRate";
}

// A state file that is not what the simulator writes is refused, naming the
// bad value, and is left as it is.
void TestCrateSimRobustness::badStateFiles()
{
    QFETCH(QByteArray, state);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    QVERIFY(writeFile(path, state));
    const Run run = runRefusedSimulator(
        {QStringLiteral("--state"), path, QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(message) && run.errors.contains(path), qPrintable(run.errors));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), state);
}

void TestCrateSimRobustness::helpExplains()
{
    QProcess process;
    process.start(CrateSimProcess::executable(), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const char *option : {"--address", "--port", "--state", "--time-scale", "--delay-ms", "--max-msg-size", "crate.json"})
        QVERIFY2(out.contains(QLatin1String(option)), option);
}

void TestCrateSimRobustness::badCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("crate");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QByteArray good("{\"modules\": []}");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << good << 2 << "frobnicate";
    QTest::newRow("bad address") << QStringList{"--address", "300.1.1.1"} << good << 2 << "IPv4";
    QTest::newRow("bad time scale") << QStringList{"--time-scale", "0"} << good << 2 << "time-scale";
    QTest::newRow("small message size") << QStringList{"--max-msg-size", "100"} << good << 2 << "max-msg-size";
    QTest::newRow("not JSON") << QStringList() << QByteArray("{modules") << 1 << "not valid JSON";
    QTest::newRow("slot 12") << QStringList() << QByteArray("{\"modules\": [{\"slot\": 12, \"type\": \"T03X0\", \"channels\": 4, "
                                                              "\"nominalVoltage\": 1, \"nominalCurrent\": 1}]}")
                             << 1 << "slot must be 0 to 9";
    QTest::newRow("slot twice") << QStringList()
                                << QByteArray("{\"modules\": [{\"slot\": 1, \"type\": \"A\", \"channels\": 4, \"nominalVoltage\": 1, "
                                              "\"nominalCurrent\": 1}, {\"slot\": 1, \"type\": \"B\", \"channels\": 4, "
                                              "\"nominalVoltage\": 1, \"nominalCurrent\": 1}]}")
                                << 1 << "used twice";
    QTest::newRow("no channels") << QStringList()
                                 << QByteArray("{\"modules\": [{\"slot\": 1, \"type\": \"A\", \"channels\": 0, "
                                               "\"nominalVoltage\": 1, \"nominalCurrent\": 1}]}")
                                 << 1 << "channels must be";
    QTest::newRow("negative load") << QStringList()
                                   << QByteArray("{\"modules\": [{\"slot\": 1, \"type\": \"A\", \"channels\": 2, "
                                                 "\"nominalVoltage\": 1, \"nominalCurrent\": 1, \"load\": [-5]}]}")
                                   << 1 << "positive resistance";
    QTest::newRow("modules missing") << QStringList() << QByteArray("{\"crate\": {}}") << 1 << "modules: is missing";
    QTest::newRow("modules not an array") << QStringList() << QByteArray("{\"modules\": {}}") << 1
                                          << "modules: must be an array";
    QTest::newRow("module not an object") << QStringList() << QByteArray("{\"modules\": [3]}") << 1
                                          << "modules[0]: must be an object";
    const QByteArray module("{\"slot\": 1, \"type\": \"A\", \"channels\": 2, \"nominalVoltage\": 1, \"nominalCurrent\": 1");
    QTest::newRow("string for a number") << QStringList() << QByteArray("{\"modules\": [" + module + ", \"serialNumber\": \"12\"}]}")
                                         << 1 << "modules[0].serialNumber: must be a number";
    QTest::newRow("fractional channels") << QStringList() << QByteArray("{\"modules\": [" + QByteArray(module).replace("\"channels\": 2", "\"channels\": 2.5") + "}]}")
                                         << 1 << "modules[0].channels: must be a whole number";
    QTest::newRow("negative bit rate") << QStringList() << QByteArray("{\"modules\": [" + module + ", \"can\": {\"bitRate\": -250}}]}")
                                       << 1 << "modules[0].can.bitRate: must be 10 to 1000";
    QTest::newRow("huge image") << QStringList() << QByteArray("{\"modules\": [" + module + ", \"can\": {\"imageSize\": 2147483647}}]}")
                                << 1 << "modules[0].can.imageSize: must be 0 to 2097152";
    QTest::newRow("huge flash") << QStringList() << QByteArray("{\"modules\": [" + module + ", \"can\": {\"flashSize\": 100000000}}]}")
                                << 1 << "modules[0].can.flashSize";
    QTest::newRow("crate not an object") << QStringList() << QByteArray("{\"crate\": 5, \"modules\": []}") << 1
                                         << "crate: must be an object";
}

void TestCrateSimRobustness::badCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, crate);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("crate.json"));
    QVERIFY(writeFile(file, crate));
    const Run run = runRefusedSimulator(arguments + QStringList{file});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
}

void TestCrateSimRobustness::addressInUse()
{
    QProcess second;
    second.start(CrateSimProcess::executable(),
                 {QStringLiteral("--address"), m_sim->address(), QStringLiteral("--port"), QString::number(m_sim->port()),
                  QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json")});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(second.readAllStandardError()).contains(QLatin1String("cannot listen")));
    QVERIFY(!second.readAllStandardOutput().contains("ready"));
    QVERIFY(stillAnswers());
}

VEXA_TEST_GUILESS_MAIN(TestCrateSimRobustness)
#include "tst_cratesimrobustness.moc"
