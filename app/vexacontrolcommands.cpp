// Operator commands, context menus, service functions and closing of the main
// window. Each command picks its targets, asks for a value where needed and
// calls the module operations; the next refresh shows the result.

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

namespace {

// Unit texts in which a voltage has no practical upper bound.
bool isUnboundedVoltageUnit(const QString &unit)
{
    return unit.isEmpty() || unit == QLatin1String("Exp") || unit == QLatin1String("%");
}

constexpr double kUnboundedVoltage = 8388607.0;

bool isBipolarModule(BaseModule *module)
{
    const QString type = module->firmwareName();
    return type == QLatin1String("T26X0") || type == QLatin1String("T05X0") || type == QLatin1String("T20X0R")
           || type == QLatin1String("T23R");
}

} // namespace

// ---------------------------------------------------------------- targets

QList<BaseModule *> VexaControl::selectedModules() const
{
    QList<BaseModule *> result;
    for (int row = 0; row < m_ui->lstModules->count() && row < m_session->modules().size(); ++row)
        if (m_ui->lstModules->item(row)->isSelected())
            result.append(m_session->modules().at(row));
    return result;
}

QList<int> VexaControl::selectedChannels() const
{
    return m_ui->table->selectedRows();
}

QString VexaControl::scopeText(int scope) const
{
    switch (scope) {
    case ScopeChannels: {
        const QList<int> rows = selectedChannels();
        if (rows.size() > 1)
            return tr("the selected channels:");
        return tr("channel %1:").arg(rows.isEmpty() ? currentChannel() : rows.first());
    }
    case ScopeModule:
        return tr("all channels:");
    case ScopeSelectedModules:
        return tr("all channels in selected modules:");
    default:
        return tr("all channels in all modules:");
    }
}

// Nominal values of the channels a prompt considers: the current channel alone
// for one selected channel, the current module's channels for several channels
// and for scopes 1 and 2, every module's channels for scope 3.
QList<float> VexaControl::consideredValues(int scope, bool voltage) const
{
    QList<float> values;
    BaseModule *module = currentModule();
    if (!module)
        return values;
    auto nominal = [voltage](BaseModule *m, int channel) {
        return std::fabs(voltage ? m->channelVoltageNominal(channel) : m->channelCurrentNominal(channel));
    };
    if (scope == ScopeChannels && selectedChannels().size() <= 1) {
        const int channel = qMax(0, currentChannel());
        values.append(nominal(module, channel));
    } else if (scope == ScopeAllModules) {
        for (BaseModule *m : m_session->modules())
            for (int channel = 0; channel < m->channelNumber(); ++channel)
                values.append(nominal(m, channel));
    } else {
        for (int channel = 0; channel < module->channelNumber(); ++channel)
            values.append(nominal(module, channel));
    }
    return values;
}

bool VexaControl::askVoltage(int scope, double *value)
{
    BaseModule *module = currentModule();
    if (!module)
        return false;
    const QList<float> values = consideredValues(scope, true);
    double largest = values.isEmpty() ? 0.0 : *std::max_element(values.begin(), values.end());
    double smallest = values.isEmpty() ? 0.0 : *std::min_element(values.begin(), values.end());
    const int channel = qMax(0, currentChannel());
    // The limit is a raw full scale in volts; the prompt works in the module's
    // unit (8388607 V is 100 %).
    if (isUnboundedVoltageUnit(module->voltageUnit(channel)))
        largest = smallest = module->siVoltageToUserVoltage(float(kUnboundedVoltage));
    const double lower = isBipolarModule(module) ? -smallest : 0.0;

    // Nominal and set values are in the module's voltage unit already; the
    // labels are formatted from volts.
    QString label = tr("Input a voltage (%1...%2) for ")
                        .arg(module->formatVoltageUnit(module->userVoltageToSiVoltage(float(lower))),
                             module->formatVoltageUnit(module->userVoltageToSiVoltage(float(largest))))
                    + scopeText(scope);
    if (smallest < largest)
        label += tr("\n\nNote: some channels will only allow %1.")
                     .arg(module->formatVoltageUnit(module->userVoltageToSiVoltage(float(smallest))));
    if (module->firmwareName() == QLatin1String("T05X0"))
        label += tr("\n\nNote: the maximum delta for bipolar modules is 3000 V.");

    bool ok = false;
    const double initial = module->channelVoltageSet(channel);
    const double entered = MessageBox::getDouble(this, productTitle(), label, initial, lower, largest,
                                                 module->voltagePrecision(), &ok);
    if (!ok)
        return false;
    *value = entered;
    return true;
}

