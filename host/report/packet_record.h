// PacketRecord: what a metadata packet the plugin delivered holds, copied out of the plugin's
// objects into plain values, so that printing, JSON rendering and the demo's tallies read one
// record instead of querying the packet's interfaces each.
//
// Threading: readPacket() only reads the packet and keeps no reference; records are plain values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qo/sdk/analytics/i_metadata_packet.h"
#include "qo/sdk/analytics/rect.h"
#include "qo/sdk/uuid.h"

namespace lumo::host {

enum class PacketKind { object, bestShot, event, unknown };

PacketKind packetKind(const qo::sdk::analytics::IMetadataPacket* packet);

/** "object", "best-shot", "event", "unknown": the first word of a packet line. */
const char* packetKindName(PacketKind kind);

struct PacketRecord {
    /** A name and value; nothing for an attribute slot the packet left empty. */
    using Attribute = std::optional<std::pair<std::string, std::string>>;

    struct Item {
        bool present = true;  // False for an empty slot of the packet.
        std::string typeId;
        std::string subtype;
        bool hasTrackId = false;
        qo::sdk::Uuid trackId;
        std::optional<qo::sdk::analytics::Rect> box;  // Objects with a box set.
        float confidence = 1.0F;
        std::vector<Attribute> attributes;
        // Events:
        bool isEvent = false;
        bool active = false;
        std::string caption;
        std::string description;
        std::string key;

        /** The value of the first attribute of that name, or "". */
        std::string attribute(const std::string& name) const;
    };

    PacketKind kind = PacketKind::unknown;
    int64_t timestampUs = 0;
    int64_t durationUs = 0;
    /** Object and event packets. */
    bool compound = false;
    std::vector<Item> items;
    /** Best shots: the track, its box, its image and its attributes are in `bestShot`. */
    Item bestShot;
    std::string imageUrl;
    int32_t imageDataSize = 0;
    std::string imageDataFormat;
};

/** Copies a packet's contents; a null packet gives a record of kind unknown. */
PacketRecord readPacket(const qo::sdk::analytics::IMetadataPacket* packet);

}  // namespace lumo::host
