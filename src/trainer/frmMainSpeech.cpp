#include "trainer/frmMainSpeech.h"

#include "platform/Forms.h"
#include "platform/Speech.h"
#include "trainer/Pronunciation.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {

const QString noVoiceHint
        = QStringLiteral("Keine englische Stimme gefunden – Paket qt6-speech-flite-plugin "
                         "installieren.");

} // namespace

SpeechControls::SpeechControls(QWidget *window, QWidget *page, QMenu *practice)
    : QObject(window),
      mWindow(window)
{
    // Right of "Prüfen", on its line; nothing else is there.
    btListen = Forms::addButton(page, "btListen", QStringLiteral("&Anhören"),
                                {4380, 4290, 1995, 435});
    btListen->setEnabled(false);
    practice->addSeparator();
    mnuReadAloud = practice->addAction(QStringLiteral("Formen nach dem Prüfen &vorlesen"));
    mnuReadAloud->setObjectName(QStringLiteral("mnuReadAloud"));
    mnuReadAloud->setCheckable(true);
    mnuReadAloud->setChecked(Pronunciation::readAloudRemembered());
    // The hint of a disabled item shows as its tool tip.
    practice->setToolTipsVisible(true);

    connect(btListen, &QPushButton::clicked, this, [this] { btListen_Click(); });
    connect(mnuReadAloud, &QAction::triggered, this, [this] { mnuReadAloud_Click(); });
    mWindow->installEventFilter(this);
}

// The window's first frame is on screen once its native window has handled
// the first expose: only then is the engine looked for.
bool SpeechControls::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mWindow && event->type() == QEvent::Show) {
        mWindow->removeEventFilter(this);
        mWindow->windowHandle()->installEventFilter(this);
    } else if (watched == mWindow->windowHandle() && event->type() == QEvent::Expose
               && mWindow->windowHandle()->isExposed()) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] { lookForEngine(); });
    }
    return QObject::eventFilter(watched, event);
}

void SpeechControls::lookForEngine()
{
    if (!Speech::hasEngine())
        showNoVoice();
}

bool SpeechControls::loadVoice()
{
    if (mVoice)
        return true;
    if (mNoVoice)
        return false;
    std::unique_ptr<Voice> voice = Speech::englishVoice();
    if (!voice) {
        showNoVoice();
        return false;
    }
    mVoice = voice.release();
    mVoice->setParent(this);
    return true;
}

void SpeechControls::showNoVoice()
{
    mNoVoice = true;
    btListen->setEnabled(false);
    btListen->setToolTip(noVoiceHint);
    mnuReadAloud->setEnabled(false);
    mnuReadAloud->setToolTip(noVoiceHint);
}

void SpeechControls::formsChecked(const VerbEntry &verb)
{
    mForms = Pronunciation::spokenForms(verb);
    btListen->setEnabled(!mNoVoice && !mForms.isEmpty());
    if (mnuReadAloud->isChecked())
        speak();
    else if (!mVoice && !mNoVoice) // loaded at an idle moment, ready for the click
        QTimer::singleShot(0, this, [this] { loadVoice(); });
}

void SpeechControls::formsHidden()
{
    mForms.clear();
    btListen->setEnabled(false);
    if (mVoice)
        mVoice->stop();
}

void SpeechControls::speak()
{
    if (!mForms.isEmpty() && loadVoice())
        mVoice->say(mForms); // starts over when it is still speaking
}

void SpeechControls::btListen_Click()
{
    speak();
}

void SpeechControls::mnuReadAloud_Click()
{
    if (!Pronunciation::rememberReadAloud(mnuReadAloud->isChecked()))
        qWarning("Read-aloud choice not kept: %s could not be written",
                 qPrintable(Pronunciation::readAloudFile()));
}
