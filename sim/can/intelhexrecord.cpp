#include "intelhexrecord.h"

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

IntelHexRecord IntelHexRecord::parse(const QByteArray &rawLine)
{
    IntelHexRecord r;
    const QByteArray line = rawLine.trimmed();
    if (line.size() < 11 || line.at(0) != ':' || (line.size() - 1) % 2 != 0) {
        r.error = SyntaxError;
        return r;
    }
    QByteArray bytes;
    bytes.reserve((line.size() - 1) / 2);
    for (qsizetype i = 1; i + 1 < line.size(); i += 2) {
        const int hi = hexValue(line.at(i));
        const int lo = hexValue(line.at(i + 1));
        if (hi < 0 || lo < 0) {
            r.error = SyntaxError;
            return r;
        }
        bytes.append(char(hi << 4 | lo));
    }
    const auto *b = reinterpret_cast<const quint8 *>(bytes.constData());
    const int count = b[0];
    if (bytes.size() != count + 5) {
        r.error = LengthMismatch;
        return r;
    }
    quint8 sum = 0;
    for (quint8 v : bytes)
        sum = quint8(sum + v);
    if (sum != 0) {
        r.error = ChecksumError;
        return r;
    }
    r.offset = quint16(b[1] << 8 | b[2]);
    r.type = b[3];
    r.data = bytes.mid(4, count);
    switch (r.type) {
    case Data:
        break;
    case EndOfFile:
        if (count != 0)
            r.error = BadAddressRecord;
        break;
    case ExtendedSegmentAddress:
    case ExtendedLinearAddress:
        if (count != 2 || r.offset != 0)
            r.error = BadAddressRecord;
        break;
    case StartSegmentAddress:
    case StartLinearAddress:
        if (count != 4)
            r.error = BadAddressRecord;
        break;
    default:
        r.error = UnknownType;
        break;
    }
    return r;
}

QByteArray IntelHexRecord::format(quint8 type, quint16 offset, const QByteArray &data)
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
