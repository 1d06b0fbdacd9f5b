#pragma once
// SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, a closed terminal, a logout) end the
// program through its ordinary close path instead of on the spot, so the address
// lock is released and open files are closed.
//
// The handler only writes the signal number into a socket pair; a socket
// notifier reads it in the event loop and emits received() from there, where
// the program may do anything a close does.

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers; one object per process (a second one installs nothing).
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }
    // The last signal taken by any object of this class, 0 before the first.
    static int lastSignal();

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
