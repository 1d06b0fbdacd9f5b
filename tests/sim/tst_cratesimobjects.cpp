// Typed reads and writes of every object kind, the SNMP errors, all-or-nothing
// SETs, GETNEXT/GETBULK order and the request counters of cratesim.

#include "cratesimprocess.h"
#include "snmpclient.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QElapsedTimer>
#include <QtTest>
#include <cmath>
#include <memory>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

class TestCrateSimObjects : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void typedReads_data();
    void typedReads();
    void systemDescription();
    void typedWrites_data();
    void typedWrites();
    void ipStaticAddress();
    void getErrors_data();
    void getErrors();
    void setErrors_data();
    void setErrors();
    void unknownCommunityIsDropped();
    void allOrNothing();
    void getNextSkipsEmptySlots();
    void getBulkReadsAColumn();
    void requestCounters();
    void communityNamesFollowAccess();
    void answerDelay();

private:
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SnmpClient> m_read;
    std::unique_ptr<SnmpClient> m_write;
};

void TestCrateSimObjects::initTestCase()
{
    CrateSimProcess::Options options;
    options.crateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/sim/data/testcrate.json");
    options.timeScale = 10;
    m_sim = std::make_unique<CrateSimProcess>(options);
    QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
    QVERIFY(SnmpClient::initialiseLibrary());
    m_read = std::make_unique<SnmpClient>(m_sim->peer(), "kestra");
    m_write = std::make_unique<SnmpClient>(m_sim->peer(), "mavo");
    // Let the modules boot.
    QTRY_COMPARE_WITH_TIMEOUT(m_read->bytes(QStringLiteral("moduleDescription.1")),
                              QByteArray("vexa, T03X0, 4, 100123, 05.12"), 5000);
}

void TestCrateSimObjects::typedReads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length"); // for strings; -1 any

    QTest::newRow("main switch") << "sysMainSwitch.0" << int(ASN_INTEGER) << -1;
    QTest::newRow("crate status BITS") << "sysStatus.0" << int(ASN_OCTET_STR) << 2;
    QTest::newRow("output number") << "outputNumber.0" << int(ASN_INTEGER) << -1;
    QTest::newRow("set voltage float") << "outputVoltage.1" << int(ASN_OPAQUE_FLOAT) << -1;
    QTest::newRow("measured current float") << "outputMeasurementCurrent.432" << int(ASN_OPAQUE_FLOAT) << -1;
    QTest::newRow("channel status BITS") << "outputStatus.1" << int(ASN_OCTET_STR) << 3;
    QTest::newRow("switch") << "outputSwitch.2" << int(ASN_INTEGER) << -1;
    QTest::newRow("trip time") << "outputTripTimeMaxCurrent.3" << int(ASN_INTEGER) << -1;
    QTest::newRow("channel name") << "outputName.432" << int(ASN_OCTET_STR) << 4;
    QTest::newRow("module status BITS") << "moduleStatus.1" << int(ASN_OCTET_STR) << 2;
    QTest::newRow("module events BITS") << "moduleEventStatus.3" << int(ASN_OCTET_STR) << 2;
    QTest::newRow("module supply") << "moduleSupply24.1" << int(ASN_OPAQUE_FLOAT) << -1;
    QTest::newRow("module temperature") << "moduleAuxTemperature3.5" << int(ASN_OPAQUE_FLOAT) << -1;
    QTest::newRow("ramp speed") << "moduleRampSpeedVoltage.3" << int(ASN_OPAQUE_FLOAT) << -1;
    QTest::newRow("ip address") << "ipStaticAddress.0" << int(ASN_IPADDRESS) << 4;
    QTest::newRow("ps serial") << "psSerialNumber.0" << int(ASN_OCTET_STR) << 9;
    QTest::newRow("aux voltage") << "psAuxiliaryMeasurementVoltage.5" << int(ASN_OPAQUE_FLOAT) << -1;
    QTest::newRow("sensor") << "sensorTemperature.12" << int(ASN_INTEGER) << -1;
    QTest::newRow("fan speed 6") << "fanSpeed.6" << int(ASN_INTEGER) << -1;
    QTest::newRow("fan nominal") << "fanNominalSpeed.0" << int(ASN_INTEGER) << -1;
    QTest::newRow("community 1") << "snmpCommunityName.1" << int(ASN_OCTET_STR) << 6;
    QTest::newRow("tunnel receive") << "canReceiveHv.0" << int(ASN_OCTET_STR) << 16;
    QTest::newRow("requests counter") << "cratesimRequests.0" << int(ASN_COUNTER) << -1;
    QTest::newRow("channel load") << "cratesimChannelLoad.1" << int(ASN_OPAQUE_FLOAT) << -1;
}

