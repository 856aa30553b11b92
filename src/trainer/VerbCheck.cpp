#include "trainer/VerbCheck.h"

#include "base/Ansi.h"
#include "platform/FileSystem.h"
#include "trainer/Quiz.h"

#include <QStringDecoder>

#include <algorithm>

namespace VerbCheck {

namespace {

// One text in both languages, German first.
struct Words
{
    const char *german;
    const char *english;
};

QString say(Language language, Words words)
{
    return QString::fromUtf8(language == Language::German ? words.german : words.english);
}

QString quoted(Language language, const QString &text)
{
    const bool german = language == Language::German;
    return (german ? QStringLiteral("„") : QStringLiteral("\"")) + text
           + (german ? QStringLiteral("“") : QStringLiteral("\""));
}

// "1 Zeile", "3 Zeilen"; "1 line", "3 lines".
QString count(Language language, qsizetype n, Words one, Words many)
{
    return QString::number(n) + u' ' + say(language, n == 1 ? one : many);
}

struct Field
{
    Words name;
    QString text;
    bool isForm; // past tense or participle: alternatives split by "/"
};

// Text whose Windows-1252 bytes form valid UTF-8 with at least one multi-byte
// sequence: UTF-8 that was read as Windows-1252 ("Ã¤" for "ä"). Real
// Windows-1252 German text is never valid UTF-8 that way. The repaired text,
// or "" when the field does not look like that.
QString utf8ReadAsAnsi(const QString &field)
{
    const QByteArray bytes = Ansi::encode(field);
    if (!std::any_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) >= 0x80; }))
        return QString();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString repaired = utf8.decode(bytes);
    return utf8.hasError() ? QString() : repaired;
}

// Blanks that the answer check ignores, or that an answer can hardly match.
// Each run of blanks counts once, by where it stands: at the field's edge,
// beside a "/" between alternatives, or doubled inside.
void blankProblems(Language language, const Field &field, QStringList &problems)
{
    const QString &text = field.text;
    bool edge = false, slash = false, doubled = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u' ')
            continue;
        const qsizetype begin = i;
        while (i + 1 < text.size() && text.at(i + 1) == u' ')
            ++i;
        if (begin == 0 || i + 1 == text.size())
            edge = true;
        else if (field.isForm && (text.at(begin - 1) == u'/' || text.at(i + 1) == u'/'))
            slash = true;
        else if (i > begin)
            doubled = true;
    }
    const QString where
            = quoted(language, text) + QStringLiteral(" (") + say(language, field.name) + u')';
    if (edge)
        problems << say(language, {"Leerzeichen am Rand von %1: löschen.",
                                   "blank at the edge of %1: delete it"})
                            .arg(where);
    if (slash)
        problems << say(language, {"Leerzeichen neben „/“ in %1: löschen.",
                                   "blank beside \"/\" in %1: delete it"})
                            .arg(where);
    if (doubled)
        problems << say(language, {"Doppeltes Leerzeichen in %1: nur eines schreiben, sonst "
                                   "gilt die Antwort mit einem als falsch.",
                                   "doubled blank in %1: an answer with one is wrong"})
                            .arg(where);
}

// What a character that cannot be seen, or that only looks like another, is
// called and what to do with it; nothing for an ordinary character.
struct Oddity
{
    Words name;
    Words fix;
};

std::optional<Oddity> oddity(QChar c)
{
    const Words toBlank {"durch ein normales Leerzeichen ersetzen",
                         "replace it with a plain blank"};
    const Words remove {"löschen", "delete it"};
    switch (c.unicode()) {
    case 0x00A0:
        return Oddity {{"geschütztes Leerzeichen", "no-break space"}, toBlank};
    case 0x202F:
        return Oddity {{"schmales geschütztes Leerzeichen", "narrow no-break space"}, toBlank};
    case 0x3000:
        return Oddity {{"ideografisches Leerzeichen", "ideographic space"}, toBlank};
    case 0x200B:
        return Oddity {{"Leerzeichen ohne Breite", "zero-width space"}, remove};
    case 0x200C:
        return Oddity {{"Bindungsverhinderer", "zero-width non-joiner"}, remove};
    case 0x200D:
        return Oddity {{"Verbinder ohne Breite", "zero-width joiner"}, remove};
    case 0x2060:
        return Oddity {{"Wortverbinder", "word joiner"}, remove};
    case 0xFEFF:
        return Oddity {{"Byte-Order-Mark", "byte order mark"}, remove};
    case 0x00AD:
        return Oddity {{"weiches Trennzeichen", "soft hyphen"}, remove};
    default:
        break;
    }
    if (c != u' ' && c.isSpace())
        return Oddity {{"besonderes Leerzeichen", "special space"}, toBlank};
    if (c.category() == QChar::Other_Control)
        return Oddity {{"Steuerzeichen", "control character"}, remove};
    if (c.category() == QChar::Other_Format)
        return Oddity {{"unsichtbares Formatzeichen", "invisible format character"}, remove};
    return std::nullopt;
}

