#include "downloader/ContentCut.h"
#include "downloader/HttpRequest.h" // splitUrl; the request itself: fuzz/request_url
#include "downloader/ResponseDecoder.h"

#include "ResponseRun.h" // receiveArrival: taking bytes from a source, as the downloader does

#include <QTest>

using Http::Decode;
using Http::DecodeFailure;
Q_DECLARE_METATYPE(Decode)
Q_DECLARE_METATYPE(DecodeFailure)

// Whether a block shrinks in place: AddressSanitizer's realloc moves every one.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kReallocInPlace = false;
#else
constexpr bool kReallocInPlace = true;
#endif

class tst_Http : public QObject
{
    Q_OBJECT

    static void addDecodeColumns()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<DecodeFailure>("failure"); // at the close, after the last byte
        QTest::addColumn<Decode>("step");           // after the last byte
        QTest::addColumn<qint64>("limit");
    }
    static void row(const QByteArray &name, const QByteArray &response, const QByteArray &body,
                    DecodeFailure failure, Decode step, qint64 limit = Http::kResponseLimit)
    {
        QTest::newRow(name.constData()) << response << body << failure << step << limit;
    }

private Q_SLOTS:
    void splitUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("path");
        const auto url
                = [](const char *name, const char *url, const char *host = "", int port = 80,
                     const char *path = "") { QTest::newRow(name) << url << host << port << path; };
        url("host-only", "x://host", "host", 80, "/");
        url("port-and-query-with-slash", "x://host:8080/a/b?c=d/e", "host", 8080, "/a/b?c=d/e");
        url("port-zero", "x://host:0/a", "host", 80, "/a");
        // Blanks skipped, the number ends at the letter and is rounded.
        url("port-read-like-val", "x://host: 8 0\t8\n1.5x/a", "host", 8082, "/a");
        // Credentials: tst_copyhelper, as the Authorization line they give.
        url("leading-slash", "/x://host/a");
        url("no-scheme-separator", "host/a");
        url("port-beyond-32-bit", "x://host:2147483648/a");
    }

    void splitUrl()
    {
        QFETCH(QString, url);
        QFETCH(QString, host);
        const Http::UrlParts parts = Http::splitUrl(url);
        QCOMPARE(parts.ok, !host.isEmpty());
        if (!parts.ok)
            return;
        QCOMPARE(parts.host, host);
        QTEST(int(parts.port), "port");
        QTEST(parts.path, "path");
        QVERIFY(parts.userInfo.isEmpty());
    }

    // The framing rows: what a response gives, and why one is refused.
    void decodeSplitEverywhere_data()
    {
        addDecodeColumns();
        using enum Decode;
        using enum DecodeFailure;
        const QByteArray ok("HTTP/1.1 200 OK\r\n");
        const QByteArray te = ok + "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray interim("HTTP/1.1 100 Continue\r\n\r\n");
        // Bytes behind the body are dropped; the limit counts only the body.
        row("content-length-excess-dropped",
            ok + "Content-Length: 11\r\n\r\nhello\r\n\r\nyo" + QByteArray(300, 'j'),
            "hello\r\n\r\nyo", None, Complete, 100);
        row("plain-to-close-header-lookalikes-in-body",
            ok + "\r\nTransfer-Encoding: chunked\r\n\r\n2", "Transfer-Encoding: chunked\r\n\r\n2",
            None, NeedMore);
        row("chunked-extensions-trailers-framing-lookalikes",
            te
                    + "3;name=\"v;x\"\r\nabc\r\n7\r\n\r\n0\r\n\r\n\r\nA ; e\r\n0123456789\r\n"
                      "b\r\nabcdefghijk\r\n0;last\r\nX-Sum: 1\r\n\r\n",
            "abc\r\n0\r\n\r\n0123456789abcdefghijk", None, Complete);
        row("coding-any-case-folded-overrides-length",
            ok + "transfer-encoding:\r\n Chunked\r\nContent-Length: 9\r\n\r\n2\r\nok\r\n0\r\n\r\n",
            "ok", None, Complete);
        row("no-content-ignores-length",
            "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nextra", "", None, Complete);
        row("not-modified-ignores-coding",
            "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n", "",
            StatusNotSuccess, Complete);
        row("32-interim-responses", interim.repeated(32) + ok + "Content-Length: 2\r\n\r\nhi", "hi",
            None, Complete);
        // Refused responses end with the body as received (404, flood of interim
        // responses and a head cut short: tst_copyhelper through the socket).
        row("malformed-status-line", "HTTP/1.1 2OO OK\r\n\r\nbody", "body", BadStatusLine,
            NeedMore);
        row("conflicting-lengths", ok + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nabc", "",
            BadContentLength, Failed);
        row("length-of-19-digits", ok + "Content-Length: 0000000000000000002\r\n\r\nab", "",
            BadContentLength, Failed);
        row("chunked-then-identity",
            ok + "Transfer-Encoding: chunked\r\nTransfer-Encoding: identity\r\n\r\n2\r\nok\r\n", "",
            UnsupportedCoding, Failed);
        row("cut-short-content-length", ok + "Content-Length: 10\r\n\r\nabc", "abc", BodyCutShort,
            NeedMore);
        row("chunked-without-last-chunk", te + "3\r\nabc\r\n", "abc", BodyCutShort, NeedMore);
        row("chunk-size-negative", te + "-3\r\nabc\r\n0\r\n\r\n", "", BadChunkSize, Failed);
        row("chunk-not-followed-by-line-end", te + "2\r\nabX\r\n0\r\n\r\n", "ab",
            ChunkNotTerminated, Failed);
        row("trailers-together-beyond-64k",
            te + "3\r\nabc\r\n0\r\n" + ("X: " + QByteArray(40000, 't') + "\r\n").repeated(2)
                    + "\r\n",
            "abc", TrailerTooLarge, Failed);
    }

    // Memory stays bounded whatever the server sends; each line and head has its bound.
    void decodeLimits_data()
    {
        addDecodeColumns();
        using enum Decode;
        using enum DecodeFailure;
        const QByteArray ok("HTTP/1.1 200 OK\r\n");
        const QByteArray te = ok + "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray a600(600, 'a');
        // Sizes near 2^63 must not overflow the room check and lift the limit.
        row("chunk-of-2^63-1-after-data", te + "3\r\nabc\r\n7fffffffffffffff\r\n" + a600, "abc",
            TooLarge, Failed);
        row("chunk-size-overflowing-64-bit", te + "10000000000000003\r\nabc\r\n", "", TooLarge,
            Failed);
        row("length-of-18-nines", ok + "Content-Length: 999999999999999999\r\n\r\nab", "", TooLarge,
            Failed);
        row("endless-plain-body", ok + "\r\n" + a600 + a600, "", TooLarge, Failed, 1000);
        // The header blocks may hold 256 KiB together.
        const QByteArray fields = ("X: " + QByteArray(65000, 'h') + "\r\n").repeated(4);
        for (const qsizetype over : {0, 1}) {
            const QByteArray status = "HTTP/1.1 200 " + QByteArray(2088 + over, 'r') + "\r\n";
            const QByteArray head = status + fields + "Content-Length: 2\r\n\r\n";
            QCOMPARE(head.size(), 256 * 1024 + over);
            row("head-of-256k" + QByteArray(over ? "-and-1" : ""), head + "hi", over ? "" : "hi",
                over ? HeadTooLarge : None, over ? Failed : Complete);
        }
        // A line may hold kMaxLine bytes, whether it ends with LF or CR LF.
        for (const QByteArray &eol : {QByteArray("\n"), QByteArray("\r\n")}) {
            for (const qsizetype length : {Http::kMaxLine, Http::kMaxLine + 1}) {
                const bool over = length > Http::kMaxLine;
                const QByteArray tag = (eol.size() == 1 ? "-lf" : "-crlf")
                                       + QByteArray(over ? "-one-over" : "-at-limit");
                const QByteArray field = "X: " + QByteArray(length - 3, 'v');
                const QByteArray status = "HTTP/1.1 200 OK" + eol;
                const QByteArray chunked = status + "Transfer-Encoding: chunked" + eol + eol;
                row("header-line" + tag,
                    status + field + eol + "Content-Length: 2" + eol + eol + "hi", over ? "" : "hi",
                    over ? HeaderLineTooLong : None, over ? Failed : Complete);
                // Leading zeros: long, yet no overflow.
                row("chunk-size-line" + tag,
                    chunked + QByteArray(length - 1, '0') + "2" + eol + "hi" + eol + "0" + eol
                            + eol,
                    over ? "" : "hi", over ? ChunkLineTooLong : None, over ? Failed : Complete);
                row("trailer-line" + tag,
                    chunked + "2" + eol + "hi" + eol + "0" + eol + field + eol + eol, "hi",
                    over ? TrailerTooLarge : None, over ? Failed : Complete);
            }
        }
    }

    // Whatever the arrivals: one result.
    void decodeSplitEverywhere()
    {
        QFETCH(QByteArray, response);
        QFETCH(QByteArray, body);
        QFETCH(DecodeFailure, failure);
        QFETCH(Decode, step);
        QFETCH(qint64, limit);
        // Whole and byte by byte, read in threes as the downloader reads the socket;
        // fuzz/response_split and response_direct try the other cuts and reads.
        for (const QList<qsizetype> &cuts : {QList<qsizetype>(), everyByte(response.size())}) {
            const ResponseOutcome outcome = decodeInPieces(response, cuts, limit, 3);
            const QByteArray where
                    = QByteArray::number(cuts.size() + 1) + " arrivals: " + describe(outcome);
            // Where the limit cuts the body depends on the arrivals; it is dropped.
            QVERIFY2(failure == DecodeFailure::TooLarge || outcome.body == body, where);
            QVERIFY2(outcome.failure == failure && outcome.step == step, where);
            QVERIFY2(outcome.header.size() + outcome.body.size() <= qMin(limit, 1 << 20), where);
        }
    }

    void decodeLimits() { decodeSplitEverywhere(); }

    // The content with and without Content-Length: the body, or the JPEG image
    // (else the response and -6); a large body is cut in its own block.
    void cutContent_data()
    {
        QTest::addColumn<QByteArray>("field"); // a header field line, or ""
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("errorIn");
        QTest::addColumn<QByteArray>("content"); // null: the whole response
        QTest::addColumn<int>("errorOut");
        const auto cut = [](const char *name, const QByteArray &field, const QByteArray &body,
                            int type, const QByteArray &content, int errorIn = 0,
                            int errorOut = 0) {
            QTest::newRow(name) << field << body << type << errorIn << content << errorOut;
        };
        const QByteArray image = "\xFF\xD8" + QByteArray(5 * 1024 * 1024, 'i') + "\xFF\xD9";
        const QByteArray large = QByteArray(1000, 'b') + image + QByteArray(998, 'b');
        cut("body-whole", "", large, Http::HttpBody, large);
        cut("image-in-large-body", "", large, Http::JpegImage, image);
        cut("image-small", "", "junk\377\330d\377\331tail", Http::JpegImage, "\377\330d\377\331");
        cut("start-in-header", "X-Mark: \xFF\xD8\r\n", QByteArray(large).replace(1000, 2, "bb"),
            Http::JpegImage, "\xFF\xD8\r\n\r\n" + QByteArray(1002, 'b') + image.sliced(2));
        cut("no-end", "", QByteArray(large).replace(large.lastIndexOf("\xFF\xD9"), 2, "bb"),
            Http::JpegImage, {}, 0, -6);
        cut("end-before-start", "", "\xFF\xD9xx\xFF\xD8", Http::JpegImage, {}, 0, -6);
        cut("missing-keeps-earlier-code", "", "none", Http::JpegImage, {}, -9, -9);
    }
    void cutContent()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, body);
        QFETCH(int, type);
        QFETCH(int, errorIn);
        QFETCH(QByteArray, content);
        const QByteArray length = "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        for (const QByteArray &framing : {QByteArray(), length}) {
            const QByteArray response = "HTTP/1.1 200 OK\r\n" + framing + field + "\r\n" + body;
            Http::ResponseDecoder decoder;
            receiveArrival(decoder, response, 64 * 1024);
            QByteArray taken = decoder.takeBody();
            const bool large = body.size() > 1024 * 1024; // given room by the decoder
            QVERIFY(!large || taken.capacity() - taken.size() >= decoder.header().size());
            const char *block = taken.constData();
            qint16 error = qint16(errorIn);
            const QByteArray result
                    = Http::cutContent(decoder.header(), std::move(taken), quint8(type), error);
            QVERIFY(result == (content.isNull() ? response : content));
            QTEST(int(error), "errorOut");
            QVERIFY(!large || !kReallocInPlace
                    || (result.constData() >= block && result.constData() < block + body.size()));
        }
    }
};

QTEST_APPLESS_MAIN(tst_Http)
#include "tst_http.moc"
