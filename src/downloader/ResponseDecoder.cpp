#include "downloader/ResponseDecoder.h"

#include "platform/ByteSource.h"
#include "platform/MemoryAdvice.h"

#include <cstring>

namespace Http {

namespace {

// All header blocks of one response together, interim ones included.
constexpr qint64 kMaxHead = 256 * 1024;
constexpr int kMaxInterim = 32;
constexpr int kSuccessful = 2; // the status class
constexpr qsizetype kNotFound = -1;

// Framing bytes are taken from a source in pieces: a header block at a time,
// or little more than a chunk size line, so that the chunk data behind it is
// again received in place.
constexpr qint64 kHeadPiece = 16 * 1024;
constexpr qint64 kChunkLinePiece = 64;

// Bodies up to kSmallBody grow as usual. Beyond it a body gets one block for
// all it may still need (reserveBody); from kHugePagesFrom on, huge pages.
constexpr qsizetype kSmallBody = 1024 * 1024;
constexpr qsizetype kHugePagesFrom = 4 * 1024 * 1024;

} // namespace

ResponseDecoder::ResponseDecoder(qint64 limit)
    : mLimit(limit)
{}

// One byte beyond kMaxLine may still be the CR of a CR LF.
bool ResponseDecoder::unfinishedLineTooLong(qsizetype length, char lastByte)
{
    return length > kMaxLine + 1 || (length == kMaxLine + 1 && lastByte != '\r');
}

void ResponseDecoder::clear()
{
    *this = ResponseDecoder(mLimit);
}

// What the limit still allows.
qint64 ResponseDecoder::roomLeft() const
{
    return qMax<qint64>(0, mLimit - mHeadBytes - qint64(mHeader.size()) - qint64(mBody.size()));
}

// Every end of decoding goes through fail() or complete(): it is final,
// feed() keeps answering it.
Decode ResponseDecoder::fail(DecodeFailure failure)
{
    mFailure = failure;
    mEnd = Decode::Failed;
    return mEnd;
}

Decode ResponseDecoder::complete()
{
    mPhase = Phase::Done;
    mEnd = Decode::Complete;
    return mEnd;
}

Decode ResponseDecoder::feed(QByteArrayView data)
{
    if (mEnd != Decode::NeedMore)
        return mEnd;
    if (mPhase == Phase::StatusPrefix || mPhase == Phase::Header)
        return feedHead(data);
    return feedBody(data.data(), data.size());
}

Decode ResponseDecoder::receive(ByteSource &source, qint64 available, qint64 &taken)
{
    taken = 0;
    Decode step = Decode::NeedMore;
    while (taken < available && step == Decode::NeedMore) {
        const qint64 left = available - taken;
        const qsizetype room = qsizetype(qMin<qint64>(bodyRoom(), left));
        const qint64 got
                = room > 0 ? receiveBody(source, room, step) : receiveFraming(source, left, step);
        if (got == 0)
            break;
        taken += got;
    }
    return step;
}

qint64 ResponseDecoder::receiveBody(ByteSource &source, qsizetype room, Decode &step)
{
    growBody(room);
    const qsizetype from = mBody.size();
    mBody.resize(from + room);
    const qint64 got = source.read(mBody.data() + from, room);
    mBody.resize(from + qsizetype(got));
    step = bodyTaken(qsizetype(got));
    return got;
}

qint64 ResponseDecoder::receiveFraming(ByteSource &source, qint64 left, Decode &step)
{
    char piece[kHeadPiece];
    const qint64 size = mFraming == Framing::Chunked ? kChunkLinePiece : kHeadPiece;
    const qint64 got = source.read(piece, qMin(left, size));
    if (got > 0)
        step = feed(QByteArrayView(piece, qsizetype(got)));
    return got;
}

// How many of the next bytes are body bytes as they stand.
qsizetype ResponseDecoder::bodyRoom() const
{
    if (mEnd != Decode::NeedMore)
        return 0;
    if (mPhase == Phase::ChunkData || (mPhase == Phase::Plain && mContentLength >= 0))
        return qsizetype(mRemaining);
    if (mPhase == Phase::Plain)
        return qsizetype(roomLeft());
    return 0;
}

// The head phases work in place on mHeader, from the offset `from` where the
// current header block begins: skipped interim blocks only move `from`, and
// the buffer is cut once per arrival, so a flood of them costs time linear
// in the bytes received.
Decode ResponseDecoder::feedHead(QByteArrayView data)
{
    static const QByteArrayView prefix("HTTP/");
    mHeader.append(data);
    qsizetype from = 0;
    for (;;) {
        if (mPhase == Phase::StatusPrefix) {
            const qsizetype k = qMin(mHeader.size() - from, prefix.size());
            if (std::memcmp(mHeader.constData() + from, prefix.data(), size_t(k)) != 0) {
                // No status line: everything from here on is the body.
                const QByteArray rest = mHeader.mid(from);
                mHeader.clear();
                mPhase = Phase::Plain;
                mFraming = Framing::Plain;
                return feedBody(rest.constData(), rest.size());
            }
            if (k < prefix.size())
                break;
            mPhase = Phase::Header;
            mScanFrom = mLineStart = from;
        }
        const qsizetype end = findHeadEnd(from);
        if (mFailure != DecodeFailure::None)
            return fail(mFailure);
        if (end == kNotFound)
            break;
        const Decode step = headRead(from, end);
        if (step != Decode::NeedMore || mPhase != Phase::StatusPrefix)
            return step;
        from = end; // an interim block: the next one begins behind it
    }
    mHeader.remove(0, from);
    mScanFrom -= from;
    mLineStart -= from;
    return Decode::NeedMore;
}

// The offset behind the empty line that ends the header block beginning at
// `from`, or kNotFound while it has not arrived. Each limit is checked at
// the line end that passes it, and an unfinished line as soon as it is too
// long, so that the verdict never depends on where the bytes were split.
qsizetype ResponseDecoder::findHeadEnd(qsizetype from)
{
    const char *d = mHeader.constData();
    const qsizetype size = mHeader.size();
    while (const void *hit = std::memchr(d + mScanFrom, '\n', size_t(size - mScanFrom))) {
        const qsizetype lf = static_cast<const char *>(hit) - d;
        const qsizetype length = lf - mLineStart - (lf > mLineStart && d[lf - 1] == '\r' ? 1 : 0);
        mScanFrom = mLineStart = lf + 1;
        if (length > kMaxLine) {
            mFailure = DecodeFailure::HeaderLineTooLong;
            return kNotFound;
        }
        if (mHeadBytes + (mScanFrom - from) > kMaxHead) {
            mFailure = DecodeFailure::HeadTooLarge;
            return kNotFound;
        }
        if (length == 0)
            return mScanFrom;
    }
    mScanFrom = size;
    if (size > mLineStart && unfinishedLineTooLong(size - mLineStart, d[size - 1]))
        mFailure = DecodeFailure::HeaderLineTooLong;
    return kNotFound;
}

// A whole header block [from, end) has arrived: an interim one is skipped,
// the final one decides the framing and the body begins behind it.
Decode ResponseDecoder::headRead(qsizetype from, qsizetype end)
{
    const QList<QByteArrayView> lines
            = splitLines(QByteArrayView(mHeader).sliced(from, end - from));
    const StatusLine status = parseStatusLine(lines.constFirst());
    mStatusOk = status.ok;
    mStatus = status.code;
    if (isInterim(mStatus)) {
        mHeadBytes += end - from;
        mPhase = Phase::StatusPrefix;
        if (++mInterimCount > kMaxInterim) {
            mHeader.clear();
            return fail(DecodeFailure::TooManyInterim);
        }
        return Decode::NeedMore;
    }

    readFraming(lines.sliced(1)); // before the lines' bytes move
    const QByteArray rest = mHeader.mid(end);
    mHeader.truncate(end);
    mHeader.remove(0, from);
    if (mFailure != DecodeFailure::None)
        return fail(mFailure);
    if (mPhase == Phase::Done)
        return complete();
    if (mContentLength >= 0 && !withinLimit(mContentLength))
        return fail(DecodeFailure::TooLarge);
    if (mContentLength > 0)
        reserveBody(mContentLength + mHeader.size());
    return feedBody(rest.constData(), rest.size());
}

// Sets the framing of the final header block and the phase that follows it.
void ResponseDecoder::readFraming(const QList<QByteArrayView> &fieldLines)
{
    const BodyFraming body = decideFraming(mStatus, collectFraming(fieldLines));
    mFailure = body.failure;
    mFraming = body.framing;
    mContentLength = body.contentLength;
    mRemaining = mContentLength;
    if (mFraming == Framing::Chunked)
        mPhase = Phase::ChunkSize;
    else
        mPhase = mContentLength == 0 ? Phase::Done : Phase::Plain;
}

// A body block of its own, with room for the header behind the body:
// cutContent may put the header in front of it and must never have to grow
// it. A block advised for huge pages is never grown again (MemoryAdvice.h).
void ResponseDecoder::reserveBody(qint64 size)
{
    mBody.reserve(qsizetype(size));
    if (size >= kHugePagesFrom)
        MemoryAdvice::preferHugePages(mBody.data(), mBody.capacity());
}

// A Content-Length body has its block from the header on. Any other body
// grows as usual up to kSmallBody and then gets all the room the limit
// allows, header and body together, in one block: only the pages written
// to cost memory, and no copy is ever made.
void ResponseDecoder::growBody(qsizetype more)
{
    const qint64 needed = qint64(mBody.size()) + more;
    if (needed > mBody.capacity() && needed > kSmallBody)
        reserveBody(qMax(needed, mLimit));
}

void ResponseDecoder::appendBody(const char *data, qsizetype size)
{
    growBody(size);
    mBody.append(data, size);
}

// Accounts for size body bytes just added: the end of a chunk's data, or
// of a Content-Length body.
Decode ResponseDecoder::bodyTaken(qsizetype size)
{
    if (mPhase == Phase::Plain && mContentLength < 0)
        return Decode::NeedMore;
    mRemaining -= size;
    if (mRemaining > 0)
        return Decode::NeedMore;
    if (mPhase == Phase::ChunkData) {
        mPhase = Phase::ChunkEnd;
        return Decode::NeedMore;
    }
    return complete();
}

Decode ResponseDecoder::feedBody(const char *data, qsizetype size)
{
    if (mPhase == Phase::Done)
        return complete();
    if (mFraming == Framing::Chunked)
        return feedChunked(data, size);
    if (mContentLength < 0) {
        if (!withinLimit(size))
            return fail(DecodeFailure::TooLarge);
        appendBody(data, size);
        return Decode::NeedMore;
    }
    const qsizetype take = qsizetype(qMin<qint64>(size, mRemaining));
    appendBody(data, take);
    return bodyTaken(take);
}

DecodeFailure ResponseDecoder::finish() const
{
    if (mFailure != DecodeFailure::None)
        return mFailure;
    if (mPhase == Phase::StatusPrefix || mPhase == Phase::Header)
        return DecodeFailure::HeadUnfinished; // nothing, or a header block that never ended
    if (!mStatusOk)
        return DecodeFailure::BadStatusLine;
    if (mStatus / 100 != kSuccessful)
        return DecodeFailure::StatusNotSuccess;
    if ((mFraming == Framing::Chunked && mPhase != Phase::Done)
        || (mContentLength >= 0 && mRemaining > 0))
        return DecodeFailure::BodyCutShort;
    return DecodeFailure::None;
}

} // namespace Http
