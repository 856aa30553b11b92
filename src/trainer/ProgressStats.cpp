#include "trainer/ProgressStats.h"

#include <algorithm>

namespace ProgressStats {

std::array<qsizetype, Leitner::LastBox + 1> boxCounts(const ListProgress &list)
{
    std::array<qsizetype, Leitner::LastBox + 1> counts {};
    for (const VerbProgress &verb : list.kept)
        ++counts[verb.practised() ? std::clamp(verb.box, Leitner::FirstBox, Leitner::LastBox) : 0];
    return counts;
}

QList<Day> recentDays(const ProgressState &state, QDate today, int days)
{
    QList<Day> recent;
    recent.reserve(days);
    for (int back = days - 1; back >= 0; --back) {
        const QDate date = today.addDays(-back);
        const auto found = state.days.constFind(date);
        recent.append({date, found == state.days.cend() ? std::nullopt : std::optional(*found)});
    }
    return recent;
}

QList<MissedVerb> mostMissed(const ListProgress &list, qsizetype count)
{
    QList<MissedVerb> missed;
    for (qsizetype i = 0; i < list.kept.size(); ++i) {
        const VerbProgress &verb = list.kept.at(i);
        if (verb.misses != std::array<quint32, 3> {})
            missed.append({i, verb.misses, verb.lastWrong});
    }
    // A heap whose top is the verb to name first; a verb listed twice is
    // looked up only when it comes up, not each of the list's verbs.
    const auto after = [](const MissedVerb &a, const MissedVerb &b) {
        if (a.total() != b.total())
            return a.total() < b.total();
        if (a.lastWrong != b.lastWrong)
            return a.lastWrong < b.lastWrong;
        return a.verb > b.verb;
    };
    std::make_heap(missed.begin(), missed.end(), after);
    QList<MissedVerb> named;
    for (auto end = missed.end(); end != missed.begin() && named.size() < count; --end) {
        std::pop_heap(missed.begin(), end, after);
        const MissedVerb &top = *(end - 1);
        if (list.indexOf(list.keys.at(top.verb)) == top.verb)
            named.append(top);
    }
    return named;
}

Outlook outlook(const ListProgress &list, QDate today)
{
    Outlook result;
    for (const VerbProgress &verb : list.kept) {
        if (!verb.practised())
            ++result.fresh;
        else if (verb.box <= Leitner::FirstBox || Leitner::isDue(verb.box, verb.seen, today))
            ++result.due;
    }
    return result;
}

QString outlookCaption(const Outlook &outlook)
{
    return QStringLiteral("%1 %2 fällig heute, %3 neu")
            .arg(outlook.due)
            .arg(outlook.due == 1 ? QStringLiteral("Verb") : QStringLiteral("Verben"))
            .arg(outlook.fresh);
}

} // namespace ProgressStats
