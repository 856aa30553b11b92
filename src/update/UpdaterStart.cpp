#include "update/UpdaterStart.h"

#include "base/Utils.h"
#include "platform/App.h"
#include "platform/Shell.h"
#include "update/UpdateServer.h"

#include <QCoreApplication>

void startUpdater(const QString &folder)
{
    const QString program = Utils::addBackslash(folder) + UpdateServer::updaterFile;
    const QStringList arguments {QString::number(QCoreApplication::applicationPid()),
                                 App::EXEFileName()};
    Shell(program, arguments, vbNormalNoFocus, folder);
}
