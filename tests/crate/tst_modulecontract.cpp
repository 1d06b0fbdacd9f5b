// The module contract: what every caller of BaseModule / BaseCrate relies on,
// checked against two implementations of the crate behind the access library:
// the in-process fake (with a few lines of crate behaviour in FakeBackend) and
// cratesim reached through libWIENER_SNMP. The same cases run against both; the
// backend is chosen at compile time (CONTRACT_BACKEND_SIM).

#include "fakewienerlibrary.h"
#include "modulediscovery.h"
#include "snmpcontroller.h"
#include "snmpcrate.h"
#include "snmpmodule.h"
#include "testenv.h"
#include "vexa_config.h"

#ifdef CONTRACT_BACKEND_SIM
#include "cratesimprocess.h"
#include "simcontrol.h"
#endif

#include <QCoreApplication>
#include <QSet>
#include <QtTest>

#include <memory>

namespace {

constexpr int Slot = 3;
constexpr int Channels = 8;
constexpr int MeasurementSlot = 5;
const QString CrateFile = QStringLiteral(VEXA_SOURCE_DIR "/tests/crate/contractcrate.json");

int libraryIndex(int channel) { return Slot * 100 + channel; }

// What a test needs from a crate besides the library: the values the crate holds
// (read past the module under test) and the conditions it provokes.
class ContractBackend
{
public:
    virtual ~ContractBackend() = default;
    virtual bool start(QString *error) = 0;
    virtual QString address() const = 0;
    virtual std::unique_ptr<SnmpController> createController() = 0;
    // Called once the controller has initialised the library.
    virtual void attach() {}

    virtual double outputVoltage(int index) = 0;
    virtual double outputCurrent(int index) = 0;
    virtual double maxTerminalVoltage(int index) = 0;
    virtual double maxCurrent(int index) = 0;
    virtual int behaviour(int index) = 0;
    virtual int tripTime(int index) = 0;

    virtual void setInhibit(int index, bool on) = 0;
    virtual void trip(int index) = 0;
    // The load draws far more than the current set: the channel regulates current.
    virtual void setOverload(int index, bool on) = 0;
    // Lets the crate react to what was written or provoked.
    virtual void settle() = 0;
};

class FakeBackend : public ContractBackend
{
public:
    bool start(QString *) override
    {
        FakeWiener::reset();
        FakeWiener::State &s = FakeWiener::state();
        s.sysDescr = "MPOD crate (2718, MPOD 2.1.9.7, MPODslave 1.09, MPOD-BL 1.50)";
        s.psSerialNumber = "PS-CONTRACT-1";
        m_descriptions[Slot] = "vexa, T03X0, 8, 7200303, 05.12";
        m_descriptions[MeasurementSlot] = "vexa, T25X0, 4, 7200505, 02.05";
        for (int ch = 0; ch < Channels; ++ch) {
            s.voltageNominal[libraryIndex(ch)] = 3000.0;
            s.currentNominal[libraryIndex(ch)] = 0.003;
        }
        settle();
        return true;
    }
    QString address() const override { return QStringLiteral("127.0.0.2"); }
    std::unique_ptr<SnmpController> createController() override
    {
        return std::make_unique<SnmpController>(FakeWiener::functions());
    }
    double outputVoltage(int index) override { return FakeWiener::state().voltageSet.value(index); }
    double outputCurrent(int index) override { return FakeWiener::state().currentSet.value(index); }
    double maxTerminalVoltage(int index) override { return FakeWiener::state().maxTerminalVoltage.value(index); }
    double maxCurrent(int index) override { return FakeWiener::state().maxCurrent.value(index); }
    int behaviour(int index) override { return FakeWiener::state().behaviours.value(index); }
    int tripTime(int index) override { return FakeWiener::state().tripTimes.value(index); }
    void setInhibit(int index, bool on) override
    {
        if (on) {
            m_inhibitInput.insert(index);
            m_inhibited.insert(index);
        } else {
            m_inhibitInput.remove(index);
        }
    }
    void trip(int index) override { m_tripped.insert(index); }
    void setOverload(int index, bool on) override
    {
        if (on)
            m_overloaded.insert(index);
        else
            m_overloaded.remove(index);
    }

