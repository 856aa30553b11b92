#pragma once

// Pieces for scripted HTTP servers on 127.0.0.1 inside a test.

#include <QByteArray>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>

#include <sys/socket.h>

// Sends RST instead of FIN: linger on with a zero timeout, then close.
inline void resetConnection(QTcpSocket *socket)
{
    const linger hard {1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

// Calls `handler` once per connection, when its request head (up to the
// blank line) has arrived whole, however it was split.
inline void onRequest(QTcpServer &server,
                      std::function<void(QTcpSocket *socket, const QByteArray &request)> handler)
{
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, handler] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            // Small scripted writes go out at once, as the script splits them.
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, request, handler] {
                if (request->endsWith("\r\n\r\n")
                    || !(*request += socket->readAll()).endsWith("\r\n\r\n"))
                    return; // complete already, or not yet
                handler(socket, *request);
            });
        }
    });
}
