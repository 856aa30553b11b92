#include "downloader/ResponseHead.h"

#include "base/Utils.h"

namespace Http {

namespace {

using Utils::isAsciiDigit;

// "HTTP/d.d ddd"
constexpr qsizetype kStatusLineMin = 12;
constexpr int kInformational = 1;
constexpr int kSwitchingProtocols = 101;
constexpr int kNoContent = 204;
constexpr int kNotModified = 304;
// Content-Length values with more digits could overflow 64 bits.
constexpr qsizetype kMaxLengthDigits = 18;

// The one Content-Length all the fields agree on; -1 for none.
BodyFraming lengthFraming(const QList<QByteArray> &fields)
{
    BodyFraming result;
    for (const QByteArray &field : fields) {
        for (const QByteArray &piece : field.split(',')) {
            const QByteArray text = piece.trimmed();
            bool numeric = !text.isEmpty() && text.size() <= kMaxLengthDigits;
            for (const char c : text)
                numeric = numeric && isAsciiDigit(c);
            if (!numeric
                || (result.contentLength >= 0 && text.toLongLong() != result.contentLength)) {
                result.failure = DecodeFailure::BadContentLength;
                return result;
            }
            result.contentLength = text.toLongLong();
        }
    }
    return result;
}

} // namespace

StatusLine parseStatusLine(QByteArrayView line)
{
    const bool ok = line.size() >= kStatusLineMin && line.startsWith("HTTP/")
                    && isAsciiDigit(line[5]) && line[6] == '.' && isAsciiDigit(line[7])
                    && line[8] == ' ' && isAsciiDigit(line[9]) && isAsciiDigit(line[10])
                    && isAsciiDigit(line[11])
                    && (line.size() == kStatusLineMin || line[kStatusLineMin] == ' ');
    return {ok, ok ? line.sliced(9, 3).toInt() : -1};
}

bool isInterim(int status)
{
    return status / 100 == kInformational && status != kSwitchingProtocols;
}

QList<QByteArrayView> splitLines(QByteArrayView head)
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
    return lines;
}

FramingFields collectFraming(const QList<QByteArrayView> &lines)
{
    FramingFields fields;
    QByteArray *last = nullptr; // the value a folded line continues
    for (const QByteArrayView line : lines) {
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
            if (fields.hasTransferEncoding)
                fields.transferEncoding += ',';
            fields.transferEncoding += value;
            fields.hasTransferEncoding = true;
            last = &fields.transferEncoding;
        } else if (name == "content-length") {
            fields.contentLengths.append(value);
            last = &fields.contentLengths.last();
        }
    }
    return fields;
}

BodyFraming decideFraming(int status, const FramingFields &fields)
{
    if (status == kNoContent || status == kNotModified)
        return {DecodeFailure::None, Framing::Plain, 0}; // whatever the fields say
    if (!fields.hasTransferEncoding)
        return lengthFraming(fields.contentLengths);
    QByteArray coding = fields.transferEncoding;
    const qsizetype parameters = coding.indexOf(';');
    if (parameters >= 0)
        coding.truncate(parameters);
    if (coding.trimmed().toLower() != "chunked")
        return {DecodeFailure::UnsupportedCoding, Framing::Plain, -1};
    return {DecodeFailure::None, Framing::Chunked, -1};
}

} // namespace Http
