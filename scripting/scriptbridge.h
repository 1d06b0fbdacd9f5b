#pragma once
// What a script sees as `script`: the two services of its thread, delay and
// print, and nothing else. The thread object itself is not handed to the engine,
// because a script could then call its inherited slots (quit, terminate, ...).

#include <QObject>
#include <QString>

class ScriptThread;

class ScriptBridge : public QObject
{
    Q_OBJECT

public:
    explicit ScriptBridge(ScriptThread *thread);

public slots:
    void delay(int milliSeconds);
    void print(QString message);

private:
    ScriptThread *m_thread;
};
