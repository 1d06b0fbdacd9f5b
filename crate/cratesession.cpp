#include "cratesession.h"

#include "basecontroller.h"
#include "basecrate.h"
#include "basemodule.h"
#include "cratelog.h"
#include "factorysettings.h"
#include "modulediscovery.h"
#include "resolution.h"
#include "snmpcontroller.h"
#include "snmpmodule.h"
#include "waiter.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QVariant>

namespace {

// The interval of the refresh tick: a crate on the local host is a simulator or
// a test set-up, which is refreshed more slowly.
constexpr int kLocalHostInterval = 1000;
constexpr int kRemoteInterval = 200;

QString elapsedText(const QElapsedTimer &elapsed)
{
    return QString::number(elapsed.nsecsElapsed() / 1e6, 'f', 3);
}

} // namespace

CrateSession::CrateSession(ControllerFactory factory, QObject *parent)
    : QObject(parent)
    , m_factory(std::move(factory))
{
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(500);
    connect(m_refreshTimer, &QTimer::timeout, this, &CrateSession::refreshChannelTable);
    m_autoTimer = new QTimer(this);
    m_autoTimer->setInterval(30000);
    connect(m_autoTimer, &QTimer::timeout, this, &CrateSession::autoTimerUpdate);
    m_autoCycler = new AutoCycler(this);
    m_autoCycler->setTargetSource([this] {
        AutoCycler::Target target;
        target.modules = m_modules;
        target.current = currentModule();
        target.channel = m_currentChannel;
        return target;
    });
    connect(m_autoCycler, &AutoCycler::log, this, &CrateSession::autoTimerControlLog);
    connect(m_autoCycler, &AutoCycler::failed, this, [this](const QString &message) {
        m_autoTimer->stop();
        emit autoTimerControlLog(message);
        emit autoTimerStopped();
    });
}

CrateSession::~CrateSession()
{
    m_refreshTimer->stop();
    m_autoTimer->stop();
    // Modules and crates call the controller; they go first.
    deleteModulesAndCrates();
    delete m_controller;
    m_controller = nullptr;
}

BaseModule *CrateSession::currentModule() const
{
    if (m_currentModuleIndex < 0 || m_currentModuleIndex >= m_modules.size())
        return nullptr;
    return m_modules.at(m_currentModuleIndex);
}

BaseCrate *CrateSession::crateBySerial(int serialNumber) const
{
    for (int i = m_crates.size() - 1; i >= 0; --i)
        if (m_crates.at(i)->serialNumber() == serialNumber)
            return m_crates.at(i);
    return nullptr;
}

void CrateSession::deleteModulesAndCrates()
{
    if (!m_modules.isEmpty())
        emit modulesAboutToBeDeleted();
    qDeleteAll(m_modules);
    m_modules.clear();
    for (BaseCrate *crate : std::as_const(m_crates))
        delete crate;
    m_crates.clear();
}

// ---------------------------------------------------------------- connection

void CrateSession::disconnectFromCrate()
{
    ++m_connection;
    deleteModulesAndCrates();
    if (m_controller && m_controller->canBeDeleted()) {
        delete m_controller;
        m_controller = nullptr;
    }
    // No tick may run while the connection is rebuilt.
    m_refreshTimer->stop();
    m_currentModuleIndex = 0;
    m_channelRows = 0;
}

bool CrateSession::connectTo(const QString &address)
{
    disconnectFromCrate();
    m_refreshTimer->setInterval(address == QLatin1String("127.0.0.1") ? kLocalHostInterval : kRemoteInterval);

    if (!m_controller) {
        m_controller = m_factory ? m_factory(this) : nullptr;
        auto *snmpController = qobject_cast<SnmpController *>(m_controller);
        if (snmpController && !snmpController->isBound()) {
            emit fatalError(snmpController->errorText());
            return false;
        }
    }
    if (!m_controller || !m_controller->connectTo(address))
        return false;

    const ModuleDiscovery::Result found = ModuleDiscovery::discover(qobject_cast<SnmpController *>(m_controller));
    m_modules = found.modules;
    if (found.crate)
        m_crates.append(found.crate);
    m_refreshTimer->start();
    return true;
}

void CrateSession::setCurrentModuleIndex(int index)
{
    if (index < 0 || index >= m_modules.size())
        return;
    m_currentModuleIndex = index;
    m_channelRows = 0;
    BaseModule *module = m_modules.at(index);
    if (module->connectionState() == ModuleConnectionState::Connected)
        setUpCurrentModule(module);
    m_moduleRefreshPending = true;
    m_channelAnnounced = false;
    emit currentModuleChanged(module->serialNumber());
}

