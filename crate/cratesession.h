#pragma once
// One connection to a crate and everything that reads or writes it for the
// operator program: the controller and the module discovery, the module
// connection states, the refresh cycle, the update signals that carry the values
// to views and dialogs, and the request slots through which they act on the
// current module. Knows no widget: the main window renders what the signals
// carry and shows the boxes.
//
// Adding a request for a new dialog: one slot here (act on currentModule(), keyed
// by serial number like the others), one connect in that dialog's bind().
//
// Threads: every access-library call of the session runs on its crate thread
// (one QThread the session owns): the connection and discovery, each refresh,
// every request slot and every job of the window (post, postModules). Requests
// run one after the other in the order given, so a request made during a
// refresh runs right after it and before the next. Urgent jobs (emergency off)
// run next, even in the middle of a refresh. The update signals are emitted on
// the crate thread and reach the widgets queued, with their values copied; a
// BaseModule pointer they carry is an identity for the receiver, which reads
// values only from the signal or from snapshot(), never from the module.

#include "autocycler.h"
#include "channelcontrol.h"
#include "channeleventmask.h"
#include "channeleventstatus.h"
#include "channelstatus.h"
#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "moduleeventstatus.h"
#include "modulestatus.h"
#include "vexatypes.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <functional>
#include <tuple>
#include <type_traits>

class BaseController;
class BaseCrate;
class BaseModule;
class QThread;
class QTimer;

// The values of one channel that one refresh pass read, for the channel table.
struct ChannelReading {
    ChannelControl control;
    ChannelStatus status;
    float voltageSet = 0.0f;     // user voltage unit
    float currentSet = 0.0f;     // amperes
    float voltageMeasure = 0.0f; // volts
    QString voltageMeasureText;  // formatted in the display unit
    float currentMeasure = 0.0f; // amperes
    bool lowCurrentRange = false;
    bool delayedTrip = false;
};

// The module values of one module refresh, for the module tabs of the window.
struct ModuleReading {
    float temperature = 0.0f;
    float supplyP5 = 0.0f;
    float supplyP12 = 0.0f;
    float supplyN12 = 0.0f;
    float voltageLimit = 0.0f;
    float currentLimit = 0.0f;
    ModuleStatus status;
    ModuleEventStatus eventStatus;
    bool killEnable = false;
    bool fineAdjustment = false;
    float voltageRampSpeed = 0.0f;
    float currentRampSpeed = 0.0f;
    bool hasChannelRates = false; // low-voltage module with channels: the next two are read
    float channelVoltageRiseRate = 0.0f;
    float channelVoltageFallRate = 0.0f;
    ModuleEventMask eventMask;
};

// The values of one module the crate thread last read, for the widgets and the
// prompts of the GUI thread: nominal values from the module's first connection,
// set values and channel words from the last refresh of it as current module,
// the ramp speeds from the last module refresh.
struct ModuleSnapshot {
    QVector<float> voltageNominal; // user voltage unit
    QVector<float> currentNominal; // amperes
    QVector<float> voltageSet;     // user voltage unit
    QVector<float> currentSet;     // amperes
    QVector<ChannelControl> channelControl;
    QVector<ChannelStatus> channelStatus;
    QVector<ChannelEventStatus> channelEventStatus;
    QVector<ChannelEventMask> channelEventMask;
    int rateChannel = -1; // the channel the two rates below belong to (low-voltage modules)
    float channelVoltageRiseRate = 0.0f;
    float channelVoltageFallRate = 0.0f;
    float voltageRampSpeed = 0.0f;
    float currentRampSpeed = 0.0f;
    float maximumVoltageRampSpeed = 0.0f;
};

class CrateSession : public QObject
{
    Q_OBJECT

public:
    // Makes the controller on the first connect; the session owns it. The
    // program passes one that loads the access library, tests one bound to a fake.
    using ControllerFactory = std::function<BaseController *(QObject *parent)>;

