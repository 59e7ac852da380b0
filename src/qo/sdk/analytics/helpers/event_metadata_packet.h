// EventMetadataPacket: the library's IEventMetadataPacket, the events of one moment, with its
// timestamp and the time they stay valid. Items are shared with their creator by reference
// counting.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include "qo/sdk/analytics/helpers/metadata_packet_base.h"
#include "qo/sdk/analytics/i_event_metadata_packet.h"
#include "qo/sdk/ptr.h"

namespace qo::sdk::analytics {

class EventMetadataPacket : public MetadataPacketBase<IEventMetadataPacket, IEventMetadata> {
public:
    EventMetadataPacket() = default;

    /** Keeps the item with a reference of its own; a null item is reported and ignored. */
    void addItem(const IEventMetadata* eventMetadata);
    void addItem(const Ptr<const IEventMetadata>& eventMetadata);
};

}  // namespace qo::sdk::analytics
