#pragma once

// Decodes one HTTP/1.1 response as it arrives, however its bytes are split:
// the same bytes give the same result for every split. Reads the header
// block (ResponseHead.h), skips up to 32 interim (1xx) responses, and takes
// the body by Content-Length, by the chunked coding (extensions and
// trailers included) or up to the close. Memory is bounded by the limit,
// work is linear in the bytes fed.
//
//   arrivals --feed() or receive()--> Decode::NeedMore, Complete or Failed
//   the close --finish()--> DecodeFailure::None for a complete 2xx response
//   then header() and takeBody() --cutContent (ContentCut.h)--> the content
//
// A line (header, chunk size, trailer) holds at most kMaxLine bytes, its
// line end (LF or CR LF) not counted. Every size a server announces is
// compared with the room the limit leaves, never added to what has arrived,
// so that no size can overflow past the limit.

#include "downloader/DecodeFailure.h"
#include "downloader/ResponseHead.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <utility>

class ByteSource;

namespace Http {

// Largest response (header blocks and body) the downloader keeps.
inline constexpr qint64 kResponseLimit = qint64(256) * 1024 * 1024;
// Longest line of a response, its line end not counted.
inline constexpr qsizetype kMaxLine = 64 * 1024;

// What the decoder needs after a piece of the response.
enum class Decode {
    NeedMore, // more bytes, or the close
    Complete, // nothing more: the body is complete
    Failed,   // the response is refused (finish() says why): end it now
};

class ResponseDecoder
{
public:
    explicit ResponseDecoder(qint64 limit = kResponseLimit);

    // Takes the next arrival. Once Complete or Failed, further bytes are
    // ignored and the same value is returned.
    Decode feed(QByteArrayView data);

    // Takes up to `available` bytes from source, as the framing wants them:
    // body bytes straight into their place in the body, framing bytes in
    // small pieces through feed(). Stops early when the source has no more
    // or the response needs no more; `taken` is how many bytes it took.
    Decode receive(ByteSource &source, qint64 available, qint64 &taken);

    // The verdict once the connection has ended, or once decoding failed:
    // the failure met while decoding, else what the close reveals
    // (HeadUnfinished, BadStatusLine, StatusNotSuccess, BodyCutShort), else
    // None for a complete 2xx response.
    DecodeFailure finish() const;

    int statusCode() const { return mStatus; } // -1 when not (yet) known
    // The final header block with its closing empty line ("" when the
    // response had no status line), and the body as decoded so far.
    const QByteArray &header() const { return mHeader; }
    const QByteArray &body() const { return mBody; }
    // The body without a copy; the decoder keeps none. A large body comes
    // with spare room for the header behind it, so that cutContent never
    // has to grow it (see reserveBody).
    QByteArray takeBody() { return std::exchange(mBody, QByteArray()); }

    // Back to the state of a new decoder, memory released.
    void clear();

private:
    // What the decoder waits for.
    enum class Phase {
        StatusPrefix, // "HTTP/" at the start of a header block
        Header,       // the rest of a header block, up to its empty line
        Plain,        // body bytes: mRemaining of them, or up to the close
        ChunkSize,    // a chunk size line
        ChunkData,    // mRemaining bytes of chunk data
        ChunkEnd,     // the line end behind chunk data
        Trailer,      // trailer lines, up to the empty one
        Done,         // nothing: the body is complete
    };
    enum class Line { Complete, Partial, TooLong };

    Decode feedHead(QByteArrayView data);
    qsizetype findHeadEnd(qsizetype from);
    Decode headRead(qsizetype from, qsizetype end);
    void readFraming(const QList<QByteArrayView> &fieldLines);
    Decode feedBody(const char *data, qsizetype size);
    // The chunked coding, ResponseChunks.cpp.
    Decode feedChunked(const char *data, qsizetype size);
    Decode chunkSizeStep(const char *data, qsizetype size, qsizetype &pos);
    Decode chunkDataStep(const char *data, qsizetype size, qsizetype &pos);
    Decode chunkEndStep(const char *data, qsizetype size, qsizetype &pos);
    Decode trailerStep(const char *data, qsizetype size, qsizetype &pos);
    static Line takeLine(const char *data, qsizetype size, qsizetype &pos, QByteArray &line);
    // Whether a line whose end has not arrived yet is too long already.
    static bool unfinishedLineTooLong(qsizetype length, char lastByte);
    qint64 receiveBody(ByteSource &source, qsizetype room, Decode &step);
    qint64 receiveFraming(ByteSource &source, qint64 left, Decode &step);
    qsizetype bodyRoom() const;
    qint64 roomLeft() const;
    bool withinLimit(qint64 more) const { return more <= roomLeft(); }
    void reserveBody(qint64 size);
    void growBody(qsizetype more);
    void appendBody(const char *data, qsizetype size);
    Decode bodyTaken(qsizetype size);
    Decode fail(DecodeFailure failure);
    Decode complete();

    qint64 mLimit;
    Phase mPhase = Phase::StatusPrefix;
    Framing mFraming = Framing::Undecided;
    Decode mEnd = Decode::NeedMore;
    DecodeFailure mFailure = DecodeFailure::None;
    QByteArray mHeader;       // in the head phases: the bytes not yet read
    qsizetype mScanFrom = 0;  // head phases: where the search for the end goes on
    qsizetype mLineStart = 0; // head phases: where the current line began
    qint64 mHeadBytes = 0;    // interim header blocks skipped so far
    int mInterimCount = 0;
    QByteArray mBody;
    QByteArray mLine; // the chunk size line or trailer line so far
    qint64 mRemaining = 0;
    qint64 mContentLength = -1;
    qint64 mTrailerBytes = 0;
    int mStatus = -1;
    bool mStatusOk = false;
};

} // namespace Http
