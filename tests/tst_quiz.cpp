#include "trainer/Quiz.h"

#include <QTest>

#include <map>

class tst_Quiz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void check_data();
    void check();
    void draw_data();
    void draw();
    void drawOdds_data();
    void drawOdds();
    void generatorRange();
};

// One row per answer: which box it was typed in, what the box shows after
// the check and the verdict's caption.
void tst_Quiz::check_data()
{
    QTest::addColumn<bool>("infinitive");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("caption");

    const QString ok = QStringLiteral("CORRECT!");
    QTest::newRow("inf-without-prefix") << true << "go" << "to go" << "to go" << ok;
    QTest::newRow("inf-capital-prefix") << true << "TO Go" << "to go" << "to Go" << ok;
    QTest::newRow("inf-blanks-collapse") << true << "  to    go " << "to go" << "to go" << ok;
    QTest::newRow("inf-prefix-without-blank") << true << "togo" << "to go" << "to togo"
                                              << "WRONG! --> to go";
    QTest::newRow("inf-just-to") << true << "to" << "to go" << "to to" << "WRONG! --> to go";
    QTest::newRow("inf-empty") << true << "" << "to go" << "to " << "WRONG! --> to go";
    QTest::newRow("inf-empty-matches-bare-prefix") << true << "" << "to " << "to " << ok;
    QTest::newRow("inf-stored-case-ignored") << true << "be" << "To Be" << "to be" << ok;
    QTest::newRow("inf-inner-double-blank") << true << "to go  on" << "to go on" << "to go  on"
                                            << "WRONG! --> to go on";
    QTest::newRow("inf-stored-trailing-blank") << true << "go" << "to go " << "to go"
                                               << "WRONG! --> to go ";
    QTest::newRow("inf-no-alternatives") << true << "get" << "to get/to got" << "to get"
                                         << "WRONG! --> to get/to got";

    QTest::newRow("form-first-of-two") << false << "burnt" << "burnt/burned" << "burnt" << ok;
    QTest::newRow("form-last-of-two-any-case") << false << "BURNED" << "burnt/burned" << "BURNED" << ok;
    QTest::newRow("form-both-with-slash") << false << "burnt/burned" << "burnt/burned"
                                          << "burnt/burned" << "WRONG! --> burnt/burned";
    QTest::newRow("form-three-first") << false << "a" << "a/b/c" << "a" << ok;
    QTest::newRow("form-three-middle") << false << "b" << "a/b/c" << "b" << "WRONG! --> a/b/c";
    QTest::newRow("form-three-last") << false << "c" << "a/b/c" << "c" << ok;
    QTest::newRow("form-outer-blanks") << false << "  was " << "was/were" << "was" << ok;
    QTest::newRow("form-only-blanks-trimmed") << false << "\twas" << "was" << "\twas" << "WRONG! --> was";
    QTest::newRow("form-inner-double-blank") << false << "got  ten" << "got ten" << "got  ten"
                                             << "WRONG! --> got ten";
    QTest::newRow("form-stored-blank-never-matches") << false << "went" << "went " << "went"
                                                     << "WRONG! --> went ";
    QTest::newRow("form-umlaut-case") << false << "ÄRGER" << "ärger" << "ÄRGER" << ok;
    QTest::newRow("form-empty-stored-empty-answer") << false << "" << "" << "" << ok;
    QTest::newRow("form-empty-stored-answer") << false << "x" << "" << "x" << "WRONG! --> ";
    QTest::newRow("form-empty-answer") << false << "" << "went" << "" << "WRONG! --> went";
}

void tst_Quiz::check()
{
    QFETCH(bool, infinitive);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, caption);

    const QString box = infinitive ? Quiz::normaliseInfinitive(typed) : Quiz::trimSpaces(typed);
    QCOMPARE(box, shown);
    const bool correct = infinitive ? Quiz::isInfinitiveCorrect(box, stored)
                                    : Quiz::isFormCorrect(box, stored);
    QCOMPARE(Quiz::verdictCaption(correct, stored), caption);
}

void tst_Quiz::draw_data()
{
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("index");

    const float belowOne = std::nextafter(1.0f, 0.0f);
    QTest::newRow("one-verb-low") << 0.0f << 1 << 1 << 1;
    QTest::newRow("one-verb-high") << belowOne << 1 << 1 << 1;
    QTest::newRow("zero-gives-first") << 0.0f << 1 << 10 << 1;
    QTest::newRow("below-one-gives-last") << belowOne << 1 << 10 << 10;
    QTest::newRow("tie-up-to-even") << 0.25f << 1 << 3 << 2;   // 1.5
    QTest::newRow("tie-down-to-even") << 0.75f << 1 << 3 << 2; // 2.5
    // In double this would stay below 1.5; in single precision the sum
    // rounds onto the tie.
    QTest::newRow("single-precision-sum-hits-tie") << std::nextafter(0.25f, 0.0f) << 1 << 3 << 2;
    QTest::newRow("largest-table-top") << belowOne << 1 << 32760 << 32760;
    QTest::newRow("largest-table-middle") << 0.5f << 1 << 32759 << 16380;
}

void tst_Quiz::draw()
{
    QFETCH(float, r);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, index);
    QCOMPARE(int(Quiz::drawIndex(r, qint16(first), qint16(last))), index);
}

void tst_Quiz::drawOdds_data()
{
    QTest::addColumn<int>("verbs");
    QTest::newRow("2") << 2;
    QTest::newRow("5") << 5;
    QTest::newRow("11") << 11;
}

// Every r the generator can give, k / 2^24, counted once: the end points
// must come up half as often as the others.
void tst_Quiz::drawOdds()
{
    QFETCH(int, verbs);
    constexpr int steps = 1 << 24;
    std::map<int, int> hits;
    for (int k = 0; k < steps; k += 4)
        ++hits[Quiz::drawIndex(float(k) * 0x1p-24f, 1, qint16(verbs))];

    QCOMPARE(int(hits.size()), verbs);
    QCOMPARE(hits.begin()->first, 1);
    QCOMPARE(hits.rbegin()->first, verbs);
    const double draws = steps / 4;
    for (const auto &[index, count] : hits) {
        const double expected = (index == 1 || index == verbs) ? 0.5 / (verbs - 1) : 1.0 / (verbs - 1);
        QVERIFY2(qAbs(count / draws - expected) < 1e-5, qPrintable(QString::number(index)));
    }
}

void tst_Quiz::generatorRange()
{
    for (quint32 seed : {0u, 86399u}) {
        Quiz::Random random;
        random.seed(seed);
        for (int i = 0; i < 100000; ++i) {
            const float r = random.next();
            QVERIFY(r >= 0.0f && r < 1.0f);
        }
    }
}

QTEST_GUILESS_MAIN(tst_Quiz)
#include "tst_quiz.moc"
