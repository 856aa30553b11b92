// The Base64 encoder against QByteArray::toBase64 for characters 0 to 255; one
// above raises error 5. The first byte picks: a character per byte, or UTF-16.

#include "base/RuntimeError.h"
#include "base/modBase64.h"

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const size_t width = size > 0 && data[0] % 2 ? 2 : 1;
    QString text(qsizetype(size > 0 ? (size - 1) / width : 0), Qt::Uninitialized);
    bool wide = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uint8_t *at = data + 1 + size_t(i) * width;
        text[i] = QChar(char16_t(width == 2 ? (at[0] << 8) | at[1] : at[0]));
        wide = wide || text[i].unicode() > 0xFF;
    }
    int error = 0;
    QString encoded;
    try {
        encoded = modBase64::encodeBase64(text);
    } catch (const RuntimeError &e) {
        error = e.number();
    }
    FUZZ_CHECK(wide ? error == RuntimeError::InvalidProcedureCall && encoded.isEmpty()
                    : error == 0 && encoded == QString::fromLatin1(text.toLatin1().toBase64()),
               shown(text) + "\ngave " + shown(encoded) + ", error " + QByteArray::number(error));
    return 0;
}
