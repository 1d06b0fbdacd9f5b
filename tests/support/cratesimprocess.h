#pragma once
// Starts a private cratesim on a loopback address of its own and stops it again.
// Addresses 127.0.0.2 to 127.0.0.250 are handed out through lock files, so tests
// running in parallel never share a simulator.

#include <QLockFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryFile>
#include <memory>

class CrateSimProcess
{
public:
    struct Options {
        QString crateFile;        // JSON crate description; empty: sim/crates/demo.json
        double timeScale = 1.0;   // simulated seconds per real second
        int delayMs = 0;          // answer delay per request
        int maxMessageSize = 0;   // 0: the simulator's default
        QString stateFile;        // optional state file
        int port = 161;
        QStringList extraArgs;
    };

    CrateSimProcess();
    explicit CrateSimProcess(const Options &options);
    ~CrateSimProcess();

    // Picks a free loopback address, starts the simulator and waits until it
    // reports that it listens. Returns false (with errorString()) otherwise.
    bool start(int timeoutMs = 15000);
    void stop();
    // Kills the agent without stopping it cleanly, as a crate that loses power.
    void kill();
    // Starts the agent again on the same address and port.
    bool restart(int timeoutMs = 15000);
    bool isRunning() const;
    // The simulator's resident memory in KiB (0 when it does not run).
    long residentKiB() const;

    QString address() const { return m_address; }
    int port() const { return m_options.port; }
    // "udp:127.0.0.x:161", the peer name net-snmp clients take.
    QString peer() const;
    QString errorString() const { return m_error; }
    // Everything the simulator printed so far.
    QString output() const;

    static QString executable();
    static QString demoCrateFile();
    static QString mibDir();

private:
    bool launch(int timeoutMs);
    QString readOutputFile() const;

    Options m_options;
    QString m_address;
    std::unique_ptr<QLockFile> m_addressLock;
    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QTemporaryFile> m_outputFile;
    QString m_error;
    QString m_output;
};
