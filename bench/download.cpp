// Fetches a 64 MiB body over 127.0.0.1, plain (Content-Length) and chunked,
// with CopyHelper and, in the same run and from the same server, with curl.
// The server is a forked child that writes prepared responses with plain
// blocking writes, so both clients see the same, fast peer.
//
// Prints per kind: the best and the median of seven times for each client,
// their ratios, the slowest CopyHelper time, and the peak memory that a CopyHelper transfer adds to the process (VmHWM
// reset before each transfer, minus VmRSS before it) against the body size.
// The slowest time shows one-off costs of the first large transfer in the
// process, such as the kernel compacting memory to grant huge pages.

#include "downloader/CopyHelper.h"
#include "trainer/frmDummy.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

#include <sys/socket.h>
#include <sys/wait.h>

extern char **environ;

namespace {

constexpr qsizetype kBodySize = qsizetype(64) * 1024 * 1024;
constexpr int kRounds = 7;

QByteArray makeBody()
{
    QByteArray body(kBodySize, Qt::Uninitialized);
    quint32 state = 12345;
    for (qsizetype i = 0; i < body.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        body[i] = char(state >> 24);
    }
    return body;
}

QByteArray chunkedResponse(const QByteArray &body)
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

[[noreturn]] void serve(int listener)
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
        const QByteArray &response = request.startsWith("GET /chunked ") ? chunked : plain;
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

qint64 procStatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field)))
                    .trimmed()
                    .split(' ')
                    .value(0)
                    .toLongLong();
    }
    return -1;
}

bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

class Sink : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void CHCallBack(QByteArray &arrContents, qint16 &chError)
    {
        contents = arrContents;
        code = chError;
        done = true;
    }
    QByteArray contents;
    qint16 code = 1;
    bool done = false;
};

struct Run
{
    double ms;
    qint64 peakKiB; // CopyHelper only
    bool ok;
};

Run fetchWithCopyHelper(QApplication &app, const QString &url, const QByteArray &digest)
{
    Sink sink;
    auto *helper = new CopyHelper;
    helper->Parent(&sink);
    const bool peakReset = resetPeak();
    const qint64 before = procStatusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    helper->Dispatch(url);
    while (!sink.done)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const qint64 peak = procStatusKiB("VmHWM:") - (peakReset ? before : 0);
    const bool ok
            = sink.code == 0
              && QCryptographicHash::hash(sink.contents, QCryptographicHash::Sha256) == digest;
    delete helper;
    return {ms, peak, ok};
}

Run fetchWithCurl(const QByteArray &url)
{
    const char *argv[] = {"curl", "-s", "-o", "/dev/null", url.constData(), nullptr};
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, "/usr/bin/curl", nullptr, nullptr, const_cast<char **>(argv), environ)
        != 0)
        return {0, 0, false};
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {double(timer.nsecsElapsed()) / 1e6, 0, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

} // namespace

int main(int argc, char *argv[])
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
        return 1;
    }
    const int port = ntohs(address.sin_port);
    const pid_t server = ::fork();
    if (server == 0)
        serve(listener);
    ::close(listener);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frmDummy host;
    const QByteArray digest = QCryptographicHash::hash(makeBody(), QCryptographicHash::Sha256);
    const double bodyMiB = double(kBodySize) / (1024 * 1024);

    bool allOk = true;
    for (const char *kind : {"plain", "chunked"}) {
        const QByteArray url = "http://127.0.0.1:" + QByteArray::number(port) + "/" + kind;
        std::vector<double> helperMs, curlMs;
        qint64 peakKiB = 0;
        for (int round = 0; round < kRounds; ++round) {
            const Run c = fetchWithCurl(url);
            const Run h = fetchWithCopyHelper(app, QString::fromLatin1(url), digest);
            allOk = allOk && c.ok && h.ok;
            curlMs.push_back(c.ms);
            helperMs.push_back(h.ms);
            peakKiB = qMax(peakKiB, h.peakKiB);
        }
        std::sort(helperMs.begin(), helperMs.end());
        std::sort(curlMs.begin(), curlMs.end());
        const double peakMiB = double(peakKiB) / 1024;
        std::printf("%s_body_mib: %.0f\n", kind, bodyMiB);
        std::printf("%s_copyhelper_best_ms: %.1f\n", kind, helperMs.front());
        std::printf("%s_curl_best_ms: %.1f\n", kind, curlMs.front());
        std::printf("%s_time_ratio_vs_curl_best: %.2f\n", kind, helperMs.front() / curlMs.front());
        std::printf("%s_copyhelper_median_ms: %.1f\n", kind, helperMs[kRounds / 2]);
        std::printf("%s_curl_median_ms: %.1f\n", kind, curlMs[kRounds / 2]);
        std::printf("%s_time_ratio_vs_curl_median: %.2f\n", kind,
                    helperMs[kRounds / 2] / curlMs[kRounds / 2]);
        std::printf("%s_copyhelper_slowest_ms: %.1f\n", kind, helperMs.back());
        std::printf("%s_copyhelper_peak_mib: %.1f\n", kind, peakMiB);
        std::printf("%s_peak_ratio_vs_body: %.2f\n", kind, peakMiB / bodyMiB);
    }
    std::printf("content_verified: %s\n", allOk ? "yes" : "NO");

    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    return allOk ? 0 : 1;
}

#include "download.moc"
