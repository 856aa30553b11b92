#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The Exec key of a freedesktop desktop file, as a program starts it: split
// into arguments and with its field codes expanded. Pure functions; nothing
// here starts a process or reads a file.
namespace DesktopExec {

// Splits an Exec value (its string escapes such as \s already undone) into
// arguments. Blanks and tabs separate arguments; a double-quoted part keeps
// them, and inside it a backslash takes the next ", `, $ or \ literally.
// Outside quotes a backslash takes any next character literally. A quoted
// part may stand next to plain text in one argument ("a"b is ab). Field codes
// are left as they are. Nothing for an unclosed quote, a trailing backslash
// or a value without any argument.
std::optional<QStringList> splitDesktopExec(const QString &exec);

// The argument list that opens url with the given Exec value: the first %u,
// %U, %f or %F becomes url (appended as a last argument when there is none),
// %% becomes %, and every other field code is dropped, together with its
// argument when the code was all of it. Element 0 is the program. Nothing
// when the value cannot be split or leaves no program.
std::optional<QStringList> argumentsForUrl(const QString &exec, const QString &url);

} // namespace DesktopExec
