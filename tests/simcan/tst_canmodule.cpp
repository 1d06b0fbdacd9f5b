// The module side of the CAN tunnel in-process: frame records, HEX record
// parsing, flash image identity, and the boot loader, memories and bus rules
// driven frame by frame without an agent in between.

#include "canbus.h"
#include "canframe.h"
#include "canside.h"
#include "eventrecords.h"
#include "flashimage.h"
#include "hexgen.h"
#include "intelhexrecord.h"
#include "testenv.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QtTest>

class TestCanModule : public QObject
{
    Q_OBJECT

private:
    struct Bus {
        CanBus bus;
        CanModule *node = nullptr;
        Bus(const QJsonObject &can = {}, const QString &device = QStringLiteral("E08F2"))
        {
            node = bus.addNode(1, 0x210, 0);
            node->configure(4711, device, QStringLiteral("05.12"), 8, can, nullptr);
            bus.setTunnelOpen(true);
        }
        QList<CanFrame> send(quint16 id, const QByteArray &data)
        {
            bus.transmit(CanFrame(id, data));
            return drain();
        }
        QList<CanFrame> drain()
        {
            QList<CanFrame> out;
            CanFrame f;
            int pending = 0;
            while (bus.take(&f, &pending))
                out.append(f);
            return out;
        }
        // Sends one HEX line the way the tool does: six characters per frame.
        QList<CanFrame> sendLine(const QByteArray &line)
        {
            QList<CanFrame> answers;
            for (int i = 0; i < line.size(); i += 6)
                answers += send(0x211, QByteArray::fromHex("1500") + line.mid(i, 6));
            return answers;
        }
        quint16 lineAnswer(const QByteArray &line)
        {
            const QList<CanFrame> a = sendLine(line);
            return a.size() == 1 ? a.first().code() : 0;
        }
        void enterWritePass()
        {
            send(0x210, QByteArray::fromHex("1500"));
            send(0x210, QByteArray::fromHex("1500"));
            send(0x210, QByteArray::fromHex("1503"));
        }
    };

private slots:
    void frameRecordRoundTrip()
    {
        const CanFrame f(0x211, QByteArray::fromHex("1500313233"));
        const QByteArray value = f.toTunnelValue(3);
        QCOMPARE(value.size(), 16);
        QCOMPARE(value.left(2), QByteArray::fromHex("0300"));
        // Identifier word: 0x211 << 18 = 0x08440000, little-endian.
        QCOMPARE(value.mid(2, 6), QByteArray::fromHex("050000004408"));
        CanFrame back;
        QVERIFY(CanFrame::fromTunnelValue(value, &back));
        QCOMPARE(back.id, quint16(0x211));
        QCOMPARE(back.payload(), QByteArray::fromHex("1500313233"));
        QVERIFY(!CanFrame::fromTunnelValue(value.left(15), &back));
    }

    void frameLengthAboveEightIsClamped()
    {
        QByteArray record(14, '\0');
        record[0] = char(0x0F);
        CanFrame f;
        QVERIFY(CanFrame::fromRecord(record, &f));
        QCOMPARE(int(f.length), 8);
    }

