#pragma once

#include "trainer/Leitner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

class VerbEntry;

// The learner's progress, kept between runs in a small UTF-8 text file under
// the user's XDG state folder. The verb list itself is never written.
//
// The file:
//   verbodrom-progress 1
//   repeat-mistakes on|off
//   <box>\t<yyyy-MM-dd>\t<English infinitive>\t<German field>   (one line per verb)
// Backslash, tab, CR and LF in the two text fields are written as \\, \t, \r
// and \n. Empty lines and a CR before each LF are tolerated when reading.

// What is kept of one verb: its Leitner box and the day it was last checked.
struct VerbProgress
{
    quint8 box = Leitner::FirstBox;
    QDate seen;

    friend bool operator==(const VerbProgress &, const VerbProgress &) = default;
};

struct ProgressState
{
    bool repeatMistakes = false;        // the menu item "Fehler wiederholen"
    QHash<QString, VerbProgress> verbs; // by progressKey()

    friend bool operator==(const ProgressState &, const ProgressState &) = default;
};

// A verb's key: its English infinitive and its German field, each without
// outer blanks (the check ignores them too), joined by a tab.
QString progressKey(const VerbEntry &verb);

// The boxes of the verbs in list order; a verb not kept yet is in the first.
QList<quint8> progressBoxes(const ProgressState &state, const QList<VerbEntry> &verbs);

// Drops the verbs that are no longer in the list.
void dropMissingVerbs(ProgressState &state, const QList<VerbEntry> &verbs);

// The file's content: the verbs sorted by key, so that a file compares well.
QByteArray formatProgress(const ProgressState &state);

// The state a file's content holds, or nothing when it is not such a file:
// wrong first line, an unknown line, a box outside 1..5, a date that is no
// date, a bad escape, or text that is not UTF-8. A verb named twice keeps its
// last line.
std::optional<ProgressState> parseProgress(QByteArrayView bytes);

// A larger file is no progress file of ours: 32,760 verbs with the longest
// fields a verb file can hold fit several times over.
inline constexpr qint64 MaxProgressFileBytes = 64 << 20;

// progress.txt in the state folder (platform/StateFolder.h).
QString progressFilePath();

enum class ProgressFileOutcome {
    Read,       // the file was read and understood
    Missing,    // no file yet: the usual first start
    Unreadable, // the file exists but could not be read
    TooLarge,   // larger than MaxProgressFileBytes; nothing was read
    Corrupt,    // read, but parseProgress() did not understand it
};

struct ProgressFile
{
    ProgressFileOutcome outcome = ProgressFileOutcome::Missing;
    ProgressState state; // the empty state unless outcome is Read
};

// Reads the file at path. Never throws and never asks the user: an
// unreadable, too large or corrupt file gives the empty state and one warning
// in the log; a missing one gives the empty state quietly.
ProgressFile readProgressFile(const QString &path);

// Writes the state to path whole or not at all (writeWholeFile: a link at
// path is replaced, never written through), creating the folder when
// needed. False when it could not; the old file then stays.
bool writeProgressFile(const QString &path, const ProgressState &state);
