#include "commands/demo_command.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include <nlohmann/json.hpp>

#include "camera.h"
#include "commands/command_line.h"
#include "commands/demo_scene.h"
#include "commands/option_reader.h"
#include "qo/sdk/helpers/uuid_helper.h"
#include "report/frame_picture.h"
#include "report/packet_printer.h"
#include "report/plugin_log_file.h"
#include "report/run_summary.h"
#include "report/type_names.h"
#include "scene_generator.h"
#include "server/host_session.h"

namespace lumo::host {

namespace {

using namespace std::chrono_literals;
using lumo_camera::SceneEventKind;
using lumo_camera::SceneFigure;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Scene seconds played per second of the demo.
constexpr double kSpeedUp = 8;

std::string plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// One run of the demo. Threading: run() on one thread; the handler it reads from takes the
// plugin's deliveries on the plugin's threads.
class Demo {
public:
    Demo(const DemoOptions& options, std::ostream& out, std::ostream& err)
        : m_options(options),
          m_out(out),
          m_logPath((std::filesystem::absolute(m_options.svgPath).parent_path() / "demo-plugin.log")
                        .lexically_normal()
                        .string()),
          m_log(m_logPath),
          m_err(&err == &std::cerr && m_log.active() ? m_log.terminal() : err),
          m_notes(m_options.json ? m_err : out),
          m_progress(&err == &std::cerr && isatty(m_log.terminalFd())),
          m_session(m_err) {}

    int run();

private:
    void startCamera();
    bool bindCamera();
    void drawFigures();
    void play(const lumo_camera::SceneGenerator& generator);
    void take();
    void tally(const PacketRecord& record, size_t document);
    void matchObjects(const PacketRecord& record, const lumo_camera::SceneDocument& document);
    void countDropped(RunSummary& summary, Json& json);
    Json summarize(RunSummary& summary, const lumo_camera::SceneGenerator& generator);
    void writeSvg(Json& json);

    const DemoOptions m_options;
    std::ostream& m_out;
    const std::string m_logPath;
    PluginLogFile m_log;  // Restored after everything of the plugin is gone.
    std::ostream& m_err;
    std::ostream& m_notes;
    const bool m_progress;
    std::string m_progressLine;

    std::unique_ptr<lumo_camera::Camera> m_camera;
    HostSession m_session;  // Gone before m_log gives the plugin's log back.
    HostSession::CameraId m_cameraId = 0;

    std::vector<std::string> m_writes;  // Parameters the plugin wrote, in order.
    std::vector<ShownFigure> m_figures;
    std::vector<SceneFigure> m_lines, m_regions;
    int m_staySeconds = 2, m_loiteringSeconds = 5;

