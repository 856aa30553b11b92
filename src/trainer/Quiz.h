#pragma once

#include <QString>

#include <array>
#include <random>

class VerbEntry;

// The quiz's rules as plain functions: the draw, what each box does in a
// round, the answer normalisation and the verdicts. The main window only
// reads its widgets, calls these and writes the results back.
namespace Quiz {

// Which side of the verb the learner is given.
enum class Direction {
    German,  // the German infinitive: all three English forms are asked
    English, // the German and the English infinitive: the two past forms are asked
};

// The three English forms, in the order of their boxes.
enum class Form { Infinitive, Past, PastParticiple };
inline constexpr std::array<Form, 3> AllForms {Form::Infinitive, Form::Past, Form::PastParticiple};

// True when the learner types the form in this direction: its box is open
// and it is judged. A form that is not asked is given: shown, locked, never
// judged.
bool isAsked(Direction direction, Form form);

// The form as stored in the verb list.
QString storedForm(const VerbEntry &verb, Form form);

// What the boxes do when a verb is drawn.
struct Round
{
    QString prompt;                // the German infinitive
    std::array<QString, 3> shown;  // by Form: the given text, "" for an asked form
    std::array<bool, 3> asked {};  // by Form: see isAsked()
    Form focus = Form::Infinitive; // the first asked form
};
Round planRound(Direction direction, const VerbEntry &verb);

// One asked form checked: the answer as its box shows it afterwards, and the
// verdict.
struct Verdict
{
    QString answer;
    bool correct = false;
    QString caption; // verdictCaption()
};
Verdict checkForm(Form form, const QString &typed, const QString &stored);

// The learner's English infinitive as it is checked: plainSpaces(), trimmed,
// with "to " in front unless its first three characters already read "to "
// in any case, and exactly one blank after the prefix.
QString normaliseInfinitive(const QString &answer);

// The text with every kind of space (no-break, narrow, ideographic, tab...)
// as a plain blank and the zero-width characters (zero-width space, joiners,
// word joiner, byte order mark, soft hyphen) removed: only what cannot be
// seen changes.
QString plainSpaces(const QString &text);

// The text as the learner sees it: compatibility-normalised (NFKC, so a
// ligature "ﬂ" reads "fl"), plainSpaces() and trimmed.
QString asSeen(const QString &text);

// The text as every comparison sees it: asSeen(), in lower case by the
// locale's rules. What a learner cannot tell apart on screen compares equal.
QString comparable(const QString &text);

// True when the infinitive answer equals the stored one as comparable()
// sees both (so stray blanks or invisible characters in the file never make
// a form unanswerable).
bool isInfinitiveCorrect(const QString &answer, const QString &stored);

// True when the answer equals any of the "/"-separated alternatives of the
// stored form, as comparable() sees them. An empty stored form is one empty
// alternative: only an empty answer matches it.
bool isFormCorrect(const QString &answer, const QString &stored);

// "CORRECT!" or "WRONG! --> " followed by the stored form as it stands.
QString verdictCaption(bool correct, const QString &stored);

// Picks a 1-based index from r in [0, 1): r scaled onto [first, last] in
// single precision and rounded to the nearest integer, an exact tie to the
// even one. first <= last.
qint16 drawIndex(float r, qint16 first, qint16 last);

// The quiz's uniform generator: floats in [0, 1) with 24 random bits, so
// every value is exact in single precision and never reaches 1.
class Random
{
public:
    void seed(quint32 value) { mEngine.seed(value); }
    float next() { return float(mEngine() >> 8) * 0x1p-24f; }

private:
    std::mt19937 mEngine;
};

// A seed from the system's random source, so that two copies started at the
// same moment still draw different words.
quint32 systemSeed();

} // namespace Quiz
