#pragma once

// Why the response decoder refused a response, one name per cause, and the
// short German text of each (for a message such as "Das Update konnte nicht
// heruntergeladen werden." and a line break in front of it).

#include <QString>
#include <QtGlobal>

namespace Http {

enum class DecodeFailure : quint8 {
    None, // a complete 2xx response, or nothing wrong so far
    // Found while the bytes arrive; decoding stops there.
    HeaderLineTooLong,  // a header line longer than kMaxLine
    HeadTooLarge,       // the header blocks together beyond 256 KiB
    TooManyInterim,     // more than 32 interim (1xx) responses
    BadContentLength,   // a Content-Length that is no number, or two that differ
    UnsupportedCoding,  // a transfer coding other than chunked alone
    ChunkLineTooLong,   // a chunk size line (with its extension) longer than kMaxLine
    BadChunkSize,       // a chunk size that is not hex, or junk behind it
    ChunkNotTerminated, // chunk data not followed by a line end
    TrailerTooLarge,    // trailer lines together longer than kMaxLine
    TooLarge,           // more announced or received than the limit leaves room for
    // Found once the connection has ended.
    HeadUnfinished,   // nothing arrived, or the header block never ended
    BadStatusLine,    // no status line, or a malformed one
    StatusNotSuccess, // a status other than 2xx
    BodyCutShort,     // fewer bytes than announced, or no last chunk
};

// The short German text of a failure, without a closing full stop; "" for None.
QString decodeFailureText(DecodeFailure failure);

// The result code the downloader ends with: Success for None, SocketFailed
// for TooLarge (nothing of such a response is kept), BadResponse for the rest.
qint16 resultCode(DecodeFailure failure);

} // namespace Http
