#include "report/status_sampler.h"

#include <pthread.h>

#include <algorithm>

namespace lumo::host {

StatusSampler::StatusSampler(std::chrono::milliseconds every)
    : m_every(every), m_thread([this] { run(); }) {}

StatusSampler::~StatusSampler() {
    stop();
}

void StatusSampler::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

double StatusSampler::cpuSeconds() {
    clockid_t clock{};
    return pthread_getcpuclockid(m_thread.native_handle(), &clock) == 0
               ? lumo::host::cpuSeconds(clock)
               : 0;
}

void StatusSampler::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        const ProcessStatus now = readStatus();
        m_peak.threads = std::max(m_peak.threads, now.threads);
        m_peak.residentMb = std::max(m_peak.residentMb, now.residentMb);
        m_peak.peakResidentMb = std::max(m_peak.peakResidentMb, now.peakResidentMb);
        m_wake.wait_for(lock, m_every);
    }
}

}  // namespace lumo::host
