#pragma once

// The request side of the downloader, free of sockets:
//
//   URL text --splitUrl--> UrlParts --buildRequest--> request bytes

#include <QByteArray>
#include <QString>

namespace Http {

inline constexpr qint32 kDefaultPort = 80;

// A URL taken apart by its "/" characters: scheme://[user:pw@]host[:port][/path].
struct UrlParts
{
    bool ok = false;                    // false: no "://", starts with "/", or port out of range
    QString userInfo;                   // text in front of the first "@" of the authority, or ""
    QString host;                       // up to the first ":" of the host part
    qint32 port = kDefaultPort;         // when missing, not a number, 0 or negative
    QString path = QStringLiteral("/"); // from the third "/" on, "/" at least
};

// Never fails; a refused URL gives ok == false. The scheme is ignored.
UrlParts splitUrl(const QString &url);

// The number a port text begins with: blanks, tabs and line feeds are
// skipped wherever they stand, a sign, decimals and an exponent are read,
// the value is rounded half to even. 0 when the text begins with no number.
// ok is false when the value lies outside the signed 32-bit range.
qint32 portNumber(const QString &text, bool *ok);

// The GET request, byte for byte. authorization is the Base64 credentials,
// or "" for none. Space and control characters in the path are sent
// percent-escaped so that a path can never add lines to the request.
QByteArray buildRequest(const QString &path, const QString &host, const QString &authorization);

} // namespace Http
