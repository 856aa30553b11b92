#include "trainer/Quiz.h"

#include "base/Utils.h"
#include "trainer/VerbList.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Quiz {

namespace {

// Characters that take no room on screen: soft hyphen, zero-width space,
// non-joiner and joiner, word joiner, and the byte order mark (zero-width
// no-break space).
bool isZeroWidth(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x00AD || (u >= 0x200B && u <= 0x200D) || u == 0x2060 || u == 0xFEFF;
}

} // namespace

bool isAsked(Direction direction, Form form)
{
    return form != Form::Infinitive || direction == Direction::German;
}

QString storedForm(const VerbEntry &verb, Form form)
{
    switch (form) {
    case Form::Infinitive:
        return verb.EngInf();
    case Form::Past:
        return verb.EngPast();
    case Form::PastParticiple:
        return verb.EngPastParticiple();
    }
    return QString();
}

Round planRound(Direction direction, const VerbEntry &verb)
{
    Round round;
    round.prompt = verb.GerInf();
    bool focusSet = false;
    for (const Form form : AllForms) {
        const auto i = size_t(form);
        round.asked[i] = isAsked(direction, form);
        round.shown[i] = round.asked[i] ? QString() : storedForm(verb, form);
        if (round.asked[i] && !focusSet) {
            round.focus = form;
            focusSet = true;
        }
    }
    return round;
}

Verdict checkForm(Form form, const QString &typed, const QString &stored)
{
    Verdict verdict;
    if (form == Form::Infinitive) {
        verdict.answer = normaliseInfinitive(typed);
        verdict.correct = isInfinitiveCorrect(verdict.answer, stored);
    } else {
        verdict.answer = Utils::trimBlanks(plainSpaces(typed));
        verdict.correct = isFormCorrect(verdict.answer, stored);
    }
    verdict.caption = verdictCaption(verdict.correct, stored);
    return verdict;
}

QString normaliseInfinitive(const QString &answer)
{
    const QString prefix = QStringLiteral("to ");
    QString text = Utils::trimBlanks(plainSpaces(answer));
    if (QLocale().toLower(text.left(3)) != prefix)
        text.prepend(prefix);
    return prefix + Utils::trimBlanks(text.mid(3));
}

QString plainSpaces(const QString &text)
{
    QString plain;
    plain.reserve(text.size());
    for (const QChar c : text) {
        if (!isZeroWidth(c))
            plain += c.isSpace() ? QChar(u' ') : c;
    }
    return plain;
}

QString asSeen(const QString &text)
{
    // The zero-width characters go first, so that NFKC composes what they
    // stood between.
    const QString normalised = plainSpaces(text).normalized(QString::NormalizationForm_KC);
    return Utils::trimBlanks(plainSpaces(normalised));
}

QString comparable(const QString &text)
{
    return QLocale().toLower(asSeen(text));
}

bool isInfinitiveCorrect(const QString &answer, const QString &stored)
{
    return comparable(answer) == comparable(stored);
}

bool isFormCorrect(const QString &answer, const QString &stored)
{
    // split() always gives at least one piece, even for an empty stored form.
    const QString typed = comparable(answer);
    const QStringList alternatives = stored.split(QLatin1Char('/'));
    return std::any_of(
            alternatives.begin(), alternatives.end(),
            [&typed](const QString &alternative) { return comparable(alternative) == typed; });
}

QString verdictCaption(bool correct, const QString &stored)
{
    if (correct)
        return QStringLiteral("CORRECT!");
    return QStringLiteral("WRONG! --> ") + stored;
}

qint16 drawIndex(float r, qint16 first, qint16 last)
{
    const float span = float(last - first);
    const float scaled = r * span;
    // For r in [0, 1) x never leaves [first, last]; the clamp only guards
    // the conversion against an r from elsewhere.
    const float x = std::clamp(scaled + float(first), float(first), float(last));
    // nearbyint rounds in the current mode, which is to nearest with ties to
    // even unless someone changed it.
    return qint16(std::nearbyint(x));
}

quint32 systemSeed()
{
    return QRandomGenerator::system()->generate();
}

} // namespace Quiz
