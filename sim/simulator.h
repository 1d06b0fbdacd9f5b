#pragma once
// The whole simulated crate: crate model, CAN side, object table and agent,
// driven by one loop that answers requests and advances the simulated time.

#include "agentsettings.h"
#include "simoptions.h"

#include <QString>
#include <memory>

class CrateModel;
class CanSide;
class AgentObjects;
class SnmpAgent;

class Simulator
{
public:
    explicit Simulator(const SimOptions &options);
    ~Simulator();

    // Loads the crate, starts the agent. extraMibDirs are searched after the
    // system MIB directories.
    bool start(const QStringList &extraMibDirs, QString *error);
    // Runs until stop() (or SIGTERM / SIGINT through requestStop()).
    void run();
    static void requestStop();

    CrateModel &crate() { return *m_crate; }
    AgentSettings &settings() { return m_settings; }
    bool saveState(QString *error);

private:
    void advance(double realSeconds);

    SimOptions m_options;
    AgentSettings m_settings;
    std::unique_ptr<CrateModel> m_crate;
    std::unique_ptr<CanSide> m_can;
    std::unique_ptr<AgentObjects> m_objects;
    std::unique_ptr<SnmpAgent> m_agent;
    bool m_powered = false;
};
