#include "lumo/setting_values.h"

#include "lumo/settings_numbers.h"

namespace qo::vms_server_plugins::analytics::lumo {

namespace {

std::string booleanToCamera(const std::string& value) {
    if (value == "true")
        return "1";
    if (value == "false")
        return "0";
    return value;
}

std::optional<std::string> booleanToDialog(const std::string& value) {
    const auto number = parseWholeNumber(value);
    if (!number)
        return std::nullopt;
    return *number != 0 ? "true" : "false";
}

std::string unchanged(const std::string& value) {
    return value;
}

std::optional<std::string> unchangedToDialog(const std::string& value) {
    return value;
}

std::string displayTypeToCamera(const std::string& value) {
    return value != "0" ? "1" : "0";
}

std::optional<std::string> displayTypeToDialog(const std::string& value) {
    return value == "0" ? "0" : "1";
}

std::string regionTypeToCamera(const std::string& value) {
    if (value == "Region")
        return "0";
    if (value == "Spot")
        return "1";
    return booleanToCamera(value);
}

std::optional<std::string> regionTypeToDialog(const std::string& value) {
    if (value == "0")
        return "Region";
    if (value == "1")
        return "Spot";
    return std::nullopt;
}

// A ticked button resets once; anything but "true" leaves the count alone.
std::string resetToCamera(const std::string& value) {
    return value == "true" ? "1" : "0";
}

// The buttons are momentary: the dialog always shows them released, whatever the camera holds.
std::optional<std::string> resetToDialog(const std::string& /*value*/) {
    return "false";
}

std::optional<std::string> nothing(const std::string& /*value*/) {
    return std::nullopt;
}

// Every value the camera takes passes the boolean rule, texts and numbers included: the camera has
// always been sent 1 and 0 for a "true" or "false" typed anywhere.
constexpr ValueConversion kBoolean{booleanToCamera, booleanToDialog, true};
constexpr ValueConversion kVerbatim{booleanToCamera, unchangedToDialog, true};
constexpr ValueConversion kDisplayType{displayTypeToCamera, displayTypeToDialog, true};
constexpr ValueConversion kRegionType{regionTypeToCamera, regionTypeToDialog, false};
constexpr ValueConversion kReset{resetToCamera, resetToDialog, true};
constexpr ValueConversion kComposite{booleanToCamera, nothing, true};
constexpr ValueConversion kPluginSide{unchanged, nothing, false};

}  // namespace

const ValueConversion& valueConversion(SettingKind kind) {
    switch (kind) {
        case SettingKind::boolean:
            return kBoolean;
        case SettingKind::verbatim:
            return kVerbatim;
        case SettingKind::displayType:
            return kDisplayType;
        case SettingKind::regionType:
            return kRegionType;
        case SettingKind::lineReset:
        case SettingKind::lineResetAll:
            return kReset;
        case SettingKind::figure:
        case SettingKind::objectSize:
            return kComposite;
        case SettingKind::calibration:
        case SettingKind::highlight:
        case SettingKind::pluginOnly:
            break;
    }
    return kPluginSide;
}

}  // namespace qo::vms_server_plugins::analytics::lumo
