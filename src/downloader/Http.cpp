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

// A size line, a trailer line or the CR LF behind a chunk longer than this
// is taken as garbage rather than waited for.
constexpr qsizetype kMaxLine = 64 * 1024;

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
    parts.port = port > 0 ? port : 80;

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

bool ResponseDecoder::withinLimit(qint64 more) const
{
    return qint64(mHeader.size()) + qint64(mBody.size()) + mTrailerBytes + mInterimBytes + more
           <= mLimit;
}

ResponseDecoder::Progress ResponseDecoder::fail(Progress why)
{
    mEnd = why;
    return why;
}

ResponseDecoder::Progress ResponseDecoder::feed(const QByteArray &data)
{
    if (mEnd != Progress::NeedMore)
        return mEnd;
    if (mPhase != Phase::StatusPrefix && mPhase != Phase::Header)
        return feedBody(data.constData(), data.size());

    if (!withinLimit(data.size()))
        return fail(Progress::TooLarge);
    mHeader.append(data);

    // Interim (1xx) responses are skipped in a loop, so that any number of
    // them in one arrival costs no stack.
    for (;;) {
        if (mPhase == Phase::StatusPrefix) {
            static const QByteArrayView prefix("HTTP/");
            const qsizetype k = qMin(mHeader.size(), prefix.size());
            if (std::memcmp(mHeader.constData(), prefix.data(), size_t(k)) != 0) {
                // No status line: keep everything received as the body.
                mStatusOk = false;
                mPhase = Phase::Plain;
                mBody = std::exchange(mHeader, QByteArray());
                return Progress::NeedMore;
            }
            if (k < prefix.size())
                return Progress::NeedMore;
            mPhase = Phase::Header;
        }

        const qsizetype end = findHeaderEnd();
        if (end < 0)
            return Progress::NeedMore;
        QByteArray rest = mHeader.mid(end);
        mHeader.truncate(end);
        const bool interim = parseHeaderBlock();
        if (interim) {
            mInterimBytes += mHeader.size();
            mHeader = std::move(rest);
            mScanFrom = 0;
            mPhase = Phase::StatusPrefix;
            if (mHeader.isEmpty())
                return Progress::NeedMore;
            continue;
        }
        if (mPhase == Phase::Done)
            return fail(Progress::Complete);
        if (mContentLength >= 0 && !withinLimit(mContentLength))
            return fail(Progress::TooLarge);
        if (mContentLength > 0)
            reserveBody(mContentLength);
        return feedBody(rest.constData(), rest.size());
    }
}

qsizetype ResponseDecoder::findHeaderEnd()
{
    const char *d = mHeader.constData();
    for (qsizetype i = mHeader.indexOf('\n', mScanFrom); i >= 0; i = mHeader.indexOf('\n', i + 1)) {
        if (i >= 1 && d[i - 1] == '\n')
            return i + 1;
        if (i >= 2 && d[i - 1] == '\r' && d[i - 2] == '\n')
            return i + 1;
    }
    mScanFrom = mHeader.size();
    return -1;
}

// Reads the status line and the two fields that frame the body. Returns
// true for an interim (1xx) response, which the caller skips.
bool ResponseDecoder::parseHeaderBlock()
{
    QList<QByteArray> lines = mHeader.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }

    const QByteArray &status = lines.constFirst();
    mStatusOk = status.size() >= 12 && status.startsWith("HTTP/") && isDigit(status[5])
                && status[6] == '.' && isDigit(status[7]) && status[8] == ' ' && isDigit(status[9])
                && isDigit(status[10]) && isDigit(status[11])
                && (status.size() == 12 || status[12] == ' ');
    mStatus = mStatusOk ? status.mid(9, 3).toInt() : -1;
    if (mStatus >= 100 && mStatus < 200 && mStatus != 101)
        return true;

    QByteArray transferEncoding;
    QList<QByteArray> lengths;
    QByteArray *last = nullptr;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (line.isEmpty())
            continue;
        if (line.startsWith(' ') || line.startsWith('\t')) { // folded continuation
            if (last)
                *last += ' ' + line.trimmed();
            continue;
        }
        last = nullptr;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "transfer-encoding") {
            if (!transferEncoding.isEmpty())
                transferEncoding += ',';
            transferEncoding += value;
            last = &transferEncoding;
        } else if (name == "content-length") {
            lengths.append(value);
            last = &lengths.last();
        }
    }

    mChunked = false;
    mContentLength = -1;
    if (!transferEncoding.isEmpty()) {
        // Only the last coding frames the body; without chunked the body
        // runs to the close.
        QByteArray coding = transferEncoding.split(',').constLast();
        const qsizetype semicolon = coding.indexOf(';');
        if (semicolon >= 0)
            coding.truncate(semicolon);
        mChunked = coding.trimmed().toLower() == "chunked";
    } else if (!lengths.isEmpty()) {
        qint64 length = -1;
        for (const QByteArray &field : std::as_const(lengths)) {
            for (const QByteArray &piece : field.split(',')) {
                const QByteArray text = piece.trimmed();
                bool numeric = !text.isEmpty() && text.size() <= 18;
                for (const char c : text)
                    numeric = numeric && isDigit(c);
                const qint64 value = numeric ? text.toLongLong() : -1;
                if (!numeric || (length >= 0 && value != length)) {
                    mFramingOk = false;
                    length = -1;
                    break;
                }
                length = value;
            }
            if (!mFramingOk)
                break;
        }
        mContentLength = length;
    }

    if (mStatus == 204 || mStatus == 304) {
        mContentLength = 0;
        mChunked = false;
    }
    if (mChunked) {
        mPhase = Phase::ChunkSize;
    } else {
        mRemaining = mContentLength;
        mPhase = mContentLength == 0 ? Phase::Done : Phase::Plain;
    }
    return false;
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

