// Event memory and service actions end to end against cratesim with the demo
// crate: event data files for both memory layouts compared with the simulated
// memory, erase pacing, an unanswered read and an unwritable directory, memory
// reads, board modes, fine adjustment and the raw CAN message with the monitor.
#include "eventmemory.h"
#include "flashrig.h"
#include "hexgen.h"
#include "snmpsession.h"

#include <QApplication>
#include <QCheckBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <limits>

using namespace crateflash;

namespace {
constexpr int Normal = 0x200;   // T03X0, normal event memory
constexpr int Internal = 0x210; // T18X0R, internal event memory
constexpr int Third = 0x218;    // T14X0, normal
} // namespace

class FlashServiceTest : public QObject
{
    Q_OBJECT

private:
    FlashRig m_rig;
    QTemporaryDir m_dir;

    EventMemory *events() const { return m_rig.window->eventMemory(); }
    void setDirectory(const QString &dir) { m_rig.child<QLineEdit>("eventDirectory")->setText(dir); }
    void setInternal(bool on) { m_rig.child<QCheckBox>("internalMemory")->setChecked(on); }
    QStringList eventFiles(const QString &serial) const
    {
        return QDir(m_dir.path()).entryList({QStringLiteral("EventData_%1_*").arg(serial)}, QDir::Files);
    }
    QByteArray memoryOf(int base, bool internal)
    {
        const QJsonObject node = m_rig.savedNode(base);
        return QByteArray::fromHex(node.value(internal ? "internalMemory" : "normalMemory").toString().toLatin1());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        FlashRig::shortenDelays();
        QVERIFY2(m_rig.start(CrateSimProcess::demoCrateFile(), {QStringLiteral("crateflash"), QStringLiteral("quil")}),
                 qPrintable(m_rig.error()));
        QVERIFY(m_rig.connectAndScan());
        QTest::qWait(600); // service tabs enabled
        setDirectory(m_dir.path());
    }

    void defaultEventDirectory()
    {
        MainWindow w(QStringList{QStringLiteral("crateflash")});
#ifdef Q_OS_WIN
        QCOMPARE(w.findChild<QLineEdit *>("eventDirectory")->text(), QStringLiteral("C:/Temp"));
#else
        QCOMPARE(w.findChild<QLineEdit *>("eventDirectory")->text(), QDir::homePath());
#endif
    }

    void layouts_data()
    {
        QTest::addColumn<bool>("internal");
        QTest::addColumn<quint32>("start");
        QTest::addColumn<quint32>("end");
        QTest::addColumn<quint32>("step");
        QTest::newRow("normal") << false << 0x400000u << 0x402400u << 0x1000u;
        QTest::newRow("internal") << true << 0x740800u << 0x742C00u << 0x400u;
    }
    void layouts()
    {
        QFETCH(bool, internal);
        QFETCH(quint32, start);
        QFETCH(quint32, end);
        QFETCH(quint32, step);
        EventMemory memory;
        memory.setInternalMemory(internal);
        QCOMPARE(memory.startAddress(), start);
        QCOMPARE(memory.endAddress(), end);
        QCOMPARE(memory.step(), step);
        memory.setDirectory(QStringLiteral("C:/Temp"));
        memory.setSerial(QStringLiteral("4711"));
        QCOMPARE(memory.eventFileName(QDateTime(QDate(2026, 12, 6), QTime(19, 20, 33))),
                 QStringLiteral("C:/Temp/EventData_4711_2026-12-06_19-20.txt"));
    }