// Every character of the field that cannot be seen, or that is a special
// form of a plain one (a ligature, a full-width letter), with its place.
void oddCharacters(Language language, const Field &field, QStringList &problems)
{
    const QString &text = field.text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        std::optional<Oddity> odd = oddity(c);
        QString fix;
        if (odd) {
            fix = say(language, odd->fix);
        } else if (!c.isSurrogate()) {
            const QString plain = QString(c).normalized(QString::NormalizationForm_KC);
            if (plain == c)
                continue;
            const bool ligature = c.unicode() >= 0xFB00 && c.unicode() <= 0xFB06;
            odd = Oddity {ligature ? Words {"Ligatur", "ligature"}
                                   : Words {"Sonderform", "special form"},
                          {}};
            fix = say(language, {"durch %1 ersetzen", "replace it with %1"})
                          .arg(quoted(language, plain));
        } else {
            continue;
        }
        const QString name = QStringLiteral("U+%1 ").arg(c.unicode(), 4, 16, QChar(u'0')).toUpper()
                             + say(language, odd->name);
        problems << say(language,
                        {"%1 in %2, Zeichen %3 (%4): %5.", "%1 in %2, character %3 (%4): %5"})
                            .arg(name, quoted(language, text), QString::number(i + 1),
                                 say(language, field.name), fix);
    }
}

// A past form lists alternatives split by "/": none may be empty.
void alternativeProblems(Language language, const Field &field, QStringList &problems)
{
    const QStringList alternatives = field.text.split(u'/');
    if (alternatives.size() > 1 && alternatives.contains(QString()))
        problems << say(language, {"Leere Alternative in %1 (%2): den überzähligen „/“ löschen.",
                                   "empty alternative in %1 (%2): delete the extra \"/\""})
                            .arg(quoted(language, field.text), say(language, field.name));
}

} // namespace

QString skipReason(VerbLineKind kind, QStringView line, Language language)
{
    switch (kind) {
    case VerbLineKind::WrongFieldCount:
        if (verbLineFieldCount(line) == 1)
            return say(language, {"Zeile übersprungen: kein Tabulator. Eine Verb-Zeile hat vier "
                                  "Felder, getrennt durch Tabulatoren.",
                                  "skipped: no tab, a verb line has 4 fields separated by tabs"});
        return say(language, {"Zeile übersprungen: %1 Felder statt 4. Die vier Felder durch je "
                              "einen Tabulator trennen.",
                              "skipped: %1 fields, a verb line has 4 separated by single tabs"})
                .arg(verbLineFieldCount(line));
    case VerbLineKind::TooLong:
        return say(language, {"Zeile übersprungen: länger als %1 Zeichen.",
                              "skipped: longer than %1 characters"})
                .arg(MaxVerbLineLength);
    case VerbLineKind::SemicolonFields:
        return say(language, {"Zeile übersprungen: die Felder sind durch Semikolons getrennt, "
                              "nicht durch Tabulatoren.",
                              "skipped: fields separated by semicolons, not tabs"});
    case VerbLineKind::CommaFields:
        return say(language, {"Zeile übersprungen: die Felder sind durch Kommas getrennt, nicht "
                              "durch Tabulatoren.",
                              "skipped: fields separated by commas, not tabs"});
    case VerbLineKind::Verb:
    case VerbLineKind::Comment:
    case VerbLineKind::Empty:
        break;
    }
    return QString();
}