void CrateSession::setCurrentChannel(int channel)
{
    BaseModule *module = currentModule();
    if (!module || (m_channelAnnounced && channel == m_currentChannel))
        return;
    m_currentChannel = channel;
    m_channelAnnounced = true;
    emit currentChannelChanged(module->serialNumber(), channel);
}

void CrateSession::addViewer(Feed feed, QObject *viewer)
{
    m_viewers[feed].append(QPointer<QObject>(viewer));
}

bool CrateSession::feedWanted(Feed feed)
{
    for (const QPointer<QObject> &viewer : std::as_const(m_viewers[feed]))
        if (viewer && viewer->property("visible").toBool())
            return true;
    return false;
}

CrateSession::RefreshPause::RefreshPause(CrateSession *session) : m_session(session)
{
    if (m_session) {
        m_wasActive = m_session->m_refreshTimer->isActive();
        m_connection = m_session->m_connection;
        m_session->m_refreshTimer->stop();
    }
}

CrateSession::RefreshPause::~RefreshPause()
{
    // A reconnect or a power-off meanwhile decides the timer itself.
    if (m_session && m_wasActive && m_connection == m_session->m_connection)
        m_session->m_refreshTimer->start();
}

// ---------------------------------------------------------------- refresh cycle

bool CrateSession::moduleAnswers(BaseModule *module)
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

void CrateSession::updateModuleConnectionStates()
{
    for (int index = 0; index < m_modules.size(); ++index) {
        BaseModule *module = m_modules.at(index);
        ModuleConnectionState state = module->connectionState();
        if (state == ModuleConnectionState::Unknown) {
            emit moduleStateTextChanged(index, tr("Connecting..."));
            state = ModuleConnectionState::NotConnected;
        }
        if (state == ModuleConnectionState::NotConnected) {
            if (moduleAnswers(module)) {
                const int serial = module->serialNumber();
                emit moduleStateTextChanged(index, serial ? QString::number(serial) : module->firmwareName());
                module->setConnectionState(ModuleConnectionState::Connecting);
                module->channelVoltageNominal(0);
                module->channelCurrentNominal(0);
            } else if (module->connectionState() == ModuleConnectionState::Unknown) {
                module->setConnectionState(ModuleConnectionState::NotConnected);
            }
        } else if (!moduleAnswers(module)) {
            emit moduleStateTextChanged(index, tr("Not connected"));
            module->setConnectionState(ModuleConnectionState::NotConnected);
        }
    }
}

void CrateSession::refreshCrateData()
{
    if (!m_controller) {
        m_crateRefreshCounter = 0;
        return;
    }
    ++m_crateRefreshCounter;
    const int interval = qMax(1, m_refreshTimer->interval());
    if (m_crateRefreshCounter < 1000 / interval)
        return;
    m_crateRefreshCounter = 0;

    const QString message = m_controller->connectionMessage();
    emit crateStateRefreshed(message, m_controller->isLiveInsertion());

    updateModuleConnectionStates();

    if (feedWanted(CrateFeed)) {
        for (BaseCrate *crate : std::as_const(m_crates)) {
            const int serial = crate->serialNumber();
            emit updateCrateAddress(serial, crate->address());
            emit updateCrateFirmwareRelease(serial, crate->firmwareRelease());
            emit updateCrateSupply5V(serial, crate->supply5V());
            emit updateCrateSupply24V(serial, crate->supply24V());
            emit updateCrateBattery24V(serial, crate->battery24V());
            emit updateCrateTemperatureBackPlane(serial, crate->temperatureBackPlane());
            emit updateCrateTemperaturePowerSupply(serial, crate->temperaturePowerSupply());
            emit updateCrateFanSpeed(serial, crate->fanSpeed());
            emit updateCrateStatus(serial, crate->status());
            emit updateCrateEventStatus(serial, crate->eventStatus());
            emit updateCratePowerOn(serial, crate->powerOn());
        }
    }
}

void CrateSession::setUpCurrentModule(BaseModule *module)
{
    const int serial = module->serialNumber();
    emit updateModuleFirmwareName(serial, module->firmwareName());
    const int channels = module->channelNumber();
    // The window fills its labels and the table's rows and nominal values.
    emit currentModuleSetUp(module);
    m_channelRows = channels;
    for (int channel = 0; channel < channels; ++channel) {
        emit updateChannelVoltageUnit(serial, channel, module->voltageUnit(channel));
        emit updateChannelCurrentUnit(serial, channel, module->currentUnit(channel));
    }
}

