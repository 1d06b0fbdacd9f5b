// The simulated modules behind the crate's CAN tunnel, driven through cratesim
// with the net-snmp client API only: the tool's side is played by hand, frame
// by frame, as the flash tool would send them.

#include "cratesimprocess.h"
#include "hexgen.h"
#include "testenv.h"
#include "tunnelclient.h"

#include "vexa_config.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {
// Base identifiers by slot, in the tool's sending order.
const QList<quint16> SlotBases[10] = {
    {0x200, 0x208},        {0x210, 0x220, 0x228}, {0x218, 0x230, 0x238}, {0x260, 0x240, 0x248},
    {0x268, 0x250, 0x258}, {0x270, 0x278},        {0x280, 0x288},        {0x290, 0x2A0, 0x2A8},
    {0x298, 0x2B0, 0x2B8}, {0x2E0, 0x2C0, 0x2C8},
};

QList<quint16> allBases()
{
    QList<quint16> all;
    for (const auto &slot : SlotBases)
        all += slot;
    return all;
}

QString testCrate(const QString &name)
{
    return QStringLiteral(VEXA_SOURCE_DIR "/tests/data/") + name;
}

QByteArray bytes24(quint32 v)
{
    QByteArray b;
    b.append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    return b;
}

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object();
}
} // namespace

class TestCanTunnel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CrateSimProcess> m_sim;
    std::unique_ptr<TunnelClient> m_client;

    // Starts cratesim with a crate file, switches the crate on and opens the
    // tunnel as the tool does at Connect; waits until `probeBase` answers.
    bool startCrate(const QString &crateFile, quint16 probeBase)
    {
        m_client.reset();
        m_sim.reset();
        CrateSimProcess::Options o;
        o.crateFile = crateFile;
        m_sim = std::make_unique<CrateSimProcess>(o);
        if (!m_sim->start()) {
            qWarning() << m_sim->errorString() << m_sim->output();
            return false;
        }
        m_client = std::make_unique<TunnelClient>(m_sim->peer());
        if (!m_client->isOpen())
            return false;
        m_client->setInteger(QStringLiteral("sysMainSwitch.0"), 1);
        if (!m_client->openTunnel())
            return false;
        // Modules boot after the main switch; the first answer tells they are up.
        for (int attempt = 0; attempt < 50; ++attempt) {
            m_client->send(probeBase, QByteArray::fromHex("D800"));
            const QList<TunnelFrame> answers = m_client->collect(1, 200);
            if (!answers.isEmpty()) {
                m_client->drain();
                return true;
            }
        }
        return false;
    }

    TunnelFrame ask(quint16 id, const QByteArray &data, int timeoutMs = 2000)
    {
        m_client->send(id, data);
        const QList<TunnelFrame> a = m_client->collect(1, timeoutMs);
        return a.isEmpty() ? TunnelFrame() : a.first();
    }

    qlonglong nodeValue(const char *column, quint16 base)
    {
        return m_client->get(QStringLiteral("%1.%2").arg(QLatin1String(column)).arg(base)).toLongLong();
    }

    // Sends one line as the tool does (six characters per frame, one SET each)
    // and returns the code of the one answer, 0 when none came.
    quint16 sendLine(quint16 base, const QByteArray &line, int timeoutMs = 2000)
    {
        for (int i = 0; i < line.size(); i += 6) {
            if (!m_client->send(base | 1, QByteArray::fromHex("1500") + line.mid(i, 6)))
                return 0;
        }
        const QList<TunnelFrame> a = m_client->collect(1, timeoutMs);
        if (a.isEmpty() || a.first().id != base || a.first().data.size() != 2)
            return 0;
        return a.first().code();
    }

    // Hand-shake of a flash run: the running module restarts into its boot
    // loader (0x1599), then accepts the boot command (0x1581).
    bool handShake(quint16 base)
    {
        const TunnelFrame restart = ask(base, QByteArray::fromHex("1500"));
        if (restart.code() != 0x1599 && restart.code() != 0x1581)
            return false;
        if (restart.code() == 0x1581)
            return true;
        return ask(base, QByteArray::fromHex("1500")).code() == 0x1581;
    }

    // A pass over all lines; every line must be answered with `expected`.
    bool pass(quint16 base, const QList<QByteArray> &lines, quint16 expected = 0x1585)
    {
        int n = 0;
        for (const QByteArray &line : lines) {
            ++n;
            const quint16 code = sendLine(base, line);
            if (code != expected) {
                qWarning("line %d answered 0x%04x", n, code);
                return false;
            }
        }
        return true;
    }

    QByteArray readEventMemory(quint16 base, quint32 start)
    {
        QByteArray data;
        quint32 address = start;
        for (int i = 0; i < 144 * 16; ++i) {
            const TunnelFrame a = ask(base | 1, QByteArray::fromHex("16") + bytes24(address));
            if (a.data.size() != 8 || quint8(a.data.at(0)) != 0x16 || a.data.mid(1, 3) != bytes24(address)) {
                qWarning("far read of 0x%06x answered %s", address, a.data.toHex(' ').constData());
                return QByteArray();
            }
            data.append(a.data.mid(4, 4));
            address += 4;
        }
        return data;
    }

