#include "alarmdock.h"
#include "ui_alarmdock.h"

#include "alarmmodel.h"
#include "settings.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSystemTrayIcon>


namespace {
const QString kSoundKey = QStringLiteral("Alarms/Sound");
// Alarms raised within this time make one announcement.
constexpr int kAnnounceDelayMs = 300;
} // namespace

AlarmDock::AlarmDock(QWidget *parent)
    : QDockWidget(parent)
    , m_ui(new Ui::AlarmDock)
{
    m_ui->setupUi(this);
    m_ui->soundBox->setChecked(Settings::operatorStore()->value(kSoundKey, false).toBool());
    m_ui->alarmTable->verticalHeader()->hide();
    m_announceTimer.setSingleShot(true);
    m_announceTimer.setInterval(kAnnounceDelayMs);
    connect(&m_announceTimer, &QTimer::timeout, this, &AlarmDock::announce);
}

AlarmDock::~AlarmDock()
{
    delete m_ui;
}

void AlarmDock::bind(AlarmModel *model)
{
    m_model = model;
    m_ui->alarmTable->setModel(model);
    QHeaderView *header = m_ui->alarmTable->horizontalHeader();
    header->setSectionResizeMode(AlarmModel::TimeColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(AlarmModel::WhereColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(AlarmModel::WhatColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(AlarmModel::StateColumn, QHeaderView::ResizeToContents);
    m_ui->logLabel->setText(tr("Log: %1").arg(QDir::toNativeSeparators(model->logFileName())));
    connect(model, &AlarmModel::alarmRaised, this, &AlarmDock::collect);
    // The newest entry in sight.
    connect(model, &QAbstractItemModel::rowsInserted, m_ui->alarmTable, &QTableView::scrollToBottom);
}

bool AlarmDock::soundEnabled() const
{
    return m_ui->soundBox->isChecked();
}

void AlarmDock::setSoundEnabled(bool enabled)
{
    m_ui->soundBox->setChecked(enabled);
}

void AlarmDock::on_soundBox_toggled(bool checked)
{
    auto store = Settings::operatorStore();
    store->setValue(kSoundKey, checked);
    store->sync();
}

void AlarmDock::on_acknowledgeButton_clicked()
{
    if (!m_model)
        return;
    const QModelIndexList rows = m_ui->alarmTable->selectionModel()->selectedRows();
    for (const QModelIndex &index : rows)
        m_model->acknowledge(index.row());
}

void AlarmDock::on_acknowledgeAllButton_clicked()
{
    if (m_model)
        m_model->acknowledgeAll();
}

void AlarmDock::collect(const QString &where, const QString &what)
{
    ++m_pending;
    m_latest = QStringLiteral("%1: %2").arg(where, what);
    if (!m_announceTimer.isActive())
        m_announceTimer.start();
}

void AlarmDock::announce()
{
    const int count = m_pending;
    if (count == 0)
        return;
    m_pending = 0;
    const QString text = count == 1 ? m_latest : tr("%1 new alarms; the latest: %2").arg(count).arg(m_latest);
    emit announced(count, text);
    if (soundEnabled())
        QApplication::beep();
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(window()->windowIcon(), this);
        m_tray->setToolTip(window()->windowTitle());
        m_tray->show();
    }
    m_tray->showMessage(tr("Alarm"), text, QSystemTrayIcon::Warning);
}
