#pragma once
// The tunnel's SNMP requests on a thread of their own, so that a crate that
// answers slowly never holds up the window. Requests run one at a time in the
// order they were asked for. A receive pass hands each frame to the owner and
// fetches the next one only when the owner asks for it, after handling the
// frame: whatever the owner sends in answer goes out before the tunnel is
// read again, as when the owner read the tunnel itself.

#include "canframe.h"
#include "objecttable.h"
#include "snmpsession.h"

#include <QList>
#include <QObject>

namespace crateflash {

class TunnelIo : public QObject
{
    Q_OBJECT

public:
    TunnelIo() = default;
    ~TunnelIo() override;

    // Each of these is one request (or a short series of them) on the I/O thread.
    void open(const QByteArray &host);
    void close();
    void setInteger(const ObjectId &object, qint32 value);
    // All frames in one SET.
    void transmit(const QList<CanFrame> &frames);
    // Throws away what the tunnel holds (at most 101 frames).
    void flush();
    // A receive pass: frameReceived for the first frame waiting, then one
    // frame per receiveNext, until the tunnel is empty; then passEnded.
    void startPass();
    void receiveNext();

signals:
    void frameReceived(const crateflash::CanFrame &frame);
    void passEnded();

private:
    void endPass();

    SnmpSessionHandle m_session = nullptr;
    bool m_passRunning = false;
};

} // namespace crateflash
