// The downloader against scripted servers: one code and one callback per transfer.

#include "base/RuntimeError.h"
#include "downloader/ContentCut.h"
#include "platform/WinsockControl.h"
#include "trainer/frmDummy.h"

#include "httptestserver.h"
#include "testsupport.h"

#include <QTimer>

namespace {

// A connection's answer: head, then `paced` a byte every pauseMs, then the
// ending; or a socketError raised; timerGone removes the watchdog's timer first.
enum class Ending { Close, Reset, Stall };

struct Script
{
    QByteArray head {}, paced {};
    int pauseMs = 0;
    Ending ending = Ending::Close;
    int socketError = 0;
    bool timerGone = false;
};

const QByteArray okHead("HTTP/1.1 200 OK\r\n\r\n");
const QByteArray chunkedHead("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
// 3.3 MB of every kind of byte.
const QByteArray large = QByteArray("\0\x01\x7F\x80\xFFtext\r\n", 11).repeated(300000);

Script sendAll(const QByteArray &bytes, Ending ending = Ending::Close)
{
    return {bytes, {}, 0, ending};
}

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
                         socket->write(script.paced.mid(sent++, 1));
                         socket->flush();
                         if (sent == script.paced.size()) {
                             timer->stop();
                             finish();
                         }
                     });
    timer->start(script.pauseMs);
}

} // namespace

Q_DECLARE_METATYPE(Script)

class tst_CopyHelper : public QObject
{
    Q_OBJECT

    frmDummy *mForm = nullptr;
    int mEndCalls = 0;

private Q_SLOTS:
    void init()
    {
        mForm = new frmDummy; // fresh host form: instance numbers start at 1
        mEndCalls = 0;
        CopyHelper::setEndProgramHandler([this] { ++mEndCalls; });
    }

    void cleanup() { delete std::exchange(mForm, nullptr); }

    // Scripts answer the connections in turn; none: the server is gone.
    void endings_data()
    {
        QTest::addColumn<QList<Script>>("scripts");
        QTest::addColumn<int>("transferTicks");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("connections");
        QTest::addColumn<Http::DecodeFailure>("failure");
        using enum Http::DecodeFailure;
        const auto row = [](const char *name, const QList<Script> &scripts, int code,
                            const QByteArray &contents = "previous", int connections = 1,
                            Http::DecodeFailure failure = None,
                            int transferTicks = CopyHelper::kTransferTicks) {
            QTest::newRow(name) << scripts << transferTicks << code << contents << connections
                                << failure;
        };
        const Script reset = sendAll({}, Ending::Reset);
        const QByteArray oneByteBody(100000, 'b');
        row("plain-to-close", {sendAll(okHead + large)}, 0, large);
        row("status-404-is-failure", {sendAll("HTTP/1.1 404 Not Found\r\n\r\nnot here")}, -9,
            "not here", 1, StatusNotSuccess);
        row("close-before-any-byte", {sendAll({})}, -9, {}, 1, HeadUnfinished);
        // Socket errors are retried once unless the response was complete.
        row("reset-then-success", {reset, sendAll(ok("second"))}, 0, "second", 2);
        row("reset-inside-body-twice",
            {sendAll("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc", Ending::Reset)}, -4,
            "previous", 2);
        row("reset-after-last-chunk",
            {sendAll(chunkedHead + "3\r\nabc\r\n0\r\n\r\n", Ending::Reset)}, 0, "abc");
        row("retry-cannot-start-ends-once", {Script {.ending = Ending::Reset, .timerGone = true}},
            -1);
        row("refused-retried-once", {}, -3, "previous", 0);
        row("aborted", {Script {.socketError = WinsockControl::sckConnectAborted}}, -7);
        // Data resets the idle count; the transfer as a whole stays bounded.
        row("trickle-0.9-ticks-for-15-ticks",
            {Script {okHead, "0123456789abcdefg", ShortTicks::kTickMs * 9 / 10}}, 0,
            "0123456789abcdefg");
        row("trickle-beyond-transfer-bound",
            {Script {okHead, QByteArray(1000, 't'), ShortTicks::kTickMs / 2}}, -8, "previous", 1,
            None, 20);
        row("stall-after-header",
            {sendAll("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", Ending::Stall)}, -8);
        row("100000-one-byte-arrivals",
            {Script {"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n", oneByteBody}}, 0,
            oneByteBody);
        // Floods and sizes over the limits end the transfer as soon as they show.
        row("interim-flood", {sendAll(QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(4000))},
            -9, {}, 1, TooManyInterim);
        row("chunk-of-2^63-1-then-a-stream",
            {sendAll(chunkedHead + "7fffffffffffffff\r\n" + QByteArray(1 << 20, 'z'),
                     Ending::Stall)},
            -3, "previous", 1, TooLarge);
    }

