#pragma once

#include <QString>
#include <QStringList>

// The default web browser, found in the freedesktop data (modRegistry).
namespace DefaultBrowser {

// The default web browser's whole registered command (the Exec value of its
// desktop file); empty when none is registered. Never fails.
QString defaultBrowserExec();

// The default web browser's program part, possibly in double quotes; empty
// when none is registered. Never fails.
QString getDefaultBrowser();

// The program part of a registered open command: "" for a command of 2
// characters or fewer; for one that starts with a double quote, the text up to
// the next double quote, wrapped in double quotes again (everything after the
// opening quote when it is never closed); otherwise everything before the
// first blank. Arguments, switches and placeholders such as %u are dropped.
QString browserProgramPart(const QString &strCommand);

// The program to start and its own text without the surrounding double
// quotes that browserProgramPart may have put around it.
QString unquotedProgram(const QString &programPart);

// The program and its arguments that open url in the browser registered with
// the command browserExec, as its desktop file says (DesktopExec). A command
// that cannot be split falls back to its program part and url. Empty when
// the command's program part is empty: then nothing is to be started.
QStringList browserStart(const QString &browserExec, const QString &url);

} // namespace DefaultBrowser
