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

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <QSocketNotifier>
#include <QVariant>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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
    // The crate thread runs a loop of its own over the job queue (no Qt event
    // loop): the hand-over of every job and every batch of signals goes
    // through the session's own locks.
    // A plain thread: joining it is a hand-over ThreadSanitizer sees.
    m_thread = std::thread([this] { crateLoop(); });
    m_threadId = m_thread.get_id();
    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead = pipeEnds[0];
        m_wakeWrite = pipeEnds[1];
        auto *notifier = new QSocketNotifier(m_wakeRead, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char bytes[256];
            while (::read(m_wakeRead, bytes, sizeof bytes) > 0) {
            }
            deliver();
        });
    } else {
        qCWarning(lcCrate) << "no wake-up pipe for the crate thread:" << strerror(errno);
    }

    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(500);
    connect(m_refreshTimer, &QTimer::timeout, this, &CrateSession::tick);
    m_autoTimer = new QTimer(this);
    m_autoTimer->setInterval(30000);
    connect(m_autoTimer, &QTimer::timeout, this, &CrateSession::autoTimerUpdate);
    m_autoCycler = new AutoCycler(this);
    // Called on the crate thread (step and check run there).
    m_autoCycler->setTargetSource([this] {
        AutoCycler::Target target;
        target.modules = m_modules;
        target.current = workerModule();
        target.channel = m_workerChannel;
        return target;
    });
    connect(m_autoCycler, &AutoCycler::log, this, &CrateSession::autoTimerControlLog);
    connect(m_autoCycler, &AutoCycler::failed, this, [this](const QString &message) {
        m_autoTimer->stop();
        send(&CrateSession::autoTimerControlLog, message);
        send(&CrateSession::autoTimerStopped);
    });
}

CrateSession::~CrateSession()
{
    shutdown();
    // Modules and crates call the controller; they go first.
    deleteModulesAndCrates();
    delete m_controller;
    m_controller = nullptr;
    collectGarbage();
    if (m_wakeRead >= 0)
        ::close(m_wakeRead);
}

void CrateSession::shutdown()
{
    if (m_shutDown)
        return;
    m_refreshTimer->stop();
    m_autoTimer->stop();
    // The requests already queued (the ramp-down of a closing window) still
    // run, and a refresh in progress ends; then the crate thread stops. Nothing
    // is queued after this, and module refresh slices stop re-queueing.
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_shutDown = true;
        m_queueCondition.notify_all();
    }
    m_thread.join();
    if (m_wakeWrite >= 0)
        ::close(m_wakeWrite);
    m_wakeWrite = -1;
}

bool CrateSession::onCrateThread() const
{
    return std::this_thread::get_id() == m_threadId;
}

void CrateSession::crateLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_queueMutex);
            m_queueCondition.wait(lock, [this] { return !m_jobs.isEmpty() || m_urgentPending || m_shutDown; });
            if (!m_jobs.isEmpty())
                job = m_jobs.takeFirst();
            else if (!m_urgentPending)
                return; // shut down, and nothing left to do
        }
        // An urgent job goes before the next queued one.
        runUrgentJobs();
        if (job) {
            job();
            flushOutbox();
        }
    }
}

void CrateSession::post(Job job, bool urgent)
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    if (m_shutDown)
        return;
    if (urgent) {
        QMutexLocker urgentLock(&m_urgentMutex);
        m_urgentJobs.append(std::move(job));
        m_urgentPending = true;
    } else {
        m_jobs.append(std::move(job));
    }
    m_queueCondition.notify_all();
}

void CrateSession::flushOutbox()
{
    if (m_outbox.isEmpty())
        return;
    {
        QMutexLocker lock(&m_deliveryMutex);
        m_deliveries.append(m_outbox);
    }
    m_outbox.clear();
    const char bell = 1;
    // A full pipe already rings; the batch waits in the list either way.
    if (::write(m_wakeWrite, &bell, 1) < 0 && errno != EAGAIN)
        qCWarning(lcCrate) << "cannot wake the GUI thread:" << strerror(errno);
}

// GUI thread: what the crate thread sent, in order.
void CrateSession::deliver()
{
    QList<Job> batch;
    {
        QMutexLocker lock(&m_deliveryMutex);
        batch.swap(m_deliveries);
    }
    for (const Job &emission : std::as_const(batch))
        emission();
}

void CrateSession::post(Job job, QObject *context, Job done)
{
    QPointer<QObject> target(context);
    post([this, job = std::move(job), target, done = std::move(done)] {
        job();
        // On the GUI thread, behind what the job sent.
        m_outbox.append([target, done] {
            if (target)
                done();
        });
    });
}

void CrateSession::postModules(const QList<BaseModule *> &modules, std::function<void(BaseModule *)> command,
                               bool urgent, int generation)
{
    if (generation < 0)
        generation = m_guiGeneration;
    post(
        [this, modules, command = std::move(command), generation] {
            if (generation != m_generation.load())
                return;
            for (BaseModule *module : modules)
                if (m_modules.contains(module))
                    command(module);
        },
        urgent);
}

void CrateSession::postModules(const QList<BaseModule *> &modules, std::function<void(BaseModule *)> command,
                               QObject *context, Job done)
{
    const int generation = m_guiGeneration;
    post(
        [this, modules, command = std::move(command), generation] {
            if (generation != m_generation.load())
                return;
            for (BaseModule *module : modules)
                if (m_modules.contains(module))
                    command(module);
        },
        context, std::move(done));
}

void CrateSession::refreshSoon(Refresh which)
{
    updateFeedMask();
    post([this, which] {
        switch (which) {
        case ModuleRefresh:
            refreshModule();
            break;
        case OverviewRefresh:
            refreshOverview();
            break;
        case InterlockRefresh:
            refreshInterlockOut();
            break;
        }
    });
}