    void endings()
    {
        QFETCH(QList<Script>, scripts);
        QFETCH(int, transferTicks);
        const ShortTicks ticks(transferTicks);
        Client client;
        TestServer server([&](QTcpSocket *socket, int connection) {
            const Script script = scripts.value(connection - 1, scripts.constLast());
            if (script.socketError)
                return Q_EMIT client.helper->findChild<WinsockControl *>()->error(
                        script.socketError, QString());
            if (script.timerGone)
                delete mForm->findChild<QTimer *>(QStringLiteral("CopyHelper1_Timer"));
            play(socket, script);
        });
        const QString where = QStringLiteral("127.0.0.1:%1: ").arg(server.server.serverPort());
        // "/prev" first: its contents are what failures hand on.
        QVERIFY(client.helper->Dispatch(server.url("/prev")));
        QTRY_COMPARE(client.calls.size(), 1);
        const QString url = server.url();
        if (scripts.isEmpty())
            server.server.close(); // nobody listens there any more
        QVERIFY(client.helper->Dispatch(url));
        QCOMPARE(client.helper->getReport(),
                 where + QString::fromUtf8("Hostname wird aufgelöst..."));
        QTRY_COMPARE_WITH_TIMEOUT(client.calls.size(), 2, 20000);
        QTEST(int(client.calls[1].code), "code");
        QTEST(client.calls[1].failure, "failure");
        QTEST(client.calls[1].contents, "contents");
        QTEST(server.connections, "connections");
        QVERIFY(client.calls[1].readyDuring);
        QCOMPARE(client.helper->getReport(), where + QStringLiteral("Nicht aktiv"));
        // The watchdog ends it no second time, nor does a late callback from the socket.
        for (int tick = 0; tick < 2 * CopyHelper::kIdleTicks; ++tick)
            client.helper->mWatchdog_Timer();
        QTest::qWait(3 * ShortTicks::kTickMs);
        QCOMPARE(client.calls.size(), 2);
        QVERIFY(client.helper->isReady());
    }

    // A refused Dispatch or DataType leaves the running transfer alone.
    void refusedDispatchLeavesTransferAlone()
    {
        const QByteArray image("\xFF\xD8img\xFF\xD9", 7);
        QPointer<QTcpSocket> first;
        TestServer server([&](QTcpSocket *socket, int connection) {
            connection == 1 ? void(first = socket) : respond(socket, ok("x" + image));
        });
        Client client;
        client.helper->DataType(Http::JpegImage);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, client.helper->DataType(256));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, client.helper->DataType(-1));
        QVERIFY(client.helper->Dispatch(
                server.url("/original")
                        .replace(QStringLiteral("//"), QStringLiteral("//us:p:w@"))));
        const QString report = client.helper->getReport().section(QLatin1Char(':'), 0, 1);
        QTRY_VERIFY(first);
        QVERIFY(!client.helper->Dispatch(QStringLiteral("http://127.0.0.1:1/other")));
        QCOMPARE(client.helper->getReport().section(QLatin1Char(':'), 0, 1), report);
        resetConnection(first);
        QTRY_COMPARE(client.calls.size(), 1);
        QCOMPARE(client.calls[0].contents, image);
        QVERIFY(server.requests.value(1).startsWith("GET /original "));
        QVERIFY(server.requests.value(1).endsWith(
                "Connection: close\r\nAuthorization: Basic dXM6cDp3\r\n\r\n"));
        // Credentials beyond 8 bits are refused; an unknown host ends at once.
        QVERIFY(!client.helper->Dispatch(
                server.url().replace(QStringLiteral("//"), QStringLiteral("//u:\u20AC@"))));
        QVERIFY(client.helper->Dispatch(QStringLiteral("x:///a")));
        QTRY_COMPARE(client.calls.size(), 2);
        QCOMPARE(client.calls[1].code, qint16(-2));
    }

    // The callback of the watchdog's ending starts the next transfer, which runs on.
    void dispatchFromTimeoutCallback()
    {
        const ShortTicks ticks;
        TestServer server([&](QTcpSocket *socket, int connection) {
            if (connection > 1)
                respond(socket, ok("answer"));
        });
        Client client;
        CopyHelper &helper = *client.helper;
        bool started = false, readyAfterCallback = true;
        client.onCall = [&] {
            if (client.calls.size() > 1)
                return;
            started = helper.Dispatch(server.url("/next"));
            // Runs after the ending handler, before the new transfer can end.
            QMetaObject::invokeMethod(
                    &client, [&] { readyAfterCallback = helper.isReady(); }, Qt::QueuedConnection);
        };
        QVERIFY(helper.Dispatch(server.url()));
        QTRY_COMPARE(client.calls.size(), 2);
        QVERIFY(started && !readyAfterCallback && client.calls[0].readyDuring);
        QCOMPARE(client.calls[0].code, qint16(-8));
        QCOMPARE(client.calls[1].code, qint16(0));
        QCOMPARE(client.calls[1].contents, QByteArray("answer"));
        QVERIFY(server.requests.constLast().startsWith("GET /next "));
    }

    // A deleted instance's timer keeps its name; with 1 to 100 taken, creation fails.
    void instanceNames()
    {
        QCOMPARE(std::make_unique<CopyHelper>()->getName(), QStringLiteral("CopyHelper1"));
        CopyHelper second;
        QCOMPARE(second.getName(), QStringLiteral("CopyHelper2"));
        for (int n = 3; n <= 100; ++n)
            (new QObject(mForm))->setObjectName(QStringLiteral("CopyHelper%1_Timer").arg(n));
        MsgBoxRecorder boxes;
        QVERIFY_THROWS_EXCEPTION(RuntimeError, CopyHelper());
        QCOMPARE(mEndCalls, 1);
        QCOMPARE(boxes.boxes.value(0).prompt,
                 QString::fromUtf8("Fehler beim Anlegen der Timer des CopyHelpers!\r\nDas Programm "
                                   "muß beendet werden!"));
        cleanup();
        QVERIFY_THROWS_EXCEPTION(RuntimeError, CopyHelper());
        QCOMPARE(mEndCalls, 2);
    }

    // Data left in the socket is reported once, and can still be taken later.
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

QTEST_MAIN(tst_CopyHelper)
#include "tst_copyhelper.moc"
