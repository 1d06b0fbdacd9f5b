#include "hexgen.h"

#include <QFile>

namespace {
quint32 crcByte(quint32 crc, quint8 byte)
{
    crc ^= byte;
    for (int k = 0; k < 8; ++k)
        crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    return crc;
}
} // namespace

quint32 HexGen::Image::checksum() const
{
    quint32 crc = 0xFFFFFFFFu;
    for (auto it = bytes.cbegin(); it != bytes.cend(); ++it)
        crc = crcByte(crc, it.value());
    return crc ^ 0xFFFFFFFFu;
}

QByteArray HexGen::record(quint8 type, quint16 offset, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(offset >> 8));
    bytes.append(char(offset & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    bytes.append(char(quint8(0x100 - sum)));
    return ':' + bytes.toHex().toUpper();
}

QByteArray HexGen::identityBlock(const QString &device, const QString &release)
{
    QByteArray block("VXID");
    QByteArray name = device.toLatin1().left(6);
    name.append(QByteArray(6 - name.size(), '\0'));
    block.append(name);
    QByteArray digits;
    for (QChar c : release)
        if (c.isDigit())
            digits.append(char(c.toLatin1()));
    digits = digits.right(4);
    digits.prepend(QByteArray(4 - digits.size(), '0'));
    return block + digits;
}

QByteArray HexGen::generate(const Options &o)
{
    const int total = o.dataLines * o.bytesPerLine;
    QByteArray data(total, '\0');
    quint32 x = o.seed * 2246822519u + 374761393u;
    for (int i = 0; i < total; ++i) {
        x = x * 1664525u + 1013904223u;
        // Mostly code-like bytes with runs of erased flash, as real images have.
        data[i] = (i / 512) % 7 == 6 ? char(0xFF) : char((x >> 24) & 0xFF);
    }
    const QByteArray id = identityBlock(o.device, o.release);
    if (total >= 0x100 + id.size())
        data.replace(0x100, id.size(), id);

    QList<QByteArray> lines;
    // Without the option, 04 records appear only where the data leaves the first 64 KiB.
    quint32 upper = o.extendedLinear ? 0xFFFFFFFFu : 0;
    for (int line = 0; line < o.dataLines; ++line) {
        const quint32 address = o.baseAddress + quint32(line * o.bytesPerLine);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            lines.append(record(0x04, 0, QByteArray(1, char(upper >> 8)) + char(upper & 0xFF)));
        }
        lines.append(record(0x00, quint16(address & 0xFFFF), data.mid(line * o.bytesPerLine, o.bytesPerLine)));
    }
    if (o.startAddress) {
        const quint32 s = o.baseAddress + 0x200;
        QByteArray b;
        for (int i = 3; i >= 0; --i)
            b.append(char((s >> (8 * i)) & 0xFF));
        lines.append(record(0x05, 0, b));
    }
    lines.append(record(0x01, 0, QByteArray()));
    if (o.badChecksumLine > 0 && o.badChecksumLine <= lines.size()) {
        QByteArray &bad = lines[o.badChecksumLine - 1];
        const char last = bad.at(bad.size() - 1);
        bad[bad.size() - 1] = last == '0' ? '1' : '0';
    }
    QByteArray text;
    for (int i = 0; i < lines.size(); ++i) {
        text.append(lines.at(i));
        if (i + 1 < lines.size() || !o.lastLineWithoutEnd)
            text.append(o.lineEnd);
    }
    return text;
}

QList<QPair<QString, HexGen::Options>> HexGen::dataFiles()
{
    Options a;
    a.device = QStringLiteral("T03X0");
    a.release = QStringLiteral("05.13");
    a.dataLines = 3000;
    a.seed = 3;
    a.startAddress = true;
    Options b;
    b.device = QStringLiteral("T14X0");
    b.release = QStringLiteral("05.21");
    b.dataLines = 4000;
    b.seed = 14;
    b.extendedLinear = true;
    b.baseAddress = 0x0000C000;
    b.startAddress = true;
    Options c = a;
    c.dataLines = 2500;
    c.seed = 4;
    c.lastLineWithoutEnd = true;
    c.startAddress = false;
    Options d = a;
    d.dataLines = 2500;
    d.seed = 5;
    d.badChecksumLine = 1234;
    d.startAddress = false;
    return {{QStringLiteral("T03X0_0513.hex"), a},
            {QStringLiteral("T14X0_0521_linear.hex"), b},
            {QStringLiteral("T03X0_0513_noeol.hex"), c},
            {QStringLiteral("T03X0_0513_badchecksum.hex"), d}};
}

bool HexGen::writeFile(const QString &path, const Options &options)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray text = generate(options);
    return f.write(text) == text.size();
}

QList<QByteArray> HexGen::linesToSend(const QByteArray &text)
{
    QList<QByteArray> out;
    const QList<QByteArray> raw = text.split('\n');
    for (int i = 0; i < raw.size(); ++i) {
        if (i == raw.size() - 1 && raw.at(i).isEmpty())
            break;   // text ended with a line end
        out.append(raw.at(i).simplified() + "\r\n");
    }
    return out;
}

HexGen::Image HexGen::parse(const QByteArray &text)
{
    Image image;
    quint32 base = 0;
    int number = 0;
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        ++number;
        if (line.isEmpty())
            continue;
        ++image.lines;
        if (!line.startsWith(':') || line.size() < 11 || (line.size() - 1) % 2) {
            image.error = QStringLiteral("line %1: not a record").arg(number);
            return image;
        }
        const QByteArray b = QByteArray::fromHex(line.mid(1));
        if (b.size() * 2 != line.size() - 1 || b.size() != quint8(b.at(0)) + 5) {
            image.error = QStringLiteral("line %1: bad length").arg(number);
            return image;
        }
        quint8 sum = 0;
        for (char c : b)
            sum = quint8(sum + quint8(c));
        if (sum != 0) {
            image.error = QStringLiteral("line %1: checksum").arg(number);
            return image;
        }
        const quint16 offset = quint16(quint8(b.at(1)) << 8 | quint8(b.at(2)));
        const QByteArray payload = b.mid(4, quint8(b.at(0)));
        switch (quint8(b.at(3))) {
        case 0x00:
            for (int i = 0; i < payload.size(); ++i)
                image.bytes.insert(base + offset + quint32(i), quint8(payload.at(i)));
            break;
        case 0x01:
            image.ok = true;
            return image;
        case 0x02:
            base = quint32(quint8(payload.at(0)) << 8 | quint8(payload.at(1))) << 4;
            break;
        case 0x04:
            base = quint32(quint8(payload.at(0)) << 8 | quint8(payload.at(1))) << 16;
            break;
        default:
            break;
        }
    }
    image.error = QStringLiteral("no end-of-file record");
    return image;
}
