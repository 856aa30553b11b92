#include "downloader/CopyHelper.h"
#include "downloader/Http.h"

#include <QTest>

using Progress = Http::ResponseDecoder::Progress;
Q_DECLARE_METATYPE(Progress)

class tst_Http : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitUrl_data();
    void splitUrl();
    void request_data();
    void request();
    void decodeSplitEverywhere_data();
    void decodeSplitEverywhere();
    void hostileResponses_data();
    void hostileResponses();
    void extractBody_data();
    void extractBody();
    void statusText_data();
    void statusText();
};

void tst_Http::splitUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("userInfo");

    QTest::newRow("host-and-path") << "x://host/dir/file.txt" << true << "host" << 80 << "/dir/file.txt" << "";
    QTest::newRow("host-only") << "x://host" << true << "host" << 80 << "/" << "";
    QTest::newRow("host-slash") << "x://host/" << true << "host" << 80 << "/" << "";
    QTest::newRow("port-and-query-with-slash") << "x://host:8080/a/b?c=d/e" << true << "host" << 8080 << "/a/b?c=d/e" << "";
    QTest::newRow("colon-no-port") << "x://host:/a" << true << "host" << 80 << "/a" << "";
    QTest::newRow("port-zero") << "x://host:0/a" << true << "host" << 80 << "/a" << "";
    QTest::newRow("port-trailing-letters") << "x://host:8080abc/a" << true << "host" << 8080 << "/a" << "";
    QTest::newRow("empty-userinfo") << "x://@host/a" << true << "host" << 80 << "/a" << "";
    QTest::newRow("empty-host") << "x:///a" << true << "" << 80 << "/a" << "";
    QTest::newRow("leading-slash") << "/x://host/a" << false << "" << 80 << "/" << "";
    QTest::newRow("no-scheme-separator") << "host/a" << false << "" << 80 << "/" << "";
    QTest::newRow("credentials") << "http://user:pa:ss@host:81/f" << true << "host" << 81 << "/f" << "user:pa:ss";
    QTest::newRow("port-blanks-ignored") << "x://host:8 0\t8\n0/a" << true << "host" << 8080 << "/a" << "";
    QTest::newRow("port-half-rounds-even-up") << "x://host:81.5/a" << true << "host" << 82 << "/a" << "";
    QTest::newRow("port-above-65535-passed-on") << "x://host:70000/a" << true << "host" << 70000 << "/a" << "";
    QTest::newRow("port-beyond-32-bit") << "x://host:2147483648/a" << false << "host" << 80 << "/" << "";
}

void tst_Http::splitUrl()
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

void tst_Http::request_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("authorization");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("without-credentials")
        << "/Updates/Version.txt" << "example.test" << ""
        << QByteArray("GET /Updates/Version.txt HTTP/1.1\r\nAccept: */*\r\nHost: example.test\r\n"
                      "Connection: close\r\n\r\n");
    QTest::newRow("with-credentials")
        << "/a" << "h" << "dTpw"
        << QByteArray("GET /a HTTP/1.1\r\nAccept: */*\r\nHost: h\r\nConnection: close\r\n"
                      "Authorization: Basic dTpw\r\n\r\n");
    QTest::newRow("line-break-in-path-escaped")
        << "/a b\r\nX-Injected: 1" << "h" << ""
        << QByteArray("GET /a%20b%0D%0AX-Injected:%201 HTTP/1.1\r\nAccept: */*\r\nHost: h\r\n"
                      "Connection: close\r\n\r\n");
}

void tst_Http::request()
{
    QFETCH(QString, path);
    QFETCH(QString, host);
    QFETCH(QString, authorization);
    QTEST(Http::buildRequest(path, host, authorization), "expected");
}

