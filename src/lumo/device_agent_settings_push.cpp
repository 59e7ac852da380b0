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
#include "lumo/setting_name.h"
#include "lumo/setting_values.h"
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
    const SettingName setting = parseSettingName(name);
    if (setting.kind == SettingKind::calibration) {
        settingCalibration(value);
        return;
    }
    if (setting.kind == SettingKind::highlight) {
        settingHighlight(value);
        return;
    }

    runDetached([this]() { changeValueAfterDelay(kWriteHoldOffS); });
    if (setting.kind == SettingKind::pluginOnly)
        return;
    handleDisplayTypeSettings(setting, value);
    handleRegionTypeSettings(setting, value);
    handleBooleanAndSpeedUnits(setting, value);

    std::string reply;
    switch (setting.kind) {
        case SettingKind::lineResetAll:
            handleLineCountResetAll(reply);
            break;
        case SettingKind::objectSize:
            handleObjectDetectionSize(name, value, reply);
            break;
        case SettingKind::figure:
            handlePositionSettings(setting, value, reply);
            break;
        default:
            // Enabling a line also enables its counting, first.
            if (setting.stem == "AIX_LINE_ENABLE")
                cameraWrite(name, writeQuery(setting.cameraName("AIX_LINE_COUNT_ENABLE"), value),
                            reply);
            cameraWrite(name, writeQuery(setting.cameraName(), value), reply);
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

void DeviceAgent::showClass(ShownClass shownClass, bool shown) const {
    std::atomic<int32_t>* flag = displaySwitch(shownClass);
    if (flag)
        *flag = shown ? 1 : 0;
}

std::atomic<int32_t>* DeviceAgent::displaySwitch(ShownClass shownClass) const {
    switch (shownClass) {
        case ShownClass::person:
            return &showPerson;
        case ShownClass::bicycle:
            return &showBicycle;
        case ShownClass::car:
            return &showCar;
        case ShownClass::none:
            break;
    }
    return nullptr;
}

void DeviceAgent::handleDisplayTypeSettings(const SettingName& setting, std::string& value) {
    if (setting.kind != SettingKind::displayType)
        return;
    showClass(setting.shownClass, value != "0");
    value = toCameraValue(setting.kind, value);
}

void DeviceAgent::handleRegionTypeSettings(const SettingName& setting, std::string& value) {
    if (setting.kind == SettingKind::regionType)
        value = toCameraValue(setting.kind, value);
}

void DeviceAgent::handleBooleanAndSpeedUnits(const SettingName& setting, std::string& value) {
    if (setting.kind != SettingKind::displayType && setting.kind != SettingKind::regionType)
        value = toCameraValue(setting.kind, value);
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
