#include "waiter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

void Waiter::wait(int milliseconds)
{
    if (milliseconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        const qint64 left = deadline.remainingTime();
        const int slice = int(qMin<qint64>(left, 100));
        // processEvents(flags, maxtime) returns as soon as nothing is pending;
        // sleep the rest of a short slice so a 1 ms wait really waits 1 ms
        // without spinning the processor.
        QCoreApplication::processEvents(QEventLoop::AllEvents, slice);
        const qint64 rest = deadline.remainingTime();
        if (rest > 0)
            QThread::msleep(static_cast<unsigned long>(qMin<qint64>(rest, qMin(slice, 5))));
    }
}
