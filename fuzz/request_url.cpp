// Whatever URL the downloader is handed, the request it builds is the six
// fixed lines and nothing more: no CR, LF, space or other control byte may
// stand anywhere but in the line ends and the fixed texts.
//
// Input: one byte picks the mode, the rest is text. Mode 0: the text is a URL
// (UTF-8), taken apart and turned into a request as the downloader does.
// Mode 1: the text holds path, host and credentials separated by NUL bytes,
// passed to buildRequest as they are.

#include "base/RuntimeError.h"
#include "base/modBase64.h"
#include "downloader/HttpRequest.h"

#include "FuzzCheck.h"

#include <QList>

namespace {

bool isSafeByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u != 0x7F;
}

bool allSafe(QByteArrayView text)
{
    for (const char c : text) {
        if (!isSafeByte(c))
            return false;
    }
    return !text.isEmpty();
}

// The request line, Accept, Host, Connection, Authorization when given, and
// the empty line that ends the request.
void checkRequest(const QByteArray &request, bool withAuthorization)
{
    FUZZ_CHECK(request.endsWith("\r\n\r\n"), shown(request));
    QList<QByteArray> lines = request.chopped(2).split('\n');
    lines.removeLast(); // behind the last line end
    FUZZ_CHECK(lines.size() == (withAuthorization ? 5 : 4), shown(request));
    for (QByteArray &line : lines) {
        FUZZ_CHECK(line.endsWith('\r'), shown(request));
        line.chop(1);
    }

    const QByteArrayView requestLine(lines.at(0));
    FUZZ_CHECK(requestLine.startsWith("GET /") && requestLine.endsWith(" HTTP/1.1")
                       && allSafe(requestLine.sliced(4, requestLine.size() - 13)),
               shown(request));
    FUZZ_CHECK(lines.at(1) == "Accept: */*", shown(request));
    const QByteArrayView host(lines.at(2));
    FUZZ_CHECK(host.startsWith("Host: ") && (host.size() == 6 || allSafe(host.sliced(6))),
               shown(request));
    FUZZ_CHECK(lines.at(3) == "Connection: close", shown(request));
    if (withAuthorization) {
        const QByteArrayView authorization(lines.at(4));
        FUZZ_CHECK(authorization.startsWith("Authorization: Basic ")
                           && allSafe(authorization.sliced(21)),
                   shown(request));
    }
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