void CrateSession::refreshChannels(BaseModule *module)
{
    const int serial = module->serialNumber();
    for (int channel = 0; channel < m_channelRows; ++channel) {
        ChannelReading reading;
        reading.control = module->channelControl(channel);
        emit updateChannelControl(serial, channel, reading.control);
        reading.status = module->channelStatus(channel);
        emit updateChannelStatus(serial, channel, reading.status);

        const QString vunit = module->voltageUnit(channel);
        const QString iunit = module->currentUnit(channel);
        reading.voltageSet = module->channelVoltageSet(channel);
        emit updateChannelVoltage(serial, channel, reading.voltageSet, vunit);
        reading.currentSet = module->channelCurrentSet(channel);
        emit updateChannelCurrent(serial, channel, reading.currentSet, iunit);

        const float vmeas = module->channelVoltageMeasure(channel);
        reading.voltageMeasure = module->userVoltageToSiVoltage(vmeas);
        reading.voltageMeasureText = module->formatVoltage(reading.voltageMeasure);
        emit updateChannelVoltageMeasure(serial, channel, reading.voltageMeasureText, vunit);
        emit updateChannelVoltageMeasure(serial, channel, reading.voltageMeasure, QStringLiteral("V"));

        reading.currentMeasure = module->channelCurrentMeasure(channel);
        reading.lowCurrentRange = reading.status.isLCR();
        const QString imeasText = reading.lowCurrentRange ? module->formatLowCurrent(reading.currentMeasure)
                                                          : module->formatCurrent(reading.currentMeasure);
        emit updateChannelCurrentMeasure(serial, channel, imeasText,
                                         reading.lowCurrentRange ? module->lowCurrentUnit(channel) : iunit);
        emit updateChannelCurrentMeasure(serial, channel, reading.currentMeasure, QStringLiteral("A"));

        emit updateChannelEventStatus(serial, channel, module->channelEventStatus(channel));
        emit updateChannelEventMask(serial, channel, module->channelEventMask(channel));

        reading.delayedTrip = module->channelDelayedTripEnabled(channel);
        emit currentChannelRead(module, channel, reading);
    }
    emit currentChannelsRead(module);
}

void CrateSession::refreshChannelTable()
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
        const ModuleConnectionState state = module->connectionState();
        emit currentModuleConnectionSeen(state);
        switch (state) {
        case ModuleConnectionState::Unknown:
            break;
        case ModuleConnectionState::NotConnected:
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
                QTimer::singleShot(20, this, &CrateSession::refreshModule);
            }
            refreshChannels(module);
            if (m_specialReports)
                emit updateModuleSpecialControlStatus(module->serialNumber(), module->specialControlCommand(),
                                                      module->specialControlStatus());
        }
        // The overview covers every module: it goes on when the current one
        // stops answering, so the others (and that one's state) stay true.
        if (feedWanted(OverviewFeed))
            QTimer::singleShot(20, this, &CrateSession::refreshOverview);
    }
    qCDebug(lcCrate).noquote() << "refreshTable(channel):" << elapsedText(elapsed);
}

