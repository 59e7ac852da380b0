#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kit/temp_dir.h"
#include "qo/kit/utils.h"

namespace qo::kit::utils {
namespace {

TEST(Paths, baseNameIsTheTextAfterTheLastSlash) {
    EXPECT_EQ(baseName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(baseName("c.txt"), "c.txt");
    EXPECT_EQ(baseName("/a/b/"), "");
}

TEST(Paths, absolutePathJoinsWithOneSlash) {
    EXPECT_EQ(absolutePath("/data/", "file"), "/data/file");
    EXPECT_EQ(absolutePath("/data", "file"), "/data/file");
    EXPECT_EQ(absolutePath("/data", "/etc/x"), "/etc/x");
    EXPECT_EQ(absolutePath("", "rel/x"), "rel/x");
    EXPECT_EQ(absolutePath("dir", ""), "dir/");
}

TEST(Files, fileExistsWhenItCanBeOpenedForReading) {
    test::TempDir dir;
    EXPECT_TRUE(fileExists(dir.write("present", "x").c_str()));
    EXPECT_FALSE(fileExists(dir.file("absent").c_str()));
    EXPECT_FALSE(fileExists(nullptr));
}

TEST(Process, argumentsAreReadOnceAndNameThisProgram) {
    std::vector<const std::vector<std::string>*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &getProcessCmdLineArgs(); });
    for (auto& thread : threads)
        thread.join();
    for (const auto* args : seen)
        EXPECT_EQ(args, &getProcessCmdLineArgs());

    ASSERT_FALSE(getProcessCmdLineArgs().empty());
    EXPECT_EQ(getProcessName(), "test_kit");
    EXPECT_EQ(baseName(getProcessCmdLineArgs().front()), "test_kit");
}

class NameValueFile : public ::testing::Test {
protected:
    bool parse(const std::string& path) {
        return parseNameValueFile(path, &values, "[test] ", &errors, &isEmpty);
    }

    test::TempDir dir;
    std::map<std::string, std::string> values;
    std::ostringstream errors;
    bool isEmpty = false;
};

TEST_F(NameValueFile, readsPairsSkippingCommentsAndBlankLines) {
    const std::string path = dir.write("ok.ini",
                                       "# comment\n"
                                       "\n"
                                       "  \t  # indented comment\n"
                                       "\x7F name one \t=  value  one \r\n"
                                       "url=http://cam/?a=b\n"
                                       "empty =\n"
                                       "utf8 = caf\xC3\xA9\n"
                                       "url = replaced");
    EXPECT_TRUE(parse(path));
    EXPECT_FALSE(isEmpty);
    EXPECT_EQ(errors.str(), "");
    const std::map<std::string, std::string> expected = {
        {"name one", "value  one"}, {"url", "replaced"}, {"empty", ""}, {"utf8", "caf\xC3\xA9"}};
    EXPECT_EQ(values, expected);
}

TEST_F(NameValueFile, reportsEachMalformedLineAndKeepsTheValidOnes) {
    const std::string path = dir.write("bad.ini",
                                       "a = 1\n"
                                       "  lonely name  \n"
                                       " = orphan\n"
                                       "b = 2\n");
    EXPECT_FALSE(parse(path));
    EXPECT_EQ(errors.str(),
              "[test] ERROR: Missing \"=\" after the name lonely name. Line 2, file " + path +
                  "\n"
                  "[test] ERROR: The name part (before \"=\") is empty. Line 3, file " +
                  path + "\n");
    EXPECT_EQ(values, (std::map<std::string, std::string>{{"a", "1"}, {"b", "2"}}));
}

TEST_F(NameValueFile, reportsNothingWithoutAnErrorStream) {
    EXPECT_FALSE(parseNameValueFile(dir.write("bad.ini", "x\n"), &values, "[test] "));
    EXPECT_TRUE(values.empty());
}

TEST_F(NameValueFile, emptyFileIsValidAndFlaggedEmpty) {
    EXPECT_TRUE(parse(dir.write("empty.ini", "")));
    EXPECT_TRUE(isEmpty);
    EXPECT_TRUE(parse(dir.write("blank.ini", "\n")));
    EXPECT_FALSE(isEmpty);
    EXPECT_TRUE(values.empty());
}

TEST_F(NameValueFile, unreadableFileFailsSilentlyAndLeavesTheFlag) {
    isEmpty = true;
    EXPECT_FALSE(parse(dir.file("missing.ini")));
    EXPECT_FALSE(parse(dir.path()));  // A directory opens but cannot be read.
    EXPECT_TRUE(isEmpty);
    EXPECT_EQ(errors.str(), "");
    EXPECT_TRUE(values.empty());
}

TEST_F(NameValueFile, nullMapFails) {
    EXPECT_FALSE(parseNameValueFile(dir.write("ok.ini", "a=1\n"), nullptr, ""));
}

}  // namespace
}  // namespace qo::kit::utils
