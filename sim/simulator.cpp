#include "simulator.h"

#include "agentobjects.h"
#include "canside.h"
#include "cratefile.h"
#include "cratemodel.h"
#include "simlog.h"
#include "snmpagent.h"
#include "statefile.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>

namespace {
std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }
} // namespace

Simulator::Simulator(const SimOptions &options) : m_options(options)
{
    m_settings.delayMs = options.delayMs;
    m_settings.maxMessageSize = options.maxMessageSize;
    m_settings.timeScale = options.timeScale;
    m_settings.verbose = options.verbose;
    if (options.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("cratesim.*=true"));
}

Simulator::~Simulator()
{
    if (m_agent)
        m_agent->shutdown();
}

void Simulator::requestStop() { stopRequested = true; }

bool Simulator::start(const QStringList &extraMibDirs, QString *error)
{
    CrateFile file;
    if (!file.load(m_options.crateFile)) {
        *error = file.errorString();
        return false;
    }
    m_crate = std::make_unique<CrateModel>(file.crate());
    m_can = std::make_unique<CanSide>();
    for (const SimModule::Config &config : file.modules()) {
        m_crate->addModule(config);
        CanSide::ModuleConfig can;
        can.slot = config.slot;
        can.serialNumber = config.serialNumber;
        can.typeCode = config.typeCode;
        can.firmwareRelease = config.firmwareRelease;
        can.channels = config.channels;
        can.json = config.json;
        m_can->addModule(can);
    }
    if (!m_options.stateFile.isEmpty()) {
        QJsonObject state;
        if (!StateFile::read(m_options.stateFile, &state, error))
            return false;
        if (!state.isEmpty())
            m_can->restoreState(StateFile::apply(state, *m_crate));
    }
    m_powered = m_crate->isPowered();
    m_can->setPowered(m_powered);

    m_objects = std::make_unique<AgentObjects>(*m_crate, *m_can, m_settings);
    m_agent = std::make_unique<SnmpAgent>(*m_objects, m_settings);
    if (!m_agent->initialise(extraMibDirs, error))
        return false;
    m_objects->build();
    if (!m_objects->missing().isEmpty())
        std::fprintf(stderr, "cratesim: the loaded MIBs lack %s; these objects are not served\n",
                     qPrintable(m_objects->missing().join(QStringLiteral(", "))));
    if (!m_agent->listen(m_options.address, m_options.port, error))
        return false;
    QString canError;
    if (!m_can->registerAgentObjects(&canError)) {
        *error = QStringLiteral("CAN side: %1").arg(canError);
        return false;
    }

    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

void Simulator::advance(double realSeconds)
{
    double dt = realSeconds * m_settings.timeScale;
    // Small steps keep ramps and trip times accurate at high time scales.
    const int steps = std::min(1000, std::max(1, int(std::ceil(dt / 0.02))));
    const double step = dt / steps;
    for (int i = 0; i < steps; ++i)
        m_crate->tick(step);
    if (m_crate->isPowered() != m_powered) {
        m_powered = m_crate->isPowered();
        qCInfo(lcSim) << "crate power" << (m_powered ? "on" : "off");
        m_can->setPowered(m_powered);
    }
    m_can->advance(qint64(m_crate->simulatedMs()));
}

bool Simulator::saveState(QString *error)
{
    if (m_options.stateFile.isEmpty())
        return true;
    return StateFile::save(m_options.stateFile, StateFile::capture(*m_crate, m_can->saveState()), error);
}

void Simulator::run()
{
    qCInfo(lcSim).noquote() << "crate" << m_options.crateFile << "with" << m_crate->moduleCount() << "modules,"
                            << m_objects->objectCount() << "objects; time scale" << m_settings.timeScale
                            << "answer delay" << m_settings.delayMs << "ms, largest answer"
                            << m_settings.maxMessageSize << "bytes";
    std::printf("cratesim: ready on udp:%s:%d\n", qPrintable(m_options.address), m_options.port);
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    while (!stopRequested) {
        m_agent->poll(10);
        const qint64 now = clock.nsecsElapsed();
        advance(double(now - last) / 1e9);
        last = now;
        if (m_settings.saveStateRequested) {
            m_settings.saveStateRequested = false;
            QString error;
            if (!saveState(&error))
                std::fprintf(stderr, "cratesim: %s\n", qPrintable(error));
        }
    }
    QString error;
    if (!saveState(&error))
        std::fprintf(stderr, "cratesim: %s\n", qPrintable(error));
    m_agent->shutdown();
}
