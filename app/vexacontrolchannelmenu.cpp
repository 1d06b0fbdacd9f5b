// The Channel menu: commands on the current or the selected channels.

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

// ---------------------------------------------------------------- channel commands
//
// A command takes the channels from the table first and hands the writes to
// the crate thread (runOnCurrent). A prompt runs its own event loop, in which
// a pending reconnect may replace every module: the module the command began
// with is written only while it belongs to the same connection.

void VexaControl::on_actionSetChannelVoltage_triggered()
{
    BaseModule *module = currentModule();
    const int generation = m_session->generation();
    double value = 0.0;
    if (!module || !askVoltage(ScopeChannels, &value))
        return;
    const QList<int> channels = selectedChannels();
    m_session->postModules({module}, [channels, value](BaseModule *m) {
        for (int channel : channels)
            m->setChannelVoltageSet(channel, float(value));
    }, false, generation);
}

void VexaControl::on_actionSetChannelCurrent_triggered()
{
    BaseModule *module = currentModule();
    const int generation = m_session->generation();
    double value = 0.0;
    if (!module || !askCurrent(ScopeChannels, &value))
        return;
    const QList<int> channels = selectedChannels();
    m_session->postModules({module}, [channels, value](BaseModule *m) {
        for (int channel : channels)
            m->setChannelCurrentSet(channel, float(value));
    }, false, generation);
}

void VexaControl::on_actionSetChannelOn_triggered()
{
    const QList<int> channels = selectedChannels();
    runOnCurrent([channels](BaseModule *module) { module->setSelectedChannelsOn(channels); });
}

void VexaControl::on_actionSetChannelOff_triggered()
{
    const QList<int> channels = selectedChannels();
    runOnCurrent([channels](BaseModule *module) { module->setSelectedChannelsOff(channels); });
}

void VexaControl::on_actionSetChannelEmergencyOff_triggered()
{
    const QList<int> channels = selectedChannels();
    runOnCurrent([channels](BaseModule *module) { module->setSelectedChannelsEmergencyOff(channels); }, true);
}

void VexaControl::on_actionClearChannelEmergencyOff_triggered()
{
    const QList<int> channels = selectedChannels();
    runOnCurrent([channels](BaseModule *module) { module->clearSelectedChannelsEmergencyOff(channels); });
}

void VexaControl::on_actionClearChannelEvents_triggered()
{
    const QList<int> channels = selectedChannels();
    runOnCurrent([channels](BaseModule *module) {
        for (int channel : channels)
            module->clearChannelEventStatus(channel);
    });
}

void VexaControl::on_clearChannelEventsButton_clicked()
{
    on_actionClearChannelEvents_triggered();
}

void VexaControl::on_actionSetChannelVoltageRiseRate_triggered()
{
    BaseModule *module = currentModule();
    const int channel = currentChannel();
    if (!module || channel < 0)
        return;
    const ModuleSnapshot values = m_session->snapshot(module);
    double rate = 0.0;
    if (!askRate(tr("Input Channel %1 Voltage Rise Rate (V/s):").arg(channel),
                 values.rateChannel == channel ? values.channelVoltageRiseRate : 0.0, &rate))
        return;
    const QList<int> channels = selectedChannels();
    runOn({module}, [channels, rate](BaseModule *m) {
        for (int row : channels)
            m->setChannelVoltageRiseRate(row, float(rate));
    });
}

void VexaControl::on_actionSetChannelVoltageFallRate_triggered()
{
    BaseModule *module = currentModule();
    const int channel = currentChannel();
    if (!module || channel < 0)
        return;
    const ModuleSnapshot values = m_session->snapshot(module);
    double rate = 0.0;
    if (!askRate(tr("Input Channel %1 Voltage Fall Rate (V/s):").arg(channel),
                 values.rateChannel == channel ? values.channelVoltageFallRate : 0.0, &rate))
        return;
    const QList<int> channels = selectedChannels();
    runOn({module}, [channels, rate](BaseModule *m) {
        for (int row : channels)
            m->setChannelVoltageFallRate(row, float(rate));
    });
}

void VexaControl::on_actionAutoSwitchMeasurement_triggered(bool checked)
{
    const int channel = qMax(0, currentChannel());
    runOnCurrent([channel, checked](BaseModule *module) { module->setChannelBothMeasurementsEnabled(channel, checked); });
}

void VexaControl::on_actionSetChannelExternalMeasurementOn_triggered()
{
    if (const int channel = currentChannel(); channel >= 0)
        runOnCurrent([channel](BaseModule *module) { module->setChannelExternalMeasurementEnabled(channel, true); });
}

void VexaControl::on_actionSetChannelExternalMeasurementOff_triggered()
{
    if (const int channel = currentChannel(); channel >= 0)
        runOnCurrent([channel](BaseModule *module) { module->setChannelExternalMeasurementEnabled(channel, false); });
}

void VexaControl::on_actionSetChannelRippleMeasurementOn_triggered()
{
    if (const int channel = currentChannel(); channel >= 0)
        runOnCurrent([channel](BaseModule *module) { module->setChannelRippleMeasurementEnabled(channel, true); });
}

void VexaControl::on_actionSetChannelRippleMeasurementOff_triggered()
{
    if (const int channel = currentChannel(); channel >= 0)
        runOnCurrent([channel](BaseModule *module) { module->setChannelRippleMeasurementEnabled(channel, false); });
}
