// Diagnostic output: whole flushed lines, source-path prefixes, assertion reports, hex dumps and
// the timing aids' reports.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qo/kit/debug.h"
#include "qo/kit/dump.h"
#include "qo/kit/timing.h"
#include "qo/kit/utils.h"

namespace qo::kit::debug {
namespace {

using Lines = std::vector<std::string>;

// The kit's stream as the text written between flushes, and the reports made through print().
class DebugOutput : public ::testing::Test, public std::stringbuf {
protected:
    void SetUp() override { stream() = &m_out; }
    void TearDown() override { stream() = m_saved; }
    int sync() override {
        flushed.push_back(str().substr(m_consumed));
        m_consumed = str().size();
        return 0;
    }
    detail::PrintFunc print() {
        return [this](const char* text) { reports.push_back(text); };
    }

    Lines flushed;
    Lines reports;

private:
    size_t m_consumed = 0;
    std::ostream m_out{this};
    std::ostream* const m_saved = stream();
};

TEST_F(DebugOutput, everyReportIsOneFlushedLineWithItsPrefix) {
    QO_PRINT("first");
    const int line = __LINE__ + 1;
    QO_ASSERT(1 + 1 == 3, "math is off");
    QO_ASSERT(1 + 1 == 2, "not reported");
    detail::linePrinter("[engine_7] ")("ERROR: camera gone");
    EXPECT_EQ(
        flushed,
        (Lines{"[debug_output_test] first\n",
               "[debug_output_test] \n>>> ASSERTION FAILED: tests/kit/debug_output_test.cpp:" +
                   std::to_string(line) + " (1 + 1 == 3) math is off\n",
               "[engine_7] ERROR: camera gone\n"}));
}

TEST_F(DebugOutput, sourcePathsAreShortened) {
    detail::assertionFailed(print(), "x > 0", "bad", "/build/src/qo/sdk/a.cpp", 12);
    EXPECT_EQ(reports, Lines{"\n>>> ASSERTION FAILED: qo/sdk/a.cpp:12 (x > 0) bad"});
    EXPECT_EQ(srcFileBaseNameWithoutExt("a/b/c.d.cpp"), "c.d");
    EXPECT_EQ(srcFileRelativePath("") + srcFileBaseNameWithoutExt(""), "");
}

TEST_F(DebugOutput, printPrefixIsStableAcrossThreadsAndRejectsNull) {
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (const char* path : {"/s/src/qo/kit/debug.cpp", "/t/debug.h", "debug"}) {
        threads.emplace_back([&mismatches, path] {
            for (int i = 0; i < 300; ++i)
                mismatches += detail::printPrefix(path) != "[debug] ";
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(detail::printPrefix("/s/src/qo/sdk/analytics/helpers/plugin.cpp"), "[plugin] ");
    EXPECT_THROW(detail::printPrefix(nullptr), std::logic_error);
}

// A host swaps streams while the library's threads log; once the swap returns, the stream it
// replaced is the host's again, holding whole lines only.
TEST(DebugOutputThreads, streamSwappedWhileAnotherThreadLogsIsFreeOnceTheSwapReturns) {
    std::ostream* const saved = stream();
    std::ostringstream parking;
    stream() = &parking;
    std::atomic<bool> stop{false};
    std::thread logger([&stop] {
        while (!stop)
            QO_PRINT("line");
    });
    const auto wholeLines = [](const std::string& text) {
        const std::string line = "[debug_output_test] line\n";
        for (size_t at = 0; at < text.size(); at += line.size()) {
            if (text.compare(at, line.size(), line) != 0)
                return false;
        }
        return true;
    };
    int torn = 0;
    for (int round = 0; round < 200; ++round) {
        std::ostringstream out;
        stream() = &out;
        std::this_thread::yield();
        stream() = &parking;
        torn += !wholeLines(out.str());
    }
    stop = true;
    logger.join();
    stream() = saved;
    EXPECT_EQ(torn, 0);
    EXPECT_TRUE(wholeLines(parking.str()));
}

TEST_F(DebugOutput, hexDumpsShowBytesAsHexAndAsPrintableText) {
    const unsigned char bytes[] = {0x41, 0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF};
    EXPECT_EQ(hexDumpLine(bytes, 2, 4), "41 00" + std::string(6, ' ') + " | A.");
    EXPECT_EQ(hexDumpLine(bytes + 2, 6, 0), "1F 20 7E 7F 80 FF | . ~...");
    EXPECT_EQ(hexDumpLine(bytes, -1, 16) + hexDumpLine(nullptr, 5, 16), "");
}

std::string pointerText(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof(text), "%p", pointer);
    return text;
}

TEST_F(DebugOutput, hexDumpOfUpToEightBytesIsOneLineAndOfMoreOneLinePerSixteen) {
    const unsigned char bytes[] = {'L', 'U', 'M', 'O', 0x00, 0x0A, 0x7F, 0xFF, '!'};
    detail::printHexDump(print(), "reply", bytes, 8);
    detail::printHexDump(print(), "reply", bytes, 9);
    const std::string header = "####### Hex dump \"reply\", ";
    const std::string at = " bytes @" + pointerText(bytes) + ":";
    EXPECT_EQ(reports, (Lines{header + "8" + at + " { 4C 55 4D 4F 00 0A 7F FF | LUMO.... }",
                              header + "9" + at + "\n{\n\n    4C 55 4D 4F 00 0A 7F FF 21" +
                                  std::string(7 * 3, ' ') + " | LUMO....!\n}"}));
}

TEST_F(DebugOutput, disabledTimerReportsNothingEvenADuplicateMark) {
    detail::Timer timer(false, print(), "off");
    timer.mark("a");
    timer.mark("a");
    timer.finish();
    EXPECT_TRUE(reports.empty());
}

TEST_F(DebugOutput, timerReportsEachMarkOnceAndTheIntervalsBetweenThem) {
    detail::Timer bare(true, print(), "bare");
    bare.finish();
    detail::Timer timer(true, print(), "parse");
    timer.mark("read");
    timer.mark("read");
    timer.mark("split");
    timer.finish();
    ASSERT_EQ(3u, reports.size());
    EXPECT_TRUE(std::regex_match(reports[0], std::regex(R"(####### QO_TIME\(bare\): \d+ us)")))
        << reports[0];
    EXPECT_EQ(reports[1],
              "####### QO_TIME(parse) INTERNAL ERROR: Timer mark \"read\" already defined.");
    // Milliseconds are rounded and at least three wide.
    EXPECT_TRUE(std::regex_match(
        reports[2],
        std::regex(
            R"(####### QO_TIME\(parse\): read: [ \d]{2}\d ms, split: [ \d]{2}\d ms, last: [ \d]{2}\d ms)")))
        << reports[2];
}

TEST_F(DebugOutput, frameRateMeterIsSilentAtTheFirstMarkAndThenReportsEachInterval) {
    detail::Fps fps(print(), "video");
    fps.mark("first");
    EXPECT_TRUE(reports.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fps.mark();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fps.mark("key");
    ASSERT_EQ(2u, reports.size());
    const std::regex report(
        R"(####### QO_FPS\(video\): avg ( *\d+\.\d), dt ([ \d]{2}\d) ms, avg dt ([ \d]{2}\d) ms(.*))");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(reports[0], match, report)) << reports[0];
    EXPECT_EQ("", match[4].str());
    const int dt = std::stoi(match[2].str());
    EXPECT_GE(dt, 20);
    EXPECT_EQ(dt, std::stoi(match[3].str())) << "one interval is its own average";
    EXPECT_NEAR(1000.0 / dt, std::stod(match[1].str()), 1000.0 / dt * 0.1);
    ASSERT_TRUE(std::regex_match(reports[1], match, report)) << reports[1];
    EXPECT_EQ("; key", match[4].str());
}

}  // namespace
}  // namespace qo::kit::debug
