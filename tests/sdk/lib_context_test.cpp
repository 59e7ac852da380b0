#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/lib_context.h"
#include "sdk/captured_output.h"
#include "sdk/fake_string_map.h"

namespace qo::sdk::test {
namespace {

const std::string kReport =
    "[qo::sdk::LibContext] \n>>> ASSERTION FAILED: "
    "qo/sdk/helpers/lib_context.cpp:N ";

const std::string renameReport(const std::string& from, const std::string& to) {
    return kReport +
           "(m_name == kDefaultName || m_name == std::string(name)) Attempt to change LibContext "
           "name from " +
           from + " to " + to + ".\n";
}

class FlaggingRegistry : public IRefCountableRegistry {
public:
    explicit FlaggingRegistry(bool* deleted) : m_deleted(deleted) {}
    ~FlaggingRegistry() override { *m_deleted = true; }
    void objectCreated(const IRefCountable*, int32_t) override {}
    void objectDestroyed(const IRefCountable*, int32_t) override {}

private:
    bool* m_deleted;
};

// Renaming is once per context, so each test names a context of its own.
class LibContextNameTest : public ::testing::Test {
protected:
    LibContext context;
    CapturedOutput output;
};

TEST_F(LibContextNameTest, StartsWithTheDefaultName) {
    EXPECT_EQ(context.name(), "unnamed_lib_context");
}

TEST_F(LibContextNameTest, FirstNameIsTakenSilently) {
    context.setName("lumo");
    EXPECT_EQ(context.name(), "lumo");
    EXPECT_EQ(output.text(), "");
}

TEST_F(LibContextNameTest, SameNameAgainIsAcceptedSilently) {
    context.setName("lumo");
    context.setName(std::string("lumo").c_str());
    EXPECT_EQ(context.name(), "lumo");
    EXPECT_EQ(output.text(), "");
}

TEST_F(LibContextNameTest, SecondDifferentNameIsReportedAndIgnored) {
    context.setName("first");
    context.setName("second");
    EXPECT_EQ(context.name(), "first");
    EXPECT_EQ(output.textWithoutLineNumbers(), renameReport("\"first\"", "\"second\""));
}

TEST_F(LibContextNameTest, NamesInReportsAreCLiterals) {
    context.setName("a\"b");
    context.setName("tab\there");
    EXPECT_EQ(output.textWithoutLineNumbers(), renameReport(R"("a\"b")", R"("tab\there")"));
}

TEST_F(LibContextNameTest, EmptyNameIsReportedAndMarkedIncorrect) {
    context.setName("");
    EXPECT_EQ(context.name(), "incorrectly_named_lib_context");
    EXPECT_EQ(output.textWithoutLineNumbers(), kReport + "(name[0] != '\\0') \n");
}

TEST_F(LibContextNameTest, NullNameIsReportedAndMarkedIncorrect) {
    context.setName(nullptr);
    EXPECT_EQ(context.name(), "incorrectly_named_lib_context");
    EXPECT_EQ(output.textWithoutLineNumbers(), kReport + "(name) \n");
}

TEST_F(LibContextNameTest, NullNameAfterANameIsReportedAndKeepsTheName) {
    context.setName("lumo");
    context.setName(nullptr);
    EXPECT_EQ(context.name(), "lumo");
    EXPECT_EQ(output.textWithoutLineNumbers(), renameReport("\"lumo\"", "null"));
}

TEST_F(LibContextNameTest, IncorrectNameCannotBeReplacedLater) {
    context.setName("");
    output.clear();
    context.setName("lumo");
    EXPECT_EQ(context.name(), "incorrectly_named_lib_context");
    EXPECT_EQ(output.textWithoutLineNumbers(),
              renameReport("\"incorrectly_named_lib_context\"", "\"lumo\""));
}

TEST_F(LibContextNameTest, ConcurrentNamingLetsExactlyOneNameWin) {
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([this, t] { context.setName(("name" + std::to_string(t)).c_str()); });
    for (auto& thread : threads)
        thread.join();
    const std::string winner = context.name();
    EXPECT_EQ(winner.rfind("name", 0), 0U) << winner;
    const std::string text = output.text();
    size_t reports = 0;
    for (size_t at = text.find("ASSERTION FAILED"); at != std::string::npos;
         at = text.find("ASSERTION FAILED", at + 1)) {
        ++reports;
    }
    EXPECT_EQ(reports, static_cast<size_t>(kThreads - 1));
}

class LibContextRegistryTest : public ::testing::Test {
protected:
    CapturedOutput output;
};

TEST_F(LibContextRegistryTest, OwnsTheInstalledRegistryAndDeletesItWithItself) {
    bool deleted = false;
    {
        LibContext context;
        auto* registry = new FlaggingRegistry(&deleted);
        context.setRefCountableRegistry(registry);
        EXPECT_EQ(context.refCountableRegistry(), registry);
        EXPECT_FALSE(deleted);
    }
    EXPECT_TRUE(deleted);
    EXPECT_EQ(output.text(), "");
}

TEST_F(LibContextRegistryTest, SecondRegistryIsReportedAndTheFirstStays) {
    bool firstDeleted = false;
    bool secondDeleted = false;
    auto* second = new FlaggingRegistry(&secondDeleted);
    {
        LibContext context;
        auto* first = new FlaggingRegistry(&firstDeleted);
        context.setRefCountableRegistry(first);
        context.setRefCountableRegistry(second);
        EXPECT_EQ(context.refCountableRegistry(), first);
        EXPECT_EQ(output.textWithoutLineNumbers(),
                  kReport +
                      "(!m_refCountableRegistry) LibContext refCountableRegistry has already been "
                      "set.\n");
    }
    EXPECT_TRUE(firstDeleted);
    EXPECT_FALSE(secondDeleted);  // A rejected registry stays with its sender.
    delete second;
}

TEST_F(LibContextRegistryTest, NullRegistryLeavesRoomForARealOne) {
    bool deleted = false;
    LibContext context;
    context.setRefCountableRegistry(nullptr);
    EXPECT_EQ(context.refCountableRegistry(), nullptr);
    auto* registry = new FlaggingRegistry(&deleted);
    context.setRefCountableRegistry(registry);
    EXPECT_EQ(context.refCountableRegistry(), registry);
    EXPECT_EQ(output.text(), "");
}

class LibraryEntryPointTest : public ::testing::Test {};

TEST_F(LibraryEntryPointTest, ExportedContextIsTheLibraryContext) {
    EXPECT_EQ(qoLibContext(), &libContext());
    EXPECT_EQ(qoLibContext(), qoLibContext());
}

TEST_F(LibraryEntryPointTest, SdkVersion) {
    EXPECT_STREQ(qoSdkVersion(), "5.1.4 R1");
    EXPECT_STREQ(sdkVersion(), "5.1.4 R1");
}

class UnitTestOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = unitTestOptions();
        unitTestOptions() = {{"old", "1"}, {"older", "2"}};
    }
    void TearDown() override { unitTestOptions() = m_saved; }