void CrateSession::refreshModule()
{
    BaseModule *module = currentModule();
    if (!module || module->connectionState() != ModuleConnectionState::Connected)
        return;
    QElapsedTimer elapsed;
    elapsed.start();
    const int serial = module->serialNumber();
    ModuleReading reading;

    reading.temperature = module->temperature(0);
    emit updateModuleTemperature(serial, 0, reading.temperature);
    reading.supplyP5 = module->supplyP5();
    reading.supplyP12 = module->supplyP12();
    reading.supplyN12 = module->supplyN12();
    emit updateModuleSupplyP5(serial, reading.supplyP5);
    emit updateModuleSupplyP12(serial, reading.supplyP12);
    emit updateModuleSupplyN12(serial, reading.supplyN12);
    reading.voltageLimit = module->voltageLimit();
    reading.currentLimit = module->currentLimit();
    emit updateModuleVoltageHardwareLimit(serial, reading.voltageLimit);
    emit updateModuleCurrentHardwareLimit(serial, reading.currentLimit);
    reading.status = module->status();
    reading.eventStatus = module->eventStatus();
    emit updateModuleStatus(serial, reading.status);
    emit updateModuleEventStatus(serial, reading.eventStatus);
    if (feedWanted(ModuleWordsFeed)) {
        emit updateModuleControl(serial, module->control());
        emit updateModuleEventMask(serial, module->eventMask());
        emit updateModuleRestartTime(serial, module->restartTime());
        emit updateModuleEventChannelStatus(serial, module->eventChannelStatus());
        emit updateModuleEventChannelMask(serial, module->eventChannelMask());
        emit updateModuleEventGroupStatus(serial, module->eventGroupStatus());
        emit updateModuleEventGroupMask(serial, module->eventGroupMask());
    }
    for (int channel = 0; channel < m_channelRows; ++channel) {
        const QString vunit = module->voltageUnit(channel);
        const QString iunit = module->currentUnit(channel);
        emit updateChannelVoltageNominal(serial, channel, module->channelVoltageNominal(channel), vunit);
        // Amperes, with the display unit the bounds' ranges are scaled to.
        emit updateChannelCurrentNominal(serial, channel, module->channelCurrentNominal(channel), iunit);
        emit updateChannelVoltageInterlockMaxSet(serial, channel, module->channelVoltageInterlockMaxSet(channel), vunit);
        emit updateChannelCurrentInterlockMaxSet(serial, channel, module->channelCurrentInterlockMaxSet(channel), iunit);
    }

    reading.killEnable = module->killEnable();
    reading.fineAdjustment = module->fineAdjustment();
    reading.voltageRampSpeed = module->voltageRampSpeed();
    reading.currentRampSpeed = module->currentRampSpeed();
    if (module->isWienerLowVoltage() && m_channelRows > 0) {
        reading.hasChannelRates = true;
        reading.channelVoltageRiseRate = module->channelVoltageRiseRate(0);
        reading.channelVoltageFallRate = module->channelVoltageFallRate(0);
    }
    reading.eventMask = module->eventMask();
    if (feedWanted(InterlockFeed))
        refreshInterlockOut();
    emit currentModuleRead(module, reading);
    qCDebug(lcCrate).noquote() << "refreshModule:" << elapsedText(elapsed);
}

void CrateSession::refreshOverview()
{
    QElapsedTimer elapsed;
    elapsed.start();
    emit updateAllModulesStarted();
    for (BaseModule *module : std::as_const(m_modules)) {
        const int serial = module->serialNumber();
        emit updateModuleStarted(serial);
        // A module that does not answer keeps its last values; only its state changes.
        if (module->connectionState() == ModuleConnectionState::NotConnected) {
            emit updateModuleRunningState(serial, tr("Not connected"), QColor(Qt::red));
            emit updateModuleCompleted(serial);
            continue;
        }
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
        // Only the current module is ever set up to Connected; the others stay
        // at Connecting for as long as they answer.
        const ModuleConnectionState state = module->connectionState();
        const bool connected = state == ModuleConnectionState::Connected || state == ModuleConnectionState::Connecting;
        emit updateModuleRunningState(serial, connected ? tr("Running") : tr("Not connected"),
                                      connected ? QColor(Qt::darkGreen) : QColor(Qt::red));
        emit updateModuleCompleted(serial);
    }
    emit updateAllModulesCompleted();
    qCDebug(lcCrate).noquote() << "refreshOverview:" << elapsedText(elapsed);
}

void CrateSession::refreshInterlockOut()
{
    BaseModule *module = currentModule();
    if (!module)
        return;
    const int serial = module->serialNumber();
    emit updateInterlockControl(serial, module->GetModuleIlkOutControl());
    emit updateInterlockStatus(serial, module->GetModuleIlkOutStatus());
    emit updateInterlockCount(serial, module->GetModuleIlkOutCount());
    emit updateInterlockLastTrigger(serial, module->GetModuleIlkOutLastTrigger());
    emit updateInterlockChannelActualActive(serial, module->GetModuleIlkOutChnActualActive());
    emit updateInterlockChannelEverTriggered(serial, module->GetModuleIlkOutChnEverTriggered());
}

void CrateSession::autoTimerUpdate()
{
    if (!m_autoTimerConfigured)
        return;
    if (m_autoCycler->step())
        QTimer::singleShot(AutoCycler::checkDelayMs(m_autoTimer->interval()), Qt::PreciseTimer, this,
                           &CrateSession::autoTimerControlUpdate);
}

void CrateSession::autoTimerControlUpdate()
{
    m_autoCycler->check();
}

void CrateSession::setAutoTimerSettings(AutoCycler::Settings settings)
{
    m_autoCycler->setSettings(settings);
    m_autoTimerConfigured = true;
}

