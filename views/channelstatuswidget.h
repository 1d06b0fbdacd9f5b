#pragma once
#include <QWidget>

#include "channeleventstatus.h"
#include "channelstatus.h"

class QLabel;
namespace Ui {
class ChannelStatusWidget;
}

// The current channel's status and event status as coloured labels; the
// "Clear Events" click is passed on to the main window.
class ChannelStatusWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ChannelStatusWidget(QWidget *parent = nullptr);
    ~ChannelStatusWidget() override;

    // Low-voltage modules report no such status; their updates are ignored.
    void setLowVoltageModule(bool on) { m_lowVoltageModule = on; }
    bool isLowVoltageModule() const { return m_lowVoltageModule; }

public slots:
    void updateStatus(ChannelStatus status);
    void updateEventStatus(ChannelEventStatus eventStatus);

signals:
    void clearEventsClicked();

private:
    Ui::ChannelStatusWidget *m_ui;
    bool m_lowVoltageModule = false;
};