    void hexRecord_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("type");
        QTest::newRow("data") << QByteArray(":10010000214601360121470136007EFE09D2190140") << int(IntelHexRecord::NoError) << 0;
        QTest::newRow("lower case") << QByteArray(":10010000214601360121470136007efe09d2190140") << int(IntelHexRecord::NoError) << 0;
        QTest::newRow("eof") << QByteArray(":00000001FF") << int(IntelHexRecord::NoError) << 1;
        QTest::newRow("segment") << QByteArray(":020000021200EA") << int(IntelHexRecord::NoError) << 2;
        QTest::newRow("linear") << QByteArray(":020000040800F2") << int(IntelHexRecord::NoError) << 4;
        QTest::newRow("start linear") << QByteArray(":04000005000000CD2A") << int(IntelHexRecord::NoError) << 5;
        QTest::newRow("checksum") << QByteArray(":10010000214601360121470136007EFE09D2190141") << int(IntelHexRecord::ChecksumError) << 0;
        QTest::newRow("no colon") << QByteArray("10010000214601360121470136007EFE09D2190140") << int(IntelHexRecord::SyntaxError) << 0;
        QTest::newRow("not hex") << QByteArray(":1001000021460136012147013600XXFE09D2190140") << int(IntelHexRecord::SyntaxError) << 0;
        QTest::newRow("short count") << QByteArray(":0F010000214601360121470136007EFE09D2190140") << int(IntelHexRecord::LengthMismatch) << 0;
        QTest::newRow("type 06") << HexGen::record(6, 0, QByteArray(2, '\0')) << int(IntelHexRecord::UnknownType) << 6;
        QTest::newRow("linear with 3 bytes") << HexGen::record(4, 0, QByteArray(3, '\0')) << int(IntelHexRecord::BadAddressRecord) << 4;
    }

    void hexRecord()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, error);
        QFETCH(int, type);
        const IntelHexRecord r = IntelHexRecord::parse(line);
        QCOMPARE(int(r.error), error);
        if (error == IntelHexRecord::NoError || error == IntelHexRecord::UnknownType
            || error == IntelHexRecord::BadAddressRecord)
            QCOMPARE(int(r.type), type);
    }

    void hexRecordFormatMatchesGenerator()
    {
        const QByteArray data = QByteArray::fromHex("214601360121470136007EFE09D21901");
        QCOMPARE(IntelHexRecord::format(0, 0x0100, data), HexGen::record(0, 0x0100, data));
        QCOMPARE(IntelHexRecord::format(0, 0x0100, data), QByteArray(":10010000214601360121470136007EFE09D2190140"));
    }

    void identityBlockFoundAndChecksumAgreesWithGenerator()
    {
        HexGen::Options o;
        o.device = QStringLiteral("E16C4");
        o.release = QStringLiteral("06.21");
        o.dataLines = 200;
        const HexGen::Image reference = HexGen::parse(HexGen::generate(o));
        QVERIFY(reference.ok);
        FlashImage image;
        for (auto it = reference.bytes.cbegin(); it != reference.bytes.cend(); ++it)
            image.write(it.key(), QByteArray(1, char(it.value())));
        QCOMPARE(image.checksum(), reference.checksum());
        QCOMPARE(image.length(), 200u * 16u);
        QCOMPARE(FlashImage::identityBlock(QStringLiteral("E16C4"), QStringLiteral("06.21")),
                 HexGen::identityBlock(QStringLiteral("E16C4"), QStringLiteral("06.21")));
        const FlashImage::Identity id = image.identity();
        QVERIFY(id.valid);
        QCOMPARE(id.device, QStringLiteral("E16C4"));
        QCOMPARE(id.release, QStringLiteral("06.21"));
    }

    void imageWithoutIdentityHasNone()
    {
        FlashImage image;
        image.write(0, QByteArray(64, 'x'));
        QVERIFY(!image.identity().valid);
        // A block cut by a gap does not count.
        const QByteArray block = FlashImage::identityBlock(QStringLiteral("E08F2"), QStringLiteral("05.12"));
        image.write(0x100, block.left(6));
        image.write(0x107, block.mid(7));
        QVERIFY(!image.identity().valid);
    }

    void logOnOffAndIdentity()
    {
        Bus b;
        QList<CanFrame> a = b.send(0x210, QByteArray::fromHex("D800"));
        QCOMPARE(a.size(), 1);
        QCOMPARE(a.first().id, quint16(0x210));
        QCOMPARE(int(a.first().length), 3);
        QCOMPARE(int(a.first().data[0]), 0xD8);
        a = b.send(0x211, QByteArray::fromHex("1200"));
        QCOMPARE(a.first().payload(), QByteArray::fromHex("120000001267"));
        a = b.send(0x211, QByteArray::fromHex("1201"));
        QCOMPARE(a.first().payload(), QByteArray::fromHex("120100050102"));
        a = b.send(0x211, QByteArray::fromHex("1203"));
        QCOMPARE(a.first().payload(), QByteArray::fromHex("1203") + QByteArray("E08F2"));
        // Frames of other modules are not answered.
        QVERIFY(b.send(0x221, QByteArray::fromHex("1200")).isEmpty());
    }

    void closedTunnelCarriesNothing()
    {
        Bus b;
        b.send(0x600, QByteArray::fromHex("10010002"));
        QVERIFY(!b.bus.isTunnelOpen());
        QVERIFY(b.send(0x210, QByteArray::fromHex("D800")).isEmpty());
        QCOMPARE(b.node->framesIn(), 0u);
        b.send(0x600, QByteArray::fromHex("10010001"));
        QCOMPARE(b.send(0x210, QByteArray::fromHex("D800")).size(), 1);
    }

    void bootLoaderEntryAndHandShake()
    {
        Bus b;
        QCOMPARE(b.send(0x210, QByteArray::fromHex("1500")).first().code(), quint16(0x1599));
        QCOMPARE(b.node->mode(), CanModule::Mode::BootLoader);
        // In the boot loader log on/off is answered with 0x1599.
        QCOMPARE(b.send(0x210, QByteArray::fromHex("D801")).first().code(), quint16(0x1599));
        QCOMPARE(b.send(0x210, QByteArray::fromHex("1500")).first().code(), quint16(0x1581));
        for (const char *cmd : {"1503", "1504", "1505"})
            QVERIFY2(b.send(0x210, QByteArray::fromHex(cmd)).isEmpty(), cmd);
    }

    void lineAnswers_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("answer");
        QTest::newRow("data") << HexGen::record(0, 0x0100, QByteArray(16, 'a')) << 0x1585;
        QTest::newRow("checksum") << QByteArray(":10010000214601360121470136007EFE09D2190141") << 0x1591;
        QTest::newRow("syntax") << QByteArray("10010000214601360121470136007EFE09D2190140") << 0x1592;
        QTest::newRow("unknown type") << HexGen::record(7, 0, QByteArray(2, '\0')) << 0x1594;
        QTest::newRow("beyond flash") << HexGen::record(4, 0, QByteArray::fromHex("0100")) + "\r\n"
                                             + HexGen::record(0, 0, QByteArray(16, 'a'))
                                      << 0x1595;
        QTest::newRow("bad address record") << HexGen::record(2, 0, QByteArray(1, '\0')) << 0x1596;
        QTest::newRow("blank line") << QByteArray("") << 0x1585;
    }

    void lineAnswers()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, answer);
        Bus b;
        b.enterWritePass();
        const QList<CanFrame> a = b.sendLine(line + "\r\n");
        QVERIFY(!a.isEmpty());
        QCOMPARE(int(a.last().code()), answer);
        QCOMPARE(int(a.last().length), 2);
        QCOMPARE(a.last().id, quint16(0x210));
    }

    void lineBeforePassIsRejected()
    {
        Bus b;
        b.send(0x210, QByteArray::fromHex("1500"));
        b.send(0x210, QByteArray::fromHex("1500"));
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0, QByteArray(16, 'a')) + "\r\n"), quint16(0x1597));
    }

    void overlongLineIsRejected()
    {
        Bus b;
        b.enterWritePass();
        const QList<CanFrame> a = b.sendLine(QByteArray(CanModule::MaxLineLength + 6, '0'));
        QCOMPARE(a.size(), 1);
        QCOMPARE(a.first().code(), quint16(0x1598));
    }

    void segmentAddressesPlaceData()
    {
        Bus b;
        b.enterWritePass();
        QCOMPARE(b.lineAnswer(HexGen::record(2, 0, QByteArray::fromHex("1200")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0x0010, QByteArray("ABCD")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(3, 0, QByteArray::fromHex("12000100")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(QByteArray(":00000001FF\r\n")), quint16(0x1585));
        b.send(0x210, QByteArray::fromHex("1506"));
        QVERIFY(b.node->flash().matches(0x12010, QByteArray("ABCD")));
        QCOMPARE(b.node->flash().length(), 4u);
        QCOMPARE(b.node->startAddress(), 0x12000100u);
    }

    void segmentAddressedRecordWrapsInItsSegment()
    {
        // Under an 02 record the offset wraps at 64 KiB within the segment;
        // under an 04 record the address runs on.
        Bus b;
        b.enterWritePass();
        QCOMPARE(b.lineAnswer(HexGen::record(2, 0, QByteArray::fromHex("1000")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0xFFFE, QByteArray("ABCD")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(4, 0, QByteArray::fromHex("0003")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0xFFFE, QByteArray("WXYZ")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(QByteArray(":00000001FF\r\n")), quint16(0x1585));
        b.send(0x210, QByteArray::fromHex("1505"));
        QCOMPARE(b.lineAnswer(HexGen::record(2, 0, QByteArray::fromHex("1000")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0xFFFE, QByteArray("ABCD")) + "\r\n"), quint16(0x1585));
        b.send(0x210, QByteArray::fromHex("1506"));
        QVERIFY(b.node->flash().matches(0x1FFFE, QByteArray("AB")));
        QVERIFY(b.node->flash().matches(0x10000, QByteArray("CD")));
        QVERIFY(b.node->flash().matches(0x3FFFE, QByteArray("WXYZ")));
        QCOMPARE(b.node->flash().length(), 8u);
    }

    void writeCompareCommitRestart()
    {
        Bus b;
        HexGen::Options o;
        o.device = QStringLiteral("E08F2");
        o.release = QStringLiteral("05.13");
        o.dataLines = 300;
        o.extendedLinear = true;
        o.baseAddress = 0xF800;
        const QByteArray text = HexGen::generate(o);
        const HexGen::Image reference = HexGen::parse(text);
        QVERIFY(reference.ok);
        b.enterWritePass();
        for (const QByteArray &line : HexGen::linesToSend(text))
            QCOMPARE(b.lineAnswer(line), quint16(0x1585));
        b.send(0x210, QByteArray::fromHex("1505"));
        for (const QByteArray &line : HexGen::linesToSend(text))
            QCOMPARE(b.lineAnswer(line), quint16(0x1585));
        // Not committed before post-flash.
        QVERIFY(b.node->flash().checksum() != reference.checksum());
        QVERIFY(b.send(0x210, QByteArray::fromHex("1506")).isEmpty());
        QCOMPARE(b.node->flash().checksum(), reference.checksum());
        QCOMPARE(b.node->flash().length(), reference.length());
        QVERIFY(b.send(0x210, QByteArray::fromHex("1509")).isEmpty());
        QCOMPARE(b.node->mode(), CanModule::Mode::Running);
        QCOMPARE(b.send(0x211, QByteArray::fromHex("1201")).first().payload(), QByteArray::fromHex("120100050103"));
    }

    void restartWithoutImageStaysInBootLoader()
    {
        QJsonObject can;
        can.insert(QStringLiteral("bootLoader"), true);
        Bus b(can, QStringLiteral("T25X0"));
        QCOMPARE(b.node->mode(), CanModule::Mode::BootLoader);
        QVERIFY(b.node->flash().isEmpty());
        QCOMPARE(b.send(0x210, QByteArray::fromHex("1509")).first().code(), quint16(0x1599));
        QCOMPARE(b.node->mode(), CanModule::Mode::BootLoader);
        // The boot loader still tells who it is, with its own release.
        QCOMPARE(b.send(0x211, QByteArray::fromHex("1203")).first().payload(), QByteArray::fromHex("1203") + "T25X0");
        QCOMPARE(b.send(0x211, QByteArray::fromHex("1201")).first().payload(), QByteArray::fromHex("120100010004"));
    }

    void repeatedWriteCommandKeepsWrittenLines()
    {
        Bus b;
        b.enterWritePass();
        const QByteArray l1 = HexGen::record(0, 0, QByteArray(16, 'a')) + "\r\n";
        const QByteArray l2 = HexGen::record(0, 16, QByteArray(16, 'b')) + "\r\n";
        QCOMPARE(b.lineAnswer(l1), quint16(0x1585));
        QVERIFY(b.send(0x210, QByteArray::fromHex("1503")).isEmpty());
        QCOMPARE(b.lineAnswer(l2), quint16(0x1585));
        b.send(0x210, QByteArray::fromHex("1505"));
        QCOMPARE(b.lineAnswer(l1), quint16(0x1585));
        QCOMPARE(b.lineAnswer(l2), quint16(0x1585));
        // A new hand-shake starts a new image.
        b.send(0x210, QByteArray::fromHex("1500"));
        b.send(0x210, QByteArray::fromHex("1505"));
        QCOMPARE(b.lineAnswer(l1), quint16(0x1593));
    }

    void repeatedWriteCommandKeepsTheAddressBase()
    {
        // A running module is restarted by the hand-shake, so the tool sends 03
        // twice; the second one comes after the file's first lines without the
        // file being read again from its start.
        Bus b;
        b.enterWritePass();
        QCOMPARE(b.lineAnswer(HexGen::record(4, 0, QByteArray::fromHex("0001")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0x0000, QByteArray("ABCD")) + "\r\n"), quint16(0x1585));
        QVERIFY(b.send(0x210, QByteArray::fromHex("1503")).isEmpty());
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0x0004, QByteArray("EFGH")) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(QByteArray(":00000001FF\r\n")), quint16(0x1585));
        b.send(0x210, QByteArray::fromHex("1506"));
        QVERIFY(b.node->flash().matches(0x10000, QByteArray("ABCDEFGH")));
        QCOMPARE(b.node->flash().length(), 8u);
    }

    void compareAgainstFlashFindsDifference()
    {
        Bus b;
        b.send(0x210, QByteArray::fromHex("1500"));
        b.send(0x210, QByteArray::fromHex("1500"));
        b.send(0x210, QByteArray::fromHex("1504"));
        // The running image came from the module's own firmware; a foreign line differs.
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0x0000, QByteArray(16, 'z')) + "\r\n"), quint16(0x1593));
    }

    void rejectLineFaultFiresOnce()
    {
        Bus b;
        b.node->rejectLine = 2;
        b.enterWritePass();
        const QByteArray l1 = HexGen::record(0, 0, QByteArray(16, 'a')) + "\r\n";
        const QByteArray l2 = HexGen::record(0, 16, QByteArray(16, 'b')) + "\r\n";
        QCOMPARE(b.lineAnswer(l1), quint16(0x1585));
        QCOMPARE(b.lineAnswer(l2), quint16(0x1591));
        QCOMPARE(b.lineAnswer(l2), quint16(0x1585));
        QCOMPARE(b.node->rejectLine, 0);
        QCOMPARE(b.node->linesRejected(), 1);
    }

    void delayedAnswersWaitForTheirTime()
    {
        Bus b;
        b.node->answerDelayMs = 300;
        b.bus.advance(1000);
        QVERIFY(b.send(0x210, QByteArray::fromHex("D800")).isEmpty());
        QCOMPARE(b.bus.queuedCount(), 1);
        b.bus.advance(1299);
        QVERIFY(b.drain().isEmpty());
        b.bus.advance(1300);
        QCOMPARE(b.drain().size(), 1);
    }

    void droppedAnswers()
    {
        Bus b;
        b.node->dropAnswers = 2;
        QVERIFY(b.send(0x210, QByteArray::fromHex("D800")).isEmpty());
        QVERIFY(b.send(0x210, QByteArray::fromHex("D800")).isEmpty());
        QCOMPARE(b.send(0x210, QByteArray::fromHex("D800")).size(), 1);
    }

    void stopAfterLines()
    {
        Bus b;
        b.node->setStopAfterLines(2);
        b.enterWritePass();
        QCOMPARE(b.lineAnswer(HexGen::record(0, 0, QByteArray(16, 'a')) + "\r\n"), quint16(0x1585));
        QCOMPARE(b.lineAnswer(HexGen::record(0, 16, QByteArray(16, 'a')) + "\r\n"), quint16(0x1585));
        QVERIFY(b.node->stopped());
        QVERIFY(b.sendLine(HexGen::record(0, 32, QByteArray(16, 'a')) + "\r\n").isEmpty());
        QVERIFY(b.send(0x210, QByteArray::fromHex("D800")).isEmpty());
        b.node->setStopAfterLines(0);
        QCOMPARE(b.send(0x210, QByteArray::fromHex("D800")).size(), 1);
    }

    void bitRateProgrammingSilencesUntilTunnelFollows()
    {
        Bus b;
        // Without the announce a rate value is ignored.
        b.send(4, QByteArray::fromHex("D4007D"));
        b.send(4, QByteArray::fromHex("D0"));
        QCOMPARE(b.node->bitRateKbit(), 250);
        b.send(4, QByteArray::fromHex("C8"));
        b.send(4, QByteArray::fromHex("D4007D"));
        QCOMPARE(b.node->bitRateKbit(), 250);
        b.send(4, QByteArray::fromHex("D0"));
        QCOMPARE(b.node->bitRateKbit(), 125);
        QVERIFY(b.send(0x210, QByteArray::fromHex("D800")).isEmpty());
        b.bus.setTunnelBitRate(125000);
        QCOMPARE(b.send(0x210, QByteArray::fromHex("D800")).size(), 1);
    }

    void prepareForUpdate()
    {
        Bus b;
        QVERIFY(b.send(4, QByteArray::fromHex("F415E6")).isEmpty());
        QVERIFY(b.node->prepared());
    }

    void memoryReadAndWordWrites()
    {
        QJsonObject regs;
        regs.insert(QStringLiteral("0x0010"), QStringLiteral("0x3fc0"));
        QJsonObject can;
        can.insert(QStringLiteral("registers"), regs);
        Bus b(can);
        QCOMPARE(b.send(0x211, QByteArray::fromHex("14030010")).first().payload(), QByteArray::fromHex("140300103fc0"));
        QCOMPARE(b.send(0x211, QByteArray::fromHex("1403000e")).first().payload(), QByteArray::fromHex("1403000effff"));
        QCOMPARE(b.node->boardMode(), 0);
        QVERIFY(b.send(0x210, QByteArray::fromHex("10118003")).isEmpty());
        QCOMPARE(b.node->boardMode(), 2);
        b.send(0x210, QByteArray::fromHex("10110003"));
        QCOMPARE(b.node->boardMode(), 1);
        b.send(0x210, QByteArray::fromHex("10011000"));
        QVERIFY(b.node->fineAdjustment());
        b.send(0x210, QByteArray::fromHex("10010000"));
        QVERIFY(!b.node->fineAdjustment());
        QCOMPARE(b.node->wordWrites(), 4);
        QCOMPARE(b.node->lastWordWrite(), QByteArray::fromHex("10010000"));
        // The written word reads back, and a raw two-byte read names a register.
        QCOMPARE(b.send(0x211, QByteArray::fromHex("14031011")).first().payload(), QByteArray::fromHex("140310110003"));
        QCOMPARE(b.send(0x211, QByteArray::fromHex("1011")).first().payload(), QByteArray::fromHex("10110003"));
    }

    void eventRecordsAndErase_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<quint32>("start");
        QTest::addColumn<quint32>("sector");
        QTest::newRow("normal") << QStringLiteral("normal") << 0x400000u << 0x1000u;
        QTest::newRow("internal") << QStringLiteral("internal") << 0x740800u << 0x400u;
    }

    void eventRecordsAndErase()
    {
        QFETCH(QString, layout);
        QFETCH(quint32, start);
        QFETCH(quint32, sector);
        QJsonObject rec;
        rec.insert(QStringLiteral("time"), QStringLiteral("2000-01-01T00:01:00Z"));
        rec.insert(QStringLiteral("event"), QStringLiteral("trip"));
        rec.insert(QStringLiteral("channel"), 3);
        rec.insert(QStringLiteral("voltage"), 1.5);
        QJsonArray records;
        for (int i = 0; i < 300; ++i)
            records.append(rec);   // 4800 bytes: more than one internal sector
        QJsonObject events;
        events.insert(QStringLiteral("layout"), layout);
        events.insert(QStringLiteral("records"), records);
        QJsonObject can;
        can.insert(QStringLiteral("eventMemory"), events);
        Bus b(can);
        auto read = [&](quint32 address) {
            QByteArray q = QByteArray::fromHex("16");
            q.append(char(address >> 16)).append(char(address >> 8)).append(char(address));
            const QList<CanFrame> a = b.send(0x211, q);
            return a.size() == 1 ? a.first().payload() : QByteArray();
        };
        // Time 60 s, code 0x0010, channel 3, status 0, 1.5 V = 0x3FC00000.
        QCOMPARE(read(start), QByteArray::fromHex("16") + QByteArray::fromHex(QByteArray::number(start, 16)) + QByteArray::fromHex("0000003c"));
        QCOMPARE(read(start + 4).mid(4), QByteArray::fromHex("00100300"));
        QCOMPARE(read(start + 8).mid(4), QByteArray::fromHex("3fc00000"));
        QCOMPARE(read(start + 4800).mid(4), QByteArray::fromHex("ffffffff"));
        // Erase the first sector: its end is gone, the next sector keeps its records.
        QVERIFY(b.send(0x210, QByteArray::fromHex("16") + QByteArray::fromHex(QByteArray::number(start + 4, 16))
                                  + QByteArray::fromHex("0015e6"))
                    .isEmpty());
        QCOMPARE(b.node->sectorsErased(), 1);
        QCOMPARE(read(start).mid(4), QByteArray::fromHex("ffffffff"));
        QCOMPARE(read(start + sector - 4).mid(4), QByteArray::fromHex("ffffffff"));
        QCOMPARE(read(start + sector).mid(4), QByteArray::fromHex("0000003c"));
    }

    void eventRecordProblemsAreNamed()
    {
        QJsonArray records;
        QJsonObject bad;
        bad.insert(QStringLiteral("event"), QStringLiteral("noSuchEvent"));
        bad.insert(QStringLiteral("time"), QStringLiteral("2026-01-01T00:00:00Z"));
        records.append(bad);
        QStringList problems;
        const QByteArray bytes = EventRecords::encode(records, 64, &problems);
        QCOMPARE(bytes, QByteArray(64, char(0xFF)));
        QCOMPARE(problems.size(), 1);
    }

    void powerCycleRunsTheFlashedFirmware()
    {
        Bus b;
        b.send(0x210, QByteArray::fromHex("1500"));
        QCOMPARE(b.node->mode(), CanModule::Mode::BootLoader);
        b.bus.setPowered(false);
        QVERIFY(b.send(0x210, QByteArray::fromHex("D800")).isEmpty());
        b.bus.setPowered(true);
        QCOMPARE(b.node->mode(), CanModule::Mode::Running);
        QCOMPARE(b.send(0x210, QByteArray::fromHex("D800")).size(), 1);
    }

    void canSideBuildsNodesFromTheCrateFile()
    {
        auto config = [](int slot, const char *type, const QJsonObject &json) {
            CanSide::ModuleConfig c;
            c.slot = slot;
            c.serialNumber = 100 + slot;
            c.typeCode = QLatin1String(type);
            c.firmwareRelease = QStringLiteral("05.12");
            c.channels = 8;
            c.json = json;
            return c;
        };
        QJsonObject boards;
        boards.insert(QStringLiteral("boards"), 3);
        QJsonObject threeBoards;
        threeBoards.insert(QStringLiteral("can"), boards);
        QJsonObject lv;
        lv.insert(QStringLiteral("kind"), QStringLiteral("lv"));
        QJsonObject waiting;
        waiting.insert(QStringLiteral("bootLoader"), true);   // in the module entry, not in "can"

        CanSide side;
        side.addModule(config(1, "E16C4", threeBoards));
        side.addModule(config(5, "LV8008", lv));
        side.addModule(config(6, "T07X0", waiting));
        side.addModule(config(12, "E08F2", {}));   // no such slot: no node
        CanBus *bus = side.bus();
        QCOMPARE(int(bus->nodes().size()), 4);
        QVERIFY(bus->nodeAt(0x210) && bus->nodeAt(0x220) && bus->nodeAt(0x228));
        QCOMPARE(bus->nodeAt(0x228)->serialNumber(), 103u);
        QVERIFY(!bus->nodeAt(0x270));
        QVERIFY(side.isRunningFirmware(1));
        QCOMPARE(side.firmwareRelease(1), QStringLiteral("05.12"));
        QVERIFY(side.isRunningFirmware(5));          // not on the bus: the agent decides
        QVERIFY(!side.isRunningFirmware(6));
        QVERIFY(side.firmwareRelease(6).isEmpty());

        // The agent's "stops answering" silences every board of the slot.
        bus->setTunnelOpen(true);
        side.setModuleResponding(1, false);
        bus->transmit(CanFrame(0x220, QByteArray::fromHex("D800")));
        QCOMPARE(bus->queuedCount(), 0);
        side.setModuleResponding(1, true);
        bus->transmit(CanFrame(0x220, QByteArray::fromHex("D800")));
        QCOMPARE(bus->queuedCount(), 1);

        // Power: off empties the controller, on restarts the nodes; the one
        // waiting in its boot loader says so.
        side.setPowered(false);
        QCOMPARE(bus->queuedCount(), 0);
        side.setPowered(true);
        CanFrame f;
        int pending = 0;
        QVERIFY(bus->take(&f, &pending));
        QCOMPARE(f.id, quint16(0x280));
        QCOMPARE(f.code(), quint16(0x1599));
    }

    void canSideStateRoundTrip()
    {
        CanSide::ModuleConfig c;
        c.slot = 0;
        c.serialNumber = 1;
        c.typeCode = QStringLiteral("E08F2");
        c.firmwareRelease = QStringLiteral("05.12");
        CanSide a;
        a.addModule(c);
        a.bus()->setTunnelOpen(true);
        a.bus()->transmit(CanFrame(0x200, QByteArray::fromHex("16400000") + QByteArray::fromHex("0015e6")));
        QCOMPARE(a.bus()->nodeAt(0x200)->sectorsErased(), 1);
        a.bus()->setTunnelBitRate(125000);
        const QJsonObject state = a.saveState();

        QJsonObject events;
        QJsonArray records;
        QJsonObject r;
        r.insert(QStringLiteral("time"), QStringLiteral("2026-01-01T00:00:00Z"));
        r.insert(QStringLiteral("event"), QStringLiteral("trip"));
        records.append(r);
        events.insert(QStringLiteral("records"), records);
        QJsonObject can;
        can.insert(QStringLiteral("eventMemory"), events);
        c.json.insert(QStringLiteral("can"), can);
        CanSide b;
        b.addModule(c);
        QVERIFY(b.bus()->nodeAt(0x200)->normalMemory().bytes.at(0) != char(0xFF));
        b.restoreState(state);
        QCOMPARE(b.bus()->tunnelBitRate(), 125000);
        // The erased memory of the saved state wins over the crate file's records.
        QCOMPARE(b.bus()->nodeAt(0x200)->normalMemory().bytes, QByteArray(CanModule::NormalMemorySize, char(0xFF)));
        QCOMPARE(b.bus()->nodeAt(0x200)->flash().checksum(), a.bus()->nodeAt(0x200)->flash().checksum());
    }

    void stateSurvivesSaveAndRestore()
    {
        Bus b;
        b.enterWritePass();
        const QByteArray text = HexGen::generate([] {
            HexGen::Options o;
            o.dataLines = 40;
            o.release = QStringLiteral("07.01");
            return o;
        }());
        for (const QByteArray &line : HexGen::linesToSend(text))
            b.lineAnswer(line);
        b.send(0x210, QByteArray::fromHex("1506"));
        const quint32 sum = b.node->flash().checksum();
        const QJsonObject state = b.node->saveState();
        Bus other;
        QVERIFY(other.node->flash().checksum() != sum);
        other.node->restoreState(state);
        QCOMPARE(other.node->flash().checksum(), sum);
        QCOMPARE(other.node->firmwareRelease(), QStringLiteral("07.01"));
    }

    // Many runs (every other byte written) save and restore in one pass; runs
    // of the older object form are still taken; a flash that does not fit the
    // module is not restored into it; a huge image size is cut to the flash.
    void flashStateManyRunsAndBounds()
    {
        QJsonArray runs;
        for (int i = 0; i < 100000; ++i)
            runs.append(QJsonArray{double(i * 2), QStringLiteral("a5")});
        QJsonObject state;
        state.insert(QStringLiteral("flash"), runs);
        Bus b;
        QElapsedTimer timer;
        timer.start();
        b.node->restoreState(state);
        const QJsonObject saved = b.node->saveState();
        QCOMPARE(b.node->flash().length(), quint32(100000));
        QCOMPARE(saved.value(QStringLiteral("flash")).toArray().size(), 100000);
        qInfo() << "100000 runs restored and saved in" << timer.elapsed() << "ms";

        QJsonObject legacy;
        legacy.insert(QStringLiteral("flash"), QJsonObject{{QStringLiteral("100"), QStringLiteral("0102")}});
        Bus old;
        old.node->restoreState(legacy);
        QCOMPARE(old.node->flash().length(), quint32(2));
        QVERIFY(old.node->flash().matches(0x100, QByteArray::fromHex("0102")));

        QJsonObject tooLarge;
        tooLarge.insert(QStringLiteral("flash"), QJsonArray{QJsonArray{double(0x1FFFFF), QStringLiteral("0102")}});
        Bus small;
        small.node->restoreState(tooLarge);
        QCOMPARE(small.node->flash().length(), quint32(0));

        Bus huge(QJsonObject{{QStringLiteral("imageSize"), 2147483647}, {QStringLiteral("flashSize"), 65536}});
        QCOMPARE(huge.node->flash().length(), quint32(65536));
    }
};

VEXA_TEST_GUILESS_MAIN(TestCanModule)
#include "tst_canmodule.moc"
