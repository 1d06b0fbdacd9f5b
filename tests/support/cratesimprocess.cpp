#include "cratesimprocess.h"

#include "vexa_config.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

CrateSimProcess::CrateSimProcess() : CrateSimProcess(Options()) {}

CrateSimProcess::CrateSimProcess(const Options &options) : m_options(options)
{
    if (m_options.crateFile.isEmpty())
        m_options.crateFile = demoCrateFile();
}

CrateSimProcess::~CrateSimProcess() { stop(); }

QString CrateSimProcess::executable() { return QStringLiteral(VEXA_BUILD_BINDIR "/cratesim"); }

QString CrateSimProcess::demoCrateFile() { return QStringLiteral(VEXA_SOURCE_DIR "/sim/crates/demo.json"); }

QString CrateSimProcess::mibDir() { return QStringLiteral(VEXA_SOURCE_MIBDIR); }

QString CrateSimProcess::peer() const
{
    return QStringLiteral("udp:%1:%2").arg(m_address).arg(m_options.port);
}

bool CrateSimProcess::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

long CrateSimProcess::residentKiB() const
{
    if (!isRunning())
        return 0;
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process->processId()));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

bool CrateSimProcess::start(int timeoutMs)
{
    if (m_address.isEmpty()) {
        const QString dir = QDir::tempPath() + QStringLiteral("/vexa-test-addresses");
        QDir().mkpath(dir);
        for (int n = 2; n <= 250 && m_address.isEmpty(); ++n) {
            auto lock = std::make_unique<QLockFile>(dir + QStringLiteral("/127.0.0.%1.lock").arg(n));
            lock->setStaleLockTime(0);
            if (lock->tryLock(0)) {
                m_addressLock = std::move(lock);
                m_address = QStringLiteral("127.0.0.%1").arg(n);
            }
        }
        if (m_address.isEmpty()) {
            m_error = QStringLiteral("no free loopback address for cratesim");
            return false;
        }
    }
    return launch(timeoutMs);
}

bool CrateSimProcess::restart(int timeoutMs)
{
    if (isRunning())
        stop();
    return launch(timeoutMs);
}

bool CrateSimProcess::launch(int timeoutMs)
{
    QStringList args{QStringLiteral("--address"), m_address, QStringLiteral("--port"),
                     QString::number(m_options.port), QStringLiteral("--time-scale"),
                     QString::number(m_options.timeScale), QStringLiteral("--delay-ms"),
                     QString::number(m_options.delayMs)};
    if (m_options.maxMessageSize > 0)
        args << QStringLiteral("--max-msg-size") << QString::number(m_options.maxMessageSize);
    if (!m_options.stateFile.isEmpty())
        args << QStringLiteral("--state") << m_options.stateFile;
    args << m_options.extraArgs << m_options.crateFile;

    m_output.clear();
    // The simulator's output goes to a file, not a pipe: a test that never runs
    // an event loop must not make a chatty simulator block on a full pipe.
    if (!m_outputFile) {
        m_outputFile = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/cratesim-XXXXXX.log"));
        if (!m_outputFile->open()) {
            m_error = QStringLiteral("cannot create the simulator's log file");
            return false;
        }
    }
    m_outputFile->resize(0);
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(m_outputFile->fileName(), QIODevice::Truncate);
    // A test killed by its time-out must not leave a simulator behind.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start(executable(), args);
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(executable(), m_process->errorString());
        return false;
    }
    // The simulator prints "cratesim: ready on udp:<address>:<port>" once it listens.
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        m_process->waitForFinished(20);
        m_output = readOutputFile();
        if (m_output.contains(QStringLiteral("cratesim: ready")))
            return true;
        if (m_process->state() != QProcess::Running) {
            m_error = QStringLiteral("cratesim ended before it was ready:\n") + m_output;
            return false;
        }
    }
    m_error = QStringLiteral("cratesim did not become ready within %1 ms:\n%2").arg(timeoutMs).arg(m_output);
    kill();
    return false;
}

void CrateSimProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() == QProcess::Running) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    m_output = readOutputFile();
    m_process.reset();
}

QString CrateSimProcess::output() const
{
    return m_process ? readOutputFile() : m_output;
}

QString CrateSimProcess::readOutputFile() const
{
    if (!m_outputFile)
        return QString();
    QFile f(m_outputFile->fileName());
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(f.readAll());
}

void CrateSimProcess::kill()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished(2000);
    m_output = readOutputFile();
    m_process.reset();
}
