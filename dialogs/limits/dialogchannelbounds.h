#pragma once
// Voltage and current bounds of one channel. Values arrive through the update
// slots; "Set" sends all four limits and the two asymmetry flags at once, and
// an asymmetry box sends the channel control word at once.

#include <QDialog>

#include "channelcontrol.h"

class CrateSession;

namespace Ui {
class DialogChannelBounds;
}

class DialogChannelBounds : public QDialog
{
    Q_OBJECT

public:
    explicit DialogChannelBounds(QWidget *parent = nullptr);
    ~DialogChannelBounds() override;

    void bind(CrateSession *session);

    void setAsymmetricCapable(bool capable);
    bool asymmetricCapable() const { return m_asymmetricCapable; }
    void setVoltageDecimals(int decimals);
    void setCurrentDecimals(int decimals);

    int serialNumber() const { return m_serialNumber; }
    int channel() const { return m_channel; }
    QString voltageUnit() const { return m_voltageUnit; }
    QString currentUnit() const { return m_currentUnit; }

signals:
    void setChannelControl(int serialNumber, int channel, ChannelControl control);
    void setChannelBounds(int serialNumber, int channel, bool avbnd, float voltageIlkMax, float voltageIlkMin,
                          bool acbnd, float currentIlkMax, float currentIlkMin);

public slots:
    void currentChannelChanged(int serialNumber, int channel);
    void updateChannelVoltageNominal(int serialNumber, int channel, float vnominal, QString unit);
    void updateChannelCurrentNominal(int serialNumber, int channel, float inominal, QString unit);
    void updateChannelControl(int serialNumber, int channel, ChannelControl control);
    void updateChannelVoltageInterlockMaxSet(int serialNumber, int channel, float value, QString unit);
    void updateChannelVoltageInterlockMinSet(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentInterlockMaxSet(int serialNumber, int channel, float value, QString unit);
    void updateChannelCurrentInterlockMinSet(int serialNumber, int channel, float value, QString unit);

private slots:
    void on_chkAVBND_stateChanged(int state);
    void on_chkACBND_stateChanged(int state);
    void on_spbVoltageIlkMax_valueChanged();
    void on_spbVoltageIlkMin_valueChanged();
    void on_spbCurrentIlkMax_valueChanged();
    void on_spbCurrentIlkMin_valueChanged();
    void on_btnSetBounds_clicked();

private:
    enum Follow { VoltageMax = 0, VoltageMin, CurrentMax, CurrentMin, FollowCount };

    void renewLabels();
    void renewMinEnabled();
    void setFollowing(bool follow);

    Ui::DialogChannelBounds *m_ui;
    int m_serialNumber = 0;
    int m_channel = -1;
    bool m_asymmetricCapable = false;
    bool m_follow[FollowCount] = {true, true, true, true};
    QString m_voltageUnit = QStringLiteral("V");
    QString m_currentUnit = QStringLiteral("mA");
    ChannelControl m_control;
    bool m_controlKnown = false;
    // Set while an update from the module writes a widget, so the write is not
    // taken for the operator's edit and sent back.
    bool m_updating = false;
};
