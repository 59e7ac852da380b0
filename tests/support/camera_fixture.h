// A substitute camera at port 80 (the plugin's port) of a loopback address hashed from the test's
// name in the fixture's own block 127.BLOCK.x.y, so that parallel test processes rarely meet.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>

#include "camera.h"

namespace camera_test {

class CameraFixture : public ::testing::Test {
protected:
    explicit CameraFixture(int block) : m_block(block) {}

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const size_t hash =
            std::hash<std::string>{}(std::string(info->test_suite_name()) + "." + info->name());
        for (size_t attempt = 0; attempt < 64; ++attempt) {
            const size_t host = (hash + attempt) % 60000 + 1;
            lumo_camera::CameraOptions options = cameraOptions;
            options.address = "127." + std::to_string(m_block) + "." + std::to_string(host / 250) +
                              "." + std::to_string(host % 250 + 1);
            options.port = 80;
            camera = std::make_unique<lumo_camera::Camera>(options);
            try {
                camera->start();
                return;
            } catch (const lumo_camera::ListenError& e) {
                if (e.error == EADDRINUSE)
                    continue;
                if (e.error == EACCES || e.error == EPERM || e.error == EADDRNOTAVAIL) {
                    GTEST_SKIP() << "camera tests need to listen on a loopback address at port 80, "
                                 << "which this machine refuses: " << e.what();
                }
                FAIL() << e.what();
            }
        }
        FAIL() << "no free loopback address in 127." << m_block << ".0.0/16";
    }

    void TearDown() override {
        if (camera)
            camera->stop();
    }

    std::string ip() const { return camera->options().address; }  // as the plugin passes it
    const std::string& user() const { return camera->options().user; }
    const std::string& password() const { return camera->options().password; }

    std::unique_ptr<lumo_camera::Camera> camera;
    /** The camera's behaviour (latency, serial, connections); its address is the fixture's. */
    lumo_camera::CameraOptions cameraOptions;

private:
    const int m_block;
};

}  // namespace camera_test
