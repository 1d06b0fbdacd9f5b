// The flash tool's SNMP layer: object table, CAN frame records, session
// requests against a private cratesim, and clean failures without a session.
#include "canframe.h"
#include "cratesimprocess.h"
#include "objecttable.h"
#include "simprobe.h"
#include "snmpsession.h"
#include "testenv.h"
#include "vexa_config.h"

#include <QApplication>
#include <QtTest>

using namespace crateflash;

class FlashSnmpTest : public QObject
{
    Q_OBJECT

private:
    QStringList m_log;
    std::unique_ptr<CrateSimProcess> m_sim;
    SnmpSessionHandle m_session = nullptr;
    std::unique_ptr<SimProbe> m_probe;

    qint64 framesIn() { return m_probe->getInt(QStringLiteral("cratesimCanTunnelFramesIn.0")); }

private slots:
    void initTestCase()
    {
        Snmp::setLogSink([this](int, const QString &line) { m_log << line; });
        QVERIFY(initialiseSnmp());
        QCOMPARE(m_log.value(0), QStringLiteral("*** Initialise SNMP ***"));
        QCOMPARE(m_log.value(1), QStringLiteral("*** Translate OIDs ***"));
        QCOMPARE(m_log.value(2), QStringLiteral("*** Initialise SNMP done ***"));
        QVERIFY(SimProbe::loadSimulatorMibs());

        m_sim = std::make_unique<CrateSimProcess>();
        QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
        m_log.clear();
        m_session = openSession(m_sim->address().toLatin1());
        QVERIFY(m_session);
        QCOMPARE(m_log.value(0), QStringLiteral("SNMP session for host \"%1\" opened").arg(m_sim->address()));
        m_probe = std::make_unique<SimProbe>(m_sim->address());
        QVERIFY(m_probe->isOpen());
    }

    void cleanupTestCase()
    {
        m_log.clear();
        closeSession(m_session);
        QCOMPARE(m_log.value(0), QStringLiteral("SNMP session closed"));
        Snmp::setLogSink(nullptr);
    }

    void ourMibsComeAfterTheSystemDirectories()
    {
        const QStringList path = Snmp::mibSearchPath().split(QLatin1Char(':'));
        const int system = int(path.indexOf(QStringLiteral("/usr/share/snmp/mibs")));
        const int ours = int(path.indexOf(QStringLiteral(VEXA_SOURCE_MIBDIR)));
        QVERIFY2(ours >= 0, qPrintable(Snmp::mibSearchPath()));
        QVERIFY2(system >= 0 && system < ours, qPrintable(Snmp::mibSearchPath()));
    }

