#pragma once

#include <QString>

namespace modBase64 {

// RFC 4648 Base64 of the text, each character taken as one byte.
QString encodeBase64(const QString &strSource);

} // namespace modBase64
