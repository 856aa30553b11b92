#pragma once

// Seams shared by the tests: message boxes, program starts and speech are
// recorded instead of shown, run or heard.

#include "platform/MsgBox.h"
#include "platform/Shell.h"
#include "platform/Speech.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct RecordedBox
{
    QString prompt;
    int style;
    QString title;
};

// Records every message box while it lives. Answers them in turn from
// `answers`, then with `answer` once the queue is empty; `onBox`, when set,
// runs first, while the box would be open.
class MsgBoxRecorder
{
public:
    explicit MsgBoxRecorder(int answer = vbOK)
        : mAnswer(answer)
    {
        setMsgBoxHandler([this](const QString &prompt, int style, const QString &title) {
            boxes.append({prompt, style, title});
            if (onBox)
                onBox(boxes.constLast());
            return answers.isEmpty() ? mAnswer : answers.takeFirst();
        });
    }
    ~MsgBoxRecorder() { setMsgBoxHandler({}); }
    MsgBoxRecorder(const MsgBoxRecorder &) = delete;
    MsgBoxRecorder &operator=(const MsgBoxRecorder &) = delete;

    void setAnswer(int answer) { mAnswer = answer; }

    QList<RecordedBox> boxes;
    QList<int> answers;
    std::function<void(const RecordedBox &)> onBox;

private:
    int mAnswer;
};

struct RecordedStart
{
    QString program;
    QStringList arguments;
    int windowStyle;
    QString workingDirectory;
};

// Records every program start instead of running it, while it lives.
class ShellRecorder
{
public:
    ShellRecorder()
    {
        setShellHandler([this](const QString &program, const QStringList &arguments, int style,
                               const QString &workingDirectory) {
            starts.append({program, arguments, style, workingDirectory});
            return qint64(4242);
        });
    }
    ~ShellRecorder() { setShellHandler({}); }
    ShellRecorder(const ShellRecorder &) = delete;
    ShellRecorder &operator=(const ShellRecorder &) = delete;

    QList<RecordedStart> starts;
};

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
    void finish() { setState(State::Ready); }

private:
    void setState(State state)
    {
        mState = state;
        Q_EMIT stateChanged(state);
    }
    QStringList &mSaid;
    State mState = State::Ready;
};

// While it lives, the speech engines are these: none at all, one without an
// English voice, or one whose English voice records what it would say.
class SpeechRecorder
{
public:
    enum Engine { NoEngine, NoEnglishVoice, EnglishVoice };
    explicit SpeechRecorder(Engine engine = EnglishVoice)
    {
        Speech::setVoiceSource(
                [this, engine]() -> std::unique_ptr<Voice> {
                    ++lookups;
                    if (engine != EnglishVoice)
                        return nullptr;
                    auto made = std::make_unique<RecordingVoice>(said);
                    voice = made.get();
                    return made;
                },
                engine != NoEngine);
    }
    ~SpeechRecorder() { Speech::setVoiceSource({}); }
    SpeechRecorder(const SpeechRecorder &) = delete;
    SpeechRecorder &operator=(const SpeechRecorder &) = delete;

    QStringList said;
    int lookups = 0; // englishVoice() calls
    QPointer<RecordingVoice> voice;
};
