#include "trainer/Quiz.h"
#include "trainer/VerbList.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Quiz::Direction)

class tst_Quiz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One row per answer: its box, what the box shows after the check, the verdict.
    void check_data()
    {
        QTest::addColumn<bool>("infinitive");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("caption");
        const QString ok = QStringLiteral("CORRECT!"), no = QStringLiteral("WRONG! --> ");
        const auto row = [](const char *tag, bool infinitive, const QString &typed,
                            const QString &stored, const QString &shown, const QString &caption) {
            QTest::newRow(tag) << infinitive << typed << stored << shown << caption;
        };
        row("inf-capital-prefix", true, "TO Go", "to go", "to Go", ok);
        row("inf-blanks-collapse", true, "  to    go ", "to go", "to go", ok);
        row("inf-prefix-without-blank", true, "togo", "to go", "to togo", no + "to go");
        row("inf-empty", true, "", "to go", "to ", no + "to go");
        row("inf-inner-double-blank", true, "to go  on", "to go on", "to go  on", no + "to go on");
        row("inf-stored-outer-blanks-ignored", true, "go", " to go ", "to go", ok);
        row("form-last-of-two-any-case", false, "BURNED", "burnt/burned", "BURNED", ok);
        row("form-every-alternative-of-three", false, "bade", "bid/bade/bidden", "bade", ok);
        row("form-stored-blanks-around-slash", false, "Burned", "burnt / burned", "Burned", ok);
        row("form-stored-inner-blank-kept", false, "was on", "was  on", "was on", no + "was  on");
        row("form-empty-stored-answer", false, "x", "", "x", no);
        // What cannot be seen never counts; the verdict quotes the file as written.
        row("inf-stored-ligature", true, "flow", u"to \uFB02ow"_s, "to flow", ok);
        row("inf-stored-no-break-space", true, "swim", u"to\u00A0swim"_s, "to swim", ok);
        row("inf-typed-no-break-space-and-tab", true, u"\tto\u00A0swim"_s, "to swim", "to swim",
            ok);
        row("form-stored-narrow-and-ideographic", false, "swam", u"swam\u202F/\u3000swum"_s, "swam",
            ok);
        row("form-stored-bom-joiners-soft-hyphen", false, "swum",
            u"\uFEFFs\u00ADw\u200C\u200Du\u2060m\u200B"_s, "swum", ok);
        row("form-typed-zero-width", false, u"\u200Bswam"_s, "swam", "swam", ok);
        row("form-wrong-quotes-stored-as-written", false, "swum", u"sw\u200Bam"_s, "swum",
            no + u"sw\u200Bam"_s);
    }
    void check()
    {
        QFETCH(bool, infinitive);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const auto form = infinitive ? Quiz::Form::Infinitive : Quiz::Form::Past;
        const Quiz::Verdict verdict = Quiz::checkForm(form, typed, stored);
        QTEST(verdict.answer, "shown");
        QTEST(verdict.caption, "caption");
        QCOMPARE(verdict.correct, verdict.caption == QLatin1String("CORRECT!"));
    }

    // German asks all three forms; English gives the infinitive.
    void round_data()
    {
        QTest::addColumn<Quiz::Direction>("direction");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("focus");
        QTest::newRow("german") << Quiz::Direction::German << QStringList {"", "", ""}
                                << int(Quiz::Form::Infinitive);
        QTest::newRow("english") << Quiz::Direction::English << QStringList {"to go", "", ""}
                                 << int(Quiz::Form::Past);
    }
    void round()
    {
        QFETCH(Quiz::Direction, direction);
        QFETCH(QStringList, shown);
        const VerbEntry verb = *parseVerbLine(u"to go\twent\tgone\tgehen");
        const Quiz::Round round = Quiz::planRound(direction, verb);
        QCOMPARE(round.prompt, QStringLiteral("gehen"));
        QTEST(int(round.focus), "focus");
        for (const Quiz::Form form : Quiz::AllForms) {
            const auto i = size_t(form);
            QCOMPARE(round.shown[i], shown.at(qsizetype(i)));
            QCOMPARE(round.asked[i], Quiz::isAsked(direction, form));
            QCOMPARE(round.asked[i], shown.at(qsizetype(i)).isEmpty());
        }
    }
    void draw_data()
    {
        QTest::addColumn<float>("r");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("index");
        QTest::newRow("zero-gives-first") << 0.0f << 10 << 1;
        QTest::newRow("tie-down-to-even") << 0.75f << 3 << 2; // 2.5
        // Below 1.5 in double; in single precision the sum rounds onto the tie.
        QTest::newRow("single-precision-sum-hits-tie") << std::nextafter(0.25f, 0.0f) << 3 << 2;
        QTest::newRow("below-one-gives-last") << std::nextafter(1.0f, 0.0f) << 32760 << 32760;
    }
    void draw()
    {
        QFETCH(float, r);
        QFETCH(int, last);
        QTEST(int(Quiz::drawIndex(r, 1, qint16(last))), "index");
    }

    // Two copies started at the same moment must not drill the same words.
    void seedsDiffer() { QVERIFY(Quiz::systemSeed() != Quiz::systemSeed()); }
};

QTEST_GUILESS_MAIN(tst_Quiz)
#include "tst_quiz.moc"
