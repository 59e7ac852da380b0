// IDeviceInfo: the server's description of a camera bound to the plugin. Every text is non-null.
#pragma once

#include <cstdint>

#include "qo/sdk/interface.h"

namespace qo::sdk {

class IDeviceInfo : public Interface<IDeviceInfo> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::IDeviceInfo"};

    virtual const char* id() const = 0;
    virtual const char* vendor() const = 0;
    virtual const char* model() const = 0;
    virtual const char* firmware() const = 0;
    virtual const char* name() const = 0;
    virtual const char* url() const = 0;
    virtual const char* login() const = 0;
    virtual const char* password() const = 0;
    virtual const char* sharedId() const = 0;
    virtual const char* logicalId() const = 0;
    virtual int32_t channelNumber() const = 0;
};

}  // namespace qo::sdk
