// A firmware file is checked as a whole before anything of it is sent: files
// cut short, empty, binary, huge or with a broken record are refused with a
// message naming the file, the line and what is wrong.

#include "hexfilecheck.h"
#include "hexgen.h"
#include "../sim/mutator.h"
#include "testenv.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace crateflash;

class TestHexFileCheck : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_good;

    QString write(const QByteArray &content)
    {
        static int n = 0;
        const QString path = m_dir.filePath(QStringLiteral("T03X0_%1.hex").arg(++n));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(content);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        HexGen::Options o;
        o.device = QStringLiteral("T03X0");
        o.dataLines = 40;
        m_good = HexGen::generate(o);
        QVERIFY(m_good.endsWith(":00000001FF\r\n"));
    }

    void goodFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("generated") << m_good;
        QTest::newRow("LF line ends") << QByteArray(m_good).replace("\r\n", "\n");
        QTest::newRow("no line end at the end") << m_good.chopped(2);
        QTest::newRow("blank lines and lower case") << (QByteArray("\r\n") + m_good.toLower() + "\r\n  \r\n");
    }

    void goodFiles()
    {
        QFETCH(QByteArray, content);
        const QString message = HexFileCheck::check(write(content));
        QVERIFY2(message.isEmpty(), qPrintable(message));
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray end(":00000001FF\r\n");
        const QByteArray data(":0400000001020304F2\r\n");
        QTest::newRow("empty") << QByteArray() << "is empty";
        QTest::newRow("only blank lines") << QByteArray("\r\n\r\n") << "holds no data record";
        QTest::newRow("only the end record") << end << "holds no data record";
        QTest::newRow("cut before the end record") << m_good.left(m_good.size() - end.size()) << "has no end record";
        QTest::newRow("cut within a line") << m_good.left(m_good.size() / 2) << "line";
        QTest::newRow("record after the end") << (data + end + data) << "line 3: record after the end record of line 2";
        QTest::newRow("two end records") << (data + end + end) << "line 3: record after the end record";
        QTest::newRow("checksum") << (data + ":0400000001020304F3\r\n" + end) << "line 2: checksum error";
        QTest::newRow("no colon") << (data + "0400000001020304F2\r\n" + end) << "line 2: not an Intel HEX record";
        QTest::newRow("odd digits") << (":0400000001020304F\r\n" + end) << "line 1: odd number";
        QTest::newRow("not hexadecimal") << (":04000000010203G4F2\r\n" + end) << "line 1: character 16";
        QTest::newRow("inner space") << (":04000000 01020304F2\r\n" + end) << "line 1: character 10";
        QTest::newRow("byte count") << (":0500000001020304F1\r\n" + end) << "line 1: byte count 5";
        QTest::newRow("short") << (QByteArray(":0000\r\n") + end) << "line 1: record too short";
        QTest::newRow("unknown type") << (data + ":00000006FA\r\n" + end) << "line 2: unknown record type 6";
        QTest::newRow("end with data") << (data + ":01000001AA54\r\n") << "line 2: end record with data";
        QTest::newRow("address record length") << (":0300000400000AEF\r\n" + data + end) << "line 1: address record";
        QTest::newRow("binary") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\r\n", 14) << "line 1: binary data";
        QTest::newRow("line of 601") << (":" + QByteArray(600, '0') + "\r\n" + data + end) << "line 1: line longer than 600";
        QTest::newRow("one long line") << QByteArray(100 * 1024, 'A') << "line 1: line longer than 600";
    }

    void badFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = write(content);
        const QString got = HexFileCheck::check(path);
        QVERIFY2(got.contains(message), qPrintable(got));
        QVERIFY2(got.contains(path), qPrintable(got));
    }

    // Mutated files: the check never crashes or stalls, and what it passes is
    // Intel HEX throughout (every record re-checked on its own here).
    void mutatedFiles()
    {
        const quint32 seed = quint32(QDateTime::currentMSecsSinceEpoch());
        qInfo() << "seed" << seed;
        Mutator mutator(seed);
        QElapsedTimer timer;
        timer.start();
        int passed = 0, refused = 0;
        while (timer.elapsed() < Mutator::seconds(3) * 1000) {
            const QString path = write(mutator.mutate(m_good, 1 + int(mutator.below(6))));
            const QString got = HexFileCheck::check(path);
            if (!got.isEmpty()) {
                QVERIFY2(got.contains(path), qPrintable(got));
                ++refused;
            } else {
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadOnly));
                for (const QByteArray &line : f.readAll().split('\n')) {
                    int type = -1;
                    const QByteArray record = line.trimmed();
                    QVERIFY2(record.isEmpty() || HexFileCheck::checkRecord(record, &type).isEmpty(), record.constData());
                }
                ++passed;
            }
            QFile::remove(path);
        }
        qInfo() << passed << "passed," << refused << "refused";
        QVERIFY(refused > 0);
    }

    void missingAndHugeFiles()
    {
        const QString missing = m_dir.filePath(QStringLiteral("gone.hex"));
        QVERIFY(HexFileCheck::check(missing).contains(QStringLiteral("cannot be read")));

        // 50 MB, refused on its size without being read through.
        const QString huge = m_dir.filePath(QStringLiteral("huge.hex"));
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(50 * 1000 * 1000));
        f.close();
        QElapsedTimer timer;
        timer.start();
        const QString got = HexFileCheck::check(huge);
        QVERIFY2(got.contains(QStringLiteral("50000000 bytes")), qPrintable(got));
        QVERIFY(timer.elapsed() < 5000);
    }
};

VEXA_TEST_GUILESS_MAIN(TestHexFileCheck)
#include "tst_hexfilecheck.moc"
