#pragma once

#include <QString>

namespace modBase64 {

// RFC 4648 Base64 (standard alphabet, "=" padding, one line) of the text,
// each character taken as the byte of its code. Raises RuntimeError (5,
// invalid procedure call) for a character above 255, before writing
// anything. The text is only read.
QString encodeBase64(const QString &strSource);

} // namespace modBase64
