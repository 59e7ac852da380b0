#include "live/document_reassembler.h"

#include <cstring>
#include <utility>

namespace lumo::host::live {

namespace {

// Whether the packet opens a document: an XML declaration, or the metadata stream's root element
// where the camera sends no declaration. Neither can appear past a document's first bytes.
bool opensDocument(const RtpPacket& packet) {
    static constexpr char kBom[] = "\xEF\xBB\xBF";
    static constexpr const char* kOpeners[] = {"<?xml", "<tt:MetaDataStream"};
    const auto* p = reinterpret_cast<const char*>(packet.payload);
    size_t size = packet.payloadSize;
    if (size >= 3 && std::memcmp(p, kBom, 3) == 0) {
        p += 3;
        size -= 3;
    }
    for (const char* opener : kOpeners) {
        const size_t length = std::strlen(opener);
        if (size >= length && std::memcmp(p, opener, length) == 0)
            return true;
    }
    return false;
}

}  // namespace

DocumentReassembler::DocumentReassembler(size_t maxDocumentSize)
    : m_maxDocumentSize(maxDocumentSize) {}

std::optional<ReassembledDocument> DocumentReassembler::push(const uint8_t* data, size_t size) {
    const auto packet = parseRtpPacket(data, size);
    if (!packet) {
        ++m_counters.malformedPackets;
        return std::nullopt;
    }
    return push(*packet);
}

std::optional<ReassembledDocument> DocumentReassembler::push(const RtpPacket& packet) {
    ++m_counters.packets;
    if (!m_started || packet.ssrc != m_ssrc) {
        // A new source numbers its packets afresh: nothing before it can be judged against them.
        // Joined in the middle of a document, wait for the next one.
        abandon();
        m_started = true;
        m_ssrc = packet.ssrc;
        if (!opensDocument(packet)) {
            m_mode = Mode::discarding;
            m_timestamp = packet.timestamp;
        }
    } else {
        const auto step = static_cast<uint16_t>(packet.sequence - m_lastSequence);
        if (step == 0 || step >= 0x8000)
            return std::nullopt;  // Repeated or late.
        if (step > 1)
            afterGap(packet, static_cast<uint16_t>(step - 1));
    }
    m_lastSequence = packet.sequence;
    return take(packet);
}

void DocumentReassembler::afterGap(const RtpPacket& packet, uint16_t missing) {
    const bool inDocument = m_mode != Mode::betweenDocuments;
    const bool sameDocument = inDocument && packet.timestamp == m_timestamp;
    if (m_mode == Mode::assembling) {
        ++m_counters.lostInTransport;
        m_buffer.clear();
    }
    if (sameDocument) {
        m_mode = Mode::discarding;  // Counted above, or already as oversized.
        return;
    }
    const bool onlyMarkerMissing = m_mode != Mode::betweenDocuments && missing == 1;
    if (!inDocument)
        ++m_counters.lostInTransport;  // The packets missing between two documents made one.
    if (opensDocument(packet) || onlyMarkerMissing) {
        m_mode = Mode::betweenDocuments;
        return;
    }
    // This packet's document lost its head.
    if (inDocument)
        ++m_counters.lostInTransport;
    m_mode = Mode::discarding;
    m_timestamp = packet.timestamp;
}

std::optional<ReassembledDocument> DocumentReassembler::take(const RtpPacket& packet) {
    if (m_mode != Mode::betweenDocuments && packet.timestamp != m_timestamp) {
        // The document in hand never got its marker.
        if (m_mode == Mode::assembling)
            ++m_counters.unterminated;
        m_buffer.clear();
        m_mode = Mode::betweenDocuments;
    }
    if (m_mode == Mode::discarding) {
        if (packet.marker)
            m_mode = Mode::betweenDocuments;
        return std::nullopt;
    }
    if (m_mode == Mode::betweenDocuments) {
        m_mode = Mode::assembling;
        m_timestamp = packet.timestamp;
        m_buffer.clear();
    }
    if (packet.payloadSize > m_maxDocumentSize - m_buffer.size()) {
        ++m_counters.oversized;
        std::string().swap(m_buffer);
        m_mode = packet.marker ? Mode::betweenDocuments : Mode::discarding;
        return std::nullopt;
    }
    m_buffer.append(reinterpret_cast<const char*>(packet.payload), packet.payloadSize);
    if (!packet.marker)
        return std::nullopt;
    m_mode = Mode::betweenDocuments;
    if (m_buffer.empty())
        return std::nullopt;
    ++m_counters.delivered;
    ReassembledDocument document{std::move(m_buffer), m_timestamp, m_ssrc};
    m_buffer = std::string();
    return document;
}

void DocumentReassembler::abandon() {
    if (m_mode == Mode::assembling)
        ++m_counters.lostInTransport;
    std::string().swap(m_buffer);
    m_mode = Mode::betweenDocuments;
}

void DocumentReassembler::reset() {
    abandon();
    m_started = false;
}

}  // namespace lumo::host::live
