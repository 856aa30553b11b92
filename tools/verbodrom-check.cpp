// verbodrom-check FILE...: lists what the trainer would make of a verb list.
// Every line it skips, with the reason, and every verb that a learner can
// never answer right or that shows untidily, as "FILE:LINE: message".
// Exit status: 0 all files clean, 1 problems found, 2 a file could not be read.

#include "platform/FileSystem.h"
#include "trainer/VerbCheck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

namespace {

enum ExitStatus {
    Clean = 0,
    ProblemsFound = 1,
    CannotRead = 2,
};

const char Usage[] = "Usage: verbodrom-check FILE...\n"
                     "Checks verb lists for the Verbodrom(EN) trainer: lists, with line numbers,\n"
                     "every line the trainer skips and every verb a learner can never answer\n"
                     "right or that shows untidily. Exit status: 0 clean, 1 problems found,\n"
                     "2 a file could not be read.\n";

// Why a file that checkFile could not load was not read.
QString unreadable(VerbFileOutcome outcome, const QString &file)
{
    if (outcome == VerbFileOutcome::TooLarge)
        return QStringLiteral("larger than the trainer reads (%1 MiB)").arg(MaxVerbFileBytes >> 20);
    if (outcome == VerbFileOutcome::Missing)
        return QFileInfo::exists(file) ? QStringLiteral("not a file")
                                       : QStringLiteral("no such file");
    return QStringLiteral("cannot be read");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList files = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout), err(stderr);
    if (files.isEmpty() || files.contains(QStringLiteral("--help"))
        || files.contains(QStringLiteral("-h"))) {
        (files.isEmpty() ? err : out) << Usage;
        return files.isEmpty() ? CannotRead : Clean;
    }

    FileSystemObject fso;
    int status = Clean;
    for (const QString &file : files) {
        const VerbCheck::FileReport report = VerbCheck::checkFile(fso, file);
        if (report.outcome != VerbFileOutcome::Loaded) {
            err << file << ": " << unreadable(report.outcome, file) << '\n';
            status = CannotRead;
            continue;
        }
        for (const VerbCheck::Finding &finding : report.findings) {
            out << file;
            if (finding.line > 0)
                out << ':' << finding.line;
            out << ": " << finding.message << '\n';
        }
        const auto problems = report.findings.size();
        out << file << ": " << report.verbs << (report.verbs == 1 ? " verb, " : " verbs, ")
            << problems << (problems == 1 ? " problem\n" : " problems\n");
        if (!report.findings.isEmpty() && status == Clean)
            status = ProblemsFound;
    }
    return status;
}
