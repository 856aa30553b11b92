#pragma once

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

// Test seam: while a handler is set, Shell calls it instead of starting a
// process and returns its answer.
using ShellHandler = std::function<qint64(const QString &program, const QStringList &arguments,
                                          int windowStyle, const QString &workingDirectory)>;
void setShellHandler(ShellHandler handler);