void CrateSession::runAndWait(const Job &job)
{
    Q_ASSERT(!onCrateThread());
    if (m_shutDown)
        return;
    // Standard primitives: their hand-over is visible to ThreadSanitizer.
    std::mutex mutex;
    std::condition_variable condition;
    bool finished = false;
    post([&] {
        job();
        // Sent before this side wakes up and delivers it.
        flushOutbox();
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        condition.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        condition.wait(lock, [&finished] { return finished; });
    }
    // What the job sent (its signals, the modules it let go) is delivered
    // before this returns, as if it had run here.
    deliver();
}

void CrateSession::yieldToUrgent()
{
    if (m_urgentPending.load() && !m_inUrgent && onCrateThread())
        runUrgentJobs();
}

void CrateSession::runUrgentJobs()
{
    if (m_inUrgent)
        return;
    m_inUrgent = true;
    for (;;) {
        QList<Job> jobs;
        {
            QMutexLocker lock(&m_urgentMutex);
            jobs.swap(m_urgentJobs);
            m_urgentPending = false;
        }
        if (jobs.isEmpty())
            break;
        // What the interrupted job sent so far goes first, then the urgent one's.
        flushOutbox();
        for (const Job &job : std::as_const(jobs)) {
            job();
            flushOutbox();
        }
    }
    m_inUrgent = false;
}

bool CrateSession::askGuiThread(QObject *context, std::function<bool()> question)
{
    // Not a blocking queued call: the GUI thread may itself be waiting for
    // this thread (a window that closes), so this side keeps looking.
    struct Answer {
        std::mutex mutex;
        std::condition_variable condition;
        bool given = false;
        bool value = false;
    };
    auto answer = std::make_shared<Answer>();
    QPointer<QObject> target(context);
    m_outbox.append([answer, target, question = std::move(question)] {
        const bool value = target && question();
        std::lock_guard<std::mutex> lock(answer->mutex);
        answer->value = value;
        answer->given = true;
        answer->condition.notify_all();
    });
    flushOutbox();
    std::unique_lock<std::mutex> lock(answer->mutex);
    while (!answer->given) {
        if (m_shutDown)
            return false;
        answer->condition.wait_for(lock, std::chrono::milliseconds(50));
    }
    return answer->value;
}

void CrateSession::crateThreadWait(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    do {
        yieldToUrgent();
        const qint64 left = deadline.remainingTime();
        if (left > 0)
            QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, 5)));
    } while (!deadline.hasExpired());
}

bool CrateSession::beginLongCommand(const QString &kind)
{
    QMutexLocker lock(&m_longMutex);
    if (m_longCommands.contains(kind))
        return false;
    m_longCommands.append(kind);
    return true;
}

void CrateSession::endLongCommand(const QString &kind)
{
    QMutexLocker lock(&m_longMutex);
    m_longCommands.removeAll(kind);
}

BaseController *CrateSession::controller() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_controller;
}

QList<BaseModule *> CrateSession::modules() const
{
    if (onCrateThread())
        return m_modules;
    QMutexLocker lock(&m_stateMutex);
    return m_modules;
}

QList<BaseCrate *> CrateSession::crates() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_crates;
}

QString CrateSession::controllerAddress() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_controllerAddress;
}

bool CrateSession::isConnected() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_connected;
}

ModuleSnapshot CrateSession::snapshot(BaseModule *module) const
{
    QMutexLocker lock(&m_stateMutex);
    return m_snapshots.value(module);
}

BaseModule *CrateSession::currentModule() const
{
    if (onCrateThread())
        return workerModule();
    QMutexLocker lock(&m_stateMutex);
    const int index = m_currentModuleIndex;
    if (index < 0 || index >= m_modules.size())
        return nullptr;
    return m_modules.at(index);
}

BaseModule *CrateSession::workerModule() const
{
    if (m_workerModuleIndex < 0 || m_workerModuleIndex >= m_modules.size())
        return nullptr;
    return m_modules.at(m_workerModuleIndex);
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
    // Only with the crate thread gone (destructor).
    if (!m_modules.isEmpty())
        send(&CrateSession::modulesAboutToBeDeleted);
    qDeleteAll(m_modules);
    m_modules.clear();
    for (BaseCrate *crate : std::as_const(m_crates))
        delete crate;
    m_crates.clear();
    m_snapshots.clear();
}

// Crate thread: the modules (and crates, and the controller when it may go)
// leave the session; the GUI thread deletes them after it stopped a script.
void CrateSession::dropModules(bool withController)
{
    bool gone = false;
    {
        QMutexLocker lock(&m_stateMutex);
        gone = !m_modules.isEmpty();
        m_garbageModules.append(m_modules);
        m_modules.clear();
        // A crate switched off stays, to be switched on again.
        if (withController) {
            gone = gone || !m_crates.isEmpty();
            m_garbageCrates.append(m_crates);
            m_crates.clear();
            if (m_controller && m_controller->canBeDeleted()) {
                m_garbageControllers.append(m_controller);
                m_controller = nullptr;
                m_connected = false;
                gone = true;
            }
        }
        m_snapshots.clear();
    }
    ++m_generation;
    m_channelRows = 0;
    m_workerModuleIndex = 0;
    // Behind everything sent before that still names the modules.
    if (gone)
        m_outbox.append([this] { collectGarbage(); });
}

void CrateSession::collectGarbage()
{
    QList<BaseModule *> modules;
    QList<BaseCrate *> crates;
    QList<BaseController *> controllers;
    {
        QMutexLocker lock(&m_stateMutex);
        modules.swap(m_garbageModules);
        crates.swap(m_garbageCrates);
        controllers.swap(m_garbageControllers);
    }
    if (!modules.isEmpty())
        send(&CrateSession::modulesAboutToBeDeleted);
    // Modules and crates before the controller they call.
    qDeleteAll(modules);
    qDeleteAll(crates);
    qDeleteAll(controllers);
}

void CrateSession::publishModules(const QList<BaseModule *> &modules, const QList<BaseCrate *> &crates)
{
    QMutexLocker lock(&m_stateMutex);
    m_modules = modules;
    m_crates = crates;
    for (BaseModule *module : modules)
        m_snapshots.insert(module, ModuleSnapshot());
}

// ---------------------------------------------------------------- connection

void CrateSession::disconnectFromCrate()
{
    // No tick may run while the connection is rebuilt.
    m_refreshTimer->stop();
    m_currentModuleIndex = 0;
    m_channelRows = 0;
    runAndWait([this] { dropModules(true); });
    m_guiGeneration = m_generation.load();
}

