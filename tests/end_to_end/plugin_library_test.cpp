#include "host/plugin_library.h"

#include <gtest/gtest.h>

#include "end_to_end/end_to_end_support.h"
#include "host/media_server.h"

namespace lumo::host {
namespace {

using test::pluginPath;

class PluginLibraryTest : public ::testing::Test {
protected:
    std::unique_ptr<PluginLibrary> loadBuiltPlugin() {
        std::string error;
        auto library = PluginLibrary::load(pluginPath(), &error);
        EXPECT_TRUE(library) << error;
        return library;
    }
};

TEST_F(PluginLibraryTest, BuiltPluginAnswersItsSdkVersion) {
    const auto library = loadBuiltPlugin();
    ASSERT_TRUE(library);
    EXPECT_EQ(library->path(), pluginPath());
    EXPECT_STREQ(library->entryPoints().sdkVersion(), "5.1.4 R1");
}

TEST_F(PluginLibraryTest, NamedContextKeepsItsNameAgainstAnother) {
    const auto library = loadBuiltPlugin();
    ASSERT_TRUE(library);
    qo::sdk::ILibContext* context = library->entryPoints().libContext();
    ASSERT_NE(context, nullptr);
    const std::string name = libraryContextName(library->path());
    context->setName(name.c_str());

    test::StderrCapture capture;
    context->setName(name.c_str());  // The same name again is no rename.
    context->setName("someone_else");
    const std::string log = capture.text();

    EXPECT_NE(
        log.find("Attempt to change LibContext name from \"" + name + "\" to \"someone_else\"."),
        std::string::npos)
        << log;
    EXPECT_EQ(log.find("ASSERTION FAILED"), log.rfind("ASSERTION FAILED")) << log;
}

TEST_F(PluginLibraryTest, MissingFileIsNamedInOneLine) {
    std::string error;
    EXPECT_FALSE(PluginLibrary::load("/nonexistent/liblumo_analytics_plugin.so", &error));
    EXPECT_EQ(error, "plugin library not found: /nonexistent/liblumo_analytics_plugin.so");
}

TEST_F(PluginLibraryTest, LibraryWithoutTheEntryPointsIsNotThePlugin) {
    const std::string libm = test::systemLibraryPath("libm.so.6");
    ASSERT_FALSE(libm.empty());
    std::string error;
    EXPECT_FALSE(PluginLibrary::load(libm, &error));
    EXPECT_EQ(error, libm + " is not the LUMO analytics plugin: it does not export qoLibContext");
}

TEST_F(PluginLibraryTest, FileThatIsNoLibraryGivesTheLoadersReason) {
    const std::string notALibrary = test::sourcePath("host/CMakeLists.txt");
    std::string error;
    EXPECT_FALSE(PluginLibrary::load(notALibrary, &error));
    EXPECT_EQ(error.rfind("cannot load the plugin library: " + notALibrary + ": ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST_F(PluginLibraryTest, ServerWithoutCreateQoPluginStopsAtThePluginWithAClearError) {
    const auto library = loadBuiltPlugin();
    ASSERT_TRUE(library);
    PluginEntryPoints entryPoints = library->entryPoints();
    entryPoints.createPlugin = nullptr;  // As the library was before the plugin object existed.

    MediaServer server(entryPoints);
    std::string error;
    EXPECT_FALSE(server.start(&error));
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(error.rfind(pluginPath() + " does not export createQoPlugin", 0), 0u) << error;
    EXPECT_EQ(server.sdkVersion(), "5.1.4 R1");
    EXPECT_EQ(server.contextName(), "lumo_analytics_plugin");
}

TEST(LibraryContextNameTest, IsTheFileNameWithoutLibAndSuffix) {
    EXPECT_EQ(libraryContextName("/opt/x/liblumo_analytics_plugin.so"), "lumo_analytics_plugin");
    EXPECT_EQ(libraryContextName("libfoo.so.1.2"), "foo");
    EXPECT_EQ(libraryContextName("plain.so"), "plain");
    EXPECT_EQ(libraryContextName("dir/lib"), "lib");
}

}  // namespace
}  // namespace lumo::host
