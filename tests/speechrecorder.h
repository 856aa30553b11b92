#pragma once

// Speech recorded instead of heard.

#include "platform/Speech.h"

#include <QPointer>
#include <QStringList>

#include <memory>

// A voice that records each text it is given and speaks until finish().
class RecordingVoice final : public Voice
{
public:
    explicit RecordingVoice(QStringList &said)
        : mSaid(said)
    {}
    void say(const QString &text) override
    {
        mSaid << text;
        setState(State::Speaking);
    }
    void stop() override { setState(State::Ready); }
    State state() const override { return mState; }
    QString description() const override { return QStringLiteral("recording"); }

private:
    void setState(State state)
    {
        mState = state;
        Q_EMIT stateChanged(state);
    }
    QStringList &mSaid;
    State mState = State::Ready;
};

// The speech engine while it lives: without an English voice, or a recording one.
class SpeechRecorder
{
public:
    explicit SpeechRecorder(bool englishVoice = true)
    {
        Speech::setVoiceSource(
                [this, englishVoice]() -> std::unique_ptr<Voice> {
                    ++lookups;
                    if (!englishVoice)
                        return nullptr;
                    auto made = std::make_unique<RecordingVoice>(said);
                    voice = made.get();
                    return made;
                },
                true);
    }
    ~SpeechRecorder() { Speech::setVoiceSource({}); }
    SpeechRecorder(const SpeechRecorder &) = delete;
    SpeechRecorder &operator=(const SpeechRecorder &) = delete;

    QStringList said;
    int lookups = 0; // englishVoice() calls
    QPointer<RecordingVoice> voice;
};
