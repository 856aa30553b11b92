#include "update/UpdateServer.h"

#include "platform/App.h"

namespace UpdateServer {

QString url(const QString &fileName)
{
    return QStringLiteral("http://") + App::UpdateServer()
           + QStringLiteral("/Updates/Verbodrom(EN)/") + fileName;
}

} // namespace UpdateServer