bool VexaControl::askCurrent(int scope, double *value)
{
    BaseModule *module = currentModule();
    if (!module)
        return false;
    // Currents cross the module interface in amperes: the prompt works in the
    // display unit and converts once on the way in and out.
    const QList<float> values = consideredValues(scope, false);
    const double largestSi = values.isEmpty() ? 0.0 : *std::max_element(values.begin(), values.end());
    const double smallestSi = values.isEmpty() ? 0.0 : *std::min_element(values.begin(), values.end());
    const double largest = module->siCurrentToUserCurrent(float(largestSi));

    QString label = tr("Input a current (0...%1) for ").arg(module->formatCurrentUnit(largestSi)) + scopeText(scope);
    if (smallestSi < largestSi)
        label += tr("\n\nNote: some channels will only allow %1.").arg(module->formatCurrentUnit(smallestSi));

    const int channel = qMax(0, currentChannel());
    bool ok = false;
    const double initial = module->siCurrentToUserCurrent(module->channelCurrentSet(channel));
    const double entered = MessageBox::getDouble(this, productTitle(), label, initial, 0.0, largest,
                                                 module->currentPrecision(), &ok);
    if (!ok)
        return false;
    *value = module->userCurrentToSiCurrent(float(entered));
    return true;
}

bool VexaControl::askVoltageRamp(double *value)
{
    BaseModule *module = currentModule();
    if (!module)
        return false;
    bool ok = false;
    const double entered = MessageBox::getDouble(
        this, productTitle(),
        tr("Input Voltage Ramp speed (%/s):\n\nNote: Voltage Ramp speed will be limited to 1 %\nin Delayed Trip and Kill Enable."),
        module->voltageRampSpeed(), 0.001, module->maximumVoltageRampSpeed(), 3, &ok);
    if (ok)
        *value = entered;
    return ok;
}

bool VexaControl::askCurrentRamp(double *value)
{
    BaseModule *module = currentModule();
    if (!module)
        return false;
    bool ok = false;
    const double entered = MessageBox::getDouble(this, productTitle(), tr("Input Current Ramp speed (%/s):"),
                                                 module->currentRampSpeed(), 1.0, 100.0, 1, &ok);
    if (ok)
        *value = entered;
    return ok;
}

bool VexaControl::askRate(const QString &label, double initial, double *value)
{
    bool ok = false;
    const double entered = MessageBox::getDouble(this, productTitle(), label, initial, 1.0, 1000.0, 0, &ok);
    if (ok)
        *value = entered;
    return ok;
}

void VexaControl::setAllChannelsRate(BaseModule *module, float rate, bool rise)
{
    for (int channel = 0; channel < module->channelNumber(); ++channel) {
        if (rise)
            module->setChannelVoltageRiseRate(channel, rate);
        else
            module->setChannelVoltageFallRate(channel, rate);
    }
}

// ---------------------------------------------------------------- channel commands
//
// A prompt runs its own event loop, in which a pending reconnect (after crate
// power on or a new static address) may delete every module; a command holds
// its module through a QPointer and writes nothing when the module is gone.

void VexaControl::on_actionSetChannelVoltage_triggered()
{
    QPointer<BaseModule> module = currentModule();
    double value = 0.0;
    if (!module || !askVoltage(ScopeChannels, &value) || !module)
        return;
    for (int channel : selectedChannels())
        module->setChannelVoltageSet(channel, float(value));
}

