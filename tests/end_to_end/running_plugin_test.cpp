// The dialog defaults as this server derives them from the plugin's own engine manifest, and a
// camera bound with them.
#include <gtest/gtest.h>

#include "end_to_end/end_to_end_support.h"
#include "host/media_server.h"
#include "host/plugin_library.h"

namespace lumo::host {
namespace {

class RunningPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        library = PluginLibrary::load(test::pluginPath(), &error);
        ASSERT_TRUE(library) << error;
        if (!library->hasCreatePlugin())
            GTEST_SKIP() << "the plugin library cannot create the plugin object yet";
        server = std::make_unique<MediaServer>(library->entryPoints());
        ASSERT_TRUE(server->start(&error)) << error;
    }

    std::unique_ptr<PluginLibrary> library;
    std::unique_ptr<MediaServer> server;
};

TEST_F(RunningPluginTest, DialogDefaultsCoverEveryCopyOfEveryItem) {
    const auto& defaults = server->settingsDefaults();
    EXPECT_EQ(defaults.at("TS_CALIBRATION"), "0");
    EXPECT_EQ(defaults.at("HL_DURATION"), "5");
    EXPECT_EQ(defaults.at("AIX_LINE_COUNTOSD_FONTSIZE8"), "50");
    EXPECT_EQ(defaults.count("AIX_REGION_ENABLE9"), 0u);
    EXPECT_EQ(defaults.at("AIX_REGION_POSITION8"), "");
    EXPECT_TRUE(
        nlohmann::json::parse(defaults.at("AIX_OBJECT_DETECTION_SIZE")).contains("minimum"));
    // 25 single items and 39 template items in 8 copies.
    EXPECT_EQ(defaults.size(), 25u + 39u * 8u);
}

TEST_F(RunningPluginTest, CameraBoundWithTheDefaultsShowsThemAndShutsDownClean) {
    DeviceDescription camera;
    // No camera listens here, so the agent's settings reads are refused at once.
    camera.url = "http://127.0.0.1/";
    MediaServer::CameraId id = 0;
    std::string error;
    ASSERT_TRUE(server->addCamera(camera, &id, &error)) << error;
    EXPECT_EQ(server->cameraSettings(id).at("HL_DURATION"), "5");
    EXPECT_EQ(server->cameraSettings(id).at("AIX_LINE_COUNT_RESET_ALL"), "false");

    const ShutdownReport report = server->shutdown();
    EXPECT_EQ(report.liveCount, 0) << report.describeLiveObjects();
}

}  // namespace
}  // namespace lumo::host
