// The entry points as the server reaches them: through the dynamic loader, by unmangled name.
// The loaded library has statics of its own (its own library context and kit), separate from the
// copy of the modules linked into this test program.
#include <gtest/gtest.h>

#include "qo/sdk/i_lib_context.h"
#include "qo/sdk/i_string_map.h"
#include "sdk/fake_string_map.h"
#include "sdk/plugin_library.h"

namespace qo::sdk::test {
namespace {

using LibContextFunction = ILibContext*();
using SdkVersionFunction = const char*();
using SetUnitTestOptionsFunction = void(const IStringMap*);

class EntryPointTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library().loaded()) << library().loadError(); }

    static const PluginLibrary& library() { return PluginLibrary::instance(); }
};

TEST_F(EntryPointTest, SdkVersionIsTheOneTheLibraryWasBuiltFor) {
    auto* sdkVersion = library().symbol<SdkVersionFunction>("qoSdkVersion");
    ASSERT_NE(sdkVersion, nullptr);
    EXPECT_STREQ(sdkVersion(), "5.1.4 R1");
}

TEST_F(EntryPointTest, LibContextIsOneObjectForTheLifeOfTheLibrary) {
    auto* libContext = library().symbol<LibContextFunction>("qoLibContext");
    ASSERT_NE(libContext, nullptr);
    ILibContext* const context = libContext();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(libContext(), context);
}

TEST_F(EntryPointTest, LibContextTakesItsNameThroughTheVirtualSlot) {
    auto* libContext = library().symbol<LibContextFunction>("qoLibContext");
    ASSERT_NE(libContext, nullptr);
    // The same name twice is accepted silently, so repeated runs in one process stay quiet.
    EXPECT_NO_THROW(libContext()->setName("test_sdk_host"));
    EXPECT_NO_THROW(libContext()->setName("test_sdk_host"));
}

TEST_F(EntryPointTest, SetUnitTestOptionsBorrowsTheMapAndAcceptsNull) {
    auto* setOptions = library().symbol<SetUnitTestOptionsFunction>("qoSetUnitTestOptions");
    ASSERT_NE(setOptions, nullptr);
    FakeStringMap map{{"a", "1"}, {"b", "2"}};
    setOptions(&map);
    EXPECT_EQ(map.references(), 1);
    EXPECT_NO_THROW(setOptions(nullptr));
}

TEST_F(EntryPointTest, NoExceptionOfTheServersMapLeavesSetUnitTestOptions) {
    auto* setOptions = library().symbol<SetUnitTestOptionsFunction>("qoSetUnitTestOptions");
    ASSERT_NE(setOptions, nullptr);
    for (const auto what :
         {FakeStringMap::Throw::standardException, FakeStringMap::Throw::foreignException}) {
        FakeStringMap map{{"a", "1"}};
        map.setThrow(what);
        testing::internal::CaptureStderr();  // The library reports on its own standard error.
        EXPECT_NO_THROW(setOptions(&map));
        const std::string report = testing::internal::GetCapturedStderr();
        EXPECT_NE(report.find("ERROR: Unable to take the unit-test options"), std::string::npos)
            << report;
    }
}

}  // namespace
}  // namespace qo::sdk::test
