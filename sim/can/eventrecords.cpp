#include "eventrecords.h"

#include <QDateTime>
#include <QJsonObject>
#include <QTimeZone>
#include <cstring>

namespace {
struct EventName {
    const char *name;
    quint16 code;
};
const EventName EventNames[] = {
    {"powerOn", 0x0001},        {"powerOff", 0x0002},      {"channelOn", 0x0003},
    {"channelOff", 0x0004},     {"trip", 0x0010},          {"voltageBound", 0x0011},
    {"currentBound", 0x0012},   {"voltageLimit", 0x0013},  {"currentLimit", 0x0014},
    {"inhibit", 0x0020},        {"kill", 0x0021},          {"emergencyOff", 0x0022},
    {"safetyLoop", 0x0023},     {"overTemperature", 0x0030}, {"supplyFault", 0x0031},
    {"calibrationChanged", 0x0040}, {"firmwareUpdated", 0x0041},
};

void appendBigEndian(QByteArray *out, quint32 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out->append(char((value >> (8 * i)) & 0xFF));
}

void appendFloat(QByteArray *out, double value)
{
    const float f = float(value);
    quint32 bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    appendBigEndian(out, bits, 4);
}
} // namespace

int EventRecords::codeOf(const QString &name)
{
    for (const EventName &e : EventNames)
        if (name == QLatin1String(e.name))
            return e.code;
    return -1;
}

QStringList EventRecords::eventNames()
{
    QStringList names;
    for (const EventName &e : EventNames)
        names << QLatin1String(e.name);
    return names;
}

QByteArray EventRecords::encode(const QJsonArray &records, int capacity, QStringList *problems)
{
    QByteArray out;
    const QDateTime epoch(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    int index = 0;
    for (const QJsonValue &v : records) {
        ++index;
        const QJsonObject o = v.toObject();
        const QDateTime time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODate);
        int code = -1;
        if (o.value(QLatin1String("event")).isString())
            code = codeOf(o.value(QLatin1String("event")).toString());
        else if (o.value(QLatin1String("code")).isDouble())
            code = o.value(QLatin1String("code")).toInt(-1);
        if (!time.isValid() || code < 0 || code > 0xFFFF) {
            if (problems)
                problems->append(QStringLiteral("event record %1: needs \"time\" (ISO date) and a known \"event\" or \"code\"").arg(index));
            continue;
        }
        if (out.size() + RecordSize > capacity) {
            if (problems)
                problems->append(QStringLiteral("event record %1 does not fit into the event memory").arg(index));
            break;
        }
        const qint64 seconds = qMax<qint64>(0, epoch.secsTo(time));
        appendBigEndian(&out, quint32(seconds), 4);
        appendBigEndian(&out, quint32(code), 2);
        const QJsonValue channel = o.value(QLatin1String("channel"));
        out.append(char(channel.isDouble() ? channel.toInt() & 0xFF : 0xFF));
        out.append(char(o.value(QLatin1String("status")).toInt(0) & 0xFF));
        appendFloat(&out, o.value(QLatin1String("voltage")).toDouble(0.0));
        appendFloat(&out, o.value(QLatin1String("current")).toDouble(0.0));
    }
    out.append(QByteArray(capacity - out.size(), char(0xFF)));
    return out;
}
