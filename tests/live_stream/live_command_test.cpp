// `lumo-host live` against the substitute camera's RTSP stream: the whole road from the camera's
// RTP packets to the plugin's packets, over loopback.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "camera.h"
#include "commands/command_line.h"
#include "commands/demo_scene.h"
#include "commands/live_command.h"
#include "rtsp/rtsp_server.h"
#include "support/test_paths.h"

namespace lumo::host {
namespace {

using Json = nlohmann::json;

// A camera streaming a scene with the demo's counting lines, on a free loopback address at ports
// 80 and 554.
class LiveCommandTest : public ::testing::Test {
protected:
    void startCamera(lumo_camera::CameraOptions options) {
        options.rtsp = true;
        options.rtspPort = 554;
        options.scene.seconds = 12;
        options.scene.seed = 3;
        options.scene.lines = drawnSceneFigures(true);
        std::string whyNot;
        for (int attempt = 0; attempt < 64; ++attempt) {
            options.address = "127.43.0." + std::to_string((getpid() + attempt) % 250 + 1);
            auto camera = std::make_unique<lumo_camera::Camera>(options);
            try {
                camera->start();
                m_camera = std::move(camera);
                return;
            } catch (const lumo_camera::ListenError& e) {
                whyNot = e.what();
                if (e.error != EADDRINUSE)
                    break;
            }
        }
        GTEST_SKIP() << "live needs a camera on a loopback address at ports 80 and 554: " << whyNot;
    }

    std::string url() const { return "rtsp://" + m_camera->options().address + ":554/stream1"; }

    /** Runs live for `seconds`; the summary's JSON. */
    Json live(int seconds, const std::function<void()>& during = {}) {
        std::ostringstream out, err;
        int status = -1;
        std::thread run([&] {
            status = runLumoHost({"live", "--plugin", test::pluginPath(), "--rtsp", url(),
                                  "--seconds", std::to_string(seconds), "--json", "--quiet"},
                                 out, err);
        });
        if (during)
            during();
        run.join();
        EXPECT_EQ(status, kExitOk) << err.str();
        m_err = err.str();
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);) {
            const Json json = Json::parse(line, nullptr, false);
            if (json.is_object() && json.contains("summary"))
                return json["summary"];
        }
        ADD_FAILURE() << "no summary in: " << out.str() << err.str();
        return Json::object();
    }

    std::unique_ptr<lumo_camera::Camera> m_camera;
    std::string m_err;
};

TEST_F(LiveCommandTest, EveryTrackKeepsOneTrackIdAndEveryCrossingIsCounted) {
    startCamera({});
    const Json summary = live(8);
    ASSERT_TRUE(summary.contains("transport"));
    EXPECT_EQ(summary["transport"]["lostInTransport"], 0);
    EXPECT_GE(summary["transport"]["received"].get<int>(), 50);
    EXPECT_EQ(summary["documents"]["pushed"], summary["transport"]["received"]);
    EXPECT_EQ(summary["documents"]["lost"], 0);
    EXPECT_GT(summary["tracks"]["count"].get<int>(), 0);
    EXPECT_EQ(summary["tracks"]["count"], summary["tracks"]["withOneTrackId"]);
    const Json& video = summary["streams"][0]["video"];
    EXPECT_EQ(video["codec"], "h264");
    EXPECT_EQ(video["width"], 1920);
    EXPECT_EQ(video["height"], 1080);
    // Each crossing is reported with the line's count one up on the last.
    ASSERT_FALSE(summary["lineCounts"].empty());
    for (const auto& [line, counts] : summary["lineCounts"].items()) {
        for (size_t i = 1; i < counts.size(); ++i)
            EXPECT_EQ(counts[i].get<int>(), counts[i - 1].get<int>() + 1) << "line " << line;
    }
}

TEST_F(LiveCommandTest, LostPacketsCostExactlyTheirDocuments) {
    lumo_camera::CameraOptions options;
    options.dropMetadataEvery = 50;
    startCamera(options);
    const Json summary = live(6);
    ASSERT_TRUE(summary.contains("transport"));
    const int received = summary["transport"]["received"];
    const int lost = summary["transport"]["lostInTransport"];
    EXPECT_GT(lost, 0);
    EXPECT_GT(received, lost);
    // Every document delivered is whole: the plugin reads each one.
    EXPECT_EQ(summary["documents"]["pushed"], received);
    EXPECT_EQ(summary["documents"]["lost"], 0);
}

TEST_F(LiveCommandTest, CameraRestartedMidRunIsPulledAgain) {
    startCamera({});
    const Json summary = live(12, [this] {
        // Once the stream plays (the camera counts what it sends), take it away and back.
        for (int i = 0; i < 200 && m_camera->rtsp()->documentsSent() < 20; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_camera->stopStreaming();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        m_camera->startStreaming();
    });
    ASSERT_TRUE(summary.contains("transport"));
    EXPECT_GE(summary["transport"]["reconnects"].get<int>(), 1);
    EXPECT_NE(m_err.find("playing again"), std::string::npos) << m_err;
    EXPECT_GE(summary["transport"]["received"].get<int>(), 50);
}

TEST_F(LiveCommandTest, RefusedLoginEndsWithOneLine) {
    startCamera({});
    std::ostringstream out, err;
    EXPECT_EQ(runLumoHost({"live", "--plugin", test::pluginPath(), "--rtsp", url(), "--password",
                           "wrong", "--seconds", "5"},
                          out, err),
              kExitFailure);
    EXPECT_NE(err.str().find("refused login"), std::string::npos) << err.str();
}

TEST_F(LiveCommandTest, StreamWithoutAnswerEndsWithOneLine) {
    std::ostringstream out, err;
    EXPECT_EQ(runLumoHost({"live", "--plugin", test::pluginPath(), "--rtsp",
                           "rtsp://127.0.0.1:1/stream1", "--seconds", "5"},
                          out, err),
              kExitFailure);
    EXPECT_NE(err.str().find("not answering"), std::string::npos) << err.str();
}

TEST(LiveCommandUrl, CameraHostComesFromTheRtspUrl) {
    EXPECT_EQ(rtspHost("rtsp://10.0.0.5:554/stream1"), "10.0.0.5");
    EXPECT_EQ(rtspHost("rtsp://admin:pw@10.0.0.6/stream1"), "10.0.0.6");
    EXPECT_EQ(rtspHost("rtsp://camera.local"), "camera.local");
}

}  // namespace
}  // namespace lumo::host
