// Document reassembly over arbitrary packet runs: sequence steps (gaps, repeats, late packets,
// wraparound), markers, timestamps, source changes and sizes. Each payload carries a tag naming
// its packet, so every delivered document is checked to be a run of consecutive packets of one
// timestamp that ends at the marker packet which delivered it, and never more than the bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "live/document_reassembler.h"

namespace {

using lumo::host::live::DocumentReassembler;
using lumo::host::live::RtpPacket;

constexpr size_t kBound = 2048;
// Every payload opens with one of these, so the check knows where each packet's tag lies.
constexpr char kDeclaration[] = "<?xml";
constexpr char kPlain[] = "-----";

struct Tag {
    uint16_t sequence;
    uint32_t timestamp;
    uint16_t filler;
    uint8_t marker;
};
constexpr size_t kTagSize = 9;

void putTag(std::string& out, const Tag& t) {
    char b[kTagSize];
    std::memcpy(b, &t.sequence, 2);
    std::memcpy(b + 2, &t.timestamp, 4);
    std::memcpy(b + 6, &t.filler, 2);
    b[8] = static_cast<char>(t.marker);
    out.append(b, kTagSize);
    out.append(t.filler, 'f');
}

void check(bool ok) {
    if (!ok)
        std::abort();
}

void checkDocument(const std::string& doc, const RtpPacket& last) {
    check(!doc.empty() && doc.size() <= kBound);
    size_t at = 0;
    bool first = true;
    uint16_t expected = 0;
    Tag t{};
    while (at < doc.size()) {
        check(doc.size() - at >= 5 + kTagSize);
        check(doc.compare(at, 5, kDeclaration) == 0 || doc.compare(at, 5, kPlain) == 0);
        at += 5;
        std::memcpy(&t.sequence, doc.data() + at, 2);
        std::memcpy(&t.timestamp, doc.data() + at + 2, 4);
        std::memcpy(&t.filler, doc.data() + at + 6, 2);
        t.marker = static_cast<uint8_t>(doc[at + 8]);
        at += kTagSize;
        check(doc.size() - at >= t.filler);
        at += t.filler;
        check(first || t.sequence == expected);
        check(t.timestamp == last.timestamp);
        check(t.marker == (at == doc.size() ? 1 : 0));
        expected = static_cast<uint16_t>(t.sequence + 1);
        first = false;
    }
    check(t.sequence == last.sequence);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DocumentReassembler reassembler(kBound);
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 1;
    std::string payload;
    // Four bytes a packet: sequence step, flags, timestamp step, filler size.
    for (size_t i = 0; i + 4 <= size; i += 4) {
        const uint8_t step = data[i];
        const uint8_t flags = data[i + 1];
        sequence = static_cast<uint16_t>(sequence + (step >= 0xF0 ? -(step & 0x0F) : step) +
                                         ((flags & 0x40) ? 0x8000 : 0));
        timestamp += data[i + 2] & 0x03;
        if (flags & 0x20)
            ++ssrc;
        payload.clear();
        payload += (flags & 0x02) ? kDeclaration : kPlain;
        const bool marker = (flags & 0x01) != 0;
        putTag(payload, {sequence, timestamp, static_cast<uint16_t>(data[i + 3] * 4),
                         static_cast<uint8_t>(marker)});
        RtpPacket packet;
        packet.marker = marker;
        packet.sequence = sequence;
        packet.timestamp = timestamp;
        packet.ssrc = ssrc;
        packet.payload = reinterpret_cast<const uint8_t*>(payload.data());
        packet.payloadSize = payload.size();
        if (auto document = reassembler.push(packet)) {
            check(document->ssrc == ssrc);
            checkDocument(document->bytes, packet);
        }
        check(reassembler.bufferedBytes() <= kBound);
    }
    // Wire form too: whatever the bytes, nothing is read past them.
    reassembler.push(data, size);
    return 0;
}
