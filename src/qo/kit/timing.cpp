#include "qo/kit/timing.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <deque>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "qo/kit/utils.h"

namespace qo::kit::debug::detail {

namespace {

constexpr size_t kMaxFpsIntervals = 30;

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/** Rounded to the nearest millisecond. */
long long roundedMs(int64_t us) {
    return static_cast<long long>((us + 500) / 1000);
}

std::string nameOrEmpty(const char* s) {
    return s ? s : "";
}

}  // namespace

// ---- Timer

struct Timer::State {
    std::string name;
    PrintFunc print;
    int64_t startUs = 0;
    std::vector<int64_t> markTimesUs;
    std::vector<std::string> markNames;
};

Timer::Timer(bool enabled, PrintFunc print, const char* name) {
    if (!enabled)
        return;
    m_state = std::make_unique<State>();
    m_state->name = nameOrEmpty(name);
    m_state->print = std::move(print);
    m_state->startUs = nowUs();
}

Timer::~Timer() = default;

void Timer::mark(const char* markName) {
    if (!m_state)
        return;
    const int64_t timeUs = nowUs();
    const std::string name = nameOrEmpty(markName);
    for (const std::string& existing : m_state->markNames) {
        if (existing == name) {
            const std::string report = "####### QO_TIME(" + m_state->name +
                                       ") INTERNAL ERROR: Timer mark \"" + name +
                                       "\" already defined.";
            if (m_state->print)
                m_state->print(report.c_str());
            return;
        }
    }
    m_state->markTimesUs.push_back(timeUs);
    m_state->markNames.push_back(name);
}

void Timer::finish() {
    if (!m_state)
        return;
    const int64_t timeUs = nowUs();
    std::string report = "####### QO_TIME(" + m_state->name + "): ";
    if (m_state->markTimesUs.empty()) {
        report += utils::format("%lld us", static_cast<long long>(timeUs - m_state->startUs));
    } else {
        int64_t previousUs = m_state->startUs;
        for (size_t i = 0; i < m_state->markTimesUs.size(); ++i) {
            report += utils::format("%s: %3lld ms, ", m_state->markNames[i].c_str(),
                                    roundedMs(m_state->markTimesUs[i] - previousUs));
            previousUs = m_state->markTimesUs[i];
        }
        report += utils::format("last: %3lld ms", roundedMs(timeUs - previousUs));
    }
    if (m_state->print)
        m_state->print(report.c_str());
}

// ---- Fps

struct Fps::State {
    std::string name;
    PrintFunc print;
    bool marked = false;
    int64_t previousMarkUs = 0;
    std::deque<int64_t> intervalsUs;
};

Fps::Fps(PrintFunc print, const char* name) : m_state(std::make_unique<State>()) {
    m_state->name = nameOrEmpty(name);
    m_state->print = std::move(print);
}

Fps::~Fps() = default;

void Fps::mark(const char* markName) {
    const int64_t timeUs = nowUs();
    if (!m_state->marked) {
        m_state->marked = true;
        m_state->previousMarkUs = timeUs;
        return;
    }
    const int64_t intervalUs = timeUs - m_state->previousMarkUs;
    m_state->previousMarkUs = timeUs;
    m_state->intervalsUs.push_back(intervalUs);
    if (m_state->intervalsUs.size() > kMaxFpsIntervals)
        m_state->intervalsUs.pop_front();

    const double averageUs =
        static_cast<double>(
            std::accumulate(m_state->intervalsUs.begin(), m_state->intervalsUs.end(), int64_t{0})) /
        static_cast<double>(m_state->intervalsUs.size());
    // Marks within one microsecond of each other have no finite rate; it prints as "inf".
    const double fps = averageUs > 0 ? 1000000.0 / averageUs : HUGE_VAL;
    const std::string suffix = markName ? std::string("; ") + markName : std::string();
    const std::string report =
        utils::format("####### QO_FPS(%s): avg %4.1f, dt %3lld ms, avg dt %3lld ms%s",
                      m_state->name.c_str(), fps, roundedMs(intervalUs),
                      static_cast<long long>((averageUs + 500.0) / 1000.0), suffix.c_str());
    if (m_state->print)
        m_state->print(report.c_str());
}

}  // namespace qo::kit::debug::detail
