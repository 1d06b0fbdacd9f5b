#include "trendrecorder.h"

#include "cratesession.h"
#include "logfilewriter.h"
#include "settings.h"

#include <QDateTime>
#include <QIODevice>
#include <QStringList>

namespace {

const QString kChannelsKey = QStringLiteral("Trends/Channels");
const QString kWindowKey = QStringLiteral("Trends/WindowMinutes");

QString number(float value)
{
    return LogFileWriter::numberLocale().toString(double(value), 'g', 6);
}

} // namespace

QString TrendRecorder::Series::name() const
{
    return QStringLiteral("%1 ch %2 %3").arg(serialNumber).arg(channel).arg(quantity == Voltage ? QStringLiteral("V")
                                                                                                 : QStringLiteral("I"));
}

TrendRecorder::TrendRecorder(QObject *parent)
    : QObject(parent)
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    m_feedViewer = new QObject(this);
    m_feedViewer->setObjectName(QStringLiteral("trendFeedViewer"));
    m_feedViewer->setProperty("visible", false);
}

TrendRecorder::~TrendRecorder()
{
    qDeleteAll(m_series);
}

void TrendRecorder::bind(CrateSession *session)
{
    m_session = session;
    connect(session, qOverload<int, int, float, QString>(&CrateSession::updateChannelVoltageMeasure), this,
            [this](int serial, int channel, float value, const QString &) { addVoltage(serial, channel, value); });
    connect(session, qOverload<int, int, float, QString>(&CrateSession::updateChannelCurrentMeasure), this,
            [this](int serial, int channel, float value, const QString &) { addCurrent(serial, channel, value); });
    connect(session, &CrateSession::currentModuleChanged, this, [this](int serial) {
        m_currentModuleSerial = serial;
        updateFeedWish();
    });
    session->addViewer(CrateSession::OverviewFeed, m_feedViewer);
}

void TrendRecorder::addVoltage(int serialNumber, int channel, float volts)
{
    add(serialNumber, channel, Voltage, volts);
}

void TrendRecorder::addCurrent(int serialNumber, int channel, float amperes)
{
    add(serialNumber, channel, Current, amperes);
}

void TrendRecorder::add(int serialNumber, int channel, Quantity quantity, float value)
{
    if (m_byKey.isEmpty())
        return;
    const auto it = m_byKey.constFind(key(serialNumber, channel, quantity));
    if (it != m_byKey.constEnd())
        it.value()->buffer.add(m_clock(), value);
}

bool TrendRecorder::addChannel(int serialNumber, int channel)
{
    if (channel < 0 || hasChannel(serialNumber, channel) || channelCount() >= MaxChannels)
        return false;
    const qint64 bucket = qint64(m_windowMinutes) * 60000 / TrendBuffer::DefaultCapacity;
    for (Quantity quantity : {Voltage, Current}) {
        auto *series = new Series;
        series->serialNumber = serialNumber;
        series->channel = channel;
        series->quantity = quantity;
        series->buffer.setBucketWidth(bucket);
        m_series.append(series);
        m_byKey.insert(key(serialNumber, channel, quantity), series);
    }
    updateFeedWish();
    emit channelsChanged();
    return true;
}

void TrendRecorder::removeChannel(int serialNumber, int channel)
{
    bool removed = false;
    for (Quantity quantity : {Voltage, Current}) {
        Series *series = m_byKey.take(key(serialNumber, channel, quantity));
        if (series) {
            m_series.removeOne(series);
            delete series;
            removed = true;
        }
    }
    if (removed) {
        updateFeedWish();
        emit channelsChanged();
    }
}

void TrendRecorder::clearChannels()
{
    if (m_series.isEmpty())
        return;
    m_byKey.clear();
    qDeleteAll(m_series);
    m_series.clear();
    updateFeedWish();
    emit channelsChanged();
}

bool TrendRecorder::hasChannel(int serialNumber, int channel) const
{
    return m_byKey.contains(key(serialNumber, channel, Voltage));
}

void TrendRecorder::setWindowMinutes(int minutes)
{
    minutes = qBound(1, minutes, 24 * 60);
    if (minutes == m_windowMinutes)
        return;
    m_windowMinutes = minutes;
    const qint64 bucket = qint64(minutes) * 60000 / TrendBuffer::DefaultCapacity;
    for (Series *series : std::as_const(m_series))
        series->buffer.setBucketWidth(bucket);
    emit windowChanged(minutes);
}

void TrendRecorder::updateFeedWish()
{
    bool otherModule = false;
    for (const Series *series : std::as_const(m_series))
        otherModule = otherModule || series->serialNumber != m_currentModuleSerial;
    m_feedViewer->setProperty("visible", otherModule);
}

void TrendRecorder::loadSettings()
{
    auto store = Settings::operatorStore();
    setWindowMinutes(store->value(kWindowKey, DefaultWindowMinutes).toInt());
    const QStringList channels = store->value(kChannelsKey).toStringList();
    for (const QString &entry : channels) {
        const QStringList parts = entry.split(QLatin1Char('/'));
        bool serialOk = false;
        bool channelOk = false;
        const int serial = parts.value(0).toInt(&serialOk);
        const int channel = parts.value(1).toInt(&channelOk);
        if (parts.size() == 2 && serialOk && channelOk)
            addChannel(serial, channel);
    }
}

void TrendRecorder::saveSettings() const
{
    QStringList channels;
    for (const Series *series : std::as_const(m_series))
        if (series->quantity == Voltage)
            channels.append(QStringLiteral("%1/%2").arg(series->serialNumber).arg(series->channel));
    auto store = Settings::operatorStore();
    store->setValue(kChannelsKey, channels);
    store->setValue(kWindowKey, m_windowMinutes);
    store->sync();
}

QString TrendRecorder::csvHeader()
{
    return QStringLiteral("Date;Time;Serial no.;Channel;Quantity;Value;Minimum;Maximum");
}

bool TrendRecorder::exportCsv(QIODevice *device) const
{
    QByteArray text = csvHeader().toUtf8() + '\n';
    for (const Series *series : std::as_const(m_series)) {
        const QString prefix = QStringLiteral(";%1;%2;%3;")
                                   .arg(series->serialNumber)
                                   .arg(series->channel)
                                   .arg(series->quantity == Voltage ? QStringLiteral("Vmeasure") : QStringLiteral("Imeasure"));
        for (int i = 0; i < series->buffer.size(); ++i) {
            const TrendPoint &point = series->buffer.at(i);
            const QString line = QDateTime::fromMSecsSinceEpoch(point.msecs).toString(QStringLiteral("yyyy-MM-dd;HH:mm:ss.zzz"))
                + prefix + number(point.value) + QLatin1Char(';') + number(point.minimum) + QLatin1Char(';')
                + number(point.maximum);
            text += line.toUtf8() + '\n';
        }
    }
    return device->write(text) == text.size();
}

qint64 TrendRecorder::memoryBound()
{
    // The series objects, their buffers and their place in the hash.
    constexpr qint64 perSeries = qint64(sizeof(Series)) + 64;
    return 2 * MaxChannels * (TrendBuffer::bytesFor(TrendBuffer::DefaultCapacity) + perSeries);
}
