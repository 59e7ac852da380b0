#include "lumo/readback.h"

#include <algorithm>
#include <exception>
#include <thread>

#include "lumo/http_request.h"
#include "lumo/settings_numbers.h"
#include "qo/sdk/helpers/lib_context.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;

namespace {

/** Enough for the 24 figure slots at once. */
constexpr size_t kReadbackThreads = 24;
/** Each pass that asks again does so on this fraction of the threads of the one before. */
constexpr size_t kRetryThreadDivisor = 6;
/** A request that fails after this long waited on an overloaded camera, not a refusal. */
constexpr std::chrono::milliseconds kSlowFailure{kTotalTimeoutMs / 2};
/** How often a reader waiting for its place looks at the watchdog. */
constexpr std::chrono::milliseconds kPlacePoll{100};
/** Passes over the settings a crowded camera left unanswered, the first one included. */
constexpr size_t kMaxPasses = 6;
/** The pause before settings left unanswered are asked again. */
constexpr std::chrono::milliseconds kRetryPause{200};

/** One request time-out; tests shorten it with the unit-test option "readbackWatchdogMs". */
std::chrono::milliseconds watchdogPeriod() {
    const std::string option = unitTestOption("readbackWatchdogMs");
    if (const auto ms = parseWholeNumber(option); ms && *ms > 0)
        return std::chrono::milliseconds(*ms);
    return std::chrono::milliseconds(kTotalTimeoutMs);
}

/**
 * Calls work(i) for every i below count on at most `threads` threads, the caller's among them;
 * returns when all are done. An item that throws loses its report only. Where no further thread
 * can be started, the threads already running take the work.
 */
void forEachInParallel(size_t count, size_t threads, const std::function<void(size_t)>& work) {
    std::atomic<size_t> next{0};
    const auto drain = [&next, count, &work]() {
        for (size_t i = next++; i < count; i = next++) {
            try {
                work(i);
            } catch (...) {
                // This item goes unreported; the readback goes on.
            }
        }
    };
    std::vector<std::thread> workers;
    const size_t extra = std::min(count, std::max<size_t>(threads, 1)) - (count > 0 ? 1 : 0);
    try {
        workers.reserve(extra);
        for (size_t i = 0; i < extra; ++i)
            workers.emplace_back(drain);
    } catch (const std::exception&) {
        // Fewer helpers; the work still gets done.
    }
    drain();
    for (auto& worker : workers)
        worker.join();
}

}  // namespace

Readback::Readback()
    : response(makePtr<SettingsResponse>()),
      period(watchdogPeriod()),
      lastProgress(Clock::now().time_since_epoch().count()),
      allowed(kReadbackThreads) {}

bool Readback::enter() {
    std::unique_lock<std::mutex> lock(placeMutex);
    while (!silent() && inFlight >= allowed)
        placeFree.wait_for(lock, kPlacePoll);
    if (silent())
        return false;
    ++inFlight;
    return true;
}

void Readback::leave(bool answered, Clock::duration took) {
    {
        std::lock_guard<std::mutex> lock(placeMutex);
        --inFlight;
        if (!answered && took >= kSlowFailure)
            allowed = std::max<size_t>(allowed / 2, 1);
    }
    placeFree.notify_all();
    if (answered) {
        lastProgress = Clock::now().time_since_epoch().count();
    }
}

bool Readback::silent() const {
    return Clock::now().time_since_epoch().count() - lastProgress.load() >= period.count();
}

void Readback::failed(const std::string& name, const char* cause) {
    std::lock_guard<std::mutex> lock(mutex);
    unread[name] = cause;
}

void Readback::run(const std::vector<std::string>& names, const std::function<void(size_t)>& read) {
    std::vector<size_t> items(names.size());
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = i;
    size_t pass = 0;
    for (size_t threads = kReadbackThreads;;
         threads = std::max<size_t>(threads / kRetryThreadDivisor, 1)) {
        forEachInParallel(items.size(), threads, [&](size_t k) { read(items[k]); });
        std::vector<size_t> again;
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (const size_t i : items) {
                const auto it = unread.find(names[i]);
                if (it != unread.end() && it->second == kNoAnswer)
                    again.push_back(i);
            }
            // A pass that leaves as many settings unread as it asked is the last one.
            if (again.empty() || again.size() == items.size() || ++pass == kMaxPasses || silent()) {
                break;
            }
            for (const size_t i : again)
                unread.erase(names[i]);
        }
        items = std::move(again);
        // A crowded camera frees the places of the connections it just closed a moment later.
        std::this_thread::sleep_for(kRetryPause);
    }
}

Ptr<SettingsResponse> Readback::finish() {
    std::lock_guard<std::mutex> lock(mutex);
    const Ptr<IStringMap> values(response->getValues());
    for (const auto& [name, cause] : unread) {
        if (!values || !values->value(name.c_str()))
            response->setError(name, cause);
    }
    return response;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
