#include "canbus.h"

#include <QLoggingCategory>
#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcCan)

CanModule *CanBus::addNode(int slot, quint16 base, int board)
{
    m_nodes.push_back(std::make_unique<CanModule>(slot, base, board));
    return m_nodes.back().get();
}

CanModule *CanBus::node(int slot, int board) const
{
    for (const auto &n : m_nodes)
        if (n->slot() == slot && n->board() == board)
            return n.get();
    return nullptr;
}

CanModule *CanBus::nodeAt(quint16 base) const
{
    for (const auto &n : m_nodes)
        if (n->base() == base)
            return n.get();
    return nullptr;
}

bool CanBus::hears(const CanModule &node) const
{
    return m_powered && !m_silentSlots.contains(node.slot()) && !node.stopped()
           && qint64(node.bitRateKbit()) * 1000 == m_bitRate;
}

void CanBus::setTraceFile(const QString &path)
{
    m_trace.reset();
    if (path.isEmpty())
        return;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        qCWarning(lcCan) << "cannot write the CAN trace" << path;
        return;
    }
    m_trace = std::move(file);
}

void CanBus::trace(const char *direction, const CanFrame &frame)
{
    if (!m_trace)
        return;
    m_trace->write(QStringLiteral("%1 %2 %3\n").arg(m_now, 10).arg(QLatin1String(direction), frame.toString()).toLatin1());
    m_trace->flush();
}

void CanBus::transmit(const CanFrame &frame)
{
    ++m_framesIn;
    if (m_requestFrames > 0 && m_trace) {
        m_trace->write(QStringLiteral("%1 SET %2\n").arg(m_now, 10).arg(m_requestFrames).toLatin1());
        m_requestFrames = 0;
    }
    trace(m_open || frame.id == TunnelId ? ">" : "> (closed)", frame);
    if (frame.id == TunnelId) {
        // 10 01 00 01 opens the tunnel, 10 01 00 02 closes it.
        if (frame.length == 4 && frame.data[0] == 0x10 && frame.data[1] == 0x01 && frame.data[2] == 0x00) {
            if (frame.data[3] == 0x01)
                setTunnelOpen(true);
            else if (frame.data[3] == 0x02)
                setTunnelOpen(false);
        }
        return;
    }
    if (!m_open)
        return;
    for (const auto &n : m_nodes) {
        if (frame.id != 4 && frame.base() != n->base())
            continue;
        if (!hears(*n))
            continue;
        n->countFrameIn();
        // The answers leave with the bit rate the node has after the frame
        // (a reset to another rate is not heard).
        const QList<CanModule::Answer> answers = n->receive(frame);
        queue(*n, answers);
    }
}

void CanBus::queue(CanModule &sender, const QList<CanModule::Answer> &answers)
{
    // Answers sent at a bit rate the tunnel does not use never reach the controller.
    if (!m_open || !m_powered || qint64(sender.bitRateKbit()) * 1000 != m_bitRate)
        return;
    for (const CanModule::Answer &a : answers) {
        // A full controller buffer loses what arrives, as a real one does.
        if (int(m_queue.size()) >= MaxQueued) {
            ++m_framesDropped;
            continue;
        }
        Pending p{m_now + a.delayMs, m_sequence++, a.frame};
        auto pos = std::upper_bound(m_queue.begin(), m_queue.end(), p, [](const Pending &x, const Pending &y) {
            return x.due < y.due || (x.due == y.due && x.sequence < y.sequence);
        });
        m_queue.insert(pos, p);
    }
}

int CanBus::dueCount() const
{
    int n = 0;
    for (const Pending &p : m_queue) {
        if (p.due > m_now)
            break;
        ++n;
    }
    return n;
}

bool CanBus::take(CanFrame *frame, int *pending)
{
    const int due = m_open ? dueCount() : 0;
    if (pending)
        *pending = due;
    if (due == 0)
        return false;
    *frame = m_queue.front().frame;
    m_queue.pop_front();
    trace("<", *frame);
    ++m_framesOut;
    return true;
}

void CanBus::putBack(const CanFrame &frame)
{
    const qint64 due = m_queue.empty() ? m_now : std::min(m_now, m_queue.front().due);
    m_queue.push_front(Pending{due, 0, frame});
    if (m_framesOut > 0)
        --m_framesOut;
}

void CanBus::advance(qint64 nowMs)
{
    if (nowMs > m_now)
        m_now = nowMs;
}

void CanBus::setTunnelOpen(bool open)
{
    if (open != m_open)
        qCDebug(lcCan) << "tunnel" << (open ? "open" : "closed");
    m_open = open;
    if (!open)
        m_queue.clear();
}

void CanBus::setPowered(bool on)
{
    if (on == m_powered)
        return;
    m_powered = on;
    if (!on) {
        m_queue.clear();
        return;
    }
    for (const auto &n : m_nodes) {
        const QList<CanModule::Answer> answers = n->powerUp();
        if (isSlotResponding(n->slot()))
            queue(*n, answers);
    }
}

void CanBus::setSlotResponding(int slot, bool responding)
{
    if (responding)
        m_silentSlots.remove(slot);
    else
        m_silentSlots.insert(slot);
}
