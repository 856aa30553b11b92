#pragma once

#include "trainer/VerbList.h"

#include <QList>
#include <QString>
#include <QStringList>

class FileSystemObject;

// The checks of verbodrom-check: every line the loader skips, and every verb
// that a learner can never answer right or that shows untidily in a verdict
// or the prompt. Plain functions over the loader's own line rules (VerbList)
// and the quiz's comparison (Quiz). Each finding says what is wrong and what
// to do, in plain German for teachers, or in English for makers.
namespace VerbCheck {

enum class Language { German, English };

// This many characters of an ordinary German infinitive show whole in the
// prompt box, whose font steps down to fit (longer ones may still fit in a
// tiny font, or be cut). A count, not a font measure: the checker runs
// without a display, and fonts differ between machines; the window's own test
// holds it to the font it runs with.
inline constexpr qsizetype PromptCharsShown = 60;

struct Finding
{
    qsizetype line; // 1-based; 0 for the file as a whole
    QString message;

    friend bool operator==(const Finding &, const Finding &) = default;
};

// Why a line of this kind is skipped; "" for a kept, comment or empty line.
QString skipReason(VerbLineKind kind, QStringView line, Language language);

// The problems of one verb, each one sentence; empty when the verb is clean.
QStringList entryProblems(const VerbEntry &entry, Language language);

// At most this many problems on lines are told one by one; the others are
// counted, and one finding says how many more there are.
inline constexpr qsizetype MaxLineFindings = 1000;

struct FileReport
{
    VerbFileOutcome outcome = VerbFileOutcome::Missing;
    qsizetype verbs = 0; // verbs the trainer keeps
    QList<Finding> findings;
    qsizetype problems = 0; // all problems, told one by one or not
};

// Reads and checks the verb file at path. Never throws.
FileReport checkFile(FileSystemObject &fso, const QString &path,
                     Language language = Language::German, qsizetype maxVerbs = MaxVerbs);

} // namespace VerbCheck
