#pragma once

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QPushButton;
class QWidget;
class VerbEntry;
class Voice;

// The main window's "Anhören" button and its item "Übung → Formen nach dem
// Prüfen vorlesen", and the voice behind them.
//
// A check hands over the checked verb: from then on the button reads its
// forms (Pronunciation::spokenForms), and with the item on the check reads
// them at once. "Neues Wort" and a reload take the forms away again, so the
// button never gives an answer away. Nothing of the speech engine is touched
// while the program starts: once the window has been shown, an idle moment
// asks whether any engine is installed (without loading one); the voice
// itself (10 to 30 ms and 11 MB for flite) is loaded at an idle moment
// after the first check, or at once when that check reads aloud. Without an
// engine or an English voice both controls are disabled and say what to
// install.
class SpeechControls : public QObject
{
    Q_OBJECT
public:
    // Puts the button on page beside "Prüfen" and the item into `practice`;
    // `window` is watched for its first frame.
    SpeechControls(QWidget *window, QWidget *page, QMenu *practice);

    QPushButton *button() const { return btListen; }

    // A verb was checked: its forms may be heard now.
    void formsChecked(const VerbEntry &verb);
    // No checked verb any more: the button is disabled, the voice falls silent.
    void formsHidden();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void lookForEngine();
    bool loadVoice();
    void showNoVoice();
    void speak();
    void btListen_Click();
    void mnuReadAloud_Click();

    QWidget *mWindow;
    QPushButton *btListen = nullptr;
    QAction *mnuReadAloud = nullptr;
    Voice *mVoice = nullptr; // a child, once loaded
    bool mNoVoice = false;   // no engine, or none with an English voice
    QString mForms;          // what the button reads; "" before a check
};
