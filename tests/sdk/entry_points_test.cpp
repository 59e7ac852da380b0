// The entry points as the server reaches them: by unmangled name through the dynamic loader, with
// nothing else visible (another library in the same server could bind to our internals, or we to
// theirs; nm reads the dynamic symbol table of the built file). The loaded library has statics of
// its own, separate from the modules linked in here.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "qo/sdk/i_lib_context.h"
#include "sdk/fake_string_map.h"

namespace qo::sdk::test {
namespace {

TEST(ExportedSymbols, areExactlyTheEntryPoints) {
    FILE* const nm = popen("nm -D --defined-only --format=just-symbols " LUMO_PLUGIN_PATH, "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> exported;
    for (char name[256]; fscanf(nm, "%255s", name) == 1;)
        exported.insert(name);
    EXPECT_EQ(pclose(nm), 0);
    EXPECT_EQ(exported, (std::set<std::string>{"qoLibContext", "qoSdkVersion",
                                               "qoSetUnitTestOptions", "createQoPlugin"}));
}

class EntryPoints : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(library, nullptr) << dlerror(); }

    template <typename Function>
    static Function* symbol(const char* name) {
        return reinterpret_cast<Function*>(dlsym(library, name));
    }

    // As the server loads it; never unloaded, so the library's statics outlive the tests.
    static inline void* const library = dlopen(LUMO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
};

TEST_F(EntryPoints, answerThroughTheDynamicLoader) {
    const auto sdkVersion = symbol<const char*()>("qoSdkVersion");
    const auto libContext = symbol<ILibContext*()>("qoLibContext");
    ASSERT_TRUE(sdkVersion && libContext);
    EXPECT_STREQ(sdkVersion(), "5.1.4 R1");
    ASSERT_NE(libContext(), nullptr);
    EXPECT_EQ(libContext(), libContext());
    // The same name twice is accepted silently, so repeated runs in one process stay quiet.
    EXPECT_NO_THROW(libContext()->setName("test_sdk_host"));
    EXPECT_NO_THROW(libContext()->setName("test_sdk_host"));
}

TEST_F(EntryPoints, noExceptionOfTheServersMapLeavesSetUnitTestOptions) {
    const auto setOptions = symbol<void(const IStringMap*)>("qoSetUnitTestOptions");
    ASSERT_NE(setOptions, nullptr);
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
