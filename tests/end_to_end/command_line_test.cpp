#include "host/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

#include "end_to_end/end_to_end_support.h"
#include "host/plugin_library.h"

namespace lumo::host {
namespace {

using test::pluginPath;

class CommandLineTest : public ::testing::Test {
protected:
    int run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return runLumoHost(args, out, err);
    }

    bool pluginCanBeCreated() {
        std::string error;
        const auto library = PluginLibrary::load(pluginPath(), &error);
        return library && library->hasCreatePlugin();
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CommandLineTest, HelpNamesEveryCommandAndOption) {
    ASSERT_EQ(run({"--help"}), kExitOk);
    const std::string help = out.str();
    for (const char* word : {"version", "replay", "help", "--plugin", "--device-url", "--login",
                             "--password", "--start-us", "--step-us", "--wait-ms", "-h"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(run({"help"}), kExitOk);
    EXPECT_EQ(out.str(), help);
    EXPECT_EQ(run({"replay", "-h"}), kExitOk);
    EXPECT_EQ(out.str(), help);
}

TEST_F(CommandLineTest, VersionPrintsTheSdkVersionAndTheContextName) {
    ASSERT_EQ(run({"version", "--plugin", pluginPath()}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("SDK version: 5.1.4 R1\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("library context name: lumo_analytics_plugin\n"), std::string::npos)
        << out.str();
    EXPECT_EQ(err.str(), "");
}

TEST_F(CommandLineTest, VersionOfAMissingLibraryFailsWithOneLine) {
    EXPECT_EQ(run({"version", "--plugin", "/nonexistent/lib.so"}), kExitFailure);
    EXPECT_EQ(err.str(), "lumo-host: plugin library not found: /nonexistent/lib.so\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(CommandLineTest, UsageErrorsPointToHelp) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"serve"},
        {"replay"},
        {"version", "--plugin"},
        {"version", "file.xml"},
        {"version", "--wait-ms", "5"},
        {"replay", "--step-us", "soon", "file.xml"},
        {"replay", "--wait-ms", "0", "file.xml"},
        {"replay", "--colour", "file.xml"},
    };
    for (const auto& args : wrong) {
        EXPECT_EQ(run(args), kExitUsage) << ::testing::PrintToString(args);
        EXPECT_NE(err.str().find("(see lumo-host --help)"), std::string::npos) << err.str();
    }
}

TEST_F(CommandLineTest, ReplayPrintsEveryDeliveredPacketAndASummary) {
    if (!pluginCanBeCreated())
        GTEST_SKIP() << "the plugin library cannot create the plugin object yet";
    const std::string frame = test::writeTempFile("replay_frame.xml", test::personFrameDocument());
    const std::string tampering =
        test::writeTempFile("replay_tampering.xml", test::tamperingDocument());
    const std::string notXml = test::writeTempFile("replay_not_xml.xml", "no metadata here");

    ASSERT_EQ(run({"replay", "--plugin", pluginPath(), "--start-us", "2000000", "--step-us",
                   "500000", "--wait-ms", "100", frame, tampering, notXml}),
              kExitOk)
        << err.str();

    const std::string output = out.str();
    EXPECT_NE(output.find("# " + frame + " t=2000000\nobject t=2000000 dur=1: qo.lumo.Human "),
              std::string::npos)
        << output;
    EXPECT_NE(output.find(" box=0.250,0.250,0.250,0.500 {qo.sys.color: Green}\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("\nevent t=2500000 dur=1: qo.lumo.Tampering "), std::string::npos)
        << output;
    EXPECT_NE(output.find("# " + notXml + " t=3000000\ndocuments:"), std::string::npos) << output;
    EXPECT_NE(output.find("documents: 3 pushed, 2 processed, 1 dropped\n"
                          "packets: 1 object, 0 best-shot, 1 event\n"
                          "plugin objects alive after shutdown: none\n"),
              std::string::npos)
        << output;
}

TEST_F(CommandLineTest, ReplayOfAnUnreadableFileFails) {
    if (!pluginCanBeCreated())
        GTEST_SKIP() << "the plugin library cannot create the plugin object yet";
    EXPECT_EQ(run({"replay", "--plugin", pluginPath(), "--wait-ms", "1", "/nonexistent.xml"}),
              kExitFailure);
    EXPECT_NE(err.str().find("lumo-host: cannot read /nonexistent.xml\n"), std::string::npos)
        << err.str();
}

}  // namespace
}  // namespace lumo::host
