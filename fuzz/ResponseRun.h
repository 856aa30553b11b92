#pragma once

// Feeds one response to a fresh ResponseDecoder in pieces and sums up what
// the downloader would act on.

#include "downloader/ResponseDecoder.h"
#include "platform/ByteSource.h"

#include <QList>

#include <cstdlib>
#include <cstring>

struct ResponseOutcome
{
    Http::DecodeFailure failure = Http::DecodeFailure::None; // at the close, or on giving up
    Http::Decode step = Http::Decode::NeedMore;              // after the last piece fed
    int status = -1;
    QByteArray header;
    QByteArray body;

    // What must not depend on how the bytes were split: the verdict, and on
    // success the status, header and content.
    friend bool operator==(const ResponseOutcome &a, const ResponseOutcome &b)
    {
        if (a.failure != b.failure || a.step != b.step)
            return false;
        if (a.failure != Http::DecodeFailure::None)
            return true;
        return a.status == b.status && a.header == b.header && a.body == b.body;
    }
};

// An arrival as the socket serves it: at most `readSize` bytes a read, the
// way a socket returns short reads.
class ArrivalSource : public ByteSource
{
public:
    ArrivalSource(QByteArrayView arrival, qsizetype readSize)
        : mArrival(arrival),
          mReadSize(readSize)
    {}
    qint64 read(char *buffer, qint64 maxLen) override
    {
        const qsizetype n
                = qsizetype(qMin<qint64>(qMin<qint64>(maxLen, mReadSize), mArrival.size()));
        std::memcpy(buffer, mArrival.data(), size_t(n));
        mArrival = mArrival.sliced(n);
        return n;
    }

private:
    QByteArrayView mArrival;
    qsizetype mReadSize;
};

// Receives an arrival the way the downloader takes it from the socket
// (ResponseDecoder::receive), reads cut short to `readSize` bytes.
inline Http::Decode receiveArrival(Http::ResponseDecoder &decoder, QByteArrayView arrival,
                                   qsizetype readSize)
{
    ArrivalSource source(arrival, readSize);
    qint64 taken = 0;
    Http::Decode step = Http::Decode::NeedMore;
    // The socket reports what is left over again.
    for (qint64 left = arrival.size(); left > 0 && step == Http::Decode::NeedMore; left -= taken) {
        step = decoder.receive(source, left, taken);
        if (taken == 0)
            std::abort(); // bytes were waiting, but nothing was taken
    }
    return step;
}

// Cuts are positions in response, ascending; each piece ends at the next
// cut. Feeding stops once the decoder needs no more, as the downloader does;
// that end is final.
// A read size above 0 receives the way the downloader does
// (receiveArrival), 0 feeds each arrival whole.
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
