#pragma once

#include "platform/Forms.h"
#include "trainer/Practice.h"
#include "trainer/ProgressStore.h"
#include "trainer/Quiz.h"
#include "trainer/Score.h"
#include "trainer/VerbList.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QVBoxLayout;
class ProgramServices;
class SpeechControls;
class frmAbout;
class frmLernstand;

// The main window: the verb drill on one tab, the menus "Datei", "Übung" and
// "?".
//
// Data flow: Form_Load (run by the constructor, before the window can be
// shown) reads the verb list (the shipped one, or the one the learner chose
// and ChosenList remembers) into VerbList via loadVerbFile() and the
// learner's progress via ProgressStore. "Neues Wort" draws ixCurrentVerb
// with Quiz::drawIndex(), or with Practice::draw() while "Fehler wiederholen"
// is on, and fills the boxes as Quiz::planRound() says for the direction the
// options chose; "Prüfen" (or Enter anywhere in the window) checks each asked
// form with Quiz::checkForm(), writes the normalised answers back, sets the
// verdict labels and hands the focus back to "Neues Wort". The
// first check after a draw counts in the score line and, while "Fehler
// wiederholen" is on, goes into the progress file (box, misses, the day's
// count), merged with what other copies wrote. A
// reload (menu or tab click) replaces the list and forgets the drawn verb.
// Every user-visible problem ends in a modal MsgBox over this window; nothing
// throws out of a handler. The update chain's entry points only signal: the
// program connects the chain (update/UpdateCheck). The file-system object and
// the release of the shared services come from the ProgramServices the
// window is built with.
//
// Built in frmMain.cpp (controls, menus, start-up), its list read in
// frmMainLists.cpp (which list, loading it, opening another), drilled in
// frmMainQuiz.cpp (the quiz handlers), scored and kept in
// frmMainProgress.cpp (score line, "Übung" menu, progress file); fonts and
// colours in frmMainLook; the checked forms read aloud by SpeechControls
// (frmMainSpeech). "Lernstand anzeigen…" opens frmLernstand, which reads the
// accessors below and follows progressChanged().
class frmMain : public Form
{
    Q_OBJECT
public:
    // Builds the window and runs Form_Load. The window deletes itself when
    // it is closed; `services` must outlive it.
    explicit frmMain(ProgramServices &services, QWidget *parent = nullptr);
    ~frmMain() override;

    // The update chain: one step per call; returns at once.
    void upgradeMe(quint8 ixStep = 0);
    // The verb-list update: does nothing, for every step.
    void updateMe(quint8 ixStep = 0);
    // Called by the downloader, by name, when a transfer ends.
    Q_INVOKABLE void CHCallBack(QByteArray &arrContents, qint16 &chError);

    // Releases the shared downloader and file-system object, then unloads
    // frmDummy; the window itself stays open. Cancel is never set: it is kept
    // for the unload handler's signature, which the update chain calls.
    void Form_Unload(int &Cancel);
    void mnuUpdate_Click();

    // The verb table, 1-based: verb k is verbList()[k - 1]. -1 means none.
    const QList<VerbEntry> &verbList() const { return VerbList; }
    qint16 firstVerb() const { return ixFirstVerb; }
    qint16 lastVerb() const { return ixLastVerb; }
    qint16 currentVerb() const { return ixCurrentVerb; }

    // Test seam: the draw takes its r in [0, 1) from here instead of the
    // seeded generator; an empty function restores the generator.
    void setRandomSource(std::function<float()> next);
    // Test seam: the draw, the day and the times kept come from here instead
    // of the system clock (local time); an empty function restores it.
    void setClock(std::function<QDateTime()> now);
    QDateTime now() const;

    // The kept progress as this window sees it, and the loaded list's share
    // (made when first asked for after a load or a change).
    const ProgressState &progress() const { return mStore.state(); }
    const ListProgress &listProgress() const;
    // True while "Fehler wiederholen" is on; switching it on does what the
    // menu item does (nothing when it is on already).
    bool repeatMistakes() const;
    void switchRepeatMistakesOn();
    // Draws the verb ixVerb (1-based) as if "Neues Wort" had drawn it: the
    // boxes fill for the current direction, the focus moves to the first
    // asked box, and the draw counts as any other. False, and nothing
    // changes, when no such verb is loaded.
    bool drawVerbAt(qint16 ixVerb);
    // Test seam: "Verbliste öffnen…" takes the path from here instead of a
    // file dialog ("" for Cancel); an empty function restores the dialog.
    void setListDialog(std::function<QString()> choose);

Q_SIGNALS:
    // What upgradeMe, CHCallBack and mnuUpdate_Click pass on to the chain.
    void upgradeRequested(quint8 ixStep);
    void transferEnded(QByteArray &arrContents, qint16 &chError);
    void updateAsked();
    // The kept progress or the loaded list changed: a check, a switch of
    // "Fehler wiederholen", a reset, a reload.
    void progressChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The default browser's whole registered command, found while the
    // window loads; the About window starts the browser by it (nothing when
    // it is empty).
    QString mBrowserExec;