void CrateSession::autoTimerIntervalChanged(int interval)
{
    qCDebug(lcCrate) << "autoTimer interval" << interval;
    if (interval > 0)
        m_autoTimer->setInterval(interval);
}

void CrateSession::autoTimerEnabled(bool enabled)
{
    qCDebug(lcCrate) << "autoTimer enabled" << enabled;
    if (enabled)
        m_autoTimer->start();
    else
        m_autoTimer->stop();
}

// ---------------------------------------------------------------- crate requests

void CrateSession::setCratePowerOn(int serialNumber, bool setOn)
{
    BaseCrate *crate = crateBySerial(serialNumber);
    if (!crate)
        return;
    crate->setPowerOn(setOn);
    if (setOn) {
        emit reconnectScheduled(qRound(m_reconnectDelay / 1000.0));
        QTimer::singleShot(m_reconnectDelay, this, &CrateSession::reconnectRequested);
    } else {
        // The modules no longer exist; nothing may go on showing or reading them.
        ++m_connection;
        if (!m_modules.isEmpty())
            emit modulesAboutToBeDeleted();
        qDeleteAll(m_modules);
        m_modules.clear();
        m_channelRows = 0;
        emit cratePoweredOff();
    }
}

void CrateSession::setCrateFanSpeed(int serialNumber, int fanSpeed)
{
    if (BaseCrate *crate = crateBySerial(serialNumber))
        crate->setFanSpeed(fanSpeed);
}

void CrateSession::clearCrateEvents(int serialNumber)
{
    if (BaseCrate *crate = crateBySerial(serialNumber))
        crate->doClear();
}

// ---------------------------------------------------------------- module requests

void CrateSession::setChannelVoltage(int, int channel, float value)
{
    // The module takes the value in its own voltage unit and converts once.
    if (BaseModule *module = currentModule())
        module->setChannelVoltageSet(channel, value);
}

void CrateSession::setChannelCurrent(int, int channel, float value)
{
    if (BaseModule *module = currentModule())
        module->setChannelCurrentSet(channel, module->userCurrentToSiCurrent(value));
}

void CrateSession::clearChannelEvents(int, int channel)
{
    if (BaseModule *module = currentModule())
        module->clearChannelEventStatus(channel);
}

void CrateSession::setChannelControl(int, int channel, ChannelControl control)
{
    if (BaseModule *module = currentModule())
        module->setChannelControl(channel, control);
}

void CrateSession::setChannelEventMask(int, int channel, ChannelEventMask eventMask)
{
    if (BaseModule *module = currentModule())
        module->setChannelEventMask(channel, eventMask);
}

void CrateSession::clearModuleEvents(int)
{
    if (BaseModule *module = currentModule())
        module->clearEventStatus();
}

void CrateSession::setModuleControl(int, ModuleControl control)
{
    if (BaseModule *module = currentModule())
        module->setControl(control);
}

void CrateSession::setModuleEventMask(int, ModuleEventMask eventMask)
{
    if (BaseModule *module = currentModule())
        module->setEventMask(eventMask);
}

void CrateSession::setRestartTime(int, quint32 restartTime)
{
    if (BaseModule *module = currentModule())
        module->setRestartTime(restartTime);
}

void CrateSession::setModuleEventChannelMask(int, quint32 mask)
{
    if (BaseModule *module = currentModule())
        module->setEventChannelMask(mask);
}

void CrateSession::clearModuleEventChannelStatus(int)
{
    if (BaseModule *module = currentModule())
        module->clearEventChannelStatus();
}

void CrateSession::setModuleEventGroupMask(int, quint32 mask)
{
    if (BaseModule *module = currentModule())
        module->setEventGroupMask(mask);
}

void CrateSession::clearModuleEventGroupStatus(int)
{
    if (BaseModule *module = currentModule())
        module->clearEventGroupStatus();
}

void CrateSession::getFlexGroupData(int serialNumber, int groupNumber)
{
    BaseModule *module = currentModule();
    if (!module || groupNumber < 0 || groupNumber > 31)
        return;
    emit updateModuleFlexGroups(serialNumber, groupNumber, module->flexGroupMemberList(groupNumber),
                                module->flexGroupType(groupNumber));
}

void CrateSession::setFlexGroup(int, int groupNumber, quint32 member, quint32 type)
{
    BaseModule *module = currentModule();
    if (!module || groupNumber < 0 || groupNumber > 31)
        return;
    module->setFlexGroup(groupNumber, member, type);
}

