// The settings readbacks against the substitute camera on loopback: the full readback of the
// whole settings model (337 settings) and the figure readback of the 24 region, exclude-region
// and line slots, each reported as a multiple of one digest-authenticated read (counter
// "x_one_read", against "one_read_ms", the median of 101 single reads measured just before),
// with the camera answering at once and 20 ms late. The camera holds a region, an exclude region
// and a line, so both readbacks read enable, display and direction parameters too.
//
// The readbacks read in parallel, so with a slow camera they should cost a few reads, not one
// read per setting. The camera runs in a child process, so "peak_threads" (the most threads the
// process had during the readbacks, sampled from /proc/self/status) counts the plugin's own.
//
// BM_SlowCamera is one whole-model readback per camera pace: answering at once, one exchange at a
// time at 40 ms and at 100 ms each (the 401 challenge included), and hanging. It reports the wall
// time ("seconds"), the settings reported ("reported") and those named as not read ("unread").
// A readback must read a slow camera to the end and give up on a hung one within two request
// time-outs.
//
// The benchmarks skip when no loopback address can be bound at port 80.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "camera.h"
#include "lumo/device_agent.h"
#include "lumo/http_request.h"
#include "lumo/settings_model.h"
#include "lumo/utils.h"
#include "qo/kit/debug.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/ref_countable.h"
#include "support/fake_device_info.h"

