#include "metadata_payloader.h"

#include <algorithm>
#include <utility>

namespace lumo_camera {

uint32_t rtpTimestamp90k(uint64_t timeNs, uint32_t base) {
    // Split so that the product cannot overflow for any time a stream can run.
    const uint64_t ticks = timeNs / 1'000'000'000ULL * 90'000ULL +
                           timeNs % 1'000'000'000ULL * 90'000ULL / 1'000'000'000ULL;
    return static_cast<uint32_t>(base + ticks);
}

MetadataPayloader::MetadataPayloader(MetadataPayloadOptions options)
    : m_options(options), m_sequence(options.firstSequence) {}

RtpPacket MetadataPayloader::build(const char* data, size_t size, bool marker, uint32_t timestamp) {
    RtpPacket packet(kHeaderSize + size);
    packet[0] = 0x80;  // version 2, no padding, no extension, no contributors
    packet[1] = static_cast<uint8_t>((marker ? 0x80 : 0) | (m_options.payloadType & 0x7f));
    packet[2] = static_cast<uint8_t>(m_sequence >> 8);
    packet[3] = static_cast<uint8_t>(m_sequence);
    for (int i = 0; i < 4; ++i) {
        packet[4 + i] = static_cast<uint8_t>(timestamp >> (24 - 8 * i));
        packet[8 + i] = static_cast<uint8_t>(m_options.ssrc >> (24 - 8 * i));
    }
    std::copy(data, data + size, packet.begin() + kHeaderSize);
    ++m_sequence;
    return packet;
}

std::vector<RtpPacket> MetadataPayloader::packetize(const std::string& document,
                                                    uint32_t timestamp) {
    std::vector<RtpPacket> out;
    const size_t step = std::max<size_t>(m_options.maxPayload, 1);
    for (size_t at = 0; at < document.size(); at += step) {
        const size_t size = std::min(step, document.size() - at);
        const bool last = at + size == document.size();
        RtpPacket packet = build(document.data() + at, size,
                                 last && m_options.fault != MetadataFault::noMarker, timestamp);
        ++m_built;
        if (m_options.dropEvery != 0 && m_built % m_options.dropEvery == 0) {
            ++m_dropped;
            continue;
        }
        if (m_options.fault != MetadataFault::reorder) {
            out.push_back(std::move(packet));
        } else if (!m_holding) {
            m_held = std::move(packet);
            m_holding = true;
        } else {
            out.push_back(std::move(packet));
            out.push_back(std::move(m_held));
            m_holding = false;
        }
    }
    return out;
}

}  // namespace lumo_camera
