#include "vexacontrol.h"
#include "ui_vexacontrol.h"

#include "addresslocker.h"
#include "applog.h"
#include "basecontroller.h"
#include "basecrate.h"
#include "basemodule.h"
#include "channeleventmaskwidget.h"
#include "channelstatuswidget.h"
#include "dialogautomatic.h"
#include "dialogcrate.h"
#include "dialogstatistic.h"
#include "dialogscriptconsole.h"
#include "ipv4inputdialog.h"
#include "messagebox.h"
#include "moduleeventmaskwidget.h"
#include "modulestatuswidget.h"
#include "product.h"
#include "scriptthread.h"
#include "settings.h"
#include "snmpcontroller.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <cstdlib>

namespace {

const QString kRed = QStringLiteral("<font color=\"red\">");
const QString kGreen = QStringLiteral("<font color=\"green\">");
const QString kDarkGreenBold = QStringLiteral("<font color=\"darkgreen\"><strong>");

constexpr int kFanSpeedMaximum = 3200;

bool isMeasurementType(BaseModule *module)
{
    return module->firmwareName() == QLatin1String("T25X0");
}

// The program's controller: the access library loaded from its default places.
BaseController *libraryController(QObject *parent)
{
    return new SnmpController(parent);
}

} // namespace

VexaControl::VexaControl(QWidget *parent) : VexaControl(libraryController, parent) {}

VexaControl::VexaControl(Start start, QWidget *parent) : VexaControl(libraryController, parent, start) {}

VexaControl::VexaControl(CrateSession::ControllerFactory factory, QWidget *parent, Start start)
    : QMainWindow(parent)
    , m_ui(new Ui::VexaControl)
    , m_session(new CrateSession(std::move(factory), this))
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
    // Before the connection: the first fan speed comes with it.
    m_fanSpeedBar->setMaximum(kFanSpeedMaximum);
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

    bindSession();
    setUpTrends();

    m_dialogCrate = new DialogCrate(this);
    m_dialogCrate->bind(m_session);

    if (start == ConnectAndWait) {
        initModuleAccess();
        waitForConnection();
    }
}

void VexaControl::waitForConnection()
{
    if (!m_connecting)
        return;
    QEventLoop loop;
    connect(this, &VexaControl::connectionShown, &loop, &QEventLoop::quit);
    loop.exec();
}

VexaControl::~VexaControl()
{
    // The crate thread ends first (a refresh in progress finishes); nothing it
    // queued for the window runs after this.
    disconnect(m_session, nullptr, this, nullptr);
    m_session->shutdown();
    if (m_session->controller()) {
        AddressLocker locker;
        locker.unlock(m_session->controllerAddress());
    }
    // A running script is stopped before its module goes; the session deletes
    // modules and crates before the controller.
    delete m_scriptThread;
    m_scriptThread = nullptr;
    delete m_session;
    m_session = nullptr;
    delete m_ui;
}

