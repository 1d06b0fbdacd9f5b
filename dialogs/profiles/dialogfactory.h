#pragma once
// Service procedures on the current module: a register test that walks one bit
// through the event mask and the event channel mask, and the factory reset
// (module into STOP first, then the reset itself is asked of the main window).
// Both advance on the refresh's update slots; the dialog has no timer.

#include "channelcontrol.h"
#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "modulestatus.h"

#include <QDialog>

namespace Ui {
class DialogFactory;
}

class CrateSession;

class DialogFactory : public QDialog
{
    Q_OBJECT

public:
    enum State {
        Idle = 0,
        EventMaskTest = 1,
        EventChannelMaskTest = 2,
        WaitingForStop = 3,
        ResetRequested = 4,
        ResetSeen = 5
    };

    explicit DialogFactory(QWidget *parent = nullptr);
    ~DialogFactory() override;

    // Connects the update slots and request signals to the session.
    void bind(CrateSession *session);

    State state() const { return m_state; }
    int attempts() const { return m_attempts; }
    QString logText() const;

signals:
    void setModuleEventMask(int serialNumber, ModuleEventMask mask);
    void setModuleEventChannelMask(int serialNumber, quint32 mask);
    void setModuleControl(int serialNumber, ModuleControl control);
    void storeFactorySettings(int serialNumber);
    void getHardwareNominals();

public slots:
    void updateModuleControl(int serialNumber, ModuleControl control);
    void updateModuleStatus(int serialNumber, ModuleStatus status);
    void updateModuleEventMask(int serialNumber, ModuleEventMask mask);
    void updateModuleEventChannelMask(int serialNumber, quint32 mask);
    void updateChannelVoltageNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentNominal(int serialNumber, int channel, float value, QString unit);
    void factoryResetDone(int serialNumber);
    void setChannelNumber(int serialNumber, int channelNumber);
    // The module the procedures act on (the main window's current module).
    void setSerialNumber(int serialNumber);

private slots:
    void on_btnVmeTest_clicked();
    void on_btnFactoryReset_clicked();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void log(const QString &line);
    bool isOurs(int serialNumber) const { return serialNumber == m_serialNumber; }

    Ui::DialogFactory *m_ui;
    int m_serialNumber = 0;
    State m_state = Idle;
    quint64 m_testValue = 1;
    int m_attempts = 0;
    int m_channelNumber = 0;
    ModuleControl m_control;
    ModuleStatus m_status;
};
