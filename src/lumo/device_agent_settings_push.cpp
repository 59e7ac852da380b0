// Settings push: every value the user changed since the agent last looked is converted into the
// camera's form and written on a detached thread of its own, so the server's call never waits for
// the camera. Each write opens a five-second hold-off window during which the camera's own report
// of a settings change does not trigger a readback. A write the camera refuses or never answers is
// reported to the server as a warning, so that the user does not take it for applied.
#include <chrono>
#include <exception>
#include <limits>
#include <thread>

#include "lumo/constants.h"
#include "lumo/device_agent.h"
#include "lumo/http_request.h"
#include "lumo/settings_numbers.h"
#include "lumo/utils.h"
#include "qo/sdk/helpers/lib_context.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;
using namespace qo::sdk::analytics;

namespace {

constexpr int32_t kWriteHoldOffS = 5;
constexpr int kLineCount = 8;
constexpr char kObjectDetectionEnable[] = "AIX_OBJECT_DETECTION_ENABLE";
constexpr char kLineCountResetAll[] = "AIX_LINE_COUNT_RESET_ALL";
constexpr char kLineCountReset[] = "AIX_LINE_COUNT_RESET";

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

/** The hold-off window; tests shorten it with the unit-test option "writeHoldOffMs". */
std::chrono::milliseconds writeHoldOff(int32_t seconds) {
    const std::string option = unitTestOption("writeHoldOffMs");
    if (const auto ms = parseWholeNumber(option); ms && *ms >= 0)
        return std::chrono::milliseconds(*ms);
    return std::chrono::seconds(seconds);
}

/** Time between two reports of failed writes; tests shorten it with "writeFailureReportMs". */
std::chrono::milliseconds writeFailureReportInterval() {
    const std::string option = unitTestOption("writeFailureReportMs");
    if (const auto ms = parseWholeNumber(option); ms && *ms >= 0)
        return std::chrono::milliseconds(*ms);
    return std::chrono::seconds(5);
}

}  // namespace

template <typename F>
void DeviceAgent::runDetached(F f) {
    // The thread's own reference keeps the agent alive even if the server releases it meanwhile.
    Ptr<DeviceAgent> self = shareToPtr(this);
    std::thread([self, f = std::move(f)]() mutable {
        // An exception escaping a detached thread would end the whole server.
        try {
            f();
        } catch (...) {
        }
    }).detach();
}

bool DeviceAgent::cameraRequest(const std::string& query, std::string& reply) const {
    return httpRequest(query, cameraLogin, cameraPassword, cameraIp, reply);
}

bool DeviceAgent::cameraWrite(const std::string& setting, const std::string& query,
                              std::string& reply) {
    RequestOutcome outcome;
    if (httpRequest(query, cameraLogin, cameraPassword, cameraIp, reply, &outcome))
        return true;
    reportWriteFailure(setting, describeFailure(outcome));
    return false;
}

void DeviceAgent::reportWriteFailure(const std::string& setting, const std::string& cause) {
    const auto now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    const auto interval =
        std::chrono::duration_cast<std::chrono::nanoseconds>(writeFailureReportInterval()).count();
    // One writer wins each interval; a camera that is down fails every write of a burst.
    constexpr int64_t kNever = std::numeric_limits<int64_t>::min();
    int64_t last = lastWriteFailureReportNs.load();
    do {
        if (last != kNever && now - last < interval)
            return;
    } while (!lastWriteFailureReportNs.compare_exchange_weak(last, now));
    pushPluginDiagnosticEvent(IPluginDiagnosticEvent::Level::warning,
                              "The camera did not take a setting",
                              "Writing " + setting + " to the camera at " + cameraIp +
                                  " failed: " + cause + ". The camera keeps its previous value.");
}

