#include "report/packet_printer.h"

#include <cstdio>
#include <sstream>

#include <nlohmann/json.hpp>

#include "qo/kit/utils.h"
#include "qo/sdk/helpers/uuid_helper.h"

namespace lumo::host {

namespace {

using qo::sdk::analytics::Rect;
using Item = PacketRecord::Item;

std::string quoted(const std::string& s) {
    return qo::kit::utils::toString(s);
}

void appendBox(std::ostringstream& line, const std::optional<Rect>& box) {
    if (!box)
        return;
    char buffer[96];
    std::snprintf(buffer, sizeof(buffer), " box=%.3f,%.3f,%.3f,%.3f", box->x, box->y, box->width,
                  box->height);
    line << buffer;
}

void appendAttributes(std::ostringstream& line, const std::vector<PacketRecord::Attribute>& list) {
    if (list.empty())
        return;
    line << " {";
    for (size_t i = 0; i < list.size(); ++i) {
        line << (i > 0 ? ", " : "");
        if (list[i])
            line << list[i]->first << ": " << list[i]->second;
        else
            line << "(null)";
    }
    line << "}";
}

void appendItem(std::ostringstream& line, const Item& item) {
    if (!item.present) {
        line << "(null)";
        return;
    }
    line << (item.typeId.empty() ? "(no type)" : item.typeId);
    if (!item.subtype.empty())
        line << " subtype=" << quoted(item.subtype);
    if (item.hasTrackId)
        line << " track=" << shortTrackId(item.trackId);
    appendBox(line, item.box);
    if (item.isEvent) {
        line << (item.active ? " active" : " inactive") << " caption=" << quoted(item.caption)
             << " description=" << quoted(item.description);
    }
    if (!item.key.empty())
        line << " key=" << quoted(item.key);
    if (item.confidence != 1.0F) {
        char buffer[32];
        std::snprintf(buffer, sizeof(buffer), " confidence=%.2f", item.confidence);
        line << buffer;
    }
    appendAttributes(line, item.attributes);
}

nlohmann::json itemJson(const Item& item) {
    if (!item.present)
        return nullptr;
    nlohmann::json json = {{"type", item.typeId}};
    if (!item.subtype.empty())
        json["subtype"] = item.subtype;
    if (item.hasTrackId)
        json["track"] = qo::sdk::UuidHelper::toStdString(
            item.trackId, qo::sdk::UuidHelper::FormatOptions::hyphens);
    if (item.box)
        json["box"] = {item.box->x, item.box->y, item.box->width, item.box->height};
    if (item.isEvent) {
        json["active"] = item.active;
        json["caption"] = item.caption;
        json["description"] = item.description;
    }
    if (!item.key.empty())
        json["key"] = item.key;
    if (item.confidence != 1.0F)
        json["confidence"] = item.confidence;
    if (!item.attributes.empty()) {
        json["attributes"] = nlohmann::json::object();
        for (const auto& attribute : item.attributes) {
            if (attribute)
                json["attributes"][attribute->first] = attribute->second;
        }
    }
    return json;
}

}  // namespace

std::string formatPacketLine(const qo::sdk::analytics::IMetadataPacket* packet) {
    if (!packet)
        return "(null packet)";
    return formatPacketLine(readPacket(packet));
}

std::string formatPacketLine(const PacketRecord& record) {
    std::ostringstream line;
    line << packetKindName(record.kind) << " t=" << record.timestampUs;
    if (record.kind == PacketKind::bestShot) {
        const Item& shot = record.bestShot;
        if (shot.hasTrackId)
            line << " track=" << shortTrackId(shot.trackId);
        appendBox(line, shot.box);
        if (!record.imageUrl.empty())
            line << " url=" << quoted(record.imageUrl);
        if (record.imageDataSize > 0) {
            line << " image=" << record.imageDataSize << " bytes";
            if (!record.imageDataFormat.empty())
                line << " " << quoted(record.imageDataFormat);
        }
        appendAttributes(line, shot.attributes);
    } else if (record.compound) {
        line << " dur=" << record.durationUs << ":";
        if (record.items.empty())
            line << " (empty)";
        for (size_t i = 0; i < record.items.size(); ++i) {
            line << (i > 0 ? "; " : " ");
            appendItem(line, record.items[i]);
        }
    }
    return line.str();
}

std::string formatPacketJson(const PacketRecord& record) {
    nlohmann::json json = {{"kind", packetKindName(record.kind)}, {"t", record.timestampUs}};
    if (record.kind == PacketKind::bestShot) {
        json.update(itemJson(record.bestShot));
        json.erase("type");
        if (!record.imageUrl.empty())
            json["url"] = record.imageUrl;
        if (record.imageDataSize > 0) {
            json["imageBytes"] = record.imageDataSize;
            json["imageFormat"] = record.imageDataFormat;
        }
    } else if (record.compound) {
        json["dur"] = record.durationUs;
        json["items"] = nlohmann::json::array();
        for (const Item& item : record.items)
            json["items"].push_back(itemJson(item));
    }
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string shortTrackId(const qo::sdk::Uuid& trackId) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    for (size_t i = 0; i < 4; ++i) {
        digits += kDigits[trackId.bytes[i] >> 4];
        digits += kDigits[trackId.bytes[i] & 0x0F];
    }
    return digits;
}

}  // namespace lumo::host
