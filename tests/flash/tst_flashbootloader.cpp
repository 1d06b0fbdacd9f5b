// The demo crate's module waiting in its boot loader (T07X0 at 0x280): flashed
// with the shipped test image tests/flash/data/T07X0_0400.hex, compared while the scan has seen a boot loader (the
// compare run still performs its hand-shake), restarted, and listed again with
// the new release. A running module flashed while 0x280 waits still shakes hands.
#include "flashrig.h"
#include "hexgen.h"

#include <QApplication>
#include <QTemporaryDir>

using namespace crateflash;

namespace {
constexpr int Waiting = 0x280;
constexpr int Running = 0x200; // T03X0, running its firmware
}

class FlashBootLoaderTest : public QObject
{
    Q_OBJECT

private:
    FlashRig m_rig;
    QTemporaryDir m_dir;
    QString m_file;

    bool waitForBatchEnd(int timeoutMs = 120000)
    {
        return QTest::qWaitFor([&] { return !m_rig.window->isUpdating(); }, timeoutMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        FlashRig::shortenDelays();
        QVERIFY2(m_rig.start(CrateSimProcess::demoCrateFile()), qPrintable(m_rig.error()));
        QVERIFY(m_rig.connectAndScan());
        // The test image the README's walk-through uses.
        m_file = QStringLiteral(VEXA_SOURCE_DIR "/tests/flash/data/T07X0_0400.hex");
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const HexGen::Image image = HexGen::parse(f.readAll());
        QVERIFY2(image.ok, qPrintable(image.error));
        QCOMPARE(image.lines, 501);
    }

    void waitingModuleIsListedFirstAndRed()
    {
        QVERIFY(m_rig.window->firmwareUpdate()->bootLoaderSeen());
        QCOMPARE(m_rig.status(Waiting), QStringLiteral("Need Update"));
        m_rig.button("selectAll")->click();
        QCOMPARE(m_rig.window->nextSelectedRow(), m_rig.rowOf(Waiting));
        m_rig.button("disselectAll")->click();
        QCOMPARE(m_rig.node("Mode", Waiting), 2);
    }

    // While 0x280 waits in its boot loader, a running module still needs its own
    // hand-shake: without it the module ignores the lines and the run fails.
    void runningModuleIsFlashedWhileAnotherWaits()
    {
        QCOMPARE(m_rig.node("Mode", Running), qint64(1));
        HexGen::Options o;
        o.device = QStringLiteral("T03X0");
        o.release = QStringLiteral("05.13");
        o.dataLines = 200;
        const QString file = m_dir.path() + QStringLiteral("/T03X0_0513.hex");
        QVERIFY(HexGen::writeFile(file, o));
        m_rig.setFile(file);
        m_rig.tick(Running);
        QVERIFY(m_rig.button("flash")->isEnabled());
        m_rig.button("flash")->click();
        QVERIFY(waitForBatchEnd());
        const QString log = m_rig.log();
        QVERIFY2(log.contains(FlashRig::updateCompleted()),
                 qPrintable(log.right(500)));
        QCOMPARE(m_rig.status(Running), QStringLiteral("Done"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(quint32(m_rig.node("ImageChecksum", Running)), HexGen::parse(f.readAll()).checksum());
        // The waiting module was left alone.
        QCOMPARE(m_rig.node("Mode", Waiting), qint64(2));
        QVERIFY(m_rig.window->firmwareUpdate()->bootLoaderSeen());
    }

    void flashTheWaitingModule()
    {
        m_rig.setFile(m_file);
        m_rig.tick(Waiting);
        QVERIFY(m_rig.button("flash")->isEnabled());
        m_rig.button("flash")->click();
        QVERIFY(waitForBatchEnd());
        QCOMPARE(m_rig.status(Waiting), QStringLiteral("Done"));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(quint32(m_rig.node("ImageChecksum", Waiting)), HexGen::parse(f.readAll()).checksum());
        QVERIFY(m_rig.log().contains(FlashRig::updateCompleted()));
        // FLASH_SCREENSHOT=<file.png> keeps a picture of the finished batch (run under Xvfb).
        const QString target = qEnvironmentVariable("FLASH_SCREENSHOT");
        if (!target.isEmpty()) {
            m_rig.window->resize(820, 860);
            m_rig.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_rig.window.get()));
            QTest::qWait(300);
            QVERIFY(m_rig.window->grab().save(target));
        }
    }

    void compareAfterABootLoaderWasSeenStillShakesHands()
    {
        m_rig.tick(Waiting);
        m_rig.button("compare")->click();
        QVERIFY(waitForBatchEnd());
        const QString log = m_rig.log();
        QVERIFY2(log.contains(QStringLiteral("Comparing finished.\nRestarting Module...")), qPrintable(log.right(500)));
        QCOMPARE(m_rig.status(Waiting), QStringLiteral("Done"));
        // Restarted into the new firmware.
        QTRY_COMPARE_WITH_TIMEOUT(m_rig.node("Mode", Waiting), qint64(1), 3000);
    }

    void rescanShowsTheNewRelease()
    {
        m_rig.button("disconnect")->click();
        QVERIFY(m_rig.connectAndScan());
        const int row = m_rig.rowOf(Waiting);
        QCOMPARE(m_rig.window->cellText(row, MainWindow::ReleaseColumn), QStringLiteral("4.00"));
        QCOMPARE(m_rig.status(Waiting), QString());
        QVERIFY(!m_rig.window->moduleList().at(row).needsUpdate);
        QCOMPARE(m_rig.table()->item(row, 0)->background().color().alpha(), 0);
    }
};

VEXA_TEST_MAIN(FlashBootLoaderTest)
#include "tst_flashbootloader.moc"
