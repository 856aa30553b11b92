#include "trainer/Practice.h"

#include <QVarLengthArray>

#include <algorithm>
#include <limits>

namespace Practice {

namespace {

// The steps of the draw after this run's mistakes, in their order.
enum class Step { Waiting, Due, New, Seen };

struct Rank
{
    Step step = Step::Seen;
    qint64 order = 0; // within the step: the box, or the time of the last check

    friend auto operator<=>(const Rank &, const Rank &) = default;
};

Rank rankOf(const VerbProgress &verb, QDate today)
{
    if (!verb.practised())
        return {Step::New, 0};
    if (verb.box <= Leitner::FirstBox)
        return {Step::Waiting, 0};
    if (Leitner::isDue(verb.box, verb.seen, today))
        return {Step::Due, verb.box};
    return {Step::Seen, verb.checkedAt};
}

// This run's mistakes in the list: when each was drawn last, its index.
using Mistakes = QVarLengthArray<std::pair<quint64, qsizetype>, 8>;

qsizetype pickOf(const Random &random, qsizetype count)
{
    return std::min(qsizetype(random() * float(count)), count - 1);
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

    const auto excluded = [&](qsizetype i) {
        return i == previous || std::any_of(mistakes.cbegin(), mistakes.cend(), [i](const auto &m) {
                   return m.second == i;
               });
    };
    Rank best;
    qsizetype ties = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (excluded(i))
            continue;
        const Rank rank = rankOf(list.kept.at(i), today);
        if (ties == 0 || rank < best) {
            best = rank;
            ties = 1;
        } else if (rank == best) {
            ++ties;
        }
    }
    if (ties == 0) // only the verb drawn last and mistakes that must wait
        return next != mistakes.cend() ? next->second : std::max<qsizetype>(previous, 0);
    qsizetype pick = ties > 1 ? pickOf(random, ties) : 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (!excluded(i) && rankOf(list.kept.at(i), today) == best && pick-- == 0)
            return i;
    }
    return -1; // not reached: the second pass finds what the first counted
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
