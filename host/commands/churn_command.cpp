#include <fcntl.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "commands/bench_command.h"
#include "commands/command_line.h"
#include "report/process_status.h"
#include "report/run_summary.h"
#include "scene_generator.h"
#include "server/host_session.h"
#include "server/stderr_redirect.h"

namespace lumo::host {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Documents pushed to each bound camera, and the rounds after which growth is measured.
constexpr int kChurnDocuments = 5;
constexpr int kChurnBaselineRounds = 20;
// Settings writes keep their agent for the write hold-off (5 s) on threads of their own.
constexpr auto kSettleLimit = 15s;

/**
 * Binds and releases one camera after another, as a server does all day while users edit cameras
 * and cameras reboot: each camera gets a few documents and a settings change before it goes.
 * Threads, open files and resident memory after the first rounds are compared with the same
 * half-way and after the last, each once the settings writes of the rounds before have ended.
 * Resident memory is read as it is and again once the heap has handed its free pages back, which
 * tells memory still held from memory the heap keeps for reuse.
 *
 * Threading: run() on the caller's thread.
 */
class Churn {
public:
    Churn(const BenchOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err), m_session(m_sessionErr) {}

    int run();

private:
    bool round(int number);
    struct Checkpoint {
        int rounds = 0;
        ProcessStatus status;
        double trimmedResidentMb = 0;
    };

    /** Waits for the threads the plugin started to end, up to kSettleLimit, then reads. */
    Checkpoint settle(int rounds, int threadsWithoutCameras) const;

