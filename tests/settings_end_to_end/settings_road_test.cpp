// The settings road through the loaded plugin: the calibration moves metadata timestamps, and a
// shutdown right after a change leaves no plugin object behind once the writes are done.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "end_to_end/end_to_end_support.h"
#include "server/media_server.h"
#include "server/plugin_library.h"
#include "support/camera_fixture.h"

namespace lumo_test {
namespace {

using namespace std::chrono_literals;
using lumo::host::MediaServer;

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
        lumo::host::DeviceDescription description{};
        description.url = "http://" + ip() + "/onvif/device_service";
        description.login = user();
        description.password = password();
        ASSERT_TRUE(m_server->addCamera(description, &m_cameraId, &error)) << error;
        camera->clearRequests();
    }

    void TearDown() override {
        if (m_server) {
            const auto report = m_server->shutdown(10s);
            EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
        }
        CameraFixture::TearDown();
    }

    /** Writes the camera accepted. */
    size_t acceptedWrites() const {
        const auto requests = camera->requests();
        return std::count_if(requests.begin(), requests.end(), [](const auto& request) {
            return request.authorized && request.status == 200 &&
                   request.uri.rfind("/httpapi/WriteParam", 0) == 0;
        });
    }

    std::unique_ptr<lumo::host::PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    MediaServer::CameraId m_cameraId = 0;
};

TEST_F(SettingsRoad, CalibrationSpinBoxMovesMetadataTimestampsAtOnce) {
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
    EXPECT_EQ(0u, acceptedWrites()) << "calibration stays in the plugin";
}

TEST_F(SettingsRoad, ShutdownRightAfterAChangeWaitsForTheSlowCamerasWrites) {
    camera->addFault(lumo_camera::Fault(lumo_camera::Fault::Kind::delay, "", -1, 100ms));

    const auto answer =
        m_server->changeSettings(m_cameraId, {{"AIX_LINE_ENABLE3", "true"},
                                              {"AIX_CAR_SENSITIVITY", "3"},
                                              {"AIX_LINE_COUNT_RESET_ALL", "true"}});
    ASSERT_TRUE(answer.ok) << answer.error;
    const auto report = m_server->shutdown(10s);
    m_server.reset();

    EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
    EXPECT_EQ(11u, acceptedWrites()) << "2 + 1 + 8 writes, all answered";
}

}  // namespace
}  // namespace lumo_test
