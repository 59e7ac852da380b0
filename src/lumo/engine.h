// Engine: the single analytics engine of the plugin. It states what the plugin consumes and which
// settings each camera has (the engine manifest), and creates one DeviceAgent per camera. No state
// of its own; the base class does the bookkeeping.
#pragma once

#include <string>

#include "qo/sdk/analytics/helpers/engine.h"

namespace qo::vms_server_plugins::analytics::lumo {

class Engine : public qo::sdk::analytics::Engine {
public:
    Engine();
    ~Engine() override = default;

protected:
    void doObtainDeviceAgent(qo::sdk::Result<qo::sdk::analytics::IDeviceAgent*>* outResult,
                             const qo::sdk::IDeviceInfo* deviceInfo) override;
    std::string manifestString() const override;
};

}  // namespace qo::vms_server_plugins::analytics::lumo
