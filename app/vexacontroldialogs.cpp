// The main window's status / control dialogs: created on first use, connected
// once, shown again on later uses. They never call a module; their requests
// come back to the window's slots, which act on the current module.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "basemodule.h"
#include "dialogchannelcontrol.h"
#include "dialogmodulecontrol.h"

void VexaControl::connectChannelControlDialog()
{
    DialogChannelControl *d = m_dialogChannelControl;
    connect(this, &VexaControl::updateModuleControl, d, &DialogChannelControl::updateModuleControl);
    connect(this, &VexaControl::updateChannelControl, d, &DialogChannelControl::updateChannelControl);
    connect(this, &VexaControl::updateChannelStatus, d, &DialogChannelControl::updateChannelStatus);
    connect(this, &VexaControl::updateChannelEventStatus, d, &DialogChannelControl::updateChannelEventStatus);
    connect(this, &VexaControl::updateChannelEventMask, d, &DialogChannelControl::updateChannelEventMask);
    connect(this, &VexaControl::updateChannelVoltageNominal, d, &DialogChannelControl::updateChannelVoltageNominal);
    connect(this, &VexaControl::updateChannelCurrentNominal, d, &DialogChannelControl::updateChannelCurrentNominal);
    connect(this, &VexaControl::updateModuleFirmwareName, d, &DialogChannelControl::updateModuleFirmwareName);
    connect(this, &VexaControl::updateChannelVoltageHardwareNominal, d,
            &DialogChannelControl::updateChannelVoltageHardwareNominal);
    connect(this, &VexaControl::updateChannelCurrentHardwareNominal, d,
            &DialogChannelControl::updateChannelCurrentHardwareNominal);
    connect(this, &VexaControl::currentChannelChanged, d, &DialogChannelControl::currentChannelChanged);
    connect(d, &DialogChannelControl::clearChannelEvents, this, &VexaControl::clearChannelEvents);
    connect(d, &DialogChannelControl::setChannelControl, this, &VexaControl::setChannelControl);
    connect(d, &DialogChannelControl::setChannelEventMask, this, &VexaControl::setChannelEventMask);
    connect(d, &DialogChannelControl::clearModuleEventChannelStatus, this, &VexaControl::clearModuleEventChannelStatus);
    connect(d, &DialogChannelControl::setModuleEventChannelMask, this, &VexaControl::setModuleEventChannelMask);
    connect(d, &DialogChannelControl::setChannelVoltageNominal, this, &VexaControl::setChannelVoltageNominal);
    connect(d, &DialogChannelControl::setChannelCurrentNominal, this, &VexaControl::setChannelCurrentNominal);
}

void VexaControl::connectModuleControlDialog()
{
    DialogModuleControl *d = m_dialogModuleControl;
    connect(this, &VexaControl::currentModuleChanged, d, &DialogModuleControl::currentModuleChanged);
    connect(this, &VexaControl::updateModuleControl, d, &DialogModuleControl::updateModuleControl);
    connect(this, &VexaControl::updateModuleStatus, d, &DialogModuleControl::updateModuleStatus);
    connect(this, &VexaControl::updateModuleEventStatus, d, &DialogModuleControl::updateModuleEventStatus);
    connect(this, &VexaControl::updateModuleEventMask, d, &DialogModuleControl::updateModuleEventMask);
    connect(this, &VexaControl::updateModuleRestartTime, d, &DialogModuleControl::updateModuleRestartTime);
    connect(this, &VexaControl::updateModuleEventChannelStatus, d, &DialogModuleControl::updateModuleEventChannelStatus);
    connect(this, &VexaControl::updateModuleEventChannelMask, d, &DialogModuleControl::updateModuleEventChannelMask);
    connect(this, &VexaControl::updateModuleEventGroupStatus, d, &DialogModuleControl::updateModuleEventGroupStatus);
    connect(this, &VexaControl::updateModuleEventGroupMask, d, &DialogModuleControl::updateModuleEventGroupMask);
    connect(d, &DialogModuleControl::clearModuleEvents, this, &VexaControl::clearModuleEvents);
    connect(d, &DialogModuleControl::setModuleControl, this, &VexaControl::setModuleControl);
    connect(d, &DialogModuleControl::setModuleEventMask, this, &VexaControl::setModuleEventMask);
    connect(d, &DialogModuleControl::clearModuleEventChannelStatus, this, &VexaControl::clearModuleEventChannelStatus);
    connect(d, &DialogModuleControl::setModuleEventChannelMask, this, &VexaControl::setModuleEventChannelMask);
    connect(d, &DialogModuleControl::clearModuleEventGroupStatus, this, &VexaControl::clearModuleEventGroupStatus);
    connect(d, &DialogModuleControl::setModuleEventGroupMask, this, &VexaControl::setModuleEventGroupMask);
    connect(d, &DialogModuleControl::setRestartTime, this, &VexaControl::setRestartTime);
}

void VexaControl::on_actionChannelStatusControl_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    if (!m_dialogChannelControl) {
        m_dialogChannelControl = new DialogChannelControl(this);
        connectChannelControlDialog();
    }
    // Without a current row the dialog would show no channel at all.
    if (m_ui->table->currentRow() < 0 && m_ui->table->rowCount() > 0)
        m_ui->table->setCurrentCell(0, 0);
    m_dialogChannelControl->currentChannelChanged(module->serialNumber(), m_ui->table->currentRow());
    m_dialogChannelControl->updateModuleFirmwareName(module->serialNumber(), module->firmwareName());
    m_dialogChannelControl->show();
    m_dialogChannelControl->raise();
    m_dialogChannelControl->activateWindow();
}

void VexaControl::on_actionModuleStatusControl_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    if (!m_dialogModuleControl) {
        m_dialogModuleControl = new DialogModuleControl(this);
        connectModuleControlDialog();
    }
    m_dialogModuleControl->setChannelNumber(module->channelNumber());
    // The module words come with the module refresh; one is asked for now so
    // the dialog does not wait for the next.
    m_moduleRefreshPending = true;
    m_dialogModuleControl->show();
    m_dialogModuleControl->raise();
    m_dialogModuleControl->activateWindow();
}

void VexaControl::refreshModuleControlWords(BaseModule *module)
{
    // Read only for the dialog that shows them.
    if (!m_dialogModuleControl || !m_dialogModuleControl->isVisible())
        return;
    const int serial = module->serialNumber();
    emit updateModuleControl(serial, module->control());
    emit updateModuleEventMask(serial, module->eventMask());
    emit updateModuleRestartTime(serial, module->restartTime());
    emit updateModuleEventChannelStatus(serial, module->eventChannelStatus());
    emit updateModuleEventChannelMask(serial, module->eventChannelMask());
    emit updateModuleEventGroupStatus(serial, module->eventGroupStatus());
    emit updateModuleEventGroupMask(serial, module->eventGroupMask());
}
