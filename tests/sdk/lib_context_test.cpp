// The library context (its name, set once; the registry it owns; the unit-test options) and the
// entry points as the server reaches them: by unmangled name through the dynamic loader, with
// nothing else visible (another library in the same server could bind to our internals, or we to
// theirs). The loaded library has statics of its own, apart from the modules linked in here.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "qo/sdk/helpers/lib_context.h"
#include "support/object_model.h"

namespace qo::sdk::test {
namespace {

const std::string kReport =
    "[qo::sdk::LibContext] \n>>> ASSERTION FAILED: "
    "qo/sdk/helpers/lib_context.cpp:N ";

TEST(LibContextName, isSetOnceAndEveryOtherAttemptIsReported) {
    const auto rename = [](const std::string& from, const std::string& to) {
        return kReport +
               "(m_name == kDefaultName || m_name == std::string(name)) Attempt to "
               "change LibContext name from " +
               from + " to " + to + ".\n";
    };
    const struct {
        std::vector<const char*> names;
        std::string name, report;
    } cases[] = {{{"lumo", "lumo"}, "lumo", ""},  // The same name again, from another buffer.
                 {{"a\"b", "tab\there"}, "a\"b", rename(R"("a\"b")", R"("tab\there")")},
                 {{nullptr}, "incorrectly_named_lib_context", kReport + "(name) \n"},
                 {{"lumo", nullptr}, "lumo", rename("\"lumo\"", "null")}};
    for (const auto& c : cases) {
        LibContext context;
        CapturedOutput output;
        for (const char* name : c.names)
            context.setName(name ? std::string(name).c_str() : nullptr);
        EXPECT_EQ(context.name(), c.name);
        EXPECT_EQ(output.textWithoutLineNumbers(), c.report) << c.name;
    }
}

TEST(LibContextName, concurrentNamingLetsExactlyOneNameWin) {
    LibContext context;
    CapturedOutput output;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&context, t] { context.setName(std::to_string(t).c_str()); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(output.lines().size(), 6u) << "three reports of two lines";
    EXPECT_NE(output.text().find("from \"" + context.name() + "\""), std::string::npos);
}

TEST(LibContextRegistry, isOwnedSetOnceAndDeletedWithTheContext) {
    CapturedOutput output;
    auto* first = new LiveObjects;
    auto* second = new LiveObjects;
    const int deletedBefore = LiveObjects::deleted;
    {
        LibContext context;
        context.setRefCountableRegistry(nullptr);  // Leaves room for a real one.
        context.setRefCountableRegistry(first);
        context.setRefCountableRegistry(second);
        EXPECT_EQ(context.refCountableRegistry(), first);
    }
    EXPECT_EQ(LiveObjects::deleted, deletedBefore + 1) << "a rejected one stays with its sender";
    delete second;
    EXPECT_EQ(output.textWithoutLineNumbers(),
              kReport +
                  "(!m_refCountableRegistry) LibContext refCountableRegistry has already "
                  "been set.\n");
}

TEST(UnitTestOptions, mapReplacesAllOptionsAndFailuresLeaveThem) {
    using Options = std::map<std::string, std::string>;
    const Options saved = unitTestOptions();
    const FakeStringMap sorted({{"b", "2"}, {"a", "1"}, {"b", "3"}});
    const FakeStringMap throwing({{"k", "v"}}, {}, FakeStringMap::Throw::foreignException);
    CapturedOutput output;
    setUnitTestOptions({{"old", "1"}});
    EXPECT_NO_THROW(qoSetUnitTestOptions(nullptr));
    EXPECT_NO_THROW(qoSetUnitTestOptions(&throwing));
    EXPECT_EQ(unitTestOptions(), (Options{{"old", "1"}}));
    EXPECT_EQ(output.text(),
              "[lib_context] ERROR: Unable to take the unit-test options: unknown exception\n");
    qoSetUnitTestOptions(&sorted);
    EXPECT_EQ(unitTestOptions(), (Options{{"a", "1"}, {"b", "2"}})) << "the first value wins";
    EXPECT_TRUE(sorted.references() == 1 && throwing.references() == 1) << "only borrowed";
    setUnitTestOptions(saved);
}

// The agent's detached threads read options while a test or the server replaces them.
TEST(UnitTestOptions, readersOnOtherThreadsSeeOnlyWholeValuesWhileOptionsChange) {
    using Options = std::map<std::string, std::string>;
    const Options saved = unitTestOptions();
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&stop, &torn] {
        while (!stop) {
            const std::string value = unitTestOption("holdOffMs");
            torn += !(value.empty() || value == "20" || value == "1500");
            torn += unitTestOptions().size() > 2;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        setUnitTestOption("holdOffMs", i % 2 ? "20" : "1500");
        setUnitTestOptions({{"holdOffMs", "20"}, {"cores", "4"}});
        eraseUnitTestOption("holdOffMs");
    }
    stop = true;
    reader.join();
    setUnitTestOptions(saved);
    EXPECT_EQ(torn, 0);
}

TEST(EntryPoints, areExactlyTheExportedSymbolsAndAnswerThroughTheDynamicLoader) {
    FILE* const nm = popen("nm -D --defined-only --format=just-symbols " LUMO_PLUGIN_PATH, "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> exported;
    for (char name[256]; fscanf(nm, "%255s", name) == 1;)
        exported.insert(name);
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(exported, (std::set<std::string>{"qoLibContext", "qoSdkVersion",
                                               "qoSetUnitTestOptions", "createQoPlugin"}));

    // As the server loads it; never unloaded, so the library's statics outlive the test.
    void* const library = dlopen(LUMO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto sdkVersion = reinterpret_cast<const char* (*)()>(dlsym(library, "qoSdkVersion"));
    const auto libContext = reinterpret_cast<ILibContext* (*)()>(dlsym(library, "qoLibContext"));
    const auto setOptions =
        reinterpret_cast<void (*)(const IStringMap*)>(dlsym(library, "qoSetUnitTestOptions"));
    ASSERT_TRUE(sdkVersion && libContext && setOptions);
    EXPECT_STREQ(sdkVersion(), "5.1.4 R1");
    EXPECT_TRUE(libContext() && libContext() == libContext());

    // No exception of the server's map may leave the library.
    EXPECT_NO_THROW(setOptions(nullptr));
    FakeStringMap map({{"a", "1"}}, {}, FakeStringMap::Throw::standardException);
    testing::internal::CaptureStderr();  // The library reports on its own standard error.
    EXPECT_NO_THROW(setOptions(&map));
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("Unable to take the unit-test options: key() failed"), std::string::npos)
        << report;
}

}  // namespace
}  // namespace qo::sdk::test
