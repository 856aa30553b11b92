#include "platform/Shell.h"

#include "base/RuntimeError.h"

#include <QProcess>

namespace {
ShellHandler &handler()
{
    static ShellHandler h;
    return h;
}
} // namespace

void setShellHandler(ShellHandler h)
{
    handler() = std::move(h);
}

qint64 Shell(const QString &program, const QStringList &arguments, int windowStyle,
             const QString &workingDirectory)
{
    if (handler())
        return handler()(program, arguments, windowStyle, workingDirectory);

    // The window style is the started program's own business on this
    // desktop; a detached start never waits for it.
    qint64 pid = 0;
    if (program.isEmpty() || !QProcess::startDetached(program, arguments, workingDirectory, &pid))
        throw RuntimeError(RuntimeError::FileNotFound, "program cannot be started");
    return pid;
}
