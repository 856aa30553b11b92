// Fetches a 64 MiB body over 127.0.0.1, plain (Content-Length) and chunked,
// with CopyHelper and, in the same run and from the same server, with curl
// and with a floor: a plain blocking recv loop into one buffer, which is
// what the kernel allows at best. The server is a forked child that writes
// prepared responses with plain blocking writes, so every client sees the
// same, fast peer.
//
// curl is timed by its own transfer time (-w %{time_total}), so its process
// start does not count against it. Prints per kind the best and the median
// of eleven times for each client and CopyHelper's ratios against curl and
// the floor, the slowest CopyHelper time, and the peak memory that a
// CopyHelper transfer adds to the process (VmHWM reset before each transfer,
// minus VmRSS before it) against the body size. The jpeg kind fetches the
// plain response in JPEG mode, where the image is cut out of the body.
// Then one transfer each of a body of about 250 MB (near the downloader's
// limit) gives the peak memory of the plain case and of JPEG mode with the
// start marker in the body, in the header, and without an end marker, both
// with a Content-Length and to the close.
// The last line, "result: ...", sums the run up.

#include "downloader/ContentCut.h"
#include "downloader/CopyHelper.h"
#include "trainer/frmDummy.h"

#include "DownloadServer.h"
#include "Figures.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <spawn.h>
#include <unistd.h>
#include <vector>

#include <sys/socket.h>
#include <sys/wait.h>

extern char **environ;

namespace {

constexpr int kRounds = 11;

QByteArray sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
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

Run fetchWithCopyHelper(QApplication &app, const QString &url, quint8 dataType,
                        const QByteArray &digest, qint16 code = 0)
{
    Sink sink;
    auto *helper = new CopyHelper;
    helper->Parent(&sink);
    helper->DataType(dataType);
    const bool peakReset = resetPeak();
    const qint64 before = procStatusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    helper->Dispatch(url);
    while (!sink.done)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const qint64 peak = procStatusKiB("VmHWM:") - (peakReset ? before : 0);
    const bool ok = sink.code == code && sha256(sink.contents) == digest;
    delete helper;
    return {ms, peak, ok};
}

// curl's own transfer time, read from its -w output through a pipe.
Run fetchWithCurl(const QByteArray &url)
{
    const char *argv[]
            = {"curl", "-s", "-o", "/dev/null", "-w", "%{time_total}", url.constData(), nullptr};
    int out[2];
    if (::pipe(out) != 0)
        return {0, 0, false};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, "/usr/bin/curl", &actions, nullptr,
                                     const_cast<char **>(argv), environ)
                         == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    QByteArray text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    if (started)
        ::waitpid(pid, &status, 0);
    bool parsed = false;
    const double seconds = text.trimmed().toDouble(&parsed);
    return {seconds * 1000, 0, started && parsed && WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

// The floor: connect, send the request, recv into one buffer until the
// server closes. No parsing, no copies, no event loop.
Run fetchWithRecvLoop(int port, const QByteArray &path, qsizetype expected)
{
    static std::vector<char> buffer(size_t(expected) + (1 << 20));
    const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    QElapsedTimer timer;
    timer.start();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::send(fd, request.constData(), size_t(request.size()), 0) != request.size()) {
        ::close(fd);
        return {0, 0, false};
    }
    size_t total = 0;
    for (ssize_t n; (n = ::recv(fd, buffer.data() + total, buffer.size() - total, 0)) > 0;)
        total += size_t(n);
    ::close(fd);
    return {double(timer.nsecsElapsed()) / 1e6, 0, qsizetype(total) >= expected};
}

// The body of every kind and what each kind must deliver of it.
struct Contents
{
    QByteArray body = makeBody();
    QByteArray digest = sha256(body);
    // JPEG mode cuts from the first start marker to the end of the last end
    // marker; the random body holds both.
    QByteArray image = cutJpeg(body);
    QByteArray imageDigest = sha256(image);

