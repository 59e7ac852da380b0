// RtpPacket: one RTP packet read from the wire, its fixed header fields and where its payload
// lies once the contributing sources, the header extension and the padding are stepped over.
//
// parseRtpPacket() checks every length the header claims against the bytes at hand and refuses a
// packet that lies about them, so nothing downstream reads past the buffer the network gave.
//
// Threading: a free function without state; a packet is a plain value that points into the
// caller's buffer and is valid as long as that buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumo::host::live {

struct RtpPacket {
    uint8_t payloadType = 0;
    bool marker = false;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    const uint8_t* payload = nullptr;
    size_t payloadSize = 0;
};

constexpr size_t kRtpHeaderSize = 12;

/** Nothing for a packet that is not version 2 or whose CSRC list, extension or padding do not fit
 * in `size` bytes. */
std::optional<RtpPacket> parseRtpPacket(const uint8_t* data, size_t size);

}  // namespace lumo::host::live
