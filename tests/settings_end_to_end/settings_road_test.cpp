// The settings road through the loaded plugin: changes reach the substitute camera, figures come
// back clockwise, the calibration moves metadata timestamps, and a shutdown right after a change
// leaves no plugin object behind once the writes are done.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera_client/camera_fixture.h"
#include "end_to_end/end_to_end_support.h"
#include "host/media_server.h"
#include "host/plugin_library.h"

namespace lumo_test {
namespace {

using namespace std::chrono_literals;
using lumo::host::MediaServer;

/** The points of a reported figure in camera units, "x,y,...". */
std::string cameraPoints(const std::string& value) {
    const auto figure = nlohmann::json::parse(value)["figure"];
    std::string text;
    for (const auto& point : figure["points"]) {
        for (const auto& number : point)
            text += (text.empty() ? "" : ",") +
                    std::to_string(std::lround(number.get<double>() * 1000));
    }
    return text;
}

class SettingsRoad : public camera_test::CameraFixture {
protected:
    SettingsRoad() : CameraFixture(40) {}

    void SetUp() override {
        CameraFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string error;
        m_library = lumo::host::PluginLibrary::load(LUMO_PLUGIN_PATH, &error);
        ASSERT_TRUE(m_library) << error;
        lumo::host::MediaServerOptions options;
        options.unitTestOptions = {{"writeHoldOffMs", "50"}};
        m_server = std::make_unique<MediaServer>(m_library->entryPoints(), options);
        ASSERT_TRUE(m_server->start(&error)) << error;
    }

    void TearDown() override {
        if (m_server) {
            const auto report = m_server->shutdown(10s);
            EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
        }
        CameraFixture::TearDown();
    }

    void bindCamera() {
        lumo::host::DeviceDescription description{};
        description.url = "http://" + ip() + "/onvif/device_service";
        description.login = user();
        description.password = password();
        std::string error;
        ASSERT_TRUE(m_server->addCamera(description, &m_cameraId, &error)) << error;
    }

    /** "NAME=VALUE" of every write the camera accepted, in order of arrival. */
    std::vector<std::string> acceptedWrites() const {
        std::vector<std::string> texts;
        for (const auto& request : camera->requests()) {
            if (request.authorized && request.status == 200 &&
                request.uri.rfind("/httpapi/WriteParam", 0) == 0) {
                texts.push_back(request.parameters.at(0).first + "=" +
                                request.parameters.at(0).second);
            }
        }
        return texts;
    }

    std::unique_ptr<lumo::host::PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    MediaServer::CameraId m_cameraId = 0;
};

TEST_F(SettingsRoad, ChangesReachTheCameraAndFiguresComeBackClockwise) {
    bindCamera();
    camera->clearRequests();

    const auto answer = m_server->changeSettings(
        m_cameraId, {{"AIX_PERSON_SENSITIVITY", "2"},
                     {"AIX_REGION_ENABLE1", "true"},
                     {"AIX_REGION_POSITION1", R"({"figure":{"points":[[0.1,0.1],[0.1,0.5],)"
                                              R"([0.5,0.5],[0.5,0.1]]},"showOnCamera":true})"},
                     {"AIX_LINE_COUNT_RESET_ALL", "true"}});
    ASSERT_TRUE(answer.ok) << answer.error;
    EXPECT_EQ("false", answer.values.at("AIX_LINE_COUNT_RESET_ALL"));
    for (const auto until = std::chrono::steady_clock::now() + 10s;
         acceptedWrites().size() < 12 && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(2ms);
    const auto written = acceptedWrites();
    for (const char* expected :
         {"AIX_PERSON_SENSITIVITY=2", "AIX_REGION_ENABLE0=1", "AIX_REGION_DISPLAY_ENABLE0=1",
          "AIX_REGION_POSITION00=100,100,500,100,500,500,100,500", "AIX_LINE_COUNT_RESET7=0"}) {
        EXPECT_EQ(1, std::count(written.begin(), written.end(), expected)) << expected;
    }

    const auto figures = m_server->pluginSideSettings(m_cameraId);
    ASSERT_TRUE(figures.ok) << figures.error;
    const std::string& region = figures.values.at("AIX_REGION_POSITION1");
    EXPECT_EQ("100,100,500,100,500,500,100,500", cameraPoints(region));
    EXPECT_EQ(true, nlohmann::json::parse(region)["showOnCamera"]);
}

TEST_F(SettingsRoad, CalibrationSpinBoxMovesMetadataTimestampsAtOnce) {
    bindCamera();
    const auto answer = m_server->activeSettingChange(m_cameraId, "TS_CALIBRATION", "-3");
    ASSERT_TRUE(answer.ok) << answer.error;

    std::string error;
    const int64_t timestampUs = 1'715'678'467'512'000;
    ASSERT_TRUE(m_server->pushMetadata(m_cameraId, lumo::host::test::personFrameDocument(),
                                       timestampUs, &error))
        << error;
    auto& handler = m_server->agentHandler(m_cameraId);
    ASSERT_GE(handler.waitUntilQuiet(0, 150ms, 5s), 1u);
    const auto packets = handler.takePackets();
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(timestampUs - 150000, packets.front()->timestampUs());
    EXPECT_TRUE(acceptedWrites().empty()) << "calibration stays in the plugin";
}

TEST_F(SettingsRoad, ShutdownRightAfterAChangeWaitsForTheSlowCamerasWrites) {
    bindCamera();
    camera->clearRequests();
    camera->addFault(lumo_camera::Fault(lumo_camera::Fault::Kind::delay, "", -1, 100ms));

    const auto answer =
        m_server->changeSettings(m_cameraId, {{"AIX_LINE_ENABLE3", "true"},
                                              {"AIX_CAR_SENSITIVITY", "3"},
                                              {"AIX_LINE_COUNT_RESET_ALL", "true"}});
    ASSERT_TRUE(answer.ok) << answer.error;
    const auto report = m_server->shutdown(10s);
    m_server.reset();

    EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
    EXPECT_EQ(11u, acceptedWrites().size()) << "2 + 1 + 8 writes, all answered";
}

}  // namespace
}  // namespace lumo_test
