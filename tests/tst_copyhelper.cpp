#include "downloader/CopyHelper.h"
#include "support/Globals.h"
#include "support/RuntimeError.h"
#include "testsupport.h"
#include "trainer/frmDummy.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>

#include <functional>
#include <memory>

namespace {

// Sends RST instead of FIN: linger on with a zero timeout, then close.
void resetConnection(QTcpSocket *socket)
{
    const linger hard {1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

void respond(QTcpSocket *socket, const QByteArray &response)
{
    socket->write(response);
    socket->disconnectFromHost();
}

QByteArray ok(const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray pattern(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 131 + i / 7) & 0xFF);
    return data;
}

} // namespace

// A scripted HTTP server on 127.0.0.1. Each connection goes, once its
// request has arrived, to the handler of the running test, numbered from 1;
// requests for "/prev" are answered here with the body "previous".
class TestServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(QTcpSocket *socket, int connection)>;

    explicit TestServer(Handler handler)
        : mHandler(std::move(handler))
    {
        mServer.listen(QHostAddress::LocalHost, 0);
        connect(&mServer, &QTcpServer::newConnection, this, &TestServer::accept);
    }

    QString url(const QString &path = QStringLiteral("/f")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(mServer.serverPort()).arg(path);
    }
    quint16 port() const { return mServer.serverPort(); }

    QList<QByteArray> requests;
    int connections = 0;

private:
    void accept()
    {
        while (QTcpSocket *socket = mServer.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                if (request->endsWith("\r\n\r\n"))
                    return; // complete already; nothing more is expected
                *request += socket->readAll();
                if (!request->endsWith("\r\n\r\n"))
                    return;
                if (request->startsWith("GET /prev ")) {
                    respond(socket, ok("previous"));
                    return;
                }
                requests.append(*request);
                mHandler(socket, ++connections);
            });
        }
    }

    QTcpServer mServer;
    Handler mHandler;
};

// The parent that is called back: records every call and what the helper
// answered during it.
class Receiver : public QObject
{
    Q_OBJECT
public:
    struct Call {
        QByteArray contents;
        qint16 code;
        bool readyDuring;
    };

    Q_INVOKABLE void CHCallBack(QByteArray &arrContents, qint16 &chError)
    {
        calls.append({arrContents, chError, helper && helper->isReady()});
        if (onCall)
            onCall();
    }

    QPointer<CopyHelper> helper;
    QList<Call> calls;
    std::function<void()> onCall;
};

// A downloader whose parent is a recording receiver.
struct Client {
    Client()
    {
        receiver.helper = &helper;
        helper.Parent(&receiver);
    }
    CopyHelper helper;
    Receiver receiver;
};

class tst_CopyHelper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void endings_data();
    void endings();
    void failuresBeforeConnecting_data();
    void failuresBeforeConnecting();
    void silentServerTimesOut();
    void retryThatCannotStartEndsOnce();
    void refusedDispatchLeavesTransferAlone();
    void dispatchFromCallback_data();
    void dispatchFromCallback();
    void releaseFromCallback();
    void instanceNames();
    void creationFailure_data();
    void creationFailure();

private:
    frmDummy *mForm = nullptr;
    int mEndCalls = 0;
};

void tst_CopyHelper::initTestCase()
{
    CopyHelper::setEndProgramHandler([this] { ++mEndCalls; });
}

void tst_CopyHelper::init()
{
    mForm = new frmDummy; // fresh host form: instance numbers start at 1
    mEndCalls = 0;
}

void tst_CopyHelper::cleanup()
{
    delete mForm;
    mForm = nullptr;
}

// Each row answers the n-th connection with answers[n - 1] (the last one
// for all further connections); "RESET" resets the connection instead.
void tst_CopyHelper::endings_data()
{
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("connections");

    const QByteArray large = pattern(3 * 1024 * 1024 + 17);
    QByteArray chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    for (qsizetype i = 0; i < large.size(); i += 100003)
        chunked += QByteArray::number(large.mid(i, 100003).size(), 16) + ";n=1\r\n" + large.mid(i, 100003) + "\r\n";
    chunked += "0\r\nX-Trailer: t\r\n\r\n";

    QTest::newRow("plain-to-close") << QList<QByteArray>{"HTTP/1.1 200 OK\r\n\r\n" + large} << 0 << large << 1;
    QTest::newRow("chunked") << QList<QByteArray>{chunked} << 0 << large << 1;
    QTest::newRow("status-404-is-failure")
        << QList<QByteArray>{"HTTP/1.1 404 Not Found\r\n\r\nnot here"} << -9 << QByteArray("not here") << 1;
    QTest::newRow("closed-without-data") << QList<QByteArray>{""} << -9 << QByteArray() << 1;
    QTest::newRow("reset-then-success") << QList<QByteArray>{"RESET", ok("second")} << 0 << QByteArray("second") << 2;
    QTest::newRow("reset-twice") << QList<QByteArray>{"RESET"} << -4 << QByteArray("previous") << 2;
    QTest::newRow("body-cut-short")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart"} << -9 << QByteArray("part") << 1;
    QTest::newRow("announced-beyond-256-mib")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 268435457\r\n\r\nxyz"} << -3 << QByteArray("previous") << 1;
}