void TestCrateSimObjects::typedReads()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, length);
    const SnmpAnswer a = m_read->get({name});
    QVERIFY(a.ok);
    QCOMPARE(a.errorStatus, 0L);
    QCOMPARE(a.type(), type);
    if (length >= 0)
        QCOMPARE(a.bytes().size(), length);
}

void TestCrateSimObjects::systemDescription()
{
    const QString text = QString::fromLatin1(m_read->bytes(QStringLiteral(".1.3.6.1.2.1.1.1.0")));
    const QRegularExpression serial(QStringLiteral("\\((\\d+),"));
    const QRegularExpression firmware(QStringLiteral("MPOD \\d+\\.\\d+\\.\\d+\\.\\d+"));
    QCOMPARE(serial.match(text).captured(1), QStringLiteral("4711"));
    QCOMPARE(firmware.match(text).captured(0), QStringLiteral("MPOD 3.0.1.7"));
    QCOMPARE(m_read->integer(QStringLiteral("outputNumber.0")), 4L + 2 + 4 + 32);
    QCOMPARE(m_read->integer(QStringLiteral("moduleNumber.0")), 4L);
    QCOMPARE(m_read->real(QStringLiteral("outputConfigMaxTerminalVoltage.4")), 1000.0);
    QCOMPARE(m_read->real(QStringLiteral("outputConfigMaxCurrent.201")), 0.0005f);
    QVERIFY(std::fabs(m_read->real(QStringLiteral("psAuxiliaryMeasurementVoltage.5")) - 24.0) < 0.5);
}

void TestCrateSimObjects::typedWrites_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QChar>("type");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("set voltage") << "outputVoltage.2" << QChar('F') << QVariant(123.5);
    QTest::newRow("negative voltage, bipolar") << "outputVoltage.202" << QChar('F') << QVariant(-250.0);
    QTest::newRow("set current") << "outputCurrent.3" << QChar('F') << QVariant(0.0005);
    QTest::newRow("rise rate") << "outputVoltageRiseRate.4" << QChar('F') << QVariant(25.0);
    QTest::newRow("fall rate") << "outputVoltageFallRate.4" << QChar('F') << QVariant(30.0);
    QTest::newRow("voltage limit") << "outputSupervisionMaxTerminalVoltage.1" << QChar('F') << QVariant(900.0);
    QTest::newRow("current trip level") << "outputSupervisionMaxCurrent.1" << QChar('F') << QVariant(0.0008);
    QTest::newRow("trip time") << "outputTripTimeMaxCurrent.2" << QChar('i') << QVariant(250);
    QTest::newRow("behaviour") << "outputSupervisionBehavior.2" << QChar('i') << QVariant(0x2080);
    QTest::newRow("group") << "outputGroup.3" << QChar('i') << QVariant(7);
    QTest::newRow("module ramp speed") << "moduleRampSpeedVoltage.5" << QChar('F') << QVariant(12.5);
    QTest::newRow("fan nominal") << "fanNominalSpeed.0" << QChar('i') << QVariant(2400);
    QTest::newRow("fan off") << "fanNominalSpeed.0" << QChar('i') << QVariant(0);
    QTest::newRow("sensor warning") << "sensorWarningThreshold.3" << QChar('i') << QVariant(45);
    QTest::newRow("switch-off delay") << "fanSwitchOffDelay.0" << QChar('i') << QVariant(300);
    QTest::newRow("channel load") << "cratesimChannelLoad.4" << QChar('F') << QVariant(2.5e7);
    QTest::newRow("answer delay") << "cratesimAnswerDelay.0" << QChar('i') << QVariant(0);
}

void TestCrateSimObjects::typedWrites()
{
    QFETCH(QString, name);
    QFETCH(QChar, type);
    QFETCH(QVariant, value);
    const SnmpAnswer a = m_write->set({{name, char(type.toLatin1()), value}});
    QVERIFY(a.ok);
    QCOMPARE(a.errorStatus, 0L);
    const SnmpAnswer back = m_read->get({name});
    QCOMPARE(back.errorStatus, 0L);
    if (type == QLatin1Char('F'))
        QCOMPARE(float(back.real()), float(value.toDouble()));
    else
        QCOMPARE(back.integer(), long(value.toLongLong()));
}

