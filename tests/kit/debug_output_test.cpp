// Diagnostic output: whole flushed lines, source-path prefixes, assertion reports, and the
// developer aids (timer, frame-rate meter, hex dumps) that report through a print function.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
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

using ::testing::MatchesRegex;
using Lines = std::vector<std::string>;

/** Captures the kit's stream as the text written between consecutive flushes, and the reports
 * made through print(). */
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
    const std::pair<const char*, const char*> baseNames[] = {
        {"a/b/c.d.cpp", "c.d"}, {"Makefile", "Makefile"}, {"dir.x/file", "file"}, {"", ""}};
    for (const auto& [path, expected] : baseNames)
        EXPECT_EQ(srcFileBaseNameWithoutExt(path), expected) << path;
    const std::pair<std::string, const char*> relative[] = {
        {"/home/u/lumo/src/qo/kit/debug.cpp", "qo/kit/debug.cpp"},
        {"/x/src/lumo/src/qo/a.h", "qo/a.h"},
        {__FILE__, "tests/kit/debug_output_test.cpp"},
        {"", ""}};
    for (const auto& [path, expected] : relative)
        EXPECT_EQ(srcFileRelativePath(path), expected) << path;
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

TEST_F(DebugOutput, timerAndFpsReportIntervals) {
    detail::Timer disabled(false, print(), "t");
    disabled.mark("a");
    disabled.mark("a");
    disabled.finish();
    detail::Timer total(true, print(), "load");
    total.finish();
    detail::Timer marked(true, print(), "load");
    marked.mark("parse");
    marked.mark("parse");
    marked.mark("convert");
    marked.finish();
    detail::Fps fps(print(), "video");
    fps.mark("first");
    fps.mark();
    fps.mark("frame");
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_THAT(reports[0], MatchesRegex(R"(####### QO_TIME\(load\): [0-9]+ us)"));
    EXPECT_EQ(reports[1],
              "####### QO_TIME(load) INTERNAL ERROR: Timer mark \"parse\" already defined.");
    const std::string ms = R"(( {2}[0-9]| [0-9]{2}|[0-9]{3,}) ms)";  // At least three places.
    EXPECT_THAT(reports[2], MatchesRegex(R"(####### QO_TIME\(load\): parse: )" + ms +
                                         ", convert: " + ms + ", last: " + ms));
    const std::string rate =
        R"(####### QO_FPS\(video\): avg +([0-9]+\.[0-9]|inf), dt +[0-9]+ ms, avg dt +[0-9]+ ms)";
    EXPECT_THAT(reports[3], MatchesRegex(rate));
    EXPECT_THAT(reports[4], MatchesRegex(rate + "; frame"));
}

TEST_F(DebugOutput, hexDumpsShowBytesAsHexAndAsPrintableText) {
    const unsigned char bytes[] = {0x41, 0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF};
    EXPECT_EQ(hexDumpLine(bytes, 2, 4), "41 00" + std::string(6, ' ') + " | A.");
    EXPECT_EQ(hexDumpLine(bytes, 2, 1), "41 00 | A.");
    EXPECT_EQ(hexDumpLine(bytes + 2, 6, 0), "1F 20 7E 7F 80 FF | . ~...");
    EXPECT_EQ(hexDumpLine(bytes, 0, 16), "");
    EXPECT_EQ(hexDumpLine(bytes, -1, 16), "");
    EXPECT_EQ(hexDumpLine(nullptr, 5, 16), "");

    const std::string text = "ABCDEFGH\x01" + std::string(8, 'z');
    for (const int size : {8, 9, 17})
        detail::printHexDump(print(), "cap", text.data(), size);
    const auto header = [&](int size) {
        return "####### Hex dump \"cap\", " + std::to_string(size) + " bytes @" +
               utils::toString(static_cast<const void*>(text.data())) + ":";
    };
    EXPECT_EQ(reports, (Lines{header(8) + " { 41 42 43 44 45 46 47 48 | ABCDEFGH }",
                              header(9) + "\n{\n\n    41 42 43 44 45 46 47 48 01" +
                                  std::string(21, ' ') + " | ABCDEFGH.\n}",
                              header(17) + "\n{\n\n    " + hexDumpLine(text.data(), 16, 16) +
                                  "\n    7A" + std::string(45, ' ') + " | z\n}"}));
}

TEST(IntentionallyCrash, endsTheProcessWithASignal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(intentionallyCrash("on purpose"), "");
}

}  // namespace
}  // namespace qo::kit::debug
