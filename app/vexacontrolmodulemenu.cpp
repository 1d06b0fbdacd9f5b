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
    runOn(selectedModules(), [value](BaseModule *module) { module->setVoltageRampSpeed(float(value)); });
}

void VexaControl::on_actionSetModulesCurrentRamp_triggered()
{
    BaseModule *module = currentModule();
    if (!module || !module->currentControl())
        return;
    double value = 0.0;
    if (!askCurrentRamp(&value))
        return;
    runOn(selectedModules(), [value](BaseModule *m) { m->setCurrentRampSpeed(float(value)); });
}

void VexaControl::on_actionClearAllEvents_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->doClear(); });
}

void VexaControl::on_clearModuleEventsButton_clicked()
{
    on_actionClearAllEvents_triggered();
}

// A module setting picked from a list: the module's value, read on the crate
// thread, preselects its item (else `fallback`); the pick is written back.
void VexaControl::chooseModuleSetting(const QString &label, const QStringList &items, const QString &fallback,
                                      std::function<quint32(BaseModule *)> read,
                                      std::function<void(BaseModule *, quint32)> write)
{
    QPointer<BaseModule> module = currentModule();
    if (!module)
        return;
    auto value = std::make_shared<quint32>(0);
    readThen(module, [value, read](BaseModule *m) { *value = read(m); }, [=] {
        int current = items.indexOf(QString::number(*value));
        if (current < 0)
            current = items.indexOf(fallback);
        bool ok = false;
        const QString item = MessageBox::getItem(this, productTitle(), label, items, current, false, &ok);
        // The module may have gone while the list was open.
        if (ok && !item.isEmpty() && module) {
            const quint32 picked = item.toUInt(nullptr, 10);
            runOn({module.data()}, [write, picked](BaseModule *m) { write(m, picked); });
        }
    });
}

void VexaControl::on_actionAdcSampleRate_triggered()
{
    chooseModuleSetting(tr("Choose ADC Sample Rate (samples per second):"),
                        {QStringLiteral("50"), QStringLiteral("60"), QStringLiteral("100"), QStringLiteral("500")},
                        QStringLiteral("500"), [](BaseModule *m) { return m->adcSamplesPerSecond(); },
                        [](BaseModule *m, quint32 value) { m->setAdcSamplesPerSecond(value); });
}

void VexaControl::on_actionDigitalFilter_triggered()
{
    chooseModuleSetting(tr("Choose Digital Filter averaging steps:"),
                        {QStringLiteral("1"), QStringLiteral("16"), QStringLiteral("64"), QStringLiteral("256"),
                         QStringLiteral("1024")},
                        QStringLiteral("64"), [](BaseModule *m) { return m->digitalFilter(); },
                        [](BaseModule *m, quint32 value) { m->setDigitalFilter(value); });
}

void VexaControl::on_actionCalibrationMode_triggered(bool checked)
{
    runOnCurrent([checked](BaseModule *module) {
        module->setFactoryMode(checked ? FactoryModeOn : FactoryModeOff);
        // Read every value of the module anew in the other mode.
        module->setConnectionState(ModuleConnectionState::Unknown);
    });
}

void VexaControl::on_actionSetFineAdjustmentOn_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setFineAdjustment(true); });
}

void VexaControl::on_actionSetFineAdjustmentOff_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setFineAdjustment(false); });
}

void VexaControl::on_actionSetAllChannelsOn_triggered()
{
    runOn(selectedModules(), [=](BaseModule *module) { module->setSelectedChannelsOn(allChannelsMask()); });
}

void VexaControl::on_actionSetAllChannelsOff_triggered()
{
    runOn(selectedModules(), [=](BaseModule *module) { module->setSelectedChannelsOff(allChannelsMask()); });
}

void VexaControl::on_actionSetAllChannelsVoltageRiseRate_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const ModuleSnapshot values = m_session->snapshot(module);
    double rate = 0.0;
    if (askRate(tr("Input Voltage Rise Rate (V/s) for all Channels:"),
                values.rateChannel == qMax(0, currentChannel()) ? values.channelVoltageRiseRate : 0.0, &rate))
        setAllChannelsRate(module, float(rate), true);
}