    void readEventDataOfTwoModules_data()
    {
        QTest::addColumn<bool>("internal");
        QTest::newRow("normal layout") << false;
        QTest::newRow("internal layout") << true;
    }
    void readEventDataOfTwoModules()
    {
        QFETCH(bool, internal);
        for (const QString &f : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(f));
        setInternal(internal);
        m_rig.child<QPlainTextEdit>("log")->clear();
        const int first = internal ? Internal : Normal;
        m_rig.tick(first);
        m_rig.tick(Third);
        m_rig.button("readStoredEvents")->click();
        // Both ticked modules are served one after the other.
        QTRY_COMPARE_WITH_TIMEOUT(m_rig.log().count(QStringLiteral("Reading Data from Module")), 2, 60000);
        QVERIFY(!m_rig.window->isRowTicked(m_rig.rowOf(first)));
        QVERIFY(!m_rig.window->isRowTicked(m_rig.rowOf(Third)));
        QCOMPARE(m_rig.window->firmwareUpdate()->state(), int(FirmwareUpdate::FarMemoryRead));
        for (int base : {first, Third}) {
            const QString serial = m_rig.window->cellText(m_rig.rowOf(base), MainWindow::SerialColumn);
            QVERIFY(m_rig.log().contains(QStringLiteral("Reading Data from Module %1 finished").arg(serial)));
            const QStringList files = eventFiles(serial);
            QCOMPARE(files.size(), 1);
            QVERIFY(QRegularExpression(QStringLiteral("^EventData_%1_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d\\.txt$").arg(serial))
                        .match(files.first())
                        .hasMatch());
            QFile file(m_dir.filePath(files.first()));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray text = file.readAll();
            QVERIFY(!text.contains('\r'));
            const QList<QByteArray> lines = text.split('\n');
            QCOMPARE(lines.size(), 145); // 144 lines, each ended by a line feed
            QVERIFY(lines.last().isEmpty());
            for (int i = 0; i < 144; ++i) {
                QCOMPARE(lines.at(i).size(), 128);
                QCOMPARE(lines.at(i), lines.at(i).toLower());
            }
            // The check box chooses the layout for every ticked module.
            const QByteArray memory = memoryOf(base, internal);
            QVERIFY(memory.size() >= 0x2400);
            QCOMPARE(QByteArray::fromHex(text), memory.left(0x2400));
        }
    }

