// The metadata track's packets: documents cut at the payload limit with the marker on the last
// piece, sequence numbers running on across documents, the shared 90 kHz clock, and the faults
// that tests of a client's reassembly ask for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtsp/metadata_payloader.h"

namespace lumo_camera {
namespace {

struct Header {
    bool marker;
    int payloadType;
    uint16_t sequence;
    uint32_t timestamp;
    uint32_t ssrc;
};

Header headerOf(const RtpPacket& p) {
    EXPECT_GE(p.size(), MetadataPayloader::kHeaderSize);
    EXPECT_EQ(p[0], 0x80);  // version 2, nothing else
    return {(p[1] & 0x80) != 0, p[1] & 0x7f, uint16_t(p[2] << 8 | p[3]),
            uint32_t(p[4]) << 24 | uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7],
            uint32_t(p[8]) << 24 | uint32_t(p[9]) << 16 | uint32_t(p[10]) << 8 | p[11]};
}

std::string payloadOf(const RtpPacket& p) {
    return std::string(p.begin() + MetadataPayloader::kHeaderSize, p.end());
}

// A document of 100 tracked objects, as a crowded scene sends.
std::string crowdedDocument() {
    std::string xml = "<?xml version=\"1.0\"?><tt:MetadataStream><tt:VideoAnalytics><tt:Frame>";
    for (int id = 0; id < 100; ++id) {
        xml += "<tt:Object ObjectId=\"" + std::to_string(id) +
               "\"><tt:Appearance><tt:Shape><tt:BoundingBox left=\"10\" top=\"20\" right=\"30\" "
               "bottom=\"40\"/></tt:Shape><tt:Class><tt:Type Likelihood=\"0.9\">Human</tt:Type>"
               "</tt:Class></tt:Appearance></tt:Object>";
    }
    return xml + "</tt:Frame></tt:VideoAnalytics></tt:MetadataStream>";
}

TEST(MetadataPayloaderTest, CrowdedDocumentSpansPacketsWithTheMarkerOnItsLastOnly) {
    MetadataPayloadOptions options;
    options.firstSequence = 65534;  // the sequence wraps inside the document
    options.ssrc = 0x01020304;
    MetadataPayloader payloader(options);
    const std::string document = crowdedDocument();
    const auto packets = payloader.packetize(document, 0xfffffff0u);

    ASSERT_EQ(packets.size(), (document.size() + 1399) / 1400);
    ASSERT_GT(packets.size(), 5u);
    std::string joined;
    for (size_t i = 0; i < packets.size(); ++i) {
        const Header h = headerOf(packets[i]);
        EXPECT_EQ(h.marker, i + 1 == packets.size()) << "packet " << i;
        EXPECT_EQ(h.payloadType, 107);
        EXPECT_EQ(h.sequence, uint16_t(65534 + i));
        EXPECT_EQ(h.timestamp, 0xfffffff0u);
        EXPECT_EQ(h.ssrc, 0x01020304u);
        EXPECT_LE(packets[i].size(), MetadataPayloader::kHeaderSize + 1400);
        joined += payloadOf(packets[i]);
    }
    EXPECT_EQ(joined, document);

    // The next document goes on from the last sequence number, whole in one packet.
    const auto next = payloader.packetize("<doc/>", 7);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(headerOf(next[0]).sequence, uint16_t(65534 + packets.size()));
    EXPECT_TRUE(headerOf(next[0]).marker);
    EXPECT_EQ(payloadOf(next[0]), "<doc/>");
    EXPECT_TRUE(payloader.packetize("", 8).empty());
}

TEST(MetadataPayloaderTest, TimestampsCountNinetyKilohertzFromTheBaseAndWrap) {
    struct Case {
        uint64_t ns;
        uint32_t base;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 1000, 1000},
        {100'000'000, 0, 9000},                              // one frame at 10 per second
        {1'000'000'000, 5, 90'005},                          // one second
        {11'111, 0, 0},                                      // below one tick
        {1'000'000'000, 0xffff0000u, 0xffff0000u + 90'000},  // wraps past 2^32
        {86'400'000'000'000ULL * 400, 0, uint32_t(90'000ULL * 86'400 * 400)},  // 400 days
    };
    for (const Case& c : cases)
        EXPECT_EQ(rtpTimestamp90k(c.ns, c.base), c.expected) << c.ns << " ns from " << c.base;
}

// Sequence numbers seen by a receiver over `documents` crowded documents.
std::vector<Header> send(MetadataPayloadOptions options, int documents, uint64_t* built = nullptr) {
    MetadataPayloader payloader(options);
    const std::string document = crowdedDocument();
    std::vector<Header> seen;
    for (int i = 0; i < documents; ++i) {
        for (const RtpPacket& p : payloader.packetize(document, uint32_t(i) * 9000))
            seen.push_back(headerOf(p));
    }
    if (built != nullptr)
        *built = payloader.packetsBuilt();
    return seen;
}

TEST(MetadataPayloaderTest, DroppingEveryNthPacketLeavesExactlyThoseSequenceNumbersOut) {
    MetadataPayloadOptions options;
    options.dropEvery = 50;
    uint64_t built = 0;
    const auto seen = send(options, 40, &built);
    ASSERT_GT(built, 150u);
    EXPECT_EQ(seen.size(), built - built / 50);
    uint16_t expected = 0;
    for (const Header& h : seen) {
        if ((expected + 1) % 50 == 0)
            ++expected;  // the 50th, 100th, ... packet built never left
        EXPECT_EQ(h.sequence, expected);
        expected = uint16_t(h.sequence + 1);
    }
}

TEST(MetadataPayloaderTest, HostileFaultsLoseTheMarkerOrSwapPairs) {
    MetadataPayloadOptions options;
    options.fault = MetadataFault::noMarker;
    for (const Header& h : send(options, 5))
        EXPECT_FALSE(h.marker);

    options.fault = MetadataFault::reorder;
    const auto seen = send(options, 5);
    ASSERT_GE(seen.size(), 10u);
    for (size_t i = 0; i + 1 < seen.size(); i += 2) {
        EXPECT_EQ(seen[i].sequence, i + 1);
        EXPECT_EQ(seen[i + 1].sequence, i);
    }
}

}  // namespace
}  // namespace lumo_camera
