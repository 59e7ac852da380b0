// IMetadataPacket and ICompoundMetadataPacket: what the plugin delivers to the server. A compound
// packet holds several metadata items of one frame time.
#pragma once

#include "qo/sdk/analytics/i_data_packet.h"
#include "qo/sdk/analytics/i_metadata.h"

namespace qo::sdk::analytics {

class IMetadataPacket : public Interface<IMetadataPacket, IDataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::IMetadataPacket"};
};

class ICompoundMetadataPacket : public Interface<ICompoundMetadataPacket, IMetadataPacket> {
public:
    static constexpr const char* kInterfaceIds[] = {"qo::sdk::analytics::ICompoundMetadataPacket"};

    virtual int64_t durationUs() const = 0;
    virtual int32_t count() const = 0;
    /** One reference for the caller, or null when out of range. */
    virtual const IMetadata* getAt(int32_t index) const = 0;
};

}  // namespace qo::sdk::analytics