bool CrateSession::workerConnect(const QString &address)
{
    dropModules(true);
    if (!m_controller) {
        BaseController *controller = m_factory ? m_factory(nullptr) : nullptr;
        QMutexLocker lock(&m_stateMutex);
        m_controller = controller;
    }
    auto *snmpController = qobject_cast<SnmpController *>(m_controller);
    if (snmpController && !snmpController->isBound()) {
        send(&CrateSession::fatalError, snmpController->errorText());
        return false;
    }
    if (!m_controller || !m_controller->connectTo(address))
        return false;
    const QString connectedAddress = m_controller->address();

    const ModuleDiscovery::Result found = ModuleDiscovery::discover(snmpController);
    QList<BaseCrate *> crates;
    if (found.crate)
        crates.append(found.crate);
    publishModules(found.modules, crates);
    {
        QMutexLocker lock(&m_stateMutex);
        m_controllerAddress = connectedAddress;
        m_connected = true;
    }
    m_workerModuleIndex = 0;
    if (found.crate)
        send(&CrateSession::updateCrateFanSpeed, found.crate->serialNumber(), found.crate->fanSpeed());
    return true;
}

bool CrateSession::connectTo(const QString &address)
{
    disconnectFromCrate();
    m_refreshTimer->setInterval(address == QLatin1String("127.0.0.1") ? kLocalHostInterval : kRemoteInterval);
    bool connected = false;
    runAndWait([&] { connected = workerConnect(address); });
    m_guiGeneration = m_generation.load();
    if (connected)
        m_refreshTimer->start();
    return connected;
}

void CrateSession::startConnect(const QString &address)
{
    // The crate thread lets the old modules go itself: the GUI thread waits for nothing.
    m_refreshTimer->stop();
    m_currentModuleIndex = 0;
    m_channelRows = 0;
    m_refreshTimer->setInterval(address == QLatin1String("127.0.0.1") ? kLocalHostInterval : kRemoteInterval);
    auto connected = std::make_shared<bool>(false);
    post([this, address, connected] { *connected = workerConnect(address); }, this,
         [this, address, connected] {
             m_guiGeneration = m_generation.load();
             collectGarbage();
             if (*connected && !m_shutDown)
                 m_refreshTimer->start();
             send(&CrateSession::connectFinished, *connected, address);
         });
}

void CrateSession::setCurrentModuleIndex(int index)
{
    {
        QMutexLocker lock(&m_stateMutex);
        if (index < 0 || index >= m_modules.size())
            return;
    }
    m_currentModuleIndex = index;
    m_channelRows = 0;
    const int generation = m_guiGeneration;
    post([this, index, generation] {
        if (generation == m_generation.load())
            workerSetCurrentModule(index);
    });
}

void CrateSession::workerSetCurrentModule(int index)
{
    if (index < 0 || index >= m_modules.size())
        return;
    m_workerModuleIndex = index;
    m_channelRows = 0;
    BaseModule *module = m_modules.at(index);
    if (module->connectionState() == ModuleConnectionState::Connected)
        setUpCurrentModule(module);
    m_moduleRefreshPending = true;
    m_channelAnnounced = false;
    send(&CrateSession::currentModuleChanged, module->serialNumber());
}

void CrateSession::setCurrentChannel(int channel)
{
    m_currentChannel = channel;
    post([this, channel] {
        BaseModule *module = workerModule();
        if (!module || (m_channelAnnounced && channel == m_workerChannel))
            return;
        m_workerChannel = channel;
        m_channelAnnounced = true;
        send(&CrateSession::currentChannelChanged, module->serialNumber(), channel);
    });
}

void CrateSession::addViewer(Feed feed, QObject *viewer)
{
    m_viewers[feed].append(QPointer<QObject>(viewer));
}

// GUI thread: which feeds a visible viewer wants, for the crate thread to read.
void CrateSession::updateFeedMask()
{
    int mask = 0;
    for (int feed = 0; feed < FeedCount; ++feed)
        for (const QPointer<QObject> &viewer : std::as_const(m_viewers[feed]))
            if (viewer && viewer->property("visible").toBool())
                mask |= 1 << feed;
    m_feedMask = mask;
}

bool CrateSession::feedWanted(Feed feed)
{
    return m_feedMask.load() & (1 << feed);
}

CrateSession::RefreshPause::RefreshPause(CrateSession *session) : m_session(session)
{
    if (m_session) {
        m_wasActive = m_session->m_refreshTimer->isActive();
        m_connection = m_session->m_guiGeneration;
        m_session->m_refreshTimer->stop();
    }
}

CrateSession::RefreshPause::~RefreshPause()
{
    // A reconnect or a power-off meanwhile decides the timer itself.
    if (m_session && m_wasActive && m_connection == m_session->m_guiGeneration && !m_session->m_shutDown)
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
        yieldToUrgent();
        BaseModule *module = m_modules.at(index);
        ModuleConnectionState state = module->connectionState();
        if (state == ModuleConnectionState::Unknown) {
            send(&CrateSession::moduleStateTextChanged, index, tr("Connecting..."));
            state = ModuleConnectionState::NotConnected;
        }
        if (state == ModuleConnectionState::NotConnected) {
            if (moduleAnswers(module)) {
                const int serial = module->serialNumber();
                send(&CrateSession::moduleStateTextChanged, index, serial ? QString::number(serial) : module->firmwareName());
                module->setConnectionState(ModuleConnectionState::Connecting);
                module->channelVoltageNominal(0);
                module->channelCurrentNominal(0);
                storeNominals(module);
            } else if (module->connectionState() == ModuleConnectionState::Unknown) {
                module->setConnectionState(ModuleConnectionState::NotConnected);
            }
        } else if (!moduleAnswers(module)) {
            send(&CrateSession::moduleStateTextChanged, index, tr("Not connected"));
            module->setConnectionState(ModuleConnectionState::NotConnected);
        }
    }
}

