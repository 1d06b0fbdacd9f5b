#include "flashimage.h"

namespace {
const QByteArray IdentityMarker("VXID");
constexpr int NameBytes = 6;
constexpr int ReleaseDigits = 4;
}

void FlashImage::write(quint32 address, const QByteArray &data)
{
    for (int i = 0; i < data.size(); ++i) {
        const quint32 a = address + quint32(i);
        Page &page = m_pages[a >> 8];
        const size_t offset = a & 0xFF;
        if (!page.present.test(offset)) {
            page.present.set(offset);
            ++m_length;
        }
        page.bytes[offset] = quint8(data.at(i));
    }
}

bool FlashImage::matches(quint32 address, const QByteArray &data) const
{
    for (int i = 0; i < data.size(); ++i) {
        const quint32 a = address + quint32(i);
        const auto it = m_pages.constFind(a >> 8);
        if (it == m_pages.cend() || !it->present.test(a & 0xFF) || it->bytes[a & 0xFF] != quint8(data.at(i)))
            return false;
    }
    return true;
}

void FlashImage::flipByte(quint32 address)
{
    Page &page = m_pages[address >> 8];
    const size_t offset = address & 0xFF;
    if (!page.present.test(offset)) {
        page.present.set(offset);
        page.bytes[offset] = 0xFF;
        ++m_length;
    }
    page.bytes[offset] ^= 0x5A;
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
    for (const Page &page : m_pages)
        for (size_t i = 0; i < page.bytes.size(); ++i)
            if (page.present.test(i))
                crc = crc32(crc, page.bytes[i]);
    return crc ^ 0xFFFFFFFFu;
}

QList<QPair<quint32, QByteArray>> FlashImage::runs() const
{
    QList<QPair<quint32, QByteArray>> result;
    quint32 next = 0;
    for (auto it = m_pages.cbegin(); it != m_pages.cend(); ++it) {
        for (size_t i = 0; i < it->bytes.size(); ++i) {
            if (!it->present.test(i))
                continue;
            const quint32 address = it.key() << 8 | quint32(i);
            if (result.isEmpty() || address != next)
                result.append({address, QByteArray()});
            result.last().second.append(char(it->bytes[i]));
            next = address + 1;
        }
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
