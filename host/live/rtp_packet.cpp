#include "live/rtp_packet.h"

namespace lumo::host::live {

namespace {

uint16_t read16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t read32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

std::optional<RtpPacket> parseRtpPacket(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kRtpHeaderSize || (data[0] >> 6) != 2)
        return std::nullopt;
    const bool padding = (data[0] & 0x20) != 0;
    const bool extension = (data[0] & 0x10) != 0;
    const size_t csrcCount = data[0] & 0x0F;

    RtpPacket packet;
    packet.marker = (data[1] & 0x80) != 0;
    packet.payloadType = data[1] & 0x7F;
    packet.sequence = read16(data + 2);
    packet.timestamp = read32(data + 4);
    packet.ssrc = read32(data + 8);

    size_t offset = kRtpHeaderSize + 4 * csrcCount;
    if (offset > size)
        return std::nullopt;
    if (extension) {
        if (size - offset < 4)
            return std::nullopt;
        const size_t words = read16(data + offset + 2);
        offset += 4;
        if ((size - offset) / 4 < words)
            return std::nullopt;
        offset += 4 * words;
    }
    size_t end = size;
    if (padding) {
        // The count includes its own byte, so zero or more than the payload is a lie.
        const size_t count = data[size - 1];
        if (count == 0 || count > size - offset)
            return std::nullopt;
        end -= count;
    }
    packet.payload = data + offset;
    packet.payloadSize = end - offset;
    return packet;
}

}  // namespace lumo::host::live
