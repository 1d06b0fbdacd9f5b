#pragma once
// The automatic voltage cycler of long-run detector tests: each step moves the
// set voltage of the chosen channels one increment towards a limit and turns
// round there; a check some seconds later compares every set value with the
// demand and reports the channels that did not take it. For one module it also
// appends every channel's set and measured voltage to a CSV log.
//
// It knows no window: whoever drives it supplies the modules and the current
// channel, calls step() and check() from its timers and shows log(). When the
// log file cannot be opened or written it emits failed() once; the driver
// then stops the cycle.

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class BaseModule;
class LogFileWriter;

class AutoCycler : public QObject
{
    Q_OBJECT

public:
    // Which channels a step writes (the values the automatic dialog reads from its radio buttons).
    enum Scope { ScopeChannel = 0, ScopeModule = 1, ScopeSystem = 2, ScopeSpecial = 3 };
    enum CheckType { CheckVoltageSet = 0, CheckCurrentRange = 1 };

    struct Settings {
        double upper = 500.0;
        double lower = 300.0;
        double increment = 1.0;
        int scope = ScopeChannel;
        int checkType = CheckVoltageSet;
    };

    // What a step and a check act on: all modules in slot order, the current
    // module and its current channel (-1: none).
    struct Target {
        QList<BaseModule *> modules;
        BaseModule *current = nullptr;
        int channel = -1;
    };
    using TargetSource = std::function<Target()>;

    static constexpr int SpecialModuleCount = 4;
    static constexpr int MinimumCheckDelayMs = 2000;
    static constexpr int CheckLeadMs = 4000;
    static constexpr float DemandTolerance = 0.001f;

    explicit AutoCycler(QObject *parent = nullptr);
    ~AutoCycler() override;

    void setTargetSource(TargetSource source) { m_targetSource = std::move(source); }
    void setSettings(const Settings &settings) { m_settings = settings; }
    Settings settings() const { return m_settings; }
    // The CSV log, by default "autologfile.csv" in the working directory.
    void setLogFileName(const QString &fileName) { m_logFileName = fileName; }
    QString logFileName() const { return m_logFileName; }

    float lastDemand() const { return m_lastDemand; }
    // True while the steps go up.
    bool ascending() const { return m_ascending; }
    // The check follows a step a little before the next step, but never sooner than 2 s.
    static int checkDelayMs(int intervalMs);

    // The shortest text that reads back as the same float ("400", "0.1", "1234.567").
    static QString floatText(float value, bool localised = false);

public slots:
    // One step. False when nothing was written: no current module or channel,
    // or the log file could not be opened (failed() has told why).
    bool step();
    // The check of the last demand; returns the number of mismatches.
    int check();
    // Closes the CSV log; the next step opens it again.
    void closeLog();

signals:
    void log(QString message);
    void failed(QString message);
    void stepped(float demand);
    void checked(int errors);

private:
    QList<BaseModule *> scopeModules(const Target &target) const;
    static float currentSetValue(BaseModule *module, int channel);
    int checkChannel(BaseModule *module, int channel, const QString &when);
    int checkModule(BaseModule *module);
    void checkCurrentRange(BaseModule *module);
    bool openLog();
    void writeLogLine(const QByteArray &line);

    TargetSource m_targetSource;
    Settings m_settings;
    QString m_logFileName;
    std::unique_ptr<LogFileWriter> m_logFile;
    float m_lastDemand = 0.0f;
    bool m_ascending = false;
};

Q_DECLARE_METATYPE(AutoCycler::Settings)