void VexaControl::on_actionSetAllChannelsVoltageFallRate_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const ModuleSnapshot values = m_session->snapshot(module);
    double rate = 0.0;
    if (askRate(tr("Input Voltage Fall Rate (V/s) for all Channels:"),
                values.rateChannel == qMax(0, currentChannel()) ? values.channelVoltageFallRate : 0.0, &rate))
        setAllChannelsRate(module, float(rate), false);
}

void VexaControl::setChannelsVoltage(int scope)
{
    double value = 0.0;
    if (!askVoltage(scope, &value))
        return;
    const QList<BaseModule *> targets = scope == ScopeAllModules ? m_session->modules() : selectedModules();
    runOn(targets, [value](BaseModule *module) { module->setAllChannelsVoltageSet(float(value)); });
}

void VexaControl::setChannelsCurrent(int scope)
{
    double value = 0.0;
    if (!askCurrent(scope, &value))
        return;
    const QList<BaseModule *> targets = scope == ScopeAllModules ? m_session->modules() : selectedModules();
    runOn(targets, [value](BaseModule *module) { module->setAllChannelsCurrentSet(float(value)); });
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
    const double nominal = std::fabs(m_session->snapshot(module).voltageNominal.value(0));
    const double step = std::min(100.0, nominal / n);
    const double first = m_staircaseDescending ? nominal : nominal - (n - 1) * step;
    const double delta = m_staircaseDescending ? -step : step;
    runOn({module}, [n, first, delta](BaseModule *m) {
        double value = first;
        for (int channel = 0; channel < n; ++channel) {
            m->setChannelVoltageSet(channel, float(std::floor(value)));
            value += delta;
        }
    });
    m_staircaseDescending = !m_staircaseDescending;
}

void VexaControl::on_actionSetAllChannelsEmergencyOff_triggered()
{
    runOnCurrent([](BaseModule *module) { module->setSelectedChannelsEmergencyOff(allChannelsMask()); }, true);
}

void VexaControl::on_actionClearAllChannelsEmergencyOff_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->clearSelectedChannelsEmergencyOff(allChannelsMask()); });
}

void VexaControl::on_actionSetKillEnable_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setKillEnable(true); });
}

void VexaControl::on_actionSetKillDisable_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setKillEnable(false); });
}

void VexaControl::on_actionDisableAllResistors_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setResistor(NoResistor); });
}

void VexaControl::on_actionEnableResistor1_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setResistor(R1); });
}

void VexaControl::on_actionEnableResistor2_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setResistor(R2); });
}

void VexaControl::on_actionEnableBothResistors_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->setResistor(R1R2); });
}

void VexaControl::on_actionDoMultiplex_triggered()
{
    runOnCurrent([=](BaseModule *module) { module->doMultiplex(); });
}

// ---------------------------------------------------------------- line edits and links

void VexaControl::on_voltageRampSpeed_returnPressed()
{
    bool ok = false;
    const float value = m_ui->voltageRampSpeed->text().toFloat(&ok);
    if (ok)
        runOnCurrent([value](BaseModule *module) { module->setVoltageRampSpeed(value); });
}

void VexaControl::on_currentRampSpeed_returnPressed()
{
    bool ok = false;
    const float value = m_ui->currentRampSpeed->text().toFloat(&ok);
    if (ok)
        runOnCurrent([value](BaseModule *module) { module->setCurrentRampSpeed(value); });
}

void VexaControl::on_channelVoltageRiseRate_returnPressed()
{
    bool ok = false;
    const float value = m_ui->channelVoltageRiseRate->text().toFloat(&ok);
    if (const int channel = currentChannel(); ok && channel >= 0)
        runOnCurrent([channel, value](BaseModule *module) { module->setChannelVoltageRiseRate(channel, value); });
}

void VexaControl::on_channelVoltageFallRate_returnPressed()
{
    bool ok = false;
    const float value = m_ui->channelVoltageFallRate->text().toFloat(&ok);
    if (const int channel = currentChannel(); ok && channel >= 0)
        runOnCurrent([channel, value](BaseModule *module) { module->setChannelVoltageFallRate(channel, value); });
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
    runOnCurrent([=](BaseModule *module) { module->setKillEnable(!module->killEnable()); });
}

void VexaControl::on_moduleAdjusting_linkActivated(const QString &)
{
    runOnCurrent([=](BaseModule *module) { module->setFineAdjustment(!module->fineAdjustment()); });
}
