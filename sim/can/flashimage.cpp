#include "flashimage.h"

namespace {
const QByteArray IdentityMarker("VXID");
constexpr int NameBytes = 6;
constexpr int ReleaseDigits = 4;
}

void FlashImage::write(quint32 address, const QByteArray &data)
{
    for (int i = 0; i < data.size(); ++i)
        m_bytes.insert(address + quint32(i), quint8(data.at(i)));
}

bool FlashImage::matches(quint32 address, const QByteArray &data) const
{
    for (int i = 0; i < data.size(); ++i) {
        const auto it = m_bytes.constFind(address + quint32(i));
        if (it == m_bytes.cend() || *it != quint8(data.at(i)))
            return false;
    }
    return true;
}

void FlashImage::flipByte(quint32 address)
{
    m_bytes[address] = quint8(m_bytes.value(address, 0xFF) ^ 0x5A);
}

quint32 FlashImage::crc32(quint32 crc, quint8 byte)
{
    crc ^= byte;
    for (int k = 0; k < 8; ++k)
        crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    return crc;
}

quint32 FlashImage::checksum() const
{
    quint32 crc = 0xFFFFFFFFu;
    for (auto it = m_bytes.cbegin(); it != m_bytes.cend(); ++it)
        crc = crc32(crc, it.value());
    return crc ^ 0xFFFFFFFFu;
}

QList<QPair<quint32, QByteArray>> FlashImage::runs() const
{
    QList<QPair<quint32, QByteArray>> result;
    quint32 next = 0;
    for (auto it = m_bytes.cbegin(); it != m_bytes.cend(); ++it) {
        if (result.isEmpty() || it.key() != next)
            result.append({it.key(), QByteArray()});
        result.last().second.append(char(it.value()));
        next = it.key() + 1;
    }
    return result;
}

FlashImage::Identity FlashImage::identity() const
{
    const int blockSize = IdentityMarker.size() + NameBytes + ReleaseDigits;
    // A block never spans a gap between runs.
    for (const auto &run : runs()) {
        const QByteArray &bytes = run.second;
        qsizetype from = 0;
        while ((from = bytes.indexOf(IdentityMarker, from)) >= 0) {
            if (bytes.size() - from < blockSize)
                break;
            const QByteArray name = bytes.mid(from + IdentityMarker.size(), NameBytes);
            const QByteArray digits = bytes.mid(from + IdentityMarker.size() + NameBytes, ReleaseDigits);
            bool digitsOk = true;
            for (char c : digits)
                digitsOk = digitsOk && c >= '0' && c <= '9';
            const qsizetype nul = name.indexOf('\0');
            const QByteArray trimmedName = nul >= 0 ? name.left(nul) : name;
            if (digitsOk && !trimmedName.isEmpty()) {
                Identity id;
                id.valid = true;
                id.device = QString::fromLatin1(trimmedName);
                id.release = QString::fromLatin1(digits.left(2)) + QLatin1Char('.')
                             + QString::fromLatin1(digits.mid(2));
                return id;
            }
            ++from;
        }
    }
    return Identity();
}

QByteArray FlashImage::identityBlock(const QString &device, const QString &release)
{
    QByteArray block = IdentityMarker;
    QByteArray name = device.toLatin1().left(NameBytes);
    name.append(QByteArray(NameBytes - name.size(), '\0'));
    block.append(name);
    QByteArray digits;
    for (QChar c : release)
        if (c.isDigit())
            digits.append(char(c.toLatin1()));
    digits = digits.right(ReleaseDigits);
    digits.prepend(QByteArray(ReleaseDigits - digits.size(), '0'));
    block.append(digits);
    return block;
}

FlashImage FlashImage::synthetic(const QString &device, const QString &release, quint32 seed, int size)
{
    FlashImage image;
    QByteArray bytes(size, '\0');
    quint32 x = seed * 2654435761u + 12345u;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = char((x >> 16) & 0xFF);
    }
    const QByteArray block = identityBlock(device, release);
    if (size >= 0x100 + block.size())
        bytes.replace(0x100, block.size(), block);
    image.write(0, bytes);
    return image;
}
