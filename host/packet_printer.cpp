#include "host/packet_printer.h"

#include <cstdio>
#include <sstream>

#include "qo/kit/utils.h"
#include "qo/sdk/analytics/i_event_metadata.h"
#include "qo/sdk/analytics/i_event_metadata_packet.h"
#include "qo/sdk/analytics/i_object_metadata.h"
#include "qo/sdk/analytics/i_object_metadata_packet.h"
#include "qo/sdk/analytics/i_object_track_best_shot_packet.h"
#include "qo/sdk/ptr.h"

namespace lumo::host {

namespace {

using qo::sdk::IAttribute;
using qo::sdk::Ptr;
using qo::sdk::queryInterfacePtr;
using qo::sdk::Uuid;
using qo::sdk::analytics::ICompoundMetadataPacket;
using qo::sdk::analytics::IEventMetadata;
using qo::sdk::analytics::IEventMetadata0;
using qo::sdk::analytics::IEventMetadata1;
using qo::sdk::analytics::IEventMetadataPacket0;
using qo::sdk::analytics::IMetadata;
using qo::sdk::analytics::IMetadataPacket;
using qo::sdk::analytics::IObjectMetadata;
using qo::sdk::analytics::IObjectMetadataPacket0;
using qo::sdk::analytics::IObjectTrackBestShotPacket0;
using qo::sdk::analytics::IObjectTrackBestShotPacket1;
using qo::sdk::analytics::Rect;

std::string text(const char* s) {
    return s ? s : "";
}

std::string quoted(const char* s) {
    return qo::kit::utils::toString(text(s));
}

std::string typeOf(const IMetadata& item) {
    const std::string typeId = text(item.typeId());
    return typeId.empty() ? "(no type)" : typeId;
}

void appendBox(std::ostringstream& line, const Rect& box) {
    if (box == Rect())
        return;
    char buffer[96];
    std::snprintf(buffer, sizeof(buffer), " box=%.3f,%.3f,%.3f,%.3f", box.x, box.y, box.width,
                  box.height);
    line << buffer;
}

void appendConfidence(std::ostringstream& line, float confidence) {
    if (confidence == 1.0F)
        return;
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), " confidence=%.2f", confidence);
    line << buffer;
}

// Reads attributes through any object that has getAttribute() and attributeCount().
template <class WithAttributes>
void appendAttributes(std::ostringstream& line, const WithAttributes& object) {
    const int32_t count = object.attributeCount();
    if (count <= 0)
        return;
    line << " {";
    for (int32_t i = 0; i < count; ++i) {
        const Ptr<const IAttribute> attribute(object.getAttribute(i));
        if (i > 0)
            line << ", ";
        if (!attribute) {
            line << "(null)";
            continue;
        }
        line << text(attribute->name()) << ": " << text(attribute->value());
    }
    line << "}";
}

void appendObjectItem(std::ostringstream& line, const IMetadata& item) {
    line << typeOf(item);
    if (const auto object = queryInterfacePtr<const IObjectMetadata>(&item)) {
        const char* subtype = object->subtype();
        if (subtype && *subtype)
            line << " subtype=" << quoted(subtype);
        Uuid trackId;
        object->getTrackId(&trackId);
        line << " track=" << shortTrackId(trackId);
        Rect box;
        object->getBoundingBox(&box);
        appendBox(line, box);
    }
    appendConfidence(line, item.confidence());
    appendAttributes(line, item);
}

void appendEventItem(std::ostringstream& line, const IMetadata& item) {
    line << typeOf(item);
    if (const auto event1 = queryInterfacePtr<const IEventMetadata1>(&item)) {
        Uuid trackId;
        event1->getTrackId(&trackId);
        line << " track=" << shortTrackId(trackId);
    }
    if (const auto event = queryInterfacePtr<const IEventMetadata0>(&item)) {
        line << (event->isActive() ? " active" : " inactive");
        line << " caption=" << quoted(event->caption());
        line << " description=" << quoted(event->description());
    }
    if (const auto event2 = queryInterfacePtr<const IEventMetadata>(&item)) {
        const char* key = event2->key();
        if (key && *key)
            line << " key=" << quoted(key);
    }
    appendConfidence(line, item.confidence());
    appendAttributes(line, item);
}

void appendItems(std::ostringstream& line, const ICompoundMetadataPacket& packet, PacketKind kind) {
    line << " dur=" << packet.durationUs() << ":";
    const int32_t count = packet.count();
    if (count <= 0) {
        line << " (empty)";
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        line << (i > 0 ? "; " : " ");
        const Ptr<const IMetadata> item(packet.getAt(i));
        if (!item) {
            line << "(null)";
            continue;
        }
        if (kind == PacketKind::event)
            appendEventItem(line, *item);
        else
            appendObjectItem(line, *item);
    }
}

void appendBestShot(std::ostringstream& line, const IObjectTrackBestShotPacket0& packet) {
    Uuid trackId;
    packet.getTrackId(&trackId);
    line << " track=" << shortTrackId(trackId);
    Rect box;
    packet.getBoundingBox(&box);
    appendBox(line, box);
    const char* url = packet.imageUrl();
    if (url && *url)
        line << " url=" << quoted(url);
    if (packet.imageDataSize() > 0) {
        line << " image=" << packet.imageDataSize() << " bytes";
        const char* format = packet.imageDataFormat();
        if (format && *format)
            line << " " << quoted(format);
    }
}

}  // namespace

PacketKind packetKind(const IMetadataPacket* packet) {
    if (!packet)
        return PacketKind::unknown;
    // The unversioned ids, which every version of these packets answers.
    if (queryInterfacePtr<const IObjectMetadataPacket0>(packet))
        return PacketKind::object;
    if (queryInterfacePtr<const IEventMetadataPacket0>(packet))
        return PacketKind::event;
    if (queryInterfacePtr<const IObjectTrackBestShotPacket0>(packet))
        return PacketKind::bestShot;
    return PacketKind::unknown;
}

const char* packetKindName(PacketKind kind) {
    switch (kind) {
        case PacketKind::object:
            return "object";
        case PacketKind::bestShot:
            return "best-shot";
        case PacketKind::event:
            return "event";
        case PacketKind::unknown:
            break;
    }
    return "unknown";
}

std::string formatPacketLine(const IMetadataPacket* packet) {
    if (!packet)
        return "(null packet)";
    const PacketKind kind = packetKind(packet);
    std::ostringstream line;
    line << packetKindName(kind) << " t=" << packet->timestampUs();
    if (kind == PacketKind::bestShot) {
        if (const auto bestShot = queryInterfacePtr<const IObjectTrackBestShotPacket0>(packet))
            appendBestShot(line, *bestShot);
        if (const auto withAttributes =
                queryInterfacePtr<const IObjectTrackBestShotPacket1>(packet))
            appendAttributes(line, *withAttributes);
    } else if (const auto compound = queryInterfacePtr<const ICompoundMetadataPacket>(packet)) {
        appendItems(line, *compound, kind);
    }
    return line.str();
}

std::string shortTrackId(const Uuid& trackId) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    for (size_t i = 0; i < 4; ++i) {
        digits += kDigits[trackId.bytes[i] >> 4];
        digits += kDigits[trackId.bytes[i] & 0x0F];
    }
    return digits;
}

}  // namespace lumo::host
