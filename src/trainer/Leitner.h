#pragma once

#include <QDate>
#include <QtGlobal>

// Leitner boxes for "Fehler wiederholen": every verb practised sits in one of
// five boxes. A wrong answer sends it back to the first, a right one moves it
// up one; the higher the box, the longer until the verb is due again.
namespace Leitner {

inline constexpr quint8 FirstBox = 1;
inline constexpr quint8 LastBox = 5;

// The box after a check: up one (at most the last box) when right, back to
// the first when wrong. A box outside 1..5 is taken as the nearest one. A
// verb never practised counts as in the first box.
quint8 nextBox(quint8 box, bool right);

// Days from a check until the verb is due again: 1, 2, 4, 8, 16 for boxes
// 1 to 5 (outside 1..5, the nearest box).
constexpr qint64 intervalDays(quint8 box)
{
    return qint64(1) << ((box < FirstBox ? FirstBox : box > LastBox ? LastBox : box) - FirstBox);
}

// True when a verb in box, last checked on the local day seen, is due on the
// local day today. Calendar days, so a change of daylight saving time moves
// nothing. Inline: the draw asks it of every verb.
inline bool isDue(quint8 box, QDate seen, QDate today)
{
    return today.toJulianDay() - seen.toJulianDay() >= intervalDays(box);
}

} // namespace Leitner
