#pragma once
// The "Alarms" dock: the alarm list the operator acknowledges, with an optional
// sound and a desktop notification where the desktop has a tray.

#include <QDockWidget>

class AlarmModel;
class QSystemTrayIcon;

namespace Ui {
class AlarmDock;
}

class AlarmDock : public QDockWidget
{
    Q_OBJECT

public:
    explicit AlarmDock(QWidget *parent = nullptr);
    ~AlarmDock() override;

    void bind(AlarmModel *model);
    bool soundEnabled() const;
    // Sound on or off, kept in the operator store.
    void setSoundEnabled(bool enabled);

private slots:
    void on_acknowledgeButton_clicked();
    void on_acknowledgeAllButton_clicked();
    void on_soundBox_toggled(bool checked);

private:
    void announce(const QString &where, const QString &what);

    Ui::AlarmDock *m_ui;
    AlarmModel *m_model = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
};
