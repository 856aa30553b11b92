#include "trainer/VerbCheck.h"

#include "base/Ansi.h"
#include "platform/FileSystem.h"

#include <QStringDecoder>

#include <algorithm>

namespace VerbCheck {

namespace {

const QString Slash = QStringLiteral("/");
const QString Blank = QStringLiteral(" ");

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ');
}

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

// Blanks inside a field that the answer check ignores or can never match.
void blankProblems(const QString &name, const QString &field, QStringList &problems)
{
    if (field.contains(QStringLiteral("  ")))
        problems << QStringLiteral("doubled blank in the %1 %2").arg(name, quoted(field));
    if (!field.isEmpty() && (isBlank(field.front()) || isBlank(field.back())))
        problems << QStringLiteral("blank at the edge of the %1 %2").arg(name, quoted(field));
    if (field.contains(Blank + Slash) || field.contains(Slash + Blank))
        problems << QStringLiteral("blank around \"/\" in the %1 %2").arg(name, quoted(field));
}

// A past form lists alternatives split by "/"; the answer check accepts only
// the first and the last of them.
void alternativeProblems(const QString &name, const QString &form, QStringList &problems)
{
    const QStringList alternatives = form.split(Slash);
    if (alternatives.size() > 1 && alternatives.contains(QString()))
        problems << QStringLiteral("empty alternative in the %1 %2").arg(name, quoted(form));
    for (qsizetype i = 1; i + 1 < alternatives.size(); ++i)
        problems << QStringLiteral("middle alternative %1 of the %2 is never accepted")
                            .arg(quoted(alternatives.at(i)), name);
}

} // namespace

QString skipReason(VerbLineKind kind, const QString &line)
{
    switch (kind) {
    case VerbLineKind::TrailingTab:
        return QStringLiteral("skipped: a tab after the fourth field");
    case VerbLineKind::WrongFieldCount:
        return QStringLiteral("skipped: %1 field(s), a verb line has 4 separated by single tabs")
                .arg(verbLineFieldCount(line));
    case VerbLineKind::TooLong:
        return QStringLiteral("skipped: longer than %1 characters").arg(MaxVerbLineLength);
    case VerbLineKind::Verb:
    case VerbLineKind::Comment:
    case VerbLineKind::Empty:
        break;
    }
    return QString();
}

QStringList entryProblems(const VerbEntry &entry)
{
    struct Field
    {
        QString name;
        QString text;
        bool isForm; // past tense or participle: alternatives split by "/"
    };
    const Field fields[] = {
            {QStringLiteral("English infinitive"), entry.EngInf(), false},
            {QStringLiteral("past tense"), entry.EngPast(), true},
            {QStringLiteral("past participle"), entry.EngPastParticiple(), true},
            {QStringLiteral("German infinitive"), entry.GerInf(), false},
    };

    QStringList problems;
    if (!entry.EngInf().startsWith(QStringLiteral("to "), Qt::CaseInsensitive))
        problems << QStringLiteral("English infinitive %1 does not begin with \"to \"")
                            .arg(quoted(entry.EngInf()));
    for (const Field &field : fields) {
        if (field.text.trimmed().isEmpty()) {
            problems << QStringLiteral("empty %1").arg(field.name);
            continue;
        }
        blankProblems(field.name, field.text, problems);
        if (field.isForm)
            alternativeProblems(field.name, field.text, problems);
        const QString repaired = utf8ReadAsAnsi(field.text);
        if (!repaired.isEmpty())
            problems << QStringLiteral("the %1 %2 looks like UTF-8 read as Windows-1252 (%3)")
                                .arg(field.name, quoted(field.text), quoted(repaired));
    }
    return problems;
}

FileReport checkFile(FileSystemObject &fso, const QString &path, qsizetype maxVerbs)
{
    FileReport report;
    report.outcome = forEachVerbFileLine(
            fso, path, [&](qsizetype number, VerbLineKind kind, const QString &line) {
                const QString reason = skipReason(kind, line);
                if (!reason.isEmpty())
                    report.findings.append({number, reason});
                if (kind != VerbLineKind::Verb)
                    return;
                if (report.verbs == maxVerbs) {
                    report.findings.append(
                            {number, QStringLiteral("skipped: the trainer keeps only the first "
                                                    "%1 verbs, this one and all after it are lost")
                                             .arg(maxVerbs)});
                }
                if (report.verbs++ >= maxVerbs)
                    return;
                for (const QString &problem : entryProblems(*parseVerbLine(line)))
                    report.findings.append({number, problem});
            });
    if (report.outcome != VerbFileOutcome::Loaded) {
        report.findings.clear();
        report.verbs = 0;
    } else if (report.verbs == 0) {
        // The trainer turns such a file down as empty.
        report.findings.append(
                {0, QStringLiteral("no verb line: the trainer has nothing to drill")});
    }
    report.verbs = qMin(report.verbs, maxVerbs);
    return report;
}

} // namespace VerbCheck