    void unansweredReadIsGivenUpAndTheNextModuleServed()
    {
        setInternal(false);
        QVERIFY(m_rig.setNode("DropAnswers", Normal, -1));
        m_rig.tick(Normal);
        m_rig.tick(Third);
        const int finishedBefore = int(m_rig.log().count(QStringLiteral("Reading Data from Module")));
        m_rig.button("readStoredEvents")->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.log().count(QStringLiteral("finished")) > 0
                                     && m_rig.log().count(QStringLiteral("Reading Data from Module")) >= finishedBefore + 2,
                                 60000);
        QVERIFY(m_rig.setNode("DropAnswers", Normal, 0));
        const QString serial = m_rig.window->cellText(m_rig.rowOf(Normal), MainWindow::SerialColumn);
        QVERIFY2(m_rig.log().contains(QStringLiteral("Error: Reading Data from Module %1 failed: no answer for address "
                                                     "0x400000 after 3 tries")
                                          .arg(serial)),
                 qPrintable(m_rig.log().right(800)));
        const QStringList incomplete =
            QDir(m_dir.path()).entryList({QStringLiteral("EventData_%1_*_incomplete.txt").arg(serial)}, QDir::Files);
        QCOMPARE(incomplete.size(), 1);
        const QString third = m_rig.window->cellText(m_rig.rowOf(Third), MainWindow::SerialColumn);
        QVERIFY(m_rig.log().contains(QStringLiteral("Reading Data from Module %1 finished").arg(third)));
    }

    void unwritableDirectorySkipsTheModule()
    {
        setDirectory(QStringLiteral("/nonexistent-vexa-dir/events"));
        m_rig.tick(Normal);
        m_rig.button("readStoredEvents")->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.log().contains(QStringLiteral("Can not create event data file")), 5000);
        QVERIFY(m_rig.log().contains(QStringLiteral("Module skipped.")));
        QVERIFY(!m_rig.window->isRowTicked(m_rig.rowOf(Normal)));
        setDirectory(m_dir.path());
    }

    void eraseIsPacedPerLayout_data()
    {
        QTest::addColumn<bool>("internal");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("sectors");
        QTest::addColumn<int>("spacingMs");
        QTest::newRow("normal") << false << Normal << 3 << 400;
        QTest::newRow("internal") << true << Internal << 10 << 50;
    }
    void eraseIsPacedPerLayout()
    {
        QFETCH(bool, internal);
        QFETCH(int, base);
        QFETCH(int, sectors);
        QFETCH(int, spacingMs);
        setInternal(internal);
        m_rig.child<QPlainTextEdit>("log")->clear();
        const qint64 before = m_rig.node("SectorsErased", base);
        const QString serial = m_rig.window->cellText(m_rig.rowOf(base), MainWindow::SerialColumn);
        m_rig.tick(base);
        QElapsedTimer timer;
        timer.start();
        m_rig.button("clearStoredEvents")->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.log().contains(QStringLiteral("Clearing sn. %1 finished.").arg(serial)), 20000);
        QVERIFY(timer.elapsed() >= (sectors - 1) * spacingMs);
        const QStringList lines = m_rig.log().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), sectors + 1);
        const quint32 start = internal ? 0x740800 : 0x400000;
        const quint32 step = internal ? 0x400 : 0x1000;
        for (int i = 0; i < sectors; ++i)
            QCOMPARE(lines.at(i), QStringLiteral("Clearing sn. %1 address 0x%2").arg(serial).arg(start + i * step, 6, 16, QLatin1Char('0')));
        // An erase request resent by SNMP after its time-out (a busy machine) erases
        // its sector again: at least every sector, and the memory blank.
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.node("SectorsErased", base) - before >= qint64(sectors), 3000);
        const QByteArray memory = memoryOf(base, internal);
        QCOMPARE(memory.left(0x2400), QByteArray(0x2400, char(0xFF)));
    }

    void memoryReads()
    {
        // A word write sets a module register the reads then find.
        FirmwareUpdate *update = m_rig.window->firmwareUpdate();
        update->writeModuleWord(Normal, 0x000e, 0xFFFF);
        update->writeModuleWord(Normal, 0x0040, 0x3FC0);
        update->writeModuleWord(Normal, 0x0042, 0x0000);
        m_rig.child<QPlainTextEdit>("log")->clear();
        m_rig.tick(Normal);
        m_rig.button("read16Bit")->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.log().contains(QStringLiteral("Address 0x000e: value 0xffff (65535)")), 5000);
        QVERIFY(!m_rig.window->isRowTicked(m_rig.rowOf(Normal)));

        m_rig.child<QLineEdit>("memoryAddress")->setText(QStringLiteral("0x0040"));
        m_rig.tick(Normal);
        m_rig.button("read32Bit")->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.log().contains(QStringLiteral("Address 0x0040: value 0x3fc00000 (1069547520) (1.5f)")),
                                 5000);

        // An address that does not convert stops quietly, the row stays ticked.
        m_rig.child<QLineEdit>("memoryAddress")->setText(QStringLiteral("0xZZ"));
        m_rig.tick(Normal);
        m_rig.button("read16Bit")->click();
        QVERIFY(m_rig.window->isRowTicked(m_rig.rowOf(Normal)));
        m_rig.tick(Normal, false);
        m_rig.child<QLineEdit>("memoryAddress")->setText(QStringLiteral("0x000e"));
    }

    void boardModesAndFineAdjustmentServeEveryTickedModule_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("single") << "singleBoardMode" << "BoardMode" << 1 << QByteArray::fromHex("10110003");
        QTest::newRow("double") << "doubleBoardMode" << "BoardMode" << 2 << QByteArray::fromHex("10118003");
        QTest::newRow("fine on") << "fineAdjustmentOn" << "FineAdjustment" << 1 << QByteArray::fromHex("10011000");
        QTest::newRow("fine off") << "fineAdjustmentOff" << "FineAdjustment" << 0 << QByteArray::fromHex("10010000");
    }
    void boardModesAndFineAdjustmentServeEveryTickedModule()
    {
        QFETCH(QString, button);
        QFETCH(QString, column);
        QFETCH(int, value);
        QFETCH(QByteArray, bytes);
        m_rig.tick(Normal);
        m_rig.tick(Third);
        m_rig.button(button.toLatin1().constData())->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_rig.window->isRowTicked(m_rig.rowOf(Third)), 5000);
        for (int base : {Normal, Third}) {
            QTRY_VERIFY2_WITH_TIMEOUT(m_rig.probe->getBytes(SimProbe::node("LastWordWrite", base)) == bytes,
                                      qPrintable(QStringLiteral("module 0x%1 holds %2, frames in %3")
                                                     .arg(base, 0, 16)
                                                     .arg(QString::fromLatin1(m_rig.probe->getBytes(
                                                         SimProbe::node("LastWordWrite", base)).toHex()))
                                                     .arg(m_rig.node("FramesIn", base))),
                                      5000);
            QCOMPARE(m_rig.node(column.toLatin1().constData(), base), qint64(value));
        }
    }

    // A click while the previous action's 20 ms repetition is still pending
    // (no event loop ran in between) serves the rows ticked for it: the old
    // repetition must not read them instead of writing and untick them.
    void aNewActionTakesOverAPendingRepetition()
    {
        m_rig.child<QLineEdit>("memoryAddress")->setText(QStringLiteral("0x000e"));
        m_rig.tick(Normal);
        m_rig.button("read32Bit")->click();
        QVERIFY(!m_rig.window->isRowTicked(m_rig.rowOf(Normal)));
        m_rig.tick(Normal);
        m_rig.tick(Third);
        m_rig.button("doubleBoardMode")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_rig.window->isRowTicked(m_rig.rowOf(Third)), 5000);
        for (int base : {Normal, Third}) {
            QTRY_COMPARE_WITH_TIMEOUT(m_rig.probe->getBytes(SimProbe::node("LastWordWrite", base)),
                                      QByteArray::fromHex("10118003"), 5000);
            QCOMPARE(m_rig.node("BoardMode", base), qint64(2));
        }
    }

    void rawMessageAndMonitor()
    {
        // The monitor logs every module on again every 101st poll tick; on a busy
        // machine such a keep-alive can fall between two readings of the counter.
        // Here the counter must count only what the buttons send.
        const int keepAliveTicks = flashTimings().keepAliveTicks;
        flashTimings().keepAliveTicks = std::numeric_limits<int>::max();
        // Whatever fails below, the next case gets the module back in its firmware.
        const auto restore = qScopeGuard([&] {
            flashTimings().keepAliveTicks = keepAliveTicks;
            m_rig.tick(Internal, false);
            m_rig.window->firmwareUpdate()->sendBootCommand(Internal, 0x09);
        });
        m_rig.child<QPlainTextEdit>("log")->clear();
        m_rig.tick(Internal);
        const qint64 before = m_rig.node("FramesIn", Internal);
        m_rig.child<QLineEdit>("canMessage")->setText(QStringLiteral("15 00"));
        m_rig.button("writeMessage")->click();
        QCOMPARE(m_rig.window->firmwareUpdate()->state(), int(FirmwareUpdate::MessageMonitor));
        // The row stays ticked; nothing repeats.
        QVERIFY(m_rig.window->isRowTicked(m_rig.rowOf(Internal)));
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.node("FramesIn", Internal) - before >= 1, 2000);
        // One request, delivered at most once more per SNMP retry when a busy
        // machine delays its answer; a repeating action would send every 20 ms.
        QTest::qWait(300);
        QVERIFY2(m_rig.node("FramesIn", Internal) - before <= 1 + Snmp::Retries,
                 qPrintable(QString::number(m_rig.node("FramesIn", Internal) - before)));
        // A running module answers boot command 00 by entering its boot loader (0x1599).
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.log().contains(QStringLiteral("0x210 2 15 99")), 3000);
        // Read addresses base+1: an identity query for the device name.
        m_rig.child<QLineEdit>("canMessage")->setText(QStringLiteral("12 03"));
        m_rig.button("readMessage")->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.log().contains(QRegularExpression(QStringLiteral("0x210 \\d 12 03( [0-9a-f]{2})+"))),
                                 3000);

        // More than eight bytes: refused, nothing sent.
        const qint64 sent = m_rig.node("FramesIn", Internal);
        m_rig.child<QLineEdit>("canMessage")->setText(QStringLiteral("01 02 03 04 05 06 07 08 09"));
        m_rig.button("writeMessage")->click();
        QVERIFY(m_rig.log().contains(QStringLiteral("at most 8 fit into one message. Nothing sent.")));
        QTest::qWait(200);
        QCOMPARE(m_rig.node("FramesIn", Internal), sent);
    }

    // Service and event-memory actions pressed while a firmware batch runs are
    // refused: each would take the tunnel (or the ticked row) from the run.
    void serviceActionsAreRefusedWhileABatchRuns()
    {
        HexGen::Options o;
        o.device = QStringLiteral("T14X0");
        o.release = QStringLiteral("05.21");
        o.dataLines = 400;
        const QString file = m_dir.path() + QStringLiteral("/T14X0_0521.hex");
        QVERIFY(HexGen::writeFile(file, o));
        m_rig.setFile(file);
        m_rig.tick(Third);
        QVERIFY(m_rig.button("flash")->isEnabled());
        m_rig.button("flash")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_rig.status(Third), QStringLiteral("Flashing..."), 20000);
        for (const char *name : {"read16Bit", "read32Bit", "singleBoardMode", "fineAdjustmentOn", "writeMessage",
                                 "readStoredEvents", "clearStoredEvents", "programCanBitRate"})
            m_rig.button(name)->click();
        QVERIFY(m_rig.window->isRowTicked(m_rig.rowOf(Third)));
        QVERIFY(m_rig.window->isUpdating());
        QVERIFY(QTest::qWaitFor([&] { return !m_rig.window->isUpdating(); }, 60000));
        const QString log = m_rig.log();
        QVERIFY2(log.contains(FlashRig::updateCompleted()),
                 qPrintable(log.right(600)));
        QCOMPARE(log.count(QStringLiteral("Not possible while a firmware update is running.")), 8);
        QCOMPARE(m_rig.status(Third), QStringLiteral("Done"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(quint32(m_rig.node("ImageChecksum", Third)), HexGen::parse(f.readAll()).checksum());
        m_rig.window->firmwareUpdate()->sendBootCommand(Third, 0x09);

        // And the other way round: no batch starts while stored events are read.
        o.device = QStringLiteral("T03X0");
        o.dataLines = 20;
        const QString t03 = m_dir.path() + QStringLiteral("/T03X0_0521.hex");
        QVERIFY(HexGen::writeFile(t03, o));
        m_rig.setFile(t03);
        m_rig.tick(Normal);
        m_rig.button("readStoredEvents")->click();
        QVERIFY(events()->isReading());
        m_rig.tick(Normal);
        QVERIFY(m_rig.button("flash")->isEnabled());
        m_rig.button("flash")->click();
        QVERIFY(!m_rig.window->isUpdating());
        QVERIFY(m_rig.log().contains(QStringLiteral("Reading stored events is still in progress")));
        m_rig.tick(Normal, false);
        QTRY_VERIFY_WITH_TIMEOUT(!events()->isReading(), 60000);
        QVERIFY(m_rig.log().contains(QStringLiteral("Reading Data from Module 7100123 finished")));
    }
};

VEXA_TEST_MAIN(FlashServiceTest)
#include "tst_flashservice.moc"
