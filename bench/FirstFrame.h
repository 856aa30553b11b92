#pragma once

// Notes the moment a watched window has handled its first expose: its first
// frame is then painted and flushed, and nothing that the program does later
// (work it put off until after that frame) counts. Shared by the benchmarks
// that time a window until it is on screen.

#include "ThreadCpu.h"
#include "WaitFor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWindow>

#include <functional>

// The platform plugin the windows run on, as the figures name it.
inline QByteArray platformName()
{
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? QByteArray("default")
                                                          : qgetenv("QT_QPA_PLATFORM");
}

class FirstFrameApp : public QApplication
{
public:
    // Which window to watch: the first one the test accepts.
    using Match = std::function<bool(const QWindow *)>;

    FirstFrameApp(int &argc, char **argv, const QElapsedTimer &clock)
        : QApplication(argc, argv),
          mClock(clock)
    {}

    // Watches for the next first frame of a window that match accepts; set
    // it before the window is shown (some platforms expose at once).
    void watch(Match match)
    {
        mMatch = std::move(match);
        mFramedNs = mFramedCpuNs = -1;
    }
    bool framed() const { return mFramedNs >= 0; }
    // When it came, by the clock and by threadCpuNs().
    qint64 framedNs() const { return mFramedNs; }
    qint64 framedCpuNs() const { return mFramedCpuNs; }

    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool result = QApplication::notify(receiver, event);
        if (!framed() && mMatch && event->type() == QEvent::Expose && receiver->isWindowType()) {
            const auto *window = static_cast<QWindow *>(receiver);
            if (window->isExposed() && mMatch(window)) {
                mFramedNs = mClock.nsecsElapsed();
                mFramedCpuNs = threadCpuNs();
            }
        }
        return result;
    }

    // Runs the event loop until the watched frame (see waitFor()). False
    // after timeoutMs.
    bool waitForFrame(int timeoutMs)
    {
        return waitFor([this] { return framed(); }, timeoutMs);
    }

private:
    const QElapsedTimer &mClock;
    Match mMatch;
    qint64 mFramedNs = -1;
    qint64 mFramedCpuNs = -1;
};
