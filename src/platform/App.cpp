#include "platform/App.h"

#include "BuildSettings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
QString &pathOverride()
{
    static QString folder;
    return folder;
}
} // namespace

namespace App {

QString Path()
{
    if (!pathOverride().isEmpty())
        return pathOverride();
    return QCoreApplication::applicationDirPath();
}

void setPath(const QString &folder)
{
    pathOverride() = folder;
}

QString EXEName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString Title()
{
    return QStringLiteral("VerbodromEN");
}

int Major()
{
    return VERBODROM_VERSION_MAJOR;
}
int Minor()
{
    return VERBODROM_VERSION_MINOR;
}
int Revision()
{
    return VERBODROM_VERSION_PATCH;
}

QString UpdateServer()
{
    return QStringLiteral(VERBODROM_UPDATE_SERVER);
}
QString Homepage()
{
    return QStringLiteral(VERBODROM_HOMEPAGE);
}

} // namespace App
