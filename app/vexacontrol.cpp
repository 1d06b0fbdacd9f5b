#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "addresslocker.h"
#include "applog.h"
#include "basecrate.h"
#include "basemodule.h"
#include "channelstatuswidget.h"
#include "channeleventmaskwidget.h"
#include "dialogcrate.h"
#include "ipv4inputdialog.h"
#include "messagebox.h"
#include "moduleeventmaskwidget.h"
#include "modulestatuswidget.h"
#include "product.h"
#include "settings.h"
#include "snmpcontroller.h"
#include "modulediscovery.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace {

const QString kRed = QStringLiteral("<font color=\"red\">");
const QString kGreen = QStringLiteral("<font color=\"green\">");
const QString kDarkGreenBold = QStringLiteral("<font color=\"darkgreen\"><strong>");

// The interval of the refresh tick: a crate on the local host is a simulator or
// a test set-up, which is refreshed more slowly.
constexpr int kLocalHostInterval = 1000;
constexpr int kRemoteInterval = 200;
constexpr int kFanSpeedMaximum = 3200;

bool isMeasurementType(BaseModule *module)
{
    return module->firmwareName() == QLatin1String("T25X0");
}

} // namespace

VexaControl::VexaControl(QWidget *parent)
    : QMainWindow(parent)
    , m_ui(new Ui::VexaControl)
{
    m_ui->setupUi(this);
    m_organisation = QString::fromLatin1(Product::Organisation);
    m_application = QString::fromLatin1(Product::Application);
    m_profilePath = QDir::homePath();
    qCDebug(lcApp).noquote() << "Using Profile path:" << m_profilePath;

    setWindowTitle(tr("%1 Version %2").arg(productTitle(), QString::fromLatin1(Product::Version)));

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1 && arguments.at(1) == QLatin1String(Product::ServiceArgument)) {
        m_serviceMode = true;
        m_ui->actionSpecialMode->setEnabled(true);
        m_ui->actionCalibrationMode->setEnabled(true);
        m_ui->actionCalibrationControl->setEnabled(true);
    }

    m_ui->table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_ui->lstModules->setContextMenuPolicy(Qt::CustomContextMenu);
    m_ui->lstModules->setSelectionMode(QAbstractItemView::ExtendedSelection);

    m_channelTableTimer = new QTimer(this);
    m_channelTableTimer->setInterval(500);
    connect(m_channelTableTimer, &QTimer::timeout, this, &VexaControl::refreshChannelTable);
    m_autoTimer = new QTimer(this);
    m_autoTimer->setInterval(30000);
    connect(m_autoTimer, &QTimer::timeout, this, &VexaControl::autoTimerUpdate);

    // The channel table gets the room; the status panel below keeps its own height.
    m_ui->splitter->setStretchFactor(0, 3);
    m_ui->splitter->setStretchFactor(1, 1);

    m_ui->table->setFocus();
    connect(m_ui->table, &ChannelTable::cellDataChanged, this, &VexaControl::tableCellDataChanged);
    connect(m_ui->moduleEventMaskWidget, &ModuleEventMaskWidget::moduleEventMaskChanged, this,
            &VexaControl::moduleEventMaskChanged);
    connect(m_ui->channelEventMaskWidget, &ChannelEventMaskWidget::channelEventMaskChanged, this,
            &VexaControl::channelEventMaskChanged);

    m_ui->actionAutomatic->setVisible(true);
    for (QAction *action :
         {m_ui->actionProgramNewBaseAddress, m_ui->actionSystemReset, m_ui->actionInterlockOut,
          m_ui->actionLoadProfile, m_ui->actionSaveProfile, m_ui->actionFactorySettings, m_ui->actionSpecialMode,
          m_ui->actionSetChannelNominalValues, m_ui->actionVariableGroups, m_ui->actionAdcSampleRate,
          m_ui->actionDigitalFilter, m_ui->actionSetLiveInsertion, m_ui->actionSetFineAdjustmentOn,
          m_ui->actionSetFineAdjustmentOff, m_ui->actionSetKillEnable, m_ui->actionSetKillDisable})
        action->setVisible(false);
    // An unlocked service action must also be reachable: a hidden action can be
    // neither seen nor triggered by its shortcut.
    if (m_serviceMode)
        m_ui->actionSpecialMode->setVisible(true);

    m_fanSpeedBar = new QProgressBar(this);
    m_fanSpeedBar->setObjectName(QStringLiteral("fanSpeedBar"));
    m_fanSpeedBar->hide();
    m_statusLabel1 = new QLabel(this);
    m_statusLabel1->setObjectName(QStringLiteral("statusLabel1"));
    m_statusLabel2 = new QLabel(this);
    m_statusLabel2->setObjectName(QStringLiteral("statusLabel2"));
    m_statusLabel3 = new QLabel(this);
    m_statusLabel3->setObjectName(QStringLiteral("statusLabel3"));
    statusBar()->addPermanentWidget(m_fanSpeedBar);
    statusBar()->addPermanentWidget(m_statusLabel1);
    statusBar()->addPermanentWidget(m_statusLabel2);
    statusBar()->addPermanentWidget(m_statusLabel3);

    m_dialogCrate = new DialogCrate(this);
    connect(this, &VexaControl::updateCrateAddress, m_dialogCrate, &DialogCrate::updateCrateAddress);
    connect(this, &VexaControl::updateCrateFirmwareRelease, m_dialogCrate, &DialogCrate::updateFirmwareRelease);
    connect(this, &VexaControl::updateCrateSupply5V, m_dialogCrate, &DialogCrate::updateSupply5V);
    connect(this, &VexaControl::updateCrateSupply24V, m_dialogCrate, &DialogCrate::updateSupply24V);
    connect(this, &VexaControl::updateCrateBattery24V, m_dialogCrate, &DialogCrate::updateBattery24V);
    connect(this, &VexaControl::updateCrateTemperatureBackPlane, m_dialogCrate,
            &DialogCrate::updateTemperatureBackPlane);
    connect(this, &VexaControl::updateCrateTemperaturePowerSupply, m_dialogCrate,
            &DialogCrate::updateTemperaturePowerSupply);
    connect(this, &VexaControl::updateCrateFanSpeed, m_dialogCrate, &DialogCrate::updateCrateFanSpeed);
    connect(this, &VexaControl::updateCrateStatus, m_dialogCrate, &DialogCrate::updateStatus);
    connect(this, &VexaControl::updateCrateEventStatus, m_dialogCrate, &DialogCrate::updateEventStatus);
    connect(this, &VexaControl::updateCratePowerOn, m_dialogCrate, &DialogCrate::updatePowerOn);
    connect(m_dialogCrate, &DialogCrate::setPowerOn, this, &VexaControl::setCratePowerOn);
    connect(m_dialogCrate, &DialogCrate::setFanSpeed, this, &VexaControl::setCrateFanSpeed);
    connect(m_dialogCrate, &DialogCrate::clearEvents, this, &VexaControl::clearCrateEvents);

    initModuleAccess();
}

