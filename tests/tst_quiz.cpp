#include "support/Utils.h"
#include "trainer/Quiz.h"

#include <QTest>

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
    QTest::newRow("inf-inner-double-blank") << true << "to go  on" << "to go on" << "to go  on"
                                            << "WRONG! --> to go on";
    QTest::newRow("inf-stored-trailing-blank") << true << "go" << "to go " << "to go"
                                               << "WRONG! --> to go ";

    QTest::newRow("form-first-of-two") << false << "burnt" << "burnt/burned" << "burnt" << ok;
    QTest::newRow("form-last-of-two-any-case") << false << "BURNED" << "burnt/burned" << "BURNED" << ok;
    QTest::newRow("form-both-with-slash") << false << "burnt/burned" << "burnt/burned"
                                          << "burnt/burned" << "WRONG! --> burnt/burned";
    QTest::newRow("form-three-middle") << false << "b" << "a/b/c" << "b" << "WRONG! --> a/b/c";
    QTest::newRow("form-three-last") << false << "c" << "a/b/c" << "c" << ok;
    QTest::newRow("form-outer-blanks") << false << "  was " << "was/were" << "was" << ok;
    QTest::newRow("form-only-blanks-trimmed") << false << "\twas" << "was" << "\twas" << "WRONG! --> was";
    QTest::newRow("form-stored-blank-never-matches") << false << "went" << "went " << "went"
                                                     << "WRONG! --> went ";
    QTest::newRow("form-empty-stored-empty-answer") << false << "" << "" << "" << ok;
    QTest::newRow("form-empty-stored-answer") << false << "x" << "" << "x" << "WRONG! --> ";
}

void tst_Quiz::check()
{
    QFETCH(bool, infinitive);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, caption);

    const QString box = infinitive ? Quiz::normaliseInfinitive(typed) : Utils::Trim(typed);
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
    QTest::newRow("11") << 11;
}

void tst_Quiz::drawOdds()
{
    QFETCH(int, verbs);
    // Every fourth r the generator can give (k / 2^24): the end points must
    // come up half as often as each verb between them, and nothing outside.
    QList<int> hits(verbs + 2);
    constexpr int draws = 1 << 22;
    for (int k = 0; k < draws; ++k)
        ++hits[qBound(0, int(Quiz::drawIndex(float(4 * k) * 0x1p-24f, 1, qint16(verbs))), verbs + 1)];
    QCOMPARE(hits.first() + hits.last(), 0);
    for (int index = 1; index <= verbs; ++index) {
        const double expected = (index == 1 || index == verbs ? 0.5 : 1.0) / (verbs - 1);
        QVERIFY2(qAbs(double(hits[index]) / draws - expected) < 1e-5, qPrintable(QString::number(index)));
    }
}

QTEST_GUILESS_MAIN(tst_Quiz)
#include "tst_quiz.moc"
