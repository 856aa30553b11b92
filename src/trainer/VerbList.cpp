#include "trainer/VerbList.h"

#include "support/FileSystem.h"
#include "support/Globals.h"
#include "support/RuntimeError.h"
#include "support/Utils.h"

std::optional<VerbEntry> parseVerbLine(const QString &line)
{
    if (line.startsWith(QLatin1Char('#')))
        return std::nullopt;
    // A trailing tab makes a fifth (empty) piece, so such a line is ignored.
    const QStringList pieces = line.split(QLatin1Char('\t'));
    if (Utils::countElements(pieces) != 4)
        return std::nullopt;
    return VerbEntry{pieces[0], pieces[1], pieces[2], pieces[3]};
}

VerbTable loadVerbFile(const QString &path, qsizetype maxVerbs)
{
    VerbTable table;
    FileSystemObject &fso = Globals::g_objFSO();
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

    // QList grows geometrically and keeps its entries; squeeze() below trims
    // the room to the exact count once at the end.
    while (!stream->AtEndOfStream()) {
        const QString line = stream->ReadLine();
        if (stream->lineTooLong())
            continue;
        std::optional<VerbEntry> entry = parseVerbLine(line);
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
