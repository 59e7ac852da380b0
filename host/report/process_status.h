// What the process holds right now, read from /proc/self: threads, resident memory and open
// files; and the CPU time it and its threads used. The bench and the churn test compare these
// before and after cameras come and go.
//
// Threading: any thread; each call reads the kernel's figures afresh.
#pragma once

#include <ctime>

namespace lumo::host {

struct ProcessStatus {
    int threads = 0;
    double residentMb = 0;      // VmRSS
    double peakResidentMb = 0;  // VmHWM
    int openFiles = 0;          // Entries of /proc/self/fd; only where asked for.
};

/** Open file descriptors, less the one this count opens itself; -1 where /proc is missing. */
int countOpenFiles();

ProcessStatus readStatus(bool withOpenFiles = false);

/** CPU time of `clock` (a process or thread CPU clock), in seconds. */
double cpuSeconds(clockid_t clock);
/** The calling thread's CPU time. */
double threadCpuSeconds();
/** The whole process's CPU time, user and system (getrusage). */
double processCpuSeconds();

}  // namespace lumo::host
