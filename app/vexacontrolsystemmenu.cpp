// The System menu: commands on all modules of the crate.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "applog.h"
#include "basecontroller.h"
#include "basemodule.h"
#include "dialogcrate.h"
#include "messagebox.h"
#include "product.h"
#include "settings.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------- all modules

void VexaControl::on_actionSetAllModulesOn_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->setSelectedChannelsOn(allChannelsMask()); });
}

void VexaControl::on_actionSetAllModulesOff_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->setSelectedChannelsOff(allChannelsMask()); });
}

void VexaControl::on_actionSetAllModulesVoltage_triggered()
{
    setChannelsVoltage(ScopeAllModules);
}

void VexaControl::on_actionSetAllModulesCurrent_triggered()
{
    setChannelsCurrent(ScopeAllModules);
}

void VexaControl::on_actionSetAllModulesVoltageRamp_triggered()
{
    double value = 0.0;
    if (!askVoltageRamp(&value))
        return;
    runOn(m_session->modules(), [=](BaseModule *module) { module->setVoltageRampSpeed(float(value)); });
}

void VexaControl::on_actionSetAllModulesCurrentRamp_triggered()
{
    double value = 0.0;
    if (!askCurrentRamp(&value))
        return;
    runOn(m_session->modules(), [=](BaseModule *module) { module->setCurrentRampSpeed(float(value)); });
}

void VexaControl::on_actionClearAllModulesEvents_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->doClear(); });
}

void VexaControl::on_actionSetAllModulesEmergencyOff_triggered()
{
    runOn(m_session->modules(), [](BaseModule *module) { module->setSelectedChannelsEmergencyOff(allChannelsMask()); },
          true);
}

void VexaControl::on_actionClearAllModulesEmergencyOff_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->clearSelectedChannelsEmergencyOff(allChannelsMask()); });
}

void VexaControl::on_actionSetAllModulesFineAdjustmentOn_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->setFineAdjustment(true); });
}

void VexaControl::on_actionSetAllModulesFineAdjustmentOff_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->setFineAdjustment(false); });
}

void VexaControl::on_actionSetAllModulesKillEnable_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->setKillEnable(true); });
}

void VexaControl::on_actionSetAllModulesKillDisable_triggered()
{
    runOn(m_session->modules(), [=](BaseModule *module) { module->setKillEnable(false); });
}
