// The main window's protection commands and dialogs: overview, bounds, current
// trip, external inhibit, variable groups, interlock out, supplies and user
// nominal values. Each modeless dialog is created on first use, wired once and
// kept; the modal ones are filled here, run, and applied to the modules.

#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "applog.h"
#include "basemodule.h"
#include "channeltable.h"
#include "cratesession.h"
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
#include <memory>
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
    // Module procedures that would otherwise stay hidden for good.
    for (QAction *action : {m_ui->actionInterlockOut, m_ui->actionVariableGroups, m_ui->actionSetChannelNominalValues,
                            m_ui->actionLoadProfile, m_ui->actionSaveProfile, m_ui->actionFactorySettings}) {
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
    for (BaseModule *module : modules())
        overview->setModuleHeader(module->serialNumber(),
                                  tr("%1\n%2").arg(module->address(), module->firmwareName()),
                                  module->firmwareName(), module->firmwareRelease());
}

void VexaControl::on_actionModuleOverview_triggered()
{
    auto *overview = overviewDialog();
    if (!overview) {
        m_dialogOverview = overview = new DialogOverview(this);
        overview->bind(m_session);
        // A module found after the overview was opened (a reconnect) gets its name too.
        connect(m_session, &CrateSession::updateModuleStarted, overview, [this, overview](int serial) {
            if (overview->columnOf(serial) < 0)
                setOverviewHeaders();
        });
    }
    overview->reset();
    setOverviewHeaders();
    shown(overview);
    m_session->refreshSoon(CrateSession::OverviewRefresh);
}

DialogChannelBounds *VexaControl::boundsDialog() const
{
    return qobject_cast<DialogChannelBounds *>(m_dialogChannelBounds.data());
}

// Capability and precisions of the bounds belong to the module shown.
void VexaControl::setBoundsModule()
{
    DialogChannelBounds *bounds = boundsDialog();
    BaseModule *module = currentModule();
    if (!bounds || !module)
        return;
    bounds->setAsymmetricCapable(module->canSetAsymmetricBounds());
    bounds->setVoltageDecimals(module->voltagePrecision());
    bounds->setCurrentDecimals(module->currentPrecision());
}

void VexaControl::on_actionBounds_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    auto *bounds = boundsDialog();
    if (!bounds) {
        m_dialogChannelBounds = bounds = new DialogChannelBounds(this);
        bounds->bind(m_session);
        connect(m_session, &CrateSession::currentModuleChanged, bounds, [this] { setBoundsModule(); });
    }
    setBoundsModule();
    bounds->currentChannelChanged(module->serialNumber(), qMax(0, currentChannel()));
    shown(bounds);
    // Ranges and values at once rather than with the next module refresh.
    m_session->refreshSoon(CrateSession::ModuleRefresh);
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
    const QList<BaseModule *> targets = scope == ScopeAllModules ? modules() : QList<BaseModule *>{module};
    QList<float> nominals;
    for (BaseModule *m : targets) {
        const ModuleSnapshot values = m_session->snapshot(m);
        if (scope == ScopeChannels) {
            nominals.append(std::fabs(values.currentNominal.value(channel)));
            continue;
        }
        for (int ch = 0; ch < m->channelNumber(); ++ch)
            nominals.append(std::fabs(values.currentNominal.value(ch)));
    }
    if (nominals.isEmpty())
        return;
    const float largest = *std::max_element(nominals.begin(), nominals.end());
    const float smallest = *std::min_element(nominals.begin(), nominals.end());
    bool capable = false;
    for (BaseModule *m : targets)
        capable = capable || m->isDelayedTripCapable();

    // The delayed-trip settings are read on the crate thread; the dialog follows.
    struct Trip {
        bool enabled = false;
        int time = 0;
        OutputSupervisionAction action = delayedTripOff;
    };
    auto trip = std::make_shared<Trip>();
    readThen(module, [channel, trip](BaseModule *m) {
        m->refreshAllDelayedTripActions();
        trip->enabled = m->channelDelayedTripEnabled(channel);
        trip->time = m->channelDelayedTripTime(channel);
        trip->action = m->channelDelayedTripAction(channel);
    }, [=] {
        DialogSetCurrent dialog(this);
        dialog.setChannel(scope == ScopeChannels ? channel : -1);
        dialog.setUnit(module->currentUnit(channel));
        dialog.setDecimals(module->currentPrecision());
        dialog.setMaximum(module->siCurrentToUserCurrent(largest));
        dialog.setLowestMaximum(module->siCurrentToUserCurrent(smallest));
        dialog.setValue(module->siCurrentToUserCurrent(m_session->snapshot(module).currentSet.value(channel)));
        dialog.setDelayedTripCapable(capable);
        dialog.setDelayedTrip(trip->enabled);
        dialog.setDelay(trip->time);
        dialog.setAction(trip->action);
        // The modules may be replaced while the dialog is open: runOn writes
        // only those of the same connection.
        if (dialog.exec() != QDialog::Accepted || !modules().contains(module))
            return;

        const float current = module->userCurrentToSiCurrent(float(dialog.value()));
        const bool tripOn = dialog.delayedTrip();
        const auto action = OutputSupervisionAction(tripOn ? dialog.action() : int(delayedTripOff));
        const int delay = tripOn ? dialog.delay() : 0;
        runOn(targets, [scope, channel, current, action, delay](BaseModule *m) {
            if (scope == ScopeChannels) {
                m->setChannelCurrentSet(channel, current);
                if (m->isDelayedTripCapable())
                    m->setChannelDelayedTripAction(channel, action, delay);
            } else {
                m->setAllChannelsCurrentSet(current);
                if (m->isDelayedTripCapable())
                    m->setAllChannelsDelayedTripAction(action, delay);
            }
        });
    });
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
    auto current = std::make_shared<OutputSupervisionAction>();
    readThen(module, [channel, current](BaseModule *m) {
        m->refreshAllInhibitActions();
        *current = m->channelInhibitAction(channel);
    }, [=] {
        DialogInhibit dialog(this);
        dialog.setChannel(scope == ScopeChannels ? channel : -1);
        dialog.setAction(*current);
        if (dialog.exec() != QDialog::Accepted)
            return;
        const auto action = OutputSupervisionAction(dialog.action());
        const QList<BaseModule *> targets = scope == ScopeAllModules ? modules() : QList<BaseModule *>{module};
        runOn(targets, [scope, channel, action](BaseModule *m) {
            if (scope == ScopeChannels)
                m->setChannelInhibitAction(channel, action);
            else
                m->setAllChannelsInhibitAction(action);
        });
    });
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
        m_dialogFlexGroups = groups = new DialogFlexGroups(this);
        groups->bind(m_session);
    }
    groups->setDeviceClass(module->deviceClass());
    groups->setChannelCount(module->channelNumber());
    // The first request carries the module's serial number; later ones the
    // number of the last answer.
    m_session->getFlexGroupData(module->serialNumber(), 0);
    shown(groups);
}

