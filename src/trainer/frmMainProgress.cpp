// The main window's score line, the "Übung" menu and the progress kept
// between runs. The rules are Leitner's, SessionScore's and Progress's.

#include "platform/App.h"
#include "platform/MsgBox.h"
#include "trainer/frmMain.h"

#include <QAction>
#include <QLabel>

void frmMain::buildScoreLine(QWidget *page)
{
    lblScore = Forms::addLabel(page, "lblScore", mScore.caption(), {330, 4860, 5025, 435});
}

void frmMain::loadProgress()
{
    mProgress = readProgressFile(progressFilePath()).state;
    mnuRepeatMistakes->setChecked(mProgress.repeatMistakes);
}

void frmMain::saveProgress()
{
    // A list that could not be read says nothing about which verbs are gone.
    if (!VerbList.isEmpty())
        dropMissingVerbs(mProgress, VerbList);
    const QString path = progressFilePath();
    const bool failed = !writeProgressFile(path, mProgress);
    // The drill goes on without it; the log tells once, until a write works.
    if (failed && !mProgressWriteFailed)
        qWarning("Progress not kept: %s could not be written", qPrintable(path));
    mProgressWriteFailed = failed;
}

qint16 frmMain::drawVerb(float r)
{
    qint16 drawn = -1;
    if (!mProgress.repeatMistakes) {
        drawn = Quiz::drawIndex(r, ixFirstVerb, ixLastVerb);
    } else {
        // After a reload the verb drawn last is found again by its key, so
        // that clicking the tab never brings it twice in a row.
        qint16 previous = ixCurrentVerb;
        for (qsizetype k = 0; previous == -1 && !mLastDrawn.isNull() && k < VerbList.size(); ++k) {
            if (progressKey(VerbList.at(k)) == mLastDrawn)
                previous = qint16(k + 1);
        }
        drawn = Leitner::draw(r, progressBoxes(mProgress, VerbList), previous);
    }
    mLastDrawn = progressKey(VerbList.at(drawn - 1));
    return drawn;
}

void frmMain::recordCheck(const VerbEntry &verb, bool allRight)
{
    if (!mScore.verbChecked(allRight))
        return; // checked again: only the first check after a draw counts
    lblScore->setText(mScore.caption());
    if (!mProgress.repeatMistakes)
        return;
    VerbProgress &kept = mProgress.verbs[progressKey(verb)];
    kept.box = Leitner::nextBox(kept.box, allRight);
    kept.seen = QDate::currentDate();
    saveProgress();
}

void frmMain::mnuRepeatMistakes_Click()
{
    mProgress.repeatMistakes = mnuRepeatMistakes->isChecked();
    saveProgress();
}

void frmMain::mnuResetProgress_Click()
{
    if (MsgBox(QStringLiteral("Den Lernstand aller Verben zurücksetzen? Jedes Verb beginnt dann "
                              "wieder im ersten Kasten."),
               vbOKCancel + vbExclamation + vbDefaultButton2,
               App::Title() + QStringLiteral(" - Lernstand zurücksetzen"), this)
        != vbOK)
        return;
    mProgress.verbs.clear();
    saveProgress();
}
