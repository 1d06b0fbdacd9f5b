// Firmware batches end to end against cratesim with two modules of one type
// (E08F2 at 0x200 and 0x218), one other (E16C4 at 0x210) and a T25X0 (0x268): flash, batch,
// pause, compare with and without a difference, rejected and unanswered lines,
// an unreadable file, and the checks that keep a wrong file from being flashed.
#include "flashrig.h"
#include "hexgen.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace crateflash;

namespace {
constexpr int First = 0x200;
constexpr int Other = 0x210;
constexpr int Second = 0x218;
constexpr int Tandem = 0x268; // T25X0: writing starts a second after the hand-shake
} // namespace

class FlashFirmwareTest : public QObject
{
    Q_OBJECT

private:
    FlashRig m_rig;
    QTemporaryDir m_dir;

    QString image(const QString &name, int lines, const QString &release, int badChecksumLine = 0,
                  const QString &device = QStringLiteral("E08F2"))
    {
        HexGen::Options o;
        o.device = device;
        o.release = release;
        o.dataLines = lines;
        o.badChecksumLine = badChecksumLine;
        o.seed = quint32(lines) * 7 + quint32(release.size()) + quint32(badChecksumLine);
        const QString path = m_dir.path() + QLatin1Char('/') + name;
        return HexGen::writeFile(path, o) ? path : QString();
    }
    static quint32 checksumOf(const QString &path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return HexGen::parse(f.readAll()).checksum();
    }
    bool waitForBatchEnd(int timeoutMs = 120000)
    {
        return QTest::qWaitFor([&] { return !m_rig.window->isUpdating(); }, timeoutMs);
    }
    void untickAll() { m_rig.button("disselectAll")->click(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        FlashRig::shortenDelays();
        QVERIFY2(m_rig.start(QStringLiteral(VEXA_SOURCE_DIR "/tests/flash/twins.json")), qPrintable(m_rig.error()));
        QVERIFY(m_rig.connectAndScan());
        QVERIFY(!m_rig.window->firmwareUpdate()->bootLoaderSeen());
    }

    void fileAndTypeChecks()
    {
        const QString good = image(QStringLiteral("e08f2_checks.hex"), 20, QStringLiteral("05.13"));
        const QString other = image(QStringLiteral("firmware.hex"), 20, QStringLiteral("05.13"));
        QLabel *typeWarning = m_rig.child<QLabel>("firmwareWarning");
        QLabel *mixWarning = m_rig.child<QLabel>("moduleWarning");
        QPushButton *flash = m_rig.button("flash");
        QPushButton *compare = m_rig.button("compare");

        m_rig.setFile(m_dir.path() + QStringLiteral("/missing_E08F2.hex"));
        QCOMPARE(m_rig.child<QLineEdit>("fileName")->toolTip(), QStringLiteral("File not found!"));
        QCOMPARE(m_rig.child<QLineEdit>("fileName")->palette().color(QPalette::Base), QColor(255, 128, 128));
        m_rig.tick(First);
        QVERIFY(!flash->isEnabled());

        // Lower-case file name, upper-case device name: accepted.
        m_rig.setFile(good);
        QCOMPARE(m_rig.child<QLineEdit>("fileName")->palette().color(QPalette::Base), QColor(Qt::green));
        QVERIFY(m_rig.button("select")->isEnabled());
        QVERIFY(flash->isEnabled() && compare->isEnabled());
        QVERIFY(typeWarning->text().isEmpty());

        m_rig.setFile(other);
        QVERIFY(!flash->isEnabled() && !compare->isEnabled());
        QCOMPARE(typeWarning->text(), QStringLiteral("<font color=\"red\">Warning: Firmware file doesn't match module type!"));

        m_rig.setFile(good);
        m_rig.tick(Other);
        QVERIFY(!flash->isEnabled() && !compare->isEnabled());
        QCOMPARE(mixWarning->text(), QStringLiteral("<font color=\"red\">Warning: Modules with different firmware selected!"));
        m_rig.tick(Other, false);
        QVERIFY(mixWarning->text().isEmpty());
        QVERIFY(flash->isEnabled());

        // The file dialog offers the device's files first.
        MessageBox::clearHistory();
        MessageBox::setNextFileName(good);
        m_rig.button("select")->click();
        QCOMPARE(MessageBox::last().kind, MessageBox::OpenFileName);
        QCOMPARE(MessageBox::last().title, QStringLiteral("Open Hex file"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("E08F2 (E08F2*);;Hex files (*.hex);;Any files (*)"));
        untickAll();
        QVERIFY(!m_rig.button("select")->isEnabled());
    }

    void flashOneModuleWithAFewThousandLines()
    {
        const QString file = image(QStringLiteral("E08F2_0513.hex"), 3000, QStringLiteral("05.13"));
        QVERIFY(!file.isEmpty());
        m_rig.setFile(file);
        m_rig.tick(First);
        QVERIFY(m_rig.button("flash")->isEnabled());
        QElapsedTimer timer;
        timer.start();
        const int ticks = m_rig.window->firmwareUpdate()->pollTicks();
        m_rig.button("flash")->click();
        QVERIFY(m_rig.window->isUpdating());
        QVERIFY(!m_rig.button("disconnect")->isEnabled());
        QVERIFY(!m_rig.table()->isEnabled());
        QVERIFY(m_rig.log().startsWith(QStringLiteral("Beginning flash procedure...")));
        QVERIFY(waitForBatchEnd());
        qInfo("3000-line image flashed and compared in %lld ms", timer.elapsed());
        // Answers come as fast as lines go out, yet the poll keeps ticking (the
        // window stays responsive): at least one tick per 200 ms of transfer.
        QVERIFY2(m_rig.window->firmwareUpdate()->pollTicks() - ticks > timer.elapsed() / 400,
                 qPrintable(QString::number(m_rig.window->firmwareUpdate()->pollTicks() - ticks)));
        const QString log = m_rig.log();
        QVERIFY2(log.contains(QStringLiteral("Transmission started.")), qPrintable(log.left(2000)));
        QVERIFY2(log.contains(FlashRig::flashingFinished()), qPrintable(log.right(2000)));
        QVERIFY(log.contains(QStringLiteral("Comparing finished.\nStarting PostFlash...")));
        QVERIFY(log.contains(FlashRig::updateCompleted()));
        QVERIFY(log.trimmed().endsWith(QStringLiteral("Flashing completed for all selected modules.")));
        QCOMPARE(m_rig.status(First), QStringLiteral("Done"));
        QVERIFY(!m_rig.window->isRowTicked(m_rig.rowOf(First)));
        QCOMPARE(m_rig.child<QProgressBar>("progressBar")->value(), 100);
        QVERIFY(m_rig.button("disconnect")->isEnabled());
        QCOMPARE(quint32(m_rig.node("ImageChecksum", First)), checksumOf(file));
        QVERIFY(m_rig.node("Commits", First) >= 1);
        QCOMPARE(m_rig.node("Prepared", First), 1);
    }

    void batchOfTwoModulesOfOneType()
    {
        const QString file = image(QStringLiteral("E08F2_0514.hex"), 400, QStringLiteral("05.14"));
        m_rig.setFile(file);
        m_rig.tick(First);
        m_rig.tick(Second);
        QVERIFY(m_rig.button("flash")->isEnabled());
        m_rig.button("flash")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_rig.status(Second), QStringLiteral("Preparing..."), 60000);
        QCOMPARE(m_rig.status(First), QStringLiteral("Done"));
        QVERIFY(waitForBatchEnd());
        QCOMPARE(m_rig.status(Second), QStringLiteral("Done"));
        QCOMPARE(m_rig.log().count(QStringLiteral("Firmware update completed.")), 2);
        QVERIFY(m_rig.log().contains(QStringLiteral("Preparing update for next module...")));
        const quint32 expected = checksumOf(file);
        QCOMPARE(quint32(m_rig.node("ImageChecksum", First)), expected);
        QCOMPARE(quint32(m_rig.node("ImageChecksum", Second)), expected);
        QVERIFY(quint32(m_rig.node("ImageChecksum", Other)) != expected);

        // After a restart of the crate the scan shows the new release.
        m_rig.window->firmwareUpdate()->setMainSwitch(false);
        QTest::qWait(300);
        m_rig.button("disconnect")->click();
        QVERIFY(m_rig.connectAndScan());
        QCOMPARE(m_rig.window->cellText(m_rig.rowOf(First), MainWindow::ReleaseColumn), QStringLiteral("5.14"));
        QCOMPARE(m_rig.window->cellText(m_rig.rowOf(Second), MainWindow::ReleaseColumn), QStringLiteral("5.14"));
        QCOMPARE(m_rig.window->cellText(m_rig.rowOf(Other), MainWindow::ReleaseColumn), QStringLiteral("6.20"));
    }

    void pauseDuringTheFirstModule()
    {
        const QString file = image(QStringLiteral("E08F2_0515.hex"), 300, QStringLiteral("05.15"));
        m_rig.setFile(file);
        m_rig.tick(First);
        m_rig.tick(Second);
        const qint64 secondCommits = m_rig.node("Commits", Second);
        m_rig.button("flash")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_rig.status(First), QStringLiteral("Flashing..."), 20000);
        m_rig.button("pause")->click();
        QTRY_COMPARE_WITH_TIMEOUT(m_rig.status(First), QStringLiteral("Done"), 60000);
        QCOMPARE(m_rig.status(Second), QStringLiteral("Preparing..."));
        QTest::qWait(1500);
        QCOMPARE(m_rig.status(Second), QStringLiteral("Preparing..."));
        QCOMPARE(m_rig.node("Commits", Second), secondCommits);
        QVERIFY(m_rig.window->isRowTicked(m_rig.rowOf(Second)));
        // The operator can carry on: the controls are back.
        QVERIFY(!m_rig.window->isUpdating());
        QVERIFY(m_rig.button("flash")->isEnabled());
        QVERIFY(m_rig.button("disconnect")->isEnabled());
        untickAll();
    }