void VexaControl::on_actionSetChannelCurrent_triggered()
{
    QPointer<BaseModule> module = currentModule();
    double value = 0.0;
    if (!module || !askCurrent(ScopeChannels, &value) || !module)
        return;
    for (int channel : selectedChannels())
        module->setChannelCurrentSet(channel, float(value));
}

void VexaControl::on_actionSetChannelOn_triggered()
{
    if (BaseModule *module = currentModule())
        module->setSelectedChannelsOn(selectedChannels());
}

void VexaControl::on_actionSetChannelOff_triggered()
{
    if (BaseModule *module = currentModule())
        module->setSelectedChannelsOff(selectedChannels());
}

void VexaControl::on_actionSetChannelEmergencyOff_triggered()
{
    if (BaseModule *module = currentModule())
        module->setSelectedChannelsEmergencyOff(selectedChannels());
}

void VexaControl::on_actionClearChannelEmergencyOff_triggered()
{
    if (BaseModule *module = currentModule())
        module->clearSelectedChannelsEmergencyOff(selectedChannels());
}

void VexaControl::on_actionClearChannelEvents_triggered()
{
    if (BaseModule *module = currentModule())
        for (int channel : selectedChannels())
            module->clearChannelEventStatus(channel);
}

void VexaControl::on_clearChannelEventsButton_clicked()
{
    on_actionClearChannelEvents_triggered();
}

void VexaControl::on_actionSetChannelVoltageRiseRate_triggered()
{
    QPointer<BaseModule> module = currentModule();
    const int channel = currentChannel();
    if (!module || channel < 0)
        return;
    double rate = 0.0;
    if (!askRate(tr("Input Channel %1 Voltage Rise Rate (V/s):").arg(channel), module->channelVoltageRiseRate(channel), &rate) || !module)
        return;
    for (int row : selectedChannels())
        module->setChannelVoltageRiseRate(row, float(rate));
}

void VexaControl::on_actionSetChannelVoltageFallRate_triggered()
{
    QPointer<BaseModule> module = currentModule();
    const int channel = currentChannel();
    if (!module || channel < 0)
        return;
    double rate = 0.0;
    if (!askRate(tr("Input Channel %1 Voltage Fall Rate (V/s):").arg(channel), module->channelVoltageFallRate(channel), &rate) || !module)
        return;
    for (int row : selectedChannels())
        module->setChannelVoltageFallRate(row, float(rate));
}

void VexaControl::on_actionAutoSwitchMeasurement_triggered(bool checked)
{
    if (BaseModule *module = currentModule())
        module->setChannelBothMeasurementsEnabled(qMax(0, currentChannel()), checked);
}

void VexaControl::on_actionSetChannelExternalMeasurementOn_triggered()
{
    if (BaseModule *module = currentModule(); module && currentChannel() >= 0)
        module->setChannelExternalMeasurementEnabled(currentChannel(), true);
}

void VexaControl::on_actionSetChannelExternalMeasurementOff_triggered()
{
    if (BaseModule *module = currentModule(); module && currentChannel() >= 0)
        module->setChannelExternalMeasurementEnabled(currentChannel(), false);
}

void VexaControl::on_actionSetChannelRippleMeasurementOn_triggered()
{
    if (BaseModule *module = currentModule(); module && currentChannel() >= 0)
        module->setChannelRippleMeasurementEnabled(currentChannel(), true);
}

void VexaControl::on_actionSetChannelRippleMeasurementOff_triggered()
{
    if (BaseModule *module = currentModule(); module && currentChannel() >= 0)
        module->setChannelRippleMeasurementEnabled(currentChannel(), false);
}

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

// ---------------------------------------------------------------- all modules

void VexaControl::on_actionSetAllModulesOn_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->setSelectedChannelsOn(allChannelsMask());
}

