// StatusSampler: the thread count and resident memory sampled from construction until stop(),
// catching the short-lived threads of the cameras' start-up as well. The kernel updates VmHWM
// lazily, so a sampled VmRSS can exceed it.
//
// Threading: stop() and the accessors from the owning thread; peak() after stop(). The sampling
// thread's state is guarded by m_mutex.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "report/process_status.h"

namespace lumo::host {

class StatusSampler {
public:
    explicit StatusSampler(std::chrono::milliseconds every = std::chrono::milliseconds(50));
    ~StatusSampler();
    StatusSampler(const StatusSampler&) = delete;
    StatusSampler& operator=(const StatusSampler&) = delete;

    void stop();
    /** The highest thread count and VmRSS sampled, and the highest VmHWM read. */
    const ProcessStatus& peak() const { return m_peak; }
    /** The sampler's own CPU, which is not the plugin's. */
    double cpuSeconds();

private:
    void run();

    const std::chrono::milliseconds m_every;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;  // Guarded by m_mutex.
    ProcessStatus m_peak;     // Guarded by m_mutex.
    std::thread m_thread;     // Last: starts once the rest is ready.
};

}  // namespace lumo::host
