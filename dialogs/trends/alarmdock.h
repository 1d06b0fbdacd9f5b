#pragma once
// The "Alarms" dock: the alarm list the operator acknowledges, with an optional
// sound and a desktop notification where the desktop has a tray. Alarms that
// come together (an emergency off of a whole crate) are announced once.

#include <QDockWidget>
#include <QTimer>

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

signals:
    // What the sound and the notification announced: how many alarms and the text shown.
    void announced(int count, QString text);

private slots:
    void on_acknowledgeButton_clicked();
    void on_acknowledgeAllButton_clicked();
    void on_soundBox_toggled(bool checked);

private:
    void collect(const QString &where, const QString &what);
    void announce();

    Ui::AlarmDock *m_ui;
    AlarmModel *m_model = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QTimer m_announceTimer;
    int m_pending = 0;
    QString m_latest;
};