void VexaControl::on_actionSetAllModulesOff_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->setSelectedChannelsOff(allChannelsMask());
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
    for (BaseModule *module : m_session->modules())
        module->setVoltageRampSpeed(float(value));
}

void VexaControl::on_actionSetAllModulesCurrentRamp_triggered()
{
    double value = 0.0;
    if (!askCurrentRamp(&value))
        return;
    for (BaseModule *module : m_session->modules())
        module->setCurrentRampSpeed(float(value));
}

void VexaControl::on_actionClearAllModulesEvents_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->doClear();
}

void VexaControl::on_actionSetAllModulesEmergencyOff_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->setSelectedChannelsEmergencyOff(allChannelsMask());
}

void VexaControl::on_actionClearAllModulesEmergencyOff_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->clearSelectedChannelsEmergencyOff(allChannelsMask());
}

void VexaControl::on_actionSetAllModulesFineAdjustmentOn_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->setFineAdjustment(true);
}

void VexaControl::on_actionSetAllModulesFineAdjustmentOff_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->setFineAdjustment(false);
}

void VexaControl::on_actionSetAllModulesKillEnable_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->setKillEnable(true);
}

void VexaControl::on_actionSetAllModulesKillDisable_triggered()
{
    for (BaseModule *module : m_session->modules())
        module->setKillEnable(false);
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

// ---------------------------------------------------------------- context menus

void VexaControl::on_table_customContextMenuRequested(const QPoint &pos)
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const QList<int> rows = selectedChannels();
    QMenu menu(this);
    QAction *title = menu.addAction(rows.size() > 1 ? tr("Selected Channels Menu")
                                                    : tr("Channel %1 Menu").arg(rows.isEmpty() ? currentChannel() : rows.first()));
    title->setEnabled(false);
    menu.addSeparator();
    auto add = [&menu](const QString &text, QAction *target) {
        QAction *action = menu.addAction(text);
        connect(action, &QAction::triggered, target, &QAction::trigger);
        return action;
    };
    if (module->firmwareName() == QLatin1String("T25X0")) {
        add(tr("Set External Measurement On"), m_ui->actionSetChannelExternalMeasurementOn);
        add(tr("Set External Measurement Off"), m_ui->actionSetChannelExternalMeasurementOff);
        add(tr("Set Ripple Measurement On"), m_ui->actionSetChannelRippleMeasurementOn);
        add(tr("Set Ripple Measurement Off"), m_ui->actionSetChannelRippleMeasurementOff);
        menu.addSeparator();
        menu.addAction(tr("All Channels"))->setEnabled(false);
        add(tr("Do Multiplex"), m_ui->actionDoMultiplex);
        menu.addSeparator();
        add(tr("Disable All Resistors"), m_ui->actionDisableAllResistors);
        add(tr("Enable Resistor 1"), m_ui->actionEnableResistor1);
        add(tr("Enable Resistor 2"), m_ui->actionEnableResistor2);
        add(tr("Enable Both Resistors"), m_ui->actionEnableBothResistors);
    }
    add(tr("Set Voltage..."), m_ui->actionSetChannelVoltage);
    add(tr("Set Current..."), m_ui->actionSetChannelCurrent);
    menu.addSeparator();
    add(tr("Set On"), m_ui->actionSetChannelOn);
    add(tr("Set Off"), m_ui->actionSetChannelOff);
    if (module->isWienerLowVoltage()) {
        menu.addSeparator();
        add(tr("Set Voltage Rise Rate..."), m_ui->actionSetChannelVoltageRiseRate);
        add(tr("Set Voltage Fall Rate..."), m_ui->actionSetChannelVoltageFallRate);
    }
    menu.addSeparator();
    add(tr("Set Emergency Off"), m_ui->actionSetChannelEmergencyOff);
    add(tr("Clear Emergency Off"), m_ui->actionClearChannelEmergencyOff);
    menu.addSeparator();
    add(tr("Set Current Trip..."), m_ui->actionSetChannelCurrentTrip);
    add(tr("Set External Inhibit Action..."), m_ui->actionSetChannelExternalInhibitAction);
    menu.addSeparator();
    add(tr("Clear Events"), m_ui->actionClearChannelEvents);
    menu.addSeparator();
    add(tr("Status / Control..."), m_ui->actionChannelStatusControl)->setEnabled(rows.size() <= 1);
    menu.exec(m_ui->table->viewport()->mapToGlobal(pos));
}

