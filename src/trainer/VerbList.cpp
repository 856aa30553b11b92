#include "trainer/VerbList.h"

#include "base/RuntimeError.h"
#include "platform/FileSystem.h"

#include <QFileInfo>

#include <limits>

QString VerbEntry::field(int index) const
{
    const qsizetype begin = index == 0 ? 0 : mTabs[index - 1] + 1;
    const qsizetype end = index == 3 ? mLine.size() : mTabs[index];
    return mLine.mid(begin, end - begin);
}

bool isVerbComment(QStringView line)
{
    return line.startsWith(QLatin1Char('#'));
}

std::optional<VerbEntry> parseVerbLine(QString line)
{
    if (isVerbComment(line))
        return std::nullopt;
    // Exactly four pieces between tabs: a trailing tab makes a fifth (empty)
    // piece, so such a line is ignored too.
    VerbEntry entry;
    qsizetype from = 0;
    for (qint32 &tab : entry.mTabs) {
        const qsizetype at = line.indexOf(QLatin1Char('\t'), from);
        if (at < 0 || at > std::numeric_limits<qint32>::max())
            return std::nullopt;
        tab = qint32(at);
        from = at + 1;
    }
    if (line.indexOf(QLatin1Char('\t'), from) >= 0)
        return std::nullopt;
    // A copy of exactly the line's size: the decoder leaves room for twice
    // the text, and its buffer is then free again for the next line.
    entry.mLine = QString(line.constData(), line.size());
    return entry;
}

VerbTable loadVerbFile(FileSystemObject &fso, const QString &path, qsizetype maxVerbs)
{
    VerbTable table;
    if (!fso.FileExists(path)) {
        table.outcome = VerbFileOutcome::Missing;
        return table;
    }

    std::unique_ptr<TextStream> stream;
    try {
        stream = fso.OpenTextFile(path);
    } catch (const RuntimeError &) {
        table.outcome = VerbFileOutcome::Unreadable;
        return table;
    }

    // Room guessed from the file's size (real verb lines are well over 8
    // bytes), so the list seldom moves while it fills; it still grows on its
    // own when the guess falls short, and squeeze() trims it to the exact
    // count at the end.
    table.entries.reserve(qMin(QFileInfo(path).size() / 8 + 1, qint64(maxVerbs)));
    while (!stream->AtEndOfStream()) {
        QString line = stream->ReadLine();
        if (stream->lineTooLong())
            continue;
        std::optional<VerbEntry> entry = parseVerbLine(std::move(line));
        if (!entry)
            continue;
        if (table.entries.size() >= maxVerbs) {
            // Stopping here keeps the indices in range and the memory bounded
            // however large the file is.
            table.truncated = true;
            break;
        }
        table.entries.append(std::move(*entry));
    }
    const bool failed = stream->failed();
    stream->Close();

    if (failed) {
        table.entries.clear();
        table.truncated = false;
        table.outcome = VerbFileOutcome::Unreadable;
        return table;
    }
    table.entries.squeeze();
    table.outcome = VerbFileOutcome::Loaded;
    return table;
}

qsizetype verbLineFieldCount(QStringView line)
{
    return line.isEmpty() ? 0 : line.count(QLatin1Char('\t')) + 1;
}

VerbLineKind classifyVerbLine(const QString &line)
{
    if (isVerbComment(line))
        return VerbLineKind::Comment;
    if (parseVerbLine(line))
        return VerbLineKind::Verb;
    if (line.isEmpty())
        return VerbLineKind::Empty;
    return verbLineFieldCount(line) == 5 && line.endsWith(QLatin1Char('\t'))
                   ? VerbLineKind::TrailingTab
                   : VerbLineKind::WrongFieldCount;
}

VerbFileOutcome forEachVerbFileLine(FileSystemObject &fso, const QString &path,
                                    const VerbLineVisitor &visit)
{
    if (!fso.FileExists(path))
        return VerbFileOutcome::Missing;
    std::unique_ptr<TextStream> stream;
    try {
        stream = fso.OpenTextFile(path);
    } catch (const RuntimeError &) {
        return VerbFileOutcome::Unreadable;
    }
    for (qsizetype number = 1; !stream->AtEndOfStream(); ++number) {
        const QString line = stream->ReadLine();
        if (stream->failed())
            break;
        visit(number, stream->lineTooLong() ? VerbLineKind::TooLong : classifyVerbLine(line), line);
    }
    const bool failed = stream->failed();
    stream->Close();
    return failed ? VerbFileOutcome::Unreadable : VerbFileOutcome::Loaded;
}
