#pragma once

// Processor time the calling thread has used, in nanoseconds: what a step
// costs the main thread, however busy the machine is otherwise.

#include <QtGlobal>

#include <ctime>

inline qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}
