#include "platform/DesktopExec.h"

#include <utility>

namespace DesktopExec {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

// The characters a backslash escapes inside a quoted argument.
bool isQuotedEscape(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
           || c == QLatin1Char('\\');
}

bool isUrlCode(QChar code)
{
    return code == QLatin1Char('u') || code == QLatin1Char('U') || code == QLatin1Char('f')
           || code == QLatin1Char('F');
}

// One argument with its field codes expanded. urlUsed turns true once a URL
// code has taken the url; later URL codes expand to nothing, as all the other
// codes do here (%i, %c and %k need facts a browser start does not have).
// dropped tells that the argument held codes that left nothing behind.
QString expandCodes(const QString &argument, const QString &url, bool &urlUsed, bool &dropped)
{
    QString out;
    bool hadCode = false;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const QChar c = argument.at(i);
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        if (++i == argument.size())
            break; // a lone % at the end stands for nothing
        const QChar code = argument.at(i);
        if (code == QLatin1Char('%')) {
            out += code;
            continue;
        }
        hadCode = true;
        if (isUrlCode(code) && !urlUsed) {
            out += url;
            urlUsed = true;
        }
    }
    dropped = hadCode && out.isEmpty();
    return out;
}

} // namespace

std::optional<QStringList> splitDesktopExec(const QString &exec)
{
    QStringList arguments;
    QString current;
    bool inArgument = false; // an empty "" is an argument too
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size()
                       && isQuotedEscape(exec.at(i + 1))) {
                current += exec.at(++i);
            } else {
                current += c;
            }
            continue;
        }
        if (isSeparator(c)) {
            if (inArgument)
                arguments.append(std::exchange(current, QString()));
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char('\\')) {
            if (++i == exec.size())
                return std::nullopt;
            current += exec.at(i);
        } else {
            current += c;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArgument)
        arguments.append(current);
    if (arguments.isEmpty())
        return std::nullopt;
    return arguments;
}

std::optional<QStringList> argumentsForUrl(const QString &exec, const QString &url)
{
    const std::optional<QStringList> split = splitDesktopExec(exec);
    if (!split)
        return std::nullopt;
    QStringList arguments;
    bool urlUsed = false;
    for (const QString &argument : *split) {
        bool dropped = false;
        const QString expanded = expandCodes(argument, url, urlUsed, dropped);
        if (!dropped)
            arguments.append(expanded);
    }
    if (!urlUsed)
        arguments.append(url);
    // The program itself must be left: "%f" alone names none.
    if (arguments.size() < 2 || arguments.first().isEmpty())
        return std::nullopt;
    return arguments;
}

} // namespace DesktopExec
