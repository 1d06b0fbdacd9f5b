#pragma once
// The main window of cratectl: the view of one CrateSession. The session holds
// the connection, the refresh cycle and the update signals and request slots;
// the window renders what it reads, asks the operator (address, prompts) and
// runs the menu commands. A dialog joins with one line: create it and call its
// bind(session()).

#include <QColor>
#include <QFile>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>

#include "channelcontrol.h"
#include "channeleventmask.h"
#include "channeleventstatus.h"
#include "channelstatus.h"
#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "moduleeventstatus.h"
#include "modulestatus.h"
#include "cratesession.h"
#include "vexatypes.h"

class AlarmDock;
class AlarmModel;
class BaseController;
class BaseCrate;
class DialogAutomatic;
class DialogChannelBounds;
class DialogChannelControl;
class DialogCrate;
class DialogModuleControl;
class DialogOverview;
class DialogScriptConsole;
class DialogStatistic;
class IpV4InputDialog;
class QAction;
class QLabel;
class QProgressBar;
class QTimer;
class ScriptThread;
class TrendDock;
class TrendRecorder;

namespace Ui {
class VexaControl;
}

class VexaControl : public QMainWindow
{
    Q_OBJECT

public:
    // Scopes of the value prompts: which channels a command writes.
    enum Scope { ScopeChannels = 0, ScopeModule = 1, ScopeSelectedModules = 2, ScopeAllModules = 3 };

    // The session makes its controller with the factory; without one, the
    // controller loads the access library.
    // How the window connects: in its constructor, returning once the modules
    // are listed (tests, tools), or after initModuleAccess() is called (the
    // program: the window is shown first and paints while the crate answers).
    enum Start { ConnectAndWait, ConnectLater };
    explicit VexaControl(QWidget *parent = nullptr);
    explicit VexaControl(Start start, QWidget *parent = nullptr);
    explicit VexaControl(CrateSession::ControllerFactory factory, QWidget *parent = nullptr,
                         Start start = ConnectAndWait);
    ~VexaControl() override;

    CrateSession *session() const { return m_session; }
    // Read access for tests and the benchmark.
    BaseController *controller() const;
    QList<BaseModule *> modules() const;
    QList<BaseCrate *> crates() const;
    BaseModule *currentModule() const;
    int currentModuleIndex() const;
    int currentChannel() const;
    QTimer *channelTableTimer() const;
    DialogCrate *crateDialog() const { return m_dialogCrate; }
    DialogOverview *overviewDialog() const;
    DialogChannelBounds *boundsDialog() const;
    QLabel *statusLabel(int number) const;
    QProgressBar *fanSpeedBar() const { return m_fanSpeedBar; }
    TrendRecorder *trendRecorder() const { return m_trendRecorder; }
    TrendDock *trendDock() const { return m_trendDock; }
    AlarmModel *alarmModel() const { return m_alarmModel; }
    AlarmDock *alarmDock() const { return m_alarmDock; }