    const BenchOptions m_options;
    std::ostream& m_out;
    std::ostream& m_err;
    std::vector<std::string> m_documents;
    std::vector<int64_t> m_timestampsUs;
    // The plugin's log goes nowhere during the run, and so would what the session says.
    std::ostringstream m_sessionErr;
    HostSession m_session;
    int m_delivered = 0;  // Documents that brought packets.
};

bool Churn::round(int number) {
    DeviceDescription device;
    device.id = "camera-" + std::to_string(number);
    device.name = "Camera " + std::to_string(number);
    device.url = kNoCameraUrl;
    device.password = "admin";
    HostSession::CameraId camera = 0;
    if (!m_session.bind(device, &camera))
        return false;
    for (size_t i = 0; i < m_documents.size(); ++i) {
        const size_t before = m_session.packetCount(camera);
        if (m_session.pushDocument(camera, m_documents[i], m_timestampsUs[i]) ==
            DocumentTally::kNone)
            return false;
        m_delivered += m_session.waitUntilQuiet(camera, before, 2ms, 200ms) > 0;
        m_session.take(camera);
    }
    // A value written to the camera, so that each round leaves a write and its hold-off behind.
    const SettingsAnswer answer = m_session.server().changeSettings(
        camera, {{"AIX_PERSON_SENSITIVITY", number % 2 == 0 ? "1" : "2"}});
    if (!answer.ok) {
        m_sessionErr << "lumo-host: doSetSettings: " << answer.error << std::endl;
        return false;
    }
    m_session.unbind(camera);
    return true;
}

Churn::Checkpoint Churn::settle(int rounds, int threadsWithoutCameras) const {
    const auto limit = Clock::now() + kSettleLimit;
    while (readStatus().threads > threadsWithoutCameras && Clock::now() < limit)
        std::this_thread::sleep_for(50ms);
    Checkpoint checkpoint{rounds, readStatus(true), 0};
    malloc_trim(0);
    checkpoint.trimmedResidentMb = readStatus().residentMb;
    return checkpoint;
}

int Churn::run() {
    if (!m_session.load(m_options.pluginPath)) {
        m_err << m_sessionErr.str() << std::flush;
        return kExitFailure;
    }
    lumo_camera::SceneOptions scene;
    scene.seed = m_options.seed;
    scene.seconds = 2;
    scene.lines = {{0, {{500, 0}, {500, 999}}}};
    const lumo_camera::SceneGenerator generator(scene);
    for (size_t i = 0; i < generator.documentCount() && m_documents.size() < kChurnDocuments; ++i) {
        lumo_camera::SceneDocument document = generator.document(i);
        if (document.objects.empty())
            continue;
        m_timestampsUs.push_back(scene.startUs + document.offsetUs);
        m_documents.push_back(std::move(document.xml));
    }

    const int rounds = m_options.churnRounds;
    const std::set<int> checkpointRounds = {std::min(kChurnBaselineRounds, rounds), rounds / 2,
                                            rounds};
    std::vector<Checkpoint> checkpoints;
    ProcessStatus start;
    int peakThreads = 0;
    double cpuSeconds = 0;
    std::optional<std::string> failed;
    const auto wallStart = Clock::now();
    {
        const StderrRedirect discarded(open("/dev/null", O_WRONLY | O_CLOEXEC));
        if (!m_session.start(benchServerOptions(m_options)))
            failed = "";
        start = readStatus(true);
        const double cpuStart = processCpuSeconds();
        double settling = 0;  // Process CPU while waiting at the checkpoints.
        for (int r = 1; !failed && r <= rounds; ++r) {
            if (!round(r)) {
                m_session.shutdown();
                failed = "lumo-host: round " + std::to_string(r) + " failed\n";
                continue;
            }
            peakThreads = std::max(peakThreads, readStatus().threads);
            if (checkpointRounds.count(r) != 0) {
                const double before = processCpuSeconds();
                checkpoints.push_back(settle(r, start.threads));
                settling += processCpuSeconds() - before;
            }
        }
        cpuSeconds = processCpuSeconds() - cpuStart - settling;
        m_session.shutdown();
    }
    if (failed) {
        m_err << *failed << m_sessionErr.str() << std::flush;
        return kExitFailure;
    }
    const ShutdownReport shutdown = m_session.shutdown();
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    const int documents = rounds * static_cast<int>(m_documents.size());
    if (m_options.json) {
        Json json = {{"rounds", rounds},
                     {"documents", {{"pushed", documents}, {"delivered", m_delivered}}},
                     {"withoutCameras",
                      {{"threads", start.threads},
                       {"openFiles", start.openFiles},
                       {"residentMb", start.residentMb}}},
                     {"checkpoints", Json::array()},
                     {"peakThreads", peakThreads},
                     {"cpuPerRoundMs", cpuSeconds * 1e3 / rounds},
                     {"wallSeconds", wall},
                     {"liveObjects", shutdown.describeLiveObjects()}};
        for (const Checkpoint& checkpoint : checkpoints) {
            json["checkpoints"].push_back({{"rounds", checkpoint.rounds},
                                           {"threads", checkpoint.status.threads},
                                           {"openFiles", checkpoint.status.openFiles},
                                           {"residentMb", checkpoint.status.residentMb},
                                           {"trimmedResidentMb", checkpoint.trimmedResidentMb}});
        }
        m_out << json.dump() << std::endl;
    } else {
        m_out << "rounds: " << rounds << " cameras bound, fed " << m_documents.size()
              << " documents and a settings change, and released, in " << fixed(wall, 1) << " s ("
              << fixed(cpuSeconds * 1e3 / rounds, 2) << " ms process CPU a round)\n"
              << "documents: " << documents << " pushed, " << m_delivered << " delivered packets\n"
              << "without cameras: " << start.threads << " threads, " << start.openFiles
              << " open files, resident " << fixed(start.residentMb, 1) << " MB\n";
        for (const Checkpoint& checkpoint : checkpoints) {
            m_out << "after " << checkpoint.rounds << " rounds: " << checkpoint.status.threads
                  << " threads, " << checkpoint.status.openFiles << " open files, resident "
                  << fixed(checkpoint.status.residentMb, 1) << " MB ("
                  << fixed(checkpoint.trimmedResidentMb, 1) << " MB once the heap's free pages "
                  << "are handed back)\n";
        }
        m_out << "peak threads: " << peakThreads << "\n"
              << "plugin objects alive after shutdown: " << shutdown.describeLiveObjects()
              << std::endl;
    }
    return shutdown.liveCount > 0 ? kExitFailure : kExitOk;
}

}  // namespace

int runChurn(const BenchOptions& options, std::ostream& out, std::ostream& err) {
    return Churn(options, out, err).run();
}

}  // namespace lumo::host
