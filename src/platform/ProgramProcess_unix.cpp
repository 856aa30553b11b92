#include "platform/ProgramProcess.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <limits>
#include <poll.h>
#include <unistd.h>

#include <sys/stat.h>
#include <sys/syscall.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How often the wait looks again where the system has no pidfd.
constexpr auto recheckInterval = 50ms;

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    struct stat first
    {};
    struct stat second
    {};
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0
           && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool runsProgram(qint64 pid, const QString &program)
{
    return sameFile(QByteArray("/proc/") + QByteArray::number(pid) + "/exe",
                    QFile::encodeName(program));
}

int openPidfd(qint64 pid)
{
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
}

bool sendSignal(int pidfd, int signal)
{
    return ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0) == 0;
}

} // namespace

std::unique_ptr<ProgramProcess> ProgramProcess::find(qint64 pid, const QString &program)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return nullptr;
    // The descriptor first, the check second: when the check passes and the
    // process the descriptor holds is still alive, the check was about it.
    const int pidfd = openPidfd(pid);
    if (pidfd < 0 && errno == ESRCH)
        return nullptr;
    std::unique_ptr<ProgramProcess> process(new ProgramProcess(pid, program, pidfd));
    if (!runsProgram(pid, program) || (pidfd >= 0 && !sendSignal(pidfd, 0)))
        return nullptr;
    return process;
}

ProgramProcess::ProgramProcess(qint64 pid, QString program, int pidfd)
    : mPid(pid),
      mProgram(std::move(program)),
      mPidfd(pidfd)
{}

ProgramProcess::~ProgramProcess()
{
    if (mPidfd >= 0)
        ::close(mPidfd);
}

bool ProgramProcess::terminate()
{
    if (mPidfd >= 0)
        return sendSignal(mPidfd, SIGTERM);
    return stillRuns() && ::kill(pid_t(mPid), SIGTERM) == 0;
}

bool ProgramProcess::stillRuns() const
{
    return runsProgram(mPid, mProgram);
}

bool ProgramProcess::waitForEnd(std::chrono::milliseconds bound)
{
    const Clock::time_point deadline = Clock::now() + bound;
    for (;;) {
        const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (mPidfd >= 0) {
            // The descriptor becomes readable when the process ends.
            pollfd watched {mPidfd, POLLIN, 0};
            const int ready = ::poll(&watched, 1, int(qMax(left.count(), qint64(0))));
            if (ready > 0)
                return true;
            if (ready == 0 || errno != EINTR)
                return false;
        } else {
            if (!stillRuns())
                return true;
            if (left <= 0ms)
                return false;
            const auto nap = std::min<std::chrono::nanoseconds>(left, recheckInterval);
            const timespec pause {0, long(nap.count())};
            ::nanosleep(&pause, nullptr);
        }
    }
}
