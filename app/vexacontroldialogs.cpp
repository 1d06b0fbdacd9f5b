// The main window's status / control dialogs: created on first use and bound
// to the session once, shown again on later uses.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "basemodule.h"
#include "dialogchannelcontrol.h"
#include "dialogmodulecontrol.h"

void VexaControl::on_actionChannelStatusControl_triggered()
{
    BaseModule *module = m_session->currentModule();
    if (!module)
        return;
    if (!m_dialogChannelControl) {
        m_dialogChannelControl = new DialogChannelControl(this);
        m_dialogChannelControl->bind(m_session);
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
    BaseModule *module = m_session->currentModule();
    if (!module)
        return;
    if (!m_dialogModuleControl) {
        m_dialogModuleControl = new DialogModuleControl(this);
        m_dialogModuleControl->bind(m_session);
    }
    m_dialogModuleControl->setChannelNumber(module->channelNumber());
    m_session->requestModuleRefresh();
    m_dialogModuleControl->show();
    m_dialogModuleControl->raise();
    m_dialogModuleControl->activateWindow();
}
