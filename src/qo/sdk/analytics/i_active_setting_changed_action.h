// IActiveSettingChangedAction: the server tells that the user is changing an "active" setting
// (one whose effect must show at once); IActiveSettingChangedResponse is the optional answer.
#pragma once

#include "qo/sdk/i_settings_response.h"
#include "qo/sdk/i_string_map.h"

namespace qo::sdk::analytics {

class IActiveSettingChangedAction : public Interface<IActiveSettingChangedAction> {
public:
    static constexpr const char* kInterfaceIds[] = {
        "qo::sdk::analytics::IActiveSettingChangedAction"};

    virtual const char* activeSettingName() const = 0;
    virtual const char* settingsModel() const = 0;
    /** One reference for the caller. */
    virtual const IStringMap* settingsValues() const = 0;
    /** One reference for the caller. */
    virtual const IStringMap* params() const = 0;
};

class IActiveSettingChangedResponse : public Interface<IActiveSettingChangedResponse> {
public:
    static constexpr const char* kInterfaceIds[] = {
        "qo::sdk::analytics::IActiveSettingChangedResponse"};

    virtual const char* actionUrl() const = 0;
    virtual const char* messageToUser() const = 0;
    /** One reference for the caller, or null. */
    virtual const ISettingsResponse* settingsResponse() const = 0;
};

}  // namespace qo::sdk::analytics