    // Returns once a connection started by initModuleAccess has been shown.
    void waitForConnection();

signals:
    // The connection initModuleAccess started has been shown (list filled or error).
    void connectionShown();

public slots:
    // Asks for the crate address under the address lock and starts the
    // connection on the crate thread; showConnection lists the modules.
    void initModuleAccess();
    void runScript(QString script);

private slots:
    // File menu
    void on_actionScript_triggered();
    void on_actionController_triggered();
    void on_actionPassword_triggered();
    void on_actionSaveProfile_triggered();
    void on_actionLoadProfile_triggered();
    void on_actionFactorySettings_triggered();
    void on_actionHideShowStatusPanel_triggered();
    void on_actionQuit_triggered();
    void on_actionSystemReset_triggered();
    void on_actionAutomatic_triggered();
    void on_actionStatistic_triggered();
    // System menu
    void on_actionCrates_triggered();
    void on_actionModuleOverview_triggered();
    void on_actionSetAllModulesCurrentTrip_triggered();
    void on_actionSetAllModulesExternalInhibitAction_triggered();
    void on_actionSetCrateAddress_triggered();
    void on_actionSetLiveInsertion_triggered();
    void on_actionSetAllModulesOn_triggered();
    void on_actionSetAllModulesOff_triggered();
    void on_actionSetAllModulesVoltage_triggered();
    void on_actionSetAllModulesCurrent_triggered();
    void on_actionSetAllModulesVoltageRamp_triggered();
    void on_actionSetAllModulesCurrentRamp_triggered();
    void on_actionClearAllModulesEvents_triggered();
    void on_actionSetAllModulesEmergencyOff_triggered();
    void on_actionClearAllModulesEmergencyOff_triggered();
    void on_actionSetAllModulesFineAdjustmentOn_triggered();
    void on_actionSetAllModulesFineAdjustmentOff_triggered();
    void on_actionSetAllModulesKillEnable_triggered();
    void on_actionSetAllModulesKillDisable_triggered();
    // Module menu
    void on_actionModuleStatusControl_triggered();
    void on_actionSelectModule_triggered();
    void on_actionPreviousModule_triggered();
    void on_actionNextModule_triggered();
    void on_actionSetModulesVoltageRamp_triggered();
    void on_actionSetModulesCurrentRamp_triggered();
    void on_actionClearAllEvents_triggered();
    void on_actionAdcSampleRate_triggered();
    void on_actionDigitalFilter_triggered();
    void on_actionSuppliesAndTemperature_triggered();
    void on_actionVariableGroups_triggered();
    void on_actionInterlockOut_triggered();
    void on_actionSetAllChannelsCurrentTrip_triggered();
    void on_actionSetAllChannelsExternalInhibitAction_triggered();
    void on_actionCalibrationMode_triggered(bool checked);
    void on_actionCalibrationControl_triggered();
    void on_actionSpecialMode_triggered();
    void on_actionSettings_triggered();
    void on_actionSetFineAdjustmentOn_triggered();
    void on_actionSetFineAdjustmentOff_triggered();
    void on_actionSetAllChannelsOn_triggered();
    void on_actionSetAllChannelsOff_triggered();
    void on_actionSetAllChannelsVoltageRiseRate_triggered();
    void on_actionSetAllChannelsVoltageFallRate_triggered();
    void on_actionSetAllVoltages_triggered();
    void on_actionSetAllCurrents_triggered();
    void on_actionSetAllChannelsVoltageIncremental_triggered();
    void on_actionSetAllChannelsEmergencyOff_triggered();
    void on_actionClearAllChannelsEmergencyOff_triggered();
    void on_actionSetKillEnable_triggered();
    void on_actionSetKillDisable_triggered();
    void on_actionDisableAllResistors_triggered();
    void on_actionEnableResistor1_triggered();
    void on_actionEnableResistor2_triggered();
    void on_actionEnableBothResistors_triggered();
    void on_actionDoMultiplex_triggered();
    // Channel menu
    void on_actionChannelStatusControl_triggered();
    void on_actionSelectChannel_triggered();
    void on_actionSetChannelVoltage_triggered();
    void on_actionSetChannelCurrent_triggered();
    void on_actionSetChannelCurrentTrip_triggered();
    void on_actionSetChannelExternalInhibitAction_triggered();
    void on_actionBounds_triggered();
    void on_actionSetChannelNominalValues_triggered();
    void on_actionSetChannelOn_triggered();
    void on_actionSetChannelOff_triggered();
    void on_actionSetChannelVoltageRiseRate_triggered();
    void on_actionSetChannelVoltageFallRate_triggered();
    void on_actionSetChannelEmergencyOff_triggered();
    void on_actionClearChannelEmergencyOff_triggered();
    void on_actionClearChannelEvents_triggered();
    void on_actionAutoSwitchMeasurement_triggered(bool checked);
    void on_actionSetChannelExternalMeasurementOn_triggered();
    void on_actionSetChannelExternalMeasurementOff_triggered();
    void on_actionSetChannelRippleMeasurementOn_triggered();
    void on_actionSetChannelRippleMeasurementOff_triggered();
    // Help menu
    void on_actionIndex_triggered();
    void on_actionAbout_triggered();
    void on_actionAboutQt_triggered();
    // Widgets
    void on_lstModules_currentRowChanged(int row);
    void on_lstModules_customContextMenuRequested(const QPoint &pos);
    void on_table_customContextMenuRequested(const QPoint &pos);
    void on_table_itemSelectionChanged();
    void on_clearChannelEventsButton_clicked();
    void on_clearModuleEventsButton_clicked();
    void on_voltageRampSpeed_returnPressed();
    void on_currentRampSpeed_returnPressed();
    void on_channelVoltageRiseRate_returnPressed();
    void on_channelVoltageFallRate_returnPressed();
    void on_allChannelVoltageRiseRate_returnPressed();
    void on_allChannelVoltageFallRate_returnPressed();
    void on_moduleKillEnable_linkActivated(const QString &link);
    void on_moduleAdjusting_linkActivated(const QString &link);

protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct VoltagePrompt {
        double lower = 0.0;
        double upper = 0.0;
        QString label;
    };

