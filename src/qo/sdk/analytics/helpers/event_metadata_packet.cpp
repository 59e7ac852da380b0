#include "qo/sdk/analytics/helpers/event_metadata_packet.h"

#include "qo/kit/debug.h"

namespace qo::sdk::analytics {

int64_t EventMetadataPacket::timestampUs() const {
    return m_timestampUs;
}

int64_t EventMetadataPacket::durationUs() const {
    return m_durationUs;
}

int32_t EventMetadataPacket::count() const {
    return static_cast<int32_t>(m_events.size());
}

const IMetadata* EventMetadataPacket::getAt(int32_t index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return shareToPtr(m_events[static_cast<size_t>(index)].get()).releasePtr();
}

IDataPacket::Flags EventMetadataPacket::flags() const {
    return m_flags;
}

void EventMetadataPacket::setFlags(Flags flags) {
    m_flags = flags;
}

void EventMetadataPacket::setTimestampUs(int64_t timestampUs) {
    m_timestampUs = timestampUs;
}

void EventMetadataPacket::setDurationUs(int64_t durationUs) {
    m_durationUs = durationUs;
}

void EventMetadataPacket::addItem(const IEventMetadata* eventMetadata) {
    QO_ASSERT(eventMetadata, "");
    if (eventMetadata)
        m_events.push_back(shareToPtr(eventMetadata));
}

void EventMetadataPacket::addItem(const Ptr<const IEventMetadata>& eventMetadata) {
    addItem(eventMetadata.get());
}

void EventMetadataPacket::clear() {
    m_events.clear();
}

}  // namespace qo::sdk::analytics
