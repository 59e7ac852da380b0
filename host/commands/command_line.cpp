#include "commands/command_line.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "commands/bench_command.h"
#include "commands/command_options.h"
#include "commands/demo_command.h"
#include "server/device_info.h"
#include "server/media_server.h"
#include "report/packet_printer.h"
#include "server/plugin_library.h"
#include "commands/replay_file.h"
#include "report/run_summary.h"
#include "commands/settings_command.h"

namespace lumo::host {

namespace {

constexpr const char* kHelpText =
    R"(Usage: lumo-host COMMAND [OPTION...] [FILE...]

Loads the LUMO analytics plugin and drives it the way a video-management-system media server
does, to try the plugin without a server.

Commands:
  version             Load the plugin library and print its SDK version (qoSdkVersion), the
                      name this server gives its library context, and whether it can create
                      the plugin object (createQoPlugin).
  replay FILE...      Start the plugin, bind one camera and push each FILE, an ONVIF metadata
                      document, to the camera's device agent, waiting for the agent to finish
                      with one document before sending the next. Prints every packet the plugin
                      delivers, one line each, then a summary.
  settings get [--camera URL] [--login NAME] [--password TEXT]
                      Bind the camera at URL (default http://127.0.0.2/, where lumo-camera
                      listens; login and password default to admin), open its settings dialog
                      and print what it shows: one NAME=VALUE line per setting, sorted by name,
                      figures as their JSON.
  settings set NAME=VALUE... [the options of settings get]
                      Apply the changes as a user applies the dialog, wait until the plugin's
                      writes to the camera are over (about 5 s), then print the dialog of the
                      camera bound afresh.
  demo [--plugin PATH] [--camera-address ADDRESS] [--seconds N] [--rate N] [--seed N]
       [--json] [--svg PATH] [--quiet]
                      Start the substitute camera on ADDRESS port 80 (default 127.0.0.2;
                      without it the demo goes on with the metadata part alone), bind it with
                      the dialog's defaults, draw two counting lines and a region and read them
                      back, then play N seconds (default 20) of a generated street scene, N
                      documents per second (default 10), from scene seed N (default 1), eight
                      times faster than real time. Prints every delivered packet (--json: one
                      JSON object per line, the summary last; --quiet: no packets), a summary
                      and where it drew the last frame with the figures (--svg, default
                      demo-frame.svg in the current directory).
  bench [--plugin PATH] [--cameras N] [--rate N] [--seconds N] [--seed N] [--simulate-cores N]
        [--sample-every N] [--json]
                      Bind N cameras (default 128) at http://127.0.0.1/, where no camera
                      listens, and feed each device agent N generated documents per second
                      (default 10, paced) for N seconds (default 30), from four scenes seeded
                      from N (default 1) and generated beforehand (one minute of them, pushed
                      again a minute later in longer runs). Prints documents pushed,
                      processed and dropped while the agent was busy; the binding's wall time
                      and process CPU per camera; the plugin's CPU as a share of one core and
                      per document pushed: process CPU (getrusage) less the CPU of the bench's
                      own threads (CLOCK_THREAD_CPUTIME_ID: feeding outside the push calls,
                      taking the deliveries, sampling), over the feed's wall time;
                      push-to-delivery latency p50 and p99 (from a fixed histogram, 2.3 %
                      buckets); peak thread count (sampled every 50 ms); peak (VmHWM) and
                      current (VmRSS) resident memory. --simulate-cores N: the plugin sizes its
                      threads as on a machine with N hardware threads. --sample-every N: also
                      resident memory, threads and open files every N seconds of the feed.
                      --json: one JSON object instead. The plugin's log is discarded during
                      the run.
  bench --churn N [--plugin PATH] [--seed N] [--simulate-cores N] [--json]
                      Bind a camera, push it five documents and one settings change, release
                      it; N times in one process. Prints threads, open files and resident
                      memory before the first camera, after the first 20 rounds, half-way and
                      after the last (each once the settings writes have ended; memory also
                      once the heap has handed its free pages back), and the peak threads.
  help                Print this text (also --help and -h).

Options:
  --plugin PATH       The plugin library. Default: liblumo_analytics_plugin.so in the
                      directory of lumo-host, or in the plugin folder where it was installed.
  --device-url URL    replay: the camera URL in the device information; the plugin talks to
                      the IPv4 address in it. Default: http://127.0.0.1/
  --login NAME        replay: the camera login. Default: admin
  --password TEXT     replay: the camera password. Default: empty
  --start-us N        replay: timestamp of the first document in microseconds. Default: 1000000
  --step-us N         replay: timestamp step from one document to the next. Default: 100000
  --wait-ms N         replay: how long to wait for the first packet of a document before
                      counting it as dropped. Default: 250

Packet lines (one per packet; TIME in microseconds, TRACK the first 8 hexadecimal digits of the
track id, boxes as X,Y,WIDTH,HEIGHT in fractions of the frame):
  object t=TIME dur=DURATION: TYPE track=TRACK box=BOX {ATTRIBUTE: VALUE, ...}; ...
  best-shot t=TIME track=TRACK url="URL" {ATTRIBUTE: VALUE, ...}
  event t=TIME dur=DURATION: TYPE track=TRACK active caption="TEXT" description="TEXT"; ...

Summary of a replay: documents pushed; processed (the plugin delivered packets for them);
dropped (nothing came back: not a metadata document, nothing to report, or the agent was still
busy); packets by kind; plugin objects still alive after the shutdown; push-to-delivery latency
(50th and 99th percentile). The demo's summary tells documents dropped while the agent was busy
from lost ones and adds the tracks (each should keep one track id), events by type and each
line's count.

The plugin writes its own log to the standard error stream (the demo: to demo-plugin.log next to
its picture).

Exit status: 0 on success; 1 when the plugin cannot be loaded or started, a file cannot be read
or is malformed, the camera does not answer or refuses the login, or plugin objects outlive the
shutdown; 2 on a usage error.
)";

constexpr const char* kDefaultDeviceUrl = "http://127.0.0.1/";

struct CommandLine {
    std::string command;
    std::string pluginPath;
    DeviceDescription device;
    int64_t startUs = 1'000'000;
    int64_t stepUs = 100'000;
    std::chrono::milliseconds firstPacketWait{250};
    std::vector<std::string> files;
    bool help = false;
};

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine commandLine;
    commandLine.device.url = kDefaultDeviceUrl;
    if (args.empty())
        throw UsageError("no command given");
    commandLine.command = args[0];
    if (commandLine.command == "--help" || commandLine.command == "-h")
        commandLine.command = "help";
    if (commandLine.command != "help" && commandLine.command != "version" &&
        commandLine.command != "replay") {
        throw UsageError("unknown command " + commandLine.command);
    }
    commandLine.help = commandLine.command == "help";
    const bool replay = commandLine.command == "replay";

    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            if (!replay)
                throw UsageError(commandLine.command + " takes no file");
            commandLine.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            commandLine.help = true;
            return commandLine;
        }
        const bool replayOnly = arg == "--device-url" || arg == "--login" || arg == "--password" ||
                                arg == "--start-us" || arg == "--step-us" || arg == "--wait-ms";
        if (arg != "--plugin" && !replayOnly)
            throw UsageError("unknown option " + arg);
        if (replayOnly && !replay)
            throw UsageError(arg + " belongs to replay");
        if (i + 1 >= args.size())
            throw UsageError(arg + " needs a value");
        const std::string& value = args[++i];
        if (arg == "--plugin")
            commandLine.pluginPath = value;
        else if (arg == "--device-url")
            commandLine.device.url = value;
        else if (arg == "--login")
            commandLine.device.login = value;
        else if (arg == "--password")
            commandLine.device.password = value;
        else if (arg == "--start-us")
            commandLine.startUs = wholeNumber(arg, value, 0);
        else if (arg == "--step-us")
            commandLine.stepUs = wholeNumber(arg, value, 0);
        else if (arg == "--wait-ms")
            commandLine.firstPacketWait = std::chrono::milliseconds(wholeNumber(arg, value, 1));
    }
    if (replay && commandLine.files.empty())
        throw UsageError("replay needs at least one FILE");
    if (commandLine.pluginPath.empty())
        commandLine.pluginPath = PluginLibrary::defaultPath();
    return commandLine;
}