    QString productTitle() const;
    // Every command that reaches a module goes through these: the command runs
    // on the crate thread, in the order given; urgent ones (emergency off) next.
    void runOn(const QList<BaseModule *> &modules, std::function<void(BaseModule *)> command, bool urgent = false);
    void runOnCurrent(std::function<void(BaseModule *)> command, bool urgent = false);
    // A prompt that needs values the snapshot does not hold: `read` runs on the
    // crate thread, then `then` on the GUI thread, if the module is still there.
    void readThen(BaseModule *module, std::function<void(BaseModule *)> read, std::function<void()> then);
    void chooseModuleSetting(const QString &label, const QStringList &items, const QString &fallback,
                             std::function<quint32(BaseModule *)> read, std::function<void(BaseModule *, quint32)> write);
    void setProfileActionsEnabled(bool enabled);
    int execAddressDialog(IpV4InputDialog &dialog);
    void setModuleActionsEnabled(bool enabled);
    // Asks for the crate address under the address lock; exits with code 2 on Cancel.
    QString lockedCrateAddress();
    void bindSession();
    void showFatalError(const QString &text);
    void showConnection(bool connected, const QString &address);
    void showCrateState(const QString &connectionMessage, bool liveInsertion);
    void showModuleStateText(int index, const QString &text);
    void showCurrentModuleConnection(ModuleConnectionState state);
    void setUpCurrentModule(BaseModule *module);
    void showChannel(BaseModule *module, int channel, const ChannelReading &reading);
    void showCurrentChannel(BaseModule *module);
    void showModule(BaseModule *module, const ModuleReading &reading);
    void showCratePoweredOff();
    // Stops a running script and takes the module from it; the session calls it
    // right before it deletes the modules (and closing the window does).
    void releaseScriptModule();
    void showReconnectWait(int seconds);
    void tableCellDataChanged(int row, int column, QString text);
    void moduleEventMaskChanged(ModuleEventMask eventMask);
    void channelEventMaskChanged(ChannelEventMask eventMask);
    void setModuleWidgetsEnabled(bool enabled);
    QList<BaseModule *> selectedModules() const;
    QList<int> selectedChannels() const;
    QString scopeText(int scope) const;
    // Voltage and current prompts; return false when the operator cancels.
    bool askVoltage(int scope, double *value);
    bool askCurrent(int scope, double *value);
    bool askVoltageRamp(double *value);
    bool askCurrentRamp(double *value);
    bool askRate(const QString &label, double initial, double *value);
    QList<float> consideredValues(int scope, bool voltage) const;
    void setAllChannelsRate(BaseModule *module, float rate, bool rise);
    void setChannelsVoltage(int scope);
    void setChannelsCurrent(int scope);
    void moveModuleRow(int delta);
    // Protection commands and dialogs (vexacontrolprotect.cpp).
    void unlockServiceDialogs();
    void setOverviewHeaders();
    void setBoundsModule();
    void setCurrentTrip(int scope);
    void setInhibitAction(int scope);
    static quint64 allChannelsMask();
    // Trend and alarm docks, their menu entries and the status-bar alarm count
    // (vexacontroltrends.cpp).
    void setUpTrends();
    void addToTrend();
    void showAlarmCount(int count);

    Ui::VexaControl *m_ui;
    CrateSession *m_session = nullptr;

    // Dialogs of later features; created on first use and kept.
    QPointer<QWidget> m_dialogCalibrationControl;
    QPointer<QWidget> m_dialogSuppliesTempLimits;
    DialogChannelControl *m_dialogChannelControl = nullptr;
    QPointer<DialogScriptConsole> m_scriptConsole;
    DialogModuleControl *m_dialogModuleControl = nullptr;
    QPointer<QWidget> m_dialogChannelBounds;
    QPointer<QWidget> m_dialogFlexGroups;
    QPointer<QWidget> m_dialogFactory;
    QPointer<QWidget> m_dialogSpecial;
    QPointer<QWidget> m_dialogInterlockOut;
    QPointer<DialogStatistic> m_dialogStatistic;
    QPointer<DialogAutomatic> m_dialogAutomatic;
    QPointer<QWidget> m_dialogOverview;
    DialogCrate *m_dialogCrate = nullptr;
    // Runs the console's scripts against the first module; made with the console.
    ScriptThread *m_scriptThread = nullptr;

    QString m_profilePath;
    QString m_organisation;
    QString m_application;
    QLabel *m_statusLabel1 = nullptr;
    QLabel *m_statusLabel2 = nullptr;
    QLabel *m_statusLabel3 = nullptr;
    QProgressBar *m_fanSpeedBar = nullptr;
    float m_lastDemand = 0.0f;
    QFile m_logFile;
    bool m_staircaseDescending = false;
    QList<int> m_splitterSizes;
    bool m_serviceMode = false;
    TrendRecorder *m_trendRecorder = nullptr;
    TrendDock *m_trendDock = nullptr;
    AlarmModel *m_alarmModel = nullptr;
    AlarmDock *m_alarmDock = nullptr;
    QLabel *m_alarmLabel = nullptr;
    QAction *m_addToTrendAction = nullptr;
    int m_currentModuleSerial = -1;
    bool m_connecting = false;
};