    // Values some consumers need only while they are shown: the crate values
    // (crate dialog), the all-module overview (statistics, overview dialogs) and
    // the module words only the module dialog shows (control word, event mask,
    // restart time, per-channel and per-group event words) and the current
    // module's interlock output (with the module refresh); the alarms want the
    // channel states of the modules not shown (channelStatusScanned).
    enum Feed { CrateFeed, OverviewFeed, ModuleWordsFeed, InterlockFeed, AlarmFeed, FeedCount };

    explicit CrateSession(ControllerFactory factory, QObject *parent = nullptr);
    ~CrateSession() override;

    // What the crate thread last published. The pointers are identities on the
    // GUI thread: pass them to post()/postModules(), never call them here.
    BaseController *controller() const;
    QList<BaseModule *> modules() const;
    QList<BaseCrate *> crates() const;
    // The module the operator picked (at once, before the crate thread took it up).
    BaseModule *currentModule() const;
    int currentModuleIndex() const { return m_currentModuleIndex; }
    int currentChannel() const { return m_currentChannel; }
    // Rows of the current module's channel table: its channel number once set up, else 0.
    int channelRows() const { return m_channelRows; }
    // The latest values of a module (empty vectors before the first read).
    ModuleSnapshot snapshot(BaseModule *module) const;
    // The address of the last connection and whether the controller is connected.
    QString controllerAddress() const;
    bool isConnected() const;

    // ----- the crate thread -----
    using Job = std::function<void()>;
    // Runs the job on the crate thread after everything posted before it; an
    // urgent job runs next, before the rest of a refresh in progress.
    void post(Job job, bool urgent = false);
    // Runs `job` on the crate thread, then `done` on the GUI thread (if
    // `context` still exists).
    void post(Job job, QObject *context, Job done);
    // Runs `command` on the crate thread for each of these modules (as the GUI
    // thread knew them) that still belongs to the same connection.
    void postModules(const QList<BaseModule *> &modules, std::function<void(BaseModule *)> command,
                     bool urgent = false, int generation = -1);
    // The connection the GUI thread knows: a command that asked the operator
    // first passes the one it started with, so it writes nothing when the
    // modules were replaced meanwhile.
    int generation() const { return m_guiGeneration; }
    // The same, then `done` on the GUI thread (if `context` still exists).
    void postModules(const QList<BaseModule *> &modules, std::function<void(BaseModule *)> command, QObject *context,
                     Job done);
    // A dialog that shows these values has just opened: read them next.
    enum Refresh { ModuleRefresh, OverviewRefresh, InterlockRefresh };
    void refreshSoon(Refresh which);
    // Runs the job on the crate thread and waits for it (tests, and the few
    // places that need the answer at once). Never from the crate thread.
    void runAndWait(const Job &job);
    bool onCrateThread() const;
    // From the crate thread: runs `question` on the GUI thread (a message box)
    // and waits for its answer; false when `context` goes or the session stops.
    bool askGuiThread(QObject *context, std::function<bool()> question);
    // Waits on the crate thread while urgent jobs still run.
    void crateThreadWait(int milliseconds);
    // A long command (control-word poll, profile load, factory reset) of that
    // kind is running: a second one is refused. begin returns false then.
    bool beginLongCommand(const QString &kind);
    void endLongCommand(const QString &kind);
    // Ticks that fired while the previous refresh still ran.
    int skippedTicks() const { return m_skippedTicks.load(); }
    // A refresh of the channel table is queued or running (tests, benchmark).
    bool refreshRunning() const { return m_refreshBusy.load(); }
    // Stops the refresh and the crate thread (the window closes); idempotent.
    void shutdown();
    QTimer *refreshTimer() const { return m_refreshTimer; }
    QTimer *autoTimer() const { return m_autoTimer; }
    AutoCycler *autoCycler() const { return m_autoCycler; }
    BaseCrate *crateBySerial(int serialNumber) const;

