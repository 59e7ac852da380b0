// Paths, name-value files and the debug aids that save to files, each test in a temporary
// directory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "qo/kit/dump.h"
#include "qo/kit/utils.h"

namespace qo::kit::utils {
namespace {

using Lines = std::vector<std::string>;

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qo_kit.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string file(const std::string& name) const { return dir + "/" + name; }
    std::string write(const std::string& name, const std::string& contents) const {
        std::ofstream(file(name), std::ios::binary) << contents;
        return file(name);
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    debug::detail::PrintFunc print() {
        return [this](const char* text) { reports.push_back(text); };
    }
    bool parse(const std::string& path) {
        return parseNameValueFile(path, &values, "[test] ", &errors, &isEmpty);
    }

    std::string dir;
    Lines reports;
    std::map<std::string, std::string> values;
    std::ostringstream errors;
    bool isEmpty = false;
};

TEST_F(Files, pathsJoinAndSplitAtSlashesAndTheProcessIsNamed) {
    EXPECT_EQ(baseName("/a/b/c.txt") + "|" + baseName("/a/b/"), "c.txt|");
    EXPECT_EQ(absolutePath("/data/", "file") + "|" + absolutePath("/data", "/etc/x"),
              "/data/file|/etc/x");
    EXPECT_TRUE(fileExists(write("present", "x").c_str()));
    EXPECT_FALSE(fileExists(file("absent").c_str()) || fileExists(nullptr));
    EXPECT_EQ(getProcessName(), "test_kit");
}

TEST_F(Files, nameValueFilesKeepValidPairsAndReportEachBadLine) {
    EXPECT_TRUE(parse(write("ok.ini",
                            "# comment\n\n  \t  # indented comment\n"
                            "\x7F name one \t=  value  one \r\nurl=http://cam/?a=b\n"
                            "empty =\nutf8 = caf\xC3\xA9\nurl = replaced")));
    EXPECT_FALSE(isEmpty);
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"name one", "value  one"},
                                                          {"url", "replaced"},
                                                          {"empty", ""},
                                                          {"utf8", "caf\xC3\xA9"}}));
    values.clear();
    const std::string bad = write("bad.ini", "a = 1\n  lonely name  \n = orphan\nb = 2\n");
    EXPECT_FALSE(parse(bad));
    EXPECT_EQ(errors.str(),
              "[test] ERROR: Missing \"=\" after the name lonely name. Line 2, file " + bad +
                  "\n[test] ERROR: The name part (before \"=\") is empty. Line 3, file " + bad +
                  "\n");
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"a", "1"}, {"b", "2"}}));
    EXPECT_FALSE(parseNameValueFile(bad, nullptr, ""));

    values.clear();
    errors.str("");
    EXPECT_TRUE(parse(write("empty.ini", "")) && isEmpty);
    EXPECT_FALSE(parse(file("missing.ini")) || parse(dir));  // a directory opens, reads nothing
    EXPECT_TRUE(isEmpty && errors.str().empty() && values.empty());
}

TEST_F(Files, savesReplaceTheFileAndFailuresAreReported) {
    write("out.txt", "a much longer previous content");
    debug::detail::saveStr(print(), dir, "out.txt", "reply", "new");
    const char bytes[] = {'a', '\0', '\xFF'};
    debug::detail::saveBin(print(), dir + "/", "out.bin", bytes, 3);
    EXPECT_EQ(read(file("out.txt")), "new");
    EXPECT_EQ(read(file("out.bin")), std::string(bytes, 3));
    const std::string notADir = write("plain", "");
    debug::detail::saveBin(print(), notADir, "x.bin", "s", 1);
    EXPECT_EQ(reports, (Lines{"####### Saving string (reply) to file " + file("out.txt"),
                              "####### Saving 3 byte(s) to file " + file("out.bin"),
                              "####### ERROR: Unable to rewrite file " + notADir + "/x.bin"}));
}

}  // namespace
}  // namespace qo::kit::utils
