#pragma once
// The main window of cratectl. It owns the connection to one crate (controller,
// crate object, modules), drives the periodic refresh and fans the values out
// to the views and dialogs through its update signals; the requests of views
// and dialogs come back through its slots and act on the current module.

#include <QColor>
#include <QFile>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "channelcontrol.h"
#include "channeleventmask.h"
#include "channeleventstatus.h"
#include "channelstatus.h"
#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "moduleeventstatus.h"
#include "modulestatus.h"
#include "vexatypes.h"

class BaseController;
class BaseCrate;
class BaseModule;
class DialogChannelBounds;
class DialogCrate;
class DialogOverview;
class IpV4InputDialog;
class QLabel;
class QProgressBar;
class QTimer;

namespace Ui {
class VexaControl;
}

class VexaControl : public QMainWindow
{
    Q_OBJECT

public:
    // Scopes of the value prompts: which channels a command writes.
    enum Scope { ScopeChannels = 0, ScopeModule = 1, ScopeSelectedModules = 2, ScopeAllModules = 3 };

    explicit VexaControl(QWidget *parent = nullptr);
    ~VexaControl() override;

    // Read access for tests and the benchmark.
    BaseController *controller() const { return m_controller; }
    QList<BaseModule *> modules() const { return m_modules; }
    QList<BaseCrate *> crates() const { return m_crates; }
    BaseModule *currentModule() const;
    int currentModuleIndex() const { return m_currentModuleIndex; }
    int currentChannel() const;
    QTimer *channelTableTimer() const { return m_channelTableTimer; }
    DialogCrate *crateDialog() const { return m_dialogCrate; }
    DialogOverview *overviewDialog() const;
    DialogChannelBounds *boundsDialog() const;
    QLabel *statusLabel(int number) const;
    QProgressBar *fanSpeedBar() const { return m_fanSpeedBar; }

signals:
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

public slots:
    // Requests of views and dialogs; each acts on the current module.
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
    void tableCellDataChanged(int row, int column, QString text);
    void setFactoryCurrenMeasurementRange(CurrentMeasurementRange range);
    void moduleEventMaskChanged(ModuleEventMask eventMask);
    void channelEventMaskChanged(ChannelEventMask eventMask);
    void setCratePowerOn(int serialNumber, bool setOn);
    void setCrateFanSpeed(int serialNumber, int fanSpeed);
    void clearCrateEvents(int serialNumber);
    void runScript(QString script);

    // Timer and cycle slots.
    void refreshCrateData();
    void refreshModule();
    void refreshChannelTable();
    void refreshOverview();
    void autoTimerUpdate();
    void autoTimerControlUpdate();
    void autoTimerIntervalChanged(int interval);
    void autoTimerEnabled(bool enabled);
    void initModuleAccess();

private slots:
    // File menu
    void on_actionController_triggered();
    void on_actionPassword_triggered();
    void on_actionHideShowStatusPanel_triggered();
    void on_actionQuit_triggered();
    void on_actionSystemReset_triggered();
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
    int execAddressDialog(IpV4InputDialog &dialog);
    void setModuleActionsEnabled(bool enabled);
    void deleteModulesAndCrates();
    // Asks for the crate address under the address lock; exits with code 2 on Cancel.
    QString lockedCrateAddress();
    void updateModuleConnectionStates();
    bool moduleAnswers(BaseModule *module);
    void setUpCurrentModule(BaseModule *module);
    void setModuleWidgetsEnabled(bool enabled);
    void refreshChannels(BaseModule *module);
    BaseCrate *crateBySerial(int serialNumber) const;
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
    void setCurrentTrip(int scope);
    void setInhibitAction(int scope);
    void refreshInterlockOut();
    static quint64 allChannelsMask();

    Ui::VexaControl *m_ui;
    QTimer *m_channelTableTimer = nullptr;
    QTimer *m_autoTimer = nullptr;

    // Dialogs of later features; created on first use and kept.
    QPointer<QWidget> m_dialogCalibrationControl;
    QPointer<QWidget> m_dialogSuppliesTempLimits;
    QPointer<QWidget> m_dialogChannelControl;
    QPointer<QWidget> m_scriptConsole;
    QPointer<QWidget> m_dialogModuleControl;
    QPointer<QWidget> m_dialogChannelBounds;
    QPointer<QWidget> m_dialogFlexGroups;
    QPointer<QWidget> m_dialogFactory;
    QPointer<QWidget> m_dialogSpecial;
    QPointer<QWidget> m_dialogInterlockOut;
    QPointer<QWidget> m_dialogStatistic;
    QPointer<QWidget> m_dialogAutomatic;
    QPointer<QWidget> m_dialogOverview;
    DialogCrate *m_dialogCrate = nullptr;

    BaseController *m_controller = nullptr;
    QList<BaseModule *> m_modules;
    QList<BaseCrate *> m_crates;
    int m_currentModuleIndex = 0;
    bool m_moduleRefreshPending = false;
    QString m_profilePath;
    QString m_organisation;
    QString m_application;
    QLabel *m_statusLabel1 = nullptr;
    QLabel *m_statusLabel2 = nullptr;
    QLabel *m_statusLabel3 = nullptr;
    QProgressBar *m_fanSpeedBar = nullptr;
    float m_lastDemand = 0.0f;
    QFile m_logFile;

    // Refresh bookkeeping (kept per window rather than process-wide so that a
    // second window in one process, as in the tests, starts from the same point).
    int m_tickCounter = 0;
    int m_crateRefreshCounter = 1000;
    bool m_staircaseDescending = false;
    int m_lastChannel = -1;
    QList<int> m_splitterSizes;
    bool m_serviceMode = false;
};