void tst_Http::decodeSplitEverywhere_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("chunkState");
    QTest::addColumn<bool>("completesEarly"); // the body end is known before the close

    const QByteArray ok("HTTP/1.1 200 OK\r\n");
    const QByteArray te("Transfer-Encoding: chunked\r\n\r\n");
    QTest::newRow("plain-content-length")
        << ok + "Content-Length: 11\r\n\r\nhello\r\n\r\nyo" << QByteArray("hello\r\n\r\nyo") << 0 << -1 << true;
    QTest::newRow("plain-to-close") << ok + "\r\nline1\r\n\r\nline2" << QByteArray("line1\r\n\r\nline2") << 0 << -1 << false;
    QTest::newRow("content-length-excess-dropped")
        << ok + "Content-Length: 3\r\n\r\nabcdef" << QByteArray("abc") << 0 << -1 << true;
    QTest::newRow("chunked-extensions-and-trailers")
        << ok + te + "3;name=\"v;x\"\r\nabc\r\nA ; e\r\n0123456789\r\nb\r\nabcdefghijk\r\n0;last\r\nX-Sum: 1\r\n\r\n"
        << QByteArray("abc0123456789abcdefghijk") << 0 << 1 << true;
    QTest::newRow("chunk-data-looking-like-framing")
        << ok + te + "7\r\n\r\n0\r\n\r\n\r\n0\r\n\r\n" << QByteArray("\r\n0\r\n\r\n") << 0 << 1 << true;
    QTest::newRow("header-names-any-case")
        << QByteArray("HTTP/1.1 200 OK\r\ntransfer-encoding: gzip, Chunked\r\nContent-Length: 9\r\n\r\n2\r\nok\r\n0\r\n\r\n")
        << QByteArray("ok") << 0 << 1 << true;
    QTest::newRow("transfer-encoding-in-body-only")
        << ok + "\r\nTransfer-Encoding: chunked\r\n" << QByteArray("Transfer-Encoding: chunked\r\n") << 0 << -1 << false;
    QTest::newRow("header-beyond-32k")
        << ok + "X-Big: " + QByteArray(40000, 'x') + "\r\nContent-Length: 4\r\n\r\nbody" << QByteArray("body") << 0 << -1 << true;
    QTest::newRow("interim-response-skipped")
        << "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 2\r\n\r\nhi" << QByteArray("hi") << 0 << -1 << true;
    // Failures end with -9 and the body as received.
    QTest::newRow("closed-before-any-byte") << QByteArray() << QByteArray() << -9 << 0 << false;
    QTest::newRow("status-404")
        << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found") << QByteArray("not found") << -9 << -1 << true;
    QTest::newRow("cut-short-content-length") << ok + "Content-Length: 10\r\n\r\nabc" << QByteArray("abc") << -9 << -1 << false;
    QTest::newRow("chunked-without-last-chunk") << ok + te + "3\r\nabc\r\n" << QByteArray("abc") << -9 << 1 << false;
    QTest::newRow("no-status-line") << QByteArray("<html>hi</html>") << QByteArray("<html>hi</html>") << -9 << -1 << false;
    QTest::newRow("malformed-status-line") << QByteArray("HTTP/1.1 2OO OK\r\n\r\nbody") << QByteArray("body") << -9 << -1 << false;
    QTest::newRow("header-never-ends") << ok + "Server: t\r\n" << QByteArray() << -9 << 0 << false;
}

// The result must not depend on how the response is cut into arrivals:
// in two at every position, and byte by byte.
void tst_Http::decodeSplitEverywhere()
{
    QFETCH(QByteArray, response);
    QFETCH(QByteArray, body);
    QFETCH(int, code);
    QFETCH(int, chunkState);
    QFETCH(bool, completesEarly);

    const qsizetype step = response.size() > 1000 ? 997 : 1; // the 40 KB header: a sample
    QList<QList<QByteArray>> splits;
    for (qsizetype split = 0; split <= response.size(); split += step)
        splits.append({response.left(split), response.mid(split)});
    if (response.size() < 1000) {
        splits.append(QList<QByteArray>());
        for (const char c : std::as_const(response))
            splits.last().append(QByteArray(1, c));
    }
    for (const QList<QByteArray> &arrivals : std::as_const(splits)) {
        Http::ResponseDecoder decoder;
        Progress progress = Progress::NeedMore;
        for (const QByteArray &arrival : arrivals) {
            if (!arrival.isEmpty())
                progress = decoder.feed(arrival);
        }
        const QByteArray where = "first arrival " + QByteArray::number(arrivals.value(0).size());
        QVERIFY2(decoder.body() == body, where + ": " + decoder.body().left(80));
        QVERIFY2(decoder.finish() == code, where);
        QVERIFY2(decoder.chunkState() == chunkState, where);
        QVERIFY2((progress == Progress::Complete) == completesEarly, where);
    }
}

