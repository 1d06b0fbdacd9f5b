#pragma once
#include <QWidget>

#include "moduleeventstatus.h"
#include "modulestatus.h"

class QLabel;
namespace Ui {
class ModuleStatusWidget;
}

// The current module's status and event status as coloured labels, and a
// one-line summary of what is wrong with the module for the summary tab.
class ModuleStatusWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ModuleStatusWidget(QWidget *parent = nullptr);
    ~ModuleStatusWidget() override;

    void setLowVoltageModule(bool on) { m_lowVoltageModule = on; }
    bool isLowVoltageModule() const { return m_lowVoltageModule; }
    // true: the stop event reads "Stop"; false: "Live Insert".
    void setStopWording(bool stop);
    bool stopWording() const { return m_stopWording; }
    // Rich text of the last "bad" label of the latest status update; empty when all is well.
    QString summaryText() const { return m_summaryText; }

public slots:
    void updateStatus(ModuleStatus status);
    void updateEventStatus(ModuleEventStatus eventStatus);
    void enableClearButton(bool enable);

signals:
    void clearEventsClicked();

private:
    Ui::ModuleStatusWidget *m_ui;
    bool m_lowVoltageModule = false;
    bool m_stopWording = true;
    ModuleEventStatus m_lastEventStatus;
    QString m_summaryText;
};
