// The Intel HEX images in tests/data: what each one is for, and that they are
// exactly what the generator makes (VEXA_WRITE_HEX_DATA=1 writes them anew).

#include "hexgen.h"
#include "testenv.h"

#include "vexa_config.h"

#include <QFile>
#include <QtTest>

class TestHexData : public QObject
{
    Q_OBJECT

    static QString path(const QString &name) { return QStringLiteral(VEXA_SOURCE_DIR "/tests/data/") + name; }
    static QByteArray read(const QString &name)
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIntValue("VEXA_WRITE_HEX_DATA") == 1)
            for (const auto &file : HexGen::dataFiles())
                QVERIFY(HexGen::writeFile(path(file.first), file.second));
    }

    void filesMatchGenerator_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        int i = 0;
        for (const auto &file : HexGen::dataFiles())
            QTest::newRow(qPrintable(file.first)) << file.first << i++;
    }

    void filesMatchGenerator()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        const QByteArray text = read(name);
        QVERIFY2(!text.isEmpty(), qPrintable(name));
        QVERIFY(text == HexGen::generate(HexGen::dataFiles().at(index).second));
        // File names carry the device name, as the flash tool's type check wants.
        QVERIFY(name.contains(HexGen::dataFiles().at(index).second.device));
    }

    void twoDeviceTypesOfRealisticSize()
    {
        for (const char *name : {"T03X0_0513.hex", "T14X0_0521_linear.hex"}) {
            const HexGen::Image image = HexGen::parse(read(QLatin1String(name)));
            QVERIFY2(image.ok, qPrintable(image.error));
            QVERIFY(image.lines >= 3000);
        }
        const QByteArray t03 = read(QStringLiteral("T03X0_0513.hex"));
        QVERIFY(HexGen::parse(t03).bytes.size() == 3000 * 16);
        QVERIFY(t03.contains(HexGen::identityBlock(QStringLiteral("T03X0"), QStringLiteral("05.13")).toHex().toUpper().left(20)));
    }

    void extendedLinearAddresses()
    {
        const QByteArray text = read(QStringLiteral("T14X0_0521_linear.hex"));
        QVERIFY(text.startsWith(":020000040000FA\r\n"));
        QVERIFY(text.contains(":020000040001F9\r\n"));
        const HexGen::Image image = HexGen::parse(text);
        QCOMPARE(image.bytes.firstKey(), 0xC000u);
        QCOMPARE(image.bytes.lastKey(), 0xC000u + 4000u * 16u - 1u);
    }

    void lastLineWithoutLineEnd()
    {
        const QByteArray text = read(QStringLiteral("T03X0_0513_noeol.hex"));
        QVERIFY(text.endsWith(":00000001FF"));
        QVERIFY(HexGen::parse(text).ok);
        QCOMPARE(HexGen::linesToSend(text).last(), QByteArray(":00000001FF\r\n"));
    }

    void badChecksumLine()
    {
        const QByteArray text = read(QStringLiteral("T03X0_0513_badchecksum.hex"));
        const HexGen::Image image = HexGen::parse(text);
        QVERIFY(!image.ok);
        QCOMPARE(image.error, QStringLiteral("line 1234: checksum"));
    }
};

VEXA_TEST_GUILESS_MAIN(TestHexData)
#include "tst_hexdata.moc"
