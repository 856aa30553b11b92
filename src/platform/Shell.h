#pragma once

#include "platform/FileSystem.h"

#include <QString>
#include <QStringList>

#include <functional>

// Window styles of a started program: 1 normal with focus, 4 normal without.
enum ShellWindowStyle {
    vbNormalFocus = 1,
    vbNormalNoFocus = 4,
};

// Starts a program with the given arguments and does not wait for it. The
// arguments go to the program as they are; no shell reads them. The program
// runs in `workingDirectory`, or in ours when that is empty. Returns the new
// process's id; throws RuntimeError 53 when the program cannot be started.
qint64 Shell(const QString &program, const QStringList &arguments, int windowStyle,
             const QString &workingDirectory = QString());

// Starts the program file at `program` like Shell, but only while that name
// still leads to the regular file `identity` names (not through a link), and
// starts the file it opened for that check, so that nothing put at the name
// meanwhile is ever run. The file must be a program, not a script. Throws
// RuntimeError 53 when the name leads elsewhere or starting fails.
qint64 ShellFile(const QString &program, const FileIdentity &identity, const QStringList &arguments,
                 int windowStyle, const QString &workingDirectory);

// Test seam: while a handler is set, Shell and ShellFile (after its check of
// the file) call it instead of starting a process and return its answer.
using ShellHandler = std::function<qint64(const QString &program, const QStringList &arguments,
                                          int windowStyle, const QString &workingDirectory)>;
void setShellHandler(ShellHandler handler);
