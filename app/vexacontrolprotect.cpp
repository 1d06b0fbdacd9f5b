// The main window's protection commands and dialogs: overview, bounds, current
// trip, external inhibit, variable groups, interlock out, supplies and user
// nominal values. Each modeless dialog is created on first use, wired once and
// kept; the modal ones are filled here, run, and applied to the modules.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "applog.h"
#include "basemodule.h"
#include "channeltable.h"
#include "dialogchannelbounds.h"
#include "dialogflexgroups.h"
#include "dialoginhibit.h"
#include "dialoginterlockout.h"
#include "dialogoverview.h"
#include "dialogsetcurrent.h"
#include "dialogsetusernominalvalues.h"
#include "dialogsuppliestemplimits.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {
template <typename T> T *shown(T *dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}
} // namespace

void VexaControl::unlockServiceDialogs()
{
    for (QAction *action : {m_ui->actionInterlockOut, m_ui->actionVariableGroups, m_ui->actionSetChannelNominalValues}) {
        action->setVisible(true);
        action->setEnabled(true);
    }
}

DialogOverview *VexaControl::overviewDialog() const
{
    return qobject_cast<DialogOverview *>(m_dialogOverview.data());
}

void VexaControl::setOverviewHeaders()
{
    DialogOverview *overview = overviewDialog();
    if (!overview)
        return;
    for (BaseModule *module : std::as_const(m_modules))
        overview->setModuleHeader(module->serialNumber(),
                                  tr("%1\n%2").arg(module->address(), module->firmwareName()),
                                  module->firmwareName(), module->firmwareRelease());
}

void VexaControl::on_actionModuleOverview_triggered()
{
    auto *overview = overviewDialog();
    if (!overview) {
        overview = new DialogOverview(this);
        m_dialogOverview = overview;
        connect(this, qOverload<int, int, QString, QString>(&VexaControl::updateChannelVoltageMeasure), overview,
                [overview](int serial, int channel, const QString &value, const QString &) {
                    overview->updateChannelVoltageMeasure(serial, channel, value);
                });
        connect(this, qOverload<int, int, QString, QString>(&VexaControl::updateChannelCurrentMeasure), overview,
                [overview](int serial, int channel, const QString &value, const QString &) {
                    overview->updateChannelCurrentMeasure(serial, channel, value);
                });
        connect(this, &VexaControl::updateChannelVoltage, overview, &DialogOverview::updateChannelVoltage);
        connect(this, &VexaControl::updateChannelVoltageUnit, overview, &DialogOverview::updateChannelVoltageUnit);
        connect(this, &VexaControl::updateChannelCurrentUnit, overview, &DialogOverview::updateChannelCurrentUnit);
        connect(this, &VexaControl::updateModuleRunningState, overview, &DialogOverview::updateModuleRunningState);
    }
    overview->reset();
    setOverviewHeaders();
    shown(overview);
    refreshOverview();
}

DialogChannelBounds *VexaControl::boundsDialog() const
{
    return qobject_cast<DialogChannelBounds *>(m_dialogChannelBounds.data());
}

