// Our MIB modules through the net-snmp API: they load without errors or
// warnings, every name of the flash tool's object table translates, and the
// types, access and bit names are what the access library relies on.

#include "testenv.h"
#include "vexa_config.h"

#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {
QStringList logged;

int collectLog(int, int, void *serverArgument, void *)
{
    const auto *message = static_cast<const snmp_log_message *>(serverArgument);
    logged << QString::fromLocal8Bit(message->msg).trimmed();
    return 0;
}

struct tree *nodeOf(const QString &name, QList<oid> *out = nullptr)
{
    oid buffer[MAX_OID_LEN];
    size_t length = MAX_OID_LEN;
    if (!get_node(name.toLatin1().constData(), buffer, &length))
        return nullptr;
    if (out) {
        out->clear();
        for (size_t i = 0; i < length; ++i)
            out->append(buffer[i]);
    }
    return get_tree(buffer, length, get_tree_head());
}

int enumValue(const struct tree *node, const char *label)
{
    for (const struct enum_list *e = node ? node->enums : nullptr; e; e = e->next)
        if (qstrcmp(e->label, label) == 0)
            return e->value;
    return -1;
}
} // namespace

class TestWienerMib : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void modulesLoadCleanly();
    void brokenModuleIsReported();
    void objectTableTranslates();
    void libraryObjectsTranslate_data();
    void libraryObjectsTranslate();
    void types_data();
    void types();
    void statusBitsFollowLibraryLayout_data();
    void statusBitsFollowLibraryLayout();
    void switchValues();
    void simulatorModule();
};

void TestWienerMib::initTestCase()
{
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 1);
    const QByteArray dirs = QByteArray(netsnmp_get_mib_directory()) + ":" VEXA_SOURCE_MIBDIR;
    netsnmp_set_mib_directory(dirs.constData());
    snmp_disable_log();
    snmp_enable_calllog();
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, collectLog, nullptr);
    init_snmp("mibtest");
}

void TestWienerMib::modulesLoadCleanly()
{
    logged.clear();
    QVERIFY(read_module("WIENER-CRATE-MIB"));
    QVERIFY(read_module("CRATESIM-MIB"));
    QVERIFY2(logged.isEmpty(), qPrintable(logged.join(QLatin1Char('\n'))));
}

void TestWienerMib::brokenModuleIsReported()
{
    // The check above would notice a fault: a module with a dangling parent
    // does produce messages.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("BROKEN-MIB.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BROKEN-MIB DEFINITIONS ::= BEGIN\nbrokenThing OBJECT IDENTIFIER ::= { nowhere 1 }\nEND\n");
    file.close();
    add_mibdir(dir.path().toLocal8Bit().constData());
    logged.clear();
    read_module("BROKEN-MIB");
    QVERIFY(!logged.isEmpty());
}

void TestWienerMib::objectTableTranslates()
{
    QStringList names{"sysMainSwitch.0",    "sysStatus.0",         "sysVmeSysReset.0",  "outputNumber.0",
                      "groupsNumber.0",     "ipStaticAddress.0",   "psSerialNumber.0",  "psOperatingTime.0",
                      "psDirectAccess.0",   "sensorNumber.0",      "fanSerialNumber.0", "fanOperatingTime.0",
                      "fanAirTemperature.0", "fanSwitchOffDelay.0", "fanNominalSpeed.0", "fanNumberOfFans.0",
                      "canBitRateHv.0",     "canReceiveHv.0",      "canTransmitHv.0"};
    const char *columns[] = {"outputName",
                             "outputIndex",
                             "outputGroup",
                             "outputStatus",
                             "outputMeasurementSenseVoltage",
                             "outputMeasurementTerminalVoltage",
                             "outputMeasurementCurrent",
                             "outputMeasurementTemperature",
                             "outputSwitch",
                             "outputVoltage",
                             "outputCurrent",
                             "outputVoltageRiseRate",
                             "outputVoltageFallRate",
                             "outputCurrentRiseRate",
                             "outputCurrentFallRate",
                             "outputSupervisionBehavior",
                             "outputSupervisionMinSenseVoltage",
                             "outputSupervisionMaxSenseVoltage",
                             "outputSupervisionMaxTerminalVoltage",
                             "outputSupervisionMaxCurrent",
                             "outputConfigMaxSenseVoltage",
                             "outputConfigMaxTerminalVoltage",
                             "outputSupervisionMaxPower",
                             "outputConfigMaxCurrent"};
    for (int slot = 0; slot < 10; ++slot)
        for (int ch = 0; ch < 32; ++ch)
            for (const char *column : columns)
                names << QStringLiteral("%1.%2").arg(QLatin1String(column)).arg(slot * 100 + ch + 1);
    for (int i = 1; i <= 12; ++i)
        names << QStringLiteral("sensorTemperature.%1").arg(i) << QStringLiteral("sensorWarningThreshold.%1").arg(i)
              << QStringLiteral("sensorFailureThreshold.%1").arg(i);
    for (int i = 1; i <= 4; ++i)
        names << QStringLiteral("snmpCommunityName.%1").arg(i);
    for (int i = 1; i <= 6; ++i)
        names << QStringLiteral("fanSpeed.%1").arg(i);
    QCOMPARE(names.size(), 7745);

    QSet<QString> seen;
    const QList<oid> wiener{1, 3, 6, 1, 4, 1, 19947};
    for (const QString &name : names) {
        QList<oid> id;
        QVERIFY2(nodeOf(name, &id), qPrintable(name));
        QCOMPARE(id.mid(0, 7), wiener);
        QCOMPARE(QString::number(id.last()), name.section(QLatin1Char('.'), -1));
        QStringList parts;
        for (oid o : id)
            parts << QString::number(o);
        seen.insert(parts.join(QLatin1Char('.')));
    }
    QCOMPARE(seen.size(), 7745);
}

