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

QString &serverOverride()
{
    static QString server;
    return server;
}

std::optional<bool> &writableOverride()
{
    static std::optional<bool> writable;
    return writable;
}

std::optional<QString> &keyOverride()
{
    static std::optional<QString> key;
    return key;
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

bool PathWritable()
{
    if (writableOverride())
        return *writableOverride();
    // QFileInfo asks the system for this user's access, so a read-only
    // mount counts too.
    return QFileInfo(Path()).isWritable();
}

void setPathWritable(std::optional<bool> writable)
{
    writableOverride() = writable;
}

QString EXEFileName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
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
    if (!serverOverride().isEmpty())
        return serverOverride();
    return QStringLiteral(VERBODROM_UPDATE_SERVER);
}

void setUpdateServer(const QString &server)
{
    serverOverride() = server;
}

QString UpdateKey()
{
    return keyOverride().value_or(QStringLiteral(VERBODROM_UPDATE_KEY));
}

void setUpdateKey(std::optional<QString> key)
{
    keyOverride() = std::move(key);
}

QString Homepage()
{
    return QStringLiteral(VERBODROM_HOMEPAGE);
}

} // namespace App