void tst_CopyHelper::endings()
{
    QFETCH(QList<QByteArray>, answers);
    TestServer server([&](QTcpSocket *socket, int connection) {
        const QByteArray answer = answers.value(connection - 1, answers.constLast());
        if (answer == "RESET")
            resetConnection(socket);
        else
            respond(socket, answer);
    });
    Client client;
    Receiver &receiver = client.receiver;
    QVERIFY(client.helper.Dispatch(server.url(QStringLiteral("/prev"))));
    QTRY_COMPARE(receiver.calls.size(), 1);
    QCOMPARE(receiver.calls[0].contents, QByteArray("previous"));

    QVERIFY(client.helper.Dispatch(server.url()));
    const QString where = QStringLiteral("127.0.0.1:%1: ").arg(server.port());
    QCOMPARE(client.helper.getReport(), where + QString::fromUtf8("Hostname wird aufgelöst..."));
    QTRY_COMPARE(receiver.calls.size(), 2);
    QTEST(int(receiver.calls[1].code), "code");
    QFETCH(QByteArray, contents);
    QVERIFY2(receiver.calls[1].contents == contents, receiver.calls[1].contents.left(40).toPercentEncoding());
    QTEST(server.connections, "connections");
    QVERIFY(receiver.calls[1].readyDuring);
    QVERIFY(!client.helper.isBusy());
    QCOMPARE(client.helper.getReport(), where + QStringLiteral("Nicht aktiv"));
    QCOMPARE(receiver.calls.size(), 2);
}

void tst_CopyHelper::failuresBeforeConnecting_data()
{
    QTest::addColumn<bool>("emptyHost");
    QTest::addColumn<int>("code");
    QTest::newRow("refused-retried-once") << false << -3;
    QTest::newRow("host-not-found-not-retried") << true << -2;
}