namespace {

namespace lumo = qo::vms_server_plugins::analytics::lumo;
using Clock = std::chrono::steady_clock;

constexpr char kUser[] = "admin";
constexpr char kPassword[] = "bench-secret";

/** How a bench camera answers; `key` is the benchmark argument that picks it. */
struct Pace {
    int key;
    const char* name;
    int delayMs;    // every authorised request, after the login
    int latencyMs;  // every exchange, the login challenge included
    bool serial;
    bool hang;
};

constexpr int kHanging = -1;
constexpr Pace kPaces[] = {
    {0, "at once", 0, 0, false, false},         {20, "20 ms late", 20, 0, false, false},
    {1040, "serial 40 ms", 0, 40, true, false}, {1100, "serial 100 ms", 0, 100, true, false},
    {kHanging, "hanging", 0, 0, false, true},
};

// ---- The camera process.

struct CameraProcess {
    pid_t pid = -1;
    int stopFd = -1;
    std::map<int, std::string> addressByPace;
    std::string skipReason;
};

CameraProcess g_cameras;

void drawFigures(lumo_camera::ParameterTable& table) {
    table.write("AIX_REGION_POSITION00", "100,100,500,100,500,500,100,500");
    table.set("AIX_REGION_ENABLE0", "1");
    table.set("AIX_REGION_DISPLAY_ENABLE0", "1");
    table.write("AIX_EXCLUDE_REGION_POSITION33", "200,600,600,600,400,900");
    table.set("AIX_EXCLUDE_REGION_ENABLE3", "1");
    table.write("AIX_LINE_POSITION55", "50,500,500,450,950,500");
    table.set("AIX_LINE_ENABLE5", "1");
    table.set("AIX_LINE_DIRECTION5", "1");
}

// Runs in the child: one camera per delay, until the parent closes the stop pipe.
[[noreturn]] void serveCameras(int readyFd, int stopFd) {
    std::vector<std::unique_ptr<lumo_camera::Camera>> cameras;
    std::string report;
    for (size_t index = 0; index < std::size(kPaces); ++index) {
        const Pace& pace = kPaces[index];
        for (int host = 1; host < 250 && report.empty(); ++host) {
            lumo_camera::CameraOptions options;
            options.address = "127.41." + std::to_string(index) + "." + std::to_string(host);
            options.user = kUser;
            options.password = kPassword;
            options.latency = std::chrono::milliseconds(pace.latencyMs);
            options.serial = pace.serial;
            auto camera = std::make_unique<lumo_camera::Camera>(options);
            try {
                camera->start();
            } catch (const lumo_camera::ListenError& e) {
                if (e.error == EADDRINUSE)
                    continue;
                report = std::string("SKIP no camera at port 80: ") + e.what();
                break;
            }
            drawFigures(camera->parameters());
            if (pace.delayMs > 0) {
                camera->addFault(lumo_camera::Fault(lumo_camera::Fault::Kind::delay, "", -1,
                                                    std::chrono::milliseconds(pace.delayMs)));
            }
            if (pace.hang)
                camera->addFault(lumo_camera::Fault(lumo_camera::Fault::Kind::hang));
            cameras.push_back(std::move(camera));
            break;
        }
    }
    if (report.empty()) {
        report = "OK";
        for (const auto& camera : cameras)
            report += " " + camera->options().address;
    }
    report += "\n";
    if (write(readyFd, report.data(), report.size()) < 0)
        _exit(1);
    close(readyFd);
    char byte = 0;
    while (read(stopFd, &byte, 1) > 0) {
    }
    for (const auto& camera : cameras)
        camera->stop();
    _exit(0);
}

// Forks the camera process; called before any thread of this process exists.
void startCameras() {
    int ready[2];
    int stop[2];
    if (pipe(ready) != 0 || pipe(stop) != 0) {
        g_cameras.skipReason = "no pipe for the camera process";
        return;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        g_cameras.skipReason = "no camera process";
        return;
    }
    if (pid == 0) {
        close(ready[0]);
        close(stop[1]);
        serveCameras(ready[1], stop[0]);
    }
    close(ready[1]);
    close(stop[0]);
    g_cameras.pid = pid;
    g_cameras.stopFd = stop[1];

    std::string line;
    char c = 0;
    while (read(ready[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(ready[0]);
    if (line.rfind("OK ", 0) != 0) {
        g_cameras.skipReason = line.empty() ? "the camera process ended" : line.substr(5);
        return;
    }
    size_t begin = 3;
    for (const Pace& pace : kPaces) {
        const size_t end = line.find(' ', begin);
        g_cameras.addressByPace[pace.key] = line.substr(begin, end - begin);
        begin = end == std::string::npos ? end : end + 1;
    }
}

void stopCameras() {
    if (g_cameras.pid <= 0)
        return;
    close(g_cameras.stopFd);
    waitpid(g_cameras.pid, nullptr, 0);
}

// ---- The plugin side.

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char* /*s*/, std::streamsize n) override { return n; }
};

void silenceAgentLog() {
    static NullBuffer buffer;
    static std::ostream silent(&buffer);
    qo::kit::debug::stream() = &silent;
}

std::map<int, qo::sdk::Ptr<lumo::DeviceAgent>> g_agents;

/** An agent bound to the camera of the pace, holding the whole model's settings. */
lumo::DeviceAgent& agentFor(int pace) {
    auto& agent = g_agents[pace];
    if (!agent) {
        const auto info = qo::sdk::makePtr<lumo_test::FakeDeviceInfo>(
            "bench-camera", "http://" + g_cameras.addressByPace.at(pace) + "/onvif/device_service",
            kUser, kPassword);
        agent = qo::sdk::makePtr<lumo::DeviceAgent>(info.get());
        const auto settings = qo::sdk::makePtr<qo::sdk::StringMap>(
            lumo::settingsModelDefaults(lumo::settingsModel()));
        // The first settings are answered with a full readback; the benchmarks time their own.
        agent->setSettingsWriteHold(true);
        qo::sdk::Result<const qo::sdk::ISettingsResponse*> result;
        agent->doSetSettings(&result, settings.get());
        if (result.value)
            result.value->releaseRef();
        agent->setSettingsWriteHold(false);
    }
    return *agent;
}

bool readOnce(const std::string& address) {
    std::string reply;
    return httpRequest(lumo::readQuery("AIX_PERSON_SENSITIVITY"), kUser, kPassword, address, reply);
}

/** Median wall time of one digest-authenticated read, in milliseconds. */
double oneReadMs(const std::string& address) {
    std::vector<double> times;
    for (int i = 0; i < 101; ++i) {
        const auto start = Clock::now();
        readOnce(address);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    }
    return 0;
}

/** Samples the process's thread count while it lives. */
class ThreadSampler {
public:
    ThreadSampler()
        : m_thread([this] {
              while (!m_stop.load()) {
                  m_peak = std::max(m_peak.load(), threadCount());
                  std::this_thread::sleep_for(std::chrono::microseconds(500));
              }
          }) {}
    ~ThreadSampler() { stop(); }

    int stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_peak.load();
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_peak{0};
    std::thread m_thread;
};

bool skipped(benchmark::State& state) {
    if (g_cameras.skipReason.empty())
        return false;
    state.SkipWithError(g_cameras.skipReason.c_str());
    return true;
}

void BM_OneRead(benchmark::State& state) {
    if (skipped(state))
        return;
    const std::string& address = g_cameras.addressByPace.at(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!readOnce(address)) {
            state.SkipWithError("the camera did not answer");
            return;
        }
    }
}

/** Runs the readback in every iteration and reports it against one read. */
template <typename Readback>
void runReadback(benchmark::State& state, Readback readback) {
    if (skipped(state))
        return;
    const int pace = static_cast<int>(state.range(0));
    lumo::DeviceAgent& agent = agentFor(pace);
    const double readMs = oneReadMs(g_cameras.addressByPace.at(pace));
    const int idleThreads = threadCount();

    ThreadSampler sampler;
    double totalMs = 0;
    size_t values = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        lumo::DeviceAgent::SettingsResult result;
        readback(agent, &result);
        totalMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (result.value) {
            const qo::sdk::Ptr<qo::sdk::IStringMap> map(result.value->getValues());
            values = map ? static_cast<size_t>(map->count()) : 0;
            result.value->releaseRef();
        }
    }
    const int peak = sampler.stop();

