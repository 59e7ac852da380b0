// What a device agent delivered, as plain values for assertions: object packets with their items
// and attributes, event packets, best shots. Reads only through the server's interfaces, so it
// serves packets of an in-process agent and of the loaded plugin alike.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "qo/sdk/analytics/i_event_metadata_packet.h"
#include "qo/sdk/analytics/i_metadata_packet.h"
#include "qo/sdk/analytics/i_object_metadata_packet.h"
#include "qo/sdk/analytics/i_object_track_best_shot_packet.h"
#include "qo/sdk/analytics/rect.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/uuid.h"

namespace lumo_test {

using qo::sdk::Ptr;
using qo::sdk::Uuid;
using qo::sdk::analytics::Rect;
using DeliveredPacket = Ptr<qo::sdk::analytics::IMetadataPacket>;

struct AttributeValue {
    std::string name;
    std::string value;
    int type = -1;
    float confidence = 0;
};

struct ObjectItem {
    std::string typeId;
    Uuid trackId;
    Rect box;
    std::vector<AttributeValue> attributes;

    /** The value of the named attribute, or "<none>". */
    std::string attribute(const std::string& name) const {
        for (const auto& a : attributes) {
            if (a.name == name)
                return a.value;
        }
        return "<none>";
    }
    std::vector<std::string> attributeNames() const {
        std::vector<std::string> names;
        for (const auto& a : attributes)
            names.push_back(a.name);
        return names;
    }
};

struct ObjectPacket {
    int64_t timestampUs = 0;
    int64_t durationUs = 0;
    std::vector<ObjectItem> items;
};

struct EventItem {
    std::string typeId;
    std::string caption;
    std::string description;
    bool active = false;
    Uuid trackId;
};

struct EventPacket {
    int64_t timestampUs = 0;
    int64_t durationUs = 0;
    std::vector<EventItem> items;
};

struct BestShot {
    Uuid trackId;
    int64_t timestampUs = 0;
    Rect box;
    std::string imageUrl;
};

/** Delivered packets sorted by kind, each kind in order of delivery. */
struct Delivery {
    std::vector<ObjectPacket> objects;
    std::vector<EventPacket> events;
    std::vector<BestShot> bestShots;
    int unknown = 0;

    size_t total() const { return objects.size() + events.size() + bestShots.size() + unknown; }
};

inline std::vector<AttributeValue> readAttributes(const qo::sdk::analytics::IMetadata& metadata) {
    std::vector<AttributeValue> attributes;
    for (int32_t i = 0; i < metadata.attributeCount(); ++i) {
        const Ptr<const qo::sdk::IAttribute> attribute(metadata.getAttribute(i));
        if (!attribute)
            continue;
        attributes.push_back({attribute->name(), attribute->value(),
                              static_cast<int>(attribute->type()), attribute->confidence()});
    }
    return attributes;
}

inline Delivery readDelivery(const std::vector<DeliveredPacket>& packets) {
    using namespace qo::sdk::analytics;
    using qo::sdk::queryInterfacePtr;
    Delivery delivery;
    for (const auto& packet : packets) {
        if (const auto objects = queryInterfacePtr<IObjectMetadataPacket>(packet)) {
            ObjectPacket read{objects->timestampUs(), objects->durationUs(), {}};
            for (int32_t i = 0; i < objects->count(); ++i) {
                const Ptr<const IMetadata> item(objects->getAt(i));
                const auto object = queryInterfacePtr<const IObjectMetadata>(item.get());
                if (!object)
                    continue;
                ObjectItem value;
                value.typeId = object->typeId();
                object->getTrackId(&value.trackId);
                object->getBoundingBox(&value.box);
                value.attributes = readAttributes(*object);
                read.items.push_back(std::move(value));
            }
            delivery.objects.push_back(std::move(read));
        } else if (const auto events = queryInterfacePtr<IEventMetadataPacket>(packet)) {
            EventPacket read{events->timestampUs(), events->durationUs(), {}};
            for (int32_t i = 0; i < events->count(); ++i) {
                const Ptr<const IMetadata> item(events->getAt(i));
                const auto event = queryInterfacePtr<const IEventMetadata>(item.get());
                if (!event)
                    continue;
                EventItem value;
                value.typeId = event->typeId();
                value.caption = event->caption();
                value.description = event->description();
                value.active = event->isActive();
                event->getTrackId(&value.trackId);
                read.items.push_back(std::move(value));
            }
            delivery.events.push_back(std::move(read));
        } else if (const auto shot = queryInterfacePtr<IObjectTrackBestShotPacket>(packet)) {
            BestShot value;
            shot->getTrackId(&value.trackId);
            value.timestampUs = shot->timestampUs();
            shot->getBoundingBox(&value.box);
            value.imageUrl = shot->imageUrl();
            delivery.bestShots.push_back(std::move(value));
        } else {
            ++delivery.unknown;
        }
    }
    return delivery;
}

}  // namespace lumo_test