void TestWienerMib::libraryObjectsTranslate_data()
{
    QTest::addColumn<QString>("name");
    for (const char *n : {"moduleNumber.0", "moduleIndex.1", "moduleDescription.1", "moduleSupply24.1", "moduleSupply5.1",
                          "moduleAuxTemperature0.10", "moduleAuxTemperature1.1", "moduleAuxTemperature2.1",
                          "moduleAuxTemperature3.1", "moduleHardwareLimitVoltage.1", "moduleHardwareLimitCurrent.1",
                          "moduleRampSpeedVoltage.1", "moduleRampSpeedCurrent.1", "moduleStatus.1",
                          "moduleEventStatus.1", "moduleDoClear.10", "psAuxiliaryNumber.0",
                          "psAuxiliaryMeasurementVoltage.5", "psAuxiliaryMeasurementCurrent.8",
                          "highVoltageGroupsSwitch.0", "lowVoltageGroupsSwitch.0", "outputTripTimeMaxCurrent.932",
                          "outputUserConfig.1", "WIENER-CRATE-MIB::outputVoltage.101"})
        QTest::newRow(n) << QString::fromLatin1(n);
}

void TestWienerMib::libraryObjectsTranslate()
{
    QFETCH(QString, name);
    QVERIFY(nodeOf(name));
}

void TestWienerMib::types_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("access");
    QTest::newRow("set voltage") << "outputVoltage" << TYPE_OPAQUE << MIB_ACCESS_READWRITE;
    QTest::newRow("measured current") << "outputMeasurementCurrent" << TYPE_OPAQUE << MIB_ACCESS_READONLY;
    QTest::newRow("module supply") << "moduleSupply24" << TYPE_OPAQUE << MIB_ACCESS_READONLY;
    QTest::newRow("ramp speed") << "moduleRampSpeedVoltage" << TYPE_OPAQUE << MIB_ACCESS_READWRITE;
    QTest::newRow("aux voltage") << "psAuxiliaryMeasurementVoltage" << TYPE_OPAQUE << MIB_ACCESS_READONLY;
    QTest::newRow("channel status") << "outputStatus" << TYPE_BITSTRING << MIB_ACCESS_READONLY;
    QTest::newRow("module status") << "moduleStatus" << TYPE_BITSTRING << MIB_ACCESS_READONLY;
    QTest::newRow("module events") << "moduleEventStatus" << TYPE_BITSTRING << MIB_ACCESS_READONLY;
    QTest::newRow("crate status") << "sysStatus" << TYPE_BITSTRING << MIB_ACCESS_READONLY;
    QTest::newRow("switch") << "outputSwitch" << TYPE_INTEGER << MIB_ACCESS_READWRITE;
    QTest::newRow("behaviour") << "outputSupervisionBehavior" << TYPE_INTEGER32 << MIB_ACCESS_READWRITE;
    QTest::newRow("trip time") << "outputTripTimeMaxCurrent" << TYPE_INTEGER32 << MIB_ACCESS_READWRITE;
    QTest::newRow("do clear") << "moduleDoClear" << TYPE_INTEGER << MIB_ACCESS_READWRITE;
    QTest::newRow("description") << "moduleDescription" << TYPE_OCTETSTR << MIB_ACCESS_READONLY;
    QTest::newRow("ip address") << "ipStaticAddress" << TYPE_IPADDR << MIB_ACCESS_READWRITE;
    QTest::newRow("tunnel out") << "canTransmitHv" << TYPE_OCTETSTR << MIB_ACCESS_READWRITE;
    QTest::newRow("tunnel in") << "canReceiveHv" << TYPE_OCTETSTR << MIB_ACCESS_READONLY;
    QTest::newRow("fan nominal") << "fanNominalSpeed" << TYPE_INTEGER32 << MIB_ACCESS_READWRITE;
}

void TestWienerMib::types()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(int, access);
    const struct tree *node = nodeOf(QStringLiteral("WIENER-CRATE-MIB::") + name);
    QVERIFY(node);
    QCOMPARE(node->type, type);
    QCOMPARE(node->access, access);
}

