// IEventMetadataPacket: the events of one frame time.
#pragma once

#include "qo/sdk/analytics/i_event_metadata.h"
#include "qo/sdk/analytics/i_metadata_packet.h"

namespace qo::sdk::analytics {

class IEventMetadataPacket0 : public Interface<IEventMetadataPacket0, ICompoundMetadataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEventMetadataPacket"};
};

class IEventMetadataPacket : public Interface<IEventMetadataPacket, IEventMetadataPacket0> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IEventMetadataPacket1"};

    virtual Flags flags() const = 0;
};

}  // namespace qo::sdk::analytics