void tst_Http::hostileResponses_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<Progress>("progress");

    const qint64 big = Http::kResponseLimit;
    const QByteArray chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    QTest::newRow("size-negative") << QList<QByteArray>{chunked + "-5\r\nabc"} << big << Progress::Failed;
    QTest::newRow("size-overflowing-64-bit") << QList<QByteArray>{chunked + "ffffffffffffffffff\r\n"} << big << Progress::TooLarge;
    QTest::newRow("chunk-not-followed-by-crlf") << QList<QByteArray>{chunked + "2\r\nabX\r\n"} << big << Progress::Failed;
    QTest::newRow("endless-size-line") << QList<QByteArray>{chunked + "1", QByteArray(70000, '0')} << big << Progress::Failed;
    QTest::newRow("content-length-beyond-limit")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 268435457\r\n\r\n"} << big << Progress::TooLarge;
    QTest::newRow("endless-plain-body")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\n\r\n", QByteArray(600, 'a'), QByteArray(600, 'a')} << qint64(1000) << Progress::TooLarge;
    QTest::newRow("endless-header")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nX: ", QByteArray(600, 'a'), QByteArray(600, 'a')} << qint64(1000) << Progress::TooLarge;
    QTest::newRow("endless-interim-responses") << QList<QByteArray>(50, "HTTP/1.1 100 Continue\r\n\r\n") << qint64(1000) << Progress::TooLarge;
}

void tst_Http::hostileResponses()
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

void tst_Http::extractBody_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("dataType");
    QTest::addColumn<int>("errorIn");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("errorOut");

    const QByteArray head("HTTP/1.1 200 OK\r\n\r\n");
    const QByteArray image("\xFF\xD8" "data\xFF\xD9", 8);
    QTest::newRow("body") << head << QByteArray("a\r\n\r\nb") << 0 << 0 << QByteArray("a\r\n\r\nb") << 0;
    QTest::newRow("jpeg-markers-included") << head << "junk" + image + "tail" << 1 << 0 << image << 0;
    QTest::newRow("jpeg-no-start") << head << QByteArray("ab\xFF\xD9") << 1 << 0 << head + "ab\xFF\xD9" << -6;
    QTest::newRow("jpeg-end-before-start")
        << head << QByteArray("\xFF\xD9xx\xFF\xD8") << 1 << 0 << head + "\xFF\xD9xx\xFF\xD8" << -6;
    QTest::newRow("jpeg-missing-keeps-earlier-code")
        << head << QByteArray("none") << 1 << -9 << head + "none" << -9;
    QTest::newRow("jpeg-start-beyond-32k")
        << head << QByteArray(40000, 'p') + image << 1 << 0 << image << 0;
}

void tst_Http::extractBody()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, body);
    QFETCH(int, dataType);
    QFETCH(int, errorIn);
    qint16 error = qint16(errorIn);
    QTEST(Http::extractBody(header, body, quint8(dataType), error), "content");
    QTEST(int(error), "errorOut");
}

void tst_Http::statusText_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("progress");
    QTest::addColumn<QString>("expected");

    QTest::newRow("0-closed") << 0 << "" << "Nicht aktiv";
    QTest::newRow("4-resolving") << 4 << "" << QString::fromUtf8("Hostname wird aufgelöst...");
    QTest::newRow("7-connected") << 7 << "" << "Verbunden";
    QTest::newRow("7-connected-progress") << 7 << "Verbunden - Auf Antwort warten..." << "Verbunden - Auf Antwort warten...";
    QTest::newRow("9-error") << 9 << "" << "Fehler!";
    QTest::newRow("10-unknown") << 10 << "" << "Unbekannter Zustand";
}

void tst_Http::statusText()
{
    QFETCH(int, state);
    QFETCH(QString, progress);
    QTEST(CopyHelper::statusText(state, progress), "expected");
}

QTEST_APPLESS_MAIN(tst_Http)
#include "tst_http.moc"