void TestCrateSimObjects::ipStaticAddress()
{
    const QByteArray address("\x0a\x01\x02\x03", 4);
    const SnmpAnswer a = m_write->set({{QStringLiteral("ipStaticAddress.0"), 'a', address}});
    QCOMPARE(a.errorStatus, 0L);
    const SnmpAnswer back = m_read->get({QStringLiteral("ipStaticAddress.0")});
    QCOMPARE(back.type(), int(ASN_IPADDRESS));
    QCOMPARE(back.bytes(), address);
    // An INTEGER is the wrong type for an address.
    QCOMPARE(m_write->set({{QStringLiteral("ipStaticAddress.0"), 'i', 5}}).errorStatus, long(SNMP_ERR_WRONGTYPE));
}

void TestCrateSimObjects::getErrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::newRow("empty slot channel") << "outputVoltage.101" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("empty slot module") << "moduleDescription.2" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("absent channel") << "outputVoltage.5" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("absent channel 33") << "outputMeasurementCurrent.433" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("slot 9 (index 901)") << "outputStatus.901" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("scalar with index 1") << "sysMainSwitch.1" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("sensor 13") << "sensorTemperature.13" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("fan 7") << "fanSpeed.7" << int(SNMP_NOSUCHINSTANCE);
    QTest::newRow("unknown object") << ".1.3.6.1.4.1.19947.1.3.99.0" << int(SNMP_NOSUCHOBJECT);
    QTest::newRow("unknown column") << ".1.3.6.1.4.1.19947.1.3.2.1.99.1" << int(SNMP_NOSUCHOBJECT);
}

void TestCrateSimObjects::getErrors()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    const SnmpAnswer a = m_read->get({name, QStringLiteral("sysMainSwitch.0")});
    QVERIFY(a.ok);
    QCOMPARE(a.errorStatus, 0L);
    QCOMPARE(a.type(0), type);
    // The other varbind of the same request is still answered.
    QCOMPARE(a.type(1), int(ASN_INTEGER));
}

void TestCrateSimObjects::setErrors_data()
{
    QTest::addColumn<QString>("community");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QChar>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<long>("error");

    QTest::newRow("read community") << "kestra" << "outputVoltage.1" << QChar('F') << QVariant(10.0)
                                    << long(SNMP_ERR_NOACCESS);
    QTest::newRow("float as INTEGER") << "mavo" << "outputVoltage.1" << QChar('i') << QVariant(10)
                                      << long(SNMP_ERR_WRONGTYPE);
    QTest::newRow("INTEGER as float") << "mavo" << "outputSwitch.1" << QChar('F') << QVariant(1.0)
                                      << long(SNMP_ERR_WRONGTYPE);
    QTest::newRow("string to switch") << "mavo" << "sysMainSwitch.0" << QChar('s') << QVariant(QByteArray("on"))
                                      << long(SNMP_ERR_WRONGTYPE);
    QTest::newRow("fan 1 rpm") << "mavo" << "fanNominalSpeed.0" << QChar('i') << QVariant(1) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("fan 1199 rpm") << "mavo" << "fanNominalSpeed.0" << QChar('i') << QVariant(1199)
                                  << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("fan 3601 rpm") << "mavo" << "fanNominalSpeed.0" << QChar('i') << QVariant(3601)
                                  << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("above nominal") << "mavo" << "outputVoltage.1" << QChar('F') << QVariant(1000.5)
                                   << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("negative, unipolar") << "mavo" << "outputVoltage.1" << QChar('F') << QVariant(-1.0)
                                        << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("below -nominal, bipolar") << "mavo" << "outputVoltage.201" << QChar('F') << QVariant(-501.0)
                                             << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("NaN") << "mavo" << "outputVoltage.1" << QChar('F') << QVariant(qQNaN()) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("infinity") << "mavo" << "outputCurrent.1" << QChar('F') << QVariant(qInf())
                              << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("current above nominal") << "mavo" << "outputCurrent.1" << QChar('F') << QVariant(0.002)
                                           << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("switch 7") << "mavo" << "outputSwitch.1" << QChar('i') << QVariant(7) << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("measurement switch on HV module") << "mavo" << "outputSwitch.1" << QChar('i') << QVariant(21)
                                                     << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("trip time 4001") << "mavo" << "outputTripTimeMaxCurrent.1" << QChar('i') << QVariant(4001)
                                    << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("behaviour 65536") << "mavo" << "outputSupervisionBehavior.1" << QChar('i') << QVariant(65536)
                                     << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("main switch 2") << "mavo" << "sysMainSwitch.0" << QChar('i') << QVariant(2)
                                   << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("groups switch 8") << "mavo" << "highVoltageGroupsSwitch.0" << QChar('i') << QVariant(8)
                                     << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("ramp speed 0") << "mavo" << "moduleRampSpeedVoltage.1" << QChar('F') << QVariant(0.0)
                                  << long(SNMP_ERR_WRONGVALUE);
    QTest::newRow("read-only measurement") << "mavo" << "outputMeasurementCurrent.1" << QChar('F') << QVariant(1.0)
                                           << long(SNMP_ERR_NOTWRITABLE);
    QTest::newRow("read-only description") << "mavo" << "moduleDescription.1" << QChar('s') << QVariant(QByteArray("x"))
                                           << long(SNMP_ERR_NOTWRITABLE);
    QTest::newRow("read-only counter") << "TORVIK" << "cratesimRequests.0" << QChar('i') << QVariant(0)
                                       << long(SNMP_ERR_NOTWRITABLE);
    QTest::newRow("empty slot") << "mavo" << "outputVoltage.101" << QChar('F') << QVariant(1.0)
                                << long(SNMP_ERR_NOCREATION);
    QTest::newRow("unknown object") << "mavo" << ".1.3.6.1.4.1.19947.1.3.99.0" << QChar('i') << QVariant(1)
                                    << long(SNMP_ERR_NOTWRITABLE);
    QTest::newRow("direct access too long") << "mavo" << "psDirectAccess.0" << QChar('s')
                                            << QVariant(QByteArray(15, 'x')) << long(SNMP_ERR_WRONGLENGTH);
}

