#include "trainer/VerbList.h"

#include "base/Ansi.h"
#include "base/RuntimeError.h"
#include "platform/FileSystem.h"

#include <QStringDecoder>

namespace {

constexpr QByteArrayView utf8Bom("\xEF\xBB\xBF");
constexpr QByteArrayView utf16LEBom("\xFF\xFE");
constexpr QByteArrayView utf16BEBom("\xFE\xFF");

QString decodeAs(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    // The caller has stripped the byte order mark: a second one stays the
    // character it is, and a cut-off last character becomes U+FFFD.
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless
                                             | QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// Reads the verb file at path whole and decodes it into text; the outcome.
VerbFileOutcome readVerbFile(FileSystemObject &fso, const QString &path, QString &text)
{
    if (!fso.FileExists(path))
        return VerbFileOutcome::Missing;
    QByteArray bytes;
    try {
        // One byte over the bound tells a file that is too large.
        bytes = fso.ReadAll(path, MaxVerbFileBytes + 1);
    } catch (const RuntimeError &) {
        return VerbFileOutcome::Unreadable;
    }
    if (bytes.size() > MaxVerbFileBytes)
        return VerbFileOutcome::TooLarge;
    text = decodeVerbFile(bytes);
    return VerbFileOutcome::Loaded;
}

} // namespace

QString VerbEntry::field(int index) const
{
    const qsizetype begin = index == 0 ? 0 : mTabs[index - 1] + 1;
    const qsizetype end = index == 3 ? mEnd - mBegin : mTabs[index];
    return mText.mid(mBegin + begin, end - begin);
}

VerbFileEncoding verbFileEncoding(QByteArrayView bytes)
{
    if (bytes.startsWith(utf8Bom))
        return VerbFileEncoding::Utf8Bom;
    if (bytes.startsWith(utf16LEBom))
        return VerbFileEncoding::Utf16LE;
    if (bytes.startsWith(utf16BEBom))
        return VerbFileEncoding::Utf16BE;
    // Windows-1252 text with umlauts is practically never valid UTF-8 (an
    // umlaut byte would have to be followed by just the right bytes), and
    // plain ASCII reads the same either way.
    return bytes.isValidUtf8() ? VerbFileEncoding::Utf8 : VerbFileEncoding::Windows1252;
}

QString decodeVerbFile(QByteArrayView bytes)
{
    switch (verbFileEncoding(bytes)) {
    case VerbFileEncoding::Utf8:
        return decodeAs(QStringConverter::Utf8, bytes);
    case VerbFileEncoding::Utf8Bom:
        return decodeAs(QStringConverter::Utf8, bytes.sliced(utf8Bom.size()));
    case VerbFileEncoding::Utf16LE:
        return decodeAs(QStringConverter::Utf16LE, bytes.sliced(utf16LEBom.size()));
    case VerbFileEncoding::Utf16BE:
        return decodeAs(QStringConverter::Utf16BE, bytes.sliced(utf16BEBom.size()));
    case VerbFileEncoding::Windows1252:
        break;
    }
    return Ansi::decode(bytes);
}

bool VerbFileLineReader::next(QStringView &line)
{
    if (mBegin >= mText.size())
        return false;
    qsizetype end = mText.indexOf(u'\n', mBegin);
    const qsizetype next = end < 0 ? mText.size() : end + 1;
    if (end < 0)
        end = mText.size();
    else if (end > mBegin && mText.at(end - 1) == u'\r')
        --end;
    line = mText.sliced(mBegin, end - mBegin);
    mBegin = next;
    return true;
}

QList<QStringView> verbFileLines(QStringView text)
{
    QList<QStringView> lines;
    VerbFileLineReader reader(text);
    for (QStringView line; reader.next(line);)
        lines.append(line);
    return lines;
}

bool isVerbComment(QStringView line)
{
    return line.startsWith(u'#');
}

qsizetype verbLineFieldCount(QStringView line)
{
    return line.isEmpty() ? 0 : line.count(u'\t') + 1;
}

bool VerbEntry::layOut(QStringView line, VerbEntry &entry)
{
    if (isVerbComment(line) || line.size() > MaxVerbLineLength)
        return false;
    // Four pieces between tabs; after the fourth, only empty ones (tabs
    // alone), which spreadsheets write for their empty columns. One pass
    // over the characters: verb lines are short.
    const char16_t *chars = line.utf16();
    qsizetype end = line.size();
    int tabs = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (chars[i] != u'\t')
            continue;
        if (tabs < 3) {
            entry.mTabs[tabs++] = qint32(i); // below MaxVerbLineLength
            continue;
        }
        end = i;
        for (++i; i < line.size(); ++i) {
            if (chars[i] != u'\t')
                return false;
        }
    }
    if (tabs < 3)
        return false;
    entry.mBegin = 0;
    entry.mEnd = qint32(end);
    return true;
}

