#pragma once
// One CAN frame as it crosses the crate controller's tunnel: the 14-byte
// record (length word, identifier word, eight data bytes, little-endian words)
// and the 16-byte tunnel value that puts a pending word in front of it.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

struct CanFrame
{
    static constexpr int RecordSize = 14;
    static constexpr int TunnelValueSize = 16;

    quint16 id = 0;      // 11-bit identifier
    quint8 length = 0;   // 0 to 8
    std::array<quint8, 8> data{};

    CanFrame() = default;
    CanFrame(quint16 identifier, const QByteArray &bytes);

    QByteArray payload() const;
    // First two data bytes as one big-endian code (0 when shorter).
    quint16 code() const;
    quint16 base() const { return id & 0x7F8; }

    QByteArray toRecord() const;
    // Reads a 14-byte record; lengths above 8 are clamped as a CAN controller does.
    static bool fromRecord(const QByteArray &record, CanFrame *frame);
    QByteArray toTunnelValue(quint16 pending) const;
    // The tool sends two zero bytes and the record; the pending word is ignored.
    static bool fromTunnelValue(const QByteArray &value, CanFrame *frame);

    // "0x210 4 10 11 80 03", for the debug output.
    QString toString() const;

    bool operator==(const CanFrame &other) const;
};
