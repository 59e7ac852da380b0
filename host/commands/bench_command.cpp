#include "commands/bench_command.h"

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "commands/command_line.h"
#include "commands/option_reader.h"
#include "report/process_status.h"
#include "report/run_summary.h"
#include "report/status_sampler.h"
#include "scene_generator.h"
#include "server/host_session.h"
#include "server/stderr_redirect.h"

namespace lumo::host {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Cameras share these few scenes: enough variety, little memory.
constexpr int kScenes = 4;
// Two threads push, as a server's stream threads would; not one per camera, to keep the bench's
// own threads out of the thread count.
constexpr int kFeeders = 2;
constexpr auto kCollectEvery = 20ms;
// After the last push, deliveries stopping for this long means the agents are done.
constexpr auto kQuiet = 100ms;
constexpr auto kDrainLimit = 5s;

// Longer runs push the same minute of documents again, a minute later each time, so that the
// documents a run holds stay the same whatever its length.
constexpr int kSceneSeconds = 60;

struct Scene {
    std::vector<std::string> documents;
};

/** One camera: pushed to by one feeder, its packets taken by the collector. */
struct CameraFeed {
    HostSession::CameraId id = 0;
    const Scene* scene = nullptr;
};

/** Written by its feeder, read after the feeder is joined. */
struct FeederTally {
    double ownCpuSeconds = 0;  // Outside the push calls.
    Clock::duration worstLate{};
    int refused = 0;
};

/**
 * One run. Threading: run() on the caller's thread, which also collects the deliveries; feed()
 * on the feeding threads, each owning the cameras whose number modulo kFeeders is its own.
 */
class Bench {
public:
    Bench(const BenchOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options), m_out(out), m_err(err), m_session(m_sessionErr) {}

    int run();

private:
    void makeScenes();
    bool bindCameras();
    void feed(int feeder, Clock::time_point start, FeederTally* tally);
    /** @return Whether any packet arrived. */
    bool collect();
    void countDocuments();
    void sampleIfDue(Clock::time_point start);
    void report(const ProcessStatus& before, const ProcessStatus& end, double coreShare,
                const Json& cpu);

    /** Every document of the run, by index: one of the scene's, pushed at a later time. */
    const std::string& documentText(const CameraFeed& feed, size_t index) const {
        return feed.scene->documents[index % m_sceneDocuments];
    }

    struct Sample {
        int second = 0;
        ProcessStatus status;
    };

    const BenchOptions m_options;
    std::ostream& m_out;
    std::ostream& m_err;

