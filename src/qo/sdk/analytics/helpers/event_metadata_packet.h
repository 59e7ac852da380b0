// EventMetadataPacket: the library's IEventMetadataPacket, the events of one moment, with its
// timestamp and the time they stay valid. Items are shared with their creator by reference
// counting.
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <cstdint>
#include <vector>

#include "qo/sdk/analytics/i_event_metadata_packet.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

class EventMetadataPacket : public RefCountable<IEventMetadataPacket> {
public:
    EventMetadataPacket() = default;

    int64_t timestampUs() const override;
    int64_t durationUs() const override;
    int32_t count() const override;
    /** One reference for the caller, or null when out of range. */
    const IMetadata* getAt(int32_t index) const override;
    Flags flags() const override;

    void setFlags(Flags flags);
    void setTimestampUs(int64_t timestampUs);
    void setDurationUs(int64_t durationUs);

    /** Keeps the item with a reference of its own; a null item is reported and ignored. */
    void addItem(const IEventMetadata* eventMetadata);
    void addItem(const Ptr<const IEventMetadata>& eventMetadata);

    /** Releases every item. */
    void clear();

private:
    Flags m_flags = Flags::none;
    int64_t m_timestampUs = -1;
    int64_t m_durationUs = -1;
    std::vector<Ptr<const IEventMetadata>> m_events;
};

}  // namespace qo::sdk::analytics
