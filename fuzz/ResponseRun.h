#pragma once

// Feeds one response to a fresh ResponseDecoder in pieces and sums up what
// the downloader would act on.

#include "downloader/Http.h"

#include <QList>

#include <cstdlib>
#include <cstring>

// The codes the downloader reports for a response it gave up on.
inline constexpr qint16 kTooLarge = -3;
inline constexpr qint16 kMalformed = -9;

struct ResponseOutcome
{
    qint16 code = 0; // finish(), or the code for giving up
    int status = -1;
    QByteArray header;
    QByteArray body;

    // What must not depend on how the bytes were split: the verdict, and on
    // success the status, header and content.
    friend bool operator==(const ResponseOutcome &a, const ResponseOutcome &b)
    {
        if (a.code != b.code)
            return false;
        if (a.code != 0)
            return true;
        return a.status == b.status && a.header == b.header && a.body == b.body;
    }
};

// Feeds an arrival the way the downloader takes it from the socket: body
// bytes written straight into the room the decoder offers, the rest through
// feed() in pieces of at most `piece` bytes.
inline Http::ResponseDecoder::Progress feedDirect(Http::ResponseDecoder &decoder,
                                                  const QByteArray &arrival, qsizetype piece)
{
    using Progress = Http::ResponseDecoder::Progress;
    Progress progress = Progress::NeedMore;
    for (qsizetype pos = 0; pos < arrival.size() && progress == Progress::NeedMore;) {
        const qsizetype room = qMin(decoder.directRoom(), arrival.size() - pos);
        const qsizetype take = room > 0 ? room : qMin(piece, arrival.size() - pos);
        if (room > 0) {
            std::memcpy(decoder.beginDirect(room), arrival.constData() + pos, size_t(room));
            progress = decoder.endDirect(room);
        } else {
            progress = decoder.feed(arrival.mid(pos, take));
        }
        pos += take;
    }
    return progress;
}

// Cuts are positions in response, ascending; each piece ends at the next
// cut. Feeding stops once the decoder needs no more, as the downloader does.
// A direct piece size above 0 receives the way the downloader does
// (feedDirect), 0 feeds each arrival whole.
inline ResponseOutcome decodeInPieces(const QByteArray &response, const QList<qsizetype> &cuts,
                                      qint64 limit = Http::kResponseLimit,
                                      qsizetype directPiece = 0)
{
    using Progress = Http::ResponseDecoder::Progress;
    Http::ResponseDecoder decoder(limit);
    Progress progress = Progress::NeedMore;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= cuts.size() && progress == Progress::NeedMore; ++i) {
        const qsizetype to = i < cuts.size() ? cuts.at(i) : response.size();
        if (to > from) {
            const QByteArray arrival = response.mid(from, to - from);
            progress = directPiece > 0 ? feedDirect(decoder, arrival, directPiece)
                                       : decoder.feed(arrival);
        }
        from = qMax(from, to);
        // Whatever the server sends, the decoder keeps no more than the limit.
        if (decoder.header().size() + decoder.body().size() > qMax<qint64>(limit, 1 << 20))
            std::abort();
    }
    ResponseOutcome outcome;
    switch (progress) {
    case Progress::TooLarge:
        outcome.code = kTooLarge;
        break;
    case Progress::Failed:
        outcome.code = kMalformed;
        break;
    default:
        outcome.code = decoder.finish();
        break;
    }
    outcome.status = decoder.statusCode();
    outcome.header = decoder.header();
    outcome.body = decoder.body();
    return outcome;
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
    return "code " + QByteArray::number(o.code) + " status " + QByteArray::number(o.status)
           + " body " + QByteArray::number(o.body.size()) + " bytes";
}
