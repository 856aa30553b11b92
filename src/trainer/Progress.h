#pragma once

#include "trainer/Leitner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class VerbEntry;

// The learner's progress, kept between runs in a small UTF-8 text file under
// the user's XDG state folder while "Fehler wiederholen" is on. The verb list
// itself is never written.
//
// The file, version 2 (version 1 had only the toggle and "box date English
// German" lines; it is read, and written again as version 2):
//   verbodrom-progress 2
//   repeat-mistakes on|off
//   before\t<checks>\t<right>                the days summed away, when any
//   day\t<yyyy-MM-dd>\t<checks>\t<right>      one line per day practised
//   verb\t<box>\t<yyyy-MM-dd>\t<ms>\t<misses>\t<misses>\t<misses>\t<yyyy-MM-dd or empty>\t<English>\t<German>
// A verb line holds the box, the local day of the last check and its time
// (milliseconds since 1970 UTC), the first checks with the infinitive, the
// past tense and the past participle wrong, the local day it was last wrong,
// and the verb's key. Backslash, tab, CR and LF in the two text fields are
// written as \\, \t, \r and \n. Empty lines and a CR before each LF are
// tolerated when reading.

// Most verbs kept, from every list ever practised: beyond it the verbs
// checked longest ago are forgotten. Two full lists fit.
inline constexpr qsizetype MaxKeptVerbs = 65536;
// Days kept one by one; older days are summed into one count.
inline constexpr qint64 MaxHistoryDays = 365;

// What is kept of one verb.
struct VerbProgress
{
    quint8 box = Leitner::FirstBox;
    QDate seen;                       // local day of the last check; null: never practised
    qint64 checkedAt = 0;             // the last check, ms since 1970 UTC
    std::array<quint32, 3> misses {}; // by Quiz::Form: first checks with the form wrong
    QDate lastWrong;                  // local day of the last first check with a form wrong

    bool practised() const { return seen.isValid(); }
    friend bool operator==(const VerbProgress &, const VerbProgress &) = default;
};

// The verbs checked on one day (or summed over days), and how many of them
// were right at their first check.
struct DayCount
{
    quint64 checked = 0;
    quint64 right = 0;

    friend bool operator==(const DayCount &, const DayCount &) = default;
};

struct ProgressState
{
    bool repeatMistakes = false;        // the menu item "Fehler wiederholen"
    QHash<QString, VerbProgress> verbs; // by progressKey()
    QMap<QDate, DayCount> days;         // by local day, at most MaxHistoryDays
    DayCount earlier;                   // the days summed away

    friend bool operator==(const ProgressState &, const ProgressState &) = default;
};

// One verb checked: its first check after it was drawn.
struct ProgressCheck
{
    QString key;                  // progressKey()
    QDateTime at;                 // when, in local time
    std::array<bool, 3> wrong {}; // by Quiz::Form; a form not asked is not wrong

    bool allRight() const { return wrong == std::array<bool, 3> {}; }
};

// What one copy of the program changed since it last wrote the file.
struct ProgressChanges
{
    std::optional<bool> repeatMistakes; // the item was switched
    bool reset = false;                 // "Lernstand zurücksetzen", before the checks
    QList<ProgressCheck> checks;        // in the order they were made
};

// Applies the changes to a state: the reset forgets every verb (the day
// counts stay: they tell what was done, not what is known); each check moves
// its verb's box unless the verb's last check was later (the later check
// wins; an earlier one only counts its misses and its day); then days older
// than MaxHistoryDays before today are summed away, and beyond MaxKeptVerbs
// the verbs checked longest ago are dropped. Verbs of other lists stay.
void applyChanges(ProgressState &state, const ProgressChanges &changes, QDate today);

// A verb's key: its English infinitive and its German field, each without
// outer blanks (the check ignores them too), joined by a tab.
QString progressKey(const VerbEntry &verb);

// The loaded list seen through the kept progress, in list order.
struct ListProgress
{
    QStringList keys;
    QList<VerbProgress> kept;        // the default for a verb never practised
    QHash<QString, qsizetype> index; // key to the first verb with it

    qsizetype indexOf(const QString &key) const { return index.value(key, -1); }
};
ListProgress listProgress(const QList<VerbEntry> &verbs, const ProgressState &state);
// The same verbs, their progress read again from state.
void refreshListProgress(ListProgress &list, const ProgressState &state);

// The file's content: days by date, verbs sorted by key, so that a file
// compares well.
QByteArray formatProgress(const ProgressState &state);

// The state a file's content holds, or nothing when it is not such a file:
// wrong first line, an unknown line, a box outside 1..5, a date that is no
// date, a count out of range, a bad escape, text that is not UTF-8, a line
// over MaxProgressLineBytes, more than MaxKeptVerbs verb lines or
// MaxHistoryDays day lines. A verb or day named
// twice keeps its last line. Reading stops at the first fault.
std::optional<ProgressState> parseProgress(QByteArrayView bytes);

// A larger file is no progress file of ours: MaxKeptVerbs verbs with long
// fields fit several times over.
inline constexpr qint64 MaxProgressFileBytes = 64 << 20;
// A longer line neither: the longest verb line (MaxVerbLineLength characters,
// at most 3 bytes each in UTF-8, every one escaped) fits. The bound keeps the
// memory one line takes to read near its size.
inline constexpr qsizetype MaxProgressLineBytes = 8 << 20;

// progress.txt in the state folder (platform/StateFolder.h).
QString progressFilePath();

enum class ProgressFileOutcome {
    Read,       // the file was read whole
    Missing,    // no file yet: the usual first start
    Unreadable, // the name is there but is no regular file, or it could not be read
    TooLarge,   // larger than MaxProgressFileBytes; nothing was read
    Corrupt,    // read, but parseProgress() does not understand it
};

// Reads the file at path whole into bytes: Read when it was read (whether it
// parses is parseProgress()'s to say). Never blocks on a pipe and never opens
// anything but a regular file (a link is followed for reading only). Never
// throws and never warns: the outcome tells.
ProgressFileOutcome readProgressFile(const QString &path, QByteArray &bytes);
