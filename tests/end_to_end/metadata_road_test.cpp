// The metadata road as the server sees it: the loaded plugin, its manifests and dialog defaults,
// an agent turning the camera's sample documents into packets, and a shutdown that leaves no
// plugin object alive.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <string>

#include "server/media_server.h"
#include "server/plugin_library.h"
#include "support/delivered_packets.h"
#include "support/test_paths.h"

namespace lumo::host {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr int64_t kStart = 1'715'678'467'512'000;  // 2024-05-14T09:21:07.512Z

class MetadataRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_library = PluginLibrary::load(test::pluginPath(), &error);
        ASSERT_TRUE(m_library) << error;
        m_server = std::make_unique<MediaServer>(m_library->entryPoints());
        ASSERT_TRUE(m_server->start(&error)) << error;
        DeviceDescription camera;
        camera.url = "http://camera.invalid/onvif/device_service";  // No camera is contacted.
        ASSERT_TRUE(m_server->addCamera(camera, &m_camera, &error, /*sendDefaultSettings*/ false))
            << error;
    }
    void TearDown() override {
        if (!m_server)
            return;
        const auto report = m_server->shutdown(5s);
        EXPECT_TRUE(report.registryInstalled);
        EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
    }

    std::string deliver(const std::string& sample, int64_t t) {
        DeviceAgentHandler& handler = m_server->agentHandler(m_camera);
        const size_t before = handler.packetCount();
        std::string error;
        EXPECT_TRUE(m_server->pushMetadata(m_camera, test::sampleDocument(sample), t, &error))
            << error;
        handler.waitUntilQuiet(before, 100ms, 10s);
        return m_text(handler.takePackets());
    }

    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    MediaServer::CameraId m_camera = 0;
    lumo_test::PacketText m_text;
};

// The manifests' contents are checked item by item in the manifests test.
TEST_F(MetadataRoadTest, ManifestsAreJsonAndNameThePlugin) {
    EXPECT_EQ("qo.lumo", Json::parse(m_server->pluginManifest()).at("id"));
    EXPECT_TRUE(Json::parse(m_server->engineManifest()).contains("deviceAgentSettingsModel"));
    EXPECT_EQ(17u, Json::parse(m_server->agentManifest(m_camera)).at("supportedTypes").size());
}

TEST_F(MetadataRoadTest, SampleDocumentsBecomeTracksBestShotsAndEvents) {
    // A frame of 1920 x 1080 camera units; the head is not shown.
    const std::string frame =
        "objects t=1715678467512000: Human#1 [0.110417,0.359259,0.0552083,0.290741] Green; Human#2 "
        "[0.422917,0.222222,0.0479167,0.255556] Green; Car#3 [0.628125,0.557407,0.251042,0.307407] "
        "Cyan; Bicycle#4 [0.209375,0.592593,0.0541667,0.166667] Blue";
    EXPECT_EQ(frame, deliver("frame-persons-vehicles.xml", kStart));
    EXPECT_EQ(
        "objects t=1715678467513000: Human#2 {Object ID=1042, Gender=Female, Eyewear=true, "
        "Mask=false, Hat=true, Helmet=false, Top Color=Red, Bottom Color=Blue, Bag=Backpack}"
        "\nshot t=1715678467513000 #2 http://192.0.2.10/bestshot/2024-05-14/1042.jpg",
        deliver("bestshot-person.xml", kStart + 1'592'000))
        << "dated one millisecond after its first appearance";
    EXPECT_EQ(
        "objects t=1715678471276000: Truck#3 {Object ID=1044, Color=White}; Head#5 {Object "
        "ID=1043}\nshot t=1715678467513000 #3 http://192.0.2.10/bestshot/2024-05-14/1044.jpg"
        "\nshot t=1715678471276000 #5 http://192.0.2.10/bestshot/2024-05-14/1043.jpg",
        deliver("bestshot-vehicle-head.xml", kStart + 3'764'000))
        << "the car keeps its track; a head is never tracked";

    const std::pair<const char*, const char*> events[] = {
        {"event-region-enter.xml", R"(Enter#6 "Enter" "Event Region : [3]")"},
        {"event-line-counting.xml",
         R"(LineCounting#7 "Line Counting" "Event Line : [2], Count : [12]")"},
        {"event-tampering.xml", R"(Tampering#8 "Tampering" "")"},
        {"event-ai-settings-changed.xml", R"(SettingChanged#9 "AI Setting Changed" "")"},
    };
    int64_t t = kStart + 4'000'000;
    for (const auto& [file, event] : events) {
        t += 500'000;
        EXPECT_EQ("events t=" + std::to_string(t) + ": " + event, deliver(file, t));
    }
    // The person the region event named is highlighted in the next frame.
    EXPECT_EQ(std::string(frame).replace(frame.find("Green; Car"), 5, "Red"),
              deliver("frame-persons-vehicles.xml", kStart));
}

TEST_F(MetadataRoadTest, ShutdownWhileADocumentIsInWorkLeavesNoPluginObjectAlive) {
    deliver("frame-persons-vehicles.xml", kStart);
    std::string error;
    EXPECT_TRUE(m_server->pushMetadata(m_camera, test::personFrameDocument(), kStart, &error));
    EXPECT_TRUE(m_server->pushVideoFrame(m_camera, 1920, 1080, kStart, &error)) << error;
    const auto report = m_server->shutdown(5s);
    EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
    EXPECT_GT(m_server->registry()->createdCount(), 0);
    m_server.reset();
}

TEST(RunningPluginTest, StopsClearlyWithoutCreateQoPluginElseBindsACameraWithEveryDialogDefault) {
    std::string error;
    const auto library = PluginLibrary::load(test::pluginPath(), &error);
    ASSERT_TRUE(library) << error;
    {
        PluginEntryPoints entryPoints = library->entryPoints();
        entryPoints.createPlugin = nullptr;  // As a library without the plugin object.
        MediaServer server(entryPoints);
        EXPECT_FALSE(server.start(&error));
        EXPECT_EQ(0u, error.rfind(test::pluginPath() + " does not export createQoPlugin", 0));
        EXPECT_EQ("5.1.4 R1", server.sdkVersion());
        EXPECT_EQ("lumo_analytics_plugin", server.contextName());
    }

    MediaServer complete(library->entryPoints());
    ASSERT_TRUE(complete.start(&error)) << error;
    const auto& defaults = complete.settingsDefaults();
    EXPECT_EQ(25u + 39u * 8u, defaults.size()) << "25 single items, 39 template items in 8 copies";
    EXPECT_EQ("0", defaults.at("TS_CALIBRATION"));
    EXPECT_EQ("50", defaults.at("AIX_LINE_COUNTOSD_FONTSIZE8"));
    // As the plugin reads back an empty slot, so an untouched camera shows no change.
    EXPECT_EQ(R"({"figure":null,"label":"","showOnCamera":false})",
              defaults.at("AIX_REGION_POSITION1"));

    DeviceDescription camera;
    camera.url = "http://127.0.0.1/";  // Nobody listens: the agent's settings reads fail at once.
    MediaServer::CameraId id = 0;
    ASSERT_TRUE(complete.addCamera(camera, &id, &error)) << error;
    EXPECT_EQ("5", complete.cameraSettings(id).at("HL_DURATION"));
    EXPECT_EQ("false", complete.cameraSettings(id).at("AIX_LINE_COUNT_RESET_ALL"));
    const ShutdownReport report = complete.shutdown();
    EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
}

}  // namespace
}  // namespace lumo::host
