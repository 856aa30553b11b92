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

qint64 Shell(const QString &program, const QStringList &arguments, int windowStyle)
{
    if (handler())
        return handler()(program, arguments, windowStyle);

    // The window style is the started program's own business on this
    // desktop; a detached start never waits for it.
    qint64 pid = 0;
    if (program.isEmpty() || !QProcess::startDetached(program, arguments, QString(), &pid))
        throw RuntimeError(RuntimeError::FileNotFound, "program cannot be started");
    return pid;
}
