#include "canmodule.h"

#include "eventrecords.h"
#include "intelhexrecord.h"

#include <QJsonArray>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCan)

namespace {
constexpr quint16 BroadcastId = 4;

QByteArray bigEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

quint32 readBigEndian(const CanFrame &f, int from, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | f.data[size_t(from + i)];
    return v;
}

int numberOf(const QJsonValue &v, int fallback)
{
    if (v.isDouble())
        return v.toInt(fallback);
    if (v.isString()) {
        bool ok = false;
        const int n = v.toString().toInt(&ok, 0);
        return ok ? n : fallback;
    }
    return fallback;
}
} // namespace

CanModule::CanModule(int slot, quint16 base, int board)
    : m_slot(slot), m_base(base), m_board(board)
{
    m_normal.start = NormalMemoryStart;
    m_normal.sectorSize = NormalSectorSize;
    m_normal.bytes = QByteArray(NormalMemorySize, char(0xFF));
    m_internal.start = InternalMemoryStart;
    m_internal.sectorSize = InternalSectorSize;
    m_internal.bytes = QByteArray(InternalMemorySize, char(0xFF));
}

void CanModule::configure(quint32 serialNumber, const QString &device, const QString &release,
                          int channels, const QJsonObject &can, QStringList *problems)
{
    m_serial = quint32(numberOf(can.value(QLatin1String("serialNumber")), int(serialNumber)));
    m_device = can.value(QLatin1String("device")).toString(device);
    m_release = can.value(QLatin1String("release")).toString(release);
    if (m_release.isEmpty())
        m_release = QStringLiteral("01.00");
    m_bootLoaderRelease = can.value(QLatin1String("bootLoaderRelease")).toString(m_bootLoaderRelease);
    m_bitRateKbit = numberOf(can.value(QLatin1String("bitRate")), 250);
    m_flashSize = quint32(numberOf(can.value(QLatin1String("flashSize")), int(DefaultFlashSize)));
    m_waitsInBootLoader = can.value(QLatin1String("bootLoader")).toBool(false);

    // A module left in its boot loader by an interrupted update has no usable
    // image; the others run a firmware that names itself like a real image.
    m_flash.clear();
    if (!m_waitsInBootLoader) {
        // The synthetic image fits the flash, however large the file asks it to be.
        const int size = numberOf(can.value(QLatin1String("imageSize")), 48 * 1024);
        m_flash = FlashImage::synthetic(m_device, m_release, m_serial, int(qBound(quint32(0x200), quint32(qMax(size, 0)), m_flashSize)));
    }

    // Registers the service read shows by default; "registers" overrides them.
    m_registers.clear();
    m_registers.insert(0x0000, quint16(m_serial >> 16));
    m_registers.insert(0x0002, quint16(m_serial & 0xFFFF));
    m_registers.insert(0x0004, quint16(channels));
    m_registers.insert(0x000e, 0xFFFF);
    const QJsonObject regs = can.value(QLatin1String("registers")).toObject();
    for (auto it = regs.begin(); it != regs.end(); ++it) {
        bool ok = false;
        const int address = it.key().toInt(&ok, 0);
        const int value = numberOf(it.value(), -1);
        if (!ok || address < 0 || address > 0xFFFF || value < 0 || value > 0xFFFF) {
            if (problems)
                problems->append(QStringLiteral("slot %1: register \"%2\" ignored").arg(m_slot).arg(it.key()));
            continue;
        }
        m_registers.insert(quint16(address), quint16(value));
    }

    const QJsonObject events = can.value(QLatin1String("eventMemory")).toObject();
    const bool internal = events.value(QLatin1String("layout")).toString() == QLatin1String("internal");
    Memory &memory = internal ? m_internal : m_normal;
    memory.bytes = EventRecords::encode(events.value(QLatin1String("records")).toArray(),
                                        memory.bytes.size(), problems);

    m_mode = Mode::Running;
    m_pass = Pass::None;
    powerUp();
}

