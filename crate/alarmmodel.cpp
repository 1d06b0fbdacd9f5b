#include "alarmmodel.h"

#include "cratesession.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>

namespace {

// The session's and the controller's own texts, as they are shown.
QString notConnectedText()
{
    return QCoreApplication::translate("CrateSession", "Not connected");
}

QString connectingText()
{
    return QCoreApplication::translate("CrateSession", "Connecting...");
}

QString poweredOffText()
{
    return QCoreApplication::translate("SnmpController", "MPOD is powered off!");
}

QString field(QString text)
{
    // One entry, one line, and no field separator inside a field.
    return text.replace(QLatin1Char(';'), QLatin1Char(',')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace

AlarmModel::AlarmModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_logFileName(defaultLogFileName())
{
}

AlarmModel::~AlarmModel() = default;

QString AlarmModel::defaultLogFileName()
{
    return QDir::current().absoluteFilePath(QStringLiteral("alarms.csv"));
}

void AlarmModel::setLogFileName(const QString &fileName)
{
    m_logFileName = fileName;
    m_log.reset();
    m_logFailureReported = false;
}

void AlarmModel::bind(CrateSession *session)
{
    connect(session, &CrateSession::updateChannelStatus, this, &AlarmModel::channelStatusSeen);
    connect(session, &CrateSession::channelStatusScanned, this, &AlarmModel::channelStatusSeen);
    connect(session, &CrateSession::moduleStateTextChanged, this, &AlarmModel::moduleStateText);
    connect(session, &CrateSession::crateStateRefreshed, this,
            [this](const QString &message, bool) { crateState(message); });
    connect(session, &CrateSession::cratePoweredOff, this, &AlarmModel::cratePoweredOff);
    connect(session, &CrateSession::modulesAboutToBeDeleted, this, &AlarmModel::modulesGone);
    // Watching is always on: the session reads the other modules' channel states for it.
    auto *viewer = new QObject(this);
    viewer->setProperty("visible", true);
    session->addViewer(CrateSession::AlarmFeed, viewer);
}

QString AlarmModel::channelPlace(int serialNumber, int channel)
{
    return tr("Module %1, channel %2").arg(serialNumber).arg(channel);
}

void AlarmModel::channelStatusSeen(int serialNumber, int channel, ChannelStatus status)
{
    struct Condition {
        bool on;
        const char *key;
        QString what;
    };
    const Condition conditions[] = {
        {status.isTRIP(), "trip", tr("Channel tripped")},
        {status.isEMCY(), "emcy", tr("Emergency off")},
        {status.isEINH(), "inhibit", tr("External inhibit")},
    };
    for (const Condition &condition : conditions) {
        const QString key = QStringLiteral("%1/%2/%3").arg(serialNumber).arg(channel).arg(QLatin1String(condition.key));
        if (condition.on && !m_active.contains(key)) {
            m_active.insert(key);
            addEntry(channelPlace(serialNumber, channel), condition.what, Alarm);
        } else if (!condition.on) {
            // Cleared events arm the condition again; the clearing is the operator's own act.
            m_active.remove(key);
        }
    }
}

void AlarmModel::moduleStateText(int index, const QString &text)
{
    if (text == connectingText())
        return;
    const QString name = m_moduleNames.value(index, tr("in list row %1").arg(index + 1));
    if (text == notConnectedText()) {
        // A crate switched off silences every module; its own alarm says so.
        if (!m_crateOff && !m_silentModules.contains(index)) {
            m_silentModules.insert(index);
            addEntry(tr("Module %1").arg(name), tr("Module not answering"), Alarm);
        }
        return;
    }
    m_moduleNames.insert(index, text);
    if (m_silentModules.remove(index))
        addEntry(tr("Module %1").arg(text), tr("Module answering again"), Back);
}

void AlarmModel::crateState(const QString &connectionMessage)
{
    setCrateOff(connectionMessage.contains(poweredOffText()));
}

void AlarmModel::cratePoweredOff()
{
    setCrateOff(true);
}

void AlarmModel::setCrateOff(bool off)
{
    if (off == m_crateOff)
        return;
    m_crateOff = off;
    if (off) {
        addEntry(tr("Crate"), tr("Main switch off"), Alarm);
        // The modules are silent for that reason, not each for its own.
        m_silentModules.clear();
    } else {
        addEntry(tr("Crate"), tr("Main switch on again"), Back);
    }
}

void AlarmModel::modulesGone()
{
    // A new connection numbers its modules anew; what was seen of the old ones
    // says nothing about them.
    m_silentModules.clear();
    m_moduleNames.clear();
    m_active.clear();
}

void AlarmModel::addEntry(const QString &where, const QString &what, Kind kind)
{
    Entry entry;
    entry.time = QDateTime::currentDateTime();
    entry.where = where;
    entry.what = what;
    entry.kind = kind;
    entry.acknowledged = kind == Back;
    if (m_entries.size() >= MaxEntries) {
        beginRemoveRows(QModelIndex(), 0, 0);
        if (!m_entries.first().acknowledged)
            --m_unacknowledged;
        m_entries.removeFirst();
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), m_entries.size(), m_entries.size());
    m_entries.append(entry);
    endInsertRows();
    log(entry, kind == Alarm ? QStringLiteral("alarm") : QStringLiteral("back"));
    if (kind == Alarm) {
        ++m_unacknowledged;
        emit unacknowledgedCountChanged(m_unacknowledged);
        emit alarmRaised(where, what);
    }
}

void AlarmModel::acknowledge(int row)
{
    if (row < 0 || row >= m_entries.size() || m_entries.at(row).acknowledged)
        return;
    Entry &entry = m_entries[row];
    entry.acknowledged = true;
    --m_unacknowledged;
    log(entry, QStringLiteral("acknowledged"));
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    emit unacknowledgedCountChanged(m_unacknowledged);
}

void AlarmModel::acknowledgeAll()
{
    for (int row = 0; row < m_entries.size(); ++row)
        acknowledge(row);
}

void AlarmModel::log(const Entry &entry, const QString &event)
{
    if (!m_log) {
        auto file = std::make_unique<LogFileWriter>();
        const bool fresh = QFileInfo(m_logFileName).size() == 0;
        if (!file->open(m_logFileName, LogFileWriter::PlatformLineEnds)
            || (fresh && !file->writeLine("Date;Time;Where;What;Event"))) {
            if (!m_logFailureReported)
                emit logFailed(tr("The alarm log '%1' cannot be written: %2.")
                                   .arg(QDir::toNativeSeparators(m_logFileName), file->errorString()));
            m_logFailureReported = true;
            return;
        }
        m_log = std::move(file);
    }
    // An acknowledgement is logged at the time it is given.
    const QDateTime time = event == QLatin1String("acknowledged") ? QDateTime::currentDateTime() : entry.time;
    const QString line = time.toString(QStringLiteral("yyyy-MM-dd;HH:mm:ss.zzz")) + QLatin1Char(';') + field(entry.where)
        + QLatin1Char(';') + field(entry.what) + QLatin1Char(';') + event;
    if (!m_log->writeLine(line.toUtf8())) {
        emit logFailed(tr("The alarm log '%1' cannot be written: %2.")
                           .arg(QDir::toNativeSeparators(m_logFileName), m_log->errorString()));
        m_log.reset();
        m_logFailureReported = true;
    }
}

int AlarmModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

int AlarmModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AlarmModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    const Entry &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TimeColumn:
            return entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case WhereColumn:
            return entry.where;
        case WhatColumn:
            return entry.what;
        case StateColumn:
            if (entry.kind == Back)
                return tr("Back");
            return entry.acknowledged ? tr("Acknowledged") : tr("New");
        default:
            return QVariant();
        }
    case Qt::ForegroundRole:
        if (entry.kind == Back)
            return QColor(Qt::darkGreen);
        return entry.acknowledged ? QVariant() : QVariant(QColor(Qt::red));
    case Qt::FontRole:
        if (!entry.acknowledged) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant AlarmModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return tr("Time");
    case WhereColumn:
        return tr("Where");
    case WhatColumn:
        return tr("What");
    case StateColumn:
        return tr("State");
    default:
        return QVariant();
    }
}
