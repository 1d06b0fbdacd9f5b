#include "eventmemory.h"

#include "firmwareupdate.h"
#include "flashtimings.h"

#include <QDir>
#include <QFileInfo>

namespace crateflash {

EventMemory::EventMemory(QObject *parent) : QObject(parent)
{
    setInternalMemory(false);
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, &EventMemory::answerTimedOut);
}

void EventMemory::attach(FirmwareUpdate *firmwareUpdate)
{
    if (m_firmwareUpdate)
        disconnect(m_firmwareUpdate, nullptr, this, nullptr);
    m_firmwareUpdate = firmwareUpdate;
    if (firmwareUpdate)
        connect(firmwareUpdate, &FirmwareUpdate::farMemoryDataRead, this, &EventMemory::memoryDataRead);
}

void EventMemory::setInternalMemory(bool internal)
{
    m_internalMemory = internal;
    m_startAddress = internal ? InternalStart : NormalStart;
    m_endAddress = internal ? InternalEnd : NormalEnd;
    m_step = internal ? InternalStep : NormalStep;
}

QString EventMemory::eventFileName(const QDateTime &start) const
{
    return m_directory + QStringLiteral("/EventData_") + m_serial + QStringLiteral("_")
           + start.toString(QStringLiteral("yyyy-MM-dd_HH-mm")) + QStringLiteral(".txt");
}

void EventMemory::readSector()
{
    if (!m_firmwareUpdate)
        return;
    m_answerTimer.stop();
    if (m_file.isOpen())
        m_file.close();
    m_address = m_startAddress;
    m_lineCount = 0;
    m_buffer.clear();
    m_fileName = eventFileName(QDateTime::currentDateTime());
    m_file.setFileName(m_fileName);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        // Reading without a file to keep it in would only cost the module's time.
        m_reading = false;
        emit information(tr("Can not create event data file %1 for module %2: %3. Module skipped.")
                             .arg(m_fileName, m_serial, m_file.errorString()));
        QTimer::singleShot(0, this, &EventMemory::readingComplete);
        return;
    }
    m_reading = true;
    m_tries = 0;
    requestNext();
}

void EventMemory::requestNext()
{
    ++m_tries;
    m_firmwareUpdate->readFarMemory(m_canId, m_address);
    m_answerTimer.start(flashTimings().farReadTimeoutMs);
}

void EventMemory::memoryDataRead(quint32 address, QByteArray data)
{
    // Only the answer to the outstanding request counts: after a repeated request
    // a late first answer would otherwise be stored twice and shift the file.
    if (!m_reading || address != m_address)
        return;
    m_answerTimer.stop();
    m_address += quint32(data.size());
    m_buffer.append(data);
    if (m_buffer.size() >= LineBytes) {
        if (!writeHexLine())
            return;
        if (m_lineCount >= Lines) {
            m_file.close();
            m_reading = false;
            emit information(tr("Reading Data from Module %1 finished").arg(m_serial));
            emit readingComplete();
            return;
        }
    }
    m_tries = 0;
    requestNext();
}

bool EventMemory::writeHexLine()
{
    const QByteArray hex = m_buffer.toHex();
    m_buffer.clear();
    if (m_file.write(hex + '\n') != hex.size() + 1) {
        failRead(tr("writing %1 failed: %2").arg(m_fileName, m_file.errorString()));
        return false;
    }
    emit information(QString::fromLatin1(hex));
    ++m_lineCount;
    return true;
}

void EventMemory::answerTimedOut()
{
    if (!m_reading)
        return;
    if (m_tries >= flashTimings().farReadTries) {
        failRead(tr("no answer for address 0x%1 after %2 tries")
                     .arg(m_address, 6, 16, QLatin1Char('0'))
                     .arg(m_tries));
        return;
    }
    requestNext();
}

void EventMemory::failRead(const QString &reason)
{
    m_answerTimer.stop();
    m_reading = false;
    m_file.close();
    // The name tells at a glance that the file does not hold the whole memory.
    const QFileInfo info(m_fileName);
    const QString incomplete = info.path() + QLatin1Char('/') + info.completeBaseName()
                               + QStringLiteral("_incomplete.") + info.suffix();
    QFile::remove(incomplete);
    if (QFile::rename(m_fileName, incomplete))
        m_fileName = incomplete;
    emit information(tr("Error: Reading Data from Module %1 failed: %2. Incomplete data kept in %3")
                         .arg(m_serial, reason, m_fileName));
    emit readingComplete();
}

void EventMemory::clearSectors()
{
    if (!m_firmwareUpdate)
        return;
    m_address = m_startAddress;
    clearNextSector();
}

void EventMemory::clearNextSector()
{
    if (!m_firmwareUpdate)
        return;
    emit information(tr("Clearing sn. %1 address 0x%2").arg(m_serial).arg(m_address, 6, 16, QLatin1Char('0')));
    m_firmwareUpdate->eraseFarSector(m_canId, m_address);
    m_address += m_step;
    if (m_address <= m_endAddress) {
        const FlashTimings &t = flashTimings();
        // A sector erase must have ended before the next starts: never early.
        QTimer::singleShot(m_internalMemory ? t.eraseSpacingInternalMs : t.eraseSpacingNormalMs, Qt::PreciseTimer,
                           this, &EventMemory::clearNextSector);
    } else {
        emit information(tr("Clearing sn. %1 finished.").arg(m_serial));
        emit clearingComplete();
    }
}

} // namespace crateflash
