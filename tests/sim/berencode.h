#pragma once
// Just enough BER to build SNMP messages by hand in the fuzz tests, where
// net-snmp would refuse to encode the odd ones.

#include <QByteArray>
#include <QtGlobal>

namespace ber {

inline QByteArray tlv(quint8 tag, const QByteArray &content)
{
    QByteArray out(1, char(tag));
    const int n = int(content.size());
    if (n < 128)
        out.append(char(n));
    else if (n < 256)
        out.append(char(0x81)).append(char(n));
    else
        out.append(char(0x82)).append(char(n >> 8)).append(char(n & 0xFF));
    return out + content;
}

// Two's complement in the fewest octets.
inline QByteArray integerContent(qint64 v)
{
    QByteArray bytes;
    do {
        bytes.prepend(char(v & 0xFF));
        v >>= 8;
    } while (v != 0 && v != -1);
    if (v == 0 && (quint8(bytes.at(0)) & 0x80))
        bytes.prepend('\0');
    if (v == -1 && !(quint8(bytes.at(0)) & 0x80))
        bytes.prepend('\xff');
    return bytes;
}

inline QByteArray integer(qint64 v, quint8 tag = 0x02) { return tlv(tag, integerContent(v)); }

} // namespace ber