    using Options = std::map<std::string, std::string>;
    CapturedOutput output;

private:
    Options m_saved;
};

TEST_F(UnitTestOptionsTest, NullMapLeavesTheOptions) {
    qoSetUnitTestOptions(nullptr);
    EXPECT_EQ(unitTestOptions(), (Options{{"old", "1"}, {"older", "2"}}));
}

TEST_F(UnitTestOptionsTest, MapReplacesAllOptions) {
    FakeStringMap map{{"b", "2"}, {"a", "1"}};
    qoSetUnitTestOptions(&map);
    EXPECT_EQ(unitTestOptions(), (Options{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(map.references(), 1) << "the map is only borrowed";
}

TEST_F(UnitTestOptionsTest, EmptyMapClearsTheOptions) {
    FakeStringMap map{};
    qoSetUnitTestOptions(&map);
    EXPECT_TRUE(unitTestOptions().empty());
}

TEST_F(UnitTestOptionsTest, FirstValueOfARepeatedKeyWins) {
    FakeStringMap map{{"k", "first"}, {"k", "second"}};
    qoSetUnitTestOptions(&map);
    EXPECT_EQ(unitTestOptions(), (Options{{"k", "first"}}));
}

TEST_F(UnitTestOptionsTest, ThrowingMapIsReportedAndLeavesTheOptions) {
    FakeStringMap map{{"k", "v"}};
    map.setThrow(FakeStringMap::Throw::standardException);
    EXPECT_NO_THROW(qoSetUnitTestOptions(&map));
    EXPECT_EQ(unitTestOptions(), (Options{{"old", "1"}, {"older", "2"}}));
    EXPECT_EQ(output.text(),
              "[lib_context] ERROR: Unable to take the unit-test options: key() failed\n");
}

TEST_F(UnitTestOptionsTest, ForeignExceptionDoesNotLeaveTheEntryPoint) {
    FakeStringMap map{{"k", "v"}};
    map.setThrow(FakeStringMap::Throw::foreignException);
    EXPECT_NO_THROW(qoSetUnitTestOptions(&map));
    EXPECT_EQ(unitTestOptions(), (Options{{"old", "1"}, {"older", "2"}}));
    EXPECT_EQ(output.text(),
              "[lib_context] ERROR: Unable to take the unit-test options: unknown exception\n");
}

}  // namespace
}  // namespace qo::sdk::test
