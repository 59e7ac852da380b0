#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "live/document_reassembler.h"
#include "live/rtp_wire.h"
#include "lumo/metadata.h"

namespace {

using live_test::WirePacket;
using lumo::host::live::DocumentReassembler;
using lumo::host::live::ReassemblyCounters;

constexpr bool M = true;

struct Expected {
    uint64_t delivered, lost, oversized, unterminated;
};

struct StreamCase {
    const char* name;
    std::vector<WirePacket> packets;
    std::vector<std::string> documents;
    Expected counters;
    size_t maxDocumentSize = 1 << 20;
};

// Payloads name their document and packet; "<?xml" opens a document where the reassembler must
// recognise a fresh start on its own (a source's first packet, a packet after a gap).
const StreamCase kStreams[] = {
    {"OnePacketDocument", {{1, 100, M, "<?xml a"}}, {"<?xml a"}, {1, 0, 0, 0}},
    {"DocumentAcrossPackets",
     {{7, 100, !M, "<?xml A1"}, {8, 100, !M, "A2"}, {9, 100, M, "A3"}},
     {"<?xml A1A2A3"},
     {1, 0, 0, 0}},
    {"GapInsideDocumentDiscardsOnlyIt",
     {{1, 100, !M, "<?xml A1"}, {3, 100, M, "A3"}, {4, 200, !M, "B1"}, {5, 200, M, "B2"}},
     {"B1B2"},
     {1, 1, 0, 0}},
    {"LostMarkerSparesNextDocument",
     {{1, 100, !M, "<?xml A1"}, {2, 100, !M, "A2"}, {4, 200, !M, "B1"}, {5, 200, M, "B2"}},
     {"B1B2"},
     {1, 1, 0, 0}},
    {"LostHeadDiscardsItsDocument",
     {{1, 100, M, "<?xml A1"}, {3, 200, !M, "B2"}, {4, 200, M, "B3"}, {5, 300, M, "C1"}},
     {"<?xml A1", "C1"},
     {2, 1, 0, 0}},
    {"LostWholeDocumentSparesDeclaredNext",
     {{1, 100, M, "<?xml A1"}, {3, 300, !M, "<?xml C1"}, {4, 300, M, "C2"}},
     {"<?xml A1", "<?xml C1C2"},
     {2, 1, 0, 0}},
    {"TwoPacketsLostAcrossDocumentsDiscardsBoth",
     {{1, 100, !M, "<?xml A1"}, {4, 200, !M, "B2"}, {5, 200, M, "B3"}, {6, 300, M, "C1"}},
     {"C1"},
     {1, 2, 0, 0}},
    {"SequenceWrapsAround",
     {{65534, 100, !M, "<?xml A1"}, {65535, 100, !M, "A2"}, {0, 100, M, "A3"}, {1, 200, M, "B1"}},
     {"<?xml A1A2A3", "B1"},
     {2, 0, 0, 0}},
    {"GapAcrossWraparound",
     {{65534, 100, !M, "<?xml A1"}, {0, 100, M, "A3"}, {1, 200, M, "B1"}},
     {"B1"},
     {1, 1, 0, 0}},
    {"LatePacketIsAGap",
     {{1, 100, !M, "<?xml A1"},
      {3, 100, !M, "A3"},
      {2, 100, !M, "A2"},
      {4, 100, M, "A4"},
      {5, 200, M, "B1"}},
     {"B1"},
     {1, 1, 0, 0}},
    {"RepeatedPacketIgnored",
     {{1, 100, !M, "<?xml A1"}, {1, 100, !M, "A1"}, {2, 100, M, "A2"}},
     {"<?xml A1A2"},
     {1, 0, 0, 0}},
    {"OversizedCountedNextDelivered",
     {{1, 100, !M, "<?xml 0123456789"}, {2, 100, M, "0123456789"}, {3, 200, M, "B1"}},
     {"B1"},
     {1, 0, 1, 0},
     16},
    {"DocumentOfExactlyTheBound",
     {{1, 100, !M, "<?xml 01"}, {2, 100, M, "89abcdef"}},
     {"<?xml 0189abcdef"},
     {1, 0, 0, 0},
     16},
    {"NewTimestampEndsUnterminatedDocument",
     {{1, 100, !M, "<?xml A1"}, {2, 200, M, "B1"}},
     {"B1"},
     {1, 0, 0, 1}},
    {"NewSourceStartsAfresh",
     {{1, 100, !M, "<?xml A1"}, {500, 900, M, "<?xml X1", 0x9999}},
     {"<?xml X1"},
     {1, 1, 0, 0}},
    {"JoinedMidDocumentWaitsForTheNext",
     {{1, 100, !M, "A2"}, {2, 100, M, "A3"}, {3, 200, M, "B1"}},
     {"B1"},
     {1, 0, 0, 0}},
    {"EmptyDocumentNotDelivered", {{1, 100, M, ""}, {2, 200, M, "B1"}}, {"B1"}, {1, 0, 0, 0}},
};

class Reassembly : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Reassembly, DeliversWholeDocumentsAndCountsTheRest) {
    const StreamCase& c = GetParam();
    DocumentReassembler reassembler(c.maxDocumentSize);
    std::vector<std::string> delivered;
    for (const WirePacket& p : c.packets) {
        const auto bytes = live_test::wireBytes(p);
        if (auto document = reassembler.push(bytes.data(), bytes.size())) {
            EXPECT_EQ(document->ssrc, p.ssrc);
            EXPECT_EQ(document->rtpTimestamp, p.timestamp);
            delivered.push_back(std::move(document->bytes));
        }
    }
    EXPECT_EQ(delivered, c.documents);
    const ReassemblyCounters& n = reassembler.counters();
    EXPECT_EQ(n.delivered, c.counters.delivered);
    EXPECT_EQ(n.lostInTransport, c.counters.lost);
    EXPECT_EQ(n.oversized, c.counters.oversized);
    EXPECT_EQ(n.unterminated, c.counters.unterminated);
}