    // Pause pressed while the batch still waits for its first (or next) module:
    // no module is started, and the window must not stay locked in the batch.
    void pauseBeforeTheFirstModule()
    {
        const QString file = image(QStringLiteral("E08F2_0516.hex"), 50, QStringLiteral("05.16"));
        m_rig.setFile(file);
        m_rig.tick(First);
        const qint64 commits = m_rig.node("Commits", First);
        m_rig.button("flash")->click();
        QVERIFY(m_rig.window->isUpdating());
        m_rig.button("pause")->click();
        QVERIFY(QTest::qWaitFor([&] { return !m_rig.window->isUpdating(); }, 5000));
        QVERIFY(m_rig.button("flash")->isEnabled());
        QVERIFY(m_rig.button("disconnect")->isEnabled());
        QVERIFY(m_rig.table()->isEnabled());
        QVERIFY(m_rig.window->isRowTicked(m_rig.rowOf(First)));
        QTest::qWait(500);
        QCOMPARE(m_rig.node("Commits", First), commits);
        QVERIFY(!m_rig.log().contains(QStringLiteral("Transmission started.")));
        untickAll();
    }

    void compareWithoutDifference()
    {
        const QString file = m_dir.path() + QStringLiteral("/E08F2_0514.hex");
        m_rig.setFile(file);
        m_rig.tick(Second);
        m_rig.button("compare")->click();
        QVERIFY(m_rig.log().startsWith(QStringLiteral("Beginning compare procedure...")));
        QVERIFY(waitForBatchEnd());
        const QString log = m_rig.log();
        QVERIFY2(log.contains(QStringLiteral("Comparing finished.\nRestarting Module...")), qPrintable(log.right(600)));
        QVERIFY(!log.contains(QStringLiteral("Flashing finished")));
        QCOMPARE(m_rig.status(Second), QStringLiteral("Done"));
        QCOMPARE(m_rig.node("Pass", Second), 0); // restart ends the pass
        QCOMPARE(m_rig.node("Mode", Second), 1); // running its firmware again
    }

