// How a setting's value travels between the dialog and the camera: for each kind of setting, the
// conversion of the dialog's value into the camera's and the conversion of the camera's value back,
// side by side so that the two directions cannot drift apart.
//
// All functions are pure and may run on any number of threads at once.
#pragma once

#include <optional>
#include <string>

#include "lumo/setting_name.h"

namespace qo::vms_server_plugins::analytics::lumo {

struct ValueConversion {
    /** The camera's value for the dialog's value. */
    std::string (*toCamera)(const std::string& dialogValue);
    /** The dialog's value for the camera's value; nothing when it does not convert. */
    std::optional<std::string> (*toDialog)(const std::string& cameraValue);
    /**
     * Whether a camera value that does not convert is an error to show in the dialog; otherwise
     * the setting is left out quietly and the dialog keeps the server's value.
     */
    bool unconvertibleIsError;
};

/** The conversions of a kind; plugin-side kinds and composite values (figures, sizes) pass text. */
const ValueConversion& valueConversion(SettingKind kind);

inline std::string toCameraValue(SettingKind kind, const std::string& value) {
    return valueConversion(kind).toCamera(value);
}

inline std::optional<std::string> toDialogValue(SettingKind kind, const std::string& value) {
    return valueConversion(kind).toDialog(value);
}

}  // namespace qo::vms_server_plugins::analytics::lumo
