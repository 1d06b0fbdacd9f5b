// What BaseModule defines for every implementation: device-class tables in both
// directions, unit texts and codes, conversions with single-precision factors,
// formatting with the locale, and the derived capabilities. Run on an SnmpModule
// over the in-process fake, which inherits all of it unchanged.

#include "fakewienerlibrary.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QLocale>
#include <QtTest>

#include <memory>

namespace {
const QString micro = QString(QChar(0xB5)) + QLatin1Char('A');
}

class TestBaseModule : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SnmpController> m_controller;

    std::unique_ptr<SnmpModule> module(const QByteArray &type = "T03X0")
    {
        FakeWiener::state().moduleDescriptions[0] = "vexa, " + type + ", 4, 100, 1.0";
        return std::make_unique<SnmpModule>(m_controller.get(), 0);
    }

private slots:
    void initTestCase()
    {
        m_controller = std::make_unique<SnmpController>(FakeWiener::functions());
        m_controller->connectTo(QStringLiteral("127.0.0.2"));
    }

    void cleanupTestCase() { m_controller.reset(); }

    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void deviceClassTable_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("deviceClass");
        const QList<QPair<const char *, int>> table = {
            {"T13X0", 20}, {"T15X0", 21}, {"T16X0", 21}, {"T18X0R", 22}, {"T19X0R", 23}, {"T01X0", 24},
            {"T02X0", 25}, {"T03X0", 26}, {"T04X0", 27}, {"T05X0", 28},  {"T21X0", 29},  {"T06X0", 30},
            {"T07X0", 31}, {"T08X0", 32}, {"T09X0", 35}, {"T10X0", 36},  {"T11X0", 37},  {"T22X0", 38},
            {"T12X0", 39}, {"T23R", 40},  {"T24R", 41},  {"T20X0R", 60}, {"T17X0R", 61}, {"T14X0", 70},
            {"T25X0", 90}};
        for (const auto &entry : table)
            QTest::newRow(entry.first) << QString::fromLatin1(entry.first) << entry.second;
        QTest::newRow("unknown") << "T26X0" << -1;
        QTest::newRow("lower case") << "t03x0" << -1;
        QTest::newRow("trailing blank") << "T03X0 " << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void deviceClassTable()
    {
        QFETCH(QString, type);
        QFETCH(int, deviceClass);
        QCOMPARE(BaseModule::deviceClassForTypeCode(type), deviceClass);
        auto m = module(type.toLatin1());
        QCOMPARE(m->deviceClass(), deviceClass);
        m->setDeviceClass(QStringLiteral("T25X0"));
        QCOMPARE(m->deviceClass(), 90);
        m->setDeviceClass(type);
        QCOMPARE(m->deviceClass(), deviceClass);
    }

    void reverseTable_data()
    {
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<QString>("type");
        const QList<QPair<int, const char *>> table = {
            {20, "T13X0"}, {21, "T15X0"}, {22, "T18X0R"}, {23, "T19X0R"}, {24, "T01X0"}, {25, "T02X0"},
            {26, "T03X0"}, {27, "T04X0"}, {28, "T05X0"},  {29, "T21X0"},  {30, "T06X0"}, {31, "T07X0"},
            {32, "T08X0"}, {35, "T09X0"}, {36, "T10X0"},  {37, "T11X0"},  {38, "T22X0"}, {39, "T12X0"},
            {40, "T23R"},  {41, "T24R"},  {60, "T20X0R"}, {61, "T17X0R"}, {70, "T14X0"}, {90, "T25X0"}};
        for (const auto &entry : table)
            QTest::newRow(entry.second) << entry.first << QString::fromLatin1(entry.second);
        QTest::newRow("unknown 33") << 33 << "Device Class 33";
        QTest::newRow("unknown -1") << -1 << "Device Class -1";
        QTest::newRow("zero sets nothing") << 0 << "";
    }

    void reverseTable()
    {
        QFETCH(int, deviceClass);
        QFETCH(QString, type);
        // Only a module without a type code takes one from a class number.
        auto empty = module("");
        QCOMPARE(empty->firmwareName(), QString());
        empty->setFirmwareName(deviceClass);
        QCOMPARE(empty->firmwareName(), type);
        auto typed = module("T03X0");
        typed->setFirmwareName(deviceClass);
        QCOMPARE(typed->firmwareName(), QStringLiteral("T03X0"));
    }

    void capabilities_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("currentControl");
        QTest::addColumn<bool>("delayedTrip");
        QTest::addColumn<float>("maxRamp");
        QTest::newRow("class 26") << QByteArray("T03X0") << true << true << 100.0f;
        QTest::newRow("class 21") << QByteArray("T16X0") << false << false << 100.0f;
        QTest::newRow("class 28") << QByteArray("T05X0") << false << true << 100.0f;
        QTest::newRow("class 29") << QByteArray("T21X0") << false << false << 100.0f;
        QTest::newRow("class 60") << QByteArray("T20X0R") << true << true << 1000.0f;
        QTest::newRow("class 61") << QByteArray("T17X0R") << true << true << 100.0f;
        QTest::newRow("unknown") << QByteArray("T99") << true << true << 100.0f;
    }

    void capabilities()
    {
        QFETCH(QByteArray, type);
        auto m = module(type);
        QTEST(m->currentControl(), "currentControl");
        QTEST(m->isDelayedTripCapable(), "delayedTrip");
        QTEST(m->maximumVoltageRampSpeed(), "maxRamp");
    }

    void unitTexts()
    {
        auto m = module();
        const QList<QPair<QString, QString>> voltage = {
            {"V", "V"}, {"kV", "kV"}, {"%", "%"}, {"Exp", "Exp"}, {"mV", "V"}, {"KV", "V"}, {"", "V"}};
        for (const auto &pair : voltage) {
            m->setVoltageUnit(pair.first);
            QCOMPARE(m->voltageUnit(7), pair.second);
        }
        const QList<QPair<QString, QString>> current = {{"nA", "nA"}, {"uA", micro},  {micro, micro},
                                                        {"mA", "mA"}, {"A", "A"},     {"%", "%"},
                                                        {"Exp", "Exp"}, {"kA", "A"},  {"UA", "A"}};
        for (const auto &pair : current) {
            m->setCurrentUnit(pair.first);
            QCOMPARE(m->currentUnit(3), pair.second);
            m->setLowCurrentUnit(pair.first);
            QCOMPARE(m->lowCurrentUnit(3), pair.second);
        }
        m->setCurrentUnit(QStringLiteral("uA"));
        QCOMPARE(m->currentUnitCode(), int(BaseModule::CurrentUA));
        QCOMPARE(BaseModule::voltageUnitText(2), QStringLiteral("%"));
        QCOMPARE(BaseModule::currentUnitText(3), QStringLiteral("A"));
        QCOMPARE(BaseModule::currentUnitText(9), QStringLiteral("A"));
    }

    void precisions()
    {
        auto m = module();
        m->setVoltagePrecision(3);
        m->setCurrentPrecision(5);
        m->setLowCurrentPrecision(7);
        QCOMPARE(m->voltagePrecision(), 3);
        QCOMPARE(m->currentPrecision(), 5);
        QCOMPARE(m->lowCurrentPrecision(), 7);
    }

    void voltageConversion_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<float>("user");
        QTest::addColumn<float>("si");
        QTest::newRow("V") << "V" << 1234.5f << 1234.5f;
        QTest::newRow("Exp") << "Exp" << 1234.5f << 1234.5f;
        QTest::newRow("kV") << "kV" << 2.5f << 2500.0f;
        QTest::newRow("%") << "%" << 1.0f << 83886.0703125f;
        QTest::newRow("% half") << "%" << 0.5f << 41943.03515625f;
    }

    void voltageConversion()
    {
        QFETCH(QString, unit);
        QFETCH(float, user);
        QFETCH(float, si);
        auto m = module();
        m->setVoltageUnit(unit);
        QCOMPARE(m->userVoltageToSiVoltage(user), si);
        // Back again within the precision of the single-precision factors.
        QVERIFY(qAbs(m->siVoltageToUserVoltage(si) - user) <= 2e-6f * qMax(1.0f, user));
    }

    void percentFactorsAreTheSinglePrecisionOnes()
    {
        auto m = module();
        m->setVoltageUnit(QStringLiteral("%"));
        // 100 V is about 0.00119209 % of the module's scale (100 * 100 / 2^23).
        const float user = m->siVoltageToUserVoltage(100.0f);
        QCOMPARE(user, float(100.0 * double(1.1920930774067529e-5f)));
        QVERIFY(qAbs(user - 0.00119209f) < 1e-8f);
        // The factor is 83886.0703125, not 2^23 / 100 = 83886.08.
        QCOMPARE(double(m->userVoltageToSiVoltage(100.0f)), double(float(100.0 * 83886.0703125)));
        QVERIFY(m->userVoltageToSiVoltage(100.0f) != float(100.0 * 83886.08));
    }

    void currentConversion_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<float>("user");
        QTest::addColumn<double>("factor"); // user to SI, single-precision value
        QTest::newRow("nA") << "nA" << 250.0f << double(1e-9f);
        QTest::newRow("uA") << "uA" << 3.5f << double(1e-6f);
        QTest::newRow("mA") << "mA" << 1.5f << double(0.001f);
        QTest::newRow("A") << "A" << 0.25f << 1.0;
        QTest::newRow("Exp") << "Exp" << 0.25f << 1.0;
        QTest::newRow("%") << "%" << 2.0f << 83886.0703125;
    }

    void currentConversion()
    {
        QFETCH(QString, unit);
        QFETCH(float, user);
        QFETCH(double, factor);
        auto m = module();
        m->setCurrentUnit(unit);
        m->setLowCurrentUnit(QStringLiteral("A"));
        QCOMPARE(m->userCurrentToSiCurrent(user), float(double(user) * factor));
        const float si = m->userCurrentToSiCurrent(user);
        QVERIFY(qAbs(m->siCurrentToUserCurrent(si) - user) <= 1e-5f * qMax(1.0f, user));
        // The low-range conversion uses its own unit.
        QCOMPARE(m->siCurrentToLowUserCurrent(si), si);
        m->setLowCurrentUnit(unit);
        QCOMPARE(m->siCurrentToLowUserCurrent(si), m->siCurrentToUserCurrent(si));
    }

    void formatting_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("voltageUnit");
        QTest::addColumn<int>("voltagePrecision");
        QTest::addColumn<double>("volts");
        QTest::addColumn<QString>("voltageText");
        QTest::addColumn<QString>("voltageUnitText");
        const QLocale c = QLocale::c();
        const QLocale de(QLocale::German, QLocale::Germany);
        const QLocale en(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("kV C") << c << "kV" << 1 << 2500.0 << "2.5" << "2.5 kV";
        QTest::newRow("kV de") << de << "kV" << 1 << 2500.0 << "2,5" << "2,5 kV";
        QTest::newRow("V en groups") << en << "V" << 1 << 12345.64 << "12,345.6" << "12,345.6 V";
        QTest::newRow("V de groups") << de << "V" << 2 << 12345.6 << "12.345,60" << "12.345,60 V";
        QTest::newRow("Exp C") << c << "Exp" << 2 << 1234.5 << "1.23E+03" << "1.23E+03 Exp";
        QTest::newRow("Exp de") << de << "Exp" << 3 << 0.5 << "5,000E-01" << "5,000E-01 Exp";
        QTest::newRow("% C") << c << "%" << 4 << 83886.0703125 << "1.0000" << "1.0000 %";
        QTest::newRow("negative") << c << "V" << 0 << -1500.4 << "-1500" << "-1500 V";
    }

    void formatting()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, voltageUnit);
        QFETCH(int, voltagePrecision);
        QFETCH(double, volts);
        QLocale::setDefault(locale);
        auto m = module();
        m->setVoltageUnit(voltageUnit);
        m->setVoltagePrecision(voltagePrecision);
        QTEST(m->formatVoltage(volts), "voltageText");
        QTEST(m->formatVoltageUnit(volts), "voltageUnitText");
    }

    void currentFormatting()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        auto m = module();
        m->setCurrentUnit(QStringLiteral("mA"));
        m->setCurrentPrecision(3);
        m->setLowCurrentUnit(QStringLiteral("uA"));
        m->setLowCurrentPrecision(4);
        QCOMPARE(m->formatCurrent(0.0015), QStringLiteral("1,500"));
        QCOMPARE(m->formatLowCurrent(1.5e-6), QStringLiteral("1,5000"));
        QCOMPARE(m->formatCurrentUnit(0.0015), QStringLiteral("1,500 mA"));
        QCOMPARE(m->formatCurrentUnit(1.5e-6, true), QStringLiteral("1,5000 ") + micro);
        m->setCurrentUnit(QStringLiteral("Exp"));
        m->setCurrentPrecision(1);
        QCOMPARE(m->formatCurrent(0.0015), QStringLiteral("1,5E-03"));
        m->setCurrentUnit(QStringLiteral("nA"));
        m->setCurrentPrecision(0);
        QCOMPARE(m->formatCurrent(2.5e-6), QStringLiteral("2.500"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(m->formatCurrentUnit(2.5e-6), QStringLiteral("2500 nA"));
    }

    void channelMask()
    {
        QCOMPARE(BaseModule::channelMask({0, 3}), quint64(0x9));
        QCOMPARE(BaseModule::channelMask({63}), quint64(1) << 63);
        QCOMPARE(BaseModule::channelMask({64, -1, 100}), quint64(0));
        QCOMPARE(BaseModule::channelMask({2, 2}), quint64(0x4));
    }

    void connectionState()
    {
        auto m = module();
        QCOMPARE(m->connectionState(), ModuleConnectionState::Unknown);
        m->setConnectionState(ModuleConnectionState::NotConnected);
        QCOMPARE(m->connectionState(), ModuleConnectionState::NotConnected);
    }

    void defaults()
    {
        auto m = module();
        QCOMPARE(m->baseAddress(), quint16(0));
        m->setBaseAddress(5);
        QCOMPARE(m->baseAddress(), quint16(0));
        QCOMPARE(int(m->factoryMode()), 0);
        m->setFactoryMode(FactoryModeOn);
        QCOMPARE(int(m->factoryMode()), 0);
        QCOMPARE(m->factoryInternalPositiveOpv(), 0.0f);
        QCOMPARE(m->factoryInternalNegativeOpv(), 0.0f);
        QVERIFY(!m->useControllerUnits());
        m->setUseControllerUnits(true);
        QVERIFY(!m->useControllerUnits());
    }
};

VEXA_TEST_GUILESS_MAIN(TestBaseModule)
#include "tst_basemodule.moc"
