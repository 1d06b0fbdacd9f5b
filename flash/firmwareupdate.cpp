#include "firmwareupdate.h"

#include "hexfilecheck.h"

#include "flashlogging.h"
#include "flashtimings.h"
#include "objecttable.h"
#include "tunnelio.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace crateflash {

const int FirmwareUpdate::ModuleBases[ModuleBaseCount] = {
    0x200, 0x208,        // slot 0
    0x210, 0x220, 0x228, // slot 1
    0x218, 0x230, 0x238, // slot 2
    0x260, 0x240, 0x248, // slot 3
    0x268, 0x250, 0x258, // slot 4
    0x270, 0x278,        // slot 5
    0x280, 0x288,        // slot 6
    0x290, 0x2A0, 0x2A8, // slot 7
    0x298, 0x2B0, 0x2B8, // slot 8
    0x2E0, 0x2C0, 0x2C8  // slot 9
};

int FirmwareUpdate::s_keepAliveCounter = 0;

namespace {
// What the tunnel's thread hands to the owner: a received frame, or the end of a receive pass.
class TunnelEvent : public QEvent
{
public:
    static constexpr QEvent::Type Type = QEvent::Type(QEvent::User + 614);
    TunnelEvent(const CanFrame &received, bool ended) : QEvent(Type), frame(received), passEnded(ended) {}
    const CanFrame frame;
    const bool passEnded;
};

const int BaseSlots[FirmwareUpdate::ModuleBaseCount] = {0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4,
                                                        5, 5, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9};

// Shortest text that reads back as the same single-precision number.
QString shortestFloat(float value)
{
    char buffer[64];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, double(value));
        if (std::strtof(buffer, nullptr) == value)
            break;
    }
    return QString::fromLatin1(buffer);
}
} // namespace

FirmwareUpdate::FirmwareUpdate(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<Module>();
    // The library is started once per process; a later instance reuses the table.
    // The window reports a failure and ends the program; nothing here may.
    m_snmpStarted = ObjectTable::instance().isTranslated() || initialiseSnmp();
    m_pollTimer.setInterval(flashTimings().pollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &FirmwareUpdate::timeout);

    m_ioThread = new QThread(this);
    m_ioThread->setObjectName(QStringLiteral("crateflash tunnel"));
    m_io = new TunnelIo;
    m_io->moveToThread(m_ioThread);
    connect(m_ioThread, &QThread::finished, m_io, &QObject::deleteLater);
    // A received frame is ahead of the window's painting: the next request
    // waits for its answer.
    connect(
        m_io, &TunnelIo::frameReceived, m_io,
        [this](const CanFrame &frame) {
            // Pending until handled: what the frame's handler sends is not queued yet.
            ++m_pending;
            QCoreApplication::postEvent(this, new TunnelEvent(frame, false), Qt::HighEventPriority);
        },
        Qt::DirectConnection);
    connect(
        m_io, &TunnelIo::passEnded, m_io,
        [this] { QCoreApplication::postEvent(this, new TunnelEvent(CanFrame(), true), Qt::HighEventPriority); },
        Qt::DirectConnection);
    m_ioThread->start();
}

FirmwareUpdate::~FirmwareUpdate()
{
    m_pollTimer.stop();
    // Frames still arriving are not handled any more, but frames queued
    // before (the tunnel close of a Disconnect) still go out; then the
    // session closes and the thread ends.
    disconnect(m_io, nullptr, nullptr, nullptr);
    request([](TunnelIo *io) {
        io->close();
        QThread::currentThread()->quit();
    });
    m_ioThread->wait();
    cleanupSnmpSockets();
}

bool FirmwareUpdate::event(QEvent *event)
{
    if (event->type() != TunnelEvent::Type)
        return QObject::event(event);
    const auto *tunnel = static_cast<TunnelEvent *>(event);
    if (tunnel->passEnded) {
        receivePassEnded();
    } else {
        frameFromTunnel(tunnel->frame);
        --m_pending;
    }
    return true;
}

