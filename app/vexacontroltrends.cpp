// The trend plots and the alarm list: two docks fed by the session's update
// signals, their entries in the System menu (beside the system overview), the
// Channel menu and the table's context menu, and the unacknowledged-alarm count
// in the status bar.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "alarmdock.h"
#include "alarmmodel.h"
#include "trenddock.h"
#include "trendrecorder.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>

void VexaControl::setUpTrends()
{
    m_trendRecorder = new TrendRecorder(this);
    m_trendRecorder->bind(m_session);
    m_trendRecorder->loadSettings();
    // The picked channels and the window are the operator's: kept as they change.
    connect(m_trendRecorder, &TrendRecorder::channelsChanged, m_trendRecorder, &TrendRecorder::saveSettings);
    connect(m_trendRecorder, &TrendRecorder::windowChanged, m_trendRecorder, &TrendRecorder::saveSettings);
    connect(m_session, &CrateSession::currentModuleChanged, this, [this](int serial) { m_currentModuleSerial = serial; });

    m_alarmModel = new AlarmModel(this);
    m_alarmModel->bind(m_session);
    connect(m_alarmModel, &AlarmModel::unacknowledgedCountChanged, this, &VexaControl::showAlarmCount);
    connect(m_alarmModel, &AlarmModel::logFailed, this,
            [this](const QString &text) { statusBar()->showMessage(text, 30000); });

    m_trendDock = new TrendDock(this);
    m_trendDock->bind(m_trendRecorder);
    addDockWidget(Qt::BottomDockWidgetArea, m_trendDock);
    m_trendDock->hide();
    m_alarmDock = new AlarmDock(this);
    m_alarmDock->bind(m_alarmModel);
    addDockWidget(Qt::BottomDockWidgetArea, m_alarmDock);
    m_alarmDock->hide();

    QAction *trends = m_trendDock->toggleViewAction();
    trends->setObjectName(QStringLiteral("actionTrends"));
    trends->setText(tr("&Trends"));
    QAction *alarms = m_alarmDock->toggleViewAction();
    alarms->setObjectName(QStringLiteral("actionAlarms"));
    alarms->setText(tr("A&larms"));
    m_ui->menuSystem->insertActions(m_ui->actionCrates, {trends, alarms});

    m_addToTrendAction = new QAction(tr("Add to Trend"), this);
    m_addToTrendAction->setObjectName(QStringLiteral("actionAddToTrend"));
    connect(m_addToTrendAction, &QAction::triggered, this, &VexaControl::addToTrend);
    m_ui->menuChannel->addAction(m_addToTrendAction);

    m_alarmLabel = new QLabel(this);
    m_alarmLabel->setObjectName(QStringLiteral("alarmStatusLabel"));
    m_alarmLabel->setTextFormat(Qt::RichText);
    m_alarmLabel->hide();
    connect(m_alarmLabel, &QLabel::linkActivated, this, [this] {
        m_alarmDock->show();
        m_alarmDock->raise();
    });
    statusBar()->addPermanentWidget(m_alarmLabel);
}

void VexaControl::addToTrend()
{
    if (m_currentModuleSerial < 0)
        return;
    QList<int> channels = selectedChannels();
    if (channels.isEmpty() && currentChannel() >= 0)
        channels.append(currentChannel());
    int added = 0;
    for (int channel : std::as_const(channels))
        added += m_trendRecorder->addChannel(m_currentModuleSerial, channel) ? 1 : 0;
    if (added < channels.size() && m_trendRecorder->channelCount() >= TrendRecorder::MaxChannels)
        statusBar()->showMessage(tr("The trends hold at most %1 channels.").arg(TrendRecorder::MaxChannels), 10000);
    m_trendDock->show();
    m_trendDock->raise();
}

void VexaControl::showAlarmCount(int count)
{
    m_alarmLabel->setVisible(count > 0);
    m_alarmLabel->setText(count > 0 ? QStringLiteral("<a href=\"alarms\" style=\"color:white;\">%1</a>")
                                          .arg(count == 1 ? tr("1 unacknowledged alarm") : tr("%1 unacknowledged alarms").arg(count))
                                    : QString());
    m_alarmLabel->setStyleSheet(count > 0 ? QStringLiteral("QLabel { background: #c00000; padding: 1px 6px; }")
                                          : QString());
}
