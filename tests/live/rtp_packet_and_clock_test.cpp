#include <pthread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <string>
#include <vector>

#include "live/document_reassembler.h"
#include "live/rtp_clock.h"
#include "live/rtp_packet.h"
#include "live/rtp_wire.h"
#include "live/thread_cpu.h"

namespace {

using live_test::WirePacket;
using lumo::host::live::parseRtpPacket;
using lumo::host::live::RtpClock;

TEST(RtpPacketReader, ReadsHeaderAndStepsOverCsrcsExtensionAndPadding) {
    WirePacket p{0xBEEF, 0xCAFEF00D, true, "payload"};
    p.ssrc = 0x01020304;
    p.payloadType = 99;
    p.csrcCount = 3;
    p.extension = true;
    p.extensionWords = 2;
    p.padding = 4;
    const auto bytes = live_test::wireBytes(p);
    const auto packet = parseRtpPacket(bytes.data(), bytes.size());
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->sequence, 0xBEEF);
    EXPECT_EQ(packet->timestamp, 0xCAFEF00DU);
    EXPECT_EQ(packet->ssrc, 0x01020304U);
    EXPECT_EQ(packet->payloadType, 99);
    EXPECT_TRUE(packet->marker);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet->payload), packet->payloadSize),
              "payload");
}

struct Malformed {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> cut(WirePacket p, size_t drop) {
    auto bytes = live_test::wireBytes(p);
    bytes.resize(bytes.size() - drop);
    return bytes;
}

std::vector<Malformed> malformedPackets() {
    WirePacket csrcs{1, 1, false, ""};
    csrcs.csrcCount = 2;
    WirePacket extension{1, 1, false, ""};
    extension.extension = true;
    extension.extensionWords = 3;
    WirePacket extensionHead{1, 1, false, ""};
    extensionHead.extension = true;
    auto zeroPadding = live_test::wireBytes({1, 1, false, "abcd"});
    zeroPadding[0] |= 0x20;
    zeroPadding.back() = 0;
    auto longPadding = live_test::wireBytes({1, 1, false, "abcd"});
    longPadding[0] |= 0x20;
    longPadding.back() = 6;
    auto version1 = live_test::wireBytes({1, 1, false, "abcd"});
    version1[0] = (version1[0] & 0x3F) | 0x40;
    return {
        {"Empty", {}},
        {"ShorterThanHeader", cut({1, 1, false, ""}, 1)},
        {"VersionOne", version1},
        {"CsrcsPastEnd", cut(csrcs, 1)},
        {"ExtensionHeadPastEnd", cut(extensionHead, 1)},
        {"ExtensionPastEnd", cut(extension, 1)},
        {"ZeroPadding", zeroPadding},
        {"PaddingPastPayload", longPadding},
    };
}

class RtpPacketRefused : public ::testing::TestWithParam<Malformed> {};

TEST_P(RtpPacketRefused, AndCountedByTheReassembler) {
    const auto& bytes = GetParam().bytes;
    const uint8_t* data = bytes.empty() ? nullptr : bytes.data();
    EXPECT_FALSE(parseRtpPacket(data, bytes.size()));
    lumo::host::live::DocumentReassembler reassembler(1024);
    EXPECT_FALSE(reassembler.push(data, bytes.size()));
    EXPECT_EQ(reassembler.counters().malformedPackets, 1U);
}

INSTANTIATE_TEST_SUITE_P(Packets, RtpPacketRefused, ::testing::ValuesIn(malformedPackets()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtpPacketReader, PaddingFillingTheWholePayloadLeavesItEmpty) {
    WirePacket p{1, 1, false, ""};
    p.padding = 5;
    const auto bytes = live_test::wireBytes(p);
    const auto packet = parseRtpPacket(bytes.data(), bytes.size());
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->payloadSize, 0U);
}

// 2026-12-06 00:00:00 UTC: NTP seconds and Unix microseconds of the same instant.
constexpr uint64_t kNtpSeconds = 1796515200ULL + 2208988800ULL;
constexpr int64_t kUnixUs = 1796515200LL * 1000000;

struct ClockCase {
    const char* name;
    uint32_t reportRtp;
    uint32_t rtp;
    int64_t expectedUs;  // from kUnixUs
};

const ClockCase kClockCases[] = {
    {"AtTheReport", 5000, 5000, 0},
    {"OneSecondLater", 5000, 95000, 1000000},
    {"BeforeTheReport", 95000, 5000, -1000000},
    {"AcrossTheWrap", 0xFFFFFF00U, 0x00000100U, 512 * 1000000LL / 90000},
    {"BehindAcrossTheWrap", 0x00000100U, 0xFFFFFF00U, -512 * 1000000LL / 90000},
};

class RtpClockMapping : public ::testing::TestWithParam<ClockCase> {};

TEST_P(RtpClockMapping, PlacesTimestampsFromTheLatestSenderReport) {
    const ClockCase& c = GetParam();
    RtpClock clock;
    clock.onSenderReport(kNtpSeconds << 32, c.reportRtp);
    EXPECT_EQ(clock.wallClockUs(c.rtp, 42), kUnixUs + c.expectedUs);
}

INSTANTIATE_TEST_SUITE_P(Timestamps, RtpClockMapping, ::testing::ValuesIn(kClockCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RtpClock, ArrivalTimeStandsInBeforeTheFirstReport) {
    RtpClock clock;
    EXPECT_FALSE(clock.synchronised());
    EXPECT_EQ(clock.wallClockUs(123456, 777), 777);
    clock.onSenderReport(kNtpSeconds << 32, 123456);
    EXPECT_TRUE(clock.synchronised());
    EXPECT_EQ(clock.wallClockUs(123456, 777), kUnixUs);
}

TEST(RtpClock, NtpFractionBecomesMicroseconds) {
    EXPECT_EQ(lumo::host::live::ntpToUnixUs((kNtpSeconds << 32) | 0x80000000U), kUnixUs + 500000);
    EXPECT_EQ(lumo::host::live::ntpToUnixUs((kNtpSeconds << 32) | 0x40000000U), kUnixUs + 250000);
}

TEST(RtpClock, LaterReportReplacesTheReference) {
    RtpClock clock;
    clock.onSenderReport(kNtpSeconds << 32, 0);
    clock.onSenderReport((kNtpSeconds + 10) << 32, 0);
    EXPECT_EQ(clock.wallClockUs(90000, 0), kUnixUs + 11000000);
}

}  // namespace

namespace {

TEST(ThreadCpu, ThreadsNamedAsTheProcessAreTold) {
    // A thread that inherits the process's name and burns CPU shows among them; a renamed one
    // does not.
    std::atomic<bool> stop{false};
    const auto burn = [&stop](const char* name) {
        return std::thread([&stop, name] {
            if (name)
                pthread_setname_np(pthread_self(), name);
            volatile uint64_t x = 0;
            while (!stop)
                x = x + 1;
        });
    };
    std::thread named = burn(nullptr);
    std::thread other = burn("other-name");
    const double start = lumo::host::live::callingThreadCpuSeconds();
    while (lumo::host::live::callingThreadCpuSeconds() - start < 0.3) {
    }
    const auto cpu = lumo::host::live::threadCpu();
    stop = true;
    named.join();
    other.join();
    EXPECT_GT(cpu.namedAsProcess, 0.01);
    EXPECT_GT(cpu.alive, cpu.namedAsProcess + 0.01);
    EXPECT_GE(lumo::host::live::processCpuSeconds(), cpu.alive);
}

}  // namespace