// The nominal values the module read last (channel 0 read the records): the
// other channels come from its cache, without a library call.
void CrateSession::storeNominals(BaseModule *module)
{
    const int channels = module->channelNumber();
    QVector<float> voltage(channels), current(channels);
    for (int channel = 1; channel < channels; ++channel) {
        voltage[channel] = module->channelVoltageNominal(channel);
        current[channel] = module->channelCurrentNominal(channel);
    }
    // Channel 0 from the same cache: a read of channel 0 would ask the module again.
    if (channels > 0) {
        voltage[0] = module->channelVoltageNominal(0);
        current[0] = module->channelCurrentNominal(0);
    }
    QMutexLocker lock(&m_stateMutex);
    if (m_snapshots.contains(module)) {
        m_snapshots[module].voltageNominal = voltage;
        m_snapshots[module].currentNominal = current;
    }
}

void CrateSession::refreshCrateData()
{
    if (!onCrateThread()) {
        updateFeedMask();
        runAndWait([this] { refreshCrateData(); });
        return;
    }
    if (!m_controller) {
        m_crateRefreshCounter = 0;
        return;
    }
    ++m_crateRefreshCounter;
    const int interval = qMax(1, m_refreshInterval.load());
    if (m_crateRefreshCounter < 1000 / interval)
        return;
    m_crateRefreshCounter = 0;

    const QString message = m_controller->connectionMessage();
    send(&CrateSession::crateStateRefreshed, message, m_controller->isLiveInsertion());

    updateModuleConnectionStates();

    if (feedWanted(CrateFeed)) {
        for (BaseCrate *crate : std::as_const(m_crates)) {
            yieldToUrgent();
            const int serial = crate->serialNumber();
            send(&CrateSession::updateCrateAddress, serial, crate->address());
            send(&CrateSession::updateCrateFirmwareRelease, serial, crate->firmwareRelease());
            send(&CrateSession::updateCrateSupply5V, serial, crate->supply5V());
            send(&CrateSession::updateCrateSupply24V, serial, crate->supply24V());
            send(&CrateSession::updateCrateBattery24V, serial, crate->battery24V());
            send(&CrateSession::updateCrateTemperatureBackPlane, serial, crate->temperatureBackPlane());
            send(&CrateSession::updateCrateTemperaturePowerSupply, serial, crate->temperaturePowerSupply());
            send(&CrateSession::updateCrateFanSpeed, serial, crate->fanSpeed());
            send(&CrateSession::updateCrateStatus, serial, crate->status());
            send(&CrateSession::updateCrateEventStatus, serial, crate->eventStatus());
            send(&CrateSession::updateCratePowerOn, serial, crate->powerOn());
        }
    }
}

void CrateSession::setUpCurrentModule(BaseModule *module)
{
    const int serial = module->serialNumber();
    send(&CrateSession::updateModuleFirmwareName, serial, module->firmwareName());
    const int channels = module->channelNumber();
    // The nominal values the window's table shows, read as the window read them.
    QVector<float> voltage(channels), current(channels);
    for (int channel = 0; channel < channels; ++channel) {
        yieldToUrgent();
        voltage[channel] = module->channelVoltageNominal(channel);
        current[channel] = module->channelCurrentNominal(channel);
    }
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_snapshots.contains(module)) {
            m_snapshots[module].voltageNominal = voltage;
            m_snapshots[module].currentNominal = current;
        }
    }
    // The window fills its labels and the table's rows and nominal values.
    send(&CrateSession::currentModuleSetUp, module);
    m_channelRows = channels;
    for (int channel = 0; channel < channels; ++channel) {
        send(&CrateSession::updateChannelVoltageUnit, serial, channel, module->voltageUnit(channel));
        send(&CrateSession::updateChannelCurrentUnit, serial, channel, module->currentUnit(channel));
    }
}

void CrateSession::refreshChannels(BaseModule *module)
{
    const int serial = module->serialNumber();
    const int rows = m_channelRows;
    ModuleSnapshot values;
    values.voltageSet.resize(rows);
    values.currentSet.resize(rows);
    values.channelControl.resize(rows);
    values.channelStatus.resize(rows);
    values.channelEventStatus.resize(rows);
    values.channelEventMask.resize(rows);
    for (int channel = 0; channel < rows; ++channel) {
        // Channel 0 reads the records; an urgent request may go in between them.
        ChannelReading reading;
        yieldToUrgent();
        reading.control = module->channelControl(channel);
        send(&CrateSession::updateChannelControl, serial, channel, reading.control);
        yieldToUrgent();
        reading.status = module->channelStatus(channel);
        send(&CrateSession::updateChannelStatus, serial, channel, reading.status);

        const QString vunit = module->voltageUnit(channel);
        const QString iunit = module->currentUnit(channel);
        yieldToUrgent();
        reading.voltageSet = module->channelVoltageSet(channel);
        send(&CrateSession::updateChannelVoltage, serial, channel, reading.voltageSet, vunit);
        yieldToUrgent();
        reading.currentSet = module->channelCurrentSet(channel);
        send(&CrateSession::updateChannelCurrent, serial, channel, reading.currentSet, iunit);

        yieldToUrgent();
        const float vmeas = module->channelVoltageMeasure(channel);
        reading.voltageMeasure = module->userVoltageToSiVoltage(vmeas);
        reading.voltageMeasureText = module->formatVoltage(reading.voltageMeasure);
        send(qOverload<int, int, QString, QString>(&CrateSession::updateChannelVoltageMeasure), serial, channel, reading.voltageMeasureText, vunit);
        send(qOverload<int, int, float, QString>(&CrateSession::updateChannelVoltageMeasure), serial, channel, reading.voltageMeasure, QStringLiteral("V"));

        yieldToUrgent();
        reading.currentMeasure = module->channelCurrentMeasure(channel);
        reading.lowCurrentRange = reading.status.isLCR();
        const QString imeasText = reading.lowCurrentRange ? module->formatLowCurrent(reading.currentMeasure)
                                                          : module->formatCurrent(reading.currentMeasure);
        send(qOverload<int, int, QString, QString>(&CrateSession::updateChannelCurrentMeasure), serial, channel, imeasText,
                                         reading.lowCurrentRange ? module->lowCurrentUnit(channel) : iunit);
        send(qOverload<int, int, float, QString>(&CrateSession::updateChannelCurrentMeasure), serial, channel, reading.currentMeasure, QStringLiteral("A"));

        const ChannelEventStatus eventStatus = module->channelEventStatus(channel);
        const ChannelEventMask eventMask = module->channelEventMask(channel);
        send(&CrateSession::updateChannelEventStatus, serial, channel, eventStatus);
        send(&CrateSession::updateChannelEventMask, serial, channel, eventMask);

        yieldToUrgent();
        reading.delayedTrip = module->channelDelayedTripEnabled(channel);
        values.voltageSet[channel] = reading.voltageSet;
        values.currentSet[channel] = reading.currentSet;
        values.channelControl[channel] = reading.control;
        values.channelStatus[channel] = reading.status;
        values.channelEventStatus[channel] = eventStatus;
        values.channelEventMask[channel] = eventMask;
        send(&CrateSession::currentChannelRead, module, channel, reading);
    }
    // The current channel's rates of a low-voltage module, for its status panel.
    const int current = m_workerChannel;
    if (module->isWienerLowVoltage() && current >= 0 && current < rows) {
        yieldToUrgent();
        values.rateChannel = current;
        values.channelVoltageRiseRate = module->channelVoltageRiseRate(current);
        values.channelVoltageFallRate = module->channelVoltageFallRate(current);
    }
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_snapshots.contains(module)) {
            ModuleSnapshot &stored = m_snapshots[module];
            stored.voltageSet = values.voltageSet;
            stored.currentSet = values.currentSet;
            stored.channelControl = values.channelControl;
            stored.channelStatus = values.channelStatus;
            stored.channelEventStatus = values.channelEventStatus;
            stored.channelEventMask = values.channelEventMask;
            stored.rateChannel = values.rateChannel;
            stored.channelVoltageRiseRate = values.channelVoltageRiseRate;
            stored.channelVoltageFallRate = values.channelVoltageFallRate;
        }
    }
    send(&CrateSession::currentChannelsRead, module);
}

