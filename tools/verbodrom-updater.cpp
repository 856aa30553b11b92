// verbodrom-updater: what a maker publishes as Updater.exe. The trainer
// starts it in its program folder, after it has written New.exe there:
//
//   Updater.exe PID FILENAME
//
// PID is the trainer's process id, FILENAME the trainer's file name in this
// folder. The updater asks that process to end (SIGTERM, and only when it
// really runs FILENAME of this folder), waits for it at most 30 s, puts
// New.exe in place of FILENAME with one rename and starts the program again,
// the new one or, when the swap failed, the old one. A program that does not
// end in time is left running and nothing is changed. One line per run goes
// to updater.log in the state folder (see platform/StateFolder.h).
//
// Exit status: 0 the new program was started; 1 the program did not end in
// time; 2 wrong arguments; 3 nothing was replaced, the old program was
// started again; 4 the program could not be started.
//
// VERBODROM_UPDATER_WAIT_MS shortens the wait, for tests only.

#include "base/RuntimeError.h"
#include "platform/FileSystem.h"
#include "platform/ProgramProcess.h"
#include "platform/Shell.h"
#include "platform/StateFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace std::chrono_literals;

enum ExitStatus {
    Updated = 0,
    StillRunning = 1,
    Usage = 2,
    NotReplaced = 3,
    NotStarted = 4,
};

constexpr std::chrono::milliseconds longestWait = 30s;
const QString newProgramFile = QStringLiteral("New.exe");

std::chrono::milliseconds waitBound()
{
    bool ok = false;
    const qint64 ms = qEnvironmentVariableIntValue("VERBODROM_UPDATER_WAIT_MS", &ok);
    return ok && ms >= 0 ? std::min(longestWait, std::chrono::milliseconds(ms)) : longestWait;
}

QString swapText(ProgramSwap swap, int error)
{
    switch (swap) {
    case ProgramSwap::Replaced:
        return QStringLiteral("New.exe put in place");
    case ProgramSwap::Missing:
        return QStringLiteral("no New.exe, nothing replaced");
    case ProgramSwap::NotRegular:
        return QStringLiteral("New.exe is no plain file, nothing replaced");
    case ProgramSwap::Empty:
        return QStringLiteral("New.exe is empty, nothing replaced");
    case ProgramSwap::NotExecutable:
        return QStringLiteral("New.exe is not executable, nothing replaced");
    case ProgramSwap::Failed:
        break;
    }
    return QStringLiteral("New.exe could not be put in place (%1), nothing replaced")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
}

// Appends the run's line to the log; a log that cannot be written never
// stops an update, so the line then goes to stderr.
void log(const QString &outcome)
{
    QString line = QDateTime::currentDateTime().toString(Qt::ISODate)
                   + QStringLiteral(" verbodrom-updater " VERBODROM_VERSION " in ")
                   + QDir::currentPath() + QStringLiteral(": ") + outcome;
    // One line whatever a folder name holds.
    for (QChar &c : line) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    const QString folder = stateFolder();
    QFile file(folder + QStringLiteral("/updater.log"));
    if (makePrivateFolder(folder) && file.open(QIODevice::WriteOnly | QIODevice::Append)
        && file.write(bytes) == bytes.size() && file.flush())
        return;
    std::fputs(bytes.constData(), stderr);
}

int usage(const char *why)
{
    std::fprintf(stderr,
                 "verbodrom-updater: %s (usage: Updater.exe PID FILENAME, in the "
                 "program folder)\n",
                 why);
    return Usage;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return usage("two arguments expected");
    bool ok = false;
    const qint64 pid = QByteArray(argv[1]).toLongLong(&ok);
    const QString fileName = QFile::decodeName(argv[2]);
    if (!ok || pid <= 0)
        return usage("PID is no process id");
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName.contains(QStringLiteral("..")))
        return usage("FILENAME must be a plain file name of the program folder");

    const QString folder = QDir::currentPath();
    const QString program = folder + u'/' + fileName;
    QString ended = QStringLiteral("process %1 is not %2 of this folder, taken as ended")
                            .arg(pid)
                            .arg(fileName);
    if (const std::unique_ptr<ProgramProcess> running = ProgramProcess::find(pid, program)) {
        const std::chrono::milliseconds bound = waitBound();
        if (!running->terminate() || !running->waitForEnd(bound)) {
            log(QStringLiteral("%1 (process %2) did not end within %3 ms; nothing changed, "
                               "nothing started")
                        .arg(fileName)
                        .arg(pid)
                        .arg(bound.count()));
            return StillRunning;
        }
        ended = QStringLiteral("%1 (process %2) ended on request").arg(fileName).arg(pid);
    }

    // From here on the program has ended: it runs again in every case.
    const ProgramSwap swap = replaceProgramFile(folder + u'/' + newProgramFile, program);
    const QString swapped = swapText(swap, errno);
    try {
        const qint64 started = Shell(program, {}, vbNormalFocus, folder);
        log(QStringLiteral("%1; %2; %3 started (process %4)")
                    .arg(ended, swapped, fileName)
                    .arg(started));
    } catch (const RuntimeError &) {
        log(QStringLiteral("%1; %2; %3 could not be started").arg(ended, swapped, fileName));
        return NotStarted;
    }
    return swap == ProgramSwap::Replaced ? Updated : NotReplaced;
}
