// The settings road through the loaded plugin: a camera bound with the model's defaults is read
// back, changes reach the substitute camera in its forms, figures come back clockwise, the
// calibration spin box moves the metadata timestamps, and shutting down right after a change
// leaves no plugin object behind once the writes are done.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera.h"
#include "end_to_end/end_to_end_support.h"
#include "host/media_server.h"
#include "host/plugin_library.h"

namespace lumo_test {
namespace {

using namespace std::chrono_literals;
using lumo::host::DeviceDescription;
using lumo::host::MediaServer;
using lumo::host::MediaServerOptions;
using lumo::host::PluginLibrary;
using Json = nlohmann::json;

// Under TSan the readback of the whole model, hundreds of requests at once, outruns the request
// time-out, and values go missing.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

/** Whether the figure's points are these fractions, to the camera's precision. */
::testing::AssertionResult hasPoints(const Json& value,
                                     const std::vector<std::vector<double>>& points) {
    const Json& actual = value["figure"]["points"];
    bool same = actual.is_array() && actual.size() == points.size();
    for (size_t i = 0; same && i < points.size(); ++i) {
        same = actual[i].is_array() && actual[i].size() == 2 &&
               std::abs(actual[i][0].get<double>() - points[i][0]) < 1e-6 &&
               std::abs(actual[i][1].get<double>() - points[i][1]) < 1e-6;
    }
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "points of " << value.dump();
}

class SettingsRoad : public ::testing::Test {
protected:
    void SetUp() override {
        startCamera();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string error;
        m_library = PluginLibrary::load(LUMO_PLUGIN_PATH, &error);
        ASSERT_TRUE(m_library) << error;
        MediaServerOptions options;
        options.unitTestOptions = {{"writeHoldOffMs", "50"}};
        m_server = std::make_unique<MediaServer>(m_library->entryPoints(), options);
        ASSERT_TRUE(m_server->start(&error)) << error;
    }

    void TearDown() override {
        if (m_server) {
            const auto report = m_server->shutdown(10s);
            EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
        }
        if (m_camera)
            m_camera->stop();
    }

    void startCamera() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const size_t hash = std::hash<std::string>{}(info->name());
        for (size_t attempt = 0; attempt < 64; ++attempt) {
            const size_t host = (hash + attempt) % 60000 + 1;
            lumo_camera::CameraOptions options;
            options.address =
                "127.40." + std::to_string(host / 250) + "." + std::to_string(host % 250 + 1);
            options.password = "road-secret";
            auto camera = std::make_unique<lumo_camera::Camera>(options);
            try {
                camera->start();
                m_camera = std::move(camera);
                return;
            } catch (const lumo_camera::ListenError& e) {
                if (e.error == EADDRINUSE)
                    continue;
                if (e.error == EACCES || e.error == EPERM || e.error == EADDRNOTAVAIL)
                    GTEST_SKIP() << "needs a camera on a loopback address at port 80: " << e.what();
                FAIL() << e.what();
            }
        }
        FAIL() << "no free loopback address in 127.40.0.0/16";
    }

    void bindCamera() {
        DeviceDescription description;
        description.url = "http://" + m_camera->options().address + "/onvif/device_service";
        description.login = m_camera->options().user;
        description.password = m_camera->options().password;
        std::string error;
        ASSERT_TRUE(m_server->addCamera(description, &m_cameraId, &error)) << error;
    }

    /** "NAME=VALUE" of every write the camera accepted, in order of arrival. */
    std::vector<std::string> acceptedWrites() const {
        std::vector<std::string> texts;
        for (const auto& request : m_camera->requests()) {
            if (request.authorized && request.status == 200 &&
                request.uri.rfind("/httpapi/WriteParam", 0) == 0 && !request.parameters.empty()) {
                texts.push_back(request.parameters.front().first + "=" +
                                request.parameters.front().second);
            }
        }
        return texts;
    }

    const std::string& setting(const std::string& name) const {
        return m_server->cameraSettings(m_cameraId).at(name);
    }

