#include "trainer/Leitner.h"

#include <algorithm>

namespace Leitner {

namespace {

quint8 clampBox(quint8 box)
{
    return std::clamp(box, FirstBox, LastBox);
}

} // namespace

quint8 nextBox(quint8 box, bool right)
{
    if (!right)
        return FirstBox;
    return std::min<quint8>(clampBox(box) + 1, LastBox);
}

} // namespace Leitner
