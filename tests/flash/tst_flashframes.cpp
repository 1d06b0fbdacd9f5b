// How HEX lines become tunnel frames, and the module record's texts.
#include "firmwareupdate.h"
#include "testenv.h"

#include <QApplication>
#include <QtTest>

using namespace crateflash;

class FlashFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void lineFrames_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::newRow("41 characters")
            << QByteArray(":10010000214601360121470136007EFE09D21901")
            << QList<QByteArray>{":10010", "000214", "601360", "121470", "136007", "EFE09D", "21901\r", "\n"};
        QTest::newRow("empty line") << QByteArray() << QList<QByteArray>{"\r\n"};
        QTest::newRow("already ended") << QByteArray(":00000001FF\r\n")
                                       << QList<QByteArray>{":00000", "001FF\r", "\n"};
        QTest::newRow("exactly six with end") << QByteArray("abcd") << QList<QByteArray>{"abcd\r\n"};
    }
    void lineFrames()
    {
        QFETCH(QByteArray, line);
        QFETCH(QList<QByteArray>, chunks);
        const QList<CanFrame> frames = FirmwareUpdate::lineFrames(0x210, line);
        QCOMPARE(frames.size(), chunks.size());
        for (int i = 0; i < frames.size(); ++i) {
            const CanFrame &f = frames.at(i);
            QCOMPARE(f.identifier(), 0x211);
            QCOMPARE(f.length(), int(chunks.at(i).size()) + 2);
            QCOMPARE(f.code(), 0x1500);
            QCOMPARE(f.data().mid(2), chunks.at(i));
        }
    }

    void moduleTexts_data()
    {
        QTest::addColumn<int>("canId");
        QTest::addColumn<int>("release");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("5.12") << 0x210 << 512 << "0x210" << "5.12";
        QTest::newRow("2.05") << 0x268 << 205 << "0x268" << "2.05";
        QTest::newRow("10.07") << 0x2E0 << 1007 << "0x2e0" << "10.07";
        QTest::newRow("unknown") << 0 << 0 << "0x000" << "0.00";
    }
    void moduleTexts()
    {
        QFETCH(int, canId);
        QFETCH(int, release);
        QFETCH(QString, id);
        QFETCH(QString, text);
        Module m;
        m.canId = canId;
        m.release = release;
        QCOMPARE(m.canIdText(), id);
        QCOMPARE(m.releaseText(), text);
    }

    void rawMessageOfNineBytesIsRefused()
    {
        FirmwareUpdate update; // no session: a sent frame would only fail quietly
        QSignalSpy info(&update, &FirmwareUpdate::information);
        QVERIFY(!update.sendRawMessage(0x210, false, QByteArray(9, 1)));
        QCOMPARE(update.state(), int(FirmwareUpdate::Scan));
        QCOMPARE(info.count(), 1);
        QVERIFY(update.sendRawMessage(0x210, false, QByteArray(8, 1)));
        QCOMPARE(update.state(), int(FirmwareUpdate::MessageMonitor));
    }

    void startWithoutAFileReportsIt()
    {
        FirmwareUpdate update;
        QSignalSpy info(&update, &FirmwareUpdate::information);
        QSignalSpy failed(&update, &FirmwareUpdate::updateFailed);
        update.setHexFileName(QStringLiteral("/nonexistent/E08F2.hex"));
        QVERIFY(!update.startModule());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().at(0).toInt(), int(FirmwareUpdate::HexFileError));
        QVERIFY(info.first().at(0).toString().startsWith(QStringLiteral("Can not open HEX file /nonexistent/E08F2.hex")));
        QCOMPARE(update.state(), int(FirmwareUpdate::Scan));
    }
};

VEXA_TEST_MAIN(FlashFramesTest)
#include "tst_flashframes.moc"
