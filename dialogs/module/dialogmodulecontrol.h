#pragma once
// The module status / control dialog: status word, event status, event mask
// and control word of the main window's current module as check boxes, the
// module's 32-bit per-channel and per-group event status and masks, and its
// restart time. Like every dialog it holds no module: values come in through
// the update slots, requests leave as signals the main window applies.

#include <QDialog>

#include <array>
#include <optional>

#include "modulecontrol.h"
#include "moduleeventmask.h"
#include "moduleeventstatus.h"
#include "modulestatus.h"

class QCheckBox;

class CrateSession;

namespace Ui {
class DialogModuleControl;
}

class DialogModuleControl : public QDialog
{
    Q_OBJECT

public:
    explicit DialogModuleControl(QWidget *parent = nullptr);
    ~DialogModuleControl() override;

    // Connects the update slots and the request signals to the session and asks
    // it for the module words while the dialog is shown.
    void bind(CrateSession *session);

    int serialNumber() const { return m_serialNumber; }
    ModuleControl control() const { return m_control.value_or(ModuleControl()); }
    quint16 restartTime() const { return m_restartTime.value_or(0); }
    quint32 eventChannelMask() const { return m_eventChannelMask.value_or(0); }
    quint32 eventGroupMask() const { return m_eventGroupMask.value_or(0); }

    // Enables the channel-mask boxes a module with this many channels has;
    // never disables one.
    void setChannelNumber(int channels);

    // The "Select All" toggles are shared by every instance for the program's
    // run; tests put them back to the start state.
    static void resetSelectToggles();

signals:
    void clearModuleEvents(int serialNumber);
    void setModuleControl(int serialNumber, ModuleControl control);
    void setModuleEventMask(int serialNumber, ModuleEventMask eventMask);
    void setRestartTime(int serialNumber, quint32 restartTime);
    void clearModuleEventChannelStatus(int serialNumber);
    void setModuleEventChannelMask(int serialNumber, quint32 mask);
    void clearModuleEventGroupStatus(int serialNumber);
    void setModuleEventGroupMask(int serialNumber, quint32 mask);

public slots:
    // Another module became current: its words are shown as they arrive, and
    // nothing ticked for the previous one is kept.
    void currentModuleChanged(int serialNumber);
    void updateModuleStatus(int serialNumber, ModuleStatus status);
    void updateModuleEventStatus(int serialNumber, ModuleEventStatus eventStatus);
    void updateModuleEventMask(int serialNumber, ModuleEventMask eventMask);
    void updateModuleControl(int serialNumber, ModuleControl control);
    void updateModuleRestartTime(int serialNumber, quint32 restartTime);
    void updateModuleEventChannelStatus(int serialNumber, quint32 status);
    void updateModuleEventChannelMask(int serialNumber, quint32 mask);
    void updateModuleEventGroupStatus(int serialNumber, quint32 status);
    void updateModuleEventGroupMask(int serialNumber, quint32 mask);

private slots:
    void on_btnClearEvents_clicked();
    void on_btnSetMask_clicked();
    void on_btnSetControl_clicked();
    void on_btnSetRestartTime_clicked();
    void on_btnClearECS_clicked();
    void on_btnSetECM_clicked();
    void on_btnSelectECM_clicked();
    void on_btnClearEGS_clicked();
    void on_btnSetEGM_clicked();
    void on_btnSelectEGM_clicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    // The 32 boxes of one of the four per-channel and per-group words; box n is bit n.
    enum BitGroup { ChannelStatusBits, ChannelMaskBits, GroupStatusBits, GroupMaskBits, BitGroupCount };
    using BitBoxes = std::array<QCheckBox *, 32>;

    void showBits(BitGroup group, quint32 value);
    quint32 readBits(BitGroup group) const;
    void showControl();
    void labelSelectButtons();

    Ui::DialogModuleControl *m_ui;
    int m_serialNumber = 0;
    // Last values received (masks: or sent); empty until the module gave one.
    std::optional<ModuleControl> m_control;
    std::optional<quint16> m_restartTime;
    std::optional<quint32> m_eventChannelStatus;
    std::optional<quint32> m_eventChannelMask;
    std::optional<quint32> m_eventGroupStatus;
    std::optional<quint32> m_eventGroupMask;
    std::array<BitBoxes, BitGroupCount> m_bits{};
};
