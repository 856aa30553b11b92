#include "downloader/CopyHelper.h"
#include "downloader/Http.h"

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
        QTest::newRow("line-break-in-path-escaped") << "/a b\r\nX: 1"
                                                    << ""
                                                    << "GET /a%20b%0D%0AX:%201" + rest + "\r\n";
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
        QTest::addColumn<bool>("completesEarly"); // the body end is known before the close

        const QByteArray ok("HTTP/1.1 200 OK\r\n");
        const QByteArray te("Transfer-Encoding: chunked\r\n\r\n");
        QTest::newRow("content-length-excess-dropped")
                << ok + "Content-Length: 11\r\n\r\nhello\r\n\r\nyoEXTRA"
                << QByteArray("hello\r\n\r\nyo") << 0 << true;
        QTest::newRow("plain-to-close-header-lookalikes-in-body")
                << ok + "\r\nTransfer-Encoding: chunked\r\n\r\n2"
                << QByteArray("Transfer-Encoding: chunked\r\n\r\n2") << 0 << false;
        QTest::newRow("chunked-extensions-trailers-framing-lookalikes")
                << ok + te
                           + "3;name=\"v;x\"\r\nabc\r\n7\r\n\r\n0\r\n\r\n\r\nA ; "
                             "e\r\n0123456789\r\nb\r\nabcdefghijk\r\n0;last\r\nX-Sum: 1\r\n\r\n"
                << QByteArray("abc\r\n0\r\n\r\n0123456789abcdefghijk") << 0 << true;
        QTest::newRow("header-names-any-case-last-coding-wins")
                << ok
                           + "transfer-encoding: gzip, Chunked\r\nContent-Length: "
                             "9\r\n\r\n2\r\nok\r\n0\r\n\r\n"
                << QByteArray("ok") << 0 << true;
        QTest::newRow("header-beyond-32k")
                << ok + "X-Big: " + QByteArray(40000, 'x') + "\r\nContent-Length: 4\r\n\r\nbody"
                << QByteArray("body") << 0 << true;
        QTest::newRow("interim-response-skipped")
                << "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 2\r\n\r\nhi"
                << QByteArray("hi") << 0 << true;
        // Failures end with -9 and the body as received.
        QTest::newRow("status-404")
                << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")
                << QByteArray("not found") << -9 << true;
        QTest::newRow("cut-short-content-length")
                << ok + "Content-Length: 10\r\n\r\nabc" << QByteArray("abc") << -9 << false;
        QTest::newRow("chunked-without-last-chunk") << ok + te + "3\r\nabc\r\n"
                                                    << QByteArray("abc") << -9 << false;
        QTest::newRow("no-status-line")
                << QByteArray("<html>hi</html>") << QByteArray("<html>hi</html>") << -9 << false;
        QTest::newRow("malformed-status-line")
                << QByteArray("HTTP/1.1 2OO OK\r\n\r\nbody") << QByteArray("body") << -9 << false;
        QTest::newRow("header-never-ends") << ok + "Server: t\r\n" << QByteArray() << -9 << false;
    }

    // The result must not depend on how the response is cut into arrivals:
    // byte by byte, and in two at every position.
    void decodeSplitEverywhere()
    {
        QFETCH(QByteArray, response);
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        QFETCH(bool, completesEarly);

        QList<QList<QByteArray>> splits(1);
        for (const char c : std::as_const(response))
            splits[0].append(QByteArray(1, c));
        const qsizetype step = response.size() > 1000 ? 997 : 1; // the 40 KB header: a sample
        for (qsizetype at = 0; at <= response.size(); at += step)
            splits.append({response.left(at), response.mid(at)});
        for (const QList<QByteArray> &arrivals : std::as_const(splits)) {
            Http::ResponseDecoder decoder;
            Progress progress = Progress::NeedMore;
            for (const QByteArray &arrival : arrivals)
                progress = arrival.isEmpty() ? progress : decoder.feed(arrival);
            const QByteArray where = QByteArray::number(arrivals.size()) + " arrivals, first "
                                     + QByteArray::number(arrivals.value(0).size());
            QVERIFY2(decoder.body() == body, where + ": " + decoder.body().left(80));
            QVERIFY2(decoder.finish() == code, where);
            QVERIFY2((progress == Progress::Complete) == completesEarly, where);
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
        QTest::newRow("size-negative")
                << QList<QByteArray> {chunked + "-5\r\nabc"} << big << Progress::Failed;
        QTest::newRow("size-overflowing-64-bit")
                << QList<QByteArray> {chunked + "ffffffffffffffffff\r\n"} << big
                << Progress::TooLarge;
        QTest::newRow("chunk-not-followed-by-crlf")
                << QList<QByteArray> {chunked + "2\r\nabX\r\n"} << big << Progress::Failed;
        QTest::newRow("endless-size-line")
                << QList<QByteArray> {chunked + "1", QByteArray(70000, '0')} << big
                << Progress::Failed;
        QTest::newRow("endless-plain-body")
                << QList<QByteArray> {"HTTP/1.1 200 OK\r\n\r\n", a600, a600} << qint64(1000)
                << Progress::TooLarge;
        QTest::newRow("endless-header") << QList<QByteArray> {"HTTP/1.1 200 OK\r\nX: ", a600, a600}
                                        << qint64(1000) << Progress::TooLarge;
        QTest::newRow("endless-interim-responses")
                << QList<QByteArray>(50, "HTTP/1.1 100 Continue\r\n\r\n") << qint64(1000)
                << Progress::TooLarge;
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
        QVERIFY(decoder.header().size() + decoder.body().size() <= limit);
        QCOMPARE(decoder.feed("more"), progress); // the end is final
    }

    void extractJpeg_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("errorIn");
        QTest::addColumn<QByteArray>("content"); // "*": the whole response
        QTest::addColumn<int>("errorOut");

        const QByteArray image("\xFF\xD8"
                               "data\xFF\xD9",
                               8);
        QTest::newRow("markers-included") << "junk" + image + "tail" << 0 << image << 0;
        QTest::newRow("start-beyond-32k") << QByteArray(40000, 'p') + image << 0 << image << 0;
        QTest::newRow("no-start") << QByteArray("ab\xFF\xD9") << 0 << QByteArray("*") << -6;
        QTest::newRow("end-before-start")
                << QByteArray("\xFF\xD9xx\xFF\xD8") << 0 << QByteArray("*") << -6;
        QTest::newRow("missing-keeps-earlier-code")
                << QByteArray("none") << -9 << QByteArray("*") << -9;
    }

    void extractJpeg()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, content);
        QFETCH(int, errorIn);
        const QByteArray header("HTTP/1.1 200 OK\r\n\r\n");
        qint16 error = qint16(errorIn);
        QCOMPARE(Http::extractBody(header, body, 1, error),
                 content == "*" ? header + body : content);
        QTEST(int(error), "errorOut");
    }

    void statusText()
    {
        QCOMPARE(CopyHelper::statusText(7, QString()), QStringLiteral("Verbunden"));
        QCOMPARE(CopyHelper::statusText(9, QString()), QStringLiteral("Fehler!"));
        QCOMPARE(CopyHelper::statusText(10, QString()), QStringLiteral("Unbekannter Zustand"));
    }
};

QTEST_APPLESS_MAIN(tst_Http)
#include "tst_http.moc"
