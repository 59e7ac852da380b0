// Settings readback: the camera's current parameters, figures included, turned back into the
// dialog's forms. The full readback reads every current setting, the figure readback the 24
// region, exclude-region and line slots, both on a bounded set of threads (see Readback). Every
// value reported is also recorded in knownSettings. A setting the camera did not answer, or
// answered with a value that does not convert, is left out of the values and named in the
// response's errors: the dialog then keeps the server's value and says why, instead of showing a
// value the camera never gave. The worker ends quietly and the others go on.
#include <exception>
#include <vector>

#include "lumo/constants.h"
#include "lumo/device_agent.h"
#include "lumo/geometry.h"
#include "lumo/http_request.h"
#include "lumo/readback.h"
#include "lumo/setting_values.h"
#include "lumo/settings_numbers.h"
#include "lumo/utils.h"
#include "qo/sdk/helpers/error.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;
using namespace qo::sdk::analytics;
using Json = nlohmann::json;

namespace {

/** Compact JSON; texts with invalid UTF-8 are mended rather than thrown at. */
std::string compact(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

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

void DeviceAgent::recordSetting(const std::string& name, const std::string& value,
                                Readback* readback) const {
    std::unique_lock<std::mutex> readbackLock;
    if (readback) {
        readbackLock = std::unique_lock<std::mutex>(readback->mutex);
        readback->response->setValue(name, value);
    }
    std::lock_guard<std::mutex> knownLock(knownSettingsMutex);
    knownSettings[name] = value;
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
    const SettingName setting = parseSettingName(name);
    switch (setting.kind) {
        case SettingKind::calibration:
            if (const auto offset = calibrationOffsetUs(value))
                timestampOffsetUs = *offset;
            recordSetting(name, value, nullptr);
            return;
        case SettingKind::highlight:
            if (const auto seconds = parseWholeNumber(value))
                highlightDurationS = *seconds;
            recordSetting(name, value, nullptr);
            return;
        case SettingKind::pluginOnly:
            return;
        case SettingKind::lineReset:
        case SettingKind::lineResetAll:
            // Nothing to ask: the dialog shows the buttons released.
            recordSetting(name, *toDialogValue(setting.kind, ""), &readback);
            return;
        default:
            break;
    }

    const bool isFigure = setting.kind == SettingKind::figure;
    const std::string parameter = isFigure ? setting.currentPositionName() : setting.cameraName();
    std::string reply;
    if (!readbackRequest(readback, readQuery(parameter), reply)) {
        readback.unanswered(name);
        return;
    }
    bool understood = false;
    try {
        if (setting.kind == SettingKind::objectSize)
            understood = readbackObjectSize(name, getValueAfterEqualSign(reply), readback);
        else if (isFigure)
            understood = readbackFigure(setting, reply, kFullReadback, readback);
        else
            understood = readbackValue(setting, getValueAfterEqualSign(reply), readback);
    } catch (const std::exception&) {
        // The geometry refused the camera's text.
    }
    if (!understood)
        readback.failed(name, Readback::kNotUnderstood);
}

bool DeviceAgent::readbackValue(const SettingName& setting, const std::string& value,
                                Readback& readback) const {
    if (setting.kind == SettingKind::displayType) {
        // The dialog learns of a class switched on only when the plugin had it off.
        std::atomic<int32_t>* flag = displaySwitch(setting.shownClass);
        if (!flag)
            return true;
        if (value == "0") {
            *flag = 0;
            recordSetting(setting.name, "0", &readback);
        } else if (flag->exchange(1) == 0) {
            recordSetting(setting.name, "1", &readback);
        }
        return true;
    }
    const ValueConversion& conversion = valueConversion(setting.kind);
    const auto converted = conversion.toDialog(value);
    if (!converted)
        return !conversion.unconvertibleIsError;
    recordSetting(setting.name, *converted, &readback);
    return true;
}

bool DeviceAgent::readbackObjectSize(const std::string& name, const std::string& value,
                                     Readback& readback) const {
    std::vector<float> numbers;
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        const auto number = parseDecimal(std::string_view(value).substr(start, comma - start));
        if (!number)
            return false;
        numbers.push_back(*number);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const float width = static_cast<float>(frameWidth.load());
    const float height = static_cast<float>(frameHeight.load());
    if (numbers.size() != 8 || width <= 0.0F || height <= 0.0F)
        return true;
    const auto pair = [](float a, float b) {
        return Json::array({static_cast<double>(a), static_cast<double>(b)});
    };
    Json size = Json::object();
    size["positions"] = Json::array({pair(numbers[0] / width, numbers[1] / height),
                                     pair(numbers[4] / width, numbers[5] / height)});
    size["minimum"] = pair(numbers[2] / width, numbers[3] / height);
    size["maximum"] = pair(numbers[6] / width, numbers[7] / height);
    recordSetting(name, compact(size), &readback);
    return true;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
