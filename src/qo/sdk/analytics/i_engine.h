// IEngine: the analytics engine, created once by the plugin; it makes one device agent per
// camera. IEngine0::IHandler is the server's receiver of the engine's diagnostic events.
#pragma once

#include "qo/sdk/analytics/i_action.h"
#include "qo/sdk/analytics/i_active_setting_changed_action.h"
#include "qo/sdk/analytics/i_device_agent.h"
#include "qo/sdk/analytics/i_engine_info.h"
#include "qo/sdk/i_device_info.h"
#include "qo/sdk/i_plugin_diagnostic_event.h"
#include "qo/sdk/i_settings_response.h"
#include "qo/sdk/i_string_map.h"
#include "qo/sdk/result.h"

namespace qo::sdk::analytics {

class IEngine0 : public Interface<IEngine0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEngine"};

    /** Implemented by the server. The event is borrowed for the call. */
    class IHandler : public Interface<IHandler> {
    public:
        static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEngine::IHandler"};

        virtual void handleDiagnosticEvent(IPluginDiagnosticEvent* event) = 0;
    };

    virtual void setEngineInfo(const IEngineInfo* engineInfo) = 0;
    virtual void doSetSettings(Result<const ISettingsResponse*>* outResult,
                               const IStringMap* settings) = 0;
    virtual void getPluginSideSettings(Result<const ISettingsResponse*>* outResult) const = 0;
    virtual void getManifest(Result<const IString*>* outResult) const = 0;
    virtual bool isCompatible(const IDeviceInfo* deviceInfo) const = 0;
    virtual void doObtainDeviceAgent(Result<IDeviceAgent*>* outResult,
                                     const IDeviceInfo* deviceInfo) = 0;
    virtual void doExecuteAction(Result<IAction::Result>* outResult, const IAction* action) = 0;
    virtual void setHandler(IHandler* handler) = 0;
};

class IEngine : public Interface<IEngine, IEngine0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEngine1"};

    virtual void doGetSettingsOnActiveSettingChange(
        Result<const IActiveSettingChangedResponse*>* outResult,
        const IActiveSettingChangedAction* activeSettingChangedAction) = 0;
};

}  // namespace qo::sdk::analytics
