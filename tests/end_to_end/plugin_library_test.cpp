// The server started on the loaded plugin: version, context name, the dialog defaults derived from
// the plugin's own engine manifest, and a camera bound with them. Load failures are in the
// clear-errors test.
#include "host/plugin_library.h"

#include <gtest/gtest.h>

#include "end_to_end/end_to_end_support.h"
#include "host/media_server.h"

namespace lumo::host {
namespace {

using test::pluginPath;

class RunningPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        library = PluginLibrary::load(pluginPath(), &error);
        ASSERT_TRUE(library) << error;
    }
    std::unique_ptr<PluginLibrary> library;
};

TEST_F(RunningPluginTest, ServerWithoutCreateQoPluginStopsAtThePluginWithAClearError) {
    PluginEntryPoints entryPoints = library->entryPoints();
    entryPoints.createPlugin = nullptr;  // As a library without the plugin object.
    MediaServer server(entryPoints);
    std::string error;
    EXPECT_FALSE(server.start(&error));
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(0u, error.rfind(pluginPath() + " does not export createQoPlugin", 0)) << error;
    EXPECT_EQ("5.1.4 R1", server.sdkVersion());
    EXPECT_EQ("lumo_analytics_plugin", server.contextName());
}

TEST_F(RunningPluginTest, DialogDefaultsCoverEveryCopyOfEveryItemAndReachABoundCamera) {
    MediaServer server(library->entryPoints());
    std::string error;
    ASSERT_TRUE(server.start(&error)) << error;
    const auto& defaults = server.settingsDefaults();
    EXPECT_EQ(25u + 39u * 8u, defaults.size()) << "25 single items, 39 template items in 8 copies";
    EXPECT_EQ("0", defaults.at("TS_CALIBRATION"));
    EXPECT_EQ("50", defaults.at("AIX_LINE_COUNTOSD_FONTSIZE8"));
    EXPECT_EQ(0u, defaults.count("AIX_REGION_ENABLE9"));
    EXPECT_EQ("", defaults.at("AIX_REGION_POSITION8"));
    EXPECT_TRUE(
        nlohmann::json::parse(defaults.at("AIX_OBJECT_DETECTION_SIZE")).contains("minimum"));

    DeviceDescription camera;
    camera.url = "http://127.0.0.1/";  // Nobody listens: the agent's settings reads fail at once.
    MediaServer::CameraId id = 0;
    ASSERT_TRUE(server.addCamera(camera, &id, &error)) << error;
    EXPECT_EQ("5", server.cameraSettings(id).at("HL_DURATION"));
    EXPECT_EQ("false", server.cameraSettings(id).at("AIX_LINE_COUNT_RESET_ALL"));
    const ShutdownReport report = server.shutdown();
    EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
}

}  // namespace
}  // namespace lumo::host
