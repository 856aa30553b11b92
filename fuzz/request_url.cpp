// Whatever the URL, the request is the six fixed lines with no CR, LF, blank or
// control byte elsewhere. First byte: a URL split, or raw parts to buildRequest.

#include "base/RuntimeError.h"
#include "base/modBase64.h"
#include "downloader/HttpRequest.h"

#include "FuzzCheck.h"

#include <QList>
#include <QRegularExpression>

namespace {

// The request line, Accept, Host, Connection, Authorization, empty line (Latin-1).
void checkRequest(const QByteArray &request, bool withAuthorization)
{
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
            u"GET /[^\\x00-\\x20\\x7F]* HTTP/1\\.1\r\nAccept: \\*/\\*\r\n"
            u"Host: [^\\x00-\\x20\\x7F]*\r\nConnection: close\r\n"
            u"(Authorization: Basic [^\\x00-\\x20\\x7F]+\r\n)?\r\n"));
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(request));
    FUZZ_CHECK(match.hasMatch() && match.hasCaptured(1) == withAuthorization, shown(request));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0) {
        const Http::UrlParts parts = Http::splitUrl(QString::fromUtf8(text));
        if (!parts.ok)
            return 0;
        QString authorization;
        if (!parts.userInfo.isEmpty()) {
            try {
                authorization = modBase64::encodeBase64(parts.userInfo);
            } catch (const RuntimeError &) {
                return 0; // refused before any request is built
            }
        }
        checkRequest(Http::buildRequest(parts.path, parts.host, authorization),
                     !authorization.isEmpty());
    } else {
        const QList<QByteArray> pieces = text.split('\0');
        const QString path = QString::fromUtf8(pieces.value(0)).prepend(QLatin1Char('/'));
        const QString authorization = QString::fromLatin1(pieces.value(2));
        checkRequest(Http::buildRequest(path, QString::fromUtf8(pieces.value(1)), authorization),
                     !authorization.isEmpty());
    }
    return 0;
}
