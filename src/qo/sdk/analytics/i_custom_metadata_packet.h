// ICustomMetadataPacket: a metadata document the server pulled from the camera's stream (here an
// ONVIF metadata XML document). The data is read-only and need not be NUL-terminated.
#pragma once

#include "qo/sdk/analytics/i_data_packet.h"

namespace qo::sdk::analytics {

class ICustomMetadataPacket : public Interface<ICustomMetadataPacket, IDataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::ICustomMetadataPacket"};

    virtual const char* codec() const = 0;
    virtual const char* data() const = 0;
    virtual int32_t dataSize() const = 0;
};

}  // namespace qo::sdk::analytics