// GUI thread: the timer's tick. A refresh still running (a slow crate) lets
// this tick go: ticks never pile up behind it.
void CrateSession::tick()
{
    if (m_refreshBusy.exchange(true)) {
        const int skipped = ++m_skippedTicks;
        qCDebug(lcCrate).noquote() << "refresh tick skipped: the last refresh still runs (" << skipped << "skipped)";
        return;
    }
    updateFeedMask();
    m_refreshInterval = m_refreshTimer->interval();
    post([this] {
        workerRefreshChannelTable();
        m_refreshBusy = false;
    });
}

void CrateSession::refreshChannelTable()
{
    if (onCrateThread()) {
        workerRefreshChannelTable();
        return;
    }
    updateFeedMask();
    m_refreshInterval = m_refreshTimer->interval();
    runAndWait([this] { workerRefreshChannelTable(); });
}

void CrateSession::workerRefreshChannelTable()
{
    if (++m_tickCounter > 5) {
        m_tickCounter = 0;
        m_moduleRefreshPending = true;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    refreshCrateData();

    BaseModule *module = workerModule();
    if (module) {
        bool readChannels = true;
        const ModuleConnectionState state = module->connectionState();
        send(&CrateSession::currentModuleConnectionSeen, state);
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
            if (m_moduleRefreshPending.exchange(false)) {
                // In slices behind this refresh: the next tick's table goes in between.
                const int generation = m_generation.load();
                post([this, module, generation] { workerRefreshModule(module, generation, 0, ModuleReading(), true); });
            }
            refreshChannels(module);
            if (m_specialReports) {
                yieldToUrgent();
                send(&CrateSession::updateModuleSpecialControlStatus, module->serialNumber(), module->specialControlCommand(),
                                                      module->specialControlStatus());
            }
        }
        // The overview covers every module: it goes on when the current one
        // stops answering, so the others (and that one's state) stay true.
        if (feedWanted(OverviewFeed)) {
            const int generation = m_generation.load();
            post([this, generation] { workerRefreshOverview(generation, 0, true); });
        }
        if (feedWanted(AlarmFeed)) {
            const int generation = m_generation.load();
            post([this, generation] { workerScanChannelStates(generation); });
        }
    }
    qCDebug(lcCrate).noquote() << "refreshTable(channel):" << elapsedText(elapsed);
}

void CrateSession::refreshModule()
{
    if (onCrateThread()) {
        workerRefreshModule(workerModule(), m_generation.load(), 0, ModuleReading(), false);
        return;
    }
    updateFeedMask();
    runAndWait([this] { workerRefreshModule(workerModule(), m_generation.load(), 0, ModuleReading(), false); });
}

