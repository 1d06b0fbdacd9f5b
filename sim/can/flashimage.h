#pragma once
// The program flash of a simulated module: sparse bytes by address, as the
// boot loader writes them from HEX records.
//
// Identity convention: a firmware image names itself with a 14-byte block
// anywhere in its data: the ASCII marker "VXID", the device name in six bytes
// (Latin-1, padded with NUL) and the release as four ASCII digits ("0513" is
// release 05.13). The first block in address order counts. A module restarted
// into an image reports that device name and release.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QtGlobal>
#include <array>
#include <bitset>

class FlashImage
{
public:
    struct Identity {
        bool valid = false;
        QString device;
        QString release;   // "05.13"
    };

    void clear()
    {
        m_pages.clear();
        m_length = 0;
    }
    bool isEmpty() const { return m_length == 0; }
    quint32 length() const { return m_length; }

    void write(quint32 address, const QByteArray &data);
    // True when every byte is present with the same value.
    bool matches(quint32 address, const QByteArray &data) const;
    // Corrupts one byte, for the compare-difference fault.
    void flipByte(quint32 address);

    // CRC-32 (IEEE 802.3) over the data bytes in ascending address order.
    quint32 checksum() const;
    // Contiguous runs of bytes, in address order.
    QList<QPair<quint32, QByteArray>> runs() const;
    Identity identity() const;

    // The 14-byte identity block for device and release ("05.13").
    static QByteArray identityBlock(const QString &device, const QString &release);
    // A plausible image of `size` bytes from address 0 carrying the identity block,
    // for modules that start with running firmware.
    static FlashImage synthetic(const QString &device, const QString &release, quint32 seed, int size);
    static quint32 crc32(quint32 crc, quint8 byte);

    bool operator==(const FlashImage &other) const { return m_length == other.m_length && m_pages == other.m_pages; }

private:
    // 256-byte pages keep a few images per module cheap; a byte is present
    // once a record wrote it.
    struct Page {
        std::array<quint8, 256> bytes{};
        std::bitset<256> present;
        bool operator==(const Page &other) const { return present == other.present && bytes == other.bytes; }
    };
    QMap<quint32, Page> m_pages;   // by address / 256
    quint32 m_length = 0;
};
