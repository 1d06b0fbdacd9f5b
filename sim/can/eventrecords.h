#pragma once
// Encodes the event records of a crate file into the bytes a module keeps in
// its event memory.
//
// Record layout, 16 bytes, big-endian: seconds since 2000-01-01 00:00 UTC (4),
// event code (2), channel (1, 0xFF for the whole module), status byte (1),
// measured voltage in V as IEEE single (4), measured current in A as IEEE
// single (4). Unused memory reads 0xFF, like erased flash.

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QStringList>

class EventRecords
{
public:
    static constexpr int RecordSize = 16;

    // Fills `capacity` bytes: the records in order, the rest 0xFF. Records that
    // do not fit or cannot be read are left out and named in `problems`.
    static QByteArray encode(const QJsonArray &records, int capacity, QStringList *problems = nullptr);
    // Code of an event name ("trip", "inhibit", ...); -1 when unknown.
    static int codeOf(const QString &name);
    static QStringList eventNames();
};
