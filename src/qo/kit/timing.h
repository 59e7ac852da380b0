// Developer aids for measuring time: a stopwatch with named marks and a frame-rate meter.
//
// Both report through a print function, one call per report, like the rest of the debug output.
// Times come from a monotonic clock, so a change of the wall clock does not distort them.
#pragma once

#include <memory>

#include "qo/kit/debug.h"

namespace qo::kit::debug::detail {

/**
 * Stopwatch: mark() records named moments, finish() prints the time between them.
 * A timer created disabled does nothing at all. Destruction prints nothing.
 *
 * Threading: belongs to the thread that uses it; no locking.
 */
class Timer {
public:
    Timer(bool enabled, PrintFunc print, const char* name);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    /** Records the current time; a name used before is reported and not recorded again. */
    void mark(const char* markName);

    /** Prints the intervals between the marks, or the total time when there are none. */
    void finish();

private:
    struct State;
    std::unique_ptr<State> m_state;  // Null when disabled.
};

/**
 * Frame-rate meter: each mark() after the first prints the rate averaged over the last 30
 * intervals and the last interval.
 *
 * Threading: belongs to the thread that uses it; no locking.
 */
class Fps {
public:
    Fps(PrintFunc print, const char* name);
    ~Fps();
    Fps(const Fps&) = delete;
    Fps& operator=(const Fps&) = delete;

    /** markName, when not null, is appended to the report. */
    void mark(const char* markName = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace qo::kit::debug::detail
