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

#include "platform/Speech.h"

#include "platform/App.h"
#include "program/Globals.h"
#include "trainer/Pronunciation.h"
#include "trainer/frmMain.h"

#include "Figures.h"
#include "WaitFor.h"
#include "nullsink.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTextToSpeech>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int defaultRounds = 11;
constexpr int waitTimeoutMs = 10000;

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// False, having said why.
bool fail(const char *what)
{
    std::fprintf(stderr, "speech: %s\n", what);
    return false;
}

// Has the window draw and check "to burn", so that both sides say the same
// text, and times the voice's loading that the check leaves for the next
// idle moment.
bool drawAndCheck(frmMain *window, QString &text, double &loadMs)
{
    const QList<VerbEntry> &verbs = window->verbList();
    const auto burn = std::find_if(verbs.begin(), verbs.end(), [](const VerbEntry &verb) {
        return verb.EngInf() == QLatin1String("to burn");
    });
    if (burn == verbs.end())
        return fail("the shipped list has no \"to burn\"");
    const float r = float(burn - verbs.begin()) / float(verbs.size() - 1);
    window->setRandomSource([r] { return r; });
    text = Pronunciation::spokenForms(*burn);
    window->findChild<QPushButton *>(QStringLiteral("btNewWord"))->click();
    window->findChild<QPushButton *>(QStringLiteral("btEnter"))->click();
    QElapsedTimer loading;
    loading.start();
    if (!waitFor([window] { return window->findChild<Voice *>() != nullptr; }, waitTimeoutMs))
        return fail("no voice was loaded after the check");
    loadMs = msSince(loading);
    return true;
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
    if (!voice
        || !waitFor([voice] { return voice->state() == Voice::State::Speaking; }, waitTimeoutMs))
        return false;
    click.speakingMs = msSince(clock);
    voice->stop();
    return waitFor([voice] { return voice->state() != Voice::State::Speaking; }, waitTimeoutMs);
}

// The window's side: the first click (the engine's first text), then one
// click for each round.
struct Clicks
{
    Click first;
    QString described; // the voice, as it describes itself
    QList<double> warmMs;
};

bool timeClicks(QWidget *window, int rounds, Clicks &clicks)
{
    if (!clickListen(window, clicks.first))
        return fail("the first click on Anhören did not speak");
    clicks.described = window->findChild<Voice *>()->description();
    for (int round = 0; round < rounds; ++round) {
        Click click;
        if (!clickListen(window, click))
            return fail("a click on Anhören did not speak");
        clicks.warmMs << click.speakingMs;
    }
    return true;
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
    if (!waitFor([&engine] { return engine.state() == QTextToSpeech::Speaking; }, waitTimeoutMs))
        return false;
    speakingMs = msSince(clock);
    engine.stop(QTextToSpeech::BoundaryHint::Immediate);
    return waitFor([&engine] { return engine.state() != QTextToSpeech::Speaking; }, waitTimeoutMs);
}

// The plain side: one say to warm the engine up, then one for each round.
bool timePlain(const QString &text, int rounds, QList<double> &plainMs)
{
    QTextToSpeech plain(QStringLiteral("flite"));
    double ms = 0;
    if (!setUpPlain(plain) || !plainSay(plain, text, ms))
        return fail("the plain flite engine did not speak");
    for (int round = 0; round < rounds; ++round) {
        if (!plainSay(plain, text, ms))
            return fail("the plain flite engine did not speak");
        plainMs << ms;
    }
    return true;
}

void printFigures(const Clicks &clicks, const QList<double> &plainMs, int rounds, double loadMs)
{
    const Figures click = figuresOf(clicks.warmMs);
    const double plainMedian = median(plainMs);
    const double firstMs = clicks.first.speakingMs;
    std::printf("voice: %s\n", qPrintable(clicks.described));
    std::printf("rounds: %d\n", rounds);
    std::printf("voice_load_after_check_ms: %.1f\n", loadMs);
    std::printf("first_click_to_speaking_ms: %.1f\n", firstMs);
    std::printf("first_click_handler_ms: %.1f\n", clicks.first.blockingMs);
    std::printf("click_to_speaking_ms: %.1f\n", click.median);
    std::printf("click_to_speaking_best_ms: %.1f\n", click.best);
    std::printf("plain_say_to_speaking_ms: %.1f\n", plainMedian);
    std::printf("ratio_to_plain_say: %.2f\n", click.median / plainMedian);
    std::printf("result: click on Anhören to speaking %.1f ms (median of %d, warm engine), %.2f "
                "times a plain say (%.1f ms); the first click %.1f ms; the voice loads at idle "
                "after the first check in %.1f ms; %s\n",
                click.median, rounds, click.median / plainMedian, plainMedian, firstMs, loadMs,
                qPrintable(clicks.described));
}

} // namespace

int main(int argc, char *argv[])
{
    NullSink sink; // before anything plays: Qt connects to a sound server once
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : defaultRounds;
    if (rounds < 1)
        return 2;
    if (!sink.isRunning()) {
        fail(qPrintable("no sound output: " + sink.error()));
        return 1;
    }

    App::setPath(QStringLiteral(VERBODROM_SOURCE_DIR)); // the shipped verb list
    auto *window = new frmMain(Globals::services());
    window->show();
    QString text;
    double loadMs = 0;
    Clicks clicks;
    QList<double> plainMs;
    if (!drawAndCheck(window, text, loadMs) || !timeClicks(window, rounds, clicks)
        || !timePlain(text, rounds, plainMs))
        return 1;
    printFigures(clicks, plainMs, rounds, loadMs);
    delete window;
    return 0;
}
