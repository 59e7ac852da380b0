// A server rebinds cameras all day: binding, feeding, changing the settings of and releasing one
// camera after another leaves no thread, open file or plugin object behind.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "report/process_status.h"
#include "server/media_server.h"
#include "server/plugin_library.h"
#include "support/test_paths.h"

namespace lumo::host {
namespace {

using namespace std::chrono_literals;

int processThreads() {
    return readStatus().threads;
}

class CameraChurnTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_library = PluginLibrary::load(test::pluginPath(), &error);
        ASSERT_TRUE(m_library) << error;
        MediaServerOptions options;
        options.unitTestOptions = {{"writeHoldOffMs", "20"}, {"hardwareConcurrency", "64"}};
        m_server = std::make_unique<MediaServer>(m_library->entryPoints(), options);
        ASSERT_TRUE(m_server->start(&error)) << error;
        // Some runtimes (the thread sanitizer's) start a thread of their own with the first one.
        std::thread([] {}).join();
        m_threadsWithoutCameras = processThreads();
    }
    void TearDown() override {
        const auto report = m_server->shutdown(5s);
        EXPECT_EQ(0, report.liveCount) << report.describeLiveObjects();
    }

    void churn(int rounds) {
        for (int r = 0; r < rounds; ++r, ++m_round) {
            DeviceDescription device;
            device.id = "camera-" + std::to_string(m_round);
            device.url = "http://camera.invalid/";  // Every camera write fails at once.
            MediaServer::CameraId camera = 0;
            std::string error;
            ASSERT_TRUE(m_server->addCamera(device, &camera, &error)) << error;
            DeviceAgentHandler& handler = m_server->agentHandler(camera);
            for (int d = 0; d < 3; ++d) {
                // The agent takes the next document a moment after its last delivery; one pushed
                // sooner is dropped, and pushed again.
                size_t delivered = 0;
                for (int attempt = 0; attempt < 100 && delivered == 0; ++attempt) {
                    const size_t before = handler.packetCount();
                    ASSERT_TRUE(m_server->pushMetadata(camera, test::personFrameDocument(),
                                                       1'000'000 + d * 100'000, &error))
                        << error;
                    delivered = handler.waitUntilQuiet(before, 1ms, 100ms);
                }
                EXPECT_EQ(1u, delivered) << "round " << m_round;
            }
            EXPECT_TRUE(
                m_server->changeSettings(camera, {{"AIX_PERSON_SENSITIVITY", r % 2 ? "1" : "2"}})
                    .ok);
            m_server->removeCamera(camera);
        }
    }

    /** Waits for the settings writes of the released cameras to end. */
    void settle() const {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (processThreads() > m_threadsWithoutCameras &&
               std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(5ms);
    }

    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    int m_threadsWithoutCameras = 0;
    int m_round = 0;
};

TEST_F(CameraChurnTest, RebindingCamerasLeavesThreadsAndOpenFilesWhereTheyWere) {
    churn(10);
    settle();
    const int threads = processThreads();
    const int files = countOpenFiles();
    EXPECT_EQ(m_threadsWithoutCameras, threads) << "threads outlived their cameras";
    churn(60);
    settle();
    EXPECT_LE(processThreads(), threads);
    EXPECT_LE(countOpenFiles(), files);
}

TEST_F(CameraChurnTest, ARemovedCameraIsNoLongerServed) {
    churn(1);
    EXPECT_THROW(m_server->agentHandler(0), std::out_of_range);
    std::string error;
    EXPECT_THROW(m_server->pushMetadata(0, test::personFrameDocument(), 1, &error),
                 std::out_of_range);
}

}  // namespace
}  // namespace lumo::host
