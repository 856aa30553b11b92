// verbodrom-check [--english] FILE...: tells what the trainer would make of a
// verb list. Every line it skips, with the reason, and every verb that a
// learner can never answer right or that shows untidily, as
// "FILE, Zeile N: message" in German, or "FILE:N: message" with --english.
// Exit status: 0 all files clean, 1 problems found, 2 a file could not be read.

#include "platform/FileSystem.h"
#include "trainer/VerbCheck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

using VerbCheck::Language;

namespace {

enum ExitStatus {
    Clean = 0,
    ProblemsFound = 1,
    CannotRead = 2,
};

const QString EnglishOption = QStringLiteral("--english");

const char UsageGerman[]
        = "Aufruf: verbodrom-check [--english] DATEI...\n"
          "Prüft Verblisten für den Trainer Verbodrom(EN): nennt mit Zeilennummer jede Zeile,\n"
          "die der Trainer überspringt, und jedes Verb, das niemand richtig beantworten kann\n"
          "oder das unordentlich angezeigt wird, und sagt, was zu tun ist.\n"
          "--english: die Meldungen auf Englisch.\n"
          "Ende mit 0: alles in Ordnung, 1: Probleme gefunden, 2: eine Datei war nicht lesbar.\n";
const char UsageEnglish[]
        = "Usage: verbodrom-check [--english] FILE...\n"
          "Checks verb lists for the Verbodrom(EN) trainer: lists, with line numbers,\n"
          "every line the trainer skips and every verb a learner can never answer\n"
          "right or that shows untidily. Messages are German unless --english is given.\n"
          "Exit status: 0 clean, 1 problems found, 2 a file could not be read.\n";

// Why a file that checkFile could not load was not read.
QString unreadable(VerbFileOutcome outcome, const QString &file, Language language)
{
    const bool german = language == Language::German;
    if (outcome == VerbFileOutcome::TooLarge)
        return (german ? QStringLiteral("größer als %1 MiB, der Trainer liest sie nicht")
                       : QStringLiteral("larger than the trainer reads (%1 MiB)"))
                .arg(MaxVerbFileBytes >> 20);
    if (outcome == VerbFileOutcome::Missing) {
        if (QFileInfo::exists(file))
            return german ? QStringLiteral("ist keine Datei") : QStringLiteral("not a file");
        return german ? QStringLiteral("Datei nicht gefunden") : QStringLiteral("no such file");
    }
    return german ? QStringLiteral("kann nicht gelesen werden") : QStringLiteral("cannot be read");
}

QString where(const QString &file, qsizetype line, Language language)
{
    if (line <= 0)
        return file;
    return file + (language == Language::German ? QStringLiteral(", Zeile ") : QStringLiteral(":"))
           + QString::number(line);
}

QString summary(qsizetype verbs, qsizetype problems, Language language)
{
    if (language == Language::English)
        return QStringLiteral("%1 %2, %3 %4")
                .arg(QString::number(verbs), verbs == 1 ? u"verb" : u"verbs",
                     QString::number(problems), problems == 1 ? u"problem" : u"problems");
    return QStringLiteral("%1 %2, %3 %4")
            .arg(QString::number(verbs), verbs == 1 ? u"Verb" : u"Verben",
                 QString::number(problems), problems == 1 ? u"Problem" : u"Probleme");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList files = QCoreApplication::arguments().mid(1);
    const Language language
            = files.removeAll(EnglishOption) > 0 ? Language::English : Language::German;
    QTextStream out(stdout), err(stderr);
    if (files.isEmpty() || files.contains(QStringLiteral("--help"))
        || files.contains(QStringLiteral("-h"))) {
        (files.isEmpty() ? err : out)
                << (language == Language::German ? UsageGerman : UsageEnglish);
        return files.isEmpty() ? CannotRead : Clean;
    }

    FileSystemObject fso;
    int status = Clean;
    for (const QString &file : std::as_const(files)) {
        const VerbCheck::FileReport report = VerbCheck::checkFile(fso, file, language);
        if (report.outcome != VerbFileOutcome::Loaded) {
            err << file << ": " << unreadable(report.outcome, file, language) << '\n';
            status = CannotRead;
            continue;
        }
        for (const VerbCheck::Finding &finding : report.findings)
            out << where(file, finding.line, language) << ": " << finding.message << '\n';
        out << file << ": " << summary(report.verbs, report.problems, language) << '\n';
        if (report.problems > 0 && status == Clean)
            status = ProblemsFound;
    }
    return status;
}
