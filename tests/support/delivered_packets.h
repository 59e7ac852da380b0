// Delivered packets, one line each, so that assertions read like them. Tracks are numbered in
// order of first appearance ("#-" is the null id); a box shows unless it was never set. Only the
// unusual shows: a duration other than 1 us, an inactive event, an odd attribute type or a
// confidence other than 1. One thread each.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "qo/sdk/analytics/i_event_metadata_packet.h"
#include "qo/sdk/analytics/i_object_metadata_packet.h"
#include "qo/sdk/analytics/i_object_track_best_shot_packet.h"
#include "qo/sdk/ptr.h"

namespace lumo_test {

using qo::sdk::Ptr;
using qo::sdk::Uuid;
using qo::sdk::analytics::Rect;
using DeliveredPacket = Ptr<qo::sdk::analytics::IMetadataPacket>;

class PacketText {
public:
    std::string operator()(const std::vector<DeliveredPacket>& packets) {
        using namespace qo::sdk::analytics;
        using qo::sdk::queryInterfacePtr;
        std::string text;
        for (const auto& packet : packets) {
            text += text.empty() ? "" : "\n";
            if (const auto objects = queryInterfacePtr<IObjectMetadataPacket>(packet)) {
                text += "objects" + items<IObjectMetadata>(*objects, [](const auto& object) {
                            return boxText(object) + attributes(object);
                        });
            } else if (const auto events = queryInterfacePtr<IEventMetadataPacket>(packet)) {
                text += "events" + items<IEventMetadata>(*events, [](const auto& event) {
                            return " \"" + std::string(event.caption()) + "\" \"" +
                                   event.description() + "\"" +
                                   (event.isActive() ? "" : " inactive");
                        });
            } else if (const auto shot = queryInterfacePtr<IObjectTrackBestShotPacket>(packet)) {
                text += "shot t=" + std::to_string(shot->timestampUs()) + " " + track(*shot) +
                        boxText(*shot) + " " + shot->imageUrl() + attributes(*shot);
            } else {
                text += "unknown";
            }
        }
        return text;
    }

private:
    template <typename Item, typename Packet, typename Describe>
    std::string items(const Packet& packet, Describe describe) {
        const int64_t duration = packet.durationUs();
        std::string text = " t=" + std::to_string(packet.timestampUs()) +
                           (duration == 1 ? "" : " d=" + std::to_string(duration)) + ":";
        for (int32_t i = 0; i < packet.count(); ++i) {
            const Ptr<const qo::sdk::analytics::IMetadata> item(packet.getAt(i));
            const auto typed = qo::sdk::queryInterfacePtr<const Item>(item.get());
            const std::string type = typed->typeId();
            text += (i ? "; " : " ") + type.substr(type.rfind("qo.lumo.", 0) == 0 ? 8 : 0) +
                    track(*typed) + describe(*typed);
        }
        return text;
    }
    template <typename T>
    static std::string boxText(const T& boxed) {
        Rect box;
        boxed.getBoundingBox(&box);
        if (box == Rect())  // Never set; a box at the origin of size 0 does show.
            return "";
        char text[96];
        std::snprintf(text, sizeof(text), " [%g,%g,%g,%g]", box.x, box.y, box.width, box.height);
        return text;
    }
    template <typename T>
    static std::string attributes(const T& metadata) {
        using Type = qo::sdk::IAttribute::Type;
        std::string colour, others;
        for (int32_t i = 0; i < metadata.attributeCount(); ++i) {
            const Ptr<const qo::sdk::IAttribute> a(metadata.getAttribute(i));
            const std::string name = a->name();
            const Type usual = name == "qo.sys.color" ? Type::color : Type::undefined;
            const std::string odd =
                (a->type() == usual ? "" : " (type " + std::to_string(int(a->type())) + ")") +
                (a->confidence() == 1.0F ? "" : " (" + std::to_string(a->confidence()) + ")");
            if (usual == Type::color && odd.empty())
                colour = " " + std::string(a->value());
            else
                others += (others.empty() ? "" : ", ") + name + "=" + a->value() + odd;
        }
        return colour + (others.empty() ? "" : " {" + others + "}");
    }
    template <typename T>
    std::string track(const T& tracked) {
        Uuid id;
        tracked.getTrackId(&id);
        if (id.isNull())
            return "#-";
        return "#" + std::to_string(m_tracks.emplace(id, m_tracks.size() + 1).first->second);
    }

    std::map<Uuid, size_t> m_tracks;
};

}  // namespace lumo_test
