#pragma once
// The automatic dialog: limits, increment, interval and scope of the voltage
// cycle, which check follows each step, Start/Stop, and the check messages.
// It runs nothing itself: the timer's owner gets the limits, scope and check
// type through automaticSettingsChanged (and settings()), and Start/Stop and
// interval changes through the two timer signals.

#include "autocycler.h"

#include <QDialog>

class CrateSession;

namespace Ui {
class DialogAutomatic;
}

class DialogAutomatic : public QDialog
{
    Q_OBJECT

public:
    explicit DialogAutomatic(QWidget *parent = nullptr);
    ~DialogAutomatic() override;

    // Connects the dialog to the session's auto timer and hands it the current settings.
    void bind(CrateSession *session);

    bool isRunning() const { return m_running; }
    // Scope: "Selected Channel" 0, "Selected Module" 1, "Whole System" 2, otherwise 3.
    int scope() const;
    AutoCycler::Settings settings() const;

signals:
    void automaticTimerIntervalChanged(int interval);
    void automaticTimerEnabled(bool enabled);
    // Any of limits, increment, scope or check type changed; takes effect at the next step.
    void automaticSettingsChanged(AutoCycler::Settings settings);

public slots:
    void log(QString message);
    // The timer's owner stopped the cycle (a log file failed): back to idle
    // without asking anyone to stop again.
    void automaticTimerStopped();

    void on_btnStartStop_clicked();
    void on_sbInterval_valueChanged(int arg1);

private:
    void showRunning();

    Ui::DialogAutomatic *m_ui;
    bool m_running = false;
};
