#pragma once
// One CAN frame as it travels through the crate's tunnel objects: a 14-byte
// record (length word, identifier word, eight data bytes, all little-endian
// words). Frames are kept in their wire form so a run of them can be handed to
// the SNMP layer as consecutive records.

#include <QByteArray>
#include <QtGlobal>

namespace crateflash {

class CanFrame
{
public:
    static constexpr int RecordSize = 14;
    static constexpr int MaxData = 8;

    CanFrame();
    CanFrame(int identifier, const QByteArray &data);

    // Number of data bytes, 0 to 8 (bits 0-3 of the length word).
    int length() const;
    void setLength(int length);
    // 11-bit identifier (bits 18-28 of the identifier word).
    int identifier() const;
    void setIdentifier(int identifier);

    quint8 byte(int index) const { return m_record[6 + index]; }
    void setByte(int index, quint8 value) { m_record[6 + index] = value; }
    // The data bytes of the frame's length.
    QByteArray data() const;
    // Sets the data and the length; bytes beyond eight are dropped.
    void setData(const QByteArray &data);
    // First two data bytes as one big-endian code.
    int code() const { return byte(0) * 256 + byte(1); }

    void clear();
    const quint8 *record() const { return m_record; }
    quint8 *record() { return m_record; }
    QByteArray toRecord() const;
    static CanFrame fromRecord(const QByteArray &record);

    bool operator==(const CanFrame &other) const;
    bool operator!=(const CanFrame &other) const { return !(*this == other); }

private:
    quint8 m_record[RecordSize];
};

static_assert(sizeof(CanFrame) == CanFrame::RecordSize, "CanFrame must stay a bare 14-byte record");

} // namespace crateflash
