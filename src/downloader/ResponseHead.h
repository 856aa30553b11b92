#pragma once

// A response's header block read in small pure steps:
//
//   head --splitLines--> lines
//   first line --parseStatusLine--> StatusLine
//   other lines --collectFraming--> FramingFields --decideFraming--> BodyFraming

#include "downloader/DecodeFailure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace Http {

// How the body of a response is delimited.
enum class Framing {
    Undecided, // the header block has not been read yet
    Chunked,   // chunked transfer coding, up to the last chunk and its trailers
    Plain,     // as sent: Content-Length bytes, or everything up to the close
};

// status-line = "HTTP/" DIGIT "." DIGIT SP 3DIGIT [ SP reason-phrase ]
struct StatusLine
{
    bool ok = false;
    int code = -1; // -1 unless ok
};
StatusLine parseStatusLine(QByteArrayView line);

// 1xx except 101: another header block follows.
bool isInterim(int status);

// The lines of a header block, each without its line end (LF or CR LF).
QList<QByteArrayView> splitLines(QByteArrayView head);

// The field values that decide the framing. A folded line (one that begins
// with a blank or a tab) continues the field above it, joined with a blank.
struct FramingFields
{
    bool hasTransferEncoding = false;
    QByteArray transferEncoding;      // every Transfer-Encoding value, joined with ","
    QList<QByteArray> contentLengths; // each Content-Length field's value
};
// lines: the header block's lines after the status line.
FramingFields collectFraming(const QList<QByteArrayView> &lines);

struct BodyFraming
{
    DecodeFailure failure = DecodeFailure::None; // BadContentLength or UnsupportedCoding
    Framing framing = Framing::Plain;
    qint64 contentLength = -1; // Plain: -1 up to the close
};
// 204 and 304 never have a body; otherwise Transfer-Encoding decides before
// Content-Length. Only chunked alone is decoded: any other coding would
// hand on bytes that are not the content. Content-Length values must be
// decimal, at most 18 digits, and agree.
BodyFraming decideFraming(int status, const FramingFields &fields);

} // namespace Http
