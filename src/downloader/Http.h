#pragma once

// The HTTP side of the downloader as plain functions and one decoder class,
// free of sockets so that every rule can be tested on its own:
//
//   URL text --splitUrl--> UrlParts --buildRequest--> request bytes
//   arrivals --ResponseDecoder::feed--> header block + decoded body
//   close    --ResponseDecoder::finish--> result code (Success or BadResponse)
//   header + body --extractBody--> the content handed to the parent

#include "downloader/DownloadResult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <utility>

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

// Largest response (header blocks and body) the downloader keeps.
inline constexpr qint64 kResponseLimit = qint64(256) * 1024 * 1024;

// Decodes one response incrementally, however the bytes are split into
// arrivals: the same bytes give the same result for every split. Reads the
// header block, the status line, Content-Length and the chunked coding with
// extensions and trailers; skips up to 32 interim (1xx) responses. Memory is
// bounded by the limit, work is linear in the bytes fed.
//
// A response fails (-9) at the first of: a header line or a chunk size line
// over 64 KiB, header blocks over 256 KiB in all, a 33rd interim response,
// Content-Length values that are not numbers or disagree, a transfer coding
// other than chunked alone, a chunk size that is not hex, chunk data not
// followed by a line end, trailers over 64 KiB. It is too large (-3) as soon
// as its framing announces (a Content-Length, any one chunk size, 64-bit
// overflow included), or its body reaches, more than the room the limit
// leaves.
class ResponseDecoder
{
public:
    enum class Progress {
        NeedMore, // waiting for more bytes (or for the close)
        Complete, // the body is complete: nothing more is needed
        Failed,   // the response is malformed beyond repair: end it (-9)
        TooLarge, // the response exceeds the limit: end it (-3)
    };

    explicit ResponseDecoder(qint64 limit = kResponseLimit);

    // Takes the next arrival. After Complete, Failed or TooLarge further
    // bytes are ignored and the same value is returned.
    Progress feed(const QByteArray &data);

    // Receiving without a copy: how many of the next bytes are body bytes as
    // they stand (0 when they must go through feed()), room for n <= that
    // many at the end of the body, and how many of them arrived there.
    // beginDirect() must be followed by endDirect() before anything else.
    qsizetype directRoom() const;
    char *beginDirect(qsizetype n);
    Progress endDirect(qsizetype received);

    // Result code once the connection has ended: Success for a complete 2xx
    // response, BadResponse for a missing or malformed status line, a status
    // other than 2xx, an unfinished header block, a failure or a body cut
    // short.
    qint16 finish() const;

    // 0 until the header block is decided, then 1 chunked, -1 plain.
    qint16 chunkState() const;
    int statusCode() const { return mStatus; }              // -1 when not (yet) known
    qint64 contentLength() const { return mContentLength; } // -1 when none

    // The final header block with its closing empty line ("" when the
    // response had no status line), and the body as decoded so far.
    const QByteArray &header() const { return mHeader; }
    const QByteArray &body() const { return mBody; }
    // The body, handed over without a copy; the decoder keeps none.
    QByteArray takeBody();

    // Back to the state of a new decoder, memory released.
    void clear();

private:
    enum class Phase { StatusPrefix, Header, Plain, ChunkSize, ChunkData, ChunkEnd, Trailer, Done };
    enum class Head { Interim, Final, BadFraming };
    enum class Line { Complete, Partial, TooLong };

    Progress feedHead(const QByteArray &data);
    qsizetype findHeadEnd(qsizetype from);
    Head parseHead(QByteArrayView head);
    Progress feedBody(const char *data, qsizetype size);
    Progress feedChunked(const char *data, qsizetype size);
    Progress takeChunkSize();
    static Line takeLine(const char *data, qsizetype size, qsizetype &pos, QByteArray &line);
    qint64 roomLeft() const;
    bool withinLimit(qint64 more) const;
    void reserveBody(qint64 size);
    void growBody(qsizetype more);
    void appendBody(const char *data, qsizetype size);
    Progress bodyTaken(qsizetype size);
    Progress recordEnd(Progress outcome);

    qint64 mLimit;
    Phase mPhase = Phase::StatusPrefix;
    Progress mEnd = Progress::NeedMore;
    QByteArray mHeader;       // in the head phases: the unparsed bytes
    qsizetype mScanFrom = 0;  // head phases: where the search for the end goes on
    qsizetype mLineStart = 0; // head phases: where the current line began
    qint64 mHeadBytes = 0;    // interim header blocks skipped so far
    int mInterimCount = 0;
    QByteArray mBody;
    qsizetype mDirectFrom = 0; // where beginDirect's room starts
    QByteArray mLine;
    qint64 mRemaining = 0;
    qint64 mContentLength = -1;
    qint64 mTrailerBytes = 0;
    int mStatus = -1;
    bool mStatusOk = false;
    bool mChunked = false;
};

// How extractBody cuts the content out of a response.
enum ContentKind : quint8 {
    HttpBody = 0,  // the body
    JpegImage = 1, // a JPEG image found in header and body
};

// The content cut out of a finished response by data type: HttpBody the
// body; JpegImage from the first start marker (FF D8) to the end of the last
// end marker (FF D9), searched in header and body without joining them;
// without both markers in that order the whole response, and error becomes
// ImageMarkersMissing when it was Success. Any other type gives "". Holds
// the body at most once (plus the header) at any time.
QByteArray extractBody(const QByteArray &header, QByteArray body, quint8 dataType, qint16 &error);

} // namespace Http