void tst_CopyHelper::failuresBeforeConnecting()
{
    QFETCH(bool, emptyHost);
    quint16 port = 0;
    {
        QTcpServer closed; // a port where nobody listens any more
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    Client client;
    QVERIFY(client.helper.Dispatch(emptyHost ? QStringLiteral("x:///a")
                                             : QStringLiteral("http://127.0.0.1:%1/a").arg(port)));
    QTRY_COMPARE(client.receiver.calls.size(), 1);
    QTEST(int(client.receiver.calls[0].code), "code");
    QVERIFY(client.helper.isReady());
}

void tst_CopyHelper::silentServerTimesOut()
{
    TestServer server([](QTcpSocket *, int) {}); // reads the request, never answers
    Client client;
    client.helper.Dispatch(server.url(QStringLiteral("/prev")));
    QTRY_COMPARE(client.receiver.calls.size(), 1);

    QVERIFY(client.helper.Dispatch(server.url()));
    QTRY_COMPARE(client.helper.getStatus(), QStringLiteral("Verbunden - Auf Antwort warten..."));
    for (int tick = 1; tick < 10; ++tick)
        client.helper.mWatchdog_Timer();
    QCOMPARE(client.receiver.calls.size(), 1);
    client.helper.mWatchdog_Timer();
    QCOMPARE(client.receiver.calls.size(), 2);
    QCOMPARE(client.receiver.calls[1].code, qint16(-8));
    QCOMPARE(client.receiver.calls[1].contents, QByteArray("previous"));
    QVERIFY(!client.receiver.calls[1].readyDuring);
    QVERIFY(client.helper.isReady());
}

// The watchdog's timer goes with its form during the transfer, so the retry
// after a reset cannot start.
void tst_CopyHelper::retryThatCannotStartEndsOnce()
{
    TestServer server([&](QTcpSocket *socket, int) {
        delete mForm->findChild<QTimer *>(QStringLiteral("CopyHelper1_Timer"));
        resetConnection(socket);
    });
    Client client;
    QVERIFY(client.helper.Dispatch(server.url()));
    QTRY_COMPARE(client.receiver.calls.size(), 1);
    QCOMPARE(client.receiver.calls[0].code, qint16(-1));
    QVERIFY(client.helper.isReady());
    for (int tick = 0; tick < 12; ++tick)
        client.helper.mWatchdog_Timer();
    QCOMPARE(client.receiver.calls.size(), 1);
}

void tst_CopyHelper::refusedDispatchLeavesTransferAlone()
{
    QPointer<QTcpSocket> first;
    TestServer server([&](QTcpSocket *socket, int connection) {
        if (connection == 1)
            first = socket; // reset below, while a second Dispatch is refused
        else
            respond(socket, ok("original"));
    });
    Client client;
    QVERIFY(client.helper.Dispatch(server.url(QStringLiteral("/original"))));
    const QString report = client.helper.getReport().section(QLatin1Char(':'), 0, 1);
    QTRY_VERIFY(first);
    QVERIFY(!client.helper.Dispatch(QStringLiteral("http://127.0.0.2:1/other")));
    QCOMPARE(client.helper.getReport().section(QLatin1Char(':'), 0, 1), report);
    resetConnection(first);

    QTRY_COMPARE(client.receiver.calls.size(), 1);
    QCOMPARE(client.receiver.calls[0].contents, QByteArray("original"));
    QVERIFY(server.requests.value(1).startsWith("GET /original "));

    // Credentials beyond 8 bits are refused before anything starts.
    const QString euro = QStringLiteral("http://u:%1@127.0.0.1:%2/").arg(QChar(0x20AC)).arg(server.port());
    QVERIFY(!client.helper.Dispatch(euro));
    QVERIFY(client.helper.isReady());
    QCOMPARE(server.connections, 2);
}

void tst_CopyHelper::dispatchFromCallback_data()
{
    QTest::addColumn<bool>("firstTimesOut");
    QTest::newRow("after-success") << false;
    QTest::newRow("after-timeout") << true;
}

void tst_CopyHelper::dispatchFromCallback()
{
    QFETCH(bool, firstTimesOut);
    TestServer server([&](QTcpSocket *socket, int connection) {
        if (connection > 1 || !firstTimesOut)
            respond(socket, ok("answer " + QByteArray::number(connection)));
    });
    Client client;
    CopyHelper &helper = client.helper;
    bool started = false;
    bool readyAfterCallback = true;
    client.receiver.onCall = [&] {
        if (client.receiver.calls.size() != 1)
            return;
        started = helper.Dispatch(server.url(QStringLiteral("/next")));
        // Runs once the ending handler has returned, before the new
        // transfer can have ended.
        QMetaObject::invokeMethod(
            &client.receiver, [&] { readyAfterCallback = helper.isReady(); }, Qt::QueuedConnection);
    };

    QVERIFY(helper.Dispatch(server.url()));
    if (firstTimesOut) {
        QTRY_COMPARE(server.connections, 1);
        for (int tick = 0; tick < 10; ++tick)
            helper.mWatchdog_Timer();
    }
    QTRY_COMPARE(client.receiver.calls.size(), 2);
    QVERIFY(started);
    QVERIFY(!readyAfterCallback); // the second transfer ran on
    QCOMPARE(client.receiver.calls[0].code, qint16(firstTimesOut ? -8 : 0));
    QCOMPARE(client.receiver.calls[1].code, qint16(0));
    QCOMPARE(client.receiver.calls[1].contents, "answer " + QByteArray::number(server.connections));
    QVERIFY(server.requests.constLast().startsWith("GET /next "));
}

void tst_CopyHelper::releaseFromCallback()
{
    TestServer server([](QTcpSocket *socket, int) { respond(socket, ok("x")); });
    Receiver receiver;
    receiver.onCall = [] { Globals::releaseCopyHelper(); };
    QPointer<CopyHelper> helper = &Globals::g_objCopyHelper();
    helper->Parent(&receiver);
    QVERIFY(helper->Dispatch(server.url()));
    QTRY_COMPARE(receiver.calls.size(), 1);
    QVERIFY(!Globals::hasCopyHelper());
    QTRY_VERIFY(helper.isNull()); // deleted once the handler had returned
}

void tst_CopyHelper::instanceNames()
{
    auto first = std::make_unique<CopyHelper>();
    CopyHelper second;
    QCOMPARE(first->getName(), QStringLiteral("CopyHelper1"));
    QCOMPARE(second.getName(), QStringLiteral("CopyHelper2"));
    QVERIFY(mForm->findChild<QTimer *>(QStringLiteral("CopyHelper2_Timer")));
    first.reset(); // its timer stays on the form, and so does its name
    CopyHelper third;
    QCOMPARE(third.getName(), QStringLiteral("CopyHelper3"));
}

void tst_CopyHelper::creationFailure_data()
{
    QTest::addColumn<int>("takenNames");
    QTest::addColumn<bool>("formLoaded");
    QTest::newRow("101st-instance") << 100 << true;
    QTest::newRow("no-form-loaded") << 0 << false;
}

void tst_CopyHelper::creationFailure()
{
    QFETCH(int, takenNames);
    QFETCH(bool, formLoaded);
    for (int n = 1; n <= takenNames; ++n)
        (new QObject(mForm))->setObjectName(QStringLiteral("CopyHelper%1_Timer").arg(n));
    if (!formLoaded) {
        delete mForm;
        mForm = nullptr;
    }

    MsgBoxRecorder boxes;
    QVERIFY_THROWS_EXCEPTION(RuntimeError, CopyHelper());
    QCOMPARE(mEndCalls, 1);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].prompt, QString::fromUtf8("Fehler beim Anlegen der Timer des CopyHelpers!\r\n"
                                                      "Das Programm muß beendet werden!"));
    QCOMPARE(boxes.boxes[0].style, int(vbOKOnly));
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("VerbodromEN"));
}

QTEST_MAIN(tst_CopyHelper)
#include "tst_copyhelper.moc"
