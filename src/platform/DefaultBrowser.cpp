#include "platform/DefaultBrowser.h"

#include "base/Utils.h"
#include "platform/DesktopExec.h"
#include "platform/modRegistry.h"

namespace DefaultBrowser {

QString browserProgramPart(const QString &strCommand)
{
    if (strCommand.size() <= 2)
        return QString();
    const QString quote(QLatin1Char('"'));
    if (strCommand.startsWith(quote))
        return quote + Utils::TextUpTo(strCommand, quote, 2, 1, true) + quote;
    return Utils::TextUpTo(strCommand, QStringLiteral(" "), 1, 1, true);
}

QString unquotedProgram(const QString &programPart)
{
    return Utils::stripOne(programPart, QLatin1Char('"'));
}

QStringList browserStart(const QString &browserExec, const QString &url)
{
    const QString programPart = browserProgramPart(browserExec);
    if (programPart.isEmpty())
        return {};
    return DesktopExec::argumentsForUrl(browserExec, url)
            .value_or(QStringList {unquotedProgram(programPart), url});
}

QString defaultBrowserExec()
{
    using namespace modRegistry;
    // An empty class name is not special: the key read is then the bare
    // "\shell\open\command", which finds nothing.
    const QString fileClass = regQueryString(HKEY_CLASSES_ROOT, QStringLiteral(".html"), QString());
    return regQueryString(HKEY_CLASSES_ROOT, fileClass + QStringLiteral("\\shell\\open\\command"),
                          QString());
}

QString getDefaultBrowser()
{
    return browserProgramPart(defaultBrowserExec());
}

} // namespace DefaultBrowser