    std::unique_ptr<lumo_camera::Camera> m_camera;
    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    MediaServer::CameraId m_cameraId = 0;
};

TEST_F(SettingsRoad, BoundCameraShowsTheCamerasValuesWithoutAnyWrite) {
    if (kThreadSanitizer)
        GTEST_SKIP() << "the whole model's readback outruns the request time-out under TSan";
    m_camera->parameters().set("AIX_TAMPERING_SENSITIVITY", "2");
    ASSERT_EQ(lumo_camera::ParameterTable::WriteResult::ok,
              m_camera->parameters().write("AIX_LINE_POSITION00", "100,200,500,600"));
    m_camera->parameters().set("AIX_LINE_ENABLE0", "1");

    bindCamera();

    EXPECT_EQ("2", setting("AIX_TAMPERING_SENSITIVITY"));
    const Json line = Json::parse(setting("AIX_LINE_POSITION1"));
    EXPECT_TRUE(hasPoints(line, {{0.1, 0.2}, {0.5, 0.6}}));
    EXPECT_EQ("true", setting("AIX_LINE_ENABLE1"));
    EXPECT_EQ("{\"figure\":null,\"label\":\"\",\"showOnCamera\":false}",
              setting("AIX_LINE_POSITION2"));
    EXPECT_TRUE(acceptedWrites().empty());
}

TEST_F(SettingsRoad, ChangesReachTheCameraAndFiguresComeBackClockwise) {
    bindCamera();
    m_camera->clearRequests();

    const auto answer = m_server->changeSettings(
        m_cameraId,
        {{"AIX_PERSON_SENSITIVITY", "2"},
         {"AIX_REGION_ENABLE1", "true"},
         {"AIX_REGION_POSITION1",
          R"({"figure":{"points":[[0.1,0.1],[0.1,0.5],[0.5,0.5],[0.5,0.1]]},"label":"","showOnCamera":true})"},
         {"AIX_LINE_COUNT_RESET_ALL", "true"}});
    ASSERT_TRUE(answer.ok) << answer.error;
    EXPECT_EQ("false", answer.values.at("AIX_LINE_COUNT_RESET_ALL"));
    ASSERT_TRUE(eventually([&] { return acceptedWrites().size() >= 12; }));

    const auto written = acceptedWrites();
    for (const char* expected :
         {"AIX_PERSON_SENSITIVITY=2", "AIX_REGION_ENABLE0=1", "AIX_REGION_DISPLAY_ENABLE0=1",
          "AIX_REGION_POSITION00=100,100,500,100,500,500,100,500", "AIX_LINE_COUNT_RESET7=0"}) {
        EXPECT_NE(written.end(), std::find(written.begin(), written.end(), expected)) << expected;
    }

    const auto figures = m_server->pluginSideSettings(m_cameraId);
    ASSERT_TRUE(figures.ok) << figures.error;
    const Json region = Json::parse(figures.values.at("AIX_REGION_POSITION1"));
    EXPECT_TRUE(hasPoints(region, {{0.1, 0.1}, {0.5, 0.1}, {0.5, 0.5}, {0.1, 0.5}}));
    EXPECT_EQ(true, region["showOnCamera"]);
}

TEST_F(SettingsRoad, CalibrationSpinBoxMovesMetadataTimestampsAtOnce) {
    bindCamera();
    const auto answer = m_server->activeSettingChange(m_cameraId, "TS_CALIBRATION", "-3");
    ASSERT_TRUE(answer.ok) << answer.error;

    auto& handler = m_server->agentHandler(m_cameraId);
    std::string error;
    const int64_t timestampUs = 1'715'678'467'512'000;
    ASSERT_TRUE(m_server->pushMetadata(m_cameraId, lumo::host::test::personFrameDocument(),
                                       timestampUs, &error))
        << error;
    ASSERT_GE(handler.waitUntilQuiet(0, 150ms, 5s), 1u);
    const auto packets = handler.takePackets();
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(timestampUs - 150000, packets.front()->timestampUs());
    EXPECT_TRUE(acceptedWrites().empty()) << "calibration stays in the plugin";
}

TEST_F(SettingsRoad, ShutdownRightAfterAChangeWaitsForTheSlowCamerasWrites) {
    bindCamera();
    m_camera->addFault(lumo_camera::Fault(lumo_camera::Fault::Kind::delay, "", -1, 100ms));
    m_camera->clearRequests();

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
