#include "support/modRegistry.h"

namespace modRegistry {

QString regQueryString(quint32 hKey, const QString &strSubKey, const QString &strValueName)
{
    Q_UNUSED(hKey);
    Q_UNUSED(strSubKey);
    Q_UNUSED(strValueName);
    return QString();
}

} // namespace modRegistry
