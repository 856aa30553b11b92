#pragma once

// The content the parent receives, cut out of a finished response.

#include <QByteArray>

namespace Http {

// How cutContent cuts the content out of a response (CopyHelper's DataType).
enum ContentKind : quint8 {
    HttpBody = 0,  // the body
    JpegImage = 1, // a JPEG image found in header and body
};

// By data type: HttpBody the body; JpegImage from the first start marker
// (FF D8) to the end of the last end marker (FF D9), searched in header and
// body as if they were joined; without both markers in that order the whole
// response, and error becomes ImageMarkersMissing when it was Success. Any
// other type gives "".
//
// Works in the body's own block and never grows it when the body brings
// room for the header behind it (as ResponseDecoder::takeBody does): the
// result never costs more than the body did. Spare room beyond 1 MiB is
// given back.
QByteArray cutContent(const QByteArray &header, QByteArray body, quint8 dataType, qint16 &error);

} // namespace Http
