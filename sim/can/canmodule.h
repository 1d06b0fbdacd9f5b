#pragma once
// One CAN node of a simulated HV module: its identity, log on/off, boot loader
// with HEX line parsing, register memory, event memory and the faults the
// tests switch on. The node does not know the tunnel: it takes frames and
// hands back the answers it sends, each with its delay in simulated ms.

#include "canframe.h"
#include "flashimage.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

class CanModule
{
public:
    enum class Mode { Running = 1, BootLoader = 2 };
    enum class Pass { None = 0, Write = 1, CompareAfterWrite = 2, Compare = 3 };

    // Answer codes of the boot loader.
    enum LineAnswer : quint16 {
        HandShake = 0x1581,
        LineTaken = 0x1585,
        ChecksumError = 0x1591,
        SyntaxError = 0x1592,
        CompareDifference = 0x1593,
        UnknownRecord = 0x1594,
        AddressOutOfRange = 0x1595,
        BadAddressRecord = 0x1596,
        NoPassSelected = 0x1597,
        LineTooLong = 0x1598,
        WaitingInBootLoader = 0x1599,
    };

    struct Answer {
        CanFrame frame;
        qint64 delayMs = 0;
    };

    struct Memory {
        quint32 start = 0;
        quint32 sectorSize = 0;
        QByteArray bytes;
        bool contains(quint32 address) const { return address >= start && address - start < quint32(bytes.size()); }
    };

    static constexpr quint32 NormalMemoryStart = 0x400000;
    static constexpr quint32 NormalSectorSize = 0x1000;
    static constexpr int NormalMemorySize = 0x3000;
    static constexpr quint32 InternalMemoryStart = 0x740800;
    static constexpr quint32 InternalSectorSize = 0x400;
    static constexpr int InternalMemorySize = 0x2800;
    static constexpr quint32 DefaultFlashSize = 0x200000;
    static constexpr int MaxLineLength = 600;

    // slot 0-9, base identifier, board index within the module (0 = main board).
    CanModule(int slot, quint16 base, int board);

    // Identity and memories from the module's entry of the crate file; the
    // "can" sub-object refines what the module entry gives.
    void configure(quint32 serialNumber, const QString &device, const QString &release,
                   int channels, const QJsonObject &can, QStringList *problems);

    // A frame addressed to this node (base or base+1) or broadcast (identifier 4).
    QList<Answer> receive(const CanFrame &frame);
    // Power-up or restart after a power cycle: runs the flashed firmware if it
    // has one and was not left in the boot loader.
    QList<Answer> powerUp();

    int slot() const { return m_slot; }
    quint16 base() const { return m_base; }
    int board() const { return m_board; }
    Mode mode() const { return m_mode; }
    Pass pass() const { return m_pass; }
    bool loggedOn() const { return m_logOn; }
    bool prepared() const { return m_prepared; }
    int bitRateKbit() const { return m_bitRateKbit; }
    quint32 serialNumber() const { return m_serial; }
    QString device() const { return m_device; }
    // Release of the running firmware; in the boot loader the boot loader's own.
    QString release() const;
    QString firmwareRelease() const { return m_release; }
    const FlashImage &flash() const { return m_flash; }
    quint32 startAddress() const { return m_startAddress; }
    quint16 registerValue(quint16 address) const { return m_registers.value(address, 0); }
    // 1 single board, 2 double board, 0 never set.
    int boardMode() const;
    bool fineAdjustment() const { return m_registers.value(0x1001, 0) & 0x1000; }
    int wordWrites() const { return m_wordWrites; }
    QByteArray lastWordWrite() const { return m_lastWordWrite; }
    int linesTaken() const { return m_linesTaken; }
    int linesRejected() const { return m_linesRejected; }
    int commits() const { return m_commits; }
    int sectorsErased() const { return m_sectorsErased; }
    const Memory &normalMemory() const { return m_normal; }
    const Memory &internalMemory() const { return m_internal; }
    quint32 framesIn() const { return m_framesIn; }
    quint32 framesOut() const { return m_framesOut; }
    bool stopped() const { return m_stopped; }

    // Faults. Counts of -1 mean "from now on".
    int dropAnswers = 0;          // answers swallowed
    int answerDelayMs = 0;        // extra delay of every answer
    int rejectLine = 0;           // line number of the pass rejected once with a checksum error
    int compareDifferenceLine = 0;// line number of a compare pass reported different once
    int flashMsPerLine = 0;       // time one data line takes in the write pass
    void setStopAfterLines(int lines);
    int stopAfterLines() const { return m_stopAfter; }

    // Counted by the bus for every frame the node hears.
    void countFrameIn() { ++m_framesIn; }

    QJsonObject saveState() const;
    void restoreState(const QJsonObject &state);

private:
    QList<Answer> handleBroadcast(const CanFrame &frame);
    QList<Answer> handleBase(const CanFrame &frame);
    QList<Answer> handleQuery(const CanFrame &frame);
    QList<Answer> handleBootCommand(quint8 command);
    QList<Answer> handleHexChunk(const QByteArray &text);
    quint16 processLine(const QByteArray &line, qint64 *delayMs);
    void enterBootLoader();
    bool startFirmware();
    Memory *memoryAt(quint32 address);
    // Every answer leaves through here, so the drop and delay faults apply to all of them.
    void answer(QList<Answer> *out, const QByteArray &bytes, qint64 delayMs = 0);
    void writeWord(quint16 address, quint16 value);

    int m_slot;
    quint16 m_base;
    int m_board;
    quint32 m_serial = 0;
    QString m_device;
    QString m_release;
    QString m_bootLoaderRelease = QStringLiteral("01.04");
    quint32 m_flashSize = DefaultFlashSize;
    bool m_waitsInBootLoader = false;   // left in the boot loader: runs no firmware after power-up

    Mode m_mode = Mode::Running;
    Pass m_pass = Pass::None;
    bool m_logOn = false;
    bool m_prepared = false;
    bool m_bitRateAnnounced = false;
    int m_bitRateKbit = 250;
    int m_nextBitRateKbit = 0;

    FlashImage m_flash;
    FlashImage m_staging;
    QByteArray m_lineBuffer;
    quint32 m_addressBase = 0;
    bool m_segmentAddressing = false;   // last address record was 02
    quint32 m_startAddress = 0;
    bool m_endOfFileSeen = false;
    int m_linesTaken = 0;
    int m_linesRejected = 0;
    int m_commits = 0;

    QHash<quint16, quint16> m_registers;
    int m_wordWrites = 0;
    QByteArray m_lastWordWrite;
    Memory m_normal;
    Memory m_internal;
    int m_sectorsErased = 0;

    int m_stopAfter = 0;
    bool m_stopped = false;
    quint32 m_framesIn = 0;
    quint32 m_framesOut = 0;
};
