// The quiz handlers of the main window: draw a verb, check the answers,
// switch the direction. The rules themselves are the Quiz functions.

#include "base/Utils.h"
#include "platform/App.h"
#include "platform/MsgBox.h"
#include "trainer/frmMain.h"
#include "trainer/frmMainLook.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// An empty verdict, with the full font and no tool tip left over.
void clearVerdict(QLabel *label)
{
    label->clear();
    Look::fitVerdict(label);
}

} // namespace

bool frmMain::hasVerbs() const
{
    return ixFirstVerb != -1 && ixLastVerb != -1;
}

void frmMain::showEmptyListMessage()
{
    MsgBox(QStringLiteral("Die Verben-Datei ist leer oder konnte nicht geladen werden"),
           vbExclamation, App::Title() + QStringLiteral(" - Keine Verben geladen"), this);
}

void frmMain::showNoWordDrawnMessage()
{
    MsgBox(QStringLiteral("Bitte zuerst „Neues Wort“ wählen."), vbExclamation,
           App::Title() + QStringLiteral(" - Kein Wort gezogen"), this);
}

void frmMain::showVerdict(QLabel *label, bool correct, const QString &stored)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, correct ? Look::correct() : Look::wrong());
    label->setPalette(palette);
    label->setText(Quiz::verdictCaption(correct, stored));
    Look::fitVerdict(label);
}

void frmMain::lockAnswer(QLineEdit *box, bool locked)
{
    box->setReadOnly(locked);
    Look::setBackground(box, locked ? Look::locked() : Look::window());
}

void frmMain::setRandomSource(std::function<float()> next)
{
    mRandomSource = std::move(next);
}

void frmMain::btNewWord_Click()
{
    txtEngPast->clear();
    txtEngPastParticiple->clear();
    clearVerdict(lblEngInf);
    clearVerdict(lblEngPast);
    clearVerdict(lblEngPastParticiple);
    btNewWord->setAccessibleDescription(QString());
    if (!hasVerbs()) {
        showEmptyListMessage();
        return;
    }

    ixCurrentVerb = drawVerb(mRandomSource ? mRandomSource() : mRandom.next());
    mScore.verbDrawn();
    const VerbEntry &verb = VerbList.at(ixCurrentVerb - 1);

    txtGerInf->setText(verb.GerInf());
    txtGerInf->setCursorPosition(0);
    if (optEN->isChecked()) {
        txtEngInf->setText(verb.EngInf());
        txtEngInf->setCursorPosition(0);
    } else {
        txtEngInf->clear();
        lockAnswer(txtEngInf, false);
    }
    lockAnswer(txtEngPast, false);
    lockAnswer(txtEngPastParticiple, false);
    if (optEN->isChecked())
        txtEngPast->setFocus();
    else
        txtEngInf->setFocus();
}

void frmMain::btEnter_Click()
{
    if (!hasVerbs()) {
        showEmptyListMessage();
        return;
    }
    if (ixCurrentVerb < ixFirstVerb || ixCurrentVerb > ixLastVerb) {
        showNoWordDrawnMessage();
        return;
    }
    const VerbEntry verb = VerbList.at(ixCurrentVerb - 1);

    txtEngPast->setText(Utils::Trim(txtEngPast->text()));
    txtEngPastParticiple->setText(Utils::Trim(txtEngPastParticiple->text()));

    bool allRight = true;
    if (optDE->isChecked()) {
        lockAnswer(txtEngInf, true);
        txtEngInf->setText(Quiz::normaliseInfinitive(txtEngInf->text()));
        allRight = Quiz::isInfinitiveCorrect(txtEngInf->text(), verb.EngInf());
        showVerdict(lblEngInf, allRight, verb.EngInf());
    } else {
        clearVerdict(lblEngInf);
    }

    lockAnswer(txtEngPast, true);
    const bool pastRight = Quiz::isFormCorrect(txtEngPast->text(), verb.EngPast());
    showVerdict(lblEngPast, pastRight, verb.EngPast());
    lockAnswer(txtEngPastParticiple, true);
    const bool participleRight
            = Quiz::isFormCorrect(txtEngPastParticiple->text(), verb.EngPastParticiple());
    showVerdict(lblEngPastParticiple, participleRight, verb.EngPastParticiple());
    recordCheck(verb, allRight && pastRight && participleRight);
    // Enter, type, Enter: the drill goes on from the keyboard. A screen
    // reader announces the button that takes the focus with its description,
    // so that carries the verdicts.
    QStringList verdicts;
    for (const auto &[caption, verdict] :
         {std::pair {Label2, lblEngInf}, {Label3, lblEngPast}, {Label4, lblEngPastParticiple}}) {
        if (!verdict->text().isEmpty())
            verdicts << caption->text() + u' ' + verdict->text();
    }
    btNewWord->setAccessibleDescription(verdicts.join(u"\n"));
    btNewWord->setFocus();
}

void frmMain::optDE_Click()
{
    lockAnswer(txtEngInf, txtEngPast->isReadOnly());
    txtEngInf->clear();
}

void frmMain::optEN_Click()
{
    Look::setBackground(txtEngInf, Look::grayText());
    txtEngInf->setReadOnly(true);
    if (ixCurrentVerb > 0 && ixCurrentVerb <= VerbList.size()) {
        txtEngInf->setText(VerbList.at(ixCurrentVerb - 1).EngInf());
        txtEngInf->setCursorPosition(0);
    } else {
        txtEngInf->clear();
    }
}