void TestCrateSimObjects::setErrors()
{
    QFETCH(QString, community);
    QFETCH(QString, name);
    QFETCH(QChar, type);
    QFETCH(QVariant, value);
    QFETCH(long, error);
    const SnmpAnswer before = m_read->get({name});
    SnmpClient client(m_sim->peer(), community.toLatin1());
    const SnmpAnswer a = client.set({{name, char(type.toLatin1()), value}});
    QVERIFY(a.ok);
    QCOMPARE(a.errorStatus, error);
    QCOMPARE(a.errorIndex, 1L);
    // Nothing changed.
    const SnmpAnswer after = m_read->get({name});
    QCOMPARE(after.type(), before.type());
    if (before.type() == ASN_OPAQUE_FLOAT)
        QCOMPARE(after.real(), before.real());
    else if (before.type() == ASN_INTEGER)
        QCOMPARE(after.integer(), before.integer());
}

void TestCrateSimObjects::unknownCommunityIsDropped()
{
    const long dropped = m_read->integer(QStringLiteral("cratesimBadCommunities.0"));
    SnmpClient stranger(m_sim->peer(), "public", 200, 0);
    QVERIFY(!stranger.get({QStringLiteral("sysMainSwitch.0")}).ok);
    SnmpClient empty(m_sim->peer(), "", 200, 0);
    QVERIFY(!empty.set({{QStringLiteral("sysMainSwitch.0"), 'i', 0}}).ok);
    QCOMPARE(m_read->integer(QStringLiteral("cratesimBadCommunities.0")), dropped + 2);
    QCOMPARE(m_read->integer(QStringLiteral("sysMainSwitch.0")), 1L);
    // The flash tool's community reads and writes.
    SnmpClient torvik(m_sim->peer(), "TORVIK");
    QVERIFY(torvik.setInteger(QStringLiteral("outputGroup.4"), 3));
    QCOMPARE(torvik.integer(QStringLiteral("outputGroup.4")), 3L);
}

void TestCrateSimObjects::allOrNothing()
{
    QVERIFY(m_write->setReal(QStringLiteral("outputVoltage.1"), 100.0));
    QVERIFY(m_write->setInteger(QStringLiteral("outputTripTimeMaxCurrent.1"), 10));
    const SnmpAnswer a = m_write->set({{QStringLiteral("outputVoltage.1"), 'F', 200.0},
                                       {QStringLiteral("outputTripTimeMaxCurrent.1"), 'i', 20},
                                       {QStringLiteral("fanNominalSpeed.0"), 'i', 1199},
                                       {QStringLiteral("outputGroup.1"), 'i', 9}});
    QVERIFY(a.ok);
    QCOMPARE(a.errorStatus, long(SNMP_ERR_WRONGVALUE));
    QCOMPARE(a.errorIndex, 3L);
    QCOMPARE(m_read->real(QStringLiteral("outputVoltage.1")), 100.0);
    QCOMPARE(m_read->integer(QStringLiteral("outputTripTimeMaxCurrent.1")), 10L);
    QVERIFY(m_read->integer(QStringLiteral("outputGroup.1")) != 9);

    // The same request without the bad varbind changes everything.
    const SnmpAnswer b = m_write->set({{QStringLiteral("outputVoltage.1"), 'F', 200.0},
                                       {QStringLiteral("outputTripTimeMaxCurrent.1"), 'i', 20},
                                       {QStringLiteral("outputGroup.1"), 'i', 9}});
    QCOMPARE(b.errorStatus, 0L);
    QCOMPARE(m_read->real(QStringLiteral("outputVoltage.1")), 200.0);
    QCOMPARE(m_read->integer(QStringLiteral("outputTripTimeMaxCurrent.1")), 20L);
    QCOMPARE(m_read->integer(QStringLiteral("outputGroup.1")), 9L);
}

