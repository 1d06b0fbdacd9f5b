#pragma once
// Records the measured voltage and current of the channels the operator picked
// for the trend plots, from the values the session's refresh already carries.
// It reads no module: the current module's channels come with every tick, the
// others with the overview feed, which it asks for only while it records a
// channel of another module. Every series is a TrendBuffer of fixed size, so
// memory is bounded by MaxChannels whatever runs for how long.

#include "trendbuffer.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CrateSession;
class QIODevice;

class TrendRecorder : public QObject
{
    Q_OBJECT

public:
    enum Quantity { Voltage = 0, Current = 1 };

    struct Series {
        int serialNumber = 0;
        int channel = 0;
        Quantity quantity = Voltage;
        TrendBuffer buffer;
        QString name() const;
    };

    // 32 channels: 64 series (voltage and current of each).
    static constexpr int MaxChannels = 32;
    static constexpr int DefaultWindowMinutes = 10;

    explicit TrendRecorder(QObject *parent = nullptr);
    ~TrendRecorder() override;

    void bind(CrateSession *session);

    // Milliseconds since the epoch; tests and the benchmark pass a clock of their own.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    qint64 now() const { return m_clock(); }

    // Adds the channel's two series; false when it is there already or the limit is reached.
    bool addChannel(int serialNumber, int channel);
    void removeChannel(int serialNumber, int channel);
    void clearChannels();
    bool hasChannel(int serialNumber, int channel) const;
    int channelCount() const { return m_series.size() / 2; }
    int seriesCount() const { return m_series.size(); }
    const Series &series(int index) const { return *m_series.at(index); }

    // How far back the plot looks; the buckets of every series follow from it.
    void setWindowMinutes(int minutes);
    int windowMinutes() const { return m_windowMinutes; }

    // Channels and window from and to the operator store.
    void loadSettings();
    void saveSettings() const;

    // Every point of every series, one line each, in the measurement log's number format.
    bool exportCsv(QIODevice *device) const;
    static QString csvHeader();

    // The most memory all series together can hold.
    static qint64 memoryBound();

    // Values as the session's update signals carry them (volts, amperes).
    void addVoltage(int serialNumber, int channel, float volts);
    void addCurrent(int serialNumber, int channel, float amperes);

signals:
    void channelsChanged();
    void windowChanged(int minutes);

private:
    static quint64 key(int serialNumber, int channel, Quantity quantity)
    {
        return (quint64(quint32(serialNumber)) << 32) | (quint64(quint32(channel)) << 1) | quint64(quantity);
    }
    void add(int serialNumber, int channel, Quantity quantity, float value);
    void updateFeedWish();

    QList<Series *> m_series;
    QHash<quint64, Series *> m_byKey;
    int m_windowMinutes = DefaultWindowMinutes;
    std::function<qint64()> m_clock;
    QPointer<CrateSession> m_session;
    int m_currentModuleSerial = -1;
    // The overview viewer: "visible" while a recorded channel is on another module.
    QObject *m_feedViewer = nullptr;
};
