// The quiz handlers of the main window: draw a verb, check the answers,
// switch the direction. The rules themselves are the Quiz functions.

#include "platform/App.h"
#include "platform/MsgBox.h"
#include "trainer/frmMain.h"
#include "trainer/frmMainLook.h"
#include "trainer/frmMainSpeech.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <utility>

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
    MsgBox(mNoVerbsPrompt.isEmpty()
                   ? QStringLiteral("Die Verben-Datei ist leer oder konnte nicht geladen werden")
                   : mNoVerbsPrompt,
           vbExclamation, App::Title() + QStringLiteral(" - Keine Verben geladen"), this);
}

void frmMain::showNoWordDrawnMessage()
{
    MsgBox(QStringLiteral("Bitte zuerst „Neues Wort“ wählen."), vbExclamation,
           App::Title() + QStringLiteral(" - Kein Wort gezogen"), this);
}

void frmMain::showVerdict(QLabel *label, bool correct, const QString &caption)
{
    QPalette palette = label->palette();
    const QColor background = palette.color(label->backgroundRole());
    palette.setColor(QPalette::WindowText,
                     correct ? Look::correct(background) : Look::wrong(background));
    label->setPalette(palette);
    label->setText(caption);
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

Quiz::Direction frmMain::direction() const
{
    return mDirection;
}

QLineEdit *frmMain::answerBox(Quiz::Form form) const
{
    return std::array {txtEngInf, txtEngPast, txtEngPastParticiple}[size_t(form)];
}

QLabel *frmMain::verdictLabel(Quiz::Form form) const
{
    return std::array {lblEngInf, lblEngPast, lblEngPastParticiple}[size_t(form)];
}

void frmMain::showGiven(QLineEdit *box, const QString &text)
{
    Look::setBackground(box, Look::grayText());
    box->setReadOnly(true);
    box->setText(text);
    box->setCursorPosition(0);
}

// The infinitive keeps what it shows until a verb is drawn.
void frmMain::clearRound()
{
    for (const Quiz::Form form : Quiz::AllForms) {
        if (form != Quiz::Form::Infinitive)
            answerBox(form)->clear();
        clearVerdict(verdictLabel(form));
    }
    mSpeech->formsHidden();
    btNewWord->setAccessibleDescription(QString());
}

void frmMain::btNewWord_Click()
{
    clearRound();
    if (!hasVerbs()) {
        showEmptyListMessage();
        return;
    }
    showVerb(drawVerb());
}

bool frmMain::drawVerbAt(qint16 ixVerb)
{
    if (!hasVerbs() || ixVerb < ixFirstVerb || ixVerb > ixLastVerb)
        return false;
    clearRound();
    showVerb(ixVerb);
    return true;
}

void frmMain::showVerb(qint16 ixVerb)
{
    ixCurrentVerb = ixVerb;
    recordDraw(ixVerb);
    const Quiz::Round round = Quiz::planRound(direction(), VerbList.at(ixCurrentVerb - 1));
    txtGerInf->setText(round.prompt);
    txtGerInf->setCursorPosition(0);
    Look::fitBox(txtGerInf);
    for (const Quiz::Form form : Quiz::AllForms) {
        QLineEdit *box = answerBox(form);
        if (round.asked[size_t(form)]) {
            box->clear();
            lockAnswer(box, false);
        } else {
            showGiven(box, round.shown[size_t(form)]);
        }
    }
    answerBox(round.focus)->setFocus();
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

    std::array<bool, 3> wrong {};
    for (const Quiz::Form form : Quiz::AllForms) {
        QLabel *label = verdictLabel(form);
        if (!Quiz::isAsked(direction(), form)) {
            clearVerdict(label);
            continue;
        }
        QLineEdit *box = answerBox(form);
        lockAnswer(box, true);
        const Quiz::Verdict verdict
                = Quiz::checkForm(form, box->text(), Quiz::storedForm(verb, form));
        box->setText(verdict.answer);
        showVerdict(label, verdict.correct, verdict.caption);
        wrong[size_t(form)] = !verdict.correct;
    }
    recordCheck(verb, wrong);
    mSpeech->formsChecked(verb);
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

// A form that becomes asked opens (or stays locked, like the forms already
// answered) and is emptied; a form that becomes given shows the drawn verb's.
void frmMain::switchDirection(Quiz::Direction to)
{
    const Quiz::Direction from = std::exchange(mDirection, to);
    bool answered = false;
    for (const Quiz::Form form : Quiz::AllForms) {
        if (Quiz::isAsked(from, form) && Quiz::isAsked(to, form))
            answered = answerBox(form)->isReadOnly();
    }
    const bool drawn = ixCurrentVerb > 0 && ixCurrentVerb <= VerbList.size();
    for (const Quiz::Form form : Quiz::AllForms) {
        const bool asked = Quiz::isAsked(to, form);
        if (asked == Quiz::isAsked(from, form))
            continue;
        QLineEdit *box = answerBox(form);
        if (asked) {
            lockAnswer(box, answered);
            box->clear();
        } else {
            showGiven(box,
                      drawn ? Quiz::storedForm(VerbList.at(ixCurrentVerb - 1), form) : QString());
        }
    }
}

void frmMain::optDE_Click()
{
    switchDirection(Quiz::Direction::German);
}

void frmMain::optEN_Click()
{
    switchDirection(Quiz::Direction::English);
}
