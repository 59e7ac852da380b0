#include "commands/bench_command.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "commands/command_line.h"
#include "commands/command_options.h"
#include "server/media_server.h"
#include "report/packet_record.h"
#include "server/plugin_library.h"
#include "report/process_status.h"
#include "report/run_summary.h"
#include "server/stderr_redirect.h"
#include "scene_generator.h"

namespace lumo::host {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Nothing listens on port 80 here, so the plugin's camera requests are refused at once.
constexpr char kNoCameraUrl[] = "http://127.0.0.1/";
// Cameras share these few scenes: enough variety, little memory.
constexpr int kScenes = 4;
// Two threads push, as a server's stream threads would; not one per camera, to keep the bench's
// own threads out of the thread count.
constexpr int kFeeders = 2;
constexpr auto kCollectEvery = 20ms;
constexpr auto kSampleEvery = 50ms;
// After the last push, deliveries stopping for this long means the agents are done.
constexpr auto kQuiet = 100ms;
constexpr auto kDrainLimit = 5s;
// An agent takes the next document only after a little clean-up following its last delivery;
// a document pushed this soon after that delivery still found it busy.
constexpr auto kBusyGrace = 20ms;

// Longer runs push the same minute of documents again, a minute later each time, so that the
// documents a run holds stay the same whatever its length.
constexpr int kSceneSeconds = 60;
// Churn: documents pushed to each bound camera, and the rounds after which growth is measured.
constexpr int kChurnDocuments = 5;
constexpr int kChurnBaselineRounds = 20;
// Settings writes keep their agent for the write hold-off (5 s) on threads of their own.
constexpr auto kSettleLimit = 15s;

struct BenchOptions {
    std::string pluginPath;
    int cameras = 128;
    int rate = 10;
    int seconds = 30;
    uint32_t seed = 1;
    int simulatedCores = 0;  // 0: the machine's own count.
    int sampleEverySeconds = 0;
    int churnRounds = 0;
    bool json = false;
    bool help = false;
};

BenchOptions parseOptions(const std::vector<std::string>& args) {
    BenchOptions options;
    options.help = readOptions(
        "bench", args, {{"--json", &options.json}},
        {"--plugin", "--cameras", "--rate", "--seconds", "--seed", "--simulate-cores",
         "--sample-every", "--churn"},
        [&options](const std::string& option, const std::string& value) {
            if (option == "--plugin")
                options.pluginPath = value;
            else if (option == "--cameras")
                options.cameras = static_cast<int>(wholeNumber(option, value, 1, 4096));
            else if (option == "--rate")
                options.rate = static_cast<int>(wholeNumber(option, value, 1, 1000));
            else if (option == "--seconds")
                options.seconds = static_cast<int>(wholeNumber(option, value, 1, 3600));
            else if (option == "--simulate-cores")
                options.simulatedCores = static_cast<int>(wholeNumber(option, value, 1, 4096));
            else if (option == "--sample-every")
                options.sampleEverySeconds = static_cast<int>(wholeNumber(option, value, 1, 3600));
            else if (option == "--churn")
                options.churnRounds = static_cast<int>(wholeNumber(option, value, 1, 1'000'000));
            else
                options.seed = static_cast<uint32_t>(wholeNumber(option, value, 0, UINT32_MAX));
        });
    if (options.pluginPath.empty())
        options.pluginPath = PluginLibrary::defaultPath();
    return options;
}

MediaServerOptions serverOptions(const BenchOptions& options) {
    MediaServerOptions server;
    // The plugin sizes its threads as on a server with that many hardware threads.
    if (options.simulatedCores > 0)
        server.unitTestOptions["hardwareConcurrency"] = std::to_string(options.simulatedCores);
    return server;
}

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double cpuSeconds(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

double threadCpuSeconds() {
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/**
 * Samples the thread count and resident memory from construction until stop(), catching the
 * short-lived threads of the cameras' start-up as well. The kernel updates VmHWM lazily, so a
 * sampled VmRSS can exceed it.
 *
 * Threading: stop() and the accessors from the owning thread; peak() after stop().
 */
class StatusSampler {
public:
    StatusSampler() : m_thread([this] { run(); }) {}
    ~StatusSampler() { stop(); }
    StatusSampler(const StatusSampler&) = delete;
    StatusSampler& operator=(const StatusSampler&) = delete;

    void stop() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    /** The highest thread count and VmRSS sampled, and the highest VmHWM read. */
    const ProcessStatus& peak() const { return m_peak; }
    /** The sampler's own CPU, which is not the plugin's. */
    double cpuSeconds() {
        clockid_t clock{};
        return pthread_getcpuclockid(m_thread.native_handle(), &clock) == 0
                   ? lumo::host::cpuSeconds(clock)
                   : 0;
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stopping) {
            const ProcessStatus now = readStatus();
            m_peak.threads = std::max(m_peak.threads, now.threads);
            m_peak.residentMb = std::max(m_peak.residentMb, now.residentMb);
            m_peak.peakResidentMb = std::max(m_peak.peakResidentMb, now.peakResidentMb);
            m_wake.wait_for(lock, kSampleEvery);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;  // Guarded by m_mutex.
    ProcessStatus m_peak;     // Guarded by m_mutex.
    std::thread m_thread;     // Last: starts once the rest is ready.
};

struct Scene {
    std::vector<std::string> documents;
};

/** One camera's documents: pushed by one feeder, attributed by the collector. */
struct CameraFeed {
    MediaServer::CameraId id = 0;
    const Scene* scene = nullptr;
    // Entries below `pushed` are written once, by the feeder, before `pushed` passes them.
    std::vector<Clock::time_point> pushedAt;
    std::atomic<size_t> pushed{0};
    std::vector<Clock::time_point> lastArrival;
    std::vector<char> processed;
    size_t current = SIZE_MAX;  // The document whose packets are arriving.
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
    Bench(BenchOptions options, std::ostream& out, std::ostream& err)
        : m_options(std::move(options)), m_out(out), m_err(err) {}

    int run();

private:
    void makeScenes();
    bool bindCameras(std::string* error);
    void feed(int feeder, Clock::time_point start, FeederTally* tally);
    /** @return Whether any packet arrived. */
    bool collect();
    /** The document a packet delivered to `feed` belongs to; SIZE_MAX if none. */
    size_t documentOf(const CameraFeed& feed, PacketKind kind, int64_t timestampUs) const;
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
    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
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

bool Bench::bindCameras(std::string* error) {
    const auto start = Clock::now();
    const double cpuStart = processCpuSeconds();
    m_feeds = std::vector<CameraFeed>(static_cast<size_t>(m_options.cameras));
    const size_t documents = m_timestampsUs.size();
    for (int c = 0; c < m_options.cameras; ++c) {
        DeviceDescription device;
        device.id = "camera-" + std::to_string(c + 1);
        device.name = "Camera " + std::to_string(c + 1);
        device.url = kNoCameraUrl;
        device.password = "admin";
        CameraFeed& feed = m_feeds[static_cast<size_t>(c)];
        // With the dialog's defaults, as a server binds a camera.
        if (!m_server->addCamera(device, &feed.id, error))
            return false;
        feed.scene = &m_scenes[static_cast<size_t>(c) % m_scenes.size()];
        feed.pushedAt.resize(documents);
        feed.lastArrival.resize(documents);
        feed.processed.resize(documents);
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
    std::string error;
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
        feed.pushedAt[index] = Clock::now();
        feed.pushed.store(index + 1, std::memory_order_release);
        // pushMetadata only reads the camera table, which is fixed once the cameras are bound,
        // so the feeders share the server.
        if (!m_server->pushMetadata(feed.id, std::move(document), m_timestampsUs[index], &error))
            ++tally->refused;
        pushCpu += threadCpuSeconds() - before;
    }
    tally->ownCpuSeconds = threadCpuSeconds() - cpuStart - pushCpu;
}

bool Bench::collect() {
    std::vector<DeviceAgentHandler::Delivery> taken;
    for (CameraFeed& feed : m_feeds) {
        auto deliveries = m_server->agentHandler(feed.id).takeDeliveries();
        for (auto& delivery : deliveries) {
            const PacketKind kind = packetKind(delivery.packet.get());
            ++m_summary.packets[kind];
            feed.current = documentOf(feed, kind, delivery.packet->timestampUs());
            taken.push_back(std::move(delivery));
            if (feed.current >= m_timestampsUs.size())
                continue;
            feed.processed[feed.current] = 1;
            feed.lastArrival[feed.current] = taken.back().arrivedAt;
            m_summary.latency.add(std::chrono::duration<double, std::milli>(
                                      taken.back().arrivedAt - feed.pushedAt[feed.current])
                                      .count());
        }
    }
    const double before = threadCpuSeconds();
    const bool any = !taken.empty();
    taken.clear();
    m_releaseCpuSeconds += threadCpuSeconds() - before;
    return any;
}

size_t Bench::documentOf(const CameraFeed& feed, PacketKind kind, int64_t timestampUs) const {
    // Event packets carry their document's time, and so do object packets unless a best shot
    // comes last in them (it carries its track's first sighting). Best shots come after the object
    // packet of their document.
    const auto it = std::lower_bound(m_timestampsUs.begin(), m_timestampsUs.end(), timestampUs);
    if (it != m_timestampsUs.end() && *it == timestampUs)
        return static_cast<size_t>(it - m_timestampsUs.begin());
    if (kind != PacketKind::object)
        return feed.current;
    // An object packet opens a document: the first one pushed after the agent finished the one
    // before.
    const size_t pushed = feed.pushed.load(std::memory_order_acquire);
    if (feed.current == SIZE_MAX)
        return pushed > 0 ? 0 : SIZE_MAX;
    size_t next = feed.current + 1;
    while (next + 1 < pushed && feed.pushedAt[next] < feed.lastArrival[feed.current])
        ++next;
    return next < pushed ? next : feed.current;
}

void Bench::countDocuments() {
    // A document the agent took delivers something; a silent one was dropped while the agent was
    // busy with the one before, or had nothing to report.
    m_summary.droppedWhileBusy = 0;
    const size_t documents = m_timestampsUs.size();
    const auto halfInterval = std::chrono::nanoseconds(500'000'000 / m_options.rate);
    for (size_t c = 0; c < m_feeds.size(); ++c) {
        const CameraFeed& feed = m_feeds[c];
        const size_t scene = c % m_scenes.size();
        size_t inWork = SIZE_MAX;
        for (size_t i = 0; i < documents; ++i) {
            ++m_summary.pushed;
            if (feed.processed[i]) {
                ++m_summary.processed;
                inWork = i;
                continue;
            }
            ++m_summary.dropped;
            if (inWork != SIZE_MAX && feed.pushedAt[i] <= feed.lastArrival[inWork] + kBusyGrace) {
                ++m_summary.droppedWhileBusy;
                // A feeder kept from running pushes the documents it owes back to back.
                if (feed.pushedAt[i] - feed.pushedAt[i - 1] < halfInterval)
                    ++m_droppedAfterLatePush;
            } else if (m_silent[scene * m_sceneDocuments + i % m_sceneDocuments]) {
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

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
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
    std::string error;
    m_library = PluginLibrary::load(m_options.pluginPath, &error);
    if (!m_library) {
        m_err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }
    StatusSampler sampler;
    makeScenes();
    const ProcessStatus before = readStatus();

    std::string failure;
    ProcessStatus end;
    double coreShare = 0;
    Json cpu;
    ShutdownReport shutdown;
    {
        // The log is discarded, not left out: writing it is part of the plugin's cost.
        const StderrRedirect discarded(open("/dev/null", O_WRONLY | O_CLOEXEC));
        m_server =
            std::make_unique<MediaServer>(m_library->entryPoints(), serverOptions(m_options));
        if (!m_server->start(&error) || !bindCameras(&error)) {
            m_server.reset();
            failure = "lumo-host: " + error;
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
            shutdown = m_server->shutdown();
            m_server.reset();
        }
    }
    sampler.stop();
    if (!failure.empty()) {
        m_err << failure << std::endl;
        return kExitFailure;
    }
    m_peak = sampler.peak();
    countDocuments();
    m_summary.liveObjects = shutdown.describeLiveObjects();
    report(before, end, coreShare, cpu);
    if (shutdown.liveCount > 0) {
        m_err << "lumo-host: the plugin did not release " << m_summary.liveObjects << std::endl;
        return kExitFailure;
    }
    return kExitOk;
}

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
    Churn(BenchOptions options, std::ostream& out, std::ostream& err)
        : m_options(std::move(options)), m_out(out), m_err(err) {}

    int run();

private:
    bool round(int number, std::string* error);
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
    std::unique_ptr<MediaServer> m_server;
    int m_delivered = 0;  // Documents that brought packets.
};

bool Churn::round(int number, std::string* error) {
    DeviceDescription device;
    device.id = "camera-" + std::to_string(number);
    device.name = "Camera " + std::to_string(number);
    device.url = kNoCameraUrl;
    device.password = "admin";
    MediaServer::CameraId camera = 0;
    if (!m_server->addCamera(device, &camera, error))
        return false;
    DeviceAgentHandler& handler = m_server->agentHandler(camera);
    for (size_t i = 0; i < m_documents.size(); ++i) {
        const size_t before = handler.packetCount();
        if (!m_server->pushMetadata(camera, m_documents[i], m_timestampsUs[i], error))
            return false;
        m_delivered += handler.waitUntilQuiet(before, 2ms, 200ms) > 0;
        handler.takePackets();
    }
    // A value written to the camera, so that each round leaves a write and its hold-off behind.
    const SettingsAnswer answer =
        m_server->changeSettings(camera, {{"AIX_PERSON_SENSITIVITY", number % 2 == 0 ? "1" : "2"}});
    if (!answer.ok) {
        *error = "doSetSettings: " + answer.error;
        return false;
    }
    m_server->removeCamera(camera);
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
    std::string error;
    std::unique_ptr<PluginLibrary> library = PluginLibrary::load(m_options.pluginPath, &error);
    if (!library) {
        m_err << "lumo-host: " << error << std::endl;
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
    ShutdownReport shutdown;
    const auto wallStart = Clock::now();
    {
        const StderrRedirect discarded(open("/dev/null", O_WRONLY | O_CLOEXEC));
        m_server = std::make_unique<MediaServer>(library->entryPoints(), serverOptions(m_options));
        if (!m_server->start(&error)) {
            m_err << "lumo-host: " << error << std::endl;
            return kExitFailure;
        }
        start = readStatus(true);
        const double cpuStart = processCpuSeconds();
        double settling = 0;  // Process CPU while waiting at the checkpoints.
        for (int r = 1; r <= rounds; ++r) {
            if (!round(r, &error)) {
                m_server.reset();
                m_err << "lumo-host: round " << r << ": " << error << std::endl;
                return kExitFailure;
            }
            peakThreads = std::max(peakThreads, readStatus().threads);
            if (checkpointRounds.count(r) != 0) {
                const double before = processCpuSeconds();
                checkpoints.push_back(settle(r, start.threads));
                settling += processCpuSeconds() - before;
            }
        }
        cpuSeconds = processCpuSeconds() - cpuStart - settling;
        shutdown = m_server->shutdown();
        m_server.reset();
    }
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

int runBenchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runCommand(args, out, err, parseOptions, [&](BenchOptions options) {
        if (options.churnRounds > 0)
            return Churn(std::move(options), out, err).run();
        return Bench(std::move(options), out, err).run();
    });
}

}  // namespace lumo::host