    std::vector<lumo_camera::SceneDocument> m_scenes;  // By document index.
    std::map<std::string, int> m_events;
    std::map<int, std::vector<int>> m_lineCounts;  // By line number in the dialog.
    std::map<int32_t, std::set<std::string>> m_trackIdsOf;
    std::map<std::string, std::set<int32_t>> m_objectsOf;
    std::map<int32_t, std::string> m_typeOf;
    PacketRecord m_lastFrame;
};

void Demo::startCamera() {
    lumo_camera::CameraOptions options;
    options.address = m_options.cameraAddress;
    auto camera = std::make_unique<lumo_camera::Camera>(options);
    try {
        camera->start();
        m_camera = std::move(camera);
    } catch (const lumo_camera::ListenError& e) {
        m_err << "lumo-host: no substitute camera: " << e.what()
              << (e.error == EACCES ? " (port 80 needs root)" : "")
              << "; the demo goes on with the metadata part alone" << std::endl;
    }
}

bool Demo::bindCamera() {
    DeviceDescription device;
    device.url = "http://" + m_options.cameraAddress + "/";
    device.login = "admin";
    device.password = "admin";
    if (!m_session.bind(device, &m_cameraId))
        return false;
    m_notes << "camera " << device.url << " bound with the dialog's defaults" << std::endl;
    return true;
}

void Demo::drawFigures() {
    if (!m_camera) {
        m_figures = drawnFigures();
        m_lines = drawnSceneFigures(true);
        m_regions = drawnSceneFigures(false);
        m_notes << "the scene counts on the 2 lines and the region as drawn" << std::endl;
        return;
    }
    m_camera->clearRequests();
    const auto answer = m_session.server().changeSettings(m_cameraId, drawingChanges());
    if (!answer.ok)
        m_err << "lumo-host: the plugin refused the figures: " << answer.error << std::endl;

    // The plugin writes on threads of its own; wait until the camera has heard the last of them.
    const auto writes = [this] {
        std::vector<std::string> names;
        for (const auto& request : m_camera->requests()) {
            if (request.status != 200 || request.uri.rfind("/httpapi/WriteParam", 0) != 0)
                continue;
            for (const auto& parameter : request.parameters)
                names.push_back(parameter.first);
        }
        return names;
    };
    const auto deadline = Clock::now() + 10s;
    size_t seen = 0;
    auto lastChange = Clock::now();
    while (Clock::now() < deadline && (seen == 0 || Clock::now() - lastChange < 300ms)) {
        std::this_thread::sleep_for(10ms);
        if (const size_t now = writes().size(); now != seen) {
            seen = now;
            lastChange = Clock::now();
        }
    }
    m_writes = writes();

    const auto readBack = m_session.server().pluginSideSettings(m_cameraId);
    m_figures = shownFigures(readBack.values);
    const auto& table = m_camera->parameters();
    m_lines = cameraFigures(table, "AIX_LINE_");
    m_regions = cameraFigures(table, "AIX_REGION_");
    if (!m_regions.empty()) {
        const std::string slot = std::to_string(m_regions.front().slot);
        m_staySeconds = std::stoi(table.read("AIX_REGION_EVENT_STAYDURATION" + slot).value_or("2"));
        m_loiteringSeconds =
            std::stoi(table.read("AIX_REGION_EVENT_LOITERINGDURATION" + slot).value_or("5"));
    }
    m_notes << "drew 2 counting lines and 1 region: the plugin wrote " << m_writes.size()
            << " camera parameters; its settings, read back from the camera, show"
            << (m_figures.empty() ? " no figure" : ":")
            << (readBack.ok ? "" : " (" + readBack.error + ")") << std::endl;
    for (const ShownFigure& figure : m_figures) {
        m_notes << "  " << (figure.line ? "line " : "region ") << figure.number << ":";
        char point[32];
        for (const auto& [x, y] : figure.points) {
            std::snprintf(point, sizeof point, " %.3f,%.3f", x, y);
            m_notes << point;
        }
        m_notes << std::endl;
    }
}

void Demo::play(const lumo_camera::SceneGenerator& generator) {
    const auto start = Clock::now();
    auto nextProgress = start;
    const int64_t startUs = generator.options().startUs;
    for (size_t i = 0; i < generator.documentCount(); ++i) {
        const auto due = start + std::chrono::microseconds(static_cast<int64_t>(
                                     static_cast<double>(generator.offsetUs(i)) / kSpeedUp));
        for (auto now = Clock::now(); now < due; now = Clock::now()) {
            take();
            if (m_progress && now >= nextProgress) {
                char line[128];
                std::snprintf(line, sizeof line, "scene %.1f / %.1f s, %zu documents pushed",
                              static_cast<double>(generator.offsetUs(i)) / 1e6, m_options.seconds,
                              i);
                m_progressLine = line;
                m_err << "\r\033[K" << m_progressLine << std::flush;
                nextProgress = now + 100ms;
            }
            std::this_thread::sleep_for(std::min<Clock::duration>(due - now, 2ms));
        }
        // One settings-changed report per document, in the order the plugin wrote; the last
        // document reports what is left.
        const bool last = i + 1 == generator.documentCount();
        const std::vector<std::string> writes(
            m_writes.begin() + static_cast<ptrdiff_t>(std::min(i, m_writes.size())),
            m_writes.begin() +
                static_cast<ptrdiff_t>(std::min(last ? m_writes.size() : i + 1, m_writes.size())));
        lumo_camera::SceneDocument scene = generator.document(i, writes);
        const int64_t timestampUs = startUs + scene.offsetUs;
        m_scenes.push_back(scene);
        m_session.pushDocument(m_cameraId, std::move(scene.xml), timestampUs);
    }
    // The last document's packets, unless it was dropped.
    const DocumentTally& documents = m_session.documents(m_cameraId);
    for (const auto deadline = Clock::now() + 2s;
         !m_scenes.empty() && !documents.document(m_scenes.size() - 1).processed &&
         Clock::now() < deadline;) {
        take();
        std::this_thread::sleep_for(2ms);
    }
    m_session.waitUntilQuiet(m_cameraId, m_session.packetCount(m_cameraId), 100ms, 100ms);
    take();
    if (m_progress)
        m_err << "\r\033[K" << std::flush;
}

void Demo::take() {
    const auto packets = m_session.take(m_cameraId);
    const bool print = !m_options.quiet && !packets.empty();
    // Packet lines go above the progress line, which stays the last line of the terminal.
    if (print && m_progress)
        m_err << "\r\033[K" << std::flush;
    for (const auto& packet : packets) {
        const PacketRecord record = packet.record();
        tally(record, packet.document);
        if (print)
            m_out << (m_options.json ? formatPacketJson(record) : formatPacketLine(record)) << "\n";
    }
    m_out.flush();
    if (print && m_progress)
        m_err << m_progressLine << std::flush;
}

void Demo::tally(const PacketRecord& record, size_t document) {
    if (document >= m_scenes.size())
        return;
    if (record.kind == PacketKind::object) {
        matchObjects(record, m_scenes[document]);
        m_lastFrame = record;
    }
    if (record.kind != PacketKind::event)
        return;
    for (const auto& item : record.items) {
        ++m_events[item.typeId];
        int line = 0, count = 0;
        if (std::sscanf(item.description.c_str(), "Event Line : [%d], Count : [%d]", &line,
                        &count) == 2) {
            m_lineCounts[line].push_back(count);
        }
    }
}

void Demo::matchObjects(const PacketRecord& record, const lumo_camera::SceneDocument& document) {
    constexpr double kW = lumo_camera::SceneGenerator::kFrameWidth;
    constexpr double kH = lumo_camera::SceneGenerator::kFrameHeight;
    for (const auto& item : record.items) {
        if (!item.hasTrackId)
            continue;
        int32_t id = -1;
        if (item.box) {
            // The plugin scales boxes by the frame the camera announces: equal to a few millionths.
            // Objects passing each other can share a box for a moment; such an item tells nothing.
            int candidates = 0;
            for (const auto& object : document.objects) {
                const double distance =
                    std::abs(item.box->x - object.left / kW) +
                    std::abs(item.box->y - object.top / kH) +
                    std::abs(item.box->width - (object.right - object.left) / kW) +
                    std::abs(item.box->height - (object.bottom - object.top) / kH);
                if (!object.bestShot && item.typeId == objectTypeId(object.kind) &&
                    distance < 1e-4) {
                    ++candidates;
                    id = object.id;
                }
            }
            if (candidates != 1)
                id = -1;
        } else if (const std::string text = item.attribute("Object ID"); !text.empty()) {
            id = std::stoi(text);
        }
        if (id < 0)
            continue;
        const std::string track = qo::sdk::UuidHelper::toStdString(item.trackId);
        m_trackIdsOf[id].insert(track);
        m_objectsOf[track].insert(id);
        m_typeOf[id] = item.typeId;
    }
}

void Demo::countDropped(RunSummary& summary, Json& json) {
    // A document the agent took delivers something, so a silent one was dropped: while the
    // agent was busy with the one before it, or lost.
    int lost = 0;
    std::map<std::string, int> events;
    std::map<std::string, std::vector<int>> counts;
    // Tracks of the scene, as long as no packet showed them.
    std::map<int32_t, const char*> unseen;
    for (const auto& scene : m_scenes) {
        for (const auto& object : scene.objects)
            unseen.emplace(object.id, objectTypeId(object.kind));
    }
    const auto fates = m_session.documents(m_cameraId).fates();
    for (size_t i = 0; i < fates.size() && i < m_scenes.size(); ++i) {
        if (fates[i] == DocumentTally::Fate::processed) {
            for (const auto& object : m_scenes[i].objects)
                unseen.erase(object.id);
            continue;
        }
        lost += fates[i] == DocumentTally::Fate::lost;
        for (const auto& event : m_scenes[i].events) {
            ++events[eventTypeId(event.kind)];
            if (event.kind == SceneEventKind::lineCounting)
                counts[std::to_string(event.slot + 1)].push_back(event.count);
        }
    }
    json["documents"]["lost"] = lost;
    std::map<std::string, int> tracks;
    for (const auto& [id, type] : unseen)
        ++tracks[type];
    json["inDroppedDocuments"] = {{"events", events}, {"lineCounts", counts}, {"tracks", tracks}};
    if (lost > 0)
        summary.rows.emplace_back(
            "lost", std::to_string(lost) + " documents dropped although the agent was idle");
    if (!events.empty() || !tracks.empty()) {
        summary.rows.emplace_back("only in dropped documents",
                                  "events " + listOf(events) + "; tracks " + listOf(tracks));
    }
}

Json Demo::summarize(RunSummary& summary, const lumo_camera::SceneGenerator& generator) {
    Json json;

    std::map<std::string, int> tracksByType;
    int stable = 0;
    for (const auto& [id, tracks] : m_trackIdsOf) {
        ++tracksByType[m_typeOf[id]];
        stable += tracks.size() == 1 && m_objectsOf[*tracks.begin()].size() == 1;
    }
    const int tracks = static_cast<int>(m_trackIdsOf.size());
    json["tracks"] = {{"count", tracks}, {"withOneTrackId", stable}, {"byType", tracksByType}};
    summary.rows.emplace_back(
        "tracks", std::to_string(tracks) + " (" + listOf(tracksByType) + "), " +
                      (stable == tracks ? "each with one track id"
                                        : std::to_string(tracks - stable) +
                                              " without one track id of their own") +
                      ", " + std::to_string(generator.truth().tracks.size()) + " in the scene");
    json["events"] = m_events;
    summary.rows.emplace_back("events", listOf(m_events));
    json["lineCounts"] = Json::object();
    for (const auto& [line, counts] : m_lineCounts) {
        json["lineCounts"][std::to_string(line)] = counts;
        summary.rows.emplace_back(
            "line " + std::to_string(line),
            "count " + std::to_string(*std::max_element(counts.begin(), counts.end())) + " (" +
                plural(counts.size(), "crossing", "crossings") + " reported)");
    }
    json["settingsWritten"] = m_writes.size();
    countDropped(summary, json);
    return json;
}

void Demo::writeSvg(Json& json) {
    std::ostringstream svg;
    const FramePictureCounts drawn = writeFramePicture(svg, m_figures, m_lastFrame);
    const int boxes = drawn.boxes, regions = drawn.regions, lines = drawn.lines;
    std::ofstream file(m_options.svgPath, std::ios::binary | std::ios::trunc);
    file << svg.str();
    file.close();
    const std::string path =
        std::filesystem::absolute(m_options.svgPath).lexically_normal().string();
    if (!file) {
        m_err << "lumo-host: cannot write " << path << std::endl;
        return;
    }
    json["svg"] = {{"path", path}, {"boxes", boxes}, {"regions", regions}, {"lines", lines}};
    // A picture under the working directory is named from there, as the user would type it.
    std::error_code cwdError;
    const std::filesystem::path cwd = std::filesystem::current_path(cwdError);
    std::string shown = path;
    if (!cwdError) {
        const std::string relative = std::filesystem::path(path).lexically_relative(cwd).string();
        if (!relative.empty() && relative.rfind("..", 0) != 0)
            shown = relative;
    }
    m_notes << "wrote " << shown << ": the last frame's " << plural(boxes, "box", "boxes") << ", "
            << plural(regions, "region", "regions") << " and " << plural(lines, "line", "lines")
            << std::endl;
}

int Demo::run() {
    if (!m_session.load(m_options.pluginPath))
        return kExitFailure;
    m_notes << (m_log.active() ? "the plugin's log goes to " : "cannot write ") << m_logPath
            << (m_log.active() ? "" : ": the plugin's log stays on the standard error stream")
            << std::endl;
    startCamera();
    if (!m_session.start() || !bindCamera())
        return kExitFailure;
    drawFigures();

    lumo_camera::SceneOptions scene;
    scene.seed = m_options.seed;
    scene.seconds = m_options.seconds;
    scene.documentsPerSecond = m_options.rate;
    scene.lines = m_lines;
    scene.regions = m_regions;
    scene.staySeconds = m_staySeconds;
    scene.loiteringSeconds = m_loiteringSeconds;
    scene.imageHost = m_options.cameraAddress;
    const lumo_camera::SceneGenerator generator(scene);
    m_notes << "playing " << m_options.seconds << " s of scene, " << generator.documentCount()
            << " documents, " << kSpeedUp << " times faster than real time" << std::endl;
    play(generator);

    // The plugin's settings threads hold the agent for a few seconds after its last write.
    if (m_progress)
        m_err << "\r\033[Kshutting the plugin down" << std::flush;
    m_session.shutdown(10s);
    if (m_progress)
        m_err << "\r\033[K" << std::flush;
    if (m_camera)
        m_camera->stop();
    RunSummary summary = m_session.summary(true);
    Json json = summarize(summary, generator);
    json["scene"] = {{"seed", scene.seed},
                     {"seconds", scene.seconds},
                     {"rate", scene.documentsPerSecond},
                     {"staySeconds", scene.staySeconds},
                     {"loiteringSeconds", scene.loiteringSeconds},
                     {"lines", figuresJson(m_lines)},
                     {"regions", figuresJson(m_regions)}};
    if (!m_options.json)
        printSummary(m_out, summary);
    writeSvg(json);
    if (m_options.json) {
        json.update(summaryJson(summary), true);
        m_out << Json{{"summary", json}}.dump() << std::endl;
    }
    return m_session.checkLeaks() ? kExitOk : kExitFailure;
}

}  // namespace

CLI::App* addDemoCommand(CLI::App& root, DemoOptions& options) {
    CLI::App* command = addCommand(root, "demo");
    addValue(command, "--plugin", options.pluginPath);
    addValue(command, "--camera-address", options.cameraAddress);
    addValue(command, "--seconds", options.seconds)->check(number(1, 3600));
    addValue(command, "--rate", options.rate)->check(number(1, 100));
    addValue(command, "--seed", options.seed)->check(wholeNumber(0, UINT32_MAX));
    addValue(command, "--svg", options.svgPath);
    command->add_flag("--json", options.json);
    command->add_flag("--quiet", options.quiet);
    return command;
}

int runDemoCommand(const DemoOptions& options, std::ostream& out, std::ostream& err) {
    return Demo(options, out, err).run();
}

}  // namespace lumo::host
