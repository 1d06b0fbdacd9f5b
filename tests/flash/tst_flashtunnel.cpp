// The CAN tunnel and module scan of FirmwareUpdate against a private cratesim
// with the demo crate: scan answers, addressing, all-module messages, the
// keep-alive and bit-rate programming as the simulated modules see them.
#include "cratesimprocess.h"
#include "firmwareupdate.h"
#include "objecttable.h"
#include "simprobe.h"
#include "testenv.h"

#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

using namespace crateflash;

class FlashTunnelTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SimProbe> m_probe;
    std::unique_ptr<FirmwareUpdate> m_update;
    QList<SimNode> m_nodes;

    qint64 framesIn() { return m_probe->getInt(QStringLiteral("cratesimCanTunnelFramesIn.0")); }

    // Opens the tunnel as Connect does and waits until every module is reported.
    void scanAll(QSignalSpy &spy)
    {
        m_update->open(m_sim->address());
        m_update->setMainSwitch(true);
        m_update->announceTunnel(true);
        QTRY_COMPARE_WITH_TIMEOUT(int(spy.count()), int(m_nodes.size()), 15000);
    }

private slots:
    void initTestCase()
    {
        m_sim = std::make_unique<CrateSimProcess>();
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        m_update = std::make_unique<FirmwareUpdate>();
        QVERIFY(SimProbe::loadSimulatorMibs());
        m_probe = std::make_unique<SimProbe>(m_sim->address());
        m_nodes = m_probe->nodes();
        QVERIFY2(m_nodes.size() >= 3, "the demo crate has several modules");
        bool anyBootLoader = false;
        for (const SimNode &n : m_nodes)
            anyBootLoader = anyBootLoader || n.bootLoader;
        QVERIFY2(anyBootLoader, "the demo crate has a module waiting in its boot loader");
    }

    void slotOfCanId_data()
    {
        QTest::addColumn<int>("identifier");
        QTest::addColumn<int>("slot");
        QTest::newRow("0x200") << 0x200 << 0;
        QTest::newRow("0x20f") << 0x20F << 0;
        QTest::newRow("0x213") << 0x213 << 1;
        QTest::newRow("0x218") << 0x218 << 2;
        QTest::newRow("0x260") << 0x260 << 3;
        QTest::newRow("0x268") << 0x268 << 4;
        QTest::newRow("0x2a9") << 0x2A9 << 7;
        QTest::newRow("0x2b8") << 0x2B8 << 8;
        QTest::newRow("0x2e0") << 0x2E0 << 9;
        QTest::newRow("0x2c8") << 0x2C8 << 9;
        QTest::newRow("0x2d0 unknown") << 0x2D0 << 0;
        QTest::newRow("0x2d8 unknown") << 0x2D8 << 0;
        QTest::newRow("0x2e8 outside") << 0x2E8 << 0;
        QTest::newRow("0x1f8 outside") << 0x1F8 << 0;
    }
    void slotOfCanId()
    {
        QFETCH(int, identifier);
        QFETCH(int, slot);
        QCOMPARE(FirmwareUpdate::slotOfCanId(identifier), slot);
    }

    void findOrAddModuleKeepsAscendingBases()
    {
        FirmwareUpdate update;
        QCOMPARE(update.findOrAddModule(0x263), 0);
        QCOMPARE(update.findOrAddModule(0x213), 0);
        QCOMPARE(update.findOrAddModule(0x2E7), 2);
        QCOMPARE(update.findOrAddModule(0x210), 0);
        QCOMPARE(update.findOrAddModule(0x201), 0);
        QList<int> bases;
        for (const Module &m : update.modules())
            bases << m.canId;
        QCOMPARE(bases, (QList<int>{0x200, 0x210, 0x260, 0x2E0}));
        const Module &fresh = update.modules().at(1);
        QVERIFY(!fresh.reported && !fresh.needsUpdate);
        QCOMPARE(fresh.serialNumber, 0u);
        QCOMPARE(fresh.release, 0);
        QVERIFY(fresh.device.isEmpty());
    }

    void scanReportsEveryModuleWithItsIdentity()
    {
        QSignalSpy spy(m_update.get(), &FirmwareUpdate::moduleFound);
        scanAll(spy);
        QList<int> reportedBases;
        for (const QList<QVariant> &args : spy)
            reportedBases << args.at(0).value<Module>().canId;
        std::sort(reportedBases.begin(), reportedBases.end());
        QList<int> expectedBases;
        for (const SimNode &n : m_nodes)
            expectedBases << n.base;
        QCOMPARE(reportedBases, expectedBases);

        const QList<Module> &modules = m_update->modules();
        for (int i = 1; i < modules.size(); ++i)
            QVERIFY(modules.at(i - 1).canId < modules.at(i).canId);
        for (const SimNode &n : m_nodes) {
            const auto it = std::find_if(modules.begin(), modules.end(),
                                         [&](const Module &m) { return m.canId == n.base; });
            QVERIFY(it != modules.end());
            QVERIFY(it->reported);
            QCOMPARE(it->serialNumber, n.serialNumber);
            QCOMPARE(it->device, n.device);
            QCOMPARE(it->release, n.release);
            QCOMPARE(it->needsUpdate, n.bootLoader);
        }
        QVERIFY(m_update->bootLoaderSeen());
        QCOMPARE(m_update->state(), int(FirmwareUpdate::Scan));
        // Running modules were logged on again at the end of their scan.
        for (const SimNode &n : m_nodes)
            if (!n.bootLoader)
                QCOMPARE(m_probe->getInt(SimProbe::node("LogOn", n.base)), 1);
    }

    void logOnOffLeavesOutTheCurrentModule_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("frames");
        QTest::newRow("no current module") << 0 << 27;
        QTest::newRow("0x228 current") << 0x228 << 26;
        QTest::newRow("first demo module current") << -1 << 26;
    }
    void logOnOffLeavesOutTheCurrentModule()
    {
        QFETCH(int, current);
        QFETCH(int, frames);
        if (current < 0)
            current = m_nodes.first().base;
        m_update->setCurrentCanId(current);
        // The requests go out on the tunnel's thread: the last case's log-on first.
        QTRY_COMPARE_WITH_TIMEOUT(m_update->pendingRequests(), 0, 10000);
        const qint64 before = framesIn();
        m_update->sendLogOnOff(false);
        // Sent on the tunnel's thread: all of them in one SET, none left behind.
        QTRY_COMPARE_WITH_TIMEOUT(m_update->pendingRequests(), 0, 10000);
        QCOMPARE(framesIn() - before, qint64(frames));
        for (const SimNode &n : m_nodes) {
            if (!n.bootLoader && n.base != current)
                QCOMPARE(m_probe->getInt(SimProbe::node("LogOn", n.base)), 0);
        }
        m_update->sendLogOnOff(true);
        m_update->setCurrentCanId(0);
    }

    void keepAliveEvery101TicksOutsideTheScan()
    {
        const int current = 0x228;
        m_update->setCurrentCanId(current);
        // A memory read hands the tunnel to another procedure: from now on the
        // poll sends the log-on keep-alive to the 26 other bases.
        QTRY_COMPARE_WITH_TIMEOUT(m_update->pendingRequests(), 0, 10000);
        const qint64 before = framesIn();
        const int ticksBefore = m_update->pollTicks();
        m_update->readMemory16(m_nodes.first().base, 0x000e);
        QCOMPARE(m_update->state(), int(FirmwareUpdate::MemoryRead));
        QTRY_VERIFY_WITH_TIMEOUT(m_update->pollTicks() - ticksBefore > 2 * 101 + 5, 20000);
        const qint64 sent = framesIn() - before - 1; // the memory read itself
        QVERIFY2(sent >= 2 * 26 && sent % 26 == 0, qPrintable(QString::number(sent)));
        QVERIFY(sent <= 3 * 26);
        m_update->setCurrentCanId(0);
    }

    void afterAnotherProcedureTheScanIsGone()
    {
        QSignalSpy spy(m_update.get(), &FirmwareUpdate::moduleFound);
        const int listed = int(m_update->modules().size());
        QVERIFY(m_update->state() != FirmwareUpdate::Scan);
        // Log off makes every module answer D8; in state 11 nobody is queried.
        m_update->sendLogOnOff(false);
        QTest::qWait(600);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(int(m_update->modules().size()), listed);
        m_update->sendLogOnOff(true);
    }

    void resetScanListsEveryModuleAgain()
    {
        m_update->resetScan();
        QVERIFY(m_update->modules().isEmpty());
        QCOMPARE(m_update->state(), int(FirmwareUpdate::Scan));
        QSignalSpy spy(m_update.get(), &FirmwareUpdate::moduleFound);
        m_update->announceTunnel(false);
        scanAll(spy);
        QCOMPARE(int(m_update->modules().size()), int(m_nodes.size()));
    }

    void programmingTheBitRate()
    {
        // Last case: afterwards the modules no longer hear the tunnel's 250 kbit/s.
        const int base = m_nodes.first().base;
        QCOMPARE(m_probe->getInt(SimProbe::node("BitRate", base)), 250);
        QTRY_COMPARE_WITH_TIMEOUT(m_update->pendingRequests(), 0, 10000);
        const qint64 before = framesIn();
        QElapsedTimer timer;
        timer.start();
        m_update->programBitRate(125);
        // C8 and D4 00 7D go at once; the modules switch only with D0.
        QTRY_COMPARE_WITH_TIMEOUT(framesIn() - before, 2, 3000);
        QCOMPARE(m_probe->getInt(SimProbe::node("BitRate", base)), 250);
        QTRY_COMPARE_WITH_TIMEOUT(framesIn() - before, qint64(3), 3000);
        QVERIFY2(timer.elapsed() >= 450, qPrintable(QString::number(timer.elapsed())));
        for (const SimNode &n : m_nodes)
            QTRY_COMPARE_WITH_TIMEOUT(m_probe->getInt(SimProbe::node("BitRate", n.base)), 125, 2000);
    }
};

VEXA_TEST_MAIN(FlashTunnelTest)
#include "tst_flashtunnel.moc"
