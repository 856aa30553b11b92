// Time from a click on "Anhören" until the speech engine reports that it
// speaks, against a plain QTextToSpeech::say() on a warm engine of the same
// kind in the same run. The main window drills the shipped list: "to burn"
// is drawn and checked, which has the voice loaded at the next idle moment
// (that time blocks the window, and is printed apart); then "Anhören" is
// clicked once (the engine's first text) and once for each round; every time
// the voice is stopped again as soon as it speaks. The plain engine is set up like the window's voice (English, the
// learner's rate) and says the same text. Sound goes to a null sink of the
// program's own (PulseAudio), so the figures do not depend on a sound card.
//
//   speech [rounds]   (default 11)

#include "platform/App.h"
#include "platform/Speech.h"
#include "program/Globals.h"
#include "trainer/Pronunciation.h"
#include "trainer/frmMain.h"

#include "Figures.h"
#include "nullsink.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTextToSpeech>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int defaultRounds = 11;
constexpr int waitTimeoutMs = 10000;

// Runs the event loop until done() holds, waking on every event. False after
// the timeout.
bool waitFor(const std::function<bool()> &done)
{
    QTimer bound;
    bound.setSingleShot(true);
    bound.start(waitTimeoutMs); // wakes the loop at the latest then
    const QDeadlineTimer deadline(waitTimeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// One speaking of the window's voice: the click, the time until it speaks,
// then silence again.
struct Click
{
    double blockingMs = 0; // the click handler itself
    double speakingMs = 0; // until the engine reports that it speaks
};

bool clickListen(QWidget *window, Click &click)
{
    auto *listen = window->findChild<QPushButton *>(QStringLiteral("btListen"));
    QElapsedTimer clock;
    clock.start();
    listen->click();
    click.blockingMs = msSince(clock);
    Voice *voice = window->findChild<Voice *>();
    if (!voice || !waitFor([voice] { return voice->state() == Voice::State::Speaking; }))
        return false;
    click.speakingMs = msSince(clock);
    voice->stop();
    return waitFor([voice] { return voice->state() != Voice::State::Speaking; });
}

// A plain engine like the window's voice: English, the learner's rate.
bool setUpPlain(QTextToSpeech &engine)
{
    const QList<QLocale> locales = engine.availableLocales();
    const qsizetype chosen = Speech::preferredEnglish(locales);
    if (chosen < 0)
        return false;
    engine.setLocale(locales.at(chosen));
    const QList<QVoice> voices = engine.availableVoices();
    if (voices.isEmpty())
        return false;
    engine.setVoice(voices.first());
    engine.setRate(Speech::LearnerRate);
    return true;
}

bool plainSay(QTextToSpeech &engine, const QString &text, double &speakingMs)
{
    QElapsedTimer clock;
    clock.start();
    engine.say(text);
    if (!waitFor([&engine] { return engine.state() == QTextToSpeech::Speaking; }))
        return false;
    speakingMs = msSince(clock);
    engine.stop(QTextToSpeech::BoundaryHint::Immediate);
    return waitFor([&engine] { return engine.state() != QTextToSpeech::Speaking; });
}

int fail(const char *what)
{
    std::fprintf(stderr, "speech: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    NullSink sink; // before anything plays: Qt connects to a sound server once
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : defaultRounds;
    if (rounds < 1)
        return 2;
    if (!sink.isRunning())
        return fail(qPrintable("no sound output: " + sink.error()));

    App::setPath(QStringLiteral(VERBODROM_SOURCE_DIR)); // the shipped verb list
    auto *window = new frmMain(Globals::services());
    window->show();
    // "to burn", so that both sides say the same text.
    const QList<VerbEntry> &verbs = window->verbList();
    const auto burn = std::find_if(verbs.begin(), verbs.end(), [](const VerbEntry &verb) {
        return verb.EngInf() == QLatin1String("to burn");
    });
    if (burn == verbs.end())
        return fail("the shipped list has no \"to burn\"");
    const float r = float(burn - verbs.begin()) / float(verbs.size() - 1);
    window->setRandomSource([r] { return r; });
    const QString text = Pronunciation::spokenForms(*burn);
    window->findChild<QPushButton *>(QStringLiteral("btNewWord"))->click();
    window->findChild<QPushButton *>(QStringLiteral("btEnter"))->click();
    // The check left the voice to be loaded at the next idle moment.
    QElapsedTimer loading;
    loading.start();
    if (!waitFor([window] { return window->findChild<Voice *>() != nullptr; }))
        return fail("no voice was loaded after the check");
    const double loadMs = msSince(loading);

    Click first;
    if (!clickListen(window, first))
        return fail("the first click on Anhören did not speak");
    const QString described = window->findChild<Voice *>()->description();
    QList<double> warm;
    for (int round = 0; round < rounds; ++round) {
        Click click;
        if (!clickListen(window, click))
            return fail("a click on Anhören did not speak");
        warm << click.speakingMs;
    }

    QTextToSpeech plain(QStringLiteral("flite"));
    double ms = 0;
    if (!setUpPlain(plain) || !plainSay(plain, text, ms)) // warms it up
        return fail("the plain flite engine did not speak");
    QList<double> plainMs;
    for (int round = 0; round < rounds; ++round) {
        if (!plainSay(plain, text, ms))
            return fail("the plain flite engine did not speak");
        plainMs << ms;
    }

    const double clickMedian = median(warm);
    const double plainMedian = median(plainMs);
    std::printf("voice: %s\n", qPrintable(described));
    std::printf("rounds: %d\n", rounds);
    std::printf("voice_load_after_check_ms: %.1f\n", loadMs);
    std::printf("first_click_to_speaking_ms: %.1f\n", first.speakingMs);
    std::printf("first_click_handler_ms: %.1f\n", first.blockingMs);
    std::printf("click_to_speaking_ms: %.1f\n", clickMedian);
    std::printf("click_to_speaking_best_ms: %.1f\n", *std::min_element(warm.begin(), warm.end()));
    std::printf("plain_say_to_speaking_ms: %.1f\n", plainMedian);
    std::printf("ratio_to_plain_say: %.2f\n", clickMedian / plainMedian);
    std::printf("result: click on Anhören to speaking %.1f ms (median of %d, warm engine), %.2f "
                "times a plain say (%.1f ms); the first click %.1f ms; the voice loads at idle "
                "after the first check in %.1f ms; %s\n",
                clickMedian, rounds, clickMedian / plainMedian, plainMedian, first.speakingMs,
                loadMs, qPrintable(described));
    delete window;
    return 0;
}
