// `lumo-host` as a person uses it: help, usage errors, replay and bench output, and what a person
// gets wrong told in one line that says what to do, with a failing exit.
#include "commands/command_line.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <tuple>
#include <utility>

#include "support/test_paths.h"

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

TEST_F(CommandLineTest, HelpNamesEveryCommandAndOptionAndUsageErrorsPointToIt) {
    ASSERT_EQ(kExitOk, run({"--help"}));
    const std::string help = out.str();
    for (const char* word : {"version", "replay", "help", "--plugin", "--device-url", "--login",
                             "--password", "--start-us", "--step-us", "--wait-ms", "-h"})
        EXPECT_NE(std::string::npos, help.find(word)) << word;
    EXPECT_EQ(kExitOk, run({"replay", "-h"}));
    EXPECT_EQ(help, out.str());
    // No command, an unknown one, a missing value, another command's option, a bad number, a file
    // where a command takes none...
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{}, ""},
        {{"serve"}, ""},
        {{"version", "--plugin"}, "--plugin needs a value"},
        {{"version", "--wait-ms", "5"}, ""},
        {{"replay", "--step-us", "soon", "x.xml"}, "--step-us"},
        {{"replay", "--colour", "x.xml"}, "unknown option --colour"},
        {{"bench", "--cameras"}, "--cameras needs a value"},
        {{"bench", "--cameras", "0"}, "--cameras"},
        {{"demo", "scene.xml"}, "demo takes no file"},
        {{"demo", "--colour"}, "unknown option --colour"},
        {{"settings", "get", "--camera"}, "--camera needs a value"},
        {{"settings", "fetch"}, ""}};
    for (const auto& [args, says] : wrong) {
        EXPECT_EQ(kExitUsage, run(args)) << ::testing::PrintToString(args);
        EXPECT_NE(std::string::npos, err.str().find(says)) << err.str();
        EXPECT_NE(std::string::npos, err.str().find("(see lumo-host --help)")) << err.str();
    }
    for (const char* command : {"bench", "demo", "settings"}) {
        EXPECT_EQ(kExitOk, run({command, "--help"})) << command;
        EXPECT_EQ(help, out.str()) << command;
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

TEST_F(CommandLineTest, EveryCommandNamesAWrongPluginFile) {
    // A library that loads but is another one.
    std::string libm;
    if (void* handle = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL)) {
        link_map* map = nullptr;
        if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name)
            libm = map->l_name;
        dlclose(handle);
    }
    const std::string notALibrary = test::sourcePath("host/CMakeLists.txt");
    ASSERT_FALSE(libm.empty());
    const std::string missing = "/nonexistent/liblumo_analytics_plugin.so";
    const std::string nameIt =
        " (give the path of the built liblumo_analytics_plugin.so with --plugin)\n";
    // What the line starts with and ends with; the loader's reason may stand between.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {missing, "plugin library not found: " + missing,
         " (build it with make, or give its path with --plugin)\n"},
        {libm, libm + " is not the LUMO analytics plugin: it does not export qoLibContext", nameIt},
        {notALibrary, "cannot load the plugin library: " + notALibrary + ": ", nameIt},
    };
    const std::string document =
        test::writeTempFile("errors_frame.xml", test::personFrameDocument());
    const std::vector<std::string> commands[] = {
        {"version"}, {"replay", document}, {"settings", "get"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [path, start, end] = cases[i];
        auto args = commands[i];
        args.insert(args.end(), {"--plugin", path});
        EXPECT_EQ(kExitFailure, run(args)) << args[0];
        const std::string line = err.str();
        EXPECT_EQ(0u, line.rfind("lumo-host: " + start, 0)) << line;
        EXPECT_EQ(line.size() - end.size(), line.rfind(end)) << line;
        EXPECT_EQ(line.size() - 1, line.find('\n')) << line;
    }
}

TEST_F(CommandLineTest, ReplayRefusesFilesThatCannotBeMetadataDocuments) {
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
        EXPECT_EQ(kExitFailure, run({"replay", "--plugin", pluginPath(), path})) << path;
        const std::string line = err.str();
        EXPECT_NE(std::string::npos, line.find(reason)) << line;
        const std::string advice = ": give ONVIF metadata documents, one XML file each\n";
        EXPECT_EQ(0u, line.rfind("lumo-host: ", 0)) << line;
        EXPECT_EQ(line.size() - advice.size(), line.find(advice)) << line;
        EXPECT_NE(std::string::npos, out.str().find("documents: 0 pushed")) << out.str();
    }
}

// At a simulated core count every agent runs a pool of its own of two threads.
TEST_F(CommandLineTest, BenchFiguresAddUpAndEachCameraStartsTwoThreads) {
    ASSERT_EQ(run({"bench", "--plugin", pluginPath(), "--cameras", "4", "--rate", "5", "--seconds",
                   "1", "--simulate-cores", "64", "--sample-every", "1", "--json"}),
              kExitOk)
        << err.str();
    const auto json = nlohmann::json::parse(out.str());
    const auto& documents = json.at("documents");
    EXPECT_EQ(documents.at("pushed"), 4 * 5 * 1);
    EXPECT_GT(documents.at("processed"), 0);
    EXPECT_LE(documents.at("processed").get<int>() + documents.at("dropped").get<int>(),
              documents.at("pushed").get<int>());
    EXPECT_LE(documents.at("droppedWhileBusy"), documents.at("dropped"));
    EXPECT_GE(json.at("packets").at("object"), documents.at("processed"));
    EXPECT_LE(json.at("latencyMs").at("p50"), json.at("latencyMs").at("p99"));
    EXPECT_EQ(json.at("liveObjects"), "none");
    EXPECT_GT(json.at("pluginCpu").at("perDocumentUs"), 0);
    EXPECT_EQ(json.at("options").at("simulatedCores"), 64);
    const auto& threads = json.at("threads");
    EXPECT_EQ(threads.at("atEnd").get<int>() - threads.at("beforePlugin").get<int>(), 2 * 4);
    ASSERT_EQ(json.at("samples").size(), 1u);
    EXPECT_GT(json.at("samples")[0].at("residentMb"), 0);
}

}  // namespace
}  // namespace lumo::host
