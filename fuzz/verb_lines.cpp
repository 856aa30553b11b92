// The verb loader against a plain reference: split the file at LF, drop the
// CR in front of it, skip lines that begin with "#", and keep the lines that
// split at tabs into four fields followed by empty ones only, in file order,
// up to the table's limit. Each line on its own must also give what parseVerbLine gives.
//
// Input: one byte (the table's limit, 1 to 16), then the text. parseVerbLine
// sees every line as it is; the file is written with each byte cut to 7 bits,
// so that every encoding the loader may choose reads it alike, and ends with
// LF where it would end with a bare CR.

#include "platform/FileSystem.h"
#include "trainer/VerbList.h"

#include "FuzzCheck.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int kMaxVerbsChoice = 16;

struct Reference
{
    QList<QStringList> verbs;
    bool truncated = false;
};

QStringList referenceFields(const QString &line)
{
    if (line.startsWith(QLatin1Char('#')))
        return {};
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() < 4)
        return {};
    for (qsizetype i = 4; i < fields.size(); ++i) {
        if (!fields.at(i).isEmpty())
            return {};
    }
    return fields.mid(0, 4);
}

Reference referenceLoad(const QByteArray &file, qsizetype maxVerbs)
{
    Reference ref;
    QList<QByteArray> lines = file.split('\n');
    if (lines.constLast().isEmpty())
        lines.removeLast(); // the file ends with a line end
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QStringList fields = referenceFields(QString::fromLatin1(line));
        if (fields.isEmpty())
            continue;
        if (ref.verbs.size() == maxVerbs) {
            ref.truncated = true;
            break;
        }
        ref.verbs.append(fields);
    }
    return ref;
}

QStringList fieldsOf(const VerbEntry &entry)
{
    return {entry.EngInf(), entry.EngPast(), entry.EngPastParticiple(), entry.GerInf()};
}

QByteArray describe(const QList<QStringList> &verbs)
{
    QByteArray text;
    for (const QStringList &fields : verbs)
        text += shown(fields.join(QLatin1Char('|'))) + '\n';
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    if (size < 1)
        return 0;
    const qsizetype maxVerbs = 1 + data[0] % kMaxVerbsChoice;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    for (const QByteArray &bytes : input.split('\n')) {
        const QString line = QString::fromLatin1(bytes);
        const std::optional<VerbEntry> entry = parseVerbLine(line);
        const QStringList expected = referenceFields(line);
        FUZZ_CHECK(entry ? fieldsOf(*entry) == expected : expected.isEmpty(),
                   "line " + shown(bytes) + " gave " + (entry ? "a verb" : "no verb"));
    }

    QByteArray bytes = input;
    for (char &c : bytes)
        c = char(c & 0x7F);
    if (bytes.endsWith('\r'))
        bytes += '\n';
    const QString path = folder.filePath(QStringLiteral("IrregularVerbs.txt"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                           && file.write(bytes) == bytes.size(),
                   "cannot write " + path.toUtf8());
    }
    FileSystemObject fso;
    const VerbTable table = loadVerbFile(fso, path, maxVerbs);
    const Reference ref = referenceLoad(bytes, maxVerbs);
    QList<QStringList> loaded;
    for (const VerbEntry &entry : table.entries)
        loaded.append(fieldsOf(entry));
    FUZZ_CHECK(table.outcome == VerbFileOutcome::Loaded && loaded == ref.verbs
                       && table.truncated == ref.truncated,
               "loaded\n" + describe(loaded) + "expected\n" + describe(ref.verbs) + "from "
                       + shown(bytes));
    return 0;
}
