#pragma once

// The download benchmark's server: a forked child on 127.0.0.1 that writes
// prepared responses with plain blocking writes, and the bodies it sends.

#include <QByteArray>
#include <QList>

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/wait.h>

inline constexpr qsizetype kBodySize = qsizetype(64) * 1024 * 1024;
inline constexpr qsizetype kLargeBodySize = 250'000'000;

inline QByteArray makeBody(qsizetype size = kBodySize)
{
    QByteArray body(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (qsizetype i = 0; i < body.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        body[i] = char(state >> 24);
    }
    return body;
}

inline QByteArray chunkedResponse(const QByteArray &body)
{
    static const qsizetype sizes[] = {65536, 4096, 100000, 777, 32768, 1 << 20};
    QByteArray out("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    out.reserve(body.size() + body.size() / 100);
    qsizetype pos = 0;
    for (int i = 0; pos < body.size(); ++i) {
        const qsizetype n = qMin(sizes[i % 6], body.size() - pos);
        out += QByteArray::number(n, 16) + "\r\n";
        out.append(body.constData() + pos, n);
        out += "\r\n";
        pos += n;
    }
    return out + "0\r\n\r\n";
}

// The large responses by path: "/large/<case>/<framing>", where the case is
// plain, in-body (image markers in the random body), in-header (a start
// marker in a header field as well) or no-end (no end marker anywhere), and
// the framing "length" or "close".
inline QByteArray largeResponse(const QByteArray &path)
{
    const QList<QByteArray> parts = path.split('/');
    const QByteArray kind = parts.value(2);
    QByteArray body = makeBody(kLargeBodySize);
    if (kind == "no-end")
        body.replace('\xD9', '\xD8');
    QByteArray head("HTTP/1.1 200 OK\r\n");
    if (kind == "in-header")
        head += "X-Mark: \xFF\xD8\r\n";
    if (parts.value(3) == "length")
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return head + "\r\n" + body;
}

[[noreturn]] inline void serve(int listener)
{
    std::signal(SIGPIPE, SIG_IGN);
    const QByteArray body = makeBody();
    const QByteArray plain = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
                             + "\r\nConnection: close\r\n\r\n" + body;
    const QByteArray chunked = chunkedResponse(body);
    for (;;) {
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n")) {
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0)
                break;
            request.append(buffer, n);
        }
        const QByteArray path = request.mid(4, request.indexOf(' ', 4) - 4);
        const QByteArray large = path.startsWith("/large/") ? largeResponse(path) : QByteArray();
        const QByteArray &response = !large.isEmpty()     ? large
                                     : path == "/chunked" ? chunked
                                                          : plain;
        for (qsizetype sent = 0; sent < response.size();) {
            const ssize_t n
                    = ::write(client, response.constData() + sent, size_t(response.size() - sent));
            if (n <= 0)
                break;
            sent += n;
        }
        ::shutdown(client, SHUT_WR);
        while (::read(client, buffer, sizeof buffer) > 0) {}
        ::close(client);
    }
}

// The server: a forked child that serves a listening socket on 127.0.0.1.
struct Server
{
    int port = 0;
    pid_t pid = -1;
};

inline bool startServer(Server &server)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0
        || ::listen(listener, 8) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("listen");
        return false;
    }
    server.port = ntohs(address.sin_port);
    server.pid = ::fork();
    if (server.pid == 0)
        serve(listener);
    ::close(listener);
    return true;
}

inline void stopServer(const Server &server)
{
    ::kill(server.pid, SIGTERM);
    ::waitpid(server.pid, nullptr, 0);
}
