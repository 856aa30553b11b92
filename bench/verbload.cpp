// Loads a verb file of 32,760 verbs with the program's loader against, in
// the same run, a plain loop reading the same file line by line. Prints both
// times (the best of several rounds, taken in turns) and their ratio. Then
// the largest file the loader reads, 16 MiB of nothing but line breaks,
// against reading it whole and counting its lines, with the peak memory of
// that load against the file's size.

#include "platform/FileSystem.h"
#include "trainer/VerbList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// A figure of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), or -1.
long statusKib(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLong();
    }
    return -1;
}

struct Times
{
    qint64 loader = std::numeric_limits<qint64>::max();
    qint64 plain = std::numeric_limits<qint64>::max();
    qsizetype verbs = 0;
    qsizetype lines = 0;
    long peakKib = 0; // the process's peak right after the first load
};

// The lines of the file: one at a time (a plain loop as any program reads a
// text), or the whole file read at once and its line ends counted (the floor
// for a file of millions of empty lines, where a loop per line measures
// nothing but the loop).
qsizetype plainLines(QFile &file, bool whole)
{
    if (whole)
        return file.readAll().count('\n');
    qsizetype count = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        count += line.isEmpty() ? 0 : 1;
    }
    return count;
}

// The best of rounds, loader and plain reading in turns.
bool timeLoads(const QString &path, int rounds, bool whole, Times &times)
{
    QElapsedTimer timer;
    FileSystemObject fso;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        const VerbTable table = loadVerbFile(fso, path);
        times.loader = std::min(times.loader, timer.nsecsElapsed());
        times.verbs = table.entries.size();
        if (round == 0)
            times.peakKib = statusKib("VmHWM:");

        timer.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        times.lines = plainLines(file, whole);
        times.plain = std::min(times.plain, timer.nsecsElapsed());
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("IrregularVerbs.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("# generated verb list\r\n");
        for (int i = 1; i <= int(MaxVerbs); ++i) {
            const QByteArray n = QByteArray::number(i);
            file.write("to verb" + n + "\tpast" + n + "/pasts" + n + "\tparticiple" + n
                       + "\tdeutsch\xe4\xf6\xfc\xdf" + n + "\r\n");
        }
    }

    constexpr int rounds = 9;
    Times verbs;
    if (!timeLoads(path, rounds, false, verbs))
        return 1;
    std::printf("verbs_loaded: %lld\n", static_cast<long long>(verbs.verbs));
    std::printf("lines_read: %lld\n", static_cast<long long>(verbs.lines));
    std::printf("loader_ms: %.2f\n", verbs.loader / 1e6);
    std::printf("plain_loop_ms: %.2f\n", verbs.plain / 1e6);
    std::printf("ratio: %.2f\n", double(verbs.loader) / double(verbs.plain));

    const QString breaksPath = dir.filePath(QStringLiteral("LineBreaks.txt"));
    {
        QFile file(breaksPath);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(QByteArray(MaxVerbFileBytes, '\n')) != MaxVerbFileBytes)
            return 1;
    }
    const long before = statusKib("VmRSS:");
    Times breaks;
    if (!timeLoads(breaksPath, rounds, true, breaks))
        return 1;
    const double peakMib = (breaks.peakKib - before) / 1024.0;
    const double fileMib = double(MaxVerbFileBytes) / (1 << 20);
    std::printf("line_breaks_file_mib: %.0f\n", fileMib);
    std::printf("line_breaks_loader_ms: %.2f\n", breaks.loader / 1e6);
    std::printf("line_breaks_read_and_count_ms: %.2f\n", breaks.plain / 1e6);
    std::printf("line_breaks_ratio: %.2f\n", double(breaks.loader) / double(breaks.plain));
    std::printf("line_breaks_peak_mib: %.1f\n", peakMib);
    std::printf("line_breaks_peak_ratio_vs_file: %.2f\n", peakMib / fileMib);
    std::printf("result: %lld verbs loaded in %.2f ms, %.2f times a plain read loop over the same "
                "file (%.2f ms); %.0f MiB of line breaks in %.0f ms (%.2f times reading the file "
                "and counting its lines), peak %.1f times the file\n",
                static_cast<long long>(verbs.verbs), verbs.loader / 1e6,
                double(verbs.loader) / double(verbs.plain), verbs.plain / 1e6, fileMib,
                breaks.loader / 1e6, double(breaks.loader) / double(breaks.plain),
                peakMib / fileMib);
    return verbs.verbs == MaxVerbs && breaks.verbs == 0 ? 0 : 1;
}