void FirmwareUpdate::request(std::function<void(TunnelIo *)> job)
{
    ++m_pending;
    TunnelIo *io = m_io;
    std::atomic<int> *pending = &m_pending;
    QMetaObject::invokeMethod(
        m_io,
        [io, pending, job = std::move(job)] {
            job(io);
            --*pending;
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- tunnel

void FirmwareUpdate::open(const QString &host)
{
    m_host = host;
    request([address = host.toLatin1()](TunnelIo *io) { io->open(address); });
    m_pollTimer.setInterval(flashTimings().pollIntervalMs);
    m_pollTimer.start();
}

void FirmwareUpdate::setMainSwitch(bool on)
{
    request([object = ObjectTable::instance().scalar(ObjectTable::SysMainSwitch), on](TunnelIo *io) {
        io->setInteger(object, on ? 1 : 0);
    });
}

void FirmwareUpdate::setTunnelBitRate(int bitsPerSecond)
{
    request([object = ObjectTable::instance().scalar(ObjectTable::CanBitRateHv), bitsPerSecond](TunnelIo *io) {
        io->setInteger(object, bitsPerSecond);
    });
}

void FirmwareUpdate::announceTunnel(bool open)
{
    sendFrame(CanFrame(TunnelId, QByteArray::fromHex(open ? "10010001" : "10010002")));
    if (open) {
        flushReceive();
        QTimer::singleShot(flashTimings().logOffDelayMs, Qt::PreciseTimer, this, &FirmwareUpdate::sendLogOff);
    }
}

void FirmwareUpdate::flushReceive()
{
    request([](TunnelIo *io) { io->flush(); });
}

int FirmwareUpdate::transmit(const QList<CanFrame> &frames)
{
    if (frames.size() > Snmp::MaxFramesPerRequest)
        return -1;
    if (frames.isEmpty())
        return 0;
    request([frames](TunnelIo *io) { io->transmit(frames); });
    return int(frames.size());
}

void FirmwareUpdate::sendFrame(const CanFrame &frame) { transmit({frame}); }

void FirmwareUpdate::sendLogOnOff(bool on)
{
    QList<CanFrame> frames;
    for (int base : ModuleBases) {
        if (base == m_currentCanId)
            continue;
        frames << CanFrame(base, QByteArray::fromHex(on ? "d801" : "d800"));
    }
    transmit(frames);
}

void FirmwareUpdate::sendLogOff() { sendLogOnOff(false); }

void FirmwareUpdate::sendModuleLog(int base, bool on)
{
    sendFrame(CanFrame(base, QByteArray::fromHex(on ? "d801" : "d800")));
}

void FirmwareUpdate::sendBootCommand(int base, int code)
{
    QByteArray data(2, 0);
    data[0] = char(0x15);
    data[1] = char(code);
    sendFrame(CanFrame(base, data));
}

void FirmwareUpdate::programBitRate(int kbitPerSecond)
{
    QByteArray value(3, 0);
    value[0] = char(0xD4);
    value[1] = char((kbitPerSecond >> 8) & 0xFF);
    value[2] = char(kbitPerSecond & 0xFF);
    transmit({CanFrame(BroadcastId, QByteArray(1, char(0xC8))), CanFrame(BroadcastId, value)});
    QTimer::singleShot(flashTimings().bitRateResetDelayMs, Qt::PreciseTimer, this, &FirmwareUpdate::resetAllModules);
}

void FirmwareUpdate::resetAllModules() { sendFrame(CanFrame(BroadcastId, QByteArray(1, char(0xD0)))); }

int FirmwareUpdate::slotOfCanId(int identifier)
{
    const int base = identifier & ~7;
    for (int i = 0; i < ModuleBaseCount; ++i)
        if (ModuleBases[i] == base)
            return BaseSlots[i];
    return 0;
}

int FirmwareUpdate::findOrAddModule(int identifier)
{
    const int base = identifier & ~7;
    int insertAt = int(m_modules.size());
    for (int i = 0; i < m_modules.size(); ++i) {
        if (m_modules.at(i).canId == base)
            return i;
        if (m_modules.at(i).canId > base) {
            insertAt = i;
            break;
        }
    }
    Module module;
    module.canId = base;
    m_modules.insert(insertAt, module);
    return insertAt;
}

bool FirmwareUpdate::scanStep(int index)
{
    if (index < 0 || index >= m_modules.size())
        return false;
    Module &module = m_modules[index];
    if (module.reported)
        return true;
    if (module.canId == 0)
        return false;
    if (module.device.isEmpty()) {
        sendFrame(CanFrame(module.canId + 1, QByteArray::fromHex("1203")));
        return false;
    }
    if (module.serialNumber == 0) {
        sendFrame(CanFrame(module.canId + 1, QByteArray::fromHex("1200")));
        return false;
    }
    if (module.release == 0) {
        sendFrame(CanFrame(module.canId + 1, QByteArray::fromHex("1201")));
        return false;
    }
    if (module.needsUpdate) {
        m_bootLoaderSeen = true;
        m_waitingInBootLoader.insert(module.canId);
        sendBootCommand(module.canId, 0x00);
    } else {
        sendModuleLog(module.canId, true);
    }
    module.reported = true;
    qCDebug(lcFlashTunnel).noquote() << m_host << "Module found:" << module.canIdText() << module.device
                                     << module.release << module.serialNumber;
    emit moduleFound(module);
    return true;
}

void FirmwareUpdate::resetScan()
{
    m_modules.clear();
    m_waitingInBootLoader.clear();
    m_state = Scan;
    // A module left out of the log-off would never answer and never be listed.
    m_currentCanId = 0;
    m_ackCountdown = 0;
    m_resendFlag = false;
    if (m_hexFile.isOpen())
        m_hexFile.close();
}

// ---------------------------------------------------------------- poll

void FirmwareUpdate::timeout()
{
    ++m_pollTicks;
    if (m_state == StartWriting) {
        m_state = Flashing;
        emit status(Flashing);
        sendHexLine();
    } else if (m_state == StartComparing) {
        m_state = Comparing;
        emit status(Comparing);
        sendHexLine();
    }

    if (m_state > FlashHandshake) {
        if (++s_keepAliveCounter > flashTimings().keepAliveTicks) {
            s_keepAliveCounter = 0;
            sendLogOnOff(true);
            return;
        }
    }

    if (m_state == FlashHandshake || m_state == CompareHandshake) {
        // The boot loader must answer the hand-shake too; silence is bounded
        // like the silence after a line.
        if (++m_handshakeTicks >= flashTimings().answerTimeoutTicks) {
            m_handshakeTicks = 0;
            if (m_unansweredResends >= flashTimings().maxUnansweredResends) {
                failRun(NoAnswer, tr("Error: %1 did not answer the boot loader hand-shake after %2 resends. "
                                     "Firmware update failed.")
                                      .arg(moduleName(m_currentCanId))
                                      .arg(m_unansweredResends));
                return;
            }
            ++m_unansweredResends;
            sendBootCommand(m_currentCanId, 0x00);
        }
    }

    if ((m_state == Flashing || m_state == Comparing) && m_ackCountdown != 0) {
        if (--m_ackCountdown == 0) {
            if (m_unansweredResends >= flashTimings().maxUnansweredResends) {
                failRun(NoAnswer,
                        tr("Error: %1 did not answer line %2 (address %3) after %4 resends. "
                           "Firmware update failed.")
                            .arg(moduleName(m_currentCanId))
                            .arg(m_lineNumber)
                            .arg(currentLineAddress())
                            .arg(m_unansweredResends));
                return;
            }
            ++m_unansweredResends;
            m_resendFlag = true;
            sendHexLine();
        }
    }

    // One receive pass at a time; the frames come back one by one, each handled
    // before the next is fetched, so answers sent in reply go out before the
    // tunnel is read again. The pass runs on its thread until the tunnel is
    // empty: the window is not held up meanwhile, and what the ticks send
    // (time-outs, keep-alive) goes out between the frames of a pass.
    if (!m_receiving) {
        m_receiving = true;
        request([](TunnelIo *io) { io->startPass(); });
    }
}

void FirmwareUpdate::frameFromTunnel(const CanFrame &frame)
{
    handleReceivedFrame(frame);
    request([](TunnelIo *io) { io->receiveNext(); });
}

void FirmwareUpdate::receivePassEnded() { m_receiving = false; }

void FirmwareUpdate::handleReceivedFrame(const CanFrame &frame)
{
    const int index = findOrAddModule(frame.identifier());
    if (m_state == MessageMonitor) {
        QStringList bytes;
        const QByteArray data = frame.data();
        for (char byte : data)
            bytes << QStringLiteral("%1").arg(quint8(byte), 2, 16, QLatin1Char('0'));
        emit information(QStringLiteral("0x%1 %2 %3")
                             .arg(frame.identifier(), 3, 16, QLatin1Char('0'))
                             .arg(frame.length())
                             .arg(bytes.join(QLatin1Char(' '))));
    } else if (m_state == FarMemoryRead && frame.byte(0) == 0x16) {
        const quint32 address = quint32(frame.byte(1)) << 16 | quint32(frame.byte(2)) << 8 | frame.byte(3);
        const QByteArray data(reinterpret_cast<const char *>(frame.record() + 6 + 4), 4);
        emit farMemoryDataRead(address, data);
    } else if (m_state == MemoryRead && frame.code() == 0x1403) {
        handleMemoryAnswer(frame);
    }

    switch (m_state) {
    case Scan:
        handleScanFrame(index, frame);
        break;
    case FlashHandshake:
    case CompareHandshake:
        handleHandshakeFrame(frame);
        break;
    case Flashing:
    case Comparing:
        handleLineAnswer(frame);
        break;
    default:
        break;
    }
}

void FirmwareUpdate::handleScanFrame(int index, const CanFrame &frame)
{
    m_ackCountdown = 0;
    const int length = frame.length();
    const int code = frame.code();
    if (length == 3 && frame.byte(0) == 0xD8) {
        scanStep(index);
    } else if (length == 2 && code == 0x1599) {
        m_modules[index].needsUpdate = true;
        scanStep(index);
    } else if (code == 0x1200) {
        m_modules[index].serialNumber = quint32(frame.byte(2)) << 24 | quint32(frame.byte(3)) << 16
                                        | quint32(frame.byte(4)) << 8 | quint32(frame.byte(5));
        scanStep(index);
    } else if (code == 0x1201) {
        m_modules[index].release = frame.byte(2) * 1000 + frame.byte(3) * 100 + frame.byte(4) * 10 + frame.byte(5);
        scanStep(index);
    } else if (code == 0x1203) {
        const QByteArray name = frame.data().mid(2, qMax(0, length - 2));
        m_modules[index].device = QString::fromLatin1(name);
        scanStep(index);
    }
}

// ---------------------------------------------------------------- firmware run

void FirmwareUpdate::prepareModules() { sendFrame(CanFrame(BroadcastId, QByteArray::fromHex("f415e6"))); }

bool FirmwareUpdate::startModule()
{
    m_checksumErrors = 0;
    m_lineNumber = 0;
    m_unansweredResends = 0;
    m_rejectionsInARow = 0;
    m_handshakeTicks = 0;
    m_resendFlag = false;
    m_ackCountdown = 0;
    if (m_hexFile.isOpen() && m_hexFile.fileName() != m_hexFileName)
        m_hexFile.close();
    if (m_hexFile.isOpen()) {
        m_hexFile.seek(0);
    } else {
        m_hexFile.setFileName(m_hexFileName);
        if (!m_hexFile.open(QIODevice::ReadOnly)) {
            const QString message =
                tr("Can not open HEX file %1: %2").arg(m_hexFileName, m_hexFile.errorString());
            emit information(message);
            // Nothing was sent to the module: it stays as it was.
            emit updateFailed(HexFileError, message);
            return false;
        }
    }
    // The file may have changed since the batch started: check it again for every module.
    const QString hexProblem = HexFileCheck::check(m_hexFileName);
    if (!hexProblem.isEmpty()) {
        m_hexFile.close();
        emit information(hexProblem);
        emit updateFailed(HexFileError, hexProblem);
        return false;
    }
    if (m_compareMode) {
        // A compare run always asks for the boot loader first, boot loader seen or not.
        sendBootCommand(m_currentCanId, 0x00);
        m_state = CompareHandshake;
    } else if (!m_bootLoaderSeen || !m_waitingInBootLoader.remove(m_currentCanId)) {
        // A boot loader seen elsewhere on the bus says nothing about this module:
        // a running one ignores boot command 03 and every line until it has
        // been asked into its boot loader. The module the scan left waiting is
        // taken over once; a later run shakes hands, which a boot loader answers too.
        sendBootCommand(m_currentCanId, 0x00);
        m_state = FlashHandshake;
    } else {
        m_state = StartWriting;
        sendBootCommand(m_currentCanId, 0x03);
    }
    emit information(tr("Transmission started."));
    return true;
}

void FirmwareUpdate::handleHandshakeFrame(const CanFrame &frame)
{
    m_ackCountdown = 0;
    m_handshakeTicks = 0;
    if (frame.length() != 2)
        return;
    const int code = frame.code();
    if (m_state == FlashHandshake && code == 0x1581) {
        if (m_currentDevice == QLatin1String("T25X0")) {
            QTimer::singleShot(flashTimings().tandemStartDelayMs, Qt::PreciseTimer, this,
                               &FirmwareUpdate::startWriting);
        } else if (!m_compareMode) {
            m_state = StartWriting;
            sendBootCommand(m_currentCanId, 0x03);
        }
    } else if (m_state == FlashHandshake && code == 0x1599) {
        sendBootCommand(m_currentCanId, 0x00);
        QTimer::singleShot(flashTimings().bootRetryStartDelayMs, Qt::PreciseTimer, this,
                           &FirmwareUpdate::startWriting);
    } else if (m_state == CompareHandshake && code == 0x1581) {
        m_state = StartComparing;
        sendBootCommand(m_currentCanId, 0x04);
    } else if (m_state == CompareHandshake && code == 0x1599) {
        // A running module answers the first boot command by entering its boot
        // loader; only the second one is answered with the hand-shake.
        sendBootCommand(m_currentCanId, 0x00);
    }
}

void FirmwareUpdate::startWriting()
{
    // Only the hand-shake may start the write pass; a late timer must not restart
    // a pass that is already under way.
    if (m_compareMode || m_state != FlashHandshake)
        return;
    m_state = StartWriting;
    sendBootCommand(m_currentCanId, 0x03);
}

void FirmwareUpdate::sendHexLine()
{
    if (m_resendFlag) {
        m_resendFlag = false;
    } else if (m_hexFile.atEnd() || !m_hexFile.isOpen()) {
        if (m_state == Comparing) {
            m_hexFile.close();
            QString text;
            int code;
            if (m_compareMode) {
                m_state = Restart;
                sendBootCommand(m_currentCanId, 0x09);
                text = tr("Comparing finished.\nRestarting Module...");
                code = Restart;
            } else {
                m_state = PostFlash;
                sendBootCommand(m_currentCanId, 0x06);
                QTimer::singleShot(flashTimings().secondPostFlashDelayMs, Qt::PreciseTimer, this,
                                   &FirmwareUpdate::sendPostFlash);
                text = tr("Comparing finished.\nStarting PostFlash...");
                code = 9;
            }
            m_ackCountdown = 0;
            emit information(text);
            emit status(code);
            // Qt's default timer for waits of seconds may fire up to 5 % early.
            QTimer::singleShot(flashTimings().finishDelayMs, Qt::PreciseTimer, this,
                               &FirmwareUpdate::emitUpdateFinished);
            sendLogOnOff(true);
        } else {
            m_hexFile.seek(0);
            m_lineNumber = 0;
            m_ackCountdown = 0;
            m_state = StartComparing;
            sendBootCommand(m_currentCanId, 0x05);
            emit information(tr("Flashing finished with %1 checksum errors.\nStarting compare procedure...")
                                 .arg(m_checksumErrors));
        }
        return;
    } else {
        m_currentLine = m_hexFile.readLine().simplified();
        ++m_lineNumber;
        m_unansweredResends = 0;
        m_rejectionsInARow = 0;
    }
    transmitCurrentLine();
    m_ackCountdown = flashTimings().answerTimeoutTicks;
    emit lineWritten(QString::fromLatin1(m_currentLine));
    const qint64 size = m_hexFile.size();
    if (size > 0)
        emit progress(int(double(m_hexFile.pos()) * 100.0 / double(size) + 0.5));
}

QList<CanFrame> FirmwareUpdate::lineFrames(int base, const QByteArray &line)
{
    QByteArray text = line;
    if (!text.endsWith("\r\n"))
        text.append("\r\n");
    QList<CanFrame> frames;
    for (int offset = 0; offset < text.size(); offset += 6) {
        QByteArray data = QByteArray::fromHex("1500");
        data.append(text.mid(offset, 6));
        frames << CanFrame(base + 1, data);
    }
    return frames;
}

void FirmwareUpdate::transmitCurrentLine()
{
    // All chunks of the line in one request: the crate puts them on the bus in
    // order, so the boot loader still takes them one at a time.
    transmit(lineFrames(m_currentCanId, m_currentLine));
}

void FirmwareUpdate::handleLineAnswer(const CanFrame &frame)
{
    if (frame.identifier() != m_currentCanId || frame.length() != 2)
        return;
    const int code = frame.code();
    if (code == 0x1585 || code == 0x1581) {
        sendHexLine();
    } else if (code == 0x1593 && m_state == Comparing) {
        if (m_compareMode) {
            m_state = Restart;
            m_ackCountdown = 0;
            m_hexFile.close();
            sendBootCommand(m_currentCanId, 0x09);
            const QString message = tr("Error: Differences between HEX file and processor flash detected!");
            emit information(message);
            emit status(Restart);
            // The other modules were logged off for the run; let them talk again.
            sendLogOnOff(true);
            emit updateFailed(Differences, message);
        } else {
            m_hexFile.seek(0);
            m_lineNumber = 0;
            m_ackCountdown = 0;
            m_state = StartWriting;
            sendBootCommand(m_currentCanId, 0x03);
            qCDebug(lcFlashUpdate) << "Flash error, restart flashing";
        }
    } else if (code >= 0x1591 && code <= 0x1598) {
        ++m_checksumErrors;
        if (++m_rejectionsInARow >= flashTimings().maxRejectionsInARow) {
            failRun(Rejected, tr("Error: %1 rejected line %2 (address %3) %4 times in a row. "
                                 "Firmware update failed.")
                                  .arg(moduleName(m_currentCanId))
                                  .arg(m_lineNumber)
                                  .arg(currentLineAddress())
                                  .arg(m_rejectionsInARow));
            return;
        }
        m_resendFlag = true;
        sendHexLine();
    }
}

void FirmwareUpdate::failRun(Failure failure, const QString &message)
{
    m_state = RunFailed;
    m_ackCountdown = 0;
    m_resendFlag = false;
    m_hexFile.close();
    emit information(message);
    sendLogOnOff(true);
    emit updateFailed(failure, message);
}

QString FirmwareUpdate::moduleName(int canId) const
{
    for (const Module &module : m_modules) {
        if (module.canId == canId && module.serialNumber != 0)
            return tr("module %1 (sn. %2)").arg(module.canIdText()).arg(module.serialNumber);
    }
    Module module;
    module.canId = canId;
    return tr("module %1").arg(module.canIdText());
}

// The load address of an Intel HEX record is its characters 3 to 6.
QString FirmwareUpdate::currentLineAddress() const
{
    if (m_currentLine.startsWith(':') && m_currentLine.size() >= 7)
        return QStringLiteral("0x") + QString::fromLatin1(m_currentLine.mid(3, 4)).toUpper();
    return tr("unknown");
}

void FirmwareUpdate::sendPostFlash() { sendBootCommand(m_currentCanId, 0x06); }

void FirmwareUpdate::emitUpdateFinished()
{
    emit information(tr("Firmware update completed. (%1 checksum errors occurred)").arg(m_checksumErrors));
    emit updateFinished();
}

// ---------------------------------------------------------------- memories and service

void FirmwareUpdate::readFarMemory(int base, quint32 address)
{
    m_state = FarMemoryRead;
    QByteArray data(4, 0);
    data[0] = char(0x16);
    data[1] = char((address >> 16) & 0xFF);
    data[2] = char((address >> 8) & 0xFF);
    data[3] = char(address & 0xFF);
    sendFrame(CanFrame(base + 1, data));
}

void FirmwareUpdate::eraseFarSector(int base, quint32 address)
{
    QByteArray data(7, 0);
    data[0] = char(0x16);
    data[1] = char((address >> 16) & 0xFF);
    data[2] = char((address >> 8) & 0xFF);
    data[3] = char(address & 0xFF);
    data[4] = 0x00;
    data[5] = char(0x15);
    data[6] = char(0xE6);
    sendFrame(CanFrame(base, data));
}

void FirmwareUpdate::readMemory16(int base, quint16 address)
{
    m_state = MemoryRead;
    m_readAddress = address;
    m_wideRead = false;
    m_lowSeen = m_highSeen = false;
    QByteArray data = QByteArray::fromHex("1403");
    data.append(char(address >> 8)).append(char(address & 0xFF));
    sendFrame(CanFrame(base + 1, data));
}

void FirmwareUpdate::readMemory32(int base, quint16 address)
{
    m_state = MemoryRead;
    m_readAddress = address;
    m_wideRead = true;
    m_lowSeen = m_highSeen = false;
    const quint16 high = quint16(address + 2);
    QByteArray first = QByteArray::fromHex("1403");
    first.append(char(address >> 8)).append(char(address & 0xFF));
    QByteArray second = QByteArray::fromHex("1403");
    second.append(char(high >> 8)).append(char(high & 0xFF));
    transmit({CanFrame(base + 1, first), CanFrame(base + 1, second)});
}

void FirmwareUpdate::handleMemoryAnswer(const CanFrame &frame)
{
    const quint16 address = quint16(frame.byte(2) << 8 | frame.byte(3));
    const quint16 value = quint16(frame.byte(4) << 8 | frame.byte(5));
    if (address == m_readAddress) {
        m_lowWord = value;
        m_lowSeen = true;
    } else if (address == quint16(m_readAddress + 2)) {
        m_highWord = value;
        m_highSeen = true;
    }
    if (m_wideRead) {
        if (!(m_lowSeen && m_highSeen))
            return;
        const quint32 v = quint32(m_lowWord) << 16 | m_highWord;
        float f;
        std::memcpy(&f, &v, sizeof f);
        emit information(QStringLiteral("Address 0x%1: value 0x%2 (%3) (%4f)")
                             .arg(m_readAddress, 4, 16, QLatin1Char('0'))
                             .arg(v, 8, 16, QLatin1Char('0'))
                             .arg(v)
                             .arg(shortestFloat(f)));
    } else if (m_lowSeen) {
        emit information(QStringLiteral("Address 0x%1: value 0x%2 (%3)")
                             .arg(m_readAddress, 4, 16, QLatin1Char('0'))
                             .arg(m_lowWord, 4, 16, QLatin1Char('0'))
                             .arg(m_lowWord));
    }
}

void FirmwareUpdate::writeModuleWord(int base, quint16 first, quint16 second)
{
    QByteArray data(4, 0);
    data[0] = char(first >> 8);
    data[1] = char(first & 0xFF);
    data[2] = char(second >> 8);
    data[3] = char(second & 0xFF);
    sendFrame(CanFrame(base, data));
}

bool FirmwareUpdate::sendRawMessage(int base, bool read, const QByteArray &bytes)
{
    if (bytes.size() > CanFrame::MaxData) {
        emit information(tr("The CAN message has %1 data bytes; at most 8 fit into one message. Nothing sent.")
                             .arg(bytes.size()));
        return false;
    }
    m_state = MessageMonitor;
    const int identifier = read ? (base | 1) : (base & ~1);
    sendFrame(CanFrame(identifier, bytes));
    return true;
}

} // namespace crateflash
