// WIENER_SNMP against a private cratesim: every function family reads and writes
// what the simulator holds (checked through a second, independent SNMP session),
// multiple reads and writes cost one request, records and texts on failures,
// the main switch, and an agent that goes away and comes back.

#include "cratesimprocess.h"
#include "simcontrol.h"
#include "testenv.h"
#include "wiener_snmp.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

namespace {

// Slots 0, 1 and 4 hold modules; 2, 3 and 5 to 9 are empty.
QByteArray crateJson()
{
    QJsonObject crate{{"serialNumber", 480123},
                      {"firmware", "MPOD 2.1.4.9"},
                      {"psSerialNumber", "PS-0815"},
                      {"fanNominalSpeed", 1500},
                      {"bootMs", 300},
                      {"mainSwitch", true}};
    QJsonArray modules;
    modules.append(QJsonObject{{"slot", 0},
                               {"vendor", "vexa"},
                               {"type", "T03X0"},
                               {"channels", 8},
                               {"serialNumber", 5100101},
                               {"firmwareRelease", "05.21"},
                               {"nominalVoltage", 3000.0},
                               {"nominalCurrent", 0.003},
                               {"load", QJsonArray{10.0e6}}});
    modules.append(QJsonObject{{"slot", 1},
                               {"vendor", "vexa"},
                               {"type", "T08X0"},
                               {"channels", 32},
                               {"serialNumber", 5100202},
                               {"firmwareRelease", "05.30"},
                               {"nominalVoltage", 500.0},
                               {"nominalCurrent", 0.001},
                               {"load", QJsonArray{5.0e6}}});
    modules.append(QJsonObject{{"slot", 4},
                               {"vendor", "vexa"},
                               {"type", "T01X0"},
                               {"channels", 4},
                               {"serialNumber", 5100404},
                               {"firmwareRelease", "05.12"},
                               {"nominalVoltage", 6000.0},
                               {"nominalCurrent", 0.001},
                               {"load", QJsonArray{100.0e6}}});
    return QJsonDocument(QJsonObject{{"crate", crate}, {"modules", modules}}).toJson();
}

const char W[] = "WIENER-CRATE-MIB::";

QString obj(const char *name, int index) { return QString::fromLatin1(W) + QLatin1String(name) + QLatin1Char('.') + QString::number(index); }

} // namespace