void CrateSession::workerRefreshModule(BaseModule *module, int generation, int fromChannel, ModuleReading reading,
                                       bool sliced)
{
    // The module may have been left, or gone, since this slice was queued.
    if (!module || generation != m_generation.load() || module != workerModule()
        || module->connectionState() != ModuleConnectionState::Connected)
        return;
    // Channels per slice: two library calls each.
    constexpr int kSliceChannels = 4;
    QElapsedTimer elapsed;
    elapsed.start();
    const int serial = module->serialNumber();

    if (fromChannel == 0) {
        yieldToUrgent();
        reading.temperature = module->temperature(0);
        send(&CrateSession::updateModuleTemperature, serial, 0, reading.temperature);
        yieldToUrgent();
        reading.supplyP5 = module->supplyP5();
        yieldToUrgent();
        reading.supplyP12 = module->supplyP12();
        reading.supplyN12 = module->supplyN12();
        send(&CrateSession::updateModuleSupplyP5, serial, reading.supplyP5);
        send(&CrateSession::updateModuleSupplyP12, serial, reading.supplyP12);
        send(&CrateSession::updateModuleSupplyN12, serial, reading.supplyN12);
        yieldToUrgent();
        reading.voltageLimit = module->voltageLimit();
        yieldToUrgent();
        reading.currentLimit = module->currentLimit();
        send(&CrateSession::updateModuleVoltageHardwareLimit, serial, reading.voltageLimit);
        send(&CrateSession::updateModuleCurrentHardwareLimit, serial, reading.currentLimit);
        yieldToUrgent();
        reading.status = module->status();
        yieldToUrgent();
        reading.eventStatus = module->eventStatus();
        send(&CrateSession::updateModuleStatus, serial, reading.status);
        send(&CrateSession::updateModuleEventStatus, serial, reading.eventStatus);
        if (feedWanted(ModuleWordsFeed)) {
            yieldToUrgent();
            send(&CrateSession::updateModuleControl, serial, module->control());
            send(&CrateSession::updateModuleEventMask, serial, module->eventMask());
            send(&CrateSession::updateModuleRestartTime, serial, module->restartTime());
            send(&CrateSession::updateModuleEventChannelStatus, serial, module->eventChannelStatus());
            send(&CrateSession::updateModuleEventChannelMask, serial, module->eventChannelMask());
            send(&CrateSession::updateModuleEventGroupStatus, serial, module->eventGroupStatus());
            send(&CrateSession::updateModuleEventGroupMask, serial, module->eventGroupMask());
        }
    }
    const int rows = m_channelRows;
    const int last = sliced ? qMin(rows, fromChannel + kSliceChannels) : rows;
    for (int channel = fromChannel; channel < last; ++channel) {
        yieldToUrgent();
        const QString vunit = module->voltageUnit(channel);
        const QString iunit = module->currentUnit(channel);
        send(&CrateSession::updateChannelVoltageNominal, serial, channel, module->channelVoltageNominal(channel), vunit);
        // Amperes, with the display unit the bounds' ranges are scaled to.
        send(&CrateSession::updateChannelCurrentNominal, serial, channel, module->channelCurrentNominal(channel), iunit);
        send(&CrateSession::updateChannelVoltageInterlockMaxSet, serial, channel, module->channelVoltageInterlockMaxSet(channel), vunit);
        send(&CrateSession::updateChannelCurrentInterlockMaxSet, serial, channel, module->channelCurrentInterlockMaxSet(channel), iunit);
    }
    if (last < rows) {
        post([this, module, generation, last, reading] { workerRefreshModule(module, generation, last, reading, true); });
        return;
    }

    yieldToUrgent();
    reading.killEnable = module->killEnable();
    reading.fineAdjustment = module->fineAdjustment();
    yieldToUrgent();
    reading.voltageRampSpeed = module->voltageRampSpeed();
    yieldToUrgent();
    reading.currentRampSpeed = module->currentRampSpeed();
    if (module->isWienerLowVoltage() && rows > 0) {
        reading.hasChannelRates = true;
        yieldToUrgent();
        reading.channelVoltageRiseRate = module->channelVoltageRiseRate(0);
        yieldToUrgent();
        reading.channelVoltageFallRate = module->channelVoltageFallRate(0);
    }
    reading.eventMask = module->eventMask();
    if (feedWanted(InterlockFeed))
        refreshInterlockOut();
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_snapshots.contains(module)) {
            m_snapshots[module].voltageRampSpeed = reading.voltageRampSpeed;
            m_snapshots[module].currentRampSpeed = reading.currentRampSpeed;
            m_snapshots[module].maximumVoltageRampSpeed = module->maximumVoltageRampSpeed();
        }
    }
    send(&CrateSession::currentModuleRead, module, reading);
    qCDebug(lcCrate).noquote() << "refreshModule:" << elapsedText(elapsed);
}

void CrateSession::refreshOverview()
{
    if (onCrateThread()) {
        workerRefreshOverview(m_generation.load(), 0, false);
        return;
    }
    updateFeedMask();
    runAndWait([this] { workerRefreshOverview(m_generation.load(), 0, false); });
}

void CrateSession::workerRefreshOverview(int generation, int index, bool sliced)
{
    if (generation != m_generation.load())
        return;
    QElapsedTimer elapsed;
    elapsed.start();
    if (index == 0)
        send(&CrateSession::updateAllModulesStarted);
    // One module per slice: a tick's table goes in between.
    const int last = sliced ? qMin<int>(m_modules.size(), index + 1) : int(m_modules.size());
    for (; index < last; ++index) {
        BaseModule *module = m_modules.at(index);
        yieldToUrgent();
        const int serial = module->serialNumber();
        send(&CrateSession::updateModuleStarted, serial);
        // A module that does not answer keeps its last values; only its state changes.
        if (module->connectionState() == ModuleConnectionState::NotConnected) {
            send(&CrateSession::updateModuleRunningState, serial, tr("Not connected"), QColor(Qt::red));
            send(&CrateSession::updateModuleCompleted, serial);
            continue;
        }
        const int channels = module->channelNumber();
        send(&CrateSession::updateModuleTemperature, serial, 0, module->temperature(0));
        for (int channel = 0; channel < channels; ++channel) {
            yieldToUrgent();
            const QString vunit = module->voltageUnit(channel);
            const QString iunit = module->currentUnit(channel);
            send(&CrateSession::updateChannelVoltageUnit, serial, channel, vunit);
            send(&CrateSession::updateChannelCurrentUnit, serial, channel, iunit);
            const float vmeas = module->channelVoltageMeasure(channel);
            const float imeas = module->channelCurrentMeasure(channel);
            send(qOverload<int, int, QString, QString>(&CrateSession::updateChannelVoltageMeasure), serial, channel, module->formatVoltage(module->userVoltageToSiVoltage(vmeas)), vunit);
            send(qOverload<int, int, float, QString>(&CrateSession::updateChannelVoltageMeasure), serial, channel, module->userVoltageToSiVoltage(vmeas), QStringLiteral("V"));
            send(qOverload<int, int, QString, QString>(&CrateSession::updateChannelCurrentMeasure), serial, channel, module->formatCurrent(imeas), iunit);
            send(qOverload<int, int, float, QString>(&CrateSession::updateChannelCurrentMeasure), serial, channel, imeas, QStringLiteral("A"));
            send(&CrateSession::updateChannelVoltage, serial, channel, module->channelVoltageSet(channel), vunit);
        }
        // Only the current module is ever set up to Connected; the others stay
        // at Connecting for as long as they answer.
        const ModuleConnectionState state = module->connectionState();
        const bool connected = state == ModuleConnectionState::Connected || state == ModuleConnectionState::Connecting;
        send(&CrateSession::updateModuleRunningState, serial, connected ? tr("Running") : tr("Not connected"),
                                      connected ? QColor(Qt::darkGreen) : QColor(Qt::red));
        send(&CrateSession::updateModuleCompleted, serial);
    }
    if (index < m_modules.size()) {
        post([this, generation, index] { workerRefreshOverview(generation, index, true); });
        return;
    }
    send(&CrateSession::updateAllModulesCompleted);
    qCDebug(lcCrate).noquote() << "refreshOverview:" << elapsedText(elapsed);
}

