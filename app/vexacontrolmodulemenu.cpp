// The Module menu and the module tabs' fields and links: commands on the current
// or the selected modules.

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

// ---------------------------------------------------------------- module commands

void VexaControl::on_actionSetModulesVoltageRamp_triggered()
{
    double value = 0.0;
    if (!askVoltageRamp(&value))
        return;
    for (BaseModule *module : selectedModules())
        module->setVoltageRampSpeed(float(value));
}

void VexaControl::on_actionSetModulesCurrentRamp_triggered()
{
    BaseModule *module = currentModule();
    if (!module || !module->currentControl())
        return;
    double value = 0.0;
    if (!askCurrentRamp(&value))
        return;
    for (BaseModule *m : selectedModules())
        m->setCurrentRampSpeed(float(value));
}

void VexaControl::on_actionClearAllEvents_triggered()
{
    if (BaseModule *module = currentModule())
        module->doClear();
}

void VexaControl::on_clearModuleEventsButton_clicked()
{
    on_actionClearAllEvents_triggered();
}

void VexaControl::on_actionAdcSampleRate_triggered()
{
    QPointer<BaseModule> module = currentModule();
    if (!module)
        return;
    const QStringList items = {QStringLiteral("50"), QStringLiteral("60"), QStringLiteral("100"), QStringLiteral("500")};
    int current = items.indexOf(QString::number(module->adcSamplesPerSecond()));
    if (current < 0)
        current = items.indexOf(QStringLiteral("500"));
    bool ok = false;
    const QString item = MessageBox::getItem(this, productTitle(), tr("Choose ADC Sample Rate (samples per second):"),
                                             items, current, false, &ok);
    if (ok && !item.isEmpty() && module)
        module->setAdcSamplesPerSecond(item.toUInt(nullptr, 10));
}

void VexaControl::on_actionDigitalFilter_triggered()
{
    QPointer<BaseModule> module = currentModule();
    if (!module)
        return;
    const QStringList items = {QStringLiteral("1"), QStringLiteral("16"), QStringLiteral("64"), QStringLiteral("256"),
                               QStringLiteral("1024")};
    int current = items.indexOf(QString::number(module->digitalFilter()));
    if (current < 0)
        current = items.indexOf(QStringLiteral("64"));
    bool ok = false;
    const QString item = MessageBox::getItem(this, productTitle(), tr("Choose Digital Filter averaging steps:"), items,
                                             current, false, &ok);
    if (ok && !item.isEmpty() && module)
        module->setDigitalFilter(item.toUInt(nullptr, 10));
}

void VexaControl::on_actionCalibrationMode_triggered(bool checked)
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    module->setFactoryMode(checked ? FactoryModeOn : FactoryModeOff);
    // Read every value of the module anew in the other mode.
    module->setConnectionState(ModuleConnectionState::Unknown);
}

void VexaControl::on_actionSetFineAdjustmentOn_triggered()
{
    if (BaseModule *module = currentModule())
        module->setFineAdjustment(true);
}

void VexaControl::on_actionSetFineAdjustmentOff_triggered()
{
    if (BaseModule *module = currentModule())
        module->setFineAdjustment(false);
}

void VexaControl::on_actionSetAllChannelsOn_triggered()
{
    for (BaseModule *module : selectedModules())
        module->setSelectedChannelsOn(allChannelsMask());
}

void VexaControl::on_actionSetAllChannelsOff_triggered()
{
    for (BaseModule *module : selectedModules())
        module->setSelectedChannelsOff(allChannelsMask());
}

void VexaControl::on_actionSetAllChannelsVoltageRiseRate_triggered()
{
    QPointer<BaseModule> module = currentModule();
    if (!module)
        return;
    double rate = 0.0;
    if (askRate(tr("Input Voltage Rise Rate (V/s) for all Channels:"), module->channelVoltageRiseRate(qMax(0, currentChannel())), &rate) && module)
        setAllChannelsRate(module, float(rate), true);
}

void VexaControl::on_actionSetAllChannelsVoltageFallRate_triggered()
{
    QPointer<BaseModule> module = currentModule();
    if (!module)
        return;
    double rate = 0.0;
    if (askRate(tr("Input Voltage Fall Rate (V/s) for all Channels:"), module->channelVoltageFallRate(qMax(0, currentChannel())), &rate) && module)
        setAllChannelsRate(module, float(rate), false);
}

void VexaControl::setChannelsVoltage(int scope)
{
    double value = 0.0;
    if (!askVoltage(scope, &value))
        return;
    const QList<BaseModule *> targets = scope == ScopeAllModules ? m_session->modules() : selectedModules();
    for (BaseModule *module : targets)
        module->setAllChannelsVoltageSet(float(value));
}

void VexaControl::setChannelsCurrent(int scope)
{
    double value = 0.0;
    if (!askCurrent(scope, &value))
        return;
    const QList<BaseModule *> targets = scope == ScopeAllModules ? m_session->modules() : selectedModules();
    for (BaseModule *module : targets)
        module->setAllChannelsCurrentSet(float(value));
}