void TestCrateSimObjects::getNextSkipsEmptySlots()
{
    QList<quint32> base;
    QVERIFY(SnmpClient::resolve(QStringLiteral("WIENER-CRATE-MIB::moduleDescription"), &base));
    QStringList indices;
    QString name = QStringLiteral("WIENER-CRATE-MIB::moduleDescription");
    for (int i = 0; i < 6; ++i) {
        const SnmpAnswer a = m_read->getNext({name});
        QVERIFY(a.ok);
        name = a.bindings.value(0).name;
        if (a.type() != ASN_OCTET_STR)
            break;
        indices << name.section(QLatin1Char('.'), -1);
    }
    // Slots 0, 2, 3, 4 (indices slot + 1); slot 1 is empty. After the column
    // comes the next column (moduleSupply24), which is an opaque float.
    QCOMPARE(indices, (QStringList{"1", "3", "4", "5"}));

    // GETNEXT from the last channel of slot 0 goes on at slot 2.
    const SnmpAnswer n = m_read->getNext({QStringLiteral("outputVoltage.4")});
    QVERIFY(n.bindings.value(0).name.endsWith(QLatin1String(".10.201")));
}

void TestCrateSimObjects::getBulkReadsAColumn()
{
    const SnmpAnswer a = m_read->getBulk({QStringLiteral("outputMeasurementTerminalVoltage.400")}, 0, 32);
    QVERIFY(a.ok);
    QCOMPARE(a.errorStatus, 0L);
    QCOMPARE(a.bindings.size(), 32);
    for (int i = 0; i < 32; ++i) {
        QCOMPARE(a.type(i), int(ASN_OPAQUE_FLOAT));
        QVERIFY(a.bindings[i].name.endsWith(QStringLiteral(".6.%1").arg(401 + i)));
    }
}

void TestCrateSimObjects::requestCounters()
{
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimCountersReset.0"), 1));
    QStringList names;
    for (int ch = 401; ch <= 410; ++ch)
        names << QStringLiteral("outputVoltage.%1").arg(ch);
    QVERIFY(m_read->get(names).ok);
    const SnmpAnswer counters =
        m_read->get({QStringLiteral("cratesimRequests.0"), QStringLiteral("cratesimVarbinds.0")});
    // The GET of ten varbinds and the GET that reads the counters.
    QCOMPARE(counters.integer(0), 2L);
    QCOMPARE(counters.integer(1), 12L);
}

void TestCrateSimObjects::communityNamesFollowAccess()
{
    const SnmpAnswer r = m_read->get({QStringLiteral("snmpCommunityName.1"), QStringLiteral("snmpCommunityName.2"),
                                      QStringLiteral("snmpCommunityName.3")});
    QCOMPARE(r.bytes(0), QByteArray("kestra"));
    QCOMPARE(r.bytes(1), QByteArray());
    QCOMPARE(r.bytes(2), QByteArray());
    const SnmpAnswer w = m_write->get({QStringLiteral("snmpCommunityName.2"), QStringLiteral("snmpCommunityName.3")});
    QCOMPARE(w.bytes(0), QByteArray("mavo"));
    QCOMPARE(w.bytes(1), QByteArray());
}

void TestCrateSimObjects::answerDelay()
{
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_read->get({QStringLiteral("sysMainSwitch.0")}).ok);
    const qint64 quick = clock.elapsed();
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimAnswerDelay.0"), 150));
    clock.restart();
    QVERIFY(m_read->get({QStringLiteral("sysMainSwitch.0")}).ok);
    const qint64 slow = clock.elapsed();
    QVERIFY(m_write->setInteger(QStringLiteral("cratesimAnswerDelay.0"), 0));
    QVERIFY2(slow >= 150, qPrintable(QString::number(slow)));
    QVERIFY2(quick < 150, qPrintable(QString::number(quick)));
}

VEXA_TEST_GUILESS_MAIN(TestCrateSimObjects)
#include "tst_cratesimobjects.moc"
