#include "qo/sdk/analytics/helpers/object_metadata_packet.h"

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

int64_t ObjectMetadataPacket::timestampUs() const {
    return m_timestampUs;
}

int64_t ObjectMetadataPacket::durationUs() const {
    return m_durationUs;
}

int32_t ObjectMetadataPacket::count() const {
    return static_cast<int32_t>(m_objects.size());
}

const IMetadata* ObjectMetadataPacket::getAt(int32_t index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return shareToPtr(m_objects[static_cast<size_t>(index)].get()).releasePtr();
}

IDataPacket::Flags ObjectMetadataPacket::flags() const {
    return m_flags;
}

void ObjectMetadataPacket::setFlags(Flags flags) {
    m_flags = flags;
}

void ObjectMetadataPacket::setTimestampUs(int64_t timestampUs) {
    m_timestampUs = timestampUs;
}

void ObjectMetadataPacket::setDurationUs(int64_t durationUs) {
    m_durationUs = durationUs;
}

void ObjectMetadataPacket::addItem(const IObjectMetadata* objectMetadata) {
    QO_ASSERT(objectMetadata, "");
    if (objectMetadata)
        m_objects.push_back(shareToPtr(objectMetadata));
}

void ObjectMetadataPacket::addItem(const Ptr<const IObjectMetadata>& objectMetadata) {
    addItem(objectMetadata.get());
}

void ObjectMetadataPacket::clear() {
    m_objects.clear();
}

}  // namespace qo::sdk::analytics