    void buildControls();
    void buildMenu(QVBoxLayout *layout);
    void buildQuizPage(QWidget *page);
    void buildDirectionFrame(QWidget *page);
    void connectHandlers();
    void Form_Load();
    void LoadVerbs();
    bool hasVerbs() const;
    void showEmptyListMessage();
    void showNoWordDrawnMessage();
    void showVerdict(QLabel *label, bool correct, const QString &caption);
    // The quiz direction the options chose, and each form's box and verdict.
    Quiz::Direction direction() const;
    QLineEdit *answerBox(Quiz::Form form) const;
    QLabel *verdictLabel(Quiz::Form form) const;
    // Shows a given form: locked, on the grey-text background.
    void showGiven(QLineEdit *box, const QString &text);
    void switchDirection(Quiz::Direction to);
    // Locks or opens an answer box; a locked one looks locked.
    void lockAnswer(QLineEdit *box, bool locked);

    // The score, the Leitner boxes and the progress file.
    void buildScoreLine(QWidget *page);
    void updateScoreLine();
    void loadProgress();
    void verbsLoaded();
    void commitProgress(const ProgressChanges &change, QDate today);
    // Picks the next verb; recordDraw() counts it as drawn.
    qint16 drawVerb();
    void recordDraw(qint16 ixVerb);
    // Empties the past forms and the verdicts before a draw.
    void clearRound();
    // Counts ixVerb as drawn and fills the boxes for it.
    void showVerb(qint16 ixVerb);
    // The first check after a draw; wrong by Quiz::Form.
    void recordCheck(const VerbEntry &verb, const std::array<bool, 3> &wrong);

    void btNewWord_Click();
    void btEnter_Click();
    void optDE_Click();
    void optEN_Click();
    void mnuReload_Click();
    void mnuOpenList_Click();
    void mnuShippedList_Click();
    void mnuAbout_Click();
    void mnuRepeatMistakes_Click();
    void mnuResetProgress_Click();
    void mnuLernstand_Click();
    // PreviousTab is not used: it is kept for the tab Click handler's signature.
    void SSTab1_Click(int PreviousTab);

    ProgramServices &mServices;

    QList<VerbEntry> VerbList;
    qint16 ixFirstVerb = -1;
    qint16 ixLastVerb = -1;
    qint16 ixCurrentVerb = -1;
    Quiz::Direction mDirection = Quiz::Direction::German;
    // The list the learner chose, "" for the shipped one.
    QString mChosenList;
    std::function<QString()> mListDialog;
    // Why the list read last gave no verb, when its lines tell; "" otherwise.
    QString mNoVerbsPrompt;

    SessionScore mScore;
    ProgressStore mStore {progressFilePath()};
    // The loaded verbs' keys and kept progress, in list order; made only
    // while "Fehler wiederholen" is on or when asked for.
    mutable std::optional<ListProgress> mKept;
    // This run's draws; the verb drawn last outlives a reload.
    Practice::Session mSession;

    Quiz::Random mRandom;
    std::function<float()> mRandomSource;
    std::function<QDateTime()> mClock;
    QPointer<frmAbout> mAbout;
    QPointer<frmLernstand> mLernstand;

    QMenuBar *mMenuBar = nullptr;
    QMenu *mnuFile = nullptr;
    QAction *mnuReload = nullptr;
    QAction *mnuOpenList = nullptr;
    QAction *mnuShippedList = nullptr;
    QAction *mnuUpdate = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuPractice = nullptr;
    QAction *mnuRepeatMistakes = nullptr;
    QAction *mnuResetProgress = nullptr;
    QAction *mnuLernstand = nullptr;
    QMenu *mnuOther = nullptr;
    QAction *mnuAbout = nullptr;

    QTabWidget *SSTab1 = nullptr;
    QWidget *mPage = nullptr; // the tab's page
    QPushButton *btNewWord = nullptr;
    QGroupBox *Frame1 = nullptr;
    QRadioButton *optEN = nullptr;
    QRadioButton *optDE = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtGerInf = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtEngInf = nullptr;
    QLabel *lblEngInf = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *txtEngPast = nullptr;
    QLabel *lblEngPast = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *txtEngPastParticiple = nullptr;
    QLabel *lblEngPastParticiple = nullptr;
    QPushButton *btEnter = nullptr;
    SpeechControls *mSpeech = nullptr; // "Anhören" and its menu item
    QLabel *lblScore = nullptr;
};
