// ObjectMetadataPacket: the library's IObjectMetadataPacket, the objects detected in one frame,
// with the frame's timestamp and the time they stay valid. Items are shared with their creator by
// reference counting.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include "qo/sdk/analytics/helpers/metadata_packet_base.h"
#include "qo/sdk/analytics/i_object_metadata_packet.h"
#include "qo/sdk/ptr.h"

namespace qo::sdk::analytics {

class ObjectMetadataPacket : public MetadataPacketBase<IObjectMetadataPacket, IObjectMetadata> {
public:
    ObjectMetadataPacket() = default;

    /** Keeps the item with a reference of its own; a null item is reported and ignored. */
    void addItem(const IObjectMetadata* objectMetadata);
    void addItem(const Ptr<const IObjectMetadata>& objectMetadata);
};

}  // namespace qo::sdk::analytics