class TestAccessLib : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SimControl> m_control;
    HSNMP m_handle = nullptr;

    // Requests the simulator answered while `work` ran.
    qlonglong requestsFor(const std::function<void()> &work) { return m_control->requestsDuring(work); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString crateFile = m_dir.filePath(QStringLiteral("crate.json"));
        QFile file(crateFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(crateJson());
        file.close();

        CrateSimProcess::Options options;
        options.crateFile = crateFile;
        options.timeScale = 20.0;
        m_sim = std::make_unique<CrateSimProcess>(options);
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));

        QCOMPARE(snmpInit(), 1);
        QCOMPARE(snmpInit(), 1); // a second start-up keeps the first
        m_handle = snmpOpen(m_sim->address().toLatin1().constData());
        QVERIFY2(m_handle, snmpGetLastError());
        m_control = std::make_unique<SimControl>(m_sim->peer());
        QVERIFY2(m_control->isOpen(), qPrintable(m_control->errorString()));
        const qlonglong counterCost = m_control->measureCounterCost();
        QVERIFY2(counterCost >= 0, qPrintable(m_control->errorString()));
        QVERIFY(counterCost == 0 || counterCost == 1);
    }

    void cleanupTestCase()
    {
        if (m_handle)
            snmpClose(m_handle);
        m_control.reset();
        m_sim.reset();
    }

    // ------------------------------------------------------------ crate

    void crateIdentity()
    {
        const QByteArray serial = getPsSerialNumber(m_handle);
        QCOMPARE(serial, QByteArray("PS-0815"));
        const QString description = QString::fromLatin1(getSysDescr(m_handle));
        QVERIFY2(description.contains(QLatin1String("MPOD 2.1.4.9")), qPrintable(description));
        QVERIFY2(description.contains(QLatin1String("(480123,")), qPrintable(description));
        QCOMPARE(getMainSwitch(m_handle), 1);
        QCOMPARE(getOutputNumber(m_handle), 8 + 32 + 4);
        QCOMPARE(getOutputNumber(m_handle), m_control->get(QString::fromLatin1(W) + "outputNumber.0").toInt());
        QCOMPARE(getOutputGroups(m_handle), m_control->get(QString::fromLatin1(W) + "groupsNumber.0").toInt());
        QCOMPARE(getOutputGroup(m_handle, 102), m_control->get(obj("outputGroup", 103)).toInt());
        // the 24 V auxiliary supply
        QVERIFY(std::abs(getPsAuxVoltage(m_handle, 4) - m_control->get(obj("psAuxiliaryMeasurementVoltage", 5)).toDouble()) < 0.5);
        QCOMPARE(getPsAuxCurrent(m_handle, 4), m_control->get(obj("psAuxiliaryMeasurementCurrent", 5)).toDouble());
        QCOMPARE(getMainStatus(m_handle) & 0x80, 0x80); // mainOn is named bit 0: library bit 7
    }

    void fanSpeed()
    {
        QCOMPARE(getFanNominalSpeed(m_handle), 1500);
        QCOMPARE(setFanNominalSpeed(m_handle, 2400), 2400);
        QCOMPARE(m_control->get(QString::fromLatin1(W) + "fanNominalSpeed.0").toInt(), 2400);
        QCOMPARE(getFanNominalSpeed(m_handle), 2400);
        // refused by the agent: 0 and an error naming address, object and reason
        QCOMPARE(setFanNominalSpeed(m_handle, 500), 0);
        const QString error = QString::fromLatin1(snmpGetLastError());
        QVERIFY2(error.contains(m_sim->address()) && error.contains(QLatin1String("fanNominalSpeed.0")), qPrintable(error));
        QVERIFY2(error.contains(QLatin1String("wrongValue"), Qt::CaseInsensitive) ||
                     error.contains(QLatin1String("Value out of range"), Qt::CaseInsensitive) ||
                     error.contains(QLatin1String("wrong"), Qt::CaseInsensitive),
                 qPrintable(error));
        QCOMPARE(getFanNominalSpeed(m_handle), 2400);
        QCOMPARE(setFanNominalSpeed(m_handle, 1500), 1500);
    }

    void ipStaticAddressFirstOctetLowest()
    {
        // 127.20.30.40: a value the simulator records, never an address anybody contacts
        const int value = 127 | (20 << 8) | (30 << 16) | (40 << 24);
        QCOMPARE(setIpStaticAddress(m_handle, value), value);
        QCOMPARE(m_control->get(QString::fromLatin1(W) + "ipStaticAddress.0").toByteArray(), QByteArray("\x7f\x14\x1e\x28", 4));
        QCOMPARE(getIpStaticAddress(m_handle), value);
        QCOMPARE(setIpStaticAddress(m_handle, 0), 0); // 0.0.0.0: DHCP
        QCOMPARE(getIpStaticAddress(m_handle), 0);
    }

    void groupsSwitches()
    {
        QCOMPARE(setHighVoltageGroupsSwitch(m_handle, 5), 5);
        QCOMPARE(getHighVoltageGroupsSwitch(m_handle), 5);
        QCOMPARE(m_control->get(QString::fromLatin1(W) + "highVoltageGroupsSwitch.0").toInt(), 5);
        QCOMPARE(setHighVoltageGroupsSwitch(m_handle, 7), 7);
        QCOMPARE(getHighVoltageGroupsSwitch(m_handle), 7);
        QCOMPARE(setLowVoltageGroupsSwitch(m_handle, 4), 4);
        QCOMPARE(getLowVoltageGroupsSwitch(m_handle), 4);
    }

    // ------------------------------------------------------------ modules

    void moduleDescriptions_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("expected");
        QTest::newRow("slot 0") << 0 << "vexa, T03X0, 8, 5100101, 05.21";
        QTest::newRow("slot 1") << 1 << "vexa, T08X0, 32, 5100202, 05.30";
        QTest::newRow("slot 2 empty") << 2 << "";
        QTest::newRow("slot 3 empty") << 3 << "";
        QTest::newRow("slot 4") << 4 << "vexa, T01X0, 4, 5100404, 05.12";
        QTest::newRow("slot 9 empty") << 9 << "";
    }
    void moduleDescriptions()
    {
        QFETCH(int, slot);
        QFETCH(QString, expected);
        const char *text = getModuleDescription(m_handle, slot);
        QVERIFY(text);
        QCOMPARE(QString::fromLatin1(text), expected);
    }

    void moduleValues()
    {
        QVERIFY(std::abs(getModuleSupply24(m_handle, 0) - m_control->get(obj("moduleSupply24", 1)).toDouble()) < 0.5);
        QVERIFY(std::abs(getModuleSupply5(m_handle, 0) - m_control->get(obj("moduleSupply5", 1)).toDouble()) < 0.5);
        QVERIFY(getModuleSupply24(m_handle, 0) > 20.0);
        for (int sensor = 0; sensor < 4; ++sensor) {
            const double t = getModuleAuxTemperature(m_handle, 1, sensor);
            QVERIFY2(t > 0.0 && t < 100.0, qPrintable(QString::number(t)));
        }
        QCOMPARE(getModuleAuxTemperature(m_handle, 1, 4), 0.0); // no fifth sensor
        QCOMPARE(getModuleHardwareLimitVoltage(m_handle, 0), m_control->get(obj("moduleHardwareLimitVoltage", 1)).toDouble());
        QCOMPARE(getModuleHardwareLimitCurrent(m_handle, 0), m_control->get(obj("moduleHardwareLimitCurrent", 1)).toDouble());

        QCOMPARE(setModuleRampSpeedVoltage(m_handle, 0, 12.5), 12.5);
        QCOMPARE(m_control->get(obj("moduleRampSpeedVoltage", 1)).toDouble(), 12.5);
        QCOMPARE(getModuleRampSpeedVoltage(m_handle, 0), 12.5);
        QCOMPARE(setModuleRampSpeedCurrent(m_handle, 4, 25.0), 25.0);
        QCOMPARE(getModuleRampSpeedCurrent(m_handle, 4), 25.0);
        QCOMPARE(getModuleRampSpeedVoltage(m_handle, 4), m_control->get(obj("moduleRampSpeedVoltage", 5)).toDouble());

        // an empty slot: nothing there, and the call says so
        QCOMPARE(getModuleSupply24(m_handle, 2), 0.0);
        QVERIFY2(QString::fromLatin1(snmpGetLastError()).contains(QLatin1String("moduleSupply24.3")), snmpGetLastError());
        QCOMPARE(getModuleStatus(m_handle, 2), 0);
        QCOMPARE(getModuleStatus(m_handle, 10), 0); // no slot 10
    }

    void moduleStatusAndEvents()
    {
        const int status = getModuleStatus(m_handle, 0);
        const QByteArray octets = m_control->get(obj("moduleStatus", 1)).toByteArray();
        QVERIFY(octets.size() >= 2);
        QCOMPARE(status, int(uchar(octets[0])) | int(uchar(octets[1])) << 8);
        // a healthy module: module good (11), supply good (10), temperature good (9)
        QCOMPARE(status & (1 << 11 | 1 << 10 | 1 << 9), 1 << 11 | 1 << 10 | 1 << 9);
        const int events = getModuleEventStatus(m_handle, 0);
        const QByteArray eventOctets = m_control->get(obj("moduleEventStatus", 1)).toByteArray();
        QCOMPARE(events, int(uchar(eventOctets[0])) | int(eventOctets.size() > 1 ? uchar(eventOctets.at(1)) : 0) << 8);
        QCOMPARE(setModuleDoClear(m_handle, 0), 1);
        QCOMPARE(getModuleEventStatus(m_handle, 0), 0);
    }

    // ------------------------------------------------------------ single channel

    void channelDoubles_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<double>("value");
        QTest::newRow("voltage") << "outputVoltage" << 1234.5;
        QTest::newRow("current") << "outputCurrent" << 0.0015;
        QTest::newRow("rise rate") << "outputVoltageRiseRate" << 50.0;
        QTest::newRow("fall rate") << "outputVoltageFallRate" << 75.0;
        QTest::newRow("current rise rate") << "outputCurrentRiseRate" << 0.001;
        QTest::newRow("current fall rate") << "outputCurrentFallRate" << 0.002;
        QTest::newRow("min sense") << "outputSupervisionMinSenseVoltage" << 10.0;
        QTest::newRow("max sense") << "outputSupervisionMaxSenseVoltage" << 2900.0;
        QTest::newRow("max terminal") << "outputSupervisionMaxTerminalVoltage" << 2800.0;
        QTest::newRow("max current") << "outputSupervisionMaxCurrent" << 0.0025;
    }
    void channelDoubles()
    {
        QFETCH(QString, object);
        QFETCH(double, value);
        using Get = double (*)(HSNMP, int);
        using Set = double (*)(HSNMP, int, double);
        static const QHash<QString, QPair<Get, Set>> functions{
            {"outputVoltage", {getOutputVoltage, setOutputVoltage}},
            {"outputCurrent", {getOutputCurrent, setOutputCurrent}},
            {"outputVoltageRiseRate", {getOutputRiseRate, setOutputRiseRate}},
            {"outputVoltageFallRate", {getOutputFallRate, setOutputFallRate}},
            {"outputCurrentRiseRate", {getOutputCurrentRiseRate, setOutputCurrentRiseRate}},
            {"outputCurrentFallRate", {getOutputCurrentFallRate, setOutputCurrentFallRate}},
            {"outputSupervisionMinSenseVoltage", {getOutputSupervisionMinSenseVoltage, setOutputSupervisionMinSenseVoltage}},
            {"outputSupervisionMaxSenseVoltage", {getOutputSupervisionMaxSenseVoltage, setOutputSupervisionMaxSenseVoltage}},
            {"outputSupervisionMaxTerminalVoltage",
             {getOutputSupervisionMaxTerminalVoltage, setOutputSupervisionMaxTerminalVoltage}},
            {"outputSupervisionMaxCurrent", {getOutputSupervisionMaxCurrent, setOutputSupervisionMaxCurrent}},
        };
        const auto f = functions.value(object);
        QVERIFY(f.first && f.second);
        const int channel = 3; // slot 0, channel 3: row 4
        QCOMPARE(float(f.second(m_handle, channel, value)), float(value));
        QCOMPARE(float(m_control->get(obj(object.toLatin1().constData(), 4)).toDouble()), float(value));
        QCOMPARE(float(f.first(m_handle, channel)), float(value));
        // the neighbour is untouched
        QCOMPARE(float(f.first(m_handle, channel + 1)), float(m_control->get(obj(object.toLatin1().constData(), 5)).toDouble()));
    }

    void channelReadOnlyValues()
    {
        QCOMPARE(getOutputConfigMaxTerminalVoltage(m_handle, 0), 3000.0);
        QCOMPARE(float(getOutputConfigMaxCurrent(m_handle, 0)), 0.003f);
        QCOMPARE(getOutputConfigMaxTerminalVoltage(m_handle, 131), 500.0); // slot 1, channel 31
        QCOMPARE(getOutputConfigMaxSenseVoltage(m_handle, 0), m_control->get(obj("outputConfigMaxSenseVoltage", 1)).toDouble());
        QCOMPARE(getOutputSupervisionMaxPower(m_handle, 0), m_control->get(obj("outputSupervisionMaxPower", 1)).toDouble());
        const double t = getTemperatureMeasurement(m_handle, 400);
        QVERIFY2(t > 0.0 && t < 100.0, qPrintable(QString::number(t)));
        // absent channel 8 of the 8-channel module: 0 and a message naming it
        QCOMPARE(getOutputConfigMaxTerminalVoltage(m_handle, 8), 0.0);
        QVERIFY2(QString::fromLatin1(snmpGetLastError()).contains(QLatin1String("outputConfigMaxTerminalVoltage.9")),
                 snmpGetLastError());
        QCOMPARE(getChannelStatus(m_handle, -1), 0);
    }

    void channelInts()
    {
        QCOMPARE(setOutputSupervisionBehavior(m_handle, 5, 0x1040), 0x1040);
        QCOMPARE(getOutputSupervisionBehavior(m_handle, 5), 0x1040);
        QCOMPARE(m_control->get(obj("outputSupervisionBehavior", 6)).toInt(), 0x1040);
        QCOMPARE(setOutputTripTimeMaxCurrent(m_handle, 5, 250), 250);
        QCOMPARE(getOutputTripTimeMaxCurrent(m_handle, 5), 250);
        QCOMPARE(m_control->get(obj("outputTripTimeMaxCurrent", 6)).toInt(), 250);
    }

    void switchOnRampsAndMeasures()
    {
        const int ch = 400; // slot 4, channel 0, 6 kV module
        QCOMPARE(setOutputVoltage(m_handle, ch, 500.0), 500.0);
        QCOMPARE(setModuleRampSpeedVoltage(m_handle, 4, 20.0), 20.0);
        QCOMPARE(setChannelSwitch(m_handle, ch, 1), 1);
        QCOMPARE(getChannelSwitch(m_handle, ch), 1);
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(getOutputTerminalMeasurement(m_handle, ch) - 500.0) < 10.0, 10000);
        QVERIFY((getChannelStatus(m_handle, ch) >> 7) & 1); // isON
        QVERIFY(std::abs(getOutputSenseMeasurement(m_handle, ch) - 500.0) < 10.0);
        // 500 V over 100 MOhm
        QVERIFY2(std::abs(getCurrentMeasurement(m_handle, ch) - 5e-6) < 1e-6, qPrintable(QString::number(getCurrentMeasurement(m_handle, ch))));
        QCOMPARE(setChannelSwitch(m_handle, ch, 0), 0);
        QTRY_VERIFY_WITH_TIMEOUT(getOutputTerminalMeasurement(m_handle, ch) < 5.0, 10000);
    }

    void statusEdgeCases()
    {
        // Emergency off: library bit 9 alone among the on/ramp bits.
        const int ch = 401;
        QCOMPARE(setChannelSwitch(m_handle, ch, 3), 3);
        QTRY_VERIFY_WITH_TIMEOUT((getChannelStatus(m_handle, ch) >> 9) & 1, 5000);
        int status = getChannelStatus(m_handle, ch);
        QCOMPARE((status >> 7) & 1, 0);
        QCOMPARE(setChannelSwitch(m_handle, ch, 2), 2);
        QCOMPARE(setChannelSwitch(m_handle, ch, 10), 10);
        QTRY_COMPARE_WITH_TIMEOUT((getChannelStatus(m_handle, ch) >> 9) & 1, 0, 5000);

        // Ramping down after switching off: library bit 12 alone.
        const int rampChannel = 402;
        QCOMPARE(setModuleRampSpeedVoltage(m_handle, 4, 1.0), 1.0); // 60 V/s on 6 kV
        QCOMPARE(setOutputVoltage(m_handle, rampChannel, 300.0), 300.0);
        QCOMPARE(setChannelSwitch(m_handle, rampChannel, 1), 1);
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(getOutputTerminalMeasurement(m_handle, rampChannel) - 300.0) < 10.0, 20000);
        QCOMPARE(setChannelSwitch(m_handle, rampChannel, 0), 0);
        QTRY_COMPARE_WITH_TIMEOUT(getChannelStatus(m_handle, rampChannel) & ~(1 << 22), 1 << 12, 5000);
        const SnmpIntRecord *record = getMultipleChannelStatuses(m_handle, 400, 4);
        QCOMPARE(record->count, 4);
        QCOMPARE(record->value[2] & (1 << 12 | 1 << 11 | 1 << 7), 1 << 12);
        QCOMPARE(setModuleRampSpeedVoltage(m_handle, 4, 20.0), 20.0);
    }

    void statusFromFaults()
    {
        // A forced trip (CRATESIM-MIB): library bit 2, the channel is off.
        const int tripChannel = 6; // slot 0, row 7
        QCOMPARE(setOutputVoltage(m_handle, tripChannel, 100.0), 100.0);
        QCOMPARE(setChannelSwitch(m_handle, tripChannel, 1), 1);
        QTRY_VERIFY_WITH_TIMEOUT((getChannelStatus(m_handle, tripChannel) >> 7) & 1, 5000);
        QVERIFY2(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimChannelTrip.7"), 'i', 1), qPrintable(m_control->errorString()));
        QTRY_VERIFY_WITH_TIMEOUT((getChannelStatus(m_handle, tripChannel) >> 2) & 1, 5000);
        QCOMPARE((getChannelStatus(m_handle, tripChannel) >> 7) & 1, 0);
        QCOMPARE(setChannelSwitch(m_handle, tripChannel, 10), 10); // clear events
        QTRY_COMPARE_WITH_TIMEOUT((getChannelStatus(m_handle, tripChannel) >> 2) & 1, 0, 5000);

        // The external inhibit input: library bit 6.
        const int inhibitChannel = 7; // slot 0, row 8
        QVERIFY(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimChannelInhibit.8"), 'i', 1));
        QTRY_VERIFY_WITH_TIMEOUT((getChannelStatus(m_handle, inhibitChannel) >> 6) & 1, 5000);
        QVERIFY(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimChannelInhibit.8"), 'i', 0));
        QCOMPARE(setChannelSwitch(m_handle, inhibitChannel, 10), 10);
        QTRY_COMPARE_WITH_TIMEOUT((getChannelStatus(m_handle, inhibitChannel) >> 6) & 1, 0, 5000);
    }

    // Voltage bounds: the sense voltage above its maximum is library bit 5,
    // settled and regulating at constant voltage (bit 23, third octet).
    void statusVoltageBounds()
    {
        const int ch = 403;
        QCOMPARE(setOutputVoltage(m_handle, ch, 200.0), 200.0);
        QCOMPARE(setChannelSwitch(m_handle, ch, 1), 1);
        QTRY_VERIFY_WITH_TIMEOUT((getChannelStatus(m_handle, ch) >> 23) & 1, 10000);
        QCOMPARE((getChannelStatus(m_handle, ch) >> 5) & 1, 0);
        QCOMPARE(setOutputSupervisionMaxSenseVoltage(m_handle, ch, 100.0), 100.0);
        QTRY_VERIFY_WITH_TIMEOUT((getChannelStatus(m_handle, ch) >> 5) & 1, 5000);
        const int status = getChannelStatus(m_handle, ch);
        QCOMPARE(status & (1 << 4 | 1 << 7 | 1 << 23), 1 << 7 | 1 << 23);
        QCOMPARE(setOutputSupervisionMaxSenseVoltage(m_handle, ch, 6300.0), 6300.0);
        QTRY_COMPARE_WITH_TIMEOUT((getChannelStatus(m_handle, ch) >> 5) & 1, 0, 5000);
        QCOMPARE(setChannelSwitch(m_handle, ch, 0), 0);
    }

    // Every channel status is the agent's octets read as little-endian bytes.
    void statusesAreTheAgentsOctets()
    {
        const SnmpIntRecord record = *getMultipleChannelStatuses(m_handle, 100, 32);
        QCOMPARE(record.count, 32);
        for (int ch = 0; ch < 32; ++ch) {
            const QByteArray octets = m_control->get(obj("outputStatus", 100 + ch + 1)).toByteArray();
            int expected = 0;
            for (int i = 0; i < octets.size() && i < 4; ++i)
                expected |= int(uchar(octets.at(i))) << (8 * i);
            QCOMPARE(record.value[ch], expected);
        }
    }

    // ------------------------------------------------------------ multiple channels

    void multipleReadsAreOneRequest_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("size");
        QTest::newRow("1 channel") << 0 << 1;
        QTest::newRow("8 channels") << 0 << 8;
        QTest::newRow("32 channels") << 100 << 32;
    }
    void multipleReadsAreOneRequest()
    {
        QFETCH(int, start);
        QFETCH(int, size);
        struct IntRead {
            const char *name;
            SnmpIntRecord *(*read)(HSNMP, int, int);
        };
        struct DoubleRead {
            const char *name;
            SnmpDoubleRecord *(*read)(HSNMP, int, int);
        };
        const IntRead ints[] = {{"outputStatus", getMultipleChannelStatuses},
                                {"outputSwitch", getMultipleOutputSwitches},
                                {"outputTripTimeMaxCurrent", getMultipleOutputTripTimeMaxCurrents},
                                {"outputSupervisionBehavior", getMultipleOutputSupervisionBehaviors}};
        const DoubleRead doubles[] = {{"outputVoltage", getMultipleOutputVoltages},
                                      {"outputMeasurementTerminalVoltage", getMultipleMeasurementTerminalVoltages},
                                      {"outputConfigMaxTerminalVoltage", getMultipleOutputConfigMaxTerminalVoltages},
                                      {"outputCurrent", getMultipleOutputCurrents},
                                      {"outputMeasurementCurrent", getMultipleMeasurementCurrents},
                                      {"outputConfigMaxCurrent", getMultipleOutputConfigMaxCurrents}};
        for (const IntRead &r : ints) {
            SnmpIntRecord copy{};
            QCOMPARE(requestsFor([&] { copy = *r.read(m_handle, start, size); }), 1);
            QCOMPARE(copy.count, size);
            if (QLatin1String(r.name) != QLatin1String("outputStatus")) {
                // the last value against an independent read
                const QVariant v = m_control->get(obj(r.name, start + size));
                QCOMPARE(copy.value[size - 1], int(v.toLongLong()));
            }
        }
        for (const DoubleRead &r : doubles) {
            SnmpDoubleRecord copy{};
            QCOMPARE(requestsFor([&] { copy = *r.read(m_handle, start, size); }), 1);
            QCOMPARE(copy.count, size);
            if (!QByteArray(r.name).contains("Measurement")) {
                QCOMPARE(float(copy.value[0]), float(m_control->get(obj(r.name, start + 1)).toDouble()));
                QCOMPARE(float(copy.value[size - 1]), float(m_control->get(obj(r.name, start + size)).toDouble()));
            }
        }
    }

    void multipleWritesAreOneRequest_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("size");
        QTest::newRow("1 channel") << 100 << 1;
        QTest::newRow("8 channels") << 0 << 8;
        QTest::newRow("32 channels") << 100 << 32;
    }
    void multipleWritesAreOneRequest()
    {
        QFETCH(int, start);
        QFETCH(int, size);
        SnmpDoubleRecord voltages{};
        voltages.count = size;
        for (int i = 0; i < size; ++i)
            voltages.value[i] = 10.0 + i;
        SnmpDoubleRecord answer{};
        QCOMPARE(requestsFor([&] { answer = *setMultipleOutputVoltages(m_handle, start, &voltages); }), 1);
        QVERIFY2(answer.count == size, snmpGetLastError());
        for (int i = 0; i < size; ++i)
            QCOMPARE(m_control->get(obj("outputVoltage", start + i + 1)).toDouble(), 10.0 + i);

        SnmpDoubleRecord currents{};
        currents.count = size;
        for (int i = 0; i < size; ++i)
            currents.value[i] = 0.00001 * (i + 1); // within the 1 mA of the 32-channel module
        QCOMPARE(requestsFor([&] { answer = *setMultipleOutputCurrents(m_handle, start, &currents); }), 1);
        QVERIFY2(answer.count == size, snmpGetLastError());
        QCOMPARE(float(m_control->get(obj("outputCurrent", start + size)).toDouble()), float(0.00001 * size));

        SnmpIntRecord ints{};
        ints.count = size;
        for (int i = 0; i < size; ++i)
            ints.value[i] = 100 + 10 * i;
        SnmpIntRecord intAnswer{};
        QCOMPARE(requestsFor([&] { intAnswer = *setMultipleOutputTripTimeMaxCurrents(m_handle, start, &ints); }), 1);
        QCOMPARE(intAnswer.count, size);
        QCOMPARE(m_control->get(obj("outputTripTimeMaxCurrent", start + size)).toInt(), 100 + 10 * (size - 1));

        for (int i = 0; i < size; ++i)
            ints.value[i] = (i % 4) << 6;
        QCOMPARE(requestsFor([&] { intAnswer = *setMultipleOutputSupervisionBehaviors(m_handle, start, &ints); }), 1);
        QCOMPARE(intAnswer.count, size);
        QCOMPARE(m_control->get(obj("outputSupervisionBehavior", start + size)).toInt(), ((size - 1) % 4) << 6);

        for (int i = 0; i < size; ++i)
            ints.value[i] = 0;
        QCOMPARE(requestsFor([&] { intAnswer = *setMultipleOutputSwitches(m_handle, start, &ints); }), 1);
        QCOMPARE(intAnswer.count, size);
    }

    void multipleWriteOfTheLibrarysOwnRecord()
    {
        // a caller may change the record a read handed out and write it back
        SnmpDoubleRecord *voltages = getMultipleOutputVoltages(m_handle, 0, 8);
        QVERIFY2(voltages->count == 8, snmpGetLastError());
        for (int i = 0; i < 8; ++i)
            voltages->value[i] = 30.0 + i;
        const SnmpDoubleRecord *answer = nullptr;
        QCOMPARE(requestsFor([&] { answer = setMultipleOutputVoltages(m_handle, 0, voltages); }), 1);
        QVERIFY2(answer->count == 8, snmpGetLastError());
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(answer->value[i], 30.0 + i);
            QCOMPARE(m_control->get(obj("outputVoltage", i + 1)).toDouble(), 30.0 + i);
        }

        SnmpIntRecord *times = getMultipleOutputTripTimeMaxCurrents(m_handle, 100, 32);
        QVERIFY2(times->count == 32, snmpGetLastError());
        for (int i = 0; i < 32; ++i)
            times->value[i] = 200 + i;
        const SnmpIntRecord *intAnswer = setMultipleOutputTripTimeMaxCurrents(m_handle, 100, times);
        QCOMPARE(intAnswer->count, 32);
        QCOMPARE(m_control->get(obj("outputTripTimeMaxCurrent", 132)).toInt(), 231);
    }

    void multipleWriteRefusedChangesNothing()
    {
        // one bad value (a voltage above nominal) refuses the whole request
        SnmpDoubleRecord voltages{};
        voltages.count = 8;
        for (int i = 0; i < 8; ++i)
            voltages.value[i] = 20.0;
        voltages.value[5] = 1.0e6;
        const double before = m_control->get(obj("outputVoltage", 1)).toDouble();
        const SnmpDoubleRecord *answer = setMultipleOutputVoltages(m_handle, 0, &voltages);
        QCOMPARE(answer->count, 0);
        const QString error = QString::fromLatin1(snmpGetLastError());
        QVERIFY2(error.contains(QLatin1String("outputVoltage.6")), qPrintable(error));
        QCOMPARE(m_control->get(obj("outputVoltage", 1)).toDouble(), before);
    }

    void nonFiniteValuesAreNeverSent()
    {
        // NaN or infinity typed or computed anywhere must not reach a power supply.
        const double before = m_control->get(obj("outputVoltage", 3)).toDouble();
        for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
            QCOMPARE(requestsFor([&] { setOutputVoltage(m_handle, 2, bad); }), 0);
            QVERIFY(QString::fromLatin1(snmpGetLastError()).contains(QLatin1String("not a finite number")));
            SnmpDoubleRecord voltages{};
            voltages.count = 4;
            voltages.value[2] = bad;
            const SnmpDoubleRecord *answer = nullptr;
            QCOMPARE(requestsFor([&] { answer = setMultipleOutputVoltages(m_handle, 0, &voltages); }), 0);
            QCOMPARE(answer->count, 0);
        }
        QCOMPARE(m_control->get(obj("outputVoltage", 3)).toDouble(), before);
    }

    void multipleReadOfAbsentChannels()
    {
        // 10 channels asked from the 8-channel module: the 8 that exist arrive
        const SnmpDoubleRecord *r = getMultipleOutputConfigMaxTerminalVoltages(m_handle, 0, 10);
        QCOMPARE(r->count, 8);
        QCOMPARE(r->value[7], 3000.0);
        // an empty slot: nothing arrives, the record is still there
        const SnmpIntRecord *empty = getMultipleChannelStatuses(m_handle, 200, 8);
        QVERIFY(empty);
        QCOMPARE(empty->count, 0);
        // sizes beyond what a record holds are cut to its capacity
        QCOMPARE(getMultipleOutputSwitches(m_handle, 100, 0)->count, 0);
        QCOMPARE(getMultipleOutputSwitches(m_handle, 100, -5)->count, 0);
        QCOMPARE(setMultipleOutputSwitches(m_handle, 100, nullptr)->count, 0);
    }

    // ------------------------------------------------------------ handles

    void invalidHandles()
    {
        int dummy = 0;
        const HSNMP bogus = &dummy;
        for (HSNMP h : {HSNMP(nullptr), bogus}) {
            QCOMPARE(getMainSwitch(h), 0);
            QVERIFY(getPsSerialNumber(h));
            QCOMPARE(QByteArray(getPsSerialNumber(h)), QByteArray());
            QVERIFY(QByteArray(snmpGetLastError()).contains("handle"));
            QCOMPARE(QByteArray(getModuleDescription(h, 0)), QByteArray());
            QCOMPARE(getOutputVoltage(h, 0), 0.0);
            const SnmpDoubleRecord *d = getMultipleOutputVoltages(h, 0, 8);
            QVERIFY(d);
            QCOMPARE(d->count, 0);
            const SnmpIntRecord *i = getMultipleChannelStatuses(h, 0, 8);
            QVERIFY(i);
            QCOMPARE(i->count, 0);
            snmpClose(h); // refused, no crash
        }
        QCOMPARE(snmpOpen(nullptr), HSNMP(nullptr));
        QCOMPARE(snmpOpen(""), HSNMP(nullptr));
        QCOMPARE(snmpOpen("crate.example.org"), HSNMP(nullptr)); // no name lookups
        QVERIFY(QByteArray(snmpGetLastError()).contains("crate.example.org"));
        QCOMPARE(snmpOpen("127.0.0.1:99999"), HSNMP(nullptr));
        HSNMP withPort = snmpOpen((m_sim->address() + QStringLiteral(":161")).toLatin1().constData());
        QVERIFY(withPort);
        QCOMPARE(QByteArray(getPsSerialNumber(withPort)), QByteArray("PS-0815"));
        snmpClose(withPort);
        QCOMPARE(getMainSwitch(withPort), 0); // closed: refused
    }

    void textsStayValidUntilNextCallOnTheSameHandle()
    {
        HSNMP other = snmpOpen(m_sim->address().toLatin1().constData());
        QVERIFY(other);
        const char *serial = getPsSerialNumber(m_handle);
        const char *description = getModuleDescription(other, 0); // another handle
        QCOMPARE(QByteArray(serial), QByteArray("PS-0815"));
        QVERIFY(QByteArray(description).startsWith("vexa, T03X0"));
        snmpClose(other);
    }

    void handlesInParallelThreads()
    {
        std::atomic<int> failures{0};
        std::atomic<int> reads{0};
        auto work = [&](int slot, int channels) {
            HSNMP h = snmpOpen(m_sim->address().toLatin1().constData());
            if (!h) {
                ++failures;
                return;
            }
            for (int i = 0; i < 25; ++i) {
                if (getMultipleOutputConfigMaxTerminalVoltages(h, slot * 100, channels)->count != channels)
                    ++failures;
                if (QByteArray(getModuleDescription(h, slot)).isEmpty())
                    ++failures;
                ++reads;
            }
            snmpClose(h);
        };
        std::unique_ptr<QThread> a(QThread::create(work, 0, 8));
        std::unique_ptr<QThread> b(QThread::create(work, 1, 32));
        std::unique_ptr<QThread> c(QThread::create(work, 4, 4));
        a->start();
        b->start();
        c->start();
        QVERIFY(a->wait(60000) && b->wait(60000) && c->wait(60000));
        QCOMPARE(failures.load(), 0);
        QCOMPARE(reads.load(), 75);
    }

    // A module that stops answering vanishes from the agent: empty description,
    // nothing arrives, and it is back once it answers again.
    void moduleStopsAnswering()
    {
        QVERIFY(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimModuleResponding.5"), 'i', 0));
        QCOMPARE(QByteArray(getModuleDescription(m_handle, 4)), QByteArray());
        const SnmpDoubleRecord *r = getMultipleOutputConfigMaxTerminalVoltages(m_handle, 400, 4);
        QVERIFY(r);
        QCOMPARE(r->count, 0);
        QVERIFY2(QByteArray(snmpGetLastError()).contains("outputConfigMaxTerminalVoltage.401"), snmpGetLastError());
        QCOMPARE(getModuleStatus(m_handle, 4), 0);
        // the other modules are unaffected
        QCOMPARE(getMultipleOutputConfigMaxTerminalVoltages(m_handle, 0, 8)->count, 8);
        QVERIFY(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimModuleResponding.5"), 'i', 1));
        QCOMPARE(QByteArray(getModuleDescription(m_handle, 4)), QByteArray("vexa, T01X0, 4, 5100404, 05.12"));
        QCOMPARE(getMultipleOutputConfigMaxTerminalVoltages(m_handle, 400, 4)->count, 4);
    }

    // ------------------------------------------------------------ main switch, agent gone

    void mainSwitchOff()
    {
        QCOMPARE(setMainSwitch(m_handle, 0), 0);
        QCOMPARE(getMainSwitch(m_handle), 0);
        QCOMPARE(m_control->get(QString::fromLatin1(W) + "sysMainSwitch.0").toInt(), 0);
        // the modules are unpowered: the simulator reports empty descriptions
        for (int slot = 0; slot < 10; ++slot) {
            const QByteArray expected = m_control->get(obj("moduleDescription", slot + 1)).toByteArray();
            QCOMPARE(QByteArray(getModuleDescription(m_handle, slot)), expected);
            QCOMPARE(QByteArray(getModuleDescription(m_handle, slot)), QByteArray());
        }
        QVERIFY(!QByteArray(getPsSerialNumber(m_handle)).isEmpty()); // the controller still answers
        QCOMPARE(setMainSwitch(m_handle, 1), 1);
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(getModuleDescription(m_handle, 0)),
                                  QByteArray("vexa, T03X0, 8, 5100101, 05.21"), 10000);
    }

    void agentKilledAndBack()
    {
        QCOMPARE(QByteArray(getPsSerialNumber(m_handle)), QByteArray("PS-0815"));
        m_sim->kill();
        // default time-out 300 ms and 2 retries: three tries at most
        const qint64 limit = 3 * 300 + 700; // with room for a busy machine
        QElapsedTimer timer;

        timer.start();
        QCOMPARE(QByteArray(getPsSerialNumber(m_handle)), QByteArray());
        QVERIFY2(timer.elapsed() < limit, qPrintable(QString::number(timer.elapsed())));
        const QString error = QString::fromLatin1(snmpGetLastError());
        QVERIFY2(error.contains(m_sim->address()) && error.contains(QLatin1String("psSerialNumber.0")), qPrintable(error));

        timer.restart();
        const SnmpDoubleRecord *r = getMultipleOutputVoltages(m_handle, 100, 32);
        QVERIFY(r);
        QCOMPARE(r->count, 0);
        QVERIFY2(timer.elapsed() < limit, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(QByteArray(snmpGetLastError()).contains("outputVoltage.101"));

        timer.restart();
        QCOMPARE(setOutputVoltage(m_handle, 0, 100.0), 0.0);
        QCOMPARE(getMainSwitch(m_handle), 0);
        QCOMPARE(QByteArray(getModuleDescription(m_handle, 0)), QByteArray());
        QVERIFY2(timer.elapsed() < 3 * limit, qPrintable(QString::number(timer.elapsed())));

        // the same handle works again once the agent is back
        QVERIFY2(m_sim->restart(), qPrintable(m_sim->errorString()));
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(getPsSerialNumber(m_handle)), QByteArray("PS-0815"), 10000);
        QCOMPARE(getMultipleOutputConfigMaxTerminalVoltages(m_handle, 100, 32)->count, 32);
        m_control = std::make_unique<SimControl>(m_sim->peer());
    }

    // snmpCleanup closes every handle; a new start-up works like the first.
    void cleanupAndStartAgain()
    {
        HSNMP extra = snmpOpen(m_sim->address().toLatin1().constData());
        QVERIFY(extra);
        snmpCleanup();
        QCOMPARE(QByteArray(getPsSerialNumber(m_handle)), QByteArray());
        QCOMPARE(QByteArray(getPsSerialNumber(extra)), QByteArray());
        QCOMPARE(snmpOpen(m_sim->address().toLatin1().constData()), HSNMP(nullptr));
        QVERIFY(QByteArray(snmpGetLastError()).contains("snmpInit"));
        QCOMPARE(snmpInit(), 1);
        m_handle = snmpOpen(m_sim->address().toLatin1().constData());
        QVERIFY(m_handle);
        QTRY_COMPARE_WITH_TIMEOUT(QByteArray(getPsSerialNumber(m_handle)), QByteArray("PS-0815"), 5000);
        QCOMPARE(getMultipleOutputConfigMaxTerminalVoltages(m_handle, 0, 8)->count, 8);
    }
};

VEXA_TEST_GUILESS_MAIN(TestAccessLib)
#include "tst_accesslib.moc"
