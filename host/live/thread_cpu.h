// Thread CPU: where a process's CPU time went, for the live benchmark. The plugin's threads carry
// the name of the thread that bound the cameras, which is the process's own name; the host's
// threads and GStreamer's are named otherwise.
//
// Threading: free functions without shared state; they read /proc and the calling thread's clock.
#pragma once

namespace lumo::host::live {

struct ThreadCpu {
    /** Threads named as the process, the main thread left out. */
    double namedAsProcess = 0;
    /** Every thread alive. */
    double alive = 0;
};

/** CPU seconds of the threads alive now. */
ThreadCpu threadCpu();

/** The calling thread's CPU seconds. */
double callingThreadCpuSeconds();

/** The whole process's CPU seconds, ended threads included. */
double processCpuSeconds();

}  // namespace lumo::host::live
