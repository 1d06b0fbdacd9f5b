// Module profiles and the factory reset against cratesim through the real
// access library: what reaches the crate, what the operator is told, and that a
// bad file writes nothing at all.

#include "cratesimprocess.h"
#include "factorysettings.h"
#include "simcontrol.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "testenv.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int SourceSlot = 0;
constexpr int TwinSlot = 1;
constexpr int OtherTypeSlot = 2;

// An SNMP module never shows its control word. This one answers like a module
// that does: DoSaveSetValues reads back set for a few reads after it is written.
class StoringModule : public SnmpModule
{
public:
    using SnmpModule::SnmpModule;
    int storeReads = 3;

    ModuleControl control() override
    {
        ModuleControl c = m_written;
        c.setDoSaveSetValues(m_left > 0);
        if (m_left > 0)
            --m_left;
        return c;
    }
    void setControl(ModuleControl control) override
    {
        SnmpModule::setControl(control);
        m_written = control;
        if (control.DoSaveSetValues())
            m_left = storeReads;
    }

private:
    ModuleControl m_written;
    int m_left = 0;
};

} // namespace

class TestFactorySettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SimControl> m_control;
    std::unique_ptr<SnmpController> m_controller;
    QTemporaryDir m_dir;
    QStringList m_informed;
    QStringList m_asked;

    void setStop(int slot, bool on)
    {
        QVERIFY(m_control->set(QStringLiteral("CRATESIM-MIB::cratesimModuleStop.%1").arg(slot + 1), 'i', on ? 1 : 0));
    }
    double simValue(const char *object, int index)
    {
        return m_control->get(QStringLiteral("WIENER-CRATE-MIB::%1.%2").arg(QLatin1String(object)).arg(index))
            .toDouble();
    }
    void prepare(FactorySettings &fs, QList<bool> answers = {})
    {
        fs.inform = [this](const QString &text) { m_informed << text; };
        fs.askRetry = [this, answers](const QString &text) {
            m_asked << text;
            return answers.value(m_asked.size() - 1, false);
        };
    }
    // Gives the source module distinct values per channel and saves it.
    QString savedSource()
    {
        SnmpModule source(m_controller.get(), SourceSlot);
        for (int ch = 0; ch < 8; ++ch) {
            source.setChannelVoltageSet(ch, 100.0f + 10.0f * ch);
            source.setChannelCurrentSet(ch, 0.001f + 0.0001f * ch);
        }
        source.setVoltageRampSpeed(7.5f);
        const QString file = m_dir.filePath(QStringLiteral("source.txt"));
        FactorySettings fs;
        QString error;
        if (!fs.save(&source, file, &error))
            qWarning() << error;
        return file;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        CrateSimProcess::Options options;
        options.crateFile = QFINDTESTDATA("profilecrate.json");
        options.timeScale = 50.0;
        m_sim = std::make_unique<CrateSimProcess>(options);
        if (!QFile::exists(CrateSimProcess::executable()))
            QSKIP("cratesim is not built");
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        TestEnv::setCrateAddress(m_sim->address());
        m_controller = std::make_unique<SnmpController>();
        QVERIFY(m_controller->isBound());
        QVERIFY(m_controller->connectTo(m_sim->address()));
        m_control = std::make_unique<SimControl>(m_sim->peer());
        QVERIFY(m_control->measureCounterCost() >= 0);
    }

    void init()
    {
        m_informed.clear();
        m_asked.clear();
        setStop(TwinSlot, true);
    }

    void cleanupTestCase()
    {
        m_controller.reset();
        m_control.reset();
        m_sim.reset();
    }

    void saveWritesEveryKeyInItsFormat()
    {
        QSettings file(savedSource(), QSettings::IniFormat);
        QCOMPARE(file.value("Module/VoltageRampSpeed").toString(), QStringLiteral("7.500"));
        QVERIFY(file.value("Module/EventChannelMask").toString().contains(QRegularExpression("^0x[0-9A-F]{8}$")));
        QVERIFY(file.value("Channel3/Control").toString().contains(QRegularExpression("^0x[0-9A-F]{4}$")));
        QCOMPARE(file.value("Channel3/VoltageSet").toString(), QStringLiteral("130.000"));
        QCOMPARE(file.value("Channel3/CurrentSet").toString(), QStringLiteral("0.001300"));
        QCOMPARE(file.value("Channel7/VoltageMaxSet").toString(), QStringLiteral("3000.000"));
        QCOMPARE(file.childGroups().size(), 9);
    }

    void saveReportsAFileThatCannotBeWritten()
    {
        // A regular file where the folder should be: no user, root included, can write there.
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SnmpModule source(m_controller.get(), SourceSlot);
        FactorySettings fs;
        QString error;
        QVERIFY(!fs.save(&source, blocker.fileName() + QStringLiteral("/profile.txt"), &error));
        QVERIFY2(error.contains(QStringLiteral("could not be written")), qPrintable(error));
    }

    void loadIntoTwinWritesEverythingAndStores()
    {
        const QString file = savedSource();
        StoringModule twin(m_controller.get(), TwinSlot);
        FactorySettings fs;
        prepare(fs);
        QSignalSpy log(&fs, &FactorySettings::addLineToWriteProfileLog);
        int confirmations = 0;
        QVERIFY(fs.writeProfile(&twin, file, [&] { return ++confirmations > 0; }));
        QCOMPARE(confirmations, 1);
        QCOMPARE(m_informed, QStringList{QStringLiteral("Profile written into device!")});
        QCOMPARE(log.first().first().toString(), QStringLiteral("Using profile from file %1\n").arg(file));
        QVERIFY(log.contains(QVariantList{QStringLiteral("Channel7.CurrentSet (A)\t\t0.001700")}));
        for (int ch = 0; ch < 8; ++ch) {
            QCOMPARE(simValue("outputVoltage", TwinSlot * 100 + ch + 1), 100.0 + 10.0 * ch);
            QCOMPARE(qRound(simValue("outputCurrent", TwinSlot * 100 + ch + 1) * 1e6), 1000 + 100 * ch);
        }
        QCOMPARE(simValue("moduleRampSpeedVoltage", TwinSlot + 1), 7.5);
        QCOMPARE(twin.connectionState(), ModuleConnectionState::Unknown);
    }

    void cancelWritesNothing()
    {
        const QString file = savedSource();
        StoringModule twin(m_controller.get(), TwinSlot);
        FactorySettings fs;
        prepare(fs);
        bool result = true;
        QCOMPARE(m_control->requestsDuring([&] { result = fs.writeProfile(&twin, file, [] { return false; }); }), 0);
        QVERIFY(!result);
        QVERIFY(m_informed.isEmpty());
    }

    void badFileIsRefusedBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("removeKey");
        QTest::addColumn<QString>("setKey");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("named");
        QTest::newRow("channel group missing") << "Channel5" << "" << "" << "Channel5.Control is missing";
        QTest::newRow("module group missing") << "Module" << "" << "" << "Module.Control is missing";
        QTest::newRow("key missing") << "Channel7/CurrentMaxSet" << "" << "" << "Channel7.CurrentMaxSet is missing";
        QTest::newRow("not a number") << "" << "Channel2/VoltageSet" << "12.5 V" << "Channel2.VoltageSet";
        QTest::newRow("not finite") << "" << "Module/VoltageRampSpeed" << "nan" << "Module.VoltageRampSpeed";
        QTest::newRow("word too wide") << "" << "Channel0/Control" << "0x12345" << "Channel0.Control";
        QTest::newRow("negative count") << "" << "Module/RestartTime" << "-5" << "Module.RestartTime";
    }
    void badFileIsRefusedBeforeAnyRequest()
    {
        QFETCH(QString, removeKey);
        QFETCH(QString, setKey);
        QFETCH(QString, value);
        QFETCH(QString, named);
        const QString file = savedSource();
        {
            QSettings edit(file, QSettings::IniFormat);
            if (!removeKey.isEmpty())
                edit.remove(removeKey);
            if (!setKey.isEmpty())
                edit.setValue(setKey, value);
        }
        StoringModule twin(m_controller.get(), TwinSlot);
        FactorySettings fs;
        prepare(fs);
        bool confirmed = false;
        bool result = true;
        QCOMPARE(m_control->requestsDuring([&] {
            result = fs.writeProfile(&twin, file, [&] { return confirmed = true; });
        }),
                 0);
        QVERIFY(!result);
        QVERIFY(!confirmed);
        QCOMPARE(m_informed.size(), 1);
        QVERIFY2(m_informed.first().contains(named), qPrintable(m_informed.first()));
        QVERIFY(m_informed.first().contains(QStringLiteral("Nothing was written")));
    }

    void nominalThatNeverReadsBackGivesUpInStop()
    {
        SnmpModule other(m_controller.get(), OtherTypeSlot);
        const QString file = m_dir.filePath(QStringLiteral("other.txt"));
        FactorySettings saver;
        QVERIFY(saver.save(&other, file));
        StoringModule twin(m_controller.get(), TwinSlot);
        FactorySettings fs;
        prepare(fs);
        QVERIFY(!fs.writeProfile(&twin, file, [] { return true; }));
        QCOMPARE(m_informed,
                 QStringList{QStringLiteral("Error setting Channel 0 VoltagMaxSet to 6000 V (read back 3000 V). Giving up.")});
        QVERIFY(twin.status().isSTOP());
    }

    void storeQuestionRepeatsOnYesAndEndsOnNo()
    {
        const QString file = savedSource();
        SnmpModule twin(m_controller.get(), TwinSlot); // never shows DoSaveSetValues
        FactorySettings fs;
        prepare(fs, {true, false});
        QVERIFY(!fs.writeProfile(&twin, file, [] { return true; }));
        QCOMPARE(m_asked, QStringList(2, QStringLiteral("Error setting ModuleControl.DoSaveSetValues. Try again?")));
        QVERIFY(m_informed.isEmpty());
    }

    void storeThatNeverFinishesIsNotReportedWritten()
    {
        const QString file = savedSource();
        StoringModule twin(m_controller.get(), TwinSlot);
        twin.storeReads = 1000000;
        FactorySettings fs;
        prepare(fs);
        fs.wait = [](int) {};
        QVERIFY(!fs.writeProfile(&twin, file, [] { return true; }));
        QCOMPARE(m_informed.size(), 1);
        QVERIFY2(m_informed.first().contains(QStringLiteral("did not finish storing")), qPrintable(m_informed.first()));
    }

    void moduleThatNeverStopsIsLeftAlone()
    {
        setStop(TwinSlot, false);
        const QString file = savedSource();
        StoringModule twin(m_controller.get(), TwinSlot);
        twin.setChannelVoltageSet(4, 55.0f);
        FactorySettings fs;
        prepare(fs);
        QVERIFY(!fs.writeProfile(&twin, file, [] { return true; }));
        QCOMPARE(m_informed, QStringList{QStringLiteral(
                                 "Error setting Module to mode STOP. Giving up.\nPlease turn the channels off and try again!")});
        QCOMPARE(simValue("outputVoltage", TwinSlot * 100 + 5), 55.0);
    }

    void factoryResetRestoresTheFactoryValues()
    {
        StoringModule twin(m_controller.get(), TwinSlot);
        for (int ch = 0; ch < 8; ++ch)
            twin.setChannelVoltageSet(ch, 200.0f);
        twin.setVoltageRampSpeed(12.0f);
        FactorySettings fs;
        prepare(fs);
        QVERIFY(fs.factoryReset(&twin));
        QVERIFY(m_informed.isEmpty());
        for (int ch = 0; ch < 8; ++ch) {
            QCOMPARE(simValue("outputVoltage", TwinSlot * 100 + ch + 1), 0.0);
            QCOMPARE(qRound(simValue("outputCurrent", TwinSlot * 100 + ch + 1) * 1e6), 3000);
        }
        QCOMPARE(simValue("moduleRampSpeedVoltage", TwinSlot + 1), 1.0);
    }

    void factoryResetThatIsNeverStoredFails()
    {
        SnmpModule twin(m_controller.get(), TwinSlot); // never shows DoSaveSetValues
        FactorySettings fs;
        prepare(fs);
        fs.wait = [](int) {};
        QVERIFY(!fs.factoryReset(&twin));
        QCOMPARE(m_informed.size(), 1);
        QVERIFY2(m_informed.first().contains(QStringLiteral("did not start storing")), qPrintable(m_informed.first()));
    }
};

VEXA_TEST_GUILESS_MAIN(TestFactorySettings)
#include "tst_factorysettings.moc"
