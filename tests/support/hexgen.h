#pragma once
// Generates Intel HEX firmware images for tests, and reads them back into the
// bytes a boot loader would flash. Images carry the suite's identity block:
// "VXID", the device name in six bytes padded with NUL, the release as four
// ASCII digits ("0513" = 05.13), placed at image offset 0x100.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

class HexGen
{
public:
    struct Options {
        QString device = QStringLiteral("E08F2");
        QString release = QStringLiteral("05.13");
        int dataLines = 3000;           // data records, 16 bytes each
        int bytesPerLine = 16;
        quint32 baseAddress = 0;        // address of the first data byte
        bool extendedLinear = false;    // write 04 records (always when data crosses 64 KiB)
        bool startAddress = false;      // a 05 start linear address record before the end
        bool lastLineWithoutEnd = false;
        int badChecksumLine = 0;        // 1-based line number written with a wrong checksum
        quint32 seed = 1;
        QByteArray lineEnd = "\r\n";
    };

    struct Image {
        bool ok = false;
        QString error;
        int lines = 0;
        QMap<quint32, quint8> bytes;
        quint32 checksum() const;       // CRC-32 (IEEE) over the bytes in address order
        quint32 length() const { return quint32(bytes.size()); }
    };

    static QByteArray generate(const Options &options);
    // The images kept in tests/data, by file name, with the options that make them.
    static QList<QPair<QString, Options>> dataFiles();
    static bool writeFile(const QString &path, const Options &options);
    // Parses HEX text the way the simulated boot loader does (data, 01, 02, 03, 04, 05).
    static Image parse(const QByteArray &text);
    // The lines of a file as the flash tool sends them: simplified, each ending in CR LF.
    static QList<QByteArray> linesToSend(const QByteArray &text);

    static QByteArray record(quint8 type, quint16 offset, const QByteArray &data);
    static QByteArray identityBlock(const QString &device, const QString &release);
};
