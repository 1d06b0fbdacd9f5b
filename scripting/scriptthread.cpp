#include "scriptthread.h"

#include "programcompleteness.h"
#include "scriptbridge.h"

#include <QFile>
#include <QJSEngine>
#include <QJSValue>

#include <chrono>

namespace {

// Evaluates its argument as the program, in the global scope and with the
// program's own line numbers, and returns {value} or {error}: the engine's
// evaluate() returns a thrown value as the result, so `throw "x"` could not be
// told from a program whose result is "x".
const char runnerSource[] = "(function (program) {\n"
                            "    try {\n"
                            "        return { value: (0, eval)(program) };\n"
                            "    } catch (e) {\n"
                            "        return { error: e };\n"
                            "    }\n"
                            "})";

} // namespace

ScriptThread::ScriptThread(QObject *module) : QThread(nullptr)
{
    setModule(module);
    loadScriptFile(QStringLiteral("test.js"));
}

ScriptThread::~ScriptThread() { stopAndWait(); }

QObject *ScriptThread::module() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_module;
}

void ScriptThread::setModule(QObject *module)
{
    // The engine would otherwise own a module without parent and could delete it
    // when it collects the wrapper.
    if (module)
        QJSEngine::setObjectOwnership(module, QJSEngine::CppOwnership);
    std::unique_lock<std::mutex> locker(m_mutex);
    m_module = module;
}

QString ScriptThread::fileName() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_fileName;
}

QString ScriptThread::scriptText() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_scriptText;
}

void ScriptThread::setScriptText(const QString &text)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_scriptText = text;
}

bool ScriptThread::loadScriptFile(const QString &fileName)
{
    {
        std::unique_lock<std::mutex> locker(m_mutex);
        m_fileName = fileName;
    }
    QFile file(fileName);
    if (!file.exists()) {
        emit scriptMessage(tr("Error: Can not find script file %1!").arg(fileName));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        emit scriptMessage(tr("Error: Can not open script file %1!").arg(fileName));
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    setScriptText(text);
    return true;
}

bool ScriptThread::runScript(const QString &script)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!script.isEmpty())
        m_scriptText = script;
    if (m_running)
        return false;
    if (!m_module) {
        locker.unlock();
        emit scriptMessage(tr("Error: No module is connected, the script does not run."));
        return false;
    }
    m_running = true;
    m_stopRequested = false;
    locker.unlock();
    // A run that has said its last word may still be leaving its thread.
    wait();
    start();
    return true;
}

bool ScriptThread::isScriptRunning() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_running;
}

void ScriptThread::delay(int milliSeconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(qMax(0, milliSeconds));
    std::unique_lock<std::mutex> locker(m_mutex);
    m_wake.wait_until(locker, deadline, [this] { return m_stopRequested; });
}

void ScriptThread::print(QString message)
{
    if (QThread::currentThread() != this) {
        emit scriptMessage(message);
        return;
    }
    {
        std::unique_lock<std::mutex> locker(m_mutex);
        m_wake.wait(locker, [this] { return m_pendingPrints < MaxPendingPrints || m_stopRequested; });
        ++m_pendingPrints;
    }
    emit scriptMessage(message);
    // Queued behind the line itself on the GUI thread, where this object lives.
    QMetaObject::invokeMethod(
        this,
        [this] {
            std::lock_guard<std::mutex> locker(m_mutex);
            --m_pendingPrints;
            m_wake.notify_all();
        },
        Qt::QueuedConnection);
}

void ScriptThread::stop()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!m_running)
        return;
    m_stopRequested = true;
    if (m_engine)
        m_engine->setInterrupted(true);
    m_wake.notify_all();
}

void ScriptThread::stopAndWait()
{
    stop();
    wait();
    // The run's last step releases this mutex: taking it makes everything the run
    // did (module calls included) happen before whatever the caller does next,
    // such as deleting the module, in a way race detectors can see.
    std::lock_guard<std::mutex> locker(m_mutex);
}

QString ScriptThread::takeScriptText() const
{
    std::unique_lock<std::mutex> locker(m_mutex);
    return m_scriptText;
}

void ScriptThread::run()
{
    emit scriptRunningChanged(true);
    const QString program = takeScriptText();
    QString result;
    {
        QJSEngine engine;
        ScriptBridge bridge(this);
        QJSEngine::setObjectOwnership(&bridge, QJSEngine::CppOwnership);
        engine.globalObject().setProperty(QStringLiteral("mod"), engine.newQObject(module()));
        engine.globalObject().setProperty(QStringLiteral("script"), engine.newQObject(&bridge));

        if (ProgramCompleteness::isIncomplete(program)) {
            result = tr("Error: Script has syntax errors!");
        } else {
            bool stopped = false;
            {
                std::unique_lock<std::mutex> locker(m_mutex);
                stopped = m_stopRequested;
                if (!stopped)
                    m_engine = &engine;
            }
            QJSValue outcome;
            if (!stopped) {
                const QJSValue runner = engine.evaluate(QString::fromLatin1(runnerSource));
                outcome = runner.call(QJSValueList{QJSValue(program)});
                std::unique_lock<std::mutex> locker(m_mutex);
                m_engine = nullptr;
                stopped = m_stopRequested;
            }
            if (stopped)
                result = tr("Script stopped.");
            else if (outcome.hasOwnProperty(QStringLiteral("error")))
                result = tr("Error: Script threw an uncaught exception: %1")
                             .arg(outcome.property(QStringLiteral("error")).toString());
            else
                result = tr("Script exited with result %1").arg(outcome.property(QStringLiteral("value")).toString());
        }
        // Said before the engine is torn down, which takes a while of its own.
        emit scriptMessage(result);
    }
    {
        std::unique_lock<std::mutex> locker(m_mutex);
        m_running = false;
        m_stopRequested = false;
    }
    emit scriptRunningChanged(false);
}
