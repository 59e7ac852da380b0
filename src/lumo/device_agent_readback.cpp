// Settings readback: the camera's current parameters, figures included, turned back into the
// dialog's forms. The full readback reads every current setting, the figure readback the 24
// region, exclude-region and line slots, both on a bounded set of threads. Every value reported
// is also recorded in knownSettings. A setting the camera did not answer, or answered with a
// value that does not convert, is left out of the values and named in the response's errors:
// the dialog then keeps the server's value and says why, instead of showing a value the camera
// never gave. The worker ends quietly and the others go on.
//
// Bounds: a thread per setting would start hundreds of requests at once, more than a camera (or a
// loaded server) answers within the request time-out. A camera that hangs must not hold the
// server's thread for every setting in turn, yet a slow one must still be read to the end: see
// the progress watchdog of Readback.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include "lumo/constants.h"
#include "lumo/device_agent.h"
#include "lumo/geometry.h"
#include "lumo/http_request.h"
#include "lumo/settings_numbers.h"
#include "lumo/utils.h"
#include "qo/sdk/helpers/error.h"
#include "qo/sdk/helpers/lib_context.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;
using namespace qo::sdk::analytics;
using Json = nlohmann::json;

namespace {

constexpr char kEmptyFigureFull[] = "{\"figure\":null,\"label\":\"\",\"showOnCamera\":false}";
constexpr char kEmptyFigure[] = "{\"figure\":null}";
constexpr int kSlotCount = 8;
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

constexpr char kNoAnswer[] = "camera did not answer";
constexpr char kNotAsked[] = "not read: the camera stopped answering";
constexpr char kNotUnderstood[] = "camera value not understood";

/** One request time-out; tests shorten it with the unit-test option "readbackWatchdogMs". */
std::chrono::milliseconds watchdogPeriod() {
    const std::string option = unitTestOption("readbackWatchdogMs");
    if (const auto ms = parseWholeNumber(option); ms && *ms > 0)
        return std::chrono::milliseconds(*ms);
    return std::chrono::milliseconds(kTotalTimeoutMs);
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

/** std::stoi's reading: throws on a value that is no 32-bit whole number. */
int toInt(const std::string& text) {
    return std::stoi(text);
}

/** Compact JSON; texts with invalid UTF-8 are mended rather than thrown at. */
std::string compact(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

struct FigureKeys {
    const char* enable;
    const char* display;
};

FigureKeys figureKeys(const std::string& name) {
    if (contains(name, "EXCLUDE"))
        return {"AIX_EXCLUDE_REGION_ENABLE", "AIX_EXCLUDE_REGION_DISPLAY_ENABLE"};
    if (contains(name, "LINE"))
        return {"AIX_LINE_ENABLE", "AIX_LINE_DISPLAY_ENABLE"};
    return {"AIX_REGION_ENABLE", "AIX_REGION_DISPLAY_ENABLE"};
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

/**
 * One readback's response, the mutex its workers share and its progress watchdog.
 *
 * Slow or hung: a request is started only while less than one watchdog period (one request
 * time-out) has passed since the readback began or since one of its requests last succeeded. A
 * camera that keeps answering, however slowly, is asked for every setting; one that stops is
 * asked nothing new one period after its last answer, and the requests then in flight end by
 * their own time-out. The server's thread is so back within two request time-outs of the
 * camera's last answer (of the start, for a camera that never answers), whatever the model size.
 *
 * Pace: a camera serving one exchange at a time makes a crowd of readers wait in turn; past some
 * crowd size every request outlasts its time-out and the camera spends itself on requests
 * already given up. So each request that fails slowly halves the requests allowed in flight for
 * the rest of the readback.
 *
 * Threading: made and finished on the thread that starts the readback, used by its workers in
 * between; the watchdog's figures are atomics, the rest is guarded as marked.
 */
struct DeviceAgent::Readback {
    Ptr<SettingsResponse> response = makePtr<SettingsResponse>();
    std::mutex mutex;                           // Guards response and unread.
    std::map<std::string, const char*> unread;  // Setting name to cause.
    const Clock::duration period = watchdogPeriod();
    std::atomic<Clock::rep> lastProgress{Clock::now().time_since_epoch().count()};
    std::mutex placeMutex;  // Guards inFlight and allowed.
    std::condition_variable placeFree;
    size_t inFlight = 0;
    size_t allowed = kReadbackThreads;

    /** Waits for a place for one request; false once the watchdog has given the camera up. */
    bool enter() {
        std::unique_lock<std::mutex> lock(placeMutex);
        while (!silent() && inFlight >= allowed)
            placeFree.wait_for(lock, kPlacePoll);
        if (silent())
            return false;
        ++inFlight;
        return true;
    }

    void leave(bool answered, Clock::duration took) {
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

    /** True once the camera has gone a whole period without answering. */
    bool silent() const {
        return Clock::now().time_since_epoch().count() - lastProgress.load() >= period.count();
    }

    /** Records a setting that goes unreported. */
    void failed(const std::string& name, const char* cause) {
        std::lock_guard<std::mutex> lock(mutex);
        unread[name] = cause;
    }

    /** failed() for a setting whose first request did not succeed; nothing of it is reported. */
    void unanswered(const std::string& name) { failed(name, silent() ? kNotAsked : kNoAnswer); }

    /**
     * Calls read(i) for each name. A camera serving one exchange at a time keeps a crowd of
     * readers waiting beyond the request time-out while it answers others; the settings it so
     * left unanswered are asked again on fewer threads, as long as the pass before read some.
     */
    void run(const std::vector<std::string>& names, const std::function<void(size_t)>& read) {
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
                if (again.empty() || again.size() == items.size() || ++pass == kMaxPasses ||
                    silent()) {
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

    /** The response, naming the unread settings that no other worker did report. */
    Ptr<SettingsResponse> finish() {
        std::lock_guard<std::mutex> lock(mutex);
        const Ptr<IStringMap> values(response->getValues());
        for (const auto& [name, cause] : unread) {
            if (!values || !values->value(name.c_str()))
                response->setError(name, cause);
        }
        return response;
    }
};

bool DeviceAgent::readbackRequest(Readback& readback, const std::string& query,
                                  std::string& reply) const {
    if (!readback.enter())
        return false;
    const auto began = Clock::now();
    bool answered = false;
    try {
        answered = cameraRequest(query, reply);
    } catch (...) {
        readback.leave(false, {});
        throw;
    }
    readback.leave(answered, Clock::now() - began);
    return answered;
}

std::map<std::string, std::string> toStdMap(const Ptr<const IStringMap>& map) {
    std::map<std::string, std::string> result;
    if (!map)
        return result;
    for (int32_t i = 0; i < map->count(); ++i) {
        const char* key = map->key(i);
        const char* value = map->value(i);
        if (key)
            result[key] = value ? value : "";
    }
    return result;
}

void DeviceAgent::getPluginSideSettings(SettingsResult* outResult) const {
    if (!outResult)
        return;
    // Called by the server directly: nothing may escape, not even a failed allocation.
    try {
        if (settingsInitialized.load() && settingsRefreshNeeded.load())
            receiveSettings(outResult);
        else
            getCurrentRoI(outResult);
    } catch (const std::exception& e) {
        *outResult = error(ErrorCode::otherError,
                           std::string("Unable to read the camera's settings: ") + e.what());
    }
}

void DeviceAgent::doGetSettingsOnActiveSettingChange(
    Result<const IActiveSettingChangedResponse*>* /*outResult*/,
    const IActiveSettingChangedAction* action) {
    if (!action || !action->activeSettingName())
        return;
    if (std::string(action->activeSettingName()) != "TS_CALIBRATION")
        return;
    // Called by the server directly: nothing may escape.
    try {
        const auto values = toStdMap(Ptr<const IStringMap>(action->settingsValues()));
        const auto it = values.find("TS_CALIBRATION");
        if (it == values.end())
            return;
        if (const auto offset = calibrationOffsetUs(it->second))
            timestampOffsetUs = *offset;
    } catch (const std::exception&) {
        // The offset keeps its previous value.
    }
}

void DeviceAgent::receiveSettings(SettingsResult* outResult) const {
    settingsRefreshNeeded = false;
    // The camera is still applying the plugin's own writes: its values would be stale.
    if (settingsWriteHold.load())
        return;

    Readback readback;
    const SettingsMap current = currentSettings();
    std::vector<std::string> names;
    std::vector<std::string> values;
    for (const auto& [name, value] : current) {
        names.push_back(name);
        values.push_back(value);
    }
    readback.run(names, [this, &names, &values, &readback](size_t i) {
        readbackSetting(names[i], values[i], readback);
    });
    *outResult = SettingsResult(readback.finish().releasePtr());
}

void DeviceAgent::readbackSetting(const std::string& name, const std::string& value,
                                  Readback& readback) const {
    const auto report = [this, &name, &readback](const std::string& reported) {
        std::lock_guard<std::mutex> lock(readback.mutex);
        readback.response->setValue(name, reported);
        std::lock_guard<std::mutex> knownLock(knownSettingsMutex);
        knownSettings[name] = reported;
    };
    const auto remember = [this, &name, &value]() {
        std::lock_guard<std::mutex> knownLock(knownSettingsMutex);
        knownSettings[name] = value;
    };

    if (name == "TS_CALIBRATION") {
        if (const auto offset = calibrationOffsetUs(value))
            timestampOffsetUs = *offset;
        remember();
        return;
    }
    if (name == "HL_DURATION") {
        if (const auto seconds = parseWholeNumber(value))
            highlightDurationS = *seconds;
        remember();
        return;
    }
    if (!startsWith(name, "AIX"))
        return;
    if (startsWith(name, "AIX_LINE_COUNT_RESET")) {
        report("false");
        return;
    }

    std::string parameter = decrementLastDigit(name);
    const bool isPosition = contains(name, "POSITION");
    if (isPosition && (contains(name, "REGION") || contains(name, "LINE")))
        parameter = addCurrentStr(parameter);
    std::string reply;
    if (!readbackRequest(readback, readQuery(parameter), reply)) {
        readback.unanswered(name);
        return;
    }

    try {
        if (name == "AIX_OBJECT_DETECTION_SIZE")
            readbackObjectSize(name, getValueAfterEqualSign(reply), readback);
        else if (!isPosition)
            readbackValue(name, getValueAfterEqualSign(reply), readback);
        else
            readbackFigure(name, reply, readback);
    } catch (const std::exception&) {
        readback.failed(name, kNotUnderstood);
    }
}

void DeviceAgent::readbackValue(const std::string& name, const std::string& value,
                                Readback& readback) const {
    const auto report = [this, &name, &readback](const std::string& reported) {
        readback.response->setValue(name, reported);
        std::lock_guard<std::mutex> knownLock(knownSettingsMutex);
        knownSettings[name] = reported;
    };

    static const char* const kVerbatim[] = {"DURATION",      "SENSITIVITY",
                                            "HOUR",          "MIN",
                                            "OSD_X",         "OSD_Y",
                                            "OSD_STRING",    "OSD_FONTSIZE",
                                            "OSD_COLOR",     "OSD_DISPLAY_TIME",
                                            "OSD_IMAGETYPE", "OSD_DISPLAYNUM",
                                            "OSD_FONTCOLOR", "OSD_DISPLAY_STREAM",
                                            "REGION_HEIGHT", "REGION_WIDTH"};
    for (const char* part : kVerbatim) {
        if (contains(name, part)) {
            std::lock_guard<std::mutex> lock(readback.mutex);
            report(value);
            return;
        }
    }

    if (contains(name, "REGION_TYPE")) {
        std::lock_guard<std::mutex> lock(readback.mutex);
        if (value == "0")
            report("Region");
        else if (value == "1")
            report("Spot");
        return;
    }

    if (!contains(name, "DISPLAY_TYPE")) {
        const bool on = toInt(value) != 0;
        std::lock_guard<std::mutex> lock(readback.mutex);
        report(on ? "true" : "false");
        return;
    }

    std::lock_guard<std::mutex> lock(readback.mutex);
    std::atomic<int32_t>* flag = nullptr;
    if (contains(name, "PERSON"))
        flag = &showPerson;
    else if (contains(name, "BICYCLE"))
        flag = &showBicycle;
    else if (contains(name, "CAR"))
        flag = &showCar;
    if (!flag)
        return;
    if (value == "0") {
        *flag = 0;
        report("0");
    } else if (flag->load() == 0) {
        *flag = 1;
        report("1");
    }
}

void DeviceAgent::readbackObjectSize(const std::string& name, const std::string& value,
                                     Readback& readback) const {
    std::vector<float> numbers;
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        numbers.push_back(std::stof(value.substr(start, comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const float width = static_cast<float>(frameWidth.load());
    const float height = static_cast<float>(frameHeight.load());
    if (numbers.size() != 8 || width <= 0.0F || height <= 0.0F)
        return;
    const auto pair = [](float a, float b) {
        return Json::array({static_cast<double>(a), static_cast<double>(b)});
    };
    Json size = Json::object();
    size["positions"] = Json::array({pair(numbers[0] / width, numbers[1] / height),
                                     pair(numbers[4] / width, numbers[5] / height)});
    size["minimum"] = pair(numbers[2] / width, numbers[3] / height);
    size["maximum"] = pair(numbers[6] / width, numbers[7] / height);
    const std::string text = compact(size);

    std::lock_guard<std::mutex> lock(readback.mutex);
    readback.response->setValue(name, text);
    std::lock_guard<std::mutex> knownLock(knownSettingsMutex);
    knownSettings[name] = text;
}

void DeviceAgent::readbackFigure(const std::string& name, std::string reply,
                                 Readback& readback) const {
    const auto report = [this, &readback](const std::string& setting, const std::string& value) {
        std::lock_guard<std::mutex> lock(readback.mutex);
        readback.response->setValue(setting, value);
        std::lock_guard<std::mutex> knownLock(knownSettingsMutex);
        knownSettings[setting] = value;
    };

    const std::string slot = extractLastDigit(decrementLastDigit(name));
    const std::string dialogSlot = extractLastDigit(name);
    const FigureKeys keys = figureKeys(name);
    const bool isRegion = contains(name, "REGION");

    std::string value = getValueAfterEqualSign(reply);
    // Older firmware answers "Ok" for current positions; the stored position is the fallback.
    if (reply.find("Ok") != std::string::npos) {
        // Unanswered, the "Ok" alone would read as an empty slot.
        if (!readbackRequest(readback, readQuery(decrementLastDigit(name)), reply)) {
            readback.unanswered(name);
            return;
        }
        value = getValueAfterEqualSign(reply);
    } else if (value != "0") {
        value = isRegion ? getCurrentRegion(value) : getCurrentLine(value);
    }

    if (value == "0") {
        report(name, kEmptyFigureFull);
        return;
    }

    Json figure = Json::object();
    figure["points"] = cameraTextToFigurePoints(value);
    if (!isRegion) {
        std::string direction;
        if (readbackRequest(readback, readQuery("AIX_LINE_DIRECTION" + slot), direction))
            figure["direction"] = toInt(getValueAfterEqualSign(direction)) != 0 ? "left" : "right";
    }
    Json figureValue = Json::object();
    figureValue["figure"] = figure;

    std::string enable;
    if (readbackRequest(readback, readQuery(keys.enable + slot), enable)) {
        if (getValueAfterEqualSign(enable) == "0") {
            report(keys.enable + dialogSlot, "false");
            figureValue["showOnCamera"] = false;
            // A disabled figure is not drawn on the camera's picture either.
            std::string ignored;
            readbackRequest(readback, writeQuery(keys.display + slot, "0"), ignored);
        } else {
            report(keys.enable + dialogSlot, "true");
        }
    }

    std::string display;
    if (readbackRequest(readback, readQuery(keys.display + slot), display) &&
        !figureValue.contains("showOnCamera")) {
        figureValue["showOnCamera"] = toInt(getValueAfterEqualSign(display)) != 0;
    }

    report(name, compact(figureValue));
}

void DeviceAgent::getCurrentRoI(SettingsResult* outResult) const {
    static const char* const kFigures[] = {"AIX_REGION_POSITION", "AIX_EXCLUDE_REGION_POSITION",
                                           "AIX_LINE_POSITION"};
    Readback readback;
    std::vector<std::string> names;
    for (const char* figure : kFigures) {
        for (int slot = 0; slot < kSlotCount; ++slot)
            names.push_back(figure + std::to_string(slot + 1));
    }
    readback.run(names, [this, &names, &readback](size_t i) {
        const int slot = static_cast<int>(i % kSlotCount);
        try {
            readbackFigureSlot(kFigures[i / kSlotCount], slot, readback);
        } catch (const std::exception&) {
            readback.failed(names[i], kNotUnderstood);
        }
    });
    *outResult = SettingsResult(readback.finish().releasePtr());
}

void DeviceAgent::readbackFigureSlot(const std::string& parameter, int slot,
                                     Readback& readback) const {
    const std::string cameraSlot = std::to_string(slot);
    const std::string setting = parameter + std::to_string(slot + 1);
    const auto report = [this, &readback](const std::string& name, const std::string& value) {
        std::lock_guard<std::mutex> lock(readback.mutex);
        readback.response->setValue(name, value);
        std::lock_guard<std::mutex> knownLock(knownSettingsMutex);
        knownSettings[name] = value;
    };

    std::string reply;
    if (!readbackRequest(readback, readQuery(addCurrentStr(parameter) + cameraSlot), reply)) {
        readback.unanswered(setting);
        return;
    }
    if (reply.find("Ok") != std::string::npos)
        return;
    std::string value = getValueAfterEqualSign(reply);
    if (value == "0") {
        report(setting, kEmptyFigure);
        return;
    }
    const bool isRegion = contains(parameter, "REGION");
    value = isRegion ? getCurrentRegion(value) : getCurrentLine(value);
    const FigureKeys keys = figureKeys(parameter);

    Json figureValue = Json::object();
    std::string enable;
    if (readbackRequest(readback, readQuery(keys.enable + cameraSlot), enable)) {
        const bool enabled = getValueAfterEqualSign(enable) != "0";
        report(keys.enable + std::to_string(slot + 1), enabled ? "true" : "false");
        figureValue["showOnCamera"] = enabled;
    }
    std::string display;
    if (readbackRequest(readback, readQuery(keys.display + cameraSlot), display) &&
        !figureValue.contains("showOnCamera")) {
        figureValue["showOnCamera"] = toInt(getValueAfterEqualSign(display)) != 0;
    }

    Json figure = Json::object();
    figure["points"] = cameraTextToFigurePoints(value);
    figureValue["figure"] = figure;
    report(setting, compact(figureValue));
}

}  // namespace qo::vms_server_plugins::analytics::lumo
