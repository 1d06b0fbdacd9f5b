#pragma once
// The alarms of one operator session: a channel that trips, enters emergency
// off or an external inhibit, a module that stops answering, a crate whose main
// switch goes off. Each condition raises one entry when it begins; a module or
// crate that comes back adds one "back" entry. Alarms wait for the operator's
// acknowledgement; every entry and acknowledgement is appended to the alarm
// log (CSV, flushed line by line). Fed only by the session's update signals:
// nothing here reads a module.

#include "channelstatus.h"
#include "logfilewriter.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

class CrateSession;

class AlarmModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn = 0, WhereColumn, WhatColumn, StateColumn, ColumnCount };
    enum Kind { Alarm = 0, Back = 1 };

    struct Entry {
        QDateTime time;
        QString where;
        QString what;
        Kind kind = Alarm;
        bool acknowledged = false;
    };

    // The list keeps the newest entries; the log file keeps them all.
    static constexpr int MaxEntries = 10000;

    explicit AlarmModel(QObject *parent = nullptr);
    ~AlarmModel() override;

    void bind(CrateSession *session);

    // "alarms.csv" in the working folder, beside the measurement and automatic logs.
    static QString defaultLogFileName();
    void setLogFileName(const QString &fileName);
    QString logFileName() const { return m_logFileName; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const Entry &entry(int row) const { return m_entries.at(row); }
    int unacknowledgedCount() const { return m_unacknowledged; }
    void acknowledge(int row);
    void acknowledgeAll();

    // What the session's signals carry, also callable directly.
    void channelStatusSeen(int serialNumber, int channel, ChannelStatus status);
    void moduleStateText(int index, const QString &text);
    void crateState(const QString &connectionMessage);
    void cratePoweredOff();
    void modulesGone();

    static QString channelPlace(int serialNumber, int channel);

signals:
    void alarmRaised(QString where, QString what);
    void unacknowledgedCountChanged(int count);
    // The log could not be written; the list goes on without it.
    void logFailed(QString text);

private:
    void addEntry(const QString &where, const QString &what, Kind kind);
    void log(const Entry &entry, const QString &event);
    void setCrateOff(bool off);

    QList<Entry> m_entries;
    int m_unacknowledged = 0;
    QString m_logFileName;
    std::unique_ptr<LogFileWriter> m_log;
    bool m_logFailureReported = false;
    // Conditions that raised their alarm and have not ended yet.
    QSet<QString> m_active;
    QHash<int, QString> m_moduleNames; // module list index -> what the list shows
    QSet<int> m_silentModules;
    bool m_crateOff = false;
};