    const double perReadback = totalMs / static_cast<double>(state.iterations());
    state.counters["one_read_ms"] = readMs;
    state.counters["x_one_read"] = readMs > 0 ? perReadback / readMs : 0;
    state.counters["values"] = static_cast<double>(values);
    // The sampler is one of them.
    state.counters["peak_threads"] = peak - 1;
    state.counters["idle_threads"] = idleThreads;
}

void BM_FullReadback(benchmark::State& state) {
    runReadback(state, [](lumo::DeviceAgent& agent, lumo::DeviceAgent::SettingsResult* result) {
        agent.receiveSettings(result);
    });
}

void BM_FigureReadback(benchmark::State& state) {
    runReadback(state, [](lumo::DeviceAgent& agent, lumo::DeviceAgent::SettingsResult* result) {
        agent.getCurrentRoI(result);
    });
}

size_t countOf(const qo::sdk::Ptr<qo::sdk::IStringMap>& map) {
    return map ? static_cast<size_t>(map->count()) : 0;
}

/** One whole-model full readback against the camera of the pace. */
void BM_SlowCamera(benchmark::State& state) {
    if (skipped(state))
        return;
    const int key = static_cast<int>(state.range(0));
    for (const Pace& pace : kPaces) {
        if (pace.key == key)
            state.SetLabel(pace.name);
    }
    lumo::DeviceAgent& agent = agentFor(key);
    double seconds = 0;
    size_t reported = 0;
    size_t unread = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        lumo::DeviceAgent::SettingsResult result;
        agent.receiveSettings(&result);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (result.value) {
            reported = countOf(qo::sdk::Ptr<qo::sdk::IStringMap>(result.value->getValues()));
            unread = countOf(qo::sdk::Ptr<qo::sdk::IStringMap>(result.value->getErrors()));
            result.value->releaseRef();
        }
    }
    state.counters["seconds"] = seconds;
    state.counters["reported"] = static_cast<double>(reported);
    state.counters["unread"] = static_cast<double>(unread);
}

BENCHMARK(BM_OneRead)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullReadback)
    ->Arg(0)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_FigureReadback)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SlowCamera)
    ->Arg(0)
    ->Arg(1040)
    ->Arg(1100)
    ->Arg(kHanging)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    startCameras();
    silenceAgentLog();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        stopCameras();
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_agents.clear();
    stopCameras();
    return 0;
}
