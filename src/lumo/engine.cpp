#include "lumo/engine.h"

#include <exception>
#include <string>

#include "lumo/device_agent.h"
#include "lumo/manifests.h"
#include "qo/sdk/helpers/error.h"

namespace qo::vms_server_plugins::analytics::lumo {

Engine::Engine() : qo::sdk::analytics::Engine(/*enableOutput*/ true) {}

void Engine::doObtainDeviceAgent(qo::sdk::Result<qo::sdk::analytics::IDeviceAgent*>* outResult,
                                 const qo::sdk::IDeviceInfo* deviceInfo) {
    // An agent that cannot start (no memory, no threads) is reported, never thrown at the server.
    try {
        *outResult = new DeviceAgent(deviceInfo);
    } catch (const std::exception& e) {
        *outResult = qo::sdk::error(qo::sdk::ErrorCode::otherError,
                                    std::string("Unable to create the device agent: ") + e.what());
    }
}

std::string Engine::manifestString() const {
    return engineManifest();
}

}  // namespace qo::vms_server_plugins::analytics::lumo
