#include "commands/demo_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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
#include <stdexcept>
#include <system_error>
#include <thread>

#include <nlohmann/json.hpp>

#include "camera.h"
#include "commands/command_line.h"
#include "commands/command_options.h"
#include "server/media_server.h"
#include "report/packet_printer.h"
#include "server/plugin_library.h"
#include "report/run_summary.h"
#include "server/stderr_redirect.h"
#include "qo/sdk/helpers/uuid_helper.h"
#include "scene_generator.h"

namespace lumo::host {

namespace {

using namespace std::chrono_literals;
using lumo_camera::SceneEventKind;
using lumo_camera::SceneFigure;
using lumo_camera::SceneObjectKind;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Scene seconds played per second of the demo.
constexpr double kSpeedUp = 8;
// The agent takes the next document a moment after its last delivery; a document dropped within
// this time after it still counts as dropped while busy.
constexpr auto kBusyGrace = 5ms;
constexpr int kSvgWidth = 960;
constexpr int kSvgHeight = 540;
constexpr char kTypePrefix[] = "qo.lumo.";

struct DemoOptions {
    std::string pluginPath;
    std::string cameraAddress = "127.0.0.2";
    double seconds = 20;
    double rate = 10;
    uint32_t seed = 1;
    bool json = false;
    std::string svgPath = "demo-frame.svg";
    bool quiet = false;
    bool help = false;
};

DemoOptions parseOptions(const std::vector<std::string>& args) {
    DemoOptions options;
    options.help = readOptions(
        "demo", args, {{"--json", &options.json}, {"--quiet", &options.quiet}},
        {"--plugin", "--camera-address", "--seconds", "--rate", "--seed", "--svg"},
        [&options](const std::string& option, const std::string& value) {
            if (option == "--plugin")
                options.pluginPath = value;
            else if (option == "--camera-address")
                options.cameraAddress = value;
            else if (option == "--seconds")
                options.seconds = number(option, value, 1, 3600);
            else if (option == "--rate")
                options.rate = number(option, value, 1, 100);
            else if (option == "--seed")
                options.seed = static_cast<uint32_t>(number(option, value, 0, 4294967295.0));
            else
                options.svgPath = value;
        });
    if (options.pluginPath.empty())
        options.pluginPath = PluginLibrary::defaultPath();
    return options;
}

// What the demo draws in the dialog, in the camera's figure space 0..999.
struct DrawnFigure {
    bool line;
    int number;  // In the dialog, 1..8.
    std::vector<lumo_camera::ScenePoint> points;
    const char* direction;
};

const DrawnFigure kDrawn[] = {
    {true, 1, {{400, 360}, {400, 990}}, "right"},
    {true, 2, {{720, 520}, {760, 830}}, "left"},
    {false, 1, {{450, 800}, {620, 800}, {620, 985}, {450, 985}}, ""},
};

// A figure as the dialog shows it: points as fractions of the frame.
struct ShownFigure {
    bool line;
    int number;
    std::vector<std::pair<double, double>> points;
};

std::map<std::string, std::string> drawingChanges() {
    std::map<std::string, std::string> changes;
    for (const DrawnFigure& drawn : kDrawn) {
        const std::string n = std::to_string(drawn.number);
        Json figure = {{"points", Json::array()}};
        for (const auto& p : drawn.points)
            figure["points"].push_back({p.x / 1000.0, p.y / 1000.0});
        if (*drawn.direction)
            figure["direction"] = drawn.direction;
        const std::string value =
            Json{{"figure", figure}, {"label", ""}, {"showOnCamera", true}}.dump();
        const std::string kind = drawn.line ? "AIX_LINE_" : "AIX_REGION_";
        changes[kind + "ENABLE" + n] = "true";
        changes[kind + "POSITION" + n] = value;
        for (const char* object : {"PERSON", "BICYCLE", "CAR"}) {
            if (drawn.line)
                changes["AIX_LINE_" + std::string(object) + "_ENABLE" + n] = "true";
            for (const char* action : {"APPEAR", "STAY", "ENTER", "EXIT"}) {
                if (!drawn.line)
                    changes["AIX_REGION_EVENT_" + std::string(object) + "_" + action + n] = "true";
            }
        }
        if (!drawn.line) {
            changes["AIX_REGION_EVENT_PERSON_LOITERING" + n] = "true";
            changes["AIX_REGION_EVENT_STAYDURATION" + n] = "2";
            changes["AIX_REGION_EVENT_LOITERINGDURATION" + n] = "5";
        }
    }
    return changes;
}

// The enabled figures of one kind ("AIX_LINE_", "AIX_REGION_") as the camera stores them.
std::vector<SceneFigure> cameraFigures(const lumo_camera::ParameterTable& table,
                                       const std::string& kind) {
    std::vector<SceneFigure> figures;
    for (int slot = 0; slot < 8; ++slot) {
        const std::string digit = std::to_string(slot);
        const auto position = table.read(kind + "POSITION" + digit);
        if (table.read(kind + "ENABLE" + digit) != "1" || !position || *position == "0")
            continue;
        SceneFigure figure{slot, {}};
        std::istringstream numbers(*position);
        int x = 0, y = 0;
        char comma = 0;
        while (numbers >> x >> comma >> y) {
            figure.points.push_back({x, y});
            numbers >> comma;
        }
        figures.push_back(std::move(figure));
    }
    return figures;
}

std::vector<ShownFigure> shownFigures(const std::map<std::string, std::string>& values) {
    std::vector<ShownFigure> figures;
    for (const auto& [name, value] : values) {
        const bool line = name.rfind("AIX_LINE_POSITION", 0) == 0;
        if (!line && name.rfind("AIX_REGION_POSITION", 0) != 0)
            continue;
        const Json json = Json::parse(value, nullptr, false);
        if (!json.is_object() || !json.contains("figure") || !json["figure"].is_object())
            continue;
        ShownFigure figure{line, name.back() - '0', {}};
        for (const Json& point : json["figure"].value("points", Json::array())) {
            if (point.is_array() && point.size() == 2 && point[0].is_number())
                figure.points.emplace_back(point[0].get<double>(), point[1].get<double>());
        }
        figures.push_back(std::move(figure));
    }
    return figures;
}

Json figuresJson(const std::vector<SceneFigure>& figures) {
    Json json = Json::array();
    for (const SceneFigure& figure : figures) {
        Json points = Json::array();
        for (const auto& p : figure.points)
            points.push_back({p.x, p.y});
        json.push_back({{"slot", figure.slot}, {"points", points}});
    }
    return json;
}

const char* objectTypeId(SceneObjectKind kind) {
    static const char* const kTypes[] = {"qo.lumo.Human", "qo.lumo.Car", "qo.lumo.Truck",
                                         "qo.lumo.Bicycle", "qo.lumo.Motorcycle"};
    return kTypes[static_cast<int>(kind)];
}

const char* eventTypeId(SceneEventKind kind) {
    static const char* const kTypes[] = {
        "qo.lumo.LineCounting", "qo.lumo.Appear",    "qo.lumo.Enter",     "qo.lumo.Stay",
        "qo.lumo.Exit",         "qo.lumo.Loitering", "qo.lumo.Tampering", "qo.lumo.SettingChanged"};
    return kTypes[static_cast<int>(kind)];
}

std::string shortType(const std::string& typeId) {
    return typeId.rfind(kTypePrefix, 0) == 0 ? typeId.substr(sizeof kTypePrefix - 1) : typeId;
}

std::string listOf(const std::map<std::string, int>& counts) {
    std::string text;
    for (const auto& [typeId, count] : counts)
        text += (text.empty() ? "" : ", ") + shortType(typeId) + " " + std::to_string(count);
    return text.empty() ? "none" : text;
}

// Sends the plugin's log, written to file descriptor 2, into a file while the demo runs, so that
// it does not drown the demo's own lines, which go where stderr went before (terminal()).
//
// Threading: made and destroyed on the demo's thread while no other thread writes to stderr;
// terminal() is used from that thread only.
class PluginLogFile {
public:
    explicit PluginLogFile(const std::string& path)
        : m_redirect(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {
        m_buffer.fd = m_redirect.savedFd();
    }
    ~PluginLogFile() {
        // m_redirect, destroyed last, gives file descriptor 2 back after these.
        m_terminal.flush();
        std::cerr.flush();
    }
    PluginLogFile(const PluginLogFile&) = delete;
    PluginLogFile& operator=(const PluginLogFile&) = delete;

    bool active() const { return m_redirect.active(); }
    int terminalFd() const { return active() ? m_redirect.savedFd() : 2; }
    std::ostream& terminal() { return m_terminal; }

private:
    struct FdBuffer : std::streambuf {
        int fd = -1;
        int overflow(int c) override {
            const char byte = static_cast<char>(c);
            return c == EOF || xsputn(&byte, 1) == 1 ? 0 : EOF;
        }
        std::streamsize xsputn(const char* data, std::streamsize size) override {
            for (std::streamsize done = 0; done < size;) {
                const ssize_t written = write(fd, data + done, static_cast<size_t>(size - done));
                if (written <= 0)
                    return done;
                done += written;
            }
            return size;
        }
    };

    StderrRedirect m_redirect;
    FdBuffer m_buffer;
    std::ostream m_terminal{&m_buffer};
};

std::string plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// One run of the demo. Threading: run() on one thread; the handler it reads from takes the
// plugin's deliveries on the plugin's threads.
class Demo {
public:
    Demo(DemoOptions options, std::ostream& out, std::ostream& err)
        : m_options(std::move(options)),
          m_out(out),
          m_logPath((std::filesystem::absolute(m_options.svgPath).parent_path() / "demo-plugin.log")
                        .lexically_normal()
                        .string()),
          m_log(m_logPath),
          m_err(&err == &std::cerr && m_log.active() ? m_log.terminal() : err),
          m_notes(m_options.json ? m_err : out),
          m_progress(&err == &std::cerr && isatty(m_log.terminalFd())) {}