void VexaControl::on_actionSetAllVoltages_triggered()
{
    setChannelsVoltage(m_session->modules().size() == 1 ? ScopeModule : ScopeSelectedModules);
}

void VexaControl::on_actionSetAllCurrents_triggered()
{
    setChannelsCurrent(m_session->modules().size() == 1 ? ScopeModule : ScopeSelectedModules);
}

void VexaControl::on_actionSetAllChannelsVoltageIncremental_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const int n = module->channelNumber();
    if (n <= 0)
        return;
    const double nominal = std::fabs(module->channelVoltageNominal(0));
    const double step = std::min(100.0, nominal / n);
    double value = m_staircaseDescending ? nominal : nominal - (n - 1) * step;
    const double delta = m_staircaseDescending ? -step : step;
    for (int channel = 0; channel < n; ++channel) {
        module->setChannelVoltageSet(channel, float(std::floor(value)));
        value += delta;
    }
    m_staircaseDescending = !m_staircaseDescending;
}

void VexaControl::on_actionSetAllChannelsEmergencyOff_triggered()
{
    if (BaseModule *module = currentModule())
        module->setSelectedChannelsEmergencyOff(allChannelsMask());
}

void VexaControl::on_actionClearAllChannelsEmergencyOff_triggered()
{
    if (BaseModule *module = currentModule())
        module->clearSelectedChannelsEmergencyOff(allChannelsMask());
}

void VexaControl::on_actionSetKillEnable_triggered()
{
    if (BaseModule *module = currentModule())
        module->setKillEnable(true);
}

void VexaControl::on_actionSetKillDisable_triggered()
{
    if (BaseModule *module = currentModule())
        module->setKillEnable(false);
}

void VexaControl::on_actionDisableAllResistors_triggered()
{
    if (BaseModule *module = currentModule())
        module->setResistor(NoResistor);
}

void VexaControl::on_actionEnableResistor1_triggered()
{
    if (BaseModule *module = currentModule())
        module->setResistor(R1);
}

void VexaControl::on_actionEnableResistor2_triggered()
{
    if (BaseModule *module = currentModule())
        module->setResistor(R2);
}

void VexaControl::on_actionEnableBothResistors_triggered()
{
    if (BaseModule *module = currentModule())
        module->setResistor(R1R2);
}

void VexaControl::on_actionDoMultiplex_triggered()
{
    if (BaseModule *module = currentModule())
        module->doMultiplex();
}

// ---------------------------------------------------------------- line edits and links

void VexaControl::on_voltageRampSpeed_returnPressed()
{
    bool ok = false;
    const float value = m_ui->voltageRampSpeed->text().toFloat(&ok);
    if (BaseModule *module = currentModule(); module && ok)
        module->setVoltageRampSpeed(value);
}

void VexaControl::on_currentRampSpeed_returnPressed()
{
    bool ok = false;
    const float value = m_ui->currentRampSpeed->text().toFloat(&ok);
    if (BaseModule *module = currentModule(); module && ok)
        module->setCurrentRampSpeed(value);
}

void VexaControl::on_channelVoltageRiseRate_returnPressed()
{
    bool ok = false;
    const float value = m_ui->channelVoltageRiseRate->text().toFloat(&ok);
    if (BaseModule *module = currentModule(); module && ok && currentChannel() >= 0)
        module->setChannelVoltageRiseRate(currentChannel(), value);
}

void VexaControl::on_channelVoltageFallRate_returnPressed()
{
    bool ok = false;
    const float value = m_ui->channelVoltageFallRate->text().toFloat(&ok);
    if (BaseModule *module = currentModule(); module && ok && currentChannel() >= 0)
        module->setChannelVoltageFallRate(currentChannel(), value);
}

void VexaControl::on_allChannelVoltageRiseRate_returnPressed()
{
    bool ok = false;
    const float value = m_ui->allChannelVoltageRiseRate->text().toFloat(&ok);
    if (BaseModule *module = currentModule(); module && ok && currentChannel() >= 0)
        setAllChannelsRate(module, value, true);
}

void VexaControl::on_allChannelVoltageFallRate_returnPressed()
{
    bool ok = false;
    const float value = m_ui->allChannelVoltageFallRate->text().toFloat(&ok);
    if (BaseModule *module = currentModule(); module && ok && currentChannel() >= 0)
        setAllChannelsRate(module, value, false);
}

void VexaControl::on_moduleKillEnable_linkActivated(const QString &)
{
    if (BaseModule *module = currentModule())
        module->setKillEnable(!module->killEnable());
}

void VexaControl::on_moduleAdjusting_linkActivated(const QString &)
{
    if (BaseModule *module = currentModule())
        module->setFineAdjustment(!module->fineAdjustment());
}
