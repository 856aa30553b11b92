// The Base64 encoder against QByteArray::toBase64 for characters 0 to 255; one
// above raises error 5. The first byte picks: a character per byte, or UTF-16.

#include "base/RuntimeError.h"
#include "base/modBase64.h"

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0) {
        const QString text = QString::fromLatin1(bytes);
        const QString encoded = modBase64::encodeBase64(text);
        FUZZ_CHECK(encoded == QString::fromLatin1(bytes.toBase64()),
                   shown(bytes) + "\ngave " + shown(encoded));
        FUZZ_CHECK(text == QString::fromLatin1(bytes), "the source text changed");
        return 0;
    }

    QString text(bytes.size() / 2, Qt::Uninitialized);
    bool wide = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = char16_t((uchar(bytes[2 * i]) << 8) | uchar(bytes[2 * i + 1]));
        text[i] = QChar(unit);
        wide = wide || unit > 0xFF;
    }
    int error = 0;
    QString encoded;
    try {
        encoded = modBase64::encodeBase64(text);
    } catch (const RuntimeError &e) {
        error = e.number();
    }
    if (wide) {
        FUZZ_CHECK(error == RuntimeError::InvalidProcedureCall && encoded.isEmpty(),
                   "a character above 255 gave error " + QByteArray::number(error));
    } else {
        FUZZ_CHECK(error == 0 && encoded == QString::fromLatin1(text.toLatin1().toBase64()),
                   shown(text) + "\ngave " + shown(encoded));
    }
    return 0;
}
