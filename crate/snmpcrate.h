#pragma once
// The crate over the crate access library. Identity (serial number, firmware
// text) comes from the crate's system description, read once at construction;
// every other value is read from the library when asked.

#include "basecrate.h"

class SnmpController;

class SnmpCrate : public BaseCrate
{
public:
    SnmpCrate(SnmpController *controller, const QString &address);
    ~SnmpCrate() override;

    // Serial number and firmware text of a system description (0 / empty when absent).
    static int serialNumberFromDescription(const QString &description);
    static QString firmwareReleaseFromDescription(const QString &description);

    float supply5V() override;
    float supply24V() override;
    float battery24V() override;
    float temperatureBackPlane() override;
    float temperaturePowerSupply() override;
    float fanSpeed() override;
    void setFanSpeed(int speed) override;
    float fanStageBackPlane() override;
    float fanStagePowerSupply() override;
    int status() override;
    int eventStatus() override;
    bool statusACLinePower() override;
    bool powerOn() override;
    void setPowerOn(bool on) override;
    int serialNumber() override;
    QString firmwareRelease() override;
    QString address() override;
    int bitRate() override;
    bool alive() override;
    bool alarmFlag() override;
    QString alarmInformation() override;
    float alarmValue() override;
    void doClear() override;

private:
    SnmpController *m_controller;
    int m_serialNumber = 0;
    QString m_address;
    QString m_firmwareRelease;
};
