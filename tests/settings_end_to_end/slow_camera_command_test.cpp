// The slow cameras an integrator meets, played by `lumo-camera` from its own command line, and
// read with `lumo-host settings get`: however slowly the camera answers, the dialog gets the
// camera's value of every setting.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_line.h"

namespace lumo::host {
namespace {

/** A `lumo-camera` process on a free loopback address at port 80, stopped with the object. */
class CameraProcess {
public:
    ~CameraProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

    /** Its first line: the banner when it listens, else why it does not. */
    std::string start(const std::string& address, std::vector<std::string> options) {
        int out[2];
        if (pipe(out) != 0)
            return "no pipe";
        options.insert(options.begin(), {LUMO_CAMERA_PATH, "--listen", address + ":80"});
        // Built before fork(): the child of a threaded process may only exec.
        std::vector<char*> argv;
        for (std::string& option : options)
            argv.push_back(option.data());
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        std::string line;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(out[0]);
        return line;
    }

private:
    pid_t m_pid = -1;
};

class SlowCameraCommand : public ::testing::Test {
protected:
    /** Starts the camera with `options`; the test skips where port 80 cannot be bound. */
    void startCamera(const std::vector<std::string>& options) {
        for (int host = 1; host < 40; ++host) {
            camera = std::make_unique<CameraProcess>();
            address = "127.48.0." + std::to_string(host);
            const std::string banner = camera->start(address, options);
            if (banner.rfind("lumo-camera: listening on", 0) == 0) {
                this->banner = banner;
                return;
            }
            if (banner.find("another program listens there") == std::string::npos) {
                camera.reset();
                GTEST_SKIP() << "lumo-camera cannot listen at port 80 here: " << banner;
            }
        }
        FAIL() << "no free loopback address in 127.48.0.0/24";
    }

    std::unique_ptr<CameraProcess> camera;
    std::string address, banner;
    std::ostringstream out, err;
};

// Some 670 exchanges at one a time: the whole model outruns the request time-out under TSan.
#ifndef __SANITIZE_THREAD__
TEST_F(SlowCameraCommand, SerialCameraWithFewConnectionsGivesEverySetting) {
    startCamera({"--latency-ms", "5", "--serial", "--max-connections", "4"});
    if (IsSkipped() || HasFatalFailure())
        return;
    EXPECT_NE(std::string::npos, banner.find("5 ms per exchange, one exchange at a time, "
                                             "at most 4 connections"))
        << banner;

    ASSERT_EQ(kExitOk,
              runLumoHost({"settings", "get", "--plugin", LUMO_PLUGIN_PATH, "--camera",
                           "http://" + address + "/", "--login", "admin", "--password", "admin"},
                          out, err))
        << err.str();
    EXPECT_EQ("", err.str()) << "every setting read from the camera";
    size_t lines = 0;
    for (const char c : out.str())
        lines += c == '\n';
    EXPECT_EQ(25u + 8 * 39, lines);
}
#endif

TEST_F(SlowCameraCommand, OptionsOutOfRangeAreRefusedInOneLine) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--latency-ms", "soon"}, "--latency-ms wants milliseconds"},
        {{"--max-connections", "0"}, "--max-connections wants a count from 1"},
        {{"--serial", "--latency-ms"}, "--latency-ms needs a value"},
    };
    for (const auto& [options, refusal] : cases) {
        CameraProcess process;
        const std::string line = process.start("127.48.1.1", options);
        EXPECT_NE(std::string::npos, line.find(refusal)) << line;
    }
}

}  // namespace
}  // namespace lumo::host
