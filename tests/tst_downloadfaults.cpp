// Hostile and broken servers against the whole downloader, on 127.0.0.1:
// every row ends with one code and exactly one callback, however the server
// paces, breaks or floods the response.

#include "downloader/CopyHelper.h"
#include "platform/WinsockControl.h"
#include "trainer/frmDummy.h"

#include "httptestserver.h"

#include <QTest>
#include <QTimer>

namespace {

// What the server does once it has read the request: send head at once,
// then paced in pieces of `piece` bytes, one piece every pauseMs (0: every
// turn of the event loop), then end the connection.
enum class Ending { Close, Reset, Stall };

struct Script
{
    QByteArray head;
    QByteArray paced;
    int piece = 1;
    int pauseMs = 0;
    Ending ending = Ending::Close;
};

void play(QTcpSocket *socket, const Script &script)
{
    socket->write(script.head);
    socket->flush();
    auto finish = [socket, ending = script.ending] {
        if (ending == Ending::Close)
            socket->disconnectFromHost();
        else if (ending == Ending::Reset)
            resetConnection(socket);
    };
    if (script.paced.isEmpty())
        return finish();
    auto *timer = new QTimer(socket);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, socket,
                     [socket, timer, script, finish, sent = qsizetype(0)]() mutable {
                         socket->write(script.paced.mid(sent, script.piece));
                         socket->flush();
                         sent += script.piece;
                         if (sent >= script.paced.size()) {
                             timer->stop();
                             finish();
                         }
                     });
    timer->start(script.pauseMs);
}

Script sendAll(const QByteArray &bytes, Ending ending = Ending::Close)
{
    return {bytes, {}, 1, 0, ending};
}

Script trickle(const QByteArray &head, const QByteArray &paced, int piece, int pauseMs)
{
    return {head, paced, piece, pauseMs, Ending::Close};
}

} // namespace

Q_DECLARE_METATYPE(Script)

class tst_DownloadFaults : public QObject
{
    Q_OBJECT

    frmDummy *mForm = nullptr;

private Q_SLOTS:
    void init() { mForm = new frmDummy; }
    void cleanup() { delete std::exchange(mForm, nullptr); }

    // Every hostile server behaviour over a real socket; the decoder's own
    // test runs each framing fault split by split.
    void faults_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<int>("transferTicks");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("connections");
        QTest::addColumn<Http::DecodeFailure>("failure");
        using enum Http::DecodeFailure;
        const auto row = [](const char *name, const Script &script, int code,
                            const QByteArray &contents, int connections = 1,
                            Http::DecodeFailure failure = None,
                            int transferTicks = CopyHelper::kTransferTicks) {
            QTest::newRow(name) << script << transferTicks << code << contents << connections
                                << failure;
        };
        const QByteArray previous("previous");
        const QByteArray okHead("HTTP/1.1 200 OK\r\n\r\n");
        const QByteArray oneByteBody(100000, 'b');
        const QByteArray chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");

        // Interim (1xx) responses: at most 32, each skipped in linear time.
        row("interim-flood", sendAll(QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(4000)),
            -9, {}, 1, TooManyInterim);
        row("interim-flood-short-form", sendAll(QByteArray("HTTP/1.1 100\n\n").repeated(8000)), -9,
            {}, 1, TooManyInterim);
        // Pacing: data resets the idle count, but the transfer as a whole is
        // bounded however it trickles.
        row("trickle-0.9-ticks-for-15-ticks",
            trickle(okHead, "0123456789abcdefg", 1, ShortTicks::kTickMs * 9 / 10), 0,
            "0123456789abcdefg");
        row("trickle-beyond-transfer-bound",
            trickle(okHead, QByteArray(1000, 't'), 1, ShortTicks::kTickMs / 2), -8, previous, 1,
            None, 20);
        row("stall-after-header",
            sendAll("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", Ending::Stall), -8, previous);
        row("100000-one-byte-arrivals",
            trickle("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", oneByteBody, 1, 0), 0,
            oneByteBody);
        // Resets: retried once, unless the response was already complete.
        row("reset-inside-body",
            sendAll("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc", Ending::Reset), -4, previous,
            2);
        row("reset-after-last-chunk", sendAll(chunked + "3\r\nabc\r\n0\r\n\r\n", Ending::Reset), 0,
            "abc");
        row("reset-inside-header", sendAll("HTTP/1.1 200 OK\r\nContent-Le", Ending::Reset), -4,
            previous, 2);
        row("close-before-any-byte", sendAll({}), -9, {}, 1, HeadUnfinished);
        // A line over the limit in pieces ends the transfer as soon as it shows.
        row("long-chunk-extension-in-pieces",
            trickle(chunked, "3;" + QByteArray(70000, 'x') + "\r\nabc\r\n0\r\n\r\n", 4096, 0),
            -9, {}, 1, ChunkLineTooLong);
        // A size beyond the room left ends at once, however much follows.
        row("chunk-of-2^63-1-then-a-stream",
            sendAll(chunked + "7fffffffffffffff\r\n" + QByteArray(1 << 20, 'z'), Ending::Stall),
            -3, previous, 1, TooLarge);
    }

    void faults()
    {
        QFETCH(Script, script);
        QFETCH(int, transferTicks);
        const ShortTicks shortTicks(transferTicks);
        TestServer server([&](QTcpSocket *socket, int) { play(socket, script); });
        Client client;
        fetchAfterPrevious(client, server, server.url());
        checkEnding(client, server);
        // Nor a late one from the socket.
        QTest::qWait(3 * ShortTicks::kTickMs);
        QCOMPARE(client.calls.size(), 2);
        QVERIFY(client.helper->isReady());
    }

    // Data the consumer leaves in the socket is reported once, not again and
    // again, and can still be taken later.
    void untakenDataReportedOnce()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QTcpSocket *peer = nullptr;
        QObject::connect(&server, &QTcpServer::newConnection, &server,
                         [&] { peer = server.nextPendingConnection(); });
        WinsockControl socket;
        int arrivals = 0;
        QObject::connect(&socket, &WinsockControl::dataArrival, &socket, [&] { ++arrivals; });
        socket.setRemotePort(server.serverPort());
        socket.Connect(QStringLiteral("127.0.0.1"));
        QTRY_VERIFY(peer && socket.State() == WinsockControl::sckConnected);
        peer->write("abc");
        QTRY_COMPARE(arrivals, 1);
        QTest::qWait(5 * ShortTicks::kTickMs);
        QCOMPARE(arrivals, 1);
        QCOMPARE(socket.GetData(), QByteArray("abc"));
    }
};

QTEST_MAIN(tst_DownloadFaults)
#include "tst_downloadfaults.moc"
