#pragma once
// The crate dialog: lists the crates the main window has data for and shows the
// selected one's supplies, temperatures, fan, status words and main power. It
// holds no crate object; values come in through the update slots and requests
// go out through the three signals.

#include <QDialog>

class CrateSession;
class QLineEdit;
class QListWidgetItem;

namespace Ui {
class DialogCrate;
}

class DialogCrate : public QDialog
{
    Q_OBJECT

public:
    explicit DialogCrate(QWidget *parent = nullptr);
    ~DialogCrate() override;

    // Connects the crate values of the session to the update slots and the
    // three requests to the session, and asks for the crate values while shown.
    void bind(CrateSession *session);

    void setFanSpeedEnabled(bool enabled);
    void clearCrateList();

    // The serial number of the list's current entry; 0 when none.
    int currentSerialNumber() const;
    bool powerOn() const { return m_powerOn; }

signals:
    void setPowerOn(int serialNumber, bool setOn);
    void setFanSpeed(int serialNumber, int fanSpeed);
    void clearEvents(int serialNumber);

public slots:
    void updateCrateAddress(int serialNumber, QString address);
    void updateFirmwareRelease(int serialNumber, QString release);
    void updateSupply5V(int serialNumber, float value);
    void updateSupply24V(int serialNumber, float value);
    void updateBattery24V(int serialNumber, float value);
    void updateTemperatureBackPlane(int serialNumber, float value);
    void updateTemperaturePowerSupply(int serialNumber, float value);
    void updateCrateFanSpeed(int serialNumber, float value);
    void updateStatus(int serialNumber, int status);
    void updateEventStatus(int serialNumber, int eventStatus);
    void updatePowerOn(int serialNumber, bool on);

private slots:
    void on_btnPowerOn_clicked();
    void on_setFanSpeed_clicked();
    void on_btnClear_clicked();

protected:
    void showEvent(QShowEvent *event) override;

private:
    static int serialOf(const QListWidgetItem *item);
    // Finds the entry of a serial number or inserts it in ascending order;
    // returns whether it is the current entry.
    bool isCurrentCrate(int serialNumber);
    QListWidgetItem *findOrInsert(int serialNumber);
    void setField(QLineEdit *field, const QString &text);
    void colourSupplies();
    void renewPowerButton();

    Ui::DialogCrate *m_ui;
    bool m_powerOn = false;
    float m_supply5 = 0.0f;
    float m_supply24 = 0.0f;
};
