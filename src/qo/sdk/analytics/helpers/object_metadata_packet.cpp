#include "qo/sdk/analytics/helpers/object_metadata_packet.h"

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

void ObjectMetadataPacket::addItem(const IObjectMetadata* objectMetadata) {
    QO_ASSERT(objectMetadata, "");
    if (objectMetadata)
        appendItem(objectMetadata);
}

void ObjectMetadataPacket::addItem(const Ptr<const IObjectMetadata>& objectMetadata) {
    addItem(objectMetadata.get());
}

}  // namespace qo::sdk::analytics
