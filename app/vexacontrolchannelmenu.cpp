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