    std::vector<Scene> m_scenes;
    size_t m_sceneDocuments = 0;          // Documents of each scene.
    std::vector<int64_t> m_timestampsUs;  // By document index, the same for every camera.
    std::vector<char> m_silent;           // By scene and scene document: nothing to report.
    // The plugin's log goes nowhere during the run, and so would what the session says.
    std::ostringstream m_sessionErr;
    HostSession m_session;
    std::vector<CameraFeed> m_feeds;
    double m_bindSeconds = 0;
    double m_bindCpuSeconds = 0;  // Process CPU, so the threads the binding starts count too.
    std::vector<Sample> m_samples;
    Clock::time_point m_nextSample;
    double m_releaseCpuSeconds = 0;  // Releasing delivered packets runs the plugin's destructors.
    std::vector<FeederTally> m_feeders;
    RunSummary m_summary;
    int m_silentDropped = 0;
    int m_droppedAfterLatePush = 0;  // Of those dropped while the agent was busy.
    ProcessStatus m_peak;            // Sampled.
};

void Bench::makeScenes() {
    lumo_camera::SceneOptions options;
    options.seconds = std::min(m_options.seconds, kSceneSeconds);
    options.documentsPerSecond = m_options.rate;
    options.lines = {{0, {{500, 0}, {500, 999}}}};
    options.regions = {{0, {{420, 700}, {700, 700}, {700, 999}, {420, 999}}}};
    const int scenes = std::min(kScenes, m_options.cameras);
    for (int s = 0; s < scenes; ++s) {
        options.seed = m_options.seed + static_cast<uint32_t>(s);
        const lumo_camera::SceneGenerator generator(options);
        Scene scene;
        for (size_t i = 0; i < generator.documentCount(); ++i) {
            lumo_camera::SceneDocument document = generator.document(i);
            if (s == 0)
                m_timestampsUs.push_back(options.startUs + document.offsetUs);
            m_silent.push_back(document.objects.empty() && document.events.empty());
            scene.documents.push_back(std::move(document.xml));
        }
        m_scenes.push_back(std::move(scene));
    }
    m_sceneDocuments = m_timestampsUs.size();
    const auto documents = static_cast<size_t>(m_options.seconds) * m_options.rate;
    const int64_t sceneUs = static_cast<int64_t>(options.seconds * 1'000'000);
    for (size_t i = m_sceneDocuments; i < documents; ++i) {
        const auto repeat = static_cast<int64_t>(i / m_sceneDocuments);
        m_timestampsUs.push_back(m_timestampsUs[i % m_sceneDocuments] + repeat * sceneUs);
    }
}

bool Bench::bindCameras() {
    const auto start = Clock::now();
    const double cpuStart = processCpuSeconds();
    m_feeds = std::vector<CameraFeed>(static_cast<size_t>(m_options.cameras));
    for (int c = 0; c < m_options.cameras; ++c) {
        DeviceDescription device;
        device.id = "camera-" + std::to_string(c + 1);
        device.name = "Camera " + std::to_string(c + 1);
        device.url = kNoCameraUrl;
        device.password = "admin";
        CameraFeed& feed = m_feeds[static_cast<size_t>(c)];
        // With the dialog's defaults, as a server binds a camera.
        if (!m_session.bind(device, &feed.id))
            return false;
        feed.scene = &m_scenes[static_cast<size_t>(c) % m_scenes.size()];
        m_session.reserveDocuments(feed.id, m_timestampsUs.size());
    }
    m_bindSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    m_bindCpuSeconds = processCpuSeconds() - cpuStart;
    return true;
}

void Bench::feed(int feeder, Clock::time_point start, FeederTally* tally) {
    const double cpuStart = threadCpuSeconds();
    double pushCpu = 0;
    const size_t cameras = m_feeds.size();
    const size_t total = cameras * m_timestampsUs.size();
    // Push k of the whole schedule is due at k / (rate * cameras) s: every camera gets its
    // documents at the rate, and the cameras take turns, rather than all pushing at once.
    const double pushIntervalNs = 1e9 / (static_cast<double>(m_options.rate) * cameras);
    for (size_t k = 0; k < total; ++k) {
        const size_t camera = k % cameras;
        if (camera % kFeeders != static_cast<size_t>(feeder))
            continue;
        const auto due = start + std::chrono::nanoseconds(
                                     static_cast<int64_t>(static_cast<double>(k) * pushIntervalNs));
        std::this_thread::sleep_until(due);
        tally->worstLate = std::max(tally->worstLate, Clock::now() - due);

        CameraFeed& feed = m_feeds[camera];
        const size_t index = k / cameras;
        std::string document = documentText(feed, index);
        const double before = threadCpuSeconds();
        // Pushing only reads the camera tables, which are fixed once the cameras are bound, so
        // the feeders share the session.
        if (m_session.pushDocument(feed.id, std::move(document), m_timestampsUs[index]) ==
            DocumentTally::kNone)
            ++tally->refused;
        pushCpu += threadCpuSeconds() - before;
    }
    tally->ownCpuSeconds = threadCpuSeconds() - cpuStart - pushCpu;
}

bool Bench::collect() {
    std::vector<SessionPacket> taken;
    for (CameraFeed& feed : m_feeds) {
        auto packets = m_session.take(feed.id);
        std::move(packets.begin(), packets.end(), std::back_inserter(taken));
    }
    const double before = threadCpuSeconds();
    const bool any = !taken.empty();
    taken.clear();
    m_releaseCpuSeconds += threadCpuSeconds() - before;
    return any;
}

void Bench::countDocuments() {
    // A silent document was dropped while the agent was busy with the one before, or had nothing
    // to report.
    m_summary = m_session.summary(true);
    const auto halfInterval = std::chrono::nanoseconds(500'000'000 / m_options.rate);
    for (size_t c = 0; c < m_feeds.size(); ++c) {
        const DocumentTally& documents = m_session.documents(m_feeds[c].id);
        const size_t scene = c % m_scenes.size();
        const auto fates = documents.fates();
        for (size_t i = 0; i < fates.size(); ++i) {
            if (fates[i] == DocumentTally::Fate::droppedWhileBusy) {
                // A feeder kept from running pushes the documents it owes back to back.
                if (i > 0 && documents.document(i).pushedAt - documents.document(i - 1).pushedAt <
                                 halfInterval)
                    ++m_droppedAfterLatePush;
            } else if (fates[i] == DocumentTally::Fate::lost &&
                       m_silent[scene * m_sceneDocuments + i % m_sceneDocuments]) {
                ++m_silentDropped;
            }
        }
    }
}

void Bench::sampleIfDue(Clock::time_point start) {
    if (m_options.sampleEverySeconds <= 0 || Clock::now() < m_nextSample)
        return;
    const auto every = std::chrono::seconds(m_options.sampleEverySeconds);
    const int second = static_cast<int>(m_samples.size() + 1) * m_options.sampleEverySeconds;
    m_samples.push_back({second, readStatus(true)});
    m_nextSample = start + every * static_cast<int>(m_samples.size() + 1);
}

void Bench::report(const ProcessStatus& before, const ProcessStatus& end, double coreShare,
                   const Json& cpu) {
    const ProcessStatus last = readStatus();
    const double peakResidentMb =
        std::max({last.peakResidentMb, m_peak.residentMb, m_peak.peakResidentMb, end.residentMb});
    double worstLateMs = 0;
    int refused = 0;
    for (const FeederTally& tally : m_feeders) {
        worstLateMs = std::max(worstLateMs,
                               std::chrono::duration<double, std::milli>(tally.worstLate).count());
        refused += tally.refused;
    }
    const int peakThreads = std::max(m_peak.threads, end.threads);
    const Json threads = {
        {"peak", peakThreads}, {"atEnd", end.threads}, {"beforePlugin", before.threads}};
    const Json memory = {{"peakResident", peakResidentMb},
                         {"resident", end.residentMb},
                         {"beforePlugin", before.residentMb}};
    const double pluginCpuSeconds =
        cpu["processSeconds"].get<double>() - cpu["benchSeconds"].get<double>();
    const double cpuPerDocumentUs =
        m_summary.pushed > 0 ? pluginCpuSeconds * 1e6 / m_summary.pushed : 0;
    const double bindCpuPerCameraMs = m_bindCpuSeconds * 1e3 / m_options.cameras;
    Json samples = Json::array();
    for (const Sample& sample : m_samples) {
        samples.push_back({{"second", sample.second},
                           {"residentMb", sample.status.residentMb},
                           {"threads", sample.status.threads},
                           {"openFiles", sample.status.openFiles}});
    }
    if (m_options.json) {
        Json json = summaryJson(m_summary);
        json["options"] = {{"cameras", m_options.cameras},
                           {"rate", m_options.rate},
                           {"seconds", m_options.seconds},
                           {"seed", m_options.seed},
                           {"simulatedCores", m_options.simulatedCores}};
        json["documents"]["silent"] = m_silentDropped;
        json["documents"]["droppedAfterLatePush"] = m_droppedAfterLatePush;
        json["documents"]["refused"] = refused;
        json["pluginCpu"] = cpu;
        json["pluginCpu"]["coreShare"] = coreShare;
        json["pluginCpu"]["perDocumentUs"] = cpuPerDocumentUs;
        json["threads"] = threads;
        json["memoryMb"] = memory;
        json["bindSeconds"] = m_bindSeconds;
        json["bindCpuPerCameraMs"] = bindCpuPerCameraMs;
        if (!m_samples.empty())
            json["samples"] = samples;
        json["worstLateMs"] = worstLateMs;
        m_out << json.dump() << std::endl;
        return;
    }
    auto& rows = m_summary.rows;
    std::string cores;
    if (m_options.simulatedCores > 0)
        cores = " (the plugin told of " + std::to_string(m_options.simulatedCores) + " cores)";
    rows.emplace_back(
        "cameras", std::to_string(m_options.cameras) + " bound in " + fixed(m_bindSeconds, 2) +
                       " s (" + fixed(bindCpuPerCameraMs, 2) + " ms process CPU each), each fed " +
                       std::to_string(m_options.rate) + " documents per second for " +
                       std::to_string(m_options.seconds) + " s" + cores);
    if (m_silentDropped > 0)
        rows.emplace_back(
            "silent", std::to_string(m_silentDropped) + " dropped documents had nothing to report");
    if (refused > 0)
        rows.emplace_back("refused", std::to_string(refused) + " pushes failed");
    rows.emplace_back("plugin CPU", fixed(coreShare * 100, 1) + " % of one core (" +
                                        fixed(cpu["processSeconds"].get<double>(), 2) +
                                        " s process CPU less " +
                                        fixed(cpu["benchSeconds"].get<double>(), 2) +
                                        " s of the bench's threads, over " +
                                        fixed(cpu["wallSeconds"].get<double>(), 2) + " s), " +
                                        fixed(cpuPerDocumentUs, 1) + " us per document pushed");
    rows.emplace_back("threads", "peak " + std::to_string(peakThreads) + ", " +
                                     std::to_string(end.threads) + " at the end of the feed, " +
                                     std::to_string(before.threads) + " before the plugin started");
    rows.emplace_back("memory", "peak resident " + fixed(peakResidentMb, 1) + " MB (VmHWM), " +
                                    fixed(end.residentMb, 1) +
                                    " MB at the end of the feed (VmRSS), " +
                                    fixed(before.residentMb, 1) + " MB before the plugin started");
    std::string pacing = "worst push " + fixed(worstLateMs, 1) + " ms behind schedule";
    if (m_summary.droppedWhileBusy > 0) {
        pacing += "; " + std::to_string(m_droppedAfterLatePush) +
                  " of the documents dropped while busy came less than half an interval after "
                  "their camera's previous one";
    }
    rows.emplace_back("pacing", pacing);
    for (const Sample& sample : m_samples) {
        rows.emplace_back("sample", "at " + std::to_string(sample.second) + " s: resident " +
                                        fixed(sample.status.residentMb, 1) + " MB, " +
                                        std::to_string(sample.status.threads) + " threads, " +
                                        std::to_string(sample.status.openFiles) + " open files");
    }
    printSummary(m_out, m_summary);
}

int Bench::run() {
    if (!m_session.load(m_options.pluginPath)) {
        m_err << m_sessionErr.str() << std::flush;
        return kExitFailure;
    }
    StatusSampler sampler;
    makeScenes();
    const ProcessStatus before = readStatus();

    bool failed = false;
    ProcessStatus end;
    double coreShare = 0;
    Json cpu;
    {
        // The log is discarded, not left out: writing it is part of the plugin's cost.
        const StderrRedirect discarded(open("/dev/null", O_WRONLY | O_CLOEXEC));
        if (!m_session.start(benchServerOptions(m_options)) || !bindCameras()) {
            m_session.shutdown();
            failed = true;
        } else {
            const auto wallStart = Clock::now();
            const double processStart = processCpuSeconds();
            const double ownStart = threadCpuSeconds();
            const double samplerStart = sampler.cpuSeconds();

            m_nextSample = wallStart + std::chrono::seconds(m_options.sampleEverySeconds);
            m_feeders.resize(kFeeders);
            std::vector<std::thread> feeders;
            for (int f = 0; f < kFeeders; ++f)
                feeders.emplace_back(&Bench::feed, this, f, wallStart, &m_feeders[f]);
            const auto feedEnd =
                wallStart + std::chrono::seconds(m_options.seconds) + kCollectEvery;
            while (Clock::now() < feedEnd) {
                std::this_thread::sleep_for(kCollectEvery);
                collect();
                sampleIfDue(wallStart);
            }
            for (auto& feeder : feeders)
                feeder.join();
            for (auto quietSince = Clock::now(), limit = quietSince + kDrainLimit;
                 Clock::now() - quietSince < kQuiet && Clock::now() < limit;) {
                std::this_thread::sleep_for(kQuiet / 10);
                if (collect())
                    quietSince = Clock::now();
            }

            const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
            const double process = processCpuSeconds() - processStart;
            double bench = threadCpuSeconds() - ownStart - m_releaseCpuSeconds +
                           sampler.cpuSeconds() - samplerStart;
            for (const FeederTally& tally : m_feeders)
                bench += tally.ownCpuSeconds;
            // The server's handler storing each delivery runs on the plugin's threads, and
            // counts as the plugin's, as it would in a server.
            coreShare = (process - bench) / wall;
            cpu = {{"processSeconds", process}, {"benchSeconds", bench}, {"wallSeconds", wall}};
            end = readStatus();
            m_session.shutdown();
        }
    }
    sampler.stop();
    if (failed) {
        m_err << m_sessionErr.str() << std::flush;
        return kExitFailure;
    }
    m_peak = sampler.peak();
    countDocuments();
    report(before, end, coreShare, cpu);
    m_sessionErr.str("");
    if (!m_session.checkLeaks()) {
        m_err << m_sessionErr.str() << std::flush;
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

MediaServerOptions benchServerOptions(const BenchOptions& options) {
    MediaServerOptions server;
    // The plugin sizes its threads as on a server with that many hardware threads.
    if (options.simulatedCores > 0)
        server.unitTestOptions["hardwareConcurrency"] = std::to_string(options.simulatedCores);
    return server;
}

CLI::App* addBenchCommand(CLI::App& root, BenchOptions& options) {
    CLI::App* command = addCommand(root, "bench");
    addValue(command, "--plugin", options.pluginPath);
    addValue(command, "--cameras", options.cameras)->check(wholeNumber(1, 4096));
    addValue(command, "--rate", options.rate)->check(wholeNumber(1, 1000));
    addValue(command, "--seconds", options.seconds)->check(wholeNumber(1, 3600));
    addValue(command, "--seed", options.seed)->check(wholeNumber(0, UINT32_MAX));
    addValue(command, "--simulate-cores", options.simulatedCores)->check(wholeNumber(1, 4096));
    addValue(command, "--sample-every", options.sampleEverySeconds)->check(wholeNumber(1, 3600));
    addValue(command, "--churn", options.churnRounds)->check(wholeNumber(1, 1'000'000));
    command->add_flag("--json", options.json);
    return command;
}

int runBenchCommand(const BenchOptions& options, std::ostream& out, std::ostream& err) {
    if (options.churnRounds > 0)
        return runChurn(options, out, err);
    return Bench(options, out, err).run();
}

}  // namespace lumo::host
