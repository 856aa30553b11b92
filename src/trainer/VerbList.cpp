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
    const qsizetype end = index == 3 ? mLine.size() : mTabs[index];
    return mLine.mid(begin, end - begin);
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

QList<QStringView> verbFileLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype begin = 0;
    while (begin < text.size()) {
        qsizetype end = text.indexOf(u'\n', begin);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        else if (end > begin && text.at(end - 1) == u'\r')
            --end;
        lines.append(text.sliced(begin, end - begin));
        begin = next;
    }
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

std::optional<VerbEntry> parseVerbLine(QStringView line)
{
    if (isVerbComment(line) || line.size() > MaxVerbLineLength)
        return std::nullopt;
    // Exactly four pieces between tabs: a trailing tab makes a fifth (empty)
    // piece, so such a line is ignored too.
    VerbEntry entry;
    qsizetype from = 0;
    for (qint32 &tab : entry.mTabs) {
        const qsizetype at = line.indexOf(u'\t', from);
        if (at < 0)
            return std::nullopt;
        tab = qint32(at); // below MaxVerbLineLength
        from = at + 1;
    }
    if (line.indexOf(u'\t', from) >= 0)
        return std::nullopt;
    entry.mLine = line.toString();
    return entry;
}

VerbTable parseVerbFile(QStringView text, qsizetype maxVerbs)
{
    VerbTable table;
    table.outcome = VerbFileOutcome::Loaded;
    for (QStringView line : verbFileLines(text)) {
        std::optional<VerbEntry> entry = parseVerbLine(line);
        if (!entry)
            continue;
        if (table.entries.size() >= maxVerbs) {
            table.truncated = true;
            break;
        }
        table.entries.append(std::move(*entry));
    }
    table.entries.squeeze();
    return table;
}

VerbLineKind classifyVerbLine(QStringView line)
{
    if (line.size() > MaxVerbLineLength)
        return VerbLineKind::TooLong;
    if (isVerbComment(line))
        return VerbLineKind::Comment;
    if (parseVerbLine(line))
        return VerbLineKind::Verb;
    if (line.isEmpty())
        return VerbLineKind::Empty;
    return verbLineFieldCount(line) == 5 && line.endsWith(u'\t') ? VerbLineKind::TrailingTab
                                                                 : VerbLineKind::WrongFieldCount;
}

VerbFileOutcome forEachVerbFileLine(FileSystemObject &fso, const QString &path,
                                    const VerbLineVisitor &visit)
{
    QString text;
    const VerbFileOutcome outcome = readVerbFile(fso, path, text);
    qsizetype number = 0;
    for (QStringView line : verbFileLines(text))
        visit(++number, classifyVerbLine(line), line.toString());
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
