#pragma once
// Module profiles (save to an INI file, load into a module with read-back checks)
// and the factory reset. The procedures run to their end on the calling thread;
// they never open a window themselves: the program hands in the confirmation,
// the information box and the retry question, and what to do between polls.

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class BaseModule;

// Everything a profile file holds, in the units the module operations use.
struct ModuleProfile {
    struct Channel {
        quint32 control = 0;
        quint32 eventMask = 0;
        float voltageSet = 0;
        float currentSet = 0;
        float voltageIlkMinSet = 0;
        float voltageIlkMaxSet = 0;
        float currentIlkMinSet = 0;
        float currentIlkMaxSet = 0;
        float voltageMaxSet = 0;
        float currentMaxSet = 0;
    };
    quint32 control = 0;
    quint32 eventMask = 0;
    quint32 eventChannelMask = 0;
    quint32 eventGroupMask = 0;
    quint32 restartTime = 0;
    quint32 adcSamples = 0;
    quint32 digitalFilter = 0;
    float voltageRampSpeed = 0;
    float currentRampSpeed = 0;
    QList<Channel> channels;
};

class FactorySettings : public QObject
{
    Q_OBJECT

public:
    explicit FactorySettings(QObject *parent = nullptr);

    // Information box (the procedure ends after it).
    std::function<void(const QString &text)> inform;
    // Yes/No question; true repeats the step.
    std::function<bool(const QString &text)> askRetry;
    // Waits between two polls; the default processes pending events and sleeps.
    std::function<void(int milliseconds)> wait;

    // Writes the module's settings; false with *error when the file cannot be written.
    bool save(BaseModule *module, const QString &fileName, QString *error = nullptr);
    // Reads and checks a whole profile for a module of `channels` channels and logs
    // every value. False with *error naming the first missing or bad key.
    bool readProfile(const QString &fileName, int channels, ModuleProfile *profile, QString *error = nullptr);
    // Reads the file, asks `confirm` (the operator sees the log meanwhile) and
    // writes the profile. True only when the module confirmed storing it.
    bool writeProfile(BaseModule *module, const QString &fileName, const std::function<bool()> &confirm);
    bool writeProfile(BaseModule *module, const ModuleProfile &profile);
    // Restores the factory values; true when the module stored them.
    bool factoryReset(BaseModule *module);

signals:
    void addLineToWriteProfileLog(QString line);

private:
    // Calls `done` up to `count` times, `wait(1)` between calls; returns the reads
    // left when it held (> 0) or 0 when it never did.
    int poll(int count, const std::function<bool()> &done);
    bool fail(const QString &text);
    bool waitForStop(BaseModule *module, int count, const char *debugName, const QString &failure);
    bool verifyChannelNominals(BaseModule *module, int channel, float voltage, float current, bool reset);
};
