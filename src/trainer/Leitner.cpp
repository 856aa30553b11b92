#include "trainer/Leitner.h"

#include <algorithm>

namespace Leitner {

namespace {

quint8 clampBox(quint8 box)
{
    return std::clamp(box, FirstBox, LastBox);
}

} // namespace

quint32 weight(quint8 box)
{
    return 1u << (LastBox - clampBox(box));
}

quint8 nextBox(quint8 box, bool right)
{
    if (!right)
        return FirstBox;
    return std::min<quint8>(clampBox(box) + 1, LastBox);
}

qint16 draw(float r, const QList<quint8> &boxes, qint16 previous)
{
    const qsizetype count = boxes.size();
    if (count == 0)
        return -1;
    if (count == 1)
        return 1;
    // With the previous verb out of the race, the weights of the others are
    // laid end to end and r picks a point on that line. The sum stays far
    // below 2^53 (at most 16 per verb), so it is exact in a double.
    const auto eligible = [previous](qsizetype k) { return k + 1 != previous; };
    double total = 0;
    for (qsizetype k = 0; k < count; ++k) {
        if (eligible(k))
            total += weight(boxes.at(k));
    }
    const double point = double(std::clamp(r, 0.0f, 1.0f)) * total;
    double end = 0;
    qsizetype last = -1;
    for (qsizetype k = 0; k < count; ++k) {
        if (!eligible(k))
            continue;
        end += weight(boxes.at(k));
        last = k;
        if (point < end)
            return qint16(k + 1);
    }
    // Only r = 1 (clamped from above) runs past the end.
    return qint16(last + 1);
}

} // namespace Leitner