QList<CanModule::Answer> CanModule::powerUp()
{
    QList<Answer> out;
    m_logOn = false;
    m_prepared = false;
    m_bitRateAnnounced = false;
    m_lineBuffer.clear();
    m_pass = Pass::None;
    if (m_waitsInBootLoader || !startFirmware()) {
        enterBootLoader();
        answer(&out, bigEndian(WaitingInBootLoader, 2));
    }
    return out;
}

QString CanModule::release() const
{
    return m_mode == Mode::BootLoader ? m_bootLoaderRelease : m_release;
}

int CanModule::boardMode() const
{
    if (!m_registers.contains(0x1011))
        return 0;
    return (m_registers.value(0x1011) & 0x8000) ? 2 : 1;
}

void CanModule::setStopAfterLines(int lines)
{
    m_stopAfter = qMax(0, lines);
    if (m_stopAfter == 0)
        m_stopped = false;
}

void CanModule::answer(QList<Answer> *out, const QByteArray &bytes, qint64 delayMs)
{
    if (dropAnswers != 0) {
        if (dropAnswers > 0)
            --dropAnswers;
        qCDebug(lcCan) << "slot" << m_slot << "drops its answer" << bytes.toHex(' ');
        return;
    }
    ++m_framesOut;
    out->append(Answer{CanFrame(m_base, bytes), delayMs + qMax(0, answerDelayMs)});
}

QList<CanModule::Answer> CanModule::receive(const CanFrame &frame)
{
    if (frame.id == BroadcastId)
        return handleBroadcast(frame);
    if (frame.base() != m_base)
        return {};
    if (frame.id == m_base)
        return handleBase(frame);
    if (frame.id == (m_base | 1))
        return handleQuery(frame);
    return {};
}

QList<CanModule::Answer> CanModule::handleBroadcast(const CanFrame &f)
{
    QList<Answer> out;
    const QByteArray p = f.payload();
    if (p == QByteArray::fromHex("F415E6")) {
        m_prepared = true;
    } else if (p == QByteArray::fromHex("C8")) {
        m_bitRateAnnounced = true;
    } else if (f.length == 3 && f.data[0] == 0xD4) {
        // A rate only counts after the announce, so a stray frame cannot cut a module off.
        if (m_bitRateAnnounced) {
            const int rate = int(readBigEndian(f, 1, 2));
            if (rate > 0 && rate <= 1000)
                m_nextBitRateKbit = rate;
        }
        m_bitRateAnnounced = false;
    } else if (p == QByteArray::fromHex("D0")) {
        if (m_nextBitRateKbit > 0) {
            m_bitRateKbit = m_nextBitRateKbit;
            m_nextBitRateKbit = 0;
        }
        // A reset keeps a module in its boot loader only when it was waiting there.
        if (m_mode == Mode::BootLoader && !m_flash.identity().valid)
            m_waitsInBootLoader = true;
        out = powerUp();
    }
    return out;
}

QList<CanModule::Answer> CanModule::handleBase(const CanFrame &f)
{
    QList<Answer> out;
    if (f.length == 2 && f.data[0] == 0xD8) {
        m_logOn = f.data[1] != 0;
        if (m_mode == Mode::BootLoader)
            answer(&out, bigEndian(WaitingInBootLoader, 2));
        else
            answer(&out, QByteArray::fromHex("D8") + char(m_logOn ? 1 : 0) + char(0));
        return out;
    }
    if (f.length == 2 && f.data[0] == 0x15)
        return handleBootCommand(f.data[1]);
    if (m_mode != Mode::Running)
        return out;
    if (f.length == 7 && f.data[0] == 0x16 && f.data[4] == 0x00 && f.data[5] == 0x15 && f.data[6] == 0xE6) {
        const quint32 address = readBigEndian(f, 1, 3);
        if (Memory *m = memoryAt(address)) {
            const quint32 sector = (address - m->start) / m->sectorSize * m->sectorSize;
            const int size = int(qMin<quint32>(m->sectorSize, quint32(m->bytes.size()) - sector));
            m->bytes.replace(int(sector), size, QByteArray(size, char(0xFF)));
            ++m_sectorsErased;
            qCDebug(lcCan) << "slot" << m_slot << "erased sector at" << Qt::hex << (m->start + sector);
        }
        return out;
    }
    if (f.length == 4) {
        const QByteArray p = f.payload();
        m_lastWordWrite = p;
        ++m_wordWrites;
        writeWord(quint16(readBigEndian(f, 0, 2)), quint16(readBigEndian(f, 2, 2)));
    }
    return out;
}

