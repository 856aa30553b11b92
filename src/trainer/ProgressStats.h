#pragma once

#include "trainer/Progress.h"

#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// What a view of the learner's progress shows, computed from the kept
// progress and the loaded list. Pure functions: they read, never change.
namespace ProgressStats {

// The list's verbs by box: [0] never practised, [1] to [5] the boxes.
std::array<qsizetype, Leitner::LastBox + 1> boxCounts(const ListProgress &list);

// One local day of the history; no count on a day without practice.
struct Day
{
    QDate date;
    std::optional<DayCount> count;
};
// The last `days` local days, oldest first, today last.
QList<Day> recentDays(const ProgressState &state, QDate today, int days = 30);

// A verb of the list and its misses.
struct MissedVerb
{
    qsizetype verb = -1;              // 0-based index into the list
    std::array<quint32, 3> misses {}; // by Quiz::Form
    QDate lastWrong;

    quint64 total() const { return quint64(misses[0]) + misses[1] + misses[2]; }
};
// The list's verbs missed most often, at most count of them: most misses
// first, then the one wrong last, then list order. A verb never missed is not
// named, and a verb listed twice is named once.
QList<MissedVerb> mostMissed(const ListProgress &list, qsizetype count = 15);

// The list's verbs the drill brings today before any other: the mistakes
// waiting and the verbs due; and those never practised.
struct Outlook
{
    qsizetype due = 0;
    qsizetype fresh = 0;
};
Outlook outlook(const ListProgress &list, QDate today);
// "N Verben fällig heute, M neu" ("1 Verb" for one).
QString outlookCaption(const Outlook &outlook);

} // namespace ProgressStats
