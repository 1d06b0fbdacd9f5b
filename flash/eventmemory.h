#pragma once
// Reads a module's stored events (its far memory) into a text file, four bytes
// per request, and erases that memory sector by sector, through the far-memory
// messages of the tunnel.

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace crateflash {

class FirmwareUpdate;

class EventMemory : public QObject
{
    Q_OBJECT

public:
    static constexpr int LineBytes = 64;
    static constexpr int Lines = 144;
    static constexpr quint32 NormalStart = 0x400000;
    static constexpr quint32 NormalEnd = 0x402400;
    static constexpr quint32 NormalStep = 0x1000;
    static constexpr quint32 InternalStart = 0x740800;
    static constexpr quint32 InternalEnd = 0x742C00;
    static constexpr quint32 InternalStep = 0x400;

    explicit EventMemory(QObject *parent = nullptr);

    void attach(FirmwareUpdate *firmwareUpdate);
    void setDirectory(const QString &directory) { m_directory = directory; }
    QString directory() const { return m_directory; }
    // Chooses the memory layout: the module's internal memory or the normal one.
    void setInternalMemory(bool internal);
    bool internalMemory() const { return m_internalMemory; }
    void setCanId(int canId) { m_canId = canId; }
    void setSerial(const QString &serial) { m_serial = serial; }

    void readSector();
    void clearSectors();

    quint32 startAddress() const { return m_startAddress; }
    quint32 endAddress() const { return m_endAddress; }
    quint32 step() const { return m_step; }
    quint32 address() const { return m_address; }
    int lineCount() const { return m_lineCount; }
    bool isReading() const { return m_reading; }
    // The file of the last read (renamed with "_incomplete" when it failed).
    QString fileName() const { return m_fileName; }

    // "EventData_<serial>_<yyyy-MM-dd_HH-mm>.txt" in the directory.
    QString eventFileName(const QDateTime &start) const;

signals:
    void information(QString line);
    void readingComplete();
    void clearingComplete();

public slots:
    void memoryDataRead(quint32 address, QByteArray data);
    void clearNextSector();

private:
    void requestNext();
    void answerTimedOut();
    void failRead(const QString &reason);
    bool writeHexLine();

    QString m_serial;
    int m_canId = 0;
    QFile m_file;
    QString m_fileName;
    QString m_directory;
    QByteArray m_buffer;
    int m_lineCount = 0;
    quint32 m_address = 0;
    bool m_internalMemory = false;
    quint32 m_startAddress = NormalStart;
    quint32 m_endAddress = NormalEnd;
    quint32 m_step = NormalStep;
    QPointer<FirmwareUpdate> m_firmwareUpdate;

    // An unanswered read is asked again, a few times, then given up.
    bool m_reading = false;
    int m_tries = 0;
    QTimer m_answerTimer;
};

} // namespace crateflash
