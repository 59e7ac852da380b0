#include "lumo/device_agent.h"

#include <cstdlib>
#include <thread>

#include "lumo/manifests.h"
#include "lumo/utils.h"
#include "qo/sdk/helpers/lib_context.h"
#include "qo/sdk/helpers/uuid_helper.h"

namespace qo::vms_server_plugins::analytics::lumo {

using namespace qo::sdk;
using namespace qo::sdk::analytics;

unsigned int hardwareConcurrency() {
    // A test or a benchmark sizes the plugin as on a larger server than the one it runs on.
    const std::string simulated = qo::sdk::unitTestOption("hardwareConcurrency");
    if (!simulated.empty()) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(simulated.c_str(), &end, 10);
        if (*end == '\0' && value <= 1'000'000)
            return static_cast<unsigned int>(value);
    }
    return std::thread::hardware_concurrency();
}

DeviceAgent::DeviceAgent(const IDeviceInfo* deviceInfo)
    : ConsumingDeviceAgent(deviceInfo, /*enableOutput*/ true),
      eventTrackId(UuidHelper::randomUuid()),
      cameraIp(deviceInfo ? extractIpAddress(deviceInfo->url()) : std::string()),
      cameraLogin(deviceInfo ? deviceInfo->login() : ""),
      cameraPassword(deviceInfo ? deviceInfo->password() : ""),
      threadPool(agentPoolSize(hardwareConcurrency())) {}

DeviceAgent::~DeviceAgent() = default;

void DeviceAgent::doSetNeededMetadataTypes(Result<void>* /*outResult*/,
                                           const IMetadataTypes* /*neededMetadataTypes*/) {
    // Every kind of metadata is produced whatever the server asks for.
}

std::string DeviceAgent::manifestString() const {
    return deviceAgentManifest();
}

bool DeviceAgent::pushCompressedVideoFrame(const ICompressedVideoPacket* videoPacket) {
    if (!videoPacket)
        return true;
    const int32_t width = videoPacket->width();
    // Only the width is compared: the readback's size figures follow the width.
    if (width != frameWidth.load()) {
        frameWidth = width;
        frameHeight = videoPacket->height();
        settingsRefreshNeeded = true;
    }
    return true;
}

void DeviceAgent::setDisplaySwitches(bool person, bool bicycle, bool car) {
    showPerson = person ? 1 : 0;
    showBicycle = bicycle ? 1 : 0;
    showCar = car ? 1 : 0;
}

DeviceAgent::SettingsMap DeviceAgent::knownSettingsCopy() const {
    std::lock_guard<std::mutex> lock(knownSettingsMutex);
    return knownSettings;
}

size_t DeviceAgent::eventedObjectCount() {
    std::lock_guard<std::mutex> lock(eventedObjectsMutex);
    return eventedObjects.size();
}

}  // namespace qo::vms_server_plugins::analytics::lumo
