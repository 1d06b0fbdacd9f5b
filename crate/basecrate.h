#pragma once
// The crate itself: main switch, supplies, temperatures, fan, status words and
// identity. A plain polymorphic class; the main window polls it and passes the
// values on through its own signals.

#include <QString>

class BaseCrate
{
public:
    BaseCrate();
    virtual ~BaseCrate();

    BaseCrate(const BaseCrate &) = delete;
    BaseCrate &operator=(const BaseCrate &) = delete;

    virtual float supply(int index);
    // Nominal value of supply `index`: 0 mains (230 V), 1 24 V, 4 and 5 5 V, 6 3.3 V.
    virtual float supplyNominal(int index);
    virtual float temperature(int index);
    virtual float supply5V() = 0;
    virtual float supply24V() = 0;
    virtual float battery24V() = 0;
    virtual float temperatureBackPlane() = 0;
    virtual float temperaturePowerSupply() = 0;
    virtual float fanSpeed() = 0;
    virtual void setFanSpeed(int speed) = 0;
    virtual float fanStageBackPlane() = 0;
    virtual float fanStagePowerSupply() = 0;
    virtual int status() = 0;
    virtual int eventStatus() = 0;
    virtual bool statusACLinePower() = 0;
    virtual bool powerOn() = 0;
    virtual void setPowerOn(bool on) = 0;
    virtual int serialNumber() = 0;
    virtual QString firmwareRelease() = 0;
    virtual QString address() = 0;
    virtual int bitRate() = 0;
    virtual bool alive() = 0;
    virtual bool alarmFlag() = 0;
    virtual QString alarmInformation() = 0;
    virtual float alarmValue() = 0;
    virtual void doClear() = 0;
};
