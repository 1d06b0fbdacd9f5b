// SnmpModule against the in-process fake of the access library: description
// parsing, bulk reads and caches, event latching, switch mapping, supervision
// behaviour, measurement modules, group operations and unit conversion on the
// way out. Every case pins the exact library calls.

#include "fakewienerlibrary.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
constexpr int LibOn = 1 << 7;
constexpr int LibEinh = 1 << 6;
constexpr int LibClim = 1 << 20;
constexpr int LibVlim = 1 << 3;
constexpr int LibCv = 1 << 23;
} // namespace

class TestSnmpModule : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SnmpController> m_controller;

    // A module of `channels` channels in `slot`; the calls of its construction are dropped.
    std::unique_ptr<SnmpModule> module(int slot = 1, const QByteArray &type = "T03X0", int channels = 8)
    {
        FakeWiener::state().moduleDescriptions[slot] =
            "vexa, " + type + ", " + QByteArray::number(channels) + ", " + QByteArray::number(5000 + slot) +
            ", 2.07";
        auto m = std::make_unique<SnmpModule>(m_controller.get(), slot);
        FakeWiener::clearCalls();
        return m;
    }

private slots:
    void init()
    {
        FakeWiener::reset();
        m_controller = std::make_unique<SnmpController>(FakeWiener::functions());
        QVERIFY(m_controller->isBound());
        m_controller->connectTo(QStringLiteral("127.0.0.2"));
        FakeWiener::clearCalls();
    }

    void cleanup() { m_controller.reset(); }

    // ----- description -----

    void description_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("serial");
        QTest::addColumn<QString>("release");
        QTest::addColumn<int>("deviceClass");
        QTest::newRow("four parts") << QByteArray("vexa, T03X0, 08, 4021") << "vexa" << "T03X0" << 8 << 4021
                                    << "n/a" << 26;
        QTest::newRow("five parts") << QByteArray("vexa, T25X0, 4, 77, 3.14.2") << "vexa" << "T25X0" << 4 << 77
                                    << "3.14.2" << 90;
        QTest::newRow("three parts") << QByteArray("iseg, T20X0R, 16") << "iseg" << "T20X0R" << 16 << 0 << "n/a"
                                     << 60;
        QTest::newRow("two parts") << QByteArray("vexa, T03X0") << "" << "" << 0 << 0 << "n/a" << -1;
        QTest::newRow("no blank after comma") << QByteArray("vexa,T03X0,8,1") << "" << "" << 0 << 0 << "n/a"
                                              << -1;
        QTest::newRow("unknown type") << QByteArray("vexa, T26X0, 12, 5") << "vexa" << "T26X0" << 12 << 5
                                      << "n/a" << -1;
        QTest::newRow("numbers that do not parse") << QByteArray("vexa, T01X0, many, none, x") << "vexa"
                                                   << "T01X0" << 0 << 0 << "x" << 24;
        QTest::newRow("empty parts kept") << QByteArray("vexa, , 4, , ") << "vexa" << "" << 4 << 0 << "" << -1;
        QTest::newRow("more channels than a slot holds") << QByteArray("vexa, T03X0, 250, 1") << "vexa" << "T03X0"
                                                         << 100 << 1 << "n/a" << 26;
        QTest::newRow("negative channels") << QByteArray("vexa, T03X0, -4, 1") << "vexa" << "T03X0" << 0 << 1
                                           << "n/a" << 26;
        QTest::newRow("six parts") << QByteArray("vexa, T13X0, 2, 9, 1.0, extra") << "vexa" << "T13X0" << 2 << 9
                                   << "1.0" << 20;
    }

    void description()
    {
        QFETCH(QByteArray, description);
        FakeWiener::state().moduleDescriptions[3] = description;
        SnmpModule m(m_controller.get(), 3);
        QCOMPARE(FakeWiener::calls(), QStringList{"getModuleDescription(3)"});
        QTEST(m.vendor(), "vendor");
        QTEST(m.firmwareName(), "type");
        QTEST(m.channelNumber(), "channels");
        QTEST(m.serialNumber(), "serial");
        QTEST(m.firmwareRelease(), "release");
        QTEST(m.deviceClass(), "deviceClass");
        QFETCH(int, channels);
        QCOMPARE(m.connected(), channels > 0);
        QCOMPARE(m.firstChannel(), 300);
        QCOMPARE(m.address(), QStringLiteral("Slot 3"));
        QCOMPARE(m.decoderRelease(), 0u);
    }

    void vendorDecidesHighVoltage()
    {
        auto vexa = module(0);
        QVERIFY(vexa->isVexaHighVoltage());
        QVERIFY(!vexa->isWienerLowVoltage());
        FakeWiener::state().moduleDescriptions[2] = "Vexa, T03X0, 8, 1";
        SnmpModule other(m_controller.get(), 2);
        QVERIFY(!other.isVexaHighVoltage());
        QVERIFY(other.isWienerLowVoltage());
    }

    void displayUnitsComeFromResolution()
    {
        {
            QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vexa Systems GmbH"),
                            QStringLiteral("resolution"));
            store.setValue(QStringLiteral("5006/voltageUnit"), QStringLiteral("kV"));
            store.setValue(QStringLiteral("T07X0/currentUnit"), QStringLiteral("uA"));
            store.setValue(QStringLiteral("default/voltagePrecision"), 4);
            store.setValue(QStringLiteral("default/useControllerUnits"), 1);
            store.sync();
        }
        auto m = module(6, "T07X0");
        QCOMPARE(m->voltageUnit(0), QStringLiteral("kV"));
        QCOMPARE(m->voltagePrecision(), 4);
        QCOMPARE(m->currentUnit(0), QString(QChar(0xB5)) + QLatin1Char('A'));
        QCOMPARE(m->currentPrecision(), 3);
        QCOMPARE(m->lowCurrentUnit(0), QString(QChar(0xB5)) + QLatin1Char('A'));
        QCOMPARE(m->lowCurrentPrecision(), 4);
        QVERIFY(!m->useControllerUnits());
        // Another module without a group of its own gets the built-in units.
        auto plain = module(7, "T03X0");
        QCOMPARE(plain->voltageUnit(0), QStringLiteral("V"));
        QCOMPARE(plain->currentUnit(0), QStringLiteral("mA"));
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vexa Systems GmbH"),
                  QStringLiteral("resolution"))
            .clear();
    }

    // ----- bulk reads -----

    void cachedReadBeforeFirstRefreshCallsNothing()
    {
        auto m = module();
        QCOMPARE(m->channelVoltageSet(3), 0.0f);
        QCOMPARE(m->channelStatus(5), ChannelStatus());
        QCOMPARE(m->channelCurrentMeasure(7), 0.0f);
        QCOMPARE(m->channelDelayedTripTime(1), 0);
        QVERIFY(FakeWiener::calls().isEmpty());
    }

    void bulkRead_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<std::function<double(SnmpModule *, int)>>("read");
        using R = std::function<double(SnmpModule *, int)>;
        QTest::newRow("voltage set") << "getMultipleOutputVoltages"
                                     << R([](SnmpModule *m, int c) { return m->channelVoltageSet(c); });
        QTest::newRow("voltage measured") << "getMultipleMeasurementTerminalVoltages"
                                          << R([](SnmpModule *m, int c) { return m->channelVoltageMeasure(c); });
        QTest::newRow("voltage nominal") << "getMultipleOutputConfigMaxTerminalVoltages"
                                         << R([](SnmpModule *m, int c) { return m->channelVoltageNominal(c); });
        QTest::newRow("voltage hardware nominal")
            << "getMultipleOutputConfigMaxTerminalVoltages"
            << R([](SnmpModule *m, int c) { return m->channelVoltageHardwareNominal(c); });
        QTest::newRow("current set") << "getMultipleOutputCurrents"
                                     << R([](SnmpModule *m, int c) { return m->channelCurrentSet(c); });
        QTest::newRow("current measured") << "getMultipleMeasurementCurrents"
                                          << R([](SnmpModule *m, int c) { return m->channelCurrentMeasure(c); });
        QTest::newRow("current nominal") << "getMultipleOutputConfigMaxCurrents"
                                         << R([](SnmpModule *m, int c) { return m->channelCurrentNominal(c); });
        QTest::newRow("current hardware nominal")
            << "getMultipleOutputConfigMaxCurrents"
            << R([](SnmpModule *m, int c) { return m->channelCurrentHardwareNominal(c); });
        QTest::newRow("trip time") << "getMultipleOutputTripTimeMaxCurrents"
                                   << R([](SnmpModule *m, int c) { return m->channelDelayedTripTime(c); });
        QTest::newRow("delayed trip action")
            << "getMultipleOutputSupervisionBehaviors"
            << R([](SnmpModule *m, int c) { return int(m->channelDelayedTripAction(c)); });
        QTest::newRow("inhibit action") << "getMultipleOutputSupervisionBehaviors"
                                        << R([](SnmpModule *m, int c) { return int(m->channelInhibitAction(c)); });
        QTest::newRow("status") << "getMultipleChannelStatuses"
                                << R([](SnmpModule *m, int c) { return m->channelStatus(c).toWord(); });
        QTest::newRow("control") << "getMultipleOutputSwitches"
                                 << R([](SnmpModule *m, int c) { return m->channelControl(c).toWord(); });
    }

    void bulkRead()
    {
        QFETCH(QString, call);
        QFETCH(std::function<double(SnmpModule *, int)>, read);
        FakeWiener::State &s = FakeWiener::state();
        for (int ch = 0; ch < 8; ++ch) {
            const int index = 200 + ch;
            s.voltageSet[index] = 100.0 * ch + 0.5;
            s.voltageMeasure[index] = 100.0 * ch + 0.25;
            s.voltageNominal[index] = 3000.0 + ch;
            s.currentSet[index] = 1e-6 * (ch + 1);
            s.currentMeasure[index] = 2e-6 * (ch + 1);
            s.currentNominal[index] = 3e-3 + ch * 1e-4;
            s.tripTimes[index] = 10 * ch;
            s.behaviours[index] = (ch % 4) << 6 | ((3 - ch % 4) << 12);
            s.channelStatus[index] = ch % 2 ? LibOn : 0;
            s.switches[index] = ch % 2;
        }
        auto m = module(2);
        QList<double> first;
        for (int ch = 0; ch < 8; ++ch)
            first << read(m.get(), ch);
        // One call for channel 0 with the whole module; the others from the cache.
        QCOMPARE(FakeWiener::calls(), QStringList{call + QStringLiteral("(200,8)")});
        // The cache holds distinct per-channel values.
        for (int ch = 1; ch < 8; ++ch)
            QVERIFY2(first.at(ch) != first.at(ch - 1) || call.contains("Behavior") || call.contains("Status") ||
                         call.contains("Switches"),
                     qPrintable(QString::number(ch)));
        // Asking for channel 0 again reads again.
        read(m.get(), 0);
        QCOMPARE(FakeWiener::calls().size(), 2);
    }

    void bulkValuesAndConversion()
    {
        FakeWiener::State &s = FakeWiener::state();
        s.voltageSet[100] = 1500.0;
        s.voltageSet[103] = 2500.0;
        s.currentSet[103] = 0.00125;
        s.voltageMeasure[103] = 2499.75;
        auto m = module(1);
        m->setVoltageUnit(QStringLiteral("kV"));
        QCOMPARE(m->channelVoltageSet(0), 1.5f);
        QCOMPARE(m->channelVoltageSet(3), 2.5f);
        QCOMPARE(m->channelVoltageMeasure(0), 0.0f);
        QCOMPARE(m->channelVoltageMeasure(3), float(double(2499.75f) * double(0.001f)));
        // Currents cross in amperes whatever the display unit.
        m->setCurrentUnit(QStringLiteral("uA"));
        m->channelCurrentSet(0);
        QCOMPARE(m->channelCurrentSet(3), 0.00125f);
    }

    void shortRecordKeepsOldValues()
    {
        FakeWiener::State &s = FakeWiener::state();
        for (int ch = 0; ch < 8; ++ch)
            s.voltageSet[100 + ch] = 10.0 * (ch + 1);
        auto m = module(1);
        m->channelVoltageSet(0);
        for (int ch = 0; ch < 8; ++ch)
            s.voltageSet[100 + ch] = 1000.0 * (ch + 1);
        s.recordLimit = 3;
        QCOMPARE(m->channelVoltageSet(0), 1000.0f);
        QCOMPARE(m->channelVoltageSet(2), 3000.0f);
        QCOMPARE(m->channelVoltageSet(3), 40.0f);
        QCOMPARE(m->channelVoltageSet(7), 80.0f);
        s.recordLimit = 0;
        QCOMPARE(m->channelVoltageSet(0), 1000.0f);
    }

    void controlReadUpdatesInPlace()
    {
        FakeWiener::State &s = FakeWiener::state();
        s.switches = {{100, 23}, {101, 1}, {102, 3}, {103, 21}};
        auto m = module(1, "T03X0", 4);
        m->channelControl(0);
        QVERIFY(m->channelControl(0).setExternalMeas() && m->channelControl(0).setRipple());
        // (that second read saw 23 again)
        QVERIFY(m->channelControl(1).setON());
        QVERIFY(m->channelControl(2).setEMCY() && !m->channelControl(2).setON());
        QVERIFY(m->channelControl(3).setExternalMeas() && !m->channelControl(3).setRipple());
        // Switch 10 leaves the measurement flags as they were and clears on and emergency.
        s.switches = {{100, 10}, {101, 10}, {102, 10}, {103, 22}};
        m->channelControl(0);
        QVERIFY(m->channelControl(0).setExternalMeas() && m->channelControl(0).setRipple());
        QVERIFY(!m->channelControl(0).setON());
        QVERIFY(!m->channelControl(1).setON());
        QVERIFY(!m->channelControl(2).setEMCY());
        QVERIFY(!m->channelControl(3).setExternalMeas() && m->channelControl(3).setRipple());
    }

    // ----- events -----

    void eventsLatchUntilReset()
    {
        FakeWiener::State &s = FakeWiener::state();
        s.channelStatus[102] = LibClim | LibOn;
        s.channelStatus[104] = LibEinh | LibVlim | LibCv;
        auto m = module(1);
        QVERIFY(m->channelStatus(0).isEmpty());
        QVERIFY(m->channelStatus(2).isCLIM());
        QVERIFY(m->channelEventStatus(2).ECLIM());
        QCOMPARE(m->channelEventStatus(4), ChannelEventStatus(0x1000 | 0x8000 | 0x80)); // EEINH EVLIM ECV
        QVERIFY(m->channelEventStatus(0).isEmpty());

        // The limit is gone: the status follows, the event stays.
        s.channelStatus[102] = LibOn;
        s.channelStatus[104] = 0;
        m->channelStatus(0);
        QVERIFY(!m->channelStatus(2).isCLIM());
        QVERIFY(m->channelEventStatus(2).ECLIM());
        QVERIFY(m->channelEventStatus(4).EEINH());

        // Clearing through the module's switch does not touch the latched copy.
        FakeWiener::clearCalls();
        m->clearChannelEventStatus(2);
        QCOMPARE(FakeWiener::calls(), QStringList{"setChannelSwitch(102,10)"});
        QVERIFY(m->channelEventStatus(2).ECLIM());

        // A reset mask clears exactly its flags, sending nothing.
        FakeWiener::clearCalls();
        ChannelEventStatus mask;
        mask.setEVLIM(true);
        m->setChannelEventStatus(4, mask);
        QVERIFY(FakeWiener::calls().isEmpty());
        QVERIFY(!m->channelEventStatus(4).EVLIM());
        QVERIFY(m->channelEventStatus(4).EEINH());
        mask = ChannelEventStatus();
        mask.setECLIM(true);
        m->setChannelEventStatus(2, mask);
        QVERIFY(m->channelEventStatus(2).isEmpty());

        // doClear clears the module and every latched event.
        m->doClear();
        QCOMPARE(FakeWiener::calls(), QStringList{"setModuleDoClear(1)"});
        QVERIFY(m->channelEventStatus(4).isEmpty());
    }

    void clearEventStatusIsDoClear()
    {
        FakeWiener::state().channelStatus[100] = LibClim;
        auto m = module(5);
        m->channelStatus(0);
        FakeWiener::clearCalls();
        m->clearEventStatus();
        QCOMPARE(FakeWiener::calls(), QStringList{"setModuleDoClear(5)"});
        QVERIFY(m->channelEventStatus(0).isEmpty());
    }

    // ----- switches -----

    void channelControlWrites_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<quint16>("word");
        QTest::addColumn<QStringList>("calls");
        const quint16 on = 1 << 3, emcy = 1 << 5, ext = 1 << 1, ripple = 1 << 2;
        QTest::newRow("on") << QByteArray("T03X0") << on
                            << QStringList{"setChannelSwitch(101,1)", "setChannelSwitch(101,10)"};
        QTest::newRow("off") << QByteArray("T03X0") << quint16(0)
                             << QStringList{"setChannelSwitch(101,0)", "setChannelSwitch(101,10)"};
        QTest::newRow("emergency and on") << QByteArray("T03X0") << quint16(on | emcy)
                                          << QStringList{"setChannelSwitch(101,3)"};
        QTest::newRow("emergency alone") << QByteArray("T03X0") << emcy
                                         << QStringList{"setChannelSwitch(101,3)", "setChannelSwitch(101,10)"};
        QTest::newRow("measurement flags ignored") << QByteArray("T03X0") << quint16(ext | ripple)
                                                   << QStringList{"setChannelSwitch(101,0)",
                                                                  "setChannelSwitch(101,10)"};
        QTest::newRow("class 90 both") << QByteArray("T25X0") << quint16(ext | ripple | on)
                                       << QStringList{"setChannelSwitch(101,23)", "setChannelSwitch(101,10)"};
        QTest::newRow("class 90 external") << QByteArray("T25X0") << ext
                                           << QStringList{"setChannelSwitch(101,21)", "setChannelSwitch(101,10)"};
        QTest::newRow("class 90 ripple") << QByteArray("T25X0") << ripple
                                         << QStringList{"setChannelSwitch(101,22)", "setChannelSwitch(101,10)"};
        QTest::newRow("class 90 none") << QByteArray("T25X0") << on
                                       << QStringList{"setChannelSwitch(101,20)", "setChannelSwitch(101,10)"};
        QTest::newRow("class 90 emergency and on")
            << QByteArray("T25X0") << quint16(on | emcy) << QStringList{"setChannelSwitch(101,20)"};
    }

    void channelControlWrites()
    {
        QFETCH(QByteArray, type);
        QFETCH(quint16, word);
        auto m = module(1, type);
        m->setChannelControl(1, ChannelControl(word));
        QTEST(FakeWiener::calls(), "calls");
    }

    void singleSwitches()
    {
        auto m = module(4);
        m->setChannelOn(0);
        m->setChannelOff(1);
        m->setChannelEmergencyOff(2);
        m->clearChannelEmergencyOff(7);
        // Channels past the module would reach the next slot: nothing is sent.
        m->setChannelOn(8);
        m->setChannelOn(-1);
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"setChannelSwitch(400,1)", "setChannelSwitch(401,0)", "setChannelSwitch(402,3)",
                              "setChannelSwitch(407,2)"}));
    }

    void groupSwitches_data()
    {
        QTest::addColumn<quint64>("mask");
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("off 0x5") << quint64(0x5) << 1
                                 << QStringList{"setChannelSwitch(100,0)", "setChannelSwitch(102,0)"};
        QTest::newRow("off all bits") << ~quint64(0) << 1
                                      << QStringList{"setMultipleOutputSwitches(100,[0,0,0,0,0,0,0,0])"};
        QTest::newRow("on all bits") << ~quint64(0) << 0
                                     << QStringList{"setMultipleOutputSwitches(100,[1,1,1,1,1,1,1,1])"};
        QTest::newRow("emergency 0x80") << quint64(0x80) << 2 << QStringList{"setChannelSwitch(107,3)"};
        QTest::newRow("clear emergency 0xff") << quint64(0xff) << 3
                                              << QStringList{"setChannelSwitch(100,2)", "setChannelSwitch(101,2)",
                                                             "setChannelSwitch(102,2)", "setChannelSwitch(103,2)",
                                                             "setChannelSwitch(104,2)", "setChannelSwitch(105,2)",
                                                             "setChannelSwitch(106,2)", "setChannelSwitch(107,2)"};
        QTest::newRow("bits past the module") << quint64(0xF00) << 0 << QStringList();
        QTest::newRow("bit 63 and 1") << (quint64(1) << 63 | 2) << 0 << QStringList{"setChannelSwitch(101,1)"};
        QTest::newRow("empty") << quint64(0) << 0 << QStringList();
    }

    void groupSwitches()
    {
        QFETCH(quint64, mask);
        QFETCH(int, operation);
        auto m = module(1);
        switch (operation) {
        case 0:
            m->setSelectedChannelsOn(mask);
            break;
        case 1:
            m->setSelectedChannelsOff(mask);
            break;
        case 2:
            m->setSelectedChannelsEmergencyOff(mask);
            break;
        case 3:
            m->clearSelectedChannelsEmergencyOff(mask);
            break;
        }
        QTEST(FakeWiener::calls(), "calls");
    }

    void groupListForms()
    {
        auto m = module(1);
        m->setSelectedChannelsOn(QList<int>{0, 3});
        m->setSelectedChannelsOff(QList<int>{6, 6, 1});
        m->setSelectedChannelsEmergencyOff(QList<int>{2, 64, -3});
        m->clearSelectedChannelsEmergencyOff(QList<int>{5});
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"setChannelSwitch(100,1)", "setChannelSwitch(103,1)", "setChannelSwitch(101,0)",
                              "setChannelSwitch(106,0)", "setChannelSwitch(102,3)", "setChannelSwitch(105,2)"}));
    }

    void groupFormsByName()
    {
        // Scripts reach the list form by name through the meta-object system.
        auto m = module(1);
        const QList<int> channels{0, 3};
        QVERIFY(QMetaObject::invokeMethod(m.get(), "setSelectedChannelsOn", Q_ARG(QList<int>, channels)));
        QVERIFY(QMetaObject::invokeMethod(m.get(), "setSelectedChannelsOff", Q_ARG(quint64, quint64(0x2))));
        QVERIFY(QMetaObject::invokeMethod(m.get(), "setChannelVoltageSet", Q_ARG(int, 4), Q_ARG(float, 12.5f)));
        float value = -1;
        QVERIFY(QMetaObject::invokeMethod(m.get(), "temperature", Q_RETURN_ARG(float, value)));
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"setChannelSwitch(100,1)", "setChannelSwitch(103,1)", "setChannelSwitch(101,0)",
                              "setOutputVoltage(104,12.5)", "getModuleAuxTemperature(1,0)"}));
    }

    // ----- set values and bounds -----

    void voltageSetConvertsOnce_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<float>("value");
        QTest::addColumn<double>("volts");
        QTest::newRow("V") << "V" << 1234.5f << 1234.5;
        QTest::newRow("Exp") << "Exp" << 1234.5f << 1234.5;
        QTest::newRow("kV") << "kV" << 2.5f << 2500.0;
        QTest::newRow("%") << "%" << 1.0f << 83886.0703125;
        QTest::newRow("% small") << "%" << 0.0025f << double(float(double(0.0025f) * 83886.0703125));
    }

    void voltageSetConvertsOnce()
    {
        QFETCH(QString, unit);
        QFETCH(float, value);
        QFETCH(double, volts);
        auto m = module(1);
        m->setVoltageUnit(unit);
        m->setChannelVoltageSet(2, value);
        QCOMPARE(FakeWiener::calls().size(), 1);
        QCOMPARE(FakeWiener::state().voltageSet.value(102), volts);
        // And reads back in the same unit.
        FakeWiener::clearCalls();
        m->channelVoltageSet(0);
        QCOMPARE(m->channelVoltageSet(2), m->siVoltageToUserVoltage(float(volts)));
        if (unit == QLatin1String("kV"))
            QCOMPARE(m->channelVoltageSet(2), 2.5f);

        // The whole module: one record, converted once as well.
        FakeWiener::clearCalls();
        m->setAllChannelsVoltageSet(value);
        QStringList expected;
        for (int i = 0; i < 8; ++i)
            expected << QString::number(volts, 'g', 12);
        QCOMPARE(FakeWiener::calls(),
                 QStringList{QStringLiteral("setMultipleOutputVoltages(100,[%1])").arg(expected.join(','))});
    }

    void currentSetIsAmperes()
    {
        auto m = module(1);
        m->setCurrentUnit(QStringLiteral("mA"));
        m->setChannelCurrentSet(1, 0.002f);
        m->setAllChannelsCurrentSet(0.001f);
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{QStringLiteral("setOutputCurrent(101,%1)").arg(double(0.002f), 0, 'g', 12),
                              QStringLiteral("setMultipleOutputCurrents(100,[%1])")
                                  .arg(QStringList(8, QString::number(double(0.001f), 'g', 12)).join(','))}));
    }

    void bounds()
    {
        FakeWiener::state().maxCurrent[103] = 0.004;
        auto m = module(1);
        m->setVoltageUnit(QStringLiteral("kV"));
        m->setCurrentUnit(QStringLiteral("mA"));
        m->setChannelVoltageInterlockMaxSet(2, 3.0f);
        m->setChannelCurrentInterlockMaxSet(2, 1.5f);
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"setOutputSupervisionMaxTerminalVoltage(102,3000)",
                              QStringLiteral("setOutputSupervisionMaxCurrent(102,%1)")
                                  .arg(double(float(1.5 * double(0.001f))), 0, 'g', 12)}));
        FakeWiener::clearCalls();
        FakeWiener::state().maxTerminalVoltage[102] = 3000.0;
        QCOMPARE(m->channelVoltageInterlockMaxSet(2), 3.0f);
        QCOMPARE(m->channelCurrentInterlockMaxSet(3), 4.0f);
        QCOMPARE(FakeWiener::calls(), (QStringList{"getOutputSupervisionMaxTerminalVoltage(102)",
                                                   "getOutputSupervisionMaxCurrent(103)"}));
        // The minimum bounds do not exist here.
        FakeWiener::clearCalls();
        m->setChannelVoltageInterlockMinSet(2, 1.0f);
        m->setChannelCurrentInterlockMinSet(2, 1.0f);
        QCOMPARE(m->channelVoltageInterlockMinSet(2), 0.0f);
        QCOMPARE(m->channelCurrentInterlockMinSet(2), 0.0f);
        QVERIFY(FakeWiener::calls().isEmpty());
    }

    void ratesAndRampSpeedsPassThrough()
    {
        FakeWiener::state().channelDouble[105] = 12.5;
        FakeWiener::state().moduleDouble[1] = 7.25;
        auto m = module(1);
        m->setVoltageUnit(QStringLiteral("kV"));
        QCOMPARE(m->channelVoltageRiseRate(5), 12.5f);
        QCOMPARE(m->channelVoltageFallRate(5), 12.5f);
        m->setChannelVoltageRiseRate(5, 20.0f);
        m->setChannelVoltageFallRate(6, 30.0f);
        QCOMPARE(m->voltageRampSpeed(), 7.25f);
        QCOMPARE(m->currentRampSpeed(), 7.25f);
        m->setVoltageRampSpeed(10.0f);
        m->setCurrentRampSpeed(20.0f);
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"getOutputRiseRate(105)", "getOutputFallRate(105)", "setOutputRiseRate(105,20)",
                              "setOutputFallRate(106,30)", "getModuleRampSpeedVoltage(1)",
                              "getModuleRampSpeedCurrent(1)", "setModuleRampSpeedVoltage(1,10)",
                              "setModuleRampSpeedCurrent(1,20)"}));
    }

    // ----- supervision behaviour -----

    void delayedTripOffSendsZeroAndClearsBits()
    {
        FakeWiener::state().behaviours[101] = 0x30C5; // inhibit 3, trip 3, low bits 0x05
        auto m = module(1);
        m->channelDelayedTripAction(0);
        QCOMPARE(m->channelDelayedTripAction(1), shutDownModule);
        QVERIFY(m->channelDelayedTripEnabled(1));
        FakeWiener::clearCalls();
        m->setChannelDelayedTripAction(1, delayedTripOff, 100);
        QCOMPARE(FakeWiener::calls(), (QStringList{"setOutputTripTimeMaxCurrent(101,0)",
                                                   QStringLiteral("setOutputSupervisionBehavior(101,%1)")
                                                       .arg(0x3005)}));
        // The cache keeps what was written; the next channel-0 read confirms it.
        QCOMPARE(m->channelDelayedTripAction(1), ignoreFailure);
        m->channelDelayedTripAction(0);
        QCOMPARE(m->channelDelayedTripAction(1), ignoreFailure);
        QVERIFY(!m->channelDelayedTripEnabled(1));
    }

    void delayedTripAndInhibitKeepOtherBits()
    {
        FakeWiener::state().behaviours[102] = 0x1041; // inhibit 1, trip 1, bit 0
        auto m = module(1);
        m->refreshAllInhibitActions();
        QCOMPARE(m->channelInhibitAction(2), rampDownChannel);
        QVERIFY(m->channelDelayedTripRampDown(2));
        FakeWiener::clearCalls();
        m->setChannelDelayedTripAction(2, shutDownChannel, 250);
        m->setChannelInhibitAction(2, shutDownModule);
        // The second write keeps the delayed-trip action of the first (0x80), it
        // does not send the old one (0x40) back.
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"setOutputTripTimeMaxCurrent(102,250)",
                              QStringLiteral("setOutputSupervisionBehavior(102,%1)").arg(0x1081),
                              QStringLiteral("setOutputSupervisionBehavior(102,%1)").arg(0x3081)}));
        QCOMPARE(FakeWiener::state().behaviours.value(102), 0x3081);
        QCOMPARE(m->channelDelayedTripAction(2), shutDownChannel);
        QCOMPARE(m->channelInhibitAction(2), shutDownModule);
    }

    // A behaviour write on a module whose behaviours were never read reads them
    // once first; otherwise the other supervision fields of the channel would be
    // sent as zeros.
    void behaviourWriteBeforeAnyReadKeepsOtherFields_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("expected");
        const QString read = QStringLiteral("getMultipleOutputSupervisionBehaviors(100,4)");
        QTest::newRow("delayed trip, one channel")
            << 0
            << QStringList{read, "setOutputTripTimeMaxCurrent(102,30)",
                           QStringLiteral("setOutputSupervisionBehavior(102,%1)").arg(0x3055)};
        QTest::newRow("inhibit, one channel")
            << 1 << QStringList{read, QStringLiteral("setOutputSupervisionBehavior(102,%1)").arg(0x10D5)};
        QTest::newRow("delayed trip, all channels")
            << 2
            << QStringList{read, "setMultipleOutputTripTimeMaxCurrents(100,[30,30,30,30])",
                           QStringLiteral("setMultipleOutputSupervisionBehaviors(100,[%1,%2,%3,%4])")
                               .arg(0x3095).arg(0x3095).arg(0x3095).arg(0x3095)};
        QTest::newRow("inhibit, all channels")
            << 3
            << QStringList{read, QStringLiteral("setMultipleOutputSupervisionBehaviors(100,[%1,%2,%3,%4])")
                                     .arg(0x10D5).arg(0x10D5).arg(0x10D5).arg(0x10D5)};
    }

    void behaviourWriteBeforeAnyReadKeepsOtherFields()
    {
        QFETCH(int, operation);
        QFETCH(QStringList, expected);
        for (int ch = 0; ch < 4; ++ch)
            FakeWiener::state().behaviours[100 + ch] = 0x30D5; // inhibit 3, trip 3, sense fields 0x15
        auto m = module(1, "T03X0", 4);
        switch (operation) {
        case 0:
            m->setChannelDelayedTripAction(2, rampDownChannel, 30);
            break;
        case 1:
            m->setChannelInhibitAction(2, rampDownChannel);
            break;
        case 2:
            m->setAllChannelsDelayedTripAction(shutDownChannel, 30);
            m->setAllChannelsDelayedTripAction(OutputSupervisionAction(6), 30); // once read, no second read
            expected << expected.mid(1);
            break;
        default:
            m->setAllChannelsInhibitAction(rampDownChannel);
            break;
        }
        QCOMPARE(FakeWiener::calls(), expected);
    }

    // When the behaviours cannot be read, no behaviour is written at all.
    void behaviourWriteWithoutAnswerSendsNoBehaviour()
    {
        FakeWiener::state().recordLimit = 0;
        auto m = module(1, "T03X0", 4);
        m->setChannelDelayedTripAction(1, rampDownChannel, 30);
        m->setAllChannelsInhibitAction(rampDownChannel);
        QCOMPARE(FakeWiener::calls(), (QStringList{"getMultipleOutputSupervisionBehaviors(100,4)",
                                                   "setOutputTripTimeMaxCurrent(101,30)",
                                                   "getMultipleOutputSupervisionBehaviors(100,4)"}));
    }

    void refreshAllDelayedTripActionsReadsTwoRecords()
    {
        FakeWiener::state().tripTimes[107] = 40;
        auto m = module(1);
        m->refreshAllDelayedTripActions();
        QCOMPARE(FakeWiener::calls(), (QStringList{"getMultipleOutputSupervisionBehaviors(100,8)",
                                                   "getMultipleOutputTripTimeMaxCurrents(100,8)"}));
        QCOMPARE(m->channelDelayedTripTime(7), 40);
    }

    void allChannelsSupervision()
    {
        FakeWiener::State &s = FakeWiener::state();
        for (int ch = 0; ch < 4; ++ch)
            s.behaviours[100 + ch] = 0x3000 | (ch << 6) | ch;
        auto m = module(1, "T03X0", 4);
        m->refreshAllInhibitActions();
        FakeWiener::clearCalls();
        m->setAllChannelsDelayedTripAction(rampDownChannel, 50);
        m->setAllChannelsInhibitAction(OutputSupervisionAction(5)); // taken modulo 4
        auto behaviours = [](int (*f)(int)) {
            QStringList list;
            for (int ch = 0; ch < 4; ++ch)
                list << QString::number(f(0x3000 | (ch << 6) | ch));
            return list.join(',');
        };
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"setMultipleOutputTripTimeMaxCurrents(100,[50,50,50,50])",
                              QStringLiteral("setMultipleOutputSupervisionBehaviors(100,[%1])")
                                  .arg(behaviours([](int b) { return (b & ~0xC0) | 0x40; })),
                              QStringLiteral("setMultipleOutputSupervisionBehaviors(100,[%1])")
                                  .arg(behaviours([](int b) {
                                      // on top of the delayed-trip write just before
                                      return (((b & ~0xC0) | 0x40) & ~0x3000) | 0x1000;
                                  }))}));
    }

    // ----- measurement modules (class 90) -----

    void measurementModule()
    {
        FakeWiener::state().channelStatus[100] = LibOn;
        FakeWiener::state().voltageSet[100] = 99.0;
        FakeWiener::state().voltageMeasure[100] = 5.0;
        auto m = module(1, "T25X0", 4);
        QCOMPARE(m->deviceClass(), 90);
        QCOMPARE(m->channelStatus(0), ChannelStatus());
        QCOMPARE(m->channelVoltageSet(0), 0.0f);
        QCOMPARE(m->channelCurrentSet(0), 0.0f);
        QCOMPARE(m->channelDelayedTripTime(0), 0);
        QCOMPARE(m->channelDelayedTripAction(0), ignoreFailure);
        QCOMPARE(m->channelInhibitAction(0), ignoreFailure);
        QVERIFY(!m->channelDelayedTripRampDown(0));
        m->setChannelVoltageSet(0, 100.0f);
        m->setChannelCurrentSet(0, 0.001f);
        m->setVoltageRampSpeed(5.0f);
        m->setCurrentRampSpeed(5.0f);
        QVERIFY(FakeWiener::calls().isEmpty());
        // Measured values still come from the library.
        QCOMPARE(m->channelVoltageMeasure(0), 5.0f);
        // Switching still reaches the channel.
        m->setChannelOn(1);
        m->setChannelExternalMeasurementEnabled(0, true);
        m->setChannelExternalMeasurementEnabled(0, false);
        m->setChannelRippleMeasurementEnabled(1, true);
        m->setChannelRippleMeasurementEnabled(1, false);
        m->setChannelBothMeasurementsEnabled(2, true);
        m->setChannelBothMeasurementsEnabled(2, false);
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"getMultipleMeasurementTerminalVoltages(100,4)", "setChannelSwitch(101,1)",
                              "setChannelSwitch(100,21)", "setChannelSwitch(100,0)", "setChannelSwitch(101,22)",
                              "setChannelSwitch(101,0)", "setChannelSwitch(102,23)", "setChannelSwitch(102,20)"}));
    }

    void measurementSwitchesOnlyForClass90()
    {
        auto m = module(1);
        m->setChannelExternalMeasurementEnabled(0, true);
        m->setChannelRippleMeasurementEnabled(0, true);
        m->setChannelBothMeasurementsEnabled(0, true);
        m->doMultiplex();
        QVERIFY(FakeWiener::calls().isEmpty());
    }

    void doMultiplex()
    {
        FakeWiener::state().switches = {{100, 21}, {101, 22}, {102, 23}, {103, 0}, {104, 20}};
        auto m = module(1, "T25X0", 5);
        m->doMultiplex();
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"getMultipleOutputSwitches(100,5)", "setChannelSwitch(100,20)",
                              "setChannelSwitch(102,20)", "setChannelSwitch(101,20)", "setChannelSwitch(102,20)"}));
    }

    // ----- module values -----

    void moduleValues()
    {
        FakeWiener::State &s = FakeWiener::state();
        s.moduleDouble[2] = 41.5;
        s.moduleStatus[2] = (1 << 5) | (1 << 11) | (1 << 15);
        s.moduleEventStatus[2] = (1 << 7) | (1 << 13);
        auto m = module(2);
        QCOMPARE(m->temperature(), 41.5f);
        QCOMPARE(m->temperature(2), 43.5f);
        QCOMPARE(m->supplyP5(), 41.5f);
        QCOMPARE(m->supplyP12(), 41.5f);
        QCOMPARE(m->voltageLimit(), 41.5f);
        QCOMPARE(m->currentLimit(), 41.5f);
        const ModuleStatus status = m->status();
        QVERIFY(status.isSTOP() && status.isMODgd() && status.isnoSERR());
        QVERIFY(!status.isADJ());
        const ModuleEventStatus events = m->eventStatus();
        QVERIFY(events.EPWRFAIL() && events.ESFLPngd());
        QVERIFY(!events.ESTOP());
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"getModuleAuxTemperature(2,0)", "getModuleAuxTemperature(2,2)", "getModuleSupply5(2)",
                              "getModuleSupply24(2)", "getModuleHardwareLimitVoltage(2)",
                              "getModuleHardwareLimitCurrent(2)", "getModuleStatus(2)", "getModuleEventStatus(2)"}));

        // Values that are constants here need no call.
        FakeWiener::clearCalls();
        QCOMPARE(m->supplyN12(), 0.0f);
        QCOMPARE(m->adcSamplesPerSecond(), 500u);
        QCOMPARE(m->digitalFilter(), 16u);
        m->setAdcSamplesPerSecond(10);
        m->setDigitalFilter(2);
        QCOMPARE(m->adcSamplesPerSecond(), 500u);
        QVERIFY(!m->killEnable());
        QVERIFY(m->fineAdjustment());
        QCOMPARE(m->control(), ModuleControl());
        QCOMPARE(m->eventMask(), ModuleEventMask());
        QCOMPARE(m->channelEventMask(3), ChannelEventMask());
        m->setChannelEventMask(3, ChannelEventMask::allSet());
        QCOMPARE(m->restartTime(), 0u);
        QVERIFY(m->alarmMessage().isEmpty());
        QCOMPARE(m->resistor(), NoResistor);
        QVERIFY(!m->canSetResistor());
        QVERIFY(!m->canSetAsymmetricBounds());
        QCOMPARE(m->eventChannelStatus(), 0u);
        m->setEventStatus(0xFFFF);
        m->clearEventGroupStatus();
        QVERIFY(FakeWiener::calls().isEmpty());
    }

    void killAndAdjustmentAreCrateWide()
    {
        auto m = module(3);
        m->setKillEnable(true);
        m->setKillEnable(false);
        m->setFineAdjustment(true);
        m->setFineAdjustment(false);
        QCOMPARE(FakeWiener::calls(),
                 (QStringList{"setHighVoltageGroupsSwitch(5)", "setHighVoltageGroupsSwitch(4)",
                              "setHighVoltageGroupsSwitch(7)", "setHighVoltageGroupsSwitch(6)"}));
    }

    void setControlActsOnSetFlagsOnly()
    {
        auto m = module(3);
        m->setControl(ModuleControl());
        ModuleControl stopOnly;
        stopOnly.setSetSTOP(true);
        m->setControl(stopOnly);
        QVERIFY(FakeWiener::calls().isEmpty());
        m->setControl(ModuleControl::allSet());
        QCOMPARE(FakeWiener::calls(), (QStringList{"setModuleDoClear(3)", "setHighVoltageGroupsSwitch(7)",
                                                   "setHighVoltageGroupsSwitch(5)"}));
    }

    void noChannelsNoCalls()
    {
        FakeWiener::state().moduleDescriptions[9] = "vexa, T03X0";
        SnmpModule m(m_controller.get(), 9);
        FakeWiener::clearCalls();
        QVERIFY(!m.connected());
        m.channelStatus(0);
        m.channelVoltageSet(0);
        m.setSelectedChannelsOn(~quint64(0));
        m.setAllChannelsVoltageSet(1.0f);
        m.setChannelOn(0);
        QVERIFY(FakeWiener::calls().isEmpty());
    }
};

VEXA_TEST_GUILESS_MAIN(TestSnmpModule)
#include "tst_snmpmodule.moc"