    void compareWithADifferenceEndsTheBatch()
    {
        const QString file = m_dir.path() + QStringLiteral("/E08F2_0514.hex");
        m_rig.setFile(file);
        m_rig.tick(First);
        m_rig.tick(Second);
        QVERIFY(m_rig.setNode("CompareDifferenceLine", First, 50));
        m_rig.button("compare")->click();
        QVERIFY(waitForBatchEnd());
        const QString log = m_rig.log();
        QVERIFY(log.contains(QStringLiteral("Error: Differences between HEX file and processor flash detected!")));
        QCOMPARE(m_rig.status(First), QStringLiteral("Differences found"));
        // The batch ends there: the other module is left as it was, still ticked.
        QCOMPARE(m_rig.status(Second), QString());
        QVERIFY(m_rig.window->isRowTicked(m_rig.rowOf(Second)));
        QVERIFY(m_rig.button("disconnect")->isEnabled());
        QVERIFY(m_rig.table()->isEnabled());
        QTRY_COMPARE(m_rig.node("Mode", First), 1); // restarted (the command goes out on the tunnel thread)
        untickAll();
    }

    void rejectedLineIsResentAndCounted()
    {
        const QString file = image(QStringLiteral("E08F2_0516.hex"), 200, QStringLiteral("05.16"));
        m_rig.setFile(file);
        m_rig.tick(Second);
        QVERIFY(m_rig.setNode("RejectLine", Second, 37));
        m_rig.button("flash")->click();
        QVERIFY(waitForBatchEnd());
        const QString log = m_rig.log();
        // One rejection made by the module; a busy machine can add some of its own
        // (see FlashRig::flashingFinished()), never take it away.
        const QRegularExpressionMatch written =
            QRegularExpression(QStringLiteral("Flashing finished with (\\d+) checksum errors\\.")).match(log);
        const QRegularExpressionMatch completed =
            QRegularExpression(QStringLiteral("Firmware update completed\\. \\((\\d+) checksum errors occurred\\)")).match(log);
        QVERIFY2(written.hasMatch() && completed.hasMatch(), qPrintable(log.right(800)));
        QVERIFY2(written.captured(1).toInt() >= 1, qPrintable(written.captured(0)));
        QVERIFY2(completed.captured(1).toInt() >= written.captured(1).toInt(), qPrintable(completed.captured(0)));
        QCOMPARE(m_rig.status(Second), QStringLiteral("Done"));
        QCOMPARE(quint32(m_rig.node("ImageChecksum", Second)), checksumOf(file));
    }

