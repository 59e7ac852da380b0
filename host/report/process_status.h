// What the process holds right now, read from /proc/self: threads, resident memory and open
// files. The bench and the churn test compare these before and after cameras come and go.
//
// Threading: any thread; each call reads the kernel's figures afresh.
#pragma once

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

}  // namespace lumo::host
