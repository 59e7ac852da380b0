#include "host/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

#include "end_to_end/end_to_end_support.h"

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
    std::ostringstream out, err;
};

TEST_F(CommandLineTest, HelpNamesEveryCommandAndOption) {
    ASSERT_EQ(kExitOk, run({"--help"}));
    const std::string help = out.str();
    for (const char* word : {"version", "replay", "help", "--plugin", "--device-url", "--login",
                             "--password", "--start-us", "--step-us", "--wait-ms", "-h"})
        EXPECT_NE(std::string::npos, help.find(word)) << word;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"help"}, {"replay", "-h"}}) {
        EXPECT_EQ(kExitOk, run(args));
        EXPECT_EQ(help, out.str());
    }
}

TEST_F(CommandLineTest, VersionPrintsTheSdkVersionAndTheContextName) {
    ASSERT_EQ(kExitOk, run({"version", "--plugin", pluginPath()})) << err.str();
    EXPECT_NE(std::string::npos, out.str().find("SDK version: 5.1.4 R1\n")) << out.str();
    EXPECT_NE(std::string::npos, out.str().find("library context name: lumo_analytics_plugin\n"));
    EXPECT_EQ("", err.str());
}

TEST_F(CommandLineTest, UsageErrorsPointToHelp) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"serve"},
        {"replay"},
        {"version", "--plugin"},
        {"version", "--wait-ms", "5"},
        {"replay", "--step-us", "soon", "file.xml"},
        {"replay", "--colour", "file.xml"},
    };
    for (const auto& args : wrong) {
        EXPECT_EQ(kExitUsage, run(args)) << ::testing::PrintToString(args);
        EXPECT_NE(std::string::npos, err.str().find("(see lumo-host --help)")) << err.str();
    }
}

TEST_F(CommandLineTest, ReplayPrintsEveryDeliveredPacketAndASummary) {
    const std::string frame = test::writeTempFile("replay_frame.xml", test::personFrameDocument());
    const std::string tampering = test::sourcePath("samples/onvif/event-tampering.xml");
    const std::string bestShot = test::sourcePath("samples/onvif/bestshot-person.xml");
    ASSERT_EQ(kExitOk, run({"replay", "--plugin", pluginPath(), "--start-us", "2000000",
                            "--step-us", "500000", "--wait-ms", "100", frame, tampering, bestShot}))
        << err.str();
    const std::string output = out.str();
    for (const std::string& text : std::vector<std::string>{
             "# " + frame + " t=2000000\nobject t=2000000 dur=1: qo.lumo.Human track=",
             " box=0.250,0.250,0.250,0.500 {qo.sys.color: Green}\n# " + tampering +
                 " t=2500000\nevent t=2500000 dur=1: qo.lumo.Tampering track=",
             " active caption=\"Tampering\" description=\"\"\n# " + bestShot +
                 " t=3000000\nobject t=3000000 dur=1: qo.lumo.Human track=",
             " {Object ID: 1042, Gender: Female, Eyewear: true, Mask: false, Hat: true, Helmet: "
             "false, "
             "Top Color: Red, Bottom Color: Blue, Bag: Backpack}\nbest-shot t=3000000 track=",
             " url=\"http://192.0.2.10/bestshot/2024-05-14/1042.jpg\"\n",
             "\ndocuments: 3 pushed, 3 processed, 0 dropped\npackets: 2 object, 1 best-shot, 1 "
             "event\nplugin objects alive after shutdown: none\n"})
        EXPECT_NE(std::string::npos, output.find(text)) << text << "\nnot in\n" << output;
}

}  // namespace
}  // namespace lumo::host
