#pragma once

#include <QObject>

class QSocketNotifier;

// The requests to end that the system sends a program: SIGTERM (an updater,
// the session ending), SIGINT (Ctrl+C in a terminal) and SIGHUP (the
// terminal gone). While an object of this class lives, each one arrives as
// the signal received() on the event loop, also inside a modal box's loop,
// instead of ending the process at once. One object at a time; the former
// handling comes back when it is destroyed.
class EndSignals : public QObject
{
    Q_OBJECT
public:
    explicit EndSignals(QObject *parent = nullptr);
    ~EndSignals() override;

    // True once any of the signals has arrived.
    bool wasReceived() const { return mReceived; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *mNotifier = nullptr;
    bool mReceived = false;
};
