#include "trainer/ProgressStats.h"
#include "trainer/VerbList.h"

#include "progresstest.h"

#include <QTest>

using namespace ProgressTest;

// The progress file's format, the changes a check makes, and the figures shown.
class tst_Progress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useBerlinTime(); }

    // Box b is due 2^(b-1) calendar days after its check.
    void leitner()
    {
        const QDate spring(2026, 3, 28); // the night after has 23 hours
        for (quint8 box = 1; box <= 5; ++box) {
            const qint64 days = qint64(1) << (box - 1);
            QVERIFY(!Leitner::isDue(box, spring, spring.addDays(days - 1)));
            QVERIFY(Leitner::isDue(box, spring, spring.addDays(days)));
        }
    }

    // Each row: a file's bytes and the version 2 file they read as.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("written");
        const QByteArray v1AsV2
                = headV2
                  + "verb\t1\t2026-10-27\t1793098800000\t0\t0\t0\t\tto burn\tbrennen\n"
                    "verb\t3\t2026-12-06\t1796554800000\t0\t0\t0\t\tto go\tgehen\n";
        QTest::newRow("v1-read-without-loss") << fileV1 << v1AsV2;
        QTest::newRow("v2-as-written") << fileV2 << fileV2;
        QTest::newRow("cr-lf-no-final-line-end")
                << QByteArray(fileV2).replace("\n", "\r\n").chopped(2) << fileV2;
        QTest::newRow("empty-lines") << QByteArray(fileV1).replace("on\n", "on\n\n\n") << v1AsV2;
        QTest::newRow("header-only-off")
                << QByteArray("verbodrom-progress 1\nrepeat-mistakes off")
                << QByteArray("verbodrom-progress 2\nrepeat-mistakes off\n");
        QTest::newRow("v1-day-before-1970-time-0")
                << headV1 + "2\t0226-10-27\tto go\tgehen\n"
                << headV2 + "verb\t2\t0226-10-27\t0\t0\t0\t0\t\tto go\tgehen\n";
        QTest::newRow("named-twice-last-wins") << fileV1 + "1\t2026-12-06\tto go\tgehen\n"
                                               << QByteArray(v1AsV2).replace("verb\t3", "verb\t1");
        const QByteArray escapes
                = headV2
                  + "verb\t2\t2026-01-31\t1\t0\t0\t0\t\ta\\\\b\\r\tc\\td\\n bei\xc3\x9f"
                    "en\n";
        QTest::newRow("escapes-and-utf8") << escapes << escapes;
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        const std::optional<ProgressState> state = parseProgress(bytes);
        QVERIFY(state);
        QTEST(formatProgress(*state), "written");
    }

    void parseRejects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray verbV1("1\t2026-12-06\tto go\tgehen\n");
        const QByteArray verbV2("verb\t1\t2026-12-06\t0\t0\t0\t0\t\tto go\tgehen\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no-toggle-line") << QByteArray("verbodrom-progress 1\n");
        QTest::newRow("newer-version") << QByteArray(fileV2).replace("progress 2", "progress 3");
        QTest::newRow("toggle-unknown") << QByteArray(fileV1).replace("mistakes on", "mistakes ja");
        QTest::newRow("v1-box-9") << headV1 + QByteArray(verbV1).replace("1\t", "9\t");
        QTest::newRow("v1-box-other-script-digit") << headV1 + "\xd9\xa3" + verbV1.mid(1);
        QTest::newRow("v1-date-no-day") << headV1 + QByteArray(verbV1).replace("12-06", "02-30");
        QTest::newRow("v1-three-fields") << headV1 + "1\t2026-12-06\tto go\n";
        QTest::newRow("v1-line-in-v2") << headV2 + verbV1;
        QTest::newRow("v2-misses-ten-digits")
                << headV2 + QByteArray(verbV2).replace("\t0\t\t", "\t1234567890\t\t");
        QTest::newRow("v2-last-wrong-no-date")
                << headV2 + QByteArray(verbV2).replace("\t\t", "\tx\t");
        QTest::newRow("v2-eleven-fields") << headV2 + QByteArray(verbV2).replace("\n", "\tx\n");
        QTest::newRow("day-right-above-checked") << headV2 + "day\t2026-12-06\t2\t3\n";
        QTest::newRow("day-unknown-tag") << headV2 + "days\t2026-12-06\t2\t1\n";
        QTest::newRow("unknown-escape") << headV1 + "1\t2026-12-06\tto\\x go\tgehen\n";
        QTest::newRow("lone-backslash-at-end") << headV1 + "1\t2026-12-06\tto go\tgehen\\\n";
        QTest::newRow("not-utf8") << headV1 + "1\t2026-12-06\tto bite\tbei\337en\n";
        QTest::newRow("line-over-bound")
                << headV1 + "1\t2026-12-06\tto go\t" + QByteArray(MaxProgressLineBytes, 'g') + '\n';
        QTest::newRow("verbs-over-cap") << headV1 + verbV1.repeated(MaxKeptVerbs + 1);
        QByteArray days = headV2;
        for (int d = 0; d <= MaxHistoryDays; ++d)
            days += "day\t" + today.addDays(-d).toString(Qt::ISODate).toLatin1() + "\t1\t1\n";
        QTest::newRow("days-over-history") << days;
    }
    void parseRejects()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!parseProgress(bytes));
    }

    // Each row: changes applied in turn, and the state that results on today.
    void changes_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("state");
        QTest::newRow("right-up-wrong-back-misses-per-form")
                << "go 12-06 10:00 ---; go 12-06 10:01 ---; go 12-06 10:02 -x-; go 12-06 10:03 x-x"
                << "go:1@12-06 m111 w12-06 | 12-06=4/2";
        QTest::newRow("earlier-check-counts-later-box-wins")
                << "go 12-06 12:00 ---; go 12-05 11:00 x-x"
                << "go:2@12-06 m101 w12-05 | 12-05=1/0 12-06=1/1";
        QTest::newRow("other-lists-verbs-kept")
                << "go 12-01 10:00 ---; be 12-02 10:00 x--; burn 12-06 10:00 ---"
                << "be:1@12-02 m100 w12-02 burn:2@12-06 go:2@12-01 | 12-01=1/1 12-02=1/0 12-06=1/1";
        QTest::newRow("reset-forgets-verbs-not-days")
                << "go 12-06 10:00 x--; reset; be 12-06 11:00 ---"
                << "be:2@12-06 | 12-06=2/1";
        QTest::newRow("days-over-365-summed")
                << "go 2025-12-06 10:00 ---; go 2025-12-07 10:00 x--; go 12-06 10:00 ---"
                << "go:2@12-06 m100 w2025-12-07 | 2025-12-07=1/0 12-06=1/1 | before=1/1";
        QTest::newRow("midnight-splits-days")
                << "go 12-04 23:59:59.999 ---; be 12-05 00:00 x--"
                << "be:1@12-05 m100 w12-05 go:2@12-04 | 12-04=1/1 12-05=1/0";
        // 00:30 in Berlin is the day before in UTC; 03-29 has 23 hours, 10-25 has 25.
        QTest::newRow("short-day-in-spring-local-not-utc")
                << "go 03-29 00:30 ---; be 03-29 03:00 ---; do 03-29 23:59 ---"
                << "be:2@03-29 do:2@03-29 go:2@03-29 | 03-29=3/3";
        QTest::newRow("long-day-in-autumn")
                << "go 10-25 00:30 ---; be 10-25 02:30 x--; do 10-25 23:30 ---"
                << "be:1@10-25 m100 w10-25 do:2@10-25 go:2@10-25 | 10-25=3/2";
    }
    void changes()
    {
        QFETCH(QString, script);
        ProgressState state;
        for (const QString &step : script.split(u';'))
            applyChanges(state, changesOf(step), today);
        QTEST(summary(state), "state");
        QVERIFY(parseProgress(formatProgress(state)) == state);
    }

    // One verb over MaxKeptVerbs drops the one checked longest ago, of any list.
    void keptVerbsBounded()
    {
        ProgressChanges changes;
        const QDateTime start(today, QTime(8, 0), Qt::UTC);
        for (int i = MaxKeptVerbs; i >= 0; --i)
            changes.checks.append({QString::number(i), start.addSecs(i), {}});
        ProgressState state;
        applyChanges(state, changes, today);
        QCOMPARE(state.verbs.size(), MaxKeptVerbs);
        QVERIFY(!state.verbs.contains(QStringLiteral("0"))
                && state.verbs.contains(QStringLiteral("1")));
    }

    // A list's boxes, the days with gaps, the most missed, today's outlook.
    void stats()
    {
        QList<VerbEntry> verbs;
        for (const char *word : {"go", "be", "do", "go", "see", "new", "cut"})
            verbs << *parseVerbLine(QStringLiteral("to %1\tp\tpp\t%1").arg(QLatin1String(word)));
        ProgressState state;
        applyChanges(state,
                     changesOf("go 12-06 09:00 x--; go 12-06 09:05 -x-; be 12-03 10:00 xxx; "
                               "do 12-03 10:00 ---; see 12-05 10:00 ---; see 12-05 11:00 ---; "
                               "cut 12-02 10:00 x--; cut 12-04 10:00 ---; gone 12-06 10:00 xxx"),
                     today);
        const ListProgress list = listProgress(verbs, state);
        // never practised: "new"; box 1: go (twice in the list), be; box 2: do, cut; box 3: see
        QCOMPARE(ProgressStats::boxCounts(list), (std::array<qsizetype, 6> {1, 3, 2, 1, 0, 0}));
        // due: go, go, be (mistakes), do (box 2 since 12-03), cut (since 12-04); see waits
        QCOMPARE(ProgressStats::outlookCaption(ProgressStats::outlook(list, today)),
                 QStringLiteral("5 Verben fällig heute, 1 neu"));
        QStringList days;
        for (const ProgressStats::Day &day : ProgressStats::recentDays(state, today, 6))
            days << dateText(day.date) + (day.count ? u'=' + counts(*day.count) : QString());
        QCOMPARE(days.join(u' '),
                 QStringLiteral("12-01 12-02=1/0 12-03=2/1 12-04=1/1 12-05=2/2 12-06=3/0"));
        QStringList missed;
        for (const ProgressStats::MissedVerb &verb : ProgressStats::mostMissed(list, 3))
            missed << QString::number(verb.verb) + u':' + missText(verb.misses) + u'@'
                              + dateText(verb.lastWrong);
        // be has most; go and cut one each, go wrong last; "gone" is not listed
        QCOMPARE(missed.join(u' '), QStringLiteral("1:111@12-03 0:110@12-06 6:100@12-02"));
    }
};

QTEST_GUILESS_MAIN(tst_Progress)
#include "tst_progress.moc"
