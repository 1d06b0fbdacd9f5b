// The context menus of the channel table, the module list and the window.

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
    menu.addSeparator();
    menu.addAction(m_addToTrendAction);
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
