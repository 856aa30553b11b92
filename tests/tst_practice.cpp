#include "trainer/Practice.h"
#include "trainer/Quiz.h"

#include <QTest>

#include <random>

namespace {

const QDate today(2026, 12, 6);

QString keyOf(qsizetype i)
{
    return QStringLiteral("to v%1\tg%1").arg(i);
}

// "n" never practised, "B.A" box B, checked A days ago (noon, +1 s per position).
ListProgress listOf(const QString &tokens)
{
    ListProgress list;
    for (const QString &token : tokens.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype i = list.keys.size();
        list.keys << keyOf(i);
        list.index.insert(keyOf(i), i);
        VerbProgress verb;
        if (token != u"n") {
            verb.box = quint8(token.section(u'.', 0, 0).toInt());
            verb.seen = today.addDays(-token.section(u'.', 1).toInt());
            verb.checkedAt = QDateTime(verb.seen, QTime(12, 0, 0)).addSecs(i).toMSecsSinceEpoch();
        }
        list.kept << verb;
    }
    return list;
}

// A verb's step of the draw (1 earlier mistake, 2 due, 3 new, 4 oldest), its order.
std::pair<int, qint64> drawStep(const VerbProgress &v, QDate date)
{
    if (!v.seen.isValid())
        return {3, 0};
    if (v.box == 1)
        return {1, 0};
    if (v.seen.daysTo(date) >= (1 << (v.box - 1)))
        return {2, v.box};
    return {4, v.checkedAt};
}

} // namespace

class tst_Practice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The list, mistakes ("index@draw"), draws, the last verb, random numbers, drawn.
    // The order of the steps is checked on every draw of the simulation below.
    void draw_data()
    {
        QTest::addColumn<QString>("verbs");
        QTest::addColumn<QString>("mistakes");
        QTest::addColumn<int>("draws");
        QTest::addColumn<int>("previous");
        QTest::addColumn<QString>("random");
        QTest::addColumn<int>("drawn");
        const auto row = [](const char *name, const char *verbs, const char *mistakes, int draws,
                            int previous, const char *random, int drawn) {
            QTest::newRow(name) << verbs << mistakes << draws << previous << random << drawn;
        };
        row("empty", "", "", 0, -1, "0.5", -1);
        row("one-verb-again", "2.0", "", 1, 0, "0.5", 0);
        row("ties-by-random", "n n n n", "", 0, -1, "0.6", 2);
        row("never-twice-in-a-row", "n n", "", 1, 0, "0", 1);
        row("mistake-back-by-chance", "1.0 n", "0@7", 8, 1, "0.24", 0);
        row("mistake-waits-by-chance", "1.0 n n", "0@7", 8, 1, "0.26 0", 2);
        row("overdue-mistake-first", "1.0 n", "0@3", 11, 1, "0.99", 0);
        row("earliest-mistake-first", "n 1.0 1.0 n", "2@7 1@8", 11, 3, "0", 2);
        row("mistake-waiting-alone", "1.0 1.0", "0@7", 8, 1, "0.99", 0);
        row("mistake-left-list-ignored", "n n", "5@3", 11, 1, "0", 0);
        row("run-mistake-waits-others-come", "1.0 2.9 1.4", "0@7", 8, 1, "0.9 0", 2);
    }
    void draw()
    {
        QFETCH(QString, verbs);
        QFETCH(QString, mistakes);
        QFETCH(int, draws);
        QFETCH(int, previous);
        QFETCH(QString, random);
        const ListProgress list = listOf(verbs);
        Practice::Session session;
        session.draws = quint64(draws);
        session.previous = previous >= 0 ? keyOf(previous) : QString();
        for (const QString &mistake : mistakes.split(u' ', Qt::SkipEmptyParts))
            session.mistakes.append({keyOf(mistake.section(u'@', 0, 0).toInt()),
                                     mistake.section(u'@', 1).toULongLong()});
        QList<float> numbers;
        for (const QString &number : random.split(u' '))
            numbers << number.toFloat();
        const auto next
                = [&numbers] { return numbers.size() > 1 ? numbers.takeFirst() : numbers.first(); };
        QTEST(int(Practice::draw(list, session, today, next)), "drawn");
    }

    // 200 verbs, 30 days of 90 draws, forms missed by chance; every draw against
    // the rules, as the learner recorded them.
    void simulation()
    {
        constexpr int verbCount = 200, days = 30, drawsPerDay = 90;
        constexpr double missChance = 0.12;
        std::mt19937 engine(18);
        std::bernoulli_distribution miss(missChance);
        Quiz::Random random;
        random.seed(20);
        ListProgress list = listOf(QStringLiteral("n ").repeated(verbCount));
        ProgressState state;
        QList<int> steps(5); // draws per rule: 0 mistake of this run, 1 earlier mistake, ...
        for (int day = 0; day < days; ++day) {
            const QDate date = today.addDays(day);
            Practice::Session session;
            QHash<qsizetype, quint64>
                    waiting; // the learner's record: mistake, draw that brought it
            for (int n = 0; n < drawsPerDay; ++n) {
                const quint64 number = session.draws + 1;
                const qsizetype drawn
                        = Practice::draw(list, session, date, [&random] { return random.next(); });
                QVERIFY(drawn >= 0 && keyOf(drawn) != session.previous);
                for (auto it = waiting.cbegin(); it != waiting.cend(); ++it)
                    QVERIFY2(number <= it.value() + 5
                                     && (number < it.value() + 5 || it.key() == drawn),
                             "a mistake came back late");
                const auto rank = [&](qsizetype i) { return drawStep(list.kept.at(i), date); };
                if (waiting.contains(drawn)) {
                    QVERIFY(number >= waiting[drawn] + 2);
                    ++steps[0];
                } else {
                    for (qsizetype i = 0; i < verbCount; ++i)
                        QVERIFY(keyOf(i) == session.previous || waiting.contains(i)
                                || rank(drawn) <= rank(i));
                    ++steps[rank(drawn).first];
                }
                Practice::recordDraw(session, keyOf(drawn));
                if (waiting.contains(drawn))
                    waiting[drawn] = number;
                const VerbProgress before = list.kept.at(drawn);
                ProgressCheck check {
                        keyOf(drawn), QDateTime(date, QTime(8, 0)).addSecs(n * 60), {}};
                for (bool &wrong : check.wrong)
                    wrong = miss(engine);
                Practice::recordCheck(session, check.key, check.allRight());
                if (check.allRight())
                    waiting.remove(drawn);
                else
                    waiting.insert(drawn, number);
                applyChanges(state, {{}, false, {check}}, date);
                refreshListProgress(list, state);
                const quint8 box = list.kept.at(drawn).box;
                QCOMPARE(box, check.allRight() ? std::min(before.box + 1, 5) : 1);
            }
        }
        // Every rule had its turn.
        for (int step = 0; step < steps.size(); ++step)
            QVERIFY2(steps[step] > 0, qPrintable(QString::number(step)));
    }
};

QTEST_GUILESS_MAIN(tst_Practice)
#include "tst_practice.moc"