VexaControl::~VexaControl()
{
    m_channelTableTimer->stop();
    m_autoTimer->stop();
    delete m_channelTableTimer;
    m_channelTableTimer = nullptr;
    delete m_autoTimer;
    m_autoTimer = nullptr;
    if (m_controller) {
        AddressLocker locker;
        locker.unlock(m_controller->address());
    }
    deleteModulesAndCrates();
    delete m_controller;
    m_controller = nullptr;
    delete m_ui;
}

int VexaControl::execAddressDialog(IpV4InputDialog &dialog)
{
    // Tests answer the address questions through the dialog helper's hooks: an
    // armed answer decides OK or Cancel, an armed value replaces the address.
    if (MessageBox::pendingAnswers() > 0) {
        const auto answer = MessageBox::question(this, dialog.windowTitle(), dialog.labelText(),
                                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
        if (answer != QMessageBox::Ok && answer != QMessageBox::Yes)
            return QDialog::Rejected;
        if (MessageBox::pendingValues() > 0) {
            bool ok = false;
            const QString address = MessageBox::getText(this, dialog.windowTitle(), dialog.labelText(),
                                                        QLineEdit::Normal, dialog.address(), &ok);
            if (ok)
                dialog.setAddress(address);
        }
        dialog.accept();
        return QDialog::Accepted;
    }
    // Nobody could close a modal dialog on the offscreen platform.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return QDialog::Rejected;
    return dialog.exec();
}

QString VexaControl::productTitle() const
{
    return QString::fromLatin1(Product::Title);
}

BaseModule *VexaControl::currentModule() const
{
    if (m_currentModuleIndex < 0 || m_currentModuleIndex >= m_modules.size())
        return nullptr;
    return m_modules.at(m_currentModuleIndex);
}

int VexaControl::currentChannel() const
{
    return m_ui->table->currentRow();
}

QLabel *VexaControl::statusLabel(int number) const
{
    switch (number) {
    case 1:
        return m_statusLabel1;
    case 2:
        return m_statusLabel2;
    case 3:
        return m_statusLabel3;
    default:
        return nullptr;
    }
}

quint64 VexaControl::allChannelsMask()
{
    return ~quint64(0);
}

void VexaControl::deleteModulesAndCrates()
{
    qDeleteAll(m_modules);
    m_modules.clear();
    for (BaseCrate *crate : std::as_const(m_crates))
        delete crate;
    m_crates.clear();
}

// ---------------------------------------------------------------- connection

QString VexaControl::lockedCrateAddress()
{
    auto store = Settings::operatorStore(m_application);
    QString address = store->value(QStringLiteral("IpAddress"), QString::fromLatin1(Product::DefaultIpAddress)).toString();
    // A store that exists but cannot be read says nothing about the crate: it
    // is reported once and the address is asked for, never taken from the
    // defaults. The store handed out is then a scratch one; the file stays.
    static bool storeProblemReported = false;
    const QString storeProblem = Settings::storeProblem(m_application);
    if (!storeProblem.isEmpty() && !storeProblemReported) {
        storeProblemReported = true;
        qCWarning(lcApp).noquote() << "unreadable settings:" << storeProblem;
        IpV4InputDialog dialog(this);
        dialog.setWindowTitle(productTitle());
        dialog.setAddress(QString());
        dialog.setLabelText(tr("The settings could not be read: %1.<br>The program starts with its default settings "
                               "and leaves that file as it is.<br>Enter the IP address of the crate:")
                                .arg(storeProblem.toHtmlEscaped()));
        if (execAddressDialog(dialog) != QDialog::Accepted)
            ::exit(2);
        address = dialog.address();
        store->setValue(QStringLiteral("IpAddress"), address);
        store->sync();
    }
    AddressLocker locker;
    if (locker.lock(address))
        return address;

    IpV4InputDialog dialog(this);
    dialog.setWindowTitle(productTitle());
    dialog.setAddress(address);
    dialog.setLabelText(tr("It seems there is already a program accessing the crate with IP address %1."
                           "<ul><li>Press Ok to connect anyway.</li>"
                           "<li>Change the IP address and press Ok to connect to another MPOD.</li>"
                           "<li>Press Cancel to quit the program.</li></ul>")
                            .arg(address));
    if (execAddressDialog(dialog) != QDialog::Accepted) {
        qCDebug(lcApp) << "address lock: the operator quit";
        // The window is not shown yet; nothing is to be saved.
        ::exit(2);
    }
    address = dialog.address();
    locker.forceLock(address);
    store->setValue(QStringLiteral("IpAddress"), address);
    store->sync();
    return address;
}

void VexaControl::setModuleActionsEnabled(bool enabled)
{
    const QList<QAction *> actions = {
        m_ui->actionStatistic, m_ui->actionModuleOverview, m_ui->actionSetAllModulesOn, m_ui->actionSetAllModulesOff,
        m_ui->actionSetAllModulesVoltage, m_ui->actionSetAllModulesCurrent, m_ui->actionSetAllModulesVoltageRamp,
        m_ui->actionSetAllModulesCurrentRamp, m_ui->actionClearAllModulesEvents, m_ui->actionSetAllModulesEmergencyOff,
        m_ui->actionClearAllModulesEmergencyOff, m_ui->actionSetAllModulesCurrentTrip,
        m_ui->actionSetAllModulesExternalInhibitAction, m_ui->actionSetModulesVoltageRamp,
        m_ui->actionSetModulesCurrentRamp, m_ui->actionClearAllEvents, m_ui->actionModuleStatusControl,
        m_ui->actionSetAllChannelsOn, m_ui->actionSetAllChannelsOff, m_ui->actionSetAllVoltages,
        m_ui->actionSetAllCurrents, m_ui->actionSetAllChannelsCurrentTrip,
        m_ui->actionSetAllChannelsExternalInhibitAction, m_ui->actionSetAllChannelsVoltageIncremental,
        m_ui->actionSetAllChannelsEmergencyOff, m_ui->actionClearAllChannelsEmergencyOff, m_ui->actionSetKillEnable,
        m_ui->actionSetKillDisable, m_ui->actionSelectChannel, m_ui->actionSetChannelVoltage,
        m_ui->actionSetChannelCurrent, m_ui->actionSetChannelCurrentTrip, m_ui->actionSetChannelExternalInhibitAction,
        m_ui->actionSetChannelOn, m_ui->actionSetChannelOff, m_ui->actionSetChannelEmergencyOff,
        m_ui->actionClearChannelEmergencyOff, m_ui->actionClearChannelEvents, m_ui->actionChannelStatusControl};
    for (QAction *action : actions)
        action->setEnabled(enabled);
    m_ui->menuModule->setEnabled(enabled);
    m_ui->menuModuleLoadModule->setEnabled(enabled);
    m_ui->menuChannel->setEnabled(enabled);
    m_ui->menuChannelLoadModule->setEnabled(enabled);
    m_ui->moduleStatusWidget->setEnabled(enabled);
    m_ui->channelStatusWidget->setEnabled(enabled);
    m_ui->channelEventMaskWidget->setEnabled(enabled);
    if (enabled) {
        m_ui->actionCrates->setEnabled(true);
        m_ui->menuSystem->setEnabled(true);
    }
}

void VexaControl::initModuleAccess()
{
    deleteModulesAndCrates();
    if (m_controller && m_controller->canBeDeleted()) {
        delete m_controller;
        m_controller = nullptr;
    }

    // No tick may run while the connection is rebuilt, and after a failed
    // attempt none may overwrite the error with the controller's status text.
    m_channelTableTimer->stop();
    m_statusLabel2->clear();
    m_statusLabel3->clear();
    m_ui->lblConnect->clear();
    m_ui->lstModules->clear();
    m_ui->table->setRowCount(0);
    m_currentModuleIndex = 0;

    const QString address = lockedCrateAddress();
    m_channelTableTimer->setInterval(address == QLatin1String("127.0.0.1") ? kLocalHostInterval : kRemoteInterval);

    if (!m_controller)
        m_controller = new SnmpController(this);
    auto *snmpController = static_cast<SnmpController *>(m_controller);
    if (!m_controller->connectTo(address)) {
        m_statusLabel3->setText(kRed + tr("Can not connect to address %1.").arg(address));
        setModuleActionsEnabled(false);
        m_ui->actionCrates->setEnabled(false);
        m_ui->menuSystem->setEnabled(false);
        return;
    }

    const ModuleDiscovery::Result found = ModuleDiscovery::discover(snmpController);
    m_modules = found.modules;
    for (BaseModule *module : std::as_const(m_modules)) {
        auto *item = new QListWidgetItem(module->address());
        item->setData(Qt::UserRole, module->serialNumber());
        m_ui->lstModules->addItem(item);
    }
    m_crates.append(found.crate);

    m_fanSpeedBar->setVisible(true);
    m_fanSpeedBar->setMaximum(kFanSpeedMaximum);
    m_fanSpeedBar->setFixedHeight(12);
    m_fanSpeedBar->setFixedWidth(150);
    m_fanSpeedBar->setFormat(tr("Fan Speed"));
    m_fanSpeedBar->setAlignment(Qt::AlignLeft);
    m_fanSpeedBar->setValue(qRound(m_crates.first()->fanSpeed()));

    m_ui->connectedModules->setText(tr("%1 Modules found.").arg(m_modules.size()));
    if (!m_modules.isEmpty())
        m_ui->lstModules->setCurrentRow(0);

    setModuleActionsEnabled(!m_modules.isEmpty());
    m_channelTableTimer->start();
}

void VexaControl::setModuleWidgetsEnabled(bool enabled)
{
    m_ui->table->setEnabled(enabled);
    m_ui->tabWidget->setEnabled(enabled);
}

// ---------------------------------------------------------------- refresh cycle

bool VexaControl::moduleAnswers(BaseModule *module)
{
    if (!module->connected())
        return false;
    // A module object knows its channel count from its description and so
    // would report "connected" for ever; whether the module still answers is
    // asked through its slot's description, which a silent module (or a crate
    // switched off) no longer gives.
    auto *snmpModule = qobject_cast<SnmpModule *>(module);
    auto *snmpController = qobject_cast<SnmpController *>(m_controller);
    if (snmpModule && snmpController)
        return !snmpController->getModuleDescription(snmpModule->slot()).isEmpty();
    return true;
}

void VexaControl::updateModuleConnectionStates()
{
    for (int row = 0; row < m_modules.size(); ++row) {
        BaseModule *module = m_modules.at(row);
        QListWidgetItem *item = m_ui->lstModules->item(row);
        ModuleConnectionState state = module->connectionState();
        if (state == ModuleConnectionState::Unknown) {
            if (item)
                item->setData(Qt::UserRole, tr("Connecting..."));
            state = ModuleConnectionState::NotConnected;
        }
        if (state == ModuleConnectionState::NotConnected) {
            if (moduleAnswers(module)) {
                const int serial = module->serialNumber();
                if (item)
                    item->setData(Qt::UserRole, serial ? QString::number(serial) : module->firmwareName());
                module->setConnectionState(ModuleConnectionState::Connecting);
                module->channelVoltageNominal(0);
                module->channelCurrentNominal(0);
            } else if (module->connectionState() == ModuleConnectionState::Unknown) {
                module->setConnectionState(ModuleConnectionState::NotConnected);
            }
        } else if (!moduleAnswers(module)) {
            if (item)
                item->setData(Qt::UserRole, tr("Not connected"));
            module->setConnectionState(ModuleConnectionState::NotConnected);
        }
    }
}

void VexaControl::refreshCrateData()
{
    if (!m_controller) {
        m_crateRefreshCounter = 0;
        return;
    }
    ++m_crateRefreshCounter;
    const int interval = qMax(1, m_channelTableTimer ? m_channelTableTimer->interval() : kRemoteInterval);
    if (m_crateRefreshCounter < 1000 / interval)
        return;
    m_crateRefreshCounter = 0;

    m_statusLabel3->setText(m_controller->connectionMessage());
    if (m_controller->isLiveInsertion())
        m_statusLabel1->setText(kGreen + tr("Live Insertion active."));
    else
        m_statusLabel1->clear();

    updateModuleConnectionStates();

    if (m_dialogCrate && m_dialogCrate->isVisible()) {
        for (BaseCrate *crate : std::as_const(m_crates)) {
            const int serial = crate->serialNumber();
            emit updateCrateAddress(serial, crate->address());
            emit updateCrateFirmwareRelease(serial, crate->firmwareRelease());
            emit updateCrateSupply5V(serial, crate->supply5V());
            emit updateCrateSupply24V(serial, crate->supply24V());
            emit updateCrateBattery24V(serial, crate->battery24V());
            emit updateCrateTemperatureBackPlane(serial, crate->temperatureBackPlane());
            emit updateCrateTemperaturePowerSupply(serial, crate->temperaturePowerSupply());
            const float fanSpeed = crate->fanSpeed();
            emit updateCrateFanSpeed(serial, fanSpeed);
            m_fanSpeedBar->setValue(qRound(fanSpeed));
            emit updateCrateStatus(serial, crate->status());
            emit updateCrateEventStatus(serial, crate->eventStatus());
            emit updateCratePowerOn(serial, crate->powerOn());
        }
    }
}

void VexaControl::setUpCurrentModule(BaseModule *module)
{
    const int serial = module->serialNumber();
    emit updateModuleFirmwareName(serial, module->firmwareName());
    const bool measurement = isMeasurementType(module);
    m_ui->menuChannelLoadModule->setEnabled(measurement);
    m_ui->menuModuleLoadModule->setEnabled(measurement);

    m_ui->moduleFirmwareName->setText(module->firmwareName());
    m_ui->moduleSerialNumber->setText(QString::number(serial));
    m_ui->moduleFirmwareRelease->setText(module->firmwareRelease());
    const int channels = module->channelNumber();
    m_ui->moduleChannelNumber->setText(QString::number(channels));
    m_ui->moduleDeviceClass->setText(QString::number(module->deviceClass()));

    const bool lowVoltage = module->isWienerLowVoltage();
    m_ui->lowVoltageChannelRampSpeedGroup->setEnabled(lowVoltage);
    m_ui->lowVoltageModuleRampSpeedGroup->setEnabled(lowVoltage);
    m_ui->highVoltageModuleRampSpeedGroup->setEnabled(!lowVoltage);
    for (QAction *action : {m_ui->actionSetChannelVoltageRiseRate, m_ui->actionSetChannelVoltageFallRate,
                            m_ui->actionSetAllChannelsVoltageRiseRate, m_ui->actionSetAllChannelsVoltageFallRate})
        action->setVisible(lowVoltage);
    if (module->firmwareName() == QLatin1String("T21X0")) {
        const quint32 release = module->decoderRelease();
        m_ui->vmeDecoderDescription->setText(tr("VME Decoder:"));
        m_ui->vmeDecoderVersion->setText(QStringLiteral("%1.%2 / %3.%4")
                                             .arg((release >> 24) & 0xff)
                                             .arg((release >> 16) & 0xff)
                                             .arg((release >> 8) & 0xff)
                                             .arg(release & 0xff));
    } else {
        m_ui->vmeDecoderDescription->clear();
        m_ui->vmeDecoderVersion->clear();
    }
    if (serial)
        m_ui->lblConnect->setText(tr("Connected to %1 sn. %2 at %3").arg(module->firmwareName()).arg(serial).arg(module->address()));
    else
        m_ui->lblConnect->setText(tr("Connected to %1 at %2").arg(module->firmwareName(), module->address()));
    statusBar()->clearMessage();
    setModuleWidgetsEnabled(true);
    m_ui->channelStatusWidget->setLowVoltageModule(lowVoltage);
    m_ui->moduleStatusWidget->setLowVoltageModule(lowVoltage);

    ChannelTable *table = m_ui->table;
    table->setChannelCount(channels);
    table->setVoltageUnitHeaders(module->voltageUnit(0));
    table->setCurrentUnitHeaders(module->currentUnit(0));
    const bool percent = module->voltageUnit(0) == QLatin1String("%");
    for (int channel = 0; channel < channels; ++channel) {
        const float vnom = module->channelVoltageNominal(channel);
        const QString vnomText = percent ? QStringLiteral("%L1").arg(double(module->userVoltageToSiVoltage(vnom)), 0, 'g', 6)
                                         : module->formatVoltage(module->userVoltageToSiVoltage(vnom));
        table->setCell(channel, ChannelTable::VoltageNominalColumn, vnomText, Qt::white);
        table->setCell(channel, ChannelTable::CurrentNominalColumn,
                       module->formatCurrent(module->channelCurrentNominal(channel)), Qt::white);
        emit updateChannelVoltageUnit(serial, channel, module->voltageUnit(channel));
        emit updateChannelCurrentUnit(serial, channel, module->currentUnit(channel));
    }
}

void VexaControl::refreshChannels(BaseModule *module)
{
    ChannelTable *table = m_ui->table;
    const int serial = module->serialNumber();
    const bool measurement = isMeasurementType(module);
    const int rows = table->rowCount();
    for (int channel = 0; channel < rows; ++channel) {
        const ChannelControl control = module->channelControl(channel);
        emit updateChannelControl(serial, channel, control);
        const ChannelStatus status = module->channelStatus(channel);
        emit updateChannelStatus(serial, channel, status);

        const QString vunit = module->voltageUnit(channel);
        const QString iunit = module->currentUnit(channel);
        const float vset = module->channelVoltageSet(channel);
        emit updateChannelVoltage(serial, channel, vset, vunit);
        const float iset = module->channelCurrentSet(channel);
        emit updateChannelCurrent(serial, channel, iset, iunit);

        const float vmeas = module->channelVoltageMeasure(channel);
        const float vmeasSi = module->userVoltageToSiVoltage(vmeas);
        const QString vmeasText = module->formatVoltage(vmeasSi);
        emit updateChannelVoltageMeasure(serial, channel, vmeasText, vunit);
        emit updateChannelVoltageMeasure(serial, channel, vmeasSi, QStringLiteral("V"));

        const float imeas = module->channelCurrentMeasure(channel);
        const bool lowRange = status.isLCR();
        const QString imeasText = lowRange ? module->formatLowCurrent(imeas) : module->formatCurrent(imeas);
        emit updateChannelCurrentMeasure(serial, channel, imeasText,
                                         lowRange ? module->lowCurrentUnit(channel) : iunit);
        emit updateChannelCurrentMeasure(serial, channel, imeas, QStringLiteral("A"));

        emit updateChannelEventStatus(serial, channel, module->channelEventStatus(channel));
        emit updateChannelEventMask(serial, channel, module->channelEventMask(channel));

        table->setCell(channel, ChannelTable::VoltageSetColumn, module->formatVoltage(module->userVoltageToSiVoltage(vset)),
                       Qt::white);
        table->setCell(channel, ChannelTable::VoltageMeasureColumn, vmeasText, Qt::white);
        table->setDelayedTrip(channel, module->channelDelayedTripEnabled(channel));
        table->setCell(channel, ChannelTable::CurrentSetColumn, module->formatCurrent(iset), Qt::white);
        table->setCell(channel, ChannelTable::CurrentMeasureColumn, module->formatCurrentUnit(imeas, lowRange), Qt::white);
        if (measurement)
            table->setMeasurementStatus(channel, control);
        else
            table->setChannelStatus(channel, control, status);
    }
    const int current = table->currentRow();
    if (current >= 0 && current < rows) {
        m_ui->channelStatusWidget->updateStatus(module->channelStatus(current));
        m_ui->channelStatusWidget->updateEventStatus(module->channelEventStatus(current));
        m_ui->channelEventMaskWidget->setMask(module->channelEventMask(current));
        if (module->isWienerLowVoltage()) {
            m_ui->channelVoltageRiseRate->setText(QString::number(module->channelVoltageRiseRate(current)));
            m_ui->channelVoltageFallRate->setText(QString::number(module->channelVoltageFallRate(current)));
        }
    }
}

void VexaControl::refreshChannelTable()
{
    if (++m_tickCounter > 5) {
        m_tickCounter = 0;
        m_moduleRefreshPending = true;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    refreshCrateData();

    BaseModule *module = currentModule();
    if (module) {
        bool readChannels = true;
        switch (module->connectionState()) {
        case ModuleConnectionState::Unknown:
            setModuleWidgetsEnabled(false);
            break;
        case ModuleConnectionState::NotConnected:
            m_statusLabel3->setText(kRed + tr("Can not connect to Module!"));
            setModuleWidgetsEnabled(false);
            readChannels = false;
            break;
        case ModuleConnectionState::Connecting:
            setUpCurrentModule(module);
            module->setConnectionState(ModuleConnectionState::Connected);
            m_moduleRefreshPending = true;
            break;
        case ModuleConnectionState::Connected:
            break;
        }
        if (readChannels) {
            if (m_moduleRefreshPending) {
                m_moduleRefreshPending = false;
                QTimer::singleShot(20, this, &VexaControl::refreshModule);
            }
            refreshChannels(module);
            if ((m_dialogStatistic && m_dialogStatistic->isVisible())
                || (m_dialogOverview && m_dialogOverview->isVisible()))
                QTimer::singleShot(20, this, &VexaControl::refreshOverview);
        }
    }
    qCDebug(lcApp).noquote() << "refreshTable(channel):" << QString::number(elapsed.nsecsElapsed() / 1e6, 'f', 3);
}

void VexaControl::refreshModule()
{
    BaseModule *module = currentModule();
    if (!module || module->connectionState() != ModuleConnectionState::Connected)
        return;
    QElapsedTimer elapsed;
    elapsed.start();
    const int serial = module->serialNumber();

    const float temperature = module->temperature(0);
    emit updateModuleTemperature(serial, 0, temperature);
    const float p5 = module->supplyP5();
    const float p12 = module->supplyP12();
    const float n12 = module->supplyN12();
    emit updateModuleSupplyP5(serial, p5);
    emit updateModuleSupplyP12(serial, p12);
    emit updateModuleSupplyN12(serial, n12);
    const float voltageLimit = module->voltageLimit();
    const float currentLimit = module->currentLimit();
    emit updateModuleVoltageHardwareLimit(serial, voltageLimit);
    emit updateModuleCurrentHardwareLimit(serial, currentLimit);
    const ModuleStatus status = module->status();
    const ModuleEventStatus eventStatus = module->eventStatus();
    emit updateModuleStatus(serial, status);
    emit updateModuleEventStatus(serial, eventStatus);
    const int channels = m_ui->table->rowCount();
    for (int channel = 0; channel < channels; ++channel) {
        const QString vunit = module->voltageUnit(channel);
        const QString iunit = module->currentUnit(channel);
        emit updateChannelVoltageNominal(serial, channel, module->channelVoltageNominal(channel), vunit);
        emit updateChannelCurrentNominal(serial, channel, module->channelCurrentNominal(channel), QStringLiteral("A"));
        emit updateChannelVoltageInterlockMaxSet(serial, channel, module->channelVoltageInterlockMaxSet(channel), vunit);
        emit updateChannelCurrentInterlockMaxSet(serial, channel, module->channelCurrentInterlockMaxSet(channel), iunit);
    }

    const bool kill = module->killEnable();
    m_ui->moduleKillEnable->setText(kill ? tr("<a href=\"kill\">enabled</a>") : tr("<a href=\"kill\">disabled</a>"));
    const bool adjusting = module->fineAdjustment();
    m_ui->moduleAdjusting->setText(adjusting ? tr("<a href=\"adjust\">on</a>") : tr("<a href=\"adjust\">off</a>"));
    const float vramp = module->voltageRampSpeed();
    const float iramp = module->currentRampSpeed();
    m_ui->voltageRampSpeed->setText(QString::number(vramp));
    m_ui->currentRampSpeed->setText(QString::number(iramp));
    if (module->isWienerLowVoltage() && channels > 0) {
        m_ui->allChannelVoltageRiseRate->setText(QString::number(module->channelVoltageRiseRate(0)));
        m_ui->allChannelVoltageFallRate->setText(QString::number(module->channelVoltageFallRate(0)));
    }
    m_ui->moduleSupplyP5->setText(QStringLiteral("%1 V").arg(double(p5), 0, 'f', 2));
    m_ui->moduleSupplyP12->setText(QStringLiteral("%1 V").arg(double(p12), 0, 'f', 2));
    m_ui->moduleSupplyN12->setText(QStringLiteral("%1 V").arg(double(n12), 0, 'f', 2));
    m_ui->moduleMeasuredTemperature->setText(QStringLiteral("%1 °C").arg(double(temperature), 0, 'f', 1));
    m_ui->moduleVoltageLimit->setText(QStringLiteral("%1 %").arg(double(voltageLimit), 0, 'f', 1));
    m_ui->moduleCurrentLimit->setText(QStringLiteral("%1 %").arg(double(currentLimit), 0, 'f', 1));
    m_ui->moduleVoltageRampSpeed->setText(QStringLiteral("%1 %/s").arg(double(vramp), 0, 'f', 3));
    m_ui->moduleCurrentRampSpeed->setText(QStringLiteral("%1 %/s").arg(double(iramp), 0, 'f', 1));
    m_ui->moduleStatusWidget->updateStatus(status);
    m_ui->moduleStatusWidget->updateEventStatus(eventStatus);
    m_ui->moduleSummaryStatus->setText(m_ui->moduleStatusWidget->summaryText());
    m_ui->moduleEventMaskWidget->setMask(module->eventMask());
    qCDebug(lcApp).noquote() << "refreshModule:" << QString::number(elapsed.nsecsElapsed() / 1e6, 'f', 3);
}

void VexaControl::refreshOverview()
{
    QElapsedTimer elapsed;
    elapsed.start();
    emit updateAllModulesStarted();
    for (BaseModule *module : std::as_const(m_modules)) {
        const int serial = module->serialNumber();
        emit updateModuleStarted(serial);
        const int channels = module->channelNumber();
        emit updateModuleTemperature(serial, 0, module->temperature(0));
        for (int channel = 0; channel < channels; ++channel) {
            const QString vunit = module->voltageUnit(channel);
            const QString iunit = module->currentUnit(channel);
            emit updateChannelVoltageUnit(serial, channel, vunit);
            emit updateChannelCurrentUnit(serial, channel, iunit);
            const float vmeas = module->channelVoltageMeasure(channel);
            const float imeas = module->channelCurrentMeasure(channel);
            emit updateChannelVoltageMeasure(serial, channel, module->formatVoltage(module->userVoltageToSiVoltage(vmeas)), vunit);
            emit updateChannelVoltageMeasure(serial, channel, module->userVoltageToSiVoltage(vmeas), QStringLiteral("V"));
            emit updateChannelCurrentMeasure(serial, channel, module->formatCurrent(imeas), iunit);
            emit updateChannelCurrentMeasure(serial, channel, imeas, QStringLiteral("A"));
            emit updateChannelVoltage(serial, channel, module->channelVoltageSet(channel), vunit);
        }
        const bool connected = module->connectionState() == ModuleConnectionState::Connected;
        emit updateModuleRunningState(serial, connected ? tr("Running") : tr("Not connected"),
                                      connected ? QColor(Qt::darkGreen) : QColor(Qt::red));
        emit updateModuleCompleted(serial);
    }
    emit updateAllModulesCompleted();
    qCDebug(lcApp).noquote() << "refreshOverview:" << QString::number(elapsed.nsecsElapsed() / 1e6, 'f', 3);
}

// Automatic timer: the dialog and the log come with the automatic feature.
void VexaControl::autoTimerUpdate() {}
void VexaControl::autoTimerControlUpdate() {}
void VexaControl::autoTimerIntervalChanged(int interval)
{
    if (interval > 0)
        m_autoTimer->setInterval(interval);
}
void VexaControl::autoTimerEnabled(bool enabled)
{
    if (enabled)
        m_autoTimer->start();
    else
        m_autoTimer->stop();
}

void VexaControl::runScript(QString script)
{
    Q_UNUSED(script)
}

// ---------------------------------------------------------------- crate

BaseCrate *VexaControl::crateBySerial(int serialNumber) const
{
    for (int i = m_crates.size() - 1; i >= 0; --i)
        if (m_crates.at(i)->serialNumber() == serialNumber)
            return m_crates.at(i);
    return nullptr;
}

void VexaControl::setCratePowerOn(int serialNumber, bool setOn)
{
    BaseCrate *crate = crateBySerial(serialNumber);
    if (!crate)
        return;
    crate->setPowerOn(setOn);
    if (setOn) {
        m_statusLabel2->setText(kDarkGreenBold + tr("Waiting %1 seconds before re-connect to crate...").arg(15));
        QTimer::singleShot(15000, this, &VexaControl::initModuleAccess);
    } else {
        if (m_controller)
            m_statusLabel3->setText(m_controller->connectionMessage());
        setModuleActionsEnabled(false);
        // The list and the table would otherwise go on showing modules that no
        // longer exist.
        qDeleteAll(m_modules);
        m_modules.clear();
        m_ui->lstModules->clear();
        m_ui->table->setRowCount(0);
        m_ui->table->setEnabled(false);
    }
}

void VexaControl::setCrateFanSpeed(int serialNumber, int fanSpeed)
{
    if (BaseCrate *crate = crateBySerial(serialNumber))
        crate->setFanSpeed(fanSpeed);
}

void VexaControl::clearCrateEvents(int serialNumber)
{
    if (BaseCrate *crate = crateBySerial(serialNumber))
        crate->doClear();
}

// ---------------------------------------------------------------- module selection

void VexaControl::on_lstModules_currentRowChanged(int row)
{
    if (row < 0 || row >= m_modules.size())
        return;
    m_currentModuleIndex = row;
    BaseModule *module = m_modules.at(row);
    m_ui->table->setRowCount(0);
    if (module->connectionState() == ModuleConnectionState::Connected)
        setUpCurrentModule(module);
    m_moduleRefreshPending = true;
    m_lastChannel = m_ui->table->currentRow();
    emit currentModuleChanged(module->serialNumber());
    emit currentChannelChanged(module->serialNumber(), m_ui->table->currentRow());
    m_ui->table->setFocus();
}

void VexaControl::on_table_itemSelectionChanged()
{
    BaseModule *module = currentModule();
    const int row = m_ui->table->currentRow();
    if (!module || row == m_lastChannel)
        return;
    m_lastChannel = row;
    emit currentChannelChanged(module->serialNumber(), row);
}

void VexaControl::moveModuleRow(int delta)
{
    const int count = m_ui->lstModules->count();
    if (count == 0)
        return;
    const int row = (m_ui->lstModules->currentRow() + delta + count) % count;
    m_ui->lstModules->clearSelection();
    m_ui->lstModules->setCurrentRow(row);
}

void VexaControl::on_actionPreviousModule_triggered()
{
    moveModuleRow(-1);
}

void VexaControl::on_actionNextModule_triggered()
{
    moveModuleRow(+1);
}

void VexaControl::on_actionSelectModule_triggered()
{
    const int count = m_ui->lstModules->count();
    if (count == 0)
        return;
    bool ok = false;
    const int row = MessageBox::getInt(this, productTitle(), tr("Select Module (0...%1):").arg(count - 1),
                                       qMax(0, m_ui->lstModules->currentRow()), 0, count - 1, 1, &ok);
    if (ok)
        m_ui->lstModules->setCurrentRow(row);
}

void VexaControl::on_actionSelectChannel_triggered()
{
    BaseModule *module = currentModule();
    const int rows = m_ui->table->rowCount();
    if (!module || rows == 0)
        return;
    bool ok = false;
    const int row = MessageBox::getInt(this, productTitle(), tr("Select Channel (0...%1):").arg(rows - 1),
                                       qMax(0, m_ui->table->currentRow()), 0, rows - 1, 1, &ok);
    if (ok)
        m_ui->table->setCurrentCell(row, 0);
}

// ---------------------------------------------------------------- crate address

void VexaControl::on_actionController_triggered()
{
    const bool wasRunning = m_channelTableTimer->isActive();
    m_channelTableTimer->stop();
    QString oldAddress;
    if (m_controller) {
        oldAddress = m_controller->address();
    } else {
        auto store = Settings::operatorStore(m_application);
        oldAddress = store->value(QStringLiteral("IpAddress"), QString::fromLatin1(Product::DefaultIpAddress)).toString();
    }
    AddressLocker locker;
    IpV4InputDialog dialog(this);
    dialog.setWindowTitle(productTitle());
    dialog.setLabelText(tr("Enter Crate IP Address:"));
    dialog.setAddress(oldAddress);
    dialog.setLockedAddresses(locker.lockedAddresses());
    if (execAddressDialog(dialog) != QDialog::Accepted) {
        if (wasRunning)
            m_channelTableTimer->start();
        return;
    }
    locker.unlock(oldAddress);
    auto store = Settings::operatorStore(m_application);
    store->setValue(QStringLiteral("IpAddress"), dialog.address());
    store->sync();
    initModuleAccess();
}

void VexaControl::on_actionSetCrateAddress_triggered()
{
    if (!m_controller || !m_controller->isConnected())
        return;
    m_channelTableTimer->stop();
    IpV4InputDialog dialog(this);
    dialog.setWindowTitle(productTitle());
    dialog.setLabelText(tr("<p>Input a new static IP Address for the MPOD Crate:</p>"
                           "<p>Note: The address 0.0.0.0 switches the MPOD to DHCP mode.</p>"));
    dialog.setAddress(m_controller->address());
    if (execAddressDialog(dialog) != QDialog::Accepted) {
        m_channelTableTimer->start();
        return;
    }
    const QString address = dialog.address();
    m_controller->setIpStaticAddress(address);
    auto store = Settings::operatorStore(m_application);
    store->setValue(QStringLiteral("IpAddress"), address);
    store->sync();
    m_ui->menuSystem->setEnabled(false);
    m_statusLabel2->setText(kDarkGreenBold + tr("Waiting %1 seconds before re-connect to crate...").arg(5));
    QTimer::singleShot(5000, this, &VexaControl::initModuleAccess);
}

void VexaControl::on_actionCrates_triggered()
{
    m_dialogCrate->clearCrateList();
    m_dialogCrate->show();
    m_dialogCrate->raise();
    m_dialogCrate->activateWindow();
}
