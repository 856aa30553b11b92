#pragma once

#include <QString>

// The score of this run: how many drawn verbs were answered right on their
// first check. A verb counts once per draw; checking it again changes
// nothing until the next verb is drawn.
class SessionScore
{
public:
    // A verb was drawn: its next check is the one that counts.
    void verbDrawn() { mAwaitingCheck = true; }
    // The drawn verb is gone (the list was read again): nothing counts until
    // the next draw.
    void verbForgotten() { mAwaitingCheck = false; }
    // Records a check of the drawn verb, right when every form checked was
    // right. True when it counted, i.e. it was the first check since the draw.
    bool verbChecked(bool allRight);

    int right() const { return mRight; }
    int checked() const { return mChecked; }
    // The score line while nothing is kept, "Seit dem Start: 12 von 15 richtig".
    QString caption() const;

private:
    int mRight = 0;
    int mChecked = 0;
    bool mAwaitingCheck = false;
};

// The score line while the day's count is kept, "Heute: 12 von 15 richtig".
QString todayCaption(quint64 right, quint64 checked);