void VexaControl::on_lstModules_customContextMenuRequested(const QPoint &pos)
{
    QMenu menu(this);
    menu.addAction(tr("System Menu"))->setEnabled(false);
    menu.addSeparator();
    const QList<QPair<QString, QAction *>> entries = {
        {tr("Set All Voltages..."), m_ui->actionSetAllModulesVoltage},
        {tr("Set All Currents..."), m_ui->actionSetAllModulesCurrent},
        {tr("Set All On"), m_ui->actionSetAllModulesOn},
        {tr("Set All Off"), m_ui->actionSetAllModulesOff},
        {tr("Set All Emergency Off"), m_ui->actionSetAllModulesEmergencyOff},
        {tr("Clear All Emergency Off"), m_ui->actionClearAllModulesEmergencyOff},
        {tr("Set Voltage Ramp..."), m_ui->actionSetAllModulesVoltageRamp},
        {tr("Set Current Ramp..."), m_ui->actionSetAllModulesCurrentRamp},
        {tr("Clear All Events"), m_ui->actionClearAllModulesEvents}};
    for (const auto &entry : entries) {
        QAction *action = menu.addAction(entry.first);
        action->setEnabled(entry.second->isEnabled());
        connect(action, &QAction::triggered, entry.second, &QAction::trigger);
    }
    menu.exec(m_ui->lstModules->viewport()->mapToGlobal(pos));
}

void VexaControl::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(tr("Module Menu"))->setEnabled(false);
    menu.addSeparator();
    const QList<QPair<QString, QAction *>> entries = {
        {tr("Set All Voltages..."), m_ui->actionSetAllVoltages},
        {tr("Set All Currents..."), m_ui->actionSetAllCurrents},
        {tr("Set All On"), m_ui->actionSetAllChannelsOn},
        {tr("Set All Off"), m_ui->actionSetAllChannelsOff},
        {tr("Set All Emergency Off"), m_ui->actionSetAllChannelsEmergencyOff},
        {tr("Clear All Emergency Off"), m_ui->actionClearAllChannelsEmergencyOff},
        {tr("Clear All Events"), m_ui->actionClearAllEvents},
        {tr("Status / Control..."), m_ui->actionModuleStatusControl},
        {tr("Set Voltage Ramp..."), m_ui->actionSetModulesVoltageRamp},
        {tr("Set Current Ramp..."), m_ui->actionSetModulesCurrentRamp}};
    for (const auto &entry : entries) {
        QAction *action = menu.addAction(entry.first);
        action->setEnabled(entry.second->isEnabled());
        connect(action, &QAction::triggered, entry.second, &QAction::trigger);
    }
    menu.exec(event->globalPos());
}

// ---------------------------------------------------------------- service functions, help, close

