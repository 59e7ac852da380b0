// The demo against the generator's ground truth, less only what documents dropped while the agent
// was busy carried.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "camera.h"
#include "commands/command_line.h"
#include "scene_generator.h"
#include "support/test_paths.h"

namespace lumo::host {
namespace {

using lumo_camera::SceneEventKind;
using lumo_camera::SceneGenerator;
using lumo_camera::SceneOptions;
using Json = nlohmann::json;

TEST(DemoTest, SummaryMatchesTheScenePlayed) {
    // Any free loopback address at port 80; runs in other build directories start elsewhere.
    std::string address, whyNot;
    for (int attempt = 0; attempt < 64 && address.empty(); ++attempt) {
        lumo_camera::CameraOptions options;
        options.address = "127.42.0." + std::to_string((getpid() + attempt) % 250 + 1);
        lumo_camera::Camera probe(options);
        try {
            probe.start();
            address = options.address;
        } catch (const lumo_camera::ListenError& e) {
            whyNot = e.what();
            if (e.error != EADDRINUSE)
                break;
        }
    }
    if (address.empty())
        GTEST_SKIP() << "the demo needs its camera on a loopback address at port 80: " << whyNot;
    const std::string svgPath =
        ::testing::TempDir() + "demo_frame_" + std::to_string(getpid()) + ".svg";
    std::ostringstream out, err;
    ASSERT_EQ(runLumoHost({"demo", "--plugin", test::pluginPath(), "--camera-address", address,
                           "--seconds", "8", "--seed", "7", "--json", "--svg", svgPath},
                          out, err),
              kExitOk)
        << err.str();

    Json summary, lastFrame;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        const Json json = Json::parse(line);
        if (json.contains("summary"))
            summary = json["summary"];
        else if (json["kind"] == "object")
            lastFrame = json;
    }
    ASSERT_TRUE(summary.is_object()) << out.str();
    EXPECT_EQ(summary["liveObjects"], "none");

    const Json& scene = summary["scene"];
    SceneOptions options;
    options.seed = scene["seed"];
    options.seconds = scene["seconds"];
    options.documentsPerSecond = scene["rate"];
    options.staySeconds = scene["staySeconds"];
    options.loiteringSeconds = scene["loiteringSeconds"];
    for (const char* key : {"lines", "regions"}) {
        auto& figures = key == std::string("lines") ? options.lines : options.regions;
        for (const Json& figure : scene[key]) {
            figures.push_back({figure["slot"].get<int>(), {}});
            for (const Json& point : figure["points"])
                figures.back().points.push_back({point[0].get<int>(), point[1].get<int>()});
        }
    }
    ASSERT_EQ(options.lines.size(), 2u);
    ASSERT_EQ(options.regions.size(), 1u);
    const SceneGenerator generator(options);
    const auto& truth = generator.truth();

    const Json& documents = summary["documents"];
    EXPECT_EQ(documents["pushed"], generator.documentCount());
    EXPECT_EQ(documents["lost"], 0);
    EXPECT_EQ(documents["processed"].get<int>() + documents["droppedWhileBusy"].get<int>(),
              documents["pushed"].get<int>());

    const Json& dropped = summary["inDroppedDocuments"];
    auto tracksByType = dropped["tracks"].get<std::map<std::string, int>>();
    for (const auto& [type, count] : summary["tracks"]["byType"].get<std::map<std::string, int>>())
        tracksByType[type] += count;
    std::map<std::string, int> expectedTracks;
    for (const auto& track : truth.tracks) {
        static const char* const kTypes[] = {"qo.lumo.Human", "qo.lumo.Car", "qo.lumo.Truck",
                                             "qo.lumo.Bicycle", "qo.lumo.Motorcycle"};
        ++expectedTracks[kTypes[static_cast<int>(track.kind)]];
    }
    EXPECT_EQ(tracksByType, expectedTracks);
    EXPECT_EQ(summary["tracks"]["withOneTrackId"], summary["tracks"]["count"]);

    for (const auto& [slot, crossings] : truth.crossings) {
        const std::string line = std::to_string(slot + 1);
        std::multiset<int> counts;
        for (const Json* list : {&std::as_const(summary)["lineCounts"], &dropped["lineCounts"]}) {
            if (list->contains(line))
                counts.insert((*list)[line].begin(), (*list)[line].end());
        }
        std::multiset<int> expected;
        for (int count = 1; count <= crossings; ++count)
            expected.insert(count);
        EXPECT_EQ(counts, expected) << "line " << line;
    }

    std::map<SceneEventKind, int> expectedEvents = truth.events;
    expectedEvents[SceneEventKind::settingsChanged] = summary["settingsWritten"];
    EXPECT_GT(expectedEvents[SceneEventKind::settingsChanged], 0);
    for (const auto& [kind, count] : expectedEvents) {
        // The camera's names, but for the settings change, are the plugin's event types.
        const std::string type = kind == SceneEventKind::settingsChanged
                                     ? "qo.lumo.SettingChanged"
                                     : std::string("qo.lumo.") + lumo_camera::sceneEventName(kind);
        EXPECT_EQ(summary["events"].value(type, 0) + dropped["events"].value(type, 0), count)
            << type;
    }

    std::ifstream file(svgPath);
    const std::string svg((std::istreambuf_iterator<char>(file)), {});
    std::remove(svgPath.c_str());
    const auto shapes = [&svg](const std::string& kind) {
        size_t count = 0;
        for (size_t at = svg.find(kind); at != std::string::npos; at = svg.find(kind, at + 1))
            ++count;
        return count;
    };
    size_t boxes = 0;
    for (const Json& item : lastFrame["items"])
        boxes += item.contains("box");
    EXPECT_GT(boxes, 0u);
    EXPECT_EQ(shapes("class=\"box\""), boxes);
    EXPECT_EQ(shapes("class=\"region\""), 1u);
    EXPECT_EQ(shapes("class=\"line\""), 2u);
}

}  // namespace
}  // namespace lumo::host
