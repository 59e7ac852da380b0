// DeviceInfo: the server's description of one camera, handed to the engine when the camera is
// bound to the plugin. The plugin reads the URL, login and password to reach the camera.
//
// Threading: immutable after construction; may be read from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "qo/sdk/i_device_info.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

struct DeviceDescription {
    std::string id = "camera-1";
    std::string vendor = "Lumovane";
    std::string model = "LUMO AI Camera";
    std::string firmware;
    std::string name = "Camera 1";
    std::string url = "http://127.0.0.1/";
    std::string login = "admin";
    std::string password;
    std::string sharedId;
    std::string logicalId;
    int32_t channelNumber = 0;
};

class DeviceInfo : public qo::sdk::RefCountable<qo::sdk::IDeviceInfo> {
public:
    explicit DeviceInfo(DeviceDescription description) : m_description(std::move(description)) {}

    const char* id() const override { return m_description.id.c_str(); }
    const char* vendor() const override { return m_description.vendor.c_str(); }
    const char* model() const override { return m_description.model.c_str(); }
    const char* firmware() const override { return m_description.firmware.c_str(); }
    const char* name() const override { return m_description.name.c_str(); }
    const char* url() const override { return m_description.url.c_str(); }
    const char* login() const override { return m_description.login.c_str(); }
    const char* password() const override { return m_description.password.c_str(); }
    const char* sharedId() const override { return m_description.sharedId.c_str(); }
    const char* logicalId() const override { return m_description.logicalId.c_str(); }
    int32_t channelNumber() const override { return m_description.channelNumber; }

    const DeviceDescription& description() const { return m_description; }

private:
    const DeviceDescription m_description;
};

}  // namespace lumo::host