void CrateSession::storeFactorySettings(int serialNumber)
{
    BaseModule *module = currentModule();
    // The reset waits for the module while events are processed; a second
    // request arriving meanwhile must not start another one on top.
    if (!module || m_factoryResetRunning)
        return;
    m_factoryResetRunning = true;
    bool done = false;
    {
        RefreshPause pause(this);
        FactorySettings factory;
        factory.inform = [this](const QString &text) { emit requestFailed(text); };
        factory.wait = [](int milliseconds) { Waiter::wait(milliseconds); };
        done = factory.factoryReset(module);
    }
    m_factoryResetRunning = false;
    if (done)
        emit factoryResetDone(serialNumber);
}

void CrateSession::setSpecialControl(int, quint32 control)
{
    if (BaseModule *module = currentModule())
        module->setSpecialControlCommand(control);
}

void CrateSession::sendHexLine(int, QByteArray line)
{
    if (BaseModule *module = currentModule())
        module->sendHexLine(line);
}

void CrateSession::setInterlockOutControl(int, quint32 control)
{
    if (BaseModule *module = currentModule())
        module->SetModuleIlkOutControl(control);
}

void CrateSession::setChannelVoltageNominal(int, int channel, float value)
{
    BaseModule *module = currentModule();
    if (module && module->status().isSTOP())
        module->setChannelVoltageNominal(channel, value);
}

void CrateSession::setChannelCurrentNominal(int, int channel, float value)
{
    BaseModule *module = currentModule();
    if (module && module->status().isSTOP())
        module->setChannelCurrentNominal(channel, value);
}

void CrateSession::setChannelBounds(int, int channel, bool asymmetricVoltageBounds, float voltageInterlockMaxSet,
                                    float voltageInterlockMinSet, bool asymmetricCurrentBounds,
                                    float currentInterlockMaxSet, float currentInterlockMinSet)
{
    QPointer<BaseModule> module = currentModule();
    if (!module)
        return;
    if (module->canSetAsymmetricBounds()) {
        ChannelControl control = module->channelControl(channel);
        control.setSetAVBND(asymmetricVoltageBounds);
        control.setSetACBND(asymmetricCurrentBounds);
        module->setChannelControl(channel, control);

        // The module takes a moment to report the new control word; poll it,
        // with no refresh reading the module in between.
        RefreshPause pause(this);
        ChannelControl readBack = module->channelControl(channel);
        int attempts = 199;
        while (readBack != control && attempts > 0) {
            Waiter::wait(1);
            if (!module)
                return;
            readBack = module->channelControl(channel);
            --attempts;
        }
        if (readBack != control) {
            emit requestFailed(tr("Error setting Channel %1 Control word. Giving up.").arg(channel));
            return;
        }
        if (asymmetricVoltageBounds)
            module->setChannelVoltageInterlockMinSet(channel, voltageInterlockMinSet);
        if (asymmetricCurrentBounds)
            module->setChannelCurrentInterlockMinSet(channel, currentInterlockMinSet);
    }
    module->setChannelVoltageInterlockMaxSet(channel, voltageInterlockMaxSet);
    module->setChannelCurrentInterlockMaxSet(channel, currentInterlockMaxSet);
}

void CrateSession::setFactoryCurrentMeasurementRange(CurrentMeasurementRange range)
{
    if (BaseModule *module = currentModule())
        module->setFactoryCurrentMeasurementRange(range);
}

void CrateSession::reloadResolution()
{
    for (BaseModule *module : std::as_const(m_modules)) {
        Resolution resolution;
        resolution.setSerialNumber(module->serialNumber());
        resolution.setFirmwareName(module->firmwareName());
        resolution.load();
        module->setVoltageUnit(resolution.voltageUnit());
        module->setVoltagePrecision(resolution.voltagePrecision());
        module->setCurrentUnit(resolution.currentUnit());
        module->setCurrentPrecision(resolution.currentPrecision());
        module->setLowCurrentUnit(resolution.lowCurrentUnit());
        module->setLowCurrentPrecision(resolution.lowCurrentPrecision());
    }
    // Back to its first connection: the unit headers and nominal values are set up anew.
    BaseModule *current = currentModule();
    if (current && current->connectionState() == ModuleConnectionState::Connected)
        current->setConnectionState(ModuleConnectionState::Connecting);
}

void CrateSession::setSpecialReportsEnabled(bool enabled)
{
    m_specialReports = enabled;
}
