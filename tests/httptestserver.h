#pragma once

// Scripted HTTP servers on 127.0.0.1 and a recording CopyHelper parent.

#include "downloader/CopyHelper.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <memory>
#include <utility>

#include <sys/socket.h>

// Sends RST instead of FIN: linger on with a zero timeout, then close.
inline void resetConnection(QTcpSocket *socket)
{
    const linger hard {1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

Q_DECLARE_METATYPE(Http::DecodeFailure)

inline void respond(QTcpSocket *socket, const QByteArray &response)
{
    socket->write(response);
    socket->disconnectFromHost();
}

inline QByteArray ok(const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
           + body;
}

// The body in chunks with an extension each, and a trailer.
inline QByteArray chunked(const QByteArray &body)
{
    constexpr qsizetype size = 100003;
    QByteArray response("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    for (qsizetype i = 0; i < body.size(); i += size)
        response += QByteArray::number(body.mid(i, size).size(), 16) + ";n=1\r\n"
                    + body.mid(i, size) + "\r\n";
    return response + "0\r\nX-Trailer: t\r\n\r\n";
}

// Hands each request, once its head is whole, to the handler with its
// connection number; "/prev" is answered here and not counted.
struct TestServer
{
    using Handler = std::function<void(QTcpSocket *socket, int connection)>;

    explicit TestServer(Handler handler)
        : handler(std::move(handler))
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                // Small scripted writes go out at once, as the script splits them.
                socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                auto request = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                    if (request->endsWith("\r\n\r\n")
                        || !(*request += socket->readAll()).endsWith("\r\n\r\n"))
                        return; // complete already, or not yet
                    if (request->startsWith("GET /prev "))
                        return respond(socket, ok("previous"));
                    requests.append(*request);
                    this->handler(socket, ++connections);
                });
            }
        });
    }

    QString url(const char *path = "/f") const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()) + path;
    }

    Handler handler;
    QList<QByteArray> requests;
    int connections = 0;
    QTcpServer server;
};

// The parent called back: records each call and whether the helper was ready.
class Client : public QObject
{
    Q_OBJECT
public:
    struct Call
    {
        QByteArray contents;
        qint16 code;
        bool readyDuring;
        Http::DecodeFailure failure; // lastFailure() during the call
    };

    explicit Client(CopyHelper *other = nullptr)
        : helper(other ? other : new CopyHelper(this))
    {
        helper->Parent(this);
    }

    Q_INVOKABLE void CHCallBack(QByteArray &arrContents, qint16 &chError)
    {
        calls.append({arrContents, chError, helper && helper->isReady(),
                      helper ? helper->lastFailure() : Http::DecodeFailure::None});
        if (onCall)
            onCall();
    }

    QPointer<CopyHelper> helper;
    QList<Call> calls;
    std::function<void()> onCall;
};

// Shortens the watchdog's tick while it lives.
struct ShortTicks
{
    explicit ShortTicks(int transferTicks = CopyHelper::kTransferTicks)
    {
        CopyHelper::setWatchdogTiming({std::chrono::milliseconds(kTickMs), transferTicks});
    }
    ~ShortTicks() { CopyHelper::setWatchdogTiming({}); }
    ShortTicks(const ShortTicks &) = delete;
    ShortTicks &operator=(const ShortTicks &) = delete;

    static constexpr int kTickMs = 20;
};