void TestWienerMib::statusBitsFollowLibraryLayout_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("bit");
    QTest::addColumn<int>("libraryBit");
    const struct {
        const char *object;
        const char *bit;
        int library;
    } rows[] = {{"outputStatus", "outputOn", 7},
                {"outputStatus", "outputInhibit", 6},
                {"outputStatus", "outputFailureMaxSenseVoltage", 5},
                {"outputStatus", "outputFailureMinSenseVoltage", 4},
                {"outputStatus", "outputVoltageLimited", 3},
                {"outputStatus", "outputCurrentTrip", 2},
                {"outputStatus", "outputEmergencyOff", 9},
                {"outputStatus", "outputRampUp", 11},
                {"outputStatus", "outputRampDown", 12},
                {"outputStatus", "outputConstantCurrent", 13},
                {"outputStatus", "outputCurrentLimited", 20},
                {"outputStatus", "outputCurrentBoundsExceeded", 21},
                {"outputStatus", "outputLowCurrentRange", 22},
                {"outputStatus", "outputConstantVoltage", 23},
                {"moduleStatus", "moduleIsInputError", 1},
                {"moduleStatus", "moduleIsHardwareLimitVoltageGood", 2},
                {"moduleStatus", "moduleNeedService", 3},
                {"moduleStatus", "moduleIsHighVoltageOn", 4},
                {"moduleStatus", "moduleIsLiveInsertion", 5},
                {"moduleStatus", "moduleIsFineAdjustment", 7},
                {"moduleStatus", "moduleIsKillEnable", 8},
                {"moduleStatus", "moduleIsTemperatureGood", 9},
                {"moduleStatus", "moduleIsSupplyGood", 10},
                {"moduleStatus", "moduleIsGood", 11},
                {"moduleStatus", "moduleIsEventActive", 12},
                {"moduleStatus", "moduleIsSafetyLoopGood", 13},
                {"moduleStatus", "moduleIsNoRamp", 14},
                {"moduleStatus", "moduleIsNoSumError", 15},
                {"moduleEventStatus", "moduleEventInputError", 1},
                {"moduleEventStatus", "moduleEventHardwareLimitVoltageNotGood", 2},
                {"moduleEventStatus", "moduleEventService", 3},
                {"moduleEventStatus", "moduleEventLiveInsertion", 5},
                {"moduleEventStatus", "moduleEventPowerFail", 7},
                {"moduleEventStatus", "moduleEventTemperatureNotGood", 9},
                {"moduleEventStatus", "moduleEventSupplyNotGood", 10},
                {"moduleEventStatus", "moduleEventSafetyLoopNotGood", 13}};
    for (const auto &r : rows)
        QTest::newRow(r.bit) << QString::fromLatin1(r.object) << QString::fromLatin1(r.bit) << r.library;
}

void TestWienerMib::statusBitsFollowLibraryLayout()
{
    QFETCH(QString, object);
    QFETCH(QString, bit);
    QFETCH(int, libraryBit);
    const int named = enumValue(nodeOf(QStringLiteral("WIENER-CRATE-MIB::") + object), bit.toLatin1().constData());
    QVERIFY2(named >= 0, qPrintable(bit));
    // Octet n/8, most significant bit first, octet 0 = lowest byte.
    QCOMPARE(8 * (named / 8) + 7 - (named % 8), libraryBit);
}

void TestWienerMib::switchValues()
{
    const struct tree *sw = nodeOf(QStringLiteral("WIENER-CRATE-MIB::outputSwitch"));
    QCOMPARE(enumValue(sw, "off"), 0);
    QCOMPARE(enumValue(sw, "on"), 1);
    QCOMPARE(enumValue(sw, "resetEmergencyOff"), 2);
    QCOMPARE(enumValue(sw, "setEmergencyOff"), 3);
    QCOMPARE(enumValue(sw, "clearEvents"), 10);
    QCOMPARE(enumValue(sw, "measurementsOff"), 20);
    QCOMPARE(enumValue(sw, "bothMeasurementsOn"), 23);
    const struct tree *groups = nodeOf(QStringLiteral("WIENER-CRATE-MIB::highVoltageGroupsSwitch"));
    QCOMPARE(enumValue(groups, "disableKill"), 4);
    QCOMPARE(enumValue(groups, "enableKill"), 5);
    QCOMPARE(enumValue(groups, "disableAdjust"), 6);
    QCOMPARE(enumValue(groups, "enableAdjust"), 7);
}

void TestWienerMib::simulatorModule()
{
    QList<oid> id;
    QVERIFY(nodeOf(QStringLiteral("CRATESIM-MIB::cratesim"), &id));
    QCOMPARE(id, (QList<oid>{1, 3, 6, 1, 3, 1999}));
    for (const char *n : {"cratesimRequests.0", "cratesimVarbinds.0", "cratesimMains.0", "cratesimNoise.0",
                          "cratesimModuleResponding.10", "cratesimChannelTrip.932", "cratesimChannelLoad.1",
                          "cratesimChannelInhibit.1", "cratesimChannelOverload.1"})
        QVERIFY2(nodeOf(QString::fromLatin1(n)), n);
}

VEXA_TEST_GUILESS_MAIN(TestWienerMib)
#include "tst_wienermib.moc"