void VexaControl::on_actionBounds_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    auto *bounds = boundsDialog();
    if (!bounds) {
        bounds = new DialogChannelBounds(this);
        m_dialogChannelBounds = bounds;
        connect(this, &VexaControl::updateChannelVoltageNominal, bounds,
                &DialogChannelBounds::updateChannelVoltageNominal);
        connect(this, &VexaControl::updateChannelCurrentNominal, bounds,
                &DialogChannelBounds::updateChannelCurrentNominal);
        connect(this, &VexaControl::updateChannelControl, bounds, &DialogChannelBounds::updateChannelControl);
        connect(this, &VexaControl::updateChannelVoltageInterlockMinSet, bounds,
                &DialogChannelBounds::updateChannelVoltageInterlockMinSet);
        connect(this, &VexaControl::updateChannelVoltageInterlockMaxSet, bounds,
                &DialogChannelBounds::updateChannelVoltageInterlockMaxSet);
        connect(this, &VexaControl::updateChannelCurrentInterlockMinSet, bounds,
                &DialogChannelBounds::updateChannelCurrentInterlockMinSet);
        connect(this, &VexaControl::updateChannelCurrentInterlockMaxSet, bounds,
                &DialogChannelBounds::updateChannelCurrentInterlockMaxSet);
        connect(this, &VexaControl::currentChannelChanged, bounds, &DialogChannelBounds::currentChannelChanged);
        // Capability and precisions belong to the module shown.
        connect(this, &VexaControl::currentModuleChanged, bounds, [this, bounds](int) {
            if (BaseModule *m = currentModule()) {
                bounds->setAsymmetricCapable(m->canSetAsymmetricBounds());
                bounds->setVoltageDecimals(m->voltagePrecision());
                bounds->setCurrentDecimals(m->currentPrecision());
            }
        });
        connect(bounds, &DialogChannelBounds::setChannelBounds, this, &VexaControl::setChannelBounds);
        connect(bounds, &DialogChannelBounds::setChannelControl, this, &VexaControl::setChannelControl);
    }
    bounds->setAsymmetricCapable(module->canSetAsymmetricBounds());
    bounds->setVoltageDecimals(module->voltagePrecision());
    bounds->setCurrentDecimals(module->currentPrecision());
    bounds->currentChannelChanged(module->serialNumber(), qMax(0, currentChannel()));
    shown(bounds);
    // Ranges and values at once rather than with the next module refresh.
    m_moduleRefreshPending = true;
}

// Current trip: the set current and, where the channels regulate their
// current, the delayed trip. scope: ScopeChannels (the current channel),
// ScopeModule (all channels of the current module), ScopeAllModules.
void VexaControl::setCurrentTrip(int scope)
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const int channel = qMax(0, currentChannel());
    const QList<BaseModule *> targets = scope == ScopeAllModules ? m_modules : QList<BaseModule *>{module};
    QList<float> nominals;
    for (BaseModule *m : targets) {
        if (scope == ScopeChannels) {
            nominals.append(std::fabs(m->channelCurrentNominal(channel)));
            continue;
        }
        for (int ch = 0; ch < m->channelNumber(); ++ch)
            nominals.append(std::fabs(m->channelCurrentNominal(ch)));
    }
    if (nominals.isEmpty())
        return;
    const float largest = *std::max_element(nominals.begin(), nominals.end());
    const float smallest = *std::min_element(nominals.begin(), nominals.end());
    bool capable = false;
    for (BaseModule *m : targets)
        capable = capable || m->isDelayedTripCapable();

    module->refreshAllDelayedTripActions();
    DialogSetCurrent dialog(this);
    dialog.setChannel(scope == ScopeChannels ? channel : -1);
    dialog.setUnit(module->currentUnit(channel));
    dialog.setDecimals(module->currentPrecision());
    dialog.setMaximum(module->siCurrentToUserCurrent(largest));
    dialog.setLowestMaximum(module->siCurrentToUserCurrent(smallest));
    dialog.setValue(module->siCurrentToUserCurrent(module->channelCurrentSet(channel)));
    dialog.setDelayedTripCapable(capable);
    dialog.setDelayedTrip(module->channelDelayedTripEnabled(channel));
    dialog.setDelay(module->channelDelayedTripTime(channel));
    dialog.setAction(module->channelDelayedTripAction(channel));
    QPointer<BaseModule> guard = module;
    if (dialog.exec() != QDialog::Accepted || !guard)
        return;

    const float current = module->userCurrentToSiCurrent(float(dialog.value()));
    const bool trip = dialog.delayedTrip();
    const auto action = OutputSupervisionAction(trip ? dialog.action() : int(delayedTripOff));
    const int delay = trip ? dialog.delay() : 0;
    // The modules may have been replaced while the dialog was open.
    for (BaseModule *m : targets) {
        if (!m_modules.contains(m))
            continue;
        if (scope == ScopeChannels) {
            m->setChannelCurrentSet(channel, current);
            if (m->isDelayedTripCapable())
                m->setChannelDelayedTripAction(channel, action, delay);
        } else {
            m->setAllChannelsCurrentSet(current);
            if (m->isDelayedTripCapable())
                m->setAllChannelsDelayedTripAction(action, delay);
        }
    }
}

