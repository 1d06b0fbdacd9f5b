#pragma once
// The module's variable channel groups: 32 groups, each a 32-bit member mask
// (bit n = channel n) and a 32-bit type word. The group shown is read from the
// module every second while the dialog is open; "Set Group" writes it.

#include <QDialog>

class CrateSession;
class QAbstractButton;
class QCheckBox;
class QTimer;

namespace Ui {
class DialogFlexGroups;
}

class DialogFlexGroups : public QDialog
{
    Q_OBJECT

public:
    // Group kinds, bits 15-14 of the type word.
    enum Kind { SetGroup = 0, StatusGroup = 1, MonitoringGroup = 2, TimeoutGroup = 3 };
    // Modules of this device class keep the master channel and the time-out in
    // the high half of the type word.
    static constexpr int ExtendedDeviceClass = 29;
    static constexpr int GroupCount = 32;

    explicit DialogFlexGroups(QWidget *parent = nullptr);
    ~DialogFlexGroups() override;

    void bind(CrateSession *session);

    void setDeviceClass(int deviceClass);
    int deviceClass() const { return m_deviceClass; }
    void setChannelCount(int channels);
    int serialNumber() const { return m_serialNumber; }
    QTimer *pollTimer() const { return m_timer; }

signals:
    void getFlexGroupData(int serialNumber, int num);
    void setFlexGroup(int serialNumber, int num, quint32 member, quint32 type);

public slots:
    void updateModuleFlexGroups(int serialNumber, int groupNumber, quint32 member, quint32 type);
    void timeout();

private slots:
    void on_spbGroupNumber_valueChanged(int num);
    void on_btnSet_clicked();
    void on_btnErase_clicked();
    void on_btnMemberSelection_clicked();
    void on_btnHelp_clicked();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    quint32 memberMask() const;
    quint32 typeWord() const;
    void showMembers(quint32 member);
    void showType(quint32 type);
    QCheckBox *memberBox(int channel) const;
    int groupNumber() const;

    Ui::DialogFlexGroups *m_ui;
    QTimer *m_timer;
    int m_serialNumber = 0;
    int m_deviceClass = -1;
    quint32 m_lastMember = 0;
    quint32 m_lastType = 0;
    bool m_memberShown = false;
    bool m_typeShown = false;
    // "Select All" / "Unselect All" is one state for every instance.
    static bool s_selectAll;
};
