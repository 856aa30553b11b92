#include "downloader/Http.h"

#include "ResponseRun.h" // feedDirect: receiving in place, as the downloader does

#include <QTest>

using Progress = Http::ResponseDecoder::Progress;
Q_DECLARE_METATYPE(Progress)

class tst_Http : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("userInfo");
        const auto row = [](const char *name, const char *url, const char *host = "", int port = 80,
                            const char *path = "", const char *userInfo = "") {
            QTest::newRow(name) << url << host << port << path << userInfo;
        };
        row("host-only", "x://host", "host", 80, "/");
        row("port-and-query-with-slash", "x://host:8080/a/b?c=d/e", "host", 8080, "/a/b?c=d/e");
        row("port-zero", "x://host:0/a", "host", 80, "/a");
        // Blanks skipped, the number ends at the letter and is rounded.
        row("port-read-like-val", "x://host: 8 0\t8\n1.5x/a", "host", 8082, "/a");
        row("credentials", "http://user:pa:ss@host:81/f", "host", 81, "/f", "user:pa:ss");
        row("leading-slash", "/x://host/a");
        row("no-scheme-separator", "host/a");
        row("port-beyond-32-bit", "x://host:2147483648/a");
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
        QTEST(parts.userInfo, "userInfo");
    }

    // Credentials add the Authorization line; the path is escaped, so that
    // nothing can be injected into the request.
    void request()
    {
        const QByteArray head(" HTTP/1.1\r\nAccept: */*\r\nHost: h\r\nConnection: close\r\n");
        QCOMPARE(Http::buildRequest("/a", "h", ""), "GET /a" + head + "\r\n");
        QCOMPARE(Http::buildRequest("/a b\r\nX: 1\x7F", "h", "dTpw"),
                 "GET /a%20b%0D%0AX:%201%7F" + head + "Authorization: Basic dTpw\r\n\r\n");
    }

    void decodeSplitEverywhere_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<Progress>("progress"); // after the last byte, before the close
        QTest::addColumn<qint64>("limit");
        const auto row = [](const char *name, const QByteArray &response, const QByteArray &body,
                            int code, Progress progress, qint64 limit = Http::kResponseLimit) {
            QTest::newRow(name) << response << body << code << progress << limit;
        };
        using enum Progress;
        const QByteArray ok("HTTP/1.1 200 OK\r\n");
        const QByteArray te = ok + "Transfer-Encoding: chunked\r\n\r\n";
        const QByteArray interim("HTTP/1.1 100 Continue\r\n\r\n");
        const QByteArray line70k(70000, 'x');
        QByteArray head64k = ok;
        while (head64k.size() < 64 * 1024)
            head64k += "X-Field-" + QByteArray::number(head64k.size()) + ": " + QByteArray(50, 'v')
                       + "\r\n";

        row("content-length-excess-dropped", ok + "Content-Length: 11\r\n\r\nhello\r\n\r\nyoEXTRA",
            "hello\r\n\r\nyo", 0, Complete);
        // The limit counts only what the framing takes in.
        row("excess-beyond-limit-ignored",
            ok + "Content-Length: 5\r\n\r\nhello" + QByteArray(300, 'j'), "hello", 0, Complete,
            100);
        row("plain-to-close-header-lookalikes-in-body",
            ok + "\r\nTransfer-Encoding: chunked\r\n\r\n2", "Transfer-Encoding: chunked\r\n\r\n2",
            0, NeedMore);
        row("chunked-extensions-trailers-framing-lookalikes",
            te
                    + "3;name=\"v;x\"\r\nabc\r\n7\r\n\r\n0\r\n\r\n\r\nA ; e\r\n0123456789\r\n"
                      "b\r\nabcdefghijk\r\n0;last\r\nX-Sum: 1\r\n\r\n",
            "abc\r\n0\r\n\r\n0123456789abcdefghijk", 0, Complete);
        row("coding-any-case-overrides-length",
            ok + "transfer-encoding: Chunked\r\nContent-Length: 9\r\n\r\n2\r\nok\r\n0\r\n\r\n",
            "ok", 0, Complete);
        row("folded-coding", ok + "Transfer-Encoding:\r\n chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n",
            "ok", 0, Complete);
        row("bare-lf-line-ends", "HTTP/1.1 200 OK\nContent-Length: 2\n\nhi", "hi", 0, Complete);
        row("no-content-ignores-length",
            "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\nextra", "", 0, Complete);
        row("not-modified-ignores-coding",
            "HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n", "", -9,
            Complete);
        row("header-block-64k", head64k + "Content-Length: 4\r\n\r\nbody", "body", 0, Complete);
        row("32-interim-responses", interim.repeated(32) + ok + "Content-Length: 2\r\n\r\nhi", "hi",
            0, Complete);
        // Failures end with -9 and the body as received.
        row("33-interim-responses", interim.repeated(33) + ok + "Content-Length: 2\r\n\r\nhi", "",
            -9, Failed);
        row("status-404", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
            "not found", -9, Complete);
        row("conflicting-lengths", ok + "Content-Length: 2\r\nContent-Length: 3\r\n\r\nabc", "", -9,
            Failed);
        row("chunked-then-identity",
            ok
                    + "Transfer-Encoding: chunked\r\nTransfer-Encoding: "
                      "identity\r\n\r\n2\r\nok\r\n0\r\n\r\n",
            "", -9, Failed);
        row("gzip-with-length", ok + "Transfer-Encoding: gzip\r\nContent-Length: 3\r\n\r\nxyz", "",
            -9, Failed);
        row("cut-short-content-length", ok + "Content-Length: 10\r\n\r\nabc", "abc", -9, NeedMore);
        row("chunked-without-last-chunk", te + "3\r\nabc\r\n", "abc", -9, NeedMore);
        row("malformed-status-line", "HTTP/1.1 2OO OK\r\n\r\nbody", "body", -9, NeedMore);
        row("long-header-line", ok + "X: " + line70k + "\r\n\r\n", "", -9, Failed);
        row("long-chunk-extension", te + "3;" + line70k + "\r\nabc\r\n0\r\n\r\n", "", -9, Failed);
        row("long-size-line-of-zeros", te + QByteArray(70000, '0') + "3\r\nabc\r\n0\r\n\r\n", "",
            -9, Failed);
        row("long-trailer-line", te + "3\r\nabc\r\n0\r\nX: " + line70k + "\r\n\r\n", "abc", -9,
            Failed);
        row("chunk-size-negative", te + "-3\r\nabc\r\n0\r\n\r\n", "", -9, Failed);
        row("chunk-not-followed-by-line-end", te + "2\r\nabX\r\n0\r\n\r\n", "ab", -9, Failed);
        // Memory stays bounded by the limit, whatever the server sends.
        const QByteArray a600(600, 'a');
        row("chunk-beyond-limit", te + "3e9\r\n", "", -9, TooLarge, 1000);
        // Sizes near 2^63 must not overflow the room check and lift the limit.
        row("chunk-of-2^63-1-after-data", te + "3\r\nabc\r\n7fffffffffffffff\r\n" + a600, "abc", -9,
            TooLarge);
        row("chunk-size-overflowing-64-bit", te + "10000000000000003\r\nabc\r\n", "", -9, TooLarge);
        row("length-of-18-nines", ok + "Content-Length: 999999999999999999\r\n\r\nab", "", -9,
            TooLarge);
        row("length-beyond-limit", ok + "Content-Length: 1000\r\n\r\n", "", -9, TooLarge, 1000);
        row("endless-plain-body", ok + "\r\n" + a600 + a600, "", 0, TooLarge, 1000);
        row("endless-header-of-short-lines", ok + ("X: " + a600 + "\r\n").repeated(500), "", -9,
            Failed);
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
        // Long ones: a sample of about a hundred cuts.
        const qsizetype step
                = response.size() > 1000 ? qMax<qsizetype>(997, response.size() / 97) : 1;
        for (qsizetype at = 0; at <= response.size(); at += step)
            splits.append({response.left(at), response.mid(at)});
        for (const bool direct : {false, true}) {
            for (const QList<QByteArray> &arrivals : std::as_const(splits)) {
                Http::ResponseDecoder decoder(limit);
                Progress last = Progress::NeedMore;
                for (const QByteArray &arrival : arrivals) {
                    if (!arrival.isEmpty())
                        last = direct ? feedDirect(decoder, arrival, 3) : decoder.feed(arrival);
                }
                const QByteArray where = QByteArray(direct ? "in place, " : "")
                                         + QByteArray::number(arrivals.size()) + " arrivals, first "
                                         + QByteArray::number(arrivals.value(0).size());
                // Where the limit cuts the body depends on the arrivals; that body
                // is dropped anyway.
                QVERIFY2(progress == Progress::TooLarge || decoder.body() == body,
                         where + ": " + decoder.body().left(80));
                QVERIFY2(decoder.finish() == code, where);
                QVERIFY2(last == progress, where);
                QVERIFY2(decoder.header().size() + decoder.body().size() <= qMin(limit, 1 << 20),
                         where);
                if (last != Progress::NeedMore) // the end is final
                    QVERIFY2(decoder.feed("more") == last, where);
            }
        }
    }

    void extractJpeg_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("errorIn");
        QTest::addColumn<QByteArray>("content"); // empty: header and body
        QTest::addColumn<int>("errorOut");
        const auto row = [](const char *name, const QByteArray &header, const QByteArray &body,
                            const QByteArray &content, int errorIn = 0, int errorOut = 0) {
            QTest::newRow(name) << header << body << errorIn << content << errorOut;
        };
        const QByteArray head("HTTP/1.1 200 OK\r\n\r\n");
        const QByteArray image = "\xFF\xD8" + QByteArray("data\xFF\xD9");
        row("markers-included", head, "junk" + image + "tail", image);
        row("start-beyond-32k", head, QByteArray(40000, 'p') + image, image);
        row("start-in-header", head + image.left(2), image.mid(2), image);
        row("start-across-the-seam", "h\xFF", image.mid(1), image);
        row("markers-across-the-seam", "h\xFF", image.mid(1, 6), {}, 0, -6);
        row("no-start", head, "ab\xFF\xD9", {}, 0, -6);
        row("end-before-start", head, "\xFF\xD9xx\xFF\xD8", {}, 0, -6);
        row("missing-keeps-earlier-code", head, "none", {}, -9, -9);
    }

    // An image found in the body is cut out of the body's own memory, not
    // out of a copy.
    void extractJpeg()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, content);
        QFETCH(int, errorIn);
        QByteArray owned(body.constData(), body.size());
        const char *begin = owned.constData();
        qint16 error = qint16(errorIn);
        const QByteArray result
                = Http::extractBody(header, std::move(owned), Http::JpegImage, error);
        QCOMPARE(result, content.isEmpty() ? header + body : content);
        QTEST(int(error), "errorOut");
        if (!content.isEmpty() && body.contains(content))
            QVERIFY(result.constData() >= begin && result.constData() < begin + body.size());
    }
};

QTEST_APPLESS_MAIN(tst_Http)
#include "tst_http.moc"
