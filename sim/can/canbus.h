#pragma once
// The CAN bus behind the crate controller's tunnel: the tunnel state, its bit
// rate, the nodes of every module, and the queue of frames the modules sent
// that the tool has not fetched yet.

#include "canframe.h"
#include "canmodule.h"

#include <QFile>
#include <QSet>
#include <deque>
#include <memory>
#include <vector>

class CanBus
{
public:
    static constexpr quint16 TunnelId = 0x600;
    static constexpr int DefaultBitRate = 250000;
    // Frames one SET of canTransmitHv may carry, and answers the controller holds.
    static constexpr int MaxFramesPerRequest = 512;
    static constexpr int MaxQueued = 4096;

    CanModule *addNode(int slot, quint16 base, int board);
    const std::vector<std::unique_ptr<CanModule>> &nodes() const { return m_nodes; }
    CanModule *node(int slot, int board = 0) const;
    CanModule *nodeAt(quint16 base) const;

    // One frame from the tool, in the order the SET carried it.
    void transmit(const CanFrame &frame);
    // The oldest frame that is due; `pending` counts the due frames including it.
    bool take(CanFrame *frame, int *pending);
    // Returns a taken frame to the head of the queue (its answer was never sent).
    void putBack(const CanFrame &frame);
    quint32 framesDropped() const { return m_framesDropped; }
    // Due frames waiting in the controller.
    int dueCount() const;
    int queuedCount() const { return int(m_queue.size()); }

    void advance(qint64 nowMs);
    qint64 now() const { return m_now; }

    bool isTunnelOpen() const { return m_open; }
    void setTunnelOpen(bool open);
    int tunnelBitRate() const { return m_bitRate; }
    void setTunnelBitRate(int bitsPerSecond) { m_bitRate = bitsPerSecond; }

    bool isPowered() const { return m_powered; }
    void setPowered(bool on);
    void setSlotResponding(int slot, bool responding);
    bool isSlotResponding(int slot) const { return !m_silentSlots.contains(slot); }
    bool hears(const CanModule &node) const;

    quint32 framesIn() const { return m_framesIn; }
    quint32 framesOut() const { return m_framesOut; }

    // Writes every frame in and out with its simulated time to a file
    // (CRATESIM_CAN_TRACE names it), for following a tool's conversation.
    void setTraceFile(const QString &path);
    // A SET of the transmit object carrying count frames is about to be
    // applied: the trace marks where its frames begin ("SET count").
    void beginTransmitRequest(int count) { m_requestFrames = count; }

private:
    void queue(CanModule &sender, const QList<CanModule::Answer> &answers);
    void trace(const char *direction, const CanFrame &frame);

    struct Pending {
        qint64 due;
        quint64 sequence;
        CanFrame frame;
    };

    std::vector<std::unique_ptr<CanModule>> m_nodes;
    std::deque<Pending> m_queue;
    quint64 m_sequence = 0;
    qint64 m_now = 0;
    int m_requestFrames = 0;
    bool m_open = false;
    int m_bitRate = DefaultBitRate;
    bool m_powered = true;
    QSet<int> m_silentSlots;
    quint32 m_framesIn = 0;
    quint32 m_framesOut = 0;
    quint32 m_framesDropped = 0;
    std::unique_ptr<QFile> m_trace;
};