INSTANTIATE_TEST_SUITE_P(Streams, Reassembly, ::testing::ValuesIn(kStreams),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReassemblyBound, TrackWithoutMarkerNeverHoldsMoreThanTheBound) {
    DocumentReassembler reassembler(4096);
    size_t most = 0;
    for (uint32_t i = 0; i < 10000; ++i) {
        const auto bytes = live_test::wireBytes(
            {static_cast<uint16_t>(i), 100, !M, (i == 0 ? "<?xml" : "") + std::string(1400, 'x')});
        EXPECT_FALSE(reassembler.push(bytes.data(), bytes.size()));
        most = std::max(most, reassembler.bufferedBytes());
    }
    EXPECT_LE(most, 4096U);
    EXPECT_EQ(reassembler.counters().oversized, 1U);
    EXPECT_EQ(reassembler.bufferedBytes(), 0U);
}

TEST(ReassemblyBound, PluginBoundIsTheOneInForce) {
    // A document of exactly the plugin's bound passes; one byte more is the plugin's to refuse,
    // so the host refuses it first.
    constexpr size_t kBound = qo::vms_server_plugins::analytics::lumo::Metadata::kMaxDocumentSize;
    for (const size_t size : {kBound, kBound + 1}) {
        DocumentReassembler reassembler(kBound);
        uint16_t sequence = 0;
        size_t left = size;
        std::optional<lumo::host::live::ReassembledDocument> document;
        while (left > 0) {
            const size_t chunk = std::min<size_t>(left, 60000);
            left -= chunk;
            std::string payload(chunk, 'd');
            if (sequence == 0)
                payload.replace(0, 5, "<?xml");
            const auto bytes = live_test::wireBytes({sequence++, 5, left == 0, payload});
            document = reassembler.push(bytes.data(), bytes.size());
        }
        EXPECT_EQ(document.has_value(), size == kBound) << size;
        EXPECT_EQ(reassembler.counters().oversized, size == kBound ? 0U : 1U) << size;
    }
}

TEST(ReassemblyReset, DocumentInHandIsLostAndNextPacketStartsAnew) {
    DocumentReassembler reassembler(1024);
    const auto head = live_test::wireBytes({10, 100, !M, "<?xml A1"});
    reassembler.push(head.data(), head.size());
    reassembler.reset();
    const auto other = live_test::wireBytes({700, 300, M, "<?xml B1"});
    const auto document = reassembler.push(other.data(), other.size());
    ASSERT_TRUE(document);
    EXPECT_EQ(document->bytes, "<?xml B1");
    EXPECT_EQ(reassembler.counters().lostInTransport, 1U);
}

}  // namespace
