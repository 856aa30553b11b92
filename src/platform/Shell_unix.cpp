#include "platform/Shell.h"

#include "base/RuntimeError.h"

#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

namespace {

ShellHandler &handler()
{
    static ShellHandler h;
    return h;
}

// Starts `executable` detached, or hands `program` to the test handler.
qint64 start(const QString &program, const QString &executable, const QStringList &arguments,
             int windowStyle, const QString &workingDirectory)
{
    if (handler())
        return handler()(program, arguments, windowStyle, workingDirectory);
    // The window style is the started program's own business on this
    // desktop; a detached start never waits for it.
    qint64 pid = 0;
    if (program.isEmpty()
        || !QProcess::startDetached(executable, arguments, workingDirectory, &pid))
        throw RuntimeError(RuntimeError::FileNotFound, "program cannot be started");
    return pid;
}

} // namespace

void setShellHandler(ShellHandler h)
{
    handler() = std::move(h);
}

qint64 Shell(const QString &program, const QStringList &arguments, int windowStyle,
             const QString &workingDirectory)
{
    return start(program, program, arguments, windowStyle, workingDirectory);
}

qint64 ShellFile(const QString &program, const FileIdentity &identity, const QStringList &arguments,
                 int windowStyle, const QString &workingDirectory)
{
    const int fd = ::open(QFile::encodeName(program).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat info
    {};
    const bool same = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
                      && FileIdentity {quint64(info.st_dev), quint64(info.st_ino)} == identity;
    qint64 pid = -1;
    try {
        // The new process runs the descriptor's file, whatever the name holds
        // by then: the kernel opens it before descriptors close on exec.
        if (same)
            pid = start(program, QStringLiteral("/proc/self/fd/%1").arg(fd), arguments, windowStyle,
                        workingDirectory);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (fd >= 0)
        ::close(fd);
    if (!same)
        throw RuntimeError(RuntimeError::FileNotFound, "not the file that was written");
    return pid;
}