std::optional<VerbEntry> parseVerbLine(QStringView line)
{
    VerbEntry entry;
    if (!VerbEntry::layOut(line, entry))
        return std::nullopt;
    entry.mText = line.left(entry.mEnd).toString();
    return entry;
}

VerbLineKind classifyVerbLine(QStringView line)
{
    // Three separators make the four fields; a spreadsheet's separator other
    // than the tab counts only on a line without any tab.
    constexpr qsizetype separatorsOfFourFields = 3;
    if (line.size() > MaxVerbLineLength)
        return VerbLineKind::TooLong;
    if (isVerbComment(line))
        return VerbLineKind::Comment;
    if (parseVerbLine(line))
        return VerbLineKind::Verb;
    if (line.isEmpty())
        return VerbLineKind::Empty;
    if (!line.contains(u'\t')) {
        const qsizetype semicolons = line.count(u';');
        const qsizetype commas = line.count(u',');
        if (semicolons >= separatorsOfFourFields && semicolons >= commas)
            return VerbLineKind::SemicolonFields;
        if (commas >= separatorsOfFourFields)
            return VerbLineKind::CommaFields;
    }
    return VerbLineKind::WrongFieldCount;
}

VerbTable parseVerbFile(const QString &text, qsizetype maxVerbs)
{
    VerbTable table;
    table.outcome = VerbFileOutcome::Loaded;
    qsizetype verbChars = 0;
    // Room for as many verbs as the text could hold, so the table never grows
    // by copying; what is not used is never touched and goes at the squeeze.
    constexpr qsizetype shortestVerbLine = 7; // "a\tb\tc\td"
    table.entries.reserve(qMin(maxVerbs, text.size() / shortestVerbLine + 1));
    VerbFileLineReader reader(text);
    for (QStringView line; reader.next(line);) {
        if (line.isEmpty() || isVerbComment(line))
            continue;
        VerbEntry entry;
        if (!VerbEntry::layOut(line, entry)) {
            ++table.skippedLines;
            const VerbLineKind kind = classifyVerbLine(line);
            table.semicolonLines += kind == VerbLineKind::SemicolonFields;
            table.commaLines += kind == VerbLineKind::CommaFields;
            continue;
        }
        if (table.entries.size() >= maxVerbs) {
            table.truncated = true;
            break;
        }
        // Places in the text: a file is at most 16 MiB, so they fit 32 bits.
        entry.mBegin = qint32(line.data() - text.constData());
        entry.mEnd += entry.mBegin;
        verbChars += entry.mEnd - entry.mBegin;
        table.entries.append(entry);
    }
    table.entries.squeeze();

    // Text that is mostly not verbs (comments, empty or skipped lines) is not
    // kept: the verbs get a text of just their own lines.
    QString shared = text;
    if (verbChars < text.size() / 2) {
        shared = QString();
        shared.reserve(verbChars);
        for (VerbEntry &entry : table.entries) {
            const qint32 begin = qint32(shared.size());
            shared += QStringView(text).sliced(entry.mBegin, entry.mEnd - entry.mBegin);
            entry.mEnd = qint32(shared.size());
            entry.mBegin = begin;
        }
    }
    for (VerbEntry &entry : table.entries)
        entry.mText = shared;
    return table;
}

VerbFileOutcome forEachVerbFileLine(FileSystemObject &fso, const QString &path,
                                    const VerbLineVisitor &visit)
{
    QString text;
    const VerbFileOutcome outcome = readVerbFile(fso, path, text);
    VerbFileLineReader reader(text);
    qsizetype number = 0;
    for (QStringView line; reader.next(line);)
        visit(++number, classifyVerbLine(line), line);
    return outcome;
}

VerbTable loadVerbFile(FileSystemObject &fso, const QString &path, qsizetype maxVerbs)
{
    QString text;
    const VerbFileOutcome outcome = readVerbFile(fso, path, text);
    if (outcome != VerbFileOutcome::Loaded) {
        VerbTable table;
        table.outcome = outcome;
        return table;
    }
    return parseVerbFile(text, maxVerbs);
}
