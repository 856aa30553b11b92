#include "support/modBase64.h"

namespace modBase64 {

QString encodeBase64(const QString &strSource)
{
    return QString::fromLatin1(strSource.toLatin1().toBase64());
}

} // namespace modBase64