    void objectTableHoldsEveryNameInOrder_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::newRow("first") << 0 << "sysMainSwitch.0";
        QTest::newRow("ip address") << 5 << "ipStaticAddress.0";
        QTest::newRow("bit rate") << 16 << "canBitRateHv.0";
        QTest::newRow("transmit") << 18 << "canTransmitHv.0";
        QTest::newRow("first channel") << 19 << "outputName.1";
        QTest::newRow("second name") << 20 << "outputIndex.1";
        QTest::newRow("channel 1") << 19 + 24 << "outputName.2";
        QTest::newRow("slot 1") << 19 + 32 * 24 << "outputName.101";
        QTest::newRow("last channel") << 19 + 7680 - 1 << "outputConfigMaxCurrent.932";
        QTest::newRow("sensors") << 7699 << "sensorTemperature.1";
        QTest::newRow("last sensor") << 7699 + 35 << "sensorFailureThreshold.12";
        QTest::newRow("community") << 7735 << "snmpCommunityName.1";
        QTest::newRow("fans") << 7739 << "fanSpeed.1";
        QTest::newRow("last") << 7744 << "fanSpeed.6";
    }
    void objectTableHoldsEveryNameInOrder()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        const QStringList names = ObjectTable::names();
        QCOMPARE(names.size(), 7745);
        QCOMPARE(ObjectTable::instance().size(), 7745);
        QCOMPARE(names.at(index), name);
        QVERIFY(ObjectTable::instance().at(index).length > 0);
    }

    void everyEntryTranslatedToItsOwnIdentifier()
    {
        const ObjectTable &table = ObjectTable::instance();
        QVERIFY(table.isTranslated());
        QSet<QByteArray> seen;
        for (int i = 0; i < table.size(); ++i) {
            const ObjectId &id = table.at(i);
            QVERIFY(id.length > 0 && id.length <= 128);
            seen.insert(QByteArray(reinterpret_cast<const char *>(id.ids), int(id.length * sizeof(unsigned long))));
        }
        QCOMPARE(seen.size(), table.size());
    }

    void canFrameRecord_data()
    {
        QTest::addColumn<int>("identifier");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("record");
        // Identifier 0x213 << 18 = 0x084C0000, little-endian.
        QTest::newRow("log on") << 0x213 << QByteArray::fromHex("d801")
                                << QByteArray::fromHex("02000000" "4c08" "d801000000000000");
        QTest::newRow("tunnel") << 0x600 << QByteArray::fromHex("10010001")
                                << QByteArray::fromHex("04000000" "0018" "1001000100000000");
        QTest::newRow("empty") << 4 << QByteArray() << QByteArray::fromHex("00000000" "1000" "0000000000000000");
        QTest::newRow("eight bytes") << 0x7FF << QByteArray::fromHex("0102030405060708")
                                     << QByteArray::fromHex("08000000" "fc1f" "0102030405060708");
    }
    void canFrameRecord()
    {
        QFETCH(int, identifier);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, record);
        const CanFrame frame(identifier, data);
        QCOMPARE(frame.toRecord().toHex(), record.toHex());
        const CanFrame back = CanFrame::fromRecord(record);
        QCOMPARE(back.identifier(), identifier);
        QCOMPARE(back.length(), int(data.size()));
        QCOMPARE(back.data(), data);
    }

    void upperBitsAreIgnoredOnReceive()
    {
        // Length word 0xFF13 → 3 data bytes; identifier word with bits outside 18-28.
        const CanFrame frame = CanFrame::fromRecord(QByteArray::fromHex("13ff" "ffff4fe8" "d80102000000000000"));
        QCOMPARE(frame.length(), 3);
        QCOMPARE(frame.identifier(), ((0xE84FFFFFu >> 18) & 0x7FF));
        QCOMPARE(frame.code(), 0xD801);
    }

    void requestsWithoutSessionFailCleanly()
    {
        CanFrame frame(0x210, QByteArray::fromHex("aabb"));
        const CanFrame before = frame;
        QCOMPARE(receiveCanFrame(nullptr, frame), -1);
        QCOMPARE(frame, before);
        QCOMPARE(transmitCanFrames(nullptr, &frame, 1), -1);
        QCOMPARE(setIntegerObject(nullptr, ObjectTable::instance().scalar(ObjectTable::SysMainSwitch), 1), 0);
        closeSession(nullptr);
    }

    void openingAnUnusableHostFailsWithItsReason()
    {
        m_log.clear();
        QVERIFY(!openSession("tcp:127.0.0.1:notaport"));
        QVERIFY2(m_log.value(0).startsWith(QStringLiteral("Open SNMP session for host \"tcp:127.0.0.1:notaport\": ")),
                 qPrintable(m_log.join('\n')));
    }

    void transmitCarriesUpTo512FramesInOneRequest_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("sent");
        QTest::newRow("1") << 1 << true;
        QTest::newRow("27") << 27 << true;
        QTest::newRow("512") << 512 << true;
        QTest::newRow("513") << 513 << false;
    }
    void transmitCarriesUpTo512FramesInOneRequest()
    {
        QFETCH(int, count);
        QFETCH(bool, sent);
        // Frames to an identifier no module listens on, so nothing answers.
        QList<CanFrame> frames;
        for (int i = 0; i < count; ++i)
            frames << CanFrame(0x7F0, QByteArray(1, char(i)));
        const qint64 before = framesIn();
        QVERIFY(before >= 0);
        const int result = transmitCanFrames(m_session, frames.constData(), count);
        QCOMPARE(framesIn() - before, sent ? qint64(count) : 0);
        if (sent)
            QVERIFY(result >= 0);
        else
            QCOMPARE(result, -1);
    }

    void spoiledTunnelAnswersYieldMinusOne_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("15 bytes") << 1;
        QTest::newRow("17 bytes") << 2;
        QTest::newRow("not an octet string") << 3;
    }
    void spoiledTunnelAnswersYieldMinusOne()
    {
        QFETCH(int, fault);
        QVERIFY(m_probe->setInt(QStringLiteral("cratesimCanReceiveFault.0"), fault));
        CanFrame frame(0x123, QByteArray::fromHex("0102"));
        const CanFrame before = frame;
        QCOMPARE(receiveCanFrame(m_session, frame), -1);
        QCOMPARE(frame, before);
        // The fault fires once: the next answer is a proper (empty) tunnel value.
        CanFrame next;
        QVERIFY(receiveCanFrame(m_session, next) >= 0);
    }

    void integerSetReturnsTheAnsweredValue()
    {
        const ObjectId &mainSwitch = ObjectTable::instance().scalar(ObjectTable::SysMainSwitch);
        QCOMPARE(setIntegerObject(m_session, mainSwitch, 1), 1);
        const ObjectId &bitRate = ObjectTable::instance().scalar(ObjectTable::CanBitRateHv);
        QCOMPARE(setIntegerObject(m_session, bitRate, 250000), 250000);
    }

    void opaqueFloatAnswerIsTruncated()
    {
        QVERIFY(m_probe->setBytes(QStringLiteral("cratesimCanBitRateAnswerFloat.0"), "2.9"));
        const ObjectId &bitRate = ObjectTable::instance().scalar(ObjectTable::CanBitRateHv);
        QCOMPARE(setIntegerObject(m_session, bitRate, 250000), 2);
        // Once only.
        QCOMPARE(setIntegerObject(m_session, bitRate, 250000), 250000);
    }

    void rejectedSetReturnsZero()
    {
        // The crate refuses a main-switch value outside 0..1 (or any wrong value):
        // the failure is reported as 0, never as the value sent.
        const ObjectId &mainSwitch = ObjectTable::instance().scalar(ObjectTable::SysMainSwitch);
        QCOMPARE(setIntegerObject(m_session, mainSwitch, 77), 0);
    }

    void noAnswerIsATransportFailure()
    {
        // A session to a loopback address where nothing listens: the library's
        // time-out (0.1 s, 3 retries) ends the request with -1.
        SnmpSessionHandle silent = openSession("127.0.0.254");
        QVERIFY(silent);
        CanFrame frame;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(receiveCanFrame(silent, frame), -1);
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(transmitCanFrames(silent, &frame, 1), -1);
        closeSession(silent);
    }
};

VEXA_TEST_MAIN(FlashSnmpTest)
#include "tst_flashsnmp.moc"
