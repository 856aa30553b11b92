#include "base/RuntimeError.h"
#include "downloader/ContentCut.h"
#include "downloader/CopyHelper.h"
#include "platform/WinsockControl.h"
#include "program/Globals.h"
#include "trainer/frmDummy.h"

#include "httptestserver.h"
#include "testsupport.h"

#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

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

    // Each row answers the n-th connection with answers[n - 1] (the last one
    // for all further connections); "RESET" resets the connection instead,
    // "TIMER-GONE-RESET" after deleting the watchdog's timer, so that the
    // retry cannot start; "REFUSE" closes the server before the transfer;
    // "ERROR n" raises socket error n. A transfer of "/prev" comes first:
    // failures hand its contents on.
    void endings_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("connections");
        QTest::addColumn<Http::DecodeFailure>("failure");
        const auto row = [](const char *name, const QList<QByteArray> &answers, int code,
                            const QByteArray &contents = "previous", int connections = 1,
                            Http::DecodeFailure failure = Http::DecodeFailure::None) {
            QTest::newRow(name) << answers << code << contents << connections << failure;
        };
        const auto error = [](int number) { return "ERROR " + QByteArray::number(number); };

        const QByteArray large = QByteArray("\0\x01\x7F\x80\xFFtext\r\n", 11).repeated(300000);
        QByteArray chunked("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
        for (qsizetype i = 0; i < large.size(); i += 100003)
            chunked += QByteArray::number(large.mid(i, 100003).size(), 16) + ";n=1\r\n"
                       + large.mid(i, 100003) + "\r\n";
        chunked += "0\r\nX-Trailer: t\r\n\r\n";

        row("plain-to-close", {"HTTP/1.1 200 OK\r\n\r\n" + large}, 0, large);
        row("chunked", {chunked}, 0, large);
        row("status-404-is-failure", {"HTTP/1.1 404 Not Found\r\n\r\nnot here"}, -9, "not here",
            1, Http::DecodeFailure::StatusNotSuccess);
        row("reset-then-success", {"RESET", ok("second")}, 0, "second", 2);
        row("reset-twice", {"RESET"}, -4, "previous", 2);
        row("retry-cannot-start-ends-once", {"TIMER-GONE-RESET"}, -1);
        row("refused-retried-once", {"REFUSE"}, -3, "previous", 0);
        row("announced-beyond-256-mib", {"HTTP/1.1 200 OK\r\nContent-Length: 268435457\r\n\r\nxyz"},
            -3, "previous", 1, Http::DecodeFailure::TooLarge);
        // Aborts and time-outs are not retried; other socket errors once.
        row("aborted", {error(WinsockControl::sckConnectAborted)}, -7);
        row("socket-control-error", {error(WinsockControl::sckWrongProtocol)}, -4, "previous", 2);
    }

    void endings()
    {
        QFETCH(QList<QByteArray>, answers);
        const ShortTicks ticks;
        Client client;
        TestServer server([&](QTcpSocket *socket, int connection) {
            const QByteArray answer = answers.value(connection - 1, answers.constLast());
            if (answer.startsWith("ERROR "))
                Q_EMIT client.helper->findChild<WinsockControl *>()->error(answer.mid(6).toInt(),
                                                                           QString());
            if (answer.startsWith("ERROR "))
                return;
            if (answer == "TIMER-GONE-RESET")
                delete mForm->findChild<QTimer *>(QStringLiteral("CopyHelper1_Timer"));
            answer.endsWith("RESET") ? resetConnection(socket) : respond(socket, answer);
        });
        const QString where = QStringLiteral("127.0.0.1:%1: ").arg(server.server.serverPort());
        fetchAfterPrevious(client, server, server.url(), [&] {
            if (answers[0] == "REFUSE")
                server.server.close(); // nobody listens there any more
        });
        QCOMPARE(client.helper->getReport(),
                 where + QString::fromUtf8("Hostname wird aufgelöst..."));
        checkEnding(client, server);
        QCOMPARE(client.helper->getReport(), where + QStringLiteral("Nicht aktiv"));
    }

    // The retry after the reset still fetches the original URL.
    void refusedDispatchLeavesTransferAlone()
    {
        QPointer<QTcpSocket> first;
        TestServer server([&](QTcpSocket *socket, int connection) {
            connection == 1 ? void(first = socket) : respond(socket, ok("original"));
        });
        Client client;
        QVERIFY(client.helper->Dispatch(server.url("/original")));
        const QString report = client.helper->getReport().section(QLatin1Char(':'), 0, 1);
        QTRY_VERIFY(first);
        QVERIFY(!client.helper->Dispatch(QStringLiteral("http://127.0.0.1:1/other")));
        QCOMPARE(client.helper->getReport().section(QLatin1Char(':'), 0, 1), report);
        resetConnection(first);
        QTRY_COMPARE(client.calls.size(), 1);
        QCOMPARE(client.calls[0].contents, QByteArray("original"));
        QVERIFY(server.requests.value(1).startsWith("GET /original "));

        // Credentials beyond 8 bits are refused before anything starts; a
        // host that cannot be found ends the transfer at once.
        QVERIFY(!client.helper->Dispatch(
                server.url().replace(QStringLiteral("//"), QStringLiteral("//u:\u20AC@"))));
        QVERIFY(client.helper->Dispatch(QStringLiteral("x:///a")));
        QTRY_COMPARE(client.calls.size(), 2);
        QCOMPARE(client.calls[1].code, qint16(-2));
    }

    // The callback starts the next transfer, after a success and after the
    // watchdog's ending; that transfer runs on.
    void dispatchFromCallback_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("after-success") << false;
        QTest::newRow("after-watchdog-timeout") << true;
    }

    void dispatchFromCallback()
    {
        QFETCH(bool, silent);
        const ShortTicks ticks;
        TestServer server([&](QTcpSocket *socket, int connection) {
            if (connection > 1 || !silent)
                respond(socket, ok("answer " + QByteArray::number(connection)));
        });
        Client client;
        CopyHelper &helper = *client.helper;
        bool started = false, readyAfterCallback = true;
        client.onCall = [&] {
            if (client.calls.size() > 1)
                return;
            started = helper.Dispatch(server.url("/next"));
            // Runs once the ending handler has returned, before the new
            // transfer can have ended.
            QMetaObject::invokeMethod(
                    &client, [&] { readyAfterCallback = helper.isReady(); }, Qt::QueuedConnection);
        };

        QVERIFY(helper.Dispatch(server.url()));
        QTRY_COMPARE(client.calls.size(), 2);
        QVERIFY(started);
        QVERIFY(!readyAfterCallback);
        QCOMPARE(client.calls[0].code, qint16(silent ? -8 : 0));
        QVERIFY(client.calls[0].readyDuring);
        QCOMPARE(client.calls[1].code, qint16(0));
        QCOMPARE(client.calls[1].contents, "answer " + QByteArray::number(server.connections));
        QVERIFY(server.requests.constLast().startsWith("GET /next "));
    }

    // The credentials of the URL go out as Basic authorization; a refused
    // DataType keeps the type set before (JPEG here).
    void credentialsAndDataType()
    {
        const QByteArray image("\xFF\xD8img\xFF\xD9", 7);
        TestServer server([&](QTcpSocket *socket, int) { respond(socket, ok("x" + image)); });
        Client client;
        client.helper->DataType(Http::JpegImage);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, client.helper->DataType(256));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, client.helper->DataType(-1));
        QVERIFY(client.helper->Dispatch(
                server.url().replace(QStringLiteral("//"), QStringLiteral("//us:p:w@"))));
        QTRY_COMPARE(client.calls.size(), 1);
        QCOMPARE(client.calls[0].contents, image);
        QVERIFY(server.requests.value(0).endsWith(
                "Connection: close\r\nAuthorization: Basic dXM6cDp3\r\n\r\n"));
    }

    void releaseFromCallback()
    {
        TestServer server([](QTcpSocket *socket, int) { respond(socket, ok("x")); });
        Client client(&Globals::g_objCopyHelper());
        client.onCall = [] { Globals::releaseCopyHelper(); };
        QVERIFY(client.helper->Dispatch(server.url()));
        QTRY_COMPARE(client.calls.size(), 1);
        QVERIFY(!Globals::hasCopyHelper());
        QTRY_VERIFY(client.helper.isNull()); // deleted once the handler had returned
    }

    // A deleted instance's timer stays on the form, and so does its name:
    // with names 1 to 100 taken, creation fails, as without any form.
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
};

QTEST_MAIN(tst_CopyHelper)
#include "tst_copyhelper.moc"
