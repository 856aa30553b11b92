#pragma once

#include "trainer/Progress.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

// The draw while "Fehler wiederholen" is on: a pure function of the kept
// progress, what this run remembers of its draws, the day and a random
// source.
//
// The order of the draw:
//   1. a verb answered wrong in this run comes back within the next
//      MistakeReturnsWithin draws (never in the very next one), and again
//      after each return until it is answered right once;
//   2. the other mistakes waiting: verbs in the first box;
//   3. the verbs due today (Leitner::isDue), lower boxes first;
//   4. the verbs never practised;
//   5. when none of these is left, the verbs checked longest ago.
// A verb answered right is in a higher box and not due the same day, so it
// waits for step 5. No verb comes twice in a row unless it is the only one.
// The random source breaks ties and picks the draw at which a mistake comes
// back, so the drill does not feel mechanical.
namespace Practice {

inline constexpr quint64 MistakeReturnsWithin = 5;

// A verb answered wrong in this run and not yet right on a return.
struct Mistake
{
    QString key;       // progressKey()
    quint64 drawn = 0; // the number of the draw that brought it last
};

// What this run remembers between draws.
struct Session
{
    quint64 draws = 0; // draws so far; the next one is number draws + 1
    QString previous;  // the key of the verb drawn last
    QList<Mistake> mistakes;
};

// Gives numbers in [0, 1).
using Random = std::function<float()>;

// The 0-based index into the list of the next verb, -1 for an empty list.
// Calls random at most twice; one pass over the list.
qsizetype draw(const ListProgress &list, const Session &session, QDate today, const Random &random);

// A verb was drawn (and shown).
void recordDraw(Session &session, const QString &key);
// The verb drawn last was checked for the first time since its draw: a
// wrong one waits to come back, a right one stops waiting.
void recordCheck(Session &session, const QString &key, bool allRight);

} // namespace Practice