    // Drops modules, crates and (when it allows) the controller and stops the refresh.
    void disconnectFromCrate();
    // Connects to the address, finds the modules and starts the refresh. False when
    // the crate does not answer, or after fatalError (library not usable). Waits
    // for the crate thread; the window uses startConnect.
    bool connectTo(const QString &address);
    // The same without waiting: connectFinished tells the result.
    void startConnect(const QString &address);

    // The operator picked another module (row of the module list): sets it up
    // when it is connected and announces it. Follow with setCurrentChannel.
    void setCurrentModuleIndex(int index);
    // The current channel (the table's current row); announced when it changed
    // or a module was picked since.
    void setCurrentChannel(int channel);

    // How long after switching the crate on reconnectRequested comes (15 s: the
    // crate's controller needs that long to boot).
    void setReconnectDelay(int milliseconds) { m_reconnectDelay = milliseconds; }

    // A consumer that needs a feed while it is visible (its "visible" property).
    void addViewer(Feed feed, QObject *viewer);
    // Reads the module values on the next tick instead of up to six ticks later
    // (a dialog that shows them has just opened).
    void requestModuleRefresh() { m_moduleRefreshPending = true; }

    // Stops the refresh until the returned guard ends, restarting it if it ran:
    // a command that waits for a module must not have the refresh read in between.
    class RefreshPause
    {
    public:
        explicit RefreshPause(CrateSession *session);
        ~RefreshPause();
        RefreshPause(const RefreshPause &) = delete;
        RefreshPause &operator=(const RefreshPause &) = delete;

    private:
        QPointer<CrateSession> m_session;
        bool m_wasActive = false;
        int m_connection = 0;
    };

signals:
    // startConnect ended: the modules are published (or the crate did not answer).
    void connectFinished(bool connected, QString address);
    // Progress of a long command on the crate thread, for the status bar.
    void longCommandProgress(QString text);
    // The access library cannot be used; the program shows the text and ends (exit code 1).
    void fatalError(QString text);
    // What the window shows outside the update signals.
    void crateStateRefreshed(QString connectionMessage, bool liveInsertion);
    void moduleStateTextChanged(int index, QString text);
    void currentModuleConnectionSeen(ModuleConnectionState state);
    void currentModuleSetUp(BaseModule *module);
    void currentChannelRead(BaseModule *module, int channel, const ChannelReading &reading);
    void currentChannelsRead(BaseModule *module);
    void currentModuleRead(BaseModule *module, const ModuleReading &reading);
    void cratePoweredOff();
    // Emitted (directly) right before the modules are deleted: a script still
    // calling one is stopped by then.
    void modulesAboutToBeDeleted();
    void reconnectScheduled(int seconds);
    void reconnectRequested();
    // A request that could not be carried out; the window tells the operator.
    void requestFailed(QString text);

    void currentModuleChanged(int serialNumber);
    void currentChannelChanged(int serialNumber, int channel);

    void updateModuleFirmwareName(int serialNumber, QString firmwareName);
    void updateModuleControl(int serialNumber, ModuleControl control);
    void updateModuleStatus(int serialNumber, ModuleStatus status);
    void updateModuleEventStatus(int serialNumber, ModuleEventStatus eventStatus);
    void updateModuleEventMask(int serialNumber, ModuleEventMask eventMask);
    void updateModuleRestartTime(int serialNumber, quint32 restartTime);
    void updateModuleSupplyP5(int serialNumber, float value);
    void updateModuleSupplyP12(int serialNumber, float value);
    void updateModuleSupplyN12(int serialNumber, float value);
    void updateModuleTemperature(int serialNumber, int index, float temperature);
    void updateModuleVoltageHardwareLimit(int serialNumber, float value);
    void updateModuleCurrentHardwareLimit(int serialNumber, float value);
    void updateModuleEventChannelStatus(int serialNumber, quint32 status);
    void updateModuleEventChannelMask(int serialNumber, quint32 mask);
    void updateModuleEventGroupStatus(int serialNumber, quint32 status);
    void updateModuleEventGroupMask(int serialNumber, quint32 mask);
    void updateModuleFlexGroups(int serialNumber, int groupNumber, quint32 member, quint32 type);
    void updateModuleSpecialControlStatus(int serialNumber, quint32 control, quint32 status);
    void updateModuleRunningState(int serialNumber, QString runningState, QColor color);

