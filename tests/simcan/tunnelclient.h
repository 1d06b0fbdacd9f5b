#pragma once
// The tool's side of the CAN tunnel, played by hand with the net-snmp client
// API: frames go out through SETs of canTransmitHv.0 and come back through
// GETs of canReceiveHv.0; the simulator's CAN objects are read and written by
// name.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

struct TunnelFrame
{
    quint16 id = 0;
    QByteArray data;
    quint16 code() const { return data.size() >= 2 ? quint16(quint8(data.at(0)) << 8 | quint8(data.at(1))) : 0; }
    bool operator==(const TunnelFrame &o) const { return id == o.id && data == o.data; }
};

class TunnelClient
{
public:
    explicit TunnelClient(const QString &peer, const QString &community = QStringLiteral("mavo"));
    ~TunnelClient();
    TunnelClient(const TunnelClient &) = delete;
    TunnelClient &operator=(const TunnelClient &) = delete;

    bool isOpen() const { return m_session != nullptr; }
    QString lastError() const { return m_error; }
    // Error status of the last send(): -1 when no answer came.
    long lastStatus() const { return m_status; }

    // One SET request with one varbind per frame, in order.
    bool send(const QList<TunnelFrame> &frames);
    bool send(quint16 id, const QByteArray &data) { return send({TunnelFrame{id, data}}); }
    // One GET: the pending word (-1 on failure) and the frame it carried.
    int receive(TunnelFrame *frame);
    // Collects frames until `count` arrived or `timeoutMs` passed (polling every few ms).
    QList<TunnelFrame> collect(int count, int timeoutMs = 3000);
    // Takes everything waiting now.
    QList<TunnelFrame> drain();

    bool openTunnel();
    // Raw value of canReceiveHv.0: type (ASN) and bytes, for the format faults.
    bool rawReceive(int *type, QByteArray *value);
    // One GET of `count` canReceiveHv.0 varbinds; the answer's error status, -1 when none came.
    long receiveMany(int count);

    // Objects by name with instance, e.g. "cratesimCanNodeMode.528".
    QVariant get(const QString &name);
    bool setInteger(const QString &name, long value, QVariant *answer = nullptr, int *answerType = nullptr);
    bool setString(const QString &name, const QByteArray &value);

    static QByteArray tunnelValue(const TunnelFrame &frame);
    static bool parseTunnelValue(const QByteArray &value, TunnelFrame *frame, int *pending);

private:
    void *m_session = nullptr;
    QString m_error;
    long m_status = 0;
};
