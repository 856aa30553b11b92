#pragma once

#include <QString>

#include <chrono>
#include <memory>

// A running program as another process sees it: found by its process id,
// then held by a descriptor of that very process where the system offers
// one (a pidfd), so that a later process with the same id is never signalled
// or waited for through it.
class ProgramProcess
{
public:
    // The process `pid` when it runs the program file `program`: /proc/PID/exe
    // and `program` lead to the same file (device and inode). Null when no
    // such process runs: it has ended, never ran, belongs to someone else or
    // runs another program.
    static std::unique_ptr<ProgramProcess> find(qint64 pid, const QString &program);
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess &) = delete;
    ProgramProcess &operator=(const ProgramProcess &) = delete;

    // Asks it to end with SIGTERM. False when the signal could not be sent.
    bool terminate();
    // Waits until it has ended, at most `bound`, asleep meanwhile. True when
    // it has ended.
    bool waitForEnd(std::chrono::milliseconds bound);

private:
    ProgramProcess(qint64 pid, QString program, int pidfd);
    bool stillRuns() const;

    qint64 mPid;
    QString mProgram;
    int mPidfd; // -1 where the system has no pidfd: then the id and /proc
};
