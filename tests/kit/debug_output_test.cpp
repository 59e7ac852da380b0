#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "qo/kit/debug.h"

namespace qo::kit::debug {
namespace {

/** Records the text written between consecutive flushes. */
class FlushRecorder : public std::stringbuf {
public:
    std::vector<std::string> flushed;

protected:
    int sync() override {
        const std::string all = str();
        flushed.push_back(all.substr(m_consumed));
        m_consumed = all.size();
        return 0;
    }

private:
    size_t m_consumed = 0;
};

class DebugOutput : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = stream();
        stream() = &m_out;
    }
    void TearDown() override { stream() = m_saved; }

    FlushRecorder m_buffer;
    std::ostream m_out{&m_buffer};

private:
    std::ostream* m_saved = nullptr;
};

TEST_F(DebugOutput, printWritesOneFlushedLineWithTheSourceFilePrefix) {
    QO_PRINT("first");
    QO_PRINT(std::string("second"));
    ASSERT_EQ(m_buffer.flushed.size(), 2u);
    EXPECT_EQ(m_buffer.flushed[0], "[debug_output_test] first\n");
    EXPECT_EQ(m_buffer.flushed[1], "[debug_output_test] second\n");
}

TEST_F(DebugOutput, failedAssertionIsReportedAfterAnEmptyLineAndExecutionContinues) {
    const int line = __LINE__ + 1;
    QO_ASSERT(1 + 1 == 3, "math is off");
    QO_ASSERT(1 + 1 == 2, "not reported");
    ASSERT_EQ(m_buffer.flushed.size(), 1u);
    EXPECT_EQ(m_buffer.flushed[0],
              "[debug_output_test] \n>>> ASSERTION FAILED: tests/kit/debug_output_test.cpp:" +
                  std::to_string(line) + " (1 + 1 == 3) math is off\n");
}

TEST_F(DebugOutput, linePrinterUsesItsOwnPrefix) {
    detail::linePrinter("[engine_7] ")("ERROR: camera gone");
    ASSERT_EQ(m_buffer.flushed.size(), 1u);
    EXPECT_EQ(m_buffer.flushed[0], "[engine_7] ERROR: camera gone\n");
}

TEST(AssertionReport, namesThePathBelowTheSourceTree) {
    std::vector<std::string> reports;
    detail::assertionFailed([&](const char* text) { reports.push_back(text); }, "x > 0", "bad",
                            "/build/src/qo/sdk/a.cpp", 12);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "\n>>> ASSERTION FAILED: qo/sdk/a.cpp:12 (x > 0) bad");
}

TEST(SourcePaths, baseNameDropsDirectoriesAndTheLastExtension) {
    EXPECT_EQ(srcFileBaseNameWithoutExt("a/b/c.d.cpp"), "c.d");
    EXPECT_EQ(srcFileBaseNameWithoutExt("Makefile"), "Makefile");
    EXPECT_EQ(srcFileBaseNameWithoutExt("dir.x/file"), "file");
    EXPECT_EQ(srcFileBaseNameWithoutExt(""), "");
}

TEST(SourcePaths, relativePathStartsAtQoBelowSrc) {
    EXPECT_EQ(srcFileRelativePath("/home/u/lumo/src/qo/kit/debug.cpp"), "qo/kit/debug.cpp");
    EXPECT_EQ(srcFileRelativePath("/x/src/lumo/src/qo/a.h"), "qo/a.h");
}

TEST(SourcePaths, relativePathOutsideSrcDropsThePartSharedWithTheKit) {
    EXPECT_EQ(srcFileRelativePath(__FILE__), "tests/kit/debug_output_test.cpp");
    EXPECT_EQ(srcFileRelativePath(""), "");
}

TEST(PrintPrefix, isTheBracketedBaseNameAndStableAcrossThreads) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/s/src/qo/sdk/analytics/helpers/plugin.cpp", "[plugin] "},
        {"/s/src/qo/kit/debug.cpp", "[debug] "},
        {"noext", "[noext] "},
    };
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                const auto& [path, expected] = cases[static_cast<size_t>(i + t) % cases.size()];
                if (detail::printPrefix(path.c_str()) != expected)
                    ++mismatches[static_cast<size_t>(t)];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(PrintPrefix, nullPathThrowsLogicError) {
    EXPECT_THROW(detail::printPrefix(nullptr), std::logic_error);
}

TEST(IntentionallyCrash, endsTheProcessWithASignal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(intentionallyCrash("on purpose"), "");
}

}  // namespace
}  // namespace qo::kit::debug
