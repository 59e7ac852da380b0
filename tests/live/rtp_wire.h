// RTP packets in wire form for the live tests: the fixed header and a payload, with optional
// contributing sources, header extension and padding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace live_test {

struct WirePacket {
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    bool marker = false;
    std::string payload;
    uint32_t ssrc = 0x1234;
    uint8_t payloadType = 107;
    uint8_t csrcCount = 0;
    uint16_t extensionWords = 0;
    bool extension = false;
    uint8_t padding = 0;
};

inline std::vector<uint8_t> wireBytes(const WirePacket& p) {
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    };
    auto put32 = [&](uint32_t v) {
        put16(v >> 16);
        put16(v & 0xFFFF);
    };
    out.push_back(static_cast<uint8_t>(0x80 | (p.padding ? 0x20 : 0) | (p.extension ? 0x10 : 0) |
                                       (p.csrcCount & 0x0F)));
    out.push_back(static_cast<uint8_t>((p.marker ? 0x80 : 0) | (p.payloadType & 0x7F)));
    put16(p.sequence);
    put32(p.timestamp);
    put32(p.ssrc);
    for (int i = 0; i < p.csrcCount; ++i)
        put32(0xC0C0C000U + static_cast<uint32_t>(i));
    if (p.extension) {
        put16(0xABAC);
        put16(p.extensionWords);
        for (int i = 0; i < p.extensionWords; ++i)
            put32(0xEEEEEEEE);
    }
    out.insert(out.end(), p.payload.begin(), p.payload.end());
    for (int i = 1; i < p.padding; ++i)
        out.push_back(0);
    if (p.padding)
        out.push_back(p.padding);
    return out;
}

}  // namespace live_test
