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
#include "ThreadCpu.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

constexpr int rounds = 11;
constexpr int drawsPerRound = 200;
constexpr int weightedPerRound = 20;   // each takes milliseconds
constexpr double slowestDrawUs = 1000; // a slower draw with the item on fails the run

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

volatile qint64 sink; // keeps the plain draws from being left out

// The verbs, their year of checks and the progress these make. Kept through
// the run, so that the store's state lies in fresh memory and not in their
// freed blocks: the weighted draw's lookups are sensitive to that layout.
struct Setup
{
    QList<VerbEntry> verbs;
    ProgressChanges history;
    ProgressState full;
};

// Fills setup and writes the progress file at path: every verb checked a few
// times over the last year, the last time within the last month, so every
// box and every step has verbs.
bool writeProgress(const QString &path, QDate today, Setup &setup)
{
    std::mt19937 engine(32760);
    for (int i = 1; i <= int(MaxVerbs); ++i) {
        setup.verbs.append(*parseVerbLine(
                QStringLiteral("to verb%1\tpast%1\tparticiple%1\tdeutsch%1").arg(i)));
        const int checks = 1 + int(engine() % 5);
        for (int c = checks; c > 0; --c) {
            const QDateTime at(today.addDays(-int(engine() % (c == 1 ? 30 : 365))), QTime(8, 0));
            setup.history.checks.append({progressKey(setup.verbs.last()),
                                         at.addSecs(engine() % 36000),
                                         {engine() % 4 == 0, engine() % 5 == 0, false}});
        }
    }
    QList<ProgressCheck> &checks = setup.history.checks;
    std::sort(checks.begin(), checks.end(),
              [](const auto &a, const auto &b) { return a.at < b.at; });
    setup.full.repeatMistakes = true;
    applyChanges(setup.full, setup.history, today);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(formatProgress(setup.full)) >= 0;
}

// What the draws work on, and what they carry from one draw to the next.
struct Draws
{
    Draws(ListProgress progress, const ProgressState &boxes)
        : list(std::move(progress)),
          state(boxes)
    {
        random.seed(1);
    }
    const ListProgress list;
    const ProgressState &state; // the boxes the weighted draw looks up
    Practice::Session session;
    Quiz::Random random;
    qsizetype previous = -1; // the weighted draw's last verb
};

// The times of every round: per draw in µs, per write in ms.
struct Times
{
    QList<double> on, onCpu, plain, weighted, save, merge;
    double onMax = 0; // the slowest single draw with the item on, processor time
};

// One round of each draw: with the item on (also in processor time, the
// slowest one apart), the plain draw and the weighted draw of before.
void timeDraws(Draws &draws, QDate today, Times &times)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 cpuStart = threadCpuNs();
    for (int d = 0; d < drawsPerRound; ++d) {
        const qint64 oneStart = threadCpuNs();
        const qsizetype drawn = Practice::draw(draws.list, draws.session, today,
                                               [&draws] { return draws.random.next(); });
        times.onMax = std::max(times.onMax, (threadCpuNs() - oneStart) / 1e3);
        Practice::recordDraw(draws.session, draws.list.keys.at(drawn));
    }
    times.on.append(timer.nsecsElapsed() / 1e3 / drawsPerRound);
    times.onCpu.append((threadCpuNs() - cpuStart) / 1e3 / drawsPerRound);

    timer.start();
    qint64 sum = 0;
    for (int d = 0; d < drawsPerRound; ++d)
        sum += Quiz::drawIndex(draws.random.next(), 1, qint16(MaxVerbs));
    times.plain.append(timer.nsecsElapsed() / 1e3 / drawsPerRound);
    sink = sum;

    timer.start();
    for (int d = 0; d < weightedPerRound; ++d)
        draws.previous
                = weightedDraw(draws.random.next(), draws.state, draws.list.keys, draws.previous);
    times.weighted.append(timer.nsecsElapsed() / 1e3 / weightedPerRound);
}

// A check of the verb key written: alone, then after another copy wrote one.
bool timeCheck(ProgressStore &store, ProgressStore &other, const QString &key, QDate today,
               Times &times)
{
    ProgressChanges check;
    check.checks.append({key, QDateTime::currentDateTime(), {}});
    QElapsedTimer timer;
    timer.start();
    if (!store.change(check, today))
        return false;
    times.save.append(timer.nsecsElapsed() / 1e6);
    if (!other.change(check, today))
        return false;
    timer.start();
    if (!store.change(check, today))
        return false;
    times.merge.append(timer.nsecsElapsed() / 1e6);
    return true;
}

void printFigures(const Times &times, qsizetype verbs, const ProgressStore &store, double loadMs)
{
    const double onUs = median(times.on), plainUs = median(times.plain);
    const double weightedUs = median(times.weighted), onCpuUs = median(times.onCpu);
    std::printf("verbs: %lld\n", static_cast<long long>(verbs));
    std::printf("kept_verbs: %lld\n", static_cast<long long>(store.state().verbs.size()));
    std::printf("history_days: %lld\n", static_cast<long long>(store.state().days.size()));
    std::printf("progress_file_bytes: %lld\n", static_cast<long long>(QFile(store.path()).size()));
    std::printf("draw_on_us: %.1f\n", onUs);
    std::printf("draw_on_cpu_max_us: %.1f\n", times.onMax);
    std::printf("draw_on_cpu_us: %.1f\n", onCpuUs);
    std::printf("draw_plain_us: %.3f\n", plainUs);
    std::printf("draw_weighted_before_us: %.1f\n", weightedUs);
    std::printf("ratio_on_to_weighted_before: %.2f\n", onUs / weightedUs);
    std::printf("ratio_on_to_plain: %.0f\n", onUs / plainUs);
    std::printf("load_ms: %.1f\n", loadMs);
    std::printf("check_written_ms: %.1f\n", median(times.save));
    std::printf("check_written_after_other_copy_ms: %.1f\n", median(times.merge));
    std::printf("result: a draw with the item on takes %.3f ms at %lld verbs (%.3f ms processor "
                "time, slowest %.3f ms of processor time), %.3f times the weighted draw of before "
                "(%.2f ms) and "
                "%.0f times the plain draw (%.5f ms)\n",
                onUs / 1e3, static_cast<long long>(verbs), onCpuUs / 1e3, times.onMax / 1e3,
                onUs / weightedUs, weightedUs / 1e3, onUs / plainUs, plainUs / 1e3);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QDate today = QDate::currentDate();
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    Setup setup;
    if (!writeProgress(path, today, setup))
        return 1;

    ProgressStore store(path);
    QElapsedTimer timer;
    timer.start();
    store.load(today);
    const double loadMs = timer.nsecsElapsed() / 1e6;
    Draws draws(listProgress(setup.verbs, store.state()), store.state());
    ProgressStore other(path);
    other.load(today);
    Times times;
    for (int round = 0; round < rounds; ++round) {
        timeDraws(draws, today, times);
        if (!timeCheck(store, other, draws.list.keys.at(round), today, times))
            return 1;
    }
    printFigures(times, draws.list.keys.size(), store, loadMs);
    return median(times.on) < slowestDrawUs ? 0 : 1;
}