QStringList entryProblems(const VerbEntry &entry, Language language)
{
    const Field fields[] = {
            {{"englischer Infinitiv", "English infinitive"}, entry.EngInf(), false},
            {{"Vergangenheit", "past tense"}, entry.EngPast(), true},
            {{"Partizip Perfekt", "past participle"}, entry.EngPastParticiple(), true},
            {{"deutscher Infinitiv", "German infinitive"}, entry.GerInf(), false},
    };
    QStringList problems;
    const QString infinitive = Quiz::comparable(entry.EngInf());
    if (!infinitive.isEmpty() && !infinitive.startsWith(u"to "))
        problems << say(language, {"Der englische Infinitiv %1 beginnt nicht mit „to “: „to “ "
                                   "davorschreiben, sonst ist jede Antwort falsch.",
                                   "English infinitive %1 does not begin with \"to \""})
                            .arg(quoted(language, entry.EngInf()));
    for (const Field &field : fields) {
        if (Quiz::comparable(field.text).isEmpty()) {
            problems << say(language, {"Das Feld „%1“ ist leer: bitte ausfüllen.", "empty %1"})
                                .arg(say(language, field.name));
            continue;
        }
        blankProblems(language, field, problems);
        oddCharacters(language, field, problems);
        if (field.isForm)
            alternativeProblems(language, field, problems);
        const QString repaired = utf8ReadAsAnsi(field.text);
        if (!repaired.isEmpty())
            problems << say(language, {"%1 (%2) ist falsch umgewandelt, gemeint ist wohl %3: so "
                                       "korrigieren.",
                                       "%1 (%2) looks like UTF-8 read as Windows-1252 (%3)"})
                                .arg(quoted(language, field.text), say(language, field.name),
                                     quoted(language, repaired));
    }
    const qsizetype promptLength = entry.GerInf().size();
    if (promptLength > PromptCharsShown)
        problems << say(language, {"Der deutsche Infinitiv %1 hat %2 Zeichen, das Feld im "
                                   "Trainer zeigt nur etwa %3 sicher ganz (längere werden sehr "
                                   "klein oder abgeschnitten): kürzen.",
                                   "German infinitive %1 has %2 characters, the prompt box shows "
                                   "about %3 for sure (longer ones get tiny or cut)"})
                            .arg(quoted(language, entry.GerInf()), QString::number(promptLength),
                                 QString::number(PromptCharsShown));
    return problems;
}

FileReport checkFile(FileSystemObject &fso, const QString &path, Language language,
                     qsizetype maxVerbs)
{
    FileReport report;
    qsizetype semicolonLines = 0, commaLines = 0;
    // Lines are told one by one up to a bound, so that a file of millions of
    // bad lines costs no more than the bound; the rest are counted.
    const auto tell = [&report](qsizetype line, const QString &message) {
        if (report.problems++ < MaxLineFindings)
            report.findings.append({line, message});
    };
    report.outcome = forEachVerbFileLine(
            fso, path, [&](qsizetype number, VerbLineKind kind, QStringView line) {
                const QString reason = skipReason(kind, line, language);
                if (!reason.isEmpty())
                    tell(number, reason);
                semicolonLines += kind == VerbLineKind::SemicolonFields;
                commaLines += kind == VerbLineKind::CommaFields;
                if (kind != VerbLineKind::Verb)
                    return;
                if (report.verbs == maxVerbs) {
                    tell(number,
                         say(language, {"Zeile übersprungen: der Trainer lädt nur die ersten %1 "
                                        "Verben, diese und alle folgenden fehlen. Die Liste auf "
                                        "mehrere Dateien aufteilen.",
                                        "skipped: the trainer keeps only the first %1 verbs, "
                                        "this one and all after it are lost"})
                                 .arg(maxVerbs));
                }
                if (report.verbs++ >= maxVerbs)
                    return;
                for (const QString &problem : entryProblems(*parseVerbLine(line), language))
                    tell(number, problem);
            });
    if (report.outcome != VerbFileOutcome::Loaded)
        return FileReport {report.outcome, 0, {}, 0};
    if (report.problems > MaxLineFindings)
        report.findings.append(
                {0, say(language, {"… und %1 weitere Probleme in Zeilen, nicht einzeln genannt.",
                                   "... and %1 more problems on lines, not listed"})
                            .arg(report.problems - MaxLineFindings)});
    const auto tellFile = [&report](const QString &message) {
        ++report.problems;
        report.findings.append({0, message});
    };
    const auto spreadsheet = [&](qsizetype lines, Words separator) {
        if (lines > 0)
            tellFile(say(language, {"%1 mit %2 statt Tabulatoren: in der Tabellenkalkulation "
                                    "„Speichern unter…“ wählen, Dateityp „Text CSV“, und als "
                                    "Feldtrenner „Tabulator“ einstellen.",
                                    "%1 separated by %2 instead of tabs: save from the "
                                    "spreadsheet as CSV with the tab as field separator"})
                             .arg(count(language, lines, {"Zeile", "line"}, {"Zeilen", "lines"}),
                                  say(language, separator)));
    };
    spreadsheet(semicolonLines, {"Semikolons", "semicolons"});
    spreadsheet(commaLines, {"Kommas", "commas"});
    // The trainer turns such a file down as empty.
    if (report.verbs == 0)
        tellFile(say(language, {"Keine einzige Verb-Zeile: der Trainer hat nichts zum Üben.",
                                "no verb line: the trainer has nothing to drill"}));
    report.verbs = qMin(report.verbs, maxVerbs);
    return report;
}

} // namespace VerbCheck
