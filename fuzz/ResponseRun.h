#pragma once

// Feeds one response to a fresh ResponseDecoder in pieces; sums up the outcome.

#include "downloader/ResponseDecoder.h"
#include "platform/ByteSource.h"

#include <QList>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

struct ResponseOutcome
{
    Http::DecodeFailure failure = Http::DecodeFailure::None; // at the close, or on giving up
    Http::Decode step = Http::Decode::NeedMore;              // after the last piece fed
    int status = -1;
    QByteArray header;
    QByteArray body;

    // Independent of the split: the verdict, and on success status, header, body.
    friend bool operator==(const ResponseOutcome &a, const ResponseOutcome &b)
    {
        if (a.failure != b.failure || a.step != b.step)
            return false;
        if (a.failure != Http::DecodeFailure::None)
            return true;
        return a.status == b.status && a.header == b.header && a.body == b.body;
    }
};

// An arrival as a socket serves it: at most `readSize` bytes a read.
struct ArrivalSource : ByteSource
{
    ArrivalSource(QByteArrayView arrival, qsizetype readSize)
        : rest(arrival),
          readSize(readSize)
    {}
    qint64 read(char *buffer, qint64 maxLen) override
    {
        const qsizetype n = qsizetype(qMin<qint64>(qMin<qint64>(maxLen, readSize), rest.size()));
        std::memcpy(buffer, rest.data(), size_t(n));
        rest = rest.sliced(n);
        return n;
    }
    QByteArrayView rest;
    qsizetype readSize;
};

// Takes an arrival as the downloader takes it from the socket: all of it,
// unless the response ends before.
inline Http::Decode receiveArrival(Http::ResponseDecoder &decoder, QByteArrayView arrival,
                                   qsizetype readSize)
{
    ArrivalSource source(arrival, readSize);
    qint64 taken = 0;
    const Http::Decode step = decoder.receive(source, arrival.size(), taken);
    if (step == Http::Decode::NeedMore && taken != arrival.size())
        std::abort();
    return step;
}

// Feeds the pieces between ascending cuts until the decoder needs no more (that
// end is final); readSize > 0 takes each through receiveArrival, 0 feeds it whole.
inline ResponseOutcome decodeInPieces(const QByteArray &response, const QList<qsizetype> &cuts,
                                      qint64 limit = Http::kResponseLimit, qsizetype readSize = 0)
{
    Http::ResponseDecoder decoder(limit);
    Http::Decode step = Http::Decode::NeedMore;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= cuts.size() && step == Http::Decode::NeedMore; ++i) {
        const qsizetype to = i < cuts.size() ? cuts.at(i) : response.size();
        if (to > from) {
            const QByteArrayView arrival = QByteArrayView(response).sliced(from, to - from);
            step = readSize > 0 ? receiveArrival(decoder, arrival, readSize)
                                : decoder.feed(arrival);
        }
        from = qMax(from, to);
        // Whatever the server sends, the decoder keeps no more than the limit.
        if (decoder.header().size() + decoder.body().size() > qMax<qint64>(limit, 1 << 20))
            std::abort();
    }
    if (step != Http::Decode::NeedMore && decoder.feed("more") != step)
        std::abort();
    return {decoder.finish(), step, decoder.statusCode(), decoder.header(), decoder.body()};
}

// Split target input: n cuts (byte 0, 0 to 15), the limit (byte 1: 0 the
// downloader's, else 16 times it), `extra` bytes, 2n bytes of cuts, the response.
struct SplitInput
{
    qint64 limit = Http::kResponseLimit;
    const uint8_t *extra = nullptr;
    QList<qsizetype> cuts; // ascending positions in response
    QByteArray response;
};

inline bool readSplitInput(const uint8_t *data, size_t size, size_t extra, SplitInput &input)
{
    constexpr int kMaxCuts = 16;
    constexpr qint64 kLimitStep = 16;
    const size_t prefix = 2 + extra;
    const int cutCount = size < prefix ? 0 : data[0] % kMaxCuts;
    if (size < prefix + 2 * size_t(cutCount))
        return false;
    input.limit = data[1] == 0 ? Http::kResponseLimit : data[1] * kLimitStep;
    input.extra = data + 2;
    const uint8_t *cutBytes = data + prefix;
    input.response = QByteArray(reinterpret_cast<const char *>(cutBytes + 2 * cutCount),
                                qsizetype(size - prefix - 2 * size_t(cutCount)));
    for (int i = 0; i < cutCount; ++i)
        input.cuts.append(((cutBytes[2 * i] << 8) | cutBytes[2 * i + 1])
                          % (input.response.size() + 1));
    std::sort(input.cuts.begin(), input.cuts.end());
    return true;
}

// Every position: the response byte by byte.
inline QList<qsizetype> everyByte(qsizetype size)
{
    QList<qsizetype> cuts;
    cuts.reserve(size);
    for (qsizetype i = 1; i < size; ++i)
        cuts.append(i);
    return cuts;
}

inline QByteArray describe(const ResponseOutcome &o)
{
    return "failure " + QByteArray::number(int(o.failure)) + " ("
           + Http::decodeFailureText(o.failure).toUtf8() + "), step "
           + QByteArray::number(int(o.step)) + ", status " + QByteArray::number(o.status) + " body "
           + QByteArray::number(o.body.size()) + " bytes";
}
