#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class FileSystemObject;
struct VerbTable;

// The verb list file and its loader. Each verb line of IrregularVerbs.txt
// holds four fields separated by single tabs, perhaps followed by empty ones
// (a spreadsheet writes its empty columns as tabs at the end); "#" in column
// 1 marks a comment, and every other line is ignored. The steps (decode the bytes,
// split the lines, parse one line) are separate functions, so that other
// tools read a verb file exactly as the trainer does.

// One verb, its fields exactly as they stand in the file (no trimming, no
// change of case, alternatives still joined by "/"). The entry points into a
// text shared by all the verbs of a table (implicitly shared, so a copy costs
// no text) and cuts a field out when asked: a table holds its verbs' text
// once, with no string per verb, whatever else the file held.
class VerbEntry
{
public:
    VerbEntry() = default;

    QString EngInf() const { return field(0); }            // with its "to " prefix
    QString EngPast() const { return field(1); }           // alternatives split by "/"
    QString EngPastParticiple() const { return field(2); } // likewise
    QString GerInf() const { return field(3); }            // only displayed

    // The same four fields.
    friend bool operator==(const VerbEntry &a, const VerbEntry &b) { return a.line() == b.line(); }

private:
    friend std::optional<VerbEntry> parseVerbLine(QStringView line);
    friend VerbTable parseVerbFile(const QString &text, qsizetype maxVerbs);
    QStringView line() const { return QStringView(mText).sliced(mBegin, mEnd - mBegin); }
    QString field(int index) const;
    // Finds the tabs and the end of the fourth field of a verb line, counted
    // from its start; false when it is no verb line. Sets no text.
    static bool layOut(QStringView line, VerbEntry &entry);

    QString mText;      // the shared text that holds the verb's line
    qint32 mBegin = 0;  // the line: from mBegin to mEnd, the four fields
    qint32 mEnd = 0;    // joined by tabs and nothing after them
    qint32 mTabs[3] {}; // the three tabs, counted from mBegin
};
Q_DECLARE_TYPEINFO(VerbEntry, Q_RELOCATABLE_TYPE);

enum class VerbFileOutcome {
    Loaded,     // the file was read to its end (it may hold no verb at all)
    Missing,    // no file at that path
    Unreadable, // the file exists but is no regular file or could not be read
    TooLarge,   // the file is larger than MaxVerbFileBytes; nothing was read
};

struct VerbTable
{
    VerbFileOutcome outcome = VerbFileOutcome::Missing;
    // The verbs in file order; entry k of the 1-based table is entries[k - 1].
    // Always empty unless outcome is Loaded.
    QList<VerbEntry> entries;
    // True when the file held more verb lines than the table may hold; the
    // first maxVerbs were kept.
    bool truncated = false;
    // Lines that are no verb, no comment and not empty, up to the last one
    // read; of them, those whose fields a spreadsheet separated by semicolons
    // or by commas instead of tabs. They tell why a file gave no verb.
    qsizetype skippedLines = 0;
    qsizetype semicolonLines = 0;
    qsizetype commaLines = 0;
};

// Most verbs a table holds. The window's indices are 16-bit signed; this
// keeps every index, and the last one plus a few, clear of their limit.
inline constexpr qsizetype MaxVerbs = 32760;
// A longer line (without its line end) is no verb line. No real verb comes
// near it.
inline constexpr qsizetype MaxVerbLineLength = 1 << 20;
// A larger file is not read at all: 32,760 verbs of a few hundred bytes each
// fit many times over, and the bound keeps a stray huge file from filling the
// memory.
inline constexpr qint64 MaxVerbFileBytes = 16 << 20;

// The text encodings a verb file is read in.
enum class VerbFileEncoding {
    Windows1252, // no byte order mark, and not valid UTF-8 with bytes above 127
    Utf8,        // no byte order mark, valid UTF-8
    Utf8Bom,
    Utf16LE, // with its byte order mark
    Utf16BE, // with its byte order mark
};

// The one decision on a file's encoding: a UTF-8 or UTF-16 byte order mark
// names it; without one, bytes that are valid UTF-8 are read as UTF-8 and
// all others as Windows-1252, as every older list was written.
VerbFileEncoding verbFileEncoding(QByteArrayView bytes);

// The file's text in the encoding verbFileEncoding() finds, without its byte
// order mark. Bytes that do not fit the encoding become U+FFFD.
QString decodeVerbFile(QByteArrayView bytes);

// The text's lines without their line ends, one at a time: nothing is kept
// per line, so a file of millions of line breaks costs no more than its text.
// A line ends at LF; a CR right before it goes with it. A last line without
// LF counts; the empty piece after a final LF does not.
class VerbFileLineReader
{
public:
    explicit VerbFileLineReader(QStringView text)
        : mText(text)
    {}
    // The next line, or false after the last one.
    bool next(QStringView &line);

private:
    QStringView mText;
    qsizetype mBegin = 0;
};

// All the text's lines as VerbFileLineReader reads them.
QList<QStringView> verbFileLines(QStringView text);

// The entry of one line (without its line end), or nothing for a comment or
// an ignored line.
std::optional<VerbEntry> parseVerbLine(QStringView line);

// True for a comment line: "#" in column 1, nothing else counts.
bool isVerbComment(QStringView line);

// What the loader does with a line of a verb file, and why.
enum class VerbLineKind {
    Verb,            // four fields, perhaps followed by empty ones: kept
    Comment,         // "#" in column 1
    Empty,           // nothing on the line
    WrongFieldCount, // any other number of fields: skipped
    TooLong,         // longer than MaxVerbLineLength characters: skipped
    SemicolonFields, // no tab, but four fields or more split by ";": skipped
    CommaFields,     // no tab, but four fields or more split by ",": skipped
};

// The kind of a line (without its line end). parseVerbLine decides whether it
// is kept; this only names the reason when it is not.
VerbLineKind classifyVerbLine(QStringView line);

// Number of tab-separated fields of a line; 0 for an empty one.
qsizetype verbLineFieldCount(QStringView line);

// Reads and decodes the verb file at path as loadVerbFile does and calls
// visit with every line, numbered from 1, and its kind. Answers Missing,
// Unreadable, TooLarge (and then calls visit for no line) or Loaded.
using VerbLineVisitor = std::function<void(qsizetype number, VerbLineKind kind, QStringView line)>;
VerbFileOutcome forEachVerbFileLine(FileSystemObject &fso, const QString &path,
                                    const VerbLineVisitor &visit);

// The verbs of a decoded file, at most maxVerbs of them; outcome is Loaded.
// The verbs share text when their lines fill most of it, and a copy of just
// their lines otherwise: they keep about what they need, never the comments,
// empty and skipped lines around them.
VerbTable parseVerbFile(const QString &text, qsizetype maxVerbs = MaxVerbs);

// Reads the verb file at path through the given file-system object. Never
// throws; a file that cannot be read whole gives no verbs at all, so the
// caller never sees half a list.
VerbTable loadVerbFile(FileSystemObject &fso, const QString &path, qsizetype maxVerbs = MaxVerbs);
