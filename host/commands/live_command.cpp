#include "commands/live_command.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "commands/command_line.h"
#include "commands/demo_scene.h"
#include "commands/live_tally.h"
#include "commands/option_reader.h"
#include "live/last_picture.h"
#include "live/rtsp_source.h"
#include "live/thread_cpu.h"
#include "report/frame_picture.h"
#include "report/packet_printer.h"
#include "report/plugin_log_file.h"
#include "report/run_summary.h"
#include "server/host_session.h"

namespace lumo::host {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

}  // namespace

std::string rtspHost(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
    if (const size_t at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    if (!authority.empty() && authority[0] == '[')
        return authority.substr(0, authority.find(']') + 1);
    return authority.substr(0, authority.find(':'));
}

namespace {

// One camera's stream. The source's threads write the counters and the video description; the
// run's thread reads them.
struct Stream {
    std::string url;
    HostSession::CameraId camera = 0;
    std::unique_ptr<live::RtspSource> source;
    std::mutex pushMutex;  // One push at a time into the camera's agent.
    std::atomic<uint64_t> frames{0};
    /** CPU the pushes took on the streaming threads, in nanoseconds (--bench). */
    std::atomic<uint64_t> pushCpuNs{0};
    std::mutex videoMutex;
    std::string codec;  // guarded by videoMutex
    int width = 0;      // guarded by videoMutex
    int height = 0;     // guarded by videoMutex
    // The run's thread only.
    bool connected = false;
    bool ended = false;
};

struct StateChange {
    size_t stream;
    live::SourceState state;
    std::string detail;
};

// One run of `live`. Threading: run() on one thread; the streams' callbacks on theirs.
class Live {
public:
    Live(const LiveOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options),
          m_out(out),
          m_logPath((std::filesystem::absolute(m_options.svgPath.empty() ? "live-frame.svg"
                                                                         : m_options.svgPath)
                         .parent_path() /
                     "live-plugin.log")
                        .lexically_normal()
                        .string()),
          m_log(m_logPath),
          m_err(&err == &std::cerr && m_log.active() ? m_log.terminal() : err),
          m_notes(m_options.json ? m_err : out),
          m_progress(&err == &std::cerr && isatty(m_log.terminalFd())),
          m_session(m_err) {}

    int run();

private:
    bool bind();
    void start();
    /** Says what the streams went through; false once every stream has ended. */
    bool follow();
    void take();
    Json summarize(RunSummary& summary);
    void writeSvg(Json& json);
    void clearProgress();
    void measureCpu(double wallSeconds);

    const LiveOptions m_options;
    std::ostream& m_out;
    const std::string m_logPath;
    PluginLogFile m_log;
    std::ostream& m_err;
    std::ostream& m_notes;
    const bool m_progress;
    std::string m_progressLine;

    HostSession m_session;
    std::vector<std::unique_ptr<Stream>> m_streams;
    live::LastPicture m_picture;  // The first stream's.

    std::mutex m_changesMutex;
    std::vector<StateChange> m_changes;  // guarded by m_changesMutex

    bool m_failed = false;
    nlohmann::json m_cpu;  // --bench
    LiveTally m_tally;
};

bool Live::bind() {
    for (const std::string& url : m_options.rtspUrls) {
        auto stream = std::make_unique<Stream>();
        stream->url = url;
        DeviceDescription device;
        device.url =
            m_options.cameraUrl.empty() ? "http://" + rtspHost(url) + "/" : m_options.cameraUrl;
        device.login = m_options.login;
        device.password = m_options.password;
        if (!m_session.bind(device, &stream->camera))
            return false;
        if (m_options.rtspUrls.size() == 1)
            m_notes << "camera " << device.url << " bound with the dialog's defaults" << std::endl;
        m_streams.push_back(std::move(stream));
    }
    return true;
}

void Live::start() {
    for (size_t i = 0; i < m_streams.size(); ++i) {
        Stream& stream = *m_streams[i];
        live::RtspSourceOptions options;
        options.url = stream.url;
        options.login = m_options.login;
        options.password = m_options.password;
        options.transport = m_options.udp ? live::RtspTransport::udp : live::RtspTransport::tcp;
        live::RtspSourceCallbacks callbacks;
        const bool bench = m_options.bench;
        callbacks.onDocument = [this, &stream, bench](live::MetadataDocument&& document) {
            std::lock_guard<std::mutex> lock(stream.pushMutex);
            const double start = bench ? live::callingThreadCpuSeconds() : 0;
            m_session.pushDocument(stream.camera, std::move(document.bytes), document.timestampUs);
            if (bench)
                stream.pushCpuNs +=
                    static_cast<uint64_t>((live::callingThreadCpuSeconds() - start) * 1e9);
        };
        const bool picture = i == 0 && !m_options.svgPath.empty();
        callbacks.onVideo = [this, &stream, picture, bench](live::VideoAccessUnit&& unit) {
            {
                std::lock_guard<std::mutex> lock(stream.videoMutex);
                stream.codec = unit.codec;
                stream.width = unit.width;
                stream.height = unit.height;
            }
            ++stream.frames;
            if (picture)
                m_picture.add(unit.bytes, unit.keyFrame);
            VideoFrame frame;
            frame.codec = unit.codec;
            frame.width = unit.width;
            frame.height = unit.height;
            frame.timestampUs = unit.timestampUs;
            std::lock_guard<std::mutex> lock(stream.pushMutex);
            const double start = bench ? live::callingThreadCpuSeconds() : 0;
            m_session.pushVideoFrame(stream.camera, frame);
            if (bench)
                stream.pushCpuNs +=
                    static_cast<uint64_t>((live::callingThreadCpuSeconds() - start) * 1e9);
        };
        callbacks.onState = [this, i](live::SourceState state, const std::string& detail) {
            std::lock_guard<std::mutex> lock(m_changesMutex);
            m_changes.push_back({i, state, detail});
        };
        stream.source = std::make_unique<live::RtspSource>(options, std::move(callbacks));
        stream.source->start();
    }
}

void Live::measureCpu(double wallSeconds) {
    const live::ThreadCpu threads = live::threadCpu();
    const double process = live::processCpuSeconds();
    uint64_t pushNs = 0;
    for (const auto& stream : m_streams)
        pushNs += stream->pushCpuNs;
    const double plugin = threads.namedAsProcess + static_cast<double>(pushNs) / 1e9;
    m_cpu = {{"wallSeconds", wallSeconds},
             {"processSeconds", process},
             {"pluginSeconds", plugin},
             {"hostSeconds", process - plugin}};
}

void Live::clearProgress() {
    if (m_progress)
        m_err << "\r\033[K" << std::flush;
}

bool Live::follow() {
    std::vector<StateChange> changes;
    {
        std::lock_guard<std::mutex> lock(m_changesMutex);
        changes.swap(m_changes);
    }
    for (const StateChange& change : changes) {
        Stream& stream = *m_streams[change.stream];
        clearProgress();
        switch (change.state) {
            case live::SourceState::connected:
                if (!stream.connected)
                    m_notes << "pulling " << stream.url << std::endl;
                else
                    m_err << "lumo-host: " << stream.url << ": playing again" << std::endl;
                stream.connected = true;
                break;
            case live::SourceState::lost:
                m_err << "lumo-host: " << stream.url << ": camera lost (" << change.detail << ")"
                      << std::endl;
                break;
            default:
                m_err << "lumo-host: " << stream.url << ": " << live::sourceStateName(change.state)
                      << " (" << change.detail << ")" << std::endl;
                stream.ended = true;
                m_failed = true;
                break;
        }
    }
    return std::any_of(m_streams.begin(), m_streams.end(), [](const auto& s) { return !s->ended; });
}

void Live::take() {
    const bool print = !m_options.quiet;
    bool cleared = false;
    for (const auto& stream : m_streams) {
        const auto packets = m_session.take(stream->camera);
        if (print && !packets.empty() && !cleared) {
            clearProgress();
            cleared = true;
        }
        for (const auto& packet : packets) {
            PacketRecord record = readPacket(packet.packet.get());
            m_tally.add(record);
            if (m_streams.size() > 1 && record.kind == PacketKind::object)
                record.items.clear();  // Many cameras: counted, not printed.
            if (print && m_streams.size() == 1)
                m_out << (m_options.json ? formatPacketJson(record) : formatPacketLine(record))
                      << "\n";
        }
    }
    m_out.flush();
    if (cleared && m_progress)
        m_err << m_progressLine << std::flush;
}

Json Live::summarize(RunSummary& summary) {
    Json json;
    live::ReassemblyCounters transport;
    int reconnects = 0;
    std::set<std::string> videos;
    uint64_t frames = 0;
    Json perStream = Json::array();
    for (const auto& stream : m_streams) {
        const auto n = stream->source->counters();
        transport.delivered += n.delivered;
        transport.lostInTransport += n.lostInTransport;
        transport.oversized += n.oversized;
        transport.unterminated += n.unterminated;
        reconnects += stream->source->reconnects();
        frames += stream->frames;
        std::lock_guard<std::mutex> lock(stream->videoMutex);
        if (stream->frames > 0)
            videos.insert(stream->codec + " " + std::to_string(stream->width) + "x" +
                          std::to_string(stream->height));
        perStream.push_back({{"url", stream->url},
                             {"received", n.delivered},
                             {"lostInTransport", n.lostInTransport},
                             {"oversized", n.oversized},
                             {"video",
                              {{"codec", stream->codec},
                               {"width", stream->width},
                               {"height", stream->height},
                               {"frames", stream->frames.load()}}}});
    }
    json["transport"] = {{"received", transport.delivered},
                         {"lostInTransport", transport.lostInTransport},
                         {"oversized", transport.oversized},
                         {"unterminated", transport.unterminated},
                         {"reconnects", reconnects}};
    json["streams"] = perStream;
    summary.rows.emplace_back(
        "received", std::to_string(transport.delivered) + " documents over RTSP, " +
                        std::to_string(transport.lostInTransport) + " lost in transport, " +
                        std::to_string(transport.oversized) + " oversized" +
                        (transport.unterminated
                             ? ", " + std::to_string(transport.unterminated) + " without a marker"
                             : std::string()));
    std::string video;
    for (const auto& v : videos)
        video += (video.empty() ? "" : ", ") + v;
    summary.rows.emplace_back(
        "video", (video.empty() ? "none" : video) + ", " + std::to_string(frames) + " frames");
    if (reconnects > 0)
        summary.rows.emplace_back("reconnects", std::to_string(reconnects));
    if (!m_cpu.is_null()) {
        const double plugin = m_cpu["pluginSeconds"].get<double>();
        const double host = m_cpu["hostSeconds"].get<double>();
        const double wall = m_cpu["wallSeconds"].get<double>();
        m_cpu["pluginPerDocumentUs"] = summary.pushed > 0 ? plugin * 1e6 / summary.pushed : 0;
        m_cpu["hostPerStreamCoreShare"] = host / wall / static_cast<double>(m_streams.size());
        json["cpu"] = m_cpu;
        summary.rows.emplace_back(
            "cpu", "plugin " + fixed(m_cpu["pluginPerDocumentUs"].get<double>(), 1) +
                       " us per document pushed; host " +
                       fixed(100 * m_cpu["hostPerStreamCoreShare"].get<double>(), 2) +
                       " % of a core per stream (RTSP, depayloading, parsing)");
    }

    m_tally.summarize(summary, json, m_streams.size() == 1);
    // Every document received is whole: one the agent, idle, made nothing of was unreadable.
    const int lost = summary.dropped - std::max(0, summary.droppedWhileBusy);
    json["documents"]["lost"] = lost;
    if (lost > 0)
        summary.rows.emplace_back(
            "lost", std::to_string(lost) + " documents dropped although the agent was idle");
    return json;
}

void Live::writeSvg(Json& json) {
    std::string error;
    const auto png = m_picture.lastPicturePng(&error);
    const auto dialog = m_session.server().pluginSideSettings(m_streams.front()->camera);
    std::ostringstream svg;
    const FramePictureCounts drawn =
        writeFramePicture(svg, dialog.ok ? shownFigures(dialog.values) : std::vector<ShownFigure>{},
                          m_tally.lastFrame(), png ? live::pngDataUri(*png) : std::string());
    std::ofstream file(m_options.svgPath, std::ios::binary | std::ios::trunc);
    file << svg.str();
    file.close();
    const std::string path =
        std::filesystem::absolute(m_options.svgPath).lexically_normal().string();
    if (!file) {
        m_err << "lumo-host: cannot write " << path << std::endl;
        return;
    }
    json["svg"] = {{"path", path},
                   {"picture", png.has_value()},
                   {"boxes", drawn.boxes},
                   {"regions", drawn.regions},
                   {"lines", drawn.lines}};
    m_notes << "wrote " << m_options.svgPath << ": the last frame's " << drawn.boxes << " boxes, "
            << drawn.regions << " regions and " << drawn.lines << " lines over "
            << (png ? "the camera's picture" : "no picture (" + error + ")") << std::endl;
}

int Live::run() {
    if (!m_session.load(m_options.pluginPath))
        return kExitFailure;
    if (!m_session.start() || !bind())
        return kExitFailure;
    start();
    const auto begin = Clock::now();
    const auto end = begin + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(m_options.seconds));
    auto nextProgress = begin;
    bool anyPlaying = true;
    for (auto now = Clock::now(); now < end && anyPlaying; now = Clock::now()) {
        anyPlaying = follow();
        take();
        if (m_progress && now >= nextProgress) {
            uint64_t received = 0;
            for (const auto& stream : m_streams)
                received += stream->source->counters().delivered;
            char line[160];
            std::snprintf(line, sizeof line, "%.1f / %.1f s, %llu documents received",
                          std::chrono::duration<double>(now - begin).count(), m_options.seconds,
                          static_cast<unsigned long long>(received));
            m_progressLine = line;
            m_err << "\r\033[K" << m_progressLine << std::flush;
            nextProgress = now + 100ms;
        }
        std::this_thread::sleep_for(5ms);
    }
    if (m_options.bench)
        measureCpu(std::chrono::duration<double>(Clock::now() - begin).count());
    for (const auto& stream : m_streams)
        stream->source->stop();
    follow();
    clearProgress();
    const bool everPlayed =
        std::any_of(m_streams.begin(), m_streams.end(), [](const auto& s) { return s->connected; });
    if (!everPlayed && m_failed)
        return kExitFailure;
    for (const auto& stream : m_streams)
        m_session.waitUntilQuiet(stream->camera, m_session.packetCount(stream->camera), 100ms,
                                 100ms);
    take();
    Json svgJson;
    if (!m_options.svgPath.empty())
        writeSvg(svgJson);
    m_session.shutdown(10s);
    RunSummary summary = m_session.summary(true);
    Json json = summarize(summary);
    if (!m_options.json)
        printSummary(m_out, summary);
    if (svgJson.contains("svg"))
        json["svg"] = svgJson["svg"];
    if (m_options.json) {
        json.update(summaryJson(summary), true);
        m_out << Json{{"summary", json}}.dump() << std::endl;
    }
    return m_session.checkLeaks() && !m_failed ? kExitOk : kExitFailure;
}

}  // namespace

CLI::App* addLiveCommand(CLI::App& root, LiveOptions& options) {
    CLI::App* command = addCommand(root, "live");
    addValue(command, "--plugin", options.pluginPath);
    command->add_option("--rtsp", options.rtspUrls)->required();
    addValue(command, "--camera", options.cameraUrl);
    addValue(command, "--login", options.login);
    addValue(command, "--password", options.password);
    addValue(command, "--seconds", options.seconds)->check(number(1, 86400));
    addValue(command, "--svg", options.svgPath);
    command->add_flag("--json", options.json);
    command->add_flag("--udp", options.udp);
    command->add_flag("--quiet", options.quiet);
    command->add_flag("--bench", options.bench);
    return command;
}

int runLiveCommand(const LiveOptions& options, std::ostream& out, std::ostream& err) {
    return Live(options, out, err).run();
}

}  // namespace lumo::host
