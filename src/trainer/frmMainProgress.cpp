// The main window's score line, the "Übung" menu and the progress kept
// between runs. The rules are Practice's, SessionScore's and Progress's; the
// file is ProgressStore's.

#include "platform/App.h"
#include "platform/MsgBox.h"
#include "trainer/frmLernstand.h"
#include "trainer/frmMain.h"

#include <QAction>
#include <QLabel>

void frmMain::buildScoreLine(QWidget *page)
{
    lblScore = Forms::addLabel(page, "lblScore", mScore.caption(), {330, 4860, 5025, 435});
}

void frmMain::setClock(std::function<QDateTime()> now)
{
    mClock = std::move(now);
    updateScoreLine();
}

QDateTime frmMain::now() const
{
    return mClock ? mClock() : QDateTime::currentDateTime();
}

bool frmMain::repeatMistakes() const
{
    return mnuRepeatMistakes->isChecked();
}

void frmMain::switchRepeatMistakesOn()
{
    if (!repeatMistakes())
        mnuRepeatMistakes->trigger();
}

// With the item on, the line counts the whole day as kept, other copies'
// checks included; with it off, nothing is kept and it counts this run.
void frmMain::updateScoreLine()
{
    if (!repeatMistakes()) {
        lblScore->setText(mScore.caption());
        return;
    }
    const DayCount today = mStore.state().days.value(now().date());
    lblScore->setText(todayCaption(today.right, today.checked));
}

void frmMain::loadProgress()
{
    mStore.load(now().date());
    mnuRepeatMistakes->setChecked(mStore.state().repeatMistakes);
    mKept.reset();
    updateScoreLine();
    Q_EMIT progressChanged();
}

void frmMain::verbsLoaded()
{
    mKept.reset();
    Q_EMIT progressChanged();
}

const ListProgress &frmMain::listProgress() const
{
    if (!mKept)
        mKept = ::listProgress(VerbList, mStore.state());
    return *mKept;
}

// A failed write only goes to the log (ProgressStore tells once); the
// change is kept and written with the next one.
void frmMain::commitProgress(const ProgressChanges &change, QDate today)
{
    mStore.change(change, today);
    if (mKept)
        refreshListProgress(*mKept, mStore.state());
    updateScoreLine();
    Q_EMIT progressChanged();
}

qint16 frmMain::drawVerb()
{
    const auto random = [this] { return mRandomSource ? mRandomSource() : mRandom.next(); };
    const qint16 drawn
            = repeatMistakes()
                      ? qint16(Practice::draw(listProgress(), mSession, now().date(), random) + 1)
                      : Quiz::drawIndex(random(), ixFirstVerb, ixLastVerb);
    return drawn;
}

void frmMain::recordDraw(qint16 ixVerb)
{
    Practice::recordDraw(mSession, progressKey(VerbList.at(ixVerb - 1)));
    mScore.verbDrawn();
    updateScoreLine(); // the day may have changed
}

void frmMain::recordCheck(const VerbEntry &verb, const std::array<bool, 3> &wrong)
{
    const ProgressCheck check {progressKey(verb), now(), wrong};
    if (!mScore.verbChecked(check.allRight()))
        return; // checked again: only the first check after a draw counts
    if (!repeatMistakes()) {
        updateScoreLine();
        return;
    }
    Practice::recordCheck(mSession, check.key, check.allRight());
    ProgressChanges change;
    change.checks.append(check);
    commitProgress(change, check.at.date());
}

void frmMain::mnuRepeatMistakes_Click()
{
    ProgressChanges change;
    change.repeatMistakes = mnuRepeatMistakes->isChecked();
    commitProgress(change, now().date());
}

void frmMain::mnuResetProgress_Click()
{
    if (MsgBox(QStringLiteral("Den Lernstand aller Verben zurücksetzen? Jedes Verb beginnt dann "
                              "wieder im ersten Kasten."),
               vbOKCancel + vbExclamation + vbDefaultButton2,
               App::Title() + QStringLiteral(" - Lernstand zurücksetzen"), this)
        != vbOK)
        return;
    mSession.mistakes.clear();
    ProgressChanges change;
    change.reset = true;
    commitProgress(change, now().date());
}

void frmMain::mnuLernstand_Click()
{
    if (!mLernstand)
        mLernstand = new frmLernstand(*this);
    mLernstand->show();
    mLernstand->raise();
    mLernstand->activateWindow();
}
