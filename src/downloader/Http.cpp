#include "downloader/Http.h"

#include "base/Ansi.h"

#include <QByteArrayView>
#include <QList>

#include <cmath>
#include <cstring>
#include <limits>

#include <sys/mman.h>

namespace Http {

namespace {

// Any line longer than this (a header line, a chunk size line with its
// extension, a trailer line) is taken as garbage rather than waited for.
constexpr qsizetype kMaxLine = 64 * 1024;
// All header blocks of one response together, interim ones included.
constexpr qsizetype kMaxHead = 256 * 1024;
constexpr qsizetype kHeadTooLarge = -2; // findHeadEnd's verdict
constexpr int kMaxInterim = 32;
constexpr qint64 kMaxTrailer = 64 * 1024;
// Content-Length values with more digits could overflow 64 bits.
constexpr qsizetype kMaxLengthDigits = 18;

// "HTTP/d.d ddd", and the status codes and classes that decide the framing.
constexpr qsizetype kStatusLineMin = 12;
constexpr int kInformational = 1;
constexpr int kSuccessful = 2;
constexpr int kSwitchingProtocols = 101;
constexpr int kNoContent = 204;
constexpr int kNotModified = 304;

// Bodies up to kSmallBody grow as usual; beyond it the body reserves at
// least kLargeBody at once, more than glibc ever serves from its heap, so the
// block is a mapping of its own. Only the pages written to cost memory.
constexpr qsizetype kSmallBody = 1024 * 1024;
constexpr qsizetype kLargeBody = 64 * 1024 * 1024;
constexpr qsizetype kHugePagesFrom = 4 * 1024 * 1024;
constexpr quintptr kHugePage = 2 * 1024 * 1024;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

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
    while (i < n && isDigit(digits[i]))
        ++i, ++mantissa;
    if (i < n && digits[i] == '.') {
        ++i;
        while (i < n && isDigit(digits[i]))
            ++i, ++mantissa;
    }
    if (mantissa == 0)
        return 0;
    if (i < n && (digits[i] == 'e' || digits[i] == 'E' || digits[i] == 'd' || digits[i] == 'D')) {
        qsizetype j = i + 1;
        if (j < n && (digits[j] == '+' || digits[j] == '-'))
            ++j;
        if (j < n && isDigit(digits[j])) {
            digits[i] = 'e';
            while (j < n && isDigit(digits[j]))
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

ResponseDecoder::ResponseDecoder(qint64 limit)
    : mLimit(limit)
{}

void ResponseDecoder::clear()
{
    *this = ResponseDecoder(mLimit);
}

qint16 ResponseDecoder::chunkState() const
{
    if (mPhase == Phase::StatusPrefix || mPhase == Phase::Header)
        return 0;
    return mChunked ? 1 : -1;
}

// What the limit still allows. Every size a server announces is compared
// with this room, never added to what has arrived: a chunk size near 2^63
// would overflow the sum and lift the limit.
qint64 ResponseDecoder::roomLeft() const
{
    return qMax<qint64>(0, mLimit - mHeadBytes - qint64(mHeader.size()) - qint64(mBody.size()));
}

bool ResponseDecoder::withinLimit(qint64 more) const
{
    return more <= roomLeft();
}

// Every end of decoding goes through here: it is final, feed() keeps
// answering it.
ResponseDecoder::Progress ResponseDecoder::recordEnd(Progress outcome)
{
    mEnd = outcome;
    return outcome;
}

ResponseDecoder::Progress ResponseDecoder::feed(const QByteArray &data)
{
    if (mEnd != Progress::NeedMore)
        return mEnd;
    if (mPhase == Phase::StatusPrefix || mPhase == Phase::Header)
        return feedHead(data);
    return feedBody(data.constData(), data.size());
}

// The head phases work in place on mHeader, from the offset `from` where the
// current header block begins: skipped interim blocks only move `from`, and
// the buffer is cut once per arrival, so a flood of them costs time linear
// in the bytes received.
ResponseDecoder::Progress ResponseDecoder::feedHead(const QByteArray &data)
{
    mHeader.append(data);
    qsizetype from = 0;
    for (;;) {
        if (mPhase == Phase::StatusPrefix) {
            static const QByteArrayView prefix("HTTP/");
            const qsizetype k = qMin(mHeader.size() - from, prefix.size());
            if (std::memcmp(mHeader.constData() + from, prefix.data(), size_t(k)) != 0) {
                // No status line: keep everything from here on as the body.
                const QByteArray rest = mHeader.mid(from);
                mHeader.clear();
                mPhase = Phase::Plain;
                return feedBody(rest.constData(), rest.size());
            }
            if (k < prefix.size())
                break;
            mPhase = Phase::Header;
            mScanFrom = mLineStart = from;
        }

        const qsizetype end = findHeadEnd(from);
        if (end == kHeadTooLarge) {
            mHeader.clear();
            return recordEnd(Progress::Failed);
        }
        if (end < 0)
            break;

        const Head head = parseHead(QByteArrayView(mHeader).sliced(from, end - from));
        if (head == Head::Interim) {
            mHeadBytes += end - from;
            from = end;
            mPhase = Phase::StatusPrefix;
            if (++mInterimCount > kMaxInterim) {
                mHeader.clear();
                return recordEnd(Progress::Failed);
            }
            continue;
        }
        const QByteArray rest = mHeader.mid(end);
        mHeader.truncate(end);
        mHeader.remove(0, from);
        if (head == Head::BadFraming)
            return recordEnd(Progress::Failed);
        if (mPhase == Phase::Done)
            return recordEnd(Progress::Complete);
        if (mContentLength >= 0 && !withinLimit(mContentLength))
            return recordEnd(Progress::TooLarge);
        if (mContentLength > 0)
            reserveBody(mContentLength);
        return feedBody(rest.constData(), rest.size());
    }
    mHeader.remove(0, from);
    mScanFrom -= from;
    mLineStart -= from;
    return Progress::NeedMore;
}

// The offset behind the empty line that ends the header block beginning at
// `from`; -1 while it has not arrived, kHeadTooLarge when a line or the
// header blocks together exceed their limit (complete or not, so that the
// verdict does not depend on where the bytes were split).
qsizetype ResponseDecoder::findHeadEnd(qsizetype from)
{
    const char *d = mHeader.constData();
    const qsizetype size = mHeader.size();
    while (const void *hit = std::memchr(d + mScanFrom, '\n', size_t(size - mScanFrom))) {
        const qsizetype lf = static_cast<const char *>(hit) - d;
        const qsizetype length = lf - mLineStart;
        if (length > kMaxLine)
            return kHeadTooLarge;
        const bool empty = length == 0 || (length == 1 && d[mLineStart] == '\r');
        mScanFrom = mLineStart = lf + 1;
        if (empty)
            return mHeadBytes + (mScanFrom - from) > kMaxHead ? kHeadTooLarge : mScanFrom;
    }
    mScanFrom = size;
    if (size - mLineStart > kMaxLine || mHeadBytes + (size - from) > kMaxHead)
        return kHeadTooLarge;
    return -1;
}

// Reads the status line and the fields that frame the body, and sets the
// phase that follows the header block.
ResponseDecoder::Head ResponseDecoder::parseHead(QByteArrayView head)
{
    QList<QByteArrayView> lines;
    for (qsizetype pos = 0; pos < head.size();) {
        qsizetype lf = head.indexOf('\n', pos);
        if (lf < 0)
            lf = head.size();
        QByteArrayView line = head.sliced(pos, lf - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        pos = lf + 1;
    }

    const QByteArrayView status = lines.constFirst();
    mStatusOk = status.size() >= kStatusLineMin && status.startsWith("HTTP/") && isDigit(status[5])
                && status[6] == '.' && isDigit(status[7]) && status[8] == ' ' && isDigit(status[9])
                && isDigit(status[10]) && isDigit(status[11])
                && (status.size() == kStatusLineMin || status[kStatusLineMin] == ' ');
    mStatus = mStatusOk ? status.sliced(9, 3).toInt() : -1;
    if (mStatus / 100 == kInformational && mStatus != kSwitchingProtocols)
        return Head::Interim;

    // Field values, folded continuation lines joined with a blank.
    QByteArray transferEncoding;
    bool hasTransferEncoding = false;
    QList<QByteArray> lengths;
    QByteArray *last = nullptr;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines.at(i);
        if (line.isEmpty())
            continue;
        if (line.startsWith(' ') || line.startsWith('\t')) {
            if (last)
                *last += ' ' + line.trimmed().toByteArray();
            continue;
        }
        last = nullptr;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.first(colon).trimmed().toByteArray().toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed().toByteArray();
        if (name == "transfer-encoding") {
            if (hasTransferEncoding)
                transferEncoding += ',';
            transferEncoding += value;
            hasTransferEncoding = true;
            last = &transferEncoding;
        } else if (name == "content-length") {
            lengths.append(value);
            last = &lengths.last();
        }
    }

    mChunked = false;
    mContentLength = -1;
    if (mStatus == kNoContent || mStatus == kNotModified) {
        mContentLength = 0; // never a body, whatever the fields say
    } else if (hasTransferEncoding) {
        // The request offers no coding, and chunked is the only one decoded
        // here: anything else would hand on bytes that are not the content.
        QByteArray coding = transferEncoding;
        const qsizetype semicolon = coding.indexOf(';');
        if (semicolon >= 0)
            coding.truncate(semicolon);
        if (coding.trimmed().toLower() != "chunked")
            return Head::BadFraming;
        mChunked = true;
    } else {
        for (const QByteArray &field : std::as_const(lengths)) {
            for (const QByteArray &piece : field.split(',')) {
                const QByteArray text = piece.trimmed();
                bool numeric = !text.isEmpty() && text.size() <= kMaxLengthDigits;
                for (const char c : text)
                    numeric = numeric && isDigit(c);
                if (!numeric || (mContentLength >= 0 && text.toLongLong() != mContentLength))
                    return Head::BadFraming;
                mContentLength = text.toLongLong();
            }
        }
    }

    if (mChunked) {
        mPhase = Phase::ChunkSize;
    } else {
        mRemaining = mContentLength;
        mPhase = mContentLength == 0 ? Phase::Done : Phase::Plain;
    }
    return Head::Final;
}

// A large body lives in one mapping, which later growth extends in place
// (mremap) instead of copying. Huge pages, where the system grants them on
// request, spare most of the page faults of filling it.
void ResponseDecoder::reserveBody(qint64 size)
{
    mBody.reserve(qsizetype(size));
    if (size < kHugePagesFrom)
        return;
    const auto begin = reinterpret_cast<quintptr>(mBody.data());
    const quintptr first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const quintptr last = (begin + quintptr(mBody.capacity())) & ~(kHugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

// The body never outgrows the limit (every caller checks the room first),
// so doubling up to the limit keeps the copies linear in the body.
void ResponseDecoder::growBody(qsizetype more)
{
    const qint64 needed = qint64(mBody.size()) + more;
    if (needed > mBody.capacity() && needed > kSmallBody)
        reserveBody(
                qMax(needed, qMin(mLimit, qMax<qint64>(kLargeBody, 2 * qint64(mBody.capacity())))));
}

void ResponseDecoder::appendBody(const char *data, qsizetype size)
{
    growBody(size);
    mBody.append(data, size);
}

qsizetype ResponseDecoder::directRoom() const
{
    if (mEnd != Progress::NeedMore)
        return 0;
    if (mPhase == Phase::ChunkData || (mPhase == Phase::Plain && mContentLength >= 0))
        return qsizetype(mRemaining);
    if (mPhase == Phase::Plain)
        return qsizetype(roomLeft());
    return 0;
}

char *ResponseDecoder::beginDirect(qsizetype n)
{
    growBody(n);
    mDirectFrom = mBody.size();
    mBody.resize(mDirectFrom + n);
    return mBody.data() + mDirectFrom;
}

ResponseDecoder::Progress ResponseDecoder::endDirect(qsizetype received)
{
    mBody.resize(mDirectFrom + received);
    return bodyTaken(received);
}

// Accounts for size body bytes just added: the end of a chunk's data, or
// of a Content-Length body.
ResponseDecoder::Progress ResponseDecoder::bodyTaken(qsizetype size)
{
    if (mPhase == Phase::Plain && mContentLength < 0)
        return Progress::NeedMore;
    mRemaining -= size;
    if (mRemaining > 0)
        return Progress::NeedMore;
    if (mPhase == Phase::ChunkData) {
        mPhase = Phase::ChunkEnd;
        return Progress::NeedMore;
    }
    mPhase = Phase::Done;
    return recordEnd(Progress::Complete);
}

QByteArray ResponseDecoder::takeBody()
{
    if (mBody.capacity() - mBody.size() > kSmallBody)
        mBody.squeeze();
    return std::exchange(mBody, QByteArray());
}

ResponseDecoder::Progress ResponseDecoder::feedBody(const char *data, qsizetype size)
{
    if (mPhase == Phase::Done)
        return recordEnd(Progress::Complete);
    if (mChunked)
        return feedChunked(data, size);
    if (mContentLength < 0) {
        if (!withinLimit(size))
            return recordEnd(Progress::TooLarge);
        appendBody(data, size);
        return Progress::NeedMore;
    }
    const qsizetype take = qsizetype(qMin<qint64>(size, mRemaining));
    appendBody(data, take);
    return bodyTaken(take);
}

// Appends data up to the next line feed to line and moves pos behind it,
// the CR of a complete line dropped. A line over kMaxLine is TooLong whether
// its end has arrived or not; nothing of it beyond the limit is kept.
ResponseDecoder::Line ResponseDecoder::takeLine(const char *data, qsizetype size, qsizetype &pos,
                                                QByteArray &line)
{
    const void *hit = std::memchr(data + pos, '\n', size_t(size - pos));
    const qsizetype end = hit ? static_cast<const char *>(hit) - data : size;
    if (line.size() + (end - pos) > kMaxLine)
        return Line::TooLong;
    line.append(data + pos, end - pos);
    pos = hit ? end + 1 : size;
    if (!hit)
        return Line::Partial;
    if (line.endsWith('\r'))
        line.chop(1);
    return Line::Complete;
}

// chunk-size = 1*HEXDIG, then blanks, then ";" and an extension or nothing.
ResponseDecoder::Progress ResponseDecoder::takeChunkSize()
{
    constexpr qint64 kLastSafe = std::numeric_limits<qint64>::max() / 16;
    qint64 chunk = 0;
    qsizetype i = 0;
    for (; i < mLine.size() && hexValue(mLine[i]) >= 0; ++i) {
        if (chunk > kLastSafe)
            return recordEnd(Progress::TooLarge); // beyond 64 bits: beyond any room too
        chunk = chunk * 16 + hexValue(mLine[i]);
    }
    if (i == 0)
        return recordEnd(Progress::Failed);
    while (i < mLine.size() && (mLine[i] == ' ' || mLine[i] == '\t'))
        ++i;
    if (i < mLine.size() && mLine[i] != ';')
        return recordEnd(Progress::Failed);
    if (!withinLimit(chunk))
        return recordEnd(Progress::TooLarge);
    mLine.clear();
    mRemaining = chunk;
    mPhase = chunk == 0 ? Phase::Trailer : Phase::ChunkData;
    return Progress::NeedMore;
}

ResponseDecoder::Progress ResponseDecoder::feedChunked(const char *data, qsizetype size)
{
    qsizetype pos = 0;
    while (pos < size) {
        switch (mPhase) {
        case Phase::ChunkSize: {
            const Line line = takeLine(data, size, pos, mLine);
            if (line == Line::TooLong)
                return recordEnd(Progress::Failed);
            if (line == Line::Partial)
                return Progress::NeedMore;
            if (takeChunkSize() != Progress::NeedMore)
                return mEnd;
            break;
        }
        case Phase::ChunkData: {
            const qsizetype take = qsizetype(qMin<qint64>(size - pos, mRemaining));
            appendBody(data + pos, take);
            pos += take;
            bodyTaken(take);
            break;
        }
        case Phase::ChunkEnd: {
            const Line line = takeLine(data, size, pos, mLine);
            if (line == Line::TooLong || (line == Line::Complete && !mLine.isEmpty())
                || (line == Line::Partial && !mLine.isEmpty() && mLine != "\r"))
                return recordEnd(Progress::Failed);
            if (line == Line::Partial)
                return Progress::NeedMore;
            mPhase = Phase::ChunkSize;
            break;
        }
        case Phase::Trailer: {
            const qsizetype before = pos;
            const Line line = takeLine(data, size, pos, mLine);
            mTrailerBytes += pos - before;
            if (line == Line::TooLong || mTrailerBytes > kMaxTrailer)
                return recordEnd(Progress::Failed);
            if (line == Line::Partial)
                return Progress::NeedMore;
            const bool last = mLine.isEmpty();
            mLine.clear();
            if (last) {
                mPhase = Phase::Done;
                return recordEnd(Progress::Complete);
            }
            break;
        }
        default:
            return recordEnd(Progress::Complete);
        }
    }
    return Progress::NeedMore;
}

qint16 ResponseDecoder::finish() const
{
    using namespace DownloadResult;
    if (mPhase == Phase::StatusPrefix || mPhase == Phase::Header)
        return BadResponse; // nothing, or a header block that never ended
    if (!mStatusOk || mStatus / 100 != kSuccessful || mEnd == Progress::Failed)
        return BadResponse;
    if (mChunked && mPhase != Phase::Done)
        return BadResponse;
    if (mContentLength >= 0 && mRemaining > 0)
        return BadResponse;
    return Success;
}

namespace {

// The first position of a two-byte marker in a + b, as if they were joined.
qsizetype indexAcross(const QByteArray &a, const QByteArray &b, QByteArrayView marker)
{
    qsizetype at = a.indexOf(marker);
    if (at >= 0)
        return at;
    if (a.endsWith(marker[0]) && b.startsWith(marker[1]))
        return a.size() - 1;
    at = b.indexOf(marker);
    return at >= 0 ? a.size() + at : -1;
}

// The last position of a two-byte marker in a + b, as if they were joined.
qsizetype lastIndexAcross(const QByteArray &a, const QByteArray &b, QByteArrayView marker)
{
    const qsizetype at = b.lastIndexOf(marker);
    if (at >= 0)
        return a.size() + at;
    if (a.endsWith(marker[0]) && b.startsWith(marker[1]))
        return a.size() - 1;
    return a.lastIndexOf(marker);
}

// header + body in body's own block: grown in place where the allocator
// can, the body moved up, the header copied in front.
QByteArray prependInPlace(const QByteArray &header, QByteArray body)
{
    const qsizetype bodySize = body.size();
    body.resize(header.size() + bodySize);
    char *d = body.data();
    std::memmove(d + header.size(), d, size_t(bodySize));
    std::memcpy(d, header.constData(), size_t(header.size()));
    return body;
}

} // namespace

QByteArray extractBody(const QByteArray &header, QByteArray body, quint8 dataType, qint16 &error)
{
    switch (dataType) {
    case HttpBody:
        return body;
    case JpegImage: {
        static const QByteArrayView start("\xFF\xD8", 2);
        static const QByteArrayView end("\xFF\xD9", 2);
        const qsizetype first = indexAcross(header, body, start);
        const qsizetype last = lastIndexAcross(header, body, end);
        if (first >= 0 && last > first) {
            const qsizetype h = header.size();
            if (first < h) { // the image begins in the header: rare, and small to copy
                QByteArray image = header.mid(first, last + 2 - first);
                if (last + 2 > h)
                    image += body.first(last + 2 - h);
                return image;
            }
            body.truncate(last + 2 - h);
            body.remove(0, first - h);
            return body;
        }
        if (error == DownloadResult::Success)
            error = DownloadResult::ImageMarkersMissing;
        return prependInPlace(header, std::move(body));
    }
    default:
        return QByteArray();
    }
}

} // namespace Http
