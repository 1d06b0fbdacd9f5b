// The tunnel's requests against a slow crate (cratesim answering after 40 ms):
// the caller goes on while they run, they reach the crate in the order made,
// frames sent together share one SET, and what was queued when the tool goes
// away still goes out.
#include "cratesimprocess.h"
#include "firmwareupdate.h"
#include "flashtimings.h"
#include "objecttable.h"
#include "simprobe.h"
#include "testenv.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace crateflash;

class FlashTunnelIoTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_traceFile;
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<SimProbe> m_probe;
    QList<SimNode> m_nodes;

    qint64 framesIn() { return m_probe->getInt(QStringLiteral("cratesimCanTunnelFramesIn.0")); }

    // The frames of each SET in the trace from byte offset on.
    QList<QList<QByteArray>> setsSince(qint64 offset)
    {
        QFile f(m_traceFile);
        if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
            return {};
        QList<QList<QByteArray>> sets;
        for (const QByteArray &raw : f.readAll().split('\n')) {
            const QList<QByteArray> words = raw.simplified().split(' ');
            if (words.value(1) == "SET")
                sets << QList<QByteArray>();
            else if (words.value(1) == ">" && !sets.isEmpty())
                sets.last() << words.mid(2).join(' ');
        }
        return sets;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_traceFile = m_dir.filePath(QStringLiteral("can.trace"));
        qputenv("CRATESIM_CAN_TRACE", m_traceFile.toLocal8Bit());
        CrateSimProcess::Options options;
        options.delayMs = 40;
        m_sim = std::make_unique<CrateSimProcess>(options);
        const bool started = m_sim->start();
        qunsetenv("CRATESIM_CAN_TRACE");
        QVERIFY2(started, qPrintable(m_sim->errorString()));
        FirmwareUpdate starter; // starts the library for the probe
        QVERIFY(starter.snmpStarted());
        QVERIFY(SimProbe::loadSimulatorMibs());
        m_probe = std::make_unique<SimProbe>(m_sim->address());
        m_nodes = m_probe->nodes();
        QVERIFY(m_nodes.size() >= 3);
        // The keep-alive follows the clock: kept out of the frames counted here.
        flashTimings().keepAliveTicks = 1000000;
    }

    void requestsRunWhileTheCallerGoesOn()
    {
        QVERIFY(m_probe->setInt(QStringLiteral("cratesimCanTunnelOpen.0"), 1));
        FirmwareUpdate update;
        update.open(m_sim->address());
        // Out of the scan, so that no answer is followed up.
        update.readMemory16(m_nodes.first().base, 0x000e);
        const qint64 offset = QFileInfo(m_traceFile).size();
        // Four SETs of 27 frames, at 40 ms each and more: the calls return at
        // once and the caller's events are served while the requests are under way.
        const QList<bool> order{true, false, true, false};
        for (bool on : order)
            update.sendLogOnOff(on);
        QVERIFY(update.pendingRequests() >= 3);
        bool served = false;
        int pendingWhenServed = -1;
        QTimer::singleShot(0, &update, [&] {
            served = true;
            pendingWhenServed = update.pendingRequests();
        });
        QTRY_VERIFY_WITH_TIMEOUT(served, 10000);
        QVERIFY2(pendingWhenServed > 0, qPrintable(QString::number(pendingWhenServed)));

        // They reach the crate in the order made, one SET each.
        QList<QList<QByteArray>> logSets;
        QVERIFY(QTest::qWaitFor(
            [&] {
                logSets.clear();
                for (const QList<QByteArray> &set : setsSince(offset))
                    if (!set.isEmpty() && set.first().contains(" d8 0"))
                        logSets << set;
                return logSets.size() >= order.size();
            },
            20000));
        QCOMPARE(logSets.size(), order.size());
        for (int i = 0; i < order.size(); ++i) {
            QCOMPARE(logSets.at(i).size(), 27);
            const QByteArray data = order.at(i) ? " 2 d8 01" : " 2 d8 00";
            QVERIFY2(std::all_of(logSets.at(i).begin(), logSets.at(i).end(),
                                 [&](const QByteArray &f) { return f.endsWith(data); }),
                     logSets.at(i).join(" | ").constData());
        }
        // The last request (log off) is what the modules keep.
        for (const SimNode &n : m_nodes)
            if (!n.bootLoader)
                QCOMPARE(m_probe->getInt(SimProbe::node("LogOn", n.base)), 0);
    }

    void queuedFramesGoOutBeforeTheToolGoesAway()
    {
        const qint64 before = framesIn();
        {
            FirmwareUpdate update;
            update.open(m_sim->address());
            for (int i = 0; i < 3; ++i)
                update.sendModuleLog(m_nodes.first().base, true);
            update.announceTunnel(false);
            QVERIFY(update.pendingRequests() > 0);
        }
        QCOMPARE(framesIn() - before, qint64(4));
        QCOMPARE(m_probe->getInt(QStringLiteral("cratesimCanTunnelOpen.0")), 0);
    }

    void framesSentTogetherShareOneSet_data()
    {
        QTest::addColumn<int>("message");
        QTest::addColumn<QList<QByteArray>>("frames");
        const QByteArray base = QByteArray::number(m_nodes.value(0).base + 1, 16);
        QTest::newRow("32-bit memory read")
            << 0 << QList<QByteArray>{"0x" + base + " 4 14 03 00 0e", "0x" + base + " 4 14 03 00 10"};
        // Last row: the modules switch to 125 kbit/s and no longer hear the tunnel.
        QTest::newRow("bit-rate programming") << 1 << QList<QByteArray>{"0x004 1 c8", "0x004 3 d4 00 7d"};
    }
    void framesSentTogetherShareOneSet()
    {
        QFETCH(int, message);
        QFETCH(QList<QByteArray>, frames);
        QVERIFY(m_probe->setInt(QStringLiteral("cratesimCanTunnelOpen.0"), 1));
        FirmwareUpdate update;
        update.open(m_sim->address());
        const qint64 offset = QFileInfo(m_traceFile).size();
        if (message == 0)
            update.readMemory32(m_nodes.first().base, 0x000e);
        else
            update.programBitRate(125);
        QList<QList<QByteArray>> sets;
        QVERIFY(QTest::qWaitFor(
            [&] {
                sets = setsSince(offset);
                // The simulator writes a SET's frames one by one: wait for all of them.
                return std::any_of(sets.begin(), sets.end(), [&](const QList<QByteArray> &set) {
                    return set.contains(frames.first()) && set.size() >= frames.size();
                });
            },
            20000));
        const auto set = std::find_if(sets.begin(), sets.end(),
                                      [&](const QList<QByteArray> &s) { return s.contains(frames.first()); });
        QCOMPARE(*set, frames);
    }
};

VEXA_TEST_MAIN(FlashTunnelIoTest)
#include "tst_flashtunnelio.moc"
