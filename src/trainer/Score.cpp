#include "trainer/Score.h"

bool SessionScore::verbChecked(bool allRight)
{
    if (!mAwaitingCheck)
        return false;
    mAwaitingCheck = false;
    ++mChecked;
    if (allRight)
        ++mRight;
    return true;
}

QString SessionScore::caption() const
{
    return QStringLiteral("Heute: %1 von %2 richtig").arg(mRight).arg(mChecked);
}
