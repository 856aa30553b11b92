#include "update/UpdaterStart.h"

#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "platform/App.h"
#include "platform/Shell.h"
#include "update/UpdateServer.h"

#include <QCoreApplication>

bool startUpdater(const QString &folder, const FileIdentity &written)
{
    const QString program = Utils::addBackslash(folder) + UpdateServer::updaterFile;
    const QStringList arguments {QString::number(QCoreApplication::applicationPid()),
                                 App::EXEFileName()};
    try {
        ShellFile(program, written, arguments, vbNormalNoFocus, folder);
        return true;
    } catch (const RuntimeError &) {
        return false;
    }
}