void VexaControl::on_actionSetChannelCurrentTrip_triggered()
{
    setCurrentTrip(ScopeChannels);
}

void VexaControl::on_actionSetAllChannelsCurrentTrip_triggered()
{
    setCurrentTrip(ScopeModule);
}

void VexaControl::on_actionSetAllModulesCurrentTrip_triggered()
{
    setCurrentTrip(ScopeAllModules);
}

void VexaControl::setInhibitAction(int scope)
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const int channel = qMax(0, currentChannel());
    module->refreshAllInhibitActions();
    DialogInhibit dialog(this);
    dialog.setChannel(scope == ScopeChannels ? channel : -1);
    dialog.setAction(module->channelInhibitAction(channel));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto action = OutputSupervisionAction(dialog.action());
    const QList<BaseModule *> targets = scope == ScopeAllModules ? m_modules : QList<BaseModule *>{module};
    for (BaseModule *m : targets) {
        if (!m_modules.contains(m))
            continue;
        if (scope == ScopeChannels)
            m->setChannelInhibitAction(channel, action);
        else
            m->setAllChannelsInhibitAction(action);
    }
}

void VexaControl::on_actionSetChannelExternalInhibitAction_triggered()
{
    setInhibitAction(ScopeChannels);
}

void VexaControl::on_actionSetAllChannelsExternalInhibitAction_triggered()
{
    setInhibitAction(ScopeModule);
}

void VexaControl::on_actionSetAllModulesExternalInhibitAction_triggered()
{
    setInhibitAction(ScopeAllModules);
}

void VexaControl::on_actionVariableGroups_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    auto *groups = qobject_cast<DialogFlexGroups *>(m_dialogFlexGroups.data());
    if (!groups) {
        groups = new DialogFlexGroups(this);
        m_dialogFlexGroups = groups;
        connect(this, &VexaControl::updateModuleFlexGroups, groups, &DialogFlexGroups::updateModuleFlexGroups);
        connect(groups, &DialogFlexGroups::getFlexGroupData, this, &VexaControl::getFlexGroupData);
        connect(groups, &DialogFlexGroups::setFlexGroup, this, &VexaControl::setFlexGroup);
    }
    groups->setDeviceClass(module->deviceClass());
    groups->setChannelCount(module->channelNumber());
    // The first request carries the module's serial number; later ones the
    // number of the last answer.
    getFlexGroupData(module->serialNumber(), 0);
    shown(groups);
}

void VexaControl::refreshInterlockOut()
{
    auto *interlock = qobject_cast<DialogInterlockOut *>(m_dialogInterlockOut.data());
    BaseModule *module = currentModule();
    if (!interlock || !interlock->isVisible() || !module)
        return;
    const int serial = module->serialNumber();
    emit updateInterlockControl(serial, module->GetModuleIlkOutControl());
    emit updateInterlockStatus(serial, module->GetModuleIlkOutStatus());
    emit updateInterlockCount(serial, module->GetModuleIlkOutCount());
    emit updateInterlockLastTrigger(serial, module->GetModuleIlkOutLastTrigger());
    emit updateInterlockChannelActualActive(serial, module->GetModuleIlkOutChnActualActive());
    emit updateInterlockChannelEverTriggered(serial, module->GetModuleIlkOutChnEverTriggered());
}

