#pragma once

#include "trainer/VerbList.h"

#include <QList>
#include <QString>
#include <QStringList>

class FileSystemObject;

// The checks of verbodrom-check: every line the loader skips, and every verb
// that a learner can never answer right or that shows untidily in a verdict.
// Plain functions over the loader's own line rules (VerbList).
namespace VerbCheck {

struct Finding
{
    qsizetype line; // 1-based; 0 for the file as a whole
    QString message;

    friend bool operator==(const Finding &, const Finding &) = default;
};

// Why a line of this kind is skipped; "" for a kept, comment or empty line.
QString skipReason(VerbLineKind kind, const QString &line);

// The problems of one verb, each a short English sentence; empty when the
// verb is clean.
QStringList entryProblems(const VerbEntry &entry);

struct FileReport
{
    VerbFileOutcome outcome = VerbFileOutcome::Missing;
    qsizetype verbs = 0; // verbs the trainer keeps
    QList<Finding> findings;
};

// Reads and checks the verb file at path. Never throws.
FileReport checkFile(FileSystemObject &fso, const QString &path, qsizetype maxVerbs = MaxVerbs);

} // namespace VerbCheck
