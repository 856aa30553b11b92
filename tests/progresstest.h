#pragma once

// Shared by the progress tests: checks written as short scripts, and a state
// summed up in one line.

#include "trainer/ProgressStore.h"

#include "testsupport.h"

#include <QDateTime>
#include <QStringList>

#include <ctime>

namespace ProgressTest {

// Berlin time: a local day differs from the UTC day, and the clocks change.
inline const QDate today(2026, 12, 6);
inline void useBerlinTime()
{
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
}

inline QString keyOf(const QString &word)
{
    return QStringLiteral("to ") + word + u'\t' + word;
}

// "06-05", or "2025-12-06" outside 2026.
inline QDate dateOf(const QString &text)
{
    return QDate::fromString(text.size() == 5 ? QStringLiteral("2026-") + text : text, Qt::ISODate);
}
inline QString dateText(QDate date)
{
    return date.toString(date.year() == 2026 ? QStringLiteral("MM-dd")
                                             : QStringLiteral("yyyy-MM-dd"));
}

// "WORD DATE TIME FORMS;...": FORMS "-" right or "x" wrong each; "reset" forgets.
inline ProgressChanges changesOf(const QString &script)
{
    ProgressChanges changes;
    for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
        const QStringList part = step.split(u' ', Qt::SkipEmptyParts);
        if (part.at(0) == u"reset") {
            changes.reset = true;
            continue;
        }
        ProgressCheck check {
                keyOf(part.at(0)),
                QDateTime(dateOf(part.at(1)), QTime::fromString(part.at(2), Qt::ISODateWithMs)),
                {}};
        for (int form = 0; form < 3; ++form)
            check.wrong[form] = part.at(3).at(form) == u'x';
        changes.checks.append(check);
    }
    return changes;
}

inline QString counts(const DayCount &count)
{
    return QStringLiteral("%1/%2").arg(count.checked).arg(count.right);
}
inline QString missText(const std::array<quint32, 3> &m)
{
    return QStringLiteral("%1%2%3").arg(m[0]).arg(m[1]).arg(m[2]);
}

// "burn:2@12-06 go:1@12-06 m100 w12-06 | 12-06=2/1 | before=1/1"
inline QString summary(const ProgressState &state)
{
    QStringList keys = state.verbs.keys(), verbs, days;
    std::sort(keys.begin(), keys.end());
    for (const QString &key : keys) {
        const VerbProgress &v = state.verbs[key];
        QString line
                = key.section(u'\t', 1) + u':' + QString::number(v.box) + u'@' + dateText(v.seen);
        if (v.misses != std::array<quint32, 3> {})
            line += " m" + missText(v.misses);
        if (v.lastWrong.isValid())
            line += QStringLiteral(" w") + dateText(v.lastWrong);
        verbs << line;
    }
    for (auto day = state.days.cbegin(); day != state.days.cend(); ++day)
        days << dateText(day.key()) + u'=' + counts(*day);
    QString text = verbs.join(u' ') + QStringLiteral(" | ") + days.join(u' ');
    if (state.earlier != DayCount())
        text += QStringLiteral(" | before=") + counts(state.earlier);
    return text;
}

inline const QByteArray headV1("verbodrom-progress 1\nrepeat-mistakes on\n");
inline const QByteArray headV2("verbodrom-progress 2\nrepeat-mistakes on\n");
inline const QByteArray fileV1
        = headV1 + "1\t2026-10-27\tto burn\tbrennen\n3\t2026-12-06\tto go\tgehen\n";
// Noon of 2026-10-27 and 2026-12-06 in Berlin.
inline const QByteArray fileV2
        = headV2
          + "before\t7\t5\nday\t2026-12-05\t3\t2\n"
            "verb\t1\t2026-10-27\t1793098800000\t0\t0\t0\t\tto burn\tbrennen\n"
            "verb\t3\t2026-12-06\t1796554800000\t2\t0\t11\t2026-12-01\tto go\tgehen\n";
inline const QByteArray corruptV1 = headV1 + "9\t2026-12-06\tto go\tgehen\n";

} // namespace ProgressTest
