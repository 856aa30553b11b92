#include "platform/Speech.h"
#include "trainer/Pronunciation.h"
#include "trainer/VerbList.h"

#include "nullsink.h"

#include <QTest>
#include <QTextToSpeech>

#include <optional>

using namespace Qt::StringLiterals;

class tst_Speech : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Before any engine is loaded: Qt connects to a sound server once.
    void initTestCase() { mSink.emplace(); }
    void cleanupTestCase() { mSink.reset(); }

    // What "Anhören" says of a verb line: its forms as the learner sees them.
    void spoken_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("alternatives-with-or") << u"to burn\tburnt/burned\tburnt / burned\tbrennen"_s
                                              << u"to burn, burnt or burned, burnt or burned"_s;
        QTest::newRow("three-alternatives-outer-blanks")
                << u" to bid \t bid/bade/bidden \tbid \tbieten"_s
                << u"to bid, bid or bade or bidden, bid"_s;
        QTest::newRow("ligature-and-invisible")
                << u"to \uFB02ow\t\uFB02ew\u200B\t\u00A0\uFB02own\tfließen"_s
                << u"to flow, flew, flown"_s;
        QTest::newRow("empty-alternative-and-form") << u"to x\tx/ \t\tx"_s << u"to x, x"_s;
    }
    void spoken()
    {
        QFETCH(QString, line);
        QTEST(Pronunciation::spokenForms(parseVerbLine(line).value()), "spoken");
    }

    // Desktop speech before flite.
    void engineOrder()
    {
        QCOMPARE(Speech::engineOrder({"flite", "speechd"}), (QStringList {"speechd", "flite"}));
        QCOMPARE(Speech::engineOrder({}), QStringList());
    }

    void preferredEnglish_data()
    {
        QTest::addColumn<QStringList>("locales");
        QTest::addColumn<int>("chosen");
        QTest::newRow("british-first") << QStringList {"de_DE", "en_US", "en_GB"} << 2;
        QTest::newRow("then-american") << QStringList {"en_AU", "de_DE", "en_US"} << 2;
        QTest::newRow("then-any-english") << QStringList {"de_DE", "en_IE", "en_AU"} << 1;
        QTest::newRow("no-english") << QStringList {"de_DE", "fr_FR"} << -1;
    }
    void preferredEnglish()
    {
        QFETCH(QStringList, locales);
        QList<QLocale> list;
        for (const QString &name : locales)
            list << QLocale(name);
        QTEST(int(Speech::preferredEnglish(list)), "chosen");
    }

    // The real flite engine speaks from Speaking to Ready and starts over; Qt
    // 6.4's flite fails "to do, did, done" at first, so the voice retries.
    void flite()
    {
        QVERIFY(!Speech::englishVoice(Speech::LearnerRate, {QStringLiteral("no-such-engine")}));
        if (!QTextToSpeech::availableEngines().contains(QStringLiteral("flite")))
            QSKIP("No flite engine: the package qt6-speech-flite-plugin is not installed");
        std::unique_ptr<Voice> voice
                = Speech::englishVoice(Speech::LearnerRate, {QStringLiteral("flite")});
        QVERIFY(voice);
        QVERIFY2(voice->description().contains(QLatin1String(", en_")),
                 qPrintable(voice->description()));
        if (!mSink->isRunning())
            QSKIP(qPrintable("No sound output to speak to: " + mSink->error()));
        QList<Voice::State> seen;
        connect(voice.get(), &Voice::stateChanged, this,
                [&seen](Voice::State state) { seen << state; });
        voice->say(QStringLiteral("to go"));
        QTRY_COMPARE_WITH_TIMEOUT(voice->state(), Voice::State::Speaking, speakingTimeoutMs);
        voice->say(QStringLiteral("to do, did, done"));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 4, spokenTimeoutMs);
        QCOMPARE(seen, (QList {Voice::State::Speaking, Voice::State::Ready, Voice::State::Speaking,
                               Voice::State::Ready}));
    }

private:
    static constexpr int speakingTimeoutMs = 5000;
    static constexpr int spokenTimeoutMs = 15000;
    std::optional<NullSink> mSink;
};

QTEST_GUILESS_MAIN(tst_Speech)
#include "tst_speech.moc"
