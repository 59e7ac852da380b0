// MetadataPayloader: cuts the camera's metadata documents into RTP packets for the metadata track
// of its RTSP stream. A document goes out over as many packets as the payload limit needs, the
// marker bit on its last one, sequence numbers running on from document to document. The RTP
// timestamp is the caller's, so that the metadata and the video share one clock.
//
// For tests of a client's reassembly it can misbehave on purpose: lose every Nth packet (its
// sequence number spent, so the client sees the gap), never set the marker bit, or send the
// packets of each pair swapped.
//
// Threading: not thread-safe; one owner builds all packets of a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumo_camera {

enum class MetadataFault { none, noMarker, reorder };

struct MetadataPayloadOptions {
    uint8_t payloadType = 107;
    uint32_t ssrc = 0x4c554d4f;
    uint16_t firstSequence = 0;
    /** Bytes of document per packet, the RTP header not counted. */
    size_t maxPayload = 1400;
    /** Every Nth packet built is lost; 0 loses none. */
    unsigned dropEvery = 0;
    MetadataFault fault = MetadataFault::none;
};

using RtpPacket = std::vector<uint8_t>;

/** The RTP timestamp (90 kHz) of a stream time in nanoseconds, counted from `base`. */
uint32_t rtpTimestamp90k(uint64_t timeNs, uint32_t base);

class MetadataPayloader {
public:
    static constexpr size_t kHeaderSize = 12;

    explicit MetadataPayloader(MetadataPayloadOptions options = {});

    /** The packets to send for `document`, in sending order; empty documents send nothing. */
    std::vector<RtpPacket> packetize(const std::string& document, uint32_t timestamp);

    /** Packets built so far, the lost ones included. */
    uint64_t packetsBuilt() const { return m_built; }
    uint64_t packetsDropped() const { return m_dropped; }

private:
    RtpPacket build(const char* data, size_t size, bool marker, uint32_t timestamp);

    const MetadataPayloadOptions m_options;
    uint16_t m_sequence;
    uint64_t m_built = 0;
    uint64_t m_dropped = 0;
    RtpPacket m_held;  // reorder: the first of a pair, sent after the second
    bool m_holding = false;
};

}  // namespace lumo_camera
