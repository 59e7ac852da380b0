#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kit/temp_dir.h"
#include "qo/kit/dump.h"
#include "qo/kit/timing.h"
#include "qo/kit/utils.h"

namespace qo::kit::debug {
namespace {

/** Collects every report; each print call is one entry. */
class Reports : public ::testing::Test {
protected:
    detail::PrintFunc print() {
        return [this](const char* text) { reports.push_back(text); };
    }

    static bool matches(const std::string& text, const std::string& pattern) {
        return std::regex_match(text, std::regex(pattern));
    }

    std::vector<std::string> reports;
};

// ---- Timer

using TimerReport = Reports;

TEST_F(TimerReport, disabledTimerPrintsNothingEvenForDuplicateMarks) {
    detail::Timer timer(false, print(), "t");
    timer.mark("a");
    timer.mark("a");
    timer.finish();
    EXPECT_TRUE(reports.empty());
}

TEST_F(TimerReport, withoutMarksReportsTheTotalInMicroseconds) {
    detail::Timer timer(true, print(), "load");
    timer.finish();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(matches(reports[0], R"(####### QO_TIME\(load\): [0-9]+ us)")) << reports[0];
}

TEST_F(TimerReport, withMarksReportsEachIntervalAndTheLast) {
    detail::Timer timer(true, print(), "load");
    timer.mark("parse");
    timer.mark("convert");
    timer.finish();
    ASSERT_EQ(reports.size(), 1u);
    // Milliseconds take at least three places.
    const std::string ms = R"(( {2}[0-9]| [0-9]{2}|[0-9]{3,}) ms)";
    EXPECT_TRUE(matches(reports[0], R"(####### QO_TIME\(load\): parse: )" + ms +
                                        ", convert: " + ms + ", last: " + ms))
        << reports[0];
}

TEST_F(TimerReport, duplicateMarkIsReportedAndNotRecorded) {
    detail::Timer timer(true, print(), "load");
    timer.mark("a");
    timer.mark("a");
    timer.finish();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0],
              "####### QO_TIME(load) INTERNAL ERROR: Timer mark \"a\" already defined.");
    EXPECT_TRUE(matches(reports[1], R"(####### QO_TIME\(load\): a: +[0-9]+ ms, last: +[0-9]+ ms)"))
        << reports[1];
}

// ---- Fps

using FpsReport = Reports;

TEST_F(FpsReport, firstMarkPrintsNothingAndLaterOnesPrintTheRate) {
    detail::Fps fps(print(), "video");
    fps.mark("first");
    EXPECT_TRUE(reports.empty());
    fps.mark();
    fps.mark("frame");
    ASSERT_EQ(reports.size(), 2u);
    const std::string shape =
        R"(####### QO_FPS\(video\): avg +([0-9]+\.[0-9]|inf), dt +[0-9]+ ms, avg dt +[0-9]+ ms)";
    EXPECT_TRUE(matches(reports[0], shape)) << reports[0];
    EXPECT_TRUE(matches(reports[1], shape + "; frame")) << reports[1];
}

// ---- Hex dumps

TEST(HexDumpLine, padsShortLinesToTheWidth) {
    const unsigned char bytes[] = {0x41, 0x00};
    EXPECT_EQ(hexDumpLine(bytes, 2, 4), "41 00" + std::string(6, ' ') + " | A.");
    EXPECT_EQ(hexDumpLine(bytes, 2, 0), "41 00 | A.");
    EXPECT_EQ(hexDumpLine(bytes, 2, 1), "41 00 | A.");
}

TEST(HexDumpLine, showsOnlyPrintableAsciiAsText) {
    const unsigned char bytes[] = {0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF};
    EXPECT_EQ(hexDumpLine(bytes, 6, 0), "1F 20 7E 7F 80 FF | . ~...");
}

TEST(HexDumpLine, noBytesGiveAnEmptyLine) {
    const char bytes[] = "x";
    EXPECT_EQ(hexDumpLine(bytes, 0, 16), "");
    EXPECT_EQ(hexDumpLine(bytes, -1, 16), "");
    EXPECT_EQ(hexDumpLine(nullptr, 5, 16), "");
}

using HexDump = Reports;

TEST_F(HexDump, eightBytesFitOnTheHeaderLine) {
    const char bytes[] = "ABCDEFGH";
    detail::printHexDump(print(), "cap", bytes, 8);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "####### Hex dump \"cap\", 8 bytes @" +
                              utils::toString(static_cast<const void*>(bytes)) +
                              ": { 41 42 43 44 45 46 47 48 | ABCDEFGH }");
}

TEST_F(HexDump, nineBytesTakeOnePaddedGroupLine) {
    const char bytes[] = "ABCDEFGH\x01";
    detail::printHexDump(print(), "cap", bytes, 9);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "####### Hex dump \"cap\", 9 bytes @" +
                              utils::toString(static_cast<const void*>(bytes)) +
                              ":\n{\n\n    41 42 43 44 45 46 47 48 01" + std::string(21, ' ') +
                              " | ABCDEFGH.\n}");
}

TEST_F(HexDump, groupsOfSixteen) {
    const std::string bytes(17, 'z');
    detail::printHexDump(print(), "cap", bytes.data(), 17);
    ASSERT_EQ(reports.size(), 1u);
    const std::string full = hexDumpLine(bytes.data(), 16, 16);
    const std::string rest = "7A" + std::string(45, ' ') + " | z";
    EXPECT_TRUE(utils::stringEndsWith(reports[0], ":\n{\n\n    " + full + "\n    " + rest + "\n}"))
        << reports[0];
}

// ---- Saving to files

class SaveToFile : public Reports {
protected:
    test::TempDir dir;
};

TEST_F(SaveToFile, stringReplacesThePreviousContents) {
    dir.write("out.txt", "a much longer previous content");
    detail::saveStr(print(), dir.path(), "out.txt", "reply", "new");
    EXPECT_EQ(test::TempDir::read(dir.file("out.txt")), "new");
    EXPECT_EQ(reports, std::vector<std::string>{"####### Saving string (reply) to file " +
                                                dir.file("out.txt")});
}

TEST_F(SaveToFile, bytesAreWrittenAsGiven) {
    const char bytes[] = {'a', '\0', '\xFF'};
    detail::saveBin(print(), dir.path() + "/", "out.bin", bytes, 3);
    EXPECT_EQ(test::TempDir::read(dir.file("out.bin")), std::string(bytes, 3));
    EXPECT_EQ(reports,
              std::vector<std::string>{"####### Saving 3 byte(s) to file " + dir.file("out.bin")});
}

TEST_F(SaveToFile, unwritablePathIsReported) {
    const std::string notADir = dir.write("plain", "");
    detail::saveStr(print(), notADir, "x.txt", "c", "s");
    detail::saveBin(print(), notADir, "x.bin", "s", 1);
    const std::string message = "####### ERROR: Unable to rewrite file " + notADir;
    EXPECT_EQ(reports, (std::vector<std::string>{message + "/x.txt", message + "/x.bin"}));
}

TEST_F(SaveToFile, failedWriteIsReportedAfterTheAttempt) {
    if (!utils::fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    detail::saveStr(print(), "/dev", "full", "c", std::string(100000, 'x'));
    EXPECT_EQ(reports, (std::vector<std::string>{"####### Saving string (c) to file /dev/full",
                                                 "####### ERROR: Unable to write file /dev/full"}));
}

}  // namespace
}  // namespace qo::kit::debug
