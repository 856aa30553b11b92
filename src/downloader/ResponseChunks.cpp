// The chunked transfer coding: the decoder's phases from the first chunk
// size line to the empty line behind the trailers.

#include "downloader/ResponseDecoder.h"

#include <cstring>
#include <limits>

namespace Http {

namespace {

// Trailer lines together, their line ends not counted.
constexpr qint64 kMaxTrailer = kMaxLine;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

// Appends data up to the next line feed to line and moves pos behind it,
// the CR of a complete line dropped. A line over kMaxLine is TooLong as
// soon as that shows; nothing of it beyond the limit is kept.
ResponseDecoder::Line ResponseDecoder::takeLine(const char *data, qsizetype size, qsizetype &pos,
                                                QByteArray &line)
{
    const void *hit = std::memchr(data + pos, '\n', size_t(size - pos));
    const qsizetype end = hit ? static_cast<const char *>(hit) - data : size;
    const qsizetype length = line.size() + (end - pos);
    const char last = end > pos ? data[end - 1] : line.isEmpty() ? '\0' : line.back();
    if (hit ? length - (last == '\r' ? 1 : 0) > kMaxLine : unfinishedLineTooLong(length, last))
        return Line::TooLong;
    line.append(data + pos, end - pos);
    pos = hit ? end + 1 : size;
    if (!hit)
        return Line::Partial;
    if (line.endsWith('\r'))
        line.chop(1);
    return Line::Complete;
}

Decode ResponseDecoder::feedChunked(const char *data, qsizetype size)
{
    qsizetype pos = 0;
    Decode step = Decode::NeedMore;
    while (pos < size && step == Decode::NeedMore) {
        switch (mPhase) {
        case Phase::ChunkSize:
            step = chunkSizeStep(data, size, pos);
            break;
        case Phase::ChunkData:
            step = chunkDataStep(data, size, pos);
            break;
        case Phase::ChunkEnd:
            step = chunkEndStep(data, size, pos);
            break;
        case Phase::Trailer:
            step = trailerStep(data, size, pos);
            break;
        default:
            return complete();
        }
    }
    return step;
}

// chunk = chunk-size [ chunk-ext ] CRLF chunk-data CRLF, with
// chunk-size = 1*HEXDIG and chunk-ext = *( BWS ";" ... ); the size 0 is the
// last chunk, and trailer lines follow it.
Decode ResponseDecoder::chunkSizeStep(const char *data, qsizetype size, qsizetype &pos)
{
    const Line line = takeLine(data, size, pos, mLine);
    if (line == Line::TooLong)
        return fail(DecodeFailure::ChunkLineTooLong);
    if (line == Line::Partial)
        return Decode::NeedMore;

    constexpr qint64 kLastSafe = std::numeric_limits<qint64>::max() / 16;
    qint64 chunk = 0;
    qsizetype i = 0;
    for (; i < mLine.size() && hexValue(mLine[i]) >= 0; ++i) {
        if (chunk > kLastSafe)
            return fail(DecodeFailure::TooLarge); // beyond 64 bits: beyond any room too
        chunk = chunk * 16 + hexValue(mLine[i]);
    }
    if (i == 0)
        return fail(DecodeFailure::BadChunkSize);
    while (i < mLine.size() && (mLine[i] == ' ' || mLine[i] == '\t'))
        ++i;
    if (i < mLine.size() && mLine[i] != ';')
        return fail(DecodeFailure::BadChunkSize);
    if (!withinLimit(chunk))
        return fail(DecodeFailure::TooLarge);
    mLine.clear();
    mRemaining = chunk;
    mPhase = chunk == 0 ? Phase::Trailer : Phase::ChunkData;
    return Decode::NeedMore;
}

Decode ResponseDecoder::chunkDataStep(const char *data, qsizetype size, qsizetype &pos)
{
    const qsizetype take = qsizetype(qMin<qint64>(size - pos, mRemaining));
    appendBody(data + pos, take);
    pos += take;
    return bodyTaken(take);
}

Decode ResponseDecoder::chunkEndStep(const char *data, qsizetype size, qsizetype &pos)
{
    const Line line = takeLine(data, size, pos, mLine);
    if (line == Line::TooLong || (line == Line::Complete && !mLine.isEmpty())
        || (line == Line::Partial && !mLine.isEmpty() && mLine != "\r"))
        return fail(DecodeFailure::ChunkNotTerminated);
    if (line == Line::Partial)
        return Decode::NeedMore;
    mPhase = Phase::ChunkSize;
    return Decode::NeedMore;
}

// trailer-section = *( field-line CRLF ), then the empty line.
Decode ResponseDecoder::trailerStep(const char *data, qsizetype size, qsizetype &pos)
{
    const Line line = takeLine(data, size, pos, mLine);
    if (line == Line::TooLong)
        return fail(DecodeFailure::TrailerTooLarge);
    if (line == Line::Partial)
        return Decode::NeedMore;
    mTrailerBytes += mLine.size();
    if (mTrailerBytes > kMaxTrailer)
        return fail(DecodeFailure::TrailerTooLarge);
    const bool last = mLine.isEmpty();
    mLine.clear();
    return last ? complete() : Decode::NeedMore;
}

} // namespace Http
