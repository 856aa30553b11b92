#include "platform/EndSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <unistd.h>

#include <sys/socket.h>

namespace {

constexpr std::array endSignals {SIGTERM, SIGINT, SIGHUP};

// The self-pipe: the handler writes the signal's number into one end, the
// event loop reads it from the other. Only async-signal-safe calls in the
// handler.
int pipeEnds[2] = {-1, -1};
struct sigaction former[endSignals.size()];

void onSignal(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

EndSignals::EndSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pipeEnds) != 0) {
        qWarning("End signals are not watched: no socket pair");
        return;
    }
    mNotifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, &EndSignals::readPending);
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < endSignals.size(); ++i)
        ::sigaction(endSignals[i], &action, &former[i]);
}

EndSignals::~EndSignals()
{
    if (!mNotifier)
        return;
    for (std::size_t i = 0; i < endSignals.size(); ++i)
        ::sigaction(endSignals[i], &former[i], nullptr);
    delete mNotifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void EndSignals::readPending()
{
    unsigned char byte = 0;
    while (::read(pipeEnds[1], &byte, 1) == 1) {
        mReceived = true;
        Q_EMIT received(byte);
    }
}