// A trip on a module nobody is looking at must still raise its alarm: one
// other module per tick, in turn, one record read each (its channel states).
void CrateSession::workerScanChannelStates(int generation)
{
    if (generation != m_generation.load())
        return;
    const int count = int(m_modules.size());
    BaseModule *current = workerModule();
    for (int tried = 0; tried < count; ++tried) {
        m_scanIndex = (m_scanIndex + 1) % count;
        BaseModule *module = m_modules.at(m_scanIndex);
        // A silent module keeps what it showed last; its own alarm says it is silent.
        if (module == current || module->connectionState() == ModuleConnectionState::NotConnected)
            continue;
        yieldToUrgent();
        const int serial = module->serialNumber();
        const int channels = module->channelNumber();
        // Channel 0 reads the record of all of them.
        for (int channel = 0; channel < channels; ++channel)
            send(&CrateSession::channelStatusScanned, serial, channel, module->channelStatus(channel));
        return;
    }
}

void CrateSession::refreshInterlockOut()
{
    if (!onCrateThread()) {
        runAndWait([this] { refreshInterlockOut(); });
        return;
    }
    BaseModule *module = workerModule();
    if (!module)
        return;
    const int serial = module->serialNumber();
    send(&CrateSession::updateInterlockControl, serial, module->GetModuleIlkOutControl());
    send(&CrateSession::updateInterlockStatus, serial, module->GetModuleIlkOutStatus());
    send(&CrateSession::updateInterlockCount, serial, module->GetModuleIlkOutCount());
    send(&CrateSession::updateInterlockLastTrigger, serial, module->GetModuleIlkOutLastTrigger());
    send(&CrateSession::updateInterlockChannelActualActive, serial, module->GetModuleIlkOutChnActualActive());
    send(&CrateSession::updateInterlockChannelEverTriggered, serial, module->GetModuleIlkOutChnEverTriggered());
}

// The automatic timer ticks on the GUI thread; its steps and checks write
// the modules on the crate thread.
void CrateSession::autoTimerUpdate()
{
    if (!m_autoTimerConfigured)
        return;
    const int delay = AutoCycler::checkDelayMs(m_autoTimer->interval());
    post([this, delay] {
        if (m_autoCycler->step())
            m_outbox.append([this, delay] {
                QTimer::singleShot(delay, Qt::PreciseTimer, this, &CrateSession::autoTimerControlUpdate);
            });
    });
}

void CrateSession::autoTimerControlUpdate()
{
    post([this] { m_autoCycler->check(); });
}

void CrateSession::setAutoTimerSettings(AutoCycler::Settings settings)
{
    post([this, settings] { m_autoCycler->setSettings(settings); });
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
    post([this, serialNumber, setOn] {
        BaseCrate *crate = crateBySerial(serialNumber);
        if (!crate)
            return;
        crate->setPowerOn(setOn);
        if (setOn) {
            send(&CrateSession::reconnectScheduled, qRound(m_reconnectDelay / 1000.0));
            m_outbox.append([this] { QTimer::singleShot(m_reconnectDelay, this, &CrateSession::reconnectRequested); });
        } else {
            // The modules no longer exist; nothing may go on showing or reading them.
            dropModules(false);
            // What the crate says now ("powered off"), for the status bar.
            if (m_controller)
                send(&CrateSession::crateStateRefreshed, m_controller->connectionMessage(),
                     m_controller->isLiveInsertion());
            send(&CrateSession::cratePoweredOff);
        }
    });
}

void CrateSession::setCrateFanSpeed(int serialNumber, int fanSpeed)
{
    post([this, serialNumber, fanSpeed] {
        if (BaseCrate *crate = crateBySerial(serialNumber))
            crate->setFanSpeed(fanSpeed);
    });
}

void CrateSession::clearCrateEvents(int serialNumber)
{
    post([this, serialNumber] {
        if (BaseCrate *crate = crateBySerial(serialNumber))
            crate->doClear();
    });
}

// ---------------------------------------------------------------- module requests

// A request on the current module, in the order the requests came.
void CrateSession::onCurrentModule(std::function<void(BaseModule *)> request)
{
    post([this, request = std::move(request)] {
        if (BaseModule *module = workerModule())
            request(module);
    });
}

void CrateSession::setChannelVoltage(int, int channel, float value)
{
    // The module takes the value in its own voltage unit and converts once.
    onCurrentModule([=](BaseModule *module) { module->setChannelVoltageSet(channel, value); });
}

void CrateSession::setChannelCurrent(int, int channel, float value)
{
    onCurrentModule(
        [=](BaseModule *module) { module->setChannelCurrentSet(channel, module->userCurrentToSiCurrent(value)); });
}

void CrateSession::clearChannelEvents(int, int channel)
{
    onCurrentModule([=](BaseModule *module) { module->clearChannelEventStatus(channel); });
}

void CrateSession::setChannelControl(int, int channel, ChannelControl control)
{
    onCurrentModule([=](BaseModule *module) { module->setChannelControl(channel, control); });
}

void CrateSession::setChannelEventMask(int, int channel, ChannelEventMask eventMask)
{
    onCurrentModule([=](BaseModule *module) { module->setChannelEventMask(channel, eventMask); });
}

void CrateSession::clearModuleEvents(int)
{
    onCurrentModule([](BaseModule *module) { module->clearEventStatus(); });
}

void CrateSession::setModuleControl(int, ModuleControl control)
{
    onCurrentModule([=](BaseModule *module) { module->setControl(control); });
}