void CanModule::writeWord(quint16 address, quint16 value)
{
    m_registers.insert(address, value);
}

QList<CanModule::Answer> CanModule::handleQuery(const CanFrame &f)
{
    QList<Answer> out;
    const quint16 code = f.code();
    if (f.length == 2 && code == 0x1200) {
        answer(&out, bigEndian(0x1200, 2) + bigEndian(m_serial, 4));
        return out;
    }
    if (f.length == 2 && code == 0x1201) {
        QByteArray digits;
        for (QChar c : release())
            if (c.isDigit())
                digits.append(char(c.digitValue()));
        digits = digits.right(4);
        digits.prepend(QByteArray(4 - digits.size(), '\0'));
        answer(&out, bigEndian(0x1201, 2) + digits);
        return out;
    }
    if (f.length == 2 && code == 0x1203) {
        answer(&out, bigEndian(0x1203, 2) + m_device.toLatin1().left(6));
        return out;
    }
    if (f.length >= 3 && code == 0x1500) {
        if (m_mode == Mode::BootLoader)
            return handleHexChunk(f.payload().mid(2));
        return out;
    }
    if (m_mode != Mode::Running)
        return out;
    if (f.length == 4 && code == 0x1403) {
        const quint16 address = quint16(readBigEndian(f, 2, 2));
        answer(&out, bigEndian(0x1403, 2) + bigEndian(address, 2) + bigEndian(registerValue(address), 2));
        return out;
    }
    if (f.length == 4 && f.data[0] == 0x16) {
        const quint32 address = readBigEndian(f, 1, 3);
        QByteArray data(4, char(0xFF));
        for (int i = 0; i < 4; ++i) {
            if (const Memory *m = memoryAt(address + quint32(i)))
                data[i] = m->bytes.at(int(address + quint32(i) - m->start));
        }
        answer(&out, f.payload() + data);
        return out;
    }
    if (f.length == 2) {
        // Any other two-byte read names a register word: answered with its value.
        answer(&out, f.payload() + bigEndian(registerValue(code), 2));
    }
    return out;
}

QList<CanModule::Answer> CanModule::handleBootCommand(quint8 command)
{
    QList<Answer> out;
    if (m_mode == Mode::Running) {
        if (command == 0x00) {
            qCDebug(lcCan) << "slot" << m_slot << "restarts into its boot loader";
            enterBootLoader();
            answer(&out, bigEndian(WaitingInBootLoader, 2));
        }
        return out;
    }
    switch (command) {
    case 0x00:
        // A run starts here: the image written from now on replaces the flash
        // as a whole. A repeated 03 within the run (the tool sends one more
        // after its start-writing delay) keeps what was written so far.
        m_pass = Pass::None;
        m_lineBuffer.clear();
        m_staging.clear();
        answer(&out, bigEndian(HandShake, 2));
        break;
    case 0x03:
    case 0x04:
    case 0x05:
        // The repeated 03 of a hand-shake does not take the tool back to the
        // file's first line: keep the address base of the lines already taken.
        if (command == 0x03 && m_pass == Pass::Write) {
            m_lineBuffer.clear();
            break;
        }
        m_pass = command == 0x03 ? Pass::Write : command == 0x04 ? Pass::Compare : Pass::CompareAfterWrite;
        m_lineBuffer.clear();
        m_addressBase = 0;
        m_segmentAddressing = false;
        m_endOfFileSeen = false;
        m_linesTaken = 0;
        m_linesRejected = 0;
        break;
    case 0x06:
        // Repeated post-flash commands find nothing new to commit.
        if (!m_staging.isEmpty() && !(m_staging == m_flash)) {
            m_flash = m_staging;
            ++m_commits;
            qCDebug(lcCan) << "slot" << m_slot << "committed" << m_flash.length() << "bytes, checksum"
                           << Qt::hex << m_flash.checksum();
        }
        break;
    case 0x09:
        m_pass = Pass::None;
        m_lineBuffer.clear();
        if (!startFirmware())
            answer(&out, bigEndian(WaitingInBootLoader, 2));
        break;
    default:
        break;
    }
    return out;
}

