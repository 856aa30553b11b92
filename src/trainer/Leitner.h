#pragma once

#include <QList>
#include <QtGlobal>

// Leitner boxes for "Fehler wiederholen": every verb sits in one of five
// boxes, a wrong answer sends it back to the first, a right one moves it up
// one. Verbs in low boxes come up more often.
namespace Leitner {

inline constexpr quint8 FirstBox = 1;
inline constexpr quint8 LastBox = 5;

// The draw weight of a box: 16 for the first box, halving per box up to 1
// for the last. A box outside 1..5 counts as the nearest one.
quint32 weight(quint8 box);

// The box after a check: up one (at most the last box) when right, back to
// the first when wrong. A box outside 1..5 is taken as the nearest one.
quint8 nextBox(quint8 box, bool right);

// Draws a 1-based verb index from r in [0, 1): verb k (boxes[k - 1] its box)
// with odds proportional to its box's weight. With two or more verbs the
// previous draw (1-based, -1 for none) is left out, so no verb comes twice in
// a row; a single verb is always drawn. -1 for an empty list. Takes at most
// 32,767 verbs, as a 16-bit index holds; two passes over the list. r outside
// [0, 1) is clamped.
qint16 draw(float r, const QList<quint8> &boxes, qint16 previous);

} // namespace Leitner