    static QByteArray cutJpeg(const QByteArray &body)
    {
        qint16 unused = 0;
        return Http::cutContent(QByteArray(), body, Http::JpegImage, unused);
    }
};

struct Kind
{
    const char *name;
    const char *path;
    quint8 dataType;
    const QByteArray &digest;
};

// What the result line sums up.
struct Outcome
{
    bool ok = true; // every content as expected
    QByteArray summary;
    double worstCurlRatio = 0; // of the plain downloads
};

// The rounds of one kind: every client's times, CopyHelper's highest peak.
struct Rounds
{
    std::vector<double> helperMs, curlMs, floorMs;
    qint64 peakKiB = 0;
};

Rounds runRounds(QApplication &app, int port, const Kind &kind, Outcome &outcome)
{
    const QByteArray url = "http://127.0.0.1:" + QByteArray::number(port) + kind.path;
    Rounds rounds;
    for (int round = 0; round < kRounds; ++round) {
        const Run c = fetchWithCurl(url);
        const Run f = fetchWithRecvLoop(port, kind.path, kBodySize);
        const Run h
                = fetchWithCopyHelper(app, QString::fromLatin1(url), kind.dataType, kind.digest);
        outcome.ok = outcome.ok && c.ok && f.ok && h.ok;
        rounds.curlMs.push_back(c.ms);
        rounds.floorMs.push_back(f.ms);
        rounds.helperMs.push_back(h.ms);
        rounds.peakKiB = qMax(rounds.peakKiB, h.peakKiB);
    }
    return rounds;
}

void printKind(const Kind &kind, const Rounds &rounds, Outcome &outcome)
{
    const char *k = kind.name;
    const Figures helper = figuresOf(rounds.helperMs);
    const Figures curl = figuresOf(rounds.curlMs);
    const Figures floor = figuresOf(rounds.floorMs);
    const double bodyMiB = double(kBodySize) / (1024 * 1024);
    const double peakMiB = double(rounds.peakKiB) / 1024;
    std::printf("%s_body_mib: %.0f\n", k, bodyMiB);
    std::printf("%s_copyhelper_best_ms: %.1f\n", k, helper.best);
    std::printf("%s_curl_best_ms: %.1f\n", k, curl.best);
    std::printf("%s_floor_best_ms: %.1f\n", k, floor.best);
    std::printf("%s_copyhelper_median_ms: %.1f\n", k, helper.median);
    std::printf("%s_curl_median_ms: %.1f\n", k, curl.median);
    std::printf("%s_floor_median_ms: %.1f\n", k, floor.median);
    std::printf("%s_time_ratio_vs_curl_median: %.2f\n", k, helper.median / curl.median);
    std::printf("%s_time_ratio_vs_floor_median: %.2f\n", k, helper.median / floor.median);
    std::printf("%s_copyhelper_slowest_ms: %.1f\n", k,
                *std::max_element(rounds.helperMs.begin(), rounds.helperMs.end()));
    std::printf("%s_copyhelper_peak_mib: %.1f\n", k, peakMiB);
    std::printf("%s_peak_ratio_vs_body: %.2f\n", k, peakMiB / bodyMiB);
    if (kind.dataType == Http::HttpBody) // the target is for plain downloads
        outcome.worstCurlRatio = std::max(outcome.worstCurlRatio, helper.median / curl.median);
    outcome.summary += QByteArray(outcome.summary.isEmpty() ? "" : "; ") + k + " "
                       + QByteArray::number(helper.median / curl.median, 'f', 2) + "x curl, "
                       + QByteArray::number(helper.median / floor.median, 'f', 2) + "x floor, peak "
                       + QByteArray::number(peakMiB / bodyMiB, 'f', 2) + "x body";
}

void measureKinds(QApplication &app, int port, const Contents &contents, Outcome &outcome)
{
    const Kind kinds[] = {{"plain", "/plain", Http::HttpBody, contents.digest},
                          {"chunked", "/chunked", Http::HttpBody, contents.digest},
                          {"jpeg", "/plain", Http::JpegImage, contents.imageDigest}};
    for (const Kind &kind : kinds)
        printKind(kind, runRounds(app, port, kind, outcome), outcome);
}

// What the large response at path must deliver: its digest and its size.
struct Expected
{
    QByteArray digest;
    double mib = 0;
};

Expected expectedContent(const QByteArray &path, bool jpeg)
{
    QByteArray expected = largeResponse(path);
    const qsizetype headEnd = expected.indexOf("\r\n\r\n") + 4;
    const qsizetype first = expected.indexOf("\xFF\xD8");
    const qsizetype last = expected.lastIndexOf("\xFF\xD9");
    if (!jpeg)
        expected = expected.mid(headEnd);
    else if (first >= 0 && last > first)
        expected = expected.mid(first, last + 2 - first);
    return {sha256(expected), double(expected.size()) / (1024 * 1024)};
}

// One transfer of a large body: prints its peak memory against the content
// and returns their ratio.
double measureLarge(QApplication &app, int port, const char *kind, const char *framing,
                    Outcome &outcome)
{
    const QByteArray path = QByteArray("/large/") + kind + "/" + framing;
    const bool jpeg = std::strcmp(kind, "plain") != 0;
    const Expected expected = expectedContent(path, jpeg);
    const Run h = fetchWithCopyHelper(
            app, QStringLiteral("http://127.0.0.1:%1").arg(port) + QString::fromLatin1(path),
            jpeg ? Http::JpegImage : Http::HttpBody, expected.digest,
            jpeg && std::strcmp(kind, "no-end") == 0 ? -6 : 0);
    outcome.ok = outcome.ok && h.ok;
    const double ratio = double(h.peakKiB) / 1024 / expected.mib;
    std::printf("large_%s_%s_content_mib: %.1f\n", kind, framing, expected.mib);
    std::printf("large_%s_%s_peak_mib: %.1f\n", kind, framing, double(h.peakKiB) / 1024);
    std::printf("large_%s_%s_peak_ratio_vs_content: %.2f\n", kind, framing, ratio);
    return ratio;
}

// Peak memory near the limit: the content must not cost more than itself.
void measureLargeBodies(QApplication &app, int port, Outcome &outcome)
{
    double worstRatio = 0;
    for (const char *kind : {"plain", "in-body", "in-header", "no-end"}) {
        for (const char *framing : {"length", "close"})
            worstRatio = std::max(worstRatio, measureLarge(app, port, kind, framing, outcome));
    }
    outcome.summary += "; about 250 MB: peak at most " + QByteArray::number(worstRatio, 'f', 2)
                       + "x content";
}

void printResult(const Outcome &outcome)
{
    std::printf("content_verified: %s\n", outcome.ok ? "yes" : "NO");
    std::printf("result: download %.0f MiB, median of %d: %s; target of 1.20x curl %s\n",
                double(kBodySize) / (1024 * 1024), kRounds, outcome.summary.constData(),
                !outcome.ok                     ? "NOT MEASURED (content wrong)"
                : outcome.worstCurlRatio <= 1.2 ? "met"
                                                : "missed");
}

} // namespace

int main(int argc, char *argv[])
{
    Server server;
    if (!startServer(server))
        return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frmDummy host;
    const Contents contents;
    Outcome outcome;
    measureKinds(app, server.port, contents, outcome);
    measureLargeBodies(app, server.port, outcome);
    printResult(outcome);
    stopServer(server);
    return outcome.ok ? 0 : 1;
}
#include "download.moc"
