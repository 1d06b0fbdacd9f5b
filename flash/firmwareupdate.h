#pragma once
// Owner of the CAN tunnel through the crate: the SNMP session, the 25 ms poll
// that drains received frames and hands them to the procedure owning the
// tunnel (scan, firmware run, memory reads, message monitor), the module list
// built by the scan, and every message the tool sends to the modules.
// The requests themselves run on a thread of their own (TunnelIo), in the
// order they are made here; every group of frames sent together (a HEX line,
// the log-on to all modules) goes in one SET.

#include "canframe.h"
#include "module.h"
#include "snmpsession.h"

#include <QFile>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <atomic>

class QThread;

namespace crateflash {

class TunnelIo;

class FirmwareUpdate : public QObject
{
    Q_OBJECT

public:
    // Which procedure owns the received frames.
    enum ModuleState {
        Scan = 0,
        FlashHandshake = 2,
        StartWriting = 3,
        Flashing = 4,
        CompareHandshake = 5,
        StartComparing = 6,
        Comparing = 7,
        PostFlash = 8,
        Restart = 10,
        MemoryRead = 11,
        FarMemoryRead = 12,
        MessageMonitor = 13,
        // A run that ended in failure; the keep-alive runs on as after any run.
        RunFailed = 14
    };
    enum Failure { HexFileError, NoAnswer, Rejected, Differences };
    Q_ENUM(Failure)

    static constexpr int BroadcastId = 4;
    static constexpr int TunnelId = 0x600;
    static constexpr int ModuleBaseCount = 27;
    // Module bases grouped by slot; also the sending order of all-module messages.
    static const int ModuleBases[ModuleBaseCount];

    // Starts SNMP once per process; snmpStarted() tells whether that worked (the
    // MIB could be read). Without it nothing can be sent.
    explicit FirmwareUpdate(QObject *parent = nullptr);
    ~FirmwareUpdate() override;
    bool snmpStarted() const { return m_snmpStarted; }

    // Tunnel and scan.
    void open(const QString &host);
    void setMainSwitch(bool on);
    void setTunnelBitRate(int bitsPerSecond);
    void announceTunnel(bool open);
    void flushReceive();
    void sendLogOnOff(bool on);
    void sendModuleLog(int base, bool on);
    void sendBootCommand(int base, int code);
    void programBitRate(int kbitPerSecond);
    int findOrAddModule(int identifier);
    bool scanStep(int index);
    // Forgets every module and gives the tunnel back to the scan, so the next
    // tunnel open lists all modules again.
    void resetScan();
    static int slotOfCanId(int identifier);

    // Firmware run.
    void prepareModules();
    bool startModule();
    void transmitCurrentLine();
    // The frames of one HEX line to a module: CR LF appended, 6 characters each.
    static QList<CanFrame> lineFrames(int base, const QByteArray &line);

    // Event memory.
    void readFarMemory(int base, quint32 address);
    void eraseFarSector(int base, quint32 address);

    // Service reads and commands.
    void readMemory16(int base, quint16 address);
    void readMemory32(int base, quint16 address);
    void writeModuleWord(int base, quint16 first, quint16 second);
    // More than eight bytes are refused (logged, nothing sent); returns whether sent.
    bool sendRawMessage(int base, bool read, const QByteArray &bytes);

    // Queues frames for one SET request (at most 512); returns how many were
    // queued, -1 (nothing queued) for more than 512.
    int transmit(const QList<CanFrame> &frames);
    // Requests queued for the tunnel and not yet done, received frames not yet
    // handled included (0: all sent, and every frame fetched handled).
    int pendingRequests() const { return m_pending.load(); }

    QString host() const { return m_host; }
    int state() const { return m_state; }
    const QList<Module> &modules() const { return m_modules; }
    int currentCanId() const { return m_currentCanId; }
    void setCurrentCanId(int canId) { m_currentCanId = canId; }
    QString currentDevice() const { return m_currentDevice; }
    void setCurrentDevice(const QString &device) { m_currentDevice = device; }
    QString hexFileName() const { return m_hexFileName; }
    void setHexFileName(const QString &fileName) { m_hexFileName = fileName; }
    bool compareMode() const { return m_compareMode; }
    void setCompareMode(bool compare) { m_compareMode = compare; }
    bool bootLoaderSeen() const { return m_bootLoaderSeen; }
    int checksumErrors() const { return m_checksumErrors; }
    int pollTicks() const { return m_pollTicks; }

signals:
    void moduleFound(Module mod);
    void lineWritten(QString line);
    void progress(int percent);
    void information(QString message);
    void farMemoryDataRead(quint32 address, QByteArray data);
    void status(int status);
    void updateFinished();
    // A run that cannot complete: the batch must end and show it on the row.
    void updateFailed(int failure, QString message);

public slots:
    void sendLogOff();
    void emitUpdateFinished();
    void timeout();
    void sendHexLine();
    void startWriting();
    void resetAllModules();
    void sendPostFlash();

protected:
    bool event(QEvent *event) override;

private:
    void frameFromTunnel(const CanFrame &frame);
    void receivePassEnded();

private:
    bool m_snmpStarted = false;
    // Runs job on the I/O thread after every request queued before it.
    void request(std::function<void(TunnelIo *)> job);
    void handleReceivedFrame(const CanFrame &frame);
    void handleScanFrame(int index, const CanFrame &frame);
    void handleHandshakeFrame(const CanFrame &frame);
    void handleLineAnswer(const CanFrame &frame);
    void handleMemoryAnswer(const CanFrame &frame);
    void sendFrame(const CanFrame &frame);
    void failRun(Failure failure, const QString &message);
    QString moduleName(int canId) const;
    QString currentLineAddress() const;

    QString m_host;
    QString m_currentDevice;
    QString m_hexFileName;
    bool m_compareMode = false;
    bool m_bootLoaderSeen = false;
    // Modules the scan found waiting in their boot loader (and sent boot command
    // 00): only these may be flashed without a hand-shake, once.
    QSet<int> m_waitingInBootLoader;
    QThread *m_ioThread = nullptr;
    TunnelIo *m_io = nullptr; // lives on m_ioThread
    std::atomic<int> m_pending{0};
    bool m_receiving = false; // a receive pass is under way
    QByteArray m_currentLine;
    bool m_resendFlag = false;
    QFile m_hexFile;
    int m_ackCountdown = 0;
    int m_checksumErrors = 0;
    int m_currentCanId = 0;
    QTimer m_pollTimer;
    int m_state = Scan;
    QList<Module> m_modules;

    // Memory reads.
    quint16 m_readAddress = 0;
    quint16 m_lowWord = 0;
    quint16 m_highWord = 0;
    bool m_wideRead = false;
    bool m_lowSeen = false;
    bool m_highSeen = false;

    // Bounds of one line's retries and where the run stands in the file.
    int m_lineNumber = 0;
    int m_unansweredResends = 0;
    int m_rejectionsInARow = 0;
    int m_handshakeTicks = 0;
    int m_pollTicks = 0;

    // Shared by all instances: every 101st tick outside the scan is a keep-alive.
    static int s_keepAliveCounter;
};

} // namespace crateflash
