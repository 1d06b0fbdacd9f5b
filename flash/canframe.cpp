#include "canframe.h"

#include <cstring>

namespace crateflash {

CanFrame::CanFrame() { clear(); }

CanFrame::CanFrame(int identifier, const QByteArray &data)
{
    clear();
    setIdentifier(identifier);
    setData(data);
}

int CanFrame::length() const { return m_record[0] & 0x0F; }

void CanFrame::setLength(int length)
{
    // Bits above bit 3 of the length word are always sent as 0.
    m_record[0] = quint8(qBound(0, length, MaxData));
    m_record[1] = 0;
}

int CanFrame::identifier() const
{
    const quint32 word = quint32(m_record[2]) | quint32(m_record[3]) << 8 | quint32(m_record[4]) << 16
                         | quint32(m_record[5]) << 24;
    return int((word >> 18) & 0x7FF);
}

void CanFrame::setIdentifier(int identifier)
{
    const quint32 word = quint32(identifier & 0x7FF) << 18;
    m_record[2] = quint8(word);
    m_record[3] = quint8(word >> 8);
    m_record[4] = quint8(word >> 16);
    m_record[5] = quint8(word >> 24);
}

QByteArray CanFrame::data() const
{
    return QByteArray(reinterpret_cast<const char *>(m_record + 6), qMin(length(), MaxData));
}

void CanFrame::setData(const QByteArray &data)
{
    const int n = qMin(int(data.size()), MaxData);
    std::memset(m_record + 6, 0, MaxData);
    std::memcpy(m_record + 6, data.constData(), size_t(n));
    setLength(n);
}

void CanFrame::clear() { std::memset(m_record, 0, sizeof m_record); }

QByteArray CanFrame::toRecord() const { return QByteArray(reinterpret_cast<const char *>(m_record), RecordSize); }

CanFrame CanFrame::fromRecord(const QByteArray &record)
{
    CanFrame frame;
    std::memcpy(frame.m_record, record.constData(), size_t(qMin(int(record.size()), RecordSize)));
    return frame;
}

bool CanFrame::operator==(const CanFrame &other) const
{
    return std::memcmp(m_record, other.m_record, RecordSize) == 0;
}

} // namespace crateflash
