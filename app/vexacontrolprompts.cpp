// Targets and value prompts of the main window's commands: which modules and
// channels a command writes, and the voltage, current and ramp questions with
// the bounds they accept.

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
    // The nominal values the crate thread read when each module first answered.
    auto nominal = [this, voltage](BaseModule *m, int channel) {
        const ModuleSnapshot values = m_session->snapshot(m);
        return std::fabs(voltage ? values.voltageNominal.value(channel) : values.currentNominal.value(channel));
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
    const double initial = m_session->snapshot(module).voltageSet.value(channel);
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
    const double initial = module->siCurrentToUserCurrent(m_session->snapshot(module).currentSet.value(channel));
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
        m_session->snapshot(module).voltageRampSpeed, 0.001, module->maximumVoltageRampSpeed(), 3, &ok);
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
                                                 m_session->snapshot(module).currentRampSpeed, 1.0, 100.0, 1, &ok);
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
    runOn({module}, [rate, rise](BaseModule *m) {
        for (int channel = 0; channel < m->channelNumber(); ++channel) {
            if (rise)
                m->setChannelVoltageRiseRate(channel, rate);
            else
                m->setChannelVoltageFallRate(channel, rate);
        }
    });
}
