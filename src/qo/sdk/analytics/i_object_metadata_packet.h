// IObjectMetadataPacket: the objects detected in one frame.
#pragma once

#include "qo/sdk/analytics/i_metadata_packet.h"
#include "qo/sdk/analytics/i_object_metadata.h"

namespace qo::sdk::analytics {

class IObjectMetadataPacket0 : public Interface<IObjectMetadataPacket0, ICompoundMetadataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IObjectMetadataPacket"};
};

class IObjectMetadataPacket : public Interface<IObjectMetadataPacket, IObjectMetadataPacket0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IObjectMetadataPacket1"};

    virtual Flags flags() const = 0;
};

}  // namespace qo::sdk::analytics
