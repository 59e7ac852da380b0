#include "host/bench_command.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>

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
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "host/command_line.h"
#include "host/command_options.h"
#include "host/media_server.h"
#include "host/packet_record.h"
#include "host/plugin_library.h"
#include "host/run_summary.h"
#include "host/stderr_redirect.h"
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

struct BenchOptions {
    std::string pluginPath;
    int cameras = 128;
    int rate = 10;
    int seconds = 30;
    uint32_t seed = 1;
    bool json = false;
    bool help = false;
};

BenchOptions parseOptions(const std::vector<std::string>& args) {
    BenchOptions options;
    options.help = readOptions(
        "bench", args, {{"--json", &options.json}},
        {"--plugin", "--cameras", "--rate", "--seconds", "--seed"},
        [&options](const std::string& option, const std::string& value) {
            if (option == "--plugin")
                options.pluginPath = value;
            else if (option == "--cameras")
                options.cameras = static_cast<int>(wholeNumber(option, value, 1, 4096));
            else if (option == "--rate")
                options.rate = static_cast<int>(wholeNumber(option, value, 1, 1000));
            else if (option == "--seconds")
                options.seconds = static_cast<int>(wholeNumber(option, value, 1, 3600));
            else
                options.seed = static_cast<uint32_t>(wholeNumber(option, value, 0, UINT32_MAX));
        });
    if (options.pluginPath.empty())
        options.pluginPath = PluginLibrary::defaultPath();
    return options;
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

struct ProcessStatus {
    int threads = 0;
    double residentMb = 0;      // VmRSS
    double peakResidentMb = 0;  // VmHWM
};

ProcessStatus readStatus() {
    ProcessStatus status;
    std::ifstream file("/proc/self/status");
    std::string key;
    while (file >> key) {
        double value = 0;
        if (key == "Threads:" && file >> value)
            status.threads = static_cast<int>(value);
        else if (key == "VmRSS:" && file >> value)
            status.residentMb = value / 1024;
        else if (key == "VmHWM:" && file >> value)
            status.peakResidentMb = value / 1024;
        file.ignore(1 << 16, '\n');
    }
    return status;
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
    void report(const ProcessStatus& before, const ProcessStatus& end, double coreShare,
                const Json& cpu);

    const BenchOptions m_options;
    std::ostream& m_out;
    std::ostream& m_err;

    std::vector<Scene> m_scenes;
    std::vector<int64_t> m_timestampsUs;  // By document index, the same for every camera.
    std::vector<char> m_silent;           // By scene and document: nothing in it to report.
    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    std::vector<CameraFeed> m_feeds;
    double m_bindSeconds = 0;
    double m_releaseCpuSeconds = 0;  // Releasing delivered packets runs the plugin's destructors.
    std::vector<FeederTally> m_feeders;
    RunSummary m_summary;
    int m_silentDropped = 0;
    int m_droppedAfterLatePush = 0;  // Of those dropped while the agent was busy.
    ProcessStatus m_peak;            // Sampled.
};

void Bench::makeScenes() {
    lumo_camera::SceneOptions options;
    options.seconds = m_options.seconds;
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
}

bool Bench::bindCameras(std::string* error) {
    const auto start = Clock::now();
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
        std::string document = feed.scene->documents[index];
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
            m_summary.latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(taken.back().arrivedAt -
                                                          feed.pushedAt[feed.current])
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
            } else if (m_silent[scene * documents + i]) {
                ++m_silentDropped;
            }
        }
    }
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
    const Json threads = {{"peak", peakThreads}, {"atEnd", end.threads}};
    const Json memory = {{"peakResident", peakResidentMb},
                         {"resident", end.residentMb},
                         {"beforePlugin", before.residentMb}};
    if (m_options.json) {
        Json json = summaryJson(m_summary);
        json["options"] = {{"cameras", m_options.cameras},
                           {"rate", m_options.rate},
                           {"seconds", m_options.seconds},
                           {"seed", m_options.seed}};
        json["documents"]["silent"] = m_silentDropped;
        json["documents"]["droppedAfterLatePush"] = m_droppedAfterLatePush;
        json["documents"]["refused"] = refused;
        json["pluginCpu"] = cpu;
        json["pluginCpu"]["coreShare"] = coreShare;
        json["threads"] = threads;
        json["memoryMb"] = memory;
        json["bindSeconds"] = m_bindSeconds;
        json["worstLateMs"] = worstLateMs;
        m_out << json.dump() << std::endl;
        return;
    }
    auto& rows = m_summary.rows;
    rows.emplace_back("cameras", std::to_string(m_options.cameras) + " bound in " +
                                     fixed(m_bindSeconds, 2) + " s, each fed " +
                                     std::to_string(m_options.rate) + " documents per second for " +
                                     std::to_string(m_options.seconds) + " s");
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
                                        fixed(cpu["wallSeconds"].get<double>(), 2) + " s)");
    rows.emplace_back("threads", "peak " + std::to_string(peakThreads) + ", " +
                                     std::to_string(end.threads) + " at the end of the feed");
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
        m_server = std::make_unique<MediaServer>(m_library->entryPoints());
        if (!m_server->start(&error) || !bindCameras(&error)) {
            m_server.reset();
            failure = "lumo-host: " + error;
        } else {
            const auto wallStart = Clock::now();
            const double processStart = processCpuSeconds();
            const double ownStart = threadCpuSeconds();
            const double samplerStart = sampler.cpuSeconds();

            m_feeders.resize(kFeeders);
            std::vector<std::thread> feeders;
            for (int f = 0; f < kFeeders; ++f)
                feeders.emplace_back(&Bench::feed, this, f, wallStart, &m_feeders[f]);
            const auto feedEnd =
                wallStart + std::chrono::seconds(m_options.seconds) + kCollectEvery;
            while (Clock::now() < feedEnd) {
                std::this_thread::sleep_for(kCollectEvery);
                collect();
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

}  // namespace

int runBenchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runCommand(args, out, err, parseOptions, [&](BenchOptions options) {
        return Bench(std::move(options), out, err).run();
    });
}

}  // namespace lumo::host