void CrateSession::setModuleEventMask(int, ModuleEventMask eventMask)
{
    onCurrentModule([=](BaseModule *module) { module->setEventMask(eventMask); });
}

void CrateSession::setRestartTime(int, quint32 restartTime)
{
    onCurrentModule([=](BaseModule *module) { module->setRestartTime(restartTime); });
}

void CrateSession::setModuleEventChannelMask(int, quint32 mask)
{
    onCurrentModule([=](BaseModule *module) { module->setEventChannelMask(mask); });
}

void CrateSession::clearModuleEventChannelStatus(int)
{
    onCurrentModule([](BaseModule *module) { module->clearEventChannelStatus(); });
}

void CrateSession::setModuleEventGroupMask(int, quint32 mask)
{
    onCurrentModule([=](BaseModule *module) { module->setEventGroupMask(mask); });
}

void CrateSession::clearModuleEventGroupStatus(int)
{
    onCurrentModule([](BaseModule *module) { module->clearEventGroupStatus(); });
}

void CrateSession::getFlexGroupData(int serialNumber, int groupNumber)
{
    if (groupNumber < 0 || groupNumber > 31)
        return;
    // Answered with the serial number of the module that answered: a request
    // made before the dialog knew it (0) still tells it.
    Q_UNUSED(serialNumber)
    onCurrentModule([=](BaseModule *module) {
        send(&CrateSession::updateModuleFlexGroups, module->serialNumber(), groupNumber, module->flexGroupMemberList(groupNumber),
                                    module->flexGroupType(groupNumber));
    });
}

void CrateSession::setFlexGroup(int, int groupNumber, quint32 member, quint32 type)
{
    if (groupNumber < 0 || groupNumber > 31)
        return;
    onCurrentModule([=](BaseModule *module) { module->setFlexGroup(groupNumber, member, type); });
}

void CrateSession::storeFactorySettings(int serialNumber)
{
    // The reset waits for the module on the crate thread; a second request
    // meanwhile must not start another one on top.
    const QString kind = QStringLiteral("factory reset");
    if (!beginLongCommand(kind)) {
        emit requestFailed(tr("A factory reset is still running; wait until it has finished."));
        return;
    }
    post([this, serialNumber, kind] {
        BaseModule *module = workerModule();
        bool done = false;
        if (module) {
            send(&CrateSession::longCommandProgress, tr("Factory reset of module %1 running...").arg(serialNumber));
            FactorySettings factory;
            factory.inform = [this](const QString &text) { send(&CrateSession::requestFailed, text); };
            factory.wait = [this](int milliseconds) { crateThreadWait(milliseconds); };
            done = factory.factoryReset(module);
            send(&CrateSession::longCommandProgress, QString());
        }
        endLongCommand(kind);
        if (done)
            send(&CrateSession::factoryResetDone, serialNumber);
    });
}

void CrateSession::setSpecialControl(int, quint32 control)
{
    onCurrentModule([=](BaseModule *module) { module->setSpecialControlCommand(control); });
}

void CrateSession::sendHexLine(int, QByteArray line)
{
    onCurrentModule([=](BaseModule *module) { module->sendHexLine(line); });
}

void CrateSession::setInterlockOutControl(int, quint32 control)
{
    onCurrentModule([=](BaseModule *module) { module->SetModuleIlkOutControl(control); });
}

void CrateSession::setChannelVoltageNominal(int, int channel, float value)
{
    onCurrentModule([=](BaseModule *module) {
        if (module->status().isSTOP())
            module->setChannelVoltageNominal(channel, value);
    });
}

void CrateSession::setChannelCurrentNominal(int, int channel, float value)
{
    onCurrentModule([=](BaseModule *module) {
        if (module->status().isSTOP())
            module->setChannelCurrentNominal(channel, value);
    });
}

void CrateSession::setChannelBounds(int, int channel, bool asymmetricVoltageBounds, float voltageInterlockMaxSet,
                                    float voltageInterlockMinSet, bool asymmetricCurrentBounds,
                                    float currentInterlockMaxSet, float currentInterlockMinSet)
{
    const QString kind = QStringLiteral("bounds");
    if (!beginLongCommand(kind)) {
        emit requestFailed(tr("The bounds of a channel are still being set; wait until that has finished."));
        return;
    }
    post([=] {
        BaseModule *module = workerModule();
        if (module)
            writeChannelBounds(module, channel, asymmetricVoltageBounds, voltageInterlockMaxSet, voltageInterlockMinSet,
                               asymmetricCurrentBounds, currentInterlockMaxSet, currentInterlockMinSet);
        endLongCommand(kind);
    });
}

void CrateSession::writeChannelBounds(BaseModule *module, int channel, bool asymmetricVoltageBounds,
                                      float voltageInterlockMaxSet, float voltageInterlockMinSet,
                                      bool asymmetricCurrentBounds, float currentInterlockMaxSet,
                                      float currentInterlockMinSet)
{
    if (module->canSetAsymmetricBounds()) {
        ChannelControl control = module->channelControl(channel);
        control.setSetAVBND(asymmetricVoltageBounds);
        control.setSetACBND(asymmetricCurrentBounds);
        module->setChannelControl(channel, control);

        // The module takes a moment to report the new control word; poll it.
        // The poll runs on the crate thread, so no refresh reads in between.
        ChannelControl readBack = module->channelControl(channel);
        int attempts = 199;
        while (readBack != control && attempts > 0) {
            crateThreadWait(1);
            readBack = module->channelControl(channel);
            --attempts;
        }
        if (readBack != control) {
            send(&CrateSession::requestFailed, tr("Error setting Channel %1 Control word. Giving up.").arg(channel));
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
    onCurrentModule([=](BaseModule *module) { module->setFactoryCurrentMeasurementRange(range); });
}

void CrateSession::reloadResolution()
{
    post([this] {
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
        BaseModule *current = workerModule();
        if (current && current->connectionState() == ModuleConnectionState::Connected)
            current->setConnectionState(ModuleConnectionState::Connecting);
    });
}

void CrateSession::setSpecialReportsEnabled(bool enabled)
{
    m_specialReports = enabled;
}
