#include "report/packet_record.h"

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

std::optional<Rect> boxOrNothing(const Rect& box) {
    return box == Rect() ? std::nullopt : std::optional<Rect>(box);
}

// Reads attributes through any object that has getAttribute() and attributeCount().
template <class WithAttributes>
std::vector<PacketRecord::Attribute> readAttributes(const WithAttributes& object) {
    std::vector<PacketRecord::Attribute> attributes;
    for (int32_t i = 0; i < object.attributeCount(); ++i) {
        const Ptr<const IAttribute> attribute(object.getAttribute(i));
        if (attribute)
            attributes.emplace_back(std::pair(text(attribute->name()), text(attribute->value())));
        else
            attributes.emplace_back();
    }
    return attributes;
}

PacketRecord::Item readItem(const IMetadata& metadata, PacketKind kind) {
    PacketRecord::Item item;
    item.typeId = text(metadata.typeId());
    item.confidence = metadata.confidence();
    item.attributes = readAttributes(metadata);
    if (kind != PacketKind::event) {
        if (const auto object = queryInterfacePtr<const IObjectMetadata>(&metadata)) {
            item.subtype = text(object->subtype());
            item.hasTrackId = true;
            object->getTrackId(&item.trackId);
            Rect box;
            object->getBoundingBox(&box);
            item.box = boxOrNothing(box);
        }
        return item;
    }
    if (const auto event = queryInterfacePtr<const IEventMetadata1>(&metadata)) {
        item.hasTrackId = true;
        event->getTrackId(&item.trackId);
    }
    if (const auto event = queryInterfacePtr<const IEventMetadata0>(&metadata)) {
        item.isEvent = true;
        item.active = event->isActive();
        item.caption = text(event->caption());
        item.description = text(event->description());
    }
    if (const auto event = queryInterfacePtr<const IEventMetadata>(&metadata))
        item.key = text(event->key());
    return item;
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

std::string PacketRecord::Item::attribute(const std::string& name) const {
    for (const Attribute& attribute : attributes) {
        if (attribute && attribute->first == name)
            return attribute->second;
    }
    return "";
}

PacketRecord readPacket(const IMetadataPacket* packet) {
    PacketRecord record;
    if (!packet)
        return record;
    record.kind = packetKind(packet);
    record.timestampUs = packet->timestampUs();
    if (record.kind == PacketKind::bestShot) {
        if (const auto bestShot = queryInterfacePtr<const IObjectTrackBestShotPacket0>(packet)) {
            record.bestShot.hasTrackId = true;
            bestShot->getTrackId(&record.bestShot.trackId);
            Rect box;
            bestShot->getBoundingBox(&box);
            record.bestShot.box = boxOrNothing(box);
            record.imageUrl = text(bestShot->imageUrl());
            record.imageDataSize = bestShot->imageDataSize();
            record.imageDataFormat = text(bestShot->imageDataFormat());
        }
        if (const auto withAttributes =
                queryInterfacePtr<const IObjectTrackBestShotPacket1>(packet)) {
            record.bestShot.attributes = readAttributes(*withAttributes);
        }
    } else if (const auto compound = queryInterfacePtr<const ICompoundMetadataPacket>(packet)) {
        record.compound = true;
        record.durationUs = compound->durationUs();
        for (int32_t i = 0; i < compound->count(); ++i) {
            const Ptr<const IMetadata> item(compound->getAt(i));
            if (item)
                record.items.push_back(readItem(*item, record.kind));
            else
                record.items.emplace_back().present = false;
        }
    }
    return record;
}

}  // namespace lumo::host
