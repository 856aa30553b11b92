// The draw with "Fehler wiederholen" on, at 32,760 verbs with a full progress
// file (every verb kept, a year of history), against the draws in the same
// run: the plain draw (Quiz::drawIndex) and the weighted Leitner draw the
// window used before, which looked up every verb's box on each draw. Also
// one check written through the progress store at that size, alone and after
// another copy wrote (read, merge, write under the lock). Prints per-draw
// times (median of rounds) and ratios.

#include "trainer/Practice.h"
#include "trainer/ProgressStore.h"
#include "trainer/Quiz.h"
#include "trainer/VerbList.h"

#include "Figures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <time.h>

namespace {

constexpr int rounds = 11;
constexpr int drawsPerRound = 200;
constexpr int weightedPerRound = 20; // each takes milliseconds

// The weighted draw of before: the box of each verb looked up by its key,
// weights 16, 8, 4, 2, 1 for boxes 1 to 5, the previous verb left out.
qsizetype weightedDraw(float r, const ProgressState &state, const QStringList &keys,
                       qsizetype previous)
{
    QList<quint32> weights;
    weights.reserve(keys.size());
    double total = 0;
    for (qsizetype k = 0; k < keys.size(); ++k) {
        weights.append(k == previous ? 0
                                     : 1u << (Leitner::LastBox - state.verbs.value(keys[k]).box));
        total += weights.last();
    }
    double end = 0;
    for (qsizetype k = 0; k < keys.size(); ++k) {
        end += weights[k];
        if (r * total < end)
            return k;
    }
    return keys.size() - 1;
}

// Processor time of this thread: what the draw costs, whatever else runs.
qint64 cpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

volatile qint64 sink; // keeps the plain draws from being left out

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QDate today = QDate::currentDate();
    std::mt19937 engine(32760);
    Quiz::Random random;
    random.seed(1);

    QList<VerbEntry> verbs;
    ProgressChanges history;
    for (int i = 1; i <= int(MaxVerbs); ++i) {
        verbs.append(*parseVerbLine(
                QStringLiteral("to verb%1\tpast%1\tparticiple%1\tdeutsch%1").arg(i)));
        // Each verb checked a few times over the last year, the last time
        // within the last month, so every box and every step has verbs.
        const int checks = 1 + int(engine() % 5);
        for (int c = checks; c > 0; --c) {
            const QDateTime at(today.addDays(-int(engine() % (c == 1 ? 30 : 365))), QTime(8, 0));
            history.checks.append({progressKey(verbs.last()),
                                   at.addSecs(engine() % 36000),
                                   {engine() % 4 == 0, engine() % 5 == 0, false}});
        }
    }
    std::sort(history.checks.begin(), history.checks.end(),
              [](const auto &a, const auto &b) { return a.at < b.at; });
    ProgressState full;
    full.repeatMistakes = true;
    applyChanges(full, history, today);
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(formatProgress(full)) < 0)
        return 1;
    file.close();

    ProgressStore store(path);
    QElapsedTimer timer;
    timer.start();
    store.load(today);
    const double loadMs = timer.nsecsElapsed() / 1e6;
    const ListProgress list = listProgress(verbs, store.state());
    Practice::Session session;
    ProgressStore other(path);
    other.load(today);
    QList<double> on, onCpu, plain, weighted, save, merge;
    double onMax = 0;
    qsizetype previous = -1;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        const qint64 cpuStart = cpuNs();
        for (int d = 0; d < drawsPerRound; ++d) {
            const qint64 oneStart = cpuNs();
            const qsizetype drawn
                    = Practice::draw(list, session, today, [&random] { return random.next(); });
            onMax = std::max(onMax, (cpuNs() - oneStart) / 1e3);
            Practice::recordDraw(session, list.keys.at(drawn));
        }
        on.append(timer.nsecsElapsed() / 1e3 / drawsPerRound);
        onCpu.append((cpuNs() - cpuStart) / 1e3 / drawsPerRound);

        timer.start();
        qint64 sum = 0;
        for (int d = 0; d < drawsPerRound; ++d)
            sum += Quiz::drawIndex(random.next(), 1, qint16(MaxVerbs));
        plain.append(timer.nsecsElapsed() / 1e3 / drawsPerRound);
        sink = sum;

        timer.start();
        for (int d = 0; d < weightedPerRound; ++d)
            previous = weightedDraw(random.next(), store.state(), list.keys, previous);
        weighted.append(timer.nsecsElapsed() / 1e3 / weightedPerRound);

        // A check written: alone, then after another copy wrote one.
        ProgressChanges check;
        check.checks.append({list.keys.at(round), QDateTime::currentDateTime(), {}});
        timer.start();
        if (!store.change(check, today))
            return 1;
        save.append(timer.nsecsElapsed() / 1e6);
        if (!other.change(check, today))
            return 1;
        timer.start();
        if (!store.change(check, today))
            return 1;
        merge.append(timer.nsecsElapsed() / 1e6);
    }

    const double onUs = median(on), plainUs = median(plain), weightedUs = median(weighted);
    std::printf("verbs: %lld\n", static_cast<long long>(list.keys.size()));
    std::printf("kept_verbs: %lld\n", static_cast<long long>(store.state().verbs.size()));
    std::printf("history_days: %lld\n", static_cast<long long>(store.state().days.size()));
    std::printf("progress_file_bytes: %lld\n", static_cast<long long>(QFile(path).size()));
    std::printf("draw_on_us: %.1f\n", onUs);
    std::printf("draw_on_cpu_max_us: %.1f\n", onMax);
    std::printf("draw_on_cpu_us: %.1f\n", median(onCpu));
    std::printf("draw_plain_us: %.3f\n", plainUs);
    std::printf("draw_weighted_before_us: %.1f\n", weightedUs);
    std::printf("ratio_on_to_weighted_before: %.2f\n", onUs / weightedUs);
    std::printf("ratio_on_to_plain: %.0f\n", onUs / plainUs);
    std::printf("load_ms: %.1f\n", loadMs);
    std::printf("check_written_ms: %.1f\n", median(save));
    std::printf("check_written_after_other_copy_ms: %.1f\n", median(merge));
    std::printf("result: a draw with the item on takes %.3f ms at %lld verbs (%.3f ms processor "
                "time, slowest %.3f ms of processor time), %.3f times the weighted draw of before "
                "(%.2f ms) and "
                "%.0f times the plain draw (%.5f ms)\n",
                onUs / 1e3, static_cast<long long>(list.keys.size()), median(onCpu) / 1e3,
                onMax / 1e3, onUs / weightedUs, weightedUs / 1e3, onUs / plainUs, plainUs / 1e3);
    return onUs < 1000 ? 0 : 1;
}
