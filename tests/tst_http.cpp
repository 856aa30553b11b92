#include "downloader/Http.h"

#include <QTest>

#include <cstring>

using Progress = Http::ResponseDecoder::Progress;
Q_DECLARE_METATYPE(Progress)

namespace {

// Feeds an arrival the way the downloader takes it from the socket: body
// bytes copied straight into the room the decoder offers, the rest through
// feed() three bytes at a time.
Progress feedDirect(Http::ResponseDecoder &decoder, const QByteArray &arrival)
{
    Progress progress = Progress::NeedMore;
    for (qsizetype pos = 0; pos < arrival.size() && progress == Progress::NeedMore;) {
        const qsizetype room = qMin(decoder.directRoom(), arrival.size() - pos);
        if (room > 0) {
            std::memcpy(decoder.beginDirect(room), arrival.constData() + pos, size_t(room));
            progress = decoder.endDirect(room);
            pos += room;
        } else {
            progress = decoder.feed(arrival.mid(pos, 3));
            pos += 3;
        }
    }
    return progress;
}

} // namespace

class tst_Http : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("userInfo");

        QTest::newRow("host-and-path")
                << "x://host/dir/file.txt" << true << "host" << 80 << "/dir/file.txt"
                << "";
        QTest::newRow("host-only") << "x://host" << true << "host" << 80 << "/"
                                   << "";
        QTest::newRow("port-and-query-with-slash")
                << "x://host:8080/a/b?c=d/e" << true << "host" << 8080 << "/a/b?c=d/e"
                << "";
        QTest::newRow("port-zero") << "x://host:0/a" << true << "host" << 80 << "/a"
                                   << "";
        // Blanks skipped, the number ends at the letter and is rounded.
        QTest::newRow("port-read-like-val")
                << "x://host: 8 0\t8\n1.5x/a" << true << "host" << 8082 << "/a"
                << "";
        QTest::newRow("credentials")
                << "http://user:pa:ss@host:81/f" << true << "host" << 81 << "/f"
                << "user:pa:ss";
        QTest::newRow("leading-slash") << "/x://host/a" << false << "" << 0 << ""
                                       << "";
        QTest::newRow("no-scheme-separator") << "host/a" << false << "" << 0 << ""
                                             << "";
        QTest::newRow("port-beyond-32-bit") << "x://host:2147483648/a" << false << "" << 0 << ""
                                            << "";
    }

    void splitUrl()
    {
        QFETCH(QString, url);
        QFETCH(bool, ok);
        const Http::UrlParts parts = Http::splitUrl(url);
        QCOMPARE(parts.ok, ok);
        if (!ok)
            return;
        QTEST(parts.host, "host");
        QTEST(int(parts.port), "port");
        QTEST(parts.path, "path");
        QTEST(parts.userInfo, "userInfo");
    }

    void request_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("authorization");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray rest(" HTTP/1.1\r\nAccept: */*\r\nHost: h\r\nConnection: close\r\n");
        QTest::newRow("without-credentials") << "/a"
                                             << ""
                                             << "GET /a" + rest + "\r\n";
        QTest::newRow("with-credentials") << "/a"
                                          << "dTpw"
                                          << "GET /a" + rest + "Authorization: Basic dTpw\r\n\r\n";
        QTest::newRow("line-break-and-del-in-path-escaped")
                << "/a b\r\nX: 1\x7F"
                << ""
                << "GET /a%20b%0D%0AX:%201%7F" + rest + "\r\n";
    }

    void request()
    {
        QFETCH(QString, path);
        QFETCH(QString, authorization);
        QTEST(Http::buildRequest(path, QStringLiteral("h"), authorization), "expected");
    }

    void decodeSplitEverywhere_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<Progress>("progress"); // after the last byte, before the close
        QTest::addColumn<qint64>("limit");

        const qint64 big = Http::kResponseLimit;
        const QByteArray ok("HTTP/1.1 200 OK\r\n");
        const QByteArray te("Transfer-Encoding: chunked\r\n\r\n");
        const QByteArray interim("HTTP/1.1 100 Continue\r\n\r\n");
        const QByteArray line70k(70000, 'x');
        QByteArray head64k;
        while (head64k.size() < 64 * 1024)
            head64k += "X-Field-" + QByteArray::number(head64k.size()) + ": " + QByteArray(50, 'v')
                       + "\r\n";

        QTest::newRow("content-length-excess-dropped")
                << ok + "Content-Length: 11\r\n\r\nhello\r\n\r\nyoEXTRA"
                << QByteArray("hello\r\n\r\nyo") << 0 << Progress::Complete << big;
        // The limit counts only what the framing takes in.
        QTest::newRow("excess-beyond-limit-ignored")
                << ok + "Content-Length: 5\r\n\r\nhello" + QByteArray(300, 'j')
                << QByteArray("hello") << 0 << Progress::Complete << qint64(100);
        QTest::newRow("plain-to-close-header-lookalikes-in-body")
                << ok + "\r\nTransfer-Encoding: chunked\r\n\r\n2"
                << QByteArray("Transfer-Encoding: chunked\r\n\r\n2") << 0 << Progress::NeedMore
                << big;
        QTest::newRow("chunked-extensions-trailers-framing-lookalikes")
                << ok + te
                           + "3;name=\"v;x\"\r\nabc\r\n7\r\n\r\n0\r\n\r\n\r\nA ; "
                             "e\r\n0123456789\r\nb\r\nabcdefghijk\r\n0;last\r\nX-Sum: 1\r\n\r\n"
                << QByteArray("abc\r\n0\r\n\r\n0123456789abcdefghijk") << 0 << Progress::Complete
                << big;
        QTest::newRow("coding-any-case-overrides-length")
                << ok
                           + "transfer-encoding: Chunked\r\nContent-Length: "
                             "9\r\n\r\n2\r\nok\r\n0\r\n\r\n"
                << QByteArray("ok") << 0 << Progress::Complete << big;
        QTest::newRow("folded-coding")
                << ok + "Transfer-Encoding:\r\n chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n"
                << QByteArray("ok") << 0 << Progress::Complete << big;
        QTest::newRow("bare-lf-line-ends") << QByteArray("HTTP/1.1 200 OK\nContent-Length: 2\n\nhi")
                                           << QByteArray("hi") << 0 << Progress::Complete << big;
        QTest::newRow("no-content-ignores-length")
                << QByteArray("HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nextra")
                << QByteArray() << 0 << Progress::Complete << big;
        QTest::newRow("not-modified-ignores-coding")
                << "HTTP/1.1 304 Not Modified\r\n" + te + "5\r\n"
                << QByteArray() << -9 << Progress::Complete << big;
        QTest::newRow("header-block-64k") << ok + head64k + "Content-Length: 4\r\n\r\nbody"
                                          << QByteArray("body") << 0 << Progress::Complete << big;
        QTest::newRow("32-interim-responses")
                << interim.repeated(32) + ok + "Content-Length: 2\r\n\r\nhi" << QByteArray("hi")
                << 0 << Progress::Complete << big;
        // Failures end with -9 and the body as received.
        QTest::newRow("33-interim-responses")
                << interim.repeated(33) + ok + "Content-Length: 2\r\n\r\nhi" << QByteArray() << -9
                << Progress::Failed << big;
        QTest::newRow("interim-flood-short-form") << QByteArray("HTTP/1.1 100\n\n").repeated(40)
                                                  << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("status-404")
                << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")
                << QByteArray("not found") << -9 << Progress::Complete << big;
        QTest::newRow("conflicting-lengths")
                << ok + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nabc" << QByteArray() << -9
                << Progress::Failed << big;
        QTest::newRow("chunked-then-identity")
                << ok
                           + "Transfer-Encoding: chunked\r\nTransfer-Encoding: "
                             "identity\r\n\r\n2\r\nok\r\n0\r\n\r\n"
                << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("gzip-with-length")
                << ok + "Transfer-Encoding: gzip\r\nContent-Length: 3\r\n\r\nxyz" << QByteArray()
                << -9 << Progress::Failed << big;
        QTest::newRow("cut-short-content-length")
                << ok + "Content-Length: 10\r\n\r\nabc" << QByteArray("abc") << -9
                << Progress::NeedMore << big;
        QTest::newRow("chunked-without-last-chunk")
                << ok + te + "3\r\nabc\r\n"
                << QByteArray("abc") << -9 << Progress::NeedMore << big;
        QTest::newRow("no-status-line")
                << QByteArray("<html>hi</html>") << QByteArray("<html>hi</html>") << -9
                << Progress::NeedMore << big;
        QTest::newRow("malformed-status-line")
                << QByteArray("HTTP/1.1 2OO OK\r\n\r\nbody") << QByteArray("body") << -9
                << Progress::NeedMore << big;
        QTest::newRow("header-never-ends") << ok + "Server: t\r\n"
                                           << QByteArray() << -9 << Progress::NeedMore << big;
        // Lines over 64 KiB fail whether they arrive whole or in pieces.
        QTest::newRow("long-header-line") << ok + "X: " + line70k + "\r\n\r\n"
                                          << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("long-chunk-extension") << ok + te + "3;" + line70k + "\r\nabc\r\n0\r\n\r\n"
                                              << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("long-size-line-of-zeros")
                << ok + te + QByteArray(70000, '0') + "3\r\nabc\r\n0\r\n\r\n"
                << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("long-trailer-line")
                << ok + te + "3\r\nabc\r\n0\r\nX: " + line70k + "\r\n\r\n"
                << QByteArray("abc") << -9 << Progress::Failed << big;
        QTest::newRow("chunk-size-overflowing-64-bit")
                << ok + te + "10000000000000003\r\nabc\r\n0\r\n\r\n"
                << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("chunk-size-negative") << ok + te + "-3\r\nabc\r\n0\r\n\r\n"
                                             << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("chunk-size-not-hex") << ok + te + "x3\r\nabc\r\n0\r\n\r\n"
                                            << QByteArray() << -9 << Progress::Failed << big;
        QTest::newRow("chunk-not-followed-by-line-end")
                << ok + te + "2\r\nabX\r\n0\r\n\r\n"
                << QByteArray("ab") << -9 << Progress::Failed << big;
    }

    // The result must not depend on how the response is cut into arrivals:
    // byte by byte, and in two at every position; fed whole, or with the
    // body bytes written in place the way the downloader receives them.
    void decodeSplitEverywhere()
    {
        QFETCH(QByteArray, response);
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        QFETCH(Progress, progress);
        QFETCH(qint64, limit);

        QList<QList<QByteArray>> splits(1);
        for (const char c : std::as_const(response))
            splits[0].append(QByteArray(1, c));
        const qsizetype step = response.size() > 1000 ? 997 : 1; // long ones: a sample
        for (qsizetype at = 0; at <= response.size(); at += step)
            splits.append({response.left(at), response.mid(at)});
        for (const bool direct : {false, true}) {
            for (const QList<QByteArray> &arrivals : std::as_const(splits)) {
                Http::ResponseDecoder decoder(limit);
                Progress last = Progress::NeedMore;
                for (const QByteArray &arrival : arrivals) {
                    if (!arrival.isEmpty())
                        last = direct ? feedDirect(decoder, arrival) : decoder.feed(arrival);
                }
                const QByteArray where = QByteArray(direct ? "in place, " : "")
                                         + QByteArray::number(arrivals.size()) + " arrivals, first "
                                         + QByteArray::number(arrivals.value(0).size());
                QVERIFY2(decoder.body() == body, where + ": " + decoder.body().left(80));
                QVERIFY2(decoder.finish() == code, where);
                QVERIFY2(last == progress, where);
            }
        }
    }

    // Memory stays bounded by the limit, whatever the server sends.
    void hostileResponses_data()
    {
        QTest::addColumn<QList<QByteArray>>("arrivals");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<Progress>("progress");

        const qint64 big = Http::kResponseLimit;
        const QByteArray chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
        const QByteArray a600(600, 'a');
        QTest::newRow("chunk-beyond-limit")
                << QList<QByteArray> {chunked + "3e9\r\n"} << qint64(1000) << Progress::TooLarge;
        QTest::newRow("length-beyond-limit")
                << QList<QByteArray> {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"}
                << qint64(1000) << Progress::TooLarge;
        QTest::newRow("endless-plain-body")
                << QList<QByteArray> {"HTTP/1.1 200 OK\r\n\r\n", a600, a600} << qint64(1000)
                << Progress::TooLarge;
        QTest::newRow("endless-header-of-short-lines")
                << QList<QByteArray> {"HTTP/1.1 200 OK\r\n"}
                           + QList<QByteArray>(500, "X: " + a600 + "\r\n")
                << big << Progress::Failed;
        QTest::newRow("endless-interim-response")
                << QList<QByteArray>(500, "HTTP/1.1 100 Continue\r\nX: " + a600 + "\r\n") << big
                << Progress::Failed;
    }

    void hostileResponses()
    {
        QFETCH(QList<QByteArray>, arrivals);
        QFETCH(qint64, limit);
        Http::ResponseDecoder decoder(limit);
        Progress progress = Progress::NeedMore;
        for (const QByteArray &arrival : std::as_const(arrivals))
            progress = decoder.feed(arrival);
        QTEST(progress, "progress");
        QVERIFY(decoder.header().size() + decoder.body().size() <= qMin(limit, 1 << 20));
        QCOMPARE(decoder.feed("more"), progress); // the end is final
    }

    void extractJpeg_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("errorIn");
        QTest::addColumn<QByteArray>("content"); // "*": header and body
        QTest::addColumn<int>("errorOut");

        const QByteArray header("HTTP/1.1 200 OK\r\n\r\n");
        const QByteArray image("\xFF\xD8"
                               "data\xFF\xD9",
                               8);
        QTest::newRow("markers-included") << header << "junk" + image + "tail" << 0 << image << 0;
        QTest::newRow("start-beyond-32k")
                << header << QByteArray(40000, 'p') + image << 0 << image << 0;
        QTest::newRow("start-in-header") << header + "\xFF\xD8" << QByteArray("data\xFF\xD9") << 0
                                         << QByteArray("\xFF\xD8"
                                                       "data\xFF\xD9")
                                         << 0;
        QTest::newRow("markers-across-the-seam") << QByteArray("h\xFF")
                                                 << QByteArray("\xD8"
                                                               "data\xFF")
                                                 << 0 << QByteArray("*") << -6;
        QTest::newRow("start-across-the-seam") << QByteArray("h\xFF")
                                               << QByteArray("\xD8"
                                                             "data\xFF\xD9")
                                               << 0
                                               << QByteArray("\xFF\xD8"
                                                             "data\xFF\xD9")
                                               << 0;
        QTest::newRow("no-start") << header << QByteArray("ab\xFF\xD9") << 0 << QByteArray("*")
                                  << -6;
        QTest::newRow("end-before-start")
                << header << QByteArray("\xFF\xD9xx\xFF\xD8") << 0 << QByteArray("*") << -6;
        QTest::newRow("missing-keeps-earlier-code")
                << header << QByteArray("none") << -9 << QByteArray("*") << -9;
    }

    void extractJpeg()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, content);
        QFETCH(int, errorIn);
        qint16 error = qint16(errorIn);
        QCOMPARE(Http::extractBody(header, body, Http::JpegImage, error),
                 content == "*" ? header + body : content);
        QTEST(int(error), "errorOut");
    }

    // The image is cut out of the body's own memory, not out of a copy.
    void jpegCutInPlace()
    {
        QByteArray body(1 << 20, 'p');
        body.replace(100, 2, "\xFF\xD8");
        body.replace(body.size() - 100, 2, "\xFF\xD9");
        const char *begin = body.constData();
        const char *end = begin + body.size();
        qint16 error = 0;
        const QByteArray image = Http::extractBody("HTTP/1.1 200 OK\r\n\r\n", std::move(body),
                                                   Http::JpegImage, error);
        QCOMPARE(image.size(), (1 << 20) - 198);
        QVERIFY(image.constData() >= begin && image.constData() < end);
    }
};

QTEST_APPLESS_MAIN(tst_Http)
#include "tst_http.moc"
