// The library context: its name (set once), the registry it owns, and the unit-test options the
// server hands over through the entry point.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/lib_context.h"
#include "sdk/captured_output.h"
#include "sdk/fake_string_map.h"
#include "sdk/live_objects.h"

namespace qo::sdk::test {
namespace {

const std::string kReport =
    "[qo::sdk::LibContext] \n>>> ASSERTION FAILED: "
    "qo/sdk/helpers/lib_context.cpp:N ";

std::string renameReport(const std::string& from, const std::string& to) {
    return kReport +
           "(m_name == kDefaultName || m_name == std::string(name)) Attempt to change LibContext "
           "name from " +
           from + " to " + to + ".\n";
}

TEST(LibContextName, isSetOnceAndEveryOtherAttemptIsReported) {
    const std::string incorrect = "incorrectly_named_lib_context";
    const std::string emptyReport = kReport + "(name[0] != '\\0') \n";
    const struct {
        std::vector<const char*> names;
        std::string name, report;
    } cases[] = {
        {{}, "unnamed_lib_context", ""},
        {{"lumo", "lumo"}, "lumo", ""},  // The same name again, from another buffer.
        {{"a\"b", "tab\there"}, "a\"b", renameReport(R"("a\"b")", R"("tab\there")")},
        {{""}, incorrect, emptyReport},
        {{nullptr}, incorrect, kReport + "(name) \n"},
        {{"lumo", nullptr}, "lumo", renameReport("\"lumo\"", "null")},
        {{"", "lumo"}, incorrect, emptyReport + renameReport('"' + incorrect + '"', "\"lumo\"")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LibContext context;
        CapturedOutput output;
        for (const char* name : c.names)
            context.setName(name ? std::string(name).c_str() : nullptr);
        EXPECT_EQ(context.name(), c.name);
        EXPECT_EQ(output.textWithoutLineNumbers(), c.report);
    }
}

TEST(LibContextName, concurrentNamingLetsExactlyOneNameWin) {
    LibContext context;
    CapturedOutput output;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [&context, t] { context.setName(("name" + std::to_string(t)).c_str()); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(context.name().rfind("name", 0), 0U) << context.name();
    const std::string text = output.text();
    const std::regex report(">>> ASSERTION FAILED");
    EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), report), {}), 3);
}

TEST(LibContextRegistry, isOwnedSetOnceAndDeletedWithTheContext) {
    CapturedOutput output;
    auto* first = new LiveObjects;
    auto* second = new LiveObjects;
    const int deletedBefore = LiveObjects::deleted;
    {
        LibContext context;
        context.setRefCountableRegistry(nullptr);  // Leaves room for a real one.
        EXPECT_EQ(output.text(), "");
        context.setRefCountableRegistry(first);
        context.setRefCountableRegistry(second);
        EXPECT_EQ(context.refCountableRegistry(), first);
        EXPECT_EQ(LiveObjects::deleted, deletedBefore);
    }
    EXPECT_EQ(LiveObjects::deleted, deletedBefore + 1)
        << "a rejected registry stays with its sender";
    delete second;
    EXPECT_EQ(output.textWithoutLineNumbers(),
              kReport +
                  "(!m_refCountableRegistry) LibContext refCountableRegistry has already "
                  "been set.\n");
}

TEST(UnitTestOptions, mapReplacesAllOptionsAndFailuresLeaveThem) {
    using Options = std::map<std::string, std::string>;
    using Throw = FakeStringMap::Throw;
    const Options old = {{"old", "1"}, {"older", "2"}};
    const std::string unable = "[lib_context] ERROR: Unable to take the unit-test options: ";
    const struct {
        const char* name;
        std::optional<std::vector<FakeStringMap::Entry>> entries;  // None: a null map.
        Throw throws;
        Options options;
        std::string report;
    } cases[] = {
        {"null", std::nullopt, Throw::nothing, old, ""},
        {"sorted", {{{"b", "2"}, {"a", "1"}}}, Throw::nothing, {{"a", "1"}, {"b", "2"}}, ""},
        {"first value of a key wins", {{{"k", "1"}, {"k", "2"}}}, Throw::nothing, {{"k", "1"}}, ""},
        {"foreign", {{{"k", "v"}}}, Throw::foreignException, old, unable + "unknown exception\n"}};
    const Options saved = unitTestOptions();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        unitTestOptions() = old;
        CapturedOutput output;
        FakeStringMap map(c.entries.value_or(std::vector<FakeStringMap::Entry>{}), {}, c.throws);
        EXPECT_NO_THROW(qoSetUnitTestOptions(c.entries ? &map : nullptr));
        EXPECT_EQ(unitTestOptions(), c.options);
        EXPECT_EQ(map.references(), 1) << "the map is only borrowed";
        EXPECT_EQ(output.text(), c.report);
    }
    unitTestOptions() = saved;
}

}  // namespace
}  // namespace qo::sdk::test
