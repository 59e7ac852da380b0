// What a person gets wrong, told in one line that says what to do, with a failing exit: a plugin
// path that is missing or names another library, and replay files that cannot be read or are not
// metadata documents.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "end_to_end/end_to_end_support.h"
#include "host/command_line.h"

namespace lumo::host {
namespace {

class ClearErrors : public ::testing::Test {
protected:
    int run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return runLumoHost(args, out, err);
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ClearErrors, EveryCommandNamesAWrongPluginFile) {
    const std::string libm = test::systemLibraryPath("libm.so.6");
    const std::string notALibrary = test::sourcePath("host/CMakeLists.txt");
    ASSERT_FALSE(libm.empty());
    const std::string missing = "/nonexistent/liblumo_analytics_plugin.so";
    const std::string nameIt =
        " (give the path of the built liblumo_analytics_plugin.so with "
        "--plugin)\n";
    // What the line starts with and ends with; the loader's reason may stand between.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {missing, "plugin library not found: " + missing,
         " (build it with make, or give its path with --plugin)\n"},
        {libm, libm + " is not the LUMO analytics plugin: it does not export qoLibContext", nameIt},
        {notALibrary, "cannot load the plugin library: " + notALibrary + ": ", nameIt},
    };
    const std::string document =
        test::writeTempFile("errors_frame.xml", test::personFrameDocument());
    for (const auto& [path, start, end] : cases) {
        for (std::vector<std::string> args :
             {std::vector<std::string>{"version"}, {"replay", document}, {"settings", "get"}}) {
            args.insert(args.end(), {"--plugin", path});
            EXPECT_EQ(kExitFailure, run(args)) << args[0];
            const std::string line = err.str();
            EXPECT_EQ(0u, line.rfind("lumo-host: " + start, 0)) << line;
            EXPECT_EQ(line.size() - end.size(), line.rfind(end)) << line;
            EXPECT_EQ(line.size() - 1, line.find('\n')) << line;
        }
    }
}

TEST_F(ClearErrors, ReplayRefusesFilesThatCannotBeMetadataDocuments) {
    const std::string cut = test::personFrameDocument().substr(0, 300);
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/frame.xml", "cannot read /nonexistent/frame.xml: No such file or directory"},
        {::testing::TempDir(), "cannot read " + ::testing::TempDir() + ": Is a directory"},
        {test::writeTempFile("errors_empty.xml", ""), "errors_empty.xml is empty"},
        {test::writeTempFile("errors_frame.jpg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10)),
         "errors_frame.jpg holds binary data, not a metadata document"},
        {test::writeTempFile("errors_cut.xml", cut), "errors_cut.xml is not well-formed XML ("},
    };
    for (const auto& [path, reason] : cases) {
        EXPECT_EQ(kExitFailure, run({"replay", "--plugin", test::pluginPath(), path})) << path;
        const std::string line = err.str();
        EXPECT_NE(std::string::npos, line.find(reason)) << line;
        const std::string advice = ": give ONVIF metadata documents, one XML file each\n";
        EXPECT_EQ(0u, line.rfind("lumo-host: ", 0)) << line;
        EXPECT_EQ(line.size() - advice.size(), line.find(advice)) << line;
        EXPECT_NE(std::string::npos, out.str().find("documents: 0 pushed")) << out.str();
    }
}

}  // namespace
}  // namespace lumo::host