private slots:
    void initTestCase()
    {
        if (!QFile::exists(CrateSimProcess::executable()))
            QSKIP("cratesim is not built");
    }

    void cleanup()
    {
        m_client.reset();
        m_sim.reset();
    }

    void scanAnswersOfEveryDemoModule()
    {
        if (!QFile::exists(CrateSimProcess::demoCrateFile()))
            QSKIP("no demo crate yet");
        const QJsonObject crate = readJson(CrateSimProcess::demoCrateFile());
        QJsonArray modules;
        // Low-voltage modules are not on the high-voltage CAN bus.
        for (const QJsonValue &v : crate.value(QStringLiteral("modules")).toArray())
            if (v.toObject().value(QStringLiteral("kind")).toString() != QLatin1String("lv"))
                modules.append(v);
        QVERIFY2(!modules.isEmpty(), "demo crate has no modules");
        const int firstSlot = modules.first().toObject().value(QStringLiteral("slot")).toInt();
        QVERIFY(startCrate(CrateSimProcess::demoCrateFile(), SlotBases[firstSlot].first()));

        // The tool's log-off to all 27 bases, in one request.
        QList<TunnelFrame> logOff;
        for (quint16 base : allBases())
            logOff.append(TunnelFrame{base, QByteArray::fromHex("D800")});
        QVERIFY(m_client->send(logOff));
        const QList<TunnelFrame> answers = m_client->collect(int(modules.size()), 3000);
        QCOMPARE(answers.size(), modules.size());
        QVERIFY(m_client->drain().isEmpty());

        for (const QJsonValue &v : modules) {
            const QJsonObject m = v.toObject();
            const QJsonObject can = m.value(QStringLiteral("can")).toObject();
            const int slot = m.value(QStringLiteral("slot")).toInt();
            const quint16 base = SlotBases[slot].first();
            const bool bootLoader = can.value(QStringLiteral("bootLoader")).toBool(m.value(QStringLiteral("bootLoader")).toBool());
            const QString device = can.value(QStringLiteral("device")).toString(m.value(QStringLiteral("type")).toString());
            const quint32 serial = quint32(can.value(QStringLiteral("serialNumber")).toInt(m.value(QStringLiteral("serialNumber")).toInt()));
            QString release = can.value(QStringLiteral("release")).toString(m.value(QStringLiteral("firmwareRelease")).toString());
            if (bootLoader)
                release = can.value(QStringLiteral("bootLoaderRelease")).toString(QStringLiteral("01.04"));
            const QByteArray tag = QStringLiteral("slot %1").arg(slot).toLatin1();

            auto answer = std::find_if(answers.cbegin(), answers.cend(), [&](const TunnelFrame &f) { return f.id == base; });
            QVERIFY2(answer != answers.cend(), tag);
            if (bootLoader) {
                QCOMPARE(answer->data, QByteArray::fromHex("1599"));
            } else {
                QCOMPARE(answer->data.size(), 3);
                QCOMPARE(quint8(answer->data.at(0)), quint8(0xD8));
            }

            // The scan's three questions, in its order.
            const TunnelFrame name = ask(base | 1, QByteArray::fromHex("1203"));
            QCOMPARE(name.id, base);
            QCOMPARE(name.data.mid(0, 2), QByteArray::fromHex("1203"));
            QCOMPARE(QString::fromLatin1(name.data.mid(2)), device);
            const TunnelFrame sn = ask(base | 1, QByteArray::fromHex("1200"));
            QCOMPARE(sn.data.size(), 6);
            const quint32 reported = quint32(quint8(sn.data.at(2))) << 24 | quint32(quint8(sn.data.at(3))) << 16
                                     | quint32(quint8(sn.data.at(4))) << 8 | quint32(quint8(sn.data.at(5)));
            QCOMPARE(reported, serial);
            const TunnelFrame rel = ask(base | 1, QByteArray::fromHex("1201"));
            QCOMPARE(rel.data.size(), 6);
            QString digits;
            for (int i = 2; i < 6; ++i) {
                QVERIFY2(quint8(rel.data.at(i)) <= 9, tag);
                digits += QString::number(int(rel.data.at(i)));
            }
            QCOMPARE(digits, release.remove(QLatin1Char('.')).rightJustified(4, QLatin1Char('0')));
            QVERIFY2(digits.toInt() > 0, "a zero release would make the scan ask forever");
        }
    }

    void tunnelDrainsTwentySevenAnswers()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("can27.json")), 0x200));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanNodeCount.0")).toInt(), 27);
        QList<TunnelFrame> logOff;
        for (quint16 base : allBases())
            logOff.append(TunnelFrame{base, QByteArray::fromHex("D800")});
        QVERIFY(m_client->send(logOff));
        QList<quint16> seen;
        for (int expected = 27; expected >= 1; --expected) {
            TunnelFrame f;
            QCOMPARE(m_client->receive(&f), expected);
            QCOMPARE(f.data.size(), 3);
            QCOMPARE(quint8(f.data.at(0)), quint8(0xD8));
            seen.append(f.id);
        }
        TunnelFrame none;
        QCOMPARE(m_client->receive(&none), 0);
        // Answers come in the order the frames went out.
        QCOMPARE(seen, allBases());
    }

    void fiveHundredTwelveFramesInOneRequest()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        const qlonglong before = m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong();
        QList<TunnelFrame> frames;
        for (int i = 0; i < 512; ++i)
            frames.append(TunnelFrame{0x200, QByteArray::fromHex(i % 2 ? "D801" : "D800")});
        QVERIFY2(m_client->send(frames), qPrintable(m_client->lastError()));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong(), before + 512);
        for (int expected = 512; expected >= 1; --expected) {
            TunnelFrame f;
            QCOMPARE(m_client->receive(&f), expected);
            // In order: the log flag of each answer follows its question.
            QCOMPARE(f.data, QByteArray::fromHex((512 - expected) % 2 ? "D80100" : "D80000"));
        }
        TunnelFrame none;
        QCOMPARE(m_client->receive(&none), 0);
    }

    void oversizeTunnelAnswersAreTooBigAndChangeNothing()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimMaxMessageSize.0"), 484));
        const qlonglong before = m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong();
        // The answer of a SET repeats its 20 frames: above 484 bytes, so
        // tooBig, and no frame may reach the bus (a retry would double them).
        const QList<TunnelFrame> twenty(20, TunnelFrame{0x200, QByteArray::fromHex("D800")});
        QVERIFY(!m_client->send(twenty));
        QCOMPARE(m_client->lastStatus(), long(SNMP_ERR_TOOBIG));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong(), before);

        // Fifteen answers waiting; a GET of all fifteen does not fit and
        // must leave them all waiting.
        const QList<TunnelFrame> five(5, TunnelFrame{0x200, QByteArray::fromHex("D800")});
        for (int i = 0; i < 3; ++i)
            QVERIFY2(m_client->send(five), qPrintable(m_client->lastError()));
        QTRY_COMPARE(m_client->get(QStringLiteral("cratesimCanTunnelQueued.0")).toLongLong(), 15LL);
        QCOMPARE(m_client->receiveMany(15), long(SNMP_ERR_TOOBIG));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelQueued.0")).toLongLong(), 15LL);
        QCOMPARE(m_client->receiveMany(5), long(SNMP_ERR_NOERROR));
        QCOMPARE(m_client->drain().size(), 10);
    }

    void tunnelIsBoundedAllOrNothing()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        const qlonglong before = m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong();
        const QList<TunnelFrame> tooMany(513, TunnelFrame{0x200, QByteArray::fromHex("D800")});
        QVERIFY(!m_client->send(tooMany));
        QCOMPARE(m_client->lastStatus(), long(SNMP_ERR_RESOURCEUNAVAILABLE));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong(), before);

        // A tool that never fetches: the controller holds 4096 answers, then
        // refuses whole requests instead of growing.
        const QList<TunnelFrame> full(512, TunnelFrame{0x200, QByteArray::fromHex("D800")});
        for (int i = 0; i < 8; ++i)
            QVERIFY2(m_client->send(full), qPrintable(m_client->lastError()));
        QVERIFY(!m_client->send(full));
        QCOMPARE(m_client->lastStatus(), long(SNMP_ERR_RESOURCEUNAVAILABLE));
        QVERIFY(!m_client->send(TunnelFrame{0x200, QByteArray::fromHex("D800")}.id, QByteArray::fromHex("D800")));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelQueued.0")).toLongLong(), 4096LL);
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong(), before + 8 * 512);
        // Fetching makes room again.
        QCOMPARE(m_client->drain().size(), 4096);
        QVERIFY(m_client->send(full));
    }

    void malformedTunnelValueIsRefused()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        const qlonglong before = m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong();
        QVERIFY(!m_client->setString(QStringLiteral("canTransmitHv.0"), TunnelClient::tunnelValue({0x200, QByteArray::fromHex("D800")}).left(15)));
        QVERIFY(!m_client->setInteger(QStringLiteral("canTransmitHv.0"), 1));
        QVERIFY(!m_client->setInteger(QStringLiteral("canBitRateHv.0"), 5));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelFramesIn.0")).toLongLong(), before);
        QCOMPARE(m_client->get(QStringLiteral("canBitRateHv.0")).toLongLong(), 250000);
        QVERIFY(m_client->collect(1, 200).isEmpty());
    }

    void fullFlashWithNewIdentity()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        const quint16 base = 0x200;
        HexGen::Options o;
        o.device = QStringLiteral("E08F2");
        o.release = QStringLiteral("05.13");
        o.dataLines = 3000;
        o.startAddress = true;
        o.seed = 77;
        const QByteArray text = HexGen::generate(o);
        const HexGen::Image image = HexGen::parse(text);
        QVERIFY(image.ok);
        const QList<QByteArray> lines = HexGen::linesToSend(text);
        QVERIFY(lines.size() > 3000);
        const qlonglong oldChecksum = nodeValue("cratesimCanNodeImageChecksum", base);
        QVERIFY(oldChecksum != qlonglong(image.checksum()));

        QVERIFY(m_client->send(4, QByteArray::fromHex("F415E6")));
        QVERIFY(handShake(base));
        QCOMPARE(nodeValue("cratesimCanNodeMode", base), 2);
        QCOMPARE(nodeValue("cratesimCanNodePrepared", base), 1);
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1505")));
        QVERIFY(pass(base, lines));
        QVERIFY(m_client->drain().isEmpty());
        QCOMPARE(nodeValue("cratesimCanNodeImageChecksum", base), oldChecksum);   // nothing committed yet
        QVERIFY(m_client->send(base, QByteArray::fromHex("1506")));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1506")));   // the tool repeats it
        QVERIFY(m_client->send(base, QByteArray::fromHex("1509")));
        QVERIFY(m_client->collect(1, 300).isEmpty());

        QCOMPARE(nodeValue("cratesimCanNodeImageChecksum", base), qlonglong(image.checksum()));
        QCOMPARE(nodeValue("cratesimCanNodeImageLength", base), qlonglong(image.length()));
        QCOMPARE(nodeValue("cratesimCanNodeCommits", base), 1);
        QCOMPARE(nodeValue("cratesimCanNodeMode", base), 1);
        QCOMPARE(nodeValue("cratesimCanNodeStartAddress", base), 0x200);
        QCOMPARE(ask(base | 1, QByteArray::fromHex("1201")).data, QByteArray::fromHex("120100050103"));
        QCOMPARE(ask(base, QByteArray::fromHex("D800")).data.left(1), QByteArray::fromHex("D8"));
    }

    void flashIntoModuleWaitingInBootLoader()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        const quint16 base = 0x268;   // slot 4
        QCOMPARE(ask(base, QByteArray::fromHex("D800")).data, QByteArray::fromHex("1599"));
        QCOMPARE(ask(base, QByteArray::fromHex("1500")).data, QByteArray::fromHex("1581"));
        HexGen::Options o;
        o.device = QStringLiteral("T25X0");
        o.release = QStringLiteral("02.05");
        o.dataLines = 400;
        o.extendedLinear = true;
        o.baseAddress = 0x0001F000;
        const QByteArray text = HexGen::generate(o);
        const HexGen::Image image = HexGen::parse(text);
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, HexGen::linesToSend(text)));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1505")));
        QVERIFY(pass(base, HexGen::linesToSend(text)));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1506")));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1509")));
        QCOMPARE(nodeValue("cratesimCanNodeImageChecksum", base), qlonglong(image.checksum()));
        QCOMPARE(nodeValue("cratesimCanNodeMode", base), 1);
        QCOMPARE(ask(base | 1, QByteArray::fromHex("1201")).data, QByteArray::fromHex("120100020005"));
        QCOMPARE(ask(base, QByteArray::fromHex("D801")).data.left(1), QByteArray::fromHex("D8"));
    }

    void compareOnlyAfterPowerCycleFindsTheFlashedImage()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x290));
        const quint16 base = 0x290;
        HexGen::Options o;
        o.device = QStringLiteral("E32C8");
        o.release = QStringLiteral("05.31");
        o.dataLines = 200;
        const QList<QByteArray> lines = HexGen::linesToSend(HexGen::generate(o));
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1505")));
        QVERIFY(pass(base, lines));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1506")));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1509")));

        // The crate is switched off and on: the module runs the new firmware.
        QVERIFY(m_client->setInteger(QStringLiteral("sysMainSwitch.0"), 0));
        QTRY_VERIFY_WITH_TIMEOUT(ask(base, QByteArray::fromHex("D800"), 100).data.isEmpty(), 5000);
        QVERIFY(m_client->setInteger(QStringLiteral("sysMainSwitch.0"), 1));
        QTRY_COMPARE_WITH_TIMEOUT(ask(base, QByteArray::fromHex("D800"), 100).data.size(), 3, 10000);
        m_client->drain();
        QCOMPARE(ask(base | 1, QByteArray::fromHex("1201")).data, QByteArray::fromHex("120100050301"));

        // Compare only: restart into the boot loader, hand-shake, 04, every line equal.
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1504")));
        QVERIFY(pass(base, lines));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1509")));
        QTRY_COMPARE(nodeValue("cratesimCanNodeMode", base), 1);
        QCOMPARE(nodeValue("cratesimCanNodePass", base), 0);
    }

    void rejectedLineTakenWhenResent()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x290));
        const quint16 base = 0x290;
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanNodeRejectLine.%1").arg(base), 10));
        HexGen::Options o;
        o.device = QStringLiteral("E32C8");
        o.dataLines = 20;
        const QList<QByteArray> lines = HexGen::linesToSend(HexGen::generate(o));
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines.mid(0, 9)));
        const quint16 code = sendLine(base, lines.at(9));
        QVERIFY2(code >= 0x1591 && code <= 0x1598, QByteArray::number(code, 16));
        QCOMPARE(code, quint16(0x1591));
        QCOMPARE(sendLine(base, lines.at(9)), quint16(0x1585));
        QVERIFY(pass(base, lines.mid(10)));
        QCOMPARE(nodeValue("cratesimCanNodeLinesRejected", base), 1);
        QCOMPARE(nodeValue("cratesimCanNodeLinesTaken", base), qlonglong(lines.size()));
        QCOMPARE(nodeValue("cratesimCanNodeRejectLine", base), 0);
    }

    void badChecksumLineInFileIsRejectedEveryTime()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x290));
        const quint16 base = 0x290;
        HexGen::Options o;
        o.dataLines = 10;
        o.badChecksumLine = 4;
        const QList<QByteArray> lines = HexGen::linesToSend(HexGen::generate(o));
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines.mid(0, 3)));
        QCOMPARE(sendLine(base, lines.at(3)), quint16(0x1591));
        QCOMPARE(sendLine(base, lines.at(3)), quint16(0x1591));
    }

    void lastLineWithoutLineEnd()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x290));
        const quint16 base = 0x290;
        HexGen::Options o;
        o.dataLines = 30;
        o.lastLineWithoutEnd = true;
        const QByteArray text = HexGen::generate(o);
        QVERIFY(!text.endsWith('\n'));
        const QList<QByteArray> lines = HexGen::linesToSend(text);
        QCOMPARE(lines.last(), QByteArray(":00000001FF\r\n"));
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines));
    }

    void compareFindsDifference()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x210));
        const quint16 base = 0x210;
        HexGen::Options o;
        o.device = QStringLiteral("E16C4");
        o.dataLines = 50;
        const QList<QByteArray> lines = HexGen::linesToSend(HexGen::generate(o));
        // Compare only, against the firmware the module runs: the file differs.
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1504")));
        QCOMPARE(nodeValue("cratesimCanNodePass", base), 3);
        QCOMPARE(sendLine(base, lines.at(0)), quint16(0x1593));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1509")));
        QCOMPARE(nodeValue("cratesimCanNodeMode", base), 1);   // the old firmware runs on

        // A flash run whose compare pass finds a difference (switched on) at line 7.
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanNodeCompareDifferenceLine.%1").arg(base), 7));
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1505")));
        QVERIFY(pass(base, lines.mid(0, 6)));
        QCOMPARE(sendLine(base, lines.at(6)), quint16(0x1593));
        // The tool writes again from the start; this time everything matches.
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1505")));
        QVERIFY(pass(base, lines));
    }

    void eventMemoryReadAndErase_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<quint32>("start");
        QTest::addColumn<quint32>("end");
        QTest::addColumn<quint32>("step");
        QTest::addColumn<int>("slot");
        QTest::newRow("normal") << 0x200 << 0x400000u << 0x402400u << 0x1000u << 0;
        QTest::newRow("internal") << 0x210 << 0x740800u << 0x742C00u << 0x400u << 1;
    }

    void eventMemoryReadAndErase()
    {
        QFETCH(int, base);
        QFETCH(quint32, start);
        QFETCH(quint32, end);
        QFETCH(quint32, step);
        QFETCH(int, slot);
        const QString crateFile = testCrate(QStringLiteral("cancrate.json"));
        QVERIFY(startCrate(crateFile, quint16(base)));
        const QByteArray memory = readEventMemory(quint16(base), start);
        QCOMPARE(memory.size(), 144 * 64);

        // The records of the crate file, 16 bytes each, then erased flash.
        const QJsonObject module = readJson(crateFile).value(QStringLiteral("modules")).toArray().at(slot).toObject();
        const QJsonArray records = module.value(QStringLiteral("can")).toObject().value(QStringLiteral("eventMemory"))
                                       .toObject().value(QStringLiteral("records")).toArray();
        QVERIFY(records.size() >= 3);
        const QDateTime epoch(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
        for (int i = 0; i < records.size(); ++i) {
            const QByteArray r = memory.mid(i * 16, 16);
            const quint32 seconds = quint32(quint8(r.at(0))) << 24 | quint32(quint8(r.at(1))) << 16
                                    | quint32(quint8(r.at(2))) << 8 | quint32(quint8(r.at(3)));
            const QDateTime time = QDateTime::fromString(records.at(i).toObject().value(QStringLiteral("time")).toString(), Qt::ISODate);
            QCOMPARE(qint64(seconds), epoch.secsTo(time));
            QVERIFY(r.mid(4, 2) != QByteArray::fromHex("ffff"));
        }
        QCOMPARE(memory.mid(records.size() * 16), QByteArray(memory.size() - records.size() * 16, char(0xFF)));

        // Erase sector by sector, as the reader does, up to and including the end address.
        int sectors = 0;
        for (quint32 a = start; a <= end; a += step) {
            QVERIFY(m_client->send(quint16(base), QByteArray::fromHex("16") + bytes24(a) + QByteArray::fromHex("0015e6")));
            ++sectors;
        }
        QCOMPARE(sectors, step == 0x1000 ? 3 : 10);
        QVERIFY(m_client->collect(1, 200).isEmpty());   // erases are not answered
        QCOMPARE(nodeValue("cratesimCanNodeSectorsErased", quint16(base)), qlonglong(sectors));
        QCOMPARE(readEventMemory(quint16(base), start), QByteArray(144 * 64, char(0xFF)));
    }

    void serviceReadsAndWordWrites()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        const quint16 base = 0x200;
        QCOMPARE(ask(base | 1, QByteArray::fromHex("1403000e")).data, QByteArray::fromHex("1403000e1234"));
        // A 32-bit read asks twice; 0x3fc0 0x0000 is 1.5 as a float.
        QVERIFY(m_client->send({TunnelFrame{quint16(base | 1), QByteArray::fromHex("14030010")},
                                TunnelFrame{quint16(base | 1), QByteArray::fromHex("14030012")}}));
        const QList<TunnelFrame> words = m_client->collect(2);
        QCOMPARE(words.size(), 2);
        QCOMPARE(words.at(0).data, QByteArray::fromHex("140300103fc0"));
        QCOMPARE(words.at(1).data, QByteArray::fromHex("140300120000"));

        struct Write {
            const char *bytes;
            const char *column;
            int value;
        };
        const Write writes[] = {{"10118003", "cratesimCanNodeBoardMode", 2},
                                {"10110003", "cratesimCanNodeBoardMode", 1},
                                {"10011000", "cratesimCanNodeFineAdjustment", 1},
                                {"10010000", "cratesimCanNodeFineAdjustment", 0}};
        for (const Write &w : writes) {
            QVERIFY(m_client->send(base, QByteArray::fromHex(w.bytes)));
            QCOMPARE(nodeValue(w.column, base), qlonglong(w.value));
            QCOMPARE(m_client->get(QStringLiteral("cratesimCanNodeLastWordWrite.%1").arg(base)).toByteArray(),
                     QByteArray::fromHex(w.bytes));
        }
        QCOMPARE(nodeValue("cratesimCanNodeWordWrites", base), 4);
        // The raw message "10 02" read from base+1 names a register word.
        QCOMPARE(ask(base | 1, QByteArray::fromHex("1002")).data.left(2), QByteArray::fromHex("1002"));
    }

    void tunnelValueFaults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::newRow("15 bytes") << 1 << 0x04 << 15;
        QTest::newRow("17 bytes") << 2 << 0x04 << 17;
        QTest::newRow("integer") << 3 << 0x02 << 0;
    }

    void tunnelValueFaults()
    {
        QFETCH(int, fault);
        QFETCH(int, type);
        QFETCH(int, size);
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        QVERIFY(m_client->send(0x201, QByteArray::fromHex("1203")));
        QTest::qWait(50);
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanReceiveFault.0"), fault));
        int gotType = 0;
        QByteArray value;
        QVERIFY(m_client->rawReceive(&gotType, &value));
        QCOMPARE(gotType, type);
        QCOMPARE(int(value.size()), size);
        // Once only, and the frame waited.
        TunnelFrame f;
        QCOMPARE(m_client->receive(&f), 1);
        QCOMPARE(f.data, QByteArray::fromHex("1203") + "E08F2");
    }

    void bitRateAnsweredAsOpaqueFloat()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        QVERIFY(m_client->setString(QStringLiteral("cratesimCanBitRateAnswerFloat.0"), "2.9"));
        QVariant answer;
        int type = 0;
        QVERIFY(m_client->setInteger(QStringLiteral("canBitRateHv.0"), 250000, &answer, &type));
        QCOMPARE(type, 0x78);
        QVERIFY(qAbs(answer.toDouble() - 2.9) < 1e-6);
        QCOMPARE(int(answer.toDouble()), 2);
        QVERIFY(m_client->setInteger(QStringLiteral("canBitRateHv.0"), 250000, &answer, &type));
        QCOMPARE(type, 0x02);
        QCOMPARE(answer.toLongLong(), 250000);
    }

    void bitRateChangeSilencesUntilSetBack()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        // The tool's bit-rate programming: C8, D4 00 7D, then reset all.
        QVERIFY(m_client->send({TunnelFrame{4, QByteArray::fromHex("C8")}, TunnelFrame{4, QByteArray::fromHex("D4007D")}}));
        QVERIFY(m_client->send(4, QByteArray::fromHex("D0")));
        m_client->drain();
        QCOMPARE(nodeValue("cratesimCanNodeBitRate", 0x200), 125);
        QVERIFY(ask(0x200, QByteArray::fromHex("D800"), 300).data.isEmpty());
        QVERIFY(m_client->setInteger(QStringLiteral("canBitRateHv.0"), 125000));
        QCOMPARE(ask(0x200, QByteArray::fromHex("D800")).data.size(), 3);
    }

    void closedTunnelCarriesNothing()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        QVERIFY(m_client->send(0x600, QByteArray::fromHex("10010002")));
        QCOMPARE(m_client->get(QStringLiteral("cratesimCanTunnelOpen.0")).toInt(), 0);
        QVERIFY(ask(0x200, QByteArray::fromHex("D800"), 300).data.isEmpty());
        QVERIFY(m_client->openTunnel());
        QCOMPARE(ask(0x200, QByteArray::fromHex("D800")).data.size(), 3);
    }

    void droppedAndDelayedAnswers()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x200));
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanNodeDropAnswers.512"), 1));
        QVERIFY(ask(0x200, QByteArray::fromHex("D800"), 300).data.isEmpty());
        QCOMPARE(ask(0x200, QByteArray::fromHex("D800")).data.size(), 3);
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanNodeAnswerDelayMs.512"), 1500));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(m_client->send(0x200, QByteArray::fromHex("D800")));
        QVERIFY(m_client->collect(1, 800).isEmpty());
        QCOMPARE(m_client->collect(1, 5000).size(), 1);
        QVERIFY(timer.elapsed() >= 1000);
    }

    void stopsAnsweringMidTransfer()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x290));
        const quint16 base = 0x290;
        HexGen::Options o;
        o.dataLines = 20;
        const QList<QByteArray> lines = HexGen::linesToSend(HexGen::generate(o));
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanNodeStopAfterLines.%1").arg(base), 5));
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QVERIFY(pass(base, lines.mid(0, 5)));
        QCOMPARE(sendLine(base, lines.at(5), 300), quint16(0));
        QCOMPARE(nodeValue("cratesimCanNodeStopped", base), 1);
        QVERIFY(ask(base, QByteArray::fromHex("D800"), 300).data.isEmpty());
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanNodeStopAfterLines.%1").arg(base), 0));
        // The line sent while it was silent never arrived; sent again it is taken.
        QCOMPARE(sendLine(base, lines.at(5)), quint16(0x1585));
    }

    void slowFlash()
    {
        QVERIFY(startCrate(testCrate(QStringLiteral("cancrate.json")), 0x290));
        const quint16 base = 0x290;
        HexGen::Options o;
        o.dataLines = 5;
        const QList<QByteArray> lines = HexGen::linesToSend(HexGen::generate(o));
        QVERIFY(m_client->setInteger(QStringLiteral("cratesimCanNodeFlashMsPerLine.%1").arg(base), 200));
        QVERIFY(handShake(base));
        QVERIFY(m_client->send(base, QByteArray::fromHex("1503")));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(pass(base, lines.mid(0, 5)));
        QVERIFY2(timer.elapsed() >= 5 * 150, QByteArray::number(timer.elapsed()));
    }
};

VEXA_TEST_GUILESS_MAIN(TestCanTunnel)
#include "tst_cantunnel.moc"