void VexaControl::on_actionInterlockOut_triggered()
{
    auto *interlock = qobject_cast<DialogInterlockOut *>(m_dialogInterlockOut.data());
    if (!interlock) {
        interlock = new DialogInterlockOut(this);
        m_dialogInterlockOut = interlock;
        connect(this, &VexaControl::updateInterlockStatus, interlock, &DialogInterlockOut::updateInterlockStatus);
        connect(this, &VexaControl::updateInterlockControl, interlock, &DialogInterlockOut::updateInterlockControl);
        connect(this, &VexaControl::updateInterlockCount, interlock, &DialogInterlockOut::updateInterlockCount);
        connect(this, &VexaControl::updateInterlockLastTrigger, interlock,
                &DialogInterlockOut::updateInterlockLastTrigger);
        connect(this, &VexaControl::updateInterlockChannelActualActive, interlock,
                &DialogInterlockOut::updateInterlockChannelActualActive);
        connect(this, &VexaControl::updateInterlockChannelEverTriggered, interlock,
                &DialogInterlockOut::updateInterlockChannelEverTriggered);
        connect(interlock, &DialogInterlockOut::setInterlockControl, this, &VexaControl::setInterlockOutControl);
    }
    shown(interlock);
    refreshInterlockOut();
}

void VexaControl::on_actionSuppliesAndTemperature_triggered()
{
    auto *supplies = qobject_cast<DialogSuppliesTempLimits *>(m_dialogSuppliesTempLimits.data());
    if (!supplies) {
        supplies = new DialogSuppliesTempLimits(this);
        m_dialogSuppliesTempLimits = supplies;
        connect(this, &VexaControl::updateModuleSupplyP5, supplies, &DialogSuppliesTempLimits::updateModuleSupplyP5);
        connect(this, &VexaControl::updateModuleSupplyP12, supplies, &DialogSuppliesTempLimits::updateModuleSupplyP12);
        connect(this, &VexaControl::updateModuleSupplyN12, supplies, &DialogSuppliesTempLimits::updateModuleSupplyN12);
        connect(this, &VexaControl::updateModuleTemperature, supplies,
                &DialogSuppliesTempLimits::updateModuleTemperature);
        connect(this, &VexaControl::updateModuleVoltageHardwareLimit, supplies,
                &DialogSuppliesTempLimits::updateModuleVoltageHardwareLimit);
        connect(this, &VexaControl::updateModuleCurrentHardwareLimit, supplies,
                &DialogSuppliesTempLimits::updateModuleCurrentHardwareLimit);
    }
    shown(supplies);
    m_moduleRefreshPending = true;
}

void VexaControl::on_actionSetChannelNominalValues_triggered()
{
    QPointer<BaseModule> module = currentModule();
    if (!module)
        return;
    const int channel = qMax(0, currentChannel());
    ModuleControl control = module->control();
    control.setSetSTOP(true);
    module->setControl(control);

    const float voltageNominal = module->channelVoltageNominal(channel);
    const float currentNominal = module->siCurrentToUserCurrent(module->channelCurrentNominal(channel));
    DialogSetUserNominalValues dialog(this);
    dialog.setVoltageUnit(module->voltageUnit(channel));
    dialog.setCurrentUnit(module->currentUnit(channel));
    dialog.setVoltageDecimals(module->voltagePrecision());
    dialog.setCurrentDecimals(module->currentPrecision());
    dialog.setVoltageMaximum(std::fabs(module->channelVoltageHardwareNominal(channel)));
    dialog.setCurrentMaximum(std::fabs(module->siCurrentToUserCurrent(module->channelCurrentHardwareNominal(channel))));
    dialog.setVoltageNominal(voltageNominal);
    dialog.setCurrentNominal(currentNominal);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!module)
        return;
    if (accepted) {
        if (float(dialog.voltageNominal()) != voltageNominal)
            module->setChannelVoltageNominal(channel, float(dialog.voltageNominal()));
        if (float(dialog.currentNominal()) != currentNominal)
            module->setChannelCurrentNominal(channel, module->userCurrentToSiCurrent(float(dialog.currentNominal())));
    }
    control = module->control();
    control.setSetSTOP(false);
    module->setControl(control);
    module->setConnectionState(ModuleConnectionState::Unknown);
}