void VexaControl::on_actionSetLiveInsertion_triggered()
{
    if (!m_session->controller())
        return;
    const bool active = m_session->controller()->isLiveInsertion();
    const QString text = active ? tr("End the Live Insertion mode for the whole system?")
                                : tr("Begin the Live Insertion mode for the whole system?\n\n"
                                     "Note: to plug out a module, turn off all channels in this module first!");
    if (MessageBox::question(this, productTitle(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes)
        m_session->controller()->setLiveInsertion(!active);
}

void VexaControl::on_actionPassword_triggered()
{
    bool ok = false;
    const QString code = MessageBox::getText(this, productTitle(), tr("Please enter password:"), QLineEdit::Password,
                                             QString(), &ok);
    if (!ok)
        return;
    // Unlocking shows an action that is hidden otherwise, or it could not be used.
    if (code == QLatin1String("tor5plank")) {
        m_ui->actionSpecialMode->setVisible(true);
        m_ui->actionSpecialMode->setEnabled(true);
    } else if (code == QLatin1String("brisel")) {
        m_ui->actionSetCrateAddress->setEnabled(true);
        if (m_dialogCrate)
            m_dialogCrate->setFanSpeedEnabled(true);
    } else if (code == QLatin1String("mavo")) {
        m_ui->actionSetFineAdjustmentOn->setVisible(true);
        m_ui->actionSetFineAdjustmentOff->setVisible(true);
        m_ui->actionSetFineAdjustmentOn->setEnabled(true);
        m_ui->actionSetFineAdjustmentOff->setEnabled(true);
        m_ui->actionSetAllModulesFineAdjustmentOn->setEnabled(true);
        m_ui->actionSetAllModulesFineAdjustmentOff->setEnabled(true);
    }
}

void VexaControl::on_actionSystemReset_triggered() {}

void VexaControl::on_actionHideShowStatusPanel_triggered()
{
    QSplitter *splitter = m_ui->splitter;
    QList<int> sizes = splitter->sizes();
    if (sizes.size() < 2)
        return;
    if (sizes.at(1) > 0) {
        m_splitterSizes = sizes;
        splitter->setSizes({sizes.at(0) + sizes.at(1), 0});
    } else {
        if (m_splitterSizes.size() < 2 || m_splitterSizes.at(1) == 0) {
            const int total = sizes.at(0);
            m_splitterSizes = {total * 2 / 3, total - total * 2 / 3};
        }
        splitter->setSizes(m_splitterSizes);
    }
}

void VexaControl::on_actionIndex_triggered()
{
    const QString path = QDir::currentPath() + QStringLiteral("/documentation/index.html");
    // The working directory's index comes first; a program started from the menu
    // runs in the home directory, so the index installed beside it is the fallback.
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/vexa/documentation/index.html"));
    const QString found = QFileInfo::exists(path) ? path : QFileInfo::exists(installed) ? installed : QString();
    if (found.isEmpty()) {
        MessageBox::warning(this, productTitle(), tr("Documentation index file not found:\n\n%1").arg(path));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(found));
}

void VexaControl::on_actionAbout_triggered()
{
    MessageBox::information(this, tr("About %1").arg(productTitle()),
                      tr("<h2>%1 Version %2</h2>"
                         "<p>Operates the high-voltage modules of an MPOD crate over SNMP.</p>")
                          .arg(productTitle(), QString::fromLatin1(Product::Version)));
}

void VexaControl::on_actionAboutQt_triggered()
{
    QMessageBox::aboutQt(this, productTitle());
}

void VexaControl::on_actionQuit_triggered()
{
    close();
}

void VexaControl::closeEvent(QCloseEvent *event)
{
    auto store = Settings::operatorStore(m_application);
    int behaviour = store->value(QStringLiteral("CloseBehavior"), 0).toInt();
    if (QGuiApplication::queryKeyboardModifiers() == Qt::ShiftModifier)
        behaviour = 2;
    const bool wasRunning = m_session->refreshTimer()->isActive();
    m_session->refreshTimer()->stop();

    if (behaviour == 0 && !m_session->modules().isEmpty()) {
        const auto answer = MessageBox::question(this, productTitle(), tr("Ramp down all high voltages?"),
                                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                                 QMessageBox::Cancel);
        if (answer == QMessageBox::No) {
            event->accept();
            return;
        }
        // Anything but an explicit Yes or No (Cancel, Escape, a box that could
        // not open) keeps the window: voltages are never ramped down unasked.
        if (answer != QMessageBox::Yes) {
            if (wasRunning)
                m_session->refreshTimer()->start();
            event->ignore();
            return;
        }
    } else if (behaviour == 2) {
        event->accept();
        return;
    }
    for (BaseModule *module : m_session->modules())
        module->setSelectedChannelsOff(allChannelsMask());
    event->accept();
}
