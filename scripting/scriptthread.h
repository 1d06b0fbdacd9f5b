#pragma once
// Runs the operator's script against one module, on a thread of its own so that
// a script waiting in script.delay() never blocks the window.
//
// Each run gets a fresh engine whose global object holds `mod` (the module
// object: every slot, signal and property of its class) and `script` (delay and
// print). Output, errors and the result come back as scriptMessage lines, emitted
// on the script thread and so queued to a console on the GUI thread.
//
// Module calls from a script run on the script thread; the module serialises
// them against the GUI thread's own calls. The module must outlive the run:
// whoever deletes it stops the script first (stopAndWait) and then hands over the
// next module (setModule).

#include <QObject>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <mutex>

class QJSEngine;

class ScriptThread : public QThread
{
    Q_OBJECT

public:
    // Lines a script may have printed that the GUI thread has not taken yet; a
    // script printing faster than the console shows waits in print() meanwhile,
    // instead of filling the event queue without bound.
    static constexpr int MaxPendingPrints = 1000;

    // Loads "test.js" from the working directory as the first script text.
    explicit ScriptThread(QObject *module);
    // Stops a running script and waits for the thread to end.
    ~ScriptThread() override;

    QObject *module() const;
    // Only between runs: a running script keeps the module it started with.
    void setModule(QObject *module);
    QString fileName() const;
    QString scriptText() const;
    void setScriptText(const QString &text);

    // Reads a script file into the script text (UTF-8); reports a missing or
    // unreadable file as a scriptMessage line and keeps the old text.
    bool loadScriptFile(const QString &fileName);

    // Starts a run: a non-empty `script` replaces the stored text first. Refused
    // (false) while a run is going on or when there is no module; the latter is
    // said on the console.
    bool runScript(const QString &script);
    // True from a successful runScript until the run has ended.
    bool isScriptRunning() const;

public slots:
    // Suspends the calling thread (the script thread when a script calls it) for
    // the given time, or until the script is stopped.
    void delay(int milliSeconds);
    // Emits scriptMessage; see MaxPendingPrints.
    void print(QString message);
    // Ends a running script as soon as possible: the engine is interrupted and a
    // pending delay returns at once. A library call already under way completes.
    void stop();
    // stop(), then waits until the thread has ended.
    void stopAndWait();

signals:
    void scriptMessage(QString message);
    // Emitted on the script thread when a run begins and after its last message.
    void scriptRunningChanged(bool running);

protected:
    void run() override;

private:
    QString takeScriptText() const;

    // Standard mutex and condition, not Qt's: ThreadSanitizer sees through these,
    // and they guard what the script thread and the GUI thread share.
    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_wake;
    QObject *m_module = nullptr;
    QString m_fileName;
    QString m_scriptText;
    QJSEngine *m_engine = nullptr; // only while a run evaluates
    bool m_stopRequested = false;
    bool m_running = false;
    int m_pendingPrints = 0;
};