void VexaControl::on_actionInterlockOut_triggered()
{
    auto *interlock = qobject_cast<DialogInterlockOut *>(m_dialogInterlockOut.data());
    if (!interlock) {
        m_dialogInterlockOut = interlock = new DialogInterlockOut(this);
        interlock->bind(m_session);
    }
    shown(interlock);
    m_session->refreshSoon(CrateSession::InterlockRefresh);
}

void VexaControl::on_actionSuppliesAndTemperature_triggered()
{
    auto *supplies = qobject_cast<DialogSuppliesTempLimits *>(m_dialogSuppliesTempLimits.data());
    if (!supplies) {
        m_dialogSuppliesTempLimits = supplies = new DialogSuppliesTempLimits(this);
        supplies->bind(m_session);
    }
    shown(supplies);
    m_session->refreshSoon(CrateSession::ModuleRefresh);
}

void VexaControl::on_actionSetChannelNominalValues_triggered()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const int channel = qMax(0, currentChannel());
    // The module is stopped and its values read on the crate thread; the
    // dialog follows, and its writes go back there.
    struct Nominal {
        float voltage = 0.0f;
        float current = 0.0f; // amperes
        float voltageHardware = 0.0f;
        float currentHardware = 0.0f; // amperes
    };
    auto nominal = std::make_shared<Nominal>();
    readThen(module, [channel, nominal](BaseModule *m) {
        ModuleControl control = m->control();
        control.setSetSTOP(true);
        m->setControl(control);
        nominal->voltage = m->channelVoltageNominal(channel);
        nominal->current = m->channelCurrentNominal(channel);
        nominal->voltageHardware = m->channelVoltageHardwareNominal(channel);
        nominal->currentHardware = m->channelCurrentHardwareNominal(channel);
    }, [=] {
        const float currentNominal = module->siCurrentToUserCurrent(nominal->current);
        DialogSetUserNominalValues dialog(this);
        dialog.setVoltageUnit(module->voltageUnit(channel));
        dialog.setCurrentUnit(module->currentUnit(channel));
        dialog.setVoltageDecimals(module->voltagePrecision());
        dialog.setCurrentDecimals(module->currentPrecision());
        dialog.setVoltageMaximum(std::fabs(nominal->voltageHardware));
        dialog.setCurrentMaximum(std::fabs(module->siCurrentToUserCurrent(nominal->currentHardware)));
        dialog.setVoltageNominal(nominal->voltage);
        dialog.setCurrentNominal(currentNominal);
        const bool accepted = dialog.exec() == QDialog::Accepted;
        if (!modules().contains(module))
            return;
        const float voltage = float(dialog.voltageNominal());
        const float current = module->userCurrentToSiCurrent(float(dialog.currentNominal()));
        const bool writeVoltage = accepted && voltage != nominal->voltage;
        const bool writeCurrent = accepted && float(dialog.currentNominal()) != currentNominal;
        runOn({module}, [=](BaseModule *m) {
            if (writeVoltage)
                m->setChannelVoltageNominal(channel, voltage);
            if (writeCurrent)
                m->setChannelCurrentNominal(channel, current);
            ModuleControl control = m->control();
            control.setSetSTOP(false);
            m->setControl(control);
            m->setConnectionState(ModuleConnectionState::Unknown);
        });
    });
}