    // The crate behaviour the contract needs, and no more: a switch turns a
    // channel on, a trip turns it off until its events are cleared (switch 10),
    // the inhibit input shows in the status until then as well, the main switch
    // takes the modules away.
    void settle() override
    {
        FakeWiener::State &s = FakeWiener::state();
        // Clearing a channel's events (switch 10) ends its trip.
        for (const QString &call : FakeWiener::calls(QStringList{"setChannelSwitch"})) {
            const QStringList args = call.mid(call.indexOf('(') + 1).chopped(1).split(',');
            if (args.value(1) == QLatin1String("10")) {
                m_tripped.remove(args.at(0).toInt());
                if (!m_inhibitInput.contains(args.at(0).toInt()))
                    m_inhibited.remove(args.at(0).toInt());
            }
        }
        FakeWiener::clearCalls();
        for (int ch = 0; ch < Channels; ++ch) {
            const int index = libraryIndex(ch);
            if (m_tripped.contains(index))
                s.switches[index] = 0;
            int status = 0;
            if (s.switches.value(index) == 1)
                status |= 1 << 7;
            if (m_inhibited.contains(index))
                status |= 1 << 6;
            if (m_tripped.contains(index))
                status |= 1 << 2;
            if (m_overloaded.contains(index) && s.switches.value(index) == 1)
                status |= 1 << 13;
            s.channelStatus[index] = status;
        }
        s.moduleDescriptions.clear();
        if (s.mainSwitch)
            s.moduleDescriptions = m_descriptions;
    }

private:
    QMap<int, QByteArray> m_descriptions;
    QSet<int> m_inhibitInput;
    QSet<int> m_inhibited;
    QSet<int> m_tripped;
    QSet<int> m_overloaded;
};

#ifdef CONTRACT_BACKEND_SIM
class SimBackend : public ContractBackend
{
public:
    SimBackend()
    {
        CrateSimProcess::Options options;
        options.crateFile = CrateFile;
        options.timeScale = 20.0;
        m_sim = std::make_unique<CrateSimProcess>(options);
    }
    bool start(QString *error) override
    {
        if (!QFile::exists(CrateSimProcess::executable())) {
            *error = QStringLiteral("cratesim is not built");
            return false;
        }
        if (!m_sim->start()) {
            *error = m_sim->errorString() + QLatin1Char(' ') + m_sim->output();
            return false;
        }
        return true;
    }
    QString address() const override { return m_sim->address(); }
    std::unique_ptr<SnmpController> createController() override { return std::make_unique<SnmpController>(); }
    void attach() override
    {
        if (!m_control)
            m_control = std::make_unique<SimControl>(m_sim->peer());
    }

    double outputVoltage(int index) override { return value("outputVoltage", index).toDouble(); }
    double outputCurrent(int index) override { return value("outputCurrent", index).toDouble(); }
    double maxTerminalVoltage(int index) override
    {
        return value("outputSupervisionMaxTerminalVoltage", index).toDouble();
    }
    double maxCurrent(int index) override { return value("outputSupervisionMaxCurrent", index).toDouble(); }
    int behaviour(int index) override { return value("outputSupervisionBehavior", index).toInt(); }
    int tripTime(int index) override { return value("outputTripTimeMaxCurrent", index).toInt(); }
    void setInhibit(int index, bool on) override
    {
        QVERIFY2(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimChannelInhibit.%1").arg(index + 1), 'i',
                                on ? 1 : 0),
                 qPrintable(m_control->errorString()));
    }
    void trip(int index) override
    {
        QVERIFY2(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimChannelTrip.%1").arg(index + 1), 'i', 1),
                 qPrintable(m_control->errorString()));
    }
    void setOverload(int index, bool on) override
    {
        QVERIFY2(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimChannelOverload.%1").arg(index + 1), 'i',
                                on ? 1 : 0),
                 qPrintable(m_control->errorString()));
    }
    void settle() override { QTest::qWait(20); }
    // The module of `slot` stops answering (or answers again) behind the crate.
    void setModuleResponding(int slot, bool on)
    {
        QVERIFY2(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimModuleResponding.%1").arg(slot + 1), 'i',
                                on ? 1 : 0),
                 qPrintable(m_control->errorString()));
    }