DeviceAgent::SettingsResult DeviceAgent::settingsReceived() {
    const SettingsMap current = currentSettings();

    if (!settingsInitialized.load()) {
        settingsRefreshNeeded = true;
        settingsInitialized = true;
        {
            std::lock_guard<std::mutex> lock(knownSettingsMutex);
            knownSettings = current;
        }
        SettingsResult result;
        receiveSettings(&result);
        return result;
    }

    auto response = makePtr<SettingsResponse>();
    for (const auto& [name, value] : current) {
        {
            std::lock_guard<std::mutex> lock(knownSettingsMutex);
            std::string& known = knownSettings[name];
            if (known == value)
                continue;
            known = value;
        }
        try {
            runDetached([this, name = name, value = value]() { sendSettings(name, value); });
        } catch (const std::exception&) {
            // No thread could be started: the write is lost like any failed camera write.
        }

        // Enabling detection makes the camera restart its analytics; the rest waits for the
        // next call.
        if (name == kObjectDetectionEnable && value == "true") {
            response->setValue(kObjectDetectionEnable, "false");
            std::lock_guard<std::mutex> lock(knownSettingsMutex);
            knownSettings[kObjectDetectionEnable] = "false";
            break;
        }
    }

    // The reset buttons are momentary: the dialog shows them off again after every change.
    std::lock_guard<std::mutex> lock(knownSettingsMutex);
    response->setValue(kLineCountResetAll, "false");
    knownSettings[kLineCountResetAll] = "false";
    for (int n = 1; n <= kLineCount; ++n) {
        const std::string resetName = kLineCountReset + std::to_string(n);
        response->setValue(resetName, "false");
        knownSettings[resetName] = "false";
    }
    return SettingsResult(response.releasePtr());
}

void DeviceAgent::sendSettings(std::string name, std::string value) {
    if (name == "TS_CALIBRATION") {
        settingCalibration(value);
        return;
    }
    if (name == "HL_DURATION") {
        settingHighlight(value);
        return;
    }

    runDetached([this]() { changeValueAfterDelay(kWriteHoldOffS); });
    handleDisplayTypeSettings(name, value);
    handleRegionTypeSettings(name, value);
    if (!startsWith(name, "AIX"))
        return;

    std::string reply;
    handleBooleanAndSpeedUnits(name, value);
    if (name == kLineCountResetAll) {
        handleLineCountResetAll(reply);
    } else if (name == "AIX_OBJECT_DETECTION_SIZE") {
        handleObjectDetectionSize(name, value, reply);
    } else if (contains(name, "POSITION")) {
        handlePositionSettings(name, value, reply);
    } else {
        // Enabling a line also enables its counting, first.
        if (contains(name, "AIX_LINE_ENABLE")) {
            const std::string slot = extractLastDigit(decrementLastDigit(name));
            cameraWrite(name, writeQuery("AIX_LINE_COUNT_ENABLE" + slot, value), reply);
        }
        cameraWrite(name, writeQuery(decrementLastDigit(name), value), reply);
    }
}

void DeviceAgent::changeValueAfterDelay(int32_t seconds) {
    settingsRefreshNeeded = false;
    bool open = false;
    if (!settingsWriteHold.compare_exchange_strong(open, true))
        return;  // A window is already running; it covers this write too.
    std::this_thread::sleep_for(writeHoldOff(seconds));
    settingsWriteHold = false;
}

void DeviceAgent::handleDisplayTypeSettings(const std::string& name, std::string& value) {
    if (!contains(name, "DISPLAY_TYPE"))
        return;
    const int32_t shown = value != "0" ? 1 : 0;
    if (contains(name, "PERSON"))
        showPerson = shown;
    else if (contains(name, "BICYCLE"))
        showBicycle = shown;
    else if (contains(name, "CAR"))
        showCar = shown;
    if (shown)
        value = "1";
}

void DeviceAgent::handleRegionTypeSettings(const std::string& name, std::string& value) {
    if (!contains(name, "REGION_TYPE"))
        return;
    if (value == "Region")
        value = "0";
    else if (value == "Spot")
        value = "1";
}

void DeviceAgent::handleBooleanAndSpeedUnits(const std::string& name, std::string& value) {
    if (value == "true")
        value = "1";
    else if (value == "false")
        value = "0";
    else if (startsWith(name, kLineCountReset))
        value = "0";
}

void DeviceAgent::handleLineCountResetAll(std::string& reply) {
    for (int i = 0; i < kLineCount; ++i)
        cameraWrite(kLineCountResetAll, writeQuery(kLineCountReset + std::to_string(i), "0"),
                    reply);
}

void DeviceAgent::settingCalibration(std::string value) {
    // A value that is no whole number, or whose offset leaves 32 bits, keeps the previous offset.
    if (const auto offset = calibrationOffsetUs(value))
        timestampOffsetUs = *offset;
}

void DeviceAgent::settingHighlight(std::string value) {
    if (const auto seconds = parseWholeNumber(value))
        highlightDurationS = *seconds;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
