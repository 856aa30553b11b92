// The progress file's text: written as version 2, read as version 1 or 2.
// The layout is described in Progress.h.

#include "trainer/Progress.h"
#include "trainer/VerbList.h"

#include <QStringDecoder>
#include <QVarLengthArray>

#include <algorithm>
#include <charconv>

namespace {

const QString headerV1 = QStringLiteral("verbodrom-progress 1");
const QString headerV2 = QStringLiteral("verbodrom-progress 2");
const QString toggleOn = QStringLiteral("repeat-mistakes on");
const QString toggleOff = QStringLiteral("repeat-mistakes off");
const QString verbTag = QStringLiteral("verb");
const QString dayTag = QStringLiteral("day");
const QString earlierTag = QStringLiteral("before");
constexpr QChar separator = u'\t';
// The longest verb line, escaped in full, with room for the other fields.
static_assert(MaxProgressLineBytes >= 2 * 3 * MaxVerbLineLength + 256);
constexpr qsizetype fieldsV1 = 4;    // box, date, English, German
constexpr qsizetype verbFields = 10; // tag, box, date, time, 3 misses, last wrong, English, German
constexpr qsizetype dayFields = 4;   // tag, date, checks, right
constexpr qsizetype earlierFields = 3;
// Digits a number may have: counts stay far from overflowing when summed,
// and a time in milliseconds reaches well past any real clock.
constexpr qsizetype countDigits = 9;
constexpr qsizetype sumDigits = 12;
constexpr qsizetype timeDigits = 15;

// The characters a text field cannot hold as they are, each with the letter
// that stands for it after a backslash.
constexpr std::pair<char16_t, char16_t> escapes[] {
        {u'\\', u'\\'}, {u'\t', u't'}, {u'\r', u'r'}, {u'\n', u'n'}};

// Writes the field as UTF-8, each character of escapes as its backslash
// pair. The escaped characters are ASCII, so bytes can be compared.
void appendField(QByteArray &out, QStringView text)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype plain = 0; // bytes before it not yet written
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto *escape
                = std::find_if(std::begin(escapes), std::end(escapes),
                               [c = bytes[i]](const auto &e) { return e.first == char16_t(c); });
        if (escape != std::end(escapes)) {
            out.append(bytes.constData() + plain, i - plain);
            out += '\\';
            out += char(escape->second);
            plain = i + 1;
        }
    }
    out.append(bytes.constData() + plain, bytes.size() - plain);
}

// The decimal digits, zeros in front up to width; no temporary string.
void appendNumber(QByteArray &out, quint64 value, int width = 1)
{
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    out.append(std::max<qsizetype>(0, width - (end - digits)), '0');
    out.append(digits, end - digits);
}

// yyyy-MM-dd; nothing for the null date.
void appendDate(QByteArray &out, QDate date)
{
    if (!date.isValid())
        return;
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    appendNumber(out, quint64(std::max(year, 0)), 4);
    out += '-';
    appendNumber(out, quint64(month), 2);
    out += '-';
    appendNumber(out, quint64(day), 2);
}

void appendCounts(QByteArray &out, const DayCount &count)
{
    out += char(separator.unicode());
    appendNumber(out, count.checked);
    out += char(separator.unicode());
    appendNumber(out, count.right);
    out += '\n';
}

