// DocumentReassembler: cuts a metadata track's RTP packets back into the documents the camera
// sent, one document per run of packets ending with the marker bit.
//
// A document is delivered whole or not at all. A sequence gap breaks the document it falls in:
// that document is discarded and counted as lost in transport, and so is every document seen
// only in part after the gap. A packet after a gap, or the first of a source, starts a document
// only when it proves it (it opens with an XML declaration or the metadata stream's root, which no
// document holds past its first bytes; or, after a gap, exactly one packet went missing, the
// marker of the document in hand, and the timestamp moved on); otherwise the packets up to the
// next marker are dropped. Late and repeated packets (out of order past the
// jitter buffer) are dropped: the gap they left has already been counted. A document that would
// grow past the plugin's bound is discarded and counted as oversized, and a new RTP timestamp
// without a marker ends the unterminated document in hand, so a track that never sets the marker
// costs at most one bound of memory.
//
// Threading: none of its own; one instance per track, driven by one thread at a time (the
// track's streaming thread). counters() may be read by that thread only; copy them out to share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "live/rtp_packet.h"

namespace lumo::host::live {

struct ReassembledDocument {
    std::string bytes;
    uint32_t rtpTimestamp = 0;
    uint32_t ssrc = 0;
};

struct ReassemblyCounters {
    uint64_t packets = 0;
    uint64_t delivered = 0;
    /** Documents broken by a sequence gap; at least one for every gap between documents. */
    uint64_t lostInTransport = 0;
    uint64_t oversized = 0;
    /** Documents a new timestamp ended before their marker came. */
    uint64_t unterminated = 0;
    /** Packets refused by parseRtpPacket(). */
    uint64_t malformedPackets = 0;
};

class DocumentReassembler {
public:
    /** `maxDocumentSize`: the largest document delivered, in bytes. */
    explicit DocumentReassembler(size_t maxDocumentSize);

    /** Takes the next packet of the track; returns the document it completes, if any. */
    std::optional<ReassembledDocument> push(const RtpPacket& packet);
    /** The same for a packet still in wire form; a malformed one is counted and dropped. */
    std::optional<ReassembledDocument> push(const uint8_t* data, size_t size);

    /** The track ended or restarts: a document in hand is lost and the next packet starts anew. */
    void reset();

    const ReassemblyCounters& counters() const { return m_counters; }
    /** Bytes held for the document in hand. */
    size_t bufferedBytes() const { return m_buffer.size(); }

private:
    enum class Mode { betweenDocuments, assembling, discarding };

    void afterGap(const RtpPacket& packet, uint16_t missing);
    void abandon();
    std::optional<ReassembledDocument> take(const RtpPacket& packet);

    const size_t m_maxDocumentSize;
    Mode m_mode = Mode::betweenDocuments;
    bool m_started = false;
    uint16_t m_lastSequence = 0;
    uint32_t m_ssrc = 0;
    /** Timestamp of the document being assembled or discarded. */
    uint32_t m_timestamp = 0;
    std::string m_buffer;
    ReassemblyCounters m_counters;
};

}  // namespace lumo::host::live
