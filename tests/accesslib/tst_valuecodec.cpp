// Decoding rules of the access library, checked without an agent: BITS octets to
// the library's status integers, Opaque floats, IP addresses, and the named bits
// of the MIB against the library bits the device model reads.

#include "libraryinit.h"
#include "objecttable.h"
#include "snmpsession.h"
#include "testenv.h"
#include "valuecodec.h"

#include <QtTest>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>

using namespace wiener;

namespace {

// A variable as an answer would carry it.
struct Variable {
    netsnmp_variable_list *v = nullptr;
    Variable(u_char type, const void *value, size_t length)
    {
        v = static_cast<netsnmp_variable_list *>(calloc(1, sizeof(netsnmp_variable_list)));
        snmp_set_var_typed_value(v, type, value, length);
    }
    ~Variable() { snmp_free_var(v); }
};

int namedBitValue(const char *object, const char *bitName)
{
    oid name[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!get_node(object, name, &length))
        return -2;
    const tree *node = get_tree(name, length, get_tree_head());
    for (const enum_list *e = node ? node->enums : nullptr; e; e = e->next)
        if (std::strcmp(e->label, bitName) == 0)
            return e->value;
    return -1;
}

} // namespace

class TestValueCodec : public QObject
{
    Q_OBJECT

private slots:
    void bitsOctetsAreLittleEndianBytes_data()
    {
        QTest::addColumn<QByteArray>("octets");
        QTest::addColumn<int>("expected");
        // named bit 0 (outputOn) is the top bit of the first octet: library bit 7
        QTest::newRow("bit7") << QByteArray("\x80\x00\x00", 3) << 0x80;
        // library bit 12 (ramp down) sits in octet 1, value 0x10
        QTest::newRow("bit12 alone") << QByteArray("\x00\x10\x00", 3) << (1 << 12);
        // library bit 5 (voltage bounds) alone
        QTest::newRow("bit5 alone") << QByteArray("\x20\x00\x00", 3) << (1 << 5);
        QTest::newRow("bit23") << QByteArray("\x00\x00\x80", 3) << (1 << 23);
        QTest::newRow("two octets") << QByteArray("\x01\x80", 2) << 0x8001;
        QTest::newRow("one octet") << QByteArray("\x42", 1) << 0x42;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("all four") << QByteArray("\xff\xff\xff\xff", 4) << -1;
        // octets beyond four cannot be represented and are ignored
        QTest::newRow("five octets") << QByteArray("\x01\x00\x00\x00\x01", 5) << 1;
    }
    void bitsOctetsAreLittleEndianBytes()
    {
        QFETCH(QByteArray, octets);
        QFETCH(int, expected);
        const auto *data = reinterpret_cast<const unsigned char *>(octets.constData());
        QCOMPARE(ValueCodec::bitsToLibraryInt(data, octets.size()), expected);
        if (octets.size() >= 1 && octets.size() <= 4) {
            const std::vector<unsigned char> back = ValueCodec::libraryIntToBits(expected, octets.size());
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(back.data()), back.size()), octets);
        }
    }

    void namedBitMapping()
    {
        QCOMPARE(ValueCodec::namedBitToLibraryBit(0), 7);
        QCOMPARE(ValueCodec::namedBitToLibraryBit(7), 0);
        QCOMPARE(ValueCodec::namedBitToLibraryBit(11), 12);
        QCOMPARE(ValueCodec::namedBitToLibraryBit(12), 11);
        QCOMPARE(ValueCodec::namedBitToLibraryBit(16), 23);
        QCOMPARE(ValueCodec::namedBitToLibraryBit(19), 20);
        for (int n = 0; n < 32; ++n)
            QCOMPARE(ValueCodec::namedBitToLibraryBit(ValueCodec::namedBitToLibraryBit(n)), n);
    }

    void opaqueFloatAndDouble()
    {
        double v = 0;
        const unsigned char f[] = {0x9f, 0x78, 0x04, 0x40, 0x49, 0x0f, 0xdb}; // 3.1415927f
        QVERIFY(ValueCodec::decodeOpaque(f, sizeof f, &v));
        QCOMPARE(float(v), 3.1415927f);
        const unsigned char d[] = {0x9f, 0x79, 0x08, 0xc0, 0x8f, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00}; // -1000.0
        QVERIFY(ValueCodec::decodeOpaque(d, sizeof d, &v));
        QCOMPARE(v, -1000.0);
        const unsigned char shortFloat[] = {0x9f, 0x78, 0x04, 0x40, 0x49, 0x0f};
        QVERIFY(!ValueCodec::decodeOpaque(shortFloat, sizeof shortFloat, &v));
        const unsigned char otherTag[] = {0x9f, 0x7a, 0x04, 0, 0, 0, 0};
        QVERIFY(!ValueCodec::decodeOpaque(otherTag, sizeof otherTag, &v));
        QVERIFY(!ValueCodec::decodeOpaque(nullptr, 0, &v));
    }

    void ipAddressFirstOctetLowest()
    {
        const unsigned char a[] = {192, 168, 16, 228};
        const int value = ValueCodec::ipAddressToInt(a, 4);
        QCOMPARE(value & 0xff, 192);
        QCOMPARE((value >> 24) & 0xff, 228);
        unsigned char back[4];
        ValueCodec::intToIpAddress(value, back);
        QCOMPARE(std::memcmp(a, back, 4), 0);
        QCOMPARE(ValueCodec::ipAddressToInt(a, 3), 0);
    }

    void decodeVariables()
    {
        {
            const float f = 1234.5f;
            Variable var(ASN_OPAQUE_FLOAT, &f, sizeof f);
            const ValueCodec::Value v = ValueCodec::decode(var.v);
            QCOMPARE(v.kind, ValueCodec::Value::Real);
            QCOMPARE(v.toDouble(), 1234.5);
            QCOMPARE(v.toInt(), 1234); // truncated
        }
        {
            // a physical value some agent answers as a plain integer
            const long i = -250;
            Variable var(ASN_INTEGER, &i, sizeof i);
            const ValueCodec::Value v = ValueCodec::decode(var.v);
            QCOMPARE(v.kind, ValueCodec::Value::Integer);
            QCOMPARE(v.toDouble(), -250.0);
            QCOMPARE(v.toInt(), -250);
        }
        {
            const u_long g = 4000000000ul;
            Variable var(ASN_GAUGE, &g, sizeof g);
            QCOMPARE(ValueCodec::decode(var.v).toDouble(), 4000000000.0);
        }
        {
            const char bits[] = "\x80\x10\x00";
            Variable var(ASN_OCTET_STR, bits, 3);
            const ValueCodec::Value v = ValueCodec::decode(var.v);
            QCOMPARE(v.kind, ValueCodec::Value::Text);
            QCOMPARE(v.toInt(), 0x1080);
        }
        {
            const char text[] = "vexa, T03X0, 08, 4711";
            Variable var(ASN_OCTET_STR, text, std::strlen(text));
            QCOMPARE(QString::fromStdString(ValueCodec::decode(var.v).text), QString::fromLatin1(text));
        }
        {
            const unsigned char ip[] = {10, 0, 0, 1};
            Variable var(ASN_IPADDRESS, ip, 4);
            QCOMPARE(ValueCodec::decode(var.v).toInt(), 10 | (1 << 24));
        }
        {
            Variable var(SNMP_NOSUCHINSTANCE, nullptr, 0);
            const ValueCodec::Value v = ValueCodec::decode(var.v);
            QCOMPARE(v.kind, ValueCodec::Value::Exception);
            QVERIFY(!v.isValue());
            QCOMPARE(v.toInt(), 0);
            QCOMPARE(v.toDouble(), 0.0);
        }
        {
            const float nan = std::numeric_limits<float>::quiet_NaN();
            Variable var(ASN_OPAQUE_FLOAT, &nan, sizeof nan);
            QCOMPARE(ValueCodec::decode(var.v).toInt(), 0); // never undefined behaviour
        }
        QCOMPARE(ValueCodec::decode(nullptr).kind, ValueCodec::Value::None);
    }

    // The named bits of our MIB must land on the library bits the device model
    // maps (channel and module status words).
    void mibBitsMatchLibraryBits_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("bit");
        QTest::addColumn<int>("libraryBit");
        const char *o = "WIENER-CRATE-MIB::outputStatus";
        QTest::newRow("on") << o << "outputOn" << 7;
        QTest::newRow("inhibit") << o << "outputInhibit" << 6;
        QTest::newRow("vbnd max") << o << "outputFailureMaxSenseVoltage" << 5;
        QTest::newRow("vbnd min") << o << "outputFailureMinSenseVoltage" << 4;
        QTest::newRow("vlim") << o << "outputVoltageLimited" << 3;
        QTest::newRow("trip") << o << "outputCurrentTrip" << 2;
        QTest::newRow("emcy") << o << "outputEmergencyOff" << 9;
        QTest::newRow("ramp up") << o << "outputRampUp" << 11;
        QTest::newRow("ramp down") << o << "outputRampDown" << 12;
        QTest::newRow("cc") << o << "outputConstantCurrent" << 13;
        QTest::newRow("clim") << o << "outputCurrentLimited" << 20;
        QTest::newRow("cbnd") << o << "outputCurrentBoundsExceeded" << 21;
        QTest::newRow("lcr") << o << "outputLowCurrentRange" << 22;
        QTest::newRow("cv") << o << "outputConstantVoltage" << 23;
        const char *m = "WIENER-CRATE-MIB::moduleStatus";
        QTest::newRow("adj") << m << "moduleIsFineAdjustment" << 7;
        QTest::newRow("stop") << m << "moduleIsLiveInsertion" << 5;
        QTest::newRow("ierr") << m << "moduleIsInputError" << 1;
        QTest::newRow("srvc") << m << "moduleNeedService" << 3;
        QTest::newRow("hvon") << m << "moduleIsHighVoltageOn" << 4;
        QTest::newRow("kil") << m << "moduleIsKillEnable" << 8;
        QTest::newRow("tmp") << m << "moduleIsTemperatureGood" << 9;
        QTest::newRow("sply") << m << "moduleIsSupplyGood" << 10;
        QTest::newRow("mod") << m << "moduleIsGood" << 11;
        QTest::newRow("evnt") << m << "moduleIsEventActive" << 12;
        QTest::newRow("sflp") << m << "moduleIsSafetyLoopGood" << 13;
        QTest::newRow("noramp") << m << "moduleIsNoRamp" << 14;
        QTest::newRow("noserr") << m << "moduleIsNoSumError" << 15;
        const char *e = "WIENER-CRATE-MIB::moduleEventStatus";
        QTest::newRow("e pwrfail") << e << "moduleEventPowerFail" << 7;
        QTest::newRow("e stop") << e << "moduleEventLiveInsertion" << 5;
        QTest::newRow("e tmp") << e << "moduleEventTemperatureNotGood" << 9;
        QTest::newRow("e sply") << e << "moduleEventSupplyNotGood" << 10;
        QTest::newRow("e sflp") << e << "moduleEventSafetyLoopNotGood" << 13;
    }
    void mibBitsMatchLibraryBits()
    {
        QFETCH(QString, object);
        QFETCH(QString, bit);
        QFETCH(int, libraryBit);
        QVERIFY2(LibraryInit::initialise(), SnmpSession::lastError());
        const int named = namedBitValue(object.toLatin1().constData(), bit.toLatin1().constData());
        QVERIFY2(named >= 0, qPrintable(QStringLiteral("%1 has no bit %2").arg(object, bit)));
        QCOMPARE(ValueCodec::namedBitToLibraryBit(named), libraryBit);
    }

    void everyObjectResolvesWithItsSyntax()
    {
        QVERIFY(LibraryInit::initialise());
        QVERIFY(ObjectTable::isResolved());
        QCOMPARE(ObjectTable::object(ObjectId::OutputVoltage).syntax, TYPE_OPAQUE);
        QCOMPARE(ObjectTable::object(ObjectId::OutputStatus).syntax, TYPE_BITSTRING);
        QCOMPARE(ObjectTable::object(ObjectId::OutputStatus).bitsOctets, size_t(3));
        QCOMPARE(ObjectTable::object(ObjectId::ModuleStatus).bitsOctets, size_t(2));
        QCOMPARE(ObjectTable::object(ObjectId::IpStaticAddress).syntax, TYPE_IPADDR);
        // channel 3 of slot 2 is row 203 of the output table
        QCOMPARE(QString::fromStdString(ObjectTable::instanceName(ObjectId::OutputVoltage, 203)),
                 QStringLiteral("outputVoltage.203"));
        const std::vector<oid> full = ObjectTable::instance(ObjectId::SysMainSwitch, 99);
        QCOMPARE(full.back(), oid(0)); // scalars always end in .0
        QCOMPARE(QString::fromStdString(ObjectTable::nameOf(full.data(), full.size())),
                 QStringLiteral("sysMainSwitch.0"));
    }
};

VEXA_TEST_GUILESS_MAIN(TestValueCodec)
#include "tst_valuecodec.moc"
