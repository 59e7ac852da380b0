// IConsumingDeviceAgent: a device agent fed by the server with data packets (video frames and
// custom metadata packets) pushed into it.
#pragma once

#include "qo/sdk/analytics/i_active_setting_changed_action.h"
#include "qo/sdk/analytics/i_data_packet.h"
#include "qo/sdk/analytics/i_device_agent.h"

namespace qo::sdk::analytics {

class IConsumingDeviceAgent0 : public Interface<IConsumingDeviceAgent0, IDeviceAgent> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IConsumingDeviceAgent"};

    virtual void doPushDataPacket(Result<void>* outResult, IDataPacket* dataPacket) = 0;
};

class IConsumingDeviceAgent1 : public Interface<IConsumingDeviceAgent1, IConsumingDeviceAgent0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IConsumingDeviceAgent1"};

    virtual void finalize() = 0;
};

class IConsumingDeviceAgent : public Interface<IConsumingDeviceAgent, IConsumingDeviceAgent1> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IConsumingDeviceAgent2"};

    virtual void doGetSettingsOnActiveSettingChange(
        Result<const IActiveSettingChangedResponse*>* outResult,
        const IActiveSettingChangedAction* activeSettingChangedAction) = 0;
};

}  // namespace qo::sdk::analytics