void CanModule::enterBootLoader()
{
    m_mode = Mode::BootLoader;
    m_pass = Pass::None;
    m_lineBuffer.clear();
    m_staging.clear();
}

bool CanModule::startFirmware()
{
    const FlashImage::Identity id = m_flash.identity();
    if (!id.valid)
        return false;
    m_mode = Mode::Running;
    m_waitsInBootLoader = false;
    m_device = id.device;
    m_release = id.release;
    return true;
}

CanModule::Memory *CanModule::memoryAt(quint32 address)
{
    if (m_normal.contains(address))
        return &m_normal;
    if (m_internal.contains(address))
        return &m_internal;
    return nullptr;
}

QList<CanModule::Answer> CanModule::handleHexChunk(const QByteArray &text)
{
    QList<Answer> out;
    m_lineBuffer.append(text);
    qsizetype end;
    while ((end = m_lineBuffer.indexOf("\r\n")) >= 0) {
        const QByteArray line = m_lineBuffer.left(end);
        m_lineBuffer.remove(0, end + 2);
        qint64 delay = 0;
        const quint16 code = processLine(line, &delay);
        answer(&out, bigEndian(code, 2), delay);
        if (code == LineTaken && m_stopAfter > 0 && --m_stopAfter == 0) {
            m_stopped = true;
            qCDebug(lcCan) << "slot" << m_slot << "stops answering after line" << m_linesTaken;
        }
    }
    if (m_lineBuffer.size() > MaxLineLength) {
        m_lineBuffer.clear();
        ++m_linesRejected;
        answer(&out, bigEndian(LineTooLong, 2));
    }
    return out;
}

quint16 CanModule::processLine(const QByteArray &line, qint64 *delayMs)
{
    if (m_pass == Pass::None) {
        ++m_linesRejected;
        return NoPassSelected;
    }
    const int lineNumber = m_linesTaken + 1;
    if (rejectLine > 0 && rejectLine == lineNumber) {
        rejectLine = 0;
        ++m_linesRejected;
        return ChecksumError;
    }
    // Blank lines carry nothing; refusing them would make the tool repeat them forever.
    if (line.trimmed().isEmpty()) {
        ++m_linesTaken;
        return LineTaken;
    }
    const IntelHexRecord r = IntelHexRecord::parse(line);
    quint16 result = LineTaken;
    switch (r.error) {
    case IntelHexRecord::NoError:
        break;
    case IntelHexRecord::ChecksumError:
        result = ChecksumError;
        break;
    case IntelHexRecord::SyntaxError:
    case IntelHexRecord::LengthMismatch:
        result = SyntaxError;
        break;
    case IntelHexRecord::UnknownType:
        result = UnknownRecord;
        break;
    case IntelHexRecord::BadAddressRecord:
        result = BadAddressRecord;
        break;
    }
    if (result == LineTaken) {
        switch (r.type) {
        case IntelHexRecord::Data: {
            const quint32 address = m_addressBase + r.offset;
            // Under a segment address the offset wraps at 64 KiB within the segment.
            const qsizetype head = m_segmentAddressing ? qMin<qsizetype>(r.data.size(), 0x10000 - r.offset)
                                                       : r.data.size();
            const QByteArray first = r.data.left(head);
            const QByteArray wrapped = r.data.mid(head);
            if (quint64(address) + quint64(first.size()) > m_flashSize
                || quint64(m_addressBase) + quint64(wrapped.size()) > m_flashSize) {
                result = AddressOutOfRange;
                break;
            }
            if (m_pass == Pass::Write) {
                m_staging.write(address, first);
                m_staging.write(m_addressBase, wrapped);
                *delayMs = qMax(0, flashMsPerLine);
            } else {
                const FlashImage &reference = m_pass == Pass::Compare ? m_flash : m_staging;
                bool same = reference.matches(address, first) && reference.matches(m_addressBase, wrapped);
                if (compareDifferenceLine > 0 && compareDifferenceLine == lineNumber) {
                    compareDifferenceLine = 0;
                    same = false;
                }
                if (!same)
                    result = CompareDifference;
            }
            break;
        }
        case IntelHexRecord::EndOfFile:
            m_endOfFileSeen = true;
            break;
        case IntelHexRecord::ExtendedSegmentAddress:
            m_addressBase = quint32(quint8(r.data.at(0)) << 8 | quint8(r.data.at(1))) << 4;
            m_segmentAddressing = true;
            break;
        case IntelHexRecord::ExtendedLinearAddress:
            m_addressBase = quint32(quint8(r.data.at(0)) << 8 | quint8(r.data.at(1))) << 16;
            m_segmentAddressing = false;
            break;
        case IntelHexRecord::StartSegmentAddress:
        case IntelHexRecord::StartLinearAddress:
            m_startAddress = quint32(quint8(r.data.at(0))) << 24 | quint32(quint8(r.data.at(1))) << 16
                             | quint32(quint8(r.data.at(2))) << 8 | quint32(quint8(r.data.at(3)));
            break;
        default:
            break;
        }
    }
    if (result == LineTaken || result == CompareDifference)
        ++m_linesTaken;
    else
        ++m_linesRejected;
    return result;
}

