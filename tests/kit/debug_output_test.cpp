// Diagnostic output: whole flushed lines, source-path prefixes, assertion reports and hex dumps.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qo/kit/debug.h"
#include "qo/kit/dump.h"
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

}  // namespace
}  // namespace qo::kit::debug
