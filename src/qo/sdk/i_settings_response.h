// ISettingsResponse: the plugin's answer to a settings request: values the dialog is to show,
// per-setting errors and optionally a replacement settings model.
#pragma once

#include "qo/sdk/i_string.h"
#include "qo/sdk/i_string_map.h"

namespace qo::sdk {

class ISettingsResponse0 : public Interface<ISettingsResponse0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::ISettingsResponse"};

    /** The values map with one reference for the caller, or null. */
    virtual IStringMap* getValues() const = 0;
    /** The errors map with one reference for the caller, or null. */
    virtual IStringMap* getErrors() const = 0;
};

class ISettingsResponse : public Interface<ISettingsResponse, ISettingsResponse0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::ISettingsResponse1"};

    /** The replacement model with one reference for the caller, or null. */
    virtual IString* getModel() const = 0;
};

}  // namespace qo::sdk
