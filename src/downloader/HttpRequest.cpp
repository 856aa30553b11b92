#include "downloader/HttpRequest.h"

#include "base/Ansi.h"
#include "base/Utils.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace Http {

namespace {

// Space and control characters would end the request line or start a new
// header line; everything else goes out as written.
QByteArray escapeControls(const QByteArray &text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

qint32 portNumber(const QString &text, bool *ok)
{
    *ok = true;
    QByteArray digits;
    digits.reserve(text.size());
    for (const QChar ch : text) {
        if (ch != QLatin1Char(' ') && ch != QLatin1Char('\t') && ch != QLatin1Char('\n'))
            digits += ch.unicode() < 128 ? char(ch.unicode()) : '?';
    }

    // The longest prefix that reads as [sign] digits [. digits] [exponent].
    qsizetype i = 0;
    const qsizetype n = digits.size();
    if (i < n && (digits[i] == '+' || digits[i] == '-'))
        ++i;
    qsizetype mantissa = 0;
    while (i < n && Utils::isAsciiDigit(digits[i]))
        ++i, ++mantissa;
    if (i < n && digits[i] == '.') {
        ++i;
        while (i < n && Utils::isAsciiDigit(digits[i]))
            ++i, ++mantissa;
    }
    if (mantissa == 0)
        return 0;
    if (i < n && (digits[i] == 'e' || digits[i] == 'E' || digits[i] == 'd' || digits[i] == 'D')) {
        qsizetype j = i + 1;
        if (j < n && (digits[j] == '+' || digits[j] == '-'))
            ++j;
        if (j < n && Utils::isAsciiDigit(digits[j])) {
            digits[i] = 'e';
            while (j < n && Utils::isAsciiDigit(digits[j]))
                ++j;
            i = j;
        }
    }
    const double value = std::nearbyint(digits.left(i).toDouble()); // ties to even
    if (!(value >= std::numeric_limits<qint32>::min()
          && value <= std::numeric_limits<qint32>::max())) {
        *ok = false;
        return 0;
    }
    return qint32(value);
}

UrlParts splitUrl(const QString &url)
{
    UrlParts parts;
    if (!url.contains(QLatin1String("://")) || url.startsWith(QLatin1Char('/')))
        return parts;

    const QStringList segments = url.split(QLatin1Char('/'));
    const QString authority = segments.size() > 2 ? segments.at(2) : QString();
    QString hostPart = authority;
    const qsizetype at = authority.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        parts.userInfo = authority.left(at);
        hostPart = authority.mid(at + 1);
    }
    const qsizetype colon = hostPart.indexOf(QLatin1Char(':'));
    parts.host = colon < 0 ? hostPart : hostPart.left(colon);

    qint32 port = 0;
    if (colon >= 0 && colon + 1 < hostPart.size()) {
        bool inRange = false;
        port = portNumber(hostPart.mid(colon + 1), &inRange);
        if (!inRange)
            return parts;
    }
    parts.port = port > 0 ? port : kDefaultPort;

    qsizetype slash = -1;
    for (int i = 0; i < 3; ++i) {
        slash = url.indexOf(QLatin1Char('/'), slash + 1);
        if (slash < 0)
            break;
    }
    parts.path = slash >= 0 && slash + 1 < url.size() ? url.mid(slash) : QStringLiteral("/");
    parts.ok = true;
    return parts;
}

QByteArray buildRequest(const QString &path, const QString &host, const QString &authorization)
{
    QByteArray request;
    request.reserve(96 + path.size() + host.size() + authorization.size());
    request += "GET ";
    request += escapeControls(Ansi::encode(path));
    request += " HTTP/1.1\r\nAccept: */*\r\nHost: ";
    request += escapeControls(Ansi::encode(host));
    request += "\r\nConnection: close\r\n";
    if (!authorization.isEmpty()) {
        request += "Authorization: Basic ";
        request += escapeControls(authorization.toLatin1());
        request += "\r\n";
    }
    request += "\r\n";
    return request;
}

} // namespace Http
