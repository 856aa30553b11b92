#include "base/modBase64.h"

#include "base/RuntimeError.h"

namespace modBase64 {

namespace {

const char16_t *alphabetTable()
{
    // Built on the first call that needs it, kept for the whole run.
    static bool built = false;
    static char16_t table[64];
    if (!built) {
        const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            table[i] = char16_t(alphabet[i]);
        built = true;
    }
    return table;
}

} // namespace

QString encodeBase64(const QString &strSource)
{
    const qsizetype n = strSource.size();
    if (n == 0)
        return QString();
    const QChar *in = strSource.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (in[i].unicode() > 255)
            throw RuntimeError(RuntimeError::InvalidProcedureCall, "character above 255");
    }

    QString result(4 * ((n + 2) / 3), Qt::Uninitialized);
    const char16_t *table = alphabetTable();
    auto *out = reinterpret_cast<char16_t *>(result.data());
    qsizetype i = 0;
    for (; i + 2 < n; i += 3) {
        const unsigned c1 = in[i].unicode(), c2 = in[i + 1].unicode(), c3 = in[i + 2].unicode();
        *out++ = table[c1 >> 2];
        *out++ = table[((c1 & 3) << 4) | (c2 >> 4)];
        *out++ = table[((c2 & 15) << 2) | (c3 >> 6)];
        *out++ = table[c3 & 63];
    }
    if (n - i == 1) {
        const unsigned c1 = in[i].unicode();
        *out++ = table[c1 >> 2];
        *out++ = table[(c1 & 3) << 4];
        *out++ = u'=';
        *out++ = u'=';
    } else if (n - i == 2) {
        const unsigned c1 = in[i].unicode(), c2 = in[i + 1].unicode();
        *out++ = table[c1 >> 2];
        *out++ = table[((c1 & 3) << 4) | (c2 >> 4)];
        *out++ = table[(c2 & 15) << 2];
        *out++ = u'=';
    }
    return result;
}

} // namespace modBase64
