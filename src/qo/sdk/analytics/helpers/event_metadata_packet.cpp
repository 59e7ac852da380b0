#include "qo/sdk/analytics/helpers/event_metadata_packet.h"

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

void EventMetadataPacket::addItem(const IEventMetadata* eventMetadata) {
    QO_ASSERT(eventMetadata, "");
    if (eventMetadata)
        appendItem(eventMetadata);
}

void EventMetadataPacket::addItem(const Ptr<const IEventMetadata>& eventMetadata) {
    addItem(eventMetadata.get());
}

}  // namespace qo::sdk::analytics
