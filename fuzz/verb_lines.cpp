// The verb loader against a plain reference: LF lines, "#" skipped, four tab
// fields (empty ones after) kept in order up to the limit, as parseVerbLine.
// Input: the limit (1 to 16), then 7-bit text ending in LF.

#include "platform/FileSystem.h"
#include "trainer/VerbList.h"

#include "FuzzCheck.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int kMaxVerbsChoice = 16;

// A line's four fields, or none when it is no verb line.
QStringList referenceFields(const QString &line)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (line.startsWith(QLatin1Char('#')) || fields.size() < 4
        || !fields.mid(4).join(QString()).isEmpty())
        return {};
    return fields.mid(0, 4);
}

QStringList fieldsOf(const std::optional<VerbEntry> &entry)
{
    return entry ? QStringList {entry->EngInf(), entry->EngPast(), entry->EngPastParticiple(),
                                entry->GerInf()}
                 : QStringList();
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
        FUZZ_CHECK(fieldsOf(parseVerbLine(line)) == referenceFields(line), "line " + shown(bytes));
    }

    QByteArray bytes = input;
    for (char &c : bytes)
        c = char(c & 0x7F);
    if (bytes.endsWith('\r'))
        bytes += '\n';
    const QString path = folder.filePath(QStringLiteral("IrregularVerbs.txt"));
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                       && file.write(bytes) == bytes.size() && file.flush(),
               "cannot write " + path.toUtf8());
    QList<QStringList> expected;
    bool truncated = false;
    for (const QByteArray &line : QByteArray(bytes).replace("\r\n", "\n").split('\n')) {
        const QStringList fields = referenceFields(QString::fromLatin1(line));
        if (fields.isEmpty())
            continue;
        if (expected.size() == maxVerbs) {
            truncated = true;
            break;
        }
        expected << fields;
    }
    FileSystemObject fso;
    const VerbTable table = loadVerbFile(fso, path, maxVerbs);
    QList<QStringList> loaded;
    for (const VerbEntry &entry : table.entries)
        loaded << fieldsOf(entry);
    FUZZ_CHECK(table.outcome == VerbFileOutcome::Loaded && loaded == expected
                       && table.truncated == truncated,
               "loaded " + QByteArray::number(loaded.size()) + " verbs, expected "
                       + QByteArray::number(expected.size()) + " from " + shown(bytes));
    return 0;
}
