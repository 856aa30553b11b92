#include "trainer/Practice.h"

#include <QVarLengthArray>

#include <algorithm>
#include <limits>

namespace Practice {

namespace {

// The steps of the draw after this run's mistakes, in their order, each a
// band of ranks: a verb's rank is its step's start plus its order within the
// step (the box, or the time of the last check). One number per verb keeps
// the scan over tens of thousands of verbs short.
constexpr qint64 stepWidth = qint64(1) << 60;
enum Step : qint64 {
    Waiting = 0,
    Due = stepWidth,
    New = 2 * stepWidth,
    Seen = 3 * stepWidth,
};

inline qint64 rankOf(const VerbProgress &verb, qint64 today)
{
    if (!verb.practised())
        return New;
    if (verb.box <= Leitner::FirstBox)
        return Waiting;
    if (today - verb.seen.toJulianDay() >= Leitner::intervalDays(verb.box))
        return Due + verb.box;
    return Seen + std::clamp<qint64>(verb.checkedAt, 0, stepWidth - 1);
}

// This run's mistakes in the list: when each was drawn last, its index.
using Mistakes = QVarLengthArray<std::pair<quint64, qsizetype>, 8>;

qsizetype pickOf(const Random &random, qsizetype count)
{
    return std::min(qsizetype(random() * float(count)), count - 1);
}

// Steps 2 to 5: one pass over the list, keeping the verbs of the best rank
// so far; a random one of them, or -1 when every verb is skipped.
qsizetype drawByStep(const ListProgress &list, QVarLengthArray<qsizetype, 8> skipped, QDate today,
                     const Random &random)
{
    const qsizetype count = list.kept.size();
    std::sort(skipped.begin(), skipped.end());
    skipped.append(count); // a stop after the last verb
    const qint64 day = today.toJulianDay();
    qint64 best = std::numeric_limits<qint64>::max();
    QVarLengthArray<qint32, 256> ties;
    for (qsizetype i = 0, skip = 0; i < count; ++i) {
        while (skipped[skip] < i)
            ++skip;
        if (skipped[skip] == i)
            continue;
        const qint64 rank = rankOf(list.kept[i], day);
        if (rank > best)
            continue;
        if (rank < best) {
            best = rank;
            ties.clear();
        }
        ties.append(qint32(i));
    }
    if (ties.isEmpty())
        return -1;
    return ties[ties.size() > 1 ? pickOf(random, ties.size()) : 0];
}

} // namespace

qsizetype draw(const ListProgress &list, const Session &session, QDate today, const Random &random)
{
    const qsizetype count = list.kept.size();
    if (count <= 1)
        return count - 1;
    const qsizetype previous = list.indexOf(session.previous);
    const quint64 now = session.draws + 1;

    Mistakes mistakes;
    for (const Mistake &mistake : session.mistakes) {
        const qsizetype index = list.indexOf(mistake.key);
        if (index >= 0)
            mistakes.append({mistake.drawn, index});
    }
    std::sort(mistakes.begin(), mistakes.end());
    const auto next = std::find_if(mistakes.cbegin(), mistakes.cend(),
                                   [previous](const auto &m) { return m.second != previous; });
    if (next != mistakes.cend()) {
        // Each draw left in its window is as likely as the others, and the
        // last one certain. Mistakes were made one per draw, so no two share
        // a last draw, and the one verb that may not come now (the verb
        // drawn last) is the latest of them.
        const qint64 slack = qint64(next->first + MistakeReturnsWithin) - qint64(now);
        if (slack <= 0 || random() * float(slack + 1) < 1.0f)
            return next->second;
    }

    QVarLengthArray<qsizetype, 8> skipped {previous};
    for (const auto &mistake : std::as_const(mistakes))
        skipped.append(mistake.second);
    const qsizetype drawn = drawByStep(list, skipped, today, random);
    if (drawn >= 0)
        return drawn;
    // Only the verb drawn last and mistakes that may wait are left.
    return next != mistakes.cend() ? next->second : std::max<qsizetype>(previous, 0);
}

void recordDraw(Session &session, const QString &key)
{
    ++session.draws;
    session.previous = key;
    for (Mistake &mistake : session.mistakes) {
        if (mistake.key == key)
            mistake.drawn = session.draws;
    }
}

void recordCheck(Session &session, const QString &key, bool allRight)
{
    const auto it = std::find_if(session.mistakes.begin(), session.mistakes.end(),
                                 [&key](const Mistake &m) { return m.key == key; });
    if (allRight) {
        if (it != session.mistakes.end())
            session.mistakes.erase(it);
    } else if (it == session.mistakes.end()) {
        session.mistakes.append({key, session.draws});
    }
}

} // namespace Practice