void VexaControl::bindSession()
{
    connect(m_session, &CrateSession::fatalError, this, &VexaControl::showFatalError);
    connect(m_session, &CrateSession::crateStateRefreshed, this, &VexaControl::showCrateState);
    connect(m_session, &CrateSession::moduleStateTextChanged, this, &VexaControl::showModuleStateText);
    connect(m_session, &CrateSession::currentModuleConnectionSeen, this, &VexaControl::showCurrentModuleConnection);
    connect(m_session, &CrateSession::currentModuleSetUp, this, &VexaControl::setUpCurrentModule);
    connect(m_session, &CrateSession::currentChannelRead, this, &VexaControl::showChannel);
    connect(m_session, &CrateSession::currentChannelsRead, this, &VexaControl::showCurrentChannel);
    connect(m_session, &CrateSession::currentModuleRead, this, &VexaControl::showModule);
    connect(m_session, &CrateSession::cratePoweredOff, this, &VexaControl::showCratePoweredOff);
    connect(m_session, &CrateSession::modulesAboutToBeDeleted, this, &VexaControl::releaseScriptModule,
            Qt::DirectConnection);
    connect(m_session, &CrateSession::reconnectScheduled, this, &VexaControl::showReconnectWait);
    connect(m_session, &CrateSession::reconnectRequested, this, &VexaControl::initModuleAccess);
    connect(m_session, &CrateSession::requestFailed, this,
            [this](const QString &text) { MessageBox::information(this, productTitle(), text); });
    connect(m_session, &CrateSession::connectFinished, this, &VexaControl::showConnection);
    connect(m_session, &CrateSession::longCommandProgress, this, [this](const QString &text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    connect(m_session, &CrateSession::updateCrateFanSpeed, this,
            [this](int, float speed) { m_fanSpeedBar->setValue(qRound(speed)); });
}

void VexaControl::runOn(const QList<BaseModule *> &modules, std::function<void(BaseModule *)> command, bool urgent)
{
    m_session->postModules(modules, std::move(command), urgent);
}

void VexaControl::runOnCurrent(std::function<void(BaseModule *)> command, bool urgent)
{
    if (BaseModule *module = currentModule())
        m_session->postModules({module}, std::move(command), urgent);
}

void VexaControl::readThen(BaseModule *module, std::function<void(BaseModule *)> read, std::function<void()> then)
{
    m_session->postModules({module}, std::move(read), this, [this, module, then = std::move(then)] {
        if (m_session->modules().contains(module))
            then();
    });
}

QString VexaControl::productTitle() const
{
    return QString::fromLatin1(Product::Title);
}

BaseController *VexaControl::controller() const
{
    return m_session->controller();
}

QList<BaseModule *> VexaControl::modules() const
{
    return m_session->modules();
}

QList<BaseCrate *> VexaControl::crates() const
{
    return m_session->crates();
}

BaseModule *VexaControl::currentModule() const
{
    return m_session->currentModule();
}

int VexaControl::currentModuleIndex() const
{
    return m_session->currentModuleIndex();
}

int VexaControl::currentChannel() const
{
    return m_ui->table->currentRow();
}

QTimer *VexaControl::channelTableTimer() const
{
    return m_session->refreshTimer();
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

// ---------------------------------------------------------------- connection

void VexaControl::showFatalError(const QString &text)
{
    MessageBox::critical(nullptr, productTitle(), text);
    std::exit(1);
}

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
    // A reconnect keeps the lock this program already holds.
    if (locker.lock(address) || locker.holder(address) == QCoreApplication::applicationPid())
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

int VexaControl::execAddressDialog(IpV4InputDialog &dialog)
{
    return MessageBox::execDialog(dialog, dialog.labelText(), dialog.address(),
                                  [&dialog](const QString &address) { dialog.setAddress(address); });
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
    // After a failed attempt no tick may overwrite the error with the
    // controller's status text: the session stops its refresh first.
    m_session->refreshTimer()->stop();
    m_statusLabel2->clear();
    m_statusLabel3->clear();
    m_ui->lblConnect->clear();
    m_ui->lstModules->clear();
    m_ui->table->setRowCount(0);

    const QString address = lockedCrateAddress();
    // Connection and discovery run on the crate thread; showConnection goes on.
    m_connecting = true;
    m_session->startConnect(address);
}

void VexaControl::showConnection(bool connected, const QString &address)
{
    m_connecting = false;
    if (!connected) {
        m_statusLabel3->setText(kRed + tr("Can not connect to address %1.").arg(address));
        setModuleActionsEnabled(false);
        m_ui->actionCrates->setEnabled(false);
        m_ui->menuSystem->setEnabled(false);
        emit connectionShown();
        return;
    }

    const QList<BaseModule *> modules = m_session->modules();
    if (m_scriptThread)
        m_scriptThread->setModule(modules.value(0));
    for (BaseModule *module : modules) {
        auto *item = new QListWidgetItem(module->address());
        item->setData(Qt::UserRole, module->serialNumber());
        m_ui->lstModules->addItem(item);
    }

    m_fanSpeedBar->setVisible(true);
    m_fanSpeedBar->setMaximum(kFanSpeedMaximum);
    m_fanSpeedBar->setFixedHeight(12);
    m_fanSpeedBar->setFixedWidth(150);
    m_fanSpeedBar->setFormat(tr("Fan Speed"));
    m_fanSpeedBar->setAlignment(Qt::AlignLeft);
    // The fan speed came with the connection (updateCrateFanSpeed).

    m_ui->connectedModules->setText(tr("%1 Modules found.").arg(modules.size()));
    if (!modules.isEmpty())
        m_ui->lstModules->setCurrentRow(0);

    setModuleActionsEnabled(!modules.isEmpty());
    emit connectionShown();
}

void VexaControl::setModuleWidgetsEnabled(bool enabled)
{
    m_ui->table->setEnabled(enabled);
    m_ui->tabWidget->setEnabled(enabled);
}

// ---------------------------------------------------------------- what the refresh shows

void VexaControl::showCrateState(const QString &connectionMessage, bool liveInsertion)
{
    m_statusLabel3->setText(connectionMessage);
    if (liveInsertion)
        m_statusLabel1->setText(kGreen + tr("Live Insertion active."));
    else
        m_statusLabel1->clear();
}

void VexaControl::showModuleStateText(int index, const QString &text)
{
    if (QListWidgetItem *item = m_ui->lstModules->item(index))
        item->setData(Qt::UserRole, text);
}

void VexaControl::showCurrentModuleConnection(ModuleConnectionState state)
{
    switch (state) {
    case ModuleConnectionState::Unknown:
        setModuleWidgetsEnabled(false);
        break;
    case ModuleConnectionState::NotConnected:
        m_statusLabel3->setText(kRed + tr("Can not connect to Module!"));
        setModuleWidgetsEnabled(false);
        break;
    case ModuleConnectionState::Connecting:
    case ModuleConnectionState::Connected:
        break;
    }
}

void VexaControl::setUpCurrentModule(BaseModule *module)
{
    const int serial = module->serialNumber();
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
    // The nominal values the crate thread read when it set the module up.
    const ModuleSnapshot values = m_session->snapshot(module);
    for (int channel = 0; channel < channels; ++channel) {
        const float vnom = values.voltageNominal.value(channel);
        const QString vnomText = percent ? QStringLiteral("%L1").arg(double(module->userVoltageToSiVoltage(vnom)), 0, 'g', 6)
                                         : module->formatVoltage(module->userVoltageToSiVoltage(vnom));
        table->setCell(channel, ChannelTable::VoltageNominalColumn, vnomText, Qt::white);
        table->setCell(channel, ChannelTable::CurrentNominalColumn,
                       module->formatCurrent(values.currentNominal.value(channel)), Qt::white);
    }
}

void VexaControl::showChannel(BaseModule *module, int channel, const ChannelReading &reading)
{
    ChannelTable *table = m_ui->table;
    if (channel >= table->rowCount())
        return;
    table->setCell(channel, ChannelTable::VoltageSetColumn,
                   module->formatVoltage(module->userVoltageToSiVoltage(reading.voltageSet)), Qt::white);
    table->setCell(channel, ChannelTable::VoltageMeasureColumn, reading.voltageMeasureText, Qt::white);
    table->setDelayedTrip(channel, reading.delayedTrip);
    table->setCell(channel, ChannelTable::CurrentSetColumn, module->formatCurrent(reading.currentSet), Qt::white);
    table->setCell(channel, ChannelTable::CurrentMeasureColumn,
                   module->formatCurrentUnit(reading.currentMeasure, reading.lowCurrentRange), Qt::white);
    if (isMeasurementType(module))
        table->setMeasurementStatus(channel, reading.control);
    else
        table->setChannelStatus(channel, reading.control, reading.status);
}

void VexaControl::showCurrentChannel(BaseModule *module)
{
    const int current = m_ui->table->currentRow();
    if (current < 0 || current >= m_session->channelRows())
        return;
    const ModuleSnapshot values = m_session->snapshot(module);
    if (current >= values.channelStatus.size())
        return;
    m_ui->channelStatusWidget->updateStatus(values.channelStatus.at(current));
    m_ui->channelStatusWidget->updateEventStatus(values.channelEventStatus.at(current));
    m_ui->channelEventMaskWidget->setMask(values.channelEventMask.at(current));
    if (module->isWienerLowVoltage() && values.rateChannel == current) {
        m_ui->channelVoltageRiseRate->setText(QString::number(values.channelVoltageRiseRate));
        m_ui->channelVoltageFallRate->setText(QString::number(values.channelVoltageFallRate));
    }
}

void VexaControl::showModule(BaseModule *, const ModuleReading &reading)
{
    m_ui->moduleKillEnable->setText(reading.killEnable ? tr("<a href=\"kill\">enabled</a>")
                                                       : tr("<a href=\"kill\">disabled</a>"));
    m_ui->moduleAdjusting->setText(reading.fineAdjustment ? tr("<a href=\"adjust\">on</a>")
                                                          : tr("<a href=\"adjust\">off</a>"));
    m_ui->voltageRampSpeed->setText(QString::number(reading.voltageRampSpeed));
    m_ui->currentRampSpeed->setText(QString::number(reading.currentRampSpeed));
    if (reading.hasChannelRates) {
        m_ui->allChannelVoltageRiseRate->setText(QString::number(reading.channelVoltageRiseRate));
        m_ui->allChannelVoltageFallRate->setText(QString::number(reading.channelVoltageFallRate));
    }
    m_ui->moduleSupplyP5->setText(QStringLiteral("%1 V").arg(double(reading.supplyP5), 0, 'f', 2));
    m_ui->moduleSupplyP12->setText(QStringLiteral("%1 V").arg(double(reading.supplyP12), 0, 'f', 2));
    m_ui->moduleSupplyN12->setText(QStringLiteral("%1 V").arg(double(reading.supplyN12), 0, 'f', 2));
    m_ui->moduleMeasuredTemperature->setText(QStringLiteral("%1 °C").arg(double(reading.temperature), 0, 'f', 1));
    m_ui->moduleVoltageLimit->setText(QStringLiteral("%1 %").arg(double(reading.voltageLimit), 0, 'f', 1));
    m_ui->moduleCurrentLimit->setText(QStringLiteral("%1 %").arg(double(reading.currentLimit), 0, 'f', 1));
    m_ui->moduleVoltageRampSpeed->setText(QStringLiteral("%1 %/s").arg(double(reading.voltageRampSpeed), 0, 'f', 3));
    m_ui->moduleCurrentRampSpeed->setText(QStringLiteral("%1 %/s").arg(double(reading.currentRampSpeed), 0, 'f', 1));
    m_ui->moduleStatusWidget->updateStatus(reading.status);
    m_ui->moduleStatusWidget->updateEventStatus(reading.eventStatus);
    m_ui->moduleSummaryStatus->setText(m_ui->moduleStatusWidget->summaryText());
    m_ui->moduleEventMaskWidget->setMask(reading.eventMask);
}

void VexaControl::runScript(QString script)
{
    if (m_scriptThread)
        m_scriptThread->runScript(script);
}

void VexaControl::on_actionScript_triggered()
{
    if (!m_scriptConsole) {
        // The first module of the list, whichever the operator looks at; none
        // when the crate has no module, and the console then says so.
        m_scriptThread = new ScriptThread(m_session->modules().value(0));
        m_scriptConsole = new DialogScriptConsole(this);
        m_scriptConsole->bind(m_scriptThread);
    }
    m_scriptConsole->show();
    m_scriptConsole->raise();
    m_scriptConsole->activateWindow();
}

void VexaControl::releaseScriptModule()
{
    if (!m_scriptThread)
        return;
    m_scriptThread->stopAndWait();
    m_scriptThread->setModule(nullptr);
}

// ---------------------------------------------------------------- crate power

void VexaControl::showReconnectWait(int seconds)
{
    m_statusLabel2->setText(kDarkGreenBold + tr("Waiting %1 seconds before re-connect to crate...").arg(seconds));
}

void VexaControl::showCratePoweredOff()
{
    // The crate's state text follows with the next crate refresh.
    setModuleActionsEnabled(false);
    // The list and the table would otherwise go on showing modules that no
    // longer exist.
    m_ui->lstModules->clear();
    m_ui->table->setRowCount(0);
    m_ui->table->setEnabled(false);
}

// ---------------------------------------------------------------- requests of the window's own widgets

void VexaControl::tableCellDataChanged(int row, int column, QString text)
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    bool ok = false;
    // The C locale: a decimal point and no group separators, whatever the
    // operator's locale shows.
    // "1,234" must not become 1234 for an operator who meant 1.234.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    const float value = c.toFloat(text.trimmed(), &ok);
    // "nan" and "inf" convert, but are no set value.
    if (!ok || !qIsFinite(value))
        return;
    if (column == ChannelTable::VoltageSetColumn)
        m_session->setChannelVoltage(module->serialNumber(), row, value);
    else if (column == ChannelTable::CurrentSetColumn)
        m_session->setChannelCurrent(module->serialNumber(), row, value);
}

void VexaControl::moduleEventMaskChanged(ModuleEventMask eventMask)
{
    if (BaseModule *module = currentModule())
        m_session->setModuleEventMask(module->serialNumber(), eventMask);
}

void VexaControl::channelEventMaskChanged(ChannelEventMask eventMask)
{
    if (BaseModule *module = currentModule(); module && currentChannel() >= 0)
        m_session->setChannelEventMask(module->serialNumber(), currentChannel(), eventMask);
}

// ---------------------------------------------------------------- module selection

void VexaControl::on_lstModules_currentRowChanged(int row)
{
    if (row < 0 || row >= m_session->modules().size())
        return;
    m_ui->table->setRowCount(0);
    // The session sets the table up through currentModuleSetUp when the module
    // is connected and announces the module; then the table's current row.
    m_session->setCurrentModuleIndex(row);
    m_session->setCurrentChannel(m_ui->table->currentRow());
    m_ui->table->setFocus();
}

void VexaControl::on_table_itemSelectionChanged()
{
    m_session->setCurrentChannel(m_ui->table->currentRow());
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
    const bool wasRunning = m_session->refreshTimer()->isActive();
    m_session->refreshTimer()->stop();
    QString oldAddress;
    if (m_session->controller()) {
        oldAddress = m_session->controllerAddress();
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
            m_session->refreshTimer()->start();
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
    if (!m_session->controller() || !m_session->isConnected())
        return;
    m_session->refreshTimer()->stop();
    IpV4InputDialog dialog(this);
    dialog.setWindowTitle(productTitle());
    dialog.setLabelText(tr("<p>Input a new static IP Address for the MPOD Crate:</p>"
                           "<p>Note: The address 0.0.0.0 switches the MPOD to DHCP mode.</p>"));
    dialog.setAddress(m_session->controllerAddress());
    if (execAddressDialog(dialog) != QDialog::Accepted) {
        m_session->refreshTimer()->start();
        return;
    }
    const QString address = dialog.address();
    m_session->post([this, address] {
        if (BaseController *controller = m_session->controller())
            controller->setIpStaticAddress(address);
    });
    auto store = Settings::operatorStore(m_application);
    store->setValue(QStringLiteral("IpAddress"), address);
    store->sync();
    m_ui->menuSystem->setEnabled(false);
    m_statusLabel2->setText(kDarkGreenBold + tr("Waiting %1 seconds before re-connect to crate...").arg(5));
    QTimer::singleShot(5000, this, &VexaControl::initModuleAccess);
}

// A modeless dialog kept for the program's life: shown again in front.
static void showDialog(QWidget *dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void VexaControl::on_actionAutomatic_triggered()
{
    if (!m_dialogAutomatic)
        (m_dialogAutomatic = new DialogAutomatic(this))->bind(m_session);
    showDialog(m_dialogAutomatic);
}

void VexaControl::on_actionStatistic_triggered()
{
    if (!m_dialogStatistic)
        (m_dialogStatistic = new DialogStatistic(this))->bind(m_session);
    m_dialogStatistic->setChannelCount(m_session->channelRows());
    showDialog(m_dialogStatistic);
}

void VexaControl::on_actionCrates_triggered()
{
    m_dialogCrate->clearCrateList();
    m_dialogCrate->show();
    m_dialogCrate->raise();
    m_dialogCrate->activateWindow();
}