    void badFilesAreRefusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        HexGen::Options o;
        o.dataLines = 30;
        const QByteArray good = HexGen::generate(o);
        QTest::newRow("cut before the end record") << good.left(good.size() - 13) << "has no end record";
        QTest::newRow("empty") << QByteArray() << "is empty";
        QTest::newRow("only the end record") << QByteArray(":00000001FF\r\n") << "holds no data record";
        QTest::newRow("binary") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\r\n", 12) << "line 1: binary data";
        QTest::newRow("one long line") << QByteArray(1024 * 1024, '0') << "line 1: line longer than 600";
        QTest::newRow("50 MB") << QByteArray() << "50000000 bytes";
    }

    void badFilesAreRefusedBeforeAnythingIsSent()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString file = m_dir.path() + QStringLiteral("/E08F2_refused_%1.hex").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        if (message.contains(QLatin1String("50000000")))
            QVERIFY(f.resize(50 * 1000 * 1000));
        f.close();
        m_rig.setFile(file);
        m_rig.tick(Second);
        QVERIFY(m_rig.button("flash")->isEnabled());
        const qint64 framesIn = m_rig.node("FramesIn", Second);
        const qint64 commits = m_rig.node("Commits", Second);
        m_rig.button("flash")->click();
        QVERIFY(!m_rig.window->isUpdating());
        const QString log = m_rig.log();
        QVERIFY2(log.contains(message) && log.contains(file), qPrintable(log.right(600)));
        QVERIFY(m_rig.table()->isEnabled());
        // Not even the broadcast before the first module went out.
        QTest::qWait(200);
        QCOMPARE(m_rig.node("FramesIn", Second), framesIn);
        QCOMPARE(m_rig.node("Commits", Second), commits);
        untickAll();
    }

    void lineRejectedTenTimesFailsTheRun()
    {
        // A line the module rejects every time it is sent: data beyond its
        // flash (a file with a bad checksum no longer reaches the module).
        const QString file = image(QStringLiteral("E08F2_bad.hex"), 100, QStringLiteral("05.17"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QList<QByteArray> lines = f.readAll().split('\n');
            f.close();
            lines.insert(10, QByteArray(":020000040040BA\r")); // line 11: addresses from 4 MiB on
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(lines.join('\n'));
        }
        m_rig.setFile(file);
        m_rig.tick(Second);
        const qint64 commits = m_rig.node("Commits", Second);
        m_rig.button("flash")->click();
        QVERIFY(waitForBatchEnd(60000));
        QCOMPARE(m_rig.status(Second), QStringLiteral("Failed"));
        const QString log = m_rig.log();
        QVERIFY2(log.contains(QStringLiteral("rejected line 12 (address 0x")), qPrintable(log.right(800)));
        QVERIFY(log.contains(QStringLiteral("10 times in a row")));
        QVERIFY(log.contains(QStringLiteral("sn. 8003")));
        QCOMPARE(m_rig.node("Commits", Second), commits);
        QVERIFY(m_rig.table()->isEnabled());
        QVERIFY(m_rig.button("selectAll")->isEnabled());
        // Ticking the row again offers Flash again.
        m_rig.tick(Second);
        QVERIFY(m_rig.button("flash")->isEnabled());
        untickAll();
    }

    void moduleThatStopsAnsweringFailsWithinBoundedTime()
    {
        const QString file = image(QStringLiteral("E08F2_0518.hex"), 300, QStringLiteral("05.18"));
        m_rig.setFile(file);
        m_rig.tick(First);
        QVERIFY(m_rig.setNode("StopAfterLines", First, 40));
        const FlashRig::ShortAnswerTimeout shortTimeout;
        QElapsedTimer timer;
        timer.start();
        m_rig.button("flash")->click();
        // 12 resends of 200 ms each (shortened from 5 s) plus the start: a few
        // seconds, far below the minute the unshortened resends would take even
        // when a busy machine stretches the poll.
        QVERIFY(waitForBatchEnd(60000));
        QVERIFY2(timer.elapsed() < 40000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(m_rig.status(First), QStringLiteral("Failed"));
        const QString log = m_rig.log();
        QVERIFY2(log.contains(QStringLiteral("did not answer line 41 (address 0x")), qPrintable(log.right(800)));
        QVERIFY(log.contains(QStringLiteral("after 12 resends")));
        QVERIFY(log.contains(QStringLiteral("module 0x200 (sn. 8001)")));
        QCOMPARE(log.count(QStringLiteral("\n:")) >= 12, true);
        QVERIFY(m_rig.button("disconnect")->isEnabled());
        QVERIFY(!m_rig.window->isUpdating());
        QVERIFY(m_rig.setNode("StopAfterLines", First, 0));
    }

    void tandemModuleStartsWritingOnce()
    {
        // A running module answers the first boot command from its boot loader
        // (0x1599): the tool asks again and starts writing 100 ms later, while the
        // T25X0's own hand-shake answer schedules a start one second later. That
        // late start must not begin the write pass a second time half-way through.
        const int shortened = flashTimings().tandemStartDelayMs;
        flashTimings().tandemStartDelayMs = 1000;
        const QString file = image(QStringLiteral("T25X0_0206.hex"), 2500, QStringLiteral("02.06"), 0,
                                   QStringLiteral("T25X0"));
        m_rig.setFile(file);
        m_rig.tick(Tandem);
        QVERIFY(m_rig.button("flash")->isEnabled());
        QSignalSpy states(m_rig.window->firmwareUpdate(), &FirmwareUpdate::status);
        m_rig.button("flash")->click();
        QVERIFY(waitForBatchEnd());
        flashTimings().tandemStartDelayMs = shortened;
        QCOMPARE(m_rig.status(Tandem), QStringLiteral("Done"));
        // One write pass, one compare pass, one post-flash.
        QList<int> codes;
        for (const QList<QVariant> &args : states)
            codes << args.at(0).toInt();
        QCOMPARE(codes, (QList<int>{4, 7, 9}));
        QCOMPARE(m_rig.log().count(FlashRig::flashingFinished()), 1);
        QCOMPARE(quint32(m_rig.node("ImageChecksum", Tandem)), checksumOf(file));
    }

    void silentBootLoaderFailsTheRun()
    {
        const QString file = image(QStringLiteral("E08F2_0520.hex"), 20, QStringLiteral("05.20"));
        m_rig.setFile(file);
        m_rig.tick(Second);
        QVERIFY(m_rig.setNode("DropAnswers", Second, -1));
        const FlashRig::ShortAnswerTimeout shortTimeout;
        QElapsedTimer timer;
        timer.start();
        m_rig.button("flash")->click();
        QVERIFY(waitForBatchEnd(60000));
        QVERIFY(m_rig.setNode("DropAnswers", Second, 0));
        QCOMPARE(m_rig.status(Second), QStringLiteral("Failed"));
        QVERIFY2(m_rig.log().contains(QStringLiteral("module 0x218 (sn. 8003) did not answer the boot loader "
                                                     "hand-shake after 12 resends")),
                 qPrintable(m_rig.log().right(500)));
        QVERIFY2(timer.elapsed() < 40000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(m_rig.button("disconnect")->isEnabled());
    }

    void unreadableFileEndsTheBatch()
    {
        const QString file = image(QStringLiteral("E08F2_gone.hex"), 20, QStringLiteral("05.19"));
        m_rig.setFile(file);
        m_rig.tick(Second);
        m_rig.button("flash")->click();
        // Gone before the module's run starts (after the prepare delay).
        QFile::remove(file);
        QVERIFY(waitForBatchEnd(10000));
        QCOMPARE(m_rig.status(Second), QStringLiteral("Failed"));
        QVERIFY2(m_rig.log().contains(QStringLiteral("Can not open HEX file %1").arg(file)), qPrintable(m_rig.log()));
        QVERIFY(m_rig.button("disconnect")->isEnabled());
        QVERIFY(m_rig.child<QLineEdit>("fileName")->isEnabled());
    }
};

VEXA_TEST_MAIN(FlashFirmwareTest)
#include "tst_flashfirmware.moc"
