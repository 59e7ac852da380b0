#include <gtest/gtest.h>

#include <map>
#include <string>

#include "qo/sdk/helpers/log_utils.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/ptr.h"
#include "sdk/captured_output.h"
#include "sdk/fake_string_map.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

using Map = std::map<std::string, std::string>;

class LogUtilsTest : public ObjectCountingTest {
protected:
    LogUtils verbose{true, "[p] "};
    LogUtils quiet{false, "[p] "};
    CapturedOutput output;
};

TEST_F(LogUtilsTest, PrintsCaptionAndEntriesAsCLiteralsOneLineEach) {
    const FakeStringMap incoming{{"a", "1"}, {"b", "x\"y"}};
    Map out;
    EXPECT_TRUE(verbose.convertAndOutputStringMap(&out, &incoming, "Received settings", 0));
    EXPECT_EQ(out, (Map{{"a", "1"}, {"b", "x\"y"}}));
    EXPECT_EQ(output.text(),
              "[p] Received settings:\n"
              "[p] {\n"
              "[p]     \"a\": \"1\",\n"
              "[p]     \"b\": \"x\\\"y\"\n"
              "[p] }\n");
}

TEST_F(LogUtilsTest, IndentPrecedesEveryLine) {
    const FakeStringMap incoming{{"k", "v"}};
    Map out;
    EXPECT_TRUE(verbose.convertAndOutputStringMap(&out, &incoming, "params", 4));
    EXPECT_EQ(output.text(),
              "[p]     params:\n"
              "[p]     {\n"
              "[p]         \"k\": \"v\"\n"
              "[p]     }\n");
}

TEST_F(LogUtilsTest, EmptyCaptionPrintsNoCaptionLine) {
    const FakeStringMap incoming{{"k", "v"}};
    Map out;
    EXPECT_TRUE(verbose.convertAndOutputStringMap(&out, &incoming, "", 0));
    EXPECT_EQ(output.text(), "[p] {\n[p]     \"k\": \"v\"\n[p] }\n");
}

TEST_F(LogUtilsTest, MergeOverwritesSentKeysAndKeepsTheOthers) {
    const FakeStringMap incoming{{"a", "new"}, {"c", "3"}};
    Map out{{"a", "old"}, {"b", "kept"}};
    EXPECT_TRUE(quiet.convertAndOutputStringMap(&out, &incoming, "settings", 0));
    EXPECT_EQ(out, (Map{{"a", "new"}, {"b", "kept"}, {"c", "3"}}));
}

TEST_F(LogUtilsTest, OutputSwitchOffMergesSilently) {
    const Ptr<StringMap> incoming = makePtr<StringMap>();
    incoming->setItem("k", "v");
    Map out;
    EXPECT_TRUE(quiet.convertAndOutputStringMap(&out, incoming.get(), "settings", 0));
    EXPECT_EQ(out, (Map{{"k", "v"}}));
    EXPECT_EQ(output.text(), "");
}

TEST_F(LogUtilsTest, EmptyMapSucceedsAndLeavesTheTargetAlone) {
    const FakeStringMap incoming{};
    Map out{{"a", "1"}};
    EXPECT_TRUE(verbose.convertAndOutputStringMap(&out, &incoming, "settings", 0));
    EXPECT_EQ(out, (Map{{"a", "1"}}));
    EXPECT_EQ(output.text(), "[p] settings:\n[p] {\n[p] }\n");
}

TEST_F(LogUtilsTest, NullMapIsAnErrorWhateverTheSwitch) {
    Map out{{"a", "1"}};
    EXPECT_FALSE(quiet.convertAndOutputStringMap(&out, nullptr, "settings", 0));
    EXPECT_FALSE(verbose.convertAndOutputStringMap(&out, nullptr, "settings", 0));
    EXPECT_EQ(out, (Map{{"a", "1"}}));
    EXPECT_EQ(output.text(), "[p] ERROR: stringMap is null\n[p] ERROR: stringMap is null\n");
}

TEST_F(LogUtilsTest, NegativeCountIsAnErrorWhateverTheSwitch) {
    FakeStringMap incoming{{"a", "1"}};
    incoming.setReportedCount(-3);
    Map out;
    EXPECT_FALSE(quiet.convertAndOutputStringMap(&out, &incoming, "settings", 0));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(output.text(), "[p] ERROR: settings: count is -3\n");
}

TEST_F(LogUtilsTest, NullEntryOfAServerMapRejectsTheWholeMap) {
    const FakeStringMap incoming{{"a", "1"}, {std::nullopt, "2"}, {"c", std::nullopt}};
    Map out{{"x", "kept"}};
    EXPECT_FALSE(verbose.convertAndOutputStringMap(&out, &incoming, "settings", 0));
    EXPECT_EQ(out, (Map{{"x", "kept"}}));
    EXPECT_EQ(output.text(), "[p] ERROR: settings: item 1 has a null key\n");
}

TEST_F(LogUtilsTest, CountLargerThanTheEntriesIsRejected) {
    FakeStringMap incoming{{"a", "1"}};
    incoming.setReportedCount(2);
    Map out;
    EXPECT_FALSE(quiet.convertAndOutputStringMap(&out, &incoming, "settings", 0));
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(output.text(), "[p] ERROR: settings: item 1 has a null key\n");
}

TEST_F(LogUtilsTest, NullTargetIsAnError) {
    const FakeStringMap incoming{{"a", "1"}};
    EXPECT_FALSE(verbose.convertAndOutputStringMap(nullptr, &incoming, "settings", 0));
    EXPECT_EQ(output.text(), "[p] ERROR: outMap is null\n");
}

TEST_F(LogUtilsTest, NewPrintPrefixAppliesToLaterLines) {
    verbose.setPrintPrefix("[engine_1] ");
    verbose.print("hello");
    EXPECT_EQ(verbose.printPrefix(), "[engine_1] ");
    EXPECT_EQ(output.text(), "[engine_1] hello\n");
}

}  // namespace
}  // namespace qo::sdk::test