QJsonObject CanModule::saveState() const
{
    QJsonObject o;
    // Flash as contiguous runs [start address, hexadecimal text], in address
    // order: an array, as an object's keys cost a search each on insertion.
    QJsonArray runs;
    for (const auto &run : m_flash.runs())
        runs.append(QJsonArray{double(run.first), QString::fromLatin1(run.second.toHex())});
    o.insert(QLatin1String("flash"), runs);
    o.insert(QLatin1String("bootLoader"), m_waitsInBootLoader);
    o.insert(QLatin1String("bitRate"), m_bitRateKbit);
    o.insert(QLatin1String("normalMemory"), QString::fromLatin1(m_normal.bytes.toHex()));
    o.insert(QLatin1String("internalMemory"), QString::fromLatin1(m_internal.bytes.toHex()));
    return o;
}

void CanModule::restoreState(const QJsonObject &state)
{
    if (state.isEmpty())
        return;
    FlashImage img;
    auto restoreRun = [&img, this](quint32 start, const QString &hex) {
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
        // A flash that does not fit this module is not taken back.
        if (quint64(start) + quint64(bytes.size()) <= m_flashSize)
            img.write(start, bytes);
    };
    const QJsonValue flash = state.value(QLatin1String("flash"));
    if (flash.isArray()) {
        for (const QJsonValue &run : flash.toArray())
            restoreRun(quint32(run.toArray().at(0).toDouble()), run.toArray().at(1).toString());
    } else {
        // Files written before runs were an array key them by hexadecimal address.
        const QJsonObject runs = flash.toObject();
        for (auto it = runs.begin(); it != runs.end(); ++it) {
            bool ok = false;
            const quint32 start = it.key().toUInt(&ok, 16);
            if (ok)
                restoreRun(start, it.value().toString());
        }
    }
    m_flash = img;
    m_bitRateKbit = state.value(QLatin1String("bitRate")).toInt(m_bitRateKbit);
    const QByteArray normal = QByteArray::fromHex(state.value(QLatin1String("normalMemory")).toString().toLatin1());
    if (normal.size() == m_normal.bytes.size())
        m_normal.bytes = normal;
    const QByteArray internal = QByteArray::fromHex(state.value(QLatin1String("internalMemory")).toString().toLatin1());
    if (internal.size() == m_internal.bytes.size())
        m_internal.bytes = internal;
    m_waitsInBootLoader = state.value(QLatin1String("bootLoader")).toBool(false);
    powerUp();
}
