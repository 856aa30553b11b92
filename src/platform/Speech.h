#pragma once

#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Text read aloud by a voice of the desktop's speech engine, over Qt
// TextToSpeech: speech-dispatcher where the desktop runs it, otherwise the
// offline flite engine. The engine speaks beside the event loop; nothing here
// waits for it.
class Voice : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Ready,    // silent
        Speaking, // the engine reports that it speaks
        Failed,   // the last text could not be spoken (no sound output, an engine
                  // fault); the next say() tries again
    };
    Q_ENUM(State)

    using QObject::QObject;

    // Speaks text, cutting off what the voice was saying. Returns at once;
    // stateChanged() tells when the engine speaks and when it has done.
    virtual void say(const QString &text) = 0;
    // Falls silent. Returns at once.
    virtual void stop() = 0;
    virtual State state() const = 0;
    // The engine, the voice and its language, for the log ("flite: slt, en_US").
    virtual QString description() const = 0;

Q_SIGNALS:
    void stateChanged(Voice::State state);
};

namespace Speech {

// A little slower than the engine's normal pace, on Qt's scale from -1 to 1.
inline constexpr double LearnerRate = -0.2;

// True when a speech engine is installed. Reads the engines' descriptions
// only: loads none of them and takes well under a millisecond.
bool hasEngine();

// The first English voice of the installed engines (or of `engines` only,
// when given), set to speak at `rate`; nullptr when no engine has one. The
// desktop's engines come first, flite last (engineOrder()); within one engine
// British English, then American, then any English (preferredEnglish()).
// Loads the engine on the calling thread: about 10 to 35 ms for flite, which
// also maps some 11 MB of voices and sound libraries, so call it when speech
// is first needed.
std::unique_ptr<Voice> englishVoice(double rate = LearnerRate, const QStringList &engines = {});

// The engines in the order they are tried: as Qt lists them, flite last.
QStringList engineOrder(const QStringList &available);

// Index of the locale to speak in: the first en_GB, else the first en_US,
// else the first other English one; -1 when none is English.
qsizetype preferredEnglish(const QList<QLocale> &locales);

// Test seam: while set, hasEngine() answers `engineInstalled` and
// englishVoice() returns what `makeVoice` makes, and no engine is loaded.
// An empty function restores the real engines.
void setVoiceSource(std::function<std::unique_ptr<Voice>()> makeVoice,
                    bool engineInstalled = true);

} // namespace Speech