std::optional<QString> unescapeField(QStringView text)
{
    if (!text.contains(u'\\'))
        return text.toString();
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

// ASCII digits only (other scripts' digits and signs are no number here).
std::optional<quint64> parseNumber(QStringView text, qsizetype maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// Exactly yyyy-MM-dd, a day that exists.
std::optional<QDate> parseDate(QStringView text)
{
    constexpr qsizetype isoDateLength = 10;
    if (text.size() != isoDateLength || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const auto year = parseNumber(text.mid(0, 4), 4), month = parseNumber(text.mid(5, 2), 2),
               day = parseNumber(text.mid(8, 2), 2);
    if (!year || !month || !day)
        return std::nullopt;
    const QDate date {int(*year), int(*month), int(*day)};
    return date.isValid() ? std::optional(date) : std::nullopt;
}

std::optional<quint8> parseBox(QStringView text)
{
    const auto box = parseNumber(text, 1);
    if (!box || *box < Leitner::FirstBox || *box > Leitner::LastBox)
        return std::nullopt;
    return quint8(*box);
}

std::optional<QString> parseKey(QStringView english, QStringView german)
{
    const std::optional<QString> first = unescapeField(english), second = unescapeField(german);
    if (!first || !second)
        return std::nullopt;
    return *first + separator + *second;
}

// A line's fields; one more than any line has, so too many show.
using Fields = QVarLengthArray<QStringView, verbFields + 1>;

Fields splitFields(QStringView line)
{
    Fields fields;
    qsizetype begin = 0;
    while (fields.size() <= verbFields) {
        const qsizetype end = line.indexOf(separator, begin);
        fields.append(line.sliced(begin, (end < 0 ? line.size() : end) - begin));
        if (end < 0)
            break;
        begin = end + 1;
    }
    return fields;
}

// A version 1 line; its check time is taken as noon of its day.
bool parseVerbV1(const Fields &fields, ProgressState &state)
{
    const auto box = parseBox(fields.at(0));
    const auto seen = parseDate(fields.at(1));
    const auto key = parseKey(fields.at(2), fields.at(3));
    if (!box || !seen || !key)
        return false;
    VerbProgress verb;
    verb.box = *box;
    verb.seen = *seen;
    // Days before 1970 hold no real check; the time is never negative.
    verb.checkedAt = std::max<qint64>(0, QDateTime(*seen, QTime(12, 0)).toMSecsSinceEpoch());
    state.verbs.insert(*key, verb);
    return true;
}

bool parseVerbV2(const Fields &fields, ProgressState &state)
{
    const auto box = parseBox(fields.at(1));
    const auto seen = parseDate(fields.at(2));
    const auto at = parseNumber(fields.at(3), timeDigits);
    const auto key = parseKey(fields.at(8), fields.at(9));
    if (!box || !seen || !at || !key)
        return false;
    VerbProgress verb {*box, *seen, qint64(*at), {}, {}};
    for (size_t form = 0; form < verb.misses.size(); ++form) {
        const auto misses = parseNumber(fields.at(4 + qsizetype(form)), countDigits);
        if (!misses)
            return false;
        verb.misses[form] = quint32(*misses);
    }
    if (!fields.at(7).isEmpty()) {
        const auto lastWrong = parseDate(fields.at(7));
        if (!lastWrong)
            return false;
        verb.lastWrong = *lastWrong;
    }
    state.verbs.insert(*key, verb);
    return true;
}

std::optional<DayCount> parseCounts(QStringView checked, QStringView right, qsizetype digits)
{
    const auto all = parseNumber(checked, digits), good = parseNumber(right, digits);
    if (!all || !good || *good > *all)
        return std::nullopt;
    return DayCount {*all, *good};
}

// Reads the lines after the toggle; counts the verb and day lines against
// their bounds.
struct LineReader
{
    bool version2 = false;
    qsizetype verbLines = 0;
    qsizetype dayLines = 0;

    bool read(QStringView line, ProgressState &state)
    {
        const Fields fields = splitFields(line);
        if (!version2)
            return fields.size() == fieldsV1 && ++verbLines <= MaxKeptVerbs
                   && parseVerbV1(fields, state);
        const QStringView tag = fields.at(0);
        if (tag == verbTag)
            return fields.size() == verbFields && ++verbLines <= MaxKeptVerbs
                   && parseVerbV2(fields, state);
        if (tag == dayTag && fields.size() == dayFields && ++dayLines <= MaxHistoryDays) {
            const auto date = parseDate(fields.at(1));
            const auto counts = parseCounts(fields.at(2), fields.at(3), countDigits);
            if (date && counts)
                state.days.insert(*date, *counts);
            return date && counts;
        }
        if (tag == earlierTag && fields.size() == earlierFields) {
            const auto counts = parseCounts(fields.at(1), fields.at(2), sumDigits);
            if (counts)
                state.earlier = *counts;
            return bool(counts);
        }
        return false;
    }
};

} // namespace

QByteArray formatProgress(const ProgressState &state)
{
    // Built as bytes in one buffer: at tens of thousands of verbs, every
    // temporary string per field would cost more than the writing.
    constexpr char tab = char(separator.unicode());
    QByteArray out;
    out.reserve(64 + state.days.size() * 24 + state.verbs.size() * 96);
    out += (headerV2 + u'\n' + (state.repeatMistakes ? toggleOn : toggleOff) + u'\n').toLatin1();
    if (state.earlier != DayCount()) {
        out += earlierTag.toLatin1();
        appendCounts(out, state.earlier);
    }
    for (auto day = state.days.cbegin(); day != state.days.cend(); ++day) {
        out += dayTag.toLatin1() + tab;
        appendDate(out, day.key());
        appendCounts(out, *day);
    }
    QStringList keys = state.verbs.keys();
    std::sort(keys.begin(), keys.end());
    const QByteArray verbStart = verbTag.toLatin1() + tab;
    for (const QString &key : std::as_const(keys)) {
        const VerbProgress &verb = *state.verbs.constFind(key);
        const qsizetype split = key.indexOf(separator);
        out += verbStart;
        out += char('0' + verb.box);
        out += tab;
        appendDate(out, verb.seen);
        out += tab;
        appendNumber(out, quint64(std::max<qint64>(verb.checkedAt, 0)));
        for (const quint32 misses : verb.misses) {
            out += tab;
            appendNumber(out, misses);
        }
        out += tab;
        appendDate(out, verb.lastWrong);
        out += tab;
        appendField(out, QStringView(key).left(split));
        out += tab;
        appendField(out, QStringView(key).mid(split + 1));
        out += '\n';
    }
    return out;
}

std::optional<ProgressState> parseProgress(QByteArrayView bytes)
{
    // Line by line, so that memory stays near the file's size and a fault
    // ends the reading at once.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    ProgressState state;
    LineReader reader;
    qsizetype number = 0;
    for (qsizetype begin = 0; begin < bytes.size(); ++number) {
        qsizetype end = bytes.indexOf('\n', begin);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        end = end < 0 ? bytes.size() : end;
        if (end > begin && bytes.at(end - 1) == '\r')
            --end;
        if (end - begin > MaxProgressLineBytes)
            return std::nullopt;
        const QString line = decoder(bytes.sliced(begin, end - begin));
        begin = next;
        if (decoder.hasError())
            return std::nullopt;
        if (number == 0) {
            reader.version2 = line == headerV2;
            if (!reader.version2 && line != headerV1)
                return std::nullopt;
        } else if (number == 1) {
            if (line != toggleOn && line != toggleOff)
                return std::nullopt;
            state.repeatMistakes = line == toggleOn;
        } else if (!line.isEmpty() && !reader.read(line, state)) {
            return std::nullopt;
        }
    }
    if (number < 2)
        return std::nullopt;
    return state;
}