void ResponseDecoder::appendBody(const char *data, qsizetype size)
{
    const qint64 needed = qint64(mBody.size()) + size;
    if (needed > mBody.capacity() && needed > kSmallBody)
        reserveBody(qMax(needed, qMin(mLimit, qMax<qint64>(kLargeBody, 2 * needed))));
    mBody.append(data, size);
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
        return fail(Progress::Complete);
    if (mChunked)
        return feedChunked(data, size);
    if (mContentLength < 0) {
        if (!withinLimit(size))
            return fail(Progress::TooLarge);
        appendBody(data, size);
        return Progress::NeedMore;
    }
    const qsizetype take = qsizetype(qMin<qint64>(size, mRemaining));
    appendBody(data, take);
    mRemaining -= take;
    if (mRemaining > 0)
        return Progress::NeedMore;
    mPhase = Phase::Done;
    return fail(Progress::Complete);
}

// Appends data up to the next line feed to line and moves pos behind it.
// Returns true when the line is complete (its CR dropped), false when the
// data ran out first.
bool ResponseDecoder::takeLine(const char *data, qsizetype size, qsizetype &pos, QByteArray &line)
{
    const void *hit = std::memchr(data + pos, '\n', size_t(size - pos));
    const qsizetype end = hit ? static_cast<const char *>(hit) - data : size;
    line.append(data + pos, end - pos);
    pos = hit ? end + 1 : size;
    if (!hit)
        return false;
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

ResponseDecoder::Progress ResponseDecoder::feedChunked(const char *data, qsizetype size)
{
    qsizetype pos = 0;
    while (pos < size) {
        switch (mPhase) {
        case Phase::ChunkSize: {
            if (!takeLine(data, size, pos, mLine))
                return mLine.size() > kMaxLine ? fail(Progress::Failed) : Progress::NeedMore;
            qint64 chunk = 0;
            bool tooLarge = false;
            qsizetype i = 0;
            for (; i < mLine.size() && hexValue(mLine[i]) >= 0; ++i) {
                if (chunk > mLimit)
                    tooLarge = true;
                else
                    chunk = chunk * 16 + hexValue(mLine[i]);
            }
            if (i == 0)
                return fail(Progress::Failed);
            while (i < mLine.size() && (mLine[i] == ' ' || mLine[i] == '\t'))
                ++i;
            if (i < mLine.size() && mLine[i] != ';')
                return fail(Progress::Failed);
            if (tooLarge || !withinLimit(chunk))
                return fail(Progress::TooLarge);
            mLine.clear();
            if (chunk == 0) {
                mPhase = Phase::Trailer;
            } else {
                mRemaining = chunk;
                mPhase = Phase::ChunkData;
            }
            break;
        }
        case Phase::ChunkData: {
            const qsizetype take = qsizetype(qMin<qint64>(size - pos, mRemaining));
            appendBody(data + pos, take);
            pos += take;
            mRemaining -= take;
            if (mRemaining == 0)
                mPhase = Phase::ChunkEnd;
            break;
        }
        case Phase::ChunkEnd: {
            const bool complete = takeLine(data, size, pos, mLine);
            if (complete ? !mLine.isEmpty() : (!mLine.isEmpty() && mLine != "\r"))
                return fail(Progress::Failed);
            if (!complete)
                return Progress::NeedMore;
            mLine.clear();
            mPhase = Phase::ChunkSize;
            break;
        }
        case Phase::Trailer: {
            const qsizetype before = mLine.size();
            const bool complete = takeLine(data, size, pos, mLine);
            mTrailerBytes += mLine.size() - before;
            if (!withinLimit(0))
                return fail(Progress::TooLarge);
            if (!complete)
                return mLine.size() > kMaxLine ? fail(Progress::Failed) : Progress::NeedMore;
            const bool last = mLine.isEmpty();
            mLine.clear();
            if (last) {
                mPhase = Phase::Done;
                return fail(Progress::Complete);
            }
            break;
        }
        default:
            return fail(Progress::Complete);
        }
    }
    return Progress::NeedMore;
}

qint16 ResponseDecoder::finish() const
{
    if (mPhase == Phase::StatusPrefix || mPhase == Phase::Header)
        return -9; // nothing, or a header block that never ended
    if (!mStatusOk || mStatus < 200 || mStatus > 299 || !mFramingOk || mEnd == Progress::Failed)
        return -9;
    if (mChunked && mPhase != Phase::Done)
        return -9;
    if (mContentLength >= 0 && mRemaining > 0)
        return -9;
    return 0;
}

QByteArray extractBody(const QByteArray &header, QByteArray body, quint8 dataType, qint16 &error)
{
    switch (dataType) {
    case 0:
        return body;
    case 1: {
        const QByteArray whole = header + body;
        body.clear();
        const qsizetype start = whole.indexOf(QByteArrayView("\xFF\xD8", 2));
        const qsizetype end = whole.lastIndexOf(QByteArrayView("\xFF\xD9", 2));
        if (start >= 0 && end > start)
            return whole.mid(start, end - start + 2);
        if (error == 0)
            error = -6;
        return whole;
    }
    default:
        return QByteArray();
    }
}

} // namespace Http