    void updateAllModulesStarted();
    void updateAllModulesCompleted();
    void updateModuleStarted(int serialNumber);
    void updateModuleCompleted(int serialNumber);

    void updateChannelControl(int serialNumber, int channel, ChannelControl control);
    void updateChannelStatus(int serialNumber, int channel, ChannelStatus status);
    // The channel states of a module other than the current one, read one such
    // module per tick while the alarms watch (AlarmFeed). Not a table update:
    // the channel views show the current module's, from updateChannelStatus.
    void channelStatusScanned(int serialNumber, int channel, ChannelStatus status);
    void updateChannelEventStatus(int serialNumber, int channel, ChannelEventStatus eventStatus);
    void updateChannelEventMask(int serialNumber, int channel, ChannelEventMask eventMask);
    void updateChannelVoltageNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelVoltageHardwareNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentHardwareNominal(int serialNumber, int channel, float value, QString unit);
    void updateChannelVoltage(int serialNumber, int channel, float value, QString unit);
    void updateChannelVoltageUnit(int serialNumber, int channel, QString unit);
    void updateChannelCurrent(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentUnit(int serialNumber, int channel, QString unit);
    // Formatted value (display unit) and plain value (volts, amperes).
    void updateChannelVoltageMeasure(int serialNumber, int channel, QString value, QString unit);
    void updateChannelVoltageMeasure(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentMeasure(int serialNumber, int channel, QString value, QString unit);
    void updateChannelCurrentMeasure(int serialNumber, int channel, float value, QString unit);
    void updateChannelVoltageInterlockMinSet(int serialNumber, int channel, float value, QString unit);
    void updateChannelVoltageInterlockMaxSet(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentInterlockMinSet(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentInterlockMaxSet(int serialNumber, int channel, float value, QString unit);

    void updateInterlockStatus(int serialNumber, quint32 value);
    void updateInterlockControl(int serialNumber, quint32 value);
    void updateInterlockCount(int serialNumber, quint32 value);
    void updateInterlockLastTrigger(int serialNumber, quint32 value);
    void updateInterlockChannelActualActive(int serialNumber, quint32 value);
    void updateInterlockChannelEverTriggered(int serialNumber, quint32 value);

    void updateCrateAddress(int serialNumber, QString address);
    void updateCrateFirmwareRelease(int serialNumber, QString release);
    void updateCrateSupply5V(int serialNumber, float value);
    void updateCrateSupply24V(int serialNumber, float value);
    void updateCrateBattery24V(int serialNumber, float value);
    void updateCrateTemperatureBackPlane(int serialNumber, float value);
    void updateCrateTemperaturePowerSupply(int serialNumber, float value);
    void updateCrateFanSpeed(int serialNumber, float value);
    void updateCrateStatus(int serialNumber, int status);
    void updateCrateEventStatus(int serialNumber, int eventStatus);
    void updateCratePowerOn(int serialNumber, bool on);

    void factoryResetDone(int serialNumber);
    void autoTimerControlLog(QString message);
    // The auto timer stopped by itself (its log file failed); the message went to autoTimerControlLog.
    void autoTimerStopped();

public slots:
    // Requests of views and dialogs; each acts on the current module.
    void setChannelVoltage(int serialNumber, int channel, float value);
    void setChannelCurrent(int serialNumber, int channel, float value);
    void clearChannelEvents(int serialNumber, int channel);
    void setChannelControl(int serialNumber, int channel, ChannelControl control);
    void setChannelEventMask(int serialNumber, int channel, ChannelEventMask eventMask);
    void clearModuleEvents(int serialNumber);
    void setModuleControl(int serialNumber, ModuleControl control);
    void setModuleEventMask(int serialNumber, ModuleEventMask eventMask);
    void setRestartTime(int serialNumber, quint32 restartTime);
    void setModuleEventChannelMask(int serialNumber, quint32 mask);
    void clearModuleEventChannelStatus(int serialNumber);
    void setModuleEventGroupMask(int serialNumber, quint32 mask);
    void clearModuleEventGroupStatus(int serialNumber);
    void getFlexGroupData(int serialNumber, int groupNumber);
    void setFlexGroup(int serialNumber, int groupNumber, quint32 member, quint32 type);
    void storeFactorySettings(int serialNumber);
    void setSpecialControl(int serialNumber, quint32 control);
    void sendHexLine(int serialNumber, QByteArray line);
    void setInterlockOutControl(int serialNumber, quint32 control);
    void setChannelVoltageNominal(int serialNumber, int channel, float value);
    void setChannelCurrentNominal(int serialNumber, int channel, float value);
    void setChannelBounds(int serialNumber, int channel, bool asymmetricVoltageBounds, float voltageInterlockMaxSet,
                          float voltageInterlockMinSet, bool asymmetricCurrentBounds, float currentInterlockMaxSet,
                          float currentInterlockMinSet);
    void setFactoryCurrentMeasurementRange(CurrentMeasurementRange range);
    // A display format was saved: every module loads its format again and the
    // current module's table is set up anew at the next tick.
    void reloadResolution();
    // While on, every tick reports the current module's special control and status words.
    void setSpecialReportsEnabled(bool enabled);

    // Requests of the crate dialog, by the crate's serial number.
    void setCratePowerOn(int serialNumber, bool setOn);
    void setCrateFanSpeed(int serialNumber, int fanSpeed);
    void clearCrateEvents(int serialNumber);

    // The refresh cycle. The timer's tick posts refreshChannelTable to the crate
    // thread (or skips it while the last one runs); called on the GUI thread,
    // each of these runs on the crate thread and waits for it.
    void refreshChannelTable();
    void refreshCrateData();
    void refreshModule();
    void refreshOverview();
    // The current module's interlock-output words (the interlock-out dialog).
    void refreshInterlockOut();

    // Automatic timer: the dialog and the log come with the automatic feature.
    void autoTimerUpdate();
    void autoTimerControlUpdate();
    void autoTimerIntervalChanged(int interval);
    void autoTimerEnabled(bool enabled);
    // Limits, increment, scope and check type of the automatic dialog; the
    // timer steps nothing until a dialog has given them.
    void setAutoTimerSettings(AutoCycler::Settings settings);

private:
    // Emits a signal of the session on the GUI thread: on the crate thread the
    // values are copied now and the emission waits in the outbox, which goes
    // to the GUI thread in one piece when the job ends, in job order. So every
    // receiver, and a BaseModule pointer it is handed, sees the GUI thread only.
    template <typename... S, typename... A>
    void send(void (CrateSession::*signal)(S...), A &&...args)
    {
        if (!onCrateThread()) {
            (this->*signal)(std::forward<A>(args)...);
            return;
        }
        m_outbox.append([this, signal, values = std::make_tuple(std::decay_t<S>(std::forward<A>(args))...)]() mutable {
            std::apply([this, signal](auto &...value) { (this->*signal)(value...); }, values);
        });
    }
    void flushOutbox();
    void crateLoop();
    void deliver();
    void tick();
    void updateFeedMask();
    void yieldToUrgent();
    void runUrgentJobs();
    BaseModule *workerModule() const;
    void publishModules(const QList<BaseModule *> &modules, const QList<BaseCrate *> &crates);
    void dropModules(bool withController);
    void collectGarbage();
    bool workerConnect(const QString &address);
    void workerRefreshChannelTable();
    void workerRefreshModule(BaseModule *module, int generation, int fromChannel, ModuleReading reading, bool sliced);
    void workerRefreshOverview(int generation, int index, bool sliced);
    void workerScanChannelStates(int generation);
    void onCurrentModule(std::function<void(BaseModule *)> request);
    void writeChannelBounds(BaseModule *module, int channel, bool asymmetricVoltageBounds, float voltageInterlockMaxSet,
                            float voltageInterlockMinSet, bool asymmetricCurrentBounds, float currentInterlockMaxSet,
                            float currentInterlockMinSet);
    void workerSetCurrentModule(int index);
    void storeNominals(BaseModule *module);
    void deleteModulesAndCrates();
    void updateModuleConnectionStates();
    bool moduleAnswers(BaseModule *module);
    void setUpCurrentModule(BaseModule *module);
    void refreshChannels(BaseModule *module);
    bool feedWanted(Feed feed);

    ControllerFactory m_factory;
    std::thread m_thread;
    std::thread::id m_threadId;
    std::mutex m_queueMutex;
    std::condition_variable m_queueCondition;
    QList<Job> m_jobs; // under m_queueMutex
    // The crate thread rings the GUI thread through a pipe: a write there and
    // the read here order the hand-over for every tool that checks threads.
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    QMutex m_deliveryMutex;
    QList<Job> m_deliveries; // under m_deliveryMutex
    // Written by the crate thread only, under m_stateMutex; the crate thread
    // reads them freely, the GUI thread under the mutex.
    mutable QMutex m_stateMutex;
    BaseController *m_controller = nullptr;
    QList<BaseModule *> m_modules;
    QList<BaseCrate *> m_crates;
    QHash<BaseModule *, ModuleSnapshot> m_snapshots;
    QString m_controllerAddress;
    bool m_connected = false;
    // Bumped on the crate thread whenever the modules go; the GUI thread's
    // copy comes with the published list, and a job made for an older one is dropped.
    std::atomic<int> m_generation{0};
    int m_guiGeneration = 0;
    // Modules, crates and controllers the crate thread let go: deleted on the
    // GUI thread once a running script has been stopped.
    QList<BaseModule *> m_garbageModules;
    QList<BaseCrate *> m_garbageCrates;
    QList<BaseController *> m_garbageControllers;
    std::atomic<bool> m_refreshBusy{false};
    std::atomic<int> m_refreshInterval{500};
    std::atomic<int> m_skippedTicks{0};
    std::atomic<int> m_feedMask{0};
    std::atomic<bool> m_urgentPending{false};
    QMutex m_urgentMutex;
    QList<Job> m_urgentJobs;
    bool m_inUrgent = false; // crate thread only
    QList<Job> m_outbox;     // crate thread only
    QMutex m_longMutex;
    QStringList m_longCommands;
    std::atomic<bool> m_shutDown{false};
    QTimer *m_refreshTimer = nullptr;
    QTimer *m_autoTimer = nullptr;
    AutoCycler *m_autoCycler = nullptr;
    bool m_autoTimerConfigured = false;
    QList<QPointer<QObject>> m_viewers[FeedCount];
    // The GUI thread's choice (set at once) and the crate thread's (set by the job).
    std::atomic<int> m_currentModuleIndex{0};
    std::atomic<int> m_currentChannel{-1};
    int m_workerModuleIndex = 0;
    int m_workerChannel = -1;
    bool m_channelAnnounced = false;
    int m_reconnectDelay = 15000;
    std::atomic<int> m_channelRows{0};
    std::atomic<bool> m_moduleRefreshPending{false};
    std::atomic<bool> m_specialReports{false};

    // Refresh bookkeeping (per session, so that a second session in one process,
    // as in the tests, starts from the same point).
    int m_tickCounter = 0;
    int m_scanIndex = -1; // the module the last channel-state scan read
    int m_crateRefreshCounter = 1000;
};