private:
    QVariant value(const char *object, int index)
    {
        const QVariant v =
            m_control->get(QStringLiteral("WIENER-CRATE-MIB::%1.%2").arg(QLatin1String(object)).arg(index + 1));
        if (!v.isValid())
            qWarning() << m_control->errorString();
        return v;
    }

    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SimControl> m_control;
};
using Backend = SimBackend;
#else
using Backend = FakeBackend;
#endif

} // namespace

class TestModuleContract : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ContractBackend> m_backend;
    std::unique_ptr<SnmpController> m_controller;
    std::unique_ptr<SnmpModule> m_module;

    // A fresh read of the module's channel values (every pass starts with channel 0).
    void refresh()
    {
        m_backend->settle();
        m_module->channelStatus(0);
        m_module->channelControl(0);
        m_module->channelVoltageSet(0);
        m_module->channelCurrentSet(0);
    }

private slots:
    void initTestCase()
    {
        m_backend = std::make_unique<Backend>();
        QString error;
        if (!m_backend->start(&error))
            QSKIP(qPrintable(error));
        // The crate address every controller of this test uses is our own loopback one.
        TestEnv::setCrateAddress(m_backend->address());
        m_controller = m_backend->createController();
        QVERIFY2(m_controller->isBound(), qPrintable(m_controller->errorText()));
        QVERIFY(m_controller->connectTo(m_backend->address()));
        m_backend->attach();
    }

    void init()
    {
        m_module = std::make_unique<SnmpModule>(m_controller.get(), Slot);
        m_module->setVoltageUnit(QStringLiteral("V"));
        m_module->setCurrentUnit(QStringLiteral("mA"));
    }

    void cleanup()
    {
        if (m_module) {
            m_module->setSelectedChannelsOff(~quint64(0));
            m_module->doClear();
        }
        m_module.reset();
    }

    void cleanupTestCase()
    {
        m_module.reset();
        m_controller.reset();
        m_backend.reset();
    }

    void identity()
    {
        QVERIFY(m_controller->isConnected());
        QCOMPARE(m_module->serialNumber(), 7200303);
        QCOMPARE(m_module->channelNumber(), Channels);
        QCOMPARE(m_module->firmwareRelease(), QStringLiteral("05.12"));
        QCOMPARE(m_module->firmwareName(), QStringLiteral("T03X0"));
        QCOMPARE(m_module->deviceClass(), 26);
        QVERIFY(m_module->connected());
        QVERIFY(m_module->isVexaHighVoltage());
        QCOMPARE(m_module->channelVoltageNominal(0), 3000.0f);
        QCOMPARE(m_module->channelVoltageNominal(7), 3000.0f);
        QVERIFY(qAbs(m_module->channelCurrentNominal(0) - 0.003f) < 1e-7f);
        QVERIFY(qAbs(m_module->channelCurrentNominal(3) - 0.003f) < 1e-7f);
    }

    void discovery()
    {
        const ModuleDiscovery::Result found = ModuleDiscovery::discover(m_controller.get());
        std::unique_ptr<BaseCrate> crate(found.crate);
        QCOMPARE(found.modules.size(), 2);
        QCOMPARE(found.modules.at(0)->serialNumber(), 7200303);
        QCOMPARE(found.modules.at(1)->serialNumber(), 7200505);
        QCOMPARE(found.modules.at(1)->deviceClass(), 90);
        qDeleteAll(found.modules);
        // The crate's identity comes out of its system description.
        QCOMPARE(crate->serialNumber(), 2718);
        QCOMPARE(crate->firmwareRelease(), QStringLiteral("MPOD 2.1.9.7"));
        QCOMPARE(crate->address(), m_backend->address());
        QVERIFY(crate->powerOn());
    }

    void voltageInKilovoltsReachesTheCrateOnce()
    {
        m_module->setVoltageUnit(QStringLiteral("kV"));
        m_module->setChannelVoltageSet(2, 2.5f);
        m_backend->settle();
        QCOMPARE(m_backend->outputVoltage(libraryIndex(2)), 2500.0);
        refresh();
        QCOMPARE(m_module->channelVoltageSet(2), 2.5f);
        // The whole module at once, in percent of the 2^23 scale.
        m_module->setVoltageUnit(QStringLiteral("%"));
        m_module->setAllChannelsVoltageSet(0.01f);
        m_backend->settle();
        for (int ch = 0; ch < Channels; ++ch)
            QVERIFY(qAbs(m_backend->outputVoltage(libraryIndex(ch)) - 838.86) < 0.01);
    }

    void currentInAmperes()
    {
        m_module->setChannelCurrentSet(1, 0.0015f);
        m_backend->settle();
        QVERIFY(qAbs(m_backend->outputCurrent(libraryIndex(1)) - 0.0015) < 1e-9);
        refresh();
        QVERIFY(qAbs(m_module->channelCurrentSet(1) - 0.0015f) < 1e-9f);
    }

    void switchesReachStatusAndControl()
    {
        m_module->setChannelVoltageSet(3, 100.0f);
        m_module->setChannelOn(3);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelStatus(3).isON()), 5000);
        QVERIFY(m_module->channelControl(3).setON());
        QVERIFY(!m_module->channelStatus(2).isON());
        m_module->setChannelOff(3);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), !m_module->channelControl(3).setON()), 5000);

        m_module->setSelectedChannelsOn(0x5);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelControl(2).setON()), 5000);
        QVERIFY(m_module->channelControl(0).setON());
        QVERIFY(!m_module->channelControl(1).setON());
        m_module->setSelectedChannelsOn(~quint64(0));
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelControl(7).setON()), 5000);
        m_module->setSelectedChannelsOff(QList<int>{0, 7});
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), !m_module->channelControl(7).setON()), 5000);
        QVERIFY(!m_module->channelControl(0).setON());
        QVERIFY(m_module->channelControl(1).setON());
    }

    void bounds()
    {
        m_module->setVoltageUnit(QStringLiteral("kV"));
        m_module->setChannelVoltageInterlockMaxSet(1, 2.8f);
        m_module->setCurrentUnit(QStringLiteral("mA"));
        m_module->setChannelCurrentInterlockMaxSet(1, 2.0f);
        m_backend->settle();
        QVERIFY(qAbs(m_backend->maxTerminalVoltage(libraryIndex(1)) - 2800.0) < 1e-3);
        QVERIFY(qAbs(m_backend->maxCurrent(libraryIndex(1)) - 0.002) < 1e-8);
        QVERIFY(qAbs(m_module->channelVoltageInterlockMaxSet(1) - 2.8f) < 1e-6f);
        QVERIFY(qAbs(m_module->channelCurrentInterlockMaxSet(1) - 2.0f) < 1e-5f);
    }

    void supervision()
    {
        m_module->setChannelDelayedTripAction(4, shutDownChannel, 200);
        m_module->setChannelInhibitAction(5, rampDownChannel);
        m_backend->settle();
        QCOMPARE(m_backend->tripTime(libraryIndex(4)), 200);
        QCOMPARE((m_backend->behaviour(libraryIndex(4)) >> 6) & 3, 2);
        QCOMPARE((m_backend->behaviour(libraryIndex(5)) >> 12) & 3, 1);
        m_module->refreshAllDelayedTripActions();
        QCOMPARE(m_module->channelDelayedTripAction(4), shutDownChannel);
        QVERIFY(m_module->channelDelayedTripEnabled(4));
        QCOMPARE(m_module->channelDelayedTripTime(4), 200);
        m_module->refreshAllInhibitActions();
        QCOMPARE(m_module->channelInhibitAction(5), rampDownChannel);
        // No delayed trip: time 0, action bits cleared, the inhibit bits kept.
        m_module->setChannelDelayedTripAction(5, delayedTripOff, 500);
        m_backend->settle();
        QCOMPARE(m_backend->tripTime(libraryIndex(5)), 0);
        QCOMPARE((m_backend->behaviour(libraryIndex(5)) >> 6) & 3, 0);
        QCOMPARE((m_backend->behaviour(libraryIndex(5)) >> 12) & 3, 1);
    }

    void inhibitLatchesUntilReset()
    {
        const int ch = 6;
        m_module->setChannelInhibitAction(ch, ignoreFailure);
        m_module->setChannelVoltageSet(ch, 50.0f);
        m_module->setChannelOn(ch);
        m_backend->setInhibit(libraryIndex(ch), true);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelStatus(ch).isEINH()), 5000);
        QVERIFY(m_module->channelEventStatus(ch).EEINH());
        QVERIFY(!m_module->channelEventStatus(ch - 1).EEINH());
        // The crate keeps its inhibit state until the channel's events are cleared.
        m_backend->setInhibit(libraryIndex(ch), false);
        m_module->clearChannelEventStatus(ch);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), !m_module->channelStatus(ch).isEINH()), 5000);
        // Gone from the status, still latched here.
        QVERIFY(m_module->channelEventStatus(ch).EEINH());
        ChannelEventStatus mask;
        mask.setEEINH(true);
        m_module->setChannelEventStatus(ch, mask);
        QVERIFY(!m_module->channelEventStatus(ch).EEINH());
    }

    void tripShowsInStatusUntilCleared()
    {
        const int ch = 0;
        m_module->setChannelVoltageSet(ch, 100.0f);
        m_module->setChannelOn(ch);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelStatus(ch).isON()), 5000);
        m_backend->trip(libraryIndex(ch));
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelStatus(ch).isTRIP()), 5000);
        QVERIFY(!m_module->channelStatus(ch).isON());
        // The trip event is not derived on this side (no status flag maps to it).
        QVERIFY(!m_module->channelEventStatus(ch).ETRIP());
        m_module->clearChannelEventStatus(ch);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), !m_module->channelStatus(ch).isTRIP()), 5000);
    }

    void overloadLatchesConstantCurrent()
    {
        const int ch = 7;
        m_module->setChannelDelayedTripAction(ch, delayedTripOff, 0);
        m_module->setChannelCurrentSet(ch, 0.001f);
        m_module->setChannelVoltageSet(ch, 500.0f);
        m_module->setChannelOn(ch);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelStatus(ch).isON()), 5000);
        m_backend->setOverload(libraryIndex(ch), true);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelStatus(ch).isCC()), 5000);
        QVERIFY(m_module->channelEventStatus(ch).ECC());
        // Without a delayed trip the channel stays on in current regulation.
        QVERIFY(m_module->channelStatus(ch).isON());
        m_backend->setOverload(libraryIndex(ch), false);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), !m_module->channelStatus(ch).isCC()), 5000);
        QVERIFY(m_module->channelEventStatus(ch).ECC());
        m_module->doClear();
        QVERIFY(!m_module->channelEventStatus(ch).ECC());
        m_backend->settle();
    }

    void rampSpeedsAndRates()
    {
        m_module->setVoltageRampSpeed(12.0f);
        QTRY_COMPARE_WITH_TIMEOUT(m_module->voltageRampSpeed(), 12.0f, 3000);
        m_module->setChannelVoltageRiseRate(2, 30.0f);
        QTRY_COMPARE_WITH_TIMEOUT(m_module->channelVoltageRiseRate(2), 30.0f, 3000);
    }

    void measurementModuleHasNoSetValues()
    {
        SnmpModule measurement(m_controller.get(), MeasurementSlot);
        QCOMPARE(measurement.deviceClass(), 90);
        QCOMPARE(measurement.channelNumber(), 4);
        measurement.setChannelVoltageSet(1, 5.0f);
        QCOMPARE(measurement.channelVoltageSet(0), 0.0f);
        QCOMPARE(measurement.channelVoltageSet(1), 0.0f);
        QCOMPARE(measurement.channelStatus(0), ChannelStatus());
    }

    // Last: switches the crate off and on again.