std::unique_ptr<PluginLibrary> loadLibrary(const CommandLine& commandLine, std::ostream& err) {
    std::string error;
    auto library = PluginLibrary::load(commandLine.pluginPath, &error);
    if (!library)
        err << "lumo-host: " << error << std::endl;
    return library;
}

int runVersion(const CommandLine& commandLine, std::ostream& out, std::ostream& err) {
    const auto library = loadLibrary(commandLine, err);
    if (!library)
        return kExitFailure;
    const PluginEntryPoints& entryPoints = library->entryPoints();
    const char* version = entryPoints.sdkVersion();
    const std::string name = libraryContextName(library->path());
    qo::sdk::ILibContext* const context = entryPoints.libContext();
    if (!context) {
        err << "lumo-host: qoLibContext() of " << library->path() << " returned null" << std::endl;
        return kExitFailure;
    }
    context->setName(name.c_str());

    out << "plugin library: " << library->path() << "\n"
        << "SDK version: " << (version ? version : "(null)") << "\n"
        << "library context name: " << name << "\n"
        << "createQoPlugin: "
        << (library->hasCreatePlugin() ? "exported"
                                       : "not exported (the plugin object cannot be created)")
        << std::endl;
    return kExitOk;
}

int runReplay(const CommandLine& commandLine, std::ostream& out, std::ostream& err) {
    const auto library = loadLibrary(commandLine, err);
    if (!library)
        return kExitFailure;

    MediaServer server(library->entryPoints());
    std::string error;
    if (!server.start(&error)) {
        err << "lumo-host: " << error << std::endl;
        return kExitFailure;
    }
    MediaServer::CameraId camera = 0;
    if (!server.addCamera(commandLine.device, &camera, &error)) {
        err << "lumo-host: " << error << std::endl;
        server.shutdown();
        return kExitFailure;
    }
    DeviceAgentHandler& handler = server.agentHandler(camera);

    // Deliveries of one document come close together; a pause this long means the agent is done.
    constexpr std::chrono::milliseconds kQuiet(50);

    int status = kExitOk;
    RunSummary tally;
    int64_t timestampUs = commandLine.startUs;
    for (const std::string& path : commandLine.files) {
        std::string document;
        if (const std::string reason = readReplayFile(path, &document); !reason.empty()) {
            err << "lumo-host: " << reason << std::endl;
            status = kExitFailure;
            continue;
        }
        out << "# " << path << " t=" << timestampUs << std::endl;
        const size_t before = handler.packetCount();
        ++tally.pushed;
        const auto pushedAt = std::chrono::steady_clock::now();
        if (!server.pushMetadata(camera, std::move(document), timestampUs, &error))
            err << "lumo-host: " << path << ": the agent refused the document: " << error
                << std::endl;
        else
            handler.waitUntilQuiet(before, kQuiet, commandLine.firstPacketWait);
        timestampUs += commandLine.stepUs;

        auto packets = handler.takeDeliveries();
        // Packets of one document arrive in any order; a fixed order makes runs comparable.
        std::stable_sort(packets.begin(), packets.end(), [](const auto& a, const auto& b) {
            return packetKind(a.packet.get()) < packetKind(b.packet.get());
        });
        for (const auto& delivery : packets) {
            ++tally.packets[packetKind(delivery.packet.get())];
            tally.latency.add(
                std::chrono::duration<double, std::milli>(delivery.arrivedAt - pushedAt).count());
            out << formatPacketLine(delivery.packet.get()) << "\n";
        }
        ++(packets.empty() ? tally.dropped : tally.processed);
        out.flush();
    }

    const ShutdownReport report = server.shutdown();
    tally.liveObjects = report.describeLiveObjects();
    printSummary(out, tally);
    if (report.liveCount > 0) {
        err << "lumo-host: the plugin did not release " << report.describeLiveObjects()
            << std::endl;
        status = kExitFailure;
    }
    return status;
}

}  // namespace

const char* helpText() {
    return kHelpText;
}

int runLumoHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && args[0] == "settings")
        return runSettingsCommand(args, out, err);
    if (!args.empty() && args[0] == "bench")
        return runBenchCommand({args.begin() + 1, args.end()}, out, err);
    if (!args.empty() && args[0] == "demo")
        return runDemoCommand({args.begin() + 1, args.end()}, out, err);
    return runCommand(args, out, err, parseCommandLine, [&](const CommandLine& commandLine) {
        return commandLine.command == "version" ? runVersion(commandLine, out, err)
                                                : runReplay(commandLine, out, err);
    });
}

}  // namespace lumo::host
