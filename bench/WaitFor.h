#pragma once

// Runs the event loop until done() holds, waking on every event rather than
// polling, so that no sleep rounds a time up. False after timeoutMs.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

inline bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QTimer bound;
    bound.setSingleShot(true);
    bound.start(timeoutMs); // wakes the loop at the latest then
    const QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
