#include "platform/Speech.h"

#include <QTextToSpeech>
#include <QTimer>

#include <array>
#include <utility>

namespace {

struct VoiceSource
{
    std::function<std::unique_ptr<Voice>()> makeVoice;
    bool engineInstalled = true;
};

VoiceSource &voiceSource()
{
    static VoiceSource source;
    return source;
}

const QString flite = QStringLiteral("flite");

// Qt 6.4's flite engine drops a text whose synthesised sound ends exactly on
// one of its chunks: it writes an empty last chunk, takes that for a failed
// write and reports "Audio streaming error" (about one text in four, voice
// and rate alike). At a slightly different rate the sound has another
// length: a failed text is tried again at these offsets from the chosen
// rate, and only then reported.
constexpr std::array<double, 2> retryRateOffsets {-0.05, 0.05};

class TextToSpeechVoice final : public Voice
{
public:
    TextToSpeechVoice(QTextToSpeech *engine, double rate)
        : mEngine(engine),
          mRate(rate)
    {
        mEngine->setParent(this);
        mEngine->setRate(rate);
        connect(mEngine, &QTextToSpeech::stateChanged, this,
                [this](QTextToSpeech::State state) { engineStateChanged(state); });
        connect(mEngine, &QTextToSpeech::errorOccurred, this,
                [this](QTextToSpeech::ErrorReason reason, const QString &message) {
                    engineFailed(reason, message);
                });
    }

    void say(const QString &text) override
    {
        mText = text;
        mRetries = 0;
        mEngine->setRate(mRate);
        mEngine->say(text);
    }

    void stop() override
    {
        mText.clear();
        mEngine->stop(QTextToSpeech::BoundaryHint::Immediate);
    }

    State state() const override { return mState; }

    QString description() const override
    {
        return mEngine->engine() + QStringLiteral(": ") + mEngine->voice().name()
               + QStringLiteral(", ") + mEngine->locale().name();
    }

private:
    void setState(State state)
    {
        if (std::exchange(mState, state) != state)
            Q_EMIT stateChanged(state);
    }

    void engineStateChanged(QTextToSpeech::State state)
    {
        switch (state) {
        case QTextToSpeech::Speaking:
        case QTextToSpeech::Paused:
            setState(State::Speaking);
            break;
        case QTextToSpeech::Ready:
            // After a failure the engine is ready again, but the text was not
            // spoken: that stays told until the next text or the retry.
            if (!mRetryPending && mState != State::Failed)
                setState(State::Ready);
            break;
        case QTextToSpeech::Error:
            break; // errorOccurred() tells why
        }
    }

    void engineFailed(QTextToSpeech::ErrorReason reason, const QString &message)
    {
        if (reason == QTextToSpeech::ErrorReason::Playback && !mText.isEmpty()
            && mRetries < int(retryRateOffsets.size())) {
            mEngine->setRate(mRate + retryRateOffsets[size_t(mRetries++)]);
            mRetryPending = true;
            // Once the engine has left its failed text behind.
            QTimer::singleShot(0, this, [this] {
                mRetryPending = false;
                if (mText.isEmpty()) // stopped meanwhile
                    setState(State::Ready);
                else
                    mEngine->say(mText);
            });
            return;
        }
        if (!mFailureLogged)
            qWarning("Speech failed (%s): %s", qPrintable(description()), qPrintable(message));
        mFailureLogged = true;
        setState(State::Failed);
    }

    QTextToSpeech *mEngine;
    const double mRate;
    QString mText; // what is being spoken, for a retry
    int mRetries = 0;
    bool mRetryPending = false;
    bool mFailureLogged = false;
    State mState = State::Ready;
};

// The engine's first English voice, set up to speak; nullptr when it has none.
std::unique_ptr<Voice> englishVoiceOf(const QString &name, double rate)
{
    auto engine = std::make_unique<QTextToSpeech>(name);
    if (engine->state() == QTextToSpeech::Error)
        return nullptr;
    const QList<QLocale> locales = engine->availableLocales();
    const qsizetype chosen = Speech::preferredEnglish(locales);
    if (chosen < 0)
        return nullptr;
    // The voices on offer are those of the engine's locale.
    engine->setLocale(locales.at(chosen));
    const QList<QVoice> voices = engine->availableVoices();
    if (voices.isEmpty())
        return nullptr;
    engine->setVoice(voices.first());
    return std::make_unique<TextToSpeechVoice>(engine.release(), rate);
}

} // namespace

namespace Speech {

bool hasEngine()
{
    if (voiceSource().makeVoice)
        return voiceSource().engineInstalled;
    return !QTextToSpeech::availableEngines().isEmpty();
}

std::unique_ptr<Voice> englishVoice(double rate, const QStringList &engines)
{
    if (voiceSource().makeVoice)
        return voiceSource().makeVoice();
    for (const QString &name :
         engineOrder(engines.isEmpty() ? QTextToSpeech::availableEngines() : engines)) {
        if (std::unique_ptr<Voice> voice = englishVoiceOf(name, rate))
            return voice;
    }
    return nullptr;
}

QStringList engineOrder(const QStringList &available)
{
    QStringList order = available;
    if (order.removeAll(flite) > 0)
        order.append(flite);
    return order;
}

qsizetype preferredEnglish(const QList<QLocale> &locales)
{
    for (const QLocale::Territory territory :
         {QLocale::UnitedKingdom, QLocale::UnitedStates, QLocale::AnyTerritory}) {
        for (qsizetype k = 0; k < locales.size(); ++k) {
            const QLocale &locale = locales.at(k);
            if (locale.language() == QLocale::English
                && (territory == QLocale::AnyTerritory || locale.territory() == territory))
                return k;
        }
    }
    return -1;
}

void setVoiceSource(std::function<std::unique_ptr<Voice>()> makeVoice, bool engineInstalled)
{
    voiceSource() = {std::move(makeVoice), engineInstalled};
}

} // namespace Speech
