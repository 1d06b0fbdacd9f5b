#pragma once
// The channel status / control dialog: the complete status word, event status
// and event mask of the main window's current channel as rows of check boxes,
// the switchable bits of its control word, and the clearing of its events. It
// holds no module: values come in through the update slots, requests leave as
// signals that the main window applies to its current module.

#include <QDialog>
#include <QString>

#include "channelcontrol.h"
#include "channeleventmask.h"
#include "channeleventstatus.h"
#include "channelstatus.h"
#include "modulecontrol.h"

class CrateSession;

namespace Ui {
class DialogChannelControl;
}

class DialogChannelControl : public QDialog
{
    Q_OBJECT

public:
    explicit DialogChannelControl(QWidget *parent = nullptr);
    ~DialogChannelControl() override;

    // Connects the update slots and the request signals to the session.
    void bind(CrateSession *session);

    int serialNumber() const { return m_serialNumber; }
    // -1 until the main window has named a channel.
    int channel() const { return m_channel; }
    ChannelControl control() const { return m_control; }
    ModuleControl moduleControl() const { return m_moduleControl; }

signals:
    void setChannelControl(int serialNumber, int channel, ChannelControl control);
    void clearChannelEvents(int serialNumber, int channel);
    void setChannelEventMask(int serialNumber, int channel, ChannelEventMask eventMask);
    // Part of the dialog's interface to the main window; no control here emits them.
    void clearModuleEventChannelStatus(int serialNumber);
    void setModuleEventChannelMask(int serialNumber, quint32 mask);
    void setChannelVoltageNominal(int serialNumber, int channel, float value);
    void setChannelCurrentNominal(int serialNumber, int channel, float value);

public slots:
    void currentChannelChanged(int serialNumber, int channel);
    void updateChannelStatus(int serialNumber, int channel, ChannelStatus status);
    void updateChannelEventStatus(int serialNumber, int channel, ChannelEventStatus eventStatus);
    void updateChannelEventMask(int serialNumber, int channel, ChannelEventMask eventMask);
    void updateChannelControl(int serialNumber, int channel, ChannelControl control);
    void updateModuleControl(int serialNumber, ModuleControl control);
    void updateModuleFirmwareName(int serialNumber, QString firmwareName);
    void updateChannelVoltageNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelVoltageHardwareNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentHardwareNominal(int serialNumber, int channel, float value, QString unit);

private slots:
    void on_btnSetControl_clicked();
    void on_btnClearEvents_clicked();
    void on_btnSetMask_clicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyTitle();
    void showControl();
    void forgetShownChannel();

    Ui::DialogChannelControl *m_ui;
    int m_serialNumber = 0;
    int m_channel = -1;
    ChannelControl m_control;
    bool m_controlKnown = false;
    ModuleControl m_moduleControl;
    float m_voltageNominal = 0.0f;
    QString m_voltageUnit;
    float m_currentNominal = 0.0f;
    QString m_currentUnit;
    float m_voltageHardwareNominal = 0.0f;
    float m_currentHardwareNominal = 0.0f;
};