    int run();

private:
    struct Pushed {
        lumo_camera::SceneDocument scene;
        int64_t timestampUs = 0;
        Clock::time_point pushedAt;
        bool processed = false;
        Clock::time_point lastArrival;
    };

    void startCamera();
    bool bindCamera(std::string* error);
    void drawFigures();
    void play(const lumo_camera::SceneGenerator& generator);
    void take();
    void attribute(const PacketRecord& record, const DeviceAgentHandler::Delivery& delivery);
    void matchObjects(const PacketRecord& record, const Pushed& document);
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
    std::unique_ptr<PluginLibrary> m_library;
    std::unique_ptr<MediaServer> m_server;
    MediaServer::CameraId m_cameraId = 0;

    std::vector<std::string> m_writes;  // Parameters the plugin wrote, in order.
    std::vector<ShownFigure> m_figures;
    std::vector<SceneFigure> m_lines, m_regions;
    int m_staySeconds = 2, m_loiteringSeconds = 5;

    std::vector<Pushed> m_pushed;
    std::map<int64_t, size_t> m_byTimestamp;
    std::map<int32_t, size_t> m_bestShotDocument;
    size_t m_current = SIZE_MAX;  // The document whose packets are arriving.
    std::map<PacketKind, int> m_packets;
    LatencyHistogram m_latency;
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

bool Demo::bindCamera(std::string* error) {
    DeviceDescription device;
    device.url = "http://" + m_options.cameraAddress + "/";
    device.login = "admin";
    device.password = "admin";
    if (!m_server->addCamera(device, &m_cameraId, error))
        return false;
    m_notes << "camera " << device.url << " bound with the dialog's defaults" << std::endl;
    return true;
}

void Demo::drawFigures() {
    if (!m_camera) {
        for (const DrawnFigure& drawn : kDrawn) {
            ShownFigure shown{drawn.line, drawn.number, {}};
            for (const auto& p : drawn.points)
                shown.points.emplace_back(p.x / 1000.0, p.y / 1000.0);
            m_figures.push_back(shown);
            (drawn.line ? m_lines : m_regions).push_back({drawn.number - 1, drawn.points});
        }
        m_notes << "the scene counts on the 2 lines and the region as drawn" << std::endl;
        return;
    }
    m_camera->clearRequests();
    const auto answer = m_server->changeSettings(m_cameraId, drawingChanges());
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

    const auto readBack = m_server->pluginSideSettings(m_cameraId);
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
    DeviceAgentHandler& handler = m_server->agentHandler(m_cameraId);
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
        Pushed pushed;
        pushed.scene = generator.document(i, writes);
        pushed.timestampUs = startUs + pushed.scene.offsetUs;
        for (const auto& object : pushed.scene.objects) {
            if (object.bestShot)
                m_bestShotDocument[object.id] = m_pushed.size();
        }
        m_byTimestamp[pushed.timestampUs] = m_pushed.size();
        std::string error;
        pushed.pushedAt = Clock::now();
        if (!m_server->pushMetadata(m_cameraId, pushed.scene.xml, pushed.timestampUs, &error))
            m_err << "lumo-host: the agent refused a document: " << error << std::endl;
        m_pushed.push_back(std::move(pushed));
    }
    // The last document's packets, unless it was dropped.
    for (const auto deadline = Clock::now() + 2s;
         !m_pushed.empty() && !m_pushed.back().processed && Clock::now() < deadline;) {
        take();
        std::this_thread::sleep_for(2ms);
    }
    handler.waitUntilQuiet(handler.packetCount(), 100ms, 100ms);
    take();
    if (m_progress)
        m_err << "\r\033[K" << std::flush;
}

void Demo::take() {
    const auto deliveries = m_server->agentHandler(m_cameraId).takeDeliveries();
    const bool print = !m_options.quiet && !deliveries.empty();
    // Packet lines go above the progress line, which stays the last line of the terminal.
    if (print && m_progress)
        m_err << "\r\033[K" << std::flush;
    for (const auto& delivery : deliveries) {
        const PacketRecord record = readPacket(delivery.packet.get());
        attribute(record, delivery);
        ++m_packets[record.kind];
        if (print)
            m_out << (m_options.json ? formatPacketJson(record) : formatPacketLine(record)) << "\n";
    }
    m_out.flush();
    if (print && m_progress)
        m_err << m_progressLine << std::flush;
}

const std::vector<PacketRecord::Item> kNoItems;

void Demo::attribute(const PacketRecord& record, const DeviceAgentHandler::Delivery& delivery) {
    // Object and event packets carry their document's time; an object packet ending with a best
    // shot carries the best shot's time instead, and its object tells the document. Best shots
    // come between the object and event packets of their document.
    size_t document = SIZE_MAX;
    if (record.kind != PacketKind::bestShot) {
        if (const auto it = m_byTimestamp.find(record.timestampUs); it != m_byTimestamp.end())
            document = it->second;
        for (const auto& item : record.items) {
            const std::string id = item.attribute("Object ID");
            if (document == SIZE_MAX && !item.box && !id.empty() &&
                m_bestShotDocument.count(std::stoi(id))) {
                document = m_bestShotDocument[std::stoi(id)];
            }
        }
    } else {
        document = m_current;
    }
    if (document >= m_pushed.size())
        return;
    m_current = document;
    Pushed& pushed = m_pushed[document];
    pushed.processed = true;
    pushed.lastArrival = delivery.arrivedAt;
    m_latency.add(
        std::chrono::duration<double, std::milli>(delivery.arrivedAt - pushed.pushedAt).count());
    if (record.kind == PacketKind::object) {
        matchObjects(record, pushed);
        m_lastFrame = record;
    }
    for (const auto& item : record.kind == PacketKind::event ? record.items : kNoItems) {
        ++m_events[item.typeId];
        int line = 0, count = 0;
        if (std::sscanf(item.description.c_str(), "Event Line : [%d], Count : [%d]", &line,
                        &count) == 2) {
            m_lineCounts[line].push_back(count);
        }
    }
}

void Demo::matchObjects(const PacketRecord& record, const Pushed& document) {
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
            for (const auto& object : document.scene.objects) {
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
    summary.droppedWhileBusy = 0;
    int lost = 0;
    std::map<std::string, int> events;
    std::map<std::string, std::vector<int>> counts;
    // Tracks of the scene, as long as no packet showed them.
    std::map<int32_t, const char*> unseen;
    for (const Pushed& pushed : m_pushed) {
        for (const auto& object : pushed.scene.objects)
            unseen.emplace(object.id, objectTypeId(object.kind));
    }
    const Pushed* inWork = nullptr;
    for (const Pushed& pushed : m_pushed) {
        if (pushed.processed) {
            ++summary.processed;
            inWork = &pushed;
            for (const auto& object : pushed.scene.objects)
                unseen.erase(object.id);
            continue;
        }
        ++summary.dropped;
        if (inWork && pushed.pushedAt <= inWork->lastArrival + kBusyGrace)
            ++summary.droppedWhileBusy;
        else
            ++lost;
        for (const auto& event : pushed.scene.events) {
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
    summary.pushed = static_cast<int>(m_pushed.size());
    summary.packets = m_packets;
    summary.latency = m_latency;

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
    const auto x = [](double fraction) { return fraction * kSvgWidth; };
    const auto y = [](double fraction) { return fraction * kSvgHeight; };
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kSvgWidth << "\" height=\""
        << kSvgHeight << "\" viewBox=\"0 0 " << kSvgWidth << " " << kSvgHeight
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect class=\"frame\" width=\"100%\" height=\"100%\" fill=\"#1e2227\"/>\n";
    int regions = 0, lines = 0, boxes = 0;
    for (const ShownFigure& figure : m_figures) {
        if (figure.points.empty())
            continue;
        const char* colour = figure.line ? "#ff4fd8" : "#ffd23f";
        svg << (figure.line ? "<polyline class=\"line\" fill=\"none\" stroke-width=\"3\""
                            : "<polygon class=\"region\" fill-opacity=\"0.15\" fill=\"#ffd23f\"")
            << " stroke=\"" << colour << "\" points=\"";
        for (const auto& [px, py] : figure.points)
            svg << x(px) << "," << y(py) << " ";
        svg << "\"/>\n<text fill=\"" << colour << "\" x=\"" << x(figure.points[0].first) + 4
            << "\" y=\"" << y(figure.points[0].second) - 4 << "\">"
            << (figure.line ? "line " : "region ") << figure.number << "</text>\n";
        ++(figure.line ? lines : regions);
    }
    for (const auto& item : m_lastFrame.items) {
        if (!item.box)
            continue;
        std::string colour = item.attribute("qo.sys.color");
        std::transform(colour.begin(), colour.end(), colour.begin(), ::tolower);
        svg << "<rect class=\"box\" fill=\"none\" stroke-width=\"2\" stroke=\""
            << (colour.empty() ? "white" : colour) << "\" x=\"" << x(item.box->x) << "\" y=\""
            << y(item.box->y) << "\" width=\"" << x(item.box->width) << "\" height=\""
            << y(item.box->height) << "\"/>\n<text fill=\"white\" x=\"" << x(item.box->x)
            << "\" y=\"" << y(item.box->y) - 3 << "\">" << shortType(item.typeId) << " "
            << shortTrackId(item.trackId).substr(0, 4) << "</text>\n";
        ++boxes;
    }
    svg << "<text fill=\"#9aa4ae\" x=\"8\" y=\"" << kSvgHeight - 8
        << "\">t=" << m_lastFrame.timestampUs << " us</text>\n</svg>\n";

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
    std::string error;
    m_library = PluginLibrary::load(m_options.pluginPath, &error);
    if (!m_library) {
        m_err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }
    m_notes << (m_log.active() ? "the plugin's log goes to " : "cannot write ") << m_logPath
            << (m_log.active() ? "" : ": the plugin's log stays on the standard error stream")
            << std::endl;
    startCamera();
    m_server = std::make_unique<MediaServer>(m_library->entryPoints());
    if (!m_server->start(&error) || !bindCamera(&error)) {
        m_err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }
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
    const ShutdownReport report = m_server->shutdown(10s);
    if (m_progress)
        m_err << "\r\033[K" << std::flush;
    if (m_camera)
        m_camera->stop();
    RunSummary summary;
    summary.liveObjects = report.describeLiveObjects();
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
    if (report.liveCount > 0) {
        m_err << "lumo-host: the plugin did not release " << summary.liveObjects << std::endl;
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int runDemoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runCommand(args, out, err, parseOptions, [&](DemoOptions options) {
        return Demo(std::move(options), out, err).run();
    });
}

}  // namespace lumo::host
