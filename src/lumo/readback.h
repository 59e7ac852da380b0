// One settings readback in progress: the response its workers fill, the settings left unread and
// why, and the pace at which the camera is asked.
//
// Bounds: a thread per setting would start hundreds of requests at once, more than a camera (or a
// loaded server) answers within the request time-out. A camera that hangs must not hold the
// server's thread for every setting in turn, yet a slow one must still be read to the end.
//
// Slow or hung: a request is started only while less than one watchdog period (one request
// time-out) has passed since the readback began or since one of its requests last succeeded. A
// camera that keeps answering, however slowly, is asked for every setting; one that stops is
// asked nothing new one period after its last answer, and the requests then in flight end by
// their own time-out. The server's thread is so back within two request time-outs of the
// camera's last answer (of the start, for a camera that never answers), whatever the model size.
//
// Pace: a camera serving one exchange at a time makes a crowd of readers wait in turn; past some
// crowd size every request outlasts its time-out and the camera spends itself on requests
// already given up. So each request that fails slowly halves the requests allowed in flight for
// the rest of the readback.
//
// Threading: made and finished on the thread that starts the readback, used by its workers in
// between; the watchdog's figures are atomics, the rest is guarded as marked.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "qo/sdk/helpers/settings_response.h"

namespace qo::vms_server_plugins::analytics::lumo {

class Readback {
public:
    using Clock = std::chrono::steady_clock;

    /** Why a setting went unreported. */
    static constexpr char kNoAnswer[] = "camera did not answer";
    static constexpr char kNotAsked[] = "not read: the camera stopped answering";
    static constexpr char kNotUnderstood[] = "camera value not understood";

    Readback();

    /** Waits for a place for one request; false once the watchdog has given the camera up. */
    bool enter();
    /** Gives the place back; `took` is how long the request lasted. */
    void leave(bool answered, Clock::duration took);
    /** True once the camera has gone a whole period without answering. */
    bool silent() const;
    /** Records a setting that goes unreported. */
    void failed(const std::string& name, const char* cause);
    /** failed() for a setting whose first request did not succeed; nothing of it is reported. */
    void unanswered(const std::string& name) { failed(name, silent() ? kNotAsked : kNoAnswer); }
    /**
     * Calls read(i) for each name. A camera serving one exchange at a time keeps a crowd of
     * readers waiting beyond the request time-out while it answers others; the settings it so
     * left unanswered are asked again on fewer threads, as long as the pass before read some.
     */
    void run(const std::vector<std::string>& names, const std::function<void(size_t)>& read);
    /** The response, naming the unread settings that no other worker did report. */
    qo::sdk::Ptr<qo::sdk::SettingsResponse> finish();

    // Taken before the agent's own mutex wherever both are held.
    std::mutex mutex;  // Guards response and unread.
    qo::sdk::Ptr<qo::sdk::SettingsResponse> response;

private:
    std::map<std::string, const char*> unread;  // Setting name to cause.
    const Clock::duration period;
    std::atomic<Clock::rep> lastProgress;
    std::mutex placeMutex;  // Guards inFlight and allowed.
    std::condition_variable placeFree;
    size_t inFlight = 0;
    size_t allowed;
};

}  // namespace qo::vms_server_plugins::analytics::lumo
