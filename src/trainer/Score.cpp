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
    return QStringLiteral("Seit dem Start: %1 von %2 richtig").arg(mRight).arg(mChecked);
}

QString todayCaption(quint64 right, quint64 checked)
{
    return QStringLiteral("Heute: %1 von %2 richtig").arg(right).arg(checked);
}
