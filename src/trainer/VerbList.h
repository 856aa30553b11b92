#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class FileSystemObject;

// The verb list file and its loader. Each verb line of IrregularVerbs.txt
// holds four fields separated by single tabs; "#" in column 1 marks a
// comment, and every other line is ignored.

// One verb, its fields exactly as they stand in the file (no trimming, no
// change of case, alternatives still joined by "/"). The entry keeps its
// line as read and cuts a field out when asked: one string per verb instead
// of four keeps loading a large list about as fast as reading its lines.
class VerbEntry
{
public:
    VerbEntry() = default;

    QString EngInf() const { return field(0); }            // with its "to " prefix
    QString EngPast() const { return field(1); }           // alternatives split by "/"
    QString EngPastParticiple() const { return field(2); } // likewise
    QString GerInf() const { return field(3); }            // only displayed

    friend bool operator==(const VerbEntry &, const VerbEntry &) = default;

private:
    friend std::optional<VerbEntry> parseVerbLine(QString line);
    QString field(int index) const;

    QString mLine;      // the four fields joined by tabs
    qint32 mTabs[3] {}; // where the three tabs stand (lines are at most 1 MiB)
};

enum class VerbFileOutcome {
    Loaded,     // the file was read to its end (it may hold no verb at all)
    Missing,    // no file at that path
    Unreadable, // the file exists but could not be opened or read
};

struct VerbTable
{
    VerbFileOutcome outcome = VerbFileOutcome::Missing;
    // The verbs in file order; entry k of the 1-based table is entries[k - 1].
    // Always empty unless outcome is Loaded.
    QList<VerbEntry> entries;
    // True when the file held more verb lines than the table may hold; the
    // first maxVerbs were kept and the rest was not read.
    bool truncated = false;
};

// Most verbs a table holds. The window's indices are 16-bit signed; this
// keeps every index, and the last one plus a few, clear of their limit.
inline constexpr qsizetype MaxVerbs = 32760;

// The entry of a verb line, or nothing for a comment or an ignored line.
std::optional<VerbEntry> parseVerbLine(QString line);

// True for a comment line: "#" in column 1, nothing else counts.
bool isVerbComment(QStringView line);

// What the loader does with a line of a verb file, and why.
enum class VerbLineKind {
    Verb,            // four fields: kept
    Comment,         // "#" in column 1
    Empty,           // nothing on the line
    TrailingTab,     // four fields and a tab after the last: skipped
    WrongFieldCount, // any other number of fields: skipped
    TooLong,         // longer than the reader takes (TextStream::MaxLineBytes): skipped
};

// The kind of a line as read (without its line end). parseVerbLine decides
// whether it is kept; this only names the reason when it is not.
VerbLineKind classifyVerbLine(const QString &line);

// Number of tab-separated fields of a line; 0 for an empty one.
qsizetype verbLineFieldCount(QStringView line);

// Reads the verb file at path as loadVerbFile does and calls visit with every
// line, numbered from 1, and its kind (a TooLong line comes as ""). Answers
// Missing, Unreadable (also after a read error part way) or Loaded.
using VerbLineVisitor
        = std::function<void(qsizetype number, VerbLineKind kind, const QString &line)>;
VerbFileOutcome forEachVerbFileLine(FileSystemObject &fso, const QString &path,
                                    const VerbLineVisitor &visit);

// Reads the verb file at path through the given file-system object. Never
// throws; a read error after a part of the file leaves no verbs at all, so
// the caller never sees half a list.
VerbTable loadVerbFile(FileSystemObject &fso, const QString &path, qsizetype maxVerbs = MaxVerbs);
