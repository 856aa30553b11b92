// Valid responses built from the fuzzer's choices (to the close, Content-Length,
// or chunked with extensions, zeros and trailers; interim responses and fields
// before) decode to exactly their body, however split.

#include "FuzzCheck.h"
#include "ResponseRun.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

enum class Framing { ToClose, ContentLength, Chunked, kMaxValue = Chunked };

constexpr size_t kMaxBody = 4096;
constexpr int kMaxInterim = 3;
constexpr int kMaxFields = 4;
constexpr int kMaxCuts = 8;

const char *const kStatusLines[]
        = {"HTTP/1.1 200 OK", "HTTP/1.1 206 Partial Content", "HTTP/1.1 299 "};
const char *const kInterimLines[]
        = {"HTTP/1.1 100 Continue", "HTTP/1.1 103 Early Hints", "HTTP/1.1 100 "};
// "\n" stands for the response's line end.
const char *const kFields[] = {"Server: test", "Connection: close", "X-Folded: one\n two",
                               "Date: Sun, 06 Dec 2026 12:00:00 GMT"};
const char *const kExtensions[] = {"", ";a=b", "; name=\"quoted;value\"", " ;y=1"};
const char *const kTrailers[] = {"Expires: never", "X-Checksum: 0"};

template<size_t N>
QByteArray pick(FuzzedDataProvider &fdp, const char *const (&items)[N])
{
    return items[fdp.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

QByteArray chunkedBody(FuzzedDataProvider &fdp, const QByteArray &body, const QByteArray &eol)
{
    QByteArray out;
    for (qsizetype pos = 0; pos < body.size();) {
        const qsizetype n = fdp.ConsumeIntegralInRange<qsizetype>(1, body.size() - pos);
        const int zeros = fdp.ConsumeIntegralInRange(0, 3);
        QByteArray size = QByteArray(zeros, '0') + QByteArray::number(n, 16);
        if (fdp.ConsumeBool())
            size = size.toUpper();
        out += size + pick(fdp, kExtensions) + eol + body.mid(pos, n) + eol;
        pos += n;
    }
    out += "0" + pick(fdp, kExtensions) + eol;
    for (int i = fdp.ConsumeIntegralInRange(0, 2); i > 0; --i)
        out += pick(fdp, kTrailers) + eol;
    return out + eol;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const QByteArray eol = fdp.ConsumeBool() ? "\r\n" : "\n";
    const auto framing = fdp.ConsumeEnum<Framing>();

    QByteArray response;
    for (int i = fdp.ConsumeIntegralInRange(0, kMaxInterim); i > 0; --i)
        response += pick(fdp, kInterimLines) + eol + eol;
    response += pick(fdp, kStatusLines) + eol;
    const int fields = fdp.ConsumeIntegralInRange(0, kMaxFields);
    for (int i = 0; i < fields; ++i)
        response += pick(fdp, kFields).replace("\n", eol) + eol;
    const bool trailingBytes = framing != Framing::ToClose && fdp.ConsumeBool();
    QList<qsizetype> cuts;
    for (int i = fdp.ConsumeIntegralInRange(0, kMaxCuts); i > 0; --i)
        cuts.append(fdp.ConsumeIntegral<quint16>());

    const std::string bodyBytes
            = fdp.ConsumeBytesAsString(fdp.ConsumeIntegralInRange<size_t>(0, kMaxBody));
    const QByteArray body(bodyBytes.data(), qsizetype(bodyBytes.size()));
    switch (framing) {
    case Framing::ToClose:
        response += eol + body;
        break;
    case Framing::ContentLength:
        response += "Content-Length: " + QByteArray::number(body.size()) + eol + eol + body;
        break;
    case Framing::Chunked:
        response += "Transfer-Encoding: chunked" + eol + eol + chunkedBody(fdp, body, eol);
        break;
    }
    // Bytes behind a framed body are no part of it.
    if (trailingBytes)
        response += "HTTP/1.1 200 OK\r\n\r\nnot this";

    for (qsizetype &cut : cuts)
        cut %= response.size() + 1;
    std::sort(cuts.begin(), cuts.end());
    for (const QList<qsizetype> &split : {QList<qsizetype>(), cuts, everyByte(response.size())}) {
        const ResponseOutcome outcome = decodeInPieces(response, split);
        FUZZ_CHECK(outcome.failure == Http::DecodeFailure::None && outcome.body == body,
                   describe(outcome) + ", expected " + QByteArray::number(body.size())
                           + " bytes and no failure\n" + shown(response));
    }
    return 0;
}
