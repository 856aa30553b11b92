#pragma once

#include <QString>

namespace Utils {

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

} // namespace Utils
