#include "canframe.h"

#include <algorithm>

CanFrame::CanFrame(quint16 identifier, const QByteArray &bytes)
    : id(identifier & 0x7FF), length(quint8(std::min<qsizetype>(bytes.size(), 8)))
{
    for (int i = 0; i < length; ++i)
        data[size_t(i)] = quint8(bytes.at(i));
}

QByteArray CanFrame::payload() const
{
    return QByteArray(reinterpret_cast<const char *>(data.data()), length);
}

quint16 CanFrame::code() const
{
    if (length < 2)
        return 0;
    return quint16(data[0] << 8 | data[1]);
}

QByteArray CanFrame::toRecord() const
{
    QByteArray r(RecordSize, '\0');
    r[0] = char(length & 0x0F);
    const quint32 word = quint32(id & 0x7FF) << 18;
    for (int i = 0; i < 4; ++i)
        r[2 + i] = char((word >> (8 * i)) & 0xFF);
    for (int i = 0; i < length; ++i)
        r[6 + i] = char(data[size_t(i)]);
    return r;
}

bool CanFrame::fromRecord(const QByteArray &record, CanFrame *frame)
{
    if (record.size() != RecordSize)
        return false;
    const auto *b = reinterpret_cast<const quint8 *>(record.constData());
    CanFrame f;
    f.length = quint8(std::min(b[0] & 0x0F, 8));
    const quint32 word = quint32(b[2]) | quint32(b[3]) << 8 | quint32(b[4]) << 16 | quint32(b[5]) << 24;
    f.id = quint16((word >> 18) & 0x7FF);
    for (int i = 0; i < 8; ++i)
        f.data[size_t(i)] = i < f.length ? b[6 + i] : 0;
    *frame = f;
    return true;
}

QByteArray CanFrame::toTunnelValue(quint16 pending) const
{
    QByteArray v;
    v.reserve(TunnelValueSize);
    v.append(char(pending & 0xFF));
    v.append(char(pending >> 8));
    v.append(toRecord());
    return v;
}

bool CanFrame::fromTunnelValue(const QByteArray &value, CanFrame *frame)
{
    if (value.size() != TunnelValueSize)
        return false;
    return fromRecord(value.mid(2), frame);
}

QString CanFrame::toString() const
{
    QString s = QStringLiteral("0x%1 %2").arg(id, 3, 16, QLatin1Char('0')).arg(length);
    for (int i = 0; i < length; ++i)
        s += QStringLiteral(" %1").arg(data[size_t(i)], 2, 16, QLatin1Char('0'));
    return s;
}

bool CanFrame::operator==(const CanFrame &other) const
{
    return id == other.id && length == other.length && payload() == other.payload();
}
