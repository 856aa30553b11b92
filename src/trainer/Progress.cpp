#include "trainer/Progress.h"

#include "base/Utils.h"
#include "platform/FileSystem.h"
#include "platform/StateFolder.h"
#include "trainer/VerbList.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace {

const QString fileHeader = QStringLiteral("verbodrom-progress 1");
const QString toggleOn = QStringLiteral("repeat-mistakes on");
const QString toggleOff = QStringLiteral("repeat-mistakes off");
constexpr QChar fieldSeparator = u'\t';
constexpr qsizetype fieldsPerVerb = 4;
constexpr qsizetype isoDateLength = 10; // yyyy-MM-dd

// The characters a text field cannot hold as they are, each with the letter
// that stands for it after a backslash.
constexpr std::pair<char16_t, char16_t> escapes[] {
        {u'\\', u'\\'}, {u'\t', u't'}, {u'\r', u'r'}, {u'\n', u'n'}};

QString escapeField(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const auto *escape = std::find_if(std::begin(escapes), std::end(escapes),
                                          [c](const auto &e) { return e.first == c; });
        if (escape == std::end(escapes)) {
            out += c;
        } else {
            out += u'\\';
            out += QChar(escape->second);
        }
    }
    return out;
}

std::optional<QString> unescapeField(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        const QChar letter = text[i];
        const auto *escape = std::find_if(std::begin(escapes), std::end(escapes),
                                          [letter](const auto &e) { return e.second == letter; });
        if (escape == std::end(escapes))
            return std::nullopt;
        out += QChar(escape->first);
    }
    return out;
}

// One verb line: box, date, English infinitive, German field.
std::optional<std::pair<QString, VerbProgress>> parseVerbProgress(QStringView line)
{
    const QList<QStringView> fields = line.split(fieldSeparator);
    if (fields.size() != fieldsPerVerb)
        return std::nullopt;
    const QStringView box = fields.at(0), date = fields.at(1);
    // One ASCII digit; digitValue() alone would take other scripts' digits too.
    const int digit = box.size() == 1 && box[0] < u'\x80' ? box[0].digitValue() : -1;
    if (digit < Leitner::FirstBox || digit > Leitner::LastBox)
        return std::nullopt;
    VerbProgress progress;
    progress.box = quint8(digit);
    progress.seen = QDate::fromString(date.toString(), Qt::ISODate);
    const std::optional<QString> english = unescapeField(fields.at(2));
    const std::optional<QString> german = unescapeField(fields.at(3));
    if (date.size() != isoDateLength || !progress.seen.isValid() || !english || !german)
        return std::nullopt;
    return std::pair {*english + fieldSeparator + *german, progress};
}

} // namespace

QString progressKey(const VerbEntry &verb)
{
    return Utils::Trim(verb.EngInf()) + fieldSeparator + Utils::Trim(verb.GerInf());
}

QList<quint8> progressBoxes(const ProgressState &state, const QList<VerbEntry> &verbs)
{
    QList<quint8> boxes;
    boxes.reserve(verbs.size());
    for (const VerbEntry &verb : verbs)
        boxes.append(state.verbs.value(progressKey(verb)).box);
    return boxes;
}

void dropMissingVerbs(ProgressState &state, const QList<VerbEntry> &verbs)
{
    QSet<QString> listed;
    listed.reserve(verbs.size());
    for (const VerbEntry &verb : verbs)
        listed.insert(progressKey(verb));
    state.verbs.removeIf([&listed](const auto &entry) { return !listed.contains(entry.key()); });
}

QByteArray formatProgress(const ProgressState &state)
{
    QStringList keys = state.verbs.keys();
    std::sort(keys.begin(), keys.end());
    QString text = fileHeader + u'\n' + (state.repeatMistakes ? toggleOn : toggleOff) + u'\n';
    for (const QString &key : keys) {
        const VerbProgress &verb = state.verbs[key];
        const qsizetype tab = key.indexOf(fieldSeparator);
        text += QString::number(verb.box) + fieldSeparator + verb.seen.toString(Qt::ISODate)
                + fieldSeparator + escapeField(QStringView(key).left(tab)) + fieldSeparator
                + escapeField(QStringView(key).mid(tab + 1)) + u'\n';
    }
    return text.toUtf8();
}

std::optional<ProgressState> parseProgress(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    const QList<QStringView> lines = verbFileLines(text);
    if (lines.size() < 2 || lines.at(0) != fileHeader
        || (lines.at(1) != toggleOn && lines.at(1) != toggleOff))
        return std::nullopt;
    ProgressState state;
    state.repeatMistakes = lines.at(1) == toggleOn;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        if (lines.at(i).isEmpty())
            continue;
        auto verb = parseVerbProgress(lines.at(i));
        if (!verb)
            return std::nullopt;
        state.verbs.insert(verb->first, verb->second);
    }
    return state;
}

QString progressFilePath()
{
    return stateFolder() + QStringLiteral("/progress.txt");
}

ProgressFile readProgressFile(const QString &path)
{
    ProgressFile result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result; // Missing
    const auto ignore = [&result, &path](ProgressFileOutcome outcome, const char *why) {
        qWarning("Progress file %s ignored: %s", qPrintable(path), why);
        result.outcome = outcome;
        return result;
    };
    // Never a pipe or a device: they could block the drill or never end.
    const FileBytes file = readRegularFile(path, MaxProgressFileBytes);
    if (file.outcome == FileReadOutcome::TooLarge)
        return ignore(ProgressFileOutcome::TooLarge, "it is too large");
    if (file.outcome != FileReadOutcome::Read)
        return ignore(ProgressFileOutcome::Unreadable, "it cannot be read");
    std::optional<ProgressState> state = parseProgress(file.bytes);
    if (!state)
        return ignore(ProgressFileOutcome::Corrupt, "it is not a progress file of this program");
    result.outcome = ProgressFileOutcome::Read;
    result.state = std::move(*state);
    return result;
}

bool writeProgressFile(const QString &path, const ProgressState &state)
{
    return makePrivateFolder(QFileInfo(path).absolutePath())
           && writeWholeFile(path, formatProgress(state));
}