#ifdef CONTRACT_BACKEND_SIM
    // A module that stops answering: its channel-0 reads bring nothing, so every
    // cache keeps its last values and no event latches; the model makes no extra
    // library call for it, and connected() (the channel count of the description
    // read at construction) stays true. Only the slot's description, read anew,
    // shows that the module is gone.
    void silentModuleKeepsLastValues()
    {
        auto *sim = static_cast<SimBackend *>(m_backend.get());
        m_module->setChannelVoltageSet(1, 123.0f);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelVoltageSet(1) == 123.0f), 5000);
        sim->setModuleResponding(Slot, false);
        QTRY_VERIFY_WITH_TIMEOUT((m_backend->settle(), m_controller->getModuleDescription(Slot).isEmpty()), 5000);
        m_backend->setInhibit(libraryIndex(1), true);
        m_backend->settle();
        const quint64 before = m_controller->libraryCallCount();
        refresh();
        QCOMPARE(m_controller->libraryCallCount() - before, quint64(4)); // the four channel-0 reads
        QCOMPARE(m_module->channelVoltageSet(1), 123.0f);
        QVERIFY(!m_module->channelStatus(1).isEINH());
        QVERIFY(!m_module->channelEventStatus(1).EEINH());
        QVERIFY(m_module->connected());
        sim->setModuleResponding(Slot, true);
        m_backend->setInhibit(libraryIndex(1), false);
        QTRY_VERIFY_WITH_TIMEOUT((m_backend->settle(), !m_controller->getModuleDescription(Slot).isEmpty()), 5000);
        m_module->setChannelVoltageSet(1, 77.0f);
        QTRY_VERIFY_WITH_TIMEOUT((refresh(), m_module->channelVoltageSet(1) == 77.0f), 5000);
    }
#endif

    void mainSwitchOffTakesModulesAway()
    {
        SnmpCrate crate(m_controller.get(), m_backend->address());
        crate.setPowerOn(false);
        QTRY_VERIFY_WITH_TIMEOUT((m_backend->settle(), !crate.powerOn()), 5000);
        QCOMPARE(m_controller->busStatus(), QStringLiteral("<font color=\"red\">MPOD is powered off!"));
        QTRY_VERIFY_WITH_TIMEOUT((m_backend->settle(), m_controller->getModuleDescription(Slot).isEmpty()), 5000);
        QVERIFY(!SnmpModule(m_controller.get(), Slot).connected());
        QVERIFY(ModuleDiscovery::discoverModules(m_controller.get()).isEmpty());
        crate.setPowerOn(true);
        QTRY_VERIFY_WITH_TIMEOUT((m_backend->settle(), SnmpModule(m_controller.get(), Slot).connected()), 10000);
        QCOMPARE(m_controller->busStatus(), QStringLiteral("Bus status: <font color=\"blue\">OK"));
    }
};

VEXA_TEST_GUILESS_MAIN(TestModuleContract)
#include "tst_modulecontract.moc"
