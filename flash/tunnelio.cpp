#include "tunnelio.h"

namespace crateflash {

TunnelIo::~TunnelIo() { close(); }

void TunnelIo::open(const QByteArray &host)
{
    // A later Connect replaces the session; the old one must not leak.
    close();
    m_session = openSession(host);
}

void TunnelIo::close()
{
    if (!m_session)
        return;
    closeSession(m_session);
    m_session = nullptr;
}

void TunnelIo::setInteger(const ObjectId &object, qint32 value) { setIntegerObject(m_session, object, value); }

void TunnelIo::transmit(const QList<CanFrame> &frames)
{
    transmitCanFrames(m_session, frames.constData(), int(frames.size()));
}

void TunnelIo::flush()
{
    CanFrame frame;
    for (int i = 0; i < 101; ++i) {
        if (receiveCanFrame(m_session, frame) <= 0)
            break;
    }
}

void TunnelIo::startPass()
{
    m_passRunning = true;
    receiveNext();
}

void TunnelIo::receiveNext()
{
    if (!m_passRunning)
        return;
    CanFrame frame;
    if (receiveCanFrame(m_session, frame) > 0)
        emit frameReceived(frame);
    else
        endPass();
}

void TunnelIo::endPass()
{
    m_passRunning = false;
    emit passEnded();
}

} // namespace crateflash
