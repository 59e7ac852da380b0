// MetadataPacketBase<PacketInterface, Item>: what EventMetadataPacket and ObjectMetadataPacket
// share: the moment, the time the items stay valid, the flags and the items in the order added,
// each kept with a reference of its own. PacketInterface is the packet interface the derived class
// implements, Item the metadata interface of its items; the derived class adds its items through
// appendItem().
//
// Threading: filled by one thread before it is handed over, read-only afterwards; only the
// reference count may change from several threads.
#pragma once

#include <cstdint>
#include <vector>

#include "qo/sdk/analytics/i_metadata_packet.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk::analytics {

template <class PacketInterface, class Item>
class MetadataPacketBase : public RefCountable<PacketInterface> {
public:
    using Flags = IDataPacket::Flags;

    int64_t timestampUs() const override { return m_timestampUs; }
    int64_t durationUs() const override { return m_durationUs; }
    int32_t count() const override { return static_cast<int32_t>(m_items.size()); }

    /** One reference for the caller, or null when out of range. */
    const IMetadata* getAt(int32_t index) const override {
        if (index < 0 || index >= count())
            return nullptr;
        return shareToPtr(m_items[static_cast<size_t>(index)].get()).releasePtr();
    }

    Flags flags() const override { return m_flags; }

    void setFlags(Flags flags) { m_flags = flags; }
    void setTimestampUs(int64_t timestampUs) { m_timestampUs = timestampUs; }
    void setDurationUs(int64_t durationUs) { m_durationUs = durationUs; }

    /** Releases every item. */
    void clear() { m_items.clear(); }

protected:
    MetadataPacketBase() = default;

    /** Keeps a non-null item with a reference of its own. */
    void appendItem(const Item* item) { m_items.push_back(shareToPtr(item)); }

private:
    Flags m_flags = Flags::none;
    int64_t m_timestampUs = -1;
    int64_t m_durationUs = -1;
    std::vector<Ptr<const Item>> m_items;
};

}  // namespace qo::sdk::analytics
